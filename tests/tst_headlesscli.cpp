// The headless logger as a real process with no display at all
// (QT_QPA_PLATFORM unset, no DISPLAY) against the real simulator and a real
// database: SIGTERM ends it with exit 0, the database is intact and its
// last record complete; SIGHUP likewise, and a reader of its standard error
// that goes away does not end it. Usage errors, and remembered settings that
// would be usage errors, exit 2 with one line. A lock file that is a link is
// not followed; the settings file holding a password is narrowed to 0600.
#include "testsupport.h"

#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class TestHeadlessCli : public QObject {
    Q_OBJECT
private slots:
    void sigtermLeavesCompleteRecords();
    void usageErrors_data();
    void usageErrors();
    void overEthernet_data();
    void overEthernet();
    void stationsOnOneLine();
    void stopSignals_data();
    void stopSignals();
    void rememberedInvalid_data();
    void rememberedInvalid();
    void lockFileLinkRefused();
    void exposedSettingsNarrowed();
    void language_data();
    void language();

private:
    static void prepare(QProcess &p, const QString &portDir)
    {
        p.setProcessEnvironment(displaylessEnvironment(portDir)); // no MQTT from the user's config
    }
    // Writes the settings file of the config folder dir.
    static bool writeConf(const QString &dir, const QByteArray &text)
    {
        QFile conf(dir + QStringLiteral("/qr5300m/qr5300m.conf"));
        return QDir(dir).mkpath(QStringLiteral("qr5300m")) && conf.open(QIODevice::WriteOnly)
               && conf.write(text) == text.size();
    }
    static int count(const QString &db, const QString &statement)
    {
        const auto rows = sqlRows(db, statement);
        return rows.isEmpty() ? -1 : rows.constFirst().value(0).toInt();
    }
};

void TestHeadlessCli::sigtermLeavesCompleteRecords()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 3, {QStringLiteral("--station"), QStringLiteral("7"), QStringLiteral("--pace")});
    QVERIFY(sim.isReady());
    QVERIFY(sim.command(QStringLiteral("freeze on")).startsWith("ok"));
    QVERIFY(sim.command(QStringLiteral("set ir 1 321")).startsWith("ok"));
    const QString db = dir.filePath(QStringLiteral("log.db"));
    // Station 7 as remembered from the last open; the device by its path.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("qr5300m")));
    QFile conf(dir.filePath(QStringLiteral("qr5300m/qr5300m.conf")));
    QVERIFY(conf.open(QIODevice::WriteOnly));
    conf.write("[link]\nport=9\nbaud=9600\nparity=none\nstation=7\n");
    conf.close();

    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"), sim.devicePath(),
                                            QStringLiteral("--db"), db});
    QVERIFY(app.waitForStarted());
    // Records with the instrument's value are being written.
    const auto recordsOf321 = [&db] {
        const auto rows = sqlRows(db, QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 = 321"));
        return rows.isEmpty() ? 0 : rows.constFirst().value(0).toInt();
    };
    QTRY_VERIFY_WITH_TIMEOUT(recordsOf321() >= 4, 15000);
    ::kill(pid_t(app.processId()), SIGTERM);
    QVERIFY(app.waitForFinished(10000));
    const QByteArray err = app.readAllStandardError();
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QVERIFY2(app.exitCode() == 0, err.constData());
    // State changes on standard error: the link came up once, which is one
    // line, however many good polls followed.
    QVERIFY2(err.count("通讯正常") == 1, err.constData());
    QVERIFY2(err.contains(("记录正常：" + db).toUtf8()), err.constData()); // and the logging's at the start

    QCOMPARE(sqlRows(db, QStringLiteral("PRAGMA integrity_check")).value(0).value(0).toString(), QStringLiteral("ok"));
    const auto last = sqlRows(db, QStringLiteral("SELECT * FROM pv_data ORDER BY w_date DESC, w_time DESC LIMIT 1"));
    QCOMPARE(last.size(), 1);
    for (const QVariant &v : last.constFirst())
        QVERIFY(!v.isNull());
    QCOMPARE(last.constFirst().value(3).toInt(), 321);
}

void TestHeadlessCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("baud") << QStringList{QStringLiteral("--baud"), QStringLiteral("1200")};
    QTest::newRow("parity") << QStringList{QStringLiteral("--parity"), QStringLiteral("mark")};
    QTest::newRow("station") << QStringList{QStringLiteral("--station"), QStringLiteral("248")};
    QTest::newRow("port") << QStringList{QStringLiteral("--port"), QStringLiteral("0")};
    QTest::newRow("mqtt port") << QStringList{QStringLiteral("--mqtt"), QStringLiteral("host:99999")};
    QTest::newRow("unknown") << QStringList{QStringLiteral("--fast")};
    QTest::newRow("port empty") << QStringList{QStringLiteral("--port"), QString()};
    QTest::newRow("db empty") << QStringList{QStringLiteral("--db"), QString()};
    QTest::newRow("network port without host") << QStringList{QStringLiteral("--port"), QStringLiteral("tcp://:502")};
    QTest::newRow("rtu over tcp without port") << QStringList{QStringLiteral("--port"), QStringLiteral("rtu+tcp://127.0.0.1")};
}

void TestHeadlessCli::usageErrors()
{
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), QStringList{QStringLiteral("--headless")} + args);
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitCode(), 2);
    QCOMPARE(app.readAllStandardError().count('\n'), 1);
}

// A line over Ethernet given as --port: the instrument's values are logged.
void TestHeadlessCli::overEthernet_data()
{
    QTest::addColumn<SimProcess::Tcp>("mode");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("Modbus TCP") << SimProcess::Tcp::Modbus << QStringLiteral("tcp");
    QTest::newRow("RTU over TCP") << SimProcess::Tcp::Rtu << QStringLiteral("rtu+tcp");
}

