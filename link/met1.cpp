#include "link/met1.h"

#include "link/link.h"

#include <algorithm>

Met1::Met1(Link &link, const LinkSettings &settings, LiveTables &live, const Clock &clock, QObject *parent)
    : QObject(parent), m_link(link), m_settings(settings), m_live(live), m_clock(clock)
{
    setObjectName(QStringLiteral("Met1"));
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(500);
    connect(&Timer1, &QTimer::timeout, this, &Met1::Timer1_Timer);
    m_healthTimer.setInterval(1000);
    connect(&m_healthTimer, &QTimer::timeout, this, &Met1::checkHealth);
    // Whoever starts or stops the polling (the open and close buttons), the
    // health follows at once, and is watched by the clock while it runs.
    m_pollingNotifier = Timer1.bindableActive().addNotifier([this] {
        if (Timer1.isActive())
            m_healthTimer.start();
        else
            m_healthTimer.stop();
        checkHealth();
    });
}

void Met1::D_Byte(uint8_t b)
{
    for (int i = 7; i >= 0; --i) {
        const int w = 1 << i;
        if (b / w >= 1) {
            Bit_B[i] = 1;
            b = uint8_t(b - w);
        } else {
            Bit_B[i] = 0;
        }
    }
}

void Met1::Timer1_Timer()
{
    if (m_busy) {
        m_missed = true; // the line is slower than the timer: go again at once
        return;
    }
    if (m_skip > 0) {
        --m_skip; // backed off: a silent station waits its turn
        m_lastDone.reset();
        m_periodMs = 0;
        return;
    }
    if (!m_since.isValid())
        m_since = m_clock.now();
    m_busy = true;
    m_link.pollStation(m_settings.Link_Par[0], m_settings.Link_Par[3], this,
                       [this](const StationPoll &p) { pollDone(p); });
}

void Met1::pollDone(const StationPoll &p)
{
    const auto done = std::chrono::steady_clock::now();
    if (m_lastDone)
        m_periodMs = int(std::chrono::duration_cast<std::chrono::milliseconds>(done - *m_lastDone).count());
    m_lastDone = done;
    bool ok = true;
    // A failed read publishes nothing: the tables keep their last good values.
    if (p.values.result != kModbusOk || p.values.buf.size() < 16) {
        ok = false;
        m_lastError = p.values.error;
    } else {
        for (int i = 0; i < 16; ++i) {
            m_live.Raw_3X[i] = p.values.buf[i];
            m_live.Val_3X[i] = float(m_live.Raw_3X[i]);
        }
    }
    if (p.status.result == kModbusOk && !p.status.buf.isEmpty()) {
        // The status word carries 16 flags, bit k = status input k + 1.
        Word_1X[0] = p.status.buf[0];
        const uint16_t word = uint16_t(Word_1X[0] & 0xFFFF);
        D_Byte(uint8_t(word & 0xFF));
        for (int k = 0; k < 8; ++k)
            m_live.Sta_1X[k] = Bit_B[k];
        D_Byte(uint8_t(word >> 8));
        for (int k = 0; k < 8; ++k)
            m_live.Sta_1X[8 + k] = Bit_B[k];
    } else if (ok) {
        ok = false;
        m_lastError = p.status.error;
    }
    if (ok) {
        m_failures = 0;
        m_lastGood = m_clock.now();
        m_lastError = {};
        m_backOffTicks = 0;
    } else {
        if (m_failures < 1000000)
            ++m_failures;
        backOff();
    }
    m_busy = false;
    checkHealth();
    emit tickDone();
    if (m_missed && Timer1.isActive()) {
        m_missed = false;
        Timer1_Timer();
    }
}

// A station that failed twice in a row is asked every second tick, then every
// fourth, up to every eighth (4 s), until it answers again; only while
// backing off is allowed (the line has other stations to serve).
void Met1::backOff()
{
    if (!m_backOffAllowed || m_failures < 2)
        return;
    m_backOffTicks = m_backOffTicks == 0 ? 1 : std::min(2 * m_backOffTicks + 1, kMaxBackOffTicks);
    m_skip = m_backOffTicks;
    m_missed = false;
}

void Met1::setBackOffAllowed(bool allowed)
{
    if (allowed == m_backOffAllowed)
        return;
    m_backOffAllowed = allowed;
    if (!allowed)
        m_skip = m_backOffTicks = 0;
}

// No good poll for more than two poll periods: 1 s at 500 ms a poll. The
// clock counts whole seconds, so that is two seconds apart on it: between 1
// and 2 s of real time, and never a false alarm between good polls 500 ms
// apart. On a saturated line (several stations, a low baud rate) a station's
// period is the line's round, as expected from the wire or as measured, and
// two of those are allowed in the same way.
bool Met1::stale() const
{
    const QDateTime since = m_lastGood.isValid() ? m_lastGood : m_since;
    const int periodMs = std::max({500, m_roundMs, m_periodMs > kSaturatedPeriodMs ? m_periodMs : 0});
    const int allowedSecs = (2 * periodMs + 999) / 1000;
    return since.isValid() && since.secsTo(m_clock.now()) > allowedSecs;
}

LinkHealth Met1::health() const
{
    if (!Timer1.isActive())
        return LinkHealth::Closed;
    if (m_failures > 0)
        return LinkHealth::Interrupted;
    if (stale())
        return LinkHealth::Stalled;
    return m_lastGood.isValid() ? LinkHealth::Ok : LinkHealth::WaitingFirst;
}

void Met1::resetHealth()
{
    m_failures = 0;
    m_skip = m_backOffTicks = 0;
    m_lastDone.reset();
    m_periodMs = 0;
    m_lastGood = QDateTime();
    m_since = m_clock.now();
    m_lastError = {};
    checkHealth();
}

void Met1::checkHealth()
{
    LinkState now;
    now.health = health();
    now.lastGood = m_lastGood;
    if (now.health == LinkHealth::Interrupted || now.health == LinkHealth::Stalled)
        now.error = m_lastError;
    if (now == m_state)
        return;
    m_state = now;
    emit healthChanged(m_state);
}
