// The link's diagnostics against the real simulator: what each kind of
// exchange adds to the counters and to the frame ring, the counters kept per
// station on a shared line, and the window that shows them.

#include "app/link_panel.h"
#include "app/linkdiagnosticswindow.h"
#include "link/link.h"
#include "link/link_diagnostics.h"
#include "testsupport.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

class TestDiagnostics : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void exchangesAreCounted_data();
    void exchangesAreCounted();
    void frameRingKeepsTheLast();
    void stationsAreCountedApart_data();
    void stationsAreCountedApart();
    void windowShowsPausesAndSaves();
    void monitorShowsLineStarts_data();
    void monitorShowsLineStarts();
    void healthLineOpensTheWindow();

private:
    LinkResult read3X(int32_t start);
    void checkStationWindow(const QList<int> &stations, const QMap<int, LinkCounters> &want);

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<Link> m_link;
};

void TestDiagnostics::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_sim = startFrozenSim(m_dir.path());
    QVERIFY2(m_sim, "simulator did not start");
    m_link = std::make_unique<Link>();
    int32_t result = 1;
    m_link->OpenPort_Modbus(1, 1, 0, this, [&](const LinkResult &r) { result = r.result; });
    QTRY_COMPARE(result, kModbusOk);
}

void TestDiagnostics::cleanupTestCase()
{
    m_link.reset();
    m_sim.reset();
}

void TestDiagnostics::init()
{
    QCOMPARE(m_sim->command("fault none"), QStringLiteral("ok"));
    m_link->diagnostics().reset();
}

LinkResult TestDiagnostics::read3X(int32_t start)
{
    LinkResult got;
    bool done = false;
    m_link->Get_3X_DX(1, 1, start, 16, this, [&](const LinkResult &r) {
        got = r;
        done = true;
    });
    [&] { QTRY_VERIFY(done); }();
    return got;
}

void TestDiagnostics::exchangesAreCounted_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("start");
    QTest::addColumn<LinkFault>("kind");
    QTest::addColumn<int>("replyBytes"); // 0: no reply frame kept
    QTest::addColumn<bool>("answered");

    QTest::newRow("good poll") << "fault none" << 1 << LinkFault::None << 37 << true;
    QTest::newRow("time-out") << "fault silent" << 1 << LinkFault::Timeout << 0 << false;
    QTest::newRow("late reply") << "fault late 600" << 1 << LinkFault::Timeout << 0 << false;
    QTest::newRow("CRC error") << "fault crc" << 1 << LinkFault::BadFrame << 37 << false;
    // Registers 20..35 do not exist: exception 2, illegal data address.
    QTest::newRow("exception 2") << "fault none" << 20 << LinkFault::Exception << 5 << true;
}

