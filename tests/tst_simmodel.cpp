// The simulator's model, its slave's frame handling and its command
// language, without a process: requests go to sim::Slave as complete RTU
// frames and commands to sim::runCommand, as the simulator's main loop
// passes them on.

#include "sim/line.h"
#include "sim/script.h"
#include "sim/slave.h"

#include <QtTest>

#include <array>
#include <climits>
#include <memory>

namespace {

// Factory values of holding registers 1..16, 17..32, 33..48.
const QList<int> kFactory{
    250, 400, 300, 450, 180, 300, 420, 600, 1, 0, 1, 2, 1, 3, 1, 5,       //
    1, 1, 0, 0, 1, 0, 1300, -200, 0, 0, 1300, -200, 0, 0, 0, 1300,        //
    -200, 0, 0, 0, 1300, -200, 0, 0, 0, 1300, -200, 0, 0, 10, 0, 0,
};

// v as hex digits, 16-bit two's complement.
QByteArray hex(int v, int digits = 4)
{
    return QByteArray::number(v & 0xFFFF, 16).rightJustified(digits, '0');
}

// CRC of b as a frame carries it after b: low byte first.
QByteArray crcOf(const QByteArray &b)
{
    const std::uint16_t crc = sim::crc16(reinterpret_cast<const std::uint8_t *>(b.constData()), std::size_t(b.size()));
    return QByteArray(1, char(crc & 0xFF)) + char(crc >> 8);
}

// One RTU request frame: station, PDU in hex, CRC.
QByteArray rtuFrame(int station, const QByteArray &pdu)
{
    QByteArray request = char(station) + QByteArray::fromHex(pdu);
    return request + crcOf(request);
}

const std::uint8_t *bytes(const QByteArray &b)
{
    return reinterpret_cast<const std::uint8_t *>(b.constData());
}

QByteArray bytesOf(const std::optional<sim::Reply> &reply)
{
    if (!reply)
        return "no reply";
    return QByteArray(reinterpret_cast<const char *>(reply->frame.data()), qsizetype(reply->frame.size())).toHex();
}

// The simulator answering station 1.
struct Rig {
    sim::Model model;
    sim::Slave slave{model, 1};
    bool quit = false;

    QString cmd(const QString &line)
    {
        return QString::fromStdString(sim::runCommand(line.toStdString(), model, slave, quit));
    }
    // Runs the lines in turn: "ok", or the first other answer with its line.
    QString ok(std::initializer_list<QString> lines)
    {
        for (const QString &line : lines) {
            if (const QString answer = cmd(line); answer != QLatin1String("ok"))
                return line + QLatin1String(" -> ") + answer;
        }
        return QStringLiteral("ok");
    }

    // Sends a request PDU (in hex) to station 1 and returns the reply's PDU
    // in hex, "no reply", or "bad reply" when its address or CRC is wrong.
    QByteArray ask(const QByteArray &pdu)
    {
        QByteArray request = "\x01" + QByteArray::fromHex(pdu);
        request += crcOf(request);
        const auto reply
            = slave.handle(reinterpret_cast<const std::uint8_t *>(request.constData()), int(request.size()));
        if (!reply)
            return "no reply";
        const QByteArray r(reinterpret_cast<const char *>(reply->frame.data()), qsizetype(reply->frame.size()));
        if (r.size() < 4 || r[0] != 1 || crcOf(r.chopped(2)) != r.right(2))
            return "bad reply";
        return r.mid(1, r.size() - 3).toHex();
    }

    // Registers read with function 03 or 04, signed; empty when the reply
    // is not a well-formed answer of that function.
    QList<int> regs(int function, int address, int count)
    {
        const QByteArray r = QByteArray::fromHex(ask(hex(function, 2) + hex(address) + hex(count)));
        if (r.size() != 2 + 2 * count || r[0] != function || r[1] != 2 * count)
            return {};
        QList<int> out;
        for (int i = 0; i < count; ++i)
            out += std::int16_t(std::uint8_t(r[2 + 2 * i]) << 8 | std::uint8_t(r[3 + 2 * i]));
        return out;
    }
    int reg(int function, int n) { return regs(function, n - 1, 1).value(0, INT_MAX); }

