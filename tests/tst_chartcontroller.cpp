// The chart's zoom, paging, ruler and live-append rules without any window:
// the database is a ring of records in memory.
#include "chart/chart_controller.h"
#include "core/dates.h"

#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

// Stands in for the log database: the record loaded into slot s of a
// window ending with id e holds e - (Load_Count - s) in quantity 0 (the
// ring's wrapping is the database's business); `newest` is the newest id as
// sl_void would give it.
struct FakeLog {
    int32_t newest = 0;
    int loads = 0;
    bool idFails = false, loadFails = false;

    bool readNewest(int32_t &id) const
    {
        if (idFails)
            return false;
        id = newest;
        return true;
    }
    bool load(Chart &c)
    {
        ++loads;
        for (int s = 0; s <= kPageLoad; ++s) {
            c.Chart_Val[s][0] = 0;
            c.Chart_Date[s] = 0;
        }
        for (int s = 1; s <= c.Load_Count && s <= kPageLoad; ++s) {
            c.Chart_Val[s][0] = float(qint64(c.Win_Last_Id) - (c.Load_Count - s));
            c.Chart_Date[s] = 46000;
        }
        return !loadFails;
    }
};

std::unique_ptr<ChartController> started(FakeLog &log)
{
    auto ctl = std::make_unique<ChartController>([&log](int32_t &id) { return log.readNewest(id); },
                                                 [&log](Chart &c) { return log.load(c); });
    ctl->start();
    return ctl;
}

const float kValues[6] = {11, 12, 13, 14, 15, 16};
const QDateTime kNow(QDate(2026, 3, 12), QTime(18, 42, 5));

} // namespace

class TestChartController : public QObject {
    Q_OBJECT
private slots:
    void startsLive();
    void zoomLevels_data();
    void zoomLevels();
    void paging_data();
    void paging();
    void setWindowEnd_data();
    void setWindowEnd();
    void rulerSlot_data();
    void rulerSlot();
    void rulerOnOff();
    void appendReloadPoint_data();
    void appendReloadPoint();
    void zoomInPastReloadPoint();
    void historyOutcome_data();
    void historyOutcome();
    void liveTick_data();
    void liveTick();
};

void TestChartController::startsLive()
{
    FakeLog log;
    log.newest = 500;
    auto ctl = started(log);
    const Chart &c = ctl->chart();
    QCOMPARE(c.Cur_Id, 500);
    QCOMPARE(c.Win_Last_Id, 500);
    QCOMPARE(c.Load_Count, 241);
    QCOMPARE(int(c.Chart_End), 241);
    QCOMPARE(int(c.Chart_Zoom), 1);
    QCOMPARE(c.Chart_Val[1][0], 260.0f);
    QCOMPARE(c.Chart_Val[241][0], 500.0f);
    QVERIFY(ctl->isLive());
    QVERIFY(!ctl->canZoomIn());
    QVERIFY(ctl->canZoomOut());
    QVERIFY(!ctl->canPageForward());
    QVERIFY(ctl->canPageBack());
    QCOMPARE(log.loads, 1);
}

void TestChartController::zoomLevels_data()
{
    // A walk out to level 4 and back in; each row is one more press.
    QTest::addColumn<QList<int>>("presses"); // +1 zoom out (F1), -1 zoom in (F2)
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("step"); // the slider's step: one slot
    QTest::addColumn<int>("base");
    QTest::addColumn<bool>("in");
    QTest::addColumn<bool>("out");
    QTest::newRow("1 -> 2") << QList<int>{1} << 2 << 75 << 120 << true << true;
    QTest::newRow("-> 3") << QList<int>{1, 1} << 3 << 50 << 60 << true << true;
    QTest::newRow("-> 4") << QList<int>{1, 1, 1} << 4 << 38 << 0 << true << false;
    QTest::newRow("4 -> 3") << QList<int>{1, 1, 1, -1} << 3 << 50 << 60 << true << true;
    QTest::newRow("-> 2") << QList<int>{1, 1, 1, -1, -1} << 2 << 75 << 120 << true << true;
    QTest::newRow("-> 1") << QList<int>{1, 1, 1, -1, -1, -1} << 1 << 150 << 180 << false << true;
}

