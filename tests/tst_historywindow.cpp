// The history window with synthetic records: loading off the UI thread
// (newest request wins), markers and their differences, zoom and pan with
// the mouse, events listed, channels hidden, the export request, and the
// printed page written as PDF and read back; on a real database, the first
// range and a range that cannot be read whole.
#include "app/history_actions.h"
#include "app/historywindow.h"
#include "app/session.h"
#include "app/ssqx.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <memory>

namespace {

const QDateTime kNow(QDate(2026, 3, 12), QTime(12, 0, 0));

// One record a second from `from` up to `to`: CH1 = the record's number,
// CH3 = 500, the rest 0; two events.
bool synthetic(const QDateTime &from, const QDateTime &to, HistoryRange &range)
{
    range.from = from;
    range.to = to;
    range.ring = LogRing::OneSecond;
    range.records.clear();
    const qint64 t0 = from.toMSecsSinceEpoch();
    const qint64 n = (to.toMSecsSinceEpoch() - t0) / 1000;
    for (qint64 i = 0; i <= n; ++i) {
        HistoryRecord r;
        r.msecs = t0 + i * 1000;
        r.values[0] = float(i);
        r.values[2] = 500;
        range.records.push_back(r);
    }
    HistoryEvent alarm;
    alarm.msecs = t0 + 60 * 1000;
    alarm.kind = EventKind::FlagRaised;
    alarm.channel = 2;
    HistoryEvent write;
    write.msecs = t0 + 120 * 1000;
    write.kind = EventKind::ParamWritten;
    write.caption = QStringLiteral("报警值");
    write.before = QStringLiteral("100");
    write.value = QStringLiteral("120");
    range.events = {alarm, write};
    return true;
}

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void loaderOffUiThreadNewestWins();
    void markersReadRecordsAndDifferences();
    void wheelZoomKeepsTimeUnderCursor_data();
    void wheelZoomKeepsTimeUnderCursor();
    void dragPansBoxZoomsHomeShowsAll();
    void eventsListedChannelsHiddenExport();
    void pdfPageReadBack();
    void firstRange_data();
    void firstRange();
    void damagedRange_data();
    void damagedRange();

private:
    // Opens a window on the synthetic loader and loads [from, to].
    HistoryWindow *openLoaded(const QDateTime &from, const QDateTime &to);
    std::unique_ptr<InstrumentSession> m_session;
    std::unique_ptr<HistoryWindow> m_window;
};

void TestHistoryWindow::init()
{
    m_session = std::make_unique<InstrumentSession>();
    m_session->clock.set([] { return kNow; });
    m_session->yRange = YRange{0, 1500, 1500};
}

void TestHistoryWindow::cleanup()
{
    m_window.reset();
    m_session.reset();
}

HistoryWindow *TestHistoryWindow::openLoaded(const QDateTime &from, const QDateTime &to)
{
    m_window = std::make_unique<HistoryWindow>(
        *m_session, [](const QDateTime &f, const QDateTime &t, std::optional<LogRing>, HistoryRange &r, HistoryError &) {
            return synthetic(f, t, r);
        });
    m_window->resize(1200, 700);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return nullptr;
    QSignalSpy loaded(m_window.get(), &HistoryWindow::loaded);
    m_window->load(from, to);
    if (!loaded.wait(5000) || !m_window->plot()->data())
        return nullptr;
    return m_window.get();
}

void TestHistoryWindow::loaderOffUiThreadNewestWins()
{
    // The first request blocks in the loader until released; the second,
    // asked meanwhile, answers at once and is shown; the first's late
    // answer is dropped.
    QSemaphore release;
    std::atomic<int> calls{0}, finished{0}, offUiThread{0};
    QThread *ui = QThread::currentThread();
    m_window = std::make_unique<HistoryWindow>(
        *m_session, [&](const QDateTime &f, const QDateTime &t, std::optional<LogRing>, HistoryRange &r, HistoryError &) {
            if (QThread::currentThread() != ui)
                ++offUiThread;
            const bool first = calls.fetch_add(1) == 0;
            if (first)
                release.acquire();
            synthetic(f, t, r);
            if (first)
                r.ring = LogRing::TenSecond;
            ++finished;
            return true;
        });
    m_window->show();
    auto *ring = m_window->findChild<QLabel *>(QStringLiteral("ringLabel"));
    QVERIFY(ring);
    QSignalSpy loaded(m_window.get(), &HistoryWindow::loaded);

    m_window->load(kNow.addSecs(-7200), kNow);
    QTRY_COMPARE(calls.load(), 1);
    // The UI thread goes on while the loader is busy: a timer still fires.
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    QTRY_VERIFY(ticked);

    m_window->load(kNow.addSecs(-600), kNow);
    QTRY_COMPARE(loaded.count(), 1);
    QCOMPARE(m_window->plot()->data()->from, kNow.addSecs(-600));
    QCOMPARE(ring->text(), QStringLiteral("1 秒记录"));

    release.release();
    QTRY_COMPARE(finished.load(), 2);
    QTRY_VERIFY(!m_window->isLoading());
    QCOMPARE(loaded.count(), 1);
    QCOMPARE(m_window->plot()->data()->from, kNow.addSecs(-600));
    QCOMPARE(ring->text(), QStringLiteral("1 秒记录"));
    QCOMPARE(offUiThread.load(), 2);
}

