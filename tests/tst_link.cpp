// The Modbus layer and the acquisition cycle against the real simulator over
// a real pseudo-terminal.

#include "config/link_text.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/modbusrtu.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <memory>
#include <modbus.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A reply to a read of 16 registers: station, function, count, 32 data
// bytes, CRC.
constexpr int kReply16 = 37;

// Bytes lying unread on the terminal behind a device path, -1 when it cannot
// be asked. Opened beside the master that holds it (root passes its
// exclusive mode), and nothing is read.
int unreadBytes(const QString &device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int n = -1;
    if (fd >= 0) {
        if (ioctl(fd, FIONREAD, &n) != 0)
            n = -1;
        ::close(fd);
    }
    return n;
}

// Root opens a terminal that another descriptor holds in exclusive mode;
// anyone else is refused.
bool canLookPastExclusiveMode()
{
    return ::geteuid() == 0;
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

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
    void secondOpenerIsRefused();
    void openClosesWhatIsHeld();
    void lateRepliesAreDrained();
    void writeEchoMustMatch_data();
    void writeEchoMustMatch();
    void reasonsArePlainWords_data();
    void reasonsArePlainWords();

    void acquisitionPublishes();
    void acquisitionStatusBits_data();
    void acquisitionStatusBits();
    void dByte();
    void failedReadPublishesNothing();
    void tickNeverOverlaps();
    void linkResultsInIssueOrder();
    void healthFollowsTheClock_data();
    void healthFollowsTheClock();
    void deviceComesBack();

private:
    LinkFault open1(ModbusRTU &m);
    void linkOpen(int32_t port = 1);
    void linkClose();
    void tickAndWait(Met1 &met);

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
    LinkSettings m_settings;
    LiveTables m_live;
    Clock m_clock;
};

void TestLink::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sim = startFrozenSim(m_dir.path());
    QVERIFY2(m_sim, "simulator did not start");
    m_link = std::make_unique<Link>();
}

void TestLink::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestLink::init()
{
    // The link holds no port unless a test opens it: a port is held by one
    // master at a time.
    linkClose();
    m_live = {};
    m_settings.Link_Par[0] = 1;
    m_settings.Link_Par[3] = 1;
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QVERIFY(m_sim->command("auto").startsWith("ok"));
    QVERIFY(m_sim->command("freeze on").startsWith("ok"));
}

void TestLink::cleanup()
{
    m_clock.set({});
}

void TestLink::linkOpen(int32_t port)
{
    int32_t result = 1;
    m_link->OpenPort_Modbus(port, 1, 0, this, [&](const LinkResult &r) { result = r.result; });
    QTRY_COMPARE(result, kModbusOk);
}

void TestLink::linkClose()
{
    m_link->ClosePort_Modbus(m_settings.Link_Par[0]);
    QTRY_COMPARE(m_link->pending(), 0);
}

LinkFault TestLink::open1(ModbusRTU &m)
{
    const int32_t r = m.OpenPort_Modbus(1, 1, 0);
    return r == kModbusOk ? LinkFault::None : m.lastError().kind;
}

void TestLink::portDevice()
{
    QCOMPARE(::portDevice(3), m_dir.path() + "/COM3");
    qunsetenv("QR5300M_PORT_DIR");
    const QString usb = QStringLiteral("/dev/ttyUSB1");
    QCOMPARE(::portDevice(2), QFileInfo::exists(usb) ? usb : QStringLiteral("/dev/ttyS1"));
    qputenv("QR5300M_PORT_DIR", m_dir.path().toLocal8Bit());
}

void TestLink::openFailures_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("expected");
    QTest::addColumn<LinkFault>("fault");
    QTest::newRow("no such device") << 7 << 1 << int(kOpenNoDevice) << LinkFault::NoDevice;
    QTest::newRow("port 0") << 0 << 1 << int(kOpenNoDevice) << LinkFault::BadPort;
    QTest::newRow("bad baud index") << 1 << 5 << int(kOpenFailed) << LinkFault::BadSettings;
    QTest::newRow("not a serial device") << 9 << 1 << int(kOpenFailed) << LinkFault::NotSerial;
}

