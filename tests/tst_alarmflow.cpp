// Alarms end to end: the real simulator raises and clears flags and values,
// the session's alarms judge them after each poll, and the alarm list, the
// journal (qr_events of a real database file) and the messages on a real
// broker (mosquitto on 127.0.0.1) tell the same changes in the same order.
#include "app/alarm_text.h"
#include "app/history_text.h"
#include "app/alarm_window.h"
#include "app/session.h"
#include "app/ssqx.h"
#include "logging/csv_export.h"
#include "logging/history_range.h"
#include "logging/journal.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

namespace {

MqttSettings brokerAt(int port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

// "raised open 2": the event, kind and channel of a message.
QString messageText(const QByteArray &json)
{
    const QJsonObject o = QJsonDocument::fromJson(json).object();
    return QStringLiteral("%1 %2 %3")
        .arg(o.value(QLatin1String("event")).toString(), o.value(QLatin1String("kind")).toString())
        .arg(o.value(QLatin1String("channel")).toInt());
}

// Those of every message, joined by commas.
QString messageTexts(const QList<QByteArray> &jsons)
{
    QStringList out;
    for (const QByteArray &m : jsons)
        out << messageText(m);
    return out.join(u',');
}

// The journal's flag, alarm and link-down rows as "flag_raised 2/1", oldest
// first.
QStringList journalRows(const QString &path)
{
    QStringList out;
    for (const QVariantList &r : sqlRows(path, QStringLiteral("SELECT ev_kind, ev_channel, ev_flag, ev_caption FROM qr_events "
                                                              "WHERE ev_kind LIKE 'flag%' OR ev_kind LIKE 'alarm%' "
                                                              "OR ev_kind IN ('link_interrupted', 'link_restored') ORDER BY ev_id")))
        out << QStringLiteral("%1 %2/%3").arg(r[0].toString()).arg(r[1].toInt()).arg(r[2].toInt());
    return out;
}

// Channel 1's high limit with a dead band of 5 (none for 0).
StationLimits highLimit(double limit)
{
    StationLimits limits{};
    if (limit != 0) {
        limits[0].high = limit;
        limits[0].deadBand = 5;
    }
    return limits;
}

// A simulator command, "ack" (every alarm: "全部确认" with the comment
// "seen") or "ack1" (the list's first row: "确认" without comment).
void takeStep(const QString &step, SimProcess &sim, AlarmWindow &window)
{
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("alarmTable"));
    if (step == QLatin1String("ack")) {
        window.findChild<QLineEdit *>(QStringLiteral("ackComment"))->setText(QStringLiteral("seen"));
        window.findChild<QPushButton *>(QStringLiteral("ackAllButton"))->click();
    } else if (step == QLatin1String("ack1")) {
        QTRY_COMPARE(table->rowCount(), 1);
        table->selectRow(0);
        window.findChild<QPushButton *>(QStringLiteral("ackButton"))->click();
    } else {
        QCOMPARE(sim.command(step), QStringLiteral("ok"));
    }
}

// Who acknowledged, and why, in the journal and the message alike.
void checkAcknowledgement(const QString &db, const QList<QByteArray> &messages, const QString &comment)
{
    const QList<QVariantList> acks = sqlRows(db, QStringLiteral("SELECT ev_caption, ev_detail FROM qr_events WHERE ev_kind = 'alarm_acknowledged'"));
    for (const QByteArray &m : messages) {
        const QJsonObject o = QJsonDocument::fromJson(m).object();
        if (o.value(QLatin1String("event")) != QLatin1String("acknowledged"))
            continue;
        QCOMPARE(acks.size(), 1);
        QCOMPARE(o.value(QLatin1String("operator")).toString(), loginName());
        QCOMPARE(acks[0][0].toString(), loginName());
        QCOMPARE(o.value(QLatin1String("comment")).toString(), comment);
        QCOMPARE(acks[0][1].toString(), comment);
    }
}

// The history window's lines and the event export (written to csv) show the
// journal's alarm events, read back around now.
void checkHistoryAndExport(const QString &db, const QString &csv, const QDateTime &now, int alarmEvents)
{
    HistoryRange range;
    HistoryError error;
    QVERIFY(readHistory(db, now.addSecs(-600), now.addSecs(60), LogRing::OneSecond, range, error));
    QStringList lines;
    for (const HistoryEvent &e : range.events)
        if (isAlarmEvent(e.kind))
            lines << historyEventText(e);
    QCOMPARE(int(lines.size()), alarmEvents);
    for (const QString &line : lines)
        QVERIFY2(!line.startsWith(QStringLiteral("确认")) || line.contains(loginName()), qPrintable(line));
    QVERIFY(exportCsv(range, csv, true).ok());
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QCOMPARE(int(text.count(QStringLiteral(",报警出现,")) + text.count(QStringLiteral(",报警消失,")) + text.count(QStringLiteral(",报警确认,"))),
             alarmEvents);
}

} // namespace

