#include "sim/slave.h"

namespace sim {

namespace {

enum : std::uint8_t {
    kReadDiscreteInputs = 0x02,
    kReadHoldingRegisters = 0x03,
    kReadInputRegisters = 0x04,
    kWriteSingleRegister = 0x06,
    kWriteMultipleRegisters = 0x10,
};

enum : std::uint8_t {
    kIllegalFunction = 0x01,
    kIllegalDataAddress = 0x02,
    kIllegalDataValue = 0x03,
};

int word(const std::uint8_t *p)
{
    return (p[0] << 8) | p[1];
}

void putWord(std::vector<std::uint8_t> &out, int value)
{
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

std::vector<std::uint8_t> exception(std::uint8_t function, std::uint8_t code)
{
    return {static_cast<std::uint8_t>(function | 0x80), code};
}

}  // namespace

std::uint16_t crc16(const std::uint8_t *data, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

void Slave::setFault(Fault fault, int parameter)
{
    m_fault = fault;
    m_lateMs = fault == Fault::Late ? parameter : 0;
    m_exceptionCode = fault == Fault::WriteException ? parameter : 0;
    m_byteGapMs = fault == Fault::Dribble ? parameter : 0;
    m_writesLeft = fault == Fault::DropAfter ? parameter : 0;
}

void Slave::resetCounters()
{
    m_reads = 0;
    m_writes = 0;
    m_lastWriteRegister = 0;
    m_lastWriteValue = 0;
}

std::optional<Reply> Slave::handle(const std::uint8_t *frame, int length)
{
    // address + function + CRC at least
    if (length < 4)
        return std::nullopt;
    const std::uint8_t address = frame[0];
    const std::uint8_t function = frame[1];
    if (function == kReadDiscreteInputs || function == kReadHoldingRegisters || function == kReadInputRegisters)
        ++m_reads;
    else if (function == kWriteSingleRegister || function == kWriteMultipleRegisters)
        ++m_writes;

    if (m_fault == Fault::DropAfter && (function == kWriteSingleRegister || function == kWriteMultipleRegisters)
        && m_writesLeft-- == 0)
        m_fault = Fault::Silent; // the line breaks here: this write and all after it go unanswered
    if (m_fault == Fault::Silent)
        return std::nullopt;

    std::vector<std::uint8_t> pdu = process(frame + 1, length - 3);
    if (address == 0)
        return std::nullopt;  // broadcast: carried out, never answered

    Reply reply;
    reply.frame.reserve(pdu.size() + 3);
    reply.frame.push_back(address);
    reply.frame.insert(reply.frame.end(), pdu.begin(), pdu.end());
    std::uint16_t crc = crc16(reply.frame.data(), reply.frame.size());
    if (m_fault == Fault::Crc)
        crc ^= 0xFFFF;
    reply.frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));  // CRC goes low byte first
    reply.frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    reply.extraDelayMs = m_lateMs;
    reply.byteGapMs = m_byteGapMs;
    return reply;
}

Slave::Pdu Slave::process(const std::uint8_t *pdu, int length)
{
    const std::uint8_t function = pdu[0];
    const bool isRead = function == kReadDiscreteInputs || function == kReadHoldingRegisters
                        || function == kReadInputRegisters;
    const bool isWrite = function == kWriteSingleRegister || function == kWriteMultipleRegisters;
    if (!isRead && !isWrite)
        return exception(function, kIllegalFunction);
    if (length < 5)
        return exception(function, kIllegalDataValue);

    const int start = word(pdu + 1);  // protocol address = number - 1
    if (function == kReadDiscreteInputs)
        return readBits(function, start, word(pdu + 3));
    if (isRead)
        return readRegisters(function, start, word(pdu + 3));
    if (m_fault == Fault::WriteException)
        return exception(function, static_cast<std::uint8_t>(m_exceptionCode));
    if (function == kWriteSingleRegister)
        return writeSingle(pdu, start);
    return writeMultiple(pdu, length, start);
}

Slave::Pdu Slave::readBits(std::uint8_t function, int start, int count) const
{
    if (count < 1 || count > 2000)
        return exception(function, kIllegalDataValue);
    if (start + count > kDiscreteInputs)
        return exception(function, kIllegalDataAddress);
    const std::uint16_t bits = m_model.discreteWord();
    const int bytes = (count + 7) / 8;
    Pdu out{function, static_cast<std::uint8_t>(bytes)};
    for (int b = 0; b < bytes; ++b) {
        std::uint8_t byte = 0;
        for (int i = 0; i < 8 && b * 8 + i < count; ++i) {
            if ((bits >> (start + b * 8 + i)) & 1u)
                byte |= static_cast<std::uint8_t>(1u << i);
        }
        out.push_back(byte);
    }
    return out;
}

Slave::Pdu Slave::readRegisters(std::uint8_t function, int start, int count) const
{
    const int size = function == kReadHoldingRegisters ? kHoldingRegisters : kInputRegisters;
    if (count < 1 || count > 125)
        return exception(function, kIllegalDataValue);
    if (start + count > size)
        return exception(function, kIllegalDataAddress);
    Pdu out{function, static_cast<std::uint8_t>(2 * count)};
    for (int i = 0; i < count; ++i) {
        const int n = start + i + 1;
        putWord(out, function == kReadHoldingRegisters ? m_model.holding(n) : m_model.inputRegister(n));
    }
    return out;
}

Slave::Pdu Slave::writeSingle(const std::uint8_t *pdu, int start)
{
    const std::uint8_t function = pdu[0];
    if (start >= kHoldingRegisters)
        return exception(function, kIllegalDataAddress);
    const int value = static_cast<std::int16_t>(word(pdu + 3));
    if (!Model::inRange(start + 1, value))
        return exception(function, kIllegalDataValue);
    m_model.setHolding(start + 1, value);
    m_lastWriteRegister = start + 1;
    m_lastWriteValue = value;
    Pdu out(pdu, pdu + 5);  // the reply echoes the request
    // A garbled echo: the value was stored, the answer names another
    // value or another register.
    if (m_fault == Fault::EchoValue)
        out[4] = static_cast<std::uint8_t>(out[4] ^ 0x01);
    else if (m_fault == Fault::EchoRegister)
        out[2] = static_cast<std::uint8_t>(out[2] ^ 0x01);
    return out;
}

// All values are checked before any is stored.
Slave::Pdu Slave::writeMultiple(const std::uint8_t *pdu, int length, int start)
{
    const std::uint8_t function = pdu[0];
    const int count = word(pdu + 3);
    if (count < 1 || count > 123 || length < 6 || pdu[5] != 2 * count || length < 6 + 2 * count)
        return exception(function, kIllegalDataValue);
    if (start + count > kHoldingRegisters)
        return exception(function, kIllegalDataAddress);
    for (int i = 0; i < count; ++i) {
        if (!Model::inRange(start + i + 1, static_cast<std::int16_t>(word(pdu + 6 + 2 * i))))
            return exception(function, kIllegalDataValue);
    }
    for (int i = 0; i < count; ++i) {
        const int value = static_cast<std::int16_t>(word(pdu + 6 + 2 * i));
        m_model.setHolding(start + i + 1, value);
        m_lastWriteRegister = start + i + 1;
        m_lastWriteValue = value;
    }
    Pdu out{function};
    putWord(out, start);
    putWord(out, count);
    return out;
}

}  // namespace sim
