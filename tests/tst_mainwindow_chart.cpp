// Chart interaction on the main window: zoom steps, paging through the
// ring, the ruler cursor and the Y-range editor.
#include "core/numbers.h"
#include "tst_mainwindow_fixture.h"

#include <QtTest>

namespace {
const QDateTime kNow(QDate(2026, 3, 12), QTime(18, 42, 5));
}

class TestMainWindowChart : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void zoomSteps_data();
    void zoomSteps();
    void pagingFromId1000();
    void pagingWrappedRing();
    void pageForwardToLive();
    void pagingStopsAtRingSize();
    void rulerSlot_data();
    void rulerSlot();
    void rulerEndsPage();
    void rulerOnOff();
    void yRangeEditor_data();
    void yRangeEditor();

private:
    std::unique_ptr<InstrumentSession> m_session; // a fresh one for each test
};

void TestMainWindowChart::init()
{
    m_session = std::make_unique<InstrumentSession>();
    m_session->clock.Set([] { return kNow; });
}

void TestMainWindowChart::cleanup()
{
    m_session.reset();
}

void TestMainWindowChart::zoomSteps_data()
{
    // A walk out to level 4 and back in; each row is one more press.
    QTest::addColumn<QList<int>>("presses"); // +1 zoom out (F1), -1 zoom in (F2)
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("slider");
    QTest::addColumn<bool>("in");
    QTest::addColumn<bool>("out");
    QTest::newRow("1 -> 2") << QList<int>{1} << 2 << 75 << true << true;
    QTest::newRow("-> 3") << QList<int>{1, 1} << 3 << 50 << true << true;
    QTest::newRow("-> 4") << QList<int>{1, 1, 1} << 4 << 38 << true << false;
    QTest::newRow("-> 4, F1 refused") << QList<int>{1, 1, 1, 1} << 4 << 38 << true << false;
    QTest::newRow("4 -> 3") << QList<int>{1, 1, 1, -1} << 3 << 50 << true << true;
    QTest::newRow("-> 2") << QList<int>{1, 1, 1, -1, -1} << 2 << 75 << true << true;
    QTest::newRow("-> 1") << QList<int>{1, 1, 1, -1, -1, -1} << 1 << 150 << false << true;
    QTest::newRow("-> 1, F2 refused") << QList<int>{1, 1, 1, -1, -1, -1, -1} << 1 << 150 << false << true;
}

void TestMainWindowChart::zoomSteps()
{
    QFETCH(QList<int>, presses);
    QFETCH(int, zoom);
    QFETCH(int, slider);
    QFETCH(bool, in);
    QFETCH(bool, out);
    Db_Fixture db;
    QVERIFY(db.Fill(1, 600));
    auto w = Load_Window(*m_session);
    for (int p : presses)
        w->Form_KeyDown(p > 0 ? Qt::Key_F1 : Qt::Key_F2);
    QCOMPARE(int(w->Cht.Chart_Zoom), zoom);
    QCOMPARE(w->hc->singleStep(), slider);
    QCOMPARE(w->hc->pageStep(), slider);
    QCOMPARE(w->Command3->isEnabled(), in);
    QCOMPARE(w->Command4->isEnabled(), out);
    QCOMPARE(int(w->Cht.Chart_End), 241); // the buffer is untouched
    QCOMPARE(w->Cht.Chart_Val[241][0], 600.0f);
}

