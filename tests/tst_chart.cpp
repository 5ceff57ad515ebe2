// The trend chart drawn into an image: zoom table, grid, curves of known
// values, gap markers, time labels, Y labels and the Y-range rule.
#include "chart/chart_draw.h"
#include "chart/yrange.h"
#include "core/dates.h"
#include "core/numbers.h"

#include <QImage>
#include <QPainter>
#include <QtTest>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr double kTpp = 15.0; // twips per pixel at 96 dpi

// The chart rendered at 96 dpi: 801 x 501 pixels.
QImage Render(Chart &c, ChartLabels *labels = nullptr, const YRange &range = YRange{0, 1500, 1500})
{
    QImage img(801, 501, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(1.0 / kTpp, 1.0 / kTpp);
    ChartPainter(kTpp).Redraw_Chart(p, c, labels, range);
    return img;
}

QImage renderGrid()
{
    QImage img(801, 501, QImage::Format_RGB32);
    QPainter p(&img);
    p.scale(1.0 / kTpp, 1.0 / kTpp);
    ChartPainter painter(kTpp);
    painter.erase(p);
    painter.Draw_Grid(p);
    return img;
}

int countRow(const QImage &img, int y, QRgb rgb)
{
    int n = 0;
    for (int x = 0; x < img.width(); ++x)
        n += (img.pixel(x, y) & 0xFFFFFF) == rgb;
    return n;
}

int countColumn(const QImage &img, int x, int y0, int y1, QRgb rgb)
{
    int n = 0;
    for (int y = std::max(0, y0); y <= std::min(img.height() - 1, y1); ++y)
        n += (img.pixel(x, y) & 0xFFFFFF) == rgb;
    return n;
}

// A chart in live state after a load at zoom 1: slots 1..241 hold records
// (one a second up to 2026-03-12 12:00:00), values 0.
std::unique_ptr<Chart> liveChart()
{
    auto c = std::make_unique<Chart>();
    c->Chart_Zoom = 1;
    c->Chart_End = 241;
    c->Load_Count = 241;
    const QDateTime last(QDate(2026, 3, 12), QTime(12, 0, 0));
    for (int s = 1; s <= 241; ++s) {
        const QDateTime t = last.addSecs(s - 241);
        c->Chart_Date[s] = dateSerial(t.date());
        c->Chart_Time[s] = timeSerial(t.time());
    }
    return c;
}

int countColour(const QImage &img, QRgb rgb)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += countRow(img, y, rgb);
    return n;
}

} // namespace

class TestChart : public QObject {
    Q_OBJECT
private slots:
    void applyZoom_data();
    void applyZoom();
    void valueY_data();
    void valueY();
    void gridLines();
    void curveAtMappedRows_data();
    void curveAtMappedRows();
    void curvesEndAtSlot240();
    void emptySlotsDrawNothing_data();
    void emptySlotsDrawNothing();
    void gapMarker_data();
    void gapMarker();
    void timeLabels_data();
    void timeLabels();
    void pagingLabelsShowSlots();
    void yLabels_data();
    void yLabels();
    void yRange_data();
    void yRange();
    void wildValuesDrawSafely_data();
    void wildValuesDrawSafely();
};

void TestChart::applyZoom_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<float>("step");
    QTest::addColumn<int>("base");
    QTest::newRow("1") << 1 << 150.0f << 180;
    QTest::newRow("2") << 2 << 75.0f << 120;
    QTest::newRow("3") << 3 << 50.0f << 60;
    QTest::newRow("4") << 4 << 37.5f << 0;
    QTest::newRow("0 keeps") << 0 << 11.0f << 7;
    QTest::newRow("5 keeps") << 5 << 11.0f << 7;
}

void TestChart::applyZoom()
{
    QFETCH(int, zoom);
    QFETCH(float, step);
    QFETCH(int, base);
    auto c = std::make_unique<Chart>();
    c->Chart_Step = 11;
    c->Chart_Base = 7;
    c->Chart_Zoom = int16_t(zoom);
    Apply_Zoom(*c);
    QCOMPARE(c->Chart_Step, step);
    QCOMPARE(int(c->Chart_Base), base);
    if (zoom >= 1 && zoom <= 4) // slot 240 on x = 9000 at every level
        QCOMPARE((240 - c->Chart_Base) * c->Chart_Step, 9000.0f);
}

