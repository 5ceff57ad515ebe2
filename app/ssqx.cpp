#include "app/ssqx.h"

#include "app/globals.h"
#include "link/link.h"
#include "link/met1.h"
#include "logging/mscom.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {

const char *const kStatusText[12] = {
    "通道一报警", "通道一开路", "通道一短路", "通道二报警", "通道二开路", "通道二短路",
    "通道三报警", "通道三开路", "通道三短路", "通道四报警", "通道四开路", "通道四短路",
};
const char *const kReadoutCaption[5] = {"通道一 CH1", "通道二 CH2", "通道三 CH3", "通道四 CH4", "变送值 DA"};
// Caption colours match the curves of channels 1..4.
const char *const kCaptionColour[5] = {"#FF0000", "#808000", "#004000", "#FF00FF", "#000000"};

void setBg(QLabel *l, const char *rgb)
{
    Set_Back(l, QColor(QLatin1String(rgb)));
}

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

ssqx::ssqx(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ssqx"));
    setWindowTitle(QStringLiteral("过程控制仪表 QR5300M  OverView"));
    buildUi();

    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(200);
    connect(&Timer1, &QTimer::timeout, this, &ssqx::Timer1_Timer);
    Timer3.setObjectName(QStringLiteral("Timer3"));
    Timer3.setInterval(1000);
    connect(&Timer3, &QTimer::timeout, this, &ssqx::Timer3_Timer);

    // The window sees every key before the control that has the focus.
    qApp->installEventFilter(this);
}

ssqx::~ssqx()
{
    if (Main_Loaded)
        Main_Loaded = 0;
}

void ssqx::Attach(Met1 *met1, mscom *logger)
{
    m_met1 = met1;
    m_mscom = logger;
    refreshStateTexts();
}

