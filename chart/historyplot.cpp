#include "chart/historyplot.h"

#include "chart/chart_draw.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QPaintEngine>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute, kDay = 24 * kHour;
constexpr qint64 kTickSteps[] = {kSecond,      2 * kSecond,  5 * kSecond, 10 * kSecond, 15 * kSecond,
                                 30 * kSecond, kMinute,      2 * kMinute, 5 * kMinute,  10 * kMinute,
                                 15 * kMinute, 30 * kMinute, kHour,       2 * kHour,    3 * kHour,
                                 6 * kHour,    12 * kHour,   kDay,        2 * kDay,     7 * kDay};

QColor eventColour(EventKind k)
{
    switch (k) {
    case EventKind::FlagRaised:
        return QColor(0xE0, 0x00, 0x00);
    case EventKind::FlagCleared:
        return QColor(0x00, 0xA0, 0x00);
    case EventKind::ParamWritten:
        return QColor(0x80, 0x00, 0xC0);
    case EventKind::ParamRefused:
    case EventKind::ParamFailed:
        return QColor(0xFF, 0x80, 0x00);
    default:
        return QColor(0x00, 0x00, 0xC0);
    }
}

bool earlier(const HistoryRecord &r, double msecs) { return double(r.msecs) < msecs; }

} // namespace

const QColor HistoryPlot::backColour = QColor::fromRgb(kChartBackRgb);
const QColor HistoryPlot::heldColour(0xC8, 0xC8, 0xC8);
const QColor HistoryPlot::markerColour(0x40, 0x00, 0x80);

void reduceColumns(const std::vector<HistoryRecord> &records, double fromMs, double toMs, int columns,
                   std::vector<PlotColumn> &out)
{
    out.assign(std::max(columns, 0), PlotColumn{});
    if (columns <= 0 || !(toMs > fromMs))
        return;
    const double perMs = columns / (toMs - fromMs);
    auto it = std::lower_bound(records.begin(), records.end(), fromMs, earlier);
    qint64 before = it == records.begin() ? std::numeric_limits<qint64>::min() : (it - 1)->msecs;
    for (; it != records.end() && double(it->msecs) < toMs; ++it) {
        const int c = std::min(int((double(it->msecs) - fromMs) * perMs), columns - 1);
        PlotColumn &col = out[c];
        if (col.count == 0) {
            for (int q = 0; q < kHistoryCurves; ++q)
                col.first[q] = col.low[q] = col.high[q] = it->values[q];
            col.gapBefore = before != std::numeric_limits<qint64>::min() && it->msecs - before > kHistoryGapMs;
        } else {
            for (int q = 0; q < kHistoryCurves; ++q) {
                const float v = it->values[q];
                if (v < col.low[q])
                    col.low[q] = v;
                if (v > col.high[q])
                    col.high[q] = v;
            }
        }
        for (int q = 0; q < kHistoryCurves; ++q)
            col.last[q] = it->values[q];
        ++col.count;
        before = it->msecs;
    }
}

std::vector<std::pair<qint64, qint64>> heldStretches(const std::vector<HistoryRecord> &records)
{
    std::vector<std::pair<qint64, qint64>> out;
    const size_t n = records.size();
    for (size_t i = 0; i < n;) {
        if (records[i].fresh) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < n && !records[i].fresh)
            ++i;
        qint64 end = 0;
        if (i < n)
            end = records[i].msecs;
        else if (i - 1 > 0)
            end = records[i - 1].msecs + (records[i - 1].msecs - records[i - 2].msecs);
        else
            end = records[i - 1].msecs + kSecond;
        out.emplace_back(records[start].msecs, std::max(end, records[start].msecs + 1));
    }
    return out;
}

