// The acquisition cycle of one station (no window): while the link is open
// its 500 ms timer polls input registers 1..16 and the 16 status inputs into
// the live tables (Raw_3X, Val_3X, Sta_1X), and keeps track of the station's
// health. When the line is too slow for the timer (several stations, a low
// baud rate), the next poll follows the last one at once: the stations of a
// line then take turns back to back, as fast as the wire allows.
#pragma once

#include "core/clock.h"
#include "core/live_data.h"
#include "link/modbusrtu.h"

#include <QDateTime>
#include <QObject>
#include <QPropertyNotifier>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <optional>

class Link;
struct StationPoll;

// State of the link as the acquisition sees it.
enum class LinkHealth {
    Closed,        // polling stopped
    WaitingFirst, // polling, no good poll yet and not late
    Ok,            // the last poll was good and is recent
    Interrupted,   // the last poll failed (lastError tells why)
    Stalled,       // no failure, but no complete reply for over two poll periods
};

// The link's state as the operator sees it: the health, the time of the last
// good poll and, while the link is broken, why.
struct LinkState {
    LinkHealth health = LinkHealth::Closed;
    QDateTime lastGood;
    LinkError error; // kind None unless Interrupted or Stalled
    friend bool operator==(const LinkState &, const LinkState &) = default;
};

class Met1 : public QObject {
    Q_OBJECT
public:
    // Polls over link the port and station of settings into live and judges
    // the link's health by clock; all four outlive the object.
    Met1(Link &link, const LinkSettings &settings, LiveTables &live, const Clock &clock, QObject *parent = nullptr);

    // One acquisition tick: both reads go out as one turn on the line and
    // their results are published together. A tick that comes while the
    // previous poll is still out is made as soon as that one is back.
    void Timer1_Timer();
    // Bit i of b into Bit_B(i), i = 0..7 (bit 0 least significant).
    void D_Byte(uint8_t b);

    QTimer Timer1;
    int32_t Word_1X[8] = {};
    uint8_t Bit_B[8] = {};

    // Link health.
    bool tickBusy() const { return m_busy; }
    int failCount() const { return m_failures; } // consecutive failed ticks
    QDateTime lastGood() const { return m_lastGood; }
    // Why the last poll failed; kind None after a good one.
    LinkError lastError() const { return m_lastError; }
    // Judged by the clock: the link is stalled once no poll has succeeded
    // for more than two poll periods, whatever is still in flight.
    LinkHealth health() const;
    void resetHealth();
    // The state last told by healthChanged.
    LinkState linkState() const { return m_state; }
    // Judges the state now and tells it when it has changed. Runs after
    // every poll result, when polling starts or stops, on resetHealth, and
    // once a second of its own while polling, so that a link that goes
    // silent with a reply still pending turns stale by the clock alone.
    void checkHealth();

    // Whether a station that stops answering is asked less often (after two
    // failed polls every second tick, then every fourth, up to every eighth),
    // so that it does not hold up the other stations of its line.
    void setBackOffAllowed(bool allowed);
    bool backingOff() const { return m_backOffTicks > 0; }
    static constexpr int kMaxBackOffTicks = 7;
    // A period this much longer than the 500 ms asked for means the line is
    // saturated (timer jitter stays well below it).
    static constexpr int kSaturatedPeriodMs = 550;
    // Milliseconds between the results of the last two polls, 0 before the
    // second.
    int periodMs() const { return m_periodMs; }
    // The time one round of the line's stations takes on the wire, at least
    // (set by the line; 0 alone on it): a station waits that long for its
    // turn, and is not stalled for it.
    void setRoundMs(int ms) { m_roundMs = ms; }

signals:
    void tickDone();
    void healthChanged(const LinkState &state);

private:
    bool stale() const;
    void pollDone(const StationPoll &poll);
    void backOff();

    Link &m_link;
    const LinkSettings &m_settings;
    LiveTables &m_live;
    const Clock &m_clock;

    bool m_busy = false;
    bool m_missed = false; // a tick came while the poll was still out
    bool m_backOffAllowed = false;
    int m_backOffTicks = 0; // ticks skipped after each failed poll while backing off
    int m_skip = 0;         // ticks still to skip
    std::optional<std::chrono::steady_clock::time_point> m_lastDone;
    int m_periodMs = 0;
    int m_roundMs = 0;
    int m_failures = 0;
    QDateTime m_lastGood;
    QDateTime m_since; // polling (re)started: the reference before a first good poll
    LinkError m_lastError;
    LinkState m_state;
    QTimer m_healthTimer;
    QPropertyNotifier m_pollingNotifier; // Timer1 started or stopped (declared after it)
};
