#include "config/config1.h"

#include "config/label_fit.h"
#include "config/link_text.h"
#include "config/param_access.h"
#include "config/param_text.h"
#include "config/write_journal.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QWheelEvent>

#include <algorithm>

namespace {

const QColor kStaleText(0x80, 0x80, 0x80);
const QString kMarkStyle = QStringLiteral("background-color: #FFD0D0;");
const char *const kStaleTip = QT_TRANSLATE_NOOP("CONFIG1", "读回失败，这是上次读到的值");

} // namespace

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
        m_writeSeq[i] = 0; // results of earlier writes no longer mark anything
        setMark(i + 1, "", QString());
    }
    m_writeMsg.clear();
    m_readMsg.clear();
    showMsg();
    // This window's message line tells what happens from now on.
    if (WriteJournal *journal = m_access.journal())
        journal->clear();
    SSTab2->setCurrentIndex(1);
    Timer1.start();
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
        showFitted(back, text, m_readFont);
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
        const BlockState &b = m_access.readBack().Block[k / 16];
        if (!b.read) {
            showBack(k, QString(), false); // nothing known yet
            continue;
        }
        QString text;
        if (!decodeText(k + 1, m_access.readBack().Reg_4X[k], &text))
            text = D_4W[k]->accessibleDescription(); // a code without a text
        showBack(k, text, b.failed);
    }
}

void CONFIG1::blockRead(int block, const LinkError &error)
{
    if (error.kind != LinkFault::None)
        m_readMsg = readFailureText(error);
    // Each block's labels follow its read, failed or not.
    showLabels(16 * block, 16);
    const ReadBack &rb = m_access.readBack();
    if (std::none_of(std::begin(rb.Block), std::end(rb.Block), [](const BlockState &b) { return b.failed; }))
        m_readMsg.clear();
    showMsg();
}

void CONFIG1::Timer1_Timer()
{
    // While blocks of the last cycle are outstanding no new one starts, and
    // the labels show the buffer again.
    if (!m_access.readCycle())
        showLabels(0, kParamCount);
}

int CONFIG1::readsOut() const
{
    return m_access.readsOut();
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
    m_asking = reg;
    const uint32_t ticket = m_access.write(reg, entryText(reg));
    const bool refused = m_asking == 0; // told at once: still to be written once corrected
    m_asking = 0;
    if (refused)
        return;
    m_edited[i] = false;
    m_writeSeq[i] = ticket;
    m_tickets.insert(ticket);
}

void CONFIG1::writeFinished(const ParamWrite &w)
{
    const int i = w.reg - 1;
    if (w.outcome == ParamWrite::Outcome::Refused) {
        if (w.reg != m_asking)
            return; // not ours
        m_asking = 0;
        const QString msg = paramWriteText(w);
        setMark(w.reg, "refused", msg);
        m_writeMsg = msg;
        showMsg();
        emit paramEvent(paramWriteEvent(w));
        return;
    }
    if (!m_tickets.remove(w.ticket))
        return;
    // A later write of this box (or a reload) has taken over: only told on.
    if (w.ticket == m_writeSeq[i]) {
        m_writeMsg = paramWriteText(w);
        if (w.outcome == ParamWrite::Outcome::Written) {
            setMark(w.reg, "", QString());
        } else {
            // Still to be written: leaving the box again tries again.
            m_edited[i] = true;
            setMark(w.reg, "failed", m_writeMsg);
        }
        showMsg();
    }
    emit paramEvent(paramWriteEvent(w));
}
