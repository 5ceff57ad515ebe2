#include "core/dates.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);

} // namespace

double Date_Serial(const QDate &d) { return double(kEpoch.daysTo(d)); }

double Time_Serial(const QTime &t) { return t.msecsSinceStartOfDay() / 1000 / 86400.0; }

QDate Serial_Date(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return kEpoch;
    return kEpoch.addDays(qint64(std::floor(serial)));
}

QTime Serial_Time(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return QTime(0, 0);
    const double frac = serial - std::floor(serial);
    int secs = int(std::lround(frac * 86400.0));
    if (secs >= 86400)
        secs = 0;
    return QTime(0, 0).addSecs(secs);
}

QString Date_Text(double serial) { return Serial_Date(serial).toString(QStringLiteral("yyyy-MM-dd")); }

QString Time_Text(double serial) { return Serial_Time(serial).toString(QStringLiteral("HH:mm:ss")); }
