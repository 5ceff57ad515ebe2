// The desktop notification of a new alarm reaches a receiver that owns
// org.freedesktop.Notifications on a private session bus (a dbus-daemon the
// test starts on a socket in a temporary folder), is sent again with its id
// while the alarm waits for acknowledgement, and stops when acknowledged or
// while muted (on the clock the test sets). Without the service nothing waits for it and it is told once.
#include "app/alarm_notifier.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The notification service as the desktop offers it, recording each call.
class Receiver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        uint replacesId;
        QString summary, body;
        QVariantMap hints;
    };
    QList<Call> calls;

public slots:
    uint Notify(const QString &, uint replacesId, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &hints, int)
    {
        calls.append({replacesId, summary, body, hints});
        return 7;
    }
};

// A session bus of dbus-daemon on a socket in dir, until the object goes;
// it starts no services of its own (no service folders).
class PrivateBus {
public:
    explicit PrivateBus(const QString &dir)
    {
        QFile conf(dir + QStringLiteral("/bus.conf"));
        if (conf.open(QIODevice::WriteOnly))
            conf.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                      " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                      "<busconfig>\n<type>session</type>\n<listen>unix:path=%1/bus</listen>\n"
                                      "<auth>EXTERNAL</auth>\n<policy context=\"default\">\n"
                                      "<allow send_destination=\"*\" eavesdrop=\"true\"/>\n<allow eavesdrop=\"true\"/>\n"
                                      "<allow own=\"*\"/>\n</policy>\n</busconfig>\n")
                           .arg(dir)
                           .toUtf8());
        conf.close();
        m_process.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + conf.fileName(), QStringLiteral("--nofork"),
                                                        QStringLiteral("--print-address")});
        if (m_process.waitForReadyRead(5000))
            address = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    QString address;

private:
    QProcess m_process;
};

AlarmChange openCircuit()
{
    AlarmChange c;
    c.time = QDateTime(QDate(2026, 12, 8), QTime(8, 0));
    c.station = 3;
    c.key = {2, AlarmKind::Open};
    c.priority = 1;
    c.active = true;
    c.value = 32767;
    c.notify = true;
    return c;
}

} // namespace

class TestAlarmNotify : public QObject {
    Q_OBJECT
private slots:
    void notified_data();
    void notified();
};

void TestAlarmNotify::notified_data()
{
    QTest::addColumn<bool>("service"); // a receiver owns the name
    QTest::addColumn<bool>("muted");   // the sound muted before the alarm
    QTest::addColumn<int>("state");    // NotifyService told, once
    QTest::newRow("service: notified, rings until acknowledged") << true << false << int(NotifyService::Available);
    QTest::newRow("service, muted: notified without sound") << true << true << int(NotifyService::Available);
    QTest::newRow("no service: no wait, told once") << false << false << int(NotifyService::Unavailable);
}

void TestAlarmNotify::notified()
{
    QFETCH(bool, service);
    QFETCH(bool, muted);
    QFETCH(int, state);

    QTemporaryDir dir;
    PrivateBus bus(dir.path());
    QVERIFY(bus.address.startsWith(QLatin1String("unix:")));
    const QString tag = QString::fromLatin1(QTest::currentDataTag());
    QDBusConnection receiving = QDBusConnection::connectToBus(bus.address, QStringLiteral("receiver ") + tag);
    QDBusConnection sending = QDBusConnection::connectToBus(bus.address, QStringLiteral("sender ") + tag);
    QVERIFY(receiving.isConnected() && sending.isConnected());
    Receiver receiver;
    if (service) {
        QVERIFY(receiving.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &receiver, QDBusConnection::ExportAllSlots));
        QVERIFY(receiving.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    QDateTime now(QDate(2026, 12, 8), QTime(8, 0));
    Clock clock;
    clock.set([&now] { return now; });
    AlarmNotifier notifier(sending, clock);
    notifier.setRepeatMs(50);
    QSignalSpy told(&notifier, &AlarmNotifier::serviceChanged);
    QSignalSpy beeps(&notifier, &AlarmNotifier::beep);
    if (muted)
        notifier.mute(300);
    QElapsedTimer t;
    t.start();
    notifier.take(openCircuit());
    notifier.setUnacknowledged(1);
    QVERIFY2(t.elapsed() < 50, "the call waits for nothing");
    QCOMPARE(notifier.ringing(), !muted);

    QTRY_VERIFY(notifier.sent() >= (muted ? 1 : 3));
    QTRY_COMPARE(notifier.answered(), notifier.sent());
    QCOMPARE(told.count(), 1);
    QCOMPARE(told.first().first().value<NotifyService>(), NotifyService(state));
    QCOMPARE(notifier.error(), service ? QDBusError::NoError : QDBusError::ServiceUnknown);
    QCOMPARE(beeps.isEmpty(), muted);
    if (service) {
        QTRY_COMPARE(receiver.calls.size(), notifier.sent());
        const Receiver::Call &first = receiver.calls.first();
        QVERIFY2(first.summary.contains(QLatin1String("3")), qPrintable(first.summary));
        QVERIFY2(first.body.contains(QStringLiteral("通道2")) && first.body.contains(QStringLiteral("开路")), qPrintable(first.body));
        QCOMPARE(first.replacesId, 0u);
        QCOMPARE(first.hints.contains(QLatin1String("sound-name")), !muted);
        if (!muted)
            QCOMPARE(receiver.calls.last().replacesId, 7u); // sent again in place of the first
    }
    if (muted) { // the mute is over: it rings again
        now = now.addSecs(301);
        QVERIFY(notifier.ringing());
        QTRY_VERIFY(!beeps.isEmpty());
    }
    notifier.setUnacknowledged(0); // acknowledged: quiet
    QVERIFY(!notifier.ringing());
}

QTEST_GUILESS_MAIN(TestAlarmNotify)
#include "tst_alarmnotify.moc"
