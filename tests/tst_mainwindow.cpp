// The main window on a real database: what its load leaves, its keys, its
// close box and exit, the way back from the configuration window, the live
// refresh with appends and reloads.
#include "app/log_text.h"
#include "tst_mainwindow_fixture.h"

#include "app/frmsplash.h"
#include "config/config1.h"
#include "config/write_journal.h"

#include <QAbstractItemView>
#include <QtTest>

namespace {
const QDateTime kNow(QDate(2026, 3, 12), QTime(18, 42, 5));
}

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loadResults();
    void loadOnFreshDatabase();
    void controlsAndCaptions();
    void keyGuards_data();
    void keyGuards();
    void closeBoxRefused();
    void escExits();
    void escHeldOver_data();
    void escHeldOver();
    void escInComboListClosesListOnly();
    void escThroughConfigWindow();
    void sessionStartsItsCycles_data();
    void sessionStartsItsCycles();
    void writeProblemOnStatusLine_data();
    void writeProblemOnStatusLine();
    void exitButton();
    void historyReadFailureShown();
    void yLabelsOnTick_data();
    void yLabelsOnTick();
    void liveReloadPoint();
    void noSampleNoAppend();
    void sampleWhileStoppedAppendedNext();
    void colourRestoreCoversAllReadouts();
    void statusLiveInEveryMode_data();
    void statusLiveInEveryMode();
    void timer3Labels();
    void repaintTimerDraws();

private:
    std::unique_ptr<InstrumentSession> m_session; // a fresh one for each test
};

void TestMainWindow::init()
{
    m_session = std::make_unique<InstrumentSession>();
    m_session->clock.set([] { return kNow; });
}

namespace {

// The configuration window on screen, active so that its Esc works.
CONFIG1 *shownConfigWindow()
{
    for (QWidget *t : QApplication::topLevelWidgets()) {
        if (auto *c = qobject_cast<CONFIG1 *>(t); c && c->isVisible()) {
            c->activateWindow();
            return QTest::qWaitForWindowActive(c) ? c : nullptr;
        }
    }
    return nullptr;
}

// An Esc press as the keyboard delivers it (shortcuts first), or one the
// keyboard repeats because the key is held.
void pressEsc(QWidget *to, bool autoRepeat)
{
    QTest::simulateEvent(to, true, Qt::Key_Escape, Qt::NoModifier, QString(), autoRepeat);
}

} // namespace

void TestMainWindow::cleanup()
{
    m_session.reset();
}

void TestMainWindow::loadResults()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 500));
    auto w = loadWindow(*m_session);
    const Chart &c = w->chart();
    QCOMPARE(c.Cur_Id, 500);
    QCOMPARE(c.Win_Last_Id, 500);
    QCOMPARE(c.Load_Count, 241);
    QCOMPARE(int(c.Chart_End), 241);
    QCOMPARE(int(c.Chart_Zoom), 1);
    QCOMPARE(int(c.Page_Back), 0);
    QCOMPARE(int(c.Page_Limit), 0);
    QCOMPARE(int(c.Ruler_On), 0);
    QCOMPARE(int(c.Chart_Base), 180); // Apply_Zoom ran after the load
    QCOMPARE(c.Chart_Step, 150.0f);
    // Slots 1..241 hold ids 260..500, oldest first.
    QCOMPARE(c.Chart_Val[1][0], 260.0f);
    QCOMPARE(c.Chart_Val[241][0], 500.0f);
    QCOMPARE(c.Chart_Val[241][1], 250.0f);
    QCOMPARE(c.Chart_Val[0][0], 0.0f);
    // The captions show slot 1: the zoom table had not run at load time.
    const QDateTime slot1 = kRecordStart.addSecs(260);
    QCOMPARE(control<QLabel>(*w, "Label2(9)")->text(), dateText(dateSerial(slot1.date())));
    QCOMPARE(control<QLabel>(*w, "Label2(10)")->text(), timeText(timeSerial(slot1.time())));
    // Time labels: slots 181, 191, ... 241 and two labels ahead.
    QCOMPARE(control<QLabel>(*w, "Label4", 0)->text(), timeText(timeSerial(kRecordStart.addSecs(440).time())));
    QCOMPARE(control<QLabel>(*w, "Label4", 6)->text(), timeText(timeSerial(kRecordStart.addSecs(500).time())));
    QCOMPARE(control<QLabel>(*w, "Label4", 7)->text(), timeText(timeSerial(kRecordStart.addSecs(510).time())));
    QCOMPARE(control<QLabel>(*w, "Label4", 8)->text(), timeText(timeSerial(kRecordStart.addSecs(520).time())));
    emit m_session->logger.sampleLogged(); // logged records reach the window
    QVERIFY(w->samplePending());
    QVERIFY(w->Main_Conn.isOpen());
    // Sizes in twips.
    QCOMPARE(control<Pt0Box>(*w, "pt0")->scaleWidth(), 12010);
    QCOMPARE(control<Pt0Box>(*w, "pt0")->scaleHeight(), 7510);
    QCOMPARE(control<PtBox>(*w, "pt")->scaleWidth(), 12008);
    QCOMPARE(control<PtBox>(*w, "pt")->scaleHeight(), 7508);
    QCOMPARE(control<PtBox>(*w, "pt")->width(), PtBox::px(control<PtBox>(*w, "pt"), 12008));
    QCOMPARE(control<PtBox>(*w, "pt")->height(), PtBox::px(control<PtBox>(*w, "pt"), 7508, true));
    QVERIFY(!control<PtBox>(*w, "pt")->picture().isNull());
    // Timers: live refresh, repaint, clock.
    QVERIFY(control<QTimer>(*w, "Timer1")->isActive());
    QVERIFY(control<QTimer>(*w, "Timer2")->isActive());
    QVERIFY(control<QTimer>(*w, "Timer3")->isActive());
    QCOMPARE(control<QTimer>(*w, "Timer1")->interval(), 200);
    QCOMPARE(control<QTimer>(*w, "Timer2")->interval(), 1000);
    QCOMPARE(control<QTimer>(*w, "Timer3")->interval(), 1000);
}