    // Discrete inputs 1..16 as one word, input 1 at bit 0; -1 on failure.
    int statusWord()
    {
        const QByteArray r = QByteArray::fromHex(ask("0200000010"));
        return r.size() == 4 && r.startsWith("\x02\x02") ? std::uint8_t(r[2]) | std::uint8_t(r[3]) << 8 : -1;
    }
};

}  // namespace

#define SIM_OK(...) QCOMPARE(m_sim->ok({__VA_ARGS__}), QStringLiteral("ok"))

class TestSimModel : public QObject
{
    Q_OBJECT

    std::unique_ptr<Rig> m_sim;

private slots:
    void init() { m_sim = std::make_unique<Rig>(); }

    void crc()
    {
        // Two frames as Modbus documents them.
        QCOMPARE(crcOf(QByteArray::fromHex("010300000001")), QByteArray::fromHex("840a"));
        QCOMPARE(crcOf(QByteArray::fromHex("01030000000a")), QByteArray::fromHex("c5cd"));
    }

    void factoryState()
    {
        // Values near their resting points, no alarm or sensor flag.
        const QList<int> ir = m_sim->regs(4, 0, 16);
        const std::array<int, 4> centre{250, 300, 180, 420};
        QCOMPARE(ir.size(), 16);
        for (int c = 0; c < 4; ++c)
            QVERIFY2(qAbs(ir[c] - centre[c]) <= 10, qPrintable(QString::number(ir[c])));
        QCOMPARE(ir[4], ir[0]);  // retransmission follows channel 1
        QCOMPARE(ir.mid(5), QList<int>(11, 0));
        QCOMPARE(m_sim->statusWord(), 0);
        QCOMPARE(m_sim->regs(3, 0, 48), kFactory);
    }

    void readInputRegisters()
    {
        SIM_OK("set ir 1 251", "set ir 2 -12", "set ir 3 180", "set ir 4 420", "set ir 16 7");
        QCOMPARE(m_sim->regs(4, 0, 16), (QList<int>{251, -12, 180, 420, 251, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7}));
        // Register n is protocol address n - 1.
        QCOMPARE(m_sim->reg(4, 2), -12);
        QCOMPARE(m_sim->reg(4, 16), 7);
        QCOMPARE(m_sim->cmd("get ir 2"), QStringLiteral("ok -12"));

        // Register 5 is the channel that holding register 21 selects.
        SIM_OK("set hr 21 3");
        QCOMPARE(m_sim->reg(4, 5), 180);
        SIM_OK("set hr 21 4");
        QCOMPARE(m_sim->reg(4, 5), 420);

        QCOMPARE(m_sim->ask("0400100001"), "8402");
        QCOMPARE(m_sim->ask("0400010010"), "8402");
    }

    void readHoldingRegisters()
    {
        SIM_OK("set hr 5 -123");
        QCOMPARE(m_sim->reg(3, 5), -123);
        QCOMPARE(m_sim->ask("0300300001"), "8302");
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
        const QByteArray request = "06" + hex(reg - 1) + hex(value);
        QCOMPARE(m_sim->ask(request), accepted ? request : QByteArray("8603"));  // taken: the request echoed
        const int stored = accepted ? value : kFactory[reg - 1];
        QCOMPARE(m_sim->cmd(QStringLiteral("get hr %1").arg(reg)), QStringLiteral("ok %1").arg(stored));
        QCOMPARE(m_sim->cmd("lastwrite"), accepted ? QStringLiteral("ok %1 %2").arg(reg).arg(value) : "ok none");
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 0 writes 1"));
    }

