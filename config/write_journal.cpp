#include "config/write_journal.h"

#include "config/param_access.h"
#include "config/param_text.h"

void WriteJournal::record(int reg, const QString &text)
{
    settle(reg);
    m_open.append(Entry{reg, text, m_clock.now()});
    emit changed();
}

void WriteJournal::settle(int reg)
{
    const auto n = m_open.removeIf([reg](const Entry &e) { return e.reg == reg; });
    if (n > 0)
        emit changed();
}

void WriteJournal::clear()
{
    if (m_open.isEmpty())
        return;
    m_open.clear();
    emit changed();
}

WriteJournal::Entry WriteJournal::latest() const
{
    return m_open.isEmpty() ? Entry{} : m_open.last();
}

void WriteJournal::report(const HistoryEvent &event)
{
    HistoryEvent e = event;
    if (e.msecs == 0)
        e.msecs = m_clock.now().toMSecsSinceEpoch();
    emit paramEvent(e);
}

void WriteJournal::take(const ParamWrite &write)
{
    if (write.outcome == ParamWrite::Outcome::Written)
        settle(write.reg);
    else
        record(write.reg, paramWriteText(write));
    report(paramWriteEvent(write));
}