void TestChartController::zoomLevels()
{
    QFETCH(QList<int>, presses);
    QFETCH(int, zoom);
    QFETCH(int, step);
    QFETCH(int, base);
    QFETCH(bool, in);
    QFETCH(bool, out);
    FakeLog log;
    log.newest = 600;
    auto ctl = started(log);
    QSignalSpy steps(ctl.get(), &ChartController::sliderStepChanged);
    QSignalSpy redraws(ctl.get(), &ChartController::redrawNeeded);
    for (int p : presses)
        p > 0 ? ctl->zoomOut() : ctl->zoomIn();
    const Chart &c = ctl->chart();
    QCOMPARE(int(c.Chart_Zoom), zoom);
    QCOMPARE(int(c.Chart_Base), base);
    QCOMPARE(steps.count(), presses.size());
    QCOMPARE(steps.last().at(0).toInt(), step);
    QCOMPARE(redraws.count(), presses.size());
    QCOMPARE(ctl->canZoomIn(), in);
    QCOMPARE(ctl->canZoomOut(), out);
    // The buffer is untouched.
    QCOMPARE(int(c.Chart_End), 241);
    QCOMPARE(c.Chart_Val[241][0], 600.0f);
    QCOMPARE(log.loads, 1);
}

void TestChartController::paging_data()
{
    QTest::addColumn<int>("newest");  // newest id when the chart starts
    QTest::addColumn<int>("logged");  // records logged after that
    QTest::addColumn<int>("back");    // pages back (F7)
    QTest::addColumn<int>("forward"); // then pages forward (F6)
    QTest::addColumn<int>("winEnd");
    QTest::addColumn<int>("pageBack");
    QTest::addColumn<bool>("limited");
    QTest::addColumn<int>("loads"); // the start's included
    QTest::newRow("1000: one page back") << 1000 << 0 << 1 << 0 << 940 << 1 << false << 2;
    QTest::newRow("1000: eleven back") << 1000 << 0 << 11 << 0 << 340 << 11 << false << 12;
    // n = 720: 1000 - 720 = 280 <= 321. Nothing is loaded.
    QTest::newRow("1000: the limit") << 1000 << 0 << 12 << 0 << 340 << 12 << true << 12;
    QTest::newRow("1000: forward from the limit") << 1000 << 0 << 12 << 1 << 340 << 11 << false << 13;
    QTest::newRow("wrapped ring at 30") << 30 << 0 << 1 << 0 << 65470 << 1 << false << 2;
    QTest::newRow("back to live, newest again") << 1000 << 10 << 1 << 1 << 1010 << 0 << false << 3;
    QTest::newRow("400: limit and back to live") << 400 << 0 << 2 << 2 << 400 << 0 << false << 4;
    // Wrapped: n = 65160 still lies inside the ring, 65220 would reach the
    // newest records.
    QTest::newRow("30: last page of the ring") << 30 << 0 << 1086 << 0 << 370 << 1086 << false << 1087;
    QTest::newRow("30: the ring's limit") << 30 << 0 << 1087 << 0 << 370 << 1087 << true << 1087;
    // A newest id from an edited file pages without overflowing.
    QTest::newRow("newest id far below") << int(INT32_MIN) << 0 << 1 << 0 << int(65440 - 2147483648LL) << 1
                                         << false << 2;
}

