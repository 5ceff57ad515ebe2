// Several stations on one line, against the simulator.
//
// BM_SerialRound/N: one round of polls of N stations (each both reads),
// simulator pacing at 9600 baud, against the wire time of N stations' bytes.
// BM_SerialCycle/N/silent: the line polled by the stations' own timers, with
// or without one more station that never answers: station 1's period.
// BM_TcpRound: one round of 8 stations over Modbus TCP on 127.0.0.1.
// BM_SixteenStations: the headless logger serving 16 stations for
// QR_SOAK_SECONDS (60 by default): its share of a core, its memory, and the
// seconds missing in any station's one-second ring.

#include "link/line.h"
#include "link/met1.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <csignal>
#include <memory>
#include <vector>

namespace {

// Bytes on the wire of one station's poll: 8-byte request + 37-byte reply for
// 16 input registers, 8-byte request + 7-byte reply for 16 discrete inputs.
constexpr double kStationWireMs9600 = (8 + 37 + 8 + 7) * 10 * 1000.0 / 9600; // 8N1

QString stationList(int from, int to)
{
    QStringList s;
    for (int i = from; i <= to; ++i)
        s << QString::number(i);
    return s.join(u',');
}

// A line with its stations, polled one round at a time by hand.
struct Rig {
    Line line;
    std::vector<std::unique_ptr<LinkSettings>> settings;
    std::vector<std::unique_ptr<LiveTables>> live;
    std::vector<std::unique_ptr<Met1>> met;
    Clock clock;

    bool open(const QString &path, const QList<int> &stations)
    {
        for (const int s : stations) {
            settings.push_back(std::make_unique<LinkSettings>());
            settings.back()->Link_Par[0] = 1;
            settings.back()->Link_Par[3] = s;
            live.push_back(std::make_unique<LiveTables>());
            met.push_back(std::make_unique<Met1>(line.link, *settings.back(), *live.back(), clock));
            line.control.addStation(*met.back(), *settings.back());
        }
        bool ok = false;
        QEventLoop loop;
        line.link.OpenPort_Modbus(1, 1, 0, path, &loop, [&](const LinkResult &r) {
            ok = r.result == kModbusOk;
            loop.quit();
        });
        loop.exec();
        return ok;
    }
    // One round: every station's tick at once (a station being backed off
    // may skip its turn), until all that asked are back; its milliseconds.
    double round()
    {
        int left = 0;
        QEventLoop loop;
        std::vector<QMetaObject::Connection> done;
        QElapsedTimer t;
        t.start();
        for (auto &m : met) {
            m->Timer1_Timer();
            if (!m->tickBusy())
                continue; // skipped its turn
            ++left;
            done.push_back(QObject::connect(m.get(), &Met1::tickDone, &loop, [&] {
                if (--left == 0)
                    loop.quit();
            }));
        }
        if (left > 0)
            loop.exec();
        for (const auto &c : done)
            QObject::disconnect(c);
        return double(t.nsecsElapsed()) / 1e6;
    }
    bool allGood(int stations) const
    {
        for (int i = 0; i < stations; ++i)
            if (met[size_t(i)]->failCount() != 0)
                return false;
        return true;
    }
};

QList<int> stationsUpTo(int n)
{
    QList<int> s;
    for (int i = 1; i <= n; ++i)
        s << i;
    return s;
}

void BM_SerialRound(benchmark::State &state)
{
    const int n = int(state.range(0));
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), stationList(1, n), QStringLiteral("--pace"),
                                   QStringLiteral("--baud"), QStringLiteral("9600")});
    Rig rig;
    if (!sim.isReady() || !rig.open(sim.devicePath(), stationsUpTo(n))) {
        state.SkipWithError("simulator not ready");
        return;
    }
    rig.round(); // the first poll of each
    for (auto _ : state) {
        state.SetIterationTime(rig.round() / 1000.0);
        if (!rig.allGood(n))
            state.SkipWithError("a station failed");
    }
    state.counters["wire_ms"] = n * kStationWireMs9600;
}
BENCHMARK(BM_SerialRound)->Arg(1)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(24);

