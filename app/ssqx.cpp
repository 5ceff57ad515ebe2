#include "app/ssqx.h"

#include "app/globals.h"
#include "chart/yrange.h"
#include "link/link.h"
#include "link/met1.h"
#include "logging/history.h"
#include "logging/mscom.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>
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
    Timer2.setObjectName(QStringLiteral("Timer2"));
    Timer2.setInterval(1000);
    connect(&Timer2, &QTimer::timeout, this, &ssqx::Timer2_Timer);
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
    buildChartArea();
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
    // Y-range editor, shown by a double click on a Y-axis label.
    Label9 = new QLabel(QStringLiteral("Y轴最大值"), Frame11);
    Label9->setObjectName(QStringLiteral("Label9"));
    YKD = new QLineEdit(Frame11);
    YKD->setObjectName(QStringLiteral("YKD"));
    Label10 = new QLabel(QStringLiteral("Y轴最小值"), Frame11);
    Label10->setObjectName(QStringLiteral("Label10"));
    YKD1 = new QLineEdit(QStringLiteral("0"), Frame11);
    YKD1->setObjectName(QStringLiteral("YKD1"));
    for (QLineEdit *e : {YKD, YKD1})
        e->setMaximumWidth(90);
    Label9->setBuddy(YKD);
    YKD->setAccessibleName(Label9->text());
    Label10->setBuddy(YKD1);
    YKD1->setAccessibleName(Label10->text());
    Command26 = button("Command26", "修改Y", Frame11);
    Y_Msg = new QLabel(Frame11);
    Y_Msg->setObjectName(QStringLiteral("Y_Msg"));
    Y_Msg->setStyleSheet(QStringLiteral("color:#C00000;"));
    f11->addSpacing(24);
    for (QWidget *w : std::initializer_list<QWidget *>{Label9, YKD, Label10, YKD1, Command26, Y_Msg}) {
        f11->addWidget(w);
        w->hide();
    }
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
    connect(Command2, &QPushButton::clicked, this, &ssqx::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &ssqx::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &ssqx::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &ssqx::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &ssqx::Command6_Click);
    connect(Command7, &QPushButton::clicked, this, &ssqx::Command7_Click);
    connect(Command8, &QPushButton::clicked, this, &ssqx::Command8_Click);
    connect(Command26, &QPushButton::clicked, this, &ssqx::Command26_Click);
    connect(hc, &QSlider::valueChanged, this, &ssqx::hc_Change);
    connect(Combo1, &QComboBox::editTextChanged, this, &ssqx::updatePortDevice);

    // Tab order follows the visual order: link settings, then the buttons.
    QWidget *order[] = {Combo1, Combo2, Option1[0], Option1[1], Option1[2], Option2[0], Option2[1], Option2[2],
                        Command9, Command10, Command29, Command8, Command7, Command6, Command5, Command2,
                        Command3, Command4, Command1, Command23, Command21, YKD, YKD1, Command26};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void ssqx::buildChartArea()
{
    // Positions in twips, like the chart itself: the Y-axis columns on the
    // left, the ruler slider above the chart, time and date rows below it.
    constexpr int kLeft = 1300;  // pt0's left edge
    constexpr int kTop = 420;    // pt0's top edge
    constexpr int kRowH = 250;
    Chart_Area = new QWidget(this);
    Chart_Area->setObjectName(QStringLiteral("Chart_Area"));
    auto px = [this](double twips) { return Pt_Box::Px(this, twips); };
    auto py = [this](double twips) { return Pt_Box::Px(this, twips, true); };
    auto place = [&](QWidget *w, double x, double y, double wd, double ht) {
        w->setGeometry(px(x), py(y), px(wd), py(ht));
    };

    hc = new QSlider(Qt::Horizontal, Chart_Area);
    hc->setObjectName(QStringLiteral("hc"));
    hc->setAccessibleName(QStringLiteral("标尺"));
    hc->setRange(-1, 12001);
    hc->setSingleStep(150);
    hc->setPageStep(150);
    hc->setValue(0);
    hc->setEnabled(false);
    hc->setFocusPolicy(Qt::ClickFocus);
    place(hc, kLeft, 0, kPt0Width, 380);

    pt0 = new Pt0_Box(Chart_Area);
    pt0->move(px(kLeft), py(kTop));
    pt = pt0->pt;

    const QString yCaption[7] = {"0", "100", "200", "300", "400", "500", "600"};
    const QString blue[7] = {"-10", "10", "30", "50", "70", "90", "110"};
    for (int i = 0; i <= 6; ++i) {
        const double y = kTop + 7500 - 1250.0 * i - kRowH / 2.0;
        Label5[i] = new QLabel(yCaption[i], Chart_Area);
        Label5[i]->setObjectName(QStringLiteral("Label5(%1)").arg(i));
        Label5[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label5[i]->setStyleSheet(QStringLiteral("color:#FF0000;"));
        Label5[i]->setToolTip(QStringLiteral("双击修改Y轴范围"));
        Label5[i]->installEventFilter(this);
        place(Label5[i], 620, y, 640, kRowH);
        Label6[i] = new QLabel(blue[i], Chart_Area);
        Label6[i]->setObjectName(QStringLiteral("Label6(%1)").arg(i));
        Label6[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label6[i]->setStyleSheet(QStringLiteral("color:#0000FF;"));
        place(Label6[i], 0, y, 560, kRowH);
    }
    for (int i = 0; i <= 8; ++i) {
        const double x = kLeft + 1500.0 * i - 650;
        Label4[i] = new QLabel(QStringLiteral("00:00:00"), Chart_Area);
        Label4[i]->setObjectName(QStringLiteral("Label4(%1)").arg(i));
        Label7[i] = new QLabel(QStringLiteral("2001/07/19"), Chart_Area);
        Label7[i]->setObjectName(QStringLiteral("Label7(%1)").arg(i));
        for (QLabel *l : {Label4[i], Label7[i]})
            l->setAlignment(Qt::AlignCenter);
        place(Label4[i], x, kTop + kPt0Height + 40, 1300, kRowH);
        place(Label7[i], x, kTop + kPt0Height + 40 + kRowH, 1300, kRowH);
    }
    const char *legend[3] = {"PV", "OP", "SV"};
    const char *legendColour[3] = {"#FF0000", "#C04000", "#0000FF"};
    for (int i = 0; i < 3; ++i) {
        Label8[i] = new QLabel(QLatin1String(legend[i]), Chart_Area);
        Label8[i]->setObjectName(QStringLiteral("Label8(%1)").arg(i));
        Label8[i]->setStyleSheet(QStringLiteral("color:%1;font-weight:bold;").arg(QLatin1String(legendColour[i])));
        place(Label8[i], kLeft + kPt0Width + 700, kTop + 300.0 * i, 600, kRowH);
    }
    Chart_Area->setFixedSize(px(kLeft + kPt0Width + 1400), py(kTop + kPt0Height + 40 + 2 * kRowH + 60));
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
    Cht.Page_Limit = 0;
    Main_Loaded = -1;
    Cht.Page_Back = 0;
    // 3. Ruler slider off; no zooming in or paging forward yet.
    {
        const QSignalBlocker block(hc);
        hc->setValue(0);
    }
    hc->setEnabled(false);
    Command3->setEnabled(false);
    Command7->setEnabled(false);
    // 4.
    for (int s = 1; s <= 321; ++s)
        Cht.Chart_Gap[s] = 0;
    Cht.Chart_Zoom = 1;
    // 5. The window's own connection; the newest record id.
    Main_Conn.Open();
    Read_Cur_Id(Main_Conn, Cht.Cur_Id);
    // 6.
    Cht.Load_Count = 241;
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Chart_End = 241;
    // 7.
    Unload_Ok = -1;
    // 8. pt0 and pt have their twip sizes from creation.
    Cht.Ruler_On = 0;
    {
        const QSignalBlocker block(hc);
        hc->setValue(0);
    }
    // 9. The live chart.
    Load_History();
    pt->Erase();
    Draw_Grid();
    Apply_Zoom();
    Draw_Curves();

    Timer1.start();
    Timer2.start();
    Timer3.start();
    refreshStateTexts();
}

// ---------------------------------------------------------------------------
// Chart procedures.

void ssqx::Apply_Zoom()
{
    ::Apply_Zoom(Cht);
}

void ssqx::Draw_Grid()
{
    pt->Draw_Grid();
}

void ssqx::Draw_Curves()
{
    pt->Draw_Curves(Cht, &m_labels);
    for (int i = 0; i <= 8; ++i) {
        Label4[i]->setText(m_labels.Label4[i]);
        Label7[i]->setText(m_labels.Label7[i]);
    }
}

void ssqx::Redraw_Chart()
{
    pt->Erase();
    Draw_Grid();
    Apply_Zoom();
    Draw_Curves();
}

void ssqx::Load_History()
{
    ::Load_History(Cht, Main_Conn);
    // Captions: the first slot on screen (slot 1 before the first zoom).
    const int s = Cht.Chart_Base + 1;
    if (s >= 0 && s < kChartSlots) {
        Label2_9->setText(Date_Text(Cht.Chart_Date[s]));
        Label2_10->setText(Time_Text(Cht.Chart_Time[s]));
    }
}

void ssqx::Reload_Live()
{
    Read_Cur_Id(Main_Conn, Cht.Cur_Id);
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Load_Count = 241;
    Cht.Chart_End = 241;
    Load_History();
    Redraw_Chart();
}

void ssqx::Append_Sample()
{
    if (Cht.Chart_End < kChartSlots - 1)
        ++Cht.Chart_End;
    // The curve reached the right edge (or lies past it after a zoom in):
    // back a quarter screen, newest record in slot 241.
    if (Cht.Chart_End >= 241 + 20 * Cht.Chart_Zoom)
        Reload_Live();
    const int s = Cht.Chart_End;
    if (s >= 0 && s < kChartSlots - 1) {
        for (int q = 0; q <= 5; ++q)
            Cht.Chart_Val[s][q] = Val_3X[q];
        const QDateTime now = Clock_Now();
        Cht.Chart_Date[s] = Date_Serial(now.date());
        Cht.Chart_Time[s] = Time_Serial(now.time());
    }
    New_Sample = 0;
    Redraw_Chart();
}

void ssqx::Set_Y_Labels()
{
    for (int i = 0; i <= 6; ++i)
        Label5[i]->setText(QString::number(Y_Label_Value(i, Y_Span, Y_Min)));
}

// ---------------------------------------------------------------------------
// Zoom and paging.

void ssqx::Set_Slider_Step()
{
    int32_t step = 0;
    if (Round_I32(double(Cht.Chart_Step), &step) && step > 0) {
        hc->setSingleStep(step);
        hc->setPageStep(step);
    }
}

void ssqx::Command3_Click()
{
    pt->Erase();
    Draw_Grid();
    if (Cht.Chart_Zoom > INT16_MIN)
        --Cht.Chart_Zoom;
    if (Cht.Chart_Zoom <= 1)
        Command3->setEnabled(false);
    if (Cht.Chart_Zoom < 4)
        Command4->setEnabled(true);
    Apply_Zoom();
    Set_Slider_Step();
    Draw_Curves();
}

void ssqx::Command4_Click()
{
    pt->Erase();
    Draw_Grid();
    if (Cht.Chart_Zoom < INT16_MAX)
        ++Cht.Chart_Zoom;
    if (Cht.Chart_Zoom > 1)
        Command3->setEnabled(true);
    if (Cht.Chart_Zoom > 3)
        Command4->setEnabled(false);
    Apply_Zoom();
    Set_Slider_Step();
    Draw_Curves();
}

// The page n records before Cur_Id ends at Cur_Id - n, counted back
// through the ring's start when needed; n = Cur_Id leaves it alone.
void ssqx::Set_Window_End(int32_t n)
{
    // 64-bit: Cur_Id comes from the file and may be anything.
    const qint64 cur = Cht.Cur_Id;
    qint64 end = Cht.Win_Last_Id;
    if (cur > n)
        end = cur - n;
    else if (cur < n)
        end = kRingSize - (qint64(n) - cur);
    Cht.Win_Last_Id = Clamp_I32(end);
}

void ssqx::Command8_Click()
{
    if (Cht.Page_Back < INT16_MAX)
        ++Cht.Page_Back;
    Cht.Load_Count = 321;
    const int32_t n = 60 * int32_t(Cht.Page_Back);
    if (Cht.Page_Back >= 1) {
        Timer1.stop();
        Command7->setEnabled(true);
    }
    // Limit: the page would reach back past the oldest record. That is the
    // ring's first record while it has not wrapped, and otherwise the record
    // after the newest one (the ring holds 65500).
    if ((Cht.Cur_Id > n && Cht.Cur_Id - n <= 321) || n > kRingSize - 321) {
        Command8->setEnabled(false);
        Cht.Page_Limit = -1;
        return;
    }
    Set_Window_End(n);
    Cht.Chart_End = 321;
    Load_History();
    pt->Erase();
    Draw_Grid();
    Apply_Zoom();
    Draw_Curves();
}

void ssqx::Command7_Click()
{
    pt->Erase();
    if (Cht.Page_Back > INT16_MIN)
        --Cht.Page_Back;
    Cht.Load_Count = 321;
    if (Cht.Page_Back != 0) {
        Set_Window_End(60 * int32_t(Cht.Page_Back));
        Cht.Chart_End = 321;
        Load_History();
        pt->Erase();
        Draw_Grid();
        Apply_Zoom();
        Draw_Curves();
    } else {
        // Back to live data, from the newest record on.
        Read_Cur_Id(Main_Conn, Cht.Cur_Id);
        Cht.Load_Count = 241;
        Cht.Win_Last_Id = Cht.Cur_Id;
        Cht.Chart_End = 241;
        Load_History();
        Command7->setEnabled(false);
        pt->Erase();
        Draw_Grid();
        Apply_Zoom();
        Draw_Curves();
        // With the ruler still shown the chart stays frozen; switching the
        // ruler off restarts the live refresh.
        if (Cht.Ruler_On == 0)
            Timer1.start();
    }
    if (!Command8->isEnabled()) {
        Command8->setEnabled(true);
        Cht.Page_Limit = 0;
    }
}

void ssqx::Command2_Click()
{
    // Printing is not part of this program.
}

void ssqx::Command6_Click()
{
    // Select has no function.
}

// ---------------------------------------------------------------------------
// Ruler.

void ssqx::Command5_Click()
{
    if (Cht.Ruler_On == 0) {
        {
            const QSignalBlocker block(hc);
            hc->setValue(0);
        }
        pt->Line1.Set(0xFFFF00, 2, 1, 0, 1, 330);
        pt->Line_Changed();
        hc->setEnabled(true);
        Cht.Ruler_On = -1;
        hc->setFocus();
        Timer1.stop();
        Command5->setText(QStringLiteral("F4 复原"));
    } else {
        {
            const QSignalBlocker block(hc);
            hc->setValue(0);
        }
        pt->Line1.Set(0x00FF00, 2, 0, 0, 0, 330);
        pt->Line_Changed();
        Cht.Ruler_On = 0;
        hc->setEnabled(false);
        Command5->setFocus();
        Command5->setText(QStringLiteral("F4 标尺"));
        Timer1.start();
        Reload_Live();
    }
}

void ssqx::hc_Change(int v)
{
    if (v == -1 && Cht.Page_Limit == 0)
        Command8_Click();
    if (v == 12001 && Cht.Page_Back > 0)
        Command7_Click();
    pt->Line1.Set(0xC000C0, 2, v, 0, v, 7500);
    pt->Line_Changed();
    if (Cht.Chart_Step == 0.0f)
        return;
    const int s = Cht.Chart_Base + int(Round_Even(double(v) / double(Cht.Chart_Step)));
    if (s < 0 || s >= kChartSlots)
        return;
    const QColor yellow(0xFF, 0xFF, 0x00);
    Label2_9->setText(Date_Text(Cht.Chart_Date[s]));
    Label2_10->setText(Time_Text(Cht.Chart_Time[s]));
    Set_Back(Label2_9, yellow);
    Set_Back(Label2_10, yellow);
    for (int q = 0; q <= 4; ++q) {
        D_3W[q]->setText(Num_Text(Cht.Chart_Val[s][q]));
        Set_Back(D_3W[q], yellow);
    }
}

// ---------------------------------------------------------------------------
// Y range.

void ssqx::Label5_DblClick(int)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Label9, Label10, YKD, YKD1, Command26})
        w->setVisible(true);
}