void TestDiagnostics::exchangesAreCounted()
{
    QFETCH(QString, fault);
    QFETCH(int, start);
    QFETCH(LinkFault, kind);
    QFETCH(int, replyBytes);
    QFETCH(bool, answered);

    QCOMPARE(m_sim->command(fault), QStringLiteral("ok"));
    const LinkResult r = read3X(start);
    QCOMPARE(r.error.kind, kind);

    const LinkCounters &c = m_link->diagnostics().counters();
    QCOMPARE(c.requests, 1);
    QCOMPARE(c.answers, answered ? 1 : 0);
    QCOMPARE(c.timeouts, kind == LinkFault::Timeout ? 1 : 0);
    QCOMPARE(c.crcErrors, kind == LinkFault::BadFrame ? 1 : 0);
    QCOMPARE(c.exceptions.value(2), kind == LinkFault::Exception ? 1 : 0);
    QCOMPARE(c.exceptions.size(), kind == LinkFault::Exception ? 1 : 0);
    if (answered) {
        QVERIFY(c.lastRoundTripMs > 0);
        QCOMPARE(c.maxRoundTripMs, c.lastRoundTripMs);
        QCOMPARE(c.meanRoundTripMs, c.lastRoundTripMs);
    } else {
        QCOMPARE(c.maxRoundTripMs, 0.0);
    }

    // The request as it went over the line, CRC and all; the reply as read.
    const QList<LinkFrame> frames = m_link->diagnostics().frames().frames();
    QCOMPARE(frames.size(), replyBytes > 0 ? 2 : 1);
    QCOMPARE(frames[0].direction, FrameDirection::Sent);
    if (start == 1)
        QCOMPARE(frames[0].bytes.toHex(' '), QByteArray("01 04 00 00 00 10 f1 c6"));
    if (replyBytes > 0) {
        QCOMPARE(frames[1].direction, FrameDirection::Received);
        QCOMPARE(frames[1].bytes.size(), replyBytes);
        QCOMPARE(frames[1].bytes.left(2), QByteArray::fromHex(kind == LinkFault::Exception ? "0184" : "0104"));
        QVERIFY(frames[1].timeMs >= frames[0].timeMs);
    }

    // A second good poll: the mean and the maximum take both in.
    QCOMPARE(m_sim->command("fault none"), QStringLiteral("ok"));
    QCOMPARE(read3X(1).error.kind, LinkFault::None);
    QCOMPARE(c.requests, 2);
    QCOMPARE(c.answers, answered ? 2 : 1);
    QVERIFY(c.maxRoundTripMs >= c.meanRoundTripMs);
    QVERIFY(c.meanRoundTripMs > 0);
}

void TestDiagnostics::frameRingKeepsTheLast()
{
    LinkDiagnostics d;
    for (int i = 0; i < 251; ++i) {
        ExchangeTrace t;
        t.request = QByteArray::number(i) + "-req";
        t.reply = QByteArray::number(i) + "-rsp";
        t.roundTripUs = 1000;
        d.record(t);
    }
    // 502 frames made: the oldest two are gone, the rest in their order.
    const QList<LinkFrame> frames = d.frames().frames();
    QCOMPARE(frames.size(), 500);
    QCOMPARE(d.frames().appended(), 502);
    QCOMPARE(frames.first().bytes, QByteArray("1-req"));
    QCOMPARE(frames.first().direction, FrameDirection::Sent);
    QCOMPARE(frames[1].bytes, QByteArray("1-rsp"));
    QCOMPARE(frames.last().bytes, QByteArray("250-rsp"));
    QCOMPARE(d.counters().requests, 251);
    d.reset();
    QCOMPARE(d.frames().size(), 0);
    QCOMPARE(d.counters().requests, 0);
}

// Several stations on one line: every even exchange is answered (round trip
// 1 ms, 2 ms ...), every odd one times out. The line adds up all of them;
// each station only its own.
void TestDiagnostics::stationsAreCountedApart_data()
{
    QTest::addColumn<QByteArrayList>("requests"); // hex
    QTest::addColumn<QList<int>>("stations");     // of each request

    QTest::newRow("RTU") << QByteArrayList{"010400000010f1c6", "0204000000100000", "0104000000100000",
                                           "0304000000100000", "0204000000100000"}
                         << QList<int>{1, 2, 1, 3, 2};
    QTest::newRow("Modbus TCP") << QByteArrayList{"050400000010", "070400000010", "050300000001"}
                                << QList<int>{5, 7, 5};
}

