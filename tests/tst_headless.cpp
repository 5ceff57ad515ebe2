// The session, its acquisition and logging cycles and the history loading
// need no window: with a core application only (creating a widget would
// abort), they poll the real simulator, write one record per clock second
// into a real database and read the records back into a chart buffer.
#include "app/history_text.h"
#include "app/session.h"
#include "core/dates.h"
#include "logging/history.h"
#include "logging/history_range.h"
#include "testsupport.h"

#include <QtTest>
#include <memory>

class TestHeadless : public QObject {
    Q_OBJECT
private slots:
    void cyclesWithoutWidgets();
};

void TestHeadless::cyclesWithoutWidgets()
{
    QVERIFY(!qobject_cast<QGuiApplication *>(QCoreApplication::instance()));
    const TempDatabase db(false); // made by the logging
    QVERIFY(db.isValid());
    qputenv("QR5300M_PORT_DIR", db.folder().toLocal8Bit());
    SimProcess sim(db.folder(), 1);
    QVERIFY(sim.isReady());
    QVERIFY(sim.command("freeze on").startsWith("ok"));

    QDateTime now(QDate(2026, 12, 8), QTime(3, 0, 0));
    InstrumentSession session;
    session.clock.set([&now] { return now; });
    Link &link = session.link;
    Met1 &met = session.met1;
    mscom &logger = session.logger;
    int32_t *Link_Par = session.settings.Link_Par;
    Link_Par[0] = 1; // port 1, 9600 baud, no parity, station 1
    Link_Par[1] = 1;
    Link_Par[2] = 0;
    Link_Par[3] = 1;
    int32_t opened = 1;
    link.OpenPort_Modbus(1, 1, 0, &met, [&opened](const LinkResult &r) { opened = r.result; });
    QTRY_COMPARE(opened, kModbusOk);
    // Polling runs (as after 打开), its ticks driven by hand below.
    met.Timer1.start(3600 * 1000);
    logger.Form_Load();
    logger.Timer1.stop(); // its ticks are driven by hand below
    QVERIFY(logger.loggingOk());

    // Five clock seconds: the instrument's channel 1 reads 100 + s, one
    // acquisition tick and one logging tick each.
    for (int s = 1; s <= 5; ++s) {
        now = now.addSecs(1);
        QVERIFY(sim.command(QStringLiteral("set ir 1 %1").arg(100 + s)).startsWith("ok"));
        QSignalSpy done(&met, &Met1::tickDone);
        met.Timer1_Timer();
        QVERIFY(done.wait(3000));
        QCOMPARE(session.live.Val_3X[0], float(100 + s));
        logger.Timer1_Timer();
    }
    met.Timer1.stop(); // as 关闭 does
    link.ClosePort_Modbus(1);
    QTRY_COMPARE(link.pending(), 0);
    now = now.addSecs(1);
    logger.Timer1_Timer(); // the journal takes the close
    // The journal heard the acquisition: opened (before the logging started,
    // so no close at its start) and closed; the five records between are
    // fresh, the one after the close is held.
    const QList<QVariantList> events = sqlRows(db.path(), QStringLiteral("SELECT ev_kind FROM qr_events ORDER BY ev_id"));
    QCOMPARE(events, (QList<QVariantList>{{"link_opened"}, {"link_closed"}}));
    HistoryRange range;
    HistoryError error;
    QVERIFY2(readHistory(db.path(), QDateTime(QDate(2026, 12, 8), QTime(3, 0, 1)), now, LogRing::OneSecond, range, error),
             qPrintable(historyReadText(error)));
    QCOMPARE(range.records.size(), size_t(6));
    for (size_t n = 0; n < 5; ++n)
        QVERIFY(range.records[n].fresh);
    QVERIFY(!range.records[5].fresh);

    // The newest records, as the chart loads them.
    {
        DbConn reader(session.dbFiles, QStringLiteral("Main_Conn"));
        QVERIFY(reader.open());
        auto chart = std::make_unique<Chart>();
        QVERIFY(readCurId(reader, chart->Cur_Id));
        QCOMPARE(chart->Cur_Id, 6);
        chart->Win_Last_Id = chart->Cur_Id;
        chart->Load_Count = 241;
        QVERIFY(Load_History(*chart, reader));
        for (int s = 1; s <= 5; ++s)
            QCOMPARE(chart->Chart_Val[235 + s][0], float(100 + s));
    }

    // One record a second, each with the value read in that second.
    const QList<QVariantList> rows = sqlRows(db.path(), QStringLiteral("SELECT w_id, w_time, w_v0 FROM pv_data ORDER BY w_id"));
    QCOMPARE(rows.size(), 6);
    for (int n = 1; n <= 5; ++n)
        QCOMPARE(rows[n - 1], (QVariantList{n, timeSerial(QTime(3, 0, n)), double(100 + n)}));
}

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
