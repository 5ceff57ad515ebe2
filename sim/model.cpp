#include "sim/model.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace sim {

namespace {

constexpr Range kValue{-10000, 30000};
constexpr Range kMode{0, 5};
constexpr Range kDelay{0, 60};
constexpr Range kInputType{0, 30};
constexpr Range kDecimals{0, 4};
constexpr Range kCorrection{-500, 500};

// Factory settings of the 48 holding registers.
constexpr std::array<std::int16_t, kHoldingRegisters> kFactory{
    250, 400, 300, 450, 180, 300, 420, 600,  // 1..8   SV / alarm value per channel
    1, 0, 1, 2, 1, 3, 1, 5,                  // 9..16  alarm mode / alarm delay
    1, 1, 0, 0,                              // 17..20 address, baud, parity, comm delay
    1, 0, 1300, -200,                        // 21..24 retransmission channel, output, limits
    0, 0, 1300, -200, 0,                     // 25..29 CH1 type, decimals, limits, correction
    0, 0, 1300, -200, 0,                     // 30..34 CH2
    0, 0, 1300, -200, 0,                     // 35..39 CH3
    0, 0, 1300, -200, 0,                     // 40..44 CH4
    0, 10, 0, 0,                             // 45..48 backlight, filter, unit, relay
};

// Slow variation of the channel values: centre, amplitude, period.
struct Wave {
    double centre;
    double amplitude;
    double period;
};
constexpr std::array<Wave, kChannels> kWaves{{
    {250, 4, 40},
    {300, 3, 55},
    {180, 5, 70},
    {420, 6, 90},
}};

}  // namespace

const std::array<Range, kHoldingRegisters> kHoldingRanges{{
    kValue, kValue, kValue, kValue, kValue, kValue, kValue, kValue,  // 1..8
    kMode, kDelay, kMode, kDelay, kMode, kDelay, kMode, kDelay,      // 9..16
    {1, 247}, {0, 2}, {0, 2}, {0, 60},                               // 17..20
    {1, 4}, {0, 2}, kValue, kValue,                                  // 21..24
    kInputType, kDecimals, kValue, kValue, kCorrection,              // 25..29
    kInputType, kDecimals, kValue, kValue, kCorrection,              // 30..34
    kInputType, kDecimals, kValue, kValue, kCorrection,              // 35..39
    kInputType, kDecimals, kValue, kValue, kCorrection,              // 40..44
    {0, 60}, {0, 100}, {0, 2}, {0, 1},                               // 45..48
}};

Model::Model() : m_hr(kFactory)
{
    advance(0);
}

void Model::advance(double seconds)
{
    if (!m_frozen)
        m_phaseTime += seconds - m_lastAdvance;
    m_lastAdvance = seconds;
    for (int c = 0; c < kChannels; ++c) {
        if (m_irHeld[c] || m_frozen)
            continue;
        const Wave &w = kWaves[c];
        const double v = w.centre + m_centreShift + w.amplitude * std::sin(2 * std::numbers::pi * m_phaseTime / w.period + c);
        m_ir[c] = static_cast<std::int16_t>(std::lround(v));
    }
}

void Model::setCentreShift(int shift)
{
    m_centreShift = shift;
    advance(m_lastAdvance);
}

int Model::channelValue(int channel) const
{
    if (m_open[channel - 1])
        return kOpenValue;
    if (m_short[channel - 1])
        return kShortValue;
    return m_ir[channel - 1];
}

int Model::inputRegister(int n) const
{
    if (n >= 1 && n <= kChannels)
        return channelValue(n);
    if (n == 5 && !m_irHeld[4]) {
        // Retransmission value: the channel chosen by holding register 21.
        const int c = holding(21);
        return c >= 1 && c <= kChannels ? channelValue(c) : 0;
    }
    return m_ir[n - 1];
}

bool Model::alarm(int channel) const
{
    const int pv = channelValue(channel);
    const int sv = holding(1 + 2 * (channel - 1));
    const int al = holding(2 + 2 * (channel - 1));
    // The alarm delay registers are kept but not modelled: the flag follows
    // the value at once.
    switch (holding(9 + 2 * (channel - 1))) {
    case 1: return pv > al;
    case 2: return pv < al;
    case 3: return pv > sv + al;
    case 4: return pv < sv - al;
    case 5: return std::abs(pv - sv) > al;
    default: return false;
    }
}

std::uint16_t Model::discreteWord() const
{
    unsigned word = 0;
    for (int c = 1; c <= kChannels; ++c) {
        const int k = 3 * (c - 1);
        if (alarm(c))
            word |= 1u << k;
        if (m_open[c - 1])
            word |= 1u << (k + 1);
        if (m_short[c - 1])
            word |= 1u << (k + 2);
    }
    word = (word & ~unsigned{m_diMask}) | (m_diForced & m_diMask);
    return static_cast<std::uint16_t>(word);
}

bool Model::inRange(int n, int value)
{
    const Range &r = kHoldingRanges[n - 1];
    return value >= r.min && value <= r.max;
}

void Model::setInputRegister(int n, int value)
{
    m_ir[n - 1] = static_cast<std::int16_t>(value);
    m_irHeld[n - 1] = true;
}

void Model::setDiscreteInput(int n, bool on)
{
    const auto bit = static_cast<std::uint16_t>(1u << (n - 1));
    m_diMask |= bit;
    if (on)
        m_diForced |= bit;
    else
        m_diForced &= static_cast<std::uint16_t>(~bit);
}

void Model::automatic()
{
    m_diMask = 0;
    m_diForced = 0;
    m_irHeld.fill(false);
    advance(m_lastAdvance);
}

}  // namespace sim
