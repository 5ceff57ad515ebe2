// Opening and closing the link with its settings, without a window (a core
// application only): against the real simulator on a pseudo-terminal, with
// the settings file in a folder of the test's own.
#include "core/settings_file.h"
#include "link/link.h"
#include "link/link_control.h"
#include "link/met1.h"
#include "link/serial_ports.h"
#include "testsupport.h"

#include <QtTest>
#include <algorithm>
#include <memory>
#include <vector>

Q_DECLARE_METATYPE(LinkControl::Remember)

class TestLinkControl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void openAndClose_data();
    void openAndClose();
    void silentStationBackedOff_data();
    void silentStationBackedOff();
    void saturatedLineStaysHealthy();

private:
    QTemporaryDir m_config;
    QTemporaryDir m_ports;
    std::unique_ptr<SimProcess> m_sim;
};

void TestLinkControl::initTestCase()
{
    QCOMPARE(QCoreApplication::instance()->metaObject()->className(), "QCoreApplication");
    QVERIFY(m_config.isValid() && m_ports.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    qputenv("QR5300M_PORT_DIR", m_ports.path().toLocal8Bit());
    m_sim = startFrozenSim(m_ports.path());
    QVERIFY(m_sim);
}

void TestLinkControl::init()
{
    QFile::remove(settingsFilePath());
    QVERIFY(!readRememberedLink().link);
}

// port: "sim" (port 1, the simulator), "path" (the simulator by its device
// path), "missing" (port 7, nothing there). then: what follows the first
// open before its result is back: "" nothing, "close", "reopen" (the same
// open again), "reopenAfter" (again once its result is back).
void TestLinkControl::openAndClose_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<LinkControl::Remember>("remember");
    QTest::addColumn<QString>("then");
    QTest::addColumn<int>("told");       // opened() signals
    QTest::addColumn<int>("fault");      // LinkFault of the last told, as int
    QTest::addColumn<bool>("polling");
    QTest::addColumn<QString>("remembered"); // the port remembered, "" none, "path" the device path
    using R = LinkControl::Remember;
    const int none = int(LinkFault::None);
    QTest::newRow("open") << "sim" << R::Yes << "" << 1 << none << true << "1";
    QTest::newRow("open by path") << "path" << R::Yes << "" << 1 << none << true << "path";
    QTest::newRow("open not remembered") << "sim" << R::No << "" << 1 << none << true << "";
    QTest::newRow("open fails") << "missing" << R::Yes << "" << 1 << int(LinkFault::NoDevice) << true << "";
    QTest::newRow("closed before the result") << "sim" << R::Yes << "close" << 0 << none << false << "1";
    QTest::newRow("opened again before the result") << "sim" << R::Yes << "reopen" << 1 << none << true << "1";
    QTest::newRow("opened again while polling") << "sim" << R::Yes << "reopenAfter" << 2 << none << true << "1";
}

void TestLinkControl::openAndClose()
{
    QFETCH(QString, port);
    QFETCH(LinkControl::Remember, remember);
    QFETCH(QString, then);
    QFETCH(int, told);
    QFETCH(int, fault);
    QFETCH(bool, polling);
    QFETCH(QString, remembered);

    Clock clock;
    clock.set([] { return QDateTime(QDate(2026, 12, 8), QTime(3, 0, 0)); });
    Link link;
    LinkSettings settings;
    LiveTables live;
    Met1 met1(link, settings, live, clock);
    LinkControl control(link, settings);
    control.addStation(met1, settings);
    QSignalSpy opened(&control, &LinkControl::opened);

    // A failed poll before the open: the open judges the health afresh.
    ++settings.Link_Par[0];
    met1.Timer1_Timer();
    QTRY_COMPARE(met1.failCount(), 1);

    LinkChoice choice;
    choice.par[0] = port == QLatin1String("missing") ? 7 : 1;
    choice.par[3] = 3;
    if (port == QLatin1String("path"))
        choice.devicePath = m_sim->devicePath();
    control.open(choice, remember);
    QCOMPARE(met1.failCount(), 0);
    QVERIFY(control.isOpen());
    const int timer = met1.Timer1.timerId();
    if (then == QLatin1String("close"))
        control.close();
    if (then == QLatin1String("reopen"))
        control.open(choice, remember);
    if (then == QLatin1String("reopenAfter")) {
        QTRY_COMPARE(opened.size(), 1);
        control.open(choice, remember);
        QCOMPARE(met1.Timer1.timerId(), timer); // the polling keeps its rhythm
    }
    QTRY_COMPARE(link.pending(), 0);

    QCOMPARE(opened.size(), told);
    if (told > 0) {
        const auto result = opened.constLast().constFirst().value<LinkOpenResult>();
        QCOMPARE(int(result.error.kind), fault);
        QCOMPARE(result.ok(), fault == int(LinkFault::None));
        QCOMPARE(result.port, choice.par[0]);
        QCOMPARE(result.devicePath, choice.devicePath);
    }
    QCOMPARE(settings.Link_Par[20] == kModbusOk, fault == int(LinkFault::None));
    QCOMPARE(settings.Link_Par[0], choice.par[0]);
    QCOMPARE(settings.Link_Par[3], 3);
    QCOMPARE(settings.portPath, choice.devicePath);
    QCOMPARE(control.isOpen(), polling);
    QCOMPARE(met1.health() == LinkHealth::Closed, !polling);
    const auto saved = readRememberedLink().link;
    QCOMPARE(saved ? saved->port : QString(), remembered == QLatin1String("path") ? m_sim->devicePath() : remembered);
    if (saved)
        QCOMPARE(saved->station, 3);

    control.close();
    QTRY_COMPARE(link.pending(), 0);
}