void TestMainWindowChart::pagingFromId1000()
{
    Db_Fixture db;
    QVERIFY(db.Fill(1, 1000));
    auto w = Load_Window(*m_session);
    const Chart &c = w->Cht;
    QVERIFY(w->Form_KeyDown(Qt::Key_F7));
    QCOMPARE(c.Win_Last_Id, 940);
    QCOMPARE(c.Load_Count, 321);
    QCOMPARE(int(c.Chart_End), 321);
    QCOMPARE(c.Chart_Val[1][0], 620.0f);
    QCOMPARE(c.Chart_Val[321][0], 940.0f);
    QVERIFY(!w->Chart_Live());
    QVERIFY(w->Command7->isEnabled());
    for (int end = 880; end >= 340; end -= 60) {
        QVERIFY(w->Form_KeyDown(Qt::Key_F7));
        QCOMPARE(c.Win_Last_Id, end);
        QCOMPARE(c.Chart_Val[321][0], float(end));
        QCOMPARE(c.Chart_Val[1][0], float(end - 320));
    }
    QCOMPARE(int(c.Page_Back), 11);
    // n = 720: 1000 - 720 = 280 <= 321, the limit. Nothing is loaded or drawn.
    w->Cht.Chart_Val[5][0] = -1234; // would be overwritten by a load
    const QImage before = w->pt->Picture().copy();
    QVERIFY(w->Form_KeyDown(Qt::Key_F7));
    QCOMPARE(int(c.Page_Back), 12);
    QCOMPARE(int(c.Page_Limit), -1);
    QVERIFY(!w->Command8->isEnabled());
    QCOMPARE(c.Win_Last_Id, 340);
    QCOMPARE(c.Chart_Val[5][0], -1234.0f);
    QCOMPARE(w->pt->Picture(), before);
    // F7 is now ignored.
    QVERIFY(!w->Form_KeyDown(Qt::Key_F7));
    QCOMPARE(int(c.Page_Back), 12);
    // F6 reloads the page ending at 340 and frees F7 again.
    QVERIFY(w->Form_KeyDown(Qt::Key_F6));
    QCOMPARE(int(c.Page_Back), 11);
    QCOMPARE(c.Win_Last_Id, 340);
    QCOMPARE(c.Chart_Val[5][0], 24.0f);
    QVERIFY(w->Command8->isEnabled());
    QCOMPARE(int(c.Page_Limit), 0);
    QVERIFY(!w->Chart_Live());
}

void TestMainWindowChart::pagingWrappedRing()
{
    Db_Fixture db;
    // The ring ran full and wrapped: 31..65500 are older than 1..30.
    QVERIFY(db.Fill(31, 65500, db.start, 65500));
    QVERIFY(db.Fill(1, 30, db.start.addSecs(65500 - 31 + 1), 30));
    auto w = Load_Window(*m_session);
    QCOMPARE(w->Cht.Cur_Id, 30);
    // The live window crosses the ring's end: 65290..65500 then 1..30.
    QCOMPARE(w->Cht.Chart_Val[1][0], 65290.0f);
    QCOMPARE(w->Cht.Chart_Val[211][0], 65500.0f);
    QCOMPARE(w->Cht.Chart_Val[241][0], 30.0f);
    w->Command8_Click();
    QCOMPARE(w->Cht.Win_Last_Id, 65470);
    QCOMPARE(w->Cht.Chart_Val[1][0], 65150.0f);
    QCOMPARE(w->Cht.Chart_Val[321][0], 65470.0f);
    QVERIFY(w->Command8->isEnabled());
}

