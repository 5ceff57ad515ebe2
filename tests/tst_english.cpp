// The English interface: the language choice, and both windows walked in
// English for texts left in Chinese and texts wider than their controls.
#include "app/history_text.h"
#include "app/log_text.h"
#include "app/fit_label.h"
#include "app/language.h"
#include "chart/chartprint.h"
#include "chart/curves.h"
#include "chart/yrange.h"
#include "logging/csv_export.h"
#include "logging/history_range.h"
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
    void databaseTexts_data();
    void databaseTexts();
    void chartTexts_data();
    void chartTexts();
    void areaTexts_data();
    void areaTexts();
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
    // Read as the mode's parser reads the command line: no option after
    // "--", and none in another option's value (here the MQTT prefix).
    QTest::newRow("after --") << QStringList{app, "--", "--lang", "en"} << QString() << QString() << "zh";
    QTest::newRow("another option's value")
        << QStringList{app, "--headless", "--mqtt-prefix", "--lang", "en"} << QString() << QString() << "zh";
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
    TempDatabase db;
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
    TempDatabase db;
    InstrumentSession session;
    auto w = loadWindow(session);
    QCOMPARE(w->windowTitle(), QStringLiteral("过程控制仪表 QR5300M  OverView"));
    QCOMPARE(control<QPushButton>(*w, QStringLiteral("Command1"))->text(), QStringLiteral("退出"));
}

void TestEnglish::mainWindowInEnglish()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 50));
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

void TestEnglish::databaseTexts_data()
{
    QTest::addColumn<bool>("english");
    QTest::newRow("Chinese") << false;
    QTest::newRow("English") << true;
}

// The logging's reasons reach the main window and the history window as
// they are made: in English they must come translated, in Chinese as ever.
void TestEnglish::databaseTexts()
{
    QFETCH(bool, english);
    QVERIFY(installLanguage(english ? QStringLiteral("en") : QStringLiteral("zh"), &m_translator));
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("none"));
    qputenv("QR5300M_DB", (folder + QStringLiteral("/Rdatabj.db")).toLocal8Bit());
    InstrumentSession session;
    session.logger.Form_Load();
    const QString reason = dbErrorText(session.logger.logState().error);

    const QString missing = dir.filePath(QStringLiteral("none.db"));
    const QDateTime from(QDate(2026, 3, 12), QTime(6, 0));
    HistoryRange range;
    HistoryError readError;
    QVERIFY(!readHistory(missing, from, from.addSecs(3600), std::nullopt, range, readError));
    const QString error = historyReadText(readError);
    // a folder that is not there
    const QString exportError = csvExportText(exportCsv(range, folder + QStringLiteral("/x.csv"), false));

    if (english) {
        QVERIFY2(!reason.isEmpty() && !hasCjk(reason), qPrintable(reason));
        QVERIFY2(!error.isEmpty() && !hasCjk(error), qPrintable(error));
        QVERIFY2(!exportError.isEmpty() && !hasCjk(exportError), qPrintable(exportError));
    } else {
        QCOMPARE(reason, QStringLiteral("数据库文件夹 %1 不存在").arg(folder));
        QCOMPARE(error, QStringLiteral("数据库文件 %1 不存在").arg(missing));
        QVERIFY2(exportError.startsWith(QStringLiteral("无法写入 ")), qPrintable(exportError));
    }
}

void TestEnglish::chartTexts_data()
{
    QTest::addColumn<QString>("part");
    QTest::newRow("trend print header") << "trend";
    QTest::newRow("history print header") << "history";
    QTest::newRow("curve captions") << "captions";
    QTest::newRow("Y-range messages") << "yrange";
}

// The chart's own texts: its print headers, its curves' captions and the
// Y-range editor's messages come in English, none left out.
void TestEnglish::chartTexts()
{
    QFETCH(QString, part);
    QVERIFY(installLanguage(QStringLiteral("en"), &m_translator));
    const QDateTime at(QDate(2026, 3, 12), QTime(6, 0));
    QStringList texts;
    if (part == QLatin1String("trend") || part == QLatin1String("history")) {
        const PrintTitle title = part == QLatin1String("trend") ? PrintTitle::Trend : PrintTitle::History;
        const PrintHeaderTexts t = printHeaderTexts(
            chartPrintHeader(title, 3, at, at.addSecs(600), [](int) { return true; }, YRange{0, 1500, 1500}, at));
        texts << t.title << t.printed << t.span;
        for (const QString &c : t.channels)
            texts << c;
        QCOMPARE(t.channels.size(), size_t(kCurveCount));
    } else if (part == QLatin1String("captions")) {
        for (int q = 0; q < kCurveCount; ++q)
            texts << historyCurveCaption(q);
    } else {
        for (YCheck c : {YCheck::MaxOut, YCheck::MinOut, YCheck::MinNotBelow, YCheck::NoFit, YCheck::ZeroSpan})
            texts << yCheckText(c);
    }
    for (const QString &text : std::as_const(texts))
        QVERIFY2(!text.isEmpty() && !hasCjk(text), qPrintable(text));
}

void TestEnglish::areaTexts_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    const auto row = [](const char *context, const char *source) {
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(context), QString::fromUtf8(source))))
            << QByteArray(context) << QByteArray(source);
    };
    row("MqttText", "服务器拒绝了用户名或密码");
    row("MqttText", "MQTT 未连接 %1（%2），等待重试");
    row("Headless", "收到停止信号，结束记录");
    row("Headless", "--baud 只能是 4800、9600 或 19200：%1");
    row("SettingsText", "设置文件 %1 第 %2 行无法识别，文件已损坏");
    row("SettingsText", "；");
    row("LogDb", "锁文件 %1 是符号链接，已拒绝使用（其指向的文件不会被改动）");
    row("ChannelFlag", "开路");
    row("HistoryWindow", "打开通讯");
    row("HistoryActions", "导出失败：%1");
    row("ExportCommand", "导出记录为 CSV 文件");
    row("Cli", "显示版本");
    row("CsvExport", "%1 不是普通文件，不能写入导出");
    row("CONFIG1", "%1：写入 %2，读回 %3");
    row("HistoryWindow", "数据库中尚无记录");
    row("MqttDialog", "设置错误");
}

// Each area's operator texts are in the English translation the program
// embeds: a text missing there would show in Chinese.
void TestEnglish::areaTexts()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QVERIFY(installLanguage(QStringLiteral("en"), &m_translator));
    const QString english = m_translator.translate(context.constData(), source.constData());
    QVERIFY2(!english.isEmpty() && !hasCjk(english), qPrintable(english));
}

void TestEnglish::cleanup()
{
    QCoreApplication::removeTranslator(&m_translator);
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