void TestLinkControl::silentStationBackedOff_data()
{
    QTest::addColumn<QList<int>>("stations"); // 1 answers, the others are silent
    QTest::addColumn<int>("silentAsked");     // in ten rounds, by each silent station
    QTest::newRow("alone on its line: asked every time") << QList<int>{40} << 10;
    // Asked in rounds 1, 2, 4 and 8: after the second failure every second
    // round, then every fourth, then every eighth.
    QTest::newRow("beside others") << QList<int>{1, 40} << 4;
    QTest::newRow("third and fourth on the line") << QList<int>{1, 40, 41} << 4;
}

// A station that does not answer is asked less and less often while others
// share its line, and at every round when it is alone.
void TestLinkControl::silentStationBackedOff()
{
    QFETCH(QList<int>, stations);
    QFETCH(int, silentAsked);
    Clock clock;
    Link link;
    LinkSettings lineSettings;
    std::vector<std::unique_ptr<LinkSettings>> settings;
    std::vector<std::unique_ptr<LiveTables>> live;
    std::vector<std::unique_ptr<Met1>> met;
    LinkControl control(link, lineSettings);
    for (const int s : stations) {
        settings.push_back(std::make_unique<LinkSettings>());
        settings.back()->Link_Par[3] = s;
        live.push_back(std::make_unique<LiveTables>());
        met.push_back(std::make_unique<Met1>(link, *settings.back(), *live.back(), clock));
        control.addStation(*met.back(), *settings.back());
    }
    LinkChoice choice;
    choice.par[3] = stations.constFirst();
    control.open(choice, LinkControl::Remember::No);
    for (auto &m : met)
        m->Timer1.stop(); // the rounds are made by hand
    QTRY_COMPARE(link.pending(), 0);
    for (int round = 0; round < 10; ++round) {
        for (auto &m : met)
            m->Timer1_Timer();
        QTRY_VERIFY_WITH_TIMEOUT(std::none_of(met.begin(), met.end(), [](const auto &m) { return m->tickBusy(); }), 5000);
    }
    for (const int s : stations)
        QCOMPARE(link.diagnostics().counters(s).requests, s == 1 ? 20 : silentAsked);
    control.close();
}

// Twelve stations at 4800 baud: one round takes about 1.5 s, three times the
// 500 ms asked for. Every station answers every round, so none may ever be
// judged stalled: the stall is judged against the round, not the 500 ms.
void TestLinkControl::saturatedLineStaysHealthy()
{
    QTemporaryDir ports;
    QStringList list;
    for (int s = 1; s <= 12; ++s)
        list << QString::number(s);
    SimProcess sim(ports.path(), 1, {QStringLiteral("--stations"), list.join(u','), QStringLiteral("--pace"),
                                     QStringLiteral("--baud"), QStringLiteral("4800")});
    QVERIFY(sim.isReady());
    Clock clock;
    Link link;
    LinkSettings lineSettings;
    std::vector<std::unique_ptr<LinkSettings>> settings;
    std::vector<std::unique_ptr<LiveTables>> live;
    std::vector<std::unique_ptr<Met1>> met;
    LinkControl control(link, lineSettings);
    int bad = 0, good = 0;
    for (int s = 1; s <= 12; ++s) {
        settings.push_back(std::make_unique<LinkSettings>());
        settings.back()->Link_Par[3] = s;
        live.push_back(std::make_unique<LiveTables>());
        met.push_back(std::make_unique<Met1>(link, *settings.back(), *live.back(), clock));
        control.addStation(*met.back(), *settings.back());
        connect(met.back().get(), &Met1::healthChanged, this, [&bad](const LinkState &state) {
            bad += state.health == LinkHealth::Stalled || state.health == LinkHealth::Interrupted;
        });
        connect(met.back().get(), &Met1::tickDone, this, [&good] { ++good; });
    }
    LinkChoice choice;
    choice.par[1] = 0; // 4800 baud
    choice.devicePath = sim.devicePath();
    control.open(choice, LinkControl::Remember::No);
    QTRY_VERIFY_WITH_TIMEOUT(good >= 12 * 5, 20000); // five rounds
    QVERIFY(control.cycle().saturated);
    QCOMPARE(bad, 0);
    control.close();
}

QTEST_GUILESS_MAIN(TestLinkControl)
#include "tst_linkcontrol.moc"
