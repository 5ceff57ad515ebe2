// Costs of the logging cycle and of loading history, on full rings.
//
// The logging tick runs on the UI thread every 100 ms; in one second it reads
// sl_void ten times and writes one record (plus one ten-second record in ten
// seconds). All figures are wall-clock time: a commit waits for the disk.
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/history.h"
#include "logging/log_db.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

QDateTime g_now(QDate(2026, 3, 12), QTime(12, 0, 0));
qint64 g_fileBytes = 0;

// Both rings full (65500 records each), newest ids in the middle of the ring.
bool makeFullDatabase(const TempDatabase &db)
{
    bool ok = db.isValid() && db.fill(DbRing::Pv, 1, kRingSize, g_now.addSecs(1 - kRingSize))
              && db.fill(DbRing::Lpv, 1, kRingSize, g_now.addSecs(10 * (1 - kRingSize)), 10);
    if (ok)
        sqlRows(db.path(), QStringLiteral("UPDATE sl_void SET pv_id = 30000, pv_id_copy = 30000, lpv_id = 30000, lpv_id_copy = 30000"), &ok);
    g_fileBytes = QFileInfo(db.path()).size();
    return ok;
}

struct Logging {
    Logging()
    {
        clock.set([] { return g_now; });
        m = std::make_unique<mscom>(live, times, files);
        m->Form_Load();
        m->Timer1.stop(); // ticks are driven by the benchmark
        m->Timer1_Timer();
    }
    LiveTables live;
    LogTimes times;
    Clock clock;
    DbFiles files{clock};
    std::unique_ptr<mscom> m;
};

// A tick in the same clock second: only the sl_void read.
void BM_Tick_Read(benchmark::State &state)
{
    Logging l;
    for (auto _ : state)
        l.m->Timer1_Timer();
    if (!l.m->loggingOk())
        state.SkipWithError("logging stopped");
}

// A tick one second later: sl_void read plus one committed one-second record
// (and a ten-second record every tenth tick).
void BM_Tick_Write(benchmark::State &state)
{
    Logging l;
    for (auto _ : state) {
        g_now = g_now.addSecs(1);
        l.m->Timer1_Timer();
    }
    if (!l.m->loggingOk())
        state.SkipWithError("logging stopped");
}

// One second of logging: ten ticks, one of them writing. The counter is the
// share of the time the UI thread spends in the logging, in percent.
void BM_Logging_Second(benchmark::State &state)
{
    Logging l;
    for (auto _ : state) {
        g_now = g_now.addSecs(1);
        for (int i = 0; i < 10; ++i)
            l.m->Timer1_Timer();
    }
    if (!l.m->loggingOk())
        state.SkipWithError("logging stopped");
    state.counters["busy_pct"] = benchmark::Counter(double(state.iterations()) / 100.0,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Load_History(benchmark::State &state)
{
    Clock clock;
    DbFiles files(clock);
    DbConn main(files, QStringLiteral("Main_Conn"));
    if (!main.open()) {
        state.SkipWithError("open failed");
        return;
    }
    auto c = std::make_unique<Chart>();
    for (auto _ : state) {
        c->Win_Last_Id = int32_t(state.range(0));
        c->Load_Count = int32_t(state.range(1));
        if (!Load_History(*c, main))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(c->Chart_Val[1][0]);
    }
    state.counters["db_bytes"] = double(g_fileBytes);
}

} // namespace

BENCHMARK(BM_Tick_Read)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Tick_Write)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Logging_Second)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Load_History)->Args({30000, 321})->Args({100, 321})->Args({30000, 241})->UseRealTime()->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const TempDatabase db; // on disk, so commits pay for their fsync
    const QString path = db.path();
    if (!makeFullDatabase(db)) {
        std::fprintf(stderr, "could not build the database at %s\n", qPrintable(path));
        return 1;
    }
    std::printf("database with both rings full: %lld bytes (%s)\n", static_cast<long long>(g_fileBytes), qPrintable(path));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("database after the runs: %lld bytes\n", static_cast<long long>(QFileInfo(path).size()));
    return 0;
}
