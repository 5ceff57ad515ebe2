// The main window's link controls and status panel, with the acquisition
// window polling the real simulator.

#include "app/session.h"
#include "app/ssqx.h"
#include "testsupport.h"
#include "tst_mainwindow_fixture.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class TestAcquisition : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void loadFillsLinkControls();
    void openWithDefaults();
    void portAndStationText_data();
    void portAndStationText();
    void openFailureIsShown();
    void openRefusedWhileHeldElsewhere();
    void closeWithoutOpen();
    void closeRightAfterFailedOpen();
    void closeClosesThePortThatWasOpened();
    void liveValuesAndStatusCells();
    void showLiveCells_data();
    void showLiveCells();
    void silentInstrumentShowsInterrupted();
    void healthFollowsOpenTicksAndClock();
    void reopenOverwritesAllValues();
    void escapeExits();

private:
    void openAndWait();
    void tick();

    QTemporaryDir m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<InstrumentSession> m_session; // a fresh one for each test
    std::unique_ptr<ssqx> m_win;
};

void TestAcquisition::initTestCase()
{
    QVERIFY(m_dir.isValid());
    qputenv("QR5300M_DB", (m_dir.path() + "/Rdatabj.db").toLocal8Bit());
    m_sim = startFrozenSim(m_dir.path());
    QVERIFY(m_sim);
}

void TestAcquisition::cleanupTestCase()
{
    m_sim.reset();
}

void TestAcquisition::init()
{
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    QVERIFY(m_sim->command("auto").startsWith("ok"));
    m_session = std::make_unique<InstrumentSession>();
    m_win = std::make_unique<ssqx>(*m_session);
    m_win->Form_Load();
}

void TestAcquisition::cleanup()
{
    m_win->Command10_Click();
    QTRY_COMPARE(m_session->link.pending(), 0);
    m_win.reset();
    m_session.reset();
}

void TestAcquisition::openAndWait()
{
    m_win->Command9_Click();
    QTRY_COMPARE(m_session->link.pending(), 0);
}

void TestAcquisition::tick()
{
    QSignalSpy done(&m_session->met1, &Met1::tickDone);
    m_session->met1.Timer1_Timer();
    QVERIFY(done.wait(3000));
}

void TestAcquisition::loadFillsLinkControls()
{
    // The twenty port numbers, then whatever serial ports this machine has.
    QVERIFY(control<QComboBox>(*m_win, "Combo1")->count() >= 20);
    QCOMPARE(control<QComboBox>(*m_win, "Combo1")->itemText(0), QStringLiteral("1 "));
    QCOMPARE(control<QComboBox>(*m_win, "Combo1")->itemText(19), QStringLiteral("20 "));
    QCOMPARE(control<QComboBox>(*m_win, "Combo1")->currentText(), QStringLiteral("1 "));
    QCOMPARE(control<QComboBox>(*m_win, "Combo2")->count(), 16);
    QCOMPARE(control<QComboBox>(*m_win, "Combo2")->itemText(15), QStringLiteral("16 "));
    QCOMPARE(control<QComboBox>(*m_win, "Combo2")->currentText(), QStringLiteral("1 "));
    QVERIFY(control<QRadioButton>(*m_win, "Option1", 1)->isChecked());
    QVERIFY(control<QRadioButton>(*m_win, "Option2", 0)->isChecked());
    QCOMPARE(control<FitLabel>(*m_win, "portDev")->text(), m_dir.path() + "/COM1");
    QVERIFY(control<QPushButton>(*m_win, "Command21")->isEnabled());
    // Controls are found by their names.
    QVERIFY(m_win->findChild<QLabel *>("D_2R(11)"));
    QVERIFY(m_win->findChild<QLabel *>("D_3W(4)"));
    QCOMPARE(m_win->findChild<QLabel *>("D_2R(0)")->text(), QStringLiteral("报警一OFF"));
    QCOMPARE(control<QComboBox>(*m_win, "Combo1")->accessibleName(), QStringLiteral("通讯端口"));
    QCOMPARE(m_win->windowTitle(), QStringLiteral("过程控制仪表 QR5300M  OverView"));
}