void TestDiagnostics::stationsAreCountedApart()
{
    QFETCH(QByteArrayList, requests);
    QFETCH(QList<int>, stations);

    LinkDiagnostics &d = m_link->diagnostics();
    LinkCounters line;
    QMap<int, LinkCounters> want; // by station
    double lineSum = 0;
    QMap<int, double> sums; // of the round trips, ms
    for (qsizetype i = 0; i < requests.size(); ++i) {
        ExchangeTrace t;
        t.request = QByteArray::fromHex(requests[i]);
        const bool answered = i % 2 == 0;
        if (answered) {
            t.reply = t.request;
            t.roundTripUs = 1000 * (i + 1);
        } else {
            t.outcome = {LinkFault::Timeout, 0, 0};
        }
        d.record(t);
        const auto tally = [&](LinkCounters &w, double &sum) {
            ++w.requests;
            w.answers += answered ? 1 : 0;
            w.timeouts += answered ? 0 : 1;
            w.maxRoundTripMs = answered ? double(i + 1) : w.maxRoundTripMs;
            sum += answered ? double(i + 1) : 0.0;
            w.meanRoundTripMs = w.answers > 0 ? sum / double(w.answers) : 0.0;
        };
        tally(line, lineSum);
        if (stations[i] >= 0)
            tally(want[stations[i]], sums[stations[i]]);
    }
    QCOMPARE(d.stations(), want.keys());
    want[-1] = line; // -1: the whole line
    for (auto it = want.cbegin(); it != want.cend(); ++it) {
        const LinkCounters c = it.key() < 0 ? d.counters() : d.counters(it.key());
        const QByteArray which = "station " + QByteArray::number(it.key());
        QVERIFY2(c.requests == it->requests && c.answers == it->answers && c.timeouts == it->timeouts, which);
        QVERIFY2(c.maxRoundTripMs == it->maxRoundTripMs, which);
        QVERIFY2(qFuzzyCompare(1 + c.meanRoundTripMs, 1 + it->meanRoundTripMs), which);
    }

    // Each frame, request and reply, carries its exchange's station.
    const QList<LinkFrame> frames = d.frames().frames();
    QList<int> frameStations;
    for (const LinkFrame &f : frames)
        frameStations << f.station;
    QList<int> wantFrames;
    for (qsizetype i = 0; i < stations.size(); ++i)
        wantFrames << QList<int>(i % 2 == 0 ? 2 : 1, stations[i]);
    QCOMPARE(frameStations, wantFrames);
    checkStationWindow(stations, want);
}

// The window over the traces of stationsAreCountedApart: the monitor shows
// each frame's station, the station chosen shows its own counters, and the
// saved file holds the line's counters, then each station's, then the frames.
// want: the counters by station, -1 the whole line.
void TestDiagnostics::checkStationWindow(const QList<int> &stations, const QMap<int, LinkCounters> &want)
{
    const QList<LinkFrame> frames = m_link->diagnostics().frames().frames();
    const qint64 requests = want[-1].requests;
    LinkDiagnosticsWindow w(*m_link);
    QVERIFY(w.monitorText().startsWith(linkFrameLine(frames[0])));
    QVERIFY2(linkFrameLine(frames[0]).contains(QStringLiteral("站%1 发").arg(stations[0], 3)),
             qPrintable(linkFrameLine(frames[0])));
    auto *choice = w.findChild<QComboBox *>(QStringLiteral("diagStation"));
    QCOMPARE(choice->count(), want.size()); // "全部" and each station
    QVERIFY(w.countersText().contains(QStringLiteral("请求：%1").arg(requests)));
    choice->setCurrentIndex(choice->findData(stations[0]));
    QCOMPARE(w.shownStation(), stations[0]);
    QVERIFY(w.countersText().contains(QStringLiteral("请求：%1").arg(want[stations[0]].requests)));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("diag.txt"));
    QVERIFY(w.saveTo(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(f.readAll());
    QVERIFY(saved.startsWith(QStringLiteral("请求：%1\n").arg(requests)));
    QVERIFY(stations[1] < 0 // a single station seen: no counters apart
            || saved.contains(QStringLiteral("站 %1\n请求：%2\n").arg(stations[1]).arg(want[stations[1]].requests)));
    QVERIFY(saved.contains(linkFrameLine(frames.last())));
}

void TestDiagnostics::windowShowsPausesAndSaves()
{
    LinkDiagnosticsWindow w(*m_link);
    QCOMPARE(read3X(1).error.kind, LinkFault::None);
    QCOMPARE(read3X(20).error.kind, LinkFault::Exception);
    QTRY_VERIFY(w.countersText().contains(QStringLiteral("异常应答（代码 2：非法数据地址）：1")));
    QVERIFY(w.countersText().contains(QStringLiteral("请求：2")));
    QVERIFY(w.countersText().contains(QStringLiteral("应答：2")));
    QTRY_COMPARE(w.monitorText().split(QLatin1Char('\n')).size(), 4);
    const QStringList lines = w.monitorText().split(QLatin1Char('\n'));
    QVERIFY2(lines[0].endsWith(QStringLiteral(" 发 01 04 00 00 00 10 F1 C6")), qPrintable(lines[0]));
    QVERIFY(lines[3].contains(QStringLiteral(" 收 01 84 02 ")));

    // Paused, the monitor stands still while the counters go on.
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("diagPause")), Qt::LeftButton);
    QVERIFY(w.paused());
    QCOMPARE(m_sim->command("fault silent"), QStringLiteral("ok"));
    QCOMPARE(read3X(1).error.kind, LinkFault::Timeout);
    QTRY_VERIFY(w.findChild<QLabel *>(QStringLiteral("diagCounters"))->text().contains(QStringLiteral("超时：1")));
    QCOMPARE(w.monitorText().split(QLatin1Char('\n')).size(), 4);
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("diagPause")), Qt::LeftButton);
    QCOMPARE(w.monitorText().split(QLatin1Char('\n')).size(), 5);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("diag.txt"));
    QVERIFY(w.saveTo(path));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(f.readAll());
    QVERIFY(saved.contains(QStringLiteral("超时：1")));
    QVERIFY(saved.contains(lines[3]));

    // Cleared: counters and monitor start again.
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("diagClear")), Qt::LeftButton);
    QVERIFY(w.countersText().contains(QStringLiteral("请求：0")));
    QVERIFY(w.monitorText().isEmpty());
}

