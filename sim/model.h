// State of the simulated QR5300M: four measuring channels, 16 input
// registers, 16 discrete inputs and 48 holding registers.
//
// All register and input numbers in this interface are one-based, as the
// instrument documents them; the Modbus layer subtracts 1 on the wire.
#pragma once

#include <array>
#include <cstdint>

namespace sim {

inline constexpr int kChannels = 4;
inline constexpr int kInputRegisters = 16;
inline constexpr int kDiscreteInputs = 16;
inline constexpr int kHoldingRegisters = 48;

// Value shown by a channel whose sensor is open (over range) or shorted
// (under range).
inline constexpr int kOpenValue = 32767;
inline constexpr int kShortValue = -32768;

struct Range {
    int min;
    int max;
};

// Accepted write range of holding register n at index n - 1 (inclusive).
extern const std::array<Range, kHoldingRegisters> kHoldingRanges;

class Model {
public:
    Model();

    // Advances the slow variation of the channel values to `seconds` since
    // start. Frozen or held channels keep their value.
    void advance(double seconds);

    // Input register n (1..16) as the instrument reports it.
    int inputRegister(int n) const;
    // The 16 discrete inputs, input 1 at bit 0.
    std::uint16_t discreteWord() const;
    bool discreteInput(int n) const { return (discreteWord() >> (n - 1)) & 1u; }
    bool alarm(int channel) const;

    int holding(int n) const { return m_hr[n - 1]; }
    // Stores without a range check (scripting).
    void setHolding(int n, int value) { m_hr[n - 1] = static_cast<std::int16_t>(value); }
    static bool inRange(int n, int value);

    // Scripting: fixes input register n at value; for channels 1..4 the
    // channel stops varying until auto().
    void setInputRegister(int n, int value);
    // Scripting: forces discrete input n until auto().
    void setDiscreteInput(int n, bool on);
    void forceStatus(std::uint16_t word) { m_diMask = 0xFFFF; m_diForced = word; }
    // Back to computed flags and varying values (open/short and freeze stay).
    void automatic();
    void setFrozen(bool on) { m_frozen = on; }
    void setOpen(int channel, bool on) { m_open[channel - 1] = on; }
    void setShort(int channel, bool on) { m_short[channel - 1] = on; }
    // Moves the centre of every channel's variation by `shift` (another
    // instrument on the same line reads a little differently).
    void setCentreShift(int shift);

private:
    int channelValue(int channel) const;

    std::array<std::int16_t, kHoldingRegisters> m_hr{};
    std::array<std::int16_t, kInputRegisters> m_ir{};
    std::array<bool, kInputRegisters> m_irHeld{};
    std::array<bool, kChannels> m_open{};
    std::array<bool, kChannels> m_short{};
    std::uint16_t m_diMask = 0;
    std::uint16_t m_diForced = 0;
    bool m_frozen = false;
    double m_phaseTime = 0;  // seconds of variation actually run
    double m_lastAdvance = 0;
    int m_centreShift = 0;
};

}  // namespace sim