void TestAcquisition::openWithDefaults()
{
    openAndWait();
    QCOMPARE(m_session->settings.Link_Par[0], 1);
    QCOMPARE(m_session->settings.Link_Par[1], 1);
    QCOMPARE(m_session->settings.Link_Par[2], 0);
    QCOMPARE(m_session->settings.Link_Par[3], 1);
    QCOMPARE(m_session->settings.Link_Par[20], kModbusOk);
    QVERIFY(m_session->met1.Timer1.isActive());
    QVERIFY(control<QPushButton>(*m_win, "Command21")->isEnabled());
    control<QRadioButton>(*m_win, "Option1", 2)->setChecked(true);
    control<QRadioButton>(*m_win, "Option2", 2)->setChecked(true);
    openAndWait(); // a second open reads the controls again
    QCOMPARE(m_session->settings.Link_Par[1], 2);
    QCOMPARE(m_session->settings.Link_Par[2], 2);
    QCOMPARE(m_session->settings.Link_Par[20], kModbusOk);
}

void TestAcquisition::portAndStationText_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("station");
    QTest::addColumn<int>("portNo");
    QTest::addColumn<int>("stationNo");
    QTest::newRow("digits then letters") << QStringLiteral("12abc") << QStringLiteral("3 ") << 12 << 3;
    QTest::newRow("letters first") << QStringLiteral("COM3") << QStringLiteral("16 ") << 0 << 16;
    QTest::newRow("fraction rounds to even") << QStringLiteral("2.5") << QStringLiteral("1.5") << 2 << 2;
    QTest::newRow("huge does not overflow") << QStringLiteral("99999999999") << QStringLiteral("") << 0 << 0;
}

void TestAcquisition::portAndStationText()
{
    QFETCH(QString, port);
    QFETCH(QString, station);
    QFETCH(int, portNo);
    QFETCH(int, stationNo);
    control<QComboBox>(*m_win, "Combo1")->setEditText(port);
    control<QComboBox>(*m_win, "Combo2")->setEditText(station);
    openAndWait();
    QCOMPARE(m_session->settings.Link_Par[0], portNo);
    QCOMPARE(m_session->settings.Link_Par[3], stationNo);
    QVERIFY(m_session->settings.Link_Par[20] != kModbusOk); // none of these ports exists
}

void TestAcquisition::openFailureIsShown()
{
    control<QComboBox>(*m_win, "Combo1")->setEditText(QStringLiteral("5 "));
    QCOMPARE(control<FitLabel>(*m_win, "portDev")->text(), m_dir.path() + "/COM5");
    openAndWait();
    QCOMPARE(m_session->settings.Link_Par[20], kOpenNoDevice);
    QVERIFY2(control<FitLabel>(*m_win, "linkState")->text().contains(QStringLiteral("打开失败")), qPrintable(control<FitLabel>(*m_win, "linkState")->text()));
    QVERIFY(control<FitLabel>(*m_win, "linkState")->text().contains(m_dir.path() + "/COM5"));
    // The polls go on and fail at once, without reaching any instrument.
    const int reads = simStat(*m_sim, "reads");
    tick();
    QCOMPARE(m_session->met1.failCount(), 1);
    QCOMPARE(simStat(*m_sim, "reads"), reads);
}

void TestAcquisition::openRefusedWhileHeldElsewhere()
{
    ModbusRTU other; // another master already on the line
    QCOMPARE(other.OpenPort_Modbus(1, 1, 0), kModbusOk);
    openAndWait();
    QCOMPARE(m_session->settings.Link_Par[20], kOpenBusy);
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("打开失败：端口已被其他程序占用"));
}

void TestAcquisition::closeWithoutOpen()
{
    m_win->Command10_Click();
    QTRY_COMPARE(m_session->link.pending(), 0);
    QCOMPARE(m_session->settings.Link_Par[0], 0);
    QVERIFY(!m_session->met1.Timer1.isActive());
    QVERIFY(!control<QPushButton>(*m_win, "Command21")->isEnabled());
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯关闭"));
}