// The line polled as the program polls it (each station's 500 ms timer, the
// next poll at once when the line is late), N live stations and, with
// silent = 1, one more that never answers: the time between two results of
// station 1, at worst while the silent one is still asked every time (the
// first seconds), and on average once it is backed off.
void BM_SerialCycle(benchmark::State &state)
{
    const int n = int(state.range(0));
    const bool silent = state.range(1) != 0;
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), stationList(1, n), QStringLiteral("--pace"),
                                   QStringLiteral("--baud"), QStringLiteral("9600")});
    Rig rig;
    QList<int> stations = stationsUpTo(n);
    if (silent)
        stations << 200;
    if (!sim.isReady() || !rig.open(sim.devicePath(), stations)) {
        state.SkipWithError("simulator not ready");
        return;
    }
    for (auto _ : state) {
        double worstEarly = 0, sum = 0;
        int count = 0;
        QElapsedTimer wall;
        qint64 lastDone = -1;
        const auto conn = QObject::connect(rig.met.front().get(), &Met1::tickDone, [&] {
            // From one result of station 1 to the next: what its values' age
            // goes by, queue waits included.
            const qint64 now = wall.elapsed();
            const double p = lastDone < 0 ? 0 : double(now - lastDone);
            lastDone = now;
            if (p == 0)
                return;
            if (now < 3000) {
                worstEarly = std::max(worstEarly, p);
            } else {
                sum += p;
                ++count;
            }
        });
        LinkChoice choice;
        choice.devicePath = sim.devicePath();
        wall.start();
        rig.line.control.open(choice, LinkControl::Remember::No);
        QEventLoop loop;
        QTimer::singleShot(13000, &loop, &QEventLoop::quit);
        loop.exec();
        rig.line.control.close();
        QObject::disconnect(conn);
        state.SetIterationTime(count ? sum / count / 1000.0 : 0);
        state.counters["cycle_first_3s_worst_ms"] = worstEarly;
        state.counters["cycle_mean_ms"] = count ? sum / count : 0;
    }
    state.counters["wire_ms"] = n * kStationWireMs9600;
}
BENCHMARK(BM_SerialCycle)
    ->Args({4, 0})->Args({4, 1})->Args({8, 0})->Args({8, 1})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TcpRound(benchmark::State &state)
{
    SimProcess sim(SimProcess::Tcp::Modbus, {QStringLiteral("--stations"), stationList(1, 8)});
    Rig rig;
    if (!sim.isReady() || !rig.open(sim.devicePath(), {1, 2, 3, 4, 5, 6, 7, 8})) {
        state.SkipWithError("simulator not ready");
        return;
    }
    rig.round();
    for (auto _ : state) {
        state.SetIterationTime(rig.round() / 1000.0);
        if (!rig.allGood(8))
            state.SkipWithError("a station failed");
    }
}
BENCHMARK(BM_TcpRound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The largest number of seconds missing between the first and the last
// record of the one-second ring of a database.
int missingSeconds(const QString &db)
{
    const auto rows = sqlRows(db, QStringLiteral("SELECT round((max(w_date + w_time) - min(w_date + w_time)) * 86400) + 1 "
                                                 "- count(*) FROM pv_data WHERE w_v0 <> 0"));
    return rows.isEmpty() ? -1 : rows.constFirst().value(0).toInt();
}

void BM_SixteenStations(benchmark::State &state)
{
    const int seconds = qEnvironmentVariableIsSet("QR_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QR_SOAK_SECONDS") : 60;
    for (auto _ : state) {
        QTemporaryDir dir;
        SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), stationList(1, 16), QStringLiteral("--pace")});
        for (int s = 1; s <= 16; ++s) {
            sim.command(QStringLiteral("@%1 freeze on").arg(s));
            sim.command(QStringLiteral("@%1 set ir 1 %2").arg(s).arg(s));
        }
        QProcess app;
        app.setProcessEnvironment(displaylessEnvironment(dir.path()));
        app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--station"),
                                                stationList(1, 16), QStringLiteral("--data-dir"), dir.path()});
        runFor(3000);
        const qint64 pid = app.processId();
        const double cpu0 = cpuSecondsOf(pid);
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        state.counters["cpu_pct_of_core"] = 100.0 * (cpuSecondsOf(pid) - cpu0) / (double(wall.elapsed()) / 1000.0);
        state.counters["rss_mb"] = procStatusMb(pid, "VmRSS:");
        ::kill(pid_t(pid), SIGTERM);
        app.waitForFinished(10000);
        int worst = 0;
        for (int s = 1; s <= 16; ++s)
            worst = std::max(worst, missingSeconds(dir.filePath(QStringLiteral("Rdatabj-%1.db").arg(s))));
        state.counters["missing_s_worst_station"] = worst;
        state.counters["exit_code"] = app.exitCode();
    }
}
BENCHMARK(BM_SixteenStations)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