void TestLink::openFailures()
{
    QFETCH(int, port);
    QFETCH(int, baud);
    QFETCH(int, expected);
    QFETCH(LinkFault, fault);
    QFile plain(m_dir.filePath(QStringLiteral("COM9")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    ModbusRTU m;
    QCOMPARE(m.OpenPort_Modbus(port, baud, 0), expected);
    QCOMPARE(m.lastError().kind, fault);
    QVERIFY(!m.isOpen(port));
}

void TestLink::callsOnClosedPortFailAtOnce()
{
    const int reads = simStat(*m_sim, "reads"), writes = simStat(*m_sim, "writes");
    QVERIFY(reads >= 0 && writes >= 0);
    ModbusRTU m;
    int32_t buf[16] = {};
    QElapsedTimer t;
    t.start();
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QCOMPARE(m.Get_1X_B16(1, 1, 1, buf), kModbusFail);
    QCOMPARE(m.Set_4X_D1(1, 1, 1, 5), kModbusFail);
    QCOMPARE(m.ClosePort_Modbus(0), kModbusFail);
    QCOMPARE(m.lastError().kind, LinkFault::NotOpen);
    // No exchange was attempted, so nothing waited for a time-out.
    QVERIFY(t.elapsed() < responseTimeoutMs(9600));
    QCOMPARE(simStat(*m_sim, "reads"), reads);
    QCOMPARE(simStat(*m_sim, "writes"), writes);
}

void TestLink::readsUseOneBasedNumbers()
{
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
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
    QCOMPARE(m.lastError().kind, LinkFault::Timeout);
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
    QCOMPARE(open1(m), LinkFault::None);
    QVERIFY(m_sim->command(QStringLiteral("status %1").arg(word)).startsWith("ok"));
    int32_t buf[1] = {-1};
    QCOMPARE(m.Get_1X_B16(1, 1, 1, buf), kModbusOk);
    QCOMPARE(buf[0], word);
}

void TestLink::writeAndRefusedWrite()
{
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
    QCOMPARE(m.Set_4X_D1(1, 1, 11, 3), kModbusOk);
    QCOMPARE(m_sim->command("get hr 11"), QStringLiteral("ok 3"));
    QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok 11 3"));
    // Out of the register's range: the instrument answers "illegal data value".
    QCOMPARE(m.Set_4X_D1(1, 1, 11, 9), kModbusFail);
    QCOMPARE(m.lastError(), (LinkError{LinkFault::Exception, 3, 0}));
    QCOMPARE(m_sim->command("get hr 11"), QStringLiteral("ok 3"));
    // Outside 16 bits nothing is sent at all.
    const int writes = simStat(*m_sim, "writes");
    QCOMPARE(m.Set_4X_D1(1, 1, 17, 99999), kModbusFail);
    QCOMPARE(m.lastError().kind, LinkFault::BadArguments);
    QCOMPARE(simStat(*m_sim, "writes"), writes);
}

void TestLink::faultsFailAndRecover_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<LinkFault>("kind");
    QTest::newRow("silent") << QStringLiteral("fault silent") << LinkFault::Timeout;
    QTest::newRow("bad crc") << QStringLiteral("fault crc") << LinkFault::BadFrame;
    QTest::newRow("late") << QStringLiteral("fault late 600") << LinkFault::Timeout;
}

void TestLink::faultsFailAndRecover()
{
    QFETCH(QString, fault);
    QFETCH(LinkFault, kind);
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
    // A stale reply would carry 11, the answer to the next read 77.
    QVERIFY(m_sim->command("set ir 3 11").startsWith("ok"));
    QVERIFY(m_sim->command(fault).startsWith("ok"));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QCOMPARE(m.lastError().kind, kind);
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 3 77").startsWith("ok"));
    if (fault.startsWith(QStringLiteral("fault late"))) {
        if (!canLookPastExclusiveMode())
            QSKIP("only root may open the port beside the link, which holds it in exclusive mode, to see the late reply land");
        QTRY_COMPARE(unreadBytes(m_sim->devicePath()), kReply16); // the late reply lands after the read gave up
    }
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusOk);
    QCOMPARE(buf[2], 77);
}