void TestHistoryWindow::markersReadRecordsAndDifferences()
{
    const QDateTime from = kNow.addSecs(-3600);
    HistoryWindow *w = openLoaded(from, kNow);
    QVERIFY(w);
    HistoryPlotView *plot = w->plot();
    // Records 100 and 400 (CH1 = 100 and 400), five minutes apart, with
    // room around them.
    const double t0 = double(from.toMSecsSinceEpoch());
    plot->setView(t0 + 60000, t0 + 440000);
    const int y = plot->height() / 2;
    QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(int(std::lround(plot->xAt(t0 + 100000))), y));
    QTest::mouseClick(plot, Qt::LeftButton, {}, QPoint(int(std::lround(plot->xAt(t0 + 400000))), y));
    QCOMPARE(plot->marker(0), 100);
    QCOMPARE(plot->marker(1), 400);

    auto *readout = w->findChild<QLabel *>(QStringLiteral("markerReadout"));
    QVERIFY(readout);
    const QStringList lines = readout->text().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines[0].startsWith(QStringLiteral("A  2026-03-12 11:01:40  CH1 100  CH2 0  CH3 500")), qPrintable(lines[0]));
    QVERIFY2(lines[1].startsWith(QStringLiteral("B  2026-03-12 11:06:40  CH1 400")), qPrintable(lines[1]));
    QVERIFY2(lines[2].startsWith(QStringLiteral("Δt 00:05:00  ΔCH1 +300  ΔCH2 0  ΔCH3 0")), qPrintable(lines[2]));

    // A shift-click always moves B.
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(int(std::lround(plot->xAt(t0 + 250000))), y));
    QCOMPARE(plot->marker(0), 100);
    QCOMPARE(plot->marker(1), 250);
    QVERIFY(readout->text().contains(QStringLiteral("Δt 00:02:30  ΔCH1 +150")));
}

void TestHistoryWindow::wheelZoomKeepsTimeUnderCursor_data()
{
    QTest::addColumn<double>("share"); // of the plot's width
    QTest::addColumn<int>("delta");
    QTest::newRow("left, in") << 0.2 << 120;
    QTest::newRow("middle, in twice") << 0.5 << 240;
    QTest::newRow("right, out") << 0.8 << -120;
}

void TestHistoryWindow::wheelZoomKeepsTimeUnderCursor()
{
    QFETCH(double, share);
    QFETCH(int, delta);
    const QDateTime from = kNow.addSecs(-3600);
    HistoryWindow *w = openLoaded(from, kNow);
    QVERIFY(w);
    HistoryPlotView *plot = w->plot();
    const double t0 = double(from.toMSecsSinceEpoch());
    plot->setView(t0 + 1200000, t0 + 2400000); // the middle third, room to zoom out
    const QPointF pos(plot->width() * share, plot->height() / 2.0);
    const double before = plot->timeAt(pos.x());
    const double span = plot->viewTo() - plot->viewFrom();
    QWheelEvent wheel(pos, plot->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &wheel);
    const double after = plot->viewTo() - plot->viewFrom();
    QVERIFY2(delta > 0 ? after < span : after > span, qPrintable(QStringLiteral("%1 -> %2").arg(span).arg(after)));
    QVERIFY2(std::abs(plot->timeAt(pos.x()) - before) < 1, qPrintable(QString::number(plot->timeAt(pos.x()) - before)));
}

