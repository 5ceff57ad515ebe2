#include "link/modbusrtu.h"

#include "core/line_settings.h"
#include "link/tcp_line.h"

#include <QDateTime>
#include <QFileInfo>
#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kMaxRegisters = 125;
// Transaction, protocol and length ahead of the unit identifier (Modbus TCP).
constexpr int kMbapLength = 6;
constexpr int kReadDiscreteInputs = 0x02;
constexpr int kReadHoldingRegisters = 0x03;
constexpr int kReadInputRegisters = 0x04;
constexpr int kWriteSingleRegister = 0x06;
// A line that keeps talking is given up on after this long.
constexpr int kDrainLimitMs = 1000;
// The device's path is tried again at most this often while it is away.
constexpr auto kReopenEvery = std::chrono::milliseconds(1000);

// Errors that mean the device itself is gone or broken, not the instrument
// silent: a closed descriptor, an I/O error, a hang-up (read gives end of
// file, which libmodbus reports as ECONNRESET).
bool deviceLost(int e)
{
    return e == EIO || e == ENXIO || e == ENODEV || e == EBADF || e == EPIPE || e == ECONNRESET;
}

bool exceptionReply(int e)
{
    return e > MODBUS_ENOBASE && e < MODBUS_ENOBASE + MODBUS_EXCEPTION_MAX;
}

// CRC-16 of a Modbus RTU frame, sent low byte first.
uint16_t crc16(const uint8_t *data, int length)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// Length of the reply frame whose header is in rsp (station, function and,
// for reads, the byte count), as the master reads it off the line.
int replyLength(const uint8_t *rsp)
{
    if (rsp[1] & 0x80)
        return 5;
    if (rsp[1] >= 1 && rsp[1] <= 4)
        return 3 + rsp[2] + 2;
    return 8;
}

// What is wrong with the reply (n bytes) to the read request req, which
// should carry dataBytes of data and then crcBytes (none on Modbus TCP, whose
// header is taken off): an exception reply with its code, or a
// reply that does not fit (another station, function or byte count).
LinkError replyError(const uint8_t *req, const uint8_t *rsp, int n, int dataBytes, int crcBytes)
{
    const int expected = 3 + dataBytes + crcBytes;
    if (n >= 3 + crcBytes && rsp[0] == req[0] && rsp[1] == (req[1] | 0x80))
        return {LinkFault::Exception, rsp[2], 0};
    if (n != expected || rsp[0] != req[0] || rsp[1] != req[1] || rsp[2] != dataBytes)
        return {LinkFault::BadReply, 0, 0};
    return {};
}

} // namespace

LinkError linkErrorOf(int e, bool opening)
{
    if (opening) {
        switch (e) {
        case ECONNREFUSED:
        case EADDRNOTAVAIL:
            return {LinkFault::Refused, 0, e};
        case EHOSTUNREACH:
        case ENETUNREACH:
        case ENETDOWN:
        case EHOSTDOWN:
            return {LinkFault::Unreachable, 0, e};
        case ETIMEDOUT:
            return {LinkFault::ConnectTimeout, 0, e};
        default:
            break;
        }
        switch (e) {
        case EACCES:
        case EPERM:
            return {LinkFault::Denied, 0, e};
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return {LinkFault::NoDevice, 0, e};
        case EBUSY:
        case EWOULDBLOCK:
            return {LinkFault::Busy, 0, e};
        case ENOTTY:
            return {LinkFault::NotSerial, 0, e};
        case EINVAL:
            return {LinkFault::BadSettings, 0, e};
        case EIO:
            return {LinkFault::DeviceLost, 0, e}; // there, but failing: pulled out?
        default:
            return {LinkFault::Io, 0, e};
        }
    }
    switch (e) {
    case ETIMEDOUT:
        return {LinkFault::Timeout, 0, 0};
    case EMBBADCRC:
        return {LinkFault::BadFrame, 0, 0};
    case EMBBADDATA:
    case EMBBADSLAVE:
        return {LinkFault::BadReply, 0, 0};
    case EMBBADEXC:
    case EMBUNKEXC:
        return {LinkFault::Exception, 0, 0};
    case EMBMDATA:
        return {LinkFault::BadArguments, 0, 0};
    default:
        if (exceptionReply(e))
            return {LinkFault::Exception, e - MODBUS_ENOBASE, 0};
        if (deviceLost(e))
            return {LinkFault::DeviceLost, 0, e};
        // Other libmodbus codes are not the system's numbers.
        return {LinkFault::Io, 0, e < MODBUS_ENOBASE ? e : 0};
    }
}