void TestLink::lateReplyIsNotTakenForTheNext()
{
    if (!canLookPastExclusiveMode())
        QSKIP("only root may open the port beside the link, which holds it in exclusive mode, to see the late reply land");
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
    QVERIFY(m_sim->command("set ir 1 111").startsWith("ok"));
    // Later than the time-out and than the quiet time waited for after it.
    const int lateMs = 2 * responseTimeoutMs(9600) + 100;
    QVERIFY(m_sim->command(QStringLiteral("fault late %1").arg(lateMs)).startsWith("ok"));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QTRY_COMPARE(unreadBytes(m_sim->devicePath()), kReply16);
    // The late input-register reply is on the line; a status read must not
    // take it for its own answer.
    const int64_t drained = m.drainedBytes();
    QVERIFY(m_sim->command("status 5").startsWith("ok"));
    int32_t word[1] = {};
    QCOMPARE(m.Get_1X_B16(1, 1, 1, word), kModbusOk);
    QCOMPARE(word[0], 5);
    QCOMPARE(m.drainedBytes() - drained, int64_t(kReply16));
}

// Whether the terminal behind a device path is in exclusive mode.
static int exclusiveMode(const QString &device)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    int on = -1;
    if (fd >= 0) {
        if (ioctl(fd, TIOCGEXCL, &on) != 0)
            on = -1;
        ::close(fd);
    }
    return on;
}

// A second master on the line is refused; the advisory lock is what stops it
// here (root passes the terminal's exclusive mode).
void TestLink::secondOpenerIsRefused()
{
    ModbusRTU first;
    QCOMPARE(open1(first), LinkFault::None);
    ModbusRTU second;
    QCOMPARE(second.OpenPort_Modbus(1, 1, 0), kOpenBusy);
    QCOMPARE(second.lastError().kind, LinkFault::Busy);
    QVERIFY(!second.isOpen(1));
    int32_t buf[16] = {};
    QCOMPARE(first.Get_3X_DX(1, 1, 1, 16, buf), kModbusOk);
    // Only root can open the port beside its holder to read the mode; for
    // anyone else the refusal itself shows it.
    QCOMPARE(exclusiveMode(m_sim->devicePath()), canLookPastExclusiveMode() ? 1 : -1);
    // Closing leaves the terminal as it was and frees the port.
    QCOMPARE(first.ClosePort_Modbus(1), kModbusOk);
    QCOMPARE(exclusiveMode(m_sim->devicePath()), 0);
    QCOMPARE(open1(second), LinkFault::None);
    QCOMPARE(second.Get_3X_DX(1, 1, 1, 16, buf), kModbusOk);
}

void TestLink::openClosesWhatIsHeld()
{
    SimProcess sim2(m_dir.path(), 2);
    QVERIFY(sim2.isReady());
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
    QCOMPARE(m.OpenPort_Modbus(2, 1, 0), kModbusOk);
    QVERIFY(!m.isOpen(1));
    int32_t buf[16] = {};
    QCOMPARE(m.Get_3X_DX(1, 1, 1, 16, buf), kModbusFail);
    QCOMPARE(m.Get_3X_DX(2, 1, 1, 16, buf), kModbusOk);
    ModbusRTU other; // port 1 is free for anyone
    QCOMPARE(open1(other), LinkFault::None);
    // Closing, whatever the number, closes what is held.
    QCOMPARE(m.ClosePort_Modbus(1), kModbusOk);
    QVERIFY(!m.isOpen(2));
    QCOMPARE(m.Get_3X_DX(2, 1, 1, 16, buf), kModbusFail);
}

