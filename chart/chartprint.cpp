#include "chart/chartprint.h"

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

void printChart(QPainter &p, const QRectF &page, const ChartPrintHeader &header, const ChartPaintFn &paintChart,
                double px)
{
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
    QString line1 = header.title;
    if (!header.instrument.isEmpty())
        line1 += QStringLiteral("    仪表 ") + header.instrument;
    if (!header.station.isEmpty())
        line1 += QStringLiteral("    站号 ") + header.station;
    p.drawText(QRectF(page.left(), y, page.width(), tm.height()), Qt::AlignLeft | Qt::AlignVCenter, line1);
    p.setFont(font);
    const QFontMetricsF fm(font, p.device());
    if (header.printedAt.isValid())
        p.drawText(QRectF(page.left(), y, page.width(), tm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("打印时间 ") + dateTimeText(header.printedAt));
    y += tm.height() + 4 * px;

    // Line 2: the time range.
    if (header.from.isValid() || header.to.isValid()) {
        p.drawText(QRectF(page.left(), y, page.width(), fm.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("时间 ") + dateTimeText(header.from) + QStringLiteral(" 至 ") +
                       dateTimeText(header.to));
        y += fm.height() + 2 * px;
    }

    // Line 3: the channels, each a colour swatch, its caption and its scale.
    double x = page.left();
    for (const PrintChannel &c : header.channels) {
        const QString text = c.scale.isEmpty() ? c.caption : c.caption + QStringLiteral(" (") + c.scale + QLatin1Char(')');
        const double sw = 18 * px;
        p.fillRect(QRectF(x, y + fm.height() / 2 - 1.5 * px, sw, 3 * px), c.colour);
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
