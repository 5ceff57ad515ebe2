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

// Drawing order and pen width of the six quantities, as on the main chart.
constexpr int kOrder[kHistoryCurves] = {2, 0, 1, 3, 4, 5};
constexpr QRgb kColour[kHistoryCurves] = {0xFF0000, 0x808000, 0x004000, 0xFF00FF, 0xC04000, 0x0000FF}; // by quantity
constexpr double kWidth[kHistoryCurves] = {2, 1, 2, 1, 1, 1};                                       // by quantity

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

const QColor HistoryPlot::Back(0xC0, 0xFF, 0xFF);
const QColor HistoryPlot::Held(0xC8, 0xC8, 0xC8);
const QColor HistoryPlot::Marker(0x40, 0x00, 0x80);

QColor historyCurveColour(int quantity)
{
    return quantity >= 0 && quantity < kHistoryCurves ? QColor::fromRgb(kColour[quantity]) : QColor(Qt::black);
}

QString historyCurveCaption(int quantity)
{
    static const char *const captions[kHistoryCurves] = {"通道一 CH1", "通道二 CH2", "通道三 CH3",
                                                         "通道四 CH4", "变送值 DA",  "输入6"};
    return quantity >= 0 && quantity < kHistoryCurves ? QString::fromUtf8(captions[quantity]) : QString();
}

std::pair<double, double> historyCurveScale(int quantity, const YRange &range)
{
    if (quantity == 1)
        return {-10, 110};
    if (quantity == 4)
        return {0, 120};
    return {double(range.Min), double(range.Min) + range.Span};
}

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