void ssqx::Command26_Click()
{
    Y_Range r;
    const Y_Check c = Check_Y_Range(YKD->text(), YKD1->text(), &r);
    if (c != Y_Check::Ok) {
        Y_Msg->setText(Y_Check_Text(c));
        Y_Msg->show();
        return;
    }
    Y_Msg->clear();
    Y_Msg->hide();
    Y_Min = r.Min;
    Y_Max = r.Max;
    Y_Span = r.Span;
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
    const uint32_t seq = ++m_linkSeq;
    if (Link *link = Link::instance()) {
        link->OpenPort_Modbus(Link_Par[0], Link_Par[1], Link_Par[2], this, [this, seq](const LinkResult &r) {
            Link_Par[20] = r.result;
            // A close or a newer open issued meanwhile owns the state text.
            if (seq != m_linkSeq)
                return;
            m_openError = r.result == kModbusOk ? QString() : r.error;
            refreshStateTexts();
        });
    }
    Command21->setEnabled(true);
    if (m_met1) {
        m_met1->Reset_Health();
        // Pressing "打开" again keeps the polling rhythm.
        if (!m_met1->Timer1.isActive())
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
    ++m_linkSeq;
    m_openError.clear();
    refreshStateTexts();
}

void ssqx::Command21_Click()
{
    emit Config_Requested();
}

void ssqx::Command1_Click()
{
    // The exit path alone closes the window's database objects.
    Main_Conn.Close();
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
    Main_Conn.Close();
    Main_Loaded = 0;
    Timer1.stop();
    Timer2.stop();
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
    if (e->type() == QEvent::MouseButtonDblClick) {
        for (int i = 0; i <= 6; ++i) {
            if (obj == Label5[i]) {
                Label5_DblClick(i);
                return true;
            }
        }
    }
    return QWidget::eventFilter(obj, e);
}

bool ssqx::Form_KeyDown(int key)
{
    switch (key) {
    case Qt::Key_F2:
        if (Cht.Chart_Zoom > 1) {
            Command3_Click();
            return true;
        }
        return false;
    case Qt::Key_F1:
        if (Cht.Chart_Zoom < 4) {
            Command4_Click();
            return true;
        }
        return false;
    case Qt::Key_F6:
        if (Cht.Page_Back > 0) {
            Command7_Click();
            return true;
        }
        return false;
    case Qt::Key_F7:
        if (Cht.Page_Limit == 0) {
            Command8_Click();
            return true;
        }
        return false;
    case Qt::Key_F4:
        Command5_Click();
        return true;
    case Qt::Key_F3:
        Command2_Click();
        return true;
    case Qt::Key_Escape:
        Command1_Click();
        return true;
    case Qt::Key_F5:
        Command6_Click();
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
    // 1. Undo the ruler's yellow on the date, time and all five read-outs.
    if (Cht.Ruler_On == 0) {
        const QColor green(0x80, 0xFF, 0x80), pink(0xFF, 0xC0, 0xFF);
        Set_Back(Label2_9, green);
        Set_Back(Label2_10, green);
        for (QLabel *l : D_3W)
            Set_Back(l, pink);
    }
    // 2.
    Set_Y_Labels();
    // 3. A record was logged since the last tick.
    if (New_Sample == -1)
        Append_Sample();
    // 4.
    Show_Live();
    // 5.
    Label19->setText(QString::number(double(Cht.Chart_Step)));
}

void ssqx::Timer2_Timer()
{
    Redraw_Chart();
}

void ssqx::Timer3_Timer()
{
    if (Cht.Ruler_On == 0) {
        const QDateTime now = Clock_Now();
        Label2_9->setText(now.date().toString(QStringLiteral("MM-dd-yyyy")));
        Label2_10->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
    }
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