void TestMainWindow::loadOnFreshDatabase()
{
    TempDatabase db; // tables only, sl_void 0
    auto w = loadWindow(*m_session);
    QCOMPARE(w->chart().Cur_Id, 0);
    QCOMPARE(w->chart().Chart_Val[241][0], 0.0f);
    QCOMPARE(int(w->chart().Chart_End), 241);
    QVERIFY(w->Main_Conn.isOpen());
}

void TestMainWindow::controlsAndCaptions()
{
    TempDatabase db;
    auto w = loadWindow(*m_session);
    QCOMPARE(w->windowTitle(), QStringLiteral("过程控制仪表 QR5300M  OverView"));
    struct Btn {
        const char *name, *caption;
        bool enabled, visible;
    };
    const Btn buttons[] = {
        {"Command1", "退出", true, true},       {"Command23", "参数校准", false, false},
        {"Command21", "CONFIG", true, true},    {"Command29", "历史曲线", true, true},
        {"Command8", "F7 右移", true, true},    {"Command7", "F6 左移", false, true},
        {"Command6", "F5 选择", true, true},   {"Command5", "F4 标尺", true, true},
        {"Command2", "F3 打印", true, true},   {"Command3", "F2 放大", false, true},
        {"Command4", "F1 缩小", true, true},    {"Command26", "修改Y", true, false},
    };
    w->show();
    for (const Btn &b : buttons) {
        auto *btn = w->findChild<QPushButton *>(QLatin1String(b.name));
        QVERIFY2(btn, b.name);
        QCOMPARE(btn->text(), QString::fromUtf8(b.caption));
        QCOMPARE(btn->isEnabled(), b.enabled);
        QCOMPARE(btn->isVisible(), b.visible);
    }
    QVERIFY(!w->findChild<QLabel *>(QStringLiteral("Label19"))->isVisible());
    QVERIFY(!w->findChild<QLabel *>(QStringLiteral("Label20"))->isVisible());
    auto *hc = w->findChild<QSlider *>(QStringLiteral("hc"));
    QVERIFY(hc);
    QCOMPARE(hc->minimum(), -1);
    QCOMPARE(hc->maximum(), 12001);
    QCOMPARE(hc->value(), 0);
    QVERIFY(!hc->isEnabled());
    QVERIFY(!(hc->focusPolicy() & Qt::TabFocus)); // out of the tab order
    const char *y0[7] = {"0", "100", "200", "300", "400", "500", "600"};
    const char *blue[7] = {"-10", "10", "30", "50", "70", "90", "110"};
    for (int i = 0; i <= 6; ++i) {
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label5(%1)").arg(i))->text(), QLatin1String(y0[i]));
        QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label6(%1)").arg(i))->text(), QLatin1String(blue[i]));
    }
    // Label5 runs bottom to top, 1250 twips apart.
    QVERIFY(control<QLabel>(*w, "Label5", 0)->y() > control<QLabel>(*w, "Label5", 6)->y());
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label8(0)"))->text(), QStringLiteral("PV"));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label8(1)"))->text(), QStringLiteral("OP"));
    QCOMPARE(w->findChild<QLabel *>(QStringLiteral("Label8(2)"))->text(), QStringLiteral("SV"));
    for (int i = 0; i <= 8; ++i) {
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("Label4(%1)").arg(i)));
        QVERIFY(w->findChild<QLabel *>(QStringLiteral("Label7(%1)").arg(i)));
    }
    // Time labels 1500 twips apart on the drawing's scale, label 0 centred
    // under pt's left edge.
    const int step = control<QLabel>(*w, "Label4", 1)->x() - control<QLabel>(*w, "Label4", 0)->x();
    QVERIFY(std::abs(step - 1500 * control<PtBox>(*w, "pt")->sx()) <= 1);
    const QPoint ptLeft = control<PtBox>(*w, "pt")->mapTo(w.get(), QPoint(0, 0));
    const QPoint l0 = control<QLabel>(*w, "Label4", 0)->mapTo(w.get(), control<QLabel>(*w, "Label4", 0)->rect().center());
    QVERIFY(std::abs(l0.x() - ptLeft.x()) <= 1);
    // The Y-range editor waits for a double click; its boxes are named.
    for (const char *n : {"Label9", "Label10", "YKD", "YKD1", "Command26"})
        QVERIFY(!w->findChild<QWidget *>(QLatin1String(n))->isVisible());
    QCOMPARE(control<QLineEdit>(*w, "YKD")->accessibleName(), QStringLiteral("Y轴最大值"));
    QCOMPARE(control<QLineEdit>(*w, "YKD1")->accessibleName(), QStringLiteral("Y轴最小值"));
    QCOMPARE(control<QLabel>(*w, "Label9")->buddy(), control<QLineEdit>(*w, "YKD"));
    QCOMPARE(control<QLineEdit>(*w, "YKD1")->text(), QStringLiteral("0"));
    QVERIFY(control<QLineEdit>(*w, "YKD")->text().isEmpty());
    QCOMPARE(control<QLabel>(*w, "Label2(9)")->autoFillBackground(), true);
    QCOMPARE(control<QLabel>(*w, "D_3W", 4)->palette().color(QPalette::Window), QColor(0xFF, 0xC0, 0xFF));
}