class TestAlarmFlow : public QObject {
    Q_OBJECT
private slots:
    void flagsListJournalAndMessagesAgree_data();
    void flagsListJournalAndMessagesAgree();
    void headlessJudgesTheSame_data();
    void headlessJudgesTheSame();
    void limitsDialogRemembered_data();
    void limitsDialogRemembered();
};

// steps: simulator commands, "ack" (every alarm: "全部确认" with the comment
// "seen") or "ack1" (the list's first row: "确认" without comment),
// separated by ';'. limit: channel 1's high limit (0: none), dead
// band 5. messages: what reached the broker on .../alarm; journal: the flag
// and alarm rows; listed: rows left in the list.
void TestAlarmFlow::flagsListJournalAndMessagesAgree_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<double>("limit");
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QString>("journal");
    QTest::addColumn<int>("listed");

    QTest::newRow("alarm raised, cleared, acknowledged")
        << "set di 1 1;set di 1 0;ack" << 0.0 << "raised alarm 1,cleared alarm 1,acknowledged alarm 1"
        << "flag_raised 1/0,flag_cleared 1/0,alarm_acknowledged 1/0" << 0;
    QTest::newRow("open circuit acknowledged while on")
        << "set di 5 1;ack1;set di 5 0" << 0.0 << "raised open 2,acknowledged open 2,cleared open 2"
        << "flag_raised 2/1,alarm_acknowledged 2/1,flag_cleared 2/1" << 0;
    QTest::newRow("short circuit left unacknowledged")
        << "set di 6 1;set di 6 0" << 0.0 << "raised short 2,cleared short 2" << "flag_raised 2/2,flag_cleared 2/2" << 1;
    QTest::newRow("high limit with dead band")
        << "set ir 1 150;set ir 1 97;set ir 1 90" << 100.0 << "raised h 1,cleared h 1"
        << "alarm_raised 1/5,alarm_cleared 1/5" << 1;
    QTest::newRow("link interrupted and restored")
        << "fault silent;fault none" << 0.0 << "raised link 0,cleared link 0" << "link_interrupted 0/0,link_restored 0/0" << 1;
}

void TestAlarmFlow::flagsListJournalAndMessagesAgree()
{
    QFETCH(QString, steps);
    QFETCH(double, limit);
    QFETCH(QString, messages);
    QFETCH(QString, journal);
    QFETCH(int, listed);

    QTemporaryDir dir;
    qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
    const QString db = dir.filePath(QStringLiteral("log.db"));
    qputenv("QR5300M_DB", db.toLocal8Bit());
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    for (const char *c : {"freeze on", "set ir 1 50", "status 0"})
        QVERIFY(sim.command(QString::fromLatin1(c)).startsWith("ok"));
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());

    // The limits as the dialog leaves them in the settings file.
    const QString conf = dir.filePath(QStringLiteral("qr5300m.conf"));
    const StationLimits limits = highLimit(limit);
    QVERIFY(writeStationLimits(conf, 1, limits));
    InstrumentSession session;
    session.mqtt.setSettings(brokerAt(broker.port()));
    session.settings.Link_Par[0] = 1, session.settings.Link_Par[1] = 1, session.settings.Link_Par[3] = 1;
    session.start();
    AlarmDesk desk(QDBusConnection(QStringLiteral("no bus")), session.clock, conf); // no notifications here
    desk.add(session.alarms);
    QCOMPARE(session.alarms.limits(), limits);
    AlarmWindow window(desk);
    auto *table = window.findChild<QTableWidget *>(QStringLiteral("alarmTable"));
    ssqx main(session);
    main.showAlarms(desk);
    QSignalSpy polls(&session.met1, &Met1::tickDone);
    session.linkControl.open(LinkChoice{{1, 1, 0, 1}, {}}, LinkControl::Remember::No);
    session.met1.Timer1.setInterval(50);
    QTRY_VERIFY(polls.count() > 2);

    for (const QString &step : steps.split(u';')) {
        takeStep(step, sim, window);
        const qsizetype seen = polls.count();
        QTRY_VERIFY(polls.count() > seen + 1); // a whole poll after the change
    }
    QTRY_COMPARE(journalRows(db).join(u','), journal);
    QTRY_COMPARE(messageTexts(sub.payloads("qr5300m/1/alarm")), messages);
    checkAcknowledgement(db, sub.payloads("qr5300m/1/alarm"),
                         steps.split(u';').contains(QLatin1String("ack")) ? QStringLiteral("seen") : QString());
    checkHistoryAndExport(db, dir.filePath(QStringLiteral("events.csv")), session.clock.now(), int(journal.count(QLatin1String("alarm_"))));
    QTRY_COMPARE(table->rowCount(), listed);
    // No notification service on this desk: the list says so.
    const auto *notifyState = window.findChild<QLabel *>(QStringLiteral("notifyState"));
    QVERIFY(!notifyState->isHidden() && notifyState->text().contains(QStringLiteral("不可用")));
    QCOMPARE(main.findChild<QPushButton *>(QStringLiteral("alarmCount"))->text().right(1), QString::number(listed));
    QTRY_COMPARE(QJsonDocument::fromJson(sub.payloads("qr5300m/1/alarms").constLast())
                     .object().value(QLatin1String("alarms")).toArray().size(), listed);
}

