// The Modbus layer and the acquisition cycle against the real simulator over
// a real pseudo-terminal.
#include "app/globals.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/modbusrtu.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void portDevice();
    void openFailures_data();
    void openFailures();
    void callsOnClosedPortFailAtOnce();
    void readsUseOneBasedNumbers();
    void statusWord_data();
    void statusWord();
    void writeAndRefusedWrite();
    void faultsFailAndRecover_data();
    void faultsFailAndRecover();
    void lateReplyIsNotTakenForTheNext();

    void acquisitionPublishes();
    void acquisitionStatusBits_data();
    void acquisitionStatusBits();
    void dByte();
    void failedReadPublishesNothing();
    void tickNeverOverlaps();
    void linkResultsInIssueOrder();

private:
    QString open1(ModbusRTU &m);
    void tickAndWait(Met1 &met);

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
};

void TestLink::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("QR5300M_PORT_DIR", m_dir.path().toLocal8Bit());
    m_sim = std::make_unique<SimProcess>(m_dir.path(), 1);
    QVERIFY2(m_sim->isReady(), "simulator did not start");
    QCOMPARE(m_sim->command("freeze on"), QStringLiteral("ok"));
    m_link = std::make_unique<Link>();
    Link_Par[0] = 1;
    Link_Par[3] = 1;
    bool opened = false;
    m_link->OpenPort_Modbus(1, 1, 0, this, [&](const LinkResult &r) { opened = r.result == kModbusOk; });
    QTRY_VERIFY(opened);
}

void TestLink::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestLink::init()
{
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QVERIFY(m_sim->command("auto").startsWith("ok"));
    QVERIFY(m_sim->command("freeze on").startsWith("ok"));
}

QString TestLink::open1(ModbusRTU &m)
{
    const int32_t r = m.OpenPort_Modbus(1, 1, 0);
    return r == kModbusOk ? QString() : m.Last_Error();
}

void TestLink::portDevice()
{
    QCOMPARE(Port_Device(3), m_dir.path() + "/COM3");
    qunsetenv("QR5300M_PORT_DIR");
    const QString usb = QStringLiteral("/dev/ttyUSB1");
    QCOMPARE(Port_Device(2), QFileInfo::exists(usb) ? usb : QStringLiteral("/dev/ttyS1"));
    qputenv("QR5300M_PORT_DIR", m_dir.path().toLocal8Bit());
}

void TestLink::openFailures_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QString>("words");
    QTest::newRow("no such device") << 7 << 1 << int(kOpenNoDevice) << QStringLiteral("不存在");
    QTest::newRow("port 0") << 0 << 1 << int(kOpenNoDevice) << QStringLiteral("无效");
    QTest::newRow("bad baud index") << 1 << 5 << int(kOpenFailed) << QStringLiteral("参数无效");
}

void TestLink::openFailures()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(int, expected);
    QFETCH(QString, words);
    ModbusRTU m;
    QCOMPARE(m.OpenPort_Modbus(port, baud, 0), expected);
    QVERIFY2(m.Last_Error().contains(words), qPrintable(m.Last_Error()));
    QVERIFY(!m.Is_Open(port));
}

void TestLink::callsOnClosedPortFailAtOnce()
{
    ModbusRTU m;
    int32_t buf[16] = {};
    QElapsedTimer t;
    t.start();
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QCOMPARE(m.Get_1X_B16(1, 1, 1, buf), kModbusFail);
    QCOMPARE(m.Set_4X_D1(1, 1, 1, 5), kModbusFail);
    QCOMPARE(m.ClosePort_Modbus(0), kModbusFail);
    QVERIFY(m.Last_Error().contains(QStringLiteral("未打开")));
    // No exchange was attempted, so nothing waited for a time-out.
    QVERIFY(t.elapsed() < Response_Timeout_Ms(9600));
    QCOMPARE(simStat(*m_sim, "reads"), simStat(*m_sim, "reads"));
}

void TestLink::readsUseOneBasedNumbers()
{
    ModbusRTU m;
    QCOMPARE(open1(m), QString());
    QVERIFY(m_sim->command("set ir 1 253").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 2 -1").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 16 -12000").startsWith("ok"));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusOk);
    QCOMPARE(buf[0], 253);
    QCOMPARE(buf[1], -1);
    QCOMPARE(buf[15], -12000);
    // Starting at register 2 shifts the buffer by one.
    QCOMPARE(m.Get_3X_DX(1, 1, 2, 1, buf), kModbusOk);
    QCOMPARE(buf[0], -1);
    QVERIFY(m_sim->command("set hr 29 -500").startsWith("ok"));
    int32_t hr[16] = {};
    QCOMPARE(m.Get_4X_DX(1, 1, 17, 16, hr), kModbusOk);
    QCOMPARE(hr[12], -500);
    // Another station does not answer.
    QCOMPARE(m.Get_3X_DX(1, 2, 1, 16, buf), kModbusFail);
    QVERIFY(m.Last_Error().contains(QStringLiteral("超时")));
}

