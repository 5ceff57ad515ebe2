// The history plot's pure parts: min/max reduction per pixel column, held
// stretches, time-axis ticks, and the plot rendered into an image.
#include "chart/historyplot.h"
#include "core/chart_model.h"

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QDateTime kStart(QDate(2026, 3, 12), QTime(10, 17, 23));

// n records one second apart from kStart, CH1 = base, the others 0.
std::vector<HistoryRecord> flatRecords(int n, float base)
{
    std::vector<HistoryRecord> r(static_cast<size_t>(n));
    const qint64 t0 = kStart.toMSecsSinceEpoch();
    for (int i = 0; i < n; ++i) {
        r[size_t(i)].msecs = t0 + qint64(i) * 1000;
        r[size_t(i)].values[0] = base;
    }
    return r;
}

// A plot whose data area is dataWidth x 400 pixels.
QImage render(const HistoryPlotInput &in, int dataWidth, QRectF *area)
{
    const int w = dataWidth + int(HistoryPlot::kLeft + HistoryPlot::kRight);
    const int h = 400 + int(HistoryPlot::kTop + HistoryPlot::kBottom);
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    HistoryPlot plot;
    plot.paint(p, QRectF(0, 0, w, h), in);
    p.end();
    *area = HistoryPlot::dataArea(QRectF(0, 0, w, h));
    return img;
}

int countRgb(const QImage &img, int x0, int x1, int y0, int y1, QRgb rgb)
{
    int n = 0;
    for (int x = std::max(0, x0); x <= std::min(img.width() - 1, x1); ++x)
        for (int y = std::max(0, y0); y <= std::min(img.height() - 1, y1); ++y)
            n += (img.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF);
    return n;
}

} // namespace

class TestHistoryPlot : public QObject {
    Q_OBJECT
private slots:
    void reduceKeepsFirstLowHighLast();
    void spikeAmongFullRing_data();
    void spikeAmongFullRing();
    void heldRecordsShaded();
    void timeTicks_data();
    void timeTicks();
};

void TestHistoryPlot::reduceKeepsFirstLowHighLast()
{
    // Eight records into five columns of two seconds; then one more ten minutes
    // after the last.
    auto r = flatRecords(8, 0);
    const float v[8] = {5, 1, 7, 3, 9, 4, 2, 6};
    for (int i = 0; i < 8; ++i)
        r[size_t(i)].values[0] = v[i];
    HistoryRecord late = r.back();
    late.msecs += 600 * 1000;
    const qint64 t0 = r.front().msecs;
    std::vector<PlotColumn> cols;
    reduceColumns(r, double(t0), double(t0 + 10000), 5, cols);
    QCOMPARE(int(cols.size()), 5);
    QCOMPARE(cols[0].count, 2);
    QCOMPARE(cols[1].first[0], 7.f);
    QCOMPARE(cols[1].low[0], 3.f);
    QCOMPARE(cols[1].high[0], 7.f);
    QCOMPARE(cols[2].high[0], 9.f);
    QCOMPARE(cols[3].last[0], 6.f);
    QCOMPARE(cols[4].count, 0);

    r.push_back(late);
    reduceColumns(r, double(t0), double(late.msecs + 1), 2, cols);
    QVERIFY(!cols[0].gapBefore);
    QVERIFY(cols[1].gapBefore);
}

void TestHistoryPlot::spikeAmongFullRing_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<float>("spike");
    QTest::newRow("first, up") << 0 << 1400.f;
    QTest::newRow("middle, up") << 32777 << 1400.f;
    QTest::newRow("middle, down") << 40001 << 20.f;
    QTest::newRow("last, up") << 65499 << 1400.f;
}

