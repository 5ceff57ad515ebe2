// The English interface: the language choice, and both windows walked in
// English for texts left in Chinese and texts wider than their controls.
#include "app/fit_label.h"
#include "app/language.h"
#include "english_check.h"
#include "tst_mainwindow_fixture.h"

#include <QSettings>
#include <QTest>
#include <QTranslator>


class TestEnglish : public QObject {
    Q_OBJECT
private slots:
    void chosenLanguage_data();
    void chosenLanguage();
    void rememberedChoice();
    void chineseByDefault();
    void mainWindowInEnglish();
    void cleanup();

private:
    QTranslator m_translator;
};

void TestEnglish::chosenLanguage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("env");
    QTest::addColumn<QString>("remembered"); // [ui] lang of the config file
    QTest::addColumn<QString>("lang");
    const QString app = QStringLiteral("qr5300m");
    QTest::newRow("nothing given") << QStringList{app} << QString() << QString() << "zh";
    QTest::newRow("--lang en") << QStringList{app, "--lang", "en"} << QString() << QString() << "en";
    QTest::newRow("--lang=en") << QStringList{app, "--lang=en"} << QString() << QString() << "en";
    QTest::newRow("environment") << QStringList{app} << "en" << QString() << "en";
    QTest::newRow("remembered") << QStringList{app} << QString() << "en" << "en";
    QTest::newRow("command line wins") << QStringList{app, "--lang", "zh"} << "en" << "en" << "zh";
    QTest::newRow("environment over remembered") << QStringList{app} << "zh" << "en" << "zh";
    QTest::newRow("unknown language ignored") << QStringList{app, "--lang", "fr"} << "en" << QString() << "en";
}

void TestEnglish::chosenLanguage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, env);
    QFETCH(QString, remembered);
    QFETCH(QString, lang);
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("qr5300m/qr5300m.conf"));
    if (!remembered.isEmpty())
        QVERIFY(saveLanguage(conf, remembered));
    QCOMPARE(::chosenLanguage(args, env, conf), lang);
}

// The choice made in the window is written where the next start reads it,
// beside the other groups of the file.
void TestEnglish::rememberedChoice()
{
    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("qr5300m/qr5300m.conf"));
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    {
        QSettings ini(conf, QSettings::IniFormat);
        ini.setValue(QStringLiteral("mqtt/host"), QStringLiteral("broker"));
    }
    DbFixture db;
    InstrumentSession session;
    auto w = loadWindow(session);
    auto *english = w->findChild<QAction *>(QStringLiteral("lang_en"));
    QVERIFY(english);
    english->trigger();
    QCOMPARE(::chosenLanguage({QStringLiteral("qr5300m")}, QString(), conf), QStringLiteral("en"));
    QCOMPARE(QSettings(conf, QSettings::IniFormat).value(QStringLiteral("mqtt/host")).toString(), QStringLiteral("broker"));
    w->findChild<QAction *>(QStringLiteral("lang_zh"))->trigger();
    QCOMPARE(::chosenLanguage({QStringLiteral("qr5300m")}, QString(), conf), QStringLiteral("zh"));
    qputenv("XDG_CONFIG_HOME", "/dev/null/config");
}

void TestEnglish::chineseByDefault()
{
    QVERIFY(installLanguage(QStringLiteral("zh"), &m_translator));
    DbFixture db;
    InstrumentSession session;
    auto w = loadWindow(session);
    QCOMPARE(w->windowTitle(), QStringLiteral("过程控制仪表 QR5300M  OverView"));
    QCOMPARE(control<QPushButton>(*w, QStringLiteral("Command1"))->text(), QStringLiteral("退出"));
}

void TestEnglish::mainWindowInEnglish()
{
    DbFixture db;
    QVERIFY(db.Fill(1, 50));
    // A text wider than its control in a layout widens the control, and so
    // the window: English must not need more room than Chinese.
    QSize chinese;
    {
        InstrumentSession session;
        chinese = loadWindow(session)->minimumSizeHint();
    }
    QVERIFY(installLanguage(QStringLiteral("en"), &m_translator));
    InstrumentSession session;
    auto w = loadWindow(session);
    const QSize english = w->minimumSizeHint();
    QVERIFY2(english.width() <= chinese.width() && english.height() <= chinese.height(),
             qPrintable(QStringLiteral("English %1 x %2, Chinese %3 x %4")
                            .arg(english.width()).arg(english.height()).arg(chinese.width()).arg(chinese.height())));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->windowTitle(), QStringLiteral("Process Controller QR5300M  OverView"));
    const QStringList bad = faults(w.get());
    QVERIFY2(bad.isEmpty(), qPrintable(bad.join(u'\n')));
}

void TestEnglish::cleanup()
{
    QCoreApplication::removeTranslator(&m_translator);
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
