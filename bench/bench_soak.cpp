// The whole program running live against the simulator (pacing at 9600
// baud), the way a user runs it: splash, main window, acquisition and logging
// windows; the link is opened and, in the second run, the configuration
// window is open too; in the third the one-second ring starts full and the
// history window is open beside the live program, loading the last 24 hours
// every five seconds. Reports the program's average CPU share of one core,
// its resident memory, the seconds missing from the one-second ring and, in
// the third run, the longest stall of the UI thread (the largest gap between
// the ticks of a 10 ms timer, less its period).
//
// BM_SoakSixteen does the same with sixteen instruments on the one line.
//
// QR_SOAK_SECONDS sets the length of each run (60 by default).
#include "app/frmsplash.h"
#include "app/historywindow.h"
#include "app/instrument_list.h"
#include "app/plant.h"
#include "core/settings_file.h"
#include "app/ssqx.h"
#include "app/session.h"
#include "testsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>

namespace {

double cpuSeconds()
{
    rusage u {};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Seconds between the first and the last record of the run that have no
// record, from a connection of our own.
int missingSeconds(const QString &path, qint64 fromSecs, qint64 toSecs)
{
    int missing = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("soak_check"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            QSet<qint64> seen;
            if (q.exec(QStringLiteral("SELECT w_date, w_time FROM pv_data"))) {
                while (q.next())
                    seen.insert(qint64(q.value(0).toDouble()) * 86400 + qRound64(q.value(1).toDouble() * 86400));
                missing = 0;
                for (qint64 s = fromSecs; s <= toSecs; ++s)
                    if (!seen.contains(s))
                        ++missing;
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("soak_check"));
    return missing;
}

qint64 nowSecs()
{
    const QDateTime t = QDateTime::currentDateTime();
    return qint64(QDate(1899, 12, 30).daysTo(t.date())) * 86400 + t.time().msecsSinceStartOfDay() / 1000;
}

void BM_Soak(benchmark::State &state)
{
    const bool withConfig = state.range(0) == 1;
    const bool withHistory = state.range(0) == 2;
    const int seconds = qEnvironmentVariableIsSet("QR_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QR_SOAK_SECONDS") : 60;
    QTemporaryDir dir;
    qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
    qputenv("QR5300M_DB", (dir.path() + "/Rdatabj.db").toLocal8Bit());
    SimProcess sim(dir.path(), 1, {"--pace", "--baud", "9600"});
    if (!sim.isReady()) {
        state.SkipWithError("simulator not ready");
        return;
    }
    if (withHistory) {
        if (!makeLogDb(dir.path() + "/Rdatabj.db")
            || !fillRing(dir.path() + "/Rdatabj.db", DbRing::Pv, 1, 65500, QDateTime::currentDateTime().addSecs(-65600))) {
            state.SkipWithError("ring not filled");
            return;
        }
        qputenv("QR5300M_DB", (dir.path() + "/Rdatabj.db").toLocal8Bit());
    }
    for (auto _ : state) {
        InstrumentSession session;
        Windows windows;
        auto *splash = new frmSplash(session, windows);
        QObject::connect(splash, &frmSplash::handedOver, splash, [&session] { session.start(); });
        splash->Form_Load();
        splash->show();
        runFor(1700);
        if (!windows.main) {
            state.SkipWithError("no main window");
            return;
        }
        windows.main->Command9_Click();
        if (withConfig)
            windows.main->Command21_Click();
        QTimer reload;
        if (withHistory) {
            windows.main->Command29_Click();
            auto *history = windows.main->findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
            QObject::connect(&reload, &QTimer::timeout, history, [history] { history->loadLast(24 * 3600); });
            reload.start(5000);
        }
        runFor(2000); // settle: link open, first reads in
        qint64 maxGap = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            maxGap = std::max(maxGap, sinceTick.restart() - 10);
        });
        sinceTick.start();
        if (withHistory) // its hundred wake-ups a second cost CPU of their own
            ticker.start(10);
        const qint64 from = nowSecs();
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        const double cpu = cpuSeconds() - cpu0;
        const double elapsed = double(wall.elapsed()) / 1000.0;
        const qint64 to = nowSecs() - 1;
        state.counters["cpu_pct_of_core"] = 100.0 * cpu / elapsed;
        state.counters["rss_mb"] = procStatusMb(0, "VmRSS:");
        state.counters["peak_rss_mb"] = procStatusMb(0, "VmHWM:");
        state.counters["missing_s"] = missingSeconds(dir.path() + "/Rdatabj.db", from, to);
        if (withHistory)
            state.counters["max_ui_gap_ms"] = double(maxGap);
        ticker.stop();
        reload.stop();
        const auto *linkState = windows.main->findChild<QLabel *>(QStringLiteral("linkState"));
        state.counters["link_state_ok"] = linkState && linkState->text() == QStringLiteral("通讯正常");
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != windows.main.get())
                w->deleteLater();
        runFor(100);
    }
}
BENCHMARK(BM_Soak)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kSecond);

