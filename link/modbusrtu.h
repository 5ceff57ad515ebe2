// The serial Modbus RTU master: six operations over libmodbus.
//
// Every argument and result is a signed 32-bit integer; buffers are arrays of
// 32-bit integers. Register or input number n is sent as protocol address
// n - 1. A ModbusRTU object is used from one thread at a time (the link
// thread, see link.h); its calls block until their exchange ends.
//
// One device at a time: opening closes whatever this object holds, and
// closing closes it whatever port number is passed. The device is held
// exclusively (the terminal's exclusive mode and an advisory flock that other
// well-behaved programs honour), so two masters never share one line.
//
// After a failed exchange the line is out of step: a late or broken reply may
// still be coming. It is read off and thrown away until the line has been
// quiet for one response time-out, for at most 1 s, before anything else is
// sent. An exception reply is a whole, well-formed answer and needs no drain.
// On a line shared by several stations (setShared), a time-out in which
// nothing at all came means an absent station: only what is already there is
// read off, so that it does not cost the others a second time-out.
//
// When the device itself fails (an I/O error, a hang-up: an adapter pulled,
// the far end gone) it is closed, and every call at least a second after the
// last attempt tries to open the same path with the same settings again;
// meanwhile calls fail at once with LinkFault::DeviceLost. Closing ends the
// waiting.
//
// A devicePath of the form tcp://HOST[:PORT] or rtu+tcp://HOST:PORT opens a
// line over Ethernet instead (core/line_address.h, tcp_line.h): the
// connection is made within kTcpConnectTimeoutMs and kept open. When the peer
// goes away, the connection is made again like a lost device is reopened, but
// with a back-off: one second after the loss, then twice as long after every
// refused attempt, up to kTcpRetryMaxMs; meanwhile calls fail at once with the
// kind of the loss (PeerClosed) or of the last attempt (Refused ...).
//
// Requests are framed here and sent raw, and the replies read raw and
// checked here, so that every frame on the line can be kept for the link
// diagnostics (takeTrace, link_diagnostics.h).
//
// A failure is told as a kind (LinkError), never as text: the words the
// operator reads are composed on the user-interface side (config/link_text.h).
#pragma once

#include "core/line_address.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <cstdint>
#include <optional>

struct _modbus;

// Result codes.
constexpr int32_t kModbusOk = 0;
constexpr int32_t kModbusFail = -8888;       // an exchange failed (time-out, CRC, exception, port not open)
constexpr int32_t kOpenNoDevice = -1;        // the device named by the port number does not exist
constexpr int32_t kOpenDenied = -2;          // the user may not open it
constexpr int32_t kOpenFailed = -3;          // any other reason (bad settings, not a serial device ...)
constexpr int32_t kOpenBusy = -4;            // another program holds the device

// Device named by port number n: $QR5300M_PORT_DIR/COM<n> when that variable
// is set, else /dev/ttyUSB<n-1> when it exists, else /dev/ttyS<n-1>.
QString portDevice(int32_t port);

// A line over Ethernet: time allowed to connect, to answer, and the longest
// pause between two attempts to connect again.
constexpr int kTcpConnectTimeoutMs = 2000;
constexpr int kTcpResponseTimeoutMs = 500;
constexpr int kTcpRetryMaxMs = 8000;

// Response time-out of one exchange at a baud rate, in milliseconds: the wire
// time of the longest request and reply we exchange, twice, plus the
// instrument's turnaround.
int responseTimeoutMs(int baud);

// What went wrong with an open or an exchange.
enum class LinkFault {
    None,
    NotOpen,      // no port is open, or another port is named
    BadPort,      // port number below 1
    BadStation,   // station outside 1..247: nothing sent
    BadArguments, // register, count or value out of range: nothing sent
    BadSettings,  // baud or parity index unknown, or refused by the device (sys)
    NoDevice,     // nothing at the device path
    Denied,        // the user may not open the device
    Busy,          // another program holds the device
    NotSerial,    // the path is not a terminal
    Timeout,       // no (complete) reply within the response time-out
    BadFrame,     // the reply's CRC is wrong
    BadReply,     // a well-formed reply that does not fit the request
    EchoMismatch, // a write's echo names another register or value
    Exception,     // the instrument refused: exception reply, code in `exception`
    DeviceLost,   // the device failed: an I/O error on opening; after an exchange, awaited
                   // on its path again
    Io,            // any other system error (sys)
    // Lines over Ethernet (core/line_address.h):
    BadAddress,     // a tcp:// or rtu+tcp:// address that does not parse
    Refused,        // nothing listens at the host and port (or the name is unknown)
    Unreachable,    // no route to the host or its network
    ConnectTimeout, // the host did not accept the connection within the time-out
    PeerClosed,     // the far end closed the connection; it is being connected again
};

