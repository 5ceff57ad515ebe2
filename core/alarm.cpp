#include "core/alarm.h"

#include <algorithm>

int alarmPriority(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::Open:
    case AlarmKind::Short:
        return 1;
    case AlarmKind::HighHigh:
    case AlarmKind::LowLow:
        return 2;
    case AlarmKind::Flag:
    case AlarmKind::LinkDown:
    case AlarmKind::High:
    case AlarmKind::Low:
        break;
    }
    return 3;
}

Alarm &AlarmBook::find(const AlarmKey &key)
{
    for (Alarm &a : m_alarms)
        if (a.key == key)
            return a;
    Alarm a;
    a.key = key;
    a.priority = alarmPriority(key.kind);
    m_alarms.push_back(a);
    return m_alarms.back();
}

AlarmChange AlarmBook::changeOf(const Alarm &a, AlarmEvent event, const QDateTime &now) const
{
    AlarmChange c;
    c.time = now;
    c.station = m_station;
    c.key = a.key;
    c.priority = a.priority;
    c.event = event;
    c.active = a.active;
    c.acknowledged = a.acknowledged;
    c.chattering = a.chattering;
    c.value = a.value;
    return c;
}

std::optional<AlarmChange> AlarmBook::set(const AlarmKey &key, bool active, double value, const QDateTime &now)
{
    Alarm &a = find(key);
    if (a.active == active)
        return std::nullopt;
    a.active = active;
    std::erase_if(a.toggles, [&](const QDateTime &t) { return t.secsTo(now) >= kChatterWindowSecs; });
    a.toggles.push_back(now);
    const bool wasChattering = a.chattering;
    a.chattering = int(a.toggles.size()) > kChatterToggles;
    if (active) {
        a.acknowledged = false;
        a.raisedAt = now;
        a.value = value;
    }
    AlarmChange c = changeOf(a, active ? AlarmEvent::Raised : AlarmEvent::Cleared, now);
    if (!active)
        c.value = value;
    // A raise is told to the operator, a chattering alarm once when it starts.
    c.notify = a.chattering ? !wasChattering : active;
    return c;
}

std::vector<AlarmChange> AlarmBook::acknowledge(const std::optional<std::vector<AlarmKey>> &keys, const QString &operatorName,
                                                const QString &comment, const QDateTime &now)
{
    std::vector<AlarmChange> changes;
    for (Alarm &a : m_alarms) {
        if (a.acknowledged || (keys && std::find(keys->begin(), keys->end(), a.key) == keys->end()))
            continue;
        a.acknowledged = true;
        AlarmChange c = changeOf(a, AlarmEvent::Acknowledged, now);
        c.operatorName = operatorName;
        c.comment = comment;
        changes.push_back(c);
    }
    return changes;
}

std::vector<Alarm> AlarmBook::listed() const
{
    std::vector<Alarm> out;
    for (const Alarm &a : m_alarms)
        if (a.listed())
            out.push_back(a);
    std::stable_sort(out.begin(), out.end(), [](const Alarm &x, const Alarm &y) {
        return x.priority != y.priority ? x.priority < y.priority : x.raisedAt < y.raisedAt;
    });
    return out;
}

int AlarmBook::unacknowledged() const
{
    return int(std::count_if(m_alarms.begin(), m_alarms.end(), [](const Alarm &a) { return !a.acknowledged; }));
}

bool AlarmBook::isActive(const AlarmKey &key) const
{
    for (const Alarm &a : m_alarms)
        if (a.key == key)
            return a.active;
    return false;
}

std::array<bool, 4> LimitCheck::step(const ChannelLimits &limits, double value, const QDateTime &now)
{
    const std::optional<double> levels[4] = {limits.highHigh, limits.high, limits.low, limits.lowLow};
    for (int i = 0; i < 4; ++i) {
        if (!levels[i]) {
            m_active[i] = false;
            m_beyondSince[i] = {};
            continue;
        }
        const double limit = *levels[i];
        const bool upper = i < 2;
        const bool beyond = upper ? value >= limit : value <= limit;
        const bool inside = upper ? value < limit - limits.deadBand : value > limit + limits.deadBand;
        if (!beyond)
            m_beyondSince[i] = {};
        else if (!m_beyondSince[i].isValid())
            m_beyondSince[i] = now;
        if (m_active[i])
            m_active[i] = !inside;
        else
            m_active[i] = beyond && m_beyondSince[i].secsTo(now) >= limits.onDelaySecs;
    }
    return m_active;
}