void TestChart::valueY_data()
{
    QTest::addColumn<int>("q");
    QTest::addColumn<float>("v");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<double>("y");
    QTest::addColumn<int>("offset");
    QTest::newRow("q0 start range") << 0 << 500.0f << 1500 << 0 << 5008.0 << 0;
    QTest::newRow("q0 top") << 0 << 1500.0f << 1500 << 0 << 8.0 << 0;
    QTest::newRow("min 100 lands on H") << 3 << 100.0f << 1500 << 100 << 7508.0 << 500;
    QTest::newRow("min -200 bottom") << 2 << -200.0f << 1000 << -200 << 7508.0 << -1500;
    QTest::newRow("min -200 top") << 5 << 800.0f << 1000 << -200 << 8.0 << -1500;
    QTest::newRow("min 200 span 800") << 0 << 200.0f << 800 << 200 << 7508.0 << 1875;
    QTest::newRow("q1 zero lifted 625") << 1 << 0.0f << 1500 << 0 << 6883.0 << 0;
    QTest::newRow("q1 100") << 1 << 100.0f << 1500 << 0 << 633.0 << 0;
    QTest::newRow("q1 half to even") << 1 << 0.2f << 1500 << 0 << 6871.0 << 0;  // 12.5 -> 12
    QTest::newRow("q4 zero at bottom") << 4 << 0.0f << 1500 << 0 << 7508.0 << 0;
    QTest::newRow("q4 ignores Y range") << 4 << 20.0f << 100 << 50 << 6258.0 << 3750;
    QTest::newRow("span 0 flat at H") << 0 << 900.0f << 0 << 0 << 7508.0 << 0;
    QTest::newRow("span 0 with min") << 2 << 900.0f << 0 << 40 << 7508.0 << 0;
}

void TestChart::valueY()
{
    QFETCH(int, q);
    QFETCH(float, v);
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(double, y);
    QFETCH(int, offset);
    const float k = yScale(int16_t(span));
    const int16_t off = yOffsetOf(k, int16_t(min));
    QCOMPARE(int(off), offset);
    double got = -1;
    QVERIFY(::valueY(q, v, k, off, &got));
    QCOMPARE(got, y);
}

void TestChart::gridLines()
{
    const QImage img = renderGrid();
    const QRgb grid = 0xFF80FF;
    // Horizontal lines at R(312.5 i) twips, i = 0..24.
    for (int i = 0; i <= 24; ++i) {
        const int row = int(std::lround(roundEven(312.5 * i) / kTpp));
        int best = 0;
        for (int y = row - 1; y <= row + 1; ++y)
            if (y >= 0 && y < img.height())
                best = std::max(best, countRow(img, y, grid));
        QVERIFY2(best > 200, qPrintable(QStringLiteral("line %1 has %2 pixels").arg(i).arg(best)));
    }
    // Halfway between two lines only the dots of the vertical lines show.
    for (int i = 0; i < 24; ++i) {
        const int row = int((312.5 * i + 156) / kTpp);
        QVERIFY(countRow(img, row, grid) <= 34);
    }
    // Vertical lines every 375 twips (25 pixels), over the full height.
    for (int i = 1; i <= 32; ++i)
        QVERIFY(countColumn(img, 25 * i, 0, 500, grid) > 120);
    QCOMPARE(countColumn(img, 12, 30, 60, grid) <= 1, true);
    // Everything else is the background.
    QCOMPARE(img.pixel(12, 10) & 0xFFFFFF, 0xC0FFFFu);
}

void TestChart::curveAtMappedRows_data()
{
    QTest::addColumn<int>("q");
    QTest::addColumn<float>("v");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<double>("yTwips");
    QTest::addColumn<uint>("rgb");
    QTest::newRow("CH1 red") << 0 << 300.0f << 1500 << 0 << 6008.0 << 0xFF0000u;
    QTest::newRow("CH2 fixed scale") << 1 << 50.0f << 1500 << 0 << 3758.0 << 0x808000u;
    QTest::newRow("CH3 dark green") << 2 << 1200.0f << 1500 << 0 << 1508.0 << 0x004000u;
    QTest::newRow("CH4 magenta") << 3 << 700.0f << 1500 << 0 << 4008.0 << 0xFF00FFu;
    QTest::newRow("DA from bottom") << 4 << 40.0f << 1500 << 0 << 5008.0 << 0xC04000u;
    QTest::newRow("q5 blue") << 5 << 1000.0f << 1500 << 0 << 2508.0 << 0x0000FFu;
    QTest::newRow("CH1 min -200 span 1000") << 0 << 300.0f << 1000 << -200 << 3758.0 << 0xFF0000u;
    QTest::newRow("CH3 min 200 span 800") << 2 << 600.0f << 800 << 200 << 3758.0 << 0x004000u;
}

