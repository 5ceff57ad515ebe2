// Date serials: days since 1899-12-30 as a double. A date is a whole number
// of days, a time of day a fraction of a day with whole seconds.
#pragma once

#include <QDateTime>
#include <QString>

double dateSerial(const QDate &d);
double timeSerial(const QTime &t);
QDate serialDate(double serial);
QTime serialTime(double serial);
// Short-date text of a whole-day serial ("2026-12-08") and time text of a
// fraction of a day ("18:42:00"), as the chart labels show them.
QString dateText(double serial);
QString timeText(double serial);
