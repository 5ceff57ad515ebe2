// The instrument simulator as a foreign Modbus master sees it: a real
// qr5300m-sim process on a pseudo-terminal, driven by a plain libmodbus
// master and by the simulator's command language. Here is what needs the
// process: the published link, the station filter, timing on the line,
// standard input and exit. The model, the frames and the commands
// themselves are tested without a process in tst_simmodel.

#include "testsupport.h"

#include <QtTest>

#include <modbus.h>

#include <array>
#include <cerrno>
#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutUs = 300000;

}  // namespace

Q_DECLARE_METATYPE(SimProcess::Tcp)

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

    // A master on the simulator's TCP port: libmodbus's TCP client, or its
    // RTU framing on a socket of our own.
    static modbus_t *connectTcp(SimProcess::Tcp mode, int port, int station)
    {
        modbus_t *ctx = nullptr;
        if (mode == SimProcess::Tcp::Modbus) {
            ctx = modbus_new_tcp("127.0.0.1", port);
            if (ctx && modbus_connect(ctx) != 0) {
                modbus_free(ctx);
                return nullptr;
            }
        } else {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(std::uint16_t(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
                if (fd >= 0)
                    close(fd);
                return nullptr;
            }
            ctx = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
            modbus_set_socket(ctx, fd);
        }
        modbus_set_slave(ctx, station);
        modbus_set_response_timeout(ctx, 0, kTimeoutUs);
        return ctx;
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

    void paceAtWireSpeed()
    {
        // 4800 baud, even parity: 11 bits a character. Reading 16 input
        // registers is 8 request and 37 reply bytes: about 103 ms.
        SimProcess paced(m_dir.path(), 2, QStringLiteral("--pace --baud 4800 --parity E").split(u' '));
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
        // The input is hung up before the first request goes out, so the
        // simulator's wake-up that brings that request brings the end of
        // input too: every answer comes after it has seen the end.
        m_sim->closeInput();
        for (int i = 0; i < 3; ++i) {
            std::uint16_t v = 0;
            QCOMPARE(modbus_read_input_registers(m_ctx, 0, 1, &v), 1);
        }
        QVERIFY(m_sim->isRunning());
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
        const QString dev = m_sim->devicePath();
        auto run = [&](const char *args) {
            QProcess p;
            p.start(mbpoll, QStringLiteral("-m rtu -a 1 -b 9600 -P none -o 1 %1").arg(QLatin1String(args)).split(u' ')
                                .replaceInStrings(QStringLiteral("DEV"), dev));
            if (!p.waitForFinished(5000) || p.exitCode() != 0)
                return QString();
            return QString::fromLocal8Bit(p.readAllStandardOutput());
        };

        const QString ir = run("-t 3 -r 1 -c 16 -1 DEV");
        QVERIFY2(ir.contains(QLatin1String("[1]: \t251")), qPrintable(ir));
        QVERIFY2(ir.contains(QLatin1String("[3]: \t65496 (-40)")), qPrintable(ir));
        QVERIFY2(ir.contains(QLatin1String("[16]: \t0")), qPrintable(ir));

        const QString di = run("-t 1 -r 1 -c 16 -1 DEV");
        QVERIFY2(di.contains(QLatin1String("[1]: \t1")), qPrintable(di));
        QVERIFY2(di.contains(QLatin1String("[2]: \t0")), qPrintable(di));
        QVERIFY2(di.contains(QLatin1String("[3]: \t1")), qPrintable(di));

        const QString hr = run("-t 4 -r 1 -c 48 -1 DEV");
        QVERIFY2(hr.contains(QLatin1String("[23]: \t1300")), qPrintable(hr));
        QVERIFY2(hr.contains(QLatin1String("[46]: \t10")), qPrintable(hr));

        QVERIFY(!run("-t 4 -r 10 DEV 5").isNull());
        QCOMPARE(m_sim->command("get hr 10"), QStringLiteral("ok 5"));
        QCOMPARE(m_sim->command("stats"), QStringLiteral("ok reads 3 writes 1"));
    }
    // Stations 1, 2 and 5 on one pty, input register 1 at 100 + station.
    void stationsOnOneLine_data()
    {
        QTest::addColumn<int>("station");
        QTest::addColumn<int>("value");  // -1: no answer
        QTest::newRow("station 1") << 1 << 101;
        QTest::newRow("station 2") << 2 << 102;
        QTest::newRow("station 5") << 5 << 105;
        QTest::newRow("station 3, not on the line") << 3 << -1;
    }

    void stationsOnOneLine()
    {
        QFETCH(int, station);
        QFETCH(int, value);
        SimProcess line(m_dir.path(), 2, {QStringLiteral("--stations"), QStringLiteral("1,2,5")});
        QVERIFY(line.isReady());
        for (const char *command : {"set ir 1 101", "@2 set ir 1 102", "@5 set ir 1 105"})
            QCOMPARE(line.command(QLatin1String(command)), QStringLiteral("ok"));
        modbus_t *ctx = connectTo(line.devicePath(), station);
        QVERIFY(ctx);
        std::uint16_t v = 0;
        const int rc = modbus_read_input_registers(ctx, 0, 1, &v);
        const int timedOut = errno == ETIMEDOUT;
        // The next station on the line still answers at once.
        std::uint16_t other = 0;
        modbus_set_slave(ctx, station == 2 ? 5 : 2);
        const int next = modbus_read_input_registers(ctx, 0, 1, &other);
        release(ctx);
        QCOMPARE(rc, value < 0 ? -1 : 1);
        if (value < 0)
            QVERIFY(timedOut);
        else
            QCOMPARE(int(v), value);
        QCOMPARE(next, 1);
        QCOMPARE(int(other), station == 2 ? 105 : 102);
        for (const int s : {1, 2, 5}) {
            const QString stats = line.command(QStringLiteral("@%1 stats").arg(s));
            const bool asked = s == station || s == (station == 2 ? 5 : 2);
            QCOMPARE(stats, asked ? QStringLiteral("ok reads 1 writes 0") : QStringLiteral("ok reads 0 writes 0"));
        }
        QCOMPARE(line.stop(), 0);
    }

    // Stations 1 and 2 behind a TCP port; each client connection reads,
    // closes, and the next one is taken.
    void overTcp_data()
    {
        QTest::addColumn<SimProcess::Tcp>("mode");
        QTest::addColumn<int>("station");
        QTest::addColumn<int>("value");  // -1: no answer
        QTest::newRow("modbus tcp, unit 1") << SimProcess::Tcp::Modbus << 1 << 201;
        QTest::newRow("modbus tcp, unit 2") << SimProcess::Tcp::Modbus << 2 << 202;
        QTest::newRow("modbus tcp, unit 3") << SimProcess::Tcp::Modbus << 3 << -1;
        QTest::newRow("rtu over tcp, station 2") << SimProcess::Tcp::Rtu << 2 << 202;
        QTest::newRow("rtu over tcp, station 3") << SimProcess::Tcp::Rtu << 3 << -1;
    }

    void overTcp()
    {
        QFETCH(SimProcess::Tcp, mode);
        QFETCH(int, station);
        QFETCH(int, value);
        SimProcess sim(mode, {QStringLiteral("--stations"), QStringLiteral("1,2")});
        QVERIFY(sim.isReady());
        QCOMPARE(sim.command(QStringLiteral("@1 set ir 2 201")), QStringLiteral("ok"));
        QCOMPARE(sim.command(QStringLiteral("@2 set ir 2 202")), QStringLiteral("ok"));
        for (int connection = 0; connection < 2; ++connection) {
            modbus_t *ctx = connectTcp(mode, sim.tcpPort(), station);
            QVERIFY(ctx);
            std::array<std::uint16_t, 2> v{};
            const int rc = modbus_read_input_registers(ctx, 0, 2, v.data());
            const int timedOut = errno == ETIMEDOUT;
            release(ctx);
            QCOMPARE(rc, value < 0 ? -1 : 2);
            if (value < 0)
                QVERIFY(timedOut);
            else
                QCOMPARE(int(v[1]), value);
        }
        const int asked = value < 0 ? 0 : 2;
        QCOMPARE(sim.command(QStringLiteral("@%1 stats").arg(value < 0 ? 1 : station)),
                 QStringLiteral("ok reads %1 writes 0").arg(asked));
        QCOMPARE(sim.stop(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
