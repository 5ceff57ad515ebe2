#include "link/modbusrtu.h"

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
constexpr int kWriteSingleRegister = 0x06;
// A line that keeps talking is given up on after this long.
constexpr int kDrainLimitMs = 1000;
// The device's path is tried again at most this often while it is away.
constexpr auto kReopenEvery = std::chrono::seconds(1);

QString waitingText()
{
    return QStringLiteral("串口已断开，等待重新连接…");
}

QString systemText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

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

// Result code and plain words of a failed open of `dev`.
int32_t openFailure(int e, const QString &dev, QString *why)
{
    switch (e) {
    case EACCES:
    case EPERM:
        *why = QStringLiteral("没有权限打开串口 %1（需加入 dialout 组）").arg(dev);
        return kOpenDenied;
    case ENOENT:
    case ENXIO:
    case ENODEV:
        *why = QStringLiteral("串口 %1 不存在").arg(dev);
        return kOpenNoDevice;
    case EBUSY:
    case EWOULDBLOCK:
        *why = QStringLiteral("端口已被其他程序占用");
        return kOpenBusy;
    case ENOTTY:
        *why = QStringLiteral("%1 不是串口设备（%2）").arg(dev, systemText(e));
        return kOpenFailed;
    case EINVAL:
        *why = QStringLiteral("串口 %1 不接受这些通讯参数（%2）").arg(dev, systemText(e));
        return kOpenFailed;
    case EIO:
        *why = QStringLiteral("串口 %1 读写出错，设备可能已拔出（%2）").arg(dev, systemText(e));
        return kOpenFailed;
    default:
        *why = QStringLiteral("无法打开串口 %1（%2）").arg(dev, systemText(e));
        return kOpenFailed;
    }
}

} // namespace

QString Modbus_Reason(int e)
{
    switch (e) {
    case ETIMEDOUT:
        return QStringLiteral("仪表无应答（超时）");
    case EMBBADCRC:
        return QStringLiteral("应答校验错误（CRC）");
    case EMBXILFUN:
        return QStringLiteral("仪表拒绝：非法功能码（illegal function）");
    case EMBXILADD:
        return QStringLiteral("仪表拒绝：非法数据地址（illegal data address）");
    case EMBXILVAL:
        return QStringLiteral("仪表拒绝：非法数据值（illegal data value）");
    case EMBXSFAIL:
        return QStringLiteral("仪表故障（slave device failure）");
    case EMBXACK:
        return QStringLiteral("仪表已收到，尚在处理（acknowledge）");
    case EMBXSBUSY:
        return QStringLiteral("仪表忙（slave device busy）");
    case EMBXNACK:
        return QStringLiteral("仪表无法执行（negative acknowledge）");
    case EMBXMEMPAR:
        return QStringLiteral("仪表存储器校验错误（memory parity error）");
    case EMBXGPATH:
    case EMBXGTAR:
        return QStringLiteral("网关转发失败（gateway）");
    case EMBBADDATA:
        return QStringLiteral("应答内容与请求不符");
    case EMBBADEXC:
    case EMBUNKEXC:
        return QStringLiteral("仪表应答了无法识别的异常码");
    case EMBMDATA:
        return QStringLiteral("请求的数据过多");
    case EMBBADSLAVE:
        return QStringLiteral("应答来自其他站号");
    default:
        if (deviceLost(e))
            return QStringLiteral("串口读写出错（%1）").arg(systemText(e));
        if (exceptionReply(e))
            return QStringLiteral("仪表拒绝（异常码 %1）").arg(e - MODBUS_ENOBASE);
        return QStringLiteral("通讯出错（%1）").arg(QString::fromLocal8Bit(modbus_strerror(e)));
    }
}

QString Port_Device(int32_t port)
{
    const QByteArray dir = qgetenv("QR5300M_PORT_DIR");
    if (!dir.isEmpty())
        return QString::fromLocal8Bit(dir) + QStringLiteral("/COM") + QString::number(port);
    const QString usb = QStringLiteral("/dev/ttyUSB%1").arg(qint64(port) - 1);
    if (QFileInfo::exists(usb))
        return usb;
    return QStringLiteral("/dev/ttyS%1").arg(qint64(port) - 1);
}

