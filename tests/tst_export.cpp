// History read back by date and its CSV export, on a real database with
// both rings full, and `qr5300m export` run as a real process with no display.
#include "app/history_text.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "logging/csv_export.h"
#include "logging/history_range.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>



#include <bit>
#include <cerrno>
#include <charconv>
#include <clocale>

Q_DECLARE_METATYPE(std::optional<LogRing>)

// What --out names, or what was done to the database read.
enum class Target {
    Database,       // the database itself
    DatabaseLink,   // a symbolic link to it
    DatabaseHard,   // a hard link to it
    Journal,        // its rollback journal (not there between two records)
    LockFile,       // its lock file
    DeviceNode,     // a character device made in the test folder
    Fifo,           // a named pipe
    DamagedRing,    // one page of the records overwritten with garbage
    DamagedIds,     // the page of sl_void (the newest ids) overwritten with garbage
    CraftedId,      // sl_void.pv_id = -9223372036854775808
    NullAndText,    // a record with null and text where values belong
    FormulaCells,   // events whose texts start with = + - @
};
Q_DECLARE_METATYPE(Target)

namespace {

// pv_data: one record a second from kOldest on, 65500 of them; the newest id
// is kNewestId, so the ring wraps between ids 65500 and 1. Lpv_wdjl: one
// every ten seconds up to the same newest time.
const QDateTime kOldest(QDate(2026, 12, 7), QTime(10, 0, 0));
constexpr int kNewestId = 30000;
int pvId(int n) { return (kNewestId + n) % kRingSize + 1; } // record n = 0 oldest
QDateTime pvTime(int n) { return kOldest.addSecs(n); }
const QDateTime kNewest = pvTime(kRingSize - 1);
QDateTime lpvTime(int n) { return kNewest.addSecs(-10 * qint64(kRingSize - 1 - n)); }
// Values that need every digit of a float, some with a fraction, one far
// beyond where a plain format turns to an exponent.
double valueOf(int n, int k)
{
    switch (k) {
    case 0: return n % 1500;
    case 1: return double(float(n) / 7.0f - 100.0f);
    case 2: return -12.25;
    case 3: return double(0.1f);
    case 4: return double(1.0e20f);
    case 5: return double(3.0e-7f);
    default: return n * 10 + k;
    }
}

// One CSV line split at commas (the records hold no quoted fields).
QStringList fields(const QByteArray &line) { return QString::fromUtf8(line).split(u','); }

float parseFloat(const QString &text, bool &ok)
{
    const QByteArray b = text.toLatin1();
    float v = 0;
    const auto r = std::from_chars(b.constData(), b.constData() + b.size(), v);
    ok = r.ec == std::errc() && r.ptr == b.constData() + b.size();
    return v;
}

// The page of the file that holds needle (0: none).
qint64 pageHolding(const QString &path, const QByteArray &needle)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray all = f.readAll();
    const qsizetype at = all.indexOf(needle);
    const int pageSize = all.size() >= 100 ? (uchar(all.at(16)) << 8) | uchar(all.at(17)) : 0;
    return at < 0 || pageSize == 0 ? 0 : at / pageSize + 1;
}

// Adds events to the journal of the database at path, as the logging does.
bool recordEvents(const QString &path, const std::vector<HistoryEvent> &events)
{
    qputenv("QR5300M_DB", path.toLocal8Bit());
    Clock clock;
    DbFiles files(clock);
    DbConn w(files, QStringLiteral("events"), DbConn::Role::Writer);
    bool ok = w.open();
    for (const HistoryEvent &e : events)
        ok = ok && w.recordEvent(e);
    return ok;
}

// The data lines of a CSV file, line ends and header taken off.
QList<QByteArray> csvLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    lines.removeLast();
    if (!lines.isEmpty())
        lines.removeFirst();
    for (QByteArray &l : lines)
        l.chop(1);
    return lines;
}

} // namespace

class TstExport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_db;
    int m_serial = 0;
    QString outPath() { return m_dir.filePath(QStringLiteral("out%1.csv").arg(++m_serial)); }

    // qr5300m itself, with no display of any kind.
    int runCli(const QStringList &args, QByteArray *err = nullptr)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("QR5300M_DB"), m_db);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QR_APP_PATH), QStringList{QStringLiteral("export")} + args);
        if (!p.waitForFinished(60000))
            return -1;
        if (err)
            *err = p.readAllStandardError();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

