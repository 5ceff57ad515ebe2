// Loading windows of the pv_data ring into the chart buffer.
#include "app/history_text.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/history.h"
#include "logging/history_range.h"
#include "logging/log_db.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QFile>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>
#include <memory>

#include <ctime>

namespace {

void Scribble(Chart &c)
{
    for (int s = 0; s < kChartSlots; ++s) {
        c.Chart_Date[s] = 9;
        c.Chart_Time[s] = 0.9;
        c.Chart_Gap[s] = 9;
        for (int q = 0; q < kChartQuantities; ++q)
            c.Chart_Val[s][q] = 9;
    }
}

// The full ring: newest id 100, ids 101..65500 older than ids 1..100, one
// second apart, across a midnight (at id 4801). Values as fillRing's.
const QDateTime kRingStart = QDateTime(QDate(2026, 3, 12), QTime(0, 0, 0)).addSecs(-4700);
QDateTime ringTime(int id) { return kRingStart.addSecs((id - 101 + kRingSize) % kRingSize); }

} // namespace

class TstHistory : public QObject
{
    Q_OBJECT

    Clock m_clock;
    DbFiles m_files{m_clock}; // the connections of this run
    TempDatabase m_ring;

    // The window ending at winLast of the full test ring, loaded into a
    // scribbled chart; null when the database or the load fails.
    std::unique_ptr<Chart> loadRingWindow(int winLast, int loadCount)
    {
        m_ring.select();
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        if (!main.open())
            return nullptr;
        auto c = std::make_unique<Chart>();
        Scribble(*c);
        c->Win_Last_Id = winLast;
        c->Load_Count = loadCount;
        if (!Load_History(*c, main))
            return nullptr;
        return c;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_ring.isValid());
        QVERIFY(m_ring.fill(DbRing::Pv, 101, kRingSize - 100, ringTime(101)));
        QVERIFY(m_ring.fill(DbRing::Pv, 1, 100, ringTime(1)));
    }
    void cleanup() { m_clock.set({}); }

    void clearChart()
    {
        Chart c;
        Scribble(c);
        Clear_Chart(c);
        for (int s = 0; s <= 321; ++s) {
            QCOMPARE(c.Chart_Date[s], 0.0);
            QCOMPARE(c.Chart_Time[s], 0.0);
            for (int q = 0; q <= 8; ++q)
                QCOMPARE(c.Chart_Val[s][q], 0.0f);
            QCOMPARE(c.Chart_Val[s][9], 9.0f);
            QCOMPARE(c.Chart_Gap[s], int16_t(9));
        }
        QCOMPARE(c.Chart_Date[322], 9.0);
        QCOMPARE(c.Chart_Val[322][0], 9.0f);
    }

    void windows_data()
    {
        QTest::addColumn<int>("winLast");
        QTest::addColumn<int>("loadCount");
        QTest::addColumn<int>("winBefore");
        QTest::addColumn<QList<int>>("ids"); // expected ids of slots 1..loadCount
        auto range = [](int a, int b) {
            QList<int> r;
            for (int i = a; i <= b; ++i)
                r << i;
            return r;
        };
        QTest::newRow("5000, 241, across midnight") << 5000 << 241 << 4759 << range(4760, 5000);
        QTest::newRow("100, 241, crossing the ring's end") << 100 << 241 << 65359 << range(65360, 65500) + range(1, 100);
        QTest::newRow("241, 241") << 241 << 241 << 0 << range(1, 241); // 101..241 are the older ones
        QTest::newRow("240, 241") << 240 << 241 << 65499 << QList<int>({65500}) + range(1, 240);
        QTest::newRow("30000, 321") << 30000 << 321 << 29679 << range(29680, 30000);
        QTest::newRow("65500, 321") << 65500 << 321 << 65179 << range(65180, 65500);
        QTest::newRow("50, 321") << 50 << 321 << 65229 << range(65230, 65500) + range(1, 50);
    }
    void windows()
    {
        QFETCH(int, winLast);
        QFETCH(int, loadCount);
        QFETCH(int, winBefore);
        QFETCH(QList<int>, ids);
        QCOMPARE(ids.size(), loadCount);
        // Slots follow the records' time, not their ids.
        std::stable_sort(ids.begin(), ids.end(), [](int a, int b) { return ringTime(a) < ringTime(b); });
        const auto c = loadRingWindow(winLast, loadCount);
        QVERIFY(c);
        QCOMPARE(c->Win_Before_Id, winBefore);
        for (int i = 1; i <= loadCount; ++i) {
            const int id = ids[i - 1];
            QCOMPARE(c->Chart_Val[i][0], float(id));
            QCOMPARE(c->Chart_Val[i][7], float(id + 7 / 8.0));
            QCOMPARE(c->Chart_Date[i], dateSerial(ringTime(id).date()));
            QCOMPARE(c->Chart_Time[i], timeSerial(ringTime(id).time()));
            // One second apart, across midnight too; only where the window
            // holds both ends of the ring's time is there a gap.
            const bool gap = i > 1 && ringTime(ids[i - 2]).secsTo(ringTime(id)) > 300;
            QCOMPARE(c->Chart_Gap[i], int16_t(gap ? i : 0));
            QCOMPARE(c->Chart_Val[i][8], 0.0f);
        }
        for (int s = loadCount + 1; s <= 321; ++s) {
            QCOMPARE(c->Chart_Date[s], 0.0);
            QCOMPARE(c->Chart_Val[s][0], 0.0f);
            QCOMPARE(c->Chart_Gap[s], int16_t(0));
        }
        QCOMPARE(c->Chart_Val[0][0], 0.0f);
        QCOMPARE(c->Chart_Gap[0], int16_t(0));
    }

    void idsFromAnEditedFile_data()
    {
        QTest::addColumn<int>("winLast");
        QTest::addColumn<int>("winBefore");
        QTest::addColumn<bool>("empty");
        QTest::newRow("most negative") << int(INT32_MIN) << -2147418469 << false;
        QTest::newRow("largest") << int(INT32_MAX) << 2147483326 << true;
        QTest::newRow("past the ring") << 70000 << 69679 << true;
    }
    void idsFromAnEditedFile()
    {
        // Ids from an edited file never overflow on the way to the query;
        // a window above the ring loads nothing.
        QFETCH(int, winLast);
        QFETCH(int, winBefore);
        QFETCH(bool, empty);
        const auto c = loadRingWindow(winLast, 321);
        QVERIFY(c);
        QCOMPARE(c->Win_Before_Id, winBefore);
        if (empty)
            for (int s = 0; s <= 321; ++s)
                QCOMPARE(c->Chart_Val[s][0], 0.0f);
    }

    void gaps_data()
    {
        QTest::addColumn<QList<QDateTime>>("times");
        QTest::addColumn<QList<int>>("marked");
        const QDate d(2026, 3, 12), next(2026, 3, 13);
        auto at = [](QDate day, int h, int m, int s) { return QDateTime(day, QTime(h, m, s)); };
        QTest::newRow("6 minutes") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 6, 0)} << QList<int>{2};
        QTest::newRow("4 minutes") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 4, 0)} << QList<int>{};
        QTest::newRow("299 s") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 4, 59)} << QList<int>{};
        QTest::newRow("300 s") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 5, 0)} << QList<int>{2};
        QTest::newRow("across midnight") << QList<QDateTime>{at(d, 23, 59, 30), at(next, 0, 0, 30), at(next, 0, 0, 31)} << QList<int>{};
        QTest::newRow("a day apart") << QList<QDateTime>{at(d, 12, 0, 0), at(next, 12, 0, 0)} << QList<int>{2};
        QTest::newRow("a day less a minute") << QList<QDateTime>{at(d, 12, 0, 0), at(next, 11, 59, 0)} << QList<int>{2};
        QTest::newRow("slot 1 at noon") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 0, 1)} << QList<int>{};
        QTest::newRow("two gaps") << QList<QDateTime>{at(d, 12, 0, 0), at(d, 12, 0, 1), at(d, 12, 10, 0), at(d, 12, 10, 1), at(d, 14, 0, 0)}
                                  << QList<int>{3, 5};
    }
    void gaps()
    {
        QFETCH(QList<QDateTime>, times);
        QFETCH(QList<int>, marked);
        TempDatabase db;
        for (int i = 0; i < times.size(); ++i)
            QVERIFY(db.fill(DbRing::Pv, i + 1, 1, times[i]));
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        auto c = std::make_unique<Chart>();
        Scribble(*c);
        c->Win_Last_Id = int32_t(times.size());
        c->Load_Count = int32_t(times.size());
        QVERIFY(Load_History(*c, main));
        for (int i = 0; i <= 321; ++i)
            QCOMPARE(c->Chart_Gap[i], int16_t(marked.contains(i) ? i : 0));
    }

    void partialWindow()
    {
        // 100 records and windows of 321 and 241 slots: the records end in
        // the window's last slot, the slots before them stay empty, and no
        // gap is marked next to an empty slot.
        TempDatabase db;
        const QDateTime t0(QDate(2026, 3, 12), QTime(0, 1, 0));
        QVERIFY(db.fill(DbRing::Pv, 1, 100, t0.addSecs(1)));
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        auto c = std::make_unique<Chart>();
        Scribble(*c);
        for (int count : {321, 241}) {
            c->Win_Last_Id = 100;
            c->Load_Count = count;
            QVERIFY(Load_History(*c, main));
            const int firstSlot = count - 99;
            for (int i = 0; i <= 321; ++i) {
                const bool has = i >= firstSlot && i <= count;
                QCOMPARE(slotHasRecord(*c, i), has);
                QCOMPARE(c->Chart_Val[i][0], has ? float(i - firstSlot + 1) : 0.0f);
                QCOMPARE(c->Chart_Time[i], has ? timeSerial(t0.addSecs(i - firstSlot + 1).time()) : 0.0);
                QCOMPARE(c->Chart_Gap[i], int16_t(0));
            }
        }
        QCOMPARE(c->Win_Before_Id, 65359);
    }

    void freshDatabase()
    {
        const TempDatabase db;
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        auto c = std::make_unique<Chart>();
        Scribble(*c);
        QVERIFY(readCurId(main, c->Cur_Id));
        QCOMPARE(c->Cur_Id, 0);
        c->Win_Last_Id = c->Cur_Id;
        c->Load_Count = 241;
        QVERIFY(Load_History(*c, main));
        QCOMPARE(c->Win_Before_Id, 65259);
        for (int i = 0; i <= 321; ++i) {
            QCOMPARE(c->Chart_Date[i], 0.0);
            QCOMPARE(c->Chart_Val[i][5], 0.0f);
            QCOMPARE(c->Chart_Gap[i], int16_t(0));
        }
    }

    void loggedRecordsReachTheChart()
    {
        // The logging writes through Log_Conn, the chart reads the
        // same file through Main_Conn.
        const TempDatabase db;
        QDateTime now(QDate(2026, 3, 12), QTime(9, 30, 0));
        m_clock.set([&] { return now; });
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        LiveTables live;
        LogTimes times;
        mscom m(live, times, m_files);
        m.Form_Load();
        for (int s = 1; s <= 5; ++s) {
            live.Val_3X[0] = float(s);
            live.Val_3X[7] = float(-s);
            m.Timer1_Timer();
            now = now.addSecs(1);
        }
        auto c = std::make_unique<Chart>();
        QVERIFY(readCurId(main, c->Cur_Id));
        QCOMPARE(c->Cur_Id, 5);
        c->Win_Last_Id = c->Cur_Id;
        c->Load_Count = 241;
        QVERIFY(Load_History(*c, main));
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(c->Chart_Val[236 + i][0], float(i));
            QCOMPARE(c->Chart_Val[236 + i][7], float(-i));
            QCOMPARE(c->Chart_Time[236 + i], timeSerial(QTime(9, 30, i - 1)));
        }
        QVERIFY(!slotHasRecord(*c, 236));
    }

    // The autumn change (Europe/Berlin, 2026-10-25: 02:00 to 03:00 twice):
    // the records of the range, for the history window and the export, come
    // in the order they were logged, the hour logged twice once and then
    // again, each at its own instant, not interleaved by wall-clock time.
    void autumnChange_data()
    {
        QTest::addColumn<LogRing>("ring");
        QTest::newRow("one-second ring") << LogRing::OneSecond;
        QTest::newRow("ten-second ring") << LogRing::TenSecond;
    }
    void autumnChange()
    {
        QFETCH(LogRing, ring);
        const QByteArray tzBefore = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
        auto restore = qScopeGuard([&tzBefore] {
            if (tzBefore.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", tzBefore);
            ::tzset();
        });
        // 01:30 summer time through 03:30 winter time: three hours.
        const qint64 start = QDateTime(QDate(2026, 10, 24), QTime(23, 30), Qt::UTC).toMSecsSinceEpoch();
        const int step = ring == LogRing::OneSecond ? 1 : 10, count = 3 * 3600 / step;
        auto at = [start, step](int n) { return QDateTime::fromMSecsSinceEpoch(start + qint64(n) * step * 1000); };
        QCOMPARE(at(1800 / step).time(), QTime(2, 0)); // the first 02:00
        QCOMPARE(at(5400 / step).time(), QTime(2, 0)); // and the second
        TempDatabase db;
        QVERIFY(db.isValid());
        QVERIFY(fillRingBy(db.path(), ring == LogRing::OneSecond ? "pv_data" : "Lpv_wdjl", count,
                           [](int n) { return n + 1; }, at, [](int n, int k) { return double(n * 10 + k); }, count));
        HistoryRange range;
        HistoryError error;
        QVERIFY2(readHistory(db.path(), QDateTime(QDate(2026, 10, 25), QTime(1, 0)), QDateTime(QDate(2026, 10, 25), QTime(4, 0)),
                             ring, range, error),
                 qPrintable(historyReadText(error)));
        QCOMPARE(range.records.size(), size_t(count));
        for (int n = 0; n < count; ++n) {
            QCOMPARE(range.records[size_t(n)].values[0], float(n * 10));
            QCOMPARE(range.records[size_t(n)].msecs, at(n).toMSecsSinceEpoch());
        }
    }

    // A file that cannot be read whole hands up its kind with SQLite's code
    // and words; the line shown is made from them on the window's side.
    void readFaults_data()
    {
        QTest::addColumn<bool>("journal"); // a damaged page of the journal, else no database at all
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("sqliteCode");
        QTest::addColumn<QString>("text");
        QTest::newRow("a damaged page of the journal")
            << true << int(HistoryFault::Incomplete) << 11
            << QStringLiteral("此时段未能完整读取：读取事件表失败（database disk image is malformed）");
        QTest::newRow("not a database") << false << int(HistoryFault::Unreadable) << 26
                                        << QStringLiteral("读取数据库失败（file is not a database）");
    }
    void readFaults()
    {
        QFETCH(bool, journal);
        QFETCH(int, kind);
        QFETCH(int, sqliteCode);
        QFETCH(QString, text);
        const QDateTime start(QDate(2026, 3, 12), QTime(12, 0));
        TempDatabase db;
        QVERIFY(db.fill(DbRing::Pv, 1, 60, start));
        if (journal) {
            // The program's own file holds the journal already.
            QVERIFY(withDb(db.path(), [&start](QSqlDatabase &d) {
                return QSqlQuery(d).exec(QStringLiteral("INSERT INTO qr_events (ev_time, ev_kind) VALUES ('%1', 'link_opened')")
                                  .arg(start.addSecs(30).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))));
            }));
            const QList<QVariantList> root =
                sqlRows(db.path(), QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'qr_events'"));
            QVERIFY(root.size() == 1 && damagePage(db.path(), root[0][0].toInt()));
        } else {
            QFile f(db.path());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(f.write(QByteArray(4096, 'x')) == 4096);
        }
        HistoryRange range;
        HistoryError error;
        QVERIFY(!readHistory(db.path(), start, start.addSecs(60), std::nullopt, range, error));
        QCOMPARE(int(error.kind), kind);
        QCOMPARE(error.sqliteCode & 0xff, sqliteCode);
        QCOMPARE(historyReadText(error), text);
    }

    void readCurIdFailureKeepsValue()
    {
        qputenv("QR5300M_DB", m_ring.filePath(QStringLiteral("nowhere/x.db")).toLocal8Bit());
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(!main.open());
        QCOMPARE(main.fault(), DbFault::Missing);
        int32_t cur = 1234;
        QVERIFY(!readCurId(main, cur));
        QCOMPARE(cur, 1234);
        auto c = std::make_unique<Chart>();
        Scribble(*c);
        c->Win_Last_Id = 5000;
        c->Load_Count = 241;
        QVERIFY(!Load_History(*c, main));
        QCOMPARE(c->Win_Before_Id, 4759);
        QCOMPARE(c->Chart_Val[1][0], 0.0f);
        QCOMPARE(c->Chart_Gap[1], int16_t(0));
    }
};

QTEST_GUILESS_MAIN(TstHistory)
#include "tst_history.moc"
