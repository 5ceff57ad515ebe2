// The socket side of a line over Ethernet (core/line_address.h): connecting
// with a time-out, and the libmodbus context that talks over the socket.
//
// Modbus TCP is libmodbus's own TCP backend. RTU over TCP is the RTU backend
// with the connected socket in place of a terminal: the requests are framed
// with their CRC and the replies read and checked exactly as on a serial line
// (modbusrtu.cpp); the socket is only the wire.
#pragma once

#include "core/line_address.h"

#include <csignal>

struct _modbus;

// A libmodbus context connected to address within timeoutMs, or nullptr with
// the system's error number in *error (ECONNREFUSED, EHOSTUNREACH,
// ETIMEDOUT ..., EADDRNOTAVAIL when the host name is not known). rate is the
// baud rate the RTU framing is told (a device server's line; RTU over TCP
// only).
_modbus *connectTcpLine(const LineAddress &address, int rate, int timeoutMs, int *error);

// Writes to a socket whose peer has gone raise SIGPIPE, which would end the
// program; while one of these lives, the calling thread gets EPIPE instead.
class PipeSignalGuard {
public:
    PipeSignalGuard();
    ~PipeSignalGuard();
    PipeSignalGuard(const PipeSignalGuard &) = delete;
    PipeSignalGuard &operator=(const PipeSignalGuard &) = delete;

private:
    bool m_wasPending = false;
    bool m_restore = false;
    sigset_t m_old{};
};