private slots:
    void initTestCase();
    void ringChoice_data();
    void ringChoice();
    void youngDatabaseOneSecondRing();
    void rangeAcrossWrap();
    void roundTripCommaLocale();
    void emptyRange();
    void failedWriteLeavesNoFile_data();
    void failedWriteLeavesNoFile();
    void openFailureKind_data();
    void openFailureKind();
    void cli_data();
    void cli();
    void targets_data();
    void targets();

private:
    bool prepareTarget(Target target, const QString &db, QString &out);
    void checkWritten(Target target, const QString &out);
};

void TstExport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_db = m_dir.filePath(QStringLiteral("full.db"));
    QVERIFY(makeLogDb(m_db));
    QVERIFY(fillRingBy(m_db, "pv_data", kRingSize, pvId, pvTime, valueOf, pvId(kRingSize - 1)));
    QVERIFY(fillRingBy(m_db, "Lpv_wdjl", kRingSize, pvId, lpvTime, valueOf, pvId(kRingSize - 1)));
    QCOMPARE(pvId(kRingSize - 1), kNewestId);
}

// The one-second ring while it covers the range's start (about 18 hours
// back), the ten-second ring beyond; --ring forces one.
void TstExport::ringChoice_data()
{
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<std::optional<LogRing>>("forced");
    QTest::addColumn<LogRing>("ring");
    QTest::addColumn<QDateTime>("first");

    // Ten-second records lie 10 s apart back from the newest one, which is
    // 65499 s after the oldest one-second record: at 9 s after it, and 1 s
    // before it.
    QTest::newRow("at the oldest record") << kOldest << std::optional<LogRing>() << LogRing::OneSecond << kOldest;
    QTest::newRow("a second before it") << kOldest.addSecs(-1) << std::optional<LogRing>() << LogRing::TenSecond << kOldest.addSecs(-1);
    QTest::newRow("forced 1s") << kOldest.addSecs(-1) << std::optional<LogRing>(LogRing::OneSecond) << LogRing::OneSecond
                               << kOldest;
    QTest::newRow("forced 10s") << kOldest << std::optional<LogRing>(LogRing::TenSecond) << LogRing::TenSecond << kOldest.addSecs(9);
}

void TstExport::ringChoice()
{
    QFETCH(QDateTime, from);
    QFETCH(std::optional<LogRing>, forced);
    QFETCH(LogRing, ring);
    QFETCH(QDateTime, first);
    HistoryRange range;
    HistoryError error;
    QVERIFY2(readHistory(m_db, from, from.addSecs(3600), forced, range, error), qPrintable(historyReadText(error)));
    QCOMPARE(range.ring, ring);
    QVERIFY(!range.records.empty());
    QCOMPARE(QDateTime::fromMSecsSinceEpoch(range.records.front().msecs), first);
    // Every record of the ring in the hour, one step apart.
    const qint64 step = ring == LogRing::OneSecond ? 1000 : 10000;
    for (size_t i = 1; i < range.records.size(); ++i)
        QCOMPARE(range.records[i].msecs - range.records[i - 1].msecs, step);
    QVERIFY(from.addSecs(3600).toMSecsSinceEpoch() - range.records.back().msecs < step);
}

// A young database: both rings started together, so the one-second ring
// holds all there is also for a range that starts before its first record.
void TstExport::youngDatabaseOneSecondRing()
{
    const QString db = m_dir.filePath(QStringLiteral("young.db"));
    QVERIFY(makeLogDb(db));
    auto id = [](int n) { return n + 1; };
    auto value = [](int n, int k) { return double(n * 10 + k); };
    QVERIFY(fillRingBy(db, "pv_data", 30, id, pvTime, value, 30));
    QVERIFY(fillRingBy(db, "Lpv_wdjl", 3, id, [](int n) { return pvTime(10 * n); }, value, 3));
    HistoryRange range;
    HistoryError error;
    QVERIFY(readHistory(db, kOldest.addSecs(-3600), kOldest.addSecs(3600), std::nullopt, range, error));
    QCOMPARE(range.ring, LogRing::OneSecond);
    QCOMPARE(range.records.size(), size_t(30));
}

