// Several simulated instruments sharing one line, as on an RS-485 bus: each
// listed station has its own model (values, flags, holding registers) and
// its own slave (faults, counters). A request reaches only the station it
// names; a request for a station not on the line goes unanswered.
#pragma once

#include "sim/model.h"
#include "sim/slave.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// "1,2,5": distinct station addresses 1..247 in the given order, or nothing
// when the list is empty, malformed or repeats a station.
std::optional<std::vector<int>> parseStations(const std::string &text);

// Length of the RTU request whose first `available` bytes are at `frame`,
// counted from its function code the way the master frames it; 0 while the
// header needed for that is not in yet.
int requestLength(const std::uint8_t *frame, int available);

// Splits "@N rest" into N and rest. Without the prefix station is 0 and
// rest is the whole line; a malformed prefix gives station -1.
struct Addressed {
    int station = 0;
    std::string rest;
};
Addressed splitStationPrefix(const std::string &line);

struct Station {
    explicit Station(int address) : address(address), slave(model, address) {}
    int address;
    Model model;
    Slave slave;
};

class Line {
public:
    explicit Line(const std::vector<int> &addresses);

    Station &first() { return *m_stations.front(); }
    Station *find(int address);
    const std::vector<std::unique_ptr<Station>> &stations() const { return m_stations; }

    // A complete RTU request whose CRC was checked: the reply of the station
    // it names, nothing for a broadcast (carried out by every station) or a
    // station not on the line.
    std::optional<Reply> handle(const std::uint8_t *frame, int length);
    // A complete Modbus TCP request (MBAP header and PDU); the unit
    // identifier names the station. The reply keeps the transaction id.
    std::optional<Reply> handleTcp(const std::uint8_t *adu, int length);

    void advance(double seconds);

    // A command line of the control language; "@N command" goes to station
    // N, a command without the prefix to the first station.
    std::string runCommand(const std::string &line, bool &quit);

private:
    std::vector<std::unique_ptr<Station>> m_stations;
};

}  // namespace sim
