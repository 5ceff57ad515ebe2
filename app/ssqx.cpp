#include "app/ssqx.h"

#include "app/chart_panel.h"
#include "app/history_actions.h"
#include "app/settings_text.h"
#include "app/historywindow.h"
#include "app/link_panel.h"
#include "app/linkdiagnosticswindow.h"
#include "app/log_text.h"
#include "app/mqtt_dialog.h"
#include "app/printdialog.h"
#include "app/readout_panel.h"
#include "app/session.h"
#include "app/status_panel.h"
#include "core/settings_file.h"
#include "chart/chart_controller.h"
#include "chart/chartprint.h"
#include "config/link_text.h"
#include "config/write_journal.h"
#include "core/dates.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/serial_ports.h"
#include "logging/history.h"
#include "logging/history_range.h"
#include "logging/mscom.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <chrono>

ssqx::ssqx(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), Main_Conn(session.dbFiles, QStringLiteral("Main_Conn")), m_session(session)
{
    setObjectName(QStringLiteral("ssqx"));
    setWindowTitle(tr("过程控制仪表 QR5300M  OverView"));
    // The interface language, chosen with a right click on the window: it
    // is remembered in the config file and used from the next start.
    buildLanguageMenu();
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

bool ssqx::samplePending() const
{
    return m_chart->samplePending();
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
    connect(&m_session.linkControl, &LinkControl::opened, this, &ssqx::linkOpened);
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
    connect(&m_session.mqtt, &MqttPublisher::stateChanged, this, &ssqx::showMqttState);
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

void ssqx::Form_Load()
{
    // Link controls.
    m_linkPanel->fillChoices();
    m_openError = settingsStartNotice(); // a settings file to narrow, a key not taken, ...
    // Records logged from now on reach the chart.
    m_session.feedChart(*m_chart);
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
    m_status->showSlotTime(chart(), chart().Chart_Base + 1);
    // The ruler reads the newly loaded records from now on.
    if (chart().Ruler_On != 0)
        showRulerReadout(m_chartPanel->rulerValue());
}

// The database's own words follow the operator's text.
void ssqx::historyFailed()
{
    const QString why = dbErrorText(Main_Conn.error());
    m_historyError = why.isEmpty() ? tr("历史读取失败") : tr("历史读取失败：") + why;
}

void ssqx::Reload_Live()
{
    m_chart->Reload_Live();
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
    const auto [from, to] = chartSpan(m_chart->chart());
    return chartPrintHeader(PrintTitle::Trend, m_session.settings.Link_Par[3], from, to,
                            [](int q) { return q <= 4; }, m_session.yRange, m_session.clock.now());
}

// The MQTT settings: applied to the publisher and saved for the next start.
void ssqx::openMqttSettings()
{
    MqttDialog dialog(m_session.mqtt.settings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    QString error;
    if (!applyMqttSettings(m_session.mqtt, dialog.result(), settingsFilePath(), &error))
        QMessageBox::warning(this, tr("MQTT发布"), error);
}

void ssqx::showMqttState(const MqttState &state)
{
    const QString text = mqttStateText(state, m_session.mqtt.settings());
    mqttButton->setToolTip(text);
    mqttButton->setAccessibleDescription(text);
    const bool failed = state.status == MqttStatus::Failed;
    mqttButton->setProperty("failed", failed);
    mqttButton->setStyleSheet(failed ? QStringLiteral("color:#C00000;") : QString());
}

// F5 "选择" and "历史曲线": the history window, over the last hour of records at first.
void ssqx::Command6_Click()
{
    Command29_Click();
}

void ssqx::Command29_Click()
{
    if (!m_history) {
        const QString db = m_session.dbFiles.location().path;
        m_history = new HistoryWindow(
            m_session,
            [db](const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring, HistoryRange &range,
                 HistoryError &error) { return readHistory(db, from, to, ring, range, error); },
            this);
        connect(m_history, &HistoryWindow::exportRequested, this,
                [this, db](const QDateTime &from, const QDateTime &to, LogRing ring) {
                    exportHistoryAsked(m_history, db, from, to, ring);
                });
        m_history->loadOpening(3600, [db](QDateTime &oldest, QDateTime &newest, HistoryError &error) {
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
    m_status->showSlotTime(chart(), s);
    m_status->markRuler();
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
    m_openError.clear();
    m_session.linkControl.open(m_linkPanel->choice());
    Command21->setEnabled(true);
    refreshStateTexts();
}

void ssqx::setLinkControlsEnabled(bool enabled)
{
    for (QWidget *w : m_linkPanel->focusChain())
        w->setEnabled(enabled);
}

void ssqx::Command10_Click()
{
    m_session.linkControl.close();
    Command21->setEnabled(false);
    m_openError.clear();
    refreshStateTexts();
}

// The outcome of the newest open: a failure's line stays until the next
// open or close.
void ssqx::linkOpened(const LinkOpenResult &result)
{
    m_openError = result.ok() ? QString() : openFailureText(result.error, result.port, result.devicePath);
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
        m_status->clearWriteProblem();
        return;
    }
    m_status->showWriteProblem(e.when, e.text);
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
    m_session.stopFeeding(*m_chart);
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    e->accept();
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
    m_status->restoreColours();
    m_readouts->restoreColours();
}

// Runs in every chart mode: the status cells and the read-outs stay live
// while the chart pages through history or the ruler is shown; only the
// appending of live samples waits for the live chart.
void ssqx::Timer1_Timer()
{
    // Undo the ruler's yellow on the date, time and all five read-outs.
    if (chart().Ruler_On == 0)
        restoreColours();
    // The Y labels follow the range.
    setYLabels();
    // A record logged since the last tick joins the live chart; one logged
    // while paging or under the ruler waits for it.
    m_session.tickChart(*m_chart);
    // The read-outs and status cells.
    Show_Live();
    // The slot width, on the hidden Label19.
    m_status->showStep(chart().Chart_Step);
}

void ssqx::Timer2_Timer()
{
    Redraw_Chart();
}

void ssqx::Timer3_Timer()
{
    if (chart().Ruler_On == 0)
        m_status->showClock(m_session.clock.now());
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
    m_status->showLogState(log, logNoticeText(m_session.logger.lastNotice()));
}