void HistoryPlot::paint(QPainter &p, const QRectF &rect, const HistoryPlotInput &in, double px)
{
    const QRectF area = dataArea(rect, px);
    p.save();
    p.fillRect(rect, Qt::white);
    if (area.width() < 2 || area.height() < 2) {
        p.restore();
        return;
    }
    p.fillRect(area, Back);

    const double from = in.fromMs, to = in.toMs;
    const bool hasSpan = to > from;
    const double xPerMs = hasSpan ? area.width() / (to - from) : 0;
    auto xOf = [&](double ms) { return area.left() + (ms - from) * xPerMs; };

    // Held stretches behind everything else.
    if (hasSpan && in.held) {
        for (const auto &[a, b] : *in.held) {
            if (double(b) <= from || double(a) >= to)
                continue;
            const double x0 = std::max(xOf(double(a)), area.left());
            const double x1 = std::min(std::max(xOf(double(b)), x0 + px), area.right());
            p.fillRect(QRectF(x0, area.top(), x1 - x0, area.height()), Held);
        }
    }

    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(11 * px))));
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());

    // Grid and Y labels: six divisions; the Y range on the left, CH2's
    // -10..110 on the right.
    QPen grid(QColor(0xFF, 0x80, 0xFF), 0, Qt::DotLine);
    for (int i = 0; i <= 6; ++i) {
        const double y = area.bottom() - area.height() * i / 6.0;
        p.setPen(grid);
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(rect.left(), y - fm.height() / 2, area.left() - rect.left() - 4 * px, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QString::number(yLabelValue(i, in.range.Span, in.range.Min)));
        p.setPen(QColor(0x00, 0x00, 0xFF));
        p.drawText(QRectF(area.right() + 4 * px, y - fm.height() / 2, rect.right() - area.right(), fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QString::number(-10 + 20 * i));
    }

    // Time ticks and their labels under the area.
    if (hasSpan) {
        const auto ticks = timeTicks(qint64(std::floor(from)), qint64(std::ceil(to)), area.width(), 90 * px);
        for (const TimeTick &t : ticks) {
            const double x = xOf(double(t.msecs));
            if (x < area.left() - 0.5 || x > area.right() + 0.5)
                continue;
            p.setPen(grid);
            p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            p.setPen(Qt::black);
            const double w = 120 * px;
            const double y = area.bottom() + 9 * px;
            p.drawText(QRectF(x - w / 2, y, w, fm.height()), Qt::AlignHCenter | Qt::AlignTop, t.time);
            if (!t.date.isEmpty())
                p.drawText(QRectF(x - w / 2, y + fm.height(), w, fm.height()), Qt::AlignHCenter | Qt::AlignTop, t.date);
        }
    }

    // Curves, reduced to one column a device pixel; on a printer's fine
    // pixels one column a quarter of a screen pixel (some 400 dpi) is plenty.
    p.setClipRect(area);
    const std::vector<HistoryRecord> *records = in.records;
    if (hasSpan && records && !records->empty()) {
        const int columns = std::max(1, int(std::ceil(area.width() / std::max(1.0, px / 4))));
        reduceColumns(*records, from, to, columns, m_columns);
        const double colW = area.width() / columns;
        // The records just outside the span, so lines run on to the edges.
        const auto firstIn = std::lower_bound(records->begin(), records->end(), from, earlier);
        const auto firstOut = std::lower_bound(firstIn, records->end(), to, earlier);
        const HistoryRecord *before = firstIn != records->begin() ? &*(firstIn - 1) : nullptr;
        const HistoryRecord *after = firstOut != records->end() ? &*firstOut : nullptr;
        const HistoryRecord *lastIn = firstOut != firstIn ? &*(firstOut - 1) : nullptr;
        const HistoryRecord *firstInRec = firstIn != firstOut ? &*firstIn : nullptr;

        const double xl = area.left() - px, xr = area.right() + px;
        const bool raster = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster &&
                            p.transform().type() <= QTransform::TxTranslate;
        for (int order = 0; order < kHistoryCurves; ++order) {
            const int q = kOrder[order];
            if (!in.shown[q])
                continue;
            const auto [lo, hi] = historyCurveScale(q, in.range);
            const double yPerUnit = hi > lo ? area.height() / (hi - lo) : 0;
            auto yOf = [&](float v) {
                const double y = area.bottom() - (double(v) - lo) * yPerUnit;
                // Far beyond the area is as good as just beyond it.
                return std::isfinite(y) ? std::clamp(y, area.top() - 4 * px, area.bottom() + 4 * px) : area.bottom();
            };
            // On a raster device a wide curve is the one-pixel polyline drawn
            // again shifted right and down: the rasterizer's thin-line path
            // is some thirty times faster than stroking a wide pen along
            // thousands of short vertical steps. Vector devices get the pen.
            const int wide = raster ? std::max(1, int(std::lround(kWidth[q] * px))) : 1;
            QPen pen(historyCurveColour(q), raster ? 1 : kWidth[q] * px, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
            pen.setCosmetic(raster); // thin on any device pixel ratio
            p.setPen(pen);
            m_points.clear();
            auto flush = [&] {
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
            };
            // A record outside the span joins its neighbour inside, cut at the edge.
            auto edgePoint = [&](const HistoryRecord &outside, const HistoryRecord &inside, double edgeX) {
                const double xo = xOf(double(outside.msecs)), xi = xOf(double(inside.msecs));
                const double yo = yOf(outside.values[q]), yi = yOf(inside.values[q]);
                const double t = xi != xo ? (edgeX - xi) / (xo - xi) : 0;
                return QPointF(edgeX, yi + (yo - yi) * t);
            };
            const HistoryRecord *inLeft = firstInRec ? firstInRec : after;
            if (before && inLeft && inLeft->msecs - before->msecs <= kHistoryGapMs) {
                m_points.push_back(edgePoint(*before, *inLeft, xl));
                if (!firstInRec) // nothing inside: one line across the whole span
                    m_points.push_back(edgePoint(*after, *before, xr));
            }
            for (int c = 0; c < columns; ++c) {
                const PlotColumn &col = m_columns[c];
                if (col.count == 0)
                    continue;
                if (col.gapBefore)
                    flush();
                const double x = area.left() + (c + 0.5) * colW;
                m_points.emplace_back(x, yOf(col.first[q]));
                if (col.count > 1) {
                    m_points.emplace_back(x, yOf(col.low[q]));
                    m_points.emplace_back(x, yOf(col.high[q]));
                    m_points.emplace_back(x, yOf(col.last[q]));
                }
            }
            if (lastIn && after && after->msecs - lastIn->msecs <= kHistoryGapMs)
                m_points.push_back(edgePoint(*after, *lastIn, xr));
            flush();
        }
    }
    p.setClipping(false);

    // Events on the time axis: a small triangle each, coloured by kind.
    if (hasSpan && in.events) {
        p.setPen(Qt::NoPen);
        for (const HistoryEvent &e : *in.events) {
            const double x = xOf(double(e.msecs));
            if (x < area.left() - 0.5 || x > area.right() + 0.5)
                continue;
            const double b = area.bottom();
            const QPointF tri[3] = {{x, b + 1 * px}, {x - 4 * px, b + 8 * px}, {x + 4 * px, b + 8 * px}};
            p.setBrush(eventColour(e.kind));
            p.drawPolygon(tri, 3);
        }
        p.setBrush(Qt::NoBrush);
    }

    // The two markers, A solid and B dashed, captioned at the top.
    if (hasSpan) {
        const qint64 marks[2] = {in.markerA, in.markerB};
        for (int i = 0; i < 2; ++i) {
            if (marks[i] < 0)
                continue;
            const double x = xOf(double(marks[i]));
            if (x < area.left() - 0.5 || x > area.right() + 0.5)
                continue;
            p.setPen(QPen(Marker, px, i == 0 ? Qt::SolidLine : Qt::DashLine));
            p.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
            p.drawText(QPointF(x + 3 * px, area.top() + fm.ascent() + 2 * px), i == 0 ? QStringLiteral("A") : QStringLiteral("B"));
        }
    }

    p.setPen(QPen(Qt::black, 0));
    p.drawRect(area);
    p.restore();
}
