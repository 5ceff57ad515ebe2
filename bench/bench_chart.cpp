// One full repaint of the trend chart: zoom level 4, every slot filled, the
// six curves moving, into the drawing area's backing image (offscreen).
#include "chart/chart_view.h"
#include "core/dates.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

static void BM_Redraw_Chart_Zoom4(benchmark::State &state)
{
    auto c = std::make_unique<Chart>();
    c->Chart_Zoom = 4;
    c->Chart_End = 321;
    c->Load_Count = 321;
    const QDateTime t0(QDate(2026, 3, 12), QTime(23, 55, 0));
    for (int s = 1; s <= 321; ++s) {
        for (int q = 0; q < 8; ++q)
            c->Chart_Val[s][q] = float(700 + 600 * std::sin(s * 0.05 + q) + (q == 1 || q == 4 ? -650 : 0));
        const QDateTime t = t0.addSecs(s);
        c->Chart_Date[s] = dateSerial(t.date());
        c->Chart_Time[s] = timeSerial(t.time());
        c->Chart_Gap[s] = (s % 50 == 0) ? int16_t(s) : int16_t(0);
    }
    PtBox pt;
    ChartLabels labels;
    for (auto _ : state) {
        pt.Redraw_Chart(*c, &labels, YRange{0, 1500, 1500});
        benchmark::DoNotOptimize(pt.picture().constBits());
    }
    state.counters["budget_ms"] = 5.0;
}
BENCHMARK(BM_Redraw_Chart_Zoom4)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