void TestLink::statusWord_data()
{
    QTest::addColumn<int>("word");
    QTest::newRow("5") << 5;
    QTest::newRow("255") << 255;
    QTest::newRow("0x0F00") << 0x0F00;
    QTest::newRow("all 16") << 0xFFFF;
    QTest::newRow("none") << 0;
}

void TestLink::statusWord()
{
    QFETCH(int, word);
    ModbusRTU m;
    QCOMPARE(open1(m), QString());
    QVERIFY(m_sim->command(QStringLiteral("status %1").arg(word)).startsWith("ok"));
    int32_t buf[1] = {-1};
    QCOMPARE(m.Get_1X_B16(1, 1, 1, buf), kModbusOk);
    QCOMPARE(buf[0], word);
}

void TestLink::writeAndRefusedWrite()
{
    ModbusRTU m;
    QCOMPARE(open1(m), QString());
    QCOMPARE(m.Set_4X_D1(1, 1, 11, 3), kModbusOk);
    QCOMPARE(m_sim->command("get hr 11"), QStringLiteral("ok 3"));
    QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok 11 3"));
    // Out of the register's range: the instrument answers "illegal data value".
    QCOMPARE(m.Set_4X_D1(1, 1, 11, 9), kModbusFail);
    QVERIFY2(m.Last_Error().contains(QStringLiteral("illegal data value")), qPrintable(m.Last_Error()));
    QCOMPARE(m_sim->command("get hr 11"), QStringLiteral("ok 3"));
    // Outside 16 bits nothing is sent at all.
    const int writes = simStat(*m_sim, "writes");
    QCOMPARE(m.Set_4X_D1(1, 1, 17, 99999), kModbusFail);
    QCOMPARE(simStat(*m_sim, "writes"), writes);
}

void TestLink::faultsFailAndRecover_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("words");
    QTest::newRow("silent") << QStringLiteral("fault silent") << QStringLiteral("超时");
    QTest::newRow("bad crc") << QStringLiteral("fault crc") << QStringLiteral("CRC");
    QTest::newRow("late") << QStringLiteral("fault late 600") << QStringLiteral("超时");
}

void TestLink::faultsFailAndRecover()
{
    QFETCH(QString, fault);
    QFETCH(QString, words);
    ModbusRTU m;
    QCOMPARE(open1(m), QString());
    QVERIFY(m_sim->command(fault).startsWith("ok"));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QVERIFY2(m.Last_Error().contains(words), qPrintable(m.Last_Error()));
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 3 77").startsWith("ok"));
    QTest::qWait(700); // let a late reply land on the line first
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusOk);
    QCOMPARE(buf[2], 77);
}

void TestLink::lateReplyIsNotTakenForTheNext()
{
    ModbusRTU m;
    QCOMPARE(open1(m), QString());
    QVERIFY(m_sim->command("set ir 1 111").startsWith("ok"));
    QVERIFY(m_sim->command(QStringLiteral("fault late %1").arg(Response_Timeout_Ms(9600) + 50)).startsWith("ok"));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QTest::qWait(150);
    // The late input-register reply is still on the line; a status read must
    // not take it for its own answer.
    QVERIFY(m_sim->command("status 5").startsWith("ok"));
    int32_t word[1] = {};
    QCOMPARE(m.Get_1X_B16(1, 1, 1, word), kModbusOk);
    QCOMPARE(word[0], 5);
}

void TestLink::tickAndWait(Met1 &met)
{
    QSignalSpy done(&met, &Met1::Tick_Done);
    met.Timer1_Timer();
    QVERIFY(done.wait(3000));
}

void TestLink::acquisitionPublishes()
{
    for (int i = 1; i <= 16; ++i)
        QVERIFY(m_sim->command(QStringLiteral("set ir %1 %2").arg(i).arg(i * 10 - 100)).startsWith("ok"));
    Met1 met;
    met.Timer1.start();
    tickAndWait(met);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(Raw_3X[i], (i + 1) * 10 - 100);
        QCOMPARE(Val_3X[i], float((i + 1) * 10 - 100));
    }
    QCOMPARE(met.Health_Text(), QStringLiteral("通讯正常"));
    QCOMPARE(met.Fail_Count(), 0);
}

void TestLink::acquisitionStatusBits_data()
{
    QTest::addColumn<int>("word");
    QTest::newRow("5: channel 1 alarm and short") << 5;
    QTest::newRow("255 is a valid status") << 255;
    QTest::newRow("0x0F00 reaches cells 8..11") << 0x0F00;
    QTest::newRow("256") << 256;
    QTest::newRow("0 clears") << 0;
}

