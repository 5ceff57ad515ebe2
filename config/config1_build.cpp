// The configuration window's layout: where every control goes, in twips
// as the window was drawn, scaled to the screen.
#include "config/config1.h"

#include "config/label_fit.h"
#include "config/param_access.h"
#include "config/set_back.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>

namespace {

const QColor kReadBack(0xFF, 0xC0, 0xFF);

// Layout in twips (1/1440 inch), converted with the screen's logical DPI.
constexpr int kClientW = 14610, kClientH = 9540;
constexpr int kFrameX = 38, kFrameY = 0, kFrameW = 14535, kFrameH = 5235;
constexpr int kTabX = 105, kTabY = 300, kTabW = 14325, kTabH = 4815;
constexpr int kTabsPerRow = 5;
constexpr int kTabRowH = 375;                  // one row of five tab captions
constexpr int kRowTop = 150, kRowStep = 450;  // inside a tab page
constexpr int kNameX = 150, kNameW = 2100;
constexpr int kBackX = 2400, kBackW = 1545, kBackH = 285;
constexpr int kEntryX = 4050, kEntryW = 2115, kTextH = 315, kComboH = 330;
constexpr int kHelpX = 6600, kHelpW = 7335;
constexpr int kImageTop = 5350;
constexpr int kButtonX = 13170, kButtonY = 9090, kButtonW = 1410, kButtonH = 435;
constexpr int kMsgX = 60, kMsgY = 9120, kMsgW = 8640, kMsgH = 375;
// Room a window manager's frame takes around the client area, in pixels.
constexpr int kFrameRoomW = 16, kFrameRoomH = 48;

QString arrayName(const char *name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

// A still picture below the tabs: a plain drawn panel of the given size.
QPixmap placeholder(int w, int h, const QColor &tint)
{
    QPixmap pm(w, h);
    pm.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter p(&pm);
    p.setPen(tint.darker(160));
    p.setBrush(tint);
    p.drawRoundedRect(QRect(6, 6, w - 13, h - 13), 10, 10);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(16);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 0, w, h), Qt::AlignCenter, QStringLiteral("QR5300M"));
    return pm;
}

} // namespace

double CONFIG1::fitScale(const QSize &client, const QRect &available)
{
    if (client.isEmpty() || available.isEmpty())
        return 1.0;
    const double w = double(available.width() - kFrameRoomW) / client.width();
    const double h = double(available.height() - kFrameRoomH) / client.height();
    // Below half size nothing is legible any more.
    return std::clamp(std::min(w, h), 0.5, 1.0);
}

CONFIG1::CONFIG1(ParamAccess &access, QWidget *parent) : QWidget(parent), m_access(access)
{
    setUp();
}

CONFIG1::CONFIG1(Link &link, LinkSettings &settings, ReadBack &readBack, WriteJournal *journal, QWidget *parent)
    : CONFIG1(std::make_unique<ParamAccess>(link, settings, readBack, journal), parent)
{
}

CONFIG1::CONFIG1(std::unique_ptr<ParamAccess> own, QWidget *parent)
    : QWidget(parent), m_ownAccess(std::move(own)), m_access(*m_ownAccess)
{
    setUp();
}

CONFIG1::~CONFIG1() = default;

void CONFIG1::setUp()
{
    setObjectName(QStringLiteral("CONFIG1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("QR5300M CONFIG "));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &CONFIG1::Timer1_Timer);
    // On a small screen (or large fonts) the whole window, fonts and
    // pictures included, shrinks so that it fits with its frame.
    if (QScreen *s = screen()) {
        const QSize client(qRound(kClientW * logicalDpiX() / 1440.0), qRound(kClientH * logicalDpiY() / 1440.0));
        m_scale = fitScale(client, s->availableGeometry());
    }
    if (m_scale < 1.0) {
        QFont f = font();
        if (f.pointSizeF() > 0) {
            f.setPointSizeF(f.pointSizeF() * m_scale);
            setFont(f);
        }
    }
    build();
    connect(&m_access, &ParamAccess::blockRead, this, &CONFIG1::blockRead);
    connect(&m_access, &ParamAccess::writeFinished, this, &CONFIG1::writeFinished);
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &CONFIG1::Command11_Click);
}

int CONFIG1::twips(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0 * m_scale);
}

