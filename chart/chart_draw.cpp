#include "chart/chart_draw.h"

#include "chart/curves.h"
#include "core/dates.h"
#include "core/numbers.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

struct ZoomRow {
    float step;
    int16_t base;
};
// Twips per slot and the slot at x = 0 for zoom levels 1..4. Slot 240 sits on
// x = 9000 at every level: zoom level L shows kZoomSlots * L slots left of it.
constexpr ZoomRow kZoom[4] = {{150.0f, 180}, {75.0f, 120}, {50.0f, 60}, {37.5f, 0}};
constexpr int kZoomSlots = 60;

// Segments are clipped to a margin around pt before they reach the painter,
// so wild values never hand the rasterizer huge coordinates.
constexpr double kClipLeft = -100, kClipTop = -100;
constexpr double kClipRight = kPtWidth + 100, kClipBottom = kPtHeight + 100;

// Liang-Barsky: clips the segment to the clip box; false when nothing is left.
bool clipSegment(double &x1, double &y1, double &x2, double &y2)
{
    const double dx = x2 - x1, dy = y2 - y1;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - kClipLeft, kClipRight - x1, y1 - kClipTop, kClipBottom - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            if (t > t1)
                return false;
            if (t > t0)
                t0 = t;
        } else {
            if (t < t0)
                return false;
            if (t < t1)
                t1 = t;
        }
    }
    const double ox = x1, oy = y1;
    if (t1 < 1) {
        x2 = ox + t1 * dx;
        y2 = oy + t1 * dy;
    }
    if (t0 > 0) {
        x1 = ox + t0 * dx;
        y1 = oy + t0 * dy;
    }
    return true;
}

bool slotOk(int s) { return s >= 0 && s < kChartSlots; }

} // namespace

const QColor ChartPainter::backColour = QColor::fromRgb(kChartBackRgb);

void Apply_Zoom(Chart &c)
{
    if (c.Chart_Zoom < 1 || c.Chart_Zoom > 4)
        return;
    c.Chart_Step = kZoom[c.Chart_Zoom - 1].step;
    c.Chart_Base = kZoom[c.Chart_Zoom - 1].base;
}

float yScale(int16_t span)
{
    if (span == 0)
        return 0.0f; // the division fails; the scale stays 0
    return float(7500.0 / span);
}

int16_t yOffsetOf(float scale, int16_t min)
{
    int16_t off = 0;
    if (min == 0 || !roundI16(double(scale * float(min)), &off))
        return 0;
    return off;
}

bool valueY(int q, float v, float scale, int16_t offset, double *y)
{
    // A quantity on a fixed scale spans the grid's 7500 twips (120 units:
    // 62.5 twips each) from its own low end.
    double low = 0, high = 0;
    if (curveFixedScale(q, &low, &high)) {
        scale = float(7500.0 / (high - low));
        offset = int16_t(std::lround(low * double(scale)));
    }
    int32_t r = 0;
    if (!roundI32(double(scale * v), &r))
        return false;
    *y = (double(kPtHeight) + offset) - r;
    return true;
}

int32_t yLabelValue(int i, int16_t span, int16_t min)
{
    const float s = float(span / 6.0);
    return int32_t(roundEven(double(float(i) * s))) + min;
}

ChartPainter::ChartPainter(double twipsPerPixel, double penScale) : m_tpp(twipsPerPixel > 0 ? twipsPerPixel : 15.0)
{
    const double scale = std::isfinite(penScale) && penScale > 0 ? penScale : 1.0;
    // Cosmetic pens: widths and dot patterns are screen pixels whatever the
    // twips-to-pixels scale, and thin lines stay on the rasterizer's fast
    // path (a dotted grid stroked through a scale that differs in x and y
    // costs several times as much).
    auto pen = [scale](QRgb rgb, int width, Qt::PenStyle style, Qt::PenCapStyle cap) {
        QPen p(QColor::fromRgb(rgb), width * scale, style, cap, Qt::RoundJoin);
        p.setCosmetic(true);
        return p;
    };
    m_grid = pen(0xFF80FF, 1, Qt::DotLine, Qt::FlatCap);
    m_gap = pen(0xFFFF00, 1, Qt::DashLine, Qt::FlatCap);
    m_held = QColor(0x80, 0x80, 0x80, 0x50); // light grey over the background, the grid still shows
    for (int i = 0; i < kCurveCount; ++i)
        m_curve[i] = pen(kCurveStyles[i].rgb, kCurveStyles[i].width, Qt::SolidLine, Qt::RoundCap);
}

void ChartPainter::erase(QPainter &p) const
{
    // The whole device, so no stale pixel survives at the rounded edges.
    const QTransform t = p.transform();
    p.resetTransform();
    p.fillRect(QRect(QPoint(0, 0), QSize(p.device()->width(), p.device()->height())), backColour);
    p.setTransform(t);
}

