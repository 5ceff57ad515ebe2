// The Modbus RTU slave side of the simulator: turns one checked request
// frame into the reply frame, applying the injected faults and keeping the
// request counters.
#pragma once

#include "sim/model.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

enum class Fault {
    None,
    Silent,          // drop every request
    Late,            // answer lateMs late
    Crc,             // answer with a corrupted CRC
    WriteException,  // refuse every write with exceptionCode
    Dribble,         // send each reply one byte at a time, byteGapMs apart
    EchoValue,       // take single writes but echo another value
    EchoRegister,    // take single writes but echo another register
    DropAfter,       // answer writesLeft more writes, then nothing at all (a link that breaks)
};

struct Reply {
    std::vector<std::uint8_t> frame;  // complete frame with CRC
    int extraDelayMs = 0;
    int byteGapMs = 0;  // > 0: the bytes leave one at a time, this far apart
};

std::uint16_t crc16(const std::uint8_t *data, std::size_t length);

class Slave {
public:
    Slave(Model &model, int station) : m_model(model), m_station(station) {}

    int station() const { return m_station; }

    // `frame` is a complete request (address, PDU, CRC) whose CRC and
    // station were already checked. Returns the reply, or nothing when the
    // request must go unanswered (broadcast, silent fault).
    std::optional<Reply> handle(const std::uint8_t *frame, int length);

    void setFault(Fault fault, int parameter = 0);
    long reads() const { return m_reads; }
    long writes() const { return m_writes; }
    bool hasLastWrite() const { return m_lastWriteRegister != 0; }
    int lastWriteRegister() const { return m_lastWriteRegister; }
    int lastWriteValue() const { return m_lastWriteValue; }
    void resetCounters();

private:
    using Pdu = std::vector<std::uint8_t>;
    Pdu process(const std::uint8_t *pdu, int length);
    // By function code; start is the protocol address of the first item.
    Pdu readBits(std::uint8_t function, int start, int count) const;
    Pdu readRegisters(std::uint8_t function, int start, int count) const;
    Pdu writeSingle(const std::uint8_t *pdu, int start);
    Pdu writeMultiple(const std::uint8_t *pdu, int length, int start);

    Model &m_model;
    int m_station;
    Fault m_fault = Fault::None;
    int m_lateMs = 0;
    int m_exceptionCode = 0;
    int m_byteGapMs = 0;
    int m_writesLeft = 0; // DropAfter: writes still answered
    long m_reads = 0;
    long m_writes = 0;
    int m_lastWriteRegister = 0;
    int m_lastWriteValue = 0;
};

}  // namespace sim