void TestMainWindowChart::pageForwardToLive()
{
    Db_Fixture db;
    QVERIFY(db.Fill(1, 1000));
    auto w = Load_Window(*m_session);
    w->Command8_Click();
    QCOMPARE(w->Cht.Win_Last_Id, 940);
    QVERIFY(db.Fill(1001, 1010)); // logged while paging
    w->Command7_Click();
    const Chart &c = w->Cht;
    QCOMPARE(int(c.Page_Back), 0);
    QCOMPARE(c.Cur_Id, 1010);
    QCOMPARE(c.Win_Last_Id, 1010);
    QCOMPARE(c.Load_Count, 241);
    QCOMPARE(int(c.Chart_End), 241);
    QCOMPARE(c.Chart_Val[241][0], 1010.0f);
    QVERIFY(!w->Command7->isEnabled());
    QVERIFY(w->Command8->isEnabled());
    QVERIFY(w->Chart_Live());
    QVERIFY(!w->Form_KeyDown(Qt::Key_F6));

    // From the limit all the way back: F7 is enabled again.
    w.reset();
    Db_Fixture small;
    QVERIFY(small.Fill(1, 400));
    auto v = Load_Window(*m_session);
    v->Command8_Click(); // 400 - 60 = 340 > 321: page ending 340
    QCOMPARE(v->Cht.Win_Last_Id, 340);
    v->Command8_Click(); // 400 - 120 = 280: limit
    QVERIFY(!v->Command8->isEnabled());
    v->Command7_Click();
    v->Command7_Click();
    QCOMPARE(int(v->Cht.Page_Back), 0);
    QVERIFY(v->Command8->isEnabled());
    QCOMPARE(int(v->Cht.Page_Limit), 0);
    QCOMPARE(v->Cht.Chart_Val[241][0], 400.0f);
}

void TestMainWindowChart::pagingStopsAtRingSize()
{
    Db_Fixture db;
    QVERIFY(db.Fill(1, 30)); // wrapped ring case: Cur_Id below every page
    auto w = Load_Window(*m_session);
    w->Cht.Page_Back = 1085; // n = 65160 on the next press: still inside
    w->Command8_Click();
    QVERIFY(w->Command8->isEnabled());
    QCOMPARE(w->Cht.Win_Last_Id, 65500 - (65160 - 30));
    w->Command8_Click(); // n = 65220: the page would reach the newest records
    QVERIFY(!w->Command8->isEnabled());
    QCOMPARE(int(w->Cht.Page_Limit), -1);

    // A newest id from an edited file pages without overflowing.
    w->Cht.Page_Back = 0;
    w->Cht.Page_Limit = 0;
    w->Cht.Cur_Id = INT32_MIN;
    w->Command8_Click();
    QCOMPARE(w->Cht.Win_Last_Id, int32_t(65500 - 60 - 2147483648LL));
}

void TestMainWindowChart::rulerSlot_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("slot");
    QTest::newRow("level 1 at 4500") << 1 << 4500 << 210;
    QTest::newRow("level 4 at 4500") << 4 << 4500 << 120;
    QTest::newRow("75 rounds to 0") << 1 << 75 << 180;
    QTest::newRow("225 rounds to 2") << 1 << 225 << 182;
    QTest::newRow("12001 live, no paging") << 1 << 12001 << 260;
    QTest::newRow("level 2 at 9000") << 2 << 9000 << 240;
    QTest::newRow("level 4 at 38") << 4 << 38 << 1;
}

void TestMainWindowChart::rulerSlot()
{
    QFETCH(int, zoom);
    QFETCH(int, value);
    QFETCH(int, slot);
    Db_Fixture db;
    QVERIFY(db.Fill(1, 1000));
    auto w = Load_Window(*m_session);
    for (int z = 1; z < zoom; ++z)
        w->Command4_Click();
    w->Command5_Click();
    w->hc->setValue(value);
    QCOMPARE(int(w->Cht.Page_Back), 0);
    const Line_Ctl &l = w->pt->Line1;
    QCOMPARE(l.Colour, QColor(0xC0, 0x00, 0xC0));
    QCOMPARE(l.Width, 2);
    QCOMPARE(l.X1, double(value));
    QCOMPARE(l.X2, double(value));
    QCOMPARE(l.Y1, 0.0);
    QCOMPARE(l.Y2, 7500.0);
    const Chart &c = w->Cht;
    if (slot <= 241) { // a live slot: record 759 + slot
        QCOMPARE(w->D_3W[0]->text(), QString::number(759 + slot));
        QCOMPARE(w->D_3W[1]->text(), Num_Text(c.Chart_Val[slot][1]));
        QCOMPARE(w->D_3W[4]->text(), QStringLiteral("7"));
        QCOMPARE(w->Label2_9->text(), Date_Text(c.Chart_Date[slot]));
        QCOMPARE(w->Label2_10->text(), Time_Text(c.Chart_Time[slot]));
    } else { // no record there yet: nothing that looks like one
        for (QLabel *l : w->D_3W)
            QCOMPARE(l->text(), QStringLiteral("—"));
        QCOMPARE(w->Label2_9->text(), QStringLiteral("无记录"));
        QCOMPARE(w->Label2_10->text(), QStringLiteral("--:--:--"));
    }
    const QColor yellow(0xFF, 0xFF, 0);
    QCOMPARE(w->D_3W[3]->palette().color(QPalette::Window), yellow);
    QCOMPARE(w->Label2_10->palette().color(QPalette::Window), yellow);
}

