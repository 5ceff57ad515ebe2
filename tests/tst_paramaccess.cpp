// The configuration registers read and written without any window, against
// the simulator on a pseudo-terminal: the read-back cycle with its typed
// failures, the all-or-nothing read of all 48 registers, and writes with
// their refusals, their one retry and the echo check; a run of writes read
// back once per block.
#include "config/param_access.h"
#include "config/write_journal.h"
#include "link/link.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(LinkFault)
Q_DECLARE_METATYPE(ParamWrite::Outcome)
Q_DECLARE_METATYPE(WriteRefusal)

using RegValues = QList<QPair<int, int32_t>>;

class TestParamAccess : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void readCycle_data();
    void readCycle();
    void write_data();
    void write();
    void writeChecked_data();
    void writeChecked();
    void writeAllChecked_data();
    void writeAllChecked();

private:
    QString sim(const QString &line) { return m_sim->command(line); }
    int writes() { return simStat(*m_sim, QStringLiteral("writes")); }
    bool cycle(ParamAccess &access);

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
    LinkSettings m_settings;
    ReadBack m_readBack;
    Clock m_clock;
    std::unique_ptr<WriteJournal> m_journal;
    std::unique_ptr<ParamAccess> m_access;
};

void TestParamAccess::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sim = startFrozenSim(m_dir.path());
    QVERIFY(m_sim);
    m_link = std::make_unique<Link>();
    int32_t result = -1;
    m_link->OpenPort_Modbus(1, 1, 0, this, [&result](const LinkResult &r) { result = r.result; });
    QTRY_COMPARE(result, kModbusOk);
}

void TestParamAccess::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestParamAccess::init()
{
    m_settings.Link_Par[0] = 1;
    m_settings.Link_Par[3] = 1;
    m_settings.Link_Par[19] = 0;
    m_readBack = ReadBack{};
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("reset")), QStringLiteral("ok"));
    m_journal = std::make_unique<WriteJournal>(m_clock);
    m_access = std::make_unique<ParamAccess>(*m_link, m_settings, m_readBack, m_journal.get());
}

void TestParamAccess::cleanup()
{
    m_access.reset();
    QTRY_COMPARE_WITH_TIMEOUT(m_link->pending(), 0, 10000);
}

// One whole read cycle, started now and waited for.
bool TestParamAccess::cycle(ParamAccess &access)
{
    return access.readCycle() && QTest::qWaitFor([&access] { return access.readsOut() == 0; }, 5000);
}

// ---------------------------------------------------------------------------

void TestParamAccess::readCycle_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("port");
    QTest::addColumn<LinkFault>("kind");
    QTest::newRow("good") << "fault none" << 1 << LinkFault::None;
    QTest::newRow("time-out") << "fault silent" << 1 << LinkFault::Timeout;
    QTest::newRow("bad frame") << "fault crc" << 1 << LinkFault::BadFrame;
    QTest::newRow("port not open") << "fault none" << 9 << LinkFault::NotOpen;
}

// Each block comes back as its own signal with the failure's kind; a failed
// block keeps the values read before, marked; no cycle starts while one is
// outstanding; the read of all registers is whole or names what failed.
void TestParamAccess::readCycle()
{
    QFETCH(QString, fault);
    QFETCH(int, port);
    QFETCH(LinkFault, kind);
    const bool good = kind == LinkFault::None;
    QCOMPARE(sim(QStringLiteral("set hr 1 321")), QStringLiteral("ok"));
    QCOMPARE(sim(QStringLiteral("set hr 48 1")), QStringLiteral("ok"));
    QVERIFY(cycle(*m_access));
    QCOMPARE(m_readBack.Reg_4X[0], 321);

    QCOMPARE(sim(QStringLiteral("set hr 1 500")), QStringLiteral("ok"));
    QCOMPARE(sim(fault), QStringLiteral("ok"));
    m_settings.Link_Par[0] = port;
    QSignalSpy blocks(m_access.get(), &ParamAccess::blockRead);
    QVERIFY(m_access->readCycle());
    QCOMPARE(m_access->readsOut(), 3);
    QVERIFY(!m_access->readCycle()); // nothing piles up
    QTRY_COMPARE_WITH_TIMEOUT(blocks.count(), 3, 5000);
    QCOMPARE(m_access->readsOut(), 0);
    for (int b = 0; b < kBlockCount; ++b) {
        QCOMPARE(blocks.at(b).at(0).toInt(), b);
        QCOMPARE(blocks.at(b).at(1).value<LinkError>().kind, kind);
        QVERIFY(m_readBack.Block[b].read);
        QCOMPARE(m_readBack.Block[b].failed, !good);
    }
    QCOMPARE(m_readBack.Reg_4X[0], good ? 500 : 321);
    QCOMPARE(m_readBack.Reg_4X[47], 1);

    std::optional<ParamSetRead> all;
    m_access->readAll(this, [&all](const ParamSetRead &r) { all = r; });
    QTRY_VERIFY_WITH_TIMEOUT(all.has_value(), 5000);
    QCOMPARE(all->ok(), good);
    const QList<int> none, every{0, 1, 2};
    QCOMPARE(all->failedBlocks(), good ? none : every);
    QCOMPARE(all->blockError[2].kind, kind);
    QCOMPARE(all->values[0], good ? 500 : 0); // all or nothing
    QCOMPARE(all->values[47], good ? 1 : 0);
}