void TestLink::acquisitionStatusBits()
{
    QFETCH(int, word);
    for (int k = 0; k < 16; ++k)
        Sta_1X[k] = 7; // must all be rewritten
    QVERIFY(m_sim->command(QStringLiteral("status %1").arg(word)).startsWith("ok"));
    Met1 met;
    met.Timer1.start();
    tickAndWait(met);
    for (int k = 0; k < 16; ++k)
        QCOMPARE(Sta_1X[k], (word >> k) & 1);
    QCOMPARE(met.Word_1X[0], word);
}

void TestLink::dByte()
{
    Met1 met;
    met.D_Byte(5);
    const uint8_t five[8] = {1, 0, 1, 0, 0, 0, 0, 0};
    QVERIFY(std::equal(five, five + 8, met.Bit_B));
    met.D_Byte(255);
    QVERIFY(std::all_of(met.Bit_B, met.Bit_B + 8, [](uint8_t b) { return b == 1; }));
    met.D_Byte(128);
    QCOMPARE(int(met.Bit_B[7]), 1);
    QCOMPARE(int(met.Bit_B[0]), 0);
}

void TestLink::failedReadPublishesNothing()
{
    QVERIFY(m_sim->command("set ir 1 500").startsWith("ok"));
    QVERIFY(m_sim->command("status 5").startsWith("ok"));
    Met1 met;
    met.Timer1.start();
    tickAndWait(met);
    QCOMPARE(Val_3X[0], 500.0f);
    const QDateTime good = met.Last_Good();
    QVERIFY(good.isValid());

    QVERIFY(m_sim->command("set ir 1 600").startsWith("ok"));
    QVERIFY(m_sim->command("status 0").startsWith("ok"));
    QVERIFY(m_sim->command("fault silent").startsWith("ok"));
    tickAndWait(met);
    tickAndWait(met);
    QCOMPARE(Val_3X[0], 500.0f);
    QCOMPARE(Raw_3X[0], 500);
    QCOMPARE(Sta_1X[0], 1);
    QCOMPARE(Sta_1X[2], 1);
    QCOMPARE(met.Fail_Count(), 2);
    QCOMPARE(met.Last_Good(), good);
    QVERIFY2(met.Health_Text().startsWith(QStringLiteral("通讯中断")), qPrintable(met.Health_Text()));
    QVERIFY(met.Last_Error().contains(QStringLiteral("超时")));

    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    tickAndWait(met);
    QCOMPARE(Val_3X[0], 600.0f);
    QCOMPARE(Sta_1X[0], 0);
    QCOMPARE(met.Health_Text(), QStringLiteral("通讯正常"));
}

void TestLink::tickNeverOverlaps()
{
    QVERIFY(m_sim->command("fault late 100").startsWith("ok"));
    QTRY_COMPARE(m_link->Pending(), 0);
    QVERIFY(m_sim->command("reset").startsWith("ok"));
    Met1 met;
    // (timer left stopped: only the direct calls below may start ticks)
    QSignalSpy done(&met, &Met1::Tick_Done);
    met.Timer1_Timer();
    QVERIFY(met.Tick_Busy());
    met.Timer1_Timer(); // falls due while the first is still waiting
    met.Timer1_Timer();
    QVERIFY(done.wait(3000));
    QTest::qWait(400);
    QCOMPARE(done.count(), 1);
    QCOMPARE(simStat(*m_sim, "reads"), 2);
    QVERIFY(!met.Tick_Busy());
}

void TestLink::linkResultsInIssueOrder()
{
    QStringList order;
    for (int i = 0; i < 5; ++i) {
        m_link->Get_4X_DX(1, 1, 1 + i, 1, this, [&order, i](const LinkResult &) { order << QString::number(i); });
        m_link->Get_3X_DX(9, 1, 1, 1, this, [&order, i](const LinkResult &r) {
            // Port 9 was never opened: fails at once, still in its turn.
            order << (r.result == kModbusFail ? QStringLiteral("x%1").arg(i) : QStringLiteral("?"));
        });
    }
    QTRY_COMPARE(order.size(), 10);
    QCOMPARE(order.join(','), QStringLiteral("0,x0,1,x1,2,x2,3,x3,4,x4"));
    QCOMPARE(m_link->Pending(), 0);
    // A result whose object is gone is dropped.
    bool called = false;
    auto *ctx = new QObject;
    m_link->Get_4X_DX(1, 1, 1, 1, ctx, [&called](const LinkResult &) { called = true; });
    delete ctx;
    QTRY_COMPARE(m_link->Pending(), 0);
    QVERIFY(!called);
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
