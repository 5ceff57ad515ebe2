// The serial Modbus RTU master: six operations over libmodbus.
//
// Every argument and result is a signed 32-bit integer; buffers are arrays of
// 32-bit integers. Register or input number n is sent as protocol address
// n - 1. A ModbusRTU object is used from one thread at a time (the link
// thread, see link.h); its calls block until their exchange ends.
#pragma once

#include <QString>
#include <cstdint>
#include <map>

struct _modbus;

// Result codes.
constexpr int32_t kModbusOk = 0;
constexpr int32_t kModbusFail = -8888;       // an exchange failed (time-out, CRC, exception, port not open)
constexpr int32_t kOpenNoDevice = -1;        // the device named by the port number does not exist
constexpr int32_t kOpenDenied = -2;          // the user may not open it
constexpr int32_t kOpenFailed = -3;          // any other reason (bad settings, not a serial device ...)

// Device named by port number n: $QR5300M_PORT_DIR/COM<n> when that variable
// is set, else /dev/ttyUSB<n-1> when it exists, else /dev/ttyS<n-1>.
QString Port_Device(int32_t port);

// Baud rate of a baud index (0 = 4800, 1 = 9600, 2 = 19200); 0 for others.
int Baud_Of(int32_t baudIndex);
// Response time-out of one exchange at a baud rate, in milliseconds: the wire
// time of the longest request and reply we exchange, twice, plus the
// instrument's turnaround.
int Response_Timeout_Ms(int baud);

class ModbusRTU {
public:
    ModbusRTU() = default;
    ~ModbusRTU();
    ModbusRTU(const ModbusRTU &) = delete;
    ModbusRTU &operator=(const ModbusRTU &) = delete;

    int32_t OpenPort_Modbus(int32_t port, int32_t baud, int32_t parity);
    int32_t ClosePort_Modbus(int32_t port);
    // Input registers start..start+count-1 into buf[0..count-1], each a signed
    // 16-bit value widened to 32 bits.
    int32_t Get_3X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);
    // 16 discrete inputs as one word into buf[0], input `start` at bit 0.
    int32_t Get_1X_B16(int32_t port, int32_t station, int32_t start, int32_t *buf);
    // Holding registers, as Get_3X_DX.
    int32_t Get_4X_DX(int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);
    // Writes one holding register; kModbusFail when the exchange fails.
    int32_t Set_4X_D1(int32_t port, int32_t station, int32_t reg, int32_t value);

    // Plain-words description of the last failure (empty after a success).
    QString Last_Error() const { return m_error; }
    bool Is_Open(int32_t port) const { return m_ports.count(port) != 0; }

private:
    _modbus *ready(int32_t port, int32_t station);
    int32_t fail(const QString &why);
    int32_t readRegisters(bool input, int32_t port, int32_t station, int32_t start, int32_t count, int32_t *buf);

    std::map<int32_t, _modbus *> m_ports;
    QString m_error;
};