void TestHistoryWindow::dragPansBoxZoomsHomeShowsAll()
{
    const QDateTime from = kNow.addSecs(-3600);
    HistoryWindow *w = openLoaded(from, kNow);
    QVERIFY(w);
    HistoryPlotView *plot = w->plot();
    const double t0 = double(from.toMSecsSinceEpoch());
    plot->setView(t0 + 1200000, t0 + 2400000);
    const int y = plot->height() / 2;

    // A left drag of 100 pixels to the right shows earlier times; no marker.
    const double before = plot->timeAt(400);
    QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(400, y));
    QTest::mouseMove(plot, QPoint(450, y));
    QTest::mouseMove(plot, QPoint(500, y));
    QTest::mouseRelease(plot, Qt::LeftButton, {}, QPoint(500, y));
    QVERIFY(std::abs(plot->timeAt(500) - before) < 1);
    QCOMPARE(plot->marker(0), -1);

    // A right drag zooms to the box's time span.
    const double a = plot->timeAt(300), b = plot->timeAt(700);
    QTest::mousePress(plot, Qt::RightButton, {}, QPoint(700, y));
    QTest::mouseMove(plot, QPoint(500, y));
    QTest::mouseMove(plot, QPoint(300, y));
    QTest::mouseRelease(plot, Qt::RightButton, {}, QPoint(300, y));
    QVERIFY(std::abs(plot->viewFrom() - a) < 1 && std::abs(plot->viewTo() - b) < 1);

    // Home: the whole range again.
    plot->setFocus();
    QTest::keyClick(plot, Qt::Key_Home);
    QCOMPARE(plot->viewFrom(), t0);
    QCOMPARE(plot->viewTo(), double(kNow.toMSecsSinceEpoch()));
}

void TestHistoryWindow::eventsListedChannelsHiddenExport()
{
    const QDateTime from = kNow.addSecs(-600);
    HistoryWindow *w = openLoaded(from, kNow);
    QVERIFY(w);
    auto *events = w->findChild<QListWidget *>(QStringLiteral("eventList"));
    QVERIFY(events);
    QCOMPARE(events->count(), 2);
    QVERIFY2(events->item(0)->text().endsWith(QStringLiteral("通道2 报警 出现")), qPrintable(events->item(0)->text()));
    QVERIFY2(events->item(1)->text().endsWith(QStringLiteral("参数写入 报警值: 100 → 120")),
             qPrintable(events->item(1)->text()));

    // CH3 (a flat line at 500, #004000) is drawn until its box is cleared.
    auto greenPixels = [w] {
        QImage img(1000, 500, QImage::Format_RGB32);
        QPainter p(&img);
        w->plot()->render(p, QRectF(0, 0, 1000, 500), 1);
        p.end();
        int n = 0;
        for (int x = 0; x < img.width(); ++x)
            for (int y = 0; y < img.height(); ++y)
                n += (img.pixel(x, y) & 0xFFFFFF) == 0x004000;
        return n;
    };
    QVERIFY(greenPixels() > 500);
    auto *ch3 = w->findChild<QCheckBox *>(QStringLiteral("channelBox3"));
    QVERIFY(ch3);
    ch3->click();
    QCOMPARE(greenPixels(), 0);

    QSignalSpy exported(w, &HistoryWindow::exportRequested);
    w->findChild<QPushButton *>(QStringLiteral("exportButton"))->click();
    QCOMPARE(exported.count(), 1);
    QCOMPARE(exported[0][0].toDateTime(), from);
    QCOMPARE(exported[0][1].toDateTime(), kNow);
    QCOMPARE(exported[0][2].value<LogRing>(), LogRing::OneSecond);
}

void TestHistoryWindow::pdfPageReadBack()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils not installed");
    m_session->settings.Link_Par[3] = 7;
    HistoryWindow *w = openLoaded(kNow.addSecs(-1800), kNow);
    QVERIFY(w);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    QString error;
    QVERIFY2(w->writePdf(pdf, &error), qPrintable(error));

    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {pdf}));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts \\(A4\\)"))),
             qPrintable(info));

    const QString text = QString::fromUtf8(runTool(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}));
    for (const QString &s : {QStringLiteral("历史曲线"), QStringLiteral("QR5300M"), QStringLiteral("站号 7"),
                             QStringLiteral("2026-03-12 11:30:00"), QStringLiteral("2026-03-12 12:00:00"),
                             QStringLiteral("通道一 CH1"), QStringLiteral("通道三 CH3"), QStringLiteral("打印时间")})
        QVERIFY2(text.contains(s), qPrintable(s + QStringLiteral(" not in: ") + text));

    runTool(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-aa"),
                                         QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                                         QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf,
                                         dir.filePath(QStringLiteral("page"))});
    QImage page(dir.filePath(QStringLiteral("page.png")));
    QVERIFY(!page.isNull());
    QVERIFY(page.width() > page.height()); // landscape
    int red = 0, green = 0;
    for (int x = 0; x < page.width(); ++x)
        for (int y = 0; y < page.height(); ++y) {
            const QRgb c = page.pixel(x, y) & 0xFFFFFF;
            red += c == 0xFF0000;
            green += c == 0x004000;
        }
    QVERIFY2(red > 100 && green > 100, qPrintable(QStringLiteral("red %1, green %2").arg(red).arg(green)));
}

