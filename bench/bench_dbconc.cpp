// Exports beside a running logger: `qr5300m --headless` logs against the
// simulator into a database whose one-second ring is full, while
// `qr5300m export` writes the whole ring as CSV beside it, as separate
// processes the way an operator or a cron job runs them:
//  - Arg 0: sixty exports a minute (one started every second);
//  - Arg 1: exports back to back for the same time.
// Reports the exports run (and failed), and the seconds missing from the
// one-second ring between the logger's first and last record of the run:
// an export must never cost a record, so missing_s is to be 0.
// QR_DBCONC_SECONDS sets the length of each run (60 by default).
#include "core/chart_model.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <optional>

namespace {

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Whole seconds since 1899-12-30 of a record's date and time columns.
qint64 recordSecs(double date, double time)
{
    return qint64(date) * 86400 + qRound64(time * 86400);
}

qint64 secsOf(const QDateTime &t)
{
    return qint64(QDate(1899, 12, 30).daysTo(t.date())) * 86400 + t.time().msecsSinceStartOfDay() / 1000;
}

// The seconds of the records logged at or after fromSecs, from a connection
// of our own.
std::optional<QSet<qint64>> loggedSince(const QString &path, qint64 fromSecs)
{
    std::optional<QSet<qint64>> seen;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbconc_check"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT w_date, w_time FROM pv_data"))) {
            seen.emplace();
            while (q.next()) {
                const qint64 s = recordSecs(q.value(0).toDouble(), q.value(1).toDouble());
                if (s >= fromSecs)
                    seen->insert(s);
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("dbconc_check"));
    return seen;
}

// Waits (up to ms) until the logger has written a record at or after fromSecs.
bool waitForRecord(const QString &path, qint64 fromSecs, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        const auto seen = loggedSince(path, fromSecs);
        if (seen && !seen->isEmpty())
            return true;
        runFor(100);
    }
    return false;
}

bool exportRing(const QString &db, const QString &out, const QDateTime &from, const QDateTime &to)
{
    QProcess p;
    p.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("export"), QStringLiteral("--from"), from.toString(Qt::ISODate),
                                          QStringLiteral("--to"), to.toString(Qt::ISODate), QStringLiteral("--db"), db,
                                          QStringLiteral("--out"), out});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void BM_Logger_Beside_Exports(benchmark::State &state)
{
    const bool backToBack = state.range(0) == 1;
    const int seconds = qEnvironmentVariableIsSet("QR_DBCONC_SECONDS") ? qEnvironmentVariableIntValue("QR_DBCONC_SECONDS") : 60;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("Rdatabj.db"));
    qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    SimProcess sim(dir.path());
    const QDateTime start = QDateTime::currentDateTime();
    if (!sim.isReady() || !makeLogDb(db) || !fillRing(db, DbRing::Pv, 1, kRingSize, start.addSecs(-kRingSize - 100))) {
        state.SkipWithError("simulator or database not ready");
        return;
    }
    for (auto _ : state) {
        QProcess logger;
        logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        logger.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"), sim.devicePath(),
                                                   QStringLiteral("--db"), db});
        const qint64 from = secsOf(QDateTime::currentDateTime()) + 1;
        if (!logger.waitForStarted() || !waitForRecord(db, from, 10000)) {
            state.SkipWithError("the logger wrote nothing");
            return;
        }
        int exports = 0, failed = 0;
        QElapsedTimer wall;
        wall.start();
        while (wall.elapsed() < seconds * 1000LL) {
            const qint64 due = qint64(exports + failed) * 1000;
            if (!backToBack && wall.elapsed() < due) {
                runFor(int(due - wall.elapsed()));
                continue;
            }
            const QDateTime now = QDateTime::currentDateTime();
            if (exportRing(db, dir.filePath(QStringLiteral("out.csv")), now.addSecs(-kRingSize - 200), now.addSecs(3600)))
                ++exports;
            else
                ++failed;
        }
        runFor(1500); // the logger's records of the last export's second
        logger.terminate();
        logger.waitForFinished(5000);
        const auto seen = loggedSince(db, from);
        qint64 missing = -1;
        if (seen && !seen->isEmpty()) {
            const qint64 last = *std::max_element(seen->cbegin(), seen->cend());
            missing = last - from + 1 - seen->size();
        }
        state.counters["exports"] = exports;
        state.counters["exports_failed"] = failed;
        state.counters["logged_s"] = seen ? double(seen->size()) : -1.0;
        state.counters["missing_s"] = double(missing);
    }
}
BENCHMARK(BM_Logger_Beside_Exports)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