void TestHeadlessCli::overEthernet()
{
    QFETCH(SimProcess::Tcp, mode);
    QFETCH(QString, scheme);
    QTemporaryDir dir;
    SimProcess sim(mode);
    QVERIFY(sim.isReady());
    QVERIFY(sim.command(QStringLiteral("freeze on")).startsWith("ok"));
    QVERIFY(sim.command(QStringLiteral("set ir 1 321")).startsWith("ok"));
    const QString db = dir.filePath(QStringLiteral("log.db"));
    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"),
                                            QStringLiteral("%1://127.0.0.1:%2").arg(scheme).arg(sim.tcpPort()),
                                            QStringLiteral("--db"), db});
    QVERIFY(app.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(count(db, QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 = 321")) >= 2, 15000);

    // The far end goes away and comes back on the same port: the line is
    // connected again by itself, the outage journaled (its records held).
    const int port = sim.tcpPort();
    QCOMPARE(sim.stop(), 0);
    const auto journaled = [&db](const char *kind) {
        return count(db, QStringLiteral("SELECT count(*) FROM qr_events WHERE ev_kind = '%1'").arg(QLatin1String(kind)));
    };
    QTRY_VERIFY_WITH_TIMEOUT(journaled("link_interrupted") == 1, 10000);
    SimProcess again(mode, {}, port);
    QVERIFY(again.isReady());
    QVERIFY(again.command(QStringLiteral("freeze on")).startsWith("ok"));
    QVERIFY(again.command(QStringLiteral("set ir 1 654")).startsWith("ok"));
    QTRY_VERIFY_WITH_TIMEOUT(count(db, QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 = 654")) >= 2, 20000);
    QCOMPARE(journaled("link_restored"), 1);
    ::kill(pid_t(app.processId()), SIGTERM);
    QVERIFY(app.waitForFinished(10000));
    QVERIFY2(app.exitCode() == 0, app.readAllStandardError().constData());
}

// Three instruments and one address nobody answers on one line: each
// station's database holds its own instrument's values only, one record a
// second; the silent one is journaled as interrupted (its records held) and
// costs the others nothing they would notice.
void TestHeadlessCli::stationsOnOneLine()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), QStringLiteral("1,2,5"), QStringLiteral("--pace")});
    QVERIFY(sim.isReady());
    const QList<int> live{1, 2, 5};
    for (const int s : live) {
        QVERIFY(sim.command(QStringLiteral("@%1 freeze on").arg(s)).startsWith("ok"));
        QVERIFY(sim.command(QStringLiteral("@%1 set ir 1 %2").arg(s).arg(100 * s + s)).startsWith("ok"));
        QVERIFY(sim.command(QStringLiteral("@%1 set ir 2 %2").arg(s).arg(-s)).startsWith("ok"));
    }
    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"), QStringLiteral("1"),
                                            QStringLiteral("--station"), QStringLiteral("1,2,5,9"),
                                            QStringLiteral("--data-dir"), dir.path()});
    QVERIFY(app.waitForStarted());
    const auto dbOf = [&dir](int s) { return dir.filePath(QStringLiteral("Rdatabj-%1.db").arg(s)); };
    QTRY_VERIFY_WITH_TIMEOUT(count(dbOf(5), QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 = 505")) >= 6, 20000);
    ::kill(pid_t(app.processId()), SIGTERM);
    QVERIFY(app.waitForFinished(10000));
    QVERIFY2(app.exitCode() == 0, app.readAllStandardError().constData());

    for (const int s : live) {
        // Every record after the first good poll is this station's, value by value.
        const QString polled = QStringLiteral("FROM pv_data WHERE w_v0 <> 0");
        QCOMPARE(count(dbOf(s), QStringLiteral("SELECT count(*) %1 AND (w_v0 <> %2 OR w_v1 <> %3)")
                                    .arg(polled).arg(100 * s + s).arg(-s)), 0);
        // One record a second, none missing between the first and the last.
        const auto span = sqlRows(dbOf(s), QStringLiteral("SELECT count(*), max(w_id) - min(w_id) + 1, "
                                                         "round((max(w_date + w_time) - min(w_date + w_time)) * 86400) + 1 %1").arg(polled));
        QVERIFY(!span.isEmpty());
        QVERIFY2(span[0][0].toInt() >= 5, qPrintable(QString::number(span[0][0].toInt())));
        QCOMPARE(span[0][0].toInt(), span[0][1].toInt());
        QCOMPARE(span[0][0].toInt(), span[0][2].toInt());
        QCOMPARE(count(dbOf(s), QStringLiteral("SELECT count(*) FROM qr_events WHERE ev_kind = 'link_interrupted'")), 0);
    }
    QCOMPARE(count(dbOf(9), QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 <> 0")), 0);
    QCOMPARE(count(dbOf(9), QStringLiteral("SELECT count(*) FROM qr_events WHERE ev_kind = 'link_interrupted'")), 1);
}

void TestHeadlessCli::stopSignals_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("readerGone");
    QTest::newRow("hangup") << int(SIGHUP) << false;
    QTest::newRow("reader of stderr gone, then terminate") << int(SIGTERM) << true;
}

// As `qr5300m --headless … 2>&1 | head -1` and `kill -HUP`: the link's
// close is journaled and the exit is 0; a line that finds no reader is lost,
// the logging is not.
void TestHeadlessCli::stopSignals()
{
    QFETCH(int, signal);
    QFETCH(bool, readerGone);
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    QVERIFY(sim.command(QStringLiteral("freeze on")).startsWith("ok"));
    const QString db = dir.filePath(QStringLiteral("log.db"));
    int pipeFds[2] = {-1, -1};
    QVERIFY(::pipe2(pipeFds, O_CLOEXEC) == 0);
    QProcess app;
    prepare(app, dir.path());
    if (readerGone) {
        app.setStandardErrorFile(QProcess::nullDevice());
        const int writeEnd = pipeFds[1];
        app.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDERR_FILENO); });
    }
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"), sim.devicePath(),
                                            QStringLiteral("--db"), db});
    QVERIFY(app.waitForStarted());
    ::close(pipeFds[1]);
    ::close(pipeFds[0]); // the reader goes: every line from now on meets a closed pipe
    const QString records = QStringLiteral("SELECT count(*) FROM pv_data WHERE w_v0 IS NOT NULL");
    QTRY_VERIFY_WITH_TIMEOUT(count(db, records) >= 2, 15000);
    if (readerGone) {
        // Lines to write: the link drops and comes back; records go on.
        QVERIFY(sim.command(QStringLiteral("fault silent")).startsWith("ok"));
        const QString interrupted = QStringLiteral("SELECT count(*) FROM qr_events WHERE ev_kind = 'link_interrupted'");
        QTRY_VERIFY_WITH_TIMEOUT(count(db, interrupted) == 1, 10000);
        QVERIFY(sim.command(QStringLiteral("fault none")).startsWith("ok"));
        const QString restored = QStringLiteral("SELECT count(*) FROM qr_events WHERE ev_kind = 'link_restored'");
        QTRY_VERIFY_WITH_TIMEOUT(count(db, restored) == 1, 10000);
        const int before = count(db, records);
        QTRY_VERIFY_WITH_TIMEOUT(count(db, records) >= before + 2, 10000);
    }
    QCOMPARE(app.state(), QProcess::Running);
    ::kill(pid_t(app.processId()), signal);
    QVERIFY(app.waitForFinished(10000));
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QCOMPARE(app.exitCode(), 0);
    const auto last = sqlRows(db, QStringLiteral("SELECT ev_kind FROM qr_events ORDER BY ev_id DESC LIMIT 1"));
    QCOMPARE(last, (QList<QVariantList>{{QStringLiteral("link_closed")}}));
}