// ---------------------------------------------------------------------------

void TestParamAccess::write_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("healAfterFirst"); // the instrument answers again after the first try
    QTest::addColumn<ParamWrite::Outcome>("outcome");
    QTest::addColumn<WriteRefusal>("refusal");
    QTest::addColumn<LinkFault>("kind");
    QTest::addColumn<int>("tries");
    QTest::addColumn<int>("value"); // what the register holds afterwards

    using O = ParamWrite::Outcome;
    using R = WriteRefusal;
    QTest::newRow("written, echo ok") << 3 << "777" << "fault none" << false << O::Written << R::None
                                      << LinkFault::None << 1 << 777;
    QTest::newRow("tenths entry") << 46 << "2.5" << "fault none" << false << O::Written << R::None
                                  << LinkFault::None << 1 << 25;
    QTest::newRow("refused out of range") << 29 << "-32768" << "fault none" << false << O::Refused << R::Range
                                          << LinkFault::None << 0 << 123;
    QTest::newRow("refused not in the list") << 47 << "abc" << "fault none" << false << O::Refused << R::Form
                                             << LinkFault::None << 0 << 123;
    QTest::newRow("refused not writable") << 49 << "1" << "fault none" << false << O::Refused << R::NotWritable
                                          << LinkFault::None << 0 << 123;
    QTest::newRow("echo wrong") << 3 << "777" << "fault wecho value" << false << O::Failed << R::None
                                << LinkFault::EchoMismatch << 2 << -1;
    QTest::newRow("exception, retried then failed") << 3 << "777" << "fault wexc 3" << false << O::Failed << R::None
                                                    << LinkFault::Exception << 2 << 123;
    QTest::newRow("no answer, retried then ok") << 3 << "777" << "fault silent" << true << O::Written << R::None
                                                << LinkFault::None << 2 << 777;
    QTest::newRow("no answer, retried then failed") << 3 << "777" << "fault silent" << false << O::Failed
                                                    << R::None << LinkFault::Timeout << 2 << 123;
}

// One write: refused before anything is sent, or sent with one retry when
// the first exchange fails; the outcome is typed, carries the value read
// before, and reaches the journal.
void TestParamAccess::write()
{
    QFETCH(int, reg);
    QFETCH(QString, entry);
    QFETCH(QString, fault);
    QFETCH(bool, healAfterFirst);
    QFETCH(ParamWrite::Outcome, outcome);
    QFETCH(WriteRefusal, refusal);
    QFETCH(LinkFault, kind);
    QFETCH(int, tries);
    QFETCH(int, value);
    for (int r : {3, 29, 46, 47})
        QCOMPARE(sim(QStringLiteral("set hr %1 %2").arg(r).arg(r == 47 ? 1 : 123)), QStringLiteral("ok"));
    QVERIFY(cycle(*m_access));
    QCOMPARE(sim(QStringLiteral("reset")), QStringLiteral("ok"));
    QCOMPARE(sim(fault), QStringLiteral("ok"));

    QSignalSpy finished(m_access.get(), &ParamAccess::writeFinished);
    const uint32_t ticket = m_access->write(reg, entry);
    if (outcome == ParamWrite::Outcome::Refused)
        QCOMPARE(finished.count(), 1); // at once
    if (healAfterFirst) {
        QTRY_COMPARE_WITH_TIMEOUT(writes(), 1, 5000);
        QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
    const auto w = finished.at(0).at(0).value<ParamWrite>();
    QCOMPARE(w.ticket, ticket);
    QCOMPARE(w.reg, reg);
    QCOMPARE(w.outcome, outcome);
    QCOMPARE(w.refusal, refusal);
    QCOMPARE(w.error.kind, kind);
    QCOMPARE(w.tries, tries);
    QCOMPARE(writes(), tries);
    if (reg <= kParamCount)
        QCOMPARE(w.before, std::optional<int32_t>(reg == 47 ? 1 : 123));
    if (tries > 0)
        QCOMPARE(m_settings.Link_Par[19], int(w.check.value));
    QCOMPARE(m_journal->latest().reg, outcome == ParamWrite::Outcome::Written ? 0 : reg);
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    if (value >= 0 && reg <= kParamCount && reg != 47)
        QCOMPARE(sim(QStringLiteral("get hr %1").arg(reg)), QStringLiteral("ok %1").arg(value));
}

// ---------------------------------------------------------------------------

void TestParamAccess::writeChecked_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<ParamWrite::Outcome>("outcome");
    QTest::addColumn<LinkFault>("kind");
    QTest::addColumn<int>("readBack"); // -1: none

    using O = ParamWrite::Outcome;
    QTest::newRow("written and read back") << 3 << 777 << "fault none" << O::Written << LinkFault::None << 777;
    QTest::newRow("tenths in register units") << 46 << 25 << "fault none" << O::Written << LinkFault::None << 25;
    QTest::newRow("out of range") << 29 << -32768 << "fault none" << O::Refused << LinkFault::None << -1;
    QTest::newRow("not writable") << 0 << 1 << "fault none" << O::Refused << LinkFault::None << -1;
    QTest::newRow("echo wrong") << 3 << 777 << "fault wecho reg" << O::Failed << LinkFault::EchoMismatch << -1;
}