// Ids 65500 and 1 lie next to each other in time: the records come out in
// time order all the same, each with its own values.
void TstExport::rangeAcrossWrap()
{
    const int wrapN = kRingSize - kNewestId - 1; // record n with id 65500
    QCOMPARE(pvId(wrapN), kRingSize);
    HistoryRange range;
    HistoryError error;
    QVERIFY(readHistory(m_db, pvTime(wrapN - 5), pvTime(wrapN + 5), std::nullopt, range, error));
    QCOMPARE(range.records.size(), size_t(11));
    for (int i = 0; i < 11; ++i) {
        const HistoryRecord &r = range.records[size_t(i)];
        QCOMPARE(r.msecs, pvTime(wrapN - 5 + i).toMSecsSinceEpoch());
        QCOMPARE(r.values[6], float(valueOf(wrapN - 5 + i, 6)));
        QVERIFY(r.fresh);
    }
}

// Every row, every value and the flag read back from the file as the
// database holds them, with a comma as the locale's decimal separator.
void TstExport::roundTripCommaLocale()
{
    const QString db = m_dir.filePath(QStringLiteral("roundtrip.db"));
    QVERIFY(QFile::copy(m_db, db));
    // The link closed for ten seconds in the middle of the range.
    const QDateTime from = pvTime(1000), to = pvTime(1200);
    {
        qputenv("QR5300M_DB", db.toLocal8Bit());
        Clock clock;
        DbFiles files(clock);
        DbConn w(files, QStringLiteral("w"), DbConn::Role::Writer);
        QVERIFY(w.open());
        HistoryEvent e;
        e.kind = EventKind::LinkClosed;
        e.msecs = pvTime(1100).toMSecsSinceEpoch();
        QVERIFY(w.recordEvent(e));
        e.kind = EventKind::LinkOpened;
        e.msecs = pvTime(1110).toMSecsSinceEpoch();
        QVERIFY(w.recordEvent(e));
    }
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German));
    const char *c = std::setlocale(LC_ALL, "de_DE.UTF-8"); // when the system has it
    Q_UNUSED(c);
    HistoryRange range;
    HistoryError error;
    const QString out = outPath();
    const bool read = readHistory(db, from, to, std::nullopt, range, error);
    qint64 lastDone = -1;
    const CsvResult written = exportCsv(range, out, false, [&lastDone](qint64 done, qint64) {
        lastDone = done;
        return true;
    });
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(before);
    QVERIFY2(read, qPrintable(historyReadText(error)));
    QVERIFY2(written.ok(), qPrintable(csvExportText(written)));
    QCOMPARE(lastDone, qint64(201));

    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    QVERIFY(all.startsWith("\xEF\xBB\xBF"));
    QList<QByteArray> lines = all.mid(3).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray()); // ends with a line end
    for (QByteArray &l : lines) {
        QVERIFY(l.endsWith('\r'));
        l.chop(1);
    }
    QCOMPARE(fields(lines.takeFirst()).size(), 10);
    QCOMPARE(lines.size(), 201);
    const QList<QVariantList> rows = sqlRows(db, QStringLiteral("SELECT * FROM pv_data WHERE w_date * 86400 + w_time * 86400 "
                                                                "BETWEEN %1 - 0.5 AND %2 + 0.5 ORDER BY w_date, w_time")
                                                     .arg(dateSerial(from.date()) * 86400 + timeSerial(from.time()) * 86400, 0, 'f', 0)
                                                     .arg(dateSerial(to.date()) * 86400 + timeSerial(to.time()) * 86400, 0, 'f', 0));
    QCOMPARE(rows.size(), 201);
    for (int i = 0; i < 201; ++i) {
        const QStringList f = fields(lines[i]);
        QCOMPARE(f.size(), 10);
        const QDateTime when(serialDate(rows[i][1].toDouble()), serialTime(rows[i][2].toDouble()));
        QCOMPARE(f[0], when.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        for (int k = 0; k < 8; ++k) {
            bool ok = false;
            QVERIFY2(!f[1 + k].contains(u'e') && !f[1 + k].contains(u'E'), qPrintable(f[1 + k]));
            QCOMPARE(parseFloat(f[1 + k], ok), rows[i][3 + k].toFloat());
            QVERIFY2(ok, qPrintable(f[1 + k]));
        }
        const int n = 1000 + i;
        // An event counts from the second after it.
        QCOMPARE(f[9], n > 1100 && n <= 1110 ? QStringLiteral("保持") : QStringLiteral("实测"));
    }
}

