#include "sim/line.h"

#include "sim/script.h"

#include <charconv>

namespace sim {

namespace {

constexpr int kMaxStation = 247;
constexpr int kMbapLength = 7;  // transaction, protocol, length, unit

// The stations after the first vary around slightly shifted centres, so
// that values read from the wrong station never pass for the right ones.
constexpr int kCentreStep = 5;

std::optional<int> stationNumber(const std::string &text)
{
    int value = 0;
    const char *last = text.data() + text.size();
    const auto [end, ec] = std::from_chars(text.data(), last, value);
    if (text.empty() || ec != std::errc{} || end != last || value < 1 || value > kMaxStation)
        return std::nullopt;
    return value;
}

}  // namespace

std::optional<std::vector<int>> parseStations(const std::string &text)
{
    std::vector<int> stations;
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const auto station = stationNumber(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (!station)
            return std::nullopt;
        for (const int known : stations) {
            if (known == *station)
                return std::nullopt;
        }
        stations.push_back(*station);
        if (comma == std::string::npos)
            return stations;
        from = comma + 1;
    }
}

int requestLength(const std::uint8_t *frame, int available)
{
    if (available < 2)
        return 0;
    const std::uint8_t function = frame[1];
    int meta = 0;  // bytes after the function code before any data
    int dataAt = -1;  // index of the byte count, when the request has data
    if (function <= 0x06) {
        meta = 4;
    } else if (function == 0x0F || function == 0x10) {
        meta = 5;
        dataAt = 6;
    } else if (function == 0x16) {
        meta = 6;
    } else if (function == 0x17) {
        meta = 9;
        dataAt = 10;
    }
    if (dataAt >= 0 && available <= dataAt)
        return 0;
    const int data = dataAt >= 0 ? frame[dataAt] : 0;
    return 2 + meta + data + 2;  // address, function, ..., CRC
}

Addressed splitStationPrefix(const std::string &line)
{
    const std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos || line[start] != '@')
        return {0, line};
    const std::size_t space = line.find(' ', start);
    const auto station = stationNumber(line.substr(start + 1, space == std::string::npos ? std::string::npos : space - start - 1));
    if (!station)
        return {-1, line};
    return {*station, space == std::string::npos ? std::string() : line.substr(space + 1)};
}

Line::Line(const std::vector<int> &addresses)
{
    for (const int address : addresses) {
        auto station = std::make_unique<Station>(address);
        station->model.setHolding(17, address);
        station->model.setCentreShift(kCentreStep * static_cast<int>(m_stations.size()));
        m_stations.push_back(std::move(station));
    }
}

Station *Line::find(int address)
{
    for (const auto &station : m_stations) {
        if (station->address == address)
            return station.get();
    }
    return nullptr;
}

std::optional<Reply> Line::handle(const std::uint8_t *frame, int length)
{
    if (length < 1)
        return std::nullopt;
    if (frame[0] == 0) {
        for (const auto &station : m_stations)
            station->slave.handle(frame, length);
        return std::nullopt;
    }
    Station *station = find(frame[0]);
    if (!station)
        return std::nullopt;
    return station->slave.handle(frame, length);
}

std::optional<Reply> Line::handleTcp(const std::uint8_t *adu, int length)
{
    if (length < kMbapLength + 1)
        return std::nullopt;
    // The unit and the PDU as an RTU frame; its CRC is not looked at again.
    std::vector<std::uint8_t> frame(adu + kMbapLength - 1, adu + length);
    frame.push_back(0);
    frame.push_back(0);
    auto reply = handle(frame.data(), static_cast<int>(frame.size()));
    if (!reply)
        return std::nullopt;
    const std::size_t pduAndUnit = reply->frame.size() - 2;
    std::vector<std::uint8_t> out(adu, adu + 4);  // transaction and protocol id
    out.push_back(static_cast<std::uint8_t>(pduAndUnit >> 8));
    out.push_back(static_cast<std::uint8_t>(pduAndUnit & 0xFF));
    out.insert(out.end(), reply->frame.begin(), reply->frame.end() - 2);
    reply->frame = std::move(out);
    return reply;
}

void Line::advance(double seconds)
{
    for (const auto &station : m_stations)
        station->model.advance(seconds);
}

std::string Line::runCommand(const std::string &line, bool &quit)
{
    const Addressed addressed = splitStationPrefix(line);
    if (addressed.station < 0)
        return "err bad station in " + line;
    Station *station = addressed.station == 0 ? &first() : find(addressed.station);
    if (!station)
        return "err no station " + std::to_string(addressed.station) + " on this line";
    return sim::runCommand(addressed.rest, station->model, station->slave, quit);
}

}  // namespace sim