// A write for a program without a window: checked against the range, the
// echo checked by the link, then the register read back.
void TestParamAccess::writeChecked()
{
    QFETCH(int, reg);
    QFETCH(int, value);
    QFETCH(QString, fault);
    QFETCH(ParamWrite::Outcome, outcome);
    QFETCH(LinkFault, kind);
    QFETCH(int, readBack);
    QCOMPARE(sim(fault), QStringLiteral("ok"));
    std::optional<ParamWrite> got;
    m_access->writeChecked(reg, value, this, [&got](const ParamWrite &w) { got = w; });
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 5000);
    QCOMPARE(got->outcome, outcome);
    QCOMPARE(got->error.kind, kind);
    QCOMPARE(got->readBack, readBack < 0 ? std::nullopt : std::optional<int32_t>(readBack));
    QCOMPARE(writes(), outcome == ParamWrite::Outcome::Refused ? 0 : got->tries);
    if (readBack >= 0)
        QCOMPARE(m_readBack.Reg_4X[reg - 1], readBack);
}

void TestParamAccess::writeAllChecked_data()
{
    QTest::addColumn<RegValues>("values");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("outcomes"); // W written, R refused, F failed
    QTest::addColumn<int>("writes");       // exchanges sent
    QTest::addColumn<int>("reads");        // blocks read back
    const QString none = QStringLiteral("fault none");
    QTest::newRow("three blocks, three reads") << RegValues{{1, 111}, {29, -7}, {47, 1}} << none << "W W W" << 3 << 3;
    QTest::newRow("one block, one read") << RegValues{{1, 111}, {3, 222}, {5, 333}} << none << "W W W" << 3 << 1;
    QTest::newRow("refused value not sent, run goes on") << RegValues{{1, 111}, {29, 900}, {3, 222}} << none << "W R W" << 2 << 1;
    QTest::newRow("write refused by the instrument: stop") << RegValues{{1, 111}, {3, 222}} << "fault wexc 4" << "F" << 2 << 0;
    QTest::newRow("echo of another register: stop") << RegValues{{1, 111}, {3, 222}} << "fault wecho reg" << "F" << 2 << 0;
}

// N values cost N write exchanges and one read per block written to; the
// journal hears of a write as written only once it has been read back.
void TestParamAccess::writeAllChecked()
{
    QFETCH(RegValues, values);
    QFETCH(QString, fault);
    QFETCH(QString, outcomes);
    QFETCH(int, writes);
    QFETCH(int, reads);
    QCOMPARE(sim(fault), QStringLiteral("ok"));
    QSignalSpy events(m_journal.get(), &WriteJournal::paramEvent);
    std::optional<QList<ParamWrite>> got;
    m_access->writeAllChecked(values, this, [&got](const QList<ParamWrite> &w) { got = w; });
    QTRY_VERIFY_WITH_TIMEOUT(got.has_value(), 10000);
    QStringList told;
    for (const ParamWrite &w : *got)
        told << (w.outcome == ParamWrite::Outcome::Written ? QStringLiteral("W")
                 : w.outcome == ParamWrite::Outcome::Refused ? QStringLiteral("R")
                                                             : QStringLiteral("F"));
    QCOMPARE(told.join(u' '), outcomes);
    QCOMPARE(this->writes(), writes);
    QCOMPARE(simStat(*m_sim, QStringLiteral("reads")), reads);
    int written = 0;
    for (const QList<QVariant> &e : events)
        written += e.at(0).value<HistoryEvent>().kind == EventKind::ParamWritten ? 1 : 0;
    QCOMPARE(events.size(), got->size());
    QCOMPARE(written, int(outcomes.count(u'W')));
    QCOMPARE(sim(QStringLiteral("fault none")), QStringLiteral("ok"));
    for (const ParamWrite &w : *got)
        if (w.outcome == ParamWrite::Outcome::Written)
            QCOMPARE(sim(QStringLiteral("get hr %1").arg(w.reg)), QStringLiteral("ok %1").arg(w.check.value));
}

QTEST_GUILESS_MAIN(TestParamAccess)
#include "tst_paramaccess.moc"