// A range without records gives the header alone, from the window and from
// the command line.
void TstExport::emptyRange()
{
    const QDateTime from = kNewest.addSecs(60), to = kNewest.addSecs(120);
    HistoryRange range;
    HistoryError error;
    QVERIFY(readHistory(m_db, from, to, std::nullopt, range, error));
    QVERIFY(range.records.empty());
    const QString out = outPath();
    QVERIFY(exportCsv(range, out, false).ok());
    const QString cliOut = outPath();
    QCOMPARE(runCli({QStringLiteral("--from"), from.toString(Qt::ISODate), QStringLiteral("--to"), to.toString(Qt::ISODate),
                     QStringLiteral("--out"), cliOut}),
             0);
    for (const QString &path : {out, cliOut}) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QCOMPARE(all.count('\n'), 1);
        QVERIFY(all.startsWith("\xEF\xBB\xBF时间,通道一 CH1,"));
    }
}

// Whether user nobody may pass through every folder above path.
static bool othersMayEnter(const QString &path)
{
    for (QDir d(QFileInfo(path).absolutePath());; ) {
        struct stat st {};
        if (::stat(QFile::encodeName(d.path()).constData(), &st) != 0 || !(st.st_mode & S_IXOTH))
            return false;
        if (!d.cdUp())
            return true;
    }
}

// What user nobody needs to run the program: a checkout under a folder that
// others may not enter (root's home is 0700) holds a program that nobody
// cannot even start, so it runs from a copy in folder (the sanitizer build
// links its libraries dynamically: the executable is enough), and a leak
// suppressions file named in env is copied beside it. False with the reason.
static bool prepareForNobody(const QString &folder, QProcessEnvironment &env, QString &program, QString &why)
{
    const auto rx = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                    | QFile::ReadOther | QFile::ExeOther;
    program = QDir(folder).filePath(QStringLiteral("qr5300m"));
    if (!QDir().mkpath(folder) || !QFile::setPermissions(folder, rx)
        || (!QFile::exists(program) && !QFile::copy(QStringLiteral(QR_APP_PATH), program))
        || !QFile::setPermissions(program, rx)) {
        why = QStringLiteral("cannot copy the program into %1").arg(folder);
        return false;
    }
    QStringList lsan = env.value(QStringLiteral("LSAN_OPTIONS")).split(u':');
    for (QString &option : lsan) {
        if (!option.startsWith(QStringLiteral("suppressions=")))
            continue;
        const QString copy = QDir(folder).filePath(QStringLiteral("lsan.supp"));
        if (!QFile::exists(copy) && !QFile::copy(option.mid(13), copy)) {
            why = QStringLiteral("cannot copy %1 into %2").arg(option.mid(13), folder);
            return false;
        }
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        option = QStringLiteral("suppressions=") + copy;
    }
    env.insert(QStringLiteral("LSAN_OPTIONS"), lsan.join(u':'));
    if (!othersMayEnter(program)) {
        why = QStringLiteral("user nobody may not enter the folders above %1").arg(folder);
        return false;
    }
    return true;
}

// A write that fails leaves no file under the chosen name, and an older
// file there stays as it was.
// A file that cannot be made: the result names the kind and the system's
// error number, and no file appears.
void TstExport::openFailureKind_data()
{
    QTest::addColumn<bool>("folderIsFile"); // else the folder is not there
    QTest::addColumn<int>("sysErrno");
    QTest::newRow("no such folder") << false << int(ENOENT);
    QTest::newRow("folder is a file") << true << int(ENOTDIR);
}