int Baud_Of(int32_t baudIndex)
{
    switch (baudIndex) {
    case 0:
        return 4800;
    case 1:
        return 9600;
    case 2:
        return 19200;
    default:
        return 0;
    }
}

int Response_Timeout_Ms(int baud)
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

int32_t ModbusRTU::fail(const QString &why)
{
    m_error = why;
    return kModbusFail;
}

int32_t ModbusRTU::OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity)
{
    // Whatever was held before is let go, whichever port it was.
    closeDevice();
    m_waiting = false;
    if (port < 1) {
        m_error = QStringLiteral("端口号 %1 无效").arg(port);
        return kOpenNoDevice;
    }
    const int rate = Baud_Of(baud);
    if (rate == 0 || parity < 0 || parity > 2) {
        m_error = QStringLiteral("通讯参数无效");
        return kOpenFailed;
    }
    m_port = port;
    m_rate = rate;
    m_parity = parity == 1 ? 'O' : (parity == 2 ? 'E' : 'N');
    return openDevice();
}

// Opens the device of m_port with the stored settings. The lock is taken
// before libmodbus touches the device, so a refused second opener never
// changes the line settings under the program that holds it.
int32_t ModbusRTU::openDevice()
{
    const QString dev = Port_Device(m_port);
    if (!QFileInfo::exists(dev)) {
        m_error = QStringLiteral("串口 %1 不存在").arg(dev);
        return kOpenNoDevice;
    }
    const QByteArray path = dev.toLocal8Bit();
    const int lock = ::open(path.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lock < 0)
        return openFailure(errno, dev, &m_error);
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        ::close(lock);
        return openFailure(e == EWOULDBLOCK ? EBUSY : e, dev, &m_error);
    }
    modbus_t *ctx = modbus_new_rtu(path.constData(), m_rate, m_parity, 8, 1);
    if (!ctx) {
        ::close(lock);
        return openFailure(errno, dev, &m_error);
    }
    if (modbus_connect(ctx) != 0) {
        const int e = errno;
        modbus_free(ctx);
        ::close(lock);
        return openFailure(e, dev, &m_error);
    }
    const int fd = modbus_get_socket(ctx);
    // Other openers are refused by the terminal itself (root excepted); a
    // device that will not take exclusive mode is still guarded by the lock.
    ioctl(fd, TIOCEXCL);
    // Whatever an earlier user of the line left unread is not ours.
    tcflush(fd, TCIOFLUSH);
    const int timeout = Response_Timeout_Ms(m_rate);
    modbus_set_response_timeout(ctx, uint32_t(timeout / 1000), uint32_t(timeout % 1000) * 1000);
    // Gap allowed between two bytes of one reply: a few characters, plus the
    // latency of USB adapters.
    const uint32_t byteUs = uint32_t(5 * 11 * 1000000 / m_rate + 20000);
    modbus_set_byte_timeout(ctx, 0, byteUs);
    m_ctx = ctx;
    m_lockFd = lock;
    m_waiting = false;
    m_error.clear();
    return kModbusOk;
}

void ModbusRTU::closeDevice()
{
    if (m_ctx) {
        // The terminal outlives us when someone else keeps it open: leave it
        // out of exclusive mode, or nobody (but root) could open it again.
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
void ModbusRTU::lose()
{
    closeDevice();
    m_waiting = true;
    m_lastTry = SteadyClock::now();
    m_error = waitingText();
}

int32_t ModbusRTU::ClosePort_Modbus(int32_t)
{
    // The close button closes what the program holds, not just the port now
    // named: a device opened under another number must not stay open.
    const bool held = m_ctx != nullptr || m_waiting;
    closeDevice();
    m_waiting = false;
    if (!held)
        return fail(QStringLiteral("端口未打开"));
    m_error.clear();
    return kModbusOk;
}

modbus_t *ModbusRTU::ready(int32_t port, int32_t station)
{
    if ((!m_ctx && !m_waiting) || port != m_port) {
        m_error = QStringLiteral("端口未打开");
        return nullptr;
    }
    if (station < 1 || station > 247) {
        m_error = QStringLiteral("站号 %1 无效").arg(station);
        return nullptr;
    }
    if (m_waiting) {
        const auto now = SteadyClock::now();
        if (now - m_lastTry < kReopenEvery) {
            m_error = waitingText();
            return nullptr;
        }
        m_lastTry = now;
        if (openDevice() != kModbusOk) {
            m_error = waitingText();
            return nullptr;
        }
    }
    modbus_set_slave(m_ctx, station);
    // Anything already waiting on the line (a late reply to an earlier
    // request) must not be taken for the answer to this one.
    drainLine(0);
    if (!m_ctx) {
        m_error = waitingText();
        return nullptr;
    }
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
            lose();
            return;
        }
        uint8_t buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            m_drained += n;
            quietSince = SteadyClock::now();
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            lose(); // end of file on a terminal is a hang-up
            return;
        }
        if (limitLeft <= 0)
            return; // a line that never falls quiet
    }
}