void TestChartController::paging()
{
    QFETCH(int, newest);
    QFETCH(int, logged);
    QFETCH(int, back);
    QFETCH(int, forward);
    QFETCH(int, winEnd);
    QFETCH(int, pageBack);
    QFETCH(bool, limited);
    QFETCH(int, loads);
    FakeLog log;
    log.newest = newest;
    auto ctl = started(log);
    QSignalSpy redraws(ctl.get(), &ChartController::redrawNeeded);
    log.newest += logged;
    for (int i = 0; i < back; ++i)
        ctl->pageBack();
    for (int i = 0; i < forward; ++i)
        ctl->pageForward();
    const Chart &c = ctl->chart();
    QCOMPARE(c.Win_Last_Id, winEnd);
    QCOMPARE(int(c.Page_Back), pageBack);
    QCOMPARE(c.Page_Limit != 0, limited);
    QCOMPARE(ctl->canPageBack(), !limited);
    QCOMPARE(ctl->canPageForward(), pageBack > 0);
    QCOMPARE(ctl->isLive(), pageBack == 0);
    QCOMPARE(log.loads, loads);
    QCOMPARE(redraws.count(), loads - 1); // every load is drawn, nothing else
    // A page holds 321 records ending with Win_Last_Id; live, the newest 241.
    const int end = pageBack > 0 ? 321 : 241;
    QCOMPARE(int(c.Chart_End), end);
    QCOMPARE(c.Load_Count, end);
    QCOMPARE(c.Chart_Val[end][0], float(winEnd));
    if (pageBack == 0)
        QCOMPARE(c.Cur_Id, newest + logged);
}

void TestChartController::setWindowEnd_data()
{
    QTest::addColumn<int>("cur");
    QTest::addColumn<QList<int>>("steps"); // n of each call in turn
    QTest::addColumn<int>("winEnd");
    QTest::newRow("60 before 1000") << 1000 << QList<int>{60} << 940;
    QTest::newRow("through the ring's start") << 30 << QList<int>{60} << 65470;
    QTest::newRow("n = Cur_Id leaves it") << 60 << QList<int>{10, 60} << 50;
    QTest::newRow("far below") << int(INT32_MIN) << QList<int>{60} << int(65440 - 2147483648LL);
    QTest::newRow("past 32 bits, clamped") << int(INT32_MAX) << QList<int>{-60} << int(INT32_MAX);
}

void TestChartController::setWindowEnd()
{
    QFETCH(int, cur);
    QFETCH(QList<int>, steps);
    QFETCH(int, winEnd);
    FakeLog log;
    log.newest = cur;
    auto ctl = started(log);
    for (int n : steps)
        ctl->setWindowEnd(n);
    QCOMPARE(ctl->chart().Win_Last_Id, winEnd);
}

void TestChartController::rulerSlot_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("back"); // pages back before the slider moves
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("pageBack"); // after the move
    QTest::newRow("level 1 at 4500") << 1 << 0 << 4500 << 210 << 0;
    QTest::newRow("level 4 at 4500") << 4 << 0 << 4500 << 120 << 0;
    QTest::newRow("75 rounds to 0") << 1 << 0 << 75 << 180 << 0;
    QTest::newRow("225 rounds to 2") << 1 << 0 << 225 << 182 << 0;
    QTest::newRow("level 2 at 9000") << 2 << 0 << 9000 << 240 << 0;
    QTest::newRow("level 4 at 38") << 4 << 0 << 38 << 1 << 0;
    QTest::newRow("12001 live: no paging") << 1 << 0 << 12001 << 260 << 0;
    QTest::newRow("12001 paged: one page forward") << 1 << 2 << 12001 << 260 << 1;
    QTest::newRow("-1: one page back") << 1 << 0 << -1 << 180 << 1;
    QTest::newRow("-1 at the limit: stays") << 1 << 12 << -1 << 180 << 12;
}

void TestChartController::rulerSlot()
{
    QFETCH(int, zoom);
    QFETCH(int, back);
    QFETCH(int, value);
    QFETCH(int, slot);
    QFETCH(int, pageBack);
    FakeLog log;
    log.newest = 1000;
    auto ctl = started(log);
    for (int z = 1; z < zoom; ++z)
        ctl->zoomOut();
    for (int i = 0; i < back; ++i)
        ctl->pageBack();
    QVERIFY(ctl->toggleRuler());
    QCOMPARE(ctl->hc_Change(value), slot);
    QCOMPARE(int(ctl->chart().Page_Back), pageBack);
}

