// Readers beside the logging, on real SQLite files: a record the database
// cannot take at once is tried again within its second, and full-ring history
// reads running back to back beside the logging (real clock, a few seconds)
// cost it no record.
#include "app/history_text.h"
#include "app/log_text.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/history_range.h"
#include "logging/log_db.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>

namespace {

QDateTime g_now;
const QDateTime kStart(QDate(2026, 3, 12), QTime(12, 0, 0));

QList<int> ints(const QVariantList &row)
{
    QList<int> r;
    for (const QVariant &v : row)
        r << v.toInt();
    return r;
}

// Fills a ring of the database at path with kRingSize records, the newest
// (id kRingSize) at `newest`, one every stepSecs before it, in one statement
// (the fixtures' record-by-record fill takes seconds for a full ring).
bool fillFullRing(const QString &path, const char *table, const QDateTime &newest, int stepSecs)
{
    const qint64 secs = qint64(dateSerial(newest.date())) * 86400 + newest.time().msecsSinceStartOfDay() / 1000;
    QString values;
    for (int q = 0; q < 8; ++q)
        values += QStringLiteral(", k + %1").arg(q / 8.0);
    bool ok = false;
    sqlRows(path,
            QStringLiteral("WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < %1), "
                           "t(k, s) AS (SELECT k, %2 - (%1 - k) * %3 FROM n) "
                           "INSERT OR REPLACE INTO %4 SELECT k, s / 86400, (s % 86400) / 86400.0%5 FROM t")
                .arg(kRingSize)
                .arg(secs)
                .arg(stepSecs)
                .arg(QLatin1String(table), values),
            &ok);
    return ok;
}

// A database whose two rings are full, the newest records a moment ago.
bool makeFullDatabase(const QString &path)
{
    const QDateTime now = QDateTime::currentDateTime();
    bool ok = makeLogDb(path) && fillFullRing(path, "pv_data", now.addSecs(-2), 1)
              && fillFullRing(path, "Lpv_wdjl", now.addSecs(-20), 10);
    if (ok)
        sqlRows(path, QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1, lpv_id = %1, lpv_id_copy = %1").arg(kRingSize), &ok);
    return ok;
}

// Reads the whole of one ring by date, over and over, until told to stop:
// what a history window or an export does beside the logging.
struct HammeringReader {
    HammeringReader(const QString &path, LogRing ring)
        : thread([this, path, ring] {
              const QDateTime from(QDate(2000, 1, 1), QTime(0, 0)), to(QDate(2100, 1, 1), QTime(0, 0));
              while (!stop) {
                  HistoryRange range;
                  HistoryError error;
                  if (!readHistory(path, from, to, ring, range, error)) {
                      failed = true;
                      return;
                  }
                  // Each read is the ring at one moment: full, every record once.
                  bool consistent = range.records.size() == size_t(kRingSize);
                  for (size_t i = 1; consistent && i < range.records.size(); ++i)
                      consistent = range.records[i].msecs > range.records[i - 1].msecs;
                  if (!consistent)
                      inconsistent = true;
                  ++reads;
              }
          })
    {
    }
    ~HammeringReader()
    {
        stop = true;
        thread.join();
    }
    std::atomic<bool> stop{false}, failed{false}, inconsistent{false};
    std::atomic<int> reads{0};
    std::thread thread;
};

} // namespace

class TstReaders : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDatabase> m_db;
    Clock m_clock;
    DbFiles m_files{m_clock};
    QString m_path;
    LiveTables m_live;
    LogTimes m_times;

