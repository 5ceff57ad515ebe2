// Chart interaction on the main window: the zoom and paging controls and
// keys, pages from the database, the ruler's cursor and read-outs and the
// Y-range editor. The chart's own rules are tested in tst_chartcontroller.
#include "app/historywindow.h"
#include "core/numbers.h"
#include "testsupport.h"
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
    void zoomControlsFollow();
    void pagingWrappedRing();
    void pagingThroughTheDatabase();
    void rulerSlot_data();
    void rulerSlot();
    void rulerEndsPage();
    void rulerOnOff();
    void yRangeEditor_data();
    void yRangeEditor();
    void printAndHistory();

private:
    std::unique_ptr<InstrumentSession> m_session; // a fresh one for each test
};

void TestMainWindowChart::init()
{
    m_session = std::make_unique<InstrumentSession>();
    m_session->clock.set([] { return kNow; });
}

void TestMainWindowChart::cleanup()
{
    m_session.reset();
}

// The zoom buttons, their keys and the ruler slider's step follow the
// zoom level; a refused key does nothing.
void TestMainWindowChart::zoomControlsFollow()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 600));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto *in = control<QPushButton>(*w, "Command3");
    auto *out = control<QPushButton>(*w, "Command4");
    auto *hc = control<QSlider>(*w, "hc");
    struct Step {
        Qt::Key key;
        int zoom, slider;
    };
    // Out to level 4 and one more F1, back in to 1 and one more F2.
    const Step walk[] = {{Qt::Key_F1, 2, 75}, {Qt::Key_F1, 3, 50}, {Qt::Key_F1, 4, 38}, {Qt::Key_F1, 4, 38},
                         {Qt::Key_F2, 3, 50}, {Qt::Key_F2, 2, 75}, {Qt::Key_F2, 1, 150}, {Qt::Key_F2, 1, 150}};
    for (const Step &s : walk) {
        QTest::keyClick(control<QComboBox>(*w, "Combo1"), s.key);
        QCOMPARE(int(w->chart().Chart_Zoom), s.zoom);
        QCOMPARE(hc->singleStep(), s.slider);
        QCOMPARE(hc->pageStep(), s.slider);
        QCOMPARE(in->isEnabled(), s.zoom > 1);
        QCOMPARE(out->isEnabled(), s.zoom < 4);
    }
}

void TestMainWindowChart::pagingWrappedRing()
{
    TempDatabase db;
    // The ring ran full and wrapped: 31..65500 are older than 1..30.
    QVERIFY(fillRecords(db, 31, 65500, kRecordStart, 65500));
    QVERIFY(fillRecords(db, 1, 30, kRecordStart.addSecs(65500 - 31 + 1), 30));
    auto w = loadWindow(*m_session);
    QCOMPARE(w->chart().Cur_Id, 30);
    // The live window crosses the ring's end: 65290..65500 then 1..30.
    QCOMPARE(w->chart().Chart_Val[1][0], 65290.0f);
    QCOMPARE(w->chart().Chart_Val[211][0], 65500.0f);
    QCOMPARE(w->chart().Chart_Val[241][0], 30.0f);
    w->Command8_Click();
    QCOMPARE(w->chart().Win_Last_Id, 65470);
    QCOMPARE(w->chart().Chart_Val[1][0], 65150.0f);
    QCOMPARE(w->chart().Chart_Val[321][0], 65470.0f);
    QVERIFY(control<QPushButton>(*w, "Command8")->isEnabled());
}

// Paging back to the limit and forward to live through the keys: the pages
// come from the database, the buttons follow, a refused page draws nothing,
// and the way back to live reads the newest record again.
void TestMainWindowChart::pagingThroughTheDatabase()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    auto *back = control<QPushButton>(*w, "Command8");
    auto *forward = control<QPushButton>(*w, "Command7");
    auto *focus = control<QComboBox>(*w, "Combo1");
    const Chart &c = w->chart();
    QTest::keyClick(focus, Qt::Key_F7); // 400 - 60 = 340 > 321: the page ending 340
    QCOMPARE(c.Win_Last_Id, 340);
    QCOMPARE(c.Chart_Val[1][0], 20.0f);
    QCOMPARE(c.Chart_Val[321][0], 340.0f);
    QVERIFY(forward->isEnabled());
    QVERIFY(!w->chartLive());
    const QImage before = control<PtBox>(*w, "pt")->picture().copy();
    QTest::keyClick(focus, Qt::Key_F7); // 400 - 120 = 280: the limit
    QCOMPARE(int(c.Page_Back), 2);
    QVERIFY(!back->isEnabled());
    QCOMPARE(control<PtBox>(*w, "pt")->picture(), before);
    QTest::keyClick(focus, Qt::Key_F7); // refused
    QCOMPARE(int(c.Page_Back), 2);
    QTest::keyClick(focus, Qt::Key_F6); // the page ending 340 again
    QCOMPARE(int(c.Page_Back), 1);
    QVERIFY(back->isEnabled());
    QVERIFY(fillRecords(db, 401, 410)); // logged while paging
    QTest::keyClick(focus, Qt::Key_F6);
    QCOMPARE(int(c.Page_Back), 0);
    QCOMPARE(c.Cur_Id, 410);
    QCOMPARE(c.Chart_Val[241][0], 410.0f);
    QVERIFY(!forward->isEnabled());
    QVERIFY(w->chartLive());
    QVERIFY(!w->Form_KeyDown(Qt::Key_F6));
}

