// Acquisition timing against the simulator over a pseudo-terminal.
//
// BM_AcquisitionTick: one tick (input registers 1..16 and the status word),
// simulator pacing at 9600 baud, against the wire time of the bytes of both
// exchanges. BM_UiGapSilent: with the simulator silent and the link open, the
// longest time the UI thread goes without handling events.

#include "link/link.h"
#include "link/met1.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

// Bytes on the wire of one tick: 8-byte request + 37-byte reply for 16 input
// registers, 8-byte request + 7-byte reply for 16 discrete inputs.
constexpr int kTickBytes = 8 + 37 + 8 + 7;
constexpr double kWireMs9600 = kTickBytes * 10 * 1000.0 / 9600; // 8N1: 10 bits a byte

struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<Link> link;
    LinkSettings settings;
    LiveTables live;
    Clock clock;
    bool ok = false;

    Rig()
    {
        qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
        sim = std::make_unique<SimProcess>(dir.path(), 1, QStringList{"--pace", "--baud", "9600"});
        link = std::make_unique<Link>();
        settings.Link_Par[0] = 1;
        settings.Link_Par[1] = 1;
        settings.Link_Par[3] = 1;
        QEventLoop loop;
        link->OpenPort_Modbus(1, 1, 0, &loop, [&](const LinkResult &r) {
            ok = sim->isReady() && r.result == kModbusOk;
            loop.quit();
        });
        loop.exec();
    }
};

// Made at its first use and ended by main() while the application still
// runs: the link's thread is stopped through the event loop.
std::unique_ptr<Rig> theRig;

Rig &rig()
{
    if (!theRig)
        theRig = std::make_unique<Rig>();
    return *theRig;
}

void BM_AcquisitionTick(benchmark::State &state)
{
    Rig &r = rig();
    if (!r.ok) {
        state.SkipWithError("simulator not ready");
        return;
    }
    r.sim->command("fault none");
    Met1 met(*r.link, r.settings, r.live, r.clock);
    for (auto _ : state) {
        QEventLoop loop;
        QObject::connect(&met, &Met1::tickDone, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        met.Timer1_Timer();
        loop.exec();
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        if (met.failCount() != 0)
            state.SkipWithError("a tick failed");
    }
    state.counters["wire_ms"] = kWireMs9600;
}
BENCHMARK(BM_AcquisitionTick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_UiGapSilent(benchmark::State &state)
{
    Rig &r = rig();
    if (!r.ok) {
        state.SkipWithError("simulator not ready");
        return;
    }
    r.sim->command("fault silent");
    Met1 met(*r.link, r.settings, r.live, r.clock);
    met.Timer1.start();
    double worst = 0;
    for (auto _ : state) {
        // 3 s of a silent instrument; a 5 ms timer measures how long the UI
        // thread goes between two handled events.
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        QTimer probe;
        probe.setInterval(5);
        QEventLoop loop;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            worst = std::max(worst, double(now - last) / 1e6);
            last = now;
            if (now > 3'000'000'000LL)
                loop.quit();
        });
        probe.start();
        loop.exec();
    }
    met.Timer1.stop();
    r.sim->command("fault none");
    state.counters["max_gap_ms"] = worst;
    state.counters["failed_ticks"] = met.failCount();
}
BENCHMARK(BM_UiGapSilent)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    theRig.reset();
    return 0;
}
