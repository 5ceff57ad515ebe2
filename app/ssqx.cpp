#include "app/ssqx.h"

#include "app/log_text.h"
#include "app/session.h"
#include "chart/yrange.h"
#include "config/link_text.h"
#include "config/set_back.h"
#include "config/write_journal.h"
#include "core/dates.h"
#include "core/numbers.h"
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
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>

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

// The chart's area: slider, pt0, axis and time labels. Its preferred size is
// the chart at its twip size; it may be made smaller (or larger), and the
// main window lays its parts out again on every resize.
class Chart_Frame : public QWidget {
public:
    using QWidget::QWidget;
    QSize Hint;
    QSize sizeHint() const override { return Hint; }
};

// Layout of the chart area in twips: the Y-axis columns on the left, the
// ruler slider above the chart, the legend on the right, the time and date
// rows below it.
constexpr int kLeft = 1300;  // pt0's left edge
constexpr int kTop = 420;    // pt0's top edge
constexpr int kRight = 1400; // right of pt0: the legend
constexpr int kRowH = 250;
constexpr int kBottom = 40 + 2 * kRowH + 60;
// The least drawing area that still reads well (480 x 260 px at 96 dpi).
constexpr int kLeastPtW = 7200, kLeastPtH = 3900;
// An Esc within this time after the configuration window gave the main
// window back belongs to that window (a double press or a held key).
constexpr qint64 kEscGuardMs = 1000;
// Room left for the window frame when the window is sized to its screen.
constexpr int kFrameAllowW = 16, kFrameAllowH = 40;

const QString kNoRecord = QStringLiteral("无记录");

QPushButton *button(const char *name, const char *caption, QWidget *parent)
{
    auto *b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QLatin1String(name));
    b->setFocusPolicy(Qt::StrongFocus);
    return b;
}

} // namespace

ssqx::ssqx(InstrumentSession &session, QWidget *parent)
    : QWidget(parent), Main_Conn(session.dbFiles, QStringLiteral("Main_Conn")), m_session(session)
{
    setObjectName(QStringLiteral("ssqx"));
    setWindowTitle(QStringLiteral("过程控制仪表 QR5300M  OverView"));
    Mono_Ms = [] {
        return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count());
    };
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
    connect(&m_session.journal, &Write_Journal::Changed, this, &ssqx::Show_Write_Problem);
    // The state lines follow the cycles' health as it changes.
    connect(&m_session.met1, &Met1::healthChanged, this, &ssqx::refreshStateTexts);
    connect(&m_session.logger, &mscom::logStateChanged, this, &ssqx::refreshStateTexts);
    connect(&m_session.logger, &mscom::noticeRaised, this, &ssqx::refreshStateTexts);
    refreshStateTexts();

    // The window sees every key before the control that has the focus.
    qApp->installEventFilter(this);
}

