#include "config/config1.h"

#include "app/globals.h"
#include "link/link.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

namespace {

const QColor kReadBack(0xFF, 0xC0, 0xFF);
const QString kMarkStyle = QStringLiteral("background-color: #FFD0D0;");

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
constexpr int kMsgX = 60, kMsgY = 9120, kMsgW = 13020, kMsgH = 375;

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

CONFIG1::CONFIG1(Write_Journal *journal, QWidget *parent) : QWidget(parent), m_journal(journal)
{
    setObjectName(QStringLiteral("CONFIG1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("QR5300M CONFIG "));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &CONFIG1::Timer1_Timer);
    Build();
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &CONFIG1::Command11_Click);
}

CONFIG1::~CONFIG1() = default;

int CONFIG1::Twips(int twips) const
{
    return qRound(twips * logicalDpiX() / 1440.0);
}

void CONFIG1::Build()
{
    setFixedSize(Twips(kClientW), Twips(kClientH));

    Frame1 = new QGroupBox(QStringLiteral("CONFIG"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(Twips(kFrameX), Twips(kFrameY), Twips(kFrameW), Twips(kFrameH));

    // Ten tabs, five per row: Qt's tab bar has one row only, so the captions
    // are two rows of exclusive buttons above a tab widget whose own bar is
    // hidden. Ctrl+Tab and Ctrl+PgUp/PgDn still page through the tabs.
    const int rowsH = 2 * Twips(kTabRowH);
    SSTab2 = new QTabWidget(Frame1);
    SSTab2->setObjectName(QStringLiteral("SSTab2"));
    SSTab2->setGeometry(Twips(kTabX), Twips(kTabY) + rowsH, Twips(kTabW), Twips(kTabH) - rowsH);
    SSTab2->tabBar()->hide();
    auto *captions = new QButtonGroup(this);
    captions->setExclusive(true);

    QFont readFont(QStringLiteral("宋体"));
    readFont.setPointSizeF(10.5);
    readFont.setWeight(QFont::Normal);

    // Tabs in order; on each, its parameters top to bottom in register order.
    // Creation order is the focus order, so Tab follows the rows.
    QWidget *previous = nullptr;
    for (int t = 0; t < kTabCount; ++t) {
        auto *page = new QWidget;
        page->setObjectName(QStringLiteral("SSTab2_Tab%1").arg(t));
        // "&" in a tab caption would mark a shortcut; the caption shows it as is.
        const QString caption = QString::fromUtf8(kTabCaption[t]).replace(u'&', QStringLiteral("&&"));
        SSTab2->addTab(page, caption);
        auto *tab = new QToolButton(Frame1);
        tab->setObjectName(arrayName("SSTab2_Caption", t));
        tab->setText(caption);
        tab->setCheckable(true);
        // Clicking a caption takes the focus, so a field being edited is left
        // (and written) before its page goes out of sight.
        tab->setFocusPolicy(Qt::ClickFocus);
        const int col = t % kTabsPerRow, tabRow = t / kTabsPerRow;
        const int x0 = Twips(kTabX) + col * Twips(kTabW) / kTabsPerRow;
        const int x1 = Twips(kTabX) + (col + 1) * Twips(kTabW) / kTabsPerRow;
        tab->setGeometry(x0, Twips(kTabY) + tabRow * Twips(kTabRowH), x1 - x0, Twips(kTabRowH));
        captions->addButton(tab, t);
        int row = 0;
        for (int i = 0; i < kParamCount; ++i) {
            const Param &p = kParam[i];
            if (p.tab != t)
                continue;
            const int y = kRowTop + row * kRowStep;
            ++row;

            auto *name = new QLabel(QString::fromUtf8(p.caption), page);
            name->setObjectName(arrayName("Label1", i));
            name->setGeometry(Twips(kNameX), Twips(y + 15), Twips(kNameW), Twips(kBackH));
            Label1[i] = name;

            auto *back = new QLabel(page);
            back->setObjectName(arrayName("D_4W", i));
            back->setGeometry(Twips(kBackX), Twips(y + 15), Twips(kBackW), Twips(kBackH));
            back->setFont(readFont);
            back->setAccessibleName(QString::fromUtf8(p.caption));
            Set_Back(back, kReadBack);
            D_4W[i] = back;

            QWidget *entry = nullptr;
            if (p.combo) {
                auto *box = new QComboBox(page);
                box->setObjectName(QStringLiteral("Combo%1").arg(p.combo));
                box->setEditable(true);
                box->setInsertPolicy(QComboBox::NoInsert);
                box->setGeometry(Twips(kEntryX), Twips(y), Twips(kEntryW), Twips(kComboH));
                const int reg = p.reg;
                connect(box, &QComboBox::activated, this, [this, reg] { m_edited[reg - 1] = true; });
                connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, reg] { m_edited[reg - 1] = true; });
                Combo[p.combo] = box;
                entry = box;
            } else {
                auto *edit = new QLineEdit(page);
                edit->setObjectName(arrayName("T_3RW", i));
                edit->setGeometry(Twips(kEntryX), Twips(y), Twips(kEntryW), Twips(kTextH));
                connect(edit, &QLineEdit::textEdited, this, [this, i] { m_edited[i] = true; });
                T_3RW[i] = edit;
                entry = edit;
            }
            entry->setAccessibleName(QString::fromUtf8(p.caption));
            entry->installEventFilter(this);
            name->setBuddy(entry);
            if (previous)
                setTabOrder(previous, entry);
            previous = entry;

            auto *help = new QLabel(QString::fromUtf8(p.help), page);
            help->setObjectName(arrayName("Label2", i));
            help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            help->setGeometry(Twips(kHelpX), Twips(y + 15), Twips(kHelpW), Twips(kBackH));
            Label2[i] = help;
        }
    }

    connect(captions, &QButtonGroup::idClicked, SSTab2, &QTabWidget::setCurrentIndex);
    connect(SSTab2, &QTabWidget::currentChanged, captions, [captions](int t) {
        if (QAbstractButton *b = captions->button(t))
            b->setChecked(true);
    });
    if (QAbstractButton *b = captions->button(SSTab2->currentIndex()))
        b->setChecked(true);

    // Pictures, at their own pixel size.
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(placeholder(332, 271, QColor(0x40, 0x70, 0xB0)));
    Image2->setGeometry(Twips(30), Twips(kImageTop), 332, 271);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(placeholder(285, 270, QColor(0x40, 0x90, 0x60)));
    Image1->setGeometry(Twips(4980), Twips(kImageTop), 285, 270);
    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(placeholder(297, 270, QColor(0xA0, 0x50, 0x40)));
    Image3->setGeometry(Twips(9270), Twips(kImageTop), 297, 270);

    Msg_Line = new QLabel(this);
    Msg_Line->setObjectName(QStringLiteral("Msg_Line"));
    Msg_Line->setGeometry(Twips(kMsgX), Twips(kMsgY), Twips(kMsgW), Twips(kMsgH));
    Msg_Line->setAutoFillBackground(true);
    Msg_Line->raise();

    Command11 = new QPushButton(QStringLiteral(" Esc 返回"), this);
    Command11->setObjectName(QStringLiteral("Command11"));
    Command11->setGeometry(Twips(kButtonX), Twips(kButtonY), Twips(kButtonW), Twips(kButtonH));
    Command11->raise();
    connect(Command11, &QPushButton::clicked, this, &CONFIG1::Command11_Click);
    if (previous)
        setTabOrder(previous, Command11);
}

void CONFIG1::Form_Load()
{
    m_loaded = true;
    Keep_Open = -1;
    for (int n = 1; n <= kComboCount; ++n) {
        QComboBox *box = Combo[n];
        const Choice_Table &list = kChoice[kParam[kComboRegister[n] - 1].list];
        box->clear();
        for (int k = 0; k < list.count; ++k)
            box->insertItem(k, QString::fromUtf8(list.items[k].entry));
        box->setCurrentIndex(0);
        box->setEditText(box->itemText(0));
    }
    for (int i = 0; i < kParamCount; ++i) {
        if (T_3RW[i])
            T_3RW[i]->clear();
        D_4W[i]->clear();
        m_edited[i] = false;
        ++m_writeSeq[i]; // results of earlier writes no longer mark anything
        Set_Mark(i + 1, "", QString());
    }
    Msg_Line->clear();
    SSTab2->setCurrentIndex(1);
    Timer1.start();
}

void CONFIG1::showEvent(QShowEvent *event)
{
    // Showing a window that was never loaded loads it.
    if (!m_loaded)
        Form_Load();
    QWidget::showEvent(event);
}

void CONFIG1::closeEvent(QCloseEvent *event)
{
    if (Keep_Open)
        event->ignore();
    else
        event->accept();
}

void CONFIG1::Command11_Click()
{
    // The box holding the focus is left now: its pending edit goes out first.
    if (QWidget *f = focusWidget()) {
        for (int reg = 1; reg <= kParamCount; ++reg) {
            if (Entry(reg) == f)
                Write_Reg(reg);
        }
    }
    Keep_Open = 0;
    Timer1.stop();
    close();
    emit Return_Main();
}

QWidget *CONFIG1::Entry(int reg) const
{
    if (reg < 1 || reg > kParamCount)
        return nullptr;
    const Param &p = kParam[reg - 1];
    return p.combo ? static_cast<QWidget *>(Combo[p.combo]) : static_cast<QWidget *>(T_3RW[reg - 1]);
}

bool CONFIG1::Edited(int reg) const
{
    return reg >= 1 && reg <= kParamCount && m_edited[reg - 1];
}

QString CONFIG1::Entry_Text(int reg) const
{
    const Param &p = kParam[reg - 1];
    return p.combo ? Combo[p.combo]->currentText() : T_3RW[reg - 1]->text();
}

bool CONFIG1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) {
        // Opening a box's own list, or another application taking the
        // window's focus, is not leaving the box. The write runs once the box
        // has finished losing the focus: an editable choice box may still
        // settle its text on an entry then.
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason) {
            for (int reg = 1; reg <= kParamCount; ++reg) {
                if (Entry(reg) == watched)
                    QTimer::singleShot(0, this, [this, reg] { Write_Reg(reg); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CONFIG1::T_3RW_LostFocus(int Index)
{
    if (Index >= 0 && Index < kParamCount && T_3RW[Index])
        Write_Reg(Index + 1);
}

void CONFIG1::Combo_LostFocus(int n)
{
    if (n >= 1 && n <= kComboCount)
        Write_Reg(kComboRegister[n]);
}

// ---------------------------------------------------------------------------
// Read-back

void CONFIG1::Show_Labels(int from, int count)
{
    for (int k = from; k < from + count; ++k) {
        QString text;
        if (Decode_Text(k + 1, Reg_4X[k], &text))
            D_4W[k]->setText(text);
    }
}

void CONFIG1::Timer1_Timer()
{
    Link *link = Link::instance();
    // A silent instrument must not pile up requests: the next cycle waits
    // until every block of this one has come back, and meanwhile the labels
    // show the buffer again.
    if (!link || m_readsOut > 0) {
        Show_Labels(0, kParamCount);
        return;
    }
    const int32_t port = Link_Par[0];
    const int32_t station = Link_Par[3];
    for (int block = 0; block < 3; ++block) {
        ++m_readsOut;
        link->Get_4X_DX(port, station, 1 + 16 * block, 16, this, [this, block](const LinkResult &r) {
            --m_readsOut;
            // A failed read leaves its part of the buffer as it was.
            if (r.result == kModbusOk && r.buf.size() >= 16) {
                for (int k = 0; k < 16; ++k)
                    Reg_4X[16 * block + k] = r.buf[k];
            }
            // Each block's labels follow its read, failed or not.
            Show_Labels(16 * block, 16);
        });
    }
}

// ---------------------------------------------------------------------------
// Write-back

void CONFIG1::Set_Mark(int reg, const char *mark, const QString &message)
{
    QWidget *w = Entry(reg);
    if (!w)
        return;
    const bool on = *mark != 0;
    w->setProperty("Mark", QString::fromLatin1(mark));
    w->setStyleSheet(on ? kMarkStyle : QString());
    w->setToolTip(message);
}

void CONFIG1::Write_Reg(int reg)
{
    const int i = reg - 1;
    if (!m_edited[i])
        return;
    const QString caption = QString::fromUtf8(kParam[i].caption);
    const QString text = Entry_Text(reg);
    int16_t value = 0;
    if (!Has_Lead_Num(text)) {
        const QString msg = QStringLiteral("%1：“%2”不是数字，未写入").arg(caption, text.trimmed());
        Set_Mark(reg, "refused", msg);
        Msg_Line->setText(msg);
        return;
    }
    if (!Entry_Value(reg, text, &value)) {
        const QString range = reg == kFilterRegister ? QStringLiteral("-3276.8～3276.7") : QStringLiteral("-32768～32767");
        const QString msg = QStringLiteral("%1：“%2”超出寄存器范围（%3），未写入").arg(caption, text.trimmed(), range);
        Set_Mark(reg, "refused", msg);
        Msg_Line->setText(msg);
        return;
    }

    m_edited[i] = false;
    Link_Par[19] = value;
    Link *link = Link::instance();
    if (!link) {
        LinkResult none;
        none.error = QStringLiteral("通讯未建立");
        Write_Done(reg, ++m_writeSeq[i], none);
        return;
    }
    const uint32_t seq = ++m_writeSeq[i];
    const int32_t port = Link_Par[0];
    const int32_t station = Link_Par[3];
    // The exchange and its one retry belong to the link, not to the window:
    // a write issued as the window closes still completes (and retries).
    QPointer<CONFIG1> self(this);
    Link::Done finish = [self, reg, seq](const LinkResult &r) {
        if (self)
            self->Write_Done(reg, seq, r);
    };
    link->Set_4X_D1(port, station, reg, value, link, [=](const LinkResult &r) {
        Link *again = Link::instance();
        if (r.result == kModbusFail && again)
            again->Set_4X_D1(port, station, reg, value, again, finish);
        else
            finish(r);
    });
}

void CONFIG1::Write_Done(int reg, uint32_t seq, const LinkResult &r)
{
    const int i = reg - 1;
    if (seq != m_writeSeq[i])
        return; // a later write of this box (or a reload) has taken over
    const QString caption = QString::fromUtf8(kParam[i].caption);
    if (r.result == kModbusFail) {
        // Still to be written: leaving the box again tries again.
        m_edited[i] = true;
        const QString why = r.error.isEmpty() ? QStringLiteral("无应答") : r.error;
        const QString msg = QStringLiteral("%1：写入失败（%2）").arg(caption, why);
        Set_Mark(reg, "failed", msg);
        Msg_Line->setText(msg);
    } else {
        Set_Mark(reg, "", QString());
        Msg_Line->setText(QStringLiteral("%1：已写入").arg(caption));
    }
}
