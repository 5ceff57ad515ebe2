#include "link/modbusrtu.h"

#include <QFileInfo>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <modbus.h>

namespace {

constexpr int kMaxRegisters = 125;

QString modbusReason()
{
    const int e = errno;
    switch (e) {
    case ETIMEDOUT:
        return QStringLiteral("仪表无应答（超时）");
    case EMBBADCRC:
        return QStringLiteral("应答校验错误（CRC）");
    case EMBXILVAL:
        return QStringLiteral("仪表拒绝：非法数据值（illegal data value）");
    case EMBXILADD:
        return QStringLiteral("仪表拒绝：非法数据地址（illegal data address）");
    case EMBXILFUN:
        return QStringLiteral("仪表拒绝：非法功能码（illegal function）");
    case EMBXSFAIL:
        return QStringLiteral("仪表故障（slave device failure）");
    case EMBXSBUSY:
        return QStringLiteral("仪表忙（slave device busy）");
    default:
        return QString::fromLocal8Bit(modbus_strerror(e));
    }
}

} // namespace

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
    for (auto &[port, ctx] : m_ports) {
        modbus_close(ctx);
        modbus_free(ctx);
    }
}

int32_t ModbusRTU::fail(const QString &why)
{
    m_error = why;
    return kModbusFail;
}

int32_t ModbusRTU::OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity)
{
    ClosePort_Modbus(port); // a second open reopens with the new settings
    const QString dev = Port_Device(port);
    if (port < 1) {
        m_error = QStringLiteral("端口号 %1 无效").arg(port);
        return kOpenNoDevice;
    }
    const int rate = Baud_Of(baud);
    const char par = parity == 1 ? 'O' : (parity == 2 ? 'E' : 'N');
    if (rate == 0 || parity < 0 || parity > 2) {
        m_error = QStringLiteral("通讯参数无效");
        return kOpenFailed;
    }
    if (!QFileInfo::exists(dev)) {
        m_error = QStringLiteral("串口 %1 不存在").arg(dev);
        return kOpenNoDevice;
    }
    const QByteArray path = dev.toLocal8Bit();
    modbus_t *ctx = modbus_new_rtu(path.constData(), rate, par, 8, 1);
    if (!ctx) {
        m_error = QStringLiteral("无法打开串口 %1").arg(dev);
        return kOpenFailed;
    }
    if (modbus_connect(ctx) != 0) {
        const int e = errno;
        modbus_free(ctx);
        if (e == EACCES || e == EPERM) {
            m_error = QStringLiteral("没有权限打开串口 %1（需加入 dialout 组）").arg(dev);
            return kOpenDenied;
        }
        if (e == ENOENT) {
            m_error = QStringLiteral("串口 %1 不存在").arg(dev);
            return kOpenNoDevice;
        }
        m_error = QStringLiteral("无法打开串口 %1：%2").arg(dev, QString::fromLocal8Bit(std::strerror(e)));
        return kOpenFailed;
    }
    const int timeout = Response_Timeout_Ms(rate);
    modbus_set_response_timeout(ctx, uint32_t(timeout / 1000), uint32_t(timeout % 1000) * 1000);
    // Gap allowed between two bytes of one reply: a few characters, plus the
    // latency of USB adapters.
    const uint32_t byteUs = uint32_t(5 * 11 * 1000000 / rate + 20000);
    modbus_set_byte_timeout(ctx, 0, byteUs);
    m_ports[port] = ctx;
    m_error.clear();
    return kModbusOk;
}

int32_t ModbusRTU::ClosePort_Modbus(int32_t port)
{
    auto it = m_ports.find(port);
    if (it == m_ports.end())
        return fail(QStringLiteral("端口未打开"));
    modbus_close(it->second);
    modbus_free(it->second);
    m_ports.erase(it);
    m_error.clear();
    return kModbusOk;
}

modbus_t *ModbusRTU::ready(int32_t port, int32_t station)
{
    auto it = m_ports.find(port);
    if (it == m_ports.end()) {
        m_error = QStringLiteral("端口未打开");
        return nullptr;
    }
    if (station < 1 || station > 247) {
        m_error = QStringLiteral("站号 %1 无效").arg(station);
        return nullptr;
    }
    modbus_t *ctx = it->second;
    modbus_set_slave(ctx, station);
    // Drop anything left on the line (a late reply to an earlier request) so
    // it cannot be taken for the answer to this one.
    modbus_flush(ctx);
    return ctx;
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
        return fail(modbusReason());
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
    if (modbus_read_input_bits(ctx, start - 1, 16, bits) != 16)
        return fail(modbusReason());
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
    if (modbus_write_register(ctx, reg - 1, uint16_t(int16_t(value))) != 1)
        return fail(modbusReason());
    m_error.clear();
    return kModbusOk;
}