    void writeMultiple()
    {
        QCOMPARE(m_sim->ask("100000000408" "006400c8fed40190"), "1000000004");  // 100, 200, -300, 400
        QCOMPARE(m_sim->cmd("get hr 3"), QStringLiteral("ok -300"));
        QCOMPARE(m_sim->cmd("lastwrite"), QStringLiteral("ok 4 400"));

        // One bad value refuses the whole block: register 14 fine, 15 = mode 6.
        QCOMPARE(m_sim->ask("10000d000204" "000a0006"), "9003");
        QCOMPARE(m_sim->cmd("get hr 14"), QStringLiteral("ok 3"));
        QCOMPARE(m_sim->cmd("get hr 15"), QStringLiteral("ok 1"));

        // Writes outside the map.
        QCOMPARE(m_sim->ask("10002f000204" "000a0006"), "9002");
        QCOMPARE(m_sim->ask("0600300001"), "8602");
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 0 writes 4"));
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
        const QString hr = QStringLiteral("set hr %1 %2");
        SIM_OK(hr.arg(9 + 2 * (channel - 1)).arg(mode), hr.arg(1 + 2 * (channel - 1)).arg(sv),
               hr.arg(2 + 2 * (channel - 1)).arg(al), QStringLiteral("set ir %1 %2").arg(channel).arg(pv));
        const int bit = 3 * (channel - 1);
        QCOMPARE(m_sim->statusWord(), alarm ? 1 << bit : 0);
        QCOMPARE(m_sim->cmd(QStringLiteral("get di %1").arg(bit + 1)), QStringLiteral("ok %1").arg(int(alarm)));
    }

    void openAndShort()
    {
        SIM_OK("set hr 9 0", "set hr 11 0", "set hr 13 0", "set hr 15 0");  // no alarms in the way
        for (int c = 1; c <= 4; ++c) {
            SIM_OK(QStringLiteral("open %1 on").arg(c));
            QCOMPARE(m_sim->statusWord(), 1 << (3 * (c - 1) + 1));
            QCOMPARE(m_sim->reg(4, c), 32767);
            SIM_OK(QStringLiteral("open %1 off").arg(c), QStringLiteral("short %1 on").arg(c));
            QCOMPARE(m_sim->statusWord(), 1 << (3 * (c - 1) + 2));
            QCOMPARE(m_sim->reg(4, c), -32768);
            SIM_OK(QStringLiteral("short %1 off").arg(c));
            QCOMPARE(m_sim->statusWord(), 0);
            QVERIFY(qAbs(m_sim->reg(4, c)) < 1000);
        }
        // The retransmission register shows the selected channel's fault value.
        SIM_OK("open 1 on");
        QCOMPARE(m_sim->reg(4, 5), 32767);
    }

    void discreteInputs()
    {
        SIM_OK("status 0xA5C3");
        QCOMPARE(m_sim->statusWord(), 0xA5C3);
        QCOMPARE(m_sim->ask("0200040003"), "020104");  // inputs 5..7: 0, 0, 1
        QCOMPARE(m_sim->cmd("get di 16"), QStringLiteral("ok 1"));
        QCOMPARE(m_sim->ask("02000f0002"), "8202");

        SIM_OK("auto", "set ir 1 500");  // over channel 1's high alarm at 400
        QCOMPARE(m_sim->statusWord(), 0x0001);
        SIM_OK("status 4095");
        QCOMPARE(m_sim->statusWord(), 0x0FFF);
        SIM_OK("set di 1 0");
        QCOMPARE(m_sim->statusWord(), 0x0FFE);  // forced off over the alarm
        SIM_OK("auto");
        QCOMPARE(m_sim->statusWord(), 0);  // channel 1 varies again, below its alarm
        QVERIFY(qAbs(m_sim->reg(4, 1) - 250) <= 10);
        SIM_OK("set di 12 1");
        QCOMPARE(m_sim->statusWord(), 0x0800);
    }

    void faultSilentAndCrc()
    {
        SIM_OK("fault silent");
        QCOMPARE(m_sim->ask("0400000001"), "no reply");
        SIM_OK("fault crc");
        QCOMPARE(m_sim->ask("0300000001"), "bad reply");
        SIM_OK("fault none");
        QCOMPARE(m_sim->reg(3, 1), 250);
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 3 writes 0"));  // unanswered ones too
    }

    void faultWrongEcho()
    {
        // Register 10 = 5 is stored all the same; the echo names another
        // value or another register.
        for (const auto &[fault, echo] :
             {std::pair{"fault wecho value", "0600090004"}, std::pair{"fault wecho reg", "0600080005"}}) {
            SIM_OK(fault);
            QCOMPARE(m_sim->ask("0600090005"), echo);
            QCOMPARE(m_sim->cmd("get hr 10"), QStringLiteral("ok 5"));
            SIM_OK("set hr 10 0");
        }
    }

