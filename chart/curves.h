// The six curves every chart draws (the trend chart, the history plot and
// their print-outs): which quantity, in which colour and width, over which
// scale, in which order, and under which caption.
#pragma once

#include "chart/yrange.h"

#include <QColor>
#include <QString>
#include <utility>

// The background of every chart's data area.
constexpr QRgb kChartBackRgb = 0xC0FFFF;

// Quantities 0..5: CH1..CH4, DA, input 6.
constexpr int kCurveCount = 6;

struct CurveStyle {
    int quantity;
    QRgb rgb;
    int width; // screen pixels
};

// In drawing order: CH3 first, so CH1 and the others lie on top of it.
constexpr CurveStyle kCurveStyles[kCurveCount] = {
    {2, 0x004000, 2}, {0, 0xFF0000, 2}, {1, 0x808000, 1},
    {3, 0xFF00FF, 1}, {4, 0xC04000, 1}, {5, 0x0000FF, 1},
};

// The style of a quantity (0..5); null for any other.
const CurveStyle *curveStyle(int quantity);

// The quantity's colour (black for an unknown one) and pen width.
QColor historyCurveColour(int quantity);
int curveWidth(int quantity);
// The quantity's caption ("通道一 CH1" .. "变送值 DA", "输入6"), translated.
QString historyCurveCaption(int quantity);

// The fixed scale a quantity is drawn over, bottom to top, if it has one:
// CH2 on -10..110, DA on 0..120 from the bottom. The others follow the Y range.
bool curveFixedScale(int quantity, double *low, double *high);
// Value range a quantity is drawn over, bottom to top.
std::pair<double, double> historyCurveScale(int quantity, const YRange &range);