void TestMainWindow::keyGuards_data()
{
    QTest::addColumn<int>("zoomBefore");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("zoomAfter");
    QTest::addColumn<int>("pageBackAfter");
    QTest::newRow("F2 at level 1 does nothing") << 1 << int(Qt::Key_F2) << 1 << 0;
    QTest::newRow("F1 at level 1 zooms out") << 1 << int(Qt::Key_F1) << 2 << 0;
    QTest::newRow("F2 at level 3 zooms in") << 3 << int(Qt::Key_F2) << 2 << 0;
    QTest::newRow("F1 at level 4 does nothing") << 4 << int(Qt::Key_F1) << 4 << 0;
    QTest::newRow("F6 in live mode does nothing") << 1 << int(Qt::Key_F6) << 1 << 0;
    QTest::newRow("F7 pages back") << 1 << int(Qt::Key_F7) << 1 << 1;
    QTest::newRow("other key") << 2 << int(Qt::Key_F8) << 2 << 0;
}

void TestMainWindow::keyGuards()
{
    QFETCH(int, zoomBefore);
    QFETCH(int, key);
    QFETCH(int, zoomAfter);
    QFETCH(int, pageBackAfter);
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 2000));
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    for (int z = 1; z < zoomBefore; ++z)
        w->Command4_Click();
    QCOMPARE(int(w->chart().Chart_Zoom), zoomBefore);
    // The window sees the key before the control with the focus.
    control<QComboBox>(*w, "Combo1")->setFocus();
    QTest::keyClick(control<QComboBox>(*w, "Combo1"), Qt::Key(key));
    QCOMPARE(int(w->chart().Chart_Zoom), zoomAfter);
    QCOMPARE(int(w->chart().Page_Back), pageBackAfter);
    QCOMPARE(w->chartLive(), pageBackAfter == 0);
    QVERIFY(exited.isEmpty());
}