void TestChart::curveAtMappedRows()
{
    QFETCH(int, q);
    QFETCH(float, v);
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(double, yTwips);
    QFETCH(uint, rgb);
    auto c = liveChart();
    // Only quantity q leaves the bottom; the others lie where 0 maps.
    for (int s = 0; s <= 321; ++s)
        c->Chart_Val[s][q] = v;
    const QImage img = Render(*c, nullptr, YRange{int16_t(min), 0, int16_t(span)});
    const int row = int(yTwips / kTpp);
    for (int x : {20, 300, 580}) {
        QVERIFY2(countColumn(img, x, row - 2, row + 2, rgb) >= 1,
                 qPrintable(QStringLiteral("no curve at x %1 row %2").arg(x).arg(row)));
        // Nowhere else in the column.
        QCOMPARE(countColumn(img, x, 0, row - 4, rgb) + countColumn(img, x, row + 4, 500, rgb), 0);
    }
}

void TestChart::curvesEndAtSlot240()
{
    auto c = liveChart();
    for (int s = 0; s <= 321; ++s)
        c->Chart_Val[s][0] = 750;
    const QImage img = Render(*c);
    const int row = int((7508 - 3750) / kTpp);
    QVERIFY(countColumn(img, 598, row - 2, row + 2, 0xFF0000) >= 1); // just left of x = 9000
    QCOMPARE(countColumn(img, 603, 0, 500, 0xFF0000), 0);            // nothing beyond
    // One appended slot more: the curve reaches slot 241 (x = 9150).
    c->Chart_End = 242;
    const QImage more = Render(*c);
    QVERIFY(countColumn(more, 608, row - 2, row + 2, 0xFF0000) >= 1);
    QCOMPARE(countColumn(more, 613, 0, 500, 0xFF0000), 0);
}

void TestChart::emptySlotsDrawNothing_data()
{
    // Slots first..last hold records (value 750); the others are empty.
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("fromColumn"); // red expected from here ...
    QTest::addColumn<int>("toColumn");   // ... to here; -1: no red at all
    QTest::addColumn<int>("emptyColumn"); // and none here
    QTest::newRow("fresh ring") << 1 << 0 << -1 << -1 << -1 << -1;
    QTest::newRow("one record") << 1 << 241 << 241 << -1 << -1 << -1;
    QTest::newRow("zoom 4 slot 0 empty") << 4 << 1 << 241 << 3 << 598 << 0;
    QTest::newRow("short ring right-aligned") << 1 << 221 << 241 << 412 << 598 << 406;
}

void TestChart::emptySlotsDrawNothing()
{
    QFETCH(int, zoom);
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, fromColumn);
    QFETCH(int, toColumn);
    QFETCH(int, emptyColumn);
    auto c = std::make_unique<Chart>();
    c->Chart_Zoom = int16_t(zoom);
    c->Chart_End = 241;
    c->Load_Count = 241;
    for (int s = 0; s <= 321; ++s)
        c->Chart_Val[s][0] = 750;
    const QDateTime at(QDate(2026, 3, 12), QTime(12, 0, 0));
    for (int s = first; s <= last; ++s) {
        c->Chart_Date[s] = dateSerial(at.date());
        c->Chart_Time[s] = timeSerial(at.addSecs(s).time());
    }
    ChartLabels labels;
    const QImage img = Render(*c, &labels);
    if (fromColumn < 0) {
        QCOMPARE(countColour(img, 0xFF0000), 0);
    } else {
        const int row = int((7508 - 3750) / kTpp);
        QVERIFY(countColumn(img, fromColumn, row - 2, row + 2, 0xFF0000) >= 1);
        QVERIFY(countColumn(img, toColumn, row - 2, row + 2, 0xFF0000) >= 1);
        QCOMPARE(countColumn(img, emptyColumn, 0, 500, 0xFF0000), 0);
    }
    // Empty slots get no caption: never the zero date of 1899.
    for (int i = 0; i <= 8; ++i) {
        QVERIFY(!labels.Label7[i].contains(QLatin1String("1899")));
        const int s = c->Chart_Base + 1 + 10 * zoom * i;
        if (i < 7 && (s < first || s > last))
            QVERIFY(labels.Label4[i].isEmpty());
    }
    if (last < 241) // nothing to run ahead of
        QVERIFY(labels.Label4[7].isEmpty() && labels.Label4[8].isEmpty());
}