std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, double widthPx, double minSpacingPx)
{
    std::vector<TimeTick> out;
    if (toMs <= fromMs || !(widthPx > 0) || !(minSpacingPx > 0))
        return out;
    const double span = double(toMs - fromMs);
    const double need = span * minSpacingPx / widthPx; // least ms between ticks
    qint64 step = 0;
    for (qint64 s : kTickSteps) {
        if (double(s) >= need) {
            step = s;
            break;
        }
    }
    if (step == 0) // wider than any table step: whole weeks
        step = 7 * kDay * qint64(std::ceil(need / double(7 * kDay)));

    // Round local times: align in local wall-clock milliseconds; whole weeks
    // start on Mondays (1970-01-01 was a Thursday).
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(fromMs).offsetFromUtc()) * kSecond;
    const qint64 shift = step % (7 * kDay) == 0 ? 4 * kDay : 0;
    const qint64 local = fromMs + offset - shift;
    // The first round time at or after from (division truncates toward 0).
    qint64 t = (local / step + (local % step > 0 ? 1 : 0)) * step + shift - offset;

    const QString timeFormat = step < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    QDate lastDate;
    for (; t <= toMs; t += step) {
        const QDateTime dt = QDateTime::fromMSecsSinceEpoch(t);
        TimeTick tick;
        tick.msecs = t;
        if (step >= kDay) {
            tick.time = dt.toString(QStringLiteral("yyyy-MM-dd"));
        } else {
            tick.time = dt.toString(timeFormat);
            if (dt.date() != lastDate)
                tick.date = dt.toString(QStringLiteral("yyyy-MM-dd"));
        }
        lastDate = dt.date();
        out.push_back(tick);
    }
    return out;
}

int nearestRecord(const std::vector<HistoryRecord> &records, qint64 msecs)
{
    if (records.empty())
        return -1;
    const auto it = std::lower_bound(records.begin(), records.end(), double(msecs), earlier);
    if (it == records.end())
        return int(records.size()) - 1;
    if (it == records.begin())
        return 0;
    const auto prev = it - 1;
    return msecs - prev->msecs <= it->msecs - msecs ? int(prev - records.begin()) : int(it - records.begin());
}

QRectF HistoryPlot::dataArea(const QRectF &rect, double px)
{
    return rect.adjusted(kLeft * px, kTop * px, -kRight * px, -kBottom * px);
}

// The span's place in the data area, shared by the parts of one paint.
struct HistoryPlot::Frame {
    QRectF rect, area;
    double from = 0, to = 0, xPerMs = 0, px = 1;
    bool hasSpan = false;
    double x(double ms) const { return area.left() + (ms - from) * xPerMs; }
    bool outside(double x) const { return x < area.left() - 0.5 || x > area.right() + 0.5; }
};

void HistoryPlot::paint(QPainter &p, const QRectF &rect, const HistoryPlotInput &in, double px)
{
    Frame f;
    f.rect = rect;
    f.area = dataArea(rect, px);
    f.px = px;
    p.save();
    p.fillRect(rect, Qt::white);
    if (f.area.width() < 2 || f.area.height() < 2) {
        p.restore();
        return;
    }
    p.fillRect(f.area, backColour);
    f.from = in.fromMs;
    f.to = in.toMs;
    f.hasSpan = f.to > f.from;
    f.xPerMs = f.hasSpan ? f.area.width() / (f.to - f.from) : 0;

    if (f.hasSpan && in.held) // behind everything else
        paintHeld(p, f, *in.held);
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(11 * px))));
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    paintGrid(p, f, fm, in.range);
    if (f.hasSpan)
        paintTimeAxis(p, f, fm);
    p.setClipRect(f.area);
    if (f.hasSpan && in.records && !in.records->empty())
        paintCurves(p, f, in);
    p.setClipping(false);
    if (f.hasSpan && in.events)
        paintEvents(p, f, *in.events);
    if (f.hasSpan)
        paintMarkers(p, f, fm, {in.markerA, in.markerB});
    p.setPen(QPen(Qt::black, 0));
    p.drawRect(f.area);
    p.restore();
}

void HistoryPlot::paintHeld(QPainter &p, const Frame &f, const std::vector<std::pair<qint64, qint64>> &held)
{
    for (const auto &[a, b] : held) {
        if (double(b) <= f.from || double(a) >= f.to)
            continue;
        const double x0 = std::max(f.x(double(a)), f.area.left());
        const double x1 = std::min(std::max(f.x(double(b)), x0 + f.px), f.area.right());
        p.fillRect(QRectF(x0, f.area.top(), x1 - x0, f.area.height()), heldColour);
    }
}