void CONFIG1::build()
{
    setFixedSize(twips(kClientW), twips(kClientH));

    Frame1 = new QGroupBox(QStringLiteral("CONFIG"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(kFrameX), twips(kFrameY), twips(kFrameW), twips(kFrameH));

    // Ten tabs, five per row: Qt's tab bar has one row only, so the captions
    // are two rows of exclusive buttons above a tab widget whose own bar is
    // hidden. Ctrl+Tab and Ctrl+PgUp/PgDn still page through the tabs.
    const int rowsH = 2 * twips(kTabRowH);
    SSTab2 = new QTabWidget(Frame1);
    SSTab2->setObjectName(QStringLiteral("SSTab2"));
    SSTab2->setGeometry(twips(kTabX), twips(kTabY) + rowsH, twips(kTabW), twips(kTabH) - rowsH);
    SSTab2->tabBar()->hide();
    auto *captions = new QButtonGroup(this);
    captions->setExclusive(true);

    m_readFont = QFont(QStringLiteral("宋体"));
    m_readFont.setPointSizeF(10.5 * m_scale);
    m_readFont.setWeight(QFont::Normal);

    // Tabs in order. Creation order is the focus order, so Tab follows the
    // rows.
    QWidget *previous = nullptr;
    for (int t = 0; t < kTabCount; ++t)
        previous = buildTab(t, captions, previous);

    connect(captions, &QButtonGroup::idClicked, SSTab2, &QTabWidget::setCurrentIndex);
    connect(SSTab2, &QTabWidget::currentChanged, captions, [captions](int t) {
        if (QAbstractButton *b = captions->button(t))
            b->setChecked(true);
    });
    if (QAbstractButton *b = captions->button(SSTab2->currentIndex()))
        b->setChecked(true);

    buildPictures();
    buildFooter(previous);
}

// Tab t with its caption button; on it, its parameters top to bottom in
// register order. Returns the last entry control in the focus order.
QWidget *CONFIG1::buildTab(int t, QButtonGroup *captions, QWidget *previous)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("SSTab2_Tab%1").arg(t));
    // "&" in a tab caption would mark a shortcut; the caption shows it as is.
    const QString caption = paramText(kTabCaption[t]).replace(u'&', QStringLiteral("&&"));
    SSTab2->addTab(page, caption);
    auto *tab = new QToolButton(Frame1);
    tab->setObjectName(arrayName("SSTab2_Caption", t));
    tab->setText(caption);
    tab->setCheckable(true);
    // Clicking a caption takes the focus, so a field being edited is left
    // (and written) before its page goes out of sight.
    tab->setFocusPolicy(Qt::ClickFocus);
    const int col = t % kTabsPerRow, tabRow = t / kTabsPerRow;
    const int x0 = twips(kTabX) + col * twips(kTabW) / kTabsPerRow;
    const int x1 = twips(kTabX) + (col + 1) * twips(kTabW) / kTabsPerRow;
    tab->setGeometry(x0, twips(kTabY) + tabRow * twips(kTabRowH), x1 - x0, twips(kTabRowH));
    captions->addButton(tab, t);
    int row = 0;
    for (int i = 0; i < kParamCount; ++i) {
        if (kParam[i].tab != t)
            continue;
        QWidget *entry = buildRow(page, i, kRowTop + row * kRowStep);
        ++row;
        if (previous)
            setTabOrder(previous, entry);
        previous = entry;
    }
    return previous;
}