// The headless logger (the program itself) judges, journals and publishes
// the same alarms, with the limits of its settings file; one message a step.
void TestAlarmFlow::headlessJudgesTheSame_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QString>("journal");
    QTest::addColumn<int>("listed");
    QTest::newRow("open circuit, then over the high limit")
        << "set di 2 1;set ir 1 150" << "raised open 1,raised h 1" << "flag_raised 1/1,alarm_raised 1/5" << 2;
    QTest::newRow("short circuit raised and cleared")
        << "set di 3 1;set di 3 0" << "raised short 1,cleared short 1" << "flag_raised 1/2,flag_cleared 1/2" << 1;
}

void TestAlarmFlow::headlessJudgesTheSame()
{
    QFETCH(QString, steps);
    QFETCH(QString, messages);
    QFETCH(QString, journal);
    QFETCH(int, listed);

    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    for (const char *c : {"freeze on", "set ir 1 50"})
        QVERIFY(sim.command(QString::fromLatin1(c)).startsWith("ok"));
    StationLimits limits{};
    limits[0].high = 100;
    QVERIFY(writeStationLimits(dir.filePath(QStringLiteral("qr5300m/qr5300m.conf")), 1, limits));
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());

    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QR5300M_PORT_DIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    app.setProcessEnvironment(env);
    const QString db = dir.filePath(QStringLiteral("log.db"));
    app.start(QStringLiteral(QR_APP_PATH), {QStringLiteral("--headless"), QStringLiteral("--db"), db, QStringLiteral("--mqtt"),
                                            QStringLiteral("127.0.0.1:%1").arg(broker.port())});
    QVERIFY(app.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!sub.payloads("qr5300m/1/alarms").isEmpty(), 10000); // the first poll's list
    const QStringList commands = steps.split(u';');
    for (qsizetype i = 0; i < commands.size(); ++i) {
        QCOMPARE(sim.command(commands[i]), QStringLiteral("ok"));
        QTRY_COMPARE(sub.payloads("qr5300m/1/alarm").size(), i + 1);
    }
    QCOMPARE(messageTexts(sub.payloads("qr5300m/1/alarm")), messages);
    QTRY_COMPARE(QJsonDocument::fromJson(sub.payloads("qr5300m/1/alarms").constLast())
                     .object().value(QLatin1String("alarms")).toArray().size(), listed);
    QTRY_COMPARE(journalRows(db).join(u','), journal);
    app.terminate();
    QVERIFY(app.waitForFinished());
    QCOMPARE(app.exitCode(), 0);
}

// The limits dialog from the alarm list: what is entered for a channel is
// in force at once and in the settings file; a field that is no number is
// no limit.
void TestAlarmFlow::limitsDialogRemembered_data()
{
    QTest::addColumn<QString>("field"); // the line edit
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("level"); // expected; NaN: no limit
    QTest::newRow("channel 3 high") << "limit_ch3_h" << "120.5" << 120.5;
    QTest::newRow("channel 1 low-low") << "limit_ch1_ll" << "-40" << -40.0;
    QTest::newRow("not a number: none") << "limit_ch2_hh" << "abc" << qQNaN();
}

void TestAlarmFlow::limitsDialogRemembered()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(double, level);

    QTemporaryDir dir;
    const QString conf = dir.filePath(QStringLiteral("qr5300m.conf"));
    InstrumentSession session;
    session.settings.Link_Par[3] = 2;
    AlarmDesk desk(QDBusConnection(QStringLiteral("no bus")), session.clock, conf);
    desk.add(session.alarms);
    AlarmWindow window(desk);
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("limitsButton"))->click();
    QDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = window.findChild<QDialog *>(QStringLiteral("AlarmLimitsDialog"))) && dialog->isVisible());
    dialog->findChild<QLineEdit *>(field)->setText(text);
    dialog->findChild<QSpinBox *>(QStringLiteral("onDelay_ch4"))->setValue(7);
    dialog->findChild<QDoubleSpinBox *>(QStringLiteral("deadBand_ch4"))->setValue(1.5);
    dialog->accept();

    const int channel = field.mid(8, 1).toInt();
    const QString which = field.mid(10);
    const ChannelLimits &l = session.alarms.limits()[size_t(channel - 1)];
    const std::optional<double> got = which == QLatin1String("h") ? l.high : which == QLatin1String("hh") ? l.highHigh
                                      : which == QLatin1String("l") ? l.low : l.lowLow;
    QCOMPARE(got.has_value(), !qIsNaN(level));
    if (got)
        QCOMPARE(*got, level);
    QCOMPARE(session.alarms.limits()[3].onDelaySecs, 7);
    QCOMPARE(session.alarms.limits()[3].deadBand, 1.5);
    QCOMPARE(readStationLimits(conf, 2), session.alarms.limits());
    QCOMPARE(readStationLimits(conf, 1), StationLimits{}); // another station's are its own
}

QTEST_MAIN(TestAlarmFlow)
#include "tst_alarmflow.moc"