    void faultWriteException()
    {
        // Illegal data value, slave device failure.
        for (const int code : {3, 4}) {
            SIM_OK(QStringLiteral("fault wexc %1").arg(code));
            QCOMPARE(m_sim->ask("0600090005"), "860" + QByteArray::number(code));
            QCOMPARE(m_sim->ask("1000090002040005" "0001"), "900" + QByteArray::number(code));
            QCOMPARE(m_sim->cmd("get hr 10"), QStringLiteral("ok 0"));
            QCOMPARE(m_sim->cmd("lastwrite"), QStringLiteral("ok none"));
            QCOMPARE(m_sim->reg(3, 10), 0);  // reads still answered
        }
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 2 writes 4"));
    }

    void statsAndReset()
    {
        QCOMPARE(m_sim->regs(4, 0, 1).size(), 1);
        QCOMPARE(m_sim->ask("0200000001").size(), 6);
        QCOMPARE(m_sim->regs(3, 0, 1).size(), 1);
        QCOMPARE(m_sim->ask("0600090005"), "0600090005");
        QCOMPARE(m_sim->ask("060009003d"), "8603");
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 3 writes 2"));
        QCOMPARE(m_sim->cmd("lastwrite"), QStringLiteral("ok 10 5"));
        SIM_OK("reset");
        QCOMPARE(m_sim->cmd("stats"), QStringLiteral("ok reads 0 writes 0"));
        QCOMPARE(m_sim->cmd("lastwrite"), QStringLiteral("ok none"));
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
        const QString answer = m_sim->cmd(line);
        QVERIFY2(answer.startsWith(QLatin1String("err")) && !answer.contains(u'\n'), qPrintable(answer));  // one line
        SIM_OK("auto");
    }
    void stationList_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("stations");  // empty: refused
        QTest::newRow("one") << "1" << QList<int>{1};
        QTest::newRow("three in order") << "5,1,2" << QList<int>{5, 1, 2};
        QTest::newRow("highest") << "247" << QList<int>{247};
        QTest::newRow("empty") << "" << QList<int>{};
        QTest::newRow("zero") << "1,0" << QList<int>{};
        QTest::newRow("too high") << "248" << QList<int>{};
        QTest::newRow("repeated") << "1,2,1" << QList<int>{};
        QTest::newRow("empty item") << "1,,2" << QList<int>{};
        QTest::newRow("trailing comma") << "1,2," << QList<int>{};
        QTest::newRow("not a number") << "1,x" << QList<int>{};
        QTest::newRow("spaces") << "1, 2" << QList<int>{};
    }

    void stationList()
    {
        QFETCH(QString, text);
        QFETCH(QList<int>, stations);
        const auto parsed = sim::parseStations(text.toStdString());
        QCOMPARE(parsed.has_value(), !stations.isEmpty());
        if (parsed)
            QCOMPARE(QList<int>(parsed->begin(), parsed->end()), stations);
    }

    void requestLength_data()
    {
        QTest::addColumn<QByteArray>("head");  // hex
        QTest::addColumn<int>("length");
        QTest::newRow("read input registers") << QByteArray("0204") << 8;
        QTest::newRow("write single") << QByteArray("0506") << 8;
        QTest::newRow("write multiple, count pending") << QByteArray("021000150002") << 0;
        QTest::newRow("write multiple, two registers") << QByteArray("02100015000204") << 13;
        QTest::newRow("mask write") << QByteArray("0216") << 10;
        QTest::newRow("no function yet") << QByteArray("02") << 0;
        QTest::newRow("unknown function") << QByteArray("022b") << 4;
    }

    void requestLength()
    {
        QFETCH(QByteArray, head);
        QFETCH(int, length);
        const QByteArray b = QByteArray::fromHex(head);
        QCOMPARE(sim::requestLength(bytes(b), int(b.size())), length);
    }

    // Stations 1, 2 and 5 on one line, input register 1 at 100 + station.
    void lineRouting_data()
    {
        QTest::addColumn<bool>("tcp");
        QTest::addColumn<int>("station");
        QTest::addColumn<QByteArray>("reply");  // in hex, an RTU frame without its CRC
        QTest::newRow("rtu 1") << false << 1 << QByteArray("0104020065");
        QTest::newRow("rtu 2") << false << 2 << QByteArray("0204020066");
        QTest::newRow("rtu 5") << false << 5 << QByteArray("0504020069");
        QTest::newRow("rtu 3, not on the line") << false << 3 << QByteArray("no reply");
        QTest::newRow("rtu broadcast") << false << 0 << QByteArray("no reply");
        QTest::newRow("tcp unit 2") << true << 2 << QByteArray("12340000000502040200" "66");
        QTest::newRow("tcp unit 5") << true << 5 << QByteArray("12340000000505040200" "69");
        QTest::newRow("tcp unit 3, not on the line") << true << 3 << QByteArray("no reply");
    }

    void lineRouting()
    {
        QFETCH(bool, tcp);
        QFETCH(int, station);
        QFETCH(QByteArray, reply);
        sim::Line line({1, 2, 5});
        bool quit = false;
        for (const char *command : {"set ir 1 101", "@2 set ir 1 102", "@5 set ir 1 105"})
            QCOMPARE(line.runCommand(command, quit), std::string("ok"));
        const QByteArray pdu("0400000001");
        const QByteArray request = tcp ? QByteArray::fromHex("123400000006") + char(station) + QByteArray::fromHex(pdu)
                                       : rtuFrame(station, pdu);
        const auto answer = tcp ? line.handleTcp(bytes(request), int(request.size()))
                                : line.handle(bytes(request), int(request.size()));
        QByteArray got = bytesOf(answer);
        if (answer && !tcp) {
            const QByteArray frame = QByteArray::fromHex(got);
            QCOMPARE(frame.right(2), crcOf(frame.chopped(2)));
            got.chop(4);
        }
        QCOMPARE(got, reply);
        // Only the station asked counted the request (a broadcast: all).
        for (const auto &s : line.stations())
            QCOMPARE(s->slave.reads(), s->address == station || station == 0 ? 1 : 0);
    }

    void broadcastReachesEveryStation()
    {
        sim::Line line({1, 2, 5});
        const QByteArray request = rtuFrame(0, "0600090005");
        QCOMPARE(bytesOf(line.handle(bytes(request), int(request.size()))), QByteArray("no reply"));
        for (const auto &s : line.stations())
            QCOMPARE(s->model.holding(10), 5);
    }

    void stationsApart()
    {
        // Own address in holding register 17, values a little apart.
        sim::Line line({1, 2, 5});
        QCOMPARE(line.stations()[2]->model.holding(17), 5);
        for (int c = 1; c <= sim::kChannels; ++c) {
            QCOMPARE(line.find(2)->model.inputRegister(c) - line.find(1)->model.inputRegister(c), 5);
            QCOMPARE(line.find(5)->model.inputRegister(c) - line.find(1)->model.inputRegister(c), 10);
        }
    }

    void stationPrefix_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("changed");  // station whose hr 10 became 7, or 0
        QTest::newRow("no prefix: the first") << "set hr 10 7" << "ok" << 1;
        QTest::newRow("station 2") << "@2 set hr 10 7" << "ok" << 2;
        QTest::newRow("station 5") << "@5 set hr 10 7" << "ok" << 5;
        QTest::newRow("own address") << "@5 get hr 17" << "ok 5" << 0;
        QTest::newRow("not on the line") << "@3 set hr 10 7" << "err no station 3 on this line" << 0;
        QTest::newRow("bad station") << "@x set hr 10 7" << "err bad station in @x set hr 10 7" << 0;
        QTest::newRow("prefix alone") << "@2" << "err empty command" << 0;
    }

    void stationPrefix()
    {
        QFETCH(QString, command);
        QFETCH(QString, answer);
        QFETCH(int, changed);
        sim::Line line({1, 2, 5});
        bool quit = false;
        QCOMPARE(QString::fromStdString(line.runCommand(command.toStdString(), quit)), answer);
        for (const auto &s : line.stations())
            QCOMPARE(s->model.holding(10), s->address == changed ? 7 : 0);
    }
};

QTEST_GUILESS_MAIN(TestSimModel)
#include "tst_simmodel.moc"
