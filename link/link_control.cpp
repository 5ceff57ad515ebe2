#include "link/link_control.h"

#include "link/link.h"
#include "link/met1.h"
#include "link/serial_ports.h"

#include <algorithm>

LinkControl::LinkControl(Link &link, LinkSettings &settings, Met1 &met1, QObject *parent)
    : QObject(parent), m_link(link), m_settings(settings), m_met1(met1)
{
    setObjectName(QStringLiteral("LinkControl"));
}

void LinkControl::open(const LinkChoice &choice, Remember remember)
{
    int32_t *Link_Par = m_settings.Link_Par;
    std::copy(std::begin(choice.par), std::end(choice.par), Link_Par);
    m_settings.portPath = choice.devicePath;
    const uint32_t seq = ++m_seq;
    const LinkOpenResult asked{Link_Par[0], choice.devicePath, kModbusFail, {}};
    const bool keep = remember == Remember::Yes;
    const RememberedLink chosen = rememberedOf(Link_Par, choice.devicePath);
    m_link.OpenPort_Modbus(Link_Par[0], Link_Par[1], Link_Par[2], choice.devicePath, this,
                           [this, seq, asked, keep, chosen](const LinkResult &r) {
                               m_settings.Link_Par[20] = r.result;
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
    m_met1.resetHealth();
    if (!m_met1.Timer1.isActive())
        m_met1.Timer1.start();
}

void LinkControl::close()
{
    m_link.ClosePort_Modbus(m_settings.Link_Par[0]);
    m_met1.Timer1.stop();
    ++m_seq;
}

bool LinkControl::isOpen() const
{
    return m_met1.Timer1.isActive();
}