void TestMainWindow::closeBoxRefused()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 300));
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    QVERIFY(!w->close());
    QVERIFY(w->isVisible());
    QVERIFY(w->Main_Conn.isOpen());
    emit m_session->logger.sampleLogged(); // logged records reach the window
    QVERIFY(w->samplePending());
    QVERIFY(control<QTimer>(*w, "Timer1")->isActive());
    QVERIFY(exited.isEmpty());
    // Live samples still come and the database still answers.
    QVERIFY(fillRecords(db, 301, 320));
    emit m_session->logger.sampleLogged();
    w->Reload_Live();
    QCOMPARE(w->chart().Cur_Id, 320);
}

void TestMainWindow::escExits()
{
    TempDatabase db;
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    control<QComboBox>(*w, "Combo1")->setFocus();
    QTest::keyClick(control<QComboBox>(*w, "Combo1"), Qt::Key_Escape);
    QCOMPARE(exited.count(), 1);
    QVERIFY(!w->isVisible());
    QVERIFY(!w->Main_Conn.isOpen());
    emit m_session->logger.sampleLogged(); // no longer heard
    QVERIFY(!w->samplePending());
    QVERIFY(!control<QTimer>(*w, "Timer1")->isActive());
}

void TestMainWindow::escHeldOver_data()
{
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<int>("msAfterConfig"); // -1: the configuration window was never shown
    QTest::addColumn<bool>("exits");
    QTest::newRow("a press exits") << false << -1 << true;
    QTest::newRow("a held key's repeat") << true << -1 << false;
    QTest::newRow("at once after CONFIG") << false << 0 << false;
    QTest::newRow("0.999 s after CONFIG") << false << 999 << false;
    QTest::newRow("1 s after CONFIG exits") << false << 1000 << true;
    QTest::newRow("a repeat long after CONFIG") << true << 5000 << false;
}

void TestMainWindow::escHeldOver()
{
    QFETCH(bool, autoRepeat);
    QFETCH(int, msAfterConfig);
    QFETCH(bool, exits);
    TempDatabase db;
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    qint64 now = 100000;
    w->monoMs = [&now] { return now; };
    if (msAfterConfig >= 0) {
        w->Command21_Click();
        w->configClosed();
        now += msAfterConfig;
    }
    control<QComboBox>(*w, "Combo1")->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    pressEsc(control<QComboBox>(*w, "Combo1"), autoRepeat);
    QCOMPARE(exited.count(), int(exits));
    QCOMPARE(w->isVisible(), !exits);
    QCOMPARE(w->Main_Conn.isOpen(), !exits);
}

void TestMainWindow::escInComboListClosesListOnly()
{
    TempDatabase db;
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    QVERIFY(QTest::qWaitForWindowActive(w.get()));
    control<QComboBox>(*w, "Combo1")->setFocus();
    control<QComboBox>(*w, "Combo1")->showPopup();
    QWidget *list = control<QComboBox>(*w, "Combo1")->view()->window();
    QTRY_VERIFY(list->isVisible());
    QCOMPARE(QApplication::activePopupWidget(), list); // the Esc is the list's
    QTest::keyClick(control<QComboBox>(*w, "Combo1")->view(), Qt::Key_Escape);
    QTRY_VERIFY(!list->isVisible());
    QVERIFY(exited.isEmpty());
    QVERIFY(w->isVisible());
    control<QComboBox>(*w, "Combo1")->showPopup();
    QTRY_VERIFY(list->isVisible());
    // F4 too closes the list only; F7 leaves it open and does nothing.
    QTest::keyClick(control<QComboBox>(*w, "Combo1")->view(), Qt::Key_F7);
    QVERIFY(list->isVisible());
    QTest::keyClick(control<QComboBox>(*w, "Combo1")->view(), Qt::Key_F4);
    QTRY_VERIFY(!list->isVisible());
    QVERIFY(w->chartLive());
    QCOMPARE(int(w->chart().Page_Back), 0);
    QCOMPARE(int(w->chart().Ruler_On), 0);
}

// The real hand-over: the splash brings up the windows, "CONFIG" opens the
// configuration window, its Esc closes it, and the Esc that follows at once
// (a double press) or repeats (a held key) does not end the program.
void TestMainWindow::sessionStartsItsCycles_data()
{
    QTest::addColumn<bool>("handOver"); // the splash brings up the main window
    QTest::addColumn<int>("starts");    // session.start() calls, as main() makes them
    QTest::newRow("not started") << false << 0;
    QTest::newRow("started, no window") << false << 1;
    QTest::newRow("hand-over, not started") << true << 0;
    QTest::newRow("hand-over, started") << true << 1;
    QTest::newRow("started twice") << true << 2;
}

