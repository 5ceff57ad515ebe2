// The main window's layout: its panels and buttons on one grid, its timers,
// its language menu, and its size at the first show.
#include "app/ssqx.h"

#include "app/chart_panel.h"
#include "app/language.h"
#include "app/link_panel.h"
#include "app/readout_panel.h"
#include "app/session.h"
#include "app/status_panel.h"
#include "core/settings_file.h"
#include "mqtt/mqtt_publisher.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

namespace {

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

// The interface language, chosen with a right click on the window: it is
// remembered in the config file and used from the next start.
void ssqx::buildLanguageMenu()
{
    setContextMenuPolicy(Qt::ActionsContextMenu);
    const struct {
        const char *lang, *caption;
    } languages[2] = {{"en", "English (next start)"}, {"zh", "中文（下次启动）"}};
    for (const auto &l : languages) {
        auto *a = new QAction(QString::fromUtf8(l.caption), this);
        a->setObjectName(QStringLiteral("lang_%1").arg(QLatin1String(l.lang)));
        const QString lang = QLatin1String(l.lang);
        connect(a, &QAction::triggered, this, [lang] { saveLanguage(settingsFilePath(), lang); });
        addAction(a);
    }
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
    // Date, time and health texts.
    m_status = new StatusPanel(this, m_linkPanel->healthLine());
    root->addWidget(m_status->box(), 1, 2);
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