ssqx::~ssqx() = default;

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

    // Value read-outs. The caption says whose values they show: live ones,
    // or the record under the ruler.
    Frame4 = new QGroupBox(QStringLiteral("实时值"), this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto *ro = new QGridLayout(Frame4);
    // Tight rows pay for the caption: the group keeps its height.
    {
        int l = 0, t = 0, r = 0, b = 0;
        ro->getContentsMargins(&l, &t, &r, &b);
        ro->setContentsMargins(l, 2, r, 2);
        ro->setVerticalSpacing(4);
    }
    for (int i = 0; i < 5; ++i) {
        D_3W_Caption[i] = new QLabel(QString::fromUtf8(kReadoutCaption[i]), Frame4);
        D_3W_Caption[i]->setObjectName(QStringLiteral("D_3W_Caption(%1)").arg(i));
        D_3W_Caption[i]->setStyleSheet(QStringLiteral("color:%1;").arg(QLatin1String(kCaptionColour[i])));
        D_3W_Caption[i]->setAlignment(Qt::AlignCenter);
        D_3W[i] = new Fit_Label(QStringLiteral("0"), Frame4);
        D_3W[i]->setObjectName(QStringLiteral("D_3W(%1)").arg(i));
        D_3W[i]->setAlignment(Qt::AlignCenter);
        D_3W[i]->setMinimumWidth(110);
        QFont f = D_3W[i]->font();
        f.setPointSize(f.pointSize() + 6);
        f.setBold(true);
        D_3W[i]->setFont(f);
        D_3W[i]->Set_Least_Point_Size(f.pointSizeF() - 6);
        setBg(D_3W[i], "#FFC0FF");
        ro->addWidget(D_3W_Caption[i], 0, i);
        ro->addWidget(D_3W[i], 1, i);
    }
    root->addWidget(Frame4, 1, 0, 1, 2);

    // Date, time and health texts.
    auto *stateBox = new QWidget(this);
    auto *sl = new QGridLayout(stateBox);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setVerticalSpacing(2);
    Label2_9 = new Fit_Label(QStringLiteral("2001-03-12"), stateBox);
    Label2_9->setObjectName(QStringLiteral("Label2(9)"));
    Label2_10 = new Fit_Label(QStringLiteral("18：42：00"), stateBox);
    Label2_10->setObjectName(QStringLiteral("Label2(10)"));
    for (QLabel *l : {Label2_9, Label2_10}) {
        l->setAlignment(Qt::AlignCenter);
        setBg(l, "#80FF80");
    }
    // Messages take the room they have and never widen the window: a long
    // one is elided and shown whole as a tooltip.
    Link_State = new Fit_Label(QString(), stateBox);
    Link_State->setObjectName(QStringLiteral("Link_State"));
    Log_State = new Fit_Label(QString(), stateBox);
    Log_State->setObjectName(QStringLiteral("Log_State"));
    Write_State = new Fit_Label(QString(), stateBox);
    Write_State->setObjectName(QStringLiteral("Write_State"));
    Write_State->setStyleSheet(QStringLiteral("color:#C00000;"));
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
    sl->addWidget(Write_State, 3, 0, 1, 2);
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
    Port_Dev = new Fit_Label(QString(), Frame6, QStringLiteral("/dev/ttyS10"));
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
    Y_Msg = new Fit_Label(QString(), Frame11);
    Y_Msg->setObjectName(QStringLiteral("Y_Msg"));
    Y_Msg->setStyleSheet(QStringLiteral("color:#C00000;"));
    f11->addSpacing(24);
    for (QWidget *w : std::initializer_list<QWidget *>{Label9, YKD, Label10, YKD1, Command26, Y_Msg}) {
        f11->addWidget(w, w == Y_Msg ? 10 : 0);
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
    auto *area = new Chart_Frame(this);
    Chart_Area = area;
    Chart_Area->setObjectName(QStringLiteral("Chart_Area"));
    auto px = [this](double twips) { return Pt_Box::Px(this, twips); };
    auto py = [this](double twips) { return Pt_Box::Px(this, twips, true); };
    area->Hint = QSize(px(kLeft + kPt0Width + kRight), py(kTop + kPt0Height + kBottom));
    Chart_Area->setMinimumSize(px(kLeft) + px(kLeastPtW) + px(kRight), py(kTop) + py(kLeastPtH) + py(kBottom));
    Chart_Area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    Chart_Area->installEventFilter(this);

    hc = new QSlider(Qt::Horizontal, Chart_Area);
    hc->setObjectName(QStringLiteral("hc"));
    hc->setAccessibleName(QStringLiteral("标尺"));
    hc->setRange(-1, 12001);
    hc->setSingleStep(150);
    hc->setPageStep(150);
    hc->setValue(0);
    hc->setEnabled(false);
    hc->setFocusPolicy(Qt::ClickFocus);

    pt0 = new Pt0_Box(Chart_Area);
    pt = pt0->pt;

    const QString yCaption[7] = {"0", "100", "200", "300", "400", "500", "600"};
    const QString blue[7] = {"-10", "10", "30", "50", "70", "90", "110"};
    for (int i = 0; i <= 6; ++i) {
        Label5[i] = new Fit_Label(yCaption[i], Chart_Area);
        Label5[i]->setObjectName(QStringLiteral("Label5(%1)").arg(i));
        Label5[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label5[i]->setStyleSheet(QStringLiteral("color:#FF0000;"));
        Label5[i]->setToolTip(QStringLiteral("双击修改Y轴范围"));
        Label5[i]->Set_Least_Point_Size(Label5[i]->font().pointSizeF() - 2);
        Label5[i]->installEventFilter(this);
        Label6[i] = new QLabel(blue[i], Chart_Area);
        Label6[i]->setObjectName(QStringLiteral("Label6(%1)").arg(i));
        Label6[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        Label6[i]->setStyleSheet(QStringLiteral("color:#0000FF;"));
    }
    for (int i = 0; i <= 8; ++i) {
        Label4[i] = new Fit_Label(QStringLiteral("00:00:00"), Chart_Area);
        Label4[i]->setObjectName(QStringLiteral("Label4(%1)").arg(i));
        Label7[i] = new Fit_Label(QStringLiteral("2001/07/19"), Chart_Area);
        Label7[i]->setObjectName(QStringLiteral("Label7(%1)").arg(i));
        for (Fit_Label *l : {Label4[i], Label7[i]}) {
            l->setAlignment(Qt::AlignCenter);
            l->Set_Least_Point_Size(l->font().pointSizeF() - 2);
        }
    }
    const char *legend[3] = {"PV", "OP", "SV"};
    const char *legendColour[3] = {"#FF0000", "#C04000", "#0000FF"};
    for (int i = 0; i < 3; ++i) {
        Label8[i] = new QLabel(QLatin1String(legend[i]), Chart_Area);
        Label8[i]->setObjectName(QStringLiteral("Label8(%1)").arg(i));
        Label8[i]->setStyleSheet(QStringLiteral("color:%1;font-weight:bold;").arg(QLatin1String(legendColour[i])));
    }
    Chart_Area->resize(area->Hint);
    Place_Chart(false);
}

// Lays the chart area out for its size: pt0 and pt take what the axis
// columns, the slider, the legend and the time rows leave, and the labels
// follow the drawing's scale, so label i of the Y axis stays on the grid
// line of its value and time label i under x = 1500 i.
void ssqx::Place_Chart(bool redraw)
{
    auto px = [this](double twips) { return Pt_Box::Px(this, twips); };
    auto py = [this](double twips) { return Pt_Box::Px(this, twips, true); };
    // The margins are what the preferred size leaves around pt0's own size,
    // so at that size pt0 and pt have exactly their twip sizes.
    const int left = px(kLeft), top = py(kTop);
    const int right = px(kLeft + kPt0Width + kRight) - left - px(kPt0Width);
    const int bottom = py(kTop + kPt0Height + kBottom) - top - py(kPt0Height);
    const int w = std::max(Chart_Area->width() - left - right, 1);
    const int h = std::max(Chart_Area->height() - top - bottom, 1);
    hc->setGeometry(left, 0, w, py(380));
    pt0->setGeometry(left, top, w, h);
    pt->setGeometry(0, 0, w, h);
    const double sx = pt->Sx(), sy = pt->Sy();
    const int rowH = py(kRowH);
    for (int i = 0; i <= 6; ++i) {
        const int y = int(std::lround(top + (7500 - 1250.0 * i) * sy - rowH / 2.0));
        Label5[i]->setGeometry(px(620), y, px(640), rowH);
        Label6[i]->setGeometry(0, y, px(560), rowH);
    }
    const int lw = std::max(std::min(px(1300), int(1500 * sx) - 4), 1);
    for (int i = 0; i <= 8; ++i) {
        const int x = int(std::lround(left + 1500.0 * i * sx - lw / 2.0));
        Label4[i]->setGeometry(x, top + h + py(40), lw, rowH);
        Label7[i]->setGeometry(x, top + h + py(40) + rowH, lw, rowH);
    }
    for (int i = 0; i < 3; ++i)
        Label8[i]->setGeometry(left + w + px(700), top + py(300.0 * i), px(600), rowH);
    if (redraw)
        Redraw_Chart(); // the picture at its new size
}

// At the first show the window takes its preferred size, or as much of the
// screen as there is when that is smaller (a 1024 x 768 panel PC), placed
// at the screen's top left.
void ssqx::Fit_Screen()
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
        Fit_Screen();
    }
    QWidget::showEvent(e);
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
    // Records logged from now on reach the chart.
    connect(&m_session.logger, &mscom::Sample_Logged, this, &ssqx::Note_Sample, Qt::UniqueConnection);
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
    for (int s = 1; s <= kPageLoad; ++s)
        Cht.Chart_Gap[s] = 0;
    Cht.Chart_Zoom = 1;
    // 5. The window's own connection; the newest record id.
    bool dbOk = Main_Conn.Open();
    if (!dbOk)
        History_Failed();
    if (!Read_Cur_Id(Main_Conn, Cht.Cur_Id) && dbOk) {
        History_Failed();
        dbOk = false;
    }
    // 6.
    Cht.Load_Count = kLiveLoad;
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Chart_End = kLiveLoad;
    // 7.
    Unload_Ok = -1;
    // 8. pt0 and pt have their twip sizes from creation.
    Cht.Ruler_On = 0;
    {
        const QSignalBlocker block(hc);
        hc->setValue(0);
    }
    // 9. The live chart.
    Load_History(dbOk);
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
    pt->Draw_Curves(Cht, &m_labels, m_session.yRange);
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

void ssqx::Load_History(bool idOk)
{
    if (!::Load_History(Cht, Main_Conn))
        History_Failed();
    else if (idOk)
        m_historyError.clear();
    refreshStateTexts();
    // Captions: the first slot on screen (slot 1 before the first zoom).
    const int s = Cht.Chart_Base + 1;
    if (s >= 0 && s < kChartSlots)
        Show_Slot_Time(s);
    // The ruler reads the newly loaded records from now on.
    if (Cht.Ruler_On != 0)
        Show_Ruler_Readout(hc->value());
}

// Date and time of slot s on Label2(9) and Label2(10); a slot without a
// record says so instead of showing the date serial 0.
void ssqx::Show_Slot_Time(int s)
{
    if (Slot_Has_Record(Cht, s)) {
        Label2_9->setText(Date_Text(Cht.Chart_Date[s]));
        Label2_10->setText(Time_Text(Cht.Chart_Time[s]));
    } else {
        Label2_9->setText(kNoRecord);
        Label2_10->setText(QStringLiteral("--:--:--"));
    }
}

// The database's own words follow the operator's text.
void ssqx::History_Failed()
{
    const QString why = Main_Conn.Fault_Text();
    m_historyError = why.isEmpty() ? QStringLiteral("历史读取失败") : QStringLiteral("历史读取失败：") + why;
}

void ssqx::Reload_Live()
{
    const bool idOk = Read_Cur_Id(Main_Conn, Cht.Cur_Id);
    if (!idOk)
        History_Failed();
    Cht.Win_Last_Id = Cht.Cur_Id;
    Cht.Load_Count = kLiveLoad;
    Cht.Chart_End = kLiveLoad;
    Load_History(idOk);
    Redraw_Chart();
}

void ssqx::Append_Sample()
{
    if (Cht.Chart_End < kChartSlots - 1)
        ++Cht.Chart_End;
    // The curve reached the right edge (or lies past it after a zoom in):
    // back a quarter screen, newest record in slot kLiveLoad.
    if (Cht.Chart_End >= kLiveLoad + kReloadStep * Cht.Chart_Zoom)
        Reload_Live();
    const int s = Cht.Chart_End;
    if (s >= 0 && s < kChartSlots - 1) {
        for (int q = 0; q <= 5; ++q)
            Cht.Chart_Val[s][q] = m_session.live.Val_3X[q];
        const QDateTime now = m_session.clock.Now();
        Cht.Chart_Date[s] = Date_Serial(now.date());
        Cht.Chart_Time[s] = Time_Serial(now.time());
    }
    m_samplePending = false;
    Redraw_Chart();
}

void ssqx::Set_Y_Labels()
{
    for (int i = 0; i <= 6; ++i)
        Label5[i]->setText(QString::number(Y_Label_Value(i, m_session.yRange.Span, m_session.yRange.Min)));
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
    Cht.Load_Count = kPageLoad;
    const int32_t n = kPageStep * int32_t(Cht.Page_Back);
    // Live appending ends (the refresh itself goes on: status and
    // read-outs stay live).
    if (Cht.Page_Back >= 1)
        Command7->setEnabled(true);
    // Limit: the page would reach back past the oldest record. That is the
    // ring's first record while it has not wrapped, and otherwise the record
    // after the newest one (the ring holds 65500).
    if ((Cht.Cur_Id > n && Cht.Cur_Id - n <= kPageLoad) || n > kRingSize - kPageLoad) {
        Command8->setEnabled(false);
        Cht.Page_Limit = -1;
        return;
    }
    Set_Window_End(n);
    Cht.Chart_End = kPageLoad;
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
    Cht.Load_Count = kPageLoad;
    if (Cht.Page_Back != 0) {
        Set_Window_End(kPageStep * int32_t(Cht.Page_Back));
        Cht.Chart_End = kPageLoad;
        Load_History();
        pt->Erase();
        Draw_Grid();
        Apply_Zoom();
        Draw_Curves();
    } else {
        // Back to live data, from the newest record on.
        const bool idOk = Read_Cur_Id(Main_Conn, Cht.Cur_Id);
        if (!idOk)
            History_Failed();
        Cht.Load_Count = kLiveLoad;
        Cht.Win_Last_Id = Cht.Cur_Id;
        Cht.Chart_End = kLiveLoad;
        Load_History(idOk);
        Command7->setEnabled(false);
        pt->Erase();
        Draw_Grid();
        Apply_Zoom();
        Draw_Curves();
        // Live appending resumes unless the ruler is still shown.
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
        Command5->setText(QStringLiteral("F4 复原"));
        // Live appending stops; the read-outs show the slot under the
        // slider from now on, never a live value.
        Show_Ruler_Readout(hc->value());
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
        Frame4->setTitle(QStringLiteral("实时值"));
        Restore_Colours();
        Show_Live();
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
    Show_Ruler_Readout(v);
}

// The record under the ruler at slider value v: its values on the five
// read-outs, its date and time on Label2(9) and Label2(10), all on the
// ruler's yellow, and the read-outs' caption names the ruler and the time.
void ssqx::Show_Ruler_Readout(int v)
{
    if (Cht.Chart_Step == 0.0f)
        return;
    const int s = Cht.Chart_Base + int(Round_Even(double(v) / double(Cht.Chart_Step)));
    if (s < 0 || s >= kChartSlots)
        return;
    const bool has = Slot_Has_Record(Cht, s);
    const QColor yellow(0xFF, 0xFF, 0x00);
    Show_Slot_Time(s);
    Set_Back(Label2_9, yellow);
    Set_Back(Label2_10, yellow);
    for (int q = 0; q <= 4; ++q) {
        D_3W[q]->setText(has ? Num_Text(Cht.Chart_Val[s][q]) : QStringLiteral("—"));
        Set_Back(D_3W[q], yellow);
    }
    Frame4->setTitle(has ? QStringLiteral("标尺读数 %1 %2").arg(Date_Text(Cht.Chart_Date[s]),
                                                               Time_Text(Cht.Chart_Time[s]))
                         : QStringLiteral("标尺读数 ") + kNoRecord);
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
    m_session.yRange = r;
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
    int32_t *Link_Par = m_session.settings.Link_Par;
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
    const int32_t port = Link_Par[0];
    m_session.link.OpenPort_Modbus(port, Link_Par[1], Link_Par[2], this, [this, seq, port](const LinkResult &r) {
        m_session.settings.Link_Par[20] = r.result;
        // A close or a newer open issued meanwhile owns the state text.
        if (seq != m_linkSeq)
            return;
        m_openError = r.result == kModbusOk ? QString() : Open_Failure_Text(r.error, port);
        refreshStateTexts();
    });
    Command21->setEnabled(true);
    Met1 &met1 = m_session.met1;
    met1.Reset_Health();
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
    Show_Write_Problem();
    emit Config_Requested();
}

void ssqx::Config_Closed()
{
    m_backMono = Mono_Ms();
    m_backAt = m_session.clock.Now();
    show();
    Show_Write_Problem();
}

// The newest unsettled write problem of the configuration window, when it
// arose in the last minute before the window came back or later (a write
// issued as the window closed may fail afterwards). It stays until the
// configuration window is opened again, which clears the journal.
constexpr int kWriteProblemSecs = 60;

void ssqx::Show_Write_Problem()
{
    Write_Journal::Entry e;
    if (m_backAt.isValid())
        e = m_session.journal.Latest();
    if (e.reg == 0 || !e.when.isValid() || e.when < m_backAt.addSecs(-kWriteProblemSecs)) {
        Write_State->clear();
        return;
    }
    Write_State->setText(e.when.toString(QStringLiteral("HH:mm:ss ")) + e.text);
}

void ssqx::Command1_Click()
{
    // The exit path alone closes the window's database objects.
    Main_Conn.Close();
    Unload_Ok = 0;
    emit Exit_Asked();
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
    disconnect(&m_session.logger, &mscom::Sample_Logged, this, &ssqx::Note_Sample);
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
        if (Form_KeyDown(ke->key(), ke->isAutoRepeat()))
            return true;
    }
    if (obj == Chart_Area && e->type() == QEvent::Resize)
        Place_Chart();
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

// An Esc that is the keyboard repeating a held key, or that comes within a
// second after the configuration window gave the window back, was meant
// for that window (its own Esc closed it): it must not end the program.
bool ssqx::Esc_Held_Over(bool autoRepeat) const
{
    if (autoRepeat)
        return true;
    return m_backMono && Mono_Ms && Mono_Ms() - *m_backMono < kEscGuardMs;
}

bool ssqx::Form_KeyDown(int key, bool autoRepeat)
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
        if (!Esc_Held_Over(autoRepeat))
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
    // While the ruler is on the read-outs show its record instead.
    if (Cht.Ruler_On == 0) {
        for (int i = 0; i < 5; ++i)
            D_3W[i]->setText(Num_Text(m_session.live.Val_3X[i]));
    }
    for (int k = 0; k < 12; ++k) {
        if (m_session.live.Sta_1X[k] != 0) {
            D_2R[k]->setText(QString::fromUtf8(kStatusText[k]));
            setBg(D_2R[k], "#FFC0C0");
        } else {
            D_2R[k]->setText(QStringLiteral("   "));
            setBg(D_2R[k], "#C0FFFF");
        }
    }
}

void ssqx::Restore_Colours()
{
    const QColor green(0x80, 0xFF, 0x80), pink(0xFF, 0xC0, 0xFF);
    Set_Back(Label2_9, green);
    Set_Back(Label2_10, green);
    for (QLabel *l : D_3W)
        Set_Back(l, pink);
}

// Runs in every chart mode: the status cells and the read-outs stay live
// while the chart pages through history or the ruler is shown; only the
// appending of live samples waits for the live chart.
void ssqx::Timer1_Timer()
{
    // 1. Undo the ruler's yellow on the date, time and all five read-outs.
    if (Cht.Ruler_On == 0)
        Restore_Colours();
    // 2.
    Set_Y_Labels();
    // 3. A record was logged since the last tick; one logged while paging
    // or under the ruler waits for the live chart.
    if (m_samplePending && Chart_Live())
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
        const QDateTime now = m_session.clock.Now();
        Label2_9->setText(now.date().toString(QStringLiteral("MM-dd-yyyy")));
        Label2_10->setText(now.time().toString(QStringLiteral("HH:mm:ss")));
    }
}

void ssqx::refreshStateTexts()
{
    const LinkState state = m_session.met1.linkState();
    QString link;
    bool bad = true;
    if (!m_openError.isEmpty()) {
        link = m_openError; // the whole line: "打开失败：..."
    } else {
        link = Link_Health_Text(state.health, state.lastGood, state.error);
        bad = Link_Broken(state.health);
    }
    Link_State->setText(link);
    Link_State->setStyleSheet(bad ? QStringLiteral("color:#C00000;") : QString());
    // The window's own failed reads join the logging's failures: both are
    // the database.
    QString log = logStateText(m_session.logger.logState());
    if (!m_historyError.isEmpty())
        log = log.isEmpty() ? m_historyError : log + QStringLiteral("；") + m_historyError;
    // A notice (the database was replaced and reopened, lost ids recovered)
    // follows "记录正常" in blue: logging goes on, but the operator should
    // know what happened to the file.
    const QString notice = logNoticeText(m_session.logger.lastNotice());
    if (!log.isEmpty()) {
        Log_State->setText(log);
        Log_State->setStyleSheet(QStringLiteral("color:#C00000;"));
    } else {
        Log_State->setText(notice.isEmpty() ? QStringLiteral("记录正常")
                                            : QStringLiteral("记录正常（%1）").arg(notice));
        Log_State->setStyleSheet(notice.isEmpty() ? QString() : QStringLiteral("color:#0000C0;"));
    }
}
