// The acquisition cycle (no window): while the link is open its 500 ms timer
// polls input registers 1..16 and the 16 status inputs into the live tables
// (Raw_3X, Val_3X, Sta_1X), and keeps track of the link's health.
#pragma once

#include "core/clock.h"
#include "core/live_data.h"
#include "link/modbusrtu.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <cstdint>

class Link;

// State of the link as the acquisition sees it.
enum class Link_Health {
    Closed,        // polling stopped
    Waiting_First, // polling, no good poll yet and not late
    Ok,            // the last poll was good and is recent
    Interrupted,   // the last poll failed (Last_Error tells why)
    Stalled,       // no failure, but no complete reply for over two poll periods
};

class Met1 : public QObject {
    Q_OBJECT
public:
    // Polls over link the port and station of settings into live and judges
    // the link's health by clock; all four outlive the object.
    Met1(Link &link, const Link_Settings &settings, Live_Tables &live, const Clock &clock, QObject *parent = nullptr);

    void Form_Load() {}
    // One acquisition tick: both exchanges are issued; their results are
    // published as each comes back. A tick never starts while the previous
    // one is still waiting for its results.
    void Timer1_Timer();
    // Bit i of b into Bit_B(i), i = 0..7 (bit 0 least significant).
    void D_Byte(uint8_t b);

    QTimer Timer1;
    int32_t Word_1X[8] = {};
    uint8_t Bit_B[8] = {};

    // Link health.
    bool Tick_Busy() const { return m_busy; }
    int Fail_Count() const { return m_failures; } // consecutive failed ticks
    QDateTime Last_Good() const { return m_lastGood; }
    // Why the last poll failed; kind None after a good one.
    Link_Error Last_Error() const { return m_lastError; }
    // Judged by the clock: the link is stalled once no poll has succeeded
    // for more than two poll periods, whatever is still in flight.
    Link_Health Health() const;
    void Reset_Health();

signals:
    void Tick_Done();

private:
    bool stale() const;

    Link &m_link;
    const Link_Settings &m_settings;
    Live_Tables &m_live;
    const Clock &m_clock;

    bool m_busy = false;
    bool m_tickOk = true;
    int m_failures = 0;
    QDateTime m_lastGood;
    QDateTime m_since; // polling (re)started: the reference before a first good poll
    Link_Error m_lastError;
};