// Opened from the main window on a real database, the window shows the
// records there are: a young database's few minutes fill the plot, records
// that ended hours ago are shown up to their end, and a database with none
// says so.
void TestHistoryWindow::firstRange_data()
{
    QTest::addColumn<int>("count");       // one-second records
    QTest::addColumn<int>("endsAgo");     // seconds from the newest record to now
    QTest::addColumn<QDateTime>("from");
    QTest::addColumn<QDateTime>("to");
    QTest::addColumn<int>("shown");       // records in that range
    QTest::addColumn<QString>("status");
    QTest::newRow("young database, five minutes")
        << 300 << 1 << kNow.addSecs(-300) << kNow.addSecs(-1) << 300 << QString();
    QTest::newRow("records ended three hours ago")
        << 7200 << 3 * 3600 << kNow.addSecs(-4 * 3600) << kNow.addSecs(-3 * 3600) << 3601 << QString();
    QTest::newRow("empty database") << 0 << 0 << kNow.addSecs(-3600) << kNow << 0 << QStringLiteral("数据库中尚无记录");
}

void TestHistoryWindow::firstRange()
{
    QFETCH(int, count);
    QFETCH(int, endsAgo);
    QFETCH(QDateTime, from);
    QFETCH(QDateTime, to);
    QFETCH(int, shown);
    QFETCH(QString, status);
    TempDatabase db;
    QVERIFY(db.isValid());
    QVERIFY(count == 0 || db.fill(DbRing::Pv, 1, count, kNow.addSecs(-endsAgo - (count - 1))));
    ssqx main(*m_session);
    main.Command29_Click();
    auto *history = main.findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
    QVERIFY(history);
    auto *line = history->findChild<QLabel *>(QStringLiteral("statusLabel"));
    QTRY_VERIFY2(history->plot()->data() && !history->isLoading(), qPrintable(line->text()));
    QCOMPARE(qint64(history->plot()->viewFrom()), from.toMSecsSinceEpoch());
    QCOMPARE(qint64(history->plot()->viewTo()), to.toMSecsSinceEpoch());
    QCOMPARE(history->findChild<QDateTimeEdit *>(QStringLiteral("fromEdit"))->dateTime(), from);
    QCOMPARE(history->findChild<QDateTimeEdit *>(QStringLiteral("toEdit"))->dateTime(), to);
    QCOMPARE(history->plot()->data()->records.size(), size_t(shown));
    QCOMPARE(line->text(), status);
}

// A damaged page under the range: the window's line says the range could
// not be read whole, and the export of the range fails with the same line.
void TestHistoryWindow::damagedRange_data()
{
    QTest::addColumn<QString>("table"); // whose first page is damaged
    QTest::newRow("a damaged page of the one-second records") << QStringLiteral("pv_data");
}

void TestHistoryWindow::damagedRange()
{
    QFETCH(QString, table);
    TempDatabase db;
    QVERIFY(db.isValid());
    QVERIFY(db.fill(DbRing::Pv, 1, 3600, kNow.addSecs(-3600)));
    const QList<QVariantList> root =
        sqlRows(db.path(), QStringLiteral("SELECT rootpage FROM sqlite_master WHERE name = '%1'").arg(table));
    QVERIFY(root.size() == 1 && damagePage(db.path(), root[0][0].toInt()));
    const QString incomplete = QStringLiteral("此时段未能完整读取：读取数据库失败（");

    ssqx main(*m_session);
    main.Command29_Click();
    auto *history = main.findChild<HistoryWindow *>(QStringLiteral("HistoryWindow"));
    QVERIFY(history);
    auto *line = history->findChild<QLabel *>(QStringLiteral("statusLabel"));
    QTRY_VERIFY2(!history->isLoading(), qPrintable(line->text()));
    QVERIFY2(line->text().startsWith(incomplete), qPrintable(line->text()));
    QVERIFY(!history->plot()->data());

    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("range.csv"));
    const QString error = exportHistoryRange(db.path(), kNow.addSecs(-3600), kNow, LogRing::OneSecond, out, {});
    QVERIFY2(error.startsWith(incomplete), qPrintable(error));
    QVERIFY(!QFile::exists(out));
}

QTEST_MAIN(TestHistoryWindow)
#include "tst_historywindow.moc"