// The session starts its own cycles: the logging runs once started, with
// or without a window; the acquisition waits for "打开"; the splash's
// hand-over brings up the main window and starts nothing itself.
void TestMainWindow::sessionStartsItsCycles()
{
    QFETCH(bool, handOver);
    QFETCH(int, starts);
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 30));
    InstrumentSession session;
    session.clock.set([] { return kNow; });
    Windows win;
    auto *splash = new frmSplash(session, win);
    QSignalSpy handedOver(splash, &frmSplash::handedOver);
    if (handOver)
        splash->Timer1_Timer();
    else
        delete splash;
    for (int i = 0; i < starts; ++i)
        session.start();
    QCOMPARE(bool(win.main), handOver);
    QCOMPARE(int(handedOver.count()), handOver ? 1 : 0);
    QCOMPARE(session.logger.Timer1.isActive(), starts > 0);
    QVERIFY(!session.met1.Timer1.isActive());
}

void TestMainWindow::escThroughConfigWindow()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 300));
    // As the program starts: a session and the window the splash brings up.
    m_session.reset();
    InstrumentSession session;
    session.clock.set([] { return kNow; });
    Windows win;
    auto *splash = new frmSplash(session, win); // deletes itself after the hand-over
    splash->Timer1_Timer();
    ssqx *w = win.main.get();
    QVERIFY(w && w->isVisible());
    QSignalSpy exited(w, &ssqx::exitAsked);
    qint64 now = 100000;
    w->monoMs = [&now] { return now; };

    w->Command21_Click();
    QVERIFY(!w->isVisible());
    CONFIG1 *cfg = shownConfigWindow();
    QVERIFY(cfg);
    // A refused entry while the configuration window is up.
    const QString refused = QStringLiteral("平移修正：输入值超出范围");
    session.journal.record(12, refused);
    QTest::keyClick(cfg, Qt::Key_Escape);
    QVERIFY(w->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(w));
    pressEsc(w, true);
    QTest::keyClick(w, Qt::Key_Escape);
    QVERIFY(exited.isEmpty());
    QVERIFY(w->isVisible());
    // The refusal outlives the configuration window, on the status line.
    QVERIFY2(control<QLabel>(*w, "writeState")->text().contains(refused), qPrintable(control<QLabel>(*w, "writeState")->text()));

    // Opening the configuration window again takes it away.
    session.clock.set([] { return kNow.addSecs(120); });
    w->Command21_Click();
    cfg = shownConfigWindow();
    QVERIFY(cfg);
    QVERIFY(control<QLabel>(*w, "writeState")->text().isEmpty());
    QTest::keyClick(cfg, Qt::Key_Escape);
    QVERIFY(w->isVisible());
    QVERIFY(control<QLabel>(*w, "writeState")->text().isEmpty());

    now += 1000; // a deliberate Esc a second later ends the program
    QTest::keyClick(w, Qt::Key_Escape);
    QCOMPARE(exited.count(), 1);
}

void TestMainWindow::writeProblemOnStatusLine_data()
{
    QTest::addColumn<int>("recordedAt"); // seconds from the main window's return
    QTest::addColumn<bool>("shown");
    QTest::newRow("30 s before the return") << -30 << true;
    QTest::newRow("60 s before") << -60 << true;
    QTest::newRow("61 s before") << -61 << false;
    QTest::newRow("a late failure after the return") << 5 << true;
}

void TestMainWindow::writeProblemOnStatusLine()
{
    QFETCH(int, recordedAt);
    QFETCH(bool, shown);
    QDateTime t = kNow;
    m_session->clock.set([&t] { return t; });
    TempDatabase db;
    auto w = loadWindow(*m_session);
    w->show();
    WriteJournal &journal = m_session->journal;
    const QString failed = QStringLiteral("平移修正：写入失败（端口未打开）");

    w->Command21_Click();
    journal.clear(); // what the configuration window does when it loads
    if (recordedAt <= 0) {
        t = kNow.addSecs(recordedAt);
        journal.record(12, failed);
    }
    t = kNow;
    w->configClosed();
    if (recordedAt > 0) {
        t = kNow.addSecs(recordedAt);
        journal.record(12, failed);
    }
    QCOMPARE(control<QLabel>(*w, "writeState")->text().contains(failed), shown);
    if (!shown)
        return;
    QVERIFY(control<QLabel>(*w, "writeState")->text().contains(kNow.addSecs(recordedAt).toString(QStringLiteral("HH:mm:ss"))));
    QCOMPARE(control<QLabel>(*w, "writeState")->palette().color(control<QLabel>(*w, "writeState")->foregroundRole()), QColor(0xC0, 0x00, 0x00));
    // The line stays through the live refresh and the clock.
    t = kNow.addSecs(600);
    w->Timer1_Timer();
    w->Timer3_Timer();
    QVERIFY(control<QLabel>(*w, "writeState")->text().contains(failed));
    // A write of the same parameter that went through settles it.
    journal.settle(12);
    QVERIFY(control<QLabel>(*w, "writeState")->text().isEmpty());
}