void TestMainWindowChart::rulerEndsPage()
{
    Db_Fixture db;
    QVERIFY(db.Fill(1, 1000));
    auto w = Load_Window(*m_session);
    w->Command5_Click();
    w->hc->setValue(-1); // pages back
    QCOMPARE(int(w->Cht.Page_Back), 1);
    QCOMPARE(w->Cht.Win_Last_Id, 940);
    QCOMPARE(w->pt->Line1.X1, -1.0);
    QCOMPARE(w->D_3W[0]->text(), QStringLiteral("799")); // slot 180 of 620..940
    w->hc->setValue(12001); // pages forward, back to the live window
    QCOMPARE(int(w->Cht.Page_Back), 0);
    QCOMPARE(w->Cht.Win_Last_Id, 1000);
    QCOMPARE(w->D_3W[0]->text(), QStringLiteral("—")); // slot 260: no record yet
    // Back at the live window the ruler still freezes the chart: no live
    // refresh may overwrite its read-out until the ruler is switched off.
    QVERIFY(!w->Chart_Live());
    m_session->live.Val_3X[0] = 4321;
    w->Timer1_Timer();
    QCOMPARE(w->D_3W[0]->text(), QStringLiteral("—"));
    w->Command5_Click();
    QVERIFY(w->Chart_Live());
    QCOMPARE(w->D_3W[0]->text(), QStringLiteral("4321"));
}

void TestMainWindowChart::rulerOnOff()
{
    Db_Fixture db;
    QVERIFY(db.Fill(1, 500));
    auto w = Load_Window(*m_session);
    w->show();
    QVERIFY(w->Form_KeyDown(Qt::Key_F4));
    QCOMPARE(int(w->Cht.Ruler_On), -1);
    QCOMPARE(w->Command5->text(), QStringLiteral("F4 复原"));
    QVERIFY(w->hc->isEnabled());
    QVERIFY(!w->Chart_Live());
    QVERIFY(w->Timer2.isActive());
    QCOMPARE(w->pt->Line1.Colour, QColor(0xFF, 0xFF, 0x00));
    QCOMPARE(w->pt->Line1.X1, 1.0);
    QCOMPARE(w->pt->Line1.Y2, 330.0);
    // Records logged while frozen; the buffer does not move.
    QVERIFY(db.Fill(501, 530));
    w->Cht.Chart_Val[7][0] = -1; // a reload overwrites it
    QCOMPARE(w->Cht.Cur_Id, 500);
    QVERIFY(w->Form_KeyDown(Qt::Key_F4));
    QCOMPARE(int(w->Cht.Ruler_On), 0);
    QCOMPARE(w->Command5->text(), QStringLiteral("F4 标尺"));
    QVERIFY(!w->hc->isEnabled());
    QCOMPARE(w->hc->value(), 0);
    QVERIFY(!(w->hc->focusPolicy() & Qt::TabFocus));
    QVERIFY(w->Chart_Live());
    QCOMPARE(w->pt->Line1.Colour, QColor(0x00, 0xFF, 0x00));
    QCOMPARE(w->pt->Line1.X1, 0.0);
    // Caught up with everything logged meanwhile.
    QCOMPARE(w->Cht.Cur_Id, 530);
    QCOMPARE(w->Cht.Chart_Val[241][0], 530.0f);
    QCOMPARE(w->Cht.Chart_Val[7][0], 296.0f);
    QCOMPARE(int(w->Cht.Chart_End), 241);
    // Paging state survives the ruler.
    QCOMPARE(int(w->Cht.Page_Back), 0);
}

