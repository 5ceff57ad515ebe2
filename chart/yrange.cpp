#include "chart/yrange.h"

#include "core/numbers.h"

Y_Check Check_Y_Range(const QString &maxText, const QString &minText, Y_Range *out)
{
    const double mx = Lead_Num(maxText);
    if (mx > 36000 || mx < -12000)
        return Y_Check::Max_Out;
    const double mn = Lead_Num(minText);
    if (mn > 35000 || mn < -12000)
        return Y_Check::Min_Out;
    if (mn >= mx)
        return Y_Check::Min_Not_Below;
    Y_Range r;
    // All three or none: a range that cannot be stored whole is refused.
    if (!Round_I16(mn, &r.Min) || !Round_I16(mx, &r.Max) || !Round_I16(mx - mn, &r.Span))
        return Y_Check::No_Fit;
    if (r.Span == 0)
        return Y_Check::Zero_Span;
    if (out)
        *out = r;
    return Y_Check::Ok;
}

QString Y_Check_Text(Y_Check c)
{
    switch (c) {
    case Y_Check::Ok:
        return QString();
    case Y_Check::Max_Out:
        return QStringLiteral("最大值须在 -12000 到 36000 之间");
    case Y_Check::Min_Out:
        return QStringLiteral("最小值须在 -12000 到 35000 之间");
    case Y_Check::Min_Not_Below:
        return QStringLiteral("最小值须小于最大值");
    case Y_Check::No_Fit:
        return QStringLiteral("最大值、最小值及其差须在 -32768 到 32767 之间");
    case Y_Check::Zero_Span:
        return QStringLiteral("最大值与最小值之差取整后为 0");
    }
    return QString();
}
