// Reading the leading number of a text, and rounding it: the rule behind the
// port and station boxes, the Y-range editor and the parameter write-back.
#include "core/dates.h"
#include "core/numbers.h"

#include <QtTest>
#include <cmath>

class TestLeadNum : public QObject {
    Q_OBJECT
private slots:
    void leadNum_data();
    void leadNum();
    void roundI32_data();
    void roundI32();
    void roundI16_data();
    void roundI16();
    void dateSerials();
    void numText_data();
    void numText();
};

void TestLeadNum::leadNum_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("list entry") << QStringLiteral("1 ") << 1.0;
    QTest::newRow("coded entry") << QStringLiteral("3:上偏差报警 ") << 3.0;
    QTest::newRow("blank instead of colon") << QStringLiteral("8 WRe325(0-2300)") << 8.0;
    QTest::newRow("digits then letters") << QStringLiteral("12abc") << 12.0;
    QTest::newRow("letters first") << QStringLiteral("COM3") << 0.0;
    QTest::newRow("empty") << QString() << 0.0;
    QTest::newRow("abc") << QStringLiteral("abc") << 0.0;
    QTest::newRow("blanks inside") << QStringLiteral(" - 1 5") << -15.0;
    QTest::newRow("fraction") << QStringLiteral("2.5") << 2.5;
    QTest::newRow("second point stops") << QStringLiteral("1.2.3") << 1.2;
    QTest::newRow("plus sign") << QStringLiteral("+7") << 7.0;
    QTest::newRow("negative fraction") << QStringLiteral("-0.05") << -0.05;
    QTest::newRow("leading point") << QStringLiteral(".5") << 0.5;
    QTest::newRow("sign alone") << QStringLiteral("-") << 0.0;
    QTest::newRow("exponent E") << QStringLiteral("1.5E3") << 1500.0;
    QTest::newRow("exponent D negative") << QStringLiteral("25d-1") << 2.5;
    QTest::newRow("E without digits") << QStringLiteral("12E") << 12.0;
    QTest::newRow("hex") << QStringLiteral("&HFF") << 255.0;
    QTest::newRow("octal") << QStringLiteral("&O17") << 15.0;
    QTest::newRow("comma is no separator") << QStringLiteral("1,5") << 1.0;
    QTest::newRow("tab and line feed skipped") << QStringLiteral("\t1\n2") << 12.0;
    QTest::newRow("full-width digit stops") << QStringLiteral("1２") << 1.0;
}

void TestLeadNum::leadNum()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(::leadNum(text), value);
}

void TestLeadNum::roundI32_data()
{
    QTest::addColumn<double>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("out");
    QTest::newRow("2.5 to even") << 2.5 << true << 2;
    QTest::newRow("3.5 to even") << 3.5 << true << 4;
    QTest::newRow("-2.5 to even") << -2.5 << true << -2;
    QTest::newRow("0.5") << 0.5 << true << 0;
    QTest::newRow("1.5") << 1.5 << true << 2;
    QTest::newRow("max") << 2147483647.0 << true << 2147483647;
    QTest::newRow("past max") << 2147483648.0 << false << 0;
    QTest::newRow("huge") << 1e300 << false << 0;
    QTest::newRow("nan") << std::nan("") << false << 0;
}

void TestLeadNum::roundI32()
{
    QFETCH(double, in);
    QFETCH(bool, ok);
    QFETCH(int, out);
    int32_t v = -77;
    QCOMPARE(::roundI32(in, &v), ok);
    QCOMPARE(v, ok ? out : -77);
}

void TestLeadNum::roundI16_data()
{
    QTest::addColumn<double>("in");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("out");
    QTest::newRow("32767") << 32767.0 << true << 32767;
    QTest::newRow("32767.5 rounds past") << 32767.5 << false << 0;
    QTest::newRow("-32768.5 rounds to even inside") << -32768.5 << true << -32768;
    QTest::newRow("-32769") << -32769.0 << false << 0;
    QTest::newRow("0.4") << 0.4 << true << 0;
}

void TestLeadNum::roundI16()
{
    QFETCH(double, in);
    QFETCH(bool, ok);
    QFETCH(int, out);
    int16_t v = 99;
    QCOMPARE(::roundI16(in, &v), ok);
    QCOMPARE(int(v), ok ? out : 99);
}

void TestLeadNum::dateSerials()
{
    QCOMPARE(dateSerial(QDate(1899, 12, 30)), 0.0);
    QCOMPARE(dateSerial(QDate(1900, 1, 1)), 2.0);
    QCOMPARE(dateSerial(QDate(2026, 12, 8)), 46364.0);
    QCOMPARE(timeSerial(QTime(12, 0, 0)), 0.5);
    QCOMPARE(serialTime(timeSerial(QTime(23, 59, 59))), QTime(23, 59, 59));
    QCOMPARE(serialDate(46364.0), QDate(2026, 12, 8));
    QCOMPARE(timeText(timeSerial(QTime(18, 42, 0))), QStringLiteral("18:42:00"));
    // Out-of-range serials never crash: they give the epoch.
    QCOMPARE(serialDate(1e300), QDate(1899, 12, 30));
}

void TestLeadNum::numText_data()
{
    QTest::addColumn<float>("v");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 253.0f << QStringLiteral("253");
    QTest::newRow("negative") << -12.0f << QStringLiteral("-12");
    QTest::newRow("no group separator") << 12345.0f << QStringLiteral("12345");
    QTest::newRow("minus one") << -1.0f << QStringLiteral("-1");
    QTest::newRow("zero") << 0.0f << QStringLiteral("0");
    QTest::newRow("seven digits") << 0.1f << QStringLiteral("0.1");
    QTest::newRow("fraction") << 2.5f << QStringLiteral("2.5");
    // Plain decimal, never an exponent; at most 7 significant digits and
    // 6 decimals.
    QTest::newRow("smallest float reads 0") << 1.401298e-45f << QStringLiteral("0");
    QTest::newRow("negative smallest reads 0") << -1.401298e-45f << QStringLiteral("0");
    QTest::newRow("below half a millionth") << 4.0e-7f << QStringLiteral("0");
    QTest::newRow("a millionth") << 1.0e-6f << QStringLiteral("0.000001");
    QTest::newRow("small, six decimals") << 0.001234567f << QStringLiteral("0.001235");
    QTest::newRow("seven significant") << 1234.5677f << QStringLiteral("1234.568");
    QTest::newRow("ten million") << 1.0e7f << QStringLiteral("10000000");
    QTest::newRow("past 7 digits: zeros") << 123456792.0f << QStringLiteral("123456800");
    QTest::newRow("negative large") << -98765430000.0f << QStringLiteral("-98765430000");
    QTest::newRow("largest float") << 3.4028235e38f
                                   << QStringLiteral("3402823") + QString(32, QLatin1Char('0'));
    QTest::newRow("rounds up to 1") << 0.99999994f << QStringLiteral("1");
}

void TestLeadNum::numText()
{
    QFETCH(float, v);
    QFETCH(QString, text);
    QLocale::setDefault(QLocale::c());
    QCOMPARE(::numText(v), text);
    // The locale's decimal separator.
    QLocale::setDefault(QLocale(QLocale::German));
    QString local = text;
    QCOMPARE(::numText(v), local.replace(QLatin1Char('.'), QLatin1Char(',')));
    QLocale::setDefault(QLocale::c());
}

QTEST_GUILESS_MAIN(TestLeadNum)
#include "tst_leadnum.moc"
