// The state message as published, without a broker: each member's text
// (the time with its UTC offset, the values as the read-outs show them with
// a decimal point in every locale, null for no number, the flags as one
// integer, the link's word), in any order.
#include "mqtt/mqtt_publisher.h"

#include <QLocale>
#include <QTimeZone>
#include <QtTest>

#include <cmath>
#include <limits>

class TestMqttPayload : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void stateJson_data();
    void stateJson();
};

void TestMqttPayload::initTestCase()
{
    // Local time as an instrument in China sees it.
    qputenv("TZ", "Asia/Shanghai");
}

void TestMqttPayload::cleanup()
{
    QLocale::setDefault(QLocale::c());
}

namespace {

struct Values {
    float v[5];
};

LiveTables tablesOf(const Values &values, quint32 flags)
{
    LiveTables live;
    for (int i = 0; i < 5; ++i)
        live.Val_3X[i] = values.v[i];
    for (int k = 0; k < 16; ++k)
        live.Sta_1X[k] = (flags >> k) & 1u;
    return live;
}

// The members of a one-line object whose values hold no comma.
QStringList membersOf(const QByteArray &json)
{
    if (!json.startsWith('{') || !json.endsWith('}'))
        return {QString::fromUtf8(json)};
    QStringList m = QString::fromUtf8(json.mid(1, json.size() - 2)).split(u',');
    m.sort();
    return m;
}

} // namespace

Q_DECLARE_METATYPE(Values)
Q_DECLARE_METATYPE(MqttLink)

void TestMqttPayload::stateJson_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<Values>("values");
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<MqttLink>("link");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("members");

    const QDate day(2026, 12, 8);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    QTest::newRow("local time, whole values")
        << QDateTime(day, QTime(3, 0)) << Values{{253, -12, 0, 0, 253}} << 5u << MqttLink::Ok << "C"
        << QStringList{"\"time\":\"2026-12-08T03:00:00+08:00\"", "\"ch1\":253", "\"ch2\":-12", "\"ch3\":0",
                       "\"ch4\":0", "\"da\":253", "\"status\":5", "\"link\":\"ok\""};
    QTest::newRow("UTC reads +00:00")
        << QDateTime(day, QTime(19, 5, 9), QTimeZone::utc()) << Values{{1, 2, 3, 4, 5}} << 0u
        << MqttLink::Closed << "C"
        << QStringList{"\"time\":\"2026-12-08T19:05:09+00:00\"", "\"ch1\":1", "\"ch2\":2", "\"ch3\":3",
                       "\"ch4\":4", "\"da\":5", "\"status\":0", "\"link\":\"closed\""};
    QTest::newRow("offset west of UTC")
        << QDateTime(day, QTime(23, 59, 59), QTimeZone(-(3 * 3600 + 1800))) << Values{{0, 0, 0, 0, 0}} << 0u
        << MqttLink::Interrupted << "C"
        << QStringList{"\"time\":\"2026-12-08T23:59:59-03:30\"", "\"ch1\":0", "\"ch2\":0", "\"ch3\":0",
                       "\"ch4\":0", "\"da\":0", "\"status\":0", "\"link\":\"interrupted\""};
    QTest::newRow("register extremes, every flag")
        << QDateTime(day, QTime(12, 0)) << Values{{65535, -32768, 32767, -1, 1999}} << 0xffffu
        << MqttLink::Ok << "C"
        << QStringList{"\"time\":\"2026-12-08T12:00:00+08:00\"", "\"ch1\":65535", "\"ch2\":-32768",
                       "\"ch3\":32767", "\"ch4\":-1", "\"da\":1999", "\"status\":65535", "\"link\":\"ok\""};
    QTest::newRow("no number is null")
        << QDateTime(day, QTime(12, 0)) << Values{{nan, inf, -inf, 7, nan}} << 0x8000u << MqttLink::Ok << "C"
        << QStringList{"\"time\":\"2026-12-08T12:00:00+08:00\"", "\"ch1\":null", "\"ch2\":null",
                       "\"ch3\":null", "\"ch4\":7", "\"da\":null", "\"status\":32768", "\"link\":\"ok\""};
    QTest::newRow("fractions in a decimal-comma locale")
        << QDateTime(day, QTime(12, 0)) << Values{{1500.5f, 0.1f, -25.3f, 123456792.f, 0.0000004f}} << 2u
        << MqttLink::Ok << "de_DE"
        << QStringList{"\"time\":\"2026-12-08T12:00:00+08:00\"", "\"ch1\":1500.5", "\"ch2\":0.1",
                       "\"ch3\":-25.3", "\"ch4\":123456800", "\"da\":0", "\"status\":2", "\"link\":\"ok\""};
}

void TestMqttPayload::stateJson()
{
    QFETCH(QDateTime, time);
    QFETCH(Values, values);
    QFETCH(quint32, flags);
    QFETCH(MqttLink, link);
    QFETCH(QString, locale);
    QFETCH(QStringList, members);

    QLocale::setDefault(QLocale(locale));
    const QByteArray json = ::stateJson(time, tablesOf(values, flags), link);
    members.sort();
    QCOMPARE(membersOf(json), members);
}

QTEST_GUILESS_MAIN(TestMqttPayload)
#include "tst_mqttpayload.moc"