// Sixteen instruments on the one line (remembered in the settings file), the
// window open on the first, the line saturated at 9600 baud: the program's
// CPU share and memory, the seconds missing in the worst station's ring, and
// the longest stall of the UI thread.
void BM_SoakSixteen(benchmark::State &state)
{
    const int seconds = qEnvironmentVariableIsSet("QR_SOAK_SECONDS") ? qEnvironmentVariableIntValue("QR_SOAK_SECONDS") : 60;
    QTemporaryDir dir;
    qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QStringList stations;
    std::vector<PlantEntry> entries;
    for (int s = 1; s <= 16; ++s) {
        stations << QString::number(s);
        PlantEntry e;
        e.station = s;
        entries.push_back(e);
    }
    SimProcess sim(dir.path(), 1, {"--pace", "--baud", "9600", "--stations", stations.join(u',')});
    if (!sim.isReady() || !writePlantEntries(settingsFilePath(), entries)) {
        state.SkipWithError("simulator or settings not ready");
        return;
    }
    const QString first = dir.path() + "/Rdatabj.db";
    for (auto _ : state) {
        Plant plant(DbLocation{first, false}, settingsFilePath());
        Windows windows;
        auto *splash = new frmSplash(plant.first(), windows);
        QObject::connect(splash, &frmSplash::handedOver, splash, [&plant, &windows] {
            windows.follow(plant);
            plant.start();
        });
        splash->Form_Load();
        splash->show();
        runFor(1700);
        if (!windows.main || plant.count() != 16) {
            state.SkipWithError("no main window or not sixteen instruments");
            return;
        }
        windows.main->Command9_Click();
        runFor(3000);
        const qint64 from = nowSecs();
        const double cpu0 = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(seconds * 1000);
        state.counters["cpu_pct_of_core"] = 100.0 * (cpuSeconds() - cpu0) / (double(wall.elapsed()) / 1000.0);
        // Then ten seconds with the probe, whose hundred wake-ups a second
        // would cost CPU of their own.
        qint64 maxGap = 0;
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] { maxGap = std::max(maxGap, sinceTick.restart() - 10); });
        sinceTick.start();
        ticker.start(10);
        runFor(10000);
        const qint64 to = nowSecs() - 1;
        ticker.stop();
        state.counters["rss_mb"] = procStatusMb(0, "VmRSS:");
        state.counters["max_ui_gap_ms"] = double(maxGap);
        int worst = missingSeconds(first, from, to);
        for (int s = 2; s <= 16; ++s)
            worst = std::max(worst, missingSeconds(dir.path() + QStringLiteral("/Rdatabj-%1.db").arg(s), from, to));
        state.counters["missing_s_worst_station"] = worst;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w != windows.main.get() && w != static_cast<QWidget *>(windows.list.get()))
                w->deleteLater();
        runFor(100);
    }
}
BENCHMARK(BM_SoakSixteen)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
