// The log database and the logging cycle, on real SQLite files.
#include "app/log_text.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/history.h"
#include "logging/log_db.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSignalSpy>
#include <QTest>

#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

QDateTime g_now;
const QDateTime kStart(QDate(2026, 3, 12), QTime(12, 0, 0));

void Advance(int secs) { g_now = g_now.addSecs(secs); }

QList<int> Ints(const QVariantList &row)
{
    QList<int> r;
    for (const QVariant &v : row)
        r << v.toInt();
    return r;
}

// Runs a statement on the connection an object of ours holds.
bool onConn(const QString &conn, const QString &sql)
{
    QSqlQuery q(QSqlDatabase::database(conn, false));
    return q.exec(sql);
}

// Child modes. "1": logs one record per tick (the clock moves a second
// every tick) until it is killed, printing each committed id; "step": the
// same, one tick per line read from stdin. "nobody": as user nobody, one
// logging tick; prints the logging status.
int childMain()
{
    const QByteArray mode = qgetenv("QR_LOG_CHILD");
    g_now = QDateTime(QDate(2026, 3, 12), QTime(8, 0, 0));
    Clock clock;
    clock.set([] { return g_now; });
    LiveTables live;
    LogTimes times;
    DbFiles files(clock);
    if (mode == "nobody") {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return 77;
        mscom m(live, times, files);
        m.Form_Load();
        m.Timer1_Timer();
        std::printf("%s\n", dbErrorText(m.logState().error).toUtf8().constData());
        return 0;
    }
    mscom m(live, times, files);
    if (!m.Log_Conn.open())
        return 3;
    char line[16];
    for (int n = 1;; ++n) {
        if (mode == "step" && !std::fgets(line, sizeof line, stdin))
            return 0;
        for (int q = 0; q < 8; ++q)
            live.Val_3X[q] = float(n * 10 + q);
        m.Timer1_Timer();
        if (m.Pv_Id != n)
            return 2;
        std::printf("%d\n", n);
        std::fflush(stdout);
        Advance(1);
    }
}

// The test binary again, in one of the child modes above.
void startChild(QProcess &child, const QString &path, const char *mode)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QR_LOG_CHILD"), QLatin1String(mode));
    env.insert(QStringLiteral("QR5300M_DB"), path);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
}

} // namespace

class TstLogging : public QObject
{
    Q_OBJECT

    std::unique_ptr<TempDatabase> m_db; // a folder of its own for each test, no file yet
    Clock m_clock;
    DbFiles m_files{m_clock}; // the connections of this run
    QString m_path;
    LiveTables m_live; // what the acquisition would have published
    LogTimes m_times;