void TestMainWindow::exitButton()
{
    TempDatabase db;
    auto w = loadWindow(*m_session);
    QSignalSpy exited(w.get(), &ssqx::exitAsked);
    w->show();
    QTest::mouseClick(control<QPushButton>(*w, "Command1"), Qt::LeftButton);
    QCOMPARE(exited.count(), 1);
    QVERIFY(!w->isVisible());
    QVERIFY(!w->Main_Conn.isOpen());
}

// The window's own database reads fail (the file's folder is missing): the
// window still comes up and says why, until a read succeeds.
void TestMainWindow::historyReadFailureShown()
{
    QDateTime t = kNow;
    m_session->clock.set([&t] { return t; });
    TempDatabase db;
    const QString folder = db.filePath(QStringLiteral("later"));
    qputenv("QR5300M_DB", QDir(folder).filePath(QStringLiteral("Rdatabj.db")).toLocal8Bit());
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(!w->Main_Conn.isOpen());
    const QString failed = QStringLiteral("历史读取失败：");
    QVERIFY2(control<QLabel>(*w, "logState")->text().contains(failed + dbErrorText(w->Main_Conn.error())), qPrintable(control<QLabel>(*w, "logState")->text()));
    QVERIFY(!dbErrorText(w->Main_Conn.error()).isEmpty());
    QCOMPARE(control<QLabel>(*w, "logState")->palette().color(control<QLabel>(*w, "logState")->foregroundRole()), QColor(0xC0, 0x00, 0x00));
    w->Timer3_Timer(); // stays through the clock's refresh
    QVERIFY(control<QLabel>(*w, "logState")->text().contains(failed));

    QVERIFY(QDir().mkpath(folder));
    t = t.addSecs(2); // a failed open is tried again once a second
    w->Reload_Live();
    QVERIFY(w->Main_Conn.isOpen());
    QVERIFY2(!control<QLabel>(*w, "logState")->text().contains(failed), qPrintable(control<QLabel>(*w, "logState")->text()));
}

void TestMainWindow::yLabelsOnTick_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<int>("min");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("1500 over 0") << 1500 << 0 << QStringList{"0", "250", "500", "750", "1000", "1250", "1500"};
    QTest::newRow("1000 over -200") << 1000 << -200
                                    << QStringList{"-200", "-33", "133", "300", "467", "633", "800"};
}

void TestMainWindow::yLabelsOnTick()
{
    QFETCH(int, span);
    QFETCH(int, min);
    QFETCH(QStringList, texts);
    TempDatabase db;
    auto w = loadWindow(*m_session);
    m_session->yRange.Span = int16_t(span);
    m_session->yRange.Min = int16_t(min);
    w->Timer1_Timer();
    for (int i = 0; i <= 6; ++i)
        QCOMPARE(control<QLabel>(*w, "Label5", i)->text(), texts[i]);
    QCOMPARE(control<QLabel>(*w, "Label19")->text(), QStringLiteral("150"));
}