void ChartPainter::Draw_Grid(QPainter &p) const
{
    p.setPen(m_grid);
    for (int i = 0; i <= 24; ++i) {
        const double y = roundEven(312.5 * i);
        p.drawLine(QLineF(0, y, kPtWidth, y));
    }
    p.drawLine(QLineF(8, 0, 8, kPtHeight));
    for (int i = 0; i <= 32; ++i)
        p.drawLine(QLineF(375.0 * i, 0, 375.0 * i, kPtHeight));
}

// Label i shows slot B + 1 + 10 L i; an empty slot has no time to show. In
// live mode labels 7 and 8 run ahead of slot kLiveLoad into the free quarter
// of the screen (when it holds a record to count from).
void ChartPainter::drawTimeLabels(const Chart &c, ChartLabels &labels)
{
    const int L = c.Chart_Zoom;
    const int B = c.Chart_Base;
    for (int i = 0; i <= 8; ++i) {
        const int s = B + 1 + 10 * L * i;
        if (!slotOk(s))
            continue;
        const bool has = slotHasRecord(c, s);
        labels.Label4[i] = has ? timeText(c.Chart_Time[s]) : QString();
        labels.Label7[i] = has ? dateText(c.Chart_Date[s]) : QString();
    }
    if (c.Load_Count >= kPageLoad || !slotHasRecord(c, kLiveLoad))
        return;
    const float d[2] = {float(L * 0.00347222 / 30), float(L * 0.00347222 / 30 * 2)};
    for (int j = 0; j < 2; ++j) {
        double t = c.Chart_Time[kLiveLoad] + double(d[j]);
        double day = c.Chart_Date[kLiveLoad];
        if (t > 1) {
            day += 1;
            t -= 1;
        }
        labels.Label4[7 + j] = timeText(t);
        labels.Label7[7 + j] = dateText(day);
    }
}

// Held records (logged while the link was down) lie on a grey band, one slot
// wide each, behind the markers and curves.
void ChartPainter::drawHeldBands(QPainter &p, const Chart &c, int lastStep) const
{
    const int B = c.Chart_Base;
    const float S = c.Chart_Step;
    const auto held = [&c, B](int k) { return slotOk(B + k) && c.held[B + k] && slotHasRecord(c, B + k); };
    for (int k = 0; k <= lastStep; ++k) {
        if (!held(k))
            continue;
        int last = k;
        while (last < lastStep && held(last + 1))
            ++last;
        const double left = std::max(0.0, (double(k) - 0.5) * double(S));
        const double right = std::min(double(kPtWidth), (double(last) + 0.5) * double(S));
        if (right > left)
            p.fillRect(QRectF(left, 0, right - left, kPtHeight), m_held);
        k = last;
    }
}

void ChartPainter::drawGapMarkers(QPainter &p, const Chart &c, int lastStep) const
{
    for (int k = 1; k <= lastStep; ++k) {
        if (!slotOk(c.Chart_Base + k) || c.Chart_Gap[c.Chart_Base + k] <= 0)
            continue;
        const double x = double(float(k) * c.Chart_Step);
        p.setPen(m_gap);
        p.drawLine(QLineF(x, 0, x, 9000));
    }
}

// One step of six segments at a time; a segment joins two records, never an
// empty slot (slot 0, or the slots of a short ring).
void ChartPainter::drawCurveSegments(QPainter &p, const Chart &c, int lastStep, const YRange &range) const
{
    const int B = c.Chart_Base;
    const float S = c.Chart_Step;
    const float scale = yScale(range.Span);
    const int16_t offset = yOffsetOf(scale, range.Min);
    for (int k = 1; k <= lastStep; ++k) {
        const int ps = B + k - 1, s = B + k;
        if (!slotHasRecord(c, ps) || !slotHasRecord(c, s))
            continue;
        const double x1 = roundEven(double(float(k - 1) * S));
        const double x2 = roundEven(double(float(k) * S));
        for (int i = 0; i < kCurveCount; ++i) {
            const int q = kCurveStyles[i].quantity;
            double ya = 0, yb = 0;
            if (!valueY(q, c.Chart_Val[ps][q], scale, offset, &ya) || !valueY(q, c.Chart_Val[s][q], scale, offset, &yb))
                continue;
            double ax = x1, bx = x2;
            if (!clipSegment(ax, ya, bx, yb))
                continue;
            p.setPen(m_curve[i]);
            p.drawLine(QLineF(ax, ya, bx, yb));
        }
    }
}

void ChartPainter::Draw_Curves(QPainter &p, const Chart &c, ChartLabels *labels, const YRange &range) const
{
    if (labels)
        drawTimeLabels(c, *labels);
    // The last step drawn: the slots on screen left of slot kLiveLoad, and
    // those appended after it.
    const int lastStep = kZoomSlots * c.Chart_Zoom + c.Chart_End - kLiveLoad;
    drawHeldBands(p, c, lastStep);
    drawGapMarkers(p, c, lastStep);
    drawCurveSegments(p, c, lastStep, range);
}

void ChartPainter::Redraw_Chart(QPainter &p, Chart &c, ChartLabels *labels, const YRange &range) const
{
    erase(p);
    Draw_Grid(p);
    Apply_Zoom(c);
    Draw_Curves(p, c, labels, range);
}