// On: the buffer freezes while the ruler moves through it; off: the live
// window again, with what was logged meanwhile.
void TestChartController::rulerOnOff()
{
    FakeLog log;
    log.newest = 500;
    auto ctl = started(log);
    QVERIFY(ctl->toggleRuler());
    QCOMPARE(int(ctl->chart().Ruler_On), -1);
    QVERIFY(!ctl->isLive());
    for (int v = 0; v <= 12000; v += 150)
        QCOMPARE(ctl->hc_Change(v), 180 + v / 150);
    log.newest = 530;
    QCOMPARE(log.loads, 1);
    QVERIFY(!ctl->toggleRuler());
    QCOMPARE(int(ctl->chart().Ruler_On), 0);
    QVERIFY(ctl->isLive());
    QCOMPARE(log.loads, 2);
    QCOMPARE(ctl->chart().Cur_Id, 530);
    QCOMPARE(ctl->chart().Chart_Val[241][0], 530.0f);

    // Paging survives the ruler: switching it off reloads the live window
    // but leaves the page count and the paging keys alone.
    ctl->pageBack();
    QVERIFY(ctl->toggleRuler());
    QVERIFY(!ctl->toggleRuler());
    QCOMPARE(int(ctl->chart().Page_Back), 1);
    QVERIFY(ctl->canPageForward());
    QCOMPARE(int(ctl->chart().Chart_End), 241);
}

void TestChartController::appendReloadPoint_data()
{
    QTest::addColumn<int>("zoom");
    QTest::newRow("level 1: 20th append") << 1;
    QTest::newRow("level 2: 40th append") << 2;
    QTest::newRow("level 3: 60th append") << 3;
    QTest::newRow("level 4: 80th append") << 4;
}

void TestChartController::appendReloadPoint()
{
    QFETCH(int, zoom);
    FakeLog log;
    log.newest = 1000;
    auto ctl = started(log);
    for (int z = 1; z < zoom; ++z)
        ctl->zoomOut();
    const int appends = 20 * zoom;
    const Chart &c = ctl->chart();
    for (int i = 1; i < appends; ++i) {
        ++log.newest;
        ctl->Append_Sample(kValues, kNow);
        QCOMPARE(int(c.Chart_End), 241 + i);
    }
    QCOMPARE(log.loads, 1); // no reload yet
    ++log.newest;
    ctl->Append_Sample(kValues, kNow);
    // Reloaded: the newest record back in slot 241, then the sample on it.
    QCOMPARE(log.loads, 2);
    QCOMPARE(c.Cur_Id, 1000 + appends);
    QCOMPARE(int(c.Chart_End), 241);
    QCOMPARE(c.Chart_Val[240][0], float(999 + appends));
    QCOMPARE(c.Chart_Val[241][0], 11.0f);
    QCOMPARE(c.Chart_Val[241][5], 16.0f);
    QCOMPARE(c.Chart_Date[241], 46093.0); // 2026-03-12
    QCOMPARE(c.Chart_Time[241], (18 * 3600 + 42 * 60 + 5) / 86400.0);
}

void TestChartController::zoomInPastReloadPoint()
{
    FakeLog log;
    log.newest = 1000;
    auto ctl = started(log);
    for (int z = 1; z < 4; ++z)
        ctl->zoomOut();
    for (int i = 0; i < 59; ++i)
        ctl->Append_Sample(kValues, kNow);
    QCOMPARE(int(ctl->chart().Chart_End), 300);
    for (int z = 4; z > 1; --z)
        ctl->zoomIn();
    QCOMPARE(int(ctl->chart().Chart_End), 300); // zooming leaves the buffer alone
    log.newest = 1005;
    ctl->Append_Sample(kValues, kNow); // 301 is past the level-1 reload point 261
    QCOMPARE(int(ctl->chart().Chart_End), 241);
    QCOMPARE(ctl->chart().Cur_Id, 1005);
}

void TestChartController::historyOutcome_data()
{
    QTest::addColumn<bool>("idFails");
    QTest::addColumn<bool>("loadFails");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("curId");
    QTest::newRow("both read") << false << false << true << 900;
    QTest::newRow("newest id unread: kept") << true << false << false << 500;
    QTest::newRow("records unread") << false << true << false << 900;
}

