// The instrument simulator as a foreign Modbus master sees it: a real
// qr5300m-sim process on a pseudo-terminal, driven by a plain libmodbus
// master and by the simulator's command language.

#include "testsupport.h"

#include <QtTest>

#include <modbus.h>

#include <array>
#include <cerrno>
#include <climits>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutUs = 300000;

// Factory values of holding registers 1..48.
constexpr std::array<int, 48> kFactory{
    250, 400, 300, 450, 180, 300, 420, 600,  //
    1, 0, 1, 2, 1, 3, 1, 5,                  //
    1, 1, 0, 0, 1, 0, 1300, -200,            //
    0, 0, 1300, -200, 0,                     //
    0, 0, 1300, -200, 0,                     //
    0, 0, 1300, -200, 0,                     //
    0, 0, 1300, -200, 0,                     //
    0, 10, 0, 0,
};

}  // namespace

#define SIM_OK(line) QCOMPARE(m_sim->command(line), QStringLiteral("ok"))

class TestSim : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    modbus_t *m_ctx = nullptr;

    modbus_t *connectTo(const QString &device, int station)
    {
        modbus_t *ctx = modbus_new_rtu(device.toLocal8Bit().constData(), 9600, 'N', 8, 1);
        if (!ctx)
            return nullptr;
        modbus_set_slave(ctx, station);
        modbus_set_response_timeout(ctx, 0, kTimeoutUs);
        if (modbus_connect(ctx) != 0) {
            modbus_free(ctx);
            return nullptr;
        }
        return ctx;
    }

    static void release(modbus_t *&ctx)
    {
        if (ctx) {
            modbus_close(ctx);
            modbus_free(ctx);
            ctx = nullptr;
        }
    }

    // Discrete inputs 1..16 as one word, input 1 at bit 0; -1 on failure.
    int readStatusWord(modbus_t *ctx)
    {
        std::array<std::uint8_t, 16> bits{};
        if (modbus_read_input_bits(ctx, 0, 16, bits.data()) != 16)
            return -1;
        int word = 0;
        for (int k = 0; k < 16; ++k)
            word |= bits[k] ? 1 << k : 0;
        return word;
    }

    // Whatever arrives on the master's descriptor until `want` bytes are in
    // or timeoutMs have passed without them.
    static QByteArray readRaw(modbus_t *ctx, int want, int timeoutMs)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (got.size() < want && timer.elapsed() < timeoutMs) {
            pollfd p{modbus_get_socket(ctx), POLLIN, 0};
            if (poll(&p, 1, int(timeoutMs - timer.elapsed())) <= 0)
                break;
            char buf[64];
            const ssize_t n = read(p.fd, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

    // Input register n (one-based) as a signed value; INT_MIN on failure.
    int readInput(int n)
    {
        std::uint16_t v = 0;
        if (modbus_read_input_registers(m_ctx, n - 1, 1, &v) != 1)
            return INT_MIN;
        return std::int16_t(v);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_sim = std::make_unique<SimProcess>(m_dir.path());
        QVERIFY(m_sim->isReady());
        m_ctx = connectTo(m_sim->devicePath(), 1);
        QVERIFY(m_ctx);
    }

    void cleanup()
    {
        release(m_ctx);
        if (m_sim) {
            // A clean exit also means no sanitizer report.
            QCOMPARE(m_sim->stop(), 0);
            QVERIFY(!QFileInfo(m_dir.filePath(QStringLiteral("COM1"))).isSymLink());
            m_sim.reset();
        }
    }

    void linkPointsAtPty()
    {
        const QFileInfo link(m_sim->devicePath());
        QCOMPARE(m_sim->devicePath(), m_dir.filePath(QStringLiteral("COM1")));
        QVERIFY(link.isSymLink());
        QVERIFY(link.symLinkTarget().startsWith(QLatin1String("/dev/pts/")));
    }

    void factoryState()
    {
        // Values near their resting points, no alarm or sensor flag.
        const std::array<int, 4> centre{250, 300, 180, 420};
        std::array<std::uint16_t, 16> regs{};
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 16, regs.data()), 16);
        for (int c = 0; c < 4; ++c)
            QVERIFY2(qAbs(std::int16_t(regs[c]) - centre[c]) <= 10, qPrintable(QString::number(regs[c])));
        QCOMPARE(regs[4], regs[0]);  // retransmission follows channel 1
        for (int i = 5; i < 16; ++i)
            QCOMPARE(regs[i], 0);
        QCOMPARE(readStatusWord(m_ctx), 0);
    }

    void readInputRegisters()
    {
        SIM_OK("set ir 1 251");
        SIM_OK("set ir 2 -12");
        SIM_OK("set ir 3 180");
        SIM_OK("set ir 4 420");
        SIM_OK("set ir 16 7");
        std::array<std::uint16_t, 16> regs{};
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 16, regs.data()), 16);
        QCOMPARE(std::int16_t(regs[0]), 251);
        QCOMPARE(std::int16_t(regs[1]), -12);
        QCOMPARE(std::int16_t(regs[2]), 180);
        QCOMPARE(std::int16_t(regs[3]), 420);
        QCOMPARE(std::int16_t(regs[4]), 251);
        QCOMPARE(std::int16_t(regs[15]), 7);

        // Register n is protocol address n - 1.
        QCOMPARE(readInput(2), -12);
        QCOMPARE(readInput(16), 7);
        QCOMPARE(m_sim->command("get ir 2"), QStringLiteral("ok -12"));

        // Register 5 is the channel that holding register 21 selects.
        SIM_OK("set hr 21 3");
        QCOMPARE(readInput(5), 180);
        SIM_OK("set hr 21 4");
        QCOMPARE(readInput(5), 420);

        std::uint16_t v = 0;
        QCOMPARE(modbus_read_input_registers(m_ctx, 16, 1, &v), -1);
        QCOMPARE(errno, EMBXILADD);
        QCOMPARE(modbus_read_input_registers(m_ctx, 1, 16, regs.data()), -1);
        QCOMPARE(errno, EMBXILADD);
    }

    void readDiscreteInputs()
    {
        SIM_OK("status 0xA5C3");
        QCOMPARE(readStatusWord(m_ctx), 0xA5C3);
        std::array<std::uint8_t, 3> bits{};
        QCOMPARE(modbus_read_input_bits(m_ctx, 4, 3, bits.data()), 3);  // inputs 5..7
        QCOMPARE(bits[0], 0);
        QCOMPARE(bits[1], 0);
        QCOMPARE(bits[2], 1);
        QCOMPARE(m_sim->command("get di 16"), QStringLiteral("ok 1"));
        QCOMPARE(modbus_read_input_bits(m_ctx, 15, 2, bits.data()), -1);
        QCOMPARE(errno, EMBXILADD);
    }

    void readHoldingRegisters()
    {
        std::array<std::uint16_t, 48> regs{};
        QCOMPARE(modbus_read_registers(m_ctx, 0, 48, regs.data()), 48);
        for (int i = 0; i < 48; ++i)
            QVERIFY2(std::int16_t(regs[i]) == kFactory[i], qPrintable(QStringLiteral("register %1").arg(i + 1)));

        SIM_OK("set hr 5 -123");
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_registers(m_ctx, 4, 1, &v), 1);
        QCOMPARE(std::int16_t(v), -123);
        QCOMPARE(modbus_read_registers(m_ctx, 48, 1, &v), -1);
        QCOMPARE(errno, EMBXILADD);
    }

    void writeSingle_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("SV lowest") << 1 << -10000 << true;
        QTest::newRow("SV highest") << 1 << 30000 << true;
        QTest::newRow("SV below") << 1 << -10001 << false;
        QTest::newRow("alarm value above") << 8 << 30001 << false;
        QTest::newRow("alarm mode 5") << 9 << 5 << true;
        QTest::newRow("alarm mode 6") << 15 << 6 << false;
        QTest::newRow("alarm delay 60") << 10 << 60 << true;
        QTest::newRow("alarm delay -1") << 16 << -1 << false;
        QTest::newRow("address 0") << 17 << 0 << false;
        QTest::newRow("address 247") << 17 << 247 << true;
        QTest::newRow("baud 3") << 18 << 3 << false;
        QTest::newRow("retransmission channel 0") << 21 << 0 << false;
        QTest::newRow("retransmission channel 4") << 21 << 4 << true;
        QTest::newRow("input type 31") << 30 << 31 << false;
        QTest::newRow("decimals 4") << 41 << 4 << true;
        QTest::newRow("correction -500") << 29 << -500 << true;
        QTest::newRow("correction 501") << 44 << 501 << false;
        QTest::newRow("filter 100") << 46 << 100 << true;
        QTest::newRow("filter 101") << 46 << 101 << false;
        QTest::newRow("relay 2") << 48 << 2 << false;
    }

    void writeSingle()
    {
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(bool, accepted);
        const int before = kFactory[reg - 1];
        const int rc = modbus_write_register(m_ctx, reg - 1, std::uint16_t(value));
        if (accepted) {
            QCOMPARE(rc, 1);
            QCOMPARE(m_sim->command(QStringLiteral("get hr %1").arg(reg)), QStringLiteral("ok %1").arg(value));
            QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok %1 %2").arg(reg).arg(value));
        } else {
            QCOMPARE(rc, -1);
            QCOMPARE(errno, EMBXILVAL);
            QCOMPARE(m_sim->command(QStringLiteral("get hr %1").arg(reg)), QStringLiteral("ok %1").arg(before));
            QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok none"));
        }
        QCOMPARE(simStat(*m_sim, "writes"), 1);
    }

    void writeOutsideMap()
    {
        QCOMPARE(modbus_write_register(m_ctx, 48, 1), -1);
        QCOMPARE(errno, EMBXILADD);
    }

    void writeMultiple()
    {
        const std::array<std::uint16_t, 4> values{100, 200, std::uint16_t(-300), 400};
        QCOMPARE(modbus_write_registers(m_ctx, 0, 4, values.data()), 4);
        QCOMPARE(m_sim->command("get hr 3"), QStringLiteral("ok -300"));
        QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok 4 400"));

        // One bad value refuses the whole block.
        const std::array<std::uint16_t, 2> bad{10, 6};  // reg 14 fine, reg 15 = mode 6
        QCOMPARE(modbus_write_registers(m_ctx, 13, 2, bad.data()), -1);
        QCOMPARE(errno, EMBXILVAL);
        QCOMPARE(m_sim->command("get hr 14"), QStringLiteral("ok 3"));
        QCOMPARE(m_sim->command("get hr 15"), QStringLiteral("ok 1"));

        QCOMPARE(modbus_write_registers(m_ctx, 47, 2, bad.data()), -1);
        QCOMPARE(errno, EMBXILADD);
        QCOMPARE(simStat(*m_sim, "writes"), 3);
    }

    void stationFilter()
    {
        std::uint16_t v = 0;
        modbus_set_slave(m_ctx, 2);
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), -1);
        QCOMPARE(errno, ETIMEDOUT);
        // The very next request to our station is answered.
        modbus_set_slave(m_ctx, 1);
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 1 writes 0"));

        // Another station number given on the command line.
        SimProcess other(m_dir.path(), 2, {QStringLiteral("--station"), QStringLiteral("5")});
        QVERIFY(other.isReady());
        modbus_t *ctx = connectTo(other.devicePath(), 1);
        QVERIFY(ctx);
        const int foreign = modbus_read_input_registers(ctx, 0, 1, &v);
        modbus_set_slave(ctx, 5);
        const int own = modbus_read_input_registers(ctx, 0, 1, &v);
        release(ctx);
        QCOMPARE(foreign, -1);
        QCOMPARE(own, 1);
        QCOMPARE(other.command("get hr 17"), QStringLiteral("ok 5"));
    }

    void alarmModes_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("sv");
        QTest::addColumn<int>("al");
        QTest::addColumn<int>("pv");
        QTest::addColumn<bool>("alarm");
        QTest::newRow("none") << 1 << 0 << 0 << 0 << 1000 << false;
        QTest::newRow("high above") << 1 << 1 << 0 << 300 << 301 << true;
        QTest::newRow("high at") << 2 << 1 << 0 << 300 << 300 << false;
        QTest::newRow("low below") << 2 << 2 << 0 << 300 << 299 << true;
        QTest::newRow("low at") << 3 << 2 << 0 << 300 << 300 << false;
        QTest::newRow("deviation high above") << 3 << 3 << 300 << 10 << 311 << true;
        QTest::newRow("deviation high at") << 4 << 3 << 300 << 10 << 310 << false;
        QTest::newRow("deviation low below") << 4 << 4 << 300 << 10 << 289 << true;
        QTest::newRow("deviation low at") << 1 << 4 << 300 << 10 << 290 << false;
        QTest::newRow("band above") << 2 << 5 << 300 << 10 << 311 << true;
        QTest::newRow("band below") << 3 << 5 << 300 << 10 << 289 << true;
        QTest::newRow("band upper edge") << 4 << 5 << 300 << 10 << 310 << false;
        QTest::newRow("band lower edge") << 1 << 5 << -20 << 10 << -30 << false;
    }

    void alarmModes()
    {
        QFETCH(int, channel);
        QFETCH(int, mode);
        QFETCH(int, sv);
        QFETCH(int, al);
        QFETCH(int, pv);
        QFETCH(bool, alarm);
        SIM_OK(QStringLiteral("set hr %1 %2").arg(9 + 2 * (channel - 1)).arg(mode));
        SIM_OK(QStringLiteral("set hr %1 %2").arg(1 + 2 * (channel - 1)).arg(sv));
        SIM_OK(QStringLiteral("set hr %1 %2").arg(2 + 2 * (channel - 1)).arg(al));
        SIM_OK(QStringLiteral("set ir %1 %2").arg(channel).arg(pv));
        const int bit = 3 * (channel - 1);
        QCOMPARE(readStatusWord(m_ctx), alarm ? 1 << bit : 0);
        QCOMPARE(m_sim->command(QStringLiteral("get di %1").arg(bit + 1)), alarm ? QStringLiteral("ok 1") : QStringLiteral("ok 0"));
    }

    void openAndShort()
    {
        for (int reg : {9, 11, 13, 15})
            SIM_OK(QStringLiteral("set hr %1 0").arg(reg));  // no alarms in the way
        for (int c = 1; c <= 4; ++c) {
            SIM_OK(QStringLiteral("open %1 on").arg(c));
            QCOMPARE(readStatusWord(m_ctx), 1 << (3 * (c - 1) + 1));
            QCOMPARE(readInput(c), 32767);
            SIM_OK(QStringLiteral("open %1 off").arg(c));
            SIM_OK(QStringLiteral("short %1 on").arg(c));
            QCOMPARE(readStatusWord(m_ctx), 1 << (3 * (c - 1) + 2));
            QCOMPARE(readInput(c), -32768);
            SIM_OK(QStringLiteral("short %1 off").arg(c));
            QCOMPARE(readStatusWord(m_ctx), 0);
            QVERIFY(qAbs(readInput(c)) < 1000);
        }
        // The retransmission register shows the selected channel's fault value.
        SIM_OK("open 1 on");
        QCOMPARE(readInput(5), 32767);
    }

    void statusOverride()
    {
        SIM_OK("status 4095");
        QCOMPARE(readStatusWord(m_ctx), 0x0FFF);
        SIM_OK("set di 1 0");
        QCOMPARE(readStatusWord(m_ctx), 0x0FFE);
        SIM_OK("auto");
        QCOMPARE(readStatusWord(m_ctx), 0);
        SIM_OK("set di 12 1");
        QCOMPARE(readStatusWord(m_ctx), 0x0800);
    }

    void faultSilent()
    {
        SIM_OK("fault silent");
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), -1);
        QCOMPARE(errno, ETIMEDOUT);
        SIM_OK("fault none");
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
        QCOMPARE(simStat(*m_sim, "reads"), 2);
    }

    void faultCrc()
    {
        SIM_OK("fault crc");
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_registers(m_ctx, 0, 1, &v), -1);
        QCOMPARE(errno, EMBBADCRC);
        SIM_OK("fault none");
        QCOMPARE(modbus_read_registers(m_ctx, 0, 1, &v), 1);
        QCOMPARE(v, 250);
    }

    void faultLate()
    {
        SIM_OK("fault late 150");
        std::uint16_t v = 0;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
        QVERIFY2(timer.elapsed() >= 140, qPrintable(QString::number(timer.elapsed())));
    }

    void lateReplyStaysOnTheLine()
    {
        // The master gives up after 300 ms; the reply still comes at 400 ms
        // and lies unread on the line while the next request is answered.
        SIM_OK("set ir 1 111");
        SIM_OK("fault late 400");
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), -1);
        QCOMPARE(errno, ETIMEDOUT);
        pollfd p{modbus_get_socket(m_ctx), POLLIN, 0};
        QCOMPARE(poll(&p, 1, 2000), 1);
        SIM_OK("fault none");
        SIM_OK("set ir 1 222");
        const std::uint8_t req[] = {1, 0x04, 0x00, 0x00, 0x00, 0x01};
        QVERIFY(modbus_send_raw_request(m_ctx, req, sizeof req) > 0);
        // Commands and requests share one loop: once a command has been
        // answered after the request was counted, its reply is out too.
        QTRY_COMPARE(simStat(*m_sim, "reads"), 2);
        QCOMPARE(simStat(*m_sim, "reads"), 2);
        // 01 04 02 hi lo crc crc, twice: the late reply first.
        const QByteArray got = readRaw(m_ctx, 14, 2000);
        QCOMPARE(got.size(), 14);
        QCOMPARE(int(std::uint8_t(got[4])), 111);
        QCOMPARE(int(std::uint8_t(got[11])), 222);
    }

    void faultDribble()
    {
        // 16 registers are a 37-byte reply: one byte every 10 ms.
        SIM_OK("set ir 16 7");
        SIM_OK("fault dribble 10");
        const std::uint8_t req[] = {1, 0x04, 0x00, 0x00, 0x00, 0x10};
        QVERIFY(modbus_send_raw_request(m_ctx, req, sizeof req) > 0);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(readRaw(m_ctx, 1, 1000).size(), 1);
        const QByteArray rest = readRaw(m_ctx, 36, 2000);
        QCOMPARE(rest.size(), 36);
        QVERIFY2(timer.elapsed() >= 340, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(int(rest[33]), 7);
        // A master with a byte time-out above the gap takes it whole.
        std::array<std::uint16_t, 16> regs{};
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 16, regs.data()), 16);
        QCOMPARE(regs[15], 7);
    }

    void faultWrongEcho_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("echoAddress");
        QTest::addColumn<int>("echoValue");
        QTest::newRow("another value") << QStringLiteral("fault wecho value") << 9 << 4;
        QTest::newRow("another register") << QStringLiteral("fault wecho reg") << 8 << 5;
    }

    void faultWrongEcho()
    {
        QFETCH(QString, fault);
        QFETCH(int, echoAddress);
        QFETCH(int, echoValue);
        SIM_OK(fault);
        const std::uint8_t req[] = {1, 0x06, 0x00, 0x09, 0x00, 0x05};  // register 10 = 5
        QVERIFY(modbus_send_raw_request(m_ctx, req, sizeof req) > 0);
        std::uint8_t rsp[MODBUS_RTU_MAX_ADU_LENGTH] = {};
        QCOMPARE(modbus_receive_confirmation(m_ctx, rsp), 8);
        QCOMPARE(int(rsp[1]), 0x06);
        QCOMPARE((rsp[2] << 8) | rsp[3], echoAddress);
        QCOMPARE((rsp[4] << 8) | rsp[5], echoValue);
        QCOMPARE(m_sim->command("get hr 10"), QStringLiteral("ok 5"));  // stored all the same
    }

    void faultWriteException_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("error");
        QTest::newRow("illegal data value") << 3 << int(EMBXILVAL);
        QTest::newRow("slave device failure") << 4 << int(EMBXSFAIL);
    }

    void faultWriteException()
    {
        QFETCH(int, code);
        QFETCH(int, error);
        SIM_OK(QStringLiteral("fault wexc %1").arg(code));
        QCOMPARE(modbus_write_register(m_ctx, 9, 5), -1);
        QCOMPARE(errno, error);
        const std::array<std::uint16_t, 2> values{5, 1};
        QCOMPARE(modbus_write_registers(m_ctx, 9, 2, values.data()), -1);
        QCOMPARE(errno, error);
        QCOMPARE(m_sim->command("get hr 10"), QStringLiteral("ok 0"));
        QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok none"));
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_registers(m_ctx, 9, 1, &v), 1);  // reads still answered
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 1 writes 2"));
    }

    void statsAndReset()
    {
        std::uint16_t v = 0;
        std::uint8_t b = 0;
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
        QCOMPARE(modbus_read_input_bits(m_ctx, 0, 1, &b), 1);
        QCOMPARE(modbus_read_registers(m_ctx, 0, 1, &v), 1);
        QCOMPARE(modbus_write_register(m_ctx, 9, 5), 1);
        QCOMPARE(modbus_write_register(m_ctx, 9, 61), -1);
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 3 writes 2"));
        QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok 10 5"));
        SIM_OK("reset");
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 0 writes 0"));
        QCOMPARE(m_sim->command("lastwrite"), QStringLiteral("ok none"));
    }

    void commandErrors_data()
    {
        QTest::addColumn<QString>("line");
        for (const char *line : {"bogus", "get hr 49", "get ir 0", "set di 1 2", "set hr 1 70000", "open 5 on",
                                 "short 1 maybe", "fault bogus", "fault late", "fault dribble 0", "fault wecho",
                                 "status 0x10000", "stats now"})
            QTest::newRow(line) << QString::fromLatin1(line);
        QTest::newRow("empty line") << QString();
    }

    void commandErrors()
    {
        QFETCH(QString, line);
        QVERIFY(m_sim->command(line).startsWith(QLatin1String("err")));
        SIM_OK("auto");  // still in step
    }

    void paceAtWireSpeed()
    {
        // 4800 baud, even parity: 11 bits a character. Reading 16 input
        // registers is 8 request and 37 reply bytes: about 103 ms.
        SimProcess paced(m_dir.path(), 2, {QStringLiteral("--pace"), QStringLiteral("--baud"), QStringLiteral("4800"),
                                           QStringLiteral("--parity"), QStringLiteral("E")});
        QVERIFY(paced.isReady());
        modbus_t *ctx = connectTo(paced.devicePath(), 1);
        QVERIFY(ctx);
        std::array<std::uint16_t, 16> regs{};
        QElapsedTimer timer;
        timer.start();
        const int rc = modbus_read_input_registers(ctx, 0, 16, regs.data());
        const qint64 elapsed = timer.elapsed();
        release(ctx);
        QCOMPARE(rc, 16);
        QVERIFY2(elapsed >= 95, qPrintable(QString::number(elapsed)));
        QCOMPARE(paced.stop(), 0);
    }

    void endOfInputKeepsRunning()
    {
        m_sim->closeInput();
        QTest::qWait(100);
        std::uint16_t v = 0;
        QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
    }

    void quitCommand()
    {
        release(m_ctx);
        QCOMPARE(m_sim->command("quit"), QStringLiteral("ok"));
        // cleanup() checks the exit code and that the link is gone.
    }

    void staleLinkReplaced()
    {
        const QString link = m_dir.filePath(QStringLiteral("COM3"));
        QVERIFY(QFile::link(QStringLiteral("/nonexistent/pts"), link));
        {
            SimProcess sim(m_dir.path(), 3);
            QVERIFY(sim.isReady());
            QVERIFY(QFileInfo(link).symLinkTarget().startsWith(QLatin1String("/dev/pts/")));
            QCOMPARE(sim.stop(), 0);
        }
        QVERIFY(!QFileInfo(link).isSymLink());
    }

    void mbpollReadsAndWrites()
    {
        const QString mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (mbpoll.isEmpty())
            QSKIP("mbpoll is not installed");
        release(m_ctx);  // mbpoll is the only master on the line
        SIM_OK("set ir 1 251");
        SIM_OK("set ir 3 -40");
        SIM_OK("status 5");
        const QStringList common{QStringLiteral("-m"), QStringLiteral("rtu"), QStringLiteral("-a"), QStringLiteral("1"),
                                 QStringLiteral("-b"), QStringLiteral("9600"), QStringLiteral("-P"), QStringLiteral("none"),
                                 QStringLiteral("-o"), QStringLiteral("1")};
        auto run = [&](const QStringList &args) {
            QProcess p;
            p.start(mbpoll, common + args);
            if (!p.waitForFinished(5000) || p.exitCode() != 0)
                return QString();
            return QString::fromLocal8Bit(p.readAllStandardOutput());
        };
        const QString dev = m_sim->devicePath();

        const QString ir = run({QStringLiteral("-t"), QStringLiteral("3"), QStringLiteral("-r"), QStringLiteral("1"),
                                QStringLiteral("-c"), QStringLiteral("16"), QStringLiteral("-1"), dev});
        QVERIFY2(ir.contains(QLatin1String("[1]: \t251")), qPrintable(ir));
        QVERIFY2(ir.contains(QLatin1String("[3]: \t65496 (-40)")), qPrintable(ir));
        QVERIFY2(ir.contains(QLatin1String("[16]: \t0")), qPrintable(ir));

        const QString di = run({QStringLiteral("-t"), QStringLiteral("1"), QStringLiteral("-r"), QStringLiteral("1"),
                                QStringLiteral("-c"), QStringLiteral("16"), QStringLiteral("-1"), dev});
        QVERIFY2(di.contains(QLatin1String("[1]: \t1")), qPrintable(di));
        QVERIFY2(di.contains(QLatin1String("[2]: \t0")), qPrintable(di));
        QVERIFY2(di.contains(QLatin1String("[3]: \t1")), qPrintable(di));

        const QString hr = run({QStringLiteral("-t"), QStringLiteral("4"), QStringLiteral("-r"), QStringLiteral("1"),
                                QStringLiteral("-c"), QStringLiteral("48"), QStringLiteral("-1"), dev});
        QVERIFY2(hr.contains(QLatin1String("[23]: \t1300")), qPrintable(hr));
        QVERIFY2(hr.contains(QLatin1String("[46]: \t10")), qPrintable(hr));

        QVERIFY(!run({QStringLiteral("-t"), QStringLiteral("4"), QStringLiteral("-r"), QStringLiteral("10"), dev,
                      QStringLiteral("5")})
                     .isNull());
        QCOMPARE(m_sim->command("get hr 10"), QStringLiteral("ok 5"));
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 3 writes 1"));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
