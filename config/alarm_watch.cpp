#include "config/alarm_watch.h"

#include "link/met1.h"

AlarmWatch::AlarmWatch(const LiveTables &live, Met1 &met1, const LinkSettings &settings, const Clock &clock,
                       QObject *parent)
    : QObject(parent), m_live(live), m_met1(met1), m_settings(settings), m_clock(clock)
{
    connect(&met1, &Met1::tickDone, this, &AlarmWatch::evaluate);
    connect(&met1, &Met1::healthChanged, this, &AlarmWatch::linkHealth);
}

std::optional<HistoryEvent> alarmJournalEvent(const AlarmChange &c)
{
    const bool limit = c.key.kind >= AlarmKind::HighHigh;
    if (c.event != AlarmEvent::Acknowledged && !limit)
        return std::nullopt;
    HistoryEvent e;
    e.msecs = c.time.toMSecsSinceEpoch();
    e.kind = c.event == AlarmEvent::Raised    ? EventKind::AlarmRaised
             : c.event == AlarmEvent::Cleared ? EventKind::AlarmCleared
                                              : EventKind::AlarmAcknowledged;
    e.channel = c.key.channel;
    e.flag = int(c.key.kind);
    e.caption = c.operatorName;
    e.value = QString::number(c.value, 'g', 7);
    e.detail = c.comment;
    return e;
}

int AlarmWatch::station() const { return m_settings.Link_Par[3]; }

void AlarmWatch::followStation()
{
    if (station() == m_station)
        return;
    m_station = station();
    m_book.setStation(m_station);
    emit stationChanged(m_station);
}

void AlarmWatch::take(const std::optional<AlarmChange> &change, bool &any)
{
    if (!change)
        return;
    any = true;
    emit changed(*change);
}

void AlarmWatch::evaluate()
{
    followStation();
    const QDateTime now = m_clock.now();
    bool any = false;
    // A poll that was not answered leaves the flags of the last one: not news.
    if (m_met1.failCount() == 0 && m_met1.lastGood().isValid()) {
        for (int k = 0; k < 12; ++k)
            take(m_book.set({k / 3 + 1, AlarmKind(k % 3)}, m_live.Sta_1X[k] != 0, m_live.Val_3X[k / 3], now), any);
        for (int c = 0; c < 4; ++c) {
            const double v = m_live.Val_3X[c];
            const std::array<bool, 4> on = m_checks[c].step(m_limits[c], v, now);
            for (int i = 0; i < 4; ++i)
                take(m_book.set({c + 1, kLimitKinds[i]}, on[i], v, now), any);
        }
    }
    if (any || !m_listTold)
        emit listChanged();
    m_listTold = true;
}

void AlarmWatch::linkHealth(const LinkState &state)
{
    followStation();
    // Closing the link is the operator's doing, not an alarm.
    const bool down = state.health == LinkHealth::Interrupted || state.health == LinkHealth::Stalled;
    if (!down && state.health != LinkHealth::Ok && state.health != LinkHealth::Closed)
        return;
    bool any = false;
    take(m_book.set({0, AlarmKind::LinkDown}, down, 0, m_clock.now()), any);
    if (any)
        emit listChanged();
}

void AlarmWatch::acknowledge(const std::optional<std::vector<AlarmKey>> &keys, const QString &operatorName,
                             const QString &comment)
{
    followStation();
    const std::vector<AlarmChange> changes = m_book.acknowledge(keys, operatorName, comment, m_clock.now());
    for (const AlarmChange &c : changes)
        emit changed(c);
    if (!changes.empty())
        emit listChanged();
}