// A reload reports whether the database answered; an id it could not read
// leaves the chart on the last one it had.
void TestChartController::historyOutcome()
{
    QFETCH(bool, idFails);
    QFETCH(bool, loadFails);
    QFETCH(bool, ok);
    QFETCH(int, curId);
    FakeLog log;
    log.newest = 500;
    auto ctl = started(log);
    QSignalSpy loaded(ctl.get(), &ChartController::historyLoaded);
    log.newest = 900;
    log.idFails = idFails;
    log.loadFails = loadFails;
    ctl->Reload_Live();
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(loaded.at(0).at(0).toBool(), ok);
    QCOMPARE(ctl->chart().Cur_Id, curId);
    QCOMPARE(ctl->chart().Win_Last_Id, curId);
}

// The live refresh's tick: a record logged since the last tick is appended
// only while the chart is live; several logged meanwhile become one append,
// and one logged while paging or under the ruler waits for the live chart.
void TestChartController::liveTick_data()
{
    QTest::addColumn<int>("logged");      // records logged before the first tick
    QTest::addColumn<QString>("mode");    // "live", "paging" or "ruler" at that tick
    QTest::addColumn<bool>("held");       // the link was not fresh
    QTest::addColumn<bool>("appended");   // by the first tick
    QTest::addColumn<int>("chartEnd");    // after the first tick
    QTest::addColumn<int>("afterReturn"); // Chart_End after going live and ticking twice more
    QTest::newRow("nothing logged") << 0 << "live" << false << false << 241 << 241;
    QTest::newRow("one logged, live") << 1 << "live" << false << true << 242 << 242;
    QTest::newRow("three logged, one append") << 3 << "live" << false << true << 242 << 242;
    QTest::newRow("held values") << 1 << "live" << true << true << 242 << 242;
    QTest::newRow("logged while paging") << 1 << "paging" << false << false << 321 << 242;
    QTest::newRow("logged under the ruler") << 2 << "ruler" << false << false << 241 << 242;
}

void TestChartController::liveTick()
{
    QFETCH(int, logged);
    QFETCH(QString, mode);
    QFETCH(bool, held);
    QFETCH(bool, appended);
    QFETCH(int, chartEnd);
    QFETCH(int, afterReturn);
    FakeLog log;
    log.newest = 5000;
    auto ctl = started(log);
    QSignalSpy redraws(ctl.get(), &ChartController::redrawNeeded);
    if (mode == QLatin1String("paging"))
        ctl->pageBack();
    else if (mode == QLatin1String("ruler"))
        ctl->toggleRuler();
    for (int i = 0; i < logged; ++i)
        ctl->noteSample();
    QCOMPARE(ctl->samplePending(), logged > 0);
    const int redrawsBefore = int(redraws.count());
    QCOMPARE(ctl->liveTick(kValues, kNow, held), appended);
    QCOMPARE(int(ctl->chart().Chart_End), chartEnd);
    QCOMPARE(ctl->samplePending(), logged > 0 && !appended);
    QCOMPARE(int(redraws.count()) - redrawsBefore, appended ? 1 : 0);
    if (appended) {
        const Chart &c = ctl->chart();
        QCOMPARE(c.Chart_Val[242][0], 11.0f);
        QCOMPARE(c.Chart_Val[242][5], 16.0f);
        QCOMPARE(c.Chart_Time[242], timeSerial(kNow.time()));
        QCOMPARE(c.held[242], held);
    }
    // Back to live: what waited is appended once, and nothing more.
    if (mode == QLatin1String("paging"))
        ctl->pageForward();
    else if (mode == QLatin1String("ruler"))
        ctl->toggleRuler();
    ctl->liveTick(kValues, kNow, held);
    QVERIFY(!ctl->liveTick(kValues, kNow, held));
    QCOMPARE(int(ctl->chart().Chart_End), afterReturn);
}

QTEST_GUILESS_MAIN(TestChartController)
#include "tst_chartcontroller.moc"
