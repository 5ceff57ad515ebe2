#include "app/ssqx.h"

#include "app/chart_panel.h"
#include "app/fit_label.h"
#include "app/history_actions.h"
#include "app/settings_text.h"
#include "app/language.h"
#include "app/historywindow.h"
#include "app/link_panel.h"
#include "app/linkdiagnosticswindow.h"
#include "app/log_text.h"
#include "app/mqtt_dialog.h"
#include "app/printdialog.h"
#include "app/readout_panel.h"
#include "app/session.h"
#include "chart/chart_controller.h"
#include "chart/historyplot.h"
#include "config/link_text.h"
#include "config/set_back.h"
#include "config/write_journal.h"
#include "core/dates.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/serial_ports.h"
#include "logging/history.h"
#include "logging/history_range.h"
#include "logging/mscom.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <chrono>

namespace {

// An Esc within this time after the configuration window gave the main
// window back belongs to that window (a double press or a held key).
constexpr qint64 kEscGuardMs = 1000;
// Room left for the window frame when the window is sized to its screen.
constexpr int kFrameAllowW = 16, kFrameAllowH = 40;

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QCoreApplication::translate("ssqx", caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

QTimer *timer(const char *name, int ms, QObject *parent)
{
    auto *t = new QTimer(parent);
    t->setObjectName(QLatin1String(name));
    t->setInterval(ms);
    return t;
}

} // namespace

ssqx::ssqx(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), Main_Conn(session.dbFiles, QStringLiteral("Main_Conn")), m_session(session)
{
    setObjectName(QStringLiteral("ssqx"));
    setWindowTitle(tr("过程控制仪表 QR5300M  OverView"));
    // The interface language, chosen with a right click on the window: it
    // is remembered in the config file and used from the next start.
    setContextMenuPolicy(Qt::ActionsContextMenu);
    const struct {
        const char *lang, *caption;
    } languages[2] = {{"en", "English (next start)"}, {"zh", "中文（下次启动）"}};
    for (const auto &l : languages) {
        auto *a = new QAction(QString::fromUtf8(l.caption), this);
        a->setObjectName(QStringLiteral("lang_%1").arg(QLatin1String(l.lang)));
        const QString lang = QLatin1String(l.lang);
        connect(a, &QAction::triggered, this, [lang] { saveLanguage(configFilePath(), lang); });
        addAction(a);
    }
    monoMs = [] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
    // The chart reads the database through the window's own connection; a
    // failed read is shown on the logging status line.
    m_chart = new ChartController(
        [this](int32_t &id) {
            const bool ok = readCurId(Main_Conn, id);
            if (!ok)
                historyFailed();
            return ok;
        },
        [this](Chart &c) {
            const bool ok = ::Load_History(c, Main_Conn);
            if (!ok)
                historyFailed();
            return ok;
        },
        this);
    buildUi();
    buildTimers();
    buildKeys();
    connectHandlers();
    refreshStateTexts();
}

ssqx::~ssqx() = default;

const Chart &ssqx::chart() const
{
    return m_chart->chart();
}

bool ssqx::chartLive() const
{
    return m_chart->isLive();
}

void ssqx::buildUi()
{
    auto *root = new QGridLayout(this);
    m_chartPanel = new ChartPanel(this, *m_chart, m_session.yRange);
    m_readouts = new ReadoutPanel(this);
    m_linkPanel = new LinkPanel(this);
    // Chart (top left), status panel (top right), read-outs and status
    // lines, link settings and function buttons, the bottom row.
    root->addWidget(m_chartPanel->area(), 0, 0, 1, 3);
    root->addWidget(m_readouts->alarmBox(), 0, 3, 2, 1);
    root->addWidget(m_readouts->readoutBox(), 1, 0, 1, 2);
    buildStatusLines(root);
    root->addLayout(m_linkPanel->settingsRow(), 2, 0, 1, 2);
    buildFunctionButtons(root);
    buildBottomRow(root);

    // Tab order follows the visual order: link settings, then the buttons.
    QList<QWidget *> order = m_linkPanel->focusChain();
    order << Command29 << Command8 << Command7 << Command6 << Command5 << Command2 << Command3 << Command4
          << Command1 << Command23 << Command21 << mqttButton << m_chartPanel->focusChain();
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

// Date, time and health texts.
void ssqx::buildStatusLines(QGridLayout *root)
{
    auto *stateBox = new QWidget(this);
    auto *sl = new QGridLayout(stateBox);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setVerticalSpacing(2);
    Label2_9 = new FitLabel(QStringLiteral("2001-03-12"), stateBox);
    Label2_9->setObjectName(QStringLiteral("Label2(9)"));
    Label2_10 = new FitLabel(tr("18：42：00"), stateBox);
    Label2_10->setObjectName(QStringLiteral("Label2(10)"));
    for (QLabel *l : {Label2_9, Label2_10}) {
        l->setAlignment(Qt::AlignCenter);
        setBack(l, QColor(0x80, 0xFF, 0x80));
    }
    // Messages take the room they have and never widen the window: a long
    // one is elided and shown whole as a tooltip.
    logState = new FitLabel(QString(), stateBox);
    logState->setObjectName(QStringLiteral("logState"));
    writeState = new FitLabel(QString(), stateBox);
    writeState->setObjectName(QStringLiteral("writeState"));
    writeState->setStyleSheet(QStringLiteral("color:#C00000;"));
    Label19 = new QLabel(stateBox);
    Label19->setObjectName(QStringLiteral("Label19"));
    Label19->hide();
    Label20 = new QLabel(stateBox);
    Label20->setObjectName(QStringLiteral("Label20"));
    Label20->hide();
    sl->addWidget(Label2_9, 0, 0);
    sl->addWidget(Label2_10, 0, 1);
    sl->addWidget(m_linkPanel->healthLine(), 1, 0, 1, 2);
    sl->addWidget(logState, 2, 0, 1, 2);
    sl->addWidget(writeState, 3, 0, 1, 2);
    root->addWidget(stateBox, 1, 2);
}

void ssqx::buildFunctionButtons(QGridLayout *root)
{
    Frame3 = new QGroupBox(tr("功能"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *f3 = new QGridLayout(Frame3);
    Command29 = button("Command29", QT_TRANSLATE_NOOP("ssqx", "历史曲线"), Frame3);
    Command8 = button("Command8", QT_TRANSLATE_NOOP("ssqx", "F7 右移"), Frame3);
    Command7 = button("Command7", QT_TRANSLATE_NOOP("ssqx", "F6 左移"), Frame3);
    Command6 = button("Command6", QT_TRANSLATE_NOOP("ssqx", "F5 选择"), Frame3);
    Command5 = button("Command5", QT_TRANSLATE_NOOP("ssqx", "F4 标尺"), Frame3);
    Command2 = button("Command2", QT_TRANSLATE_NOOP("ssqx", "F3 打印"), Frame3);
    Command3 = button("Command3", QT_TRANSLATE_NOOP("ssqx", "F2 放大"), Frame3);
    Command4 = button("Command4", QT_TRANSLATE_NOOP("ssqx", "F1 缩小"), Frame3);
    QPushButton *fn[8] = {Command29, Command8, Command7, Command6, Command5, Command2, Command3, Command4};
    for (int i = 0; i < 8; ++i)
        f3->addWidget(fn[i], i / 4, i % 4);
    root->addWidget(Frame3, 2, 2, 1, 2);
}

// Exit, calibration (hidden) and CONFIG, then the Y-range editor.
void ssqx::buildBottomRow(QGridLayout *root)
{
    Frame11 = new QGroupBox(this);
    Frame11->setObjectName(QStringLiteral("Frame11"));
    auto *f11 = new QHBoxLayout(Frame11);
    Command1 = button("Command1", QT_TRANSLATE_NOOP("ssqx", "退出"), Frame11);
    Command23 = button("Command23", QT_TRANSLATE_NOOP("ssqx", "参数校准"), Frame11);
    Command21 = button("Command21", QT_TRANSLATE_NOOP("ssqx", "CONFIG"), Frame11);
    mqttButton = button("mqttButton", QT_TRANSLATE_NOOP("ssqx", "MQTT发布"), Frame11);
    f11->addWidget(Command1);
    f11->addWidget(Command23);
    f11->addWidget(Command21);
    f11->addWidget(mqttButton);
    f11->addSpacing(24);
    m_chartPanel->addYEditor(f11);
    f11->addStretch(1);
    root->addWidget(Frame11, 3, 0, 1, 4);
    Command23->setEnabled(false);
    Command23->hide();
}

void ssqx::buildTimers()
{
    Timer1 = timer("Timer1", 200, this);
    connect(Timer1, &QTimer::timeout, this, &ssqx::Timer1_Timer);
    Timer2 = timer("Timer2", 1000, this);
    connect(Timer2, &QTimer::timeout, this, &ssqx::Timer2_Timer);
    Timer3 = timer("Timer3", 1000, this);
    connect(Timer3, &QTimer::timeout, this, &ssqx::Timer3_Timer);
}

// F1, F2, F3, F5, F6 and F7 work wherever the focus is in this window, also
// in a combo box (which takes none of them as its own shortcut).
void ssqx::buildKeys()
{
    const int keys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F5, Qt::Key_F6, Qt::Key_F7};
    for (int key : keys) {
        auto *s = new QShortcut(QKeySequence(key), this);
        connect(s, &QShortcut::activated, this, [this, key] { Form_KeyDown(key); });
        if (key == Qt::Key_F2)
            m_keyZoomIn = s;
        else if (key == Qt::Key_F1)
            m_keyZoomOut = s;
        else if (key == Qt::Key_F6)
            m_keyPageForward = s;
        else if (key == Qt::Key_F7)
            m_keyPageBack = s;
    }
    // Esc and F4 cannot be shortcuts: an open drop-down list of a combo box
    // closes on either key while the shortcut is looked up, and the shortcut
    // would then act as well (end the program, switch the ruler). The
    // application's filter sees the press before any control and takes it
    // only when it goes to a control of this window (the open list is a
    // window of its own), with the repeat flag of a held Esc.
    qApp->installEventFilter(this);
}

bool ssqx::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && obj->isWidgetType() && static_cast<QWidget *>(obj)->window() == this
        && isVisible()) {
        auto *ke = static_cast<QKeyEvent *>(e);
        const int key = ke->key();
        if ((key == Qt::Key_Escape || key == Qt::Key_F4) && Form_KeyDown(key, ke->isAutoRepeat()))
            return true;
    }
    return QWidget::eventFilter(obj, e);
}

void ssqx::connectHandlers()
{
    connect(m_chart, &ChartController::redrawNeeded, this, &ssqx::Redraw_Chart);
    connect(m_chart, &ChartController::stateChanged, this, &ssqx::syncChartControls);
    connect(m_chart, &ChartController::sliderStepChanged, m_chartPanel, &ChartPanel::setSliderStep);
    connect(m_chart, &ChartController::historyLoaded, this, &ssqx::historyLoaded);
    connect(m_chartPanel, &ChartPanel::sliderMoved, this, &ssqx::hc_Change);
    connect(m_chartPanel, &ChartPanel::yLabelDoubleClicked, this, &ssqx::Label5_DblClick);
    connect(m_chartPanel, &ChartPanel::applyYClicked, this, &ssqx::Command26_Click);
    connect(m_linkPanel, &LinkPanel::openClicked, this, &ssqx::Command9_Click);
    connect(m_linkPanel, &LinkPanel::closeClicked, this, &ssqx::Command10_Click);
    connect(m_linkPanel, &LinkPanel::diagnosticsRequested, this, [this] {
        auto *w = findChild<LinkDiagnosticsWindow *>();
        if (!w)
            w = new LinkDiagnosticsWindow(m_session.link, this);
        w->show();
        w->raise();
    });
    connect(Command1, &QPushButton::clicked, this, &ssqx::Command1_Click);
    connect(Command21, &QPushButton::clicked, this, &ssqx::Command21_Click);
    connect(Command2, &QPushButton::clicked, this, &ssqx::Command2_Click);
    connect(Command29, &QPushButton::clicked, this, &ssqx::Command29_Click);
    connect(mqttButton, &QPushButton::clicked, this, &ssqx::openMqttSettings);
    connect(Command3, &QPushButton::clicked, this, &ssqx::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ssqx::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &ssqx::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &ssqx::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &ssqx::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &ssqx::Command8_Click);
    connect(&m_session.journal, &WriteJournal::changed, this, &ssqx::showWriteProblem);
    // The state lines follow the cycles' health as it changes.
    connect(&m_session.met1, &Met1::healthChanged, this, &ssqx::refreshStateTexts);
    connect(&m_session.logger, &mscom::logStateChanged, this, &ssqx::refreshStateTexts);
    connect(&m_session.logger, &mscom::noticeRaised, this, &ssqx::refreshStateTexts);
}

// The zoom and paging buttons and their keys follow the chart's state.
void ssqx::syncChartControls()
{
    const std::pair<QPushButton *, QShortcut *> controls[] = {
        {Command3, m_keyZoomIn}, {Command4, m_keyZoomOut}, {Command7, m_keyPageForward}, {Command8, m_keyPageBack}};
    const bool allowed[] = {m_chart->canZoomIn(), m_chart->canZoomOut(), m_chart->canPageForward(),
                            m_chart->canPageBack()};
    for (int i = 0; i < 4; ++i) {
        controls[i].first->setEnabled(allowed[i]);
        if (controls[i].second)
            controls[i].second->setEnabled(allowed[i]);
    }
}

// At the first show the window takes its preferred size, or as much of the
// screen as there is when that is smaller (a 1024 x 768 panel PC), placed
// at the screen's top left.
void ssqx::fitScreen()
{
    const QScreen *scr = screen();
    if (!scr)
        return;
    const QRect avail = scr->availableGeometry();
    const QSize room(avail.width() - kFrameAllowW, avail.height() - kFrameAllowH);
    const QSize want = sizeHint();
    if (want.width() <= room.width() && want.height() <= room.height()) {
        resize(want);
        return;
    }
    resize(want.boundedTo(room).expandedTo(minimumSizeHint()));
    move(avail.topLeft());
}

void ssqx::showEvent(QShowEvent *e)
{
    if (!m_fitted) {
        m_fitted = true;
        fitScreen();
    }
    QWidget::showEvent(e);
}

void ssqx::Form_Load()
{
    // Link controls.
    m_linkPanel->fillChoices();
    m_openError = settingsStartNotice(); // a settings file to narrow, a key not taken, ...
    // Records logged from now on reach the chart.
    connect(&m_session.logger, &mscom::sampleLogged, this, &ssqx::noteSample, Qt::UniqueConnection);
    // Ruler slider off; no zooming in or paging forward yet.
    m_chartPanel->resetRuler();
    // The window's own connection, then the live chart from the newest record.
    if (!Main_Conn.open())
        historyFailed();
    Unload_Ok = -1;
    m_chart->start();

    Timer1->start();
    Timer2->start();
    Timer3->start();
    refreshStateTexts();
}

// ---------------------------------------------------------------------------
// Chart procedures.

void ssqx::Redraw_Chart()
{
    m_chartPanel->redraw();
}

void ssqx::Load_History(bool idOk)
{
    m_chart->Load_History(idOk);
}

void ssqx::historyLoaded(bool ok)
{
    if (ok)
        m_historyError.clear();
    refreshStateTexts();
    // Captions: the first slot on screen (slot 1 before the first zoom).
    showSlotTime(chart().Chart_Base + 1);
    // The ruler reads the newly loaded records from now on.
    if (chart().Ruler_On != 0)
        showRulerReadout(m_chartPanel->rulerValue());
}

// Date and time of slot s on Label2(9) and Label2(10); a slot without a
// record says so instead of showing the date serial 0.
void ssqx::showSlotTime(int s)
{
    if (s < 0 || s >= kChartSlots)
        return;
    if (slotHasRecord(chart(), s)) {
        Label2_9->setText(dateText(chart().Chart_Date[s]));
        Label2_10->setText(timeText(chart().Chart_Time[s]));
    } else {
        Label2_9->setText(tr("无记录"));
        Label2_10->setText(QStringLiteral("--:--:--"));
    }
}

// The database's own words follow the operator's text.
void ssqx::historyFailed()
{
    const QString why = Main_Conn.faultText();
    m_historyError = why.isEmpty() ? tr("历史读取失败") : tr("历史读取失败：") + why;
}

void ssqx::Reload_Live()
{
    m_chart->Reload_Live();
}

void ssqx::Append_Sample()
{
    m_chart->Append_Sample(m_session.live.Val_3X, m_session.clock.now(), !m_session.logger.linkFresh());
    m_samplePending = false;
}

void ssqx::setYLabels()
{
    m_chartPanel->setYLabels();
}

// ---------------------------------------------------------------------------
// Zoom, paging and ruler.

void ssqx::Command3_Click()
{
    m_chart->zoomIn();
}

void ssqx::Command4_Click()
{
    m_chart->zoomOut();
}

void ssqx::Command8_Click()
{
    // Live appending ends (the refresh itself goes on: status and
    // read-outs stay live).
    m_chart->pageBack();
}

void ssqx::Command7_Click()
{
    m_chart->pageForward();
}

// F3: the chart as shown on one landscape page, through the print dialog.
void ssqx::Command2_Click()
{
    askAndPrintChart(this, printHeader(), [this](QPainter &p, const QRectF &r, double px) {
        m_chartPanel->paintChart(p, r, px);
    });
}

bool ssqx::writeChartPdf(const QString &path, QString *error) const
{
    return ::writeChartPdf(path, printHeader(), [this](QPainter &p, const QRectF &r, double px) {
        m_chartPanel->paintChart(p, r, px);
    }, error);
}

// The print-out's header: the station, the time span of the slots shown,
// and the five drawn quantities with their colours and scales.
ChartPrintHeader ssqx::printHeader() const
{
    ChartPrintHeader h;
    h.title = tr("趋势曲线");
    h.instrument = QStringLiteral("QR5300M");
    if (const int station = m_session.settings.Link_Par[3]; station > 0)
        h.station = QString::number(station);
    const Chart &c = m_chart->chart();
    for (int s = 1; s < kChartSlots - 1; ++s) {
        if (!slotHasRecord(c, s))
            continue;
        const QDateTime t(serialDate(c.Chart_Date[s]), serialTime(c.Chart_Time[s]));
        if (!h.from.isValid() || t < h.from)
            h.from = t;
        if (!h.to.isValid() || t > h.to)
            h.to = t;
    }
    for (int q = 0; q <= 4; ++q) {
        const auto [lo, hi] = historyCurveScale(q, m_session.yRange);
        h.channels.push_back({historyCurveCaption(q), historyCurveColour(q),
                              QString::number(lo) + QStringLiteral(" … ") + QString::number(hi)});
    }
    h.printedAt = m_session.clock.now();
    return h;
}

// The MQTT settings: applied to the publisher and saved for the next start.
void ssqx::openMqttSettings()
{
    MqttDialog dialog(m_session.mqtt.settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!applyMqttSettings(m_session.mqtt, dialog.result(), configFilePath(), &error))
        QMessageBox::warning(this, tr("MQTT发布"), error);
}

// F5 "选择" and "历史曲线": the history window, over the last hour of records at first.
void ssqx::Command6_Click()
{
    Command29_Click();
}

void ssqx::Command29_Click()
{
    if (!m_history) {
        const QString db = dbPath(false);
        m_history = new HistoryWindow(
            m_session,
            [db](const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring, HistoryRange &range,
                 QString &error) { return readHistory(db, from, to, ring, range, error); },
            this);
        connect(m_history, &HistoryWindow::exportRequested, this,
                [this, db](const QDateTime &from, const QDateTime &to, LogRing ring) {
                    exportHistoryAsked(m_history, db, from, to, ring);
                });
        m_history->loadOpening(3600, [db](QDateTime &oldest, QDateTime &newest, QString &error) {
            return readRecordSpan(db, oldest, newest, error);
        });
    }
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void ssqx::Command5_Click()
{
    if (m_chart->toggleRuler()) {
        m_chartPanel->rulerOn();
        Command5->setText(tr("F4 复原"));
        // The read-outs show the slot under the slider from now on, never
        // a live value.
        showRulerReadout(m_chartPanel->rulerValue());
        return;
    }
    // The chart has gone back to the live window.
    m_chartPanel->rulerOff();
    Command5->setFocus();
    Command5->setText(tr("F4 标尺"));
    m_readouts->showLiveCaption();
    restoreColours();
    Show_Live();
}

void ssqx::hc_Change(int v)
{
    m_chart->hc_Change(v);
    m_chartPanel->moveRuler(v);
    showRulerReadout(v);
}

// The record under the ruler at slider value v: its values on the five
// read-outs, its date and time on Label2(9) and Label2(10), all on the
// ruler's yellow, and the read-outs' caption names the ruler and the time.
void ssqx::showRulerReadout(int v)
{
    const int s = m_chart->rulerSlot(v);
    if (s < 0)
        return;
    const QColor yellow(0xFF, 0xFF, 0x00);
    showSlotTime(s);
    setBack(Label2_9, yellow);
    setBack(Label2_10, yellow);
    m_readouts->showRecord(chart(), s);
}

// ---------------------------------------------------------------------------
// Y range.

void ssqx::Label5_DblClick(int)
{
    m_chartPanel->showYEditor();
}

void ssqx::Command26_Click()
{
    m_chartPanel->applyYRange();
}

// ---------------------------------------------------------------------------
// Link, configuration window, exit.

void ssqx::Command9_Click()
{
    int32_t *Link_Par = m_session.settings.Link_Par;
    m_linkPanel->storeSettings(Link_Par, &m_session.settings.portPath);
    m_openError.clear();
    const uint32_t seq = ++m_linkSeq;
    const int32_t port = Link_Par[0];
    const QString path = m_session.settings.portPath;
    const RememberedLink chosen = rememberedOf(Link_Par, path);
    m_session.link.OpenPort_Modbus(port, Link_Par[1], Link_Par[2], path, this, [this, seq, port, path, chosen](const LinkResult &r) {
        m_session.settings.Link_Par[20] = r.result;
        if (r.result == kModbusOk)
            saveRememberedLink(chosen); // restored at the next start
        // A close or a newer open issued meanwhile owns the state text.
        if (seq != m_linkSeq)
            return;
        m_openError = r.result == kModbusOk ? QString() : openFailureText(r.error, port, path);
        refreshStateTexts();
    });
    Command21->setEnabled(true);
    Met1 &met1 = m_session.met1;
    met1.resetHealth();
    // Pressing "打开" again keeps the polling rhythm.
    if (!met1.Timer1.isActive())
        met1.Timer1.start();
    refreshStateTexts();
}

void ssqx::Command10_Click()
{
    m_session.link.ClosePort_Modbus(m_session.settings.Link_Par[0]);
    m_session.met1.Timer1.stop();
    Command21->setEnabled(false);
    ++m_linkSeq;
    m_openError.clear();
    refreshStateTexts();
}

void ssqx::Command21_Click()
{
    // The configuration window shows its own problems from now on.
    m_backAt = QDateTime();
    showWriteProblem();
    emit configRequested();
}

void ssqx::configClosed()
{
    m_backMono = monoMs();
    m_backAt = m_session.clock.now();
    show();
    showWriteProblem();
}

// The newest unsettled write problem of the configuration window, when it
// arose in the last minute before the window came back or later (a write
// issued as the window closed may fail afterwards). It stays until the
// configuration window is opened again, which clears the journal.
constexpr int kWriteProblemSecs = 60;

void ssqx::showWriteProblem()
{
    WriteJournal::Entry e;
    if (m_backAt.isValid())
        e = m_session.journal.latest();
    if (e.reg == 0 || !e.when.isValid() || e.when < m_backAt.addSecs(-kWriteProblemSecs)) {
        writeState->clear();
        return;
    }
    writeState->setText(e.when.toString(QStringLiteral("HH:mm:ss ")) + e.text);
}

void ssqx::Command1_Click()
{
    // The exit path alone closes the window's database objects.
    Main_Conn.close();
    Unload_Ok = 0;
    emit exitAsked();
    close();
    qApp->quit();
}

void ssqx::closeEvent(QCloseEvent *e)
{
    // A refused close changes nothing: the database stays open and live
    // samples keep coming. Only the exit path lets the window go.
    if (Unload_Ok == -1) {
        e->ignore();
        return;
    }
    Main_Conn.close();
    disconnect(&m_session.logger, &mscom::sampleLogged, this, &ssqx::noteSample);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    e->accept();
}

// An Esc that is the keyboard repeating a held key, or that comes within a
// second after the configuration window gave the window back, was meant
// for that window (its own Esc closed it): it must not end the program.
bool ssqx::escHeldOver(bool autoRepeat) const
{
    if (autoRepeat)
        return true;
    return m_backMono && monoMs && monoMs() - *m_backMono < kEscGuardMs;
}

bool ssqx::Form_KeyDown(int key, bool autoRepeat)
{
    switch (key) {
    case Qt::Key_F2:
        if (!m_chart->canZoomIn())
            return false;
        Command3_Click();
        return true;
    case Qt::Key_F1:
        if (!m_chart->canZoomOut())
            return false;
        Command4_Click();
        return true;
    case Qt::Key_F6:
        if (!m_chart->canPageForward())
            return false;
        Command7_Click();
        return true;
    case Qt::Key_F7:
        if (!m_chart->canPageBack())
            return false;
        Command8_Click();
        return true;
    case Qt::Key_F4:
        Command5_Click();
        return true;
    case Qt::Key_F3:
        Command2_Click();
        return true;
    case Qt::Key_Escape:
        if (!escHeldOver(autoRepeat))
            Command1_Click();
        return true;
    case Qt::Key_F5:
        Command6_Click();
        return true;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
// Live refresh.

void ssqx::Show_Live()
{
    // While the ruler is on the read-outs show its record instead.
    if (chart().Ruler_On == 0)
        m_readouts->showValues(m_session.live.Val_3X);
    m_readouts->showStatus(m_session.live.Sta_1X);
}

void ssqx::restoreColours()
{
    const QColor green(0x80, 0xFF, 0x80);
    setBack(Label2_9, green);
    setBack(Label2_10, green);
    m_readouts->restoreColours();
}

// Runs in every chart mode: the status cells and the read-outs stay live
// while the chart pages through history or the ruler is shown; only the
// appending of live samples waits for the live chart.
void ssqx::Timer1_Timer()
{
    // 1. Undo the ruler's yellow on the date, time and all five read-outs.
    if (chart().Ruler_On == 0)
        restoreColours();
    // 2.
    setYLabels();
    // 3. A record was logged since the last tick; one logged while paging
    // or under the ruler waits for the live chart.
    if (m_samplePending && chartLive())
        Append_Sample();
    // 4.
    Show_Live();
    // 5.
    Label19->setText(QString::number(double(chart().Chart_Step)));
}

void ssqx::Timer2_Timer()
{
    Redraw_Chart();
}

void ssqx::Timer3_Timer()
{
    if (chart().Ruler_On == 0) {
        const QDateTime now = m_session.clock.now();
        Label2_9->setText(now.date().toString(QStringLiteral("MM-dd-yyyy")));
        Label2_10->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
    }
}

// The link's and the logging's health on their status lines.
void ssqx::refreshStateTexts()
{
    const LinkState state = m_session.met1.linkState();
    QString link;
    bool bad = true;
    if (!m_openError.isEmpty()) {
        link = m_openError; // the whole line: "打开失败：..."
    } else {
        link = linkHealthText(state.health, state.lastGood, state.error);
        bad = linkBroken(state.health);
    }
    m_linkPanel->setHealth(link, bad);
    // The window's own failed reads join the logging's failures: both are
    // the database.
    QString log = logStateText(m_session.logger.logState());
    if (!m_historyError.isEmpty())
        log = log.isEmpty() ? m_historyError : log + tr("；") + m_historyError;
    // A notice (the database was replaced and reopened, lost ids recovered)
    // follows "记录正常" in blue: logging goes on, but the operator should
    // know what happened to the file.
    const QString notice = logNoticeText(m_session.logger.lastNotice());
    if (!log.isEmpty()) {
        logState->setText(log);
        logState->setStyleSheet(QStringLiteral("color:#C00000;"));
    } else {
        logState->setText(notice.isEmpty() ? tr("记录正常")
                                            : tr("记录正常（%1）").arg(notice));
        logState->setStyleSheet(notice.isEmpty() ? QString() : QStringLiteral("color:#0000C0;"));
    }
}