// Logged records reach the chart through the live refresh, with the live
// values and the clock, until the 20th reloads the live window (the rule at
// every zoom level is tested in tst_chartcontroller).
void TestMainWindow::liveReloadPoint()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 1000));
    auto w = loadWindow(*m_session);
    const int appends = 20;
    // The logging cycle writes one record per append meanwhile.
    QVERIFY(fillRecords(db, 1001, 1000 + appends));
    for (int i = 1; i < appends; ++i) {
        m_session->live.Val_3X[0] = float(5000 + i);
        emit m_session->logger.sampleLogged();
        w->Timer1_Timer();
        QVERIFY(!w->samplePending());
        QCOMPARE(int(w->chart().Chart_End), 241 + i);
        QCOMPARE(w->chart().Chart_Val[241 + i][0], float(5000 + i));
    }
    QCOMPARE(w->chart().Cur_Id, 1000); // no reload yet
    m_session->live.Val_3X[0] = 9999;
    m_session->live.Val_3X[1] = 12.5f;
    m_session->live.Val_3X[5] = -3;
    emit m_session->logger.sampleLogged();
    w->Timer1_Timer();
    // Reloaded: the newest record back in slot 241, then the sample on it.
    QCOMPARE(w->chart().Cur_Id, 1000 + appends);
    QCOMPARE(w->chart().Win_Last_Id, 1000 + appends);
    QCOMPARE(int(w->chart().Chart_End), 241);
    QCOMPARE(w->chart().Chart_Val[240][0], float(999 + appends));
    QCOMPARE(w->chart().Chart_Val[1][0], float(760 + appends));
    QCOMPARE(w->chart().Chart_Val[241][0], 9999.0f);
    QCOMPARE(w->chart().Chart_Val[241][1], 12.5f);
    QCOMPARE(w->chart().Chart_Val[241][5], -3.0f);
    QCOMPARE(w->chart().Chart_Date[241], dateSerial(kNow.date()));
    QCOMPARE(w->chart().Chart_Time[241], timeSerial(kNow.time()));
    QVERIFY(!w->samplePending());
}

void TestMainWindow::noSampleNoAppend()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    auto w = loadWindow(*m_session);
    for (int i = 0; i < 5; ++i)
        w->Timer1_Timer();
    QCOMPARE(int(w->chart().Chart_End), 241);
}

void TestMainWindow::sampleWhileStoppedAppendedNext()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    auto w = loadWindow(*m_session);
    w->Command5_Click(); // ruler on: live appending stops
    QVERIFY(!w->chartLive());
    m_session->live.Val_3X[0] = 11;
    emit m_session->logger.sampleLogged(); // a record logged while the ruler is shown
    m_session->live.Val_3X[0] = 22;
    emit m_session->logger.sampleLogged(); // and another one
    w->Timer1_Timer(); // the refresh runs on, but does not append
    QCOMPARE(int(w->chart().Chart_End), 241);
    QVERIFY(fillRecords(db, 401, 402));
    w->Command5_Click(); // ruler off: live chart reloaded, appending again
    QVERIFY(w->chartLive());
    QCOMPARE(w->chart().Cur_Id, 402);
    QVERIFY(w->samplePending()); // not lost
    m_session->live.Val_3X[0] = 33;
    w->Timer1_Timer();
    QCOMPARE(int(w->chart().Chart_End), 242); // one append for both records
    QCOMPARE(w->chart().Chart_Val[242][0], 33.0f);
    QVERIFY(!w->samplePending());

    // The same after paging back and returning.
    w->Command8_Click();
    QVERIFY(!w->chartLive());
    m_session->live.Val_3X[0] = 44;
    emit m_session->logger.sampleLogged();
    w->Timer1_Timer();
    QCOMPARE(int(w->chart().Chart_End), 321); // the page stays as loaded
    w->Command7_Click();
    QCOMPARE(int(w->chart().Page_Back), 0);
    QVERIFY(w->chartLive());
    QCOMPARE(int(w->chart().Chart_End), 241);
    w->Timer1_Timer();
    QCOMPARE(int(w->chart().Chart_End), 242);
    QCOMPARE(w->chart().Chart_Val[242][0], 44.0f);
}

void TestMainWindow::colourRestoreCoversAllReadouts()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    auto w = loadWindow(*m_session);
    const QColor yellow(0xFF, 0xFF, 0), pink(0xFF, 0xC0, 0xFF), green(0x80, 0xFF, 0x80);
    w->Command5_Click();
    control<QSlider>(*w, "hc")->setValue(4500);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(control<QLabel>(*w, "D_3W", i)->palette().color(QPalette::Window), yellow);
    QCOMPARE(control<QLabel>(*w, "Label2(9)")->palette().color(QPalette::Window), yellow);
    w->Timer1_Timer(); // ruler on: no colour changes
    QCOMPARE(control<QLabel>(*w, "D_3W", 0)->palette().color(QPalette::Window), yellow);
    w->Command5_Click();
    w->Timer1_Timer();
    for (int i = 0; i < 5; ++i)
        QCOMPARE(control<QLabel>(*w, "D_3W", i)->palette().color(QPalette::Window), pink);
    QCOMPARE(control<QLabel>(*w, "Label2(9)")->palette().color(QPalette::Window), green);
    QCOMPARE(control<QLabel>(*w, "Label2(10)")->palette().color(QPalette::Window), green);
}