QString portDevice(int32_t port)
{
    const QByteArray dir = qgetenv("QR5300M_PORT_DIR");
    if (!dir.isEmpty())
        return QString::fromLocal8Bit(dir) + QStringLiteral("/COM") + QString::number(port);
    const QString usb = QStringLiteral("/dev/ttyUSB%1").arg(qint64(port) - 1);
    if (QFileInfo::exists(usb))
        return usb;
    return QStringLiteral("/dev/ttyS%1").arg(qint64(port) - 1);
}

int responseTimeoutMs(int baud)
{
    if (baud <= 0)
        return 500;
    // Longest exchange: an 8-byte request and a 37-byte reply (16 registers),
    // 11 bits a character at most.
    const int wireMs = (8 + 37) * 11 * 1000 / baud;
    return 100 + 2 * wireMs;
}

ModbusRTU::~ModbusRTU()
{
    closeDevice();
}

int32_t ModbusRTU::fail(LinkFault kind)
{
    m_error = {kind, 0, 0};
    return kModbusFail;
}

// Result code of a failed open, its kind kept as the last error.
int32_t ModbusRTU::openFailure(int e)
{
    m_error = linkErrorOf(e, true);
    switch (m_error.kind) {
    case LinkFault::NoDevice:
        return kOpenNoDevice;
    case LinkFault::Denied:
        return kOpenDenied;
    case LinkFault::Busy:
        return kOpenBusy;
    default:
        return kOpenFailed;
    }
}

int32_t ModbusRTU::OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity, const QString &devicePath)
{
    // Whatever was held before is let go, whichever port it was.
    closeDevice();
    m_waiting = false;
    m_path = devicePath;
    m_line = {};
    if (isNetworkAddress(devicePath)) {
        const LineAddressParse parsed = parseLineAddress(devicePath);
        if (!parsed.ok()) {
            m_error = {LinkFault::BadAddress, 0, 0};
            return kOpenNoDevice;
        }
        m_line = parsed.address;
    }
    if (port < 1 && devicePath.isEmpty()) {
        m_error = {LinkFault::BadPort, 0, 0};
        return kOpenNoDevice;
    }
    const int rate = baudRateOf(baud);
    if (rate == 0 || parity < 0 || parity >= kLineChoices) {
        m_error = {LinkFault::BadSettings, 0, 0};
        return kOpenFailed;
    }
    m_port = port;
    m_rate = rate;
    m_parity = kParityLetters[parity];
    return openDevice();
}

// Opens the device of m_port with the stored settings. The lock is taken
// before libmodbus touches the device, so a refused second opener never
// changes the line settings under the program that holds it.
int32_t ModbusRTU::openDevice()
{
    if (m_line.isTcp())
        return openNetwork();
    const QString dev = m_path.isEmpty() ? portDevice(m_port) : m_path;
    if (!QFileInfo::exists(dev))
        return openFailure(ENOENT);
    const QByteArray path = dev.toLocal8Bit();
    const int lock = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lock < 0)
        return openFailure(errno);
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(lock);
        return openFailure(e == EWOULDBLOCK ? EBUSY : e);
    }
    modbus_t *ctx = modbus_new_rtu(path.constData(), m_rate, m_parity, 8, 1);
    if (!ctx) {
        const int e = errno;
        ::close(lock);
        return openFailure(e);
    }
    if (modbus_connect(ctx) != 0) {
        const int e = errno;
        modbus_free(ctx);
        ::close(lock);
        return openFailure(e);
    }
    const int fd = modbus_get_socket(ctx);
    // Other openers are refused by the terminal itself (root excepted); a
    // device that will not take exclusive mode is still guarded by the lock.
    ioctl(fd, TIOCEXCL);
    // Whatever an earlier user of the line left unread is not ours.
    tcflush(fd, TCIOFLUSH);
    const int timeout = responseTimeoutMs(m_rate);
    modbus_set_response_timeout(ctx, uint32_t(timeout / 1000), uint32_t(timeout % 1000) * 1000);
    // Gap allowed between two bytes of one reply: a few characters, plus the
    // latency of USB adapters.
    const uint32_t byteUs = uint32_t(5 * 11 * 1000000 / m_rate + 20000);
    modbus_set_byte_timeout(ctx, 0, byteUs);
    m_ctx = ctx;
    m_lockFd = lock;
    m_waiting = false;
    m_error = {};
    return kModbusOk;
}

