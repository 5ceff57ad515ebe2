// The hidden acquisition window: while the link is open its 500 ms timer polls
// input registers 1..16 and the 16 status inputs into Raw_3X, Val_3X and
// Sta_1X, and keeps track of the link's health.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <cstdint>

class Met1 : public QObject {
    Q_OBJECT
public:
    explicit Met1(QObject *parent = nullptr);

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
    // Why the link is interrupted, in plain words; empty while it is not.
    QString Last_Error() const;
    // Short Chinese text for the main window, which reads it every second.
    // It judges by the clock: the link is interrupted once no poll has
    // succeeded for more than two poll periods, whatever is still in flight.
    QString Health_Text() const;
    void Reset_Health();

signals:
    void Tick_Done();

private:
    bool stale() const;

    bool m_busy = false;
    bool m_tickOk = true;
    int m_failures = 0;
    QDateTime m_lastGood;
    QDateTime m_since; // polling (re)started: the reference before a first good poll
    QString m_lastError;
};
