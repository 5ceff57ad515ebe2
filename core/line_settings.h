// The serial line settings the instrument offers, by the index Link_Par 1
// (baud) and 2 (parity) hold: the one table of them for the link, its
// panel, the remembered settings, the headless options and the simulator
// (which has no Qt, so neither has this).
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr int kLineChoices = 3;
inline constexpr int kBaudRates[kLineChoices] = {4800, 9600, 19200};
// As libmodbus takes them.
inline constexpr char kParityLetters[kLineChoices] = {'N', 'O', 'E'};
// As the settings file and the command line write them.
inline constexpr std::string_view kParityNames[kLineChoices] = {"none", "odd", "even"};

// The index of a baud rate, -1 for one the instrument does not offer.
constexpr int baudIndexOf(int rate)
{
    for (int i = 0; i < kLineChoices; ++i)
        if (kBaudRates[i] == rate)
            return i;
    return -1;
}

// The baud rate of an index, 0 for an index out of range.
constexpr int baudRateOf(int index)
{
    return index >= 0 && index < kLineChoices ? kBaudRates[index] : 0;
}

// The index of a parity by name ("none", "odd", "even"), -1 for another.
constexpr int parityIndexOf(std::string_view name)
{
    for (int i = 0; i < kLineChoices; ++i)
        if (kParityNames[i] == name)
            return i;
    return -1;
}

// The index of a parity by libmodbus letter ('N', 'O', 'E'), -1 for another.
constexpr int parityIndexOfLetter(char letter)
{
    for (int i = 0; i < kLineChoices; ++i)
        if (kParityLetters[i] == letter)
            return i;
    return -1;
}
