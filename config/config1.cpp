#include "config/config1.h"

#include "config/link_text.h"
#include "config/set_back.h"
#include "config/write_journal.h"
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
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kReadBack(0xFF, 0xC0, 0xFF);
const QColor kStaleText(0x80, 0x80, 0x80);
const QString kMarkStyle = QStringLiteral("background-color: #FFD0D0;");
const char *const kStaleTip = QT_TRANSLATE_NOOP("CONFIG1", "读回失败，这是上次读到的值");

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

void FitLabel(QLabel *label, const QString &text, const QFont &base)
{
    if (!label)
        return;
    QStringList lines = text.split(u'\n');
    for (QString &l : lines) {
        // Blanks at the end of a line take room but show nothing.
        while (!l.isEmpty() && l.back().isSpace())
            l.chop(1);
    }
    while (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    auto widest = [&lines](const QFontMetrics &fm) {
        int w = 0;
        for (const QString &l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        return w;
    };
    auto room = [label](const QFontMetrics &fm) {
        const int indent = label->indent() >= 0 ? label->indent()
                           : label->frameWidth() > 0 ? fm.horizontalAdvance(u'x') / 2 : 0;
        return label->contentsRect().width() - 2 * label->margin() - indent;
    };
    QFont f = base;
    const double smallest = base.pointSizeF() * 2 / 3;
    while (f.pointSizeF() > smallest && widest(QFontMetrics(f)) > room(QFontMetrics(f)))
        f.setPointSizeF(std::max(smallest, f.pointSizeF() - 0.5));
    if (label->font() != f)
        label->setFont(f);
    const QFontMetrics fm(f);
    QString shown = text;
    if (widest(fm) > room(fm)) {
        shown.clear();
        for (const QString &l : lines)
            shown += (shown.isEmpty() ? QString() : QStringLiteral("\n")) + fm.elidedText(l, Qt::ElideRight, room(fm));
    }
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    label->setAccessibleDescription(text);
}

double CONFIG1::fitScale(const QSize &client, const QRect &available)
{
    if (client.isEmpty() || available.isEmpty())
        return 1.0;
    const double w = double(available.width() - kFrameRoomW) / client.width();
    const double h = double(available.height() - kFrameRoomH) / client.height();
    // Below half size nothing is legible any more.
    return std::clamp(std::min(w, h), 0.5, 1.0);
}

CONFIG1::CONFIG1(Link &link, LinkSettings &settings, ReadBack &readBack, WriteJournal *journal,
                 QWidget *parent)
    : QWidget(parent), m_link(link), m_settings(settings), m_readBack(readBack), m_journal(journal)
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
    auto *esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    esc->setContext(Qt::WindowShortcut);
    connect(esc, &QShortcut::activated, this, &CONFIG1::Command11_Click);
}

CONFIG1::~CONFIG1() = default;

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

    // Tabs in order; on each, its parameters top to bottom in register order.
    // Creation order is the focus order, so Tab follows the rows.
    QWidget *previous = nullptr;
    for (int t = 0; t < kTabCount; ++t) {
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
            const Param &p = kParam[i];
            if (p.tab != t)
                continue;
            const int y = kRowTop + row * kRowStep;
            ++row;

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

            QWidget *entry = nullptr;
            if (p.combo) {
                auto *box = new QComboBox(page);
                box->setObjectName(QStringLiteral("Combo%1").arg(p.combo));
                box->setEditable(true);
                box->setInsertPolicy(QComboBox::NoInsert);
                // The wheel turns a box only once the operator is in it.
                box->setFocusPolicy(Qt::StrongFocus);
                box->setGeometry(twips(kEntryX), twips(y), twips(kEntryW), twips(kComboH));
                const int reg = p.reg;
                connect(box, &QComboBox::activated, this, [this, reg] { m_edited[reg - 1] = true; });
                connect(box->lineEdit(), &QLineEdit::textEdited, this, [this, reg] { m_edited[reg - 1] = true; });
                Combo[p.combo] = box;
                entry = box;
            } else {
                auto *edit = new QLineEdit(page);
                edit->setObjectName(arrayName("T_3RW", i));
                edit->setGeometry(twips(kEntryX), twips(y), twips(kEntryW), twips(kTextH));
                connect(edit, &QLineEdit::textEdited, this, [this, i] { m_edited[i] = true; });
                T_3RW[i] = edit;
                entry = edit;
            }
            entry->setAccessibleName(paramText(p.caption));
            entry->installEventFilter(this);
            name->setBuddy(entry);
            if (previous)
                setTabOrder(previous, entry);
            previous = entry;

            auto *help = new QLabel(page);
            help->setObjectName(arrayName("Label2", i));
            help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            help->setGeometry(twips(kHelpX), twips(y + 15), twips(kHelpW), twips(kBackH));
            FitLabel(help, paramText(p.help), font());
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

    // Pictures, at their own pixel size (shrunk with the window).
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

    msgLine = new QLabel(this);
    msgLine->setObjectName(QStringLiteral("msgLine"));
    msgLine->setGeometry(twips(kMsgX), twips(kMsgY), twips(kMsgW), twips(kMsgH));
    msgLine->setAutoFillBackground(true);
    msgLine->raise();

    Command11 = new QPushButton(tr(" Esc 返回"), this);
    Command11->setObjectName(QStringLiteral("Command11"));
    Command11->setGeometry(twips(kButtonX), twips(kButtonY), twips(kButtonW), twips(kButtonH));
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
        const ChoiceTable &list = kChoice[kParam[kComboRegister[n] - 1].list];
        box->clear();
        for (int k = 0; k < list.count; ++k)
            box->insertItem(k, paramText(list.items[k].entry));
        // No entry shown: the box does not know what the instrument holds
        // (its read-back label says that), so it claims nothing.
        box->setCurrentIndex(-1);
        box->setEditText(QString());
    }
    for (int i = 0; i < kParamCount; ++i) {
        if (T_3RW[i])
            T_3RW[i]->clear();
        showBack(i, QString(), false);
        m_edited[i] = false;
        ++m_writeSeq[i]; // results of earlier writes no longer mark anything
        setMark(i + 1, "", QString());
    }
    m_writeMsg.clear();
    m_readMsg.clear();
    showMsg();
    // This window's message line tells what happens from now on.
    if (m_journal)
        m_journal->clear();
    SSTab2->setCurrentIndex(1);
    Timer1.start();
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
                writeReg(reg);
        }
    }
    Keep_Open = 0;
    Timer1.stop();
    close();
    emit returnMain();
}

