// The Y-range editor's rule: which maximum and minimum are taken.
#pragma once

#include <QString>
#include <cstdint>

enum class Y_Check {
    Ok,
    Max_Out,       // maximum outside -12000..36000
    Min_Out,       // minimum outside -12000..35000
    Min_Not_Below, // minimum not below the maximum
    No_Fit,        // maximum, minimum or span beyond -32768..32767 after rounding
    Zero_Span,     // the span rounds to 0
};

struct Y_Range {
    int16_t Min = 0, Max = 0, Span = 0;
};

// Reads the leading numbers of the two boxes and checks them; on Ok, *out
// holds the rounded range (halves to even). The maximum is checked before
// the minimum is read.
Y_Check Check_Y_Range(const QString &maxText, const QString &minText, Y_Range *out);

// Short message for the operator; empty for Ok.
QString Y_Check_Text(Y_Check c);
