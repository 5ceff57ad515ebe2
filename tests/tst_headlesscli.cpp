// The headless logger as a real process with no display at all
// (QT_QPA_PLATFORM unset, no DISPLAY) against the real simulator and a real
// database: SIGTERM ends it with exit 0, the database is intact and its
// last record complete. Usage errors exit 2 with one line.
#include "testsupport.h"

#include <QtTest>
#include <csignal>

class TestHeadlessCli : public QObject {
    Q_OBJECT
private slots:
    void sigtermLeavesCompleteRecords();
    void usageErrors_data();
    void usageErrors();

private:
    static void prepare(QProcess &p, const QString &portDir)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QR5300M_PORT_DIR"), portDir);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), portDir); // no MQTT from the user's config
        p.setProcessEnvironment(env);
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
    QTRY_VERIFY_WITH_TIMEOUT(recordsOf321() >= 2, 15000);
    ::kill(pid_t(app.processId()), SIGTERM);
    QVERIFY(app.waitForFinished(10000));
    const QByteArray err = app.readAllStandardError();
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QVERIFY2(app.exitCode() == 0, err.constData());
    QVERIFY2(err.contains("通讯正常"), err.constData()); // state changes on standard error
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

QTEST_GUILESS_MAIN(TestHeadlessCli)
#include "tst_headlesscli.moc"