QWidget *CONFIG1::Entry(int reg) const
{
    if (reg < 1 || reg > kParamCount)
        return nullptr;
    const Param &p = kParam[reg - 1];
    return p.combo ? static_cast<QWidget *>(Combo[p.combo]) : static_cast<QWidget *>(T_3RW[reg - 1]);
}

bool CONFIG1::edited(int reg) const
{
    return reg >= 1 && reg <= kParamCount && m_edited[reg - 1];
}

QString CONFIG1::entryText(int reg) const
{
    const Param &p = kParam[reg - 1];
    return p.combo ? Combo[p.combo]->currentText() : T_3RW[reg - 1]->text();
}

bool CONFIG1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel) {
        // A wheel turned over a choice box the operator is not in must not
        // change it (the change would be written on the next focus change).
        auto *box = qobject_cast<QComboBox *>(watched);
        if (box && !box->hasFocus()) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        // Opening a box's own list, or another application taking the
        // window's focus, is not leaving the box. The write runs once the box
        // has finished losing the focus: an editable choice box may still
        // settle its text on an entry then.
        const Qt::FocusReason why = static_cast<QFocusEvent *>(event)->reason();
        if (why != Qt::PopupFocusReason && why != Qt::ActiveWindowFocusReason) {
            for (int reg = 1; reg <= kParamCount; ++reg) {
                if (Entry(reg) == watched)
                    QTimer::singleShot(0, this, [this, reg] { writeReg(reg); });
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CONFIG1::T_3RW_LostFocus(int Index)
{
    if (Index >= 0 && Index < kParamCount && T_3RW[Index])
        writeReg(Index + 1);
}

void CONFIG1::Combo_LostFocus(int n)
{
    if (n >= 1 && n <= kComboCount)
        writeReg(kComboRegister[n]);
}

// ---------------------------------------------------------------------------
// Read-back

void CONFIG1::showBack(int k, const QString &text, bool stale)
{
    QLabel *back = D_4W[k];
    const bool refit = back->accessibleDescription() != text || back->text().isEmpty() != text.isEmpty();
    if (refit)
        FitLabel(back, text, m_readFont);
    stale = stale && !text.isEmpty();
    const bool wasStale = back->property("Stale").toBool();
    if (!refit && wasStale == stale)
        return;
    if (wasStale != stale) {
        back->setProperty("Stale", stale);
        QPalette p = back->palette();
        p.setColor(QPalette::WindowText, stale ? kStaleText : palette().color(QPalette::WindowText));
        back->setPalette(p);
    }
    // The tooltip carries a cut text whole; a stale mark adds its reason.
    const QString whole = back->text() == text ? QString() : text;
    back->setToolTip(stale ? (whole.isEmpty() ? tr(kStaleTip) : whole + u'\n' + tr(kStaleTip)) : whole);
}

void CONFIG1::showLabels(int from, int count)
{
    for (int k = from; k < from + count; ++k) {
        const BlockState &b = m_readBack.Block[k / 16];
        if (!b.read) {
            showBack(k, QString(), false); // nothing known yet
            continue;
        }
        QString text;
        if (!decodeText(k + 1, m_readBack.Reg_4X[k], &text))
            text = D_4W[k]->accessibleDescription(); // a code without a text
        showBack(k, text, b.failed);
    }
}

void CONFIG1::readDone(int block, const LinkResult &r)
{
    BlockState &b = m_readBack.Block[block];
    if (r.result == kModbusOk && r.buf.size() >= 16) {
        for (int k = 0; k < 16; ++k)
            m_readBack.Reg_4X[16 * block + k] = r.buf[k];
        b.read = true;
        b.failed = false;
    } else {
        // A failed read leaves its part of the buffer as it was.
        b.failed = true;
        m_readMsg = readFailureText(r.error);
    }
    // Each block's labels follow its read, failed or not.
    showLabels(16 * block, 16);
    if (std::none_of(std::begin(m_readBack.Block), std::end(m_readBack.Block), [](const BlockState &s) { return s.failed; }))
        m_readMsg.clear();
    showMsg();
}

void CONFIG1::Timer1_Timer()
{
    // A silent instrument must not pile up requests: the next cycle waits
    // until every block of this one has come back, and meanwhile the labels
    // show the buffer again.
    if (m_readsOut > 0) {
        showLabels(0, kParamCount);
        return;
    }
    const int32_t port = m_settings.Link_Par[0];
    const int32_t station = m_settings.Link_Par[3];
    for (int block = 0; block < kBlockCount; ++block) {
        ++m_readsOut;
        m_link.Get_4X_DX(port, station, 1 + 16 * block, 16, this, [this, block](const LinkResult &r) {
            --m_readsOut;
            readDone(block, r);
        });
    }
}

void CONFIG1::showMsg()
{
    QString text = m_writeMsg;
    if (!m_readMsg.isEmpty())
        text += (text.isEmpty() ? QString() : tr("；")) + m_readMsg;
    msgLine->setText(text);
    msgLine->setToolTip(text);
}

// ---------------------------------------------------------------------------
// Write-back

void CONFIG1::setMark(int reg, const char *mark, const QString &message)
{
    QWidget *w = Entry(reg);
    if (!w)
        return;
    const bool on = *mark != 0;
    w->setProperty("Mark", QString::fromLatin1(mark));
    w->setStyleSheet(on ? kMarkStyle : QString());
    w->setToolTip(message);
}

void CONFIG1::writeReg(int reg)
{
    const int i = reg - 1;
    if (!m_edited[i])
        return;
    const QString text = entryText(reg);
    const EntryCheck check = checkEntry(reg, text);
    if (check.why != Refusal::None) {
        // Still to be written once corrected.
        const QString msg = refusalText(reg, text, check);
        setMark(reg, "refused", msg);
        m_writeMsg = msg;
        showMsg();
        const HistoryEvent refused = writeEvent(reg, EventKind::ParamRefused, text, msg);
        if (m_journal) {
            m_journal->record(reg, msg);
            m_journal->report(refused);
        }
        emit paramEvent(refused);
        return;
    }

    m_edited[i] = false;
    const int16_t value = check.value;
    m_settings.Link_Par[19] = value;
    const uint32_t seq = ++m_writeSeq[i];
    const int32_t port = m_settings.Link_Par[0];
    const int32_t station = m_settings.Link_Par[3];
    // The outcome reaches the journal also when the window has closed in
    // the meantime; the window itself only when it is still there.
    QPointer<CONFIG1> self(this);
    QPointer<WriteJournal> journal(m_journal);
    const QString caption = paramText(kParam[i].caption);
    // Taken now: the value the operator saw before this write.
    const HistoryEvent attempt = writeEvent(reg, EventKind::ParamWritten, QString::number(value), QString());
    Link::Done finish = [self, journal, reg, seq, caption, attempt](const LinkResult &r) {
        const QString failure = r.result == kModbusFail ? writeFailureText(caption, r.error) : QString();
        HistoryEvent outcome = attempt;
        if (!failure.isEmpty()) {
            outcome.kind = EventKind::ParamFailed;
            outcome.detail = linkFailureText(r.error, false); // stored: the same whatever the language
        }
        if (journal) {
            if (failure.isEmpty())
                journal->settle(reg);
            else
                journal->record(reg, failure);
            journal->report(outcome);
        }
        if (self) {
            self->writeDone(reg, seq, r, failure);
            emit self->paramEvent(outcome);
        }
    };
    Link *link = &m_link;
    // The exchange and its one retry belong to the link, not to the window:
    // a write issued as the window closes still completes (and retries).
    link->Set_4X_D1(port, station, reg, value, link, [=](const LinkResult &r) {
        if (r.result == kModbusFail)
            link->Set_4X_D1(port, station, reg, value, link, finish);
        else
            finish(r);
    });
}

HistoryEvent CONFIG1::writeEvent(int reg, EventKind kind, const QString &value, const QString &detail) const
{
    HistoryEvent e;
    e.kind = kind;
    e.reg = reg;
    e.caption = QString::fromUtf8(kParam[reg - 1].caption);
    if (m_readBack.Block[(reg - 1) / 16].read)
        e.before = QString::number(m_readBack.Reg_4X[reg - 1]);
    e.value = value;
    e.detail = detail;
    return e;
}

void CONFIG1::writeDone(int reg, uint32_t seq, const LinkResult &r, const QString &failure)
{
    const int i = reg - 1;
    if (seq != m_writeSeq[i])
        return; // a later write of this box (or a reload) has taken over
    if (r.result == kModbusFail) {
        // Still to be written: leaving the box again tries again.
        m_edited[i] = true;
        setMark(reg, "failed", failure);
        m_writeMsg = failure;
    } else {
        setMark(reg, "", QString());
        m_writeMsg = tr("%1：已写入").arg(paramText(kParam[i].caption));
    }
    showMsg();
}
