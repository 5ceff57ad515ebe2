#include "core/dates.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);

} // namespace

double dateSerial(const QDate &d) { return double(kEpoch.daysTo(d)); }

double timeSerial(const QTime &t) { return t.msecsSinceStartOfDay() / 1000 / 86400.0; }

QDate serialDate(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return kEpoch;
    return kEpoch.addDays(qint64(std::floor(serial)));
}

QTime serialTime(double serial)
{
    if (!std::isfinite(serial) || std::fabs(serial) > 3.0e6)
        return QTime(0, 0);
    const double frac = serial - std::floor(serial);
    int secs = int(std::lround(frac * 86400.0));
    if (secs >= 86400)
        secs = 0;
    return QTime(0, 0).addSecs(secs);
}

QString dateText(double serial) { return serialDate(serial).toString(QStringLiteral("yyyy-MM-dd")); }

QString timeText(double serial) { return serialTime(serial).toString(QStringLiteral("HH:mm:ss")); }