void TstExport::openFailureKind()
{
    QFETCH(bool, folderIsFile);
    QFETCH(int, sysErrno);
    const QString folder = m_dir.filePath(QStringLiteral("folder%1").arg(++m_serial));
    if (folderIsFile) {
        QFile f(folder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    HistoryRange range;
    HistoryError error;
    QVERIFY2(readHistory(m_db, kNewest.addSecs(-60), kNewest, std::nullopt, range, error), qPrintable(historyReadText(error)));
    const QString out = folder + QStringLiteral("/out.csv");
    const CsvResult r = exportCsv(range, out, false);
    QCOMPARE(r.kind, CsvFault::Open);
    QCOMPARE(r.sysErrno, sysErrno);
    QCOMPARE(r.path, out);
    QVERIFY(!QFile::exists(out));
}

void TstExport::failedWriteLeavesNoFile_data()
{
    QTest::addColumn<bool>("unwritableFolder"); // else the folder is a file
    QTest::addColumn<bool>("oldFile");
    QTest::newRow("folder is a file") << false << false;
    QTest::newRow("folder not writable") << true << false;
    QTest::newRow("folder not writable, old file there") << true << true;
}

void TstExport::failedWriteLeavesNoFile()
{
    QFETCH(bool, unwritableFolder);
    QFETCH(bool, oldFile);
    const QString folder = m_dir.filePath(QStringLiteral("folder%1").arg(++m_serial));
    const QString out = folder + QStringLiteral("/out.csv");
    if (!unwritableFolder) {
        QFile f(folder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray err;
        QCOMPARE(runCli({QStringLiteral("--from"), kNewest.addSecs(-60).toString(Qt::ISODate), QStringLiteral("--to"),
                         kNewest.toString(Qt::ISODate), QStringLiteral("--out"), out},
                        &err),
                 1);
        QCOMPARE(err.count('\n'), 1);
        QVERIFY(!QFile::exists(out));
        return;
    }
    // Root writes anywhere: the export runs as user nobody on a folder it
    // may read but not write.
    QVERIFY(QDir().mkpath(folder));
    if (oldFile) {
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("old") == 3);
    }
    const auto rx = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                    | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(m_dir.path(), rx));
    QVERIFY(QFile::setPermissions(folder, rx));
    QVERIFY(!oldFile || QFile::setPermissions(out, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    QString program, why;
    if (!prepareForNobody(m_dir.filePath(QStringLiteral("nobody")), env, program, why)) {
        QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QSKIP(qPrintable(QStringLiteral("the export cannot run as user nobody: ") + why));
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QFileInfo(program).absolutePath());
    p.setChildProcessModifier([] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(77);
    });
    p.start(program,
            {QStringLiteral("export"), QStringLiteral("--db"), m_db, QStringLiteral("--from"), kNewest.addSecs(-60).toString(Qt::ISODate),
             QStringLiteral("--to"), kNewest.toString(Qt::ISODate), QStringLiteral("--out"), out});
    const bool started = p.waitForStarted(60000);
    QVERIFY(!started || p.waitForFinished(60000));
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!started)
        QSKIP(qPrintable(QStringLiteral("user nobody cannot start %1: %2").arg(program, p.errorString())));
    if (p.exitCode() == 77)
        QSKIP("cannot switch to user nobody");
    const QByteArray err = p.readAllStandardError();
    QCOMPARE(p.exitCode(), 1);
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.contains(out.toUtf8()), err.constData());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), oldFile ? QStringList{QStringLiteral("out.csv")} : QStringList());
    if (oldFile) {
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }
}

// The command line: exit 0 and the same file as the export from the window;
// a usage error exits 2, a failure 1, each with one line on standard error.
void TstExport::cli_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    const QString from = pvTime(500).toString(Qt::ISODate), to = pvTime(800).toString(Qt::ISODate);
    const QString f = QStringLiteral("--from"), t = QStringLiteral("--to");
    QTest::newRow("good") << QStringList{f, from, t, to} << 0;
    QTest::newRow("good, 10 s ring") << QStringList{f, from, t, to, QStringLiteral("--ring"), QStringLiteral("10s")} << 0;
    QTest::newRow("good, events") << QStringList{f, from, t, to, QStringLiteral("--events")} << 0;
    QTest::newRow("no --from") << QStringList{t, to} << 2;
    QTest::newRow("not a time") << QStringList{f, QStringLiteral("2026-13-08T03:00:00"), t, to} << 2;
    QTest::newRow("to before from") << QStringList{f, to, t, from} << 2;
    QTest::newRow("bad ring") << QStringList{f, from, t, to, QStringLiteral("--ring"), QStringLiteral("5s")} << 2;
    QTest::newRow("unknown option") << QStringList{f, from, t, to, QStringLiteral("--fast")} << 2;
    QTest::newRow("no such database") << QStringList{f, from, t, to, QStringLiteral("--db"), QStringLiteral("/nonexistent/x.db")} << 1;
}