// An exchange failed with error e: the line is brought back in step (or the
// device given up for lost), and the failure told in plain words, `why` when
// given.
int32_t ModbusRTU::failExchange(int e, const QString &why)
{
    if (deviceLost(e)) {
        lose();
        return kModbusFail;
    }
    if (!exceptionReply(e))
        drainLine(Response_Timeout_Ms(m_rate));
    if (m_waiting)
        return kModbusFail; // lost while draining; lose() told why
    return fail(why.isEmpty() ? Modbus_Reason(e) : why);
}

int32_t ModbusRTU::readRegisters(bool input, int32_t port, int32_t station, int32_t start, int32_t count,
                                 int32_t *buf)
{
    modbus_t *ctx = ready(port, station);
    if (!ctx)
        return kModbusFail;
    if (!buf || count < 1 || count > kMaxRegisters || start < 1 || start > 65536 - count)
        return fail(QStringLiteral("读取参数无效"));
    uint16_t regs[kMaxRegisters];
    const int n = input ? modbus_read_input_registers(ctx, start - 1, count, regs)
                        : modbus_read_registers(ctx, start - 1, count, regs);
    if (n != count)
        return failExchange(n < 0 ? errno : EMBBADDATA);
    for (int i = 0; i < count; ++i)
        buf[i] = int16_t(regs[i]);
    m_error.clear();
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
        return fail(QStringLiteral("读取参数无效"));
    uint8_t bits[16];
    const int n = modbus_read_input_bits(ctx, start - 1, 16, bits);
    if (n != 16)
        return failExchange(n < 0 ? errno : EMBBADDATA);
    int32_t word = 0;
    for (int i = 0; i < 16; ++i)
        if (bits[i])
            word |= int32_t(1) << i;
    buf[0] = word;
    m_error.clear();
    return kModbusOk;
}

int32_t ModbusRTU::Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value)
{
    modbus_t *ctx = ready(port, station);
    if (!ctx)
        return kModbusFail;
    if (reg < 1 || reg > 65536)
        return fail(QStringLiteral("寄存器号无效"));
    if (value < -32768 || value > 32767)
        return fail(QStringLiteral("数值 %1 超出16位寄存器范围").arg(value));
    // Sent raw so the echo can be held against the request: the instrument
    // answers a write with the request itself, register and value.
    const uint16_t address = uint16_t(reg - 1);
    const uint16_t word = uint16_t(int16_t(value));
    const uint8_t req[6] = {uint8_t(station),     uint8_t(kWriteSingleRegister), uint8_t(address >> 8),
                            uint8_t(address & 0xFF), uint8_t(word >> 8),           uint8_t(word & 0xFF)};
    if (modbus_send_raw_request(ctx, req, int(sizeof req)) < 0)
        return failExchange(errno);
    uint8_t rsp[MODBUS_RTU_MAX_ADU_LENGTH];
    const int n = modbus_receive_confirmation(ctx, rsp);
    if (n < 0)
        return failExchange(errno);
    if (n >= 5 && rsp[0] == req[0] && rsp[1] == (kWriteSingleRegister | 0x80)) {
        const int code = rsp[2];
        return failExchange(code >= 1 && code < MODBUS_EXCEPTION_MAX ? MODBUS_ENOBASE + code : EMBBADEXC);
    }
    if (n < 8 || !std::equal(req, req + 6, rsp))
        return failExchange(EMBBADDATA, QStringLiteral("仪表应答与写入不符"));
    m_error.clear();
    return kModbusOk;
}
