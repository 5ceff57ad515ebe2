// The journal of our own beside the rings: created only in our database,
// fed by the logging cycle with link events, flag changes and parameter
// writes (from the real configuration window on the real simulator), and
// read back as held marks for the history range and the chart.
#include "app/history_text.h"
#include "app/log_text.h"
#include "app/readout_panel.h"
#include "chart/chart_draw.h"
#include "config/config1.h"
#include "config/write_journal.h"
#include "core/chart_model.h"
#include "core/dates.h"
#include "link/link.h"
#include "logging/history.h"
#include "logging/history_range.h"
#include "logging/mscom.h"
#include "testsupport.h"

#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(EventKind)

namespace {

const QDateTime kStart(QDate(2026, 12, 8), QTime(3, 0, 0));

// The logging cycle on the database at QR5300M_DB, ticked by hand on a clock
// the test moves.
struct Logger {
    explicit Logger(const QDateTime &start) : now(start)
    {
        clock.set([this] { return now; });
        m = std::make_unique<mscom>(live, times, files);
        m->Form_Load();
        m->Timer1.stop();
    }
    // One logging tick in the next clock second.
    void second()
    {
        now = now.addSecs(1);
        m->Timer1_Timer();
    }
    QDateTime now;
    Clock clock;
    LiveTables live;
    LogTimes times;
    DbFiles files{clock};
    std::unique_ptr<mscom> m;
};

QStringList tableNames(const QString &path)
{
    QStringList names;
    for (const QVariantList &row : sqlRows(path, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name")))
        names << row.value(0).toString();
    return names;
}

} // namespace

class TstEvents : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;
    QString newPath() { return m_dir.filePath(QStringLiteral("e%1.db").arg(++m_serial)); }
    QString useNewDb()
    {
        const QString path = newPath();
        qputenv("QR5300M_DB", path.toLocal8Bit());
        return path;
    }

private slots:
    void journalAddedToOurFileOnly_data();
    void journalAddedToOurFileOnly();
    void foreignFileNeverWritten_data();
    void foreignFileNeverWritten();
    void otherTableOfThatNameLeftAlone();
    void flagChangesWhileLinkUp();
    void outagesMarkHeld();
    void heldBandDrawn();
    void paramOutcomes_data();
    void paramOutcomes();
};

// A database from before the journal (the three ring tables only) gets the
// table from the writer, and its rings stay exactly as they were; a reader
// adds nothing.
void TstEvents::journalAddedToOurFileOnly_data()
{
    QTest::addColumn<bool>("writer");
    QTest::newRow("writer adds it") << true;
    QTest::newRow("reader leaves it") << false;
}

void TstEvents::journalAddedToOurFileOnly()
{
    QFETCH(bool, writer);
    const QString path = useNewDb();
    QVERIFY(withDb(path, [](QSqlDatabase &db) {
        QSqlQuery q(db);
        QString pv = QStringLiteral("CREATE TABLE pv_data (w_id INTEGER PRIMARY KEY, w_date REAL, w_time REAL");
        for (int i = 0; i < 8; ++i)
            pv += QStringLiteral(", v%1 REAL").arg(i);
        return q.exec(QStringLiteral("CREATE TABLE sl_void (a INTEGER, b INTEGER, c INTEGER, d INTEGER)"))
               && q.exec(pv + u')') && q.exec(QString(pv + u')').replace(QStringLiteral("pv_data (w_id"), QStringLiteral("Lpv_wdjl (lw_id")))
               && q.exec(QStringLiteral("INSERT INTO sl_void VALUES (1, 1, 0, 0)"))
               && q.exec(QStringLiteral("INSERT INTO pv_data VALUES (1, 46000, 0.5, 1, 2, 3, 4, 5, 6, 7, 8)"));
    }));
    const QString ringSchema = QStringLiteral("SELECT name, sql FROM sqlite_master WHERE name <> 'qr_events' AND name NOT LIKE 'qr_events%' ORDER BY name");
    const QList<QVariantList> schemaBefore = sqlRows(path, ringSchema);
    const QList<QVariantList> rowsBefore = sqlRows(path, QStringLiteral("SELECT * FROM pv_data"));

    Clock clock;
    DbFiles files(clock);
    DbConn conn(files, QStringLiteral("conn"), writer ? DbConn::Role::Writer : DbConn::Role::Reader);
    QVERIFY(conn.open());
    conn.close();
    QCOMPARE(tableNames(path).contains(QStringLiteral("qr_events")), writer);
    QCOMPARE(sqlRows(path, ringSchema), schemaBefore);
    QCOMPARE(sqlRows(path, QStringLiteral("SELECT * FROM pv_data")), rowsBefore);
}

// Not our database: the writer refuses it, events and records alike go
// nowhere, and reading history from it leaves it as it is.
void TstEvents::foreignFileNeverWritten_data()
{
    QTest::addColumn<QString>("sql");
    QTest::newRow("other tables") << QStringLiteral("CREATE TABLE other (x INTEGER)");
    QTest::newRow("a ring missing") << QStringLiteral("CREATE TABLE sl_void (a, b, c, d)");
}

void TstEvents::foreignFileNeverWritten()
{
    QFETCH(QString, sql);
    const QString path = useNewDb();
    QVERIFY(withDb(path, [&sql](QSqlDatabase &db) { return QSqlQuery(db).exec(sql); }));
    const QByteArray before = fileHash(path);
    {
        Logger l(kStart);
        QCOMPARE(l.m->Log_Conn.fault(), DbFault::Foreign);
        l.m->linkChanged(EventKind::LinkOpened, l.now);
        l.live.Sta_1X[0] = 1;
        l.second();
        l.second();
        QCOMPARE(l.m->eventsWaiting(), 3); // closed at start, opened, raised: kept, written nowhere
        QVERIFY(!journalStatusText(l.m->journalError()).isEmpty());
    }
    HistoryRange range;
    HistoryError error;
    QVERIFY(!readHistory(path, kStart, kStart.addSecs(60), std::nullopt, range, error));
    QVERIFY2(historyReadText(error).contains(QStringLiteral("不是本程序的数据库")), qPrintable(historyReadText(error)));
    QCOMPARE(fileHash(path), before);
    QVERIFY(!QFile::exists(path + QStringLiteral("-journal")));

    // Nor is a missing file made by reading.
    const QString missing = newPath();
    QVERIFY(!readHistory(missing, kStart, kStart.addSecs(60), std::nullopt, range, error));
    QVERIFY(!QFile::exists(missing));
}

// Our rings with a table of that name that is not ours: records are logged,
// the table is not touched, and the failing events are told.
void TstEvents::otherTableOfThatNameLeftAlone()
{
    const QString path = useNewDb();
    QVERIFY(makeLogDb(path));
    QVERIFY(withDb(path, [](QSqlDatabase &db) {
        QSqlQuery q(db);
        return q.exec(QStringLiteral("DROP TABLE qr_events")) && q.exec(QStringLiteral("CREATE TABLE qr_events (note TEXT)"))
               && q.exec(QStringLiteral("INSERT INTO qr_events VALUES ('theirs')"));
    }));
    Logger l(kStart);
    l.m->linkChanged(EventKind::LinkOpened, l.now);
    l.second();
    l.second();
    QVERIFY2(l.m->loggingOk(), qPrintable(dbErrorText(l.m->logState().error)));
    QCOMPARE(l.m->Pv_Id, 2);
    QVERIFY(journalStatusText(l.m->journalError()).contains(QStringLiteral("qr_events")));
    QCOMPARE(sqlRows(path, QStringLiteral("SELECT * FROM qr_events")), QList<QVariantList>({{QStringLiteral("theirs")}}));
}

// A flag change is journaled while the link is up; a closed or interrupted
// link's flags are not the instrument's, so nothing is told then, and a
// change that happened meanwhile is told once the link is back.
void TstEvents::flagChangesWhileLinkUp()
{
    const QString path = useNewDb();
    Logger l(kStart);
    l.live.Sta_1X[0] = 1;                               // shown before opening: not a change
    l.m->linkChanged(EventKind::LinkOpened, l.now);     // 03:00:00
    l.live.Sta_1X[4] = 1;                               // CH2 open circuit
    l.second();                                         // 03:00:01 raised
    l.live.Sta_1X[4] = 0;
    l.live.Sta_1X[11] = 7;                              // CH4 short circuit, any non-zero
    l.second();                                         // 03:00:02 cleared, raised
    l.m->linkChanged(EventKind::LinkInterrupted, l.now); // 03:00:02
    l.live.Sta_1X[0] = 0;
    l.second();                                         // 03:00:03 nothing
    l.m->linkChanged(EventKind::LinkRestored, l.now);   // 03:00:03
    l.second();                                         // 03:00:04 CH1 alarm cleared
    l.m->linkChanged(EventKind::LinkClosed, l.now);     // 03:00:04
    for (int k = 0; k < 12; ++k)
        l.live.Sta_1X[k] = 0;                           // a closed link's zeros
    l.second();
    QVERIFY2(journalStatusText(l.m->journalError()).isEmpty(), qPrintable(journalStatusText(l.m->journalError())));
    QCOMPARE(l.m->eventsWaiting(), 0);

    HistoryRange range;
    HistoryError error;
    QVERIFY2(readHistory(path, kStart, kStart.addSecs(10), std::nullopt, range, error), qPrintable(historyReadText(error)));
    struct Want {
        int sec;
        EventKind kind;
        int channel, flag;
    };
    const Want want[] = {
        {0, EventKind::LinkClosed, 0, 0}, // the program starts with the link closed
        {0, EventKind::LinkOpened, 0, 0},      {1, EventKind::FlagRaised, 2, 1},  {2, EventKind::FlagCleared, 2, 1},
        {2, EventKind::FlagRaised, 4, 2},      {2, EventKind::LinkInterrupted, 0, 0}, {3, EventKind::LinkRestored, 0, 0},
        {4, EventKind::FlagCleared, 1, 0},     {4, EventKind::LinkClosed, 0, 0},
    };
    QCOMPARE(range.events.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const HistoryEvent &e = range.events[i];
        QCOMPARE(e.msecs, kStart.addSecs(want[i].sec).toMSecsSinceEpoch());
        QCOMPARE(e.kind, want[i].kind);
        QCOMPARE(e.channel, want[i].channel);
        QCOMPARE(e.flag, want[i].flag);
    }
}

// Records logged while the link was closed or interrupted are held: in the
// history range and in the chart's slots alike. In a file without a journal
// records count as measured.
void TstEvents::outagesMarkHeld()
{
    const QString path = useNewDb();
    QString expected; // per second from 03:00:01: 'f' fresh, 'h' held
    {
        Logger l(kStart);
        auto second = [&](QChar mark) {
            l.second();
            expected += mark;
        };
        second(u'h'); // the program starts with the link closed
        second(u'h');
        l.m->linkChanged(EventKind::LinkOpened, l.now); // counts from the next second
        second(u'f');
        second(u'f');
        l.m->linkChanged(EventKind::LinkInterrupted, l.now);
        second(u'h');
        second(u'h');
        second(u'h');
        l.m->linkChanged(EventKind::LinkRestored, l.now);
        second(u'f');
        QVERIFY(journalStatusText(l.m->journalError()).isEmpty());
    } // the program ends with the link up: closed then
    const QList<QVariantList> last = sqlRows(path, QStringLiteral("SELECT ev_time, ev_kind FROM qr_events ORDER BY ev_id DESC LIMIT 1"));
    QCOMPARE(last.value(0), QVariantList({kStart.addSecs(expected.size()).toString(Qt::ISODate), QStringLiteral("link_closed")}));

    HistoryRange range;
    HistoryError error;
    // From the first record on: the one-second ring covers the range.
    QVERIFY2(readHistory(path, kStart.addSecs(1), kStart.addSecs(60), std::nullopt, range, error), qPrintable(historyReadText(error)));
    QCOMPARE(range.ring, LogRing::OneSecond);
    QString got;
    for (const HistoryRecord &r : range.records)
        got += r.fresh ? u'f' : u'h';
    QCOMPARE(got, expected);

    Clock clock;
    DbFiles files(clock);
    DbConn main(files, QStringLiteral("Main_Conn"));
    QVERIFY(main.open());
    auto c = std::make_unique<Chart>();
    c->held[kLiveLoad - 3] = true; // an old mark the load must clear
    QVERIFY(readCurId(main, c->Cur_Id));
    c->Win_Last_Id = c->Cur_Id;
    c->Load_Count = kLiveLoad;
    QVERIFY(Load_History(*c, main));
    QString inSlots;
    for (int s = kLiveLoad - int(expected.size()) + 1; s <= kLiveLoad; ++s)
        inSlots += c->held[s] ? u'h' : u'f';
    QCOMPARE(inSlots, expected);
    for (int s = 0; s <= kLiveLoad - int(expected.size()); ++s)
        QVERIFY(!c->held[s]);
    // The ruler names a held record as such.
    QWidget window;
    ReadoutPanel readouts(&window);
    for (int s : {kLiveLoad - 1, kLiveLoad}) {
        readouts.showRecord(*c, s);
        QCOMPARE(window.findChild<QGroupBox *>(QStringLiteral("Frame4"))->title().endsWith(QStringLiteral("（保持值）")),
                 bool(c->held[s]));
    }

    // The journal gone, every record counts as measured again.
    main.close();
    QVERIFY(withDb(path, [](QSqlDatabase &db) { return QSqlQuery(db).exec(QStringLiteral("DROP TABLE qr_events")); }));
    QVERIFY(readHistory(path, kStart.addSecs(1), kStart.addSecs(60), std::nullopt, range, error));
    QCOMPARE(range.records.size(), size_t(expected.size()));
    QVERIFY(std::all_of(range.records.begin(), range.records.end(), [](const HistoryRecord &r) { return r.fresh; }));
}

// Held slots lie on a grey band behind the curves; the rest of the chart is
// drawn as before.
void TstEvents::heldBandDrawn()
{
    auto c = std::make_unique<Chart>();
    for (int s = 1; s <= kLiveLoad; ++s) {
        c->Chart_Date[s] = dateSerial(kStart.date());
        c->Chart_Time[s] = timeSerial(kStart.time().addSecs(s));
    }
    const YRange range{0, 0, 1500};
    auto draw = [&c, &range] {
        QImage img(1200, 750, QImage::Format_RGB32);
        QPainter p(&img);
        p.scale(0.1, 0.1); // 10 twips a pixel
        ChartPainter(10).Redraw_Chart(p, *c, nullptr, range);
        return img;
    };
    const QImage plain = draw();
    for (int s = 200; s <= 210; ++s)
        c->held[s] = true;
    const QImage marked = draw();
    // Slot 205 at zoom 1 lies at x = (205 - 180) * 150 twips; the curves run
    // along the bottom (values 0), away from the points looked at, which
    // miss the grid's lines too.
    const QPoint inBand(380, 300), outside(610, 300);
    QCOMPARE(plain.pixelColor(inBand), ChartPainter::backColour);
    const QColor band = marked.pixelColor(inBand);
    QVERIFY2(band.red() < 0xC0 && band.green() < 0xFF && band.green() == band.blue(), qPrintable(band.name()));
    QCOMPARE(marked.pixelColor(outside), plain.pixelColor(outside));
}

// Every write attempt of the configuration window reaches the journal with
// the register, caption, value read before, value written or refused, and
// the outcome.
void TstEvents::paramOutcomes_data()
{
    QTest::addColumn<int>("reg");
    QTest::addColumn<bool>("readFirst");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<EventKind>("kind");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("detailHas");

    QTest::newRow("written") << 3 << true << "fault none" << "777" << EventKind::ParamWritten << "123" << "777" << "";
    QTest::newRow("written, block never read") << 3 << false << "fault none" << "777" << EventKind::ParamWritten << ""
                                               << "777" << "";
    QTest::newRow("refused") << 29 << true << "fault none" << "-32768" << EventKind::ParamRefused << "7" << "-32768"
                             << "-500～500";
    QTest::newRow("failed") << 3 << true << "fault wexc 3" << "777" << EventKind::ParamFailed << "123" << "777"
                            << "illegal data value";
}

void TstEvents::paramOutcomes()
{
    QFETCH(int, reg);
    QFETCH(bool, readFirst);
    QFETCH(QString, fault);
    QFETCH(QString, typed);
    QFETCH(EventKind, kind);
    QFETCH(QString, before);
    QFETCH(QString, value);
    QFETCH(QString, detailHas);

    QTemporaryDir portDir;
    qputenv("QR5300M_PORT_DIR", portDir.path().toLocal8Bit());
    SimProcess sim(portDir.path());
    QVERIFY(sim.isReady());
    QCOMPARE(sim.command(QStringLiteral("set hr 3 123")), QStringLiteral("ok"));
    QCOMPARE(sim.command(QStringLiteral("set hr 29 7")), QStringLiteral("ok"));
    QCOMPARE(sim.command(fault), QStringLiteral("ok"));
    Link link;
    int32_t opened = -1;
    link.OpenPort_Modbus(1, 1, 0, this, [&opened](const LinkResult &r) { opened = r.result; });
    QTRY_COMPARE(opened, kModbusOk);

    const QString path = useNewDb();
    Logger l(kStart);
    WriteJournal journal(l.clock); // wired as in the session
    connect(&journal, &WriteJournal::paramEvent, l.m.get(), &mscom::paramEvent);
    LinkSettings settings;
    settings.Link_Par[0] = 1;
    settings.Link_Par[3] = 1;
    ReadBack readBack;
    auto *w = new CONFIG1(link, settings, readBack, &journal);
    w->Form_Load();
    w->Timer1.stop();
    QSignalSpy told(w, &CONFIG1::paramEvent);
    if (readFirst) {
        w->Timer1_Timer();
        QTRY_COMPARE(w->readsOut(), 0);
        QVERIFY(readBack.Block[0].read && readBack.Block[1].read);
    }
    QLineEdit *edit = w->T_3RW[reg - 1];
    QVERIFY(edit);
    QTest::keyClicks(edit, typed);
    w->T_3RW_LostFocus(reg - 1);
    QTRY_COMPARE(told.count(), 1);
    QTRY_COMPARE(link.pending(), 0);
    l.second();
    QVERIFY2(journalStatusText(l.m->journalError()).isEmpty(), qPrintable(journalStatusText(l.m->journalError())));

    HistoryRange range;
    HistoryError error;
    QVERIFY2(readHistory(path, kStart, kStart.addSecs(10), std::nullopt, range, error), qPrintable(historyReadText(error)));
    QCOMPARE(range.events.size(), size_t(2));
    QCOMPARE(range.events[0].kind, EventKind::LinkClosed); // the logging's start
    const HistoryEvent &e = range.events[1];
    QCOMPARE(e.kind, kind);
    QCOMPARE(e.reg, reg);
    QCOMPARE(e.caption, QString::fromUtf8(kParam[reg - 1].caption));
    QCOMPARE(e.before, before);
    QCOMPARE(e.value, value);
    QVERIFY2(detailHas.isEmpty() ? e.detail.isEmpty() : e.detail.contains(detailHas), qPrintable(e.detail));
    QCOMPARE(e.msecs, kStart.toMSecsSinceEpoch()); // stamped by the clock when it happened
    const auto sent = told.at(0).at(0).value<HistoryEvent>();
    QCOMPARE(sent.kind, e.kind);
    QCOMPARE(sent.before, e.before);
    QCOMPARE(sent.detail, e.detail);
    w->Keep_Open = 0;
    delete w;
}

QTEST_MAIN(TstEvents)
#include "tst_events.moc"