void TestHeadlessCli::rememberedInvalid_data()
{
    QTest::addColumn<QByteArray>("conf"); // empty: the settings file is a folder
    QTest::addColumn<QByteArray>("named");
    const QByteArray link = "[link]\nport=1\nbaud=9600\nparity=none\n";
    QTest::newRow("station 0") << link + "station=0\n" << QByteArray("[link] station");
    QTest::newRow("station -5") << link + "station=-5\n" << QByteArray("[link] station");
    QTest::newRow("station 999") << link + "station=999\n" << QByteArray("[link] station");
    QTest::newRow("baud") << QByteArray("[link]\nport=1\nbaud=1200\nstation=1\n") << QByteArray("[link] baud");
    QTest::newRow("parity") << QByteArray("[link]\nport=1\nparity=3\nstation=1\n") << QByteArray("[link] parity");
    QTest::newRow("port not a port") << QByteArray("[link]\nport=COM3\nstation=1\n") << QByteArray("[link] port");
    QTest::newRow("garbage") << QByteArray("\x7f" "ELF\x02\x01\x01\n\x01\x02garbage\n", 16) << QByteArray("qr5300m.conf");
    QTest::newRow("unreadable") << QByteArray() << QByteArray("qr5300m.conf");
}

// Each as its option on the command line would be: exit 2, one line naming
// the key (or the file); nothing is logged.
void TestHeadlessCli::rememberedInvalid()
{
    QFETCH(QByteArray, conf);
    QFETCH(QByteArray, named);
    QTemporaryDir dir;
    if (conf.isEmpty())
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("qr5300m/qr5300m.conf")));
    else
        QVERIFY(writeConf(dir.path(), conf));
    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--db"), dir.filePath(QStringLiteral("log.db"))});
    QVERIFY(app.waitForFinished(10000));
    const QByteArray err = app.readAllStandardError();
    QVERIFY2(app.exitCode() == 2, err.constData());
    QVERIFY2(err.count('\n') == 1 && err.contains(named), err.constData());
}