// A reply later than the time-out must not pass for the answer to the next
// request of the same shape: holding registers 1..16 read as 17..32.
void TestLink::lateRepliesAreDrained()
{
    for (int k = 1; k <= 32; ++k)
        QVERIFY(m_sim->command(QStringLiteral("set hr %1 %2").arg(k).arg(1000 + k)).startsWith("ok"));
    linkOpen();
    const qint64 drained = m_link->drainedBytes();
    QVERIFY(m_sim->command("fault late 250").startsWith("ok"));
    for (int round = 0; round < 2; ++round) {
        LinkResult first, second;
        int done = 0;
        m_link->Get_4X_DX(1, 1, 1, 16, this, [&](const LinkResult &r) { first = r, ++done; });
        m_link->Get_4X_DX(1, 1, 17, 16, this, [&](const LinkResult &r) { second = r, ++done; });
        QTRY_COMPARE_WITH_TIMEOUT(done, 2, 5000);
        QCOMPARE(first.result, kModbusFail);
        if (second.result == kModbusOk)
            QCOMPARE(second.buf.value(0), 1017);
    }
    // Each late reply (37 bytes) was read off the line and counted.
    QVERIFY2(m_link->drainedBytes() - drained >= 4 * 37, qPrintable(QString::number(m_link->drainedBytes())));
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    LinkResult again;
    m_link->Get_4X_DX(1, 1, 17, 16, this, [&](const LinkResult &r) { again = r; });
    QTRY_COMPARE(again.result, kModbusOk);
    QCOMPARE(again.buf.value(0), 1017);
}

void TestLink::writeEchoMustMatch_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("echo names another value") << QStringLiteral("fault wecho value");
    QTest::newRow("echo names another register") << QStringLiteral("fault wecho reg");
}

void TestLink::writeEchoMustMatch()
{
    QFETCH(QString, fault);
    ModbusRTU m;
    QCOMPARE(open1(m), LinkFault::None);
    QVERIFY(m_sim->command(fault).startsWith("ok"));
    QCOMPARE(m.Set_4X_D1(1, 1, 10, 4), kModbusFail);
    QCOMPARE(m.lastError().kind, LinkFault::EchoMismatch);
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QCOMPARE(m.Set_4X_D1(1, 1, 10, 5), kModbusOk);
    QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok 10 5"));
}

void TestLink::reasonsArePlainWords_data()
{
    QTest::addColumn<int>("error");
    QTest::newRow("bad data") << int(EMBBADDATA);
    QTest::newRow("bad exception code") << int(EMBBADEXC);
    QTest::newRow("unknown exception") << int(EMBUNKEXC);
    QTest::newRow("too many data") << int(EMBMDATA);
    QTest::newRow("another slave") << int(EMBBADSLAVE);
    QTest::newRow("negative acknowledge") << int(EMBXNACK);
    QTest::newRow("gateway path") << int(EMBXGPATH);
    QTest::newRow("system error") << int(EPROTO);
}

void TestLink::reasonsArePlainWords()
{
    QFETCH(int, error);
    const QString why = linkFailureText(linkErrorOf(error, false));
    QVERIFY2(!why.isEmpty() && why.at(0).unicode() >= 0x4E00, qPrintable(why));
}

// One tick issued now, after whatever was still out (a tick that falls due
// meanwhile is made right after it), and its results.
void TestLink::tickAndWait(Met1 &met)
{
    QTRY_VERIFY_WITH_TIMEOUT(!met.tickBusy(), 3000);
    QSignalSpy done(&met, &Met1::tickDone);
    met.Timer1_Timer();
    QVERIFY(done.wait(3000));
}

