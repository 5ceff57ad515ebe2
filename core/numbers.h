// Numbers read from texts, rounding into registers, and numbers as the
// read-outs show them.
#pragma once

#include <QString>
#include <cstdint>

// Leading number of a text: blanks skipped, optional sign, digits with at most
// one decimal point, optional exponent (E or D), &H / &O integers; blanks,
// tabs and line feeds inside the number are skipped; reading stops at the
// first other character. A text without a number reads 0.
double leadNum(const QString &text);

// Round half to even into a 32-bit integer. Returns false (and leaves *out
// alone) when the value is not finite or does not fit.
bool roundI32(double v, int32_t *out);
// Round half to even into a 16-bit integer, same contract.
bool roundI16(double v, int16_t *out);
// Round half to even as a double (no range check).
double roundEven(double v);
// A 64-bit id sum held to the 32-bit range (ids read from a file may be
// anything, so arithmetic on them is done in 64 bits first).
inline int32_t clampI32(int64_t v)
{
    return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// Text of a value as the read-outs show it: plain decimal (no exponent) with
// at most 7 significant digits and at most 6 decimals, so a value below
// 0.0000005 reads 0; no group separators; the locale's decimal separator
// ("253", "-12", "2.5", "123456800").
QString numText(float v);