// Replies are wider than the monitor: it shows the start of its lines
// (time, direction, first bytes) with the newest one in view, whether the
// frames came before the window opened or while it is open.
void TestDiagnostics::monitorShowsLineStarts_data()
{
    QTest::addColumn<int>("readsBefore"); // before the window is shown
    QTest::addColumn<int>("readsAfter");
    QTest::newRow("frames before opening") << 12 << 0;
    QTest::newRow("more frames while open") << 12 << 3;
}

void TestDiagnostics::monitorShowsLineStarts()
{
    QFETCH(int, readsBefore);
    QFETCH(int, readsAfter);
    LinkDiagnosticsWindow w(*m_link);
    auto *monitor = w.findChild<QPlainTextEdit *>(QStringLiteral("diagMonitor"));
    QVERIFY(monitor);
    const auto lines = [&] { return monitor->document()->isEmpty() ? 0 : monitor->blockCount(); };
    for (int i = 0; i < readsBefore; ++i)
        QCOMPARE(read3X(1).error.kind, LinkFault::None);
    QTRY_COMPARE(lines(), 2 * readsBefore);
    w.resize(640, 480);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int i = 0; i < readsAfter; ++i)
        QCOMPARE(read3X(1).error.kind, LinkFault::None);
    QTRY_COMPARE(lines(), 2 * (readsBefore + readsAfter));
    QCoreApplication::processEvents();

    QVERIFY(monitor->horizontalScrollBar()->maximum() > 0); // the replies do not fit
    QCOMPARE(monitor->horizontalScrollBar()->value(), 0);
    QVERIFY(monitor->verticalScrollBar()->maximum() > 0); // nor do the lines
    const QRect newest = monitor->cursorRect(QTextCursor(monitor->document()->lastBlock()));
    QVERIFY2(monitor->viewport()->rect().contains(newest),
             qPrintable(QStringLiteral("newest line at %1,%2").arg(newest.x()).arg(newest.y())));
}

void TestDiagnostics::healthLineOpensTheWindow()
{
    QWidget window;
    auto *panel = new LinkPanel(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addLayout(panel->settingsRow());
    layout->addWidget(panel->healthLine());
    QSignalSpy asked(panel, &LinkPanel::diagnosticsRequested);
    QTest::mouseClick(panel->healthLine(), Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
}

QTEST_MAIN(TestDiagnostics)
#include "tst_diagnostics.moc"
