#include "core/clock.h"

QDateTime Clock::now() const
{
    const QDateTime t = m_source ? m_source() : QDateTime::currentDateTime();
    // Whole seconds, like the clock the logging relies on.
    const QTime tm = t.time();
    return QDateTime(t.date(), QTime(tm.hour(), tm.minute(), tm.second()));
}

void Clock::set(std::function<QDateTime()> source) { m_source = std::move(source); }