void TstExport::cli()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    const QString out = outPath();
    QByteArray err;
    QCOMPARE(runCli(args + QStringList{QStringLiteral("--out"), out}, &err), exitCode);
    if (exitCode != 0) {
        QCOMPARE(err.count('\n'), 1);
        QVERIFY(err.startsWith("qr5300m export: "));
        QVERIFY(!QFile::exists(out));
        return;
    }
    QVERIFY(err.isEmpty());
    // The same bytes as the export from the window.
    const qsizetype ringAt = args.indexOf(QStringLiteral("--ring"));
    std::optional<LogRing> ring;
    if (ringAt >= 0)
        ring = LogRing::TenSecond;
    HistoryRange range;
    HistoryError error;
    QVERIFY(readHistory(m_db, QDateTime::fromString(args[1], Qt::ISODate), QDateTime::fromString(args[3], Qt::ISODate), ring,
                        range, error));
    const QString mine = outPath();
    QVERIFY(exportCsv(range, mine, args.contains(QStringLiteral("--events"))).ok());
    QCOMPARE(fileHash(out), fileHash(mine));
    QVERIFY(QFileInfo(out).size() > 100 || args.contains(QStringLiteral("--events")));
}

// What --out may not name and what the export must not take as whole: the
// database (by any name, so the export cannot write over the log), files
// that are not regular (written beside and renamed over, they would be
// replaced), a file that cannot be read through; and what it must take as
// it is: ids from the file that are none, values that are none, texts a
// spreadsheet would run as formulas. The real program, as from a script.
void TstExport::targets_data()
{
    QTest::addColumn<Target>("target");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("the database") << Target::Database << 1;
    QTest::newRow("a symbolic link to it") << Target::DatabaseLink << 1;
    QTest::newRow("a hard link to it") << Target::DatabaseHard << 1;
    QTest::newRow("its journal") << Target::Journal << 1;
    QTest::newRow("its lock file") << Target::LockFile << 1;
    QTest::newRow("a device node") << Target::DeviceNode << 1;
    QTest::newRow("a FIFO") << Target::Fifo << 1;
    QTest::newRow("a damaged page of the records") << Target::DamagedRing << 1;
    QTest::newRow("a damaged page of the newest ids") << Target::DamagedIds << 1;
    QTest::newRow("a crafted newest id") << Target::CraftedId << 0;
    QTest::newRow("null and text as values") << Target::NullAndText << 0;
    QTest::newRow("formula-like texts") << Target::FormulaCells << 0;
}

void TstExport::targets()
{
    QFETCH(Target, target);
    QFETCH(int, exitCode);
    const QString db = m_dir.filePath(QStringLiteral("target%1.db").arg(++m_serial));
    QVERIFY(QFile::copy(m_db, db));
    QString out = outPath();
    if (!prepareTarget(target, db, out))
        return; // skipped or failed inside
    // A FIFO is never opened here: that would wait for a writer.
    auto contents = [&out] { return QFileInfo(out).isFile() ? fileHash(out) : QByteArray(); };
    const QByteArray dbBefore = fileHash(db), outBefore = contents();
    QStringList args{QStringLiteral("--db"), db, QStringLiteral("--from"), pvTime(500).toString(Qt::ISODate),
                     QStringLiteral("--to"), pvTime(800).toString(Qt::ISODate), QStringLiteral("--out"), out};
    if (target == Target::FormulaCells)
        args << QStringLiteral("--events");
    QByteArray err;
    QCOMPARE(runCli(args, &err), exitCode);
    if (exitCode == 0) {
        QVERIFY2(err.isEmpty(), err.constData());
        checkWritten(target, out);
        return;
    }
    QCOMPARE(err.count('\n'), 1);
    QVERIFY2(err.startsWith("qr5300m export: "), err.constData());
    QCOMPARE(fileHash(db), dbBefore);
    QCOMPARE(contents(), outBefore); // as it was, or still not there
    struct stat st{};
    const bool there = ::lstat(QFile::encodeName(out).constData(), &st) == 0;
    switch (target) {
    case Target::DatabaseLink: QVERIFY(there && S_ISLNK(st.st_mode)); break;
    case Target::DeviceNode: QVERIFY(there && S_ISCHR(st.st_mode)); break;
    case Target::Fifo: QVERIFY(there && S_ISFIFO(st.st_mode)); break;
    case Target::Journal:
    case Target::DamagedRing:
    case Target::DamagedIds: QVERIFY(!there); break;
    default: QVERIFY(there && S_ISREG(st.st_mode)); break;
    }
}