// Six divisions; the Y range on the left, CH2's -10..110 on the right.
void HistoryPlot::paintGrid(QPainter &p, const Frame &f, const QFontMetricsF &fm, const YRange &range)
{
    const QRectF &area = f.area;
    for (int i = 0; i <= 6; ++i) {
        const double y = area.bottom() - area.height() * i / 6.0;
        p.setPen(gridPen());
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(f.rect.left(), y - fm.height() / 2, area.left() - f.rect.left() - 4 * f.px, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(yLabelValue(i, range.Span, range.Min)));
        p.setPen(QColor(0x00, 0x00, 0xFF));
        p.drawText(QRectF(area.right() + 4 * f.px, y - fm.height() / 2, f.rect.right() - area.right(), fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::number(-10 + 20 * i));
    }
}

// Time ticks and their labels under the area.
void HistoryPlot::paintTimeAxis(QPainter &p, const Frame &f, const QFontMetricsF &fm)
{
    const double px = f.px;
    const auto ticks = timeTicks(qint64(std::floor(f.from)), qint64(std::ceil(f.to)), f.area.width(), 90 * px);
    for (const TimeTick &t : ticks) {
        const double x = f.x(double(t.msecs));
        if (f.outside(x))
            continue;
        p.setPen(gridPen());
        p.drawLine(QPointF(x, f.area.top()), QPointF(x, f.area.bottom()));
        p.setPen(Qt::black);
        const double w = 120 * px;
        const double y = f.area.bottom() + 9 * px;
        p.drawText(QRectF(x - w / 2, y, w, fm.height()), Qt::AlignHCenter | Qt::AlignTop, t.time);
        if (!t.date.isEmpty())
            p.drawText(QRectF(x - w / 2, y + fm.height(), w, fm.height()), Qt::AlignHCenter | Qt::AlignTop, t.date);
    }
}

QPen HistoryPlot::gridPen()
{
    return QPen(QColor(0xFF, 0x80, 0xFF), 0, Qt::DotLine);
}

// Curves, reduced to one column a device pixel; on a printer's fine pixels
// one column a quarter of a screen pixel (some 400 dpi) is plenty.
void HistoryPlot::paintCurves(QPainter &p, const Frame &f, const HistoryPlotInput &in)
{
    const std::vector<HistoryRecord> &records = *in.records;
    CurveEnds ends;
    ends.columns = std::max(1, int(std::ceil(f.area.width() / std::max(1.0, f.px / 4))));
    reduceColumns(records, f.from, f.to, ends.columns, m_columns);
    // The records just outside the span, so lines run on to the edges.
    const auto firstIn = std::lower_bound(records.begin(), records.end(), f.from, earlier);
    const auto firstOut = std::lower_bound(firstIn, records.end(), f.to, earlier);
    ends.before = firstIn != records.begin() ? &*(firstIn - 1) : nullptr;
    ends.after = firstOut != records.end() ? &*firstOut : nullptr;
    ends.lastIn = firstOut != firstIn ? &*(firstOut - 1) : nullptr;
    ends.firstIn = firstIn != firstOut ? &*firstIn : nullptr;
    const bool raster = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster &&
                        p.transform().type() <= QTransform::TxTranslate;
    for (const CurveStyle &style : kCurveStyles) {
        if (in.shown[style.quantity])
            paintCurve(p, f, style.quantity, in.range, ends, raster);
    }
}

// On a raster device a wide curve is the one-pixel polyline drawn again
// shifted right and down: the rasterizer's thin-line path is some thirty
// times faster than stroking a wide pen along thousands of short vertical
// steps. Vector devices get the pen.
void HistoryPlot::strokePoints(QPainter &p, int wide)
{
    for (int pass = 0; pass < 2 * wide - 1; ++pass) {
        const int dx = pass < wide ? pass : 0, dy = pass < wide ? 0 : pass - wide + 1;
        if (dx || dy)
            p.translate(dx, dy);
        if (m_points.size() > 1)
            p.drawPolyline(m_points.data(), int(m_points.size()));
        else if (m_points.size() == 1)
            p.drawPoint(m_points.front());
        if (dx || dy)
            p.translate(-dx, -dy);
    }
    m_points.clear();
}

void HistoryPlot::paintCurve(QPainter &p, const Frame &f, int q, const YRange &range, const CurveEnds &ends,
                             bool raster)
{
    const QRectF &area = f.area;
    const double px = f.px;
    const auto [lo, hi] = historyCurveScale(q, range);
    const double yPerUnit = hi > lo ? area.height() / (hi - lo) : 0;
    auto yOf = [&](float v) {
        const double y = area.bottom() - (double(v) - lo) * yPerUnit;
        // Far beyond the area is as good as just beyond it.
        return std::isfinite(y) ? std::clamp(y, area.top() - 4 * px, area.bottom() + 4 * px) : area.bottom();
    };
    const double width = curveWidth(q);
    const int wide = raster ? std::max(1, int(std::lround(width * px))) : 1;
    QPen pen(historyCurveColour(q), raster ? 1 : width * px, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(raster); // thin on any device pixel ratio
    p.setPen(pen);
    m_points.clear();
    // A record outside the span joins its neighbour inside, cut at the edge.
    auto edgePoint = [&](const HistoryRecord &outside, const HistoryRecord &inside, double edgeX) {
        const double xo = f.x(double(outside.msecs)), xi = f.x(double(inside.msecs));
        const double yo = yOf(outside.values[q]), yi = yOf(inside.values[q]);
        const double t = xi != xo ? (edgeX - xi) / (xo - xi) : 0;
        return QPointF(edgeX, yi + (yo - yi) * t);
    };
    const double xl = area.left() - px, xr = area.right() + px;
    const HistoryRecord *inLeft = ends.firstIn ? ends.firstIn : ends.after;
    if (ends.before && inLeft && inLeft->msecs - ends.before->msecs <= kHistoryGapMs) {
        m_points.push_back(edgePoint(*ends.before, *inLeft, xl));
        if (!ends.firstIn) // nothing inside: one line across the whole span
            m_points.push_back(edgePoint(*ends.after, *ends.before, xr));
    }
    const double colW = area.width() / ends.columns;
    for (int c = 0; c < ends.columns; ++c) {
        const PlotColumn &col = m_columns[c];
        if (col.count == 0)
            continue;
        if (col.gapBefore)
            strokePoints(p, wide);
        const double x = area.left() + (c + 0.5) * colW;
        m_points.emplace_back(x, yOf(col.first[q]));
        if (col.count > 1) {
            m_points.emplace_back(x, yOf(col.low[q]));
            m_points.emplace_back(x, yOf(col.high[q]));
            m_points.emplace_back(x, yOf(col.last[q]));
        }
    }
    if (ends.lastIn && ends.after && ends.after->msecs - ends.lastIn->msecs <= kHistoryGapMs)
        m_points.push_back(edgePoint(*ends.after, *ends.lastIn, xr));
    strokePoints(p, wide);
}

// Events on the time axis: a small triangle each, coloured by kind.
void HistoryPlot::paintEvents(QPainter &p, const Frame &f, const std::vector<HistoryEvent> &events)
{
    const double px = f.px;
    p.setPen(Qt::NoPen);
    for (const HistoryEvent &e : events) {
        const double x = f.x(double(e.msecs));
        if (f.outside(x))
            continue;
        const double b = f.area.bottom();
        const QPointF tri[3] = {{x, b + 1 * px}, {x - 4 * px, b + 8 * px}, {x + 4 * px, b + 8 * px}};
        p.setBrush(eventColour(e.kind));
        p.drawPolygon(tri, 3);
    }
    p.setBrush(Qt::NoBrush);
}

// The two markers, A solid and B dashed, captioned at the top.
void HistoryPlot::paintMarkers(QPainter &p, const Frame &f, const QFontMetricsF &fm, const std::array<qint64, 2> &marks)
{
    for (int i = 0; i < 2; ++i) {
        if (marks[i] < 0)
            continue;
        const double x = f.x(double(marks[i]));
        if (f.outside(x))
            continue;
        p.setPen(QPen(markerColour, f.px, i == 0 ? Qt::SolidLine : Qt::DashLine));
        p.drawLine(QPointF(x, f.area.top()), QPointF(x, f.area.bottom()));
        p.drawText(QPointF(x + 3 * f.px, f.area.top() + fm.ascent() + 2 * f.px),
                   i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
    }
}
