// The history plot: logged records drawn over a visible time span, any
// number of records to a fixed number of pixel columns.
//
// Curves are reduced per pixel column to the first, lowest, highest and last
// value of the records falling in it, so no record is lost to the screen's
// resolution (a one-record spike among a full ring still shows). Stretches
// of held values (records not freshly measured) are shaded, journal events
// are marked on the time axis, and two markers read the records nearest them.
#pragma once

#include "chart/curves.h"
#include "chart/yrange.h"
#include "core/history_data.h"

#include <QColor>
#include <QRectF>
#include <QString>
#include <array>
#include <utility>
#include <vector>

class QFontMetricsF;
class QPainter;
class QPen;

// The six curves of the trend chart: quantities 0..5 (CH1..CH4, DA, input 6).
constexpr int kHistoryCurves = kCurveCount;

// One pixel column of a reduced span.
struct PlotColumn {
    int count = 0; // records in the column; 0: nothing drawn there
    std::array<float, kHistoryCurves> first{}, low{}, high{}, last{};
    bool gapBefore = false; // the first record lies a gap after the record before it
};

// Records further apart than this are not joined by a line.
constexpr qint64 kHistoryGapMs = 300 * 1000;

// Reduces the records (in time order) visible in [fromMs, toMs) to `columns`
// pixel columns of equal time width. Column i holds the records with
// fromMs + i * w <= msecs < fromMs + (i + 1) * w, w = (toMs - fromMs) / columns.
// `out` is resized to `columns` and reused from call to call.
void reduceColumns(const std::vector<HistoryRecord> &records, double fromMs, double toMs, int columns,
                   std::vector<PlotColumn> &out);

// The stretches of held records, each from the first held record's time to
// the time of the fresh record after the run (or the last held record's time
// plus the spacing before it when the run ends the range).
std::vector<std::pair<qint64, qint64>> heldStretches(const std::vector<HistoryRecord> &records);

// One label of the time axis.
struct TimeTick {
    qint64 msecs = 0;
    QString time; // time of day ("10:15", "10:15:30"), or the date for steps of days
    QString date; // the date ("2026-03-12") on the first tick and where the day changes
};

// Ticks for the span [fromMs, toMs] over widthPx pixels, at least minSpacingPx
// apart, on round local times: 1, 2, 5, 10, 15, 30 seconds, the same in
// minutes, 1, 2, 3, 6, 12 hours, 1, 2, 7 days. Empty for an empty span.
std::vector<TimeTick> timeTicks(qint64 fromMs, qint64 toMs, double widthPx, double minSpacingPx = 90);

// Index of the record nearest msecs; -1 when there are none.
int nearestRecord(const std::vector<HistoryRecord> &records, qint64 msecs);

// Everything one paint of the plot needs; the plot keeps nothing of it.
struct HistoryPlotInput {
    const std::vector<HistoryRecord> *records = nullptr;
    const std::vector<HistoryEvent> *events = nullptr;
    const std::vector<std::pair<qint64, qint64>> *held = nullptr;
    double fromMs = 0, toMs = 0; // the visible span
    std::array<bool, kHistoryCurves> shown{true, true, true, true, true, true};
    YRange range{0, 1500, 1500};
    qint64 markerA = -1, markerB = -1; // record times; -1: not set
};

class HistoryPlot {
public:
    // Margins around the data area (for the axis labels), in screen pixels.
    static constexpr double kLeft = 52, kRight = 44, kTop = 8, kBottom = 40;

    static const QColor backColour;   // the data area (the main chart's #C0FFFF)
    static const QColor heldColour;   // the band behind held records
    static const QColor markerColour; // the two markers

    // The data area inside a rect (margins scaled by px).
    static QRectF dataArea(const QRectF &rect, double px = 1);

    // Paints into rect. px is device pixels per screen pixel (1 on screen,
    // more on a printer): pens, fonts and margins grow with it.
    void paint(QPainter &p, const QRectF &rect, const HistoryPlotInput &in, double px = 1);

private:
    struct Frame;
    // The records around the visible ones, and the columns they reduce to.
    struct CurveEnds {
        int columns = 1;
        const HistoryRecord *before = nullptr, *firstIn = nullptr, *lastIn = nullptr, *after = nullptr;
    };
    static QPen gridPen();
    static void paintHeld(QPainter &p, const Frame &f, const std::vector<std::pair<qint64, qint64>> &held);
    static void paintGrid(QPainter &p, const Frame &f, const QFontMetricsF &fm, const YRange &range);
    static void paintTimeAxis(QPainter &p, const Frame &f, const QFontMetricsF &fm);
    void paintCurves(QPainter &p, const Frame &f, const HistoryPlotInput &in);
    void paintCurve(QPainter &p, const Frame &f, int q, const YRange &range, const CurveEnds &ends, bool raster);
    void strokePoints(QPainter &p, int wide);
    static void paintEvents(QPainter &p, const Frame &f, const std::vector<HistoryEvent> &events);
    static void paintMarkers(QPainter &p, const Frame &f, const QFontMetricsF &fm, const std::array<qint64, 2> &marks);

    std::vector<PlotColumn> m_columns; // reused by every paint
    std::vector<QPointF> m_points;
};