void TestMainWindowChart::rulerSlot_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("slot");
    QTest::newRow("a record: level 1 at 4500") << 1 << 4500 << 210;
    QTest::newRow("a record: level 4 at 38") << 4 << 38 << 1;
    QTest::newRow("no record yet: 12001 live") << 1 << 12001 << 260;
}

void TestMainWindowChart::rulerSlot()
{
    QFETCH(int, zoom);
    QFETCH(int, value);
    QFETCH(int, slot);
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 1000));
    auto w = loadWindow(*m_session);
    for (int z = 1; z < zoom; ++z)
        w->Command4_Click();
    w->Command5_Click();
    control<QSlider>(*w, "hc")->setValue(value);
    QCOMPARE(int(w->chart().Page_Back), 0);
    const LineCtl &l = control<PtBox>(*w, "pt")->Line1;
    QCOMPARE(l.Colour, QColor(0xC0, 0x00, 0xC0));
    QCOMPARE(l.Width, 2);
    QCOMPARE(l.X1, double(value));
    QCOMPARE(l.X2, double(value));
    QCOMPARE(l.Y1, 0.0);
    QCOMPARE(l.Y2, 7500.0);
    const Chart &c = w->chart();
    if (slot <= 241) { // a live slot: record 759 + slot
        QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), QString::number(759 + slot));
        QCOMPARE(control<FitLabel>(*w, "D_3W", 1)->text(), numText(c.Chart_Val[slot][1]));
        QCOMPARE(control<FitLabel>(*w, "D_3W", 4)->text(), QStringLiteral("7"));
        QCOMPARE(control<FitLabel>(*w, "Label2(9)")->text(), dateText(c.Chart_Date[slot]));
        QCOMPARE(control<FitLabel>(*w, "Label2(10)")->text(), timeText(c.Chart_Time[slot]));
    } else { // no record there yet: nothing that looks like one
        for (int i = 0; i < 5; ++i)
            QCOMPARE(control<FitLabel>(*w, "D_3W", i)->text(), QStringLiteral("—"));
        QCOMPARE(control<FitLabel>(*w, "Label2(9)")->text(), QStringLiteral("无记录"));
        QCOMPARE(control<FitLabel>(*w, "Label2(10)")->text(), QStringLiteral("--:--:--"));
    }
    const QColor yellow(0xFF, 0xFF, 0);
    QCOMPARE(control<FitLabel>(*w, "D_3W", 3)->palette().color(QPalette::Window), yellow);
    QCOMPARE(control<FitLabel>(*w, "Label2(10)")->palette().color(QPalette::Window), yellow);
}

void TestMainWindowChart::rulerEndsPage()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 1000));
    auto w = loadWindow(*m_session);
    w->Command5_Click();
    control<QSlider>(*w, "hc")->setValue(-1); // pages back
    QCOMPARE(int(w->chart().Page_Back), 1);
    QCOMPARE(w->chart().Win_Last_Id, 940);
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.X1, -1.0);
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), QStringLiteral("799")); // slot 180 of 620..940
    control<QSlider>(*w, "hc")->setValue(12001); // pages forward, back to the live window
    QCOMPARE(int(w->chart().Page_Back), 0);
    QCOMPARE(w->chart().Win_Last_Id, 1000);
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), QStringLiteral("—")); // slot 260: no record yet
    // Back at the live window the ruler still freezes the chart: no live
    // refresh may overwrite its read-out until the ruler is switched off.
    QVERIFY(!w->chartLive());
    m_session->live.Val_3X[0] = 4321;
    w->Timer1_Timer();
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), QStringLiteral("—"));
    w->Command5_Click();
    QVERIFY(w->chartLive());
    QCOMPARE(control<FitLabel>(*w, "D_3W", 0)->text(), QStringLiteral("4321"));
}