void TestMainWindow::statusLiveInEveryMode_data()
{
    QTest::addColumn<int>("key");    // F7: page back, F4: ruler
    QTest::addColumn<int>("slider"); // ruler position, or -2 for none
    QTest::addColumn<QString>("readout"); // CH1 read-out: live "123.5" or the ruler's record
    QTest::newRow("paging") << int(Qt::Key_F7) << -2 << QStringLiteral("123.5");
    QTest::newRow("ruler just on") << int(Qt::Key_F4) << -2 << QStringLiteral("939"); // slot 180
    QTest::newRow("ruler at 4500") << int(Qt::Key_F4) << 4500 << QStringLiteral("969"); // slot 210
    QTest::newRow("ruler paged back") << int(Qt::Key_F4) << -1 << QStringLiteral("799"); // 620..940
}

// While the chart pages back or the ruler is shown, the status cells stay
// live, and so do the read-outs unless the ruler shows its record on them.
void TestMainWindow::statusLiveInEveryMode()
{
    QFETCH(int, key);
    QFETCH(int, slider);
    QFETCH(QString, readout);
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 1000));
    auto w = loadWindow(*m_session);
    w->show();
    QVERIFY(w->Form_KeyDown(key));
    if (slider != -2)
        control<QSlider>(*w, "hc")->setValue(slider);
    QVERIFY(!w->chartLive());
    const int end = w->chart().Chart_End;

    m_session->live.Val_3X[0] = 123.5f;
    m_session->live.Sta_1X[4] = 1; // channel 2 open circuit
    QTRY_COMPARE(control<QLabel>(*w, "D_2R", 4)->text(), QStringLiteral("通道二开路"));
    QTRY_COMPARE(control<QLabel>(*w, "D_3W", 0)->text(), readout);
    const bool ruler = key == Qt::Key_F4;
    const QColor back = control<QLabel>(*w, "D_3W", 0)->palette().color(QPalette::Window);
    QCOMPARE(back, ruler ? QColor(0xFF, 0xFF, 0x00) : QColor(0xFF, 0xC0, 0xFF));
    if (ruler) // the ruler's record names itself and its time
        QCOMPARE(control<QGroupBox>(*w, "Frame4")->title(),
                 QStringLiteral("标尺读数 %1 %2").arg(control<QLabel>(*w, "Label2(9)")->text(), control<QLabel>(*w, "Label2(10)")->text()));
    else
        QCOMPARE(control<QGroupBox>(*w, "Frame4")->title(), QStringLiteral("实时值"));
    m_session->live.Sta_1X[4] = 0;
    QTRY_COMPARE(control<QLabel>(*w, "D_2R", 4)->text(), QStringLiteral("   "));
    QCOMPARE(int(w->chart().Chart_End), end); // the chart itself stays as it is
}

void TestMainWindow::timer3Labels()
{
    TempDatabase db;
    auto w = loadWindow(*m_session);
    w->Timer3_Timer();
    QCOMPARE(control<QLabel>(*w, "Label2(9)")->text(), QStringLiteral("03-12-2026"));
    QCOMPARE(control<QLabel>(*w, "Label2(10)")->text(), QStringLiteral("18:42:05"));
    w->Command5_Click();
    control<QSlider>(*w, "hc")->setValue(150);
    const QString shown = control<QLabel>(*w, "Label2(10)")->text();
    m_session->clock.set([] { return kNow.addSecs(3); });
    w->Timer3_Timer(); // the ruler owns the labels
    QCOMPARE(control<QLabel>(*w, "Label2(10)")->text(), shown);
}

void TestMainWindow::repaintTimerDraws()
{
    TempDatabase db;
    QVERIFY(fillRecords(db, 1, 400));
    auto w = loadWindow(*m_session);
    const QImage before = control<PtBox>(*w, "pt")->picture().copy();
    m_session->yRange.Span = 750; // curves twice as tall
    w->Timer2_Timer();
    QVERIFY(control<PtBox>(*w, "pt")->picture() != before);
    m_session->yRange.Span = 1500;
    w->Timer2_Timer();
    QCOMPARE(control<PtBox>(*w, "pt")->picture(), before);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