void TestChart::gapMarker_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("column"); // -1: no marker anywhere
    QTest::newRow("zoom 1 slot 200") << 1 << 200 << 200;      // k 20, x 3000
    QTest::newRow("zoom 4 slot 100") << 4 << 100 << 250;      // k 100, x 3750
    QTest::newRow("zoom 2 slot 123") << 2 << 123 << 15;       // k 3, x 225
    QTest::newRow("slot 1 at zoom 1") << 1 << 1 << -1;        // outside 1..K
    QTest::newRow("slot 241 live zoom 1") << 1 << 241 << -1;  // K ends at 240
}

void TestChart::gapMarker()
{
    QFETCH(int, zoom);
    QFETCH(int, slot);
    QFETCH(int, column);
    auto c = liveChart();
    c->Chart_Zoom = int16_t(zoom);
    c->Chart_Gap[slot] = int16_t(slot);
    const QImage img = Render(*c);
    int yellow = 0;
    for (int y = 0; y < img.height(); ++y)
        yellow += countRow(img, y, 0xFFFF00);
    if (column < 0) {
        QCOMPARE(yellow, 0);
        return;
    }
    // A dashed line over the full height of the column, nothing elsewhere.
    const int inColumn = countColumn(img, column, 0, 500, 0xFFFF00);
    QVERIFY2(inColumn > 150 && inColumn < 470, qPrintable(QString::number(inColumn)));
    QCOMPARE(yellow, inColumn);
}

void TestChart::timeLabels_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QTime>("t241");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QStringList>("dates");
    const QStringList d1 = {"2026-03-12", "2026-03-12", "2026-03-12", "2026-03-12", "2026-03-12",
                            "2026-03-12", "2026-03-12", "2026-03-12", "2026-03-12"};
    QTest::newRow("zoom 1")
        << 1 << QTime(12, 0, 0)
        << QStringList{"11:59:00", "11:59:10", "11:59:20", "11:59:30", "11:59:40", "11:59:50", "12:00:00",
                       "12:00:10", "12:00:20"}
        << d1;
    QTest::newRow("zoom 4")
        << 4 << QTime(12, 0, 0)
        << QStringList{"11:56:00", "11:56:40", "11:57:20", "11:58:00", "11:58:40", "11:59:20", "12:00:00",
                       "12:00:40", "12:01:20"}
        << d1;
    QStringList d2 = d1;
    d2[7] = d2[8] = QStringLiteral("2026-03-13");
    QTest::newRow("zoom 1 across midnight")
        << 1 << QTime(23, 59, 55)
        << QStringList{"23:58:55", "23:59:05", "23:59:15", "23:59:25", "23:59:35", "23:59:45", "23:59:55",
                       "00:00:05", "00:00:15"}
        << d2;
    QStringList d3 = d1;
    for (int i = 7; i <= 8; ++i)
        d3[i] = QStringLiteral("2026-03-13");
    QTest::newRow("zoom 4 across midnight")
        << 4 << QTime(23, 59, 30)
        << QStringList{"23:55:30", "23:56:10", "23:56:50", "23:57:30", "23:58:10", "23:58:50", "23:59:30",
                       "00:00:10", "00:00:50"}
        << d3;
}