bool TstExport::prepareTarget(Target target, const QString &db, QString &out)
{
    const QByteArray o = QFile::encodeName(out);
    HistoryEvent e;
    e.kind = EventKind::ParamRefused;
    e.reg = 7;
    switch (target) {
    case Target::Database: out = db; return true;
    case Target::DatabaseLink: return QFile::link(db, out);
    case Target::DatabaseHard: return ::link(QFile::encodeName(db).constData(), o.constData()) == 0;
    case Target::Journal: out = db + QStringLiteral("-journal"); return true;
    case Target::LockFile: {
        out = db + QStringLiteral(".lock");
        QFile lock(out);
        return lock.open(QIODevice::WriteOnly) && lock.write("4242\n") == 5;
    }
    case Target::DeviceNode:
        if (::mknod(o.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
            QTest::qSkip("mknod needs root", __FILE__, __LINE__);
            return false;
        }
        return true;
    case Target::Fifo: return ::mkfifo(o.constData(), 0600) == 0;
    case Target::DamagedRing: {
        // A value no other record holds, in the middle of the range.
        const bool set = withDb(db, [](QSqlDatabase &d) {
            return QSqlQuery(d).exec(QStringLiteral("UPDATE pv_data SET w_v7 = 123456.789 WHERE w_id = %1").arg(pvId(650)));
        });
        double v = 123456.789;
        QByteArray needle(8, 0);
        for (int i = 0; i < 8; ++i)
            needle[i] = char(std::bit_cast<quint64>(v) >> (56 - 8 * i));
        return set && damagePage(db, pageHolding(db, needle));
    }
    case Target::DamagedIds: {
        const QList<QVariantList> root = sqlRows(db, QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = 'sl_void'"));
        return root.size() == 1 && damagePage(db, root[0][0].toInt());
    }
    case Target::CraftedId:
        return withDb(db, [](QSqlDatabase &d) {
            return QSqlQuery(d).exec(QStringLiteral("UPDATE sl_void SET pv_id = -9223372036854775808"));
        });
    case Target::NullAndText:
        return withDb(db, [](QSqlDatabase &d) {
            return QSqlQuery(d).exec(QStringLiteral("UPDATE pv_data SET w_v0 = NULL, w_v1 = 'abc' WHERE w_id = %1").arg(pvId(600)));
        });
    case Target::FormulaCells:
        e.msecs = pvTime(600).toMSecsSinceEpoch();
        e.caption = QStringLiteral("=HYPERLINK(\"http://127.0.0.1/\")");
        e.before = QStringLiteral("-12.5");
        e.value = QStringLiteral("+1+2");
        e.detail = QStringLiteral("@SUM(A1)");
        return recordEvents(db, {e});
    }
    return false;
}

void TstExport::checkWritten(Target target, const QString &out)
{
    const QList<QByteArray> lines = csvLines(out);
    switch (target) {
    case Target::CraftedId: // the records all the same, in their order
        QCOMPARE(lines.size(), 301);
        for (int i = 0; i < 301; ++i)
            QCOMPARE(fields(lines[i]).value(7), QString::number(valueOf(500 + i, 6)));
        break;
    case Target::NullAndText: {
        QCOMPARE(lines.size(), 301);
        const QStringList f = fields(lines[100]);
        QCOMPARE(f.value(0), pvTime(600).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")));
        QCOMPARE(f.mid(1, 3), (QStringList{QString(), QString(), QStringLiteral("-12.25")}));
        break;
    }
    case Target::FormulaCells:
        QCOMPARE(lines.size(), 1);
        QCOMPARE(QString::fromUtf8(lines[0]).section(u',', 5),
                 QStringLiteral("\"'=HYPERLINK(\"\"http://127.0.0.1/\"\")\",-12.5,'+1+2,'@SUM(A1)"));
        break;
    default: QFAIL("not a target that is written");
    }
}

QTEST_GUILESS_MAIN(TstExport)
#include "tst_export.moc"
