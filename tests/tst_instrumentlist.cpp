// The instrument list and the main window following it, against the real
// simulator with two stations on one pseudo-terminal: each row shows its own
// station's values, selecting a row gives the main window that instrument,
// and a station's alarm flag lights its row whichever instrument is shown;
// Ctrl+I brings the list up, and an instrument removed takes its main
// window with it.
#include "app/alarm_desk.h"
#include "app/alarm_window.h"
#include "app/instrument_list.h"
#include "app/frmsplash.h"
#include "app/readout_panel.h"
#include "app/ssqx.h"
#include "core/numbers.h"
#include "tst_mainwindow_fixture.h"

#include <QTableWidget>
#include <QtTest>

class TestInstrumentList : public QObject {
    Q_OBJECT
private slots:
    void followsSelection_data();
    void followsSelection();
};

namespace {

// The background of every cell of row i is the lit one, or none is.
bool rowLit(const QTableWidget &table, int row)
{
    const QColor lit = ReadoutPanel::litColour();
    for (int c = 0; c < table.columnCount(); ++c)
        if (table.item(row, c)->background().color() != lit || table.item(row, c)->background().style() == Qt::NoBrush)
            return false;
    return true;
}

} // namespace

void TestInstrumentList::followsSelection_data()
{
    QTest::addColumn<int>("chosen");     // the row selected
    QTest::addColumn<int>("alarmStation"); // station whose alarm 1 of channel 1 is raised

    QTest::newRow("second shown, first alarmed") << 1 << 1;
    QTest::newRow("first shown, second alarmed") << 0 << 2;
}

void TestInstrumentList::followsSelection()
{
    QFETCH(int, chosen);
    QFETCH(int, alarmStation);
    const TempDatabase db(false);
    qputenv("QR5300M_PORT_DIR", db.folder().toLocal8Bit());
    SimProcess sim(db.folder(), 1, {QStringLiteral("--stations"), QStringLiteral("1,2")});
    QVERIFY(sim.isReady());
    const float values[2] = {111, 222};
    for (const int s : {1, 2}) {
        for (const QString &c : {QStringLiteral("freeze on"), QStringLiteral("status 0"),
                                 QStringLiteral("set ir 1 %1").arg(values[s - 1])})
            QVERIFY(sim.command(QStringLiteral("@%1 %2").arg(s).arg(c)).startsWith("ok"));
    }

    Plant plant(dbLocation(), db.filePath(QStringLiteral("qr5300m.conf")));
    QCOMPARE(plant.addStation(0, 2), PlantFault::None);
    AlarmDesk desk(QDBusConnection(QStringLiteral("no bus")), plant.first().clock, db.filePath(QStringLiteral("qr5300m.conf")));
    desk.follow(plant);
    AlarmWindow alarms(desk);
    Windows windows;
    windows.follow(plant); // several instruments: the list opens beside the main window
    plant.start();
    QVERIFY(windows.main && windows.list && windows.list->isVisible());
    windows.main->Command9_Click(); // port 1, station 1 as the panel starts
    auto *table = control<QTableWidget>(*windows.list, QStringLiteral("instrumentTable"));
    QVERIFY(table);
    QCOMPARE(table->rowCount(), 2);
    const int value = InstrumentListWindow::FirstValueColumn;
    for (int row = 0; row < 2; ++row)
        QTRY_COMPARE(table->item(row, value)->text(), numText(values[row]));

    // The main window shows the instrument of the row selected.
    table->setCurrentCell(chosen, InstrumentListWindow::StationColumn);
    QCOMPARE(plant.current(), chosen);
    QTRY_COMPARE(control<FitLabel>(*windows.main, "D_3W", 0)->text(), numText(values[chosen]));
    QVERIFY(windows.main->windowTitle().endsWith(QStringLiteral(" 站 %1").arg(chosen + 1)));

    // An alarm lights its station's row only, shown or not.
    QVERIFY(!rowLit(*table, 0) && !rowLit(*table, 1));
    QVERIFY(sim.command(QStringLiteral("@%1 set di 1 1").arg(alarmStation)).startsWith("ok"));
    QTRY_VERIFY(rowLit(*table, alarmStation - 1));
    QVERIFY(!rowLit(*table, 2 - alarmStation));
    // The flag lit, and the one alarm of the station nobody has acknowledged.
    QCOMPARE(table->item(alarmStation - 1, InstrumentListWindow::AlarmColumn)->text(),
             QStringLiteral("%1（未确认 1）").arg(ReadoutPanel::flagText(0)));

    // Ctrl+I in the main window brings the list back.
    windows.list->hide();
    windows.main->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(windows.main.get()));
    QTest::keyClick(windows.main.get(), Qt::Key_I, Qt::ControlModifier);
    QTRY_VERIFY(windows.list->isVisible());

    // The alarm list has the raised alarm under its station.
    auto *alarmTable = alarms.findChild<QTableWidget *>();
    QVERIFY(alarmTable);
    QTRY_COMPARE(alarmTable->rowCount(), 1);
    QCOMPARE(alarmTable->item(0, 1)->text(), QString::number(alarmStation));

    // The second instrument goes: the main window shows the first again, and
    // the alarm list keeps only the alarms of the instruments left.
    QCOMPARE(plant.remove(1), PlantFault::None);
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(alarmTable->rowCount(), alarmStation == 1 ? 1 : 0);
    QTRY_COMPARE(control<FitLabel>(*windows.main, "D_3W", 0)->text(), numText(values[0]));

    windows.main->Command10_Click();
    QTRY_COMPARE(plant.first().link.pending(), 0);
}

QTEST_MAIN(TestInstrumentList)
#include "tst_instrumentlist.moc"
