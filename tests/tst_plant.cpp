// The list of instruments without a window: stations added to a line and
// lines added, each with the database it logs into, refusals, removal, and
// the list as the settings file remembers it for the next start.
#include "app/plant.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestPlant : public QObject {
    Q_OBJECT
private slots:
    void changes_data();
    void changes();
};

namespace {

PlantFault faultNamed(const QString &name)
{
    static const QHash<QString, PlantFault> faults{
        {"none", PlantFault::None},           {"station", PlantFault::BadStation},
        {"duplicate", PlantFault::DuplicateStation}, {"address", PlantFault::BadAddress},
        {"settings", PlantFault::BadLineSettings}, {"sameline", PlantFault::DuplicateLine},
        {"noline", PlantFault::NoSuchLine},   {"noinstrument", PlantFault::NoSuchInstrument},
        {"first", PlantFault::FirstStays},
    };
    return faults.value(name, PlantFault(-1));
}

// One change: "add LINE STATION", "line ADDRESS BAUD PARITY STATION",
// "remove I", "name I TEXT", "current I"; what it gives back.
PlantFault apply(Plant &plant, const QString &op)
{
    const QStringList w = op.split(u' ');
    if (w[0] == "add")
        return plant.addStation(w[1].toInt(), w[2].toInt());
    if (w[0] == "line")
        return plant.addLine(w[1], w[2].toInt(), w[3].toInt(), w[4].toInt());
    if (w[0] == "remove")
        return plant.remove(w[1].toInt());
    if (w[0] == "name")
        plant.rename(w[1].toInt(), w.mid(2).join(u' '));
    if (w[0] == "current")
        plant.setCurrent(w[1].toInt());
    return PlantFault::None;
}

// Each instrument as "LINE:STATION:DATABASE:MQTT CLIENT ID:NAME".
QStringList listed(const Plant &plant)
{
    QStringList rows;
    for (int i = 0; i < plant.count(); ++i)
        rows << QStringLiteral("%1:%2:%3:%4:%5")
                    .arg(plant.lineOf(i))
                    .arg(plant.station(i))
                    .arg(QFileInfo(plant.instrument(i).dbFiles.location().path).fileName(),
                         plant.instrument(i).mqtt.settings().clientId, plant.name(i));
    return rows;
}

} // namespace

void TestPlant::changes_data()
{
    QTest::addColumn<QStringList>("ops"); // each "change -> fault"
    QTest::addColumn<QStringList>("instruments"); // as listed()
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("current");

    QTest::newRow("nothing remembered") << QStringList{} << QStringList{"0:1:Rdatabj.db:plant:"} << 1 << 0;
    QTest::newRow("stations on the first line")
        << QStringList{"add 0 2 -> none", "add 0 5 -> none"}
        << QStringList{"0:1:Rdatabj.db:plant-1:", "0:2:Rdatabj-2.db:plant-2:", "0:5:Rdatabj-5.db:plant-5:"} << 1 << 0;
    QTest::newRow("a station twice on a line")
        << QStringList{"add 0 2 -> none", "add 0 2 -> duplicate", "add 0 1 -> duplicate", "add 0 248 -> station",
                       "add 1 3 -> noline"}
        << QStringList{"0:1:Rdatabj.db:plant-1:", "0:2:Rdatabj-2.db:plant-2:"} << 1 << 0;
    QTest::newRow("further lines")
        << QStringList{"line 3 2 1 5 -> none", "add 1 6 -> none", "add 1 5 -> duplicate",
                       "line tcp://127.0.0.1:1502 1 0 1 -> none", "add 0 5 -> none"}
        << QStringList{"0:1:Rdatabj.db:plant-1:", "1:5:Rdatabj-L2-5.db:plant-L2-5:",
                       "1:6:Rdatabj-L2-6.db:plant-L2-6:", "2:1:Rdatabj-L3-1.db:plant-L3-1:", "0:5:Rdatabj-5.db:plant-5:"}
        << 3 << 0;
    QTest::newRow("lines refused")
        << QStringList{"line 256 1 0 1 -> address", "line rtu+tcp://host 1 0 1 -> address", "line  1 0 1 -> address",
                       "line 3 1 0 0 -> station", "line 3 5 0 1 -> settings", "line 1 1 0 2 -> sameline",
                       "line /dev/ttyX9 1 0 2 -> none", "line /dev/ttyX9 1 0 3 -> sameline"}
        << QStringList{"0:1:Rdatabj.db:plant-1:", "1:2:Rdatabj-L2-2.db:plant-L2-2:"} << 2 << 0;
    QTest::newRow("removal and names")
        << QStringList{"add 0 2 -> none", "line 3 1 0 5 -> none", "line 4 1 0 7 -> none", "name 3 Kiln 2",
                       "name 0 Boiler", "current 2 -> none", "remove 2 -> none", "remove 0 -> first",
                       "remove 9 -> noinstrument", "current 2 -> none", "remove 1 -> none"}
        << QStringList{"0:1:Rdatabj.db:plant-1:Boiler", "1:7:Rdatabj-L3-7.db:plant-L3-7:Kiln 2"} << 2 << 1;
}

void TestPlant::changes()
{
    QFETCH(QStringList, ops);
    QFETCH(QStringList, instruments);
    QFETCH(int, lines);
    QFETCH(int, current);
    const TempDatabase db(false);
    const QString conf = db.filePath("conf/qr5300m.conf");
    const DbLocation single{db.path(), false};

    // Publishing as configured (not enabled: nothing connects).
    QVERIFY(QDir().mkpath(QFileInfo(conf).path()));
    QSettings(conf, QSettings::IniFormat).setValue(QStringLiteral("mqtt/client_id"), QStringLiteral("plant"));
    Plant plant(single, conf);
    QSignalSpy currents(&plant, &Plant::currentChanged);
    for (const QString &op : ops) {
        const QStringList parts = op.split(QStringLiteral(" -> "));
        const PlantFault fault = apply(plant, parts[0]);
        if (parts.size() > 1)
            QVERIFY2(fault == faultNamed(parts[1]), qPrintable(op));
    }
    QCOMPARE(listed(plant), instruments);
    QCOMPARE(plant.lineCount(), lines);
    QCOMPARE(plant.current(), current);
    QCOMPARE(currents.isEmpty() ? 0 : currents.last().at(0).toInt(), current);

    // Remembered for the next start, readable by its owner only; nothing is
    // written while nothing was added.
    QCOMPARE(QSettings(conf, QSettings::IniFormat).childGroups().contains("instruments"), !ops.isEmpty());
    if (!ops.isEmpty())
        QCOMPARE(QFile::permissions(conf) & 0x0777, QFile::ReadUser | QFile::WriteUser); // 0600
    const Plant again(single, conf);
    QCOMPARE(listed(again), instruments);
    QCOMPARE(again.lineCount(), lines);
}

QTEST_GUILESS_MAIN(TestPlant)
#include "tst_plant.moc"