    QList<int> slVoid() { return ints(sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void")).value(0)); }

private slots:
    void init()
    {
        m_db = std::make_unique<TempDatabase>(false);
        m_path = m_db->path();
        g_now = kStart;
        m_clock.set([] { return g_now; });
        m_live = {};
        m_times = {};
    }
    void cleanup() { m_clock.set({}); }

    // Another connection holds the file while a record is due: the record
    // is written at a later tick of the same second, with its own time and
    // values, and the second is logged once.
    void retryInItsSecond_data()
    {
        QTest::addColumn<bool>("writing"); // the other connection writes (else it is in a read)
        QTest::addColumn<int>("secs");     // clock seconds to the record due
        QTest::addColumn<QList<int>>("ids");
        QTest::newRow("a reader's scan, one-second record") << false << 1 << QList<int>{2, 2, 1, 1};
        QTest::newRow("another writer, one-second record") << true << 1 << QList<int>{2, 2, 1, 1};
        QTest::newRow("a reader's scan, both records") << false << 10 << QList<int>{2, 2, 2, 2};
    }
    void retryInItsSecond()
    {
        QFETCH(bool, writing);
        QFETCH(int, secs);
        QFETCH(QList<int>, ids);
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        m.Timer1.stop(); // ticks are driven here
        m.Timer1_Timer();
        QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
        g_now = g_now.addSecs(secs);
        const QString other = QStringLiteral("other");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), other);
            db.setDatabaseName(m_path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (writing) {
                QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
                QVERIFY(q.exec(QStringLiteral("UPDATE qr_events SET ev_detail = ev_detail")));
            } else {
                QVERIFY(q.exec(QStringLiteral("SELECT * FROM pv_data, Lpv_wdjl, qr_events")));
                QVERIFY(q.next()); // stepping: the read lock is held
            }
            m_live.Val_3X[0] = 7;
            m.Timer1_Timer();
            QCOMPARE(m.logState().error.kind, DbFault::Locked);
            QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
            if (writing)
                QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
            q.finish();
        }
        QSqlDatabase::removeDatabase(other);
        m_live.Val_3X[0] = 8; // a later tick's values are not the record's
        m.Timer1_Timer();
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), ids);
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT w_date, w_time, w_v0 FROM pv_data WHERE w_id = 2")),
                 QList<QVariantList>({{dateSerial(g_now.date()), timeSerial(g_now.time()), 7.0}}));
        QCOMPARE(logged.count(), 2);
        m.Timer1_Timer(); // written once
        QCOMPARE(slVoid(), ids);
    }

    // The logging on the real clock, its timer running, while another thread
    // reads a full ring by date back to back: every second due is logged.
    void noRecordLostBesideReads_data()
    {
        QTest::addColumn<LogRing>("ring");
        QTest::newRow("one-second ring") << LogRing::OneSecond;
        QTest::newRow("ten-second ring") << LogRing::TenSecond;
    }
    void noRecordLostBesideReads()
    {
        QFETCH(LogRing, ring);
        m_clock.set({});
        QVERIFY(makeFullDatabase(m_path));
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        {
            HammeringReader reader(m_path, ring);
            m.Form_Load();
            QTRY_VERIFY_WITH_TIMEOUT((reader.reads >= 4 && logged.count() >= 4) || reader.failed, 120000);
            QVERIFY(!reader.failed);
            QVERIFY(!reader.inconsistent);
        }
        // One more second with no reader, so that no second ends the run
        // halfway through its tries.
        const int due = int(logged.count());
        QTRY_VERIFY_WITH_TIMEOUT(logged.count() > due, 5000);
        m.Timer1.stop();
        // Full rings: the first record of the run took id 1.
        QCOMPARE(m.Pv_Id, int32_t(logged.count()));
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
    }

    // While a full ring is being read, another connection's commits wait no
    // more than moments: the read lock is held for short steps only, never
    // for a whole scan.
    void commitsGoOnDuringRead_data()
    {
        QTest::addColumn<std::optional<LogRing>>("ring");
        QTest::newRow("one-second ring") << std::optional<LogRing>(LogRing::OneSecond);
        QTest::newRow("ten-second ring") << std::optional<LogRing>(LogRing::TenSecond);
        QTest::newRow("both rings") << std::optional<LogRing>();
    }
    void commitsGoOnDuringRead()
    {
        QFETCH(std::optional<LogRing>, ring);
        QVERIFY(makeFullDatabase(m_path));
        std::atomic<bool> done{false}, ok{false};
        QElapsedTimer reading;
        reading.start();
        std::thread reader([&] {
            HistoryRange range;
            HistoryError error;
            // From before the oldest one-second record: both rings are scanned.
            ok = readHistory(m_path, QDateTime::currentDateTime().addDays(-2), QDateTime::currentDateTime(), ring, range, error)
                 && !range.records.empty();
            done = true;
        });
        // Commits every 10 ms (the logger commits once a second), each timed
        // from its start to its end.
        const QString name = QStringLiteral("writer");
        qint64 longest = 0;
        int commits = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(m_path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("PRAGMA synchronous=OFF"))); // the wait for the lock alone
            QTimer timer;
            timer.setTimerType(Qt::PreciseTimer);
            connect(&timer, &QTimer::timeout, this, [&] {
                QElapsedTimer t;
                t.start();
                const bool committed = q.exec(QStringLiteral("BEGIN IMMEDIATE"))
                                       && q.exec(QStringLiteral("UPDATE sl_void SET pv_id_copy = pv_id_copy"))
                                       && q.exec(QStringLiteral("COMMIT"));
                if (!committed)
                    q.exec(QStringLiteral("ROLLBACK"));
                longest = std::max(longest, t.elapsed());
                commits += committed ? 1 : 0;
            });
            timer.start(10);
            QTRY_VERIFY_WITH_TIMEOUT(done, 60000);
        }
        QSqlDatabase::removeDatabase(name);
        reader.join();
        const qint64 read = reading.elapsed();
        QVERIFY(ok);
        QVERIFY(commits > 0);
        // A scan holding the lock throughout makes one commit wait for about
        // half of the read or more.
        QVERIFY2(longest * 4 < read, qPrintable(QStringLiteral("a commit waited %1 ms of a read of %2 ms").arg(longest).arg(read)));
    }
};

QTEST_GUILESS_MAIN(TstReaders)
#include "tst_readers.moc"