void ssqx::buildUi()
{
    auto *root = new QGridLayout(this);

    // Chart area (top left) and status panel (top right).
    Chart_Area = new QFrame(this);
    Chart_Area->setObjectName(QStringLiteral("Chart_Area"));
    Chart_Area->setMinimumSize(900, 560);
    root->addWidget(Chart_Area, 0, 0, 1, 3);

    Frame9 = new QGroupBox(QStringLiteral("ALM"), this);
    Frame9->setObjectName(QStringLiteral("Frame9"));
    auto *almLayout = new QVBoxLayout(Frame9);
    for (int k = 0; k < 12; ++k) {
        D_2R[k] = new QLabel(k == 0 ? QStringLiteral("报警一OFF") : QStringLiteral("报警二OFF"), Frame9);
        D_2R[k]->setObjectName(QStringLiteral("D_2R(%1)").arg(k));
        D_2R[k]->setMinimumWidth(90);
        D_2R[k]->setAlignment(Qt::AlignCenter);
        setBg(D_2R[k], "#FFE0C0");
        almLayout->addWidget(D_2R[k]);
    }
    root->addWidget(Frame9, 0, 3, 2, 1);

    // Value read-outs.
    Frame4 = new QGroupBox(this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *ro = new QGridLayout(Frame4);
    for (int i = 0; i < 5; ++i) {
        D_3W_Caption[i] = new QLabel(QString::fromUtf8(kReadoutCaption[i]), Frame4);
        D_3W_Caption[i]->setObjectName(QStringLiteral("D_3W_Caption(%1)").arg(i));
        D_3W_Caption[i]->setStyleSheet(QStringLiteral("color:%1;").arg(QLatin1String(kCaptionColour[i])));
        D_3W_Caption[i]->setAlignment(Qt::AlignCenter);
        D_3W[i] = new QLabel(QStringLiteral("0"), Frame4);
        D_3W[i]->setObjectName(QStringLiteral("D_3W(%1)").arg(i));
        D_3W[i]->setAlignment(Qt::AlignCenter);
        D_3W[i]->setMinimumWidth(110);
        QFont f = D_3W[i]->font();
        f.setPointSize(f.pointSize() + 6);
        f.setBold(true);
        D_3W[i]->setFont(f);
        setBg(D_3W[i], "#FFC0FF");
        ro->addWidget(D_3W_Caption[i], 0, i);
        ro->addWidget(D_3W[i], 1, i);
    }
    root->addWidget(Frame4, 1, 0, 1, 2);

    // Date, time and health texts.
    auto *stateBox = new QWidget(this);
    auto *sl = new QGridLayout(stateBox);
    sl->setContentsMargins(0, 0, 0, 0);
    Label2_9 = new QLabel(QStringLiteral("2001-03-12"), stateBox);
    Label2_9->setObjectName(QStringLiteral("Label2(9)"));
    Label2_10 = new QLabel(QStringLiteral("18：42：00"), stateBox);
    Label2_10->setObjectName(QStringLiteral("Label2(10)"));
    for (QLabel *l : {Label2_9, Label2_10}) {
        l->setAlignment(Qt::AlignCenter);
        setBg(l, "#80FF80");
    }
    Link_State = new QLabel(stateBox);
    Link_State->setObjectName(QStringLiteral("Link_State"));
    Log_State = new QLabel(stateBox);
    Log_State->setObjectName(QStringLiteral("Log_State"));
    Log_State->setWordWrap(true);
    Label19 = new QLabel(stateBox);
    Label19->setObjectName(QStringLiteral("Label19"));
    Label19->hide();
    Label20 = new QLabel(stateBox);
    Label20->setObjectName(QStringLiteral("Label20"));
    Label20->hide();
    sl->addWidget(Label2_9, 0, 0);
    sl->addWidget(Label2_10, 0, 1);
    sl->addWidget(Link_State, 1, 0, 1, 2);
    sl->addWidget(Log_State, 2, 0, 1, 2);
    root->addWidget(stateBox, 1, 2);

    // Link settings.
    auto *linkRow = new QHBoxLayout;
    Frame6 = new QGroupBox(QStringLiteral("通讯端口选择"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    auto *f6 = new QGridLayout(Frame6);
    Label1 = new QLabel(QStringLiteral("通讯端口"), Frame6);
    Label1->setObjectName(QStringLiteral("Label1"));
    Combo1 = new QComboBox(Frame6);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setAccessibleName(Label1->text());
    Label1->setBuddy(Combo1);
    Port_Dev = new QLabel(Frame6);
    Port_Dev->setObjectName(QStringLiteral("Port_Dev"));
    f6->addWidget(Label1, 0, 0);
    f6->addWidget(Combo1, 0, 1);
    f6->addWidget(Port_Dev, 1, 0, 1, 2);
    linkRow->addWidget(Frame6);

    Frame5[0] = new QGroupBox(QStringLiteral("模块地址"), this);
    Frame5[0]->setObjectName(QStringLiteral("Frame5(0)"));
    auto *f50 = new QVBoxLayout(Frame5[0]);
    Combo2 = new QComboBox(Frame5[0]);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setEditable(true);
    Combo2->setAccessibleName(Frame5[0]->title());
    f50->addWidget(Combo2);
    linkRow->addWidget(Frame5[0]);

    Frame2_1 = new QGroupBox(QStringLiteral("波特率"), this);
    Frame2_1->setObjectName(QStringLiteral("Frame2(1)"));
    auto *f21 = new QVBoxLayout(Frame2_1);
    const char *bauds[3] = {"4800", "9600", "19200"};
    for (int i = 0; i < 3; ++i) {
        Option1[i] = new QRadioButton(QLatin1String(bauds[i]), Frame2_1);
        Option1[i]->setObjectName(QStringLiteral("Option1(%1)").arg(i));
        f21->addWidget(Option1[i]);
    }
    linkRow->addWidget(Frame2_1);

    Frame5[1] = new QGroupBox(QStringLiteral("校验方式"), this);
    Frame5[1]->setObjectName(QStringLiteral("Frame5(1)"));
    auto *f51 = new QVBoxLayout(Frame5[1]);
    const char *parities[3] = {"无校验", "奇校验", "偶校验"};
    for (int i = 0; i < 3; ++i) {
        Option2[i] = new QRadioButton(QString::fromUtf8(parities[i]), Frame5[1]);
        Option2[i]->setObjectName(QStringLiteral("Option2(%1)").arg(i));
        f51->addWidget(Option2[i]);
    }
    linkRow->addWidget(Frame5[1]);

    auto *openClose = new QVBoxLayout;
    Command9 = button("Command9", "打开", this);
    Command10 = button("Command10", "关闭", this);
    openClose->addWidget(Command9);
    openClose->addWidget(Command10);
    linkRow->addLayout(openClose);
    root->addLayout(linkRow, 2, 0, 1, 2);

    // Function buttons of the chart.
    Frame3 = new QGroupBox(QStringLiteral("功能"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto *f3 = new QGridLayout(Frame3);
    Command29 = button("Command29", "历史曲线", Frame3);
    Command8 = button("Command8", "F7 右移", Frame3);
    Command7 = button("Command7", "F6 左移", Frame3);
    Command6 = button("Command6", "F5 选择", Frame3);
    Command5 = button("Command5", "F4 标尺", Frame3);
    Command2 = button("Command2", "F3 打印", Frame3);
    Command3 = button("Command3", "F2 放大", Frame3);
    Command4 = button("Command4", "F1 缩小", Frame3);
    QPushButton *fn[8] = {Command29, Command8, Command7, Command6, Command5, Command2, Command3, Command4};
    for (int i = 0; i < 8; ++i)
        f3->addWidget(fn[i], i / 4, i % 4);
    root->addWidget(Frame3, 2, 2, 1, 2);

    Frame11 = new QGroupBox(this);
    Frame11->setObjectName(QStringLiteral("Frame11"));
    auto *f11 = new QHBoxLayout(Frame11);
    Command1 = button("Command1", "退出", Frame11);
    Command23 = button("Command23", "参数校准", Frame11);
    Command21 = button("Command21", "CONFIG", Frame11);
    f11->addWidget(Command1);
    f11->addWidget(Command23);
    f11->addWidget(Command21);
    f11->addStretch(1);
    root->addWidget(Frame11, 3, 0, 1, 4);

    // States when the window is created.
    Command2->setEnabled(false);
    Command6->setEnabled(false);
    Command29->setEnabled(false);
    Command23->setEnabled(false);
    Command23->hide();

    connect(Command1, &QPushButton::clicked, this, &ssqx::Command1_Click);
    connect(Command9, &QPushButton::clicked, this, &ssqx::Command9_Click);
    connect(Command10, &QPushButton::clicked, this, &ssqx::Command10_Click);
    connect(Command21, &QPushButton::clicked, this, &ssqx::Command21_Click);
    connect(Combo1, &QComboBox::editTextChanged, this, &ssqx::updatePortDevice);

    // Tab order follows the visual order: link settings, then the buttons.
    QWidget *order[] = {Combo1, Combo2, Option1[0], Option1[1], Option1[2], Option2[0], Option2[1], Option2[2],
                        Command9, Command10, Command29, Command8, Command7, Command6, Command5, Command2,
                        Command3, Command4, Command1, Command23, Command21};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ssqx::Form_Load()
{
    // 1. Link controls.
    Combo1->clear();
    for (int i = 1; i <= 20; ++i)
        Combo1->addItem(QString::number(i) + QLatin1Char(' '));
    Combo1->setEditText(QStringLiteral("1 "));
    Option1[1]->setChecked(true);
    Option2[0]->setChecked(true);
    Combo2->clear();
    for (int i = 1; i <= 16; ++i)
        Combo2->addItem(QString::number(i) + QLatin1Char(' '));
    Combo2->setEditText(QStringLiteral("1 "));
    updatePortDevice();
    // 2.
    Main_Loaded = -1;
    // 7.
    Unload_Ok = -1;
    Timer1.start();
    Timer3.start();
    refreshStateTexts();
}

void ssqx::updatePortDevice()
{
    int32_t port = 0;
    if (!Round_I32(Lead_Num(Combo1->currentText()), &port) || port < 1)
        Port_Dev->setText(QStringLiteral("无效端口号"));
    else
        Port_Dev->setText(Port_Device(port));
}

void ssqx::Command9_Click()
{
    int32_t v = 0;
    Link_Par[0] = Round_I32(Lead_Num(Combo1->currentText()), &v) ? v : 0;
    for (int i = 0; i < 3; ++i)
        if (Option1[i]->isChecked())
            Link_Par[1] = i;
    for (int i = 0; i < 3; ++i)
        if (Option2[i]->isChecked())
            Link_Par[2] = i;
    v = 0;
    Link_Par[3] = Round_I32(Lead_Num(Combo2->currentText()), &v) ? v : 0;
    m_openError.clear();
    if (Link *link = Link::instance()) {
        link->OpenPort_Modbus(Link_Par[0], Link_Par[1], Link_Par[2], this, [this](const LinkResult &r) {
            Link_Par[20] = r.result;
            m_openError = r.result == kModbusOk ? QString() : r.error;
            refreshStateTexts();
        });
    }
    Command21->setEnabled(true);
    if (m_met1) {
        m_met1->Reset_Health();
        m_met1->Timer1.start();
    }
    refreshStateTexts();
}

void ssqx::Command10_Click()
{
    if (Link *link = Link::instance())
        link->ClosePort_Modbus(Link_Par[0]);
    if (m_met1)
        m_met1->Timer1.stop();
    Command21->setEnabled(false);
    m_openError.clear();
    refreshStateTexts();
}

void ssqx::Command21_Click()
{
    emit Config_Requested();
}

void ssqx::Command1_Click()
{
    Unload_Ok = 0;
    Exit_Requested = true;
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
    Main_Loaded = 0;
    Timer1.stop();
    Timer3.stop();
    e->accept();
}

bool ssqx::eventFilter(QObject *obj, QEvent *e)
{
    if (e->type() == QEvent::KeyPress && obj->isWidgetType() && static_cast<QWidget *>(obj)->window() == this
        && isVisible()) {
        auto *ke = static_cast<QKeyEvent *>(e);
        if (Form_KeyDown(ke->key()))
            return true;
    }
    return QWidget::eventFilter(obj, e);
}

bool ssqx::Form_KeyDown(int key)
{
    switch (key) {
    case Qt::Key_Escape:
        Command1_Click();
        return true;
    default:
        return false;
    }
}

void ssqx::Show_Live()
{
    for (int i = 0; i < 5; ++i)
        D_3W[i]->setText(Num_Text(Val_3X[i]));
    for (int k = 0; k < 12; ++k) {
        if (Sta_1X[k] != 0) {
            D_2R[k]->setText(QString::fromUtf8(kStatusText[k]));
            setBg(D_2R[k], "#FFC0C0");
        } else {
            D_2R[k]->setText(QStringLiteral("   "));
            setBg(D_2R[k], "#C0FFFF");
        }
    }
}

void ssqx::Timer1_Timer()
{
    Show_Live();
}

void ssqx::Timer3_Timer()
{
    const QDateTime now = Clock_Now();
    Label2_9->setText(now.date().toString(QStringLiteral("MM-dd-yyyy")));
    Label2_10->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
    refreshStateTexts();
}

void ssqx::refreshStateTexts()
{
    QString link = m_met1 ? m_met1->Health_Text() : QStringLiteral("通讯关闭");
    bool bad = link.startsWith(QStringLiteral("通讯中断"));
    if (!m_openError.isEmpty()) {
        link = QStringLiteral("打开失败：") + m_openError;
        bad = true;
    } else if (bad && m_met1 && !m_met1->Last_Error().isEmpty()) {
        link += QStringLiteral("：") + m_met1->Last_Error();
    }
    Link_State->setText(link);
    Link_State->setStyleSheet(bad ? QStringLiteral("color:#C00000;") : QString());
    const QString log = m_mscom ? m_mscom->Log_Status() : QString();
    Log_State->setText(log.isEmpty() ? QStringLiteral("记录正常") : log);
    Log_State->setStyleSheet(log.isEmpty() ? QString() : QStringLiteral("color:#C00000;"));
}
