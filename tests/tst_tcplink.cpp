// Lines over Ethernet: the address forms, and the link against a real peer on
// 127.0.0.1 (Modbus TCP and RTU over TCP, served by libmodbus on a thread of
// its own), stopped and started again.

#include "core/line_address.h"
#include "link/link_diagnostics.h"
#include "link/modbusrtu.h"

#include <QtTest>
#include <arpa/inet.h>
#include <atomic>
#include <memory>
#include <modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

Q_DECLARE_METATYPE(LineTransport)
Q_DECLARE_METATYPE(LineAddressFault)
Q_DECLARE_METATYPE(LinkFault)

namespace {

// A listening socket on 127.0.0.1:port (0: any free one), -1 on failure.
int listenOn(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

uint16_t portOf(int fd)
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    return ntohs(a.sin_port);
}

// One instrument, station 1, answering one client at a time: input registers
// 1..16 hold first, first+1 ...
class Peer {
public:
    Peer(LineTransport transport, uint16_t port, int first) : m_transport(transport)
    {
        m_map = modbus_mapping_new(16, 16, 16, 16);
        for (int i = 0; i < 16; ++i)
            m_map->tab_input_registers[i] = uint16_t(first + i);
        m_listen = listenOn(port);
        m_port = m_listen >= 0 ? portOf(m_listen) : 0;
        m_thread = std::thread([this] { serve(); });
    }
    ~Peer()
    {
        m_stop = true;
        m_thread.join();
        if (m_listen >= 0)
            ::close(m_listen);
        modbus_mapping_free(m_map);
    }
    uint16_t port() const { return m_port; }

private:
    bool readable(int fd)
    {
        pollfd p{fd, POLLIN, 0};
        while (!m_stop)
            if (poll(&p, 1, 20) > 0)
                return true;
        return false;
    }
    void serve()
    {
        while (m_listen >= 0 && readable(m_listen)) {
            const int client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0)
                continue;
            modbus_t *ctx = m_transport == LineTransport::ModbusTcp ? modbus_new_tcp("127.0.0.1", m_port)
                                                                   : modbus_new_rtu("peer", 9600, 'N', 8, 1);
            modbus_set_slave(ctx, 1);
            modbus_set_socket(ctx, client);
            uint8_t query[MODBUS_MAX_ADU_LENGTH];
            int n = 0;
            while (readable(client) && (n = modbus_receive(ctx, query)) >= 0)
                if (n > 0)
                    modbus_reply(ctx, query, n, m_map);
            ::close(client);
            modbus_free(ctx);
        }
    }

    LineTransport m_transport;
    modbus_mapping_t *m_map = nullptr;
    int m_listen = -1;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

QString addressOf(LineTransport transport, uint16_t port)
{
    const char *scheme = transport == LineTransport::ModbusTcp ? "tcp" : "rtu+tcp";
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(port);
}

// The first of four input registers read, or -1 with the failure in *kind.
int readFirst(ModbusRTU &m, LinkFault *kind)
{
    int32_t buf[4] = {};
    const int32_t r = m.Get_3X_DX(1, 1, 1, 4, buf);
    *kind = m.lastError().kind;
    return r == kModbusOk && buf[3] == buf[0] + 3 ? buf[0] : -1;
}

} // namespace

class TestTcpLink : public QObject {
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void openFailures_data();
    void openFailures();
    void reconnects_data();
    void reconnects();
};

void TestTcpLink::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LineAddressFault>("fault");
    QTest::addColumn<LineTransport>("transport");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    using F = LineAddressFault;
    using T = LineTransport;
    QTest::newRow("tcp, usual port") << "tcp://192.168.1.20" << F::None << T::ModbusTcp << "192.168.1.20" << 502;
    QTest::newRow("tcp, own port") << " TCP://plc-3.local:1502/" << F::None << T::ModbusTcp << "plc-3.local" << 1502;
    QTest::newRow("tcp, IPv6") << "tcp://[::1]:1502" << F::None << T::ModbusTcp << "::1" << 1502;
    QTest::newRow("rtu over tcp") << "rtu+tcp://10.0.0.5:4001" << F::None << T::RtuOverTcp << "10.0.0.5" << 4001;
    QTest::newRow("serial path") << "/dev/ttyUSB0" << F::None << T::Serial << "" << 0;
    QTest::newRow("empty") << "  " << F::Empty << T::Serial << "" << 0;
    QTest::newRow("other scheme") << "udp://h:502" << F::BadScheme << T::Serial << "" << 0;
    QTest::newRow("no host") << "tcp://:502" << F::NoHost << T::Serial << "" << 0;
    QTest::newRow("space in host") << "tcp://a b:502" << F::NoHost << T::Serial << "" << 0;
    QTest::newRow("port 0") << "tcp://h:0" << F::BadPort << T::Serial << "" << 0;
    QTest::newRow("port too big") << "tcp://h:65536" << F::BadPort << T::Serial << "" << 0;
    QTest::newRow("port not a number") << "tcp://h:+5" << F::BadPort << T::Serial << "" << 0;
    QTest::newRow("empty port") << "tcp://h:" << F::BadPort << T::Serial << "" << 0;
    QTest::newRow("rtu over tcp needs a port") << "rtu+tcp://h" << F::PortRequired << T::Serial << "" << 0;
}

