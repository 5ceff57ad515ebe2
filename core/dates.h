// Date serials: days since 1899-12-30 as a double. A date is a whole number
// of days, a time of day a fraction of a day with whole seconds.
#pragma once

#include <QDateTime>
#include <QString>

double Date_Serial(const QDate &d);
double Time_Serial(const QTime &t);
QDate Serial_Date(double serial);
QTime Serial_Time(double serial);
// Short-date text of a whole-day serial ("2026-12-08") and time text of a
// fraction of a day ("18:42:00"), as the chart labels show them.
QString Date_Text(double serial);
QString Time_Text(double serial);