// Connects the line over Ethernet with the stored settings.
int32_t ModbusRTU::openNetwork()
{
    int e = 0;
    modbus_t *ctx = connectTcpLine(m_line, m_rate, kTcpConnectTimeoutMs, &e);
    if (!ctx) {
        m_error = linkErrorOf(e, true);
        return kOpenFailed;
    }
    modbus_set_response_timeout(ctx, 0, uint32_t(kTcpResponseTimeoutMs) * 1000);
    modbus_set_byte_timeout(ctx, 0, uint32_t(kTcpResponseTimeoutMs) * 1000);
    m_ctx = ctx;
    m_waiting = false;
    m_retryEvery = kReopenEvery;
    m_error = {};
    return kModbusOk;
}

int ModbusRTU::crcBytes() const
{
    return m_line.transport == LineTransport::ModbusTcp ? 0 : 2;
}

int ModbusRTU::replyTimeoutMs() const
{
    return m_line.isTcp() ? kTcpResponseTimeoutMs : responseTimeoutMs(m_rate);
}

void ModbusRTU::closeDevice()
{
    if (m_ctx) {
        // The terminal outlives us when someone else keeps it open: leave it
        // out of exclusive mode, or nobody (but root) could open it again.
        if (!m_line.isTcp())
            ioctl(modbus_get_socket(m_ctx), TIOCNXCL);
        modbus_close(m_ctx);
        modbus_free(m_ctx);
        m_ctx = nullptr;
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd); // releases the lock
        m_lockFd = -1;
    }
}

// The device failed: let it go and wait for it to come back on its path.
void ModbusRTU::lose(int e)
{
    closeDevice();
    m_waiting = true;
    m_lastTry = SteadyClock::now();
    m_retryEvery = kReopenEvery;
    m_error = {m_line.isTcp() ? LinkFault::PeerClosed : LinkFault::DeviceLost, 0, e};
    m_lost = m_error;
}

int32_t ModbusRTU::ClosePort_Modbus(int32_t)
{
    // The close button closes what the program holds, not just the port now
    // named: a device opened under another number must not stay open.
    const bool held = m_ctx != nullptr || m_waiting;
    closeDevice();
    m_waiting = false;
    if (!held)
        return fail(LinkFault::NotOpen);
    m_error = {};
    return kModbusOk;
}

modbus_t *ModbusRTU::ready(int32_t port, int32_t station)
{
    if ((!m_ctx && !m_waiting) || port != m_port) {
        fail(LinkFault::NotOpen);
        return nullptr;
    }
    if (station < 1 || station > 247) {
        fail(LinkFault::BadStation);
        return nullptr;
    }
    if (m_waiting) {
        const auto now = SteadyClock::now();
        if (now - m_lastTry < m_retryEvery) {
            m_error = m_line.isTcp() ? m_lost : LinkError{LinkFault::DeviceLost, 0, 0};
            return nullptr;
        }
        m_lastTry = now;
        if (openDevice() != kModbusOk) {
            if (!m_line.isTcp()) {
                fail(LinkFault::DeviceLost);
                return nullptr;
            }
            // Told as what the attempt met; tried again later and later.
            m_lost = m_error;
            m_retryEvery = std::min(2 * m_retryEvery, std::chrono::milliseconds(kTcpRetryMaxMs));
            return nullptr;
        }
    }
    modbus_set_slave(m_ctx, station);
    // Anything already waiting on the line (a late reply to an earlier
    // request) must not be taken for the answer to this one.
    drainLine(0);
    if (!m_ctx)
        return nullptr; // lost while draining; lose() told why
    return m_ctx;
}

