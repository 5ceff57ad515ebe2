#include "link/link_control.h"

#include "core/line_settings.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/serial_ports.h"

#include <algorithm>
#include <cstdlib>

LinkControl::LinkControl(Link &link, LinkSettings &settings, QObject *parent)
    : QObject(parent), m_link(link), m_settings(settings)
{
    setObjectName(QStringLiteral("LinkControl"));
}

void LinkControl::addStation(Met1 &met1, LinkSettings &settings)
{
    m_stations.push_back({&met1, &settings});
    connect(&met1, &Met1::tickDone, this, &LinkControl::judgeCycle);
    shareLine();
    if (m_open) {
        copyLineSettings(settings);
        met1.resetHealth();
        met1.Timer1.start();
    }
}

void LinkControl::removeStation(Met1 &met1)
{
    met1.Timer1.stop();
    disconnect(&met1, nullptr, this, nullptr);
    std::erase_if(m_stations, [&](const Station &s) { return s.met1 == &met1; });
    shareLine();
}

// A station alone on its line is asked at every tick whatever happens, and
// waits out a late reply in full; several share the line's time fairly.
void LinkControl::shareLine()
{
    const bool several = m_stations.size() > 1;
    if (several != m_shared)
        m_link.setShared(several);
    m_shared = several;
    // One poll's bytes (8 + 37 and 8 + 7) at 11 bits a character, with a
    // fifth for the gaps: what a round of all stations takes at the least.
    const int rate = baudRateOf(m_settings.Link_Par[1]);
    const int pollMs = rate > 0 ? 60 * 11 * 1000 * 6 / 5 / rate : 0;
    const int roundMs = several ? pollMs * int(m_stations.size()) : 0;
    for (const Station &s : m_stations) {
        s.met1->setBackOffAllowed(several);
        s.met1->setRoundMs(roundMs);
    }
}

void LinkControl::copyLineSettings(LinkSettings &to) const
{
    if (&to == &m_settings)
        return;
    std::copy(m_settings.Link_Par, m_settings.Link_Par + 3, to.Link_Par);
    to.Link_Par[20] = m_settings.Link_Par[20];
    to.portPath = m_settings.portPath;
}

void LinkControl::open(const LinkChoice &choice, Remember remember)
{
    int32_t *Link_Par = m_settings.Link_Par;
    std::copy(std::begin(choice.par), std::end(choice.par), Link_Par);
    m_settings.portPath = choice.devicePath;
    for (const Station &s : m_stations)
        copyLineSettings(*s.settings);
    shareLine(); // the baud rate may have changed
    const uint32_t seq = ++m_seq;
    const LinkOpenResult asked{Link_Par[0], choice.devicePath, kModbusFail, {}};
    const bool keep = remember == Remember::Yes;
    const RememberedLink chosen = rememberedOf(Link_Par, choice.devicePath);
    m_link.OpenPort_Modbus(Link_Par[0], Link_Par[1], Link_Par[2], choice.devicePath, this,
                           [this, seq, asked, keep, chosen](const LinkResult &r) {
                               m_settings.Link_Par[20] = r.result;
                               for (const Station &s : m_stations)
                                   s.settings->Link_Par[20] = r.result;
                               if (r.result == kModbusOk && keep)
                                   saveRememberedLink(chosen); // restored at the next start
                               // A close or a newer open issued meanwhile owns the outcome.
                               if (seq != m_seq)
                                   return;
                               LinkOpenResult result = asked;
                               result.result = r.result;
                               if (r.result != kModbusOk)
                                   result.error = r.error;
                               emit opened(result);
                           });
    m_open = true;
    for (const Station &s : m_stations) {
        s.met1->resetHealth();
        if (!s.met1->Timer1.isActive())
            s.met1->Timer1.start();
    }
}

void LinkControl::close()
{
    m_link.ClosePort_Modbus(m_settings.Link_Par[0]);
    m_open = false;
    for (const Station &s : m_stations)
        s.met1->Timer1.stop();
    ++m_seq;
    if (m_cycle.saturated) {
        m_cycle = {};
        emit cycleChanged(m_cycle);
    }
}

// The round of polls is as long as the slowest station's period, leaving
// out a station being backed off (it skips rounds on purpose).
void LinkControl::judgeCycle()
{
    int cycleMs = 0;
    for (const Station &s : m_stations)
        if (!s.met1->backingOff())
            cycleMs = std::max(cycleMs, s.met1->periodMs());
    if (cycleMs == 0)
        return;
    const LineCycle now{cycleMs > Met1::kSaturatedPeriodMs, cycleMs};
    const bool moved = now.saturated && std::abs(now.cycleMs - m_cycle.cycleMs) * 10 > m_cycle.cycleMs;
    if (now.saturated == m_cycle.saturated && !moved) {
        return;
    }
    m_cycle = now;
    emit cycleChanged(m_cycle);
}