void TestMainWindowChart::rulerOnOff()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 500));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(w->Form_KeyDown(Qt::Key_F4));
    QCOMPARE(int(w->chart().Ruler_On), -1);
    QCOMPARE(control<QPushButton>(*w, "Command5")->text(), QStringLiteral("F4 复原"));
    QVERIFY(control<QSlider>(*w, "hc")->isEnabled());
    QVERIFY(!w->chartLive());
    QVERIFY(control<QTimer>(*w, "Timer2")->isActive());
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.Colour, QColor(0xFF, 0xFF, 0x00));
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.X1, 1.0);
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.Y2, 330.0);
    // Records logged while frozen; the buffer does not move.
    QVERIFY(fillRecords(db, 501, 530));
    QCOMPARE(w->chart().Cur_Id, 500);
    QVERIFY(w->Form_KeyDown(Qt::Key_F4));
    QCOMPARE(int(w->chart().Ruler_On), 0);
    QCOMPARE(control<QPushButton>(*w, "Command5")->text(), QStringLiteral("F4 标尺"));
    QVERIFY(!control<QSlider>(*w, "hc")->isEnabled());
    QCOMPARE(control<QSlider>(*w, "hc")->value(), 0);
    QVERIFY(!(control<QSlider>(*w, "hc")->focusPolicy() & Qt::TabFocus));
    QVERIFY(w->chartLive());
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.Colour, QColor(0x00, 0xFF, 0x00));
    QCOMPARE(control<PtBox>(*w, "pt")->Line1.X1, 0.0);
    // Caught up with everything logged meanwhile.
    QCOMPARE(w->chart().Cur_Id, 530);
    QCOMPARE(w->chart().Chart_Val[241][0], 530.0f);
    QCOMPARE(w->chart().Chart_Val[7][0], 296.0f); // was 266
    QCOMPARE(int(w->chart().Chart_End), 241);
    // Paging state survives the ruler.
    QCOMPARE(int(w->chart().Page_Back), 0);
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
    TempDatabase db;
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(!control<QLineEdit>(*w, "YKD")->isVisible());
    QTest::mouseDClick(control<FitLabel>(*w, "Label5", 3), Qt::LeftButton);
    QVERIFY(control<QLineEdit>(*w, "YKD")->isVisible());
    QVERIFY(control<QLineEdit>(*w, "YKD1")->isVisible());
    QVERIFY(control<QPushButton>(*w, "Command26")->isVisible());
    QVERIFY(control<QLabel>(*w, "Label9")->isVisible());
    QCOMPARE(control<QLineEdit>(*w, "YKD1")->text(), QStringLiteral("0"));
    control<QLineEdit>(*w, "YKD")->setText(maxText);
    control<QLineEdit>(*w, "YKD1")->setText(minText);
    QTest::mouseClick(control<QPushButton>(*w, "Command26"), Qt::LeftButton);
    QCOMPARE(int(m_session->yRange.Min), min);
    QCOMPARE(int(m_session->yRange.Max), max);
    QCOMPARE(int(m_session->yRange.Span), span);
    QCOMPARE(control<FitLabel>(*w, "yMsg")->isVisible(), !accepted);
    QCOMPARE(control<FitLabel>(*w, "yMsg")->text(), message);
    if (accepted) {
        w->Timer1_Timer();
        QCOMPARE(control<FitLabel>(*w, "Label5", 0)->text(), QString::number(min));
        QCOMPARE(control<FitLabel>(*w, "Label5", 6)->text(), QString::number(max));
    } else {
        // A good entry afterwards clears the message.
        control<QLineEdit>(*w, "YKD")->setText(QStringLiteral("800"));
        control<QLineEdit>(*w, "YKD1")->setText(QStringLiteral("-200"));
        w->Command26_Click();
        QCOMPARE(int(m_session->yRange.Span), 1000);
        QVERIFY(!control<FitLabel>(*w, "yMsg")->isVisible());
    }
    QVERIFY(control<QLineEdit>(*w, "YKD")->isVisible()); // the editor stays
}

QTEST_MAIN(TestMainWindowChart)
// F3's page holds the chart as shown under its header; F5 opens the history
// window on the same database, which finds the window's records.
void TestMainWindowChart::printAndHistory()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 600, kNow.addSecs(-600), 600));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("main.pdf"));
    QString error;
    QVERIFY2(w->writeChartPdf(pdf, &error), qPrintable(error));
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("poppler-utils not installed");
    const QString text = QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}));
    for (const QString &s : {QStringLiteral("趋势曲线"), QStringLiteral("变送值 DA"),
                             QStringLiteral("2026-03-12 18:38:04 至 2026-03-12 18:42:04")}) // the 241 records shown
        QVERIFY2(text.contains(s), qPrintable(s + QStringLiteral(" not in: ") + text));
    QVERIFY(runTool(QStringLiteral("pdfinfo"), {pdf}).contains("842 x 595"));

    QTest::keyClick(w.get(), Qt::Key_F5);
    auto *history = w->findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
    QVERIFY(history);
    QVERIFY(history->isVisible());
    auto *plot = history->findChild<HistoryPlotView *>(QStringLiteral("historyPlot"));
    QVERIFY(plot);
    QTRY_VERIFY(plot->data() && !history->isLoading());
    QCOMPARE(plot->data()->records.size(), size_t(600));
    QCOMPARE(plot->data()->records.back().values[0], w->chart().Chart_Val[kLiveLoad][0]);
}

#include "tst_mainwindow_chart.moc"
