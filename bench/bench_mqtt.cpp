// MQTT publishing and the headless logger, against a real Mosquitto broker on
// 127.0.0.1 (port 18990 + pid % 1000):
//  - BM_PublishCost: the caller's (UI thread's) time for one acquisition's
//    message (JSON and queueing), and the latency until the broker has
//    acknowledged it (QoS 1), mean and max in ms;
//  - BM_HeadlessSoak: `qr5300m --headless` publishing live against the paced
//    simulator: its CPU share of one core and resident memory.
// QR_SOAK_SECONDS sets the soak's length (60 by default).
#include "app/session.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int brokerPort()
{
    return 18990 + int(getpid() % 1000);
}

// mosquitto with a listener on brokerPort(), for the run of the program.
bool startBroker(QProcess &p, const QString &dir)
{
    QFile conf(dir + QStringLiteral("/mosquitto.conf"));
    if (!conf.open(QIODevice::WriteOnly))
        return false;
    conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\nlog_dest none\nuser %2\n")
                   .arg(brokerPort())
                   .arg(QString::fromLocal8Bit(getpwuid(getuid())->pw_name))
                   .toUtf8());
    conf.close();
    p.start(programPath(QStringLiteral("mosquitto")), {QStringLiteral("-c"), conf.fileName()});
    runFor(500);
    return p.state() == QProcess::Running;
}

void BM_PublishCost(benchmark::State &state)
{
    QTemporaryDir dir;
    QProcess broker;
    if (!startBroker(broker, dir.path())) {
        state.SkipWithError("no broker");
        return;
    }
    MqttPublisher pub;
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = brokerPort();
    pub.setSettings(s);
    pub.setStation(1);
    for (int i = 0; i < 200 && !pub.isConnected(); ++i)
        runFor(10);
    LiveTables live;
    const QDateTime now = QDateTime::currentDateTime();
    double callMs = 0, latencyMs = 0, latencyMax = 0;
    int64_t n = 0;
    for (auto _ : state) {
        live.Val_3X[0] = float(n % 1000);
        const int64_t before = pub.delivered();
        QElapsedTimer t;
        t.start();
        pub.publishState(1, stateJson(now, live, MqttLink::Ok));
        const double call = double(t.nsecsElapsed()) / 1e6;
        while (pub.delivered() == before && t.elapsed() < 1000)
            ;
        const double latency = double(t.nsecsElapsed()) / 1e6;
        callMs += call;
        latencyMs += latency;
        latencyMax = std::max(latencyMax, latency);
        ++n;
    }
    state.counters["ui_ms_per_publish"] = callMs / double(n);
    state.counters["latency_ms_mean"] = latencyMs / double(n);
    state.counters["latency_ms_max"] = latencyMax;
    pub.stop();
    broker.terminate();
    broker.waitForFinished();
}
BENCHMARK(BM_PublishCost)->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_HeadlessSoak(benchmark::State &state)
{
    const int seconds = qEnvironmentVariableIsSet("QR_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QR_SOAK_SECONDS") : 60;
    for (auto _ : state) {
        QTemporaryDir dir;
        QProcess broker;
        SimProcess sim(dir.path(), 1, {QStringLiteral("--pace")});
        if (!sim.isReady() || !startBroker(broker, dir.path())) {
            state.SkipWithError("no simulator or broker");
            return;
        }
        QProcess app;
        app.setProcessEnvironment(displaylessEnvironment(dir.path()));
        app.start(QStringLiteral(QR_APP_PATH),
                  {QStringLiteral("--headless"), QStringLiteral("--db"), dir.filePath(QStringLiteral("log.db")),
                   QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(brokerPort())});
        runFor(3000); // settle: link open, first records written
        const qint64 pid = app.processId();
        const double cpu0 = cpuSecondsOf(pid);
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        state.counters["cpu_pct_of_core"] = 100.0 * (cpuSecondsOf(pid) - cpu0) / (double(wall.elapsed()) / 1000.0);
        state.counters["rss_mb"] = procStatusMb(pid, "VmRSS:");
        state.counters["peak_rss_mb"] = procStatusMb(pid, "VmHWM:");
        ::kill(pid_t(pid), SIGTERM);
        app.waitForFinished(10000);
        state.counters["exit_code"] = app.exitCode();
        broker.terminate();
        broker.waitForFinished();
    }
}
BENCHMARK(BM_HeadlessSoak)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