void TestChart::timeLabels()
{
    QFETCH(int, zoom);
    QFETCH(QTime, t241);
    QFETCH(QStringList, times);
    QFETCH(QStringList, dates);
    auto c = liveChart();
    c->Chart_Zoom = int16_t(zoom);
    // One record per second, slot 241 at t241 on 2026-03-12.
    const QDateTime last(QDate(2026, 3, 12), t241);
    for (int s = 1; s <= 241; ++s) {
        const QDateTime t = last.addSecs(s - 241);
        c->Chart_Date[s] = dateSerial(t.date());
        c->Chart_Time[s] = timeSerial(t.time());
    }
    ChartLabels labels;
    Render(*c, &labels);
    for (int i = 0; i <= 8; ++i) {
        QCOMPARE(labels.Label4[i], times[i]);
        QCOMPARE(labels.Label7[i], dates[i]);
    }
}

void TestChart::pagingLabelsShowSlots()
{
    auto c = liveChart();
    c->Load_Count = 321;
    c->Chart_End = 321;
    const QDateTime first(QDate(2026, 3, 12), QTime(8, 0, 0));
    for (int s = 1; s <= 321; ++s) {
        c->Chart_Date[s] = dateSerial(first.date());
        c->Chart_Time[s] = timeSerial(first.addSecs(s - 1).time());
    }
    ChartLabels labels;
    Render(*c, &labels);
    QCOMPARE(labels.Label4[6], QStringLiteral("08:04:00")); // slot 241
    QCOMPARE(labels.Label4[7], QStringLiteral("08:04:10")); // slot 251
    QCOMPARE(labels.Label4[8], QStringLiteral("08:04:20")); // slot 261
}

void TestChart::yLabels_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<QList<int>>("values");
    QTest::newRow("start range") << 1500 << 0 << QList<int>{0, 250, 500, 750, 1000, 1250, 1500};
    QTest::newRow("1000 over -200") << 1000 << -200 << QList<int>{-200, -33, 133, 300, 467, 633, 800};
    QTest::newRow("800 over 200") << 800 << 200 << QList<int>{200, 333, 467, 600, 733, 867, 1000};
    QTest::newRow("span 0") << 0 << 5 << QList<int>{5, 5, 5, 5, 5, 5, 5};
    QTest::newRow("widest") << 32767 << -12000 << QList<int>{-12000, -6539, -1078, 4384, 9845, 15306, 20767};
}

void TestChart::yLabels()
{
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(QList<int>, values);
    for (int i = 0; i <= 6; ++i)
        QCOMPARE(yLabelValue(i, int16_t(span), int16_t(min)), values[i]);
}

void TestChart::yRange_data()
{
    QTest::addColumn<QString>("maxText");
    QTest::addColumn<QString>("minText");
    QTest::addColumn<int>("check");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("span");
    const int ok = int(YCheck::Ok);
    QTest::newRow("1000 over 200") << "1000" << "200" << ok << 200 << 1000 << 800;
    QTest::newRow("500 over 500") << "500" << "500" << int(YCheck::MinNotBelow) << 0 << 0 << 0;
    QTest::newRow("36001 before min") << "36001" << "abc" << int(YCheck::MaxOut) << 0 << 0 << 0;
    QTest::newRow("max below -12000") << "-12001" << "-20000" << int(YCheck::MaxOut) << 0 << 0 << 0;
    QTest::newRow("empty max, min 0") << "" << "0" << int(YCheck::MinNotBelow) << 0 << 0 << 0;
    QTest::newRow("12 with letters") << "12abc" << "-5" << ok << -5 << 12 << 17;
    QTest::newRow("min above 35000") << "36000" << "35001" << int(YCheck::MinOut) << 0 << 0 << 0;
    QTest::newRow("min below -12000") << "100" << "-12001" << int(YCheck::MinOut) << 0 << 0 << 0;
    QTest::newRow("0.4 over 0 refused") << "0.4" << "0" << int(YCheck::ZeroSpan) << 0 << 0 << 0;
    QTest::newRow("30000 over -12000 refused") << "30000" << "-12000" << int(YCheck::NoFit) << 0 << 0 << 0;
    QTest::newRow("36000 over 0 refused") << "36000" << "0" << int(YCheck::NoFit) << 0 << 0 << 0;
    QTest::newRow("35000 over 34000 refused") << "35000" << "34000" << int(YCheck::NoFit) << 0 << 0 << 0;
    QTest::newRow("halves to even") << "100.5" << "-2.5" << ok << -2 << 100 << 103;
    QTest::newRow("widest that fits") << "20767" << "-12000" << ok << -12000 << 20767 << 32767;
}

