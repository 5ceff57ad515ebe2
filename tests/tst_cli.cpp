// The program's --help, --version and unknown options, as a real process
// with no display at all: each is answered before any window would open.
#include <QtTest>

class TestCli : public QObject {
    Q_OBJECT
private slots:
    void answers_data();
    void answers();
};

void TestCli::answers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");  // a pattern the whole of standard output matches
    QTest::addColumn<QString>("err");  // standard error exactly
    const QString tryHelp = QStringLiteral("Try 'qr5300m --help' for more information.\n");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0
                          << QStringLiteral("Usage: qr5300m .*--version .*") << QString();
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("qr5300m \\d+\\.\\d+\\.\\d+\nCopyright .*\nLicense .*") << QString();
    QTest::newRow("unknown") << QStringList{QStringLiteral("--x")} << 2 << QString()
                             << QStringLiteral("qr5300m: unrecognized option '--x'\n") + tryHelp;
    QTest::newRow("unknown after the language")
        << QStringList{QStringLiteral("--lang"), QStringLiteral("en"), QStringLiteral("--fast=1")} << 2 << QString()
        << QStringLiteral("qr5300m: unrecognized option '--fast=1'\n") + tryHelp;
}

void TestCli::answers()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM")); // a window would fail to open
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(QR_APP_PATH), args);
    QVERIFY(app.waitForFinished(30000));
    const QString stdErr = QString::fromUtf8(app.readAllStandardError());
    QCOMPARE(app.exitStatus(), QProcess::NormalExit);
    QVERIFY2(app.exitCode() == exitCode, qPrintable(stdErr));
    const QString stdOut = QString::fromUtf8(app.readAllStandardOutput());
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(out), QRegularExpression::DotMatchesEverythingOption)
                 .match(stdOut).hasMatch(),
             qPrintable(stdOut));
    QCOMPARE(stdErr, err);
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
