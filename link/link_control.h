// Opening and closing the link with its settings, for whoever drives it (the
// main window's 打开 and 关闭, the headless logger): the settings are stored
// for the cycles, the port is opened on the link thread, the settings that
// opened are remembered for the next start, and the acquisition's polling
// starts and stops with the link, its health judged afresh at every open.
#pragma once

#include "core/live_data.h"
#include "link/modbusrtu.h"

#include <QObject>
#include <QString>
#include <cstdint>

class Link;
class Met1;

// Port, baud index, parity index, station as in Link_Par 0..3, and a device
// chosen by path instead of a port number (empty when chosen by number).
struct LinkChoice {
    int32_t par[4] = {1, 1, 0, 1};
    QString devicePath;
};

// How an open went: the port as chosen and, when it failed, why.
struct LinkOpenResult {
    int32_t port = 0;
    QString devicePath;
    int32_t result = kModbusFail; // the open's result
    LinkError error;              // why it failed, kind None when it opened
    bool ok() const { return result == kModbusOk; }
};

class LinkControl : public QObject {
    Q_OBJECT
public:
    // Whether the settings of a good open are remembered for the next start.
    enum class Remember { Yes, No };

    // Opens over link the port of settings, polled by met1; all three outlive
    // the object.
    LinkControl(Link &link, LinkSettings &settings, Met1 &met1, QObject *parent = nullptr);

    // Stores choice into the settings and opens its port; polling starts at
    // once (an open while polling keeps its rhythm) with the health reset.
    // The result comes back as opened(), unless a newer open or a close was
    // asked for meanwhile. Link_Par[20] takes the open's result either way.
    void open(const LinkChoice &choice, Remember remember = Remember::Yes);
    // Closes the port and stops polling; a pending open's result is no
    // longer told.
    void close();
    // Polling runs (the link was opened and not closed since).
    bool isOpen() const;

signals:
    void opened(const LinkOpenResult &result);

private:
    Link &m_link;
    LinkSettings &m_settings;
    Met1 &m_met1;
    uint32_t m_seq = 0; // counts opens and closes
};
