// Drawing of the trend chart: zoom table, value-to-y mapping, grid, time
// labels, gap markers and the six curves.
//
// Everything is drawn in pt twips (1/1440 inch, origin top left, y down).
// The caller's QPainter carries the one transform that maps twips to its
// device; line widths are given in screen pixels, so the painter is told
// how many twips one pixel spans (15 at 96 dpi).
#pragma once

#include "chart/yrange.h"
#include "core/chart_model.h"

#include <QColor>
#include <QPen>
#include <QString>
#include <cstdint>

class QPainter;

// Scale of the drawing area pt and of its frame pt0, in twips.
constexpr int kPtWidth = 12008;
constexpr int kPtHeight = 7508;
constexpr int kPt0Width = 12010;
constexpr int kPt0Height = 7510;

// Chart_Step and Chart_Base from Chart_Zoom (1..4); other levels change nothing.
void Apply_Zoom(Chart &c);

// Twips per unit of the Y range (7500 / Y_Span as a float); 0 when the span is 0.
float yScale(int16_t span);
// Offset of the Y scale in twips: scale × min rounded to 16 bits (halves to
// even); 0 when min is 0 or the product does not fit.
int16_t yOffsetOf(float scale, int16_t min);

// y of a value of quantity q (0..5) in pt twips, for a Y scale and offset.
// False when the value cannot be placed (not finite, or far beyond any
// integer coordinate); the segment is then left out.
bool valueY(int q, float v, float scale, int16_t offset, double *y);

// Caption of the Y-axis label i (0 bottom .. 6 top) for a Y range.
int32_t yLabelValue(int i, int16_t span, int16_t min);

// Time and date labels under the chart, written by Draw_Curves.
struct ChartLabels {
    QString Label4[9]; // time of day at x = 1500 * i
    QString Label7[9]; // date at x = 1500 * i
};

class ChartPainter {
public:
    // twipsPerPixel: twips covered by one screen pixel (1440 / logical dpi);
    // penScale: device pixels per screen pixel for the line widths (1 on
    // screen, more on a printer or PDF, where a one-pixel line is a hairline).
    explicit ChartPainter(double twipsPerPixel = 15.0, double penScale = 1.0);

    double twipsPerPixel() const { return m_tpp; }

    // Clears pt to its background colour.
    void erase(QPainter &p) const;
    // Background and dotted grid; called right after Erase.
    void Draw_Grid(QPainter &p) const;
    // Time labels (when labels is not null), grey bands under held records,
    // gap markers and curves, the Y-range curves in range (its Max is not
    // read). Expects Apply_Zoom to have run.
    void Draw_Curves(QPainter &p, const Chart &c, ChartLabels *labels, const YRange &range) const;
    // Erase, Draw_Grid, Apply_Zoom, Draw_Curves.
    void Redraw_Chart(QPainter &p, Chart &c, ChartLabels *labels, const YRange &range) const;

    static const QColor backColour; // #C0FFFF

private:
    static void drawTimeLabels(const Chart &c, ChartLabels &labels);
    void drawHeldBands(QPainter &p, const Chart &c, int lastStep) const;
    void drawGapMarkers(QPainter &p, const Chart &c, int lastStep) const;
    void drawCurveSegments(QPainter &p, const Chart &c, int lastStep, const YRange &range) const;

    double m_tpp;
    QPen m_grid, m_gap;
    QColor m_held;
    QPen m_curve[6]; // in the drawing order of kCurveStyles
};