void TestLink::acquisitionPublishes()
{
    linkOpen();
    for (int i = 1; i <= 16; ++i)
        QVERIFY(m_sim->command(QStringLiteral("set ir %1 %2").arg(i).arg(i * 10 - 100)).startsWith("ok"));
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start();
    tickAndWait(met);
    for (int i = 0; i < 16; ++i) {
        QCOMPARE(m_live.Raw_3X[i], (i + 1) * 10 - 100);
        QCOMPARE(m_live.Val_3X[i], float((i + 1) * 10 - 100));
    }
    QCOMPARE(met.health(), LinkHealth::Ok);
    QCOMPARE(met.failCount(), 0);
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
    linkOpen();
    for (int k = 0; k < 16; ++k)
        m_live.Sta_1X[k] = 7; // must all be rewritten
    QVERIFY(m_sim->command(QStringLiteral("status %1").arg(word)).startsWith("ok"));
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start();
    tickAndWait(met);
    for (int k = 0; k < 16; ++k)
        QCOMPARE(m_live.Sta_1X[k], (word >> k) & 1);
    QCOMPARE(met.Word_1X[0], word);
}

void TestLink::dByte()
{
    Met1 met(*m_link, m_settings, m_live, m_clock);
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
    linkOpen();
    QVERIFY(m_sim->command("set ir 1 500").startsWith("ok"));
    QVERIFY(m_sim->command("status 5").startsWith("ok"));
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start();
    tickAndWait(met);
    QCOMPARE(m_live.Val_3X[0], 500.0f);
    const QDateTime good = met.lastGood();
    QVERIFY(good.isValid());

    QVERIFY(m_sim->command("set ir 1 600").startsWith("ok"));
    QVERIFY(m_sim->command("status 0").startsWith("ok"));
    QVERIFY(m_sim->command("fault silent").startsWith("ok"));
    tickAndWait(met);
    tickAndWait(met);
    QCOMPARE(m_live.Val_3X[0], 500.0f);
    QCOMPARE(m_live.Raw_3X[0], 500);
    QCOMPARE(m_live.Sta_1X[0], 1);
    QCOMPARE(m_live.Sta_1X[2], 1);
    QCOMPARE(met.failCount(), 2);
    QCOMPARE(met.lastGood(), good);
    QCOMPARE(met.health(), LinkHealth::Interrupted);
    QCOMPARE(met.lastError().kind, LinkFault::Timeout);

    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    tickAndWait(met);
    QCOMPARE(m_live.Val_3X[0], 600.0f);
    QCOMPARE(m_live.Sta_1X[0], 0);
    QCOMPARE(met.health(), LinkHealth::Ok);
    QCOMPARE(met.lastError().kind, LinkFault::None);
}

void TestLink::tickNeverOverlaps()
{
    linkOpen();
    QVERIFY(m_sim->command("fault late 100").startsWith("ok"));
    QTRY_COMPARE(m_link->pending(), 0);
    QVERIFY(m_sim->command("reset").startsWith("ok"));
    Met1 met(*m_link, m_settings, m_live, m_clock);
    // (timer left stopped: only the direct calls below may start ticks)
    QSignalSpy done(&met, &Met1::tickDone);
    met.Timer1_Timer();
    QVERIFY(met.tickBusy());
    met.Timer1_Timer(); // falls due while the first is still waiting
    met.Timer1_Timer();
    QVERIFY(done.wait(3000));
    // Anything an overlapping tick had issued would still be on its way.
    QTRY_COMPARE(m_link->pending(), 0);
    QCOMPARE(done.count(), 1);
    QCOMPARE(simStat(*m_sim, "reads"), 2);
    QVERIFY(!met.tickBusy());
}

void TestLink::linkResultsInIssueOrder()
{
    linkOpen();
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
    QCOMPARE(m_link->pending(), 0);
    // A result whose object is gone is dropped.
    bool called = false;
    auto *ctx = new QObject;
    m_link->Get_4X_DX(1, 1, 1, 1, ctx, [&called](const LinkResult &) { called = true; });
    delete ctx;
    QTRY_COMPARE(m_link->pending(), 0);
    QVERIFY(!called);
}

