// Opening and closing a line with its settings, for whoever drives it (the
// main window's 打开 and 关闭, the headless logger): the settings are stored
// for the cycles, the port is opened on the link thread, the settings that
// opened are remembered for the next start, and the polling of every station
// on the line starts and stops with it, each station's health judged afresh
// at every open.
#pragma once

#include "core/live_data.h"
#include "link/modbusrtu.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

class Link;
class Met1;

// Port, baud index, parity index, station as in Link_Par 0..3, and a device
// chosen by path or a line over Ethernet instead of a port number (empty
// when chosen by number).
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

// How fast the stations of a line come round: the time one round of polls
// takes, and whether that is longer than the 500 ms the acquisition asks for
// (more stations than the baud rate can serve twice a second).
struct LineCycle {
    bool saturated = false;
    int cycleMs = 0;
    friend bool operator==(const LineCycle &, const LineCycle &) = default;
};

class LinkControl : public QObject {
    Q_OBJECT
public:
    // Whether the settings of a good open are remembered for the next start.
    enum class Remember { Yes, No };

    // Opens over link the port of settings (the line's); both outlive the
    // object.
    LinkControl(Link &link, LinkSettings &settings, QObject *parent = nullptr);

    // A station polled while the line is open: its acquisition and the
    // settings it polls with (the line's own when it is alone on the line;
    // else its own, the line's port, baud and parity copied in at every
    // open). Both outlive the station's membership; a station joining an open
    // line starts polling at once.
    void addStation(Met1 &met1, LinkSettings &settings);
    void removeStation(Met1 &met1);
    int stationCount() const { return int(m_stations.size()); }

    // Stores choice into the settings and opens its port; polling starts at
    // once (an open while polling keeps its rhythm) with the health reset.
    // The station of choice is the polled station's when only one is on the
    // line. The result comes back as opened(), unless a newer open or a
    // close was asked for meanwhile. Link_Par[20] takes the open's result
    // either way.
    void open(const LinkChoice &choice, Remember remember = Remember::Yes);
    // Closes the port and stops polling; a pending open's result is no
    // longer told.
    void close();
    // Polling runs (the line was opened and not closed since).
    bool isOpen() const { return m_open; }
    // The line's round of polls as last judged.
    LineCycle cycle() const { return m_cycle; }

signals:
    void opened(const LinkOpenResult &result);
    // The line became saturated, its cycle time changed by a tenth while
    // saturated, or it is no longer saturated.
    void cycleChanged(const LineCycle &cycle);

private:
    struct Station {
        Met1 *met1;
        LinkSettings *settings;
    };
    void copyLineSettings(LinkSettings &to) const;
    void judgeCycle();
    void shareLine();

    Link &m_link;
    LinkSettings &m_settings;
    std::vector<Station> m_stations;
    bool m_open = false;
    bool m_shared = false; // several stations on the line
    uint32_t m_seq = 0; // counts opens and closes
    LineCycle m_cycle;
};