// Reads and throws away what arrives until the line has been quiet for
// quietMs (0: only what is already there), for at most kDrainLimitMs.
// A hang-up or read error on the way means the device is lost.
void ModbusRTU::drainLine(int quietMs)
{
    if (!m_ctx)
        return;
    const int fd = modbus_get_socket(m_ctx);
    const auto msSince = [](SteadyClock::time_point t) {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t).count());
    };
    const auto start = SteadyClock::now();
    auto quietSince = start;
    for (;;) {
        const int limitLeft = kDrainLimitMs - msSince(start);
        const int wait = std::max(0, std::min(quietMs - msSince(quietSince), limitLeft));
        pollfd p{fd, POLLIN, 0};
        const int rc = poll(&p, 1, wait);
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc <= 0)
            return; // quiet long enough
        if ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN)) {
            lose(0);
            return;
        }
        uint8_t buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            m_drained += n;
            quietSince = SteadyClock::now();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            lose(n == 0 ? 0 : errno); // end of file on a terminal is a hang-up
            return;
        }
        if (limitLeft <= 0)
            return; // a line that never falls quiet
    }
}

// An exchange failed: the line is brought back in step (or the device given
// up for lost), and the kind of failure kept.
int32_t ModbusRTU::failExchange(const LinkError &error)
{
    if (error.kind == LinkFault::DeviceLost) {
        lose(error.sys);
        return kModbusFail;
    }
    // On a line several stations share, one that said nothing for a whole
    // response time-out is taken as absent (switched off, unplugged): it must
    // not cost the others a second time-out. Whatever it sends later is read
    // off before the next request goes out.
    const bool absent = m_shared && error.kind == LinkFault::Timeout && m_trace && m_trace->reply.isEmpty();
    if (error.kind != LinkFault::Exception)
        drainLine(absent ? 0 : replyTimeoutMs());
    if (m_waiting)
        return kModbusFail; // lost while draining; lose() told why
    m_error = error;
    return kModbusFail;
}

std::optional<ExchangeTrace> ModbusRTU::takeTrace()
{
    std::optional<ExchangeTrace> t = std::move(m_trace);
    m_trace.reset();
    if (t)
        t->outcome = m_error;
    return t;
}

// Sends request (station and PDU; libmodbus adds the CRC) and reads the reply
// into reply (MODBUS_MAX_ADU_LENGTH bytes): its length, or -1 with errno
// set. Both frames are kept for the diagnostics as they went over the line.
int ModbusRTU::exchange(modbus_t *ctx, const uint8_t *request, int length, uint8_t *reply)
{
    ExchangeTrace t;
    const bool mbap = m_line.transport == LineTransport::ModbusTcp;
    t.request = QByteArray(reinterpret_cast<const char *>(request), length);
    if (!mbap) {
        const uint16_t crc = crc16(request, length);
        t.request.append(char(crc & 0xFF));
        t.request.append(char(crc >> 8));
    }
    t.sentAtMs = QDateTime::currentMSecsSinceEpoch();
    const auto start = SteadyClock::now();
    int n;
    {
        const PipeSignalGuard guard;
        n = modbus_send_raw_request(ctx, request, length);
    }
    int e = errno;
    if (n >= 0) {
        n = modbus_receive_confirmation(ctx, reply);
        e = errno;
        if (mbap && n > kMbapLength) {
            // The frame as on a serial line: unit identifier first, no header.
            std::memmove(reply, reply + kMbapLength, size_t(n - kMbapLength));
            n -= kMbapLength;
        }
        const auto end = SteadyClock::now();
        int got = n;
        if (n < 0 && e == EMBBADCRC)
            got = replyLength(reply); // read whole, kept to be seen
        if (got > 0) {
            t.reply = QByteArray(reinterpret_cast<const char *>(reply), std::min(got, MODBUS_RTU_MAX_ADU_LENGTH));
            t.receivedAtMs = QDateTime::currentMSecsSinceEpoch();
        }
        if (n > 0)
            t.roundTripUs = std::chrono::duration_cast<std::chrono::microseconds>(end - start).count();
    }
    m_trace = std::move(t);
    errno = e;
    return n;
}