    QList<int> slVoid() { return Ints(sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void")).value(0)); }
    QList<QVariantList> Rows(const char *table) { return sqlRows(m_path, QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(QLatin1String(table))); }
    void Tick(mscom &m) { m.Timer1_Timer(); }

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

    // Where the database is: $QR5300M_DB as given, else in the data folder,
    // which is made when missing.
    void dbPath_data()
    {
        QTest::addColumn<bool>("named");   // $QR5300M_DB set to the test's file
        QTest::addColumn<QString>("xdg");   // $XDG_DATA_HOME, "@" the test's folder (empty: not set)
        QTest::addColumn<QString>("where"); // the path expected in the test's folder (empty: the named file)
        const QString home = QStringLiteral("home/.local/share/qr5300m/Rdatabj.db");
        QTest::newRow("QR5300M_DB") << true << QStringLiteral("@/xdg") << QString();
        QTest::newRow("XDG_DATA_HOME") << false << QStringLiteral("@/xdg") << QStringLiteral("xdg/qr5300m/Rdatabj.db");
        QTest::newRow("no XDG_DATA_HOME") << false << QString() << home;
        QTest::newRow("relative XDG_DATA_HOME") << false << QStringLiteral("xdg") << home;
    }
    void dbPath()
    {
        QFETCH(bool, named);
        QFETCH(QString, xdg);
        QFETCH(QString, where);
        const QByteArray xdgBefore = qgetenv("XDG_DATA_HOME"), home = qgetenv("HOME");
        auto restore = qScopeGuard([&] {
            qputenv("HOME", home);
            if (xdgBefore.isEmpty())
                qunsetenv("XDG_DATA_HOME");
            else
                qputenv("XDG_DATA_HOME", xdgBefore);
            qputenv("QR5300M_DB", m_path.toLocal8Bit());
        });
        if (!named)
            qunsetenv("QR5300M_DB");
        qputenv("HOME", m_db->filePath(QStringLiteral("home")).toLocal8Bit());
        if (xdg.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", QString(xdg).replace(QLatin1Char('@'), m_db->folder()).toLocal8Bit());
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        const QString expected = where.isEmpty() ? m_path : m_db->filePath(where);
        QCOMPARE(::dbPath(), expected);
        QVERIFY(QFileInfo(QFileInfo(expected).absolutePath()).isDir());
    }

    // Two instrument sessions in one process, each with its own database
    // named to its DbFiles (not through the environment, which names a
    // third): each logs its own values into its own file, also when the
    // other one has ended.
    void twoSessions_data()
    {
        QTest::addColumn<bool>("firstEnds");
        QTest::newRow("side by side") << false;
        QTest::newRow("the first ends first") << true;
    }
    void twoSessions()
    {
        QFETCH(bool, firstEnds);
        TempDatabase dbA, dbB;
        qputenv("QR5300M_DB", m_path.toLocal8Bit());
        LiveTables liveA, liveB;
        LogTimes timesA, timesB;
        liveA.Val_3X[0] = 11;
        liveB.Val_3X[0] = 22;
        DbFiles filesA(m_clock, {dbA.path(), false}), filesB(m_clock, {dbB.path(), false});
        auto a = std::make_unique<mscom>(liveA, timesA, filesA);
        mscom b(liveB, timesB, filesB);
        DbConn mainB(filesB, QStringLiteral("Main_Conn"));
        a->Form_Load();
        b.Form_Load();
        QVERIFY(mainB.open());
        for (int s = 0; s < 3; ++s) {
            if (firstEnds && s == 2)
                a.reset();
            Advance(1);
            if (a)
                Tick(*a);
            Tick(b);
        }
        int32_t newest = 0;
        QVERIFY2(mainB.readPvId(newest), qPrintable(dbErrorText(mainB.error())));
        QCOMPARE(newest, 3);
        QVERIFY2(b.loggingOk(), qPrintable(dbErrorText(b.logState().error)));
        const auto firstValues = [](const QString &path) {
            QList<double> v;
            for (const QVariantList &row : sqlRows(path, QStringLiteral("SELECT w_v0 FROM pv_data ORDER BY w_id")))
                v << row.value(0).toDouble();
            return v;
        };
        QCOMPARE(firstValues(dbA.path()), firstEnds ? QList<double>({11, 11}) : QList<double>({11, 11, 11}));
        QCOMPARE(firstValues(dbB.path()), QList<double>({22, 22, 22}));
        QVERIFY(!QFileInfo::exists(m_path));
    }

    void freshDatabase_data()
    {
        QTest::addColumn<bool>("emptyFile");
        QTest::newRow("no file") << false;
        QTest::newRow("empty file") << true;
    }
    void freshDatabase()
    {
        QFETCH(bool, emptyFile);
        if (emptyFile) {
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        {
            DbConn c(m_files, QStringLiteral("Main_Conn"));
            QVERIFY(c.open());
            QCOMPARE(c.fault(), DbFault::None);
            QVERIFY(dbErrorText(c.error()).isEmpty());
            int32_t cur = 77;
            QVERIFY(readCurId(c, cur));
            QCOMPARE(cur, 0);
            // (a rollback journal: a connection of its own reports its default)
            QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA journal_mode")).value(0).value(0).toString(), QStringLiteral("delete"));
        }
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void")).size(), 1);
        QCOMPARE(slVoid(), QList<int>({0, 0, 0, 0}));
        auto names = [&](const char *t) {
            QStringList n;
            for (const QVariantList &r : sqlRows(m_path, QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(t))))
                n << r.value(1).toString();
            return n;
        };
        QCOMPARE(names("sl_void").size(), 4);
        const QStringList pv = names("pv_data"), lpv = names("Lpv_wdjl");
        QCOMPARE(pv.size(), 11);
        QCOMPARE(pv.mid(0, 3), QStringList({"w_id", "w_date", "w_time"}));
        QCOMPARE(lpv.size(), 11);
        QCOMPARE(lpv.value(0), QStringLiteral("lw_id"));
        QVERIFY(Rows("pv_data").isEmpty());
        QVERIFY(Rows("Lpv_wdjl").isEmpty());
        // Unique keys.
        bool ok = false;
        sqlRows(m_path, QStringLiteral("INSERT INTO pv_data (w_id) VALUES (5)"), &ok);
        QVERIFY(ok);
        sqlRows(m_path, QStringLiteral("INSERT INTO pv_data (w_id) VALUES (5)"), &ok);
        QVERIFY(!ok);
        sqlRows(m_path, QStringLiteral("INSERT INTO Lpv_wdjl (lw_id) VALUES (5)"), &ok);
        QVERIFY(ok);
        sqlRows(m_path, QStringLiteral("INSERT INTO Lpv_wdjl (lw_id) VALUES (5)"), &ok);
        QVERIFY(!ok);
        // Opening again keeps what is there.
        {
            DbConn c(m_files, QStringLiteral("Main_Conn"));
            QVERIFY(c.open());
        }
        QCOMPARE(Rows("pv_data").size(), 1);
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void")).size(), 1);
    }

    void firstTick()
    {
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        QVERIFY(m.Timer1.isActive());
        QCOMPARE(m.Timer1.interval(), 100);
        QVERIFY(m.loggingOk());
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
        QCOMPARE(m.Pv_Id, 1);
        QCOMPARE(m.Lpv_Id, 1);
        QCOMPARE(logged.count(), 1);
        for (const char *t : {"pv_data", "Lpv_wdjl"}) {
            const QList<QVariantList> rows = Rows(t);
            QCOMPARE(rows.size(), 1);
            const QVariantList &r = rows[0];
            QCOMPARE(r.size(), 11);
            QCOMPARE(r[0].toInt(), 1);
            QCOMPARE(r[1].toDouble(), dateSerial(kStart.date()));
            QCOMPARE(r[2].toDouble(), timeSerial(kStart.time()));
            for (int i = 3; i < 11; ++i)
                QCOMPARE(r[i].toFloat(), 0.0f); // link closed, nothing acquired yet
        }
        QCOMPARE(m_times.Pv_Date, dateSerial(kStart.date()));
        QCOMPARE(m_times.Pv_Time, 0.5);
    }

    void cadence()
    {
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        Tick(m);
        logged.clear(); // taken by the chart
        Tick(m);        // same second: nothing due
        QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
        QCOMPARE(logged.count(), 0);
        QCOMPARE(m.okitime(), 0.0);
        for (int s = 1; s <= 9; ++s) {
            Advance(1);
            QCOMPARE(m.okitime(), 1.0);
            QCOMPARE(m.Rec1_time(), double(s));
            Tick(m);
            Tick(m);
            QCOMPARE(slVoid(), QList<int>({1 + s, 1 + s, 1, 1}));
            QCOMPARE(logged.count(), 1);
            logged.clear();
        }
        Advance(1);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({11, 11, 2, 2}));
        QCOMPARE(Rows("Lpv_wdjl").value(1).value(2).toDouble(), timeSerial(QTime(12, 0, 10)));
        // A tick that comes late does not make up for missed seconds.
        Advance(5);
        Tick(m);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({12, 12, 2, 2}));
    }

    void wrap_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("next");
        QTest::newRow("65499") << 65499 << 65500;
        QTest::newRow("65500") << 65500 << 1;
        QTest::newRow("above 65500") << 70000 << 1;
    }
    void wrap()
    {
        QFETCH(int, stored);
        QFETCH(int, next);
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        for (DbRing ring : {DbRing::Pv, DbRing::Lpv})
            QVERIFY(fillRing(m_path, ring, 1, 1, kStart.addDays(-1)));
        bool ok = false;
        sqlRows(m_path, QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1, lpv_id = %1, lpv_id_copy = %1").arg(stored), &ok);
        QVERIFY(ok);
        m_live.Val_3X[0] = 12.5f;
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({next, next, next, next}));
        for (const char *t : {"pv_data", "Lpv_wdjl"}) {
            const QList<QVariantList> rows = sqlRows(m_path, QStringLiteral("SELECT * FROM %1 WHERE %2 = %3").arg(QLatin1String(t), QLatin1String(t[0] == 'p' ? "w_id" : "lw_id")).arg(next));
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0][1].toDouble(), dateSerial(kStart.date()));
            QCOMPARE(rows[0][3].toFloat(), 12.5f);
            QCOMPARE(rows[0][4].toFloat(), 0.0f);
            QCOMPARE(Rows(t).size(), next == 1 ? 1 : 2);
        }
    }

    void clockBack()
    {
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        Tick(m);
        Advance(1);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({2, 2, 1, 1}));
        g_now = QDateTime(kStart.date(), QTime(11, 0, 1)); // set back an hour
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({3, 3, 2, 2}));
        Advance(1);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({4, 4, 2, 2}));
        Advance(8);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({5, 5, 2, 2}));
        Advance(1);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({6, 6, 3, 3}));
        QCOMPARE(Rows("pv_data").value(2).value(2).toDouble(), timeSerial(QTime(11, 0, 1)));
        QCOMPARE(Rows("Lpv_wdjl").value(2).value(2).toDouble(), timeSerial(QTime(11, 0, 11)));
    }

    void linkClosedKeepsLastValues()
    {
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        const float acquired[9] = {101.5f, -20.25f, 1300, 0.125f, 16.5f, 5, 6, 7, 8};
        std::copy(std::begin(acquired), std::end(acquired), m_live.Val_3X);
        for (int s = 0; s < 3; ++s) { // link closed: Val_3X no longer changes
            Tick(m);
            Advance(1);
        }
        const QList<QVariantList> rows = Rows("pv_data");
        QCOMPARE(rows.size(), 3);
        for (const QVariantList &r : rows) {
            QCOMPARE(r.size(), 11);
            for (int i = 0; i < 8; ++i)
                QCOMPARE(r[3 + i].toFloat(), acquired[i]);
        }
    }

    void restartContinues()
    {
        {
            mscom m(m_live, m_times, m_files);
            m.Form_Load();
            Tick(m);
            Advance(1);
            Tick(m);
        }
        QCOMPARE(slVoid(), QList<int>({2, 2, 1, 1}));
        m_times = {}; // a new run
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        Tick(m); // same clock second as the last record: both written anyway
        QCOMPARE(slVoid(), QList<int>({3, 3, 2, 2}));
        QCOMPARE(Rows("pv_data").size(), 3);
        QCOMPARE(Rows("Lpv_wdjl").size(), 2);
    }

    void oneClockReading()
    {
        // The clock passes midnight between any two readings: a record must
        // get date and time of the same instant.
        const QDateTime before(QDate(2026, 3, 12), QTime(23, 59, 59));
        const QDateTime after(QDate(2026, 3, 13), QTime(0, 0, 0));
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        int calls = 0;
        m_clock.set([&] { return calls++ % 2 == 0 ? before : after; });
        Tick(m);
        QVERIFY(calls >= 1);
        for (const char *t : {"pv_data", "Lpv_wdjl"}) {
            const QVariantList r = Rows(t).value(0);
            const double date = r.value(1).toDouble(), time = r.value(2).toDouble();
            const bool isBefore = date == dateSerial(before.date()) && time == timeSerial(before.time());
            const bool isAfter = date == dateSerial(after.date()) && time == timeSerial(after.time());
            QVERIFY2(isBefore || isAfter, qPrintable(QStringLiteral("%1 %2").arg(date).arg(time)));
        }
    }

    void bothOrNeither_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("trigger");
        QTest::newRow("record add fails") << 4 << "BEFORE INSERT ON pv_data";
        QTest::newRow("record overwrite fails") << 65500 << "BEFORE UPDATE ON pv_data";
        QTest::newRow("sl_void update fails") << 4 << "BEFORE UPDATE ON sl_void WHEN NEW.pv_id <> OLD.pv_id";
    }
    void bothOrNeither()
    {
        QFETCH(int, stored);
        QFETCH(QString, trigger);
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        QVERIFY(fillRing(m_path, DbRing::Pv, 65500, 1, kStart.addDays(-1)));
        QVERIFY(fillRing(m_path, DbRing::Pv, 1, 4, kStart.addDays(-1)));
        bool ok = false;
        sqlRows(m_path, QStringLiteral("UPDATE sl_void SET pv_id = %1, pv_id_copy = %1").arg(stored), &ok);
        QVERIFY(ok);
        const QList<QVariantList> rowsBefore = Rows("pv_data");
        sqlRows(m_path, QStringLiteral("CREATE TRIGGER refuse %1 BEGIN SELECT RAISE(ABORT, 'refused'); END").arg(trigger), &ok);
        QVERIFY(ok);

        Tick(m);
        // A Chinese reason; SQLite's own text in brackets.
        QCOMPARE(dbErrorText(m.logState().error), QStringLiteral("写入被数据库的约束拒绝（refused）"));
        QCOMPARE(logged.count(), 1); // the live chart still moves on
        logged.clear();
        QCOMPARE(slVoid(), QList<int>({stored, stored, 1, 1})); // the ten-second record went through
        QCOMPARE(Rows("pv_data"), rowsBefore);

        sqlRows(m_path, QStringLiteral("DROP TRIGGER refuse"), &ok);
        QVERIFY(ok);
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        const int next = stored >= 65500 ? 1 : stored + 1;
        QCOMPARE(slVoid(), QList<int>({next, next, 1, 1}));
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT w_date, w_v0 FROM pv_data WHERE w_id = %1").arg(next)),
                 QList<QVariantList>({{dateSerial(kStart.date()), 0.0}}));
        QCOMPARE(logged.count(), 1);
    }

    void readOnly()
    {
        // Tests run as root, where file modes do not stop writes; a connection
        // switched to query_only fails its writes with SQLITE_READONLY and,
        // like a connection opened on a write-protected file, stays so until
        // it is opened again.
        mscom m(m_live, m_times, m_files);
        QSignalSpy states(&m, &mscom::logStateChanged);
        m.Form_Load();
        Tick(m);
        QCOMPARE(states.count(), 0);
        QVERIFY(onConn(m_files.sqlName(QStringLiteral("Log_Conn")), QStringLiteral("PRAGMA query_only = 1")));
        Advance(1);
        Tick(m);
        QCOMPARE(states.count(), 1);
        const LogState readOnly = states.takeFirst().value(0).value<LogState>();
        QVERIFY(readOnly.stopped);
        QCOMPARE(readOnly.error.kind, DbFault::ReadOnly);
        QCOMPARE(readOnly.error.sqliteCode, 8); // SQLITE_READONLY
        QVERIFY(m.logState() == readOnly);
        QCOMPARE(logStateText(readOnly), QStringLiteral("记录已停止：数据库只读"));
        QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
        Tick(m); // same second: no new attempt
        Advance(1);
        Tick(m);
        QCOMPARE(states.count(), 1); // told on change only
        QVERIFY(states.takeFirst().value(0).value<LogState>() == LogState());
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({2, 2, 1, 1}));
        QCOMPARE(Rows("pv_data").size(), 2);
    }

    void locked()
    {
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        Tick(m);
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
            other.setDatabaseName(m_path);
            QVERIFY(other.open());
            QSqlQuery q(other);
            QVERIFY(q.exec(QStringLiteral("BEGIN IMMEDIATE")));
            QVERIFY(q.exec(QStringLiteral("UPDATE pv_data SET w_v7 = 1 WHERE w_id = 1")));
            Advance(1);
            QElapsedTimer t;
            t.start();
            Tick(m);
            QVERIFY2(t.elapsed() < 500, "a locked database must not hold up the tick");
            QCOMPARE(m.logState().error.kind, DbFault::Locked);
            QCOMPARE(dbErrorText(m.logState().error), QStringLiteral("数据库被锁定"));
            Advance(1);
            Tick(m);
            QVERIFY(!m.loggingOk());
            QVERIFY(q.exec(QStringLiteral("ROLLBACK")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
        QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({2, 2, 1, 1}));
    }

    void deletedFile()
    {
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        for (int s = 0; s < 3; ++s) {
            Tick(m);
            Advance(1);
        }
        int32_t cur = 0;
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 3);
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(m_path + QLatin1String(suffix));
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QVERIFY(QFile::exists(m_path));
        QCOMPARE(slVoid(), QList<int>({1, 1, 0, 0}));
        QCOMPARE(Rows("pv_data").size(), 1);
        QVERIFY(readCurId(main, cur)); // the main window follows to the new file
        QCOMPARE(cur, 1);
        Advance(1);
        Tick(m);
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 2);
        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
    }

    void folderGone()
    {
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        Tick(m);
        const QString dir = QFileInfo(m_path).absolutePath();
        QVERIFY(QDir(dir).removeRecursively());
        Advance(1);
        Tick(m);
        QCOMPARE(m.logState().error.kind, DbFault::Missing);
        QCOMPARE(dbErrorText(m.logState().error), QStringLiteral("数据库文件夹 %1 不存在").arg(dir));
        QVERIFY(!QFile::exists(m_path));
        Advance(1);
        Tick(m);
        QVERIFY(!m.loggingOk());
        QVERIFY(QDir().mkpath(dir));
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({1, 1, 0, 0})); // a fresh file; the ten-second record is not due
    }

    void diskFull()
    {
        // The database's page limit stands in for a full disk: both end in
        // SQLITE_FULL.
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        Tick(m);
        const int pages = sqlRows(m_path, QStringLiteral("PRAGMA page_count")).value(0).value(0).toInt();
        QVERIFY(onConn(m_files.sqlName(QStringLiteral("Log_Conn")), QStringLiteral("PRAGMA max_page_count = %1").arg(pages)));
        int written = 1;
        while (m.loggingOk() && written < 2000) {
            Advance(1);
            Tick(m);
            written += m.loggingOk() ? 1 : 0;
        }
        QCOMPARE(m.logState().error.kind, DbFault::Full);
        QCOMPARE(dbErrorText(m.logState().error), QStringLiteral("磁盘已满"));
        const QList<int> sl = slVoid();
        QCOMPARE(sl[0], written);
        QCOMPARE(sl[1], written);
        QCOMPARE(Rows("pv_data").size(), written);
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT max(w_id) FROM pv_data")).value(0).value(0).toInt(), written);
        QCOMPARE(Rows("Lpv_wdjl").size(), sl[2]);
        Advance(1);
        Tick(m);
        QVERIFY(!m.loggingOk());
        QVERIFY(onConn(m_files.sqlName(QStringLiteral("Log_Conn")), QStringLiteral("PRAGMA max_page_count = 1000000"))); // space freed
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid()[0], written + 1);
        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
    }

    void foreignFile_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("why");
        const QString sl = QStringLiteral("CREATE TABLE sl_void (a, b, c, d)");
        const QString pv = QStringLiteral("CREATE TABLE pv_data (w_id, w_date, w_time, a, b, c, d, e, f, g, h)");
        const QString lpv = QStringLiteral("CREATE TABLE Lpv_wdjl (lw_id, x, y, a, b, c, d, e, f, g, h)");
        QTest::newRow("text file") << QStringList() << QByteArray("Rdatabj: not a database at all\n").repeated(200) << "不是 SQLite 数据库";
        QTest::newRow("other tables") << QStringList({"CREATE TABLE customers (name, city)", "INSERT INTO customers VALUES ('x', 'y')"}) << QByteArray() << "缺少表 sl_void";
        QTest::newRow("pv_data 10 columns") << QStringList({sl, "CREATE TABLE pv_data (w_id, w_date, w_time, a, b, c, d, e, f, g)", lpv}) << QByteArray() << "表 pv_data 应有 11 列，实有 10 列";
        QTest::newRow("w_date renamed") << QStringList({sl, "CREATE TABLE pv_data (w_id, w_day, w_time, a, b, c, d, e, f, g, h)", lpv}) << QByteArray() << "第 2 列应为 w_date";
        QTest::newRow("w_time moved") << QStringList({sl, "CREATE TABLE pv_data (w_id, w_date, a, w_time, b, c, d, e, f, g, h)", lpv}) << QByteArray() << "第 3 列应为 w_time";
        QTest::newRow("sl_void 3 columns") << QStringList({"CREATE TABLE sl_void (a, b, c)", pv, lpv}) << QByteArray() << "表 sl_void 应有 4 列";
        QTest::newRow("lw_id missing") << QStringList({sl, pv, "CREATE TABLE Lpv_wdjl (id, x, y, a, b, c, d, e, f, g, h)"}) << QByteArray() << "第 1 列应为 lw_id";
        QTest::newRow("Lpv_wdjl missing") << QStringList({sl, pv}) << QByteArray() << "缺少表 Lpv_wdjl";
        QTest::newRow("pv_data a view") << QStringList({sl, lpv, "CREATE VIEW pv_data AS SELECT * FROM Lpv_wdjl"}) << QByteArray() << "缺少表 pv_data";
        QTest::newRow("corrupt") << QStringList({"corrupt"}) << QByteArray() << "文件已损坏";
    }
    void foreignFile()
    {
        QFETCH(QStringList, statements);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, why);
        if (statements == QStringList({"corrupt"})) {
            {
                mscom m(m_live, m_times, m_files);
                m.Form_Load();
                for (int s = 0; s < 600; ++s) {
                    Tick(m);
                    Advance(1);
                }
            }
            sqlRows(m_path, QStringLiteral("PRAGMA journal_mode = DELETE"));
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.size() > 8 * 4096);
            f.seek(f.size() - 3 * 4096 + 100);
            f.write(QByteArray(300, '\xA5'));
        } else if (!bytes.isEmpty()) {
            QFile f(m_path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        } else {
            for (const QString &s : statements) {
                bool ok = false;
                sqlRows(m_path, s, &ok);
                QVERIFY2(ok, qPrintable(s));
            }
        }
        const QByteArray hash = fileHash(m_path);
        const qint64 size = QFileInfo(m_path).size();
        QVERIFY(size > 0);
        {
            DbConn c(m_files, QStringLiteral("Main_Conn"));
            QVERIFY(!c.open());
            QCOMPARE(c.fault(), DbFault::Foreign);
            QVERIFY2(dbErrorText(c.error()).contains(m_path) && dbErrorText(c.error()).contains(why), qPrintable(dbErrorText(c.error())));
            int32_t cur = 42;
            QVERIFY(!readCurId(c, cur));
            QCOMPARE(cur, 42);
            Chart chart;
            chart.Chart_Val[5][0] = 3;
            QVERIFY(!Load_History(chart, c));
            QCOMPARE(chart.Chart_Val[5][0], 0.0f);
        }
        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        QVERIFY(!m.loggingOk());
        QCOMPARE(m.logState().error.kind, DbFault::Foreign);
        QVERIFY2(dbErrorText(m.logState().error).contains(m_path) && dbErrorText(m.logState().error).contains(why), qPrintable(dbErrorText(m.logState().error)));
        for (int s = 0; s < 5; ++s) {
            Advance(1);
            logged.clear();
            Tick(m);
            QVERIFY(!m.loggingOk());
            QCOMPARE(logged.count(), 1); // the live chart still follows the seconds
        }
        QCOMPARE(QFileInfo(m_path).size(), size);
        QCOMPARE(fileHash(m_path), hash);
        QVERIFY(!QFile::exists(m_path + QStringLiteral("-wal")));
        // Once the file is taken away, logging starts on a fresh one.
        QVERIFY(QFile::remove(m_path));
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        // The ten-second ring counts its period from the last attempt.
        QCOMPARE(slVoid(), QList<int>({1, 1, 0, 0}));
        Advance(10);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({2, 2, 1, 1}));
    }

    void otherColumnNames()
    {
        for (const char *s : {"CREATE TABLE sl_void (n1, n2, n3, n4)", "INSERT INTO sl_void VALUES (7, 7, 3, 3)",
                              "CREATE TABLE pv_data (w_id INTEGER UNIQUE, w_date, w_time, \"ch 1\", b, c, d, e, f, g, h)",
                              "CREATE TABLE LPV_WDJL (LW_ID, d, t, a, b, c, d2, e, f, g, h)"}) {
            bool ok = false;
            sqlRows(m_path, QLatin1String(s), &ok);
            QVERIFY2(ok, s);
        }
        m_live.Val_3X[0] = 1.5f;
        m_live.Val_3X[7] = 8.5f;
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({8, 8, 4, 4}));
        const QVariantList pv = Rows("pv_data").value(0), lpv = Rows("Lpv_wdjl").value(0);
        QCOMPARE(pv.value(0).toInt(), 8);
        QCOMPARE(lpv.value(0).toInt(), 4);
        for (const QVariantList &r : {pv, lpv}) {
            QCOMPARE(r.value(2).toDouble(), 0.5);
            QCOMPARE(r.value(3).toFloat(), 1.5f);
            QCOMPARE(r.value(10).toFloat(), 8.5f);
        }
    }

    void fileReplaced_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("copied over") << "cp";
        QTest::newRow("copied over, write-ahead-log backup") << "cp wal";
        QTest::newRow("moved over") << "mv";
        QTest::newRow("deleted, recreated, moved in") << "rm mv";
    }
    void fileReplaced()
    {
        // A backup of our own database put in place while both connections
        // are open on the file: it is taken as it is, and logging goes on
        // from its ids.
        QFETCH(QString, how);
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        mscom m(m_live, m_times, m_files);
        QSignalSpy notices(&m, &mscom::noticeRaised);
        m.Form_Load();
        int ticks = 0;
        auto run = [&](int n) {
            for (int s = 0; s < n; ++s) {
                m_live.Val_3X[0] = float(++ticks);
                Tick(m);
                Advance(1);
            }
        };
        run(30);
        const QString backup = m_db->filePath(QStringLiteral("backup.db"));
        bool ok = false;
        sqlRows(m_path, QStringLiteral("VACUUM INTO '%1'").arg(backup), &ok);
        QVERIFY(ok);
        sqlRows(backup, QStringLiteral("UPDATE pv_data SET w_v7 = -w_id"), &ok); // its records differ from ours
        QVERIFY(ok);
        if (how.contains(QStringLiteral("wal")))
            QCOMPARE(sqlRows(backup, QStringLiteral("PRAGMA journal_mode = WAL")).value(0).value(0).toString(), QStringLiteral("wal"));
        const QList<QVariantList> backupPv = sqlRows(backup, QStringLiteral("SELECT * FROM pv_data ORDER BY 1"));
        const QList<QVariantList> backupLpv = sqlRows(backup, QStringLiteral("SELECT * FROM Lpv_wdjl ORDER BY 1"));
        QCOMPARE(backupPv.size(), 30);
        run(300); // our file grows well past the backup
        int32_t cur = 0;
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 330);

        QCOMPARE(notices.count(), 0);
        if (how.startsWith(QStringLiteral("rm"))) {
            QVERIFY(QFile::remove(m_path));
            const QDateTime at = g_now;
            run(3); // a fresh file, ids 1..3
            QCOMPARE(slVoid().value(0), 3);
            QCOMPARE(notices.count(), 1);
            const LogNotice deleted = notices.takeFirst().value(0).value<LogNotice>();
            QCOMPARE(deleted.kind, DbNotice::FileRecreated);
            QCOMPARE(deleted.time, at);
            QCOMPARE(logNoticeText(deleted), at.toString(QStringLiteral("HH:mm:ss ")) + QStringLiteral("数据库文件已被删除，已新建一个空数据库"));
        }
        if (how.startsWith(QStringLiteral("cp"))) {
            QFile in(backup), out(m_path); // same inode, new content
            QVERIFY(in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(out.write(in.readAll()), in.size());
        } else {
            QCOMPARE(::rename(QFile::encodeName(backup).constData(), QFile::encodeName(m_path).constData()), 0);
        }
        const int before = ticks;
        run(5);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
        QCOMPARE(slVoid().mid(0, 2), QList<int>({35, 35}));
        const QList<QVariantList> pv = Rows("pv_data");
        QCOMPARE(pv.size(), 35);
        QCOMPARE(pv.mid(0, 30), backupPv);
        for (int id = 31; id <= 35; ++id)
            QCOMPARE(pv[id - 1][3].toFloat(), float(before + id - 30));
        const QList<QVariantList> lpv = Rows("Lpv_wdjl");
        QCOMPARE(lpv.mid(0, backupLpv.size()), backupLpv);
        QCOMPARE(lpv.size(), slVoid().value(2));
        QVERIFY(readCurId(main, cur)); // the main window reads the new file
        QCOMPARE(cur, 35);
        // Said once: a later tick brings no new notice.
        QCOMPARE(notices.count(), 1);
        QCOMPARE(notices.at(0).value(0).value<LogNotice>().kind, DbNotice::FileReplaced);
        QVERIFY(logNoticeText(m.lastNotice()).endsWith(QStringLiteral(" 数据库文件已被替换或被其他程序改动，已重新打开")));
        run(2);
        QCOMPARE(notices.count(), 1);
        // Nothing is left beside the file that another one could take for its
        // own: no write-ahead log, and a journal with a zeroed header.
        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA journal_mode")).value(0).value(0).toString(), QStringLiteral("delete"));
        QVERIFY(!QFile::exists(m_path + QStringLiteral("-wal")));
        QFile journal(m_path + QStringLiteral("-journal"));
        QVERIFY(!journal.exists() || (journal.open(QIODevice::ReadOnly) && journal.read(28) == QByteArray(28, '\0')));
    }

    void lostIds_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("null") << "UPDATE sl_void SET pv_id = NULL, lpv_id = NULL";
        QTest::newRow("text") << "UPDATE sl_void SET pv_id = 'abc', lpv_id = ''";
        QTest::newRow("blob") << "UPDATE sl_void SET pv_id = x'0102', lpv_id = x'14'";
        QTest::newRow("negative") << "UPDATE sl_void SET pv_id = -7, lpv_id = -1";
        QTest::newRow("no row") << "DELETE FROM sl_void";
    }
    void lostIds()
    {
        // Both rings have wrapped: the older lap (ids 21..40, Lpv 6..8) was
        // taken yesterday late in the day, the newer one (ids 1..20, Lpv
        // 1..5) today early on; the newest records are pv 20 and Lpv 5.
        QFETCH(QString, damage);
        {
            DbConn setup(m_files, QStringLiteral("setup"));
            QVERIFY(setup.open());
        }
        const QDateTime today(kStart.date(), QTime(0, 10, 0)), yesterday(kStart.date().addDays(-1), QTime(23, 0, 0));
        QVERIFY(fillRing(m_path, DbRing::Pv, 21, 20, yesterday.addSecs(21)));
        QVERIFY(fillRing(m_path, DbRing::Pv, 1, 20, today.addSecs(1)));
        QVERIFY(fillRing(m_path, DbRing::Lpv, 6, 3, yesterday.addSecs(60), 10));
        QVERIFY(fillRing(m_path, DbRing::Lpv, 1, 5, today.addSecs(10), 10));
        bool ok = false;
        sqlRows(m_path, damage, &ok);
        QVERIFY(ok);
        const QList<QVariantList> damaged = sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void"));
        const QList<QVariantList> pvBefore = Rows("pv_data"), lpvBefore = Rows("Lpv_wdjl");

        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        int32_t cur = 0;
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 20);
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT * FROM sl_void")), damaged); // a reader never writes

        mscom m(m_live, m_times, m_files);
        QSignalSpy notices(&m, &mscom::noticeRaised);
        m.Form_Load();
        m_live.Val_3X[0] = 99;
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({21, 21, 6, 6}));
        QCOMPARE(sqlRows(m_path, QStringLiteral("SELECT count(*) FROM sl_void")).value(0).value(0).toInt(), 1);
        QCOMPARE(notices.count(), 1);
        const LogNotice recovered = m.lastNotice();
        QCOMPARE(recovered.kind, DbNotice::IdsRecovered);
        QCOMPARE(logNoticeText(recovered), QStringLiteral("12:00:00 表 sl_void 中的最新记录号无法读出，已按记录时间取回并存回（pv_data 20，Lpv_wdjl 5）"));
        const QList<QVariantList> pv = Rows("pv_data"), lpv = Rows("Lpv_wdjl");
        QCOMPARE(pv[20][3].toFloat(), 99.0f);
        QCOMPARE(lpv[5][3].toFloat(), 99.0f);
        for (int i = 0; i < 40; ++i)
            if (i != 20)
                QCOMPARE(pv[i], pvBefore[i]);
        for (int i = 0; i < 8; ++i)
            if (i != 5)
                QCOMPARE(lpv[i], lpvBefore[i]);
        Advance(1);
        Tick(m);
        QCOMPARE(slVoid(), QList<int>({22, 22, 6, 6}));
        QCOMPARE(notices.count(), 1); // said once
    }

    void secondCopy()
    {
        // A running copy (a real process) logs; this one reads history but
        // never writes, and takes over once that copy is killed.
        QProcess child;
        startChild(child, m_path, "step");
        QVERIFY(child.waitForStarted());
        auto step = [&](int n) {
            child.write("\n");
            QByteArray out;
            while (!out.endsWith(QByteArray::number(n) + '\n')) {
                QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
                child.waitForReadyRead(2000);
                out += child.readAllStandardOutput();
            }
        };
        for (int n = 1; n <= 5; ++n)
            step(n);
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(main.open());
        int32_t cur = 0;
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 5);

        mscom m(m_live, m_times, m_files);
        QSignalSpy logged(&m, &mscom::sampleLogged);
        m.Form_Load();
        QCOMPARE(m.logState().error.kind, DbFault::InUse);
        QCOMPARE(m.logState().error.pid, child.processId());
        QCOMPARE(logStateText(m.logState()),
                 QStringLiteral("记录已停止：数据库 %1 正被另一个运行中的本程序使用（进程号 %2）").arg(m_path).arg(child.processId()));
        const LogState inUse = m.logState();
        for (int s = 0; s < 3; ++s) {
            Advance(1);
            logged.clear();
            Tick(m);
            QVERIFY(m.logState() == inUse);
            QCOMPARE(logged.count(), 1); // the live chart still moves on
        }
        step(6);
        QCOMPARE(slVoid(), QList<int>({6, 6, 1, 1}));
        QVERIFY(readCurId(main, cur));
        QCOMPARE(cur, 6);

        child.kill(); // SIGKILL: its lock goes with it
        QVERIFY(child.waitForFinished());
        Advance(1);
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({7, 7, 1, 1})); // the ten-second record counts from the last attempt
        QFile lock(m_path + QStringLiteral(".lock"));
        QVERIFY(lock.open(QIODevice::ReadOnly));
        QCOMPARE(lock.readAll().trimmed().toLongLong(), qint64(QCoreApplication::applicationPid()));
        const QList<QVariantList> pv = Rows("pv_data");
        QCOMPARE(pv.size(), 7);
        for (int k = 1; k <= 7; ++k)
            QCOMPARE(pv[k - 1][0].toInt(), k);
        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
    }

    void folderFaults_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing") << "none/sub" << "数据库文件夹 %1 不存在";
        QTest::newRow("under a file") << "file.txt" << "数据库文件夹 %1 无法使用：%1 不是文件夹";
        QTest::newRow("under a file, deeper") << "file.txt/sub" << "数据库文件夹 %1 无法使用：%2 不是文件夹";
    }
    void folderFaults()
    {
        QFETCH(QString, folder);
        QFETCH(QString, why);
        const QString base = QFileInfo(m_path).absolutePath();
        QFile file(base + QStringLiteral("/file.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString dir = base + u'/' + folder;
        m_path = dir + QStringLiteral("/Rdatabj.db");
        qputenv("QR5300M_DB", m_path.toLocal8Bit());
        const QString text = QString(why).replace(QStringLiteral("%1"), dir).replace(QStringLiteral("%2"), file.fileName());
        DbConn main(m_files, QStringLiteral("Main_Conn"));
        QVERIFY(!main.open());
        QCOMPARE(dbErrorText(main.error()), text);
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        QCOMPARE(dbErrorText(m.logState().error), text);
        Advance(1);
        Tick(m);
        QCOMPARE(dbErrorText(m.logState().error), text);
    }

    void folderNotWritable_data()
    {
        QTest::addColumn<bool>("dbThere");
        QTest::newRow("nothing there yet") << false;
        QTest::newRow("database there, no journal possible") << true;
    }
    void folderNotWritable()
    {
        // Root writes anywhere: the child drops to user nobody. A read-only
        // mount would be the other case; none is available to the tests.
        QFETCH(bool, dbThere);
        const QString dir = QFileInfo(m_path).absolutePath();
        if (dbThere) {
            {
                mscom m(m_live, m_times, m_files);
                m.Form_Load();
                Tick(m);
            }
            for (const QString &f : {m_path, m_path + QStringLiteral(".lock")})
                QVERIFY(!QFile::exists(f) || QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
                                                     | QFile::ReadOther | QFile::WriteOther));
        }
        const auto rx = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir, rx));
        QProcess child;
        startChild(child, m_path, "nobody");
        QVERIFY(child.waitForFinished());
        QFile::setPermissions(dir, rx | QFile::WriteOwner);
        if (child.exitCode() == 77)
            QSKIP("cannot switch to user nobody");
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(),
                 QStringLiteral("数据库文件夹 %1 不可写入（Permission denied）").arg(dir));
        if (dbThere)
            QCOMPARE(slVoid(), QList<int>({1, 1, 1, 1}));
    }

    void backupWhileLogging()
    {
        // The operator's backup of the running database with the sqlite3
        // tool, while the logging holds its lock.
        const QString tool = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
        if (tool.isEmpty())
            QSKIP("no sqlite3 tool");
        mscom m(m_live, m_times, m_files);
        m.Form_Load();
        for (int s = 0; s < 20; ++s) {
            Tick(m);
            Advance(1);
        }
        const QString copy = m_db->filePath(QStringLiteral("copy.db"));
        QProcess p;
        p.start(tool, {QStringLiteral("-cmd"), QStringLiteral(".timeout 2000"), m_path, QStringLiteral(".backup '%1'").arg(copy)});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(sqlRows(copy, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
        QCOMPARE(Ints(sqlRows(copy, QStringLiteral("SELECT * FROM sl_void")).value(0)), QList<int>({20, 20, 2, 2}));
        QCOMPARE(sqlRows(copy, QStringLiteral("SELECT * FROM pv_data ORDER BY 1")), Rows("pv_data"));
        Tick(m);
        QVERIFY2(m.loggingOk(), qPrintable(dbErrorText(m.logState().error)));
        QCOMPARE(slVoid(), QList<int>({21, 21, 3, 3}));
    }

    void killedDuringLogging_data()
    {
        QTest::addColumn<int>("records");
        QTest::newRow("after 40") << 40;
        QTest::newRow("after 150") << 150;
        QTest::newRow("after 400") << 400;
    }
    void killedDuringLogging()
    {
        QFETCH(int, records);
        QProcess child;
        startChild(child, m_path, "1");
        QVERIFY(child.waitForStarted());
        QByteArray out;
        while (out.count('\n') < records) {
            QVERIFY2(child.state() == QProcess::Running || child.bytesAvailable(), child.readAllStandardError().constData());
            child.waitForReadyRead(2000);
            out += child.readAllStandardOutput();
        }
        child.kill(); // SIGKILL, in the middle of whatever it was doing
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        out += child.readAllStandardOutput();
        const QList<QByteArray> lines = out.left(out.lastIndexOf('\n')).split('\n');
        const int printed = lines.last().toInt();
        QVERIFY(printed >= records);

        QCOMPARE(sqlRows(m_path, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
        const QList<int> sl = slVoid();
        QVERIFY2(sl[0] == printed || sl[0] == printed + 1, qPrintable(QString::number(sl[0])));
        QCOMPARE(sl[1], sl[0]);
        QCOMPARE(sl[3], sl[2]);
        const QList<QVariantList> pv = Rows("pv_data");
        QCOMPARE(pv.size(), sl[0]);
        const QDateTime t0(QDate(2026, 3, 12), QTime(8, 0, 0));
        for (int k = 1; k <= sl[0]; ++k) {
            const QVariantList &r = pv[k - 1];
            QCOMPARE(r[0].toInt(), k);
            QCOMPARE(r[2].toDouble(), timeSerial(t0.addSecs(k - 1).time()));
            for (int q = 0; q < 8; ++q)
                QCOMPARE(r[3 + q].toFloat(), float(k * 10 + q));
        }
        const QList<QVariantList> lpv = Rows("Lpv_wdjl");
        QCOMPARE(lpv.size(), sl[2]);
        // One ten-second record per ten one-second ones; the kill may fall
        // between the two records of one tick.
        const int lpvDue = (sl[0] + 9) / 10;
        QVERIFY(sl[2] == lpvDue || (sl[0] % 10 == 1 && sl[2] == lpvDue - 1));
        for (int j = 1; j <= sl[2]; ++j)
            QCOMPARE(lpv[j - 1][3].toFloat(), float((10 * (j - 1) + 1) * 10));
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("QR_LOG_CHILD"))
        return childMain();
    TstLogging t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_logging.moc"