void TestChart::yRange()
{
    QFETCH(QString, maxText);
    QFETCH(QString, minText);
    QFETCH(int, check);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, span);
    YRange r{7, 8, 9};
    const YCheck got = checkYRange(maxText, minText, &r);
    QCOMPARE(int(got), check);
    if (got == YCheck::Ok) {
        QCOMPARE(int(r.Min), min);
        QCOMPARE(int(r.Max), max);
        QCOMPARE(int(r.Span), span);
        QVERIFY(yCheckText(got).isEmpty());
    } else {
        QCOMPARE(int(r.Min), 7); // untouched
        QVERIFY(!yCheckText(got).isEmpty());
    }
}

// Pixels of the Y-range curves (CH1, CH3, CH4, q5) in column x, rows y0..y1.
static int countYRange(const QImage &img, int x, int y0, int y1)
{
    int n = 0;
    for (QRgb rgb : {0xFF0000u, 0x004000u, 0xFF00FFu, 0x0000FFu})
        n += countColumn(img, x, y0, y1, rgb);
    return n;
}

// Slot 210 (x = 300 at zoom 1) holds v in every quantity, all other slots
// hold 0 in the Y-range quantities (the bottom edge for every row here),
// 50 in CH2 (row 250) and 40 in DA (row 333). row: where the Y-range curves
// meet slot 210; -1: its segments are left out.
void TestChart::wildValuesDrawSafely_data()
{
    QTest::addColumn<float>("v");
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("row");
    QTest::newRow("huge") << 3.0e38f << 1500 << 0 << -1;
    QTest::newRow("minus huge") << -3.0e38f << 1 << -32768 << -1;
    QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1500 << 0 << -1;
    QTest::newRow("nan") << std::numeric_limits<float>::quiet_NaN() << 1500 << 0 << -1;
    QTest::newRow("span 0") << 1000.0f << 0 << 100 << 500;              // flat along the bottom
    QTest::newRow("offset beyond 16 bits") << 1.0f << 1 << 30000 << 0;   // offset kept at 0: 1 is the top
    QTest::newRow("negative span") << 10.0f << -1500 << 0 << 503;        // below the bottom edge
}

void TestChart::wildValuesDrawSafely()
{
    QFETCH(float, v);
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(int, row);
    auto c = liveChart();
    for (int s = 0; s <= 321; ++s) {
        for (int q : {0, 2, 3, 5})
            c->Chart_Val[s][q] = 0.0f;
        c->Chart_Val[s][1] = 50.0f;
        c->Chart_Val[s][4] = 40.0f;
    }
    for (int q = 0; q < 6; ++q)
        c->Chart_Val[210][q] = v;
    const QImage img = Render(*c, nullptr, YRange{int16_t(min), 0, int16_t(span)});

    // Away from slot 210 nothing is disturbed: the Y-range curves lie along
    // the bottom, CH2 and DA on their own rows.
    for (int x = 0; x <= 600; ++x) {
        if (x >= 280 && x <= 320 && row != 500)
            continue;
        QVERIFY2(countYRange(img, x, 0, 494) == 0, qPrintable(QStringLiteral("Y-range curve above the bottom at x %1").arg(x)));
    }
    for (int x : {20, 270, 330, 580}) {
        QVERIFY2(countYRange(img, x, 497, 500) >= 1, qPrintable(QStringLiteral("no curve along the bottom at x %1").arg(x)));
        QVERIFY(countColumn(img, x, 248, 252, 0x808000) >= 1);
        QVERIFY(countColumn(img, x, 331, 335, 0xC04000) >= 1);
    }
    if (row < 0) {
        // Both segments meeting slot 210 are left out, in every quantity.
        for (int x = 294; x <= 306; ++x)
            for (QRgb rgb : {0xFF0000u, 0x004000u, 0xFF00FFu, 0x0000FFu, 0x808000u, 0xC04000u})
                QVERIFY2(countColumn(img, x, 0, 500, rgb) == 0, qPrintable(QStringLiteral("curve drawn at x %1").arg(x)));
    } else if (row <= 500) {
        QVERIFY(countYRange(img, 300, row - 2, row + 2) >= 1);
    } else {
        QCOMPARE(countYRange(img, 300, 0, 494), 0);
    }
}

QTEST_MAIN(TestChart)
#include "tst_chart.moc"