int32_t ModbusRTU::readRegisters(bool input, int32_t port, int32_t station, int32_t start, int32_t count,
                                 int32_t *buf)
{
    modbus_t *ctx = ready(port, station);
    if (!ctx)
        return kModbusFail;
    if (!buf || count < 1 || count > kMaxRegisters || start < 1 || start > 65536 - count)
        return fail(LinkFault::BadArguments);
    const int fn = input ? kReadInputRegisters : kReadHoldingRegisters;
    const uint16_t address = uint16_t(start - 1);
    const uint8_t req[6] = {uint8_t(station), uint8_t(fn),    uint8_t(address >> 8),
                            uint8_t(address & 0xFF), 0, uint8_t(count)};
    uint8_t rsp[MODBUS_MAX_ADU_LENGTH] = {};
    const int n = exchange(ctx, req, int(sizeof req), rsp);
    if (n < 0)
        return failExchange(linkErrorOf(errno, false));
    if (const LinkError e = replyError(req, rsp, n, 2 * count, crcBytes()); e.kind != LinkFault::None)
        return failExchange(e);
    for (int i = 0; i < count; ++i)
        buf[i] = int16_t(uint16_t(rsp[3 + 2 * i] << 8 | rsp[4 + 2 * i]));
    m_error = {};
    return kModbusOk;
}

int32_t ModbusRTU::Get_3X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf)
{
    return readRegisters(true, port, station, start, count, buf);
}

int32_t ModbusRTU::Get_4X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf)
{
    return readRegisters(false, port, station, start, count, buf);
}

int32_t ModbusRTU::Get_1X_B16(int32_t port, int32_t station, int32_t start, int32_t *buf)
{
    modbus_t *ctx = ready(port, station);
    if (!ctx)
        return kModbusFail;
    if (!buf || start < 1 || start > 65536 - 16)
        return fail(LinkFault::BadArguments);
    const uint16_t address = uint16_t(start - 1);
    const uint8_t req[6] = {uint8_t(station), uint8_t(kReadDiscreteInputs), uint8_t(address >> 8),
                            uint8_t(address & 0xFF), 0, 16};
    uint8_t rsp[MODBUS_MAX_ADU_LENGTH] = {};
    const int n = exchange(ctx, req, int(sizeof req), rsp);
    if (n < 0)
        return failExchange(linkErrorOf(errno, false));
    if (const LinkError e = replyError(req, rsp, n, 2, crcBytes()); e.kind != LinkFault::None)
        return failExchange(e);
    const int32_t word = int32_t(rsp[3]) | int32_t(rsp[4]) << 8;
    buf[0] = word;
    m_error = {};
    return kModbusOk;
}

int32_t ModbusRTU::Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value)
{
    modbus_t *ctx = ready(port, station);
    if (!ctx)
        return kModbusFail;
    if (reg < 1 || reg > 65536 || value < -32768 || value > 32767)
        return fail(LinkFault::BadArguments);
    // The echo is held against the request: the instrument answers a write
    // with the request itself, register and value.
    const uint16_t address = uint16_t(reg - 1);
    const uint16_t word = uint16_t(int16_t(value));
    const uint8_t req[6] = {uint8_t(station),     uint8_t(kWriteSingleRegister), uint8_t(address >> 8),
                            uint8_t(address & 0xFF), uint8_t(word >> 8),           uint8_t(word & 0xFF)};
    uint8_t rsp[MODBUS_MAX_ADU_LENGTH] = {};
    const int n = exchange(ctx, req, int(sizeof req), rsp);
    if (n < 0)
        return failExchange(linkErrorOf(errno, false));
    if (n >= 3 + crcBytes() && rsp[0] == req[0] && rsp[1] == (kWriteSingleRegister | 0x80))
        return failExchange({LinkFault::Exception, rsp[2], 0});
    if (n < 6 + crcBytes() || !std::equal(req, req + 6, rsp))
        return failExchange({LinkFault::EchoMismatch, 0, 0});
    m_error = {};
    return kModbusOk;
}