// "关闭" pressed before a failing open has answered: the window says the link
// is closed, not that the (earlier) open failed.
void TestAcquisition::closeRightAfterFailedOpen()
{
    control<QComboBox>(*m_win, "Combo1")->setEditText(QStringLiteral("5 "));
    m_win->Command9_Click();
    m_win->Command10_Click();
    QTRY_COMPARE(m_session->link.pending(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(m_session->settings.Link_Par[20], kOpenNoDevice);
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯关闭"));
}

void TestAcquisition::closeClosesThePortThatWasOpened()
{
    openAndWait();
    tick();
    QCOMPARE(m_session->met1.failCount(), 0);
    control<QComboBox>(*m_win, "Combo1")->setEditText(QStringLiteral("2 "));
    m_win->Command10_Click();
    QTRY_COMPARE(m_session->link.pending(), 0);
    QCOMPARE(m_session->settings.Link_Par[0], 1);
    // Port 1 is really closed: a read on it now fails at once.
    bool failed = false;
    m_session->link.Get_3X_DX(1, 1, 1, 16, this, [&](const LinkResult &r) { failed = r.result == kModbusFail; });
    QTRY_VERIFY(failed);
}

void TestAcquisition::liveValuesAndStatusCells()
{
    QVERIFY(m_sim->command("set ir 1 253").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 2 -12").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 3 0").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 4 1300").startsWith("ok"));
    QVERIFY(m_sim->command("set ir 5 -1").startsWith("ok"));
    QVERIFY(m_sim->command("status 0x0F00").startsWith("ok"));
    openAndWait();
    tick();
    m_win->Show_Live();
    const char *expect[5] = {"253", "-12", "0", "1300", "-1"};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(control<FitLabel>(*m_win, "D_3W", i)->text(), QString::fromLatin1(expect[i]));
    for (int k = 0; k < 12; ++k)
        QCOMPARE(control<QLabel>(*m_win, "D_2R", k)->text() != QStringLiteral("   "), k >= 8);
    QCOMPARE(control<QLabel>(*m_win, "D_2R", 9)->text(), QStringLiteral("通道四报警"));
    QCOMPARE(control<QLabel>(*m_win, "D_2R", 8)->palette().color(QPalette::Window), QColor(0xFFC0C0));
    QCOMPARE(control<QLabel>(*m_win, "D_2R", 7)->palette().color(QPalette::Window), QColor(0xC0FFFF));
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯正常"));
}

void TestAcquisition::showLiveCells_data()
{
    QTest::addColumn<int>("cell");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("channel 2 open") << 4 << 1 << QStringLiteral("通道二开路");
    QTest::newRow("other than 1 counts as set") << 0 << -7 << QStringLiteral("通道一报警");
    QTest::newRow("channel 3 short") << 8 << 1 << QStringLiteral("通道三短路");
    QTest::newRow("channel 4 short") << 11 << 2 << QStringLiteral("通道四短路");
}

void TestAcquisition::showLiveCells()
{
    QFETCH(int, cell);
    QFETCH(int, value);
    QFETCH(QString, text);
    m_win->Show_Live();
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(control<QLabel>(*m_win, "D_2R", k)->text(), QStringLiteral("   "));
        QCOMPARE(control<QLabel>(*m_win, "D_2R", k)->palette().color(QPalette::Window), QColor(0xC0FFFF));
    }
    m_session->live.Sta_1X[cell] = value;
    m_win->Show_Live();
    for (int k = 0; k < 12; ++k) {
        QCOMPARE(control<QLabel>(*m_win, "D_2R", k)->text(), k == cell ? text : QStringLiteral("   "));
        QCOMPARE(control<QLabel>(*m_win, "D_2R", k)->palette().color(QPalette::Window), QColor(k == cell ? 0xFFC0C0 : 0xC0FFFF));
    }
    for (int i = 0; i < 5; ++i)
        QCOMPARE(control<FitLabel>(*m_win, "D_3W", i)->text(), QStringLiteral("0"));
}

void TestAcquisition::silentInstrumentShowsInterrupted()
{
    QVERIFY(m_sim->command("set ir 1 400").startsWith("ok"));
    openAndWait();
    tick();
    QVERIFY(m_sim->command("set ir 1 401").startsWith("ok"));
    QVERIFY(m_sim->command("fault silent").startsWith("ok"));
    tick();
    m_win->Show_Live();
    QCOMPARE(control<FitLabel>(*m_win, "D_3W", 0)->text(), QStringLiteral("400"));
    QVERIFY2(control<FitLabel>(*m_win, "linkState")->text().startsWith(QStringLiteral("通讯中断")), qPrintable(control<FitLabel>(*m_win, "linkState")->text()));
    QVERIFY(control<FitLabel>(*m_win, "linkState")->text().contains(QStringLiteral("超时")));
    QVERIFY(m_sim->command("fault none").startsWith("ok"));
    tick();
    m_win->Show_Live();
    QCOMPARE(control<FitLabel>(*m_win, "D_3W", 0)->text(), QStringLiteral("401"));
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯正常"));
}

// The state line follows the acquisition's health as it changes, with no
// timer of the window: open, a good poll, the clock passing two seconds with
// no poll, close.
void TestAcquisition::healthFollowsOpenTicksAndClock()
{
    QDateTime now(QDate(2026, 12, 8), QTime(10, 0, 0));
    m_session->clock.set([&now] { return now; });
    Met1 &met = m_session->met1;
    QSignalSpy spy(&met, &Met1::healthChanged);
    auto health = [&spy] {
        QList<LinkHealth> seen;
        for (const QList<QVariant> &args : spy)
            seen << args.at(0).value<LinkState>().health;
        spy.clear();
        return seen;
    };
    openAndWait();
    tick();
    QTRY_VERIFY(!met.tickBusy());
    QCOMPARE(health(), QList<LinkHealth>({LinkHealth::WaitingFirst, LinkHealth::Ok}));
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯正常"));
    met.checkHealth(); // nothing changed: nothing told
    QCOMPARE(spy.count(), 0);

    met.Timer1.setInterval(3600 * 1000); // no more ticks of its own
    now = now.addSecs(2);
    met.checkHealth();
    QCOMPARE(health(), QList<LinkHealth>({LinkHealth::Stalled}));
    QVERIFY(met.linkState() == (LinkState{LinkHealth::Stalled, QDateTime(now.date(), QTime(10, 0, 0)), {}}));
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯中断（最后正常 10:00:00）：超过1秒没有完整应答"));
    m_win->Command10_Click();
    QCOMPARE(health(), QList<LinkHealth>({LinkHealth::Closed}));
    QCOMPARE(control<FitLabel>(*m_win, "linkState")->text(), QStringLiteral("通讯关闭"));
}

void TestAcquisition::reopenOverwritesAllValues()
{
    for (int i = 1; i <= 16; ++i)
        QVERIFY(m_sim->command(QStringLiteral("set ir %1 %2").arg(i).arg(i)).startsWith("ok"));
    openAndWait();
    tick();
    m_win->Command10_Click();
    QVERIFY(!m_session->met1.Timer1.isActive());
    QCOMPARE(m_session->live.Val_3X[15], 16.0f); // closing keeps the last values
    for (int i = 1; i <= 16; ++i)
        QVERIFY(m_sim->command(QStringLiteral("set ir %1 %2").arg(i).arg(-i)).startsWith("ok"));
    openAndWait();
    tick();
    for (int i = 0; i < 16; ++i)
        QCOMPARE(m_session->live.Val_3X[i], float(-(i + 1)));
}

void TestAcquisition::escapeExits()
{
    QSignalSpy exited(m_win.get(), &ssqx::exitAsked);
    m_win->show();
    control<QComboBox>(*m_win, "Combo1")->setFocus();
    QTest::keyClick(control<QComboBox>(*m_win, "Combo1"), Qt::Key_Escape);
    QCOMPARE(exited.count(), 1);
    QVERIFY(!m_win->isVisible());
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
