// Where a line is: a serial device (a port number, a by-id name or a path, as
// chosen in the link panel) or an instrument or gateway over Ethernet.
//
//   tcp://HOST[:PORT]      Modbus TCP, port 502 when not given; the station
//                          is the unit identifier
//   rtu+tcp://HOST:PORT    the same RTU frames, CRC and all, as on a serial
//                          line, through one TCP socket (a serial device
//                          server); the port must be given
//
// Anything without "://" is a serial device and is left to the serial side.
// A HOST in brackets is an IPv6 address ("tcp://[::1]:1502").
#pragma once

#include <QString>
#include <cstdint>

enum class LineTransport { Serial, ModbusTcp, RtuOverTcp };

// Why a line address is refused.
enum class LineAddressFault {
    None,
    Empty,        // nothing given
    BadScheme,    // "xyz://...": neither tcp nor rtu+tcp
    NoHost,       // the host is missing or malformed
    BadPort,      // the TCP port is not a number in 1..65535
    PortRequired, // rtu+tcp without a port: there is no usual one
};

struct LineAddress {
    LineTransport transport = LineTransport::Serial;
    QString device;     // Serial: the text as given
    QString host;       // TCP: host name or address, without brackets
    uint16_t tcpPort = 0;
    bool isTcp() const { return transport != LineTransport::Serial; }
    friend bool operator==(const LineAddress &, const LineAddress &) = default;
};

struct LineAddressParse {
    LineAddress address;
    LineAddressFault fault = LineAddressFault::None;
    bool ok() const { return fault == LineAddressFault::None; }
};

constexpr uint16_t kModbusTcpPort = 502;

LineAddressParse parseLineAddress(const QString &text);
// Whether text names a line over Ethernet (well formed or not).
bool isNetworkAddress(const QString &text);
