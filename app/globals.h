// Small shared helpers: numbers, date serials and read-out texts.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

// ---------------------------------------------------------------------------
// Leading number of a text: blanks skipped, optional sign, digits with at most
// one decimal point, optional exponent (E or D), &H / &O integers; blanks,
// tabs and line feeds inside the number are skipped; reading stops at the
// first other character. A text without a number reads 0.
double Lead_Num(const QString &text);

// Round half to even into a 32-bit integer. Returns false (and leaves *out
// alone) when the value is not finite or does not fit.
bool Round_I32(double v, int32_t *out);
// Round half to even into a 16-bit integer, same contract.
bool Round_I16(double v, int16_t *out);
// Round half to even as a double (no range check).
double Round_Even(double v);
// A 64-bit id sum held to the 32-bit range (ids read from a file may be
// anything, so arithmetic on them is done in 64 bits first).
inline int32_t Clamp_I32(int64_t v)
{
    return int32_t(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}

// ---------------------------------------------------------------------------
// Date serials: days since 1899-12-30 as a double. A date is a whole number
// of days, a time of day a fraction of a day with whole seconds.
double Date_Serial(const QDate &d);
double Time_Serial(const QTime &t);
QDate Serial_Date(double serial);
QTime Serial_Time(double serial);
// Short-date text of a whole-day serial ("2026-12-08") and time text of a
// fraction of a day ("18:42:00"), as the chart labels show them.
QString Date_Text(double serial);
QString Time_Text(double serial);

// Text of a value as the read-outs show it: plain decimal (no exponent) with
// at most 7 significant digits and at most 6 decimals, so a value below
// 0.0000005 reads 0; no group separators; the locale's decimal separator
// ("253", "-12", "2.5", "123456800").
QString Num_Text(float v);

class QLabel;
class QColor;
// Background colour of a read-out label; does nothing when it already has it
// (the live refresh sets colours five times a second).
void Set_Back(QLabel *label, const QColor &colour);
