#include "chart/chartprint.h"

#include "chart/curves.h"
#include "core/chart_model.h"
#include "core/dates.h"

#include <QCoreApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace {

QString dateTimeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

} // namespace

ChartPrintHeader chartPrintHeader(PrintTitle title, int station, const QDateTime &from, const QDateTime &to,
                                  const std::function<bool(int)> &drawn, const YRange &range,
                                  const QDateTime &printedAt)
{
    ChartPrintHeader h;
    h.title = title == PrintTitle::Trend ? QCoreApplication::translate("ChartPrint", "趋势曲线")
                                         : QCoreApplication::translate("ChartPrint", "历史曲线");
    h.instrument = QStringLiteral("QR5300M");
    if (station > 0)
        h.station = QString::number(station);
    h.from = from;
    h.to = to;
    for (int q = 0; q < kCurveCount; ++q) {
        if (!drawn(q))
            continue;
        const auto [lo, hi] = historyCurveScale(q, range);
        h.channels.push_back({historyCurveCaption(q), historyCurveColour(q),
                              QString::number(lo) + QStringLiteral(" … ") + QString::number(hi)});
    }
    h.printedAt = printedAt;
    return h;
}

// Slot 322 is never written.
std::pair<QDateTime, QDateTime> chartSpan(const Chart &c)
{
    QDateTime from, to;
    for (int s = 1; s < kChartSlots - 1; ++s) {
        if (!slotHasRecord(c, s))
            continue;
        const QDateTime t(serialDate(c.Chart_Date[s]), serialTime(c.Chart_Time[s]));
        if (!from.isValid() || t < from)
            from = t;
        if (!to.isValid() || t > to)
            to = t;
    }
    return {from, to};
}

PrintHeaderTexts printHeaderTexts(const ChartPrintHeader &header)
{
    PrintHeaderTexts t;
    t.title = header.title;
    if (!header.instrument.isEmpty())
        t.title += QStringLiteral("    ") + QCoreApplication::translate("ChartPrint", "仪表") + QLatin1Char(' ') +
                   header.instrument;
    if (!header.station.isEmpty())
        t.title += QStringLiteral("    ") + QCoreApplication::translate("ChartPrint", "站号") + QLatin1Char(' ') +
                   header.station;
    if (header.printedAt.isValid())
        t.printed = QCoreApplication::translate("ChartPrint", "打印时间") + QLatin1Char(' ') + dateTimeText(header.printedAt);
    if (header.from.isValid() || header.to.isValid())
        t.span = QCoreApplication::translate("ChartPrint", "时间 %1 至 %2")
                     .arg(dateTimeText(header.from), dateTimeText(header.to));
    for (const PrintChannel &c : header.channels)
        t.channels.push_back(c.scale.isEmpty() ? c.caption
                                               : c.caption + QStringLiteral(" (") + c.scale + QLatin1Char(')'));
    return t;
}

void printChart(QPainter &p, const QRectF &page, const ChartPrintHeader &header, const ChartPaintFn &paintChart,
                double px)
{
    const PrintHeaderTexts texts = printHeaderTexts(header);
    p.save();
    QFont font = p.font();
    font.setPixelSize(std::max(1, int(std::lround(12 * px))));
    QFont title = font;
    title.setPixelSize(std::max(1, int(std::lround(16 * px))));
    title.setBold(true);

    // Line 1: title and instrument, the time of printing on the right.
    p.setPen(Qt::black);
    p.setFont(title);
    const QFontMetricsF tm(title, p.device());
    double y = page.top();
    p.drawText(QRectF(page.left(), y, page.width(), tm.height()), Qt::AlignLeft | Qt::AlignVCenter, texts.title);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    if (!texts.printed.isEmpty())
        p.drawText(QRectF(page.left(), y, page.width(), tm.height()), Qt::AlignRight | Qt::AlignVCenter, texts.printed);
    y += tm.height() + 4 * px;

    // Line 2: the time range.
    if (!texts.span.isEmpty()) {
        p.drawText(QRectF(page.left(), y, page.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter, texts.span);
        y += fm.height() + 2 * px;
    }

    // Line 3: the channels, each a colour swatch, its caption and its scale.
    double x = page.left();
    for (size_t i = 0; i < header.channels.size(); ++i) {
        const QString &text = texts.channels[i];
        const double sw = 18 * px;
        p.fillRect(QRectF(x, y + fm.height() / 2 - 1.5 * px, sw, 3 * px), header.channels[i].colour);
        x += sw + 4 * px;
        const double w = fm.horizontalAdvance(text);
        p.drawText(QRectF(x, y, w + 2 * px, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, text);
        x += w + 16 * px;
    }
    y += fm.height() + 6 * px;
    p.restore();

    const QRectF chart(page.left(), y, page.width(), std::max(0.0, page.bottom() - y));
    if (paintChart && chart.height() > 0) {
        p.save();
        paintChart(p, chart, px);
        p.restore();
    }
}

bool printChartPage(QPagedPaintDevice &device, const ChartPrintHeader &header, const ChartPaintFn &paintChart)
{
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter p;
    if (!p.begin(&device))
        return false;
    const double px = device.logicalDpiX() / 96.0;
    const QRectF page(0, 0, device.width(), device.height());
    printChart(p, page, header, paintChart, px > 0 ? px : 1);
    return p.end();
}

bool writeChartPdf(const QString &path, const ChartPrintHeader &header, const ChartPaintFn &paintChart, QString *error)
{
    QPdfWriter pdf(path);
    pdf.setCreator(QStringLiteral("QR5300M OverView"));
    pdf.setTitle(header.title);
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                  QPageLayout::Millimeter));
    if (!printChartPage(pdf, header, paintChart)) {
        if (error)
            *error = QFile::exists(path) ? QStringLiteral("cannot paint the page")
                                         : QStringLiteral("cannot write %1").arg(path);
        return false;
    }
    return true;
}
