// The Y-range editor's rule: which maximum and minimum are taken.
#pragma once

#include <QString>
#include <cstdint>

enum class YCheck {
    Ok,
    MaxOut,       // maximum outside -12000..36000
    MinOut,       // minimum outside -12000..35000
    MinNotBelow, // minimum not below the maximum
    NoFit,        // maximum, minimum or span beyond -32768..32767 after rounding
    ZeroSpan,     // the span rounds to 0
};

struct YRange {
    int16_t Min = 0, Max = 0, Span = 0;
};

// Reads the leading numbers of the two boxes and checks them; on Ok, *out
// holds the rounded range (halves to even). The maximum is checked before
// the minimum is read.
YCheck checkYRange(const QString &maxText, const QString &minText, YRange *out);

// Short message for the operator, translated; empty for Ok.
QString yCheckText(YCheck c);