void TestHistoryPlot::spikeAmongFullRing()
{
    QFETCH(int, index);
    QFETCH(float, spike);
    auto r = flatRecords(kRingSize, 750);
    r[size_t(index)].values[0] = spike;
    HistoryPlotInput in;
    in.records = &r;
    in.fromMs = double(r.front().msecs);
    in.toMs = double(r.back().msecs + 1000);
    in.shown = {true, false, false, false, false, false};
    QRectF area;
    const QImage img = render(in, 1920, &area);

    const double x = area.left() + (double(r[size_t(index)].msecs) - in.fromMs) / (in.toMs - in.fromMs) * area.width();
    const double y = area.bottom() - spike / 1500.0 * area.height();
    QVERIFY2(countRgb(img, int(x) - 1, int(x) + 1, int(y) - 2, int(y) + 2, 0xFF0000) > 0,
             qPrintable(QStringLiteral("no red near (%1, %2)").arg(x).arg(y)));
    // Elsewhere the curve stays on its level.
    const double yFlat = area.bottom() - 750 / 1500.0 * area.height();
    const int xFar = int(x) < area.center().x() ? int(x) + 400 : int(x) - 400;
    QCOMPARE(countRgb(img, xFar, xFar, int(area.top()), int(area.bottom()), 0xFF0000),
             countRgb(img, xFar, xFar, int(yFlat) - 2, int(yFlat) + 2, 0xFF0000));
}

void TestHistoryPlot::heldRecordsShaded()
{
    // 600 records, 200..299 held.
    auto r = flatRecords(600, 750);
    for (int i = 200; i < 300; ++i)
        r[size_t(i)].fresh = false;
    const auto held = heldStretches(r);
    HistoryPlotInput in;
    in.records = &r;
    in.held = &held;
    in.fromMs = double(r.front().msecs);
    in.toMs = double(r.back().msecs + 1000);
    QRectF area;
    const QImage img = render(in, 600, &area);

    // A row between two grid lines, clear of every curve.
    const int y = int(area.top() + area.height() / 12);
    const int x0 = int(area.left()), xs = x0 + 200, xe = x0 + 300;
    const int heldIn = countRgb(img, xs + 2, xe - 3, y, y, HistoryPlot::heldColour.rgb());
    QVERIFY2(heldIn >= 90, qPrintable(QString::number(heldIn)));
    QCOMPARE(countRgb(img, x0 + 2, xs - 3, y, y, HistoryPlot::heldColour.rgb()), 0);
    QCOMPARE(countRgb(img, xe + 2, int(area.right()) - 2, y, y, HistoryPlot::heldColour.rgb()), 0);
}

void TestHistoryPlot::timeTicks_data()
{
    QTest::addColumn<qint64>("span");
    QTest::addColumn<qint64>("step");
    QTest::addColumn<QString>("label");
    // 1000 pixels, labels at least 90 apart.
    QTest::newRow("1 min") << qint64(60) * 1000 << qint64(10) * 1000 << "^\\d\\d:\\d\\d:\\d\\d$";
    QTest::newRow("1 h") << qint64(3600) * 1000 << qint64(600) * 1000 << "^\\d\\d:\\d\\d$";
    QTest::newRow("1 day") << qint64(86400) * 1000 << qint64(3 * 3600) * 1000 << "^\\d\\d:\\d\\d$";
    QTest::newRow("7 days") << qint64(7 * 86400) * 1000 << qint64(86400) * 1000 << "^2026-03-\\d\\d$";
}

void TestHistoryPlot::timeTicks()
{
    QFETCH(qint64, span);
    QFETCH(qint64, step);
    QFETCH(QString, label);
    const qint64 from = kStart.toMSecsSinceEpoch(), to = from + span;
    const auto ticks = ::timeTicks(from, to, 1000, 90);
    QVERIFY(ticks.size() >= 3);
    QVERIFY(ticks.front().msecs >= from && ticks.front().msecs < from + step);
    QVERIFY(ticks.back().msecs <= to);
    const QRegularExpression re(label);
    QDate day;
    for (size_t i = 0; i < ticks.size(); ++i) {
        const TimeTick &t = ticks[i];
        if (i > 0)
            QCOMPARE(t.msecs - ticks[i - 1].msecs, step);
        const QDateTime dt = QDateTime::fromMSecsSinceEpoch(t.msecs);
        QCOMPARE(dt.time().msecsSinceStartOfDay() % std::min(step, qint64(86400) * 1000), 0); // round local times
        QVERIFY2(re.match(t.time).hasMatch(), qPrintable(t.time));
        QVERIFY(!t.time.contains(QStringLiteral("1899")) && !t.date.contains(QStringLiteral("1899")));
        // The date is said on the first tick and where the day changes.
        if (step < 86400 * 1000)
            QCOMPARE(t.date.isEmpty(), dt.date() == day);
        day = dt.date();
    }
    QVERIFY(::timeTicks(from, from, 1000, 90).empty());
}

QTEST_MAIN(TestHistoryPlot)
#include "tst_historyplot.moc"
