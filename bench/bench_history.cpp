// The history plot from data to pixels: a full one-second ring (65,500
// records, six moving curves, held stretches, events) reduced and painted
// at 1920 data pixels, and the redraw of a pan over a quarter of it.
#include "chart/historyplot.h"
#include "core/chart_model.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {

struct Fixture {
    std::vector<HistoryRecord> records;
    std::vector<HistoryEvent> events;
    std::vector<std::pair<qint64, qint64>> held;
    QImage image;
    HistoryPlot plot;

    Fixture()
    {
        const qint64 t0 = QDateTime(QDate(2026, 3, 12), QTime(0, 0)).toMSecsSinceEpoch();
        records.resize(kRingSize);
        for (int i = 0; i < kRingSize; ++i) {
            HistoryRecord &r = records[size_t(i)];
            r.msecs = t0 + qint64(i) * 1000;
            for (int q = 0; q < 8; ++q)
                r.values[size_t(q)] = float(700 + 600 * std::sin(i * 0.001 + q) + 40 * std::sin(i * 0.37 * (q + 1)) +
                                            (q == 1 || q == 4 ? -650 : 0));
            r.fresh = (i / 5000) % 4 != 3;
        }
        for (int i = 0; i < 200; ++i)
            events.push_back({t0 + qint64(i) * 327000, EventKind(i % 9), 1, 0, 0, {}, {}, {}, {}});
        held = heldStretches(records);
        const int w = 1920 + int(HistoryPlot::kLeft + HistoryPlot::kRight);
        image = QImage(w, 600 + int(HistoryPlot::kTop + HistoryPlot::kBottom), QImage::Format_RGB32);
    }

    void paint(double from, double to)
    {
        HistoryPlotInput in;
        in.records = &records;
        in.events = &events;
        in.held = &held;
        in.fromMs = from;
        in.toMs = to;
        in.markerA = records[1000].msecs;
        in.markerB = records[30000].msecs;
        QPainter p(&image);
        plot.paint(p, QRectF(image.rect()), in);
    }
};

} // namespace

static void BM_History_FullRing_1920(benchmark::State &state)
{
    Fixture f;
    const double from = double(f.records.front().msecs), to = double(f.records.back().msecs + 1000);
    for (auto _ : state) {
        f.paint(from, to);
        benchmark::DoNotOptimize(f.image.constBits());
    }
    state.counters["budget_ms"] = 50.0;
}
BENCHMARK(BM_History_FullRing_1920)->Unit(benchmark::kMillisecond);

static void BM_History_Pan_1920(benchmark::State &state)
{
    Fixture f;
    const double span = double(f.records.back().msecs - f.records.front().msecs) / 4;
    double from = double(f.records.front().msecs);
    const double shift = span / 1920 * 7; // seven pixels a redraw
    for (auto _ : state) {
        f.paint(from, from + span);
        from += shift;
        if (from + span > double(f.records.back().msecs))
            from = double(f.records.front().msecs);
        benchmark::DoNotOptimize(f.image.constBits());
    }
    state.counters["budget_ms"] = 16.0;
}
BENCHMARK(BM_History_Pan_1920)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
