#include "chart/yrange.h"

#include "core/numbers.h"

#include <QCoreApplication>

YCheck checkYRange(const QString &maxText, const QString &minText, YRange *out)
{
    const double mx = leadNum(maxText);
    if (mx > 36000 || mx < -12000)
        return YCheck::MaxOut;
    const double mn = leadNum(minText);
    if (mn > 35000 || mn < -12000)
        return YCheck::MinOut;
    if (mn >= mx)
        return YCheck::MinNotBelow;
    YRange r;
    // All three or none: a range that cannot be stored whole is refused.
    if (!roundI16(mn, &r.Min) || !roundI16(mx, &r.Max) || !roundI16(mx - mn, &r.Span))
        return YCheck::NoFit;
    if (r.Span == 0)
        return YCheck::ZeroSpan;
    if (out)
        *out = r;
    return YCheck::Ok;
}

QString yCheckText(YCheck c)
{
    switch (c) {
    case YCheck::Ok:
        return QString();
    case YCheck::MaxOut:
        return QCoreApplication::translate("YRange", "最大值须在 -12000 到 36000 之间");
    case YCheck::MinOut:
        return QCoreApplication::translate("YRange", "最小值须在 -12000 到 35000 之间");
    case YCheck::MinNotBelow:
        return QCoreApplication::translate("YRange", "最小值须小于最大值");
    case YCheck::NoFit:
        return QCoreApplication::translate("YRange", "最大值、最小值及其差须在 -32768 到 32767 之间");
    case YCheck::ZeroSpan:
        return QCoreApplication::translate("YRange", "最大值与最小值之差取整后为 0");
    }
    return QString();
}