void TestMainWindowChart::yRangeEditor_data()
{
    QTest::addColumn<QString>("maxText");
    QTest::addColumn<QString>("minText");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("span");
    QTest::addColumn<QString>("message");
    QTest::newRow("1000 over 200") << "1000" << "200" << true << 200 << 1000 << 800 << QString();
    QTest::newRow("12abc over -5") << "12abc" << "-5" << true << -5 << 12 << 17 << QString();
    QTest::newRow("500 over 500") << "500" << "500" << false << 0 << 0 << 1500
                                  << QStringLiteral("最小值须小于最大值");
    QTest::newRow("36001") << "36001" << "0" << false << 0 << 0 << 1500
                           << QStringLiteral("最大值须在 -12000 到 36000 之间");
    QTest::newRow("empty max") << "" << "0" << false << 0 << 0 << 1500 << QStringLiteral("最小值须小于最大值");
    QTest::newRow("min 35001") << "36000" << "35001" << false << 0 << 0 << 1500
                               << QStringLiteral("最小值须在 -12000 到 35000 之间");
    QTest::newRow("30000 over -12000 whole") << "30000" << "-12000" << false << 0 << 0 << 1500
                                             << QStringLiteral("最大值、最小值及其差须在 -32768 到 32767 之间");
    QTest::newRow("0.4 over 0") << "0.4" << "0" << false << 0 << 0 << 1500
                                << QStringLiteral("最大值与最小值之差取整后为 0");
}

void TestMainWindowChart::yRangeEditor()
{
    QFETCH(QString, maxText);
    QFETCH(QString, minText);
    QFETCH(bool, accepted);
    QFETCH(int, min);
    QFETCH(int, max);
    QFETCH(int, span);
    QFETCH(QString, message);
    Db_Fixture db;
    auto w = Load_Window(*m_session);
    w->show();
    QVERIFY(!w->YKD->isVisible());
    QTest::mouseDClick(w->Label5[3], Qt::LeftButton);
    QVERIFY(w->YKD->isVisible());
    QVERIFY(w->YKD1->isVisible());
    QVERIFY(w->Command26->isVisible());
    QVERIFY(w->Label9->isVisible());
    QCOMPARE(w->YKD1->text(), QStringLiteral("0"));
    w->YKD->setText(maxText);
    w->YKD1->setText(minText);
    QTest::mouseClick(w->Command26, Qt::LeftButton);
    QCOMPARE(int(m_session->yRange.Min), min);
    QCOMPARE(int(m_session->yRange.Max), max);
    QCOMPARE(int(m_session->yRange.Span), span);
    QCOMPARE(w->Y_Msg->isVisible(), !accepted);
    QCOMPARE(w->Y_Msg->text(), message);
    if (accepted) {
        w->Timer1_Timer();
        QCOMPARE(w->Label5[0]->text(), QString::number(min));
        QCOMPARE(w->Label5[6]->text(), QString::number(max));
    } else {
        // A good entry afterwards clears the message.
        w->YKD->setText(QStringLiteral("800"));
        w->YKD1->setText(QStringLiteral("-200"));
        w->Command26_Click();
        QCOMPARE(int(m_session->yRange.Span), 1000);
        QVERIFY(!w->Y_Msg->isVisible());
    }
    QVERIFY(w->YKD->isVisible()); // the editor stays
}

QTEST_MAIN(TestMainWindowChart)
#include "tst_mainwindow_chart.moc"
