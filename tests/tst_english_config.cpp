// The configuration window in English: nothing left in Chinese, no text
// wider than its control, and the Chinese captions unchanged by default.
#include "config/config1.h"
#include "app/language.h"
#include "core/parammap.h"
#include "link/link.h"
#include "english_check.h"

#include <QTest>
#include <QTranslator>

class TestEnglishConfig : public QObject {
    Q_OBJECT
private slots:
    void chineseByDefault();
    void configWindowInEnglish();
    void cleanup();

private:
    QTranslator m_translator;
};

void TestEnglishConfig::chineseByDefault()
{
    QVERIFY(installLanguage(QStringLiteral("zh"), &m_translator));
    Link link;
    LinkSettings settings;
    ReadBack readBack;
    CONFIG1 config(link, settings, readBack);
    config.Form_Load();
    QCOMPARE(config.Label1[17]->text(), QStringLiteral("波特率"));
    QCOMPARE(config.Combo[1]->itemText(1), QStringLiteral("1:上限报警 "));
}

void TestEnglishConfig::configWindowInEnglish()
{
    QVERIFY(installLanguage(QStringLiteral("en"), &m_translator));
    Link link;
    LinkSettings settings;
    ReadBack readBack;
    CONFIG1 w(link, settings, readBack);
    w.Form_Load();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    // A typed English list entry writes its code as the Chinese one does.
    QCOMPARE(checkEntry(9, w.Combo[1]->itemText(1)).value, int16_t(1));
    QCOMPARE(checkEntry(9, w.Combo[1]->itemText(1)).why, Refusal::None);
    for (int t = 0; t < w.SSTab2->count(); ++t) {
        w.SSTab2->setCurrentIndex(t);
        QCoreApplication::processEvents();
        const QStringList bad = faults(&w);
        QVERIFY2(bad.isEmpty(), qPrintable(QStringLiteral("tab %1:\n").arg(t) + bad.join(u'\n')));
    }
}

void TestEnglishConfig::cleanup()
{
    QCoreApplication::removeTranslator(&m_translator);
}

QTEST_MAIN(TestEnglishConfig)
#include "tst_english_config.moc"
