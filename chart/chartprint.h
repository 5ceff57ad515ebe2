// Printing a chart on one landscape page under a header: the instrument, the
// station, the time range, the channels with their colours and scales, and
// the time of printing. The chart itself is painted by the caller's function
// into the rect left under the header, so the main window's chart and the
// history plot print alike. Output goes to any paged device: a printer, or a
// PDF file through QPdfWriter (vector, sharp at any zoom).
#pragma once

#include "chart/yrange.h"

#include <QColor>
#include <QDateTime>
#include <QRectF>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

class QPainter;
class QPagedPaintDevice;
struct Chart;

struct PrintChannel {
    QString caption; // "通道一 CH1"
    QColor colour;
    QString scale;   // "0 … 1500"
};

struct ChartPrintHeader {
    QString title;      // "历史曲线", "趋势曲线"
    QString instrument; // "QR5300M"
    QString station;    // "1"
    QDateTime from, to;
    std::vector<PrintChannel> channels;
    QDateTime printedAt;
};

enum class PrintTitle {
    Trend,   // the main window's chart: "趋势曲线"
    History, // the history window's plot: "历史曲线"
};

// The header of a print-out: the title, the instrument and its station (none
// when station <= 0), the time span, the quantities among 0..5 for which
// drawn is true with their colours and scales, and the time of printing.
ChartPrintHeader chartPrintHeader(PrintTitle title, int station, const QDateTime &from, const QDateTime &to,
                                  const std::function<bool(int)> &drawn, const YRange &range,
                                  const QDateTime &printedAt);
// The earliest and latest record times in the chart's slots (invalid when
// it holds none).
std::pair<QDateTime, QDateTime> chartSpan(const Chart &c);

// The header's texts as printed: the title line, the time of printing, the
// time span (empty when there is none) and each channel with its scale.
struct PrintHeaderTexts {
    QString title, printed, span;
    std::vector<QString> channels;
};
PrintHeaderTexts printHeaderTexts(const ChartPrintHeader &header);

// Paints the chart into rect; px is device pixels per screen pixel, for pens
// and fonts.
using ChartPaintFn = std::function<void(QPainter &p, const QRectF &rect, double px)>;

// The header at the top of page, the chart under it.
void printChart(QPainter &p, const QRectF &page, const ChartPrintHeader &header, const ChartPaintFn &paintChart,
                double px);

// One landscape page on device (its page size kept, A4 unless chosen
// otherwise). False when nothing could be painted.
bool printChartPage(QPagedPaintDevice &device, const ChartPrintHeader &header, const ChartPaintFn &paintChart);

// An A4 landscape PDF file of one page; on failure *error says why.
bool writeChartPdf(const QString &path, const ChartPrintHeader &header, const ChartPaintFn &paintChart,
                   QString *error = nullptr);