// The row of register i + 1 at y (twips): caption, read-back label, entry
// control and help text. Returns the entry control.
QWidget *CONFIG1::buildRow(QWidget *page, int i, int y)
{
    const Param &p = kParam[i];
    auto *name = new QLabel(paramText(p.caption), page);
    name->setObjectName(arrayName("Label1", i));
    name->setGeometry(twips(kNameX), twips(y + 15), twips(kNameW), twips(kBackH));
    Label1[i] = name;

    auto *back = new QLabel(page);
    back->setObjectName(arrayName("D_4W", i));
    back->setGeometry(twips(kBackX), twips(y + 15), twips(kBackW), twips(kBackH));
    back->setFont(m_readFont);
    back->setAccessibleName(paramText(p.caption));
    setBack(back, kReadBack);
    back->setIndent(2);
    D_4W[i] = back;

    QWidget *entry = buildEntry(page, p, i, y);
    entry->setAccessibleName(paramText(p.caption));
    entry->installEventFilter(this);
    name->setBuddy(entry);

    auto *help = new QLabel(page);
    help->setObjectName(arrayName("Label2", i));
    help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    help->setGeometry(twips(kHelpX), twips(y + 15), twips(kHelpW), twips(kBackH));
    showFitted(help, paramText(p.help), font());
    Label2[i] = help;
    return entry;
}

// A choice box (ComboN) or a text box (T_3RW(i)); an operator's change marks
// the register as edited.
QWidget *CONFIG1::buildEntry(QWidget *page, const Param &p, int i, int y)
{
    if (p.combo) {
        auto *box = new QComboBox(page);
        box->setObjectName(QStringLiteral("Combo%1").arg(p.combo));
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        // The wheel turns a box only once the operator is in it.
        box->setFocusPolicy(Qt::StrongFocus);
        box->setGeometry(twips(kEntryX), twips(y), twips(kEntryW), twips(kComboH));
        connect(box, &QComboBox::activated, this, [this, i] { m_edited[i] = true; });
        connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, i] { m_edited[i] = true; });
        Combo[p.combo] = box;
        return box;
    }
    auto *edit = new QLineEdit(page);
    edit->setObjectName(arrayName("T_3RW", i));
    edit->setGeometry(twips(kEntryX), twips(y), twips(kEntryW), twips(kTextH));
    connect(edit, &QLineEdit::textEdited, this, [this, i] { m_edited[i] = true; });
    T_3RW[i] = edit;
    return edit;
}

// Pictures below the tabs, at their own pixel size (shrunk with the window).
void CONFIG1::buildPictures()
{
    auto picture = [this](const char *name, int x, int w, int h, const QColor &tint) {
        w = qRound(w * m_scale);
        h = qRound(h * m_scale);
        auto *image = new QLabel(this);
        image->setObjectName(QLatin1String(name));
        image->setPixmap(placeholder(w, h, tint));
        image->setGeometry(twips(x), twips(kImageTop), w, h);
    };
    picture("Image2", 30, 332, 271, QColor(0x40, 0x70, 0xB0));
    picture("Image1", 4980, 285, 270, QColor(0x40, 0x90, 0x60));
    picture("Image3", 9270, 297, 270, QColor(0xA0, 0x50, 0x40));
}

// The message line and the return button, last in the focus order.
void CONFIG1::buildFooter(QWidget *previous)
{
    msgLine = new QLabel(this);
    msgLine->setObjectName(QStringLiteral("msgLine"));
    msgLine->setGeometry(twips(kMsgX), twips(kMsgY), twips(kMsgW), twips(kMsgH));
    msgLine->setAutoFillBackground(true);
    msgLine->raise();

    previous = buildParamButtons(previous);

    Command11 = new QPushButton(tr(" Esc 返回"), this);
    Command11->setObjectName(QStringLiteral("Command11"));
    Command11->setGeometry(twips(kButtonX), twips(kButtonY), twips(kButtonW), twips(kButtonH));
    Command11->raise();
    connect(Command11, &QPushButton::clicked, this, &CONFIG1::Command11_Click);
    if (previous)
        setTabOrder(previous, Command11);
}

void CONFIG1::showEvent(QShowEvent *event)
{
    // Showing a window that was never loaded loads it.
    if (!m_loaded)
        Form_Load();
    // The first showing puts the whole window on its screen.
    if (!m_placed && !isMinimized()) {
        m_placed = true;
        if (QScreen *s = screen()) {
            const QRect avail = s->availableGeometry();
            if (!avail.contains(frameGeometry())) {
                const QSize need = size() + QSize(kFrameRoomW, kFrameRoomH);
                move(avail.x() + std::max(0, (avail.width() - need.width()) / 2),
                     avail.y() + std::max(0, (avail.height() - need.height()) / 2));
            }
        }
    }
    QWidget::showEvent(event);
}

