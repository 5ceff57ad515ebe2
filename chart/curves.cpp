#include "chart/curves.h"

#include <QCoreApplication>

namespace {

const char *const kCaptions[kCurveCount] = {
    QT_TRANSLATE_NOOP("Curves", "通道一 CH1"), QT_TRANSLATE_NOOP("Curves", "通道二 CH2"),
    QT_TRANSLATE_NOOP("Curves", "通道三 CH3"), QT_TRANSLATE_NOOP("Curves", "通道四 CH4"),
    QT_TRANSLATE_NOOP("Curves", "变送值 DA"),  QT_TRANSLATE_NOOP("Curves", "输入6"),
};

} // namespace

const CurveStyle *curveStyle(int quantity)
{
    for (const CurveStyle &s : kCurveStyles)
        if (s.quantity == quantity)
            return &s;
    return nullptr;
}

QColor historyCurveColour(int quantity)
{
    const CurveStyle *s = curveStyle(quantity);
    return s ? QColor::fromRgb(s->rgb) : QColor(Qt::black);
}

int curveWidth(int quantity)
{
    const CurveStyle *s = curveStyle(quantity);
    return s ? s->width : 1;
}

QString historyCurveCaption(int quantity)
{
    if (quantity < 0 || quantity >= kCurveCount)
        return QString();
    return QCoreApplication::translate("Curves", kCaptions[quantity]);
}

bool curveFixedScale(int quantity, double *low, double *high)
{
    if (quantity != 1 && quantity != 4)
        return false;
    *low = quantity == 1 ? -10 : 0;
    *high = quantity == 1 ? 110 : 120;
    return true;
}

std::pair<double, double> historyCurveScale(int quantity, const YRange &range)
{
    double lo = 0, hi = 0;
    if (curveFixedScale(quantity, &lo, &hi))
        return {lo, hi};
    return {double(range.Min), double(range.Min) + range.Span};
}
