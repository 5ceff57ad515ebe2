// Reading a full one-second ring back by date (a plain scan: the rings have
// no index on time) and writing it as CSV. The history window goes from query
// to pixels in 50 ms, the read taking at most 30; an export of a full ring
// takes at most 300 ms.
#include "app/history_text.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/csv_export.h"
#include "logging/history_range.h"
#include "logging/log_db.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <sqlite3.h>

#include <cstdio>

namespace {

const QDateTime kNewest(QDate(2026, 12, 8), QTime(4, 0, 0));
QString g_path, g_out;

// Both rings full, newest ids in the middle, a journal with an outage every
// ten minutes.
bool makeDatabase()
{
    {
        Clock clock;
        DbFiles files(clock);
        DbConn setup(files, QStringLiteral("setup"), DbConn::Role::Writer);
        if (!setup.open())
            return false;
        for (int m = 0; m < 18 * 60; m += 10) {
            HistoryEvent e;
            e.msecs = kNewest.addSecs(-60 * m).toMSecsSinceEpoch();
            e.kind = EventKind::LinkRestored;
            setup.recordEvent(e);
            e.msecs -= 30000;
            e.kind = EventKind::LinkInterrupted;
            if (!setup.recordEvent(e))
                return false;
        }
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(g_path);
        ok = db.open() && db.transaction();
        for (const char *table : {"pv_data", "Lpv_wdjl"}) {
            QSqlQuery q(db);
            ok = ok && q.prepare(QStringLiteral("INSERT INTO %1 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)").arg(QLatin1String(table)));
            const int step = table[0] == 'p' ? 1 : 10;
            for (int n = 0; ok && n < kRingSize; ++n) {
                const QDateTime t = kNewest.addSecs(-qint64(n) * step);
                q.bindValue(0, (30000 - n + kRingSize - 1) % kRingSize + 1);
                q.bindValue(1, dateSerial(t.date()));
                q.bindValue(2, timeSerial(t.time()));
                for (int k = 0; k < 8; ++k)
                    q.bindValue(3 + k, double(float(n % 1500) + 0.25f * float(k)));
                ok = q.exec();
            }
        }
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("UPDATE sl_void SET pv_id = 30000, pv_id_copy = 30000, lpv_id = 30000, lpv_id_copy = 30000"));
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

const QDateTime kFrom = kNewest.addSecs(-(kRingSize - 1));

void BM_Read_Full_Ring(benchmark::State &state)
{
    HistoryRange range;
    HistoryError error;
    for (auto _ : state) {
        if (!readHistory(g_path, kFrom, kNewest, std::nullopt, range, error))
            state.SkipWithError(qPrintable(historyReadText(error)));
        benchmark::DoNotOptimize(range.records.data());
    }
    state.counters["records"] = double(range.records.size());
}

void BM_Export_Full_Ring(benchmark::State &state)
{
    HistoryRange range;
    HistoryError error;
    if (!readHistory(g_path, kFrom, kNewest, std::nullopt, range, error)) {
        state.SkipWithError(qPrintable(historyReadText(error)));
        return;
    }
    for (auto _ : state) {
        const CsvResult written = exportCsv(range, g_out, false, [](qint64, qint64) { return true; });
        if (!written.ok())
            state.SkipWithError(qPrintable(csvExportText(written)));
    }
    state.counters["records"] = double(range.records.size());
}

// The floor under the read: SQLite alone stepping through the whole ring and
// handing out all eleven columns of each row.
void BM_Sqlite_Scan(benchmark::State &state)
{
    sqlite3 *h = nullptr;
    if (sqlite3_open_v2(g_path.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("open failed");
        sqlite3_close(h);
        return;
    }
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(h, "SELECT * FROM pv_data", -1, &st, nullptr);
        double sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int i = 0; i < 11; ++i)
                sum += sqlite3_column_double(st, i);
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(sum);
    }
    sqlite3_close(h);
}

} // namespace

BENCHMARK(BM_Sqlite_Scan)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_Full_Ring)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export_Full_Ring)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_path = dir.filePath(QStringLiteral("Rdatabj.db"));
    g_out = dir.filePath(QStringLiteral("export.csv"));
    qputenv("QR5300M_DB", g_path.toLocal8Bit());
    if (!makeDatabase()) {
        std::fprintf(stderr, "could not build the database at %s\n", qPrintable(g_path));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
