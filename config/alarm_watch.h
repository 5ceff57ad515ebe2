// The alarms of one station, evaluated after every poll: the twelve status
// flags of the instrument (taken only from a poll that was answered), the
// station's link interrupted, and the limits of our own on channels 1..4.
// Changes are told one by one (changed) and then once for the whole pass
// (listChanged); acknowledgements come from a person through the windows.
#pragma once

#include "core/alarm.h"
#include "core/clock.h"
#include "core/history_data.h"
#include "core/live_data.h"

#include <QObject>
#include <array>
#include <optional>
#include <vector>

class Met1;
struct LinkState;

using StationLimits = std::array<ChannelLimits, 4>;

// The journal's event for a change, when the flag and link events do not
// record it already: a limit of our own crossed or left, an acknowledgement.
std::optional<HistoryEvent> alarmJournalEvent(const AlarmChange &change);

class AlarmWatch : public QObject {
    Q_OBJECT
public:
    // Watches what met1 polls into live for the station of settings, at the
    // times of clock; all outlive the object.
    AlarmWatch(const LiveTables &live, Met1 &met1, const LinkSettings &settings, const Clock &clock,
               QObject *parent = nullptr);

    void setLimits(const StationLimits &limits) { m_limits = limits; }
    const StationLimits &limits() const { return m_limits; }

    int station() const;
    // Alarms active or unacknowledged, by priority then by time raised.
    std::vector<Alarm> listed() const { return m_book.listed(); }
    int unacknowledged() const { return m_book.unacknowledged(); }

    // Acknowledges the alarms keys (every unacknowledged one without keys)
    // in the name of operatorName, with an optional comment.
    void acknowledge(const std::optional<std::vector<AlarmKey>> &keys, const QString &operatorName,
                     const QString &comment);

    // One pass over the flags and the limits at the clock's time (after
    // every poll; the flags only when it was answered).
    void evaluate();

signals:
    void changed(const AlarmChange &change);
    // The station polled is another from now on (told at the first pass too):
    // its limits are to be set.
    void stationChanged(int station);
    // After the changes of one pass or acknowledgement, and after the first
    // pass (so that the list is told once at the start).
    void listChanged();

private:
    void linkHealth(const LinkState &state);
    void take(const std::optional<AlarmChange> &change, bool &any);
    void followStation();

    const LiveTables &m_live;
    Met1 &m_met1;
    const LinkSettings &m_settings;
    const Clock &m_clock;
    AlarmBook m_book;
    StationLimits m_limits{};
    std::array<LimitCheck, 4> m_checks{};
    bool m_listTold = false;
    int m_station = -1; // as last told
};
