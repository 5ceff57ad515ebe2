#include "config/write_journal.h"

void WriteJournal::Record(int reg, const QString &text)
{
    Settle(reg);
    m_open.append(Entry{reg, text, m_clock.Now()});
    emit Changed();
}

void WriteJournal::Settle(int reg)
{
    const auto n = m_open.removeIf([reg](const Entry &e) { return e.reg == reg; });
    if (n > 0)
        emit Changed();
}

void WriteJournal::Clear()
{
    if (m_open.isEmpty())
        return;
    m_open.clear();
    emit Changed();
}

WriteJournal::Entry WriteJournal::Latest() const
{
    return m_open.isEmpty() ? Entry{} : m_open.last();
}

void WriteJournal::report(const HistoryEvent &event)
{
    HistoryEvent e = event;
    if (e.msecs == 0)
        e.msecs = m_clock.Now().toMSecsSinceEpoch();
    emit paramEvent(e);
}