struct LinkError {
    LinkFault kind = LinkFault::None;
    int exception = 0; // Modbus exception code of an exception reply, 0 when unknown
    int sys = 0;       // the system's error number where one was given
    friend bool operator==(const LinkError &, const LinkError &) = default;
};

// The kind of failure an error number from the system or libmodbus means,
// for an open (opening) or an exchange.
LinkError linkErrorOf(int error, bool opening);

// One exchange as the link thread saw it: the request sent, unit identifier
// (station) first (with its CRC on RTU frames; on Modbus TCP without the
// header the library adds),
// the reply read (empty when none came; a reply with a bad CRC is kept as
// read), when each went, and how the exchange ended.
struct ExchangeTrace {
    QByteArray request;
    QByteArray reply;
    qint64 sentAtMs = 0;     // wall clock, milliseconds since 1970
    qint64 receivedAtMs = 0; // wall clock, 0 when nothing was read
    qint64 roundTripUs = -1; // from sending to the reply's last byte, -1 without a reply
    LinkError outcome;      // kind None for a good answer
};

class ModbusRTU {
public:
    ModbusRTU() = default;
    ~ModbusRTU();
    ModbusRTU(const ModbusRTU &) = delete;
    ModbusRTU &operator=(const ModbusRTU &) = delete;

    // Opens the device named by port number `port`, or, when devicePath is
    // given, that device (a /dev/serial/by-id/... link is followed at every
    // opening, so a replugged adapter is found under its new name); later
    // calls then name it by the same `port`, whatever its value.
    int32_t OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, const QString &devicePath = {});
    int32_t ClosePort_Modbus(int32_t port);
    // Input registers start..start+count-1 into buf[0..count-1], each a signed
    // 16-bit value widened to 32 bits.
    int32_t Get_3X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);
    // 16 discrete inputs as one word into buf[0], input `start` at bit 0.
    int32_t Get_1X_B16(int32_t port, int32_t station, int32_t start, int32_t *buf);
    // Holding registers, as Get_3X_DX.
    int32_t Get_4X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);
    // Writes one holding register; kModbusFail when the exchange fails or the
    // instrument's echo names another register or value.
    int32_t Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value);

    // Whether several stations are polled on the line (see the drain above).
    void setShared(bool shared) { m_shared = shared; }
    // The last failure (kind None after a success).
    LinkError lastError() const { return m_error; }
    bool isOpen(int32_t port) const { return m_ctx != nullptr && port == m_port; }
    // The device failed and is being reopened once a second.
    bool isWaiting() const { return m_waiting; }
    // Bytes read off the line and thrown away (late or broken replies).
    int64_t drainedBytes() const { return m_drained; }
    // The exchange of the last call, if it sent a request, with its outcome;
    // cleared by taking it.
    std::optional<ExchangeTrace> takeTrace();

private:
    using SteadyClock = std::chrono::steady_clock;

    int32_t openDevice();
    int32_t openNetwork();
    int replyTimeoutMs() const;
    int crcBytes() const; // after a reply's data: 2 on RTU frames, none on Modbus TCP
    void closeDevice();
    int32_t openFailure(int error);
    void lose(int error);
    _modbus *ready(int32_t port, int32_t station);
    int32_t fail(LinkFault kind);
    int32_t failExchange(const LinkError &error);
    void drainLine(int quietMs);
    int exchange(_modbus *ctx, const uint8_t *request, int length, uint8_t *reply);
    int32_t readRegisters(bool input, int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);

    _modbus *m_ctx = nullptr;
    int m_lockFd = -1;              // holds the advisory lock on the device
    int32_t m_port = 0;             // settings of the device held or awaited
    QString m_path;                 // the device path opened by, empty: by port number
    LineAddress m_line;             // the path as a line address (TCP or serial)
    int m_rate = 0;
    char m_parity = 'N';
    bool m_waiting = false;
    bool m_shared = false;
    SteadyClock::time_point m_lastTry;
    std::chrono::milliseconds m_retryEvery{1000}; // while waiting
    LinkError m_lost;               // told while waiting on a TCP line
    int64_t m_drained = 0;
    LinkError m_error;
    std::optional<ExchangeTrace> m_trace;
};