void TestTcpLink::parse()
{
    QFETCH(QString, text);
    QFETCH(LineAddressFault, fault);
    QFETCH(LineTransport, transport);
    QFETCH(QString, host);
    QFETCH(int, port);
    const LineAddressParse p = parseLineAddress(text);
    QCOMPARE(p.fault, fault);
    QCOMPARE(p.address.transport, transport);
    QCOMPARE(p.address.host, host);
    QCOMPARE(int(p.address.tcpPort), port);
    if (transport == LineTransport::Serial && p.ok())
        QCOMPARE(p.address.device, text);
}

void TestTcpLink::openFailures_data()
{
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("host");
    QTest::addColumn<LinkFault>("fault");
    QTest::newRow("tcp, nothing listening") << "tcp" << "127.0.0.1" << LinkFault::Refused;
    QTest::newRow("rtu over tcp, nothing listening") << "rtu+tcp" << "127.0.0.1" << LinkFault::Refused;
    QTest::newRow("bad address") << "tcp" << "a b" << LinkFault::BadAddress;
}

void TestTcpLink::openFailures()
{
    QFETCH(QString, scheme);
    QFETCH(QString, host);
    QFETCH(LinkFault, fault);
    const int fd = listenOn(0);
    QVERIFY(fd >= 0);
    const uint16_t port = portOf(fd);
    ::close(fd); // free again: nobody listens there
    ModbusRTU m;
    QVERIFY(m.OpenPort_Modbus(1, 1, 0, QStringLiteral("%1://%2:%3").arg(scheme, host).arg(port)) != kModbusOk);
    QCOMPARE(m.lastError().kind, fault);
    QVERIFY(!m.isOpen(1));
}

void TestTcpLink::reconnects_data()
{
    QTest::addColumn<LineTransport>("transport");
    QTest::newRow("modbus tcp") << LineTransport::ModbusTcp;
    QTest::newRow("rtu over tcp") << LineTransport::RtuOverTcp;
}

// The line reads, loses its peer, says why while the peer is away, and reads
// from it again by itself once it is back.
void TestTcpLink::reconnects()
{
    QFETCH(LineTransport, transport);
    auto peer = std::make_unique<Peer>(transport, 0, 100);
    const uint16_t port = peer->port();
    QVERIFY(port != 0);
    ModbusRTU m;
    QCOMPARE(m.OpenPort_Modbus(1, 1, 0, addressOf(transport, port)), kModbusOk);
    LinkFault kind = LinkFault::None;
    QCOMPARE(readFirst(m, &kind), 100);
    QCOMPARE(kind, LinkFault::None);
    // The request is traced unit identifier first, so that the diagnostics
    // find the station in it.
    const std::optional<ExchangeTrace> trace = m.takeTrace();
    QVERIFY(trace);
    QCOMPARE(requestStation(trace->request), 1);
    int32_t status[1] = {-1};
    QCOMPARE(m.Get_1X_B16(1, 1, 1, status), kModbusOk);
    QCOMPARE(status[0], 0);

    peer.reset();
    QCOMPARE(readFirst(m, &kind), -1);
    QCOMPARE(kind, LinkFault::PeerClosed);
    QVERIFY(m.isWaiting());
    // Attempts to connect again meet nobody.
    QTRY_COMPARE_WITH_TIMEOUT((readFirst(m, &kind), kind), LinkFault::Refused, 3000);

    peer = std::make_unique<Peer>(transport, port, 200);
    QCOMPARE(peer->port(), port);
    QTRY_COMPARE_WITH_TIMEOUT(readFirst(m, &kind), 200, 6000);
    QVERIFY(!m.isWaiting());
    QCOMPARE(m.ClosePort_Modbus(1), kModbusOk);
}

QTEST_GUILESS_MAIN(TestTcpLink)
#include "tst_tcplink.moc"