void TestLink::healthFollowsTheClock_data()
{
    QTest::addColumn<bool>("goodPollFirst");
    QTest::newRow("after a good poll") << true;
    QTest::newRow("no good poll since the open") << false;
}

// The health text judges by the clock, not by the end of a poll: a reply
// dribbled one byte every 12 ms keeps a tick in flight for half a second.
void TestLink::healthFollowsTheClock()
{
    QFETCH(bool, goodPollFirst);
    linkOpen();
    QDateTime now(QDate(2026, 12, 8), QTime(10, 0, 0));
    m_clock.set([&now] { return now; });
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start();
    met.resetHealth();
    if (goodPollFirst) {
        tickAndWait(met);
        QCOMPARE(met.health(), LinkHealth::Ok);
    }
    QVERIFY(m_sim->command("fault dribble 12").startsWith("ok"));
    QTRY_VERIFY(!met.tickBusy());
    met.Timer1_Timer();
    QVERIFY(met.tickBusy());
    // On a clock of whole seconds one second may be a few milliseconds.
    now = now.addSecs(1);
    QCOMPARE(met.health(), goodPollFirst ? LinkHealth::Ok : LinkHealth::WaitingFirst);
    now = now.addSecs(1);
    QVERIFY(met.tickBusy());
    QCOMPARE(met.health(), LinkHealth::Stalled);
    QCOMPARE(linkHealthText(met.health(), met.lastGood(), met.lastError()).section(u'：', 1),
             QStringLiteral("超过1秒没有完整应答"));
    // The slow reply does come in whole: that is a good poll.
    QTRY_COMPARE(met.health(), LinkHealth::Ok);
}

// The device goes away (the simulator stops) and comes back on the same
// path: values flow again without a new open; closing ends the waiting.
void TestLink::deviceComesBack()
{
    auto sim3 = std::make_unique<SimProcess>(m_dir.path(), 3);
    QVERIFY(sim3->isReady());
    QVERIFY(sim3->command("set ir 1 31").startsWith("ok"));
    m_settings.Link_Par[0] = 3;
    linkOpen(3);
    Met1 met(*m_link, m_settings, m_live, m_clock);
    met.Timer1.start();
    met.resetHealth();
    tickAndWait(met);
    QCOMPARE(m_live.Val_3X[0], 31.0f);

    QCOMPARE(sim3->stop(), 0);
    tickAndWait(met);
    QCOMPARE(met.lastError().kind, LinkFault::DeviceLost);
    QCOMPARE(met.health(), LinkHealth::Interrupted);
    QCOMPARE(m_live.Val_3X[0], 31.0f);

    sim3.reset();
    sim3 = std::make_unique<SimProcess>(m_dir.path(), 3);
    QVERIFY(sim3->isReady());
    QVERIFY(sim3->command("set ir 1 32").startsWith("ok"));
    QTRY_COMPARE(m_live.Val_3X[0], 32.0f);
    QCOMPARE(met.failCount(), 0);

    // Gone again, then closed: the device back on its path is left alone.
    QCOMPARE(sim3->stop(), 0);
    tickAndWait(met);
    QCOMPARE(met.lastError().kind, LinkFault::DeviceLost);
    met.Timer1.stop();
    linkClose();
    sim3.reset();
    sim3 = std::make_unique<SimProcess>(m_dir.path(), 3);
    QVERIFY(sim3->isReady());
    LinkResult after;
    m_link->Get_3X_DX(3, 1, 1, 16, this, [&](const LinkResult &r) { after = r; });
    QTRY_VERIFY(after.error.kind != LinkFault::None);
    QCOMPARE(after.error.kind, LinkFault::NotOpen);
    ModbusRTU other; // and nothing of ours holds it
    QCOMPARE(other.OpenPort_Modbus(3, 1, 0), kModbusOk);
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