// A lock file that is a link to another file: the file is not touched, and
// the logger says why it does not write.
void TestHeadlessCli::lockFileLinkRefused()
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("log.db"));
    const QString victim = dir.filePath(QStringLiteral("victim.txt"));
    QFile f(victim);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("precious\n") == 9);
    f.close();
    QVERIFY(QFile::link(victim, db + QStringLiteral(".lock")));
    QProcess app;
    prepare(app, dir.path());
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--port"), dir.filePath(QStringLiteral("none")),
                                            QStringLiteral("--db"), db});
    QVERIFY(app.waitForStarted());
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += app.readAllStandardError()).contains("符号链接"), 10000);
    ::kill(pid_t(app.processId()), SIGTERM);
    QVERIFY(app.waitForFinished(10000));
    QVERIFY2(err.contains((db + QStringLiteral(".lock")).toUtf8()), err.constData());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("precious\n"));
    QVERIFY(QFileInfo(db + QStringLiteral(".lock")).isSymLink());
    QVERIFY(count(db, QStringLiteral("SELECT count(*) FROM pv_data")) <= 0); // no file, or nothing in it
}

// The settings file holds the broker's password and everyone may read it:
// at the start it is made the owner's alone, with one line saying so.
void TestHeadlessCli::exposedSettingsNarrowed()
{
    QTemporaryDir dir;
    QVERIFY(writeConf(dir.path(), "[mqtt]\nuser=plant\npassword=secret\n"));
    const QString conf = dir.filePath(QStringLiteral("qr5300m/qr5300m.conf"));
    QVERIFY(::chmod(QFile::encodeName(conf).constData(), 0644) == 0);
    QProcess app;
    prepare(app, dir.path());
    // A usage error ends the run right after the settings are read.
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--station"), QStringLiteral("0")});
    QVERIFY(app.waitForFinished(10000));
    const QByteArray err = app.readAllStandardError();
    QCOMPARE(app.exitCode(), 2);
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(conf).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), 0600);
    QVERIFY2(err.count('\n') == 2 && err.contains(conf.toUtf8()), err.constData());
}

void TestHeadlessCli::language_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("env"); // QR5300M_LANG
    const QStringList exportArgs{QStringLiteral("export"), QStringLiteral("--from"), QStringLiteral("2026-12-08T03:00:00"),
                                 QStringLiteral("--to"), QStringLiteral("2026-12-08T04:00:00"), QStringLiteral("--db"),
                                 QStringLiteral("none.db"), QStringLiteral("--out"), QStringLiteral("out.csv")};
    const QStringList headlessArgs{QStringLiteral("--headless"), QStringLiteral("--port"), QStringLiteral("none"),
                                   QStringLiteral("--db"), QStringLiteral("log.db")};
    QTest::newRow("export --lang en") << exportArgs + QStringList{QStringLiteral("--lang"), QStringLiteral("en")} << QString();
    QTest::newRow("export QR5300M_LANG") << exportArgs << QStringLiteral("en");
    QTest::newRow("headless --lang en") << headlessArgs + QStringList{QStringLiteral("--lang"), QStringLiteral("en")} << QString();
    QTest::newRow("headless QR5300M_LANG") << headlessArgs << QStringLiteral("en");
}

// The export and the headless logger speak English as the window does.
void TestHeadlessCli::language()
{
    QFETCH(QStringList, args);
    QFETCH(QString, env);
    QTemporaryDir dir;
    QProcess app;
    prepare(app, dir.path());
    QProcessEnvironment e = app.processEnvironment();
    e.remove(QStringLiteral("QR5300M_LANG"));
    if (!env.isEmpty())
        e.insert(QStringLiteral("QR5300M_LANG"), env);
    app.setProcessEnvironment(e);
    app.setWorkingDirectory(dir.path());
    app.start(QStringLiteral(QR_APP_PATH), args);
    QVERIFY(app.waitForStarted());
    // "Database file … does not exist", "Open failed: …"
    QByteArray err;
    const auto english = [&] { return (err += app.readAllStandardError()).contains("does not exist") || err.contains("Open failed"); };
    QTRY_VERIFY2_WITH_TIMEOUT(english() || app.state() == QProcess::NotRunning, err.constData(), 10000);
    if (app.state() == QProcess::Running) {
        ::kill(pid_t(app.processId()), SIGTERM);
        QVERIFY(app.waitForFinished(10000));
    }
    english();
    QVERIFY2(err.contains("does not exist") || err.contains("Open failed"), err.constData());
}

QTEST_GUILESS_MAIN(TestHeadlessCli)
#include "tst_headlesscli.moc"
