// Publishing to a real Mosquitto broker on 127.0.0.1, checked by a real
// subscriber (mosquitto_sub): the acquisition's values from the real
// simulator arrive in order; a broker stopped and started again loses
// nothing within the queue's bound; the last will says "false" when the
// publishing program is killed; the settings dialog's result reaches the
// publisher and the config file. Settings that cannot work connect nothing
// and say why: a CA file TLS cannot be set up with, a prefix MQTT refuses.
// A broker down at the start is waited for; a client id another client
// takes over again and again is named.
#include "app/mqtt_dialog.h"
#include "app/session.h"
#include "app/ssqx.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

MqttSettings brokerAt(int port)
{
    MqttSettings s;
    s.enabled = true;
    s.host = QStringLiteral("127.0.0.1");
    s.port = port;
    return s;
}

// The TCP connections the broker has accepted so far.
int connectionsTo(Broker &broker)
{
    return int(broker.log().count("New connection from"));
}

// One plain TCP connection of our own, held until the broker has logged it:
// whatever reached the broker before it is in the log by then.
bool probe(Broker &broker)
{
    const int before = connectionsTo(broker);
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(uint16_t(broker.port()));
    const bool ok = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
                    && QTest::qWaitFor([&] { return connectionsTo(broker) > before; });
    if (fd >= 0)
        close(fd);
    return ok;
}

// The states the publisher told, in order (collected on this thread).
class StateLog : public QObject {
public:
    explicit StateLog(MqttPublisher &publisher)
    {
        connect(&publisher, &MqttPublisher::stateChanged, this, [this](const MqttState &s) { states.append(s); });
    }
    QList<MqttState> states;
};

// The headless logger on the simulator's port folder dir, logging into dir
// and publishing to broker, with extra options after its own.
void startLogger(QProcess &app, const QString &dir, const Broker &broker, const QStringList &extra = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QR5300M_PORT_DIR"), dir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir);
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(QR_APP_PATH),
              QStringList{QStringLiteral("--headless"), QStringLiteral("--db"), dir + QStringLiteral("/log.db"),
                          QStringLiteral("--mqtt"), QStringLiteral("127.0.0.1:%1").arg(broker.port())}
                  + extra);
}

} // namespace

class TestMqtt : public QObject {
    Q_OBJECT
private slots:
    void acquisitionsInOrder();
    void queueOverBrokerRestart();
    void lastWillWhenKilled();
    void stationsOnOwnTopics();
    void dialogAppliesAndSaves();
    void unusableTlsSendsNothing_data();
    void unusableTlsSendsNothing();
    void windowSaysWhy();
    void brokerStartedLater();
    void refusedPrefix_data();
    void refusedPrefix();
    void clientIdTakenOver();
};

// Channel 1 steps 1..10 under the running acquisition (50 ms polls); every
// message carries the simulator's values and they arrive in order.
void TestMqtt::acquisitionsInOrder()
{
    QTemporaryDir dir;
    qputenv("QR5300M_PORT_DIR", dir.path().toLocal8Bit());
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    for (const char *c : {"freeze on", "set ir 2 -12", "set ir 3 32767", "set ir 4 -32768", "set ir 5 253", "status 33825"})
        QVERIFY(sim.command(QString::fromLatin1(c)).startsWith("ok"));
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());

    InstrumentSession session;
    int32_t *Link_Par = session.settings.Link_Par;
    Link_Par[0] = 1, Link_Par[1] = 1, Link_Par[2] = 0, Link_Par[3] = 1;
    session.mqtt.setSettings(brokerAt(broker.port()));
    session.link.OpenPort_Modbus(1, 1, 0, &session.met1, [](const LinkResult &) {});
    session.met1.Timer1.setInterval(50);
    session.met1.resetHealth();
    session.met1.Timer1.start();
    const auto ch1Seen = [&sub](int v) {
        const auto all = sub.payloads("qr5300m/1/state");
        return !all.isEmpty() && QJsonDocument::fromJson(all.last()).object().value(QLatin1String("ch1")).toInt() == v;
    };
    for (int v = 1; v <= 10; ++v) {
        QVERIFY(sim.command(QStringLiteral("set ir 1 %1").arg(v)).startsWith("ok"));
        QTRY_VERIFY(ch1Seen(v));
    }
    session.met1.Timer1.stop();

    int last = 0;
    const auto all = sub.payloads("qr5300m/1/state");
    for (const QByteArray &m : all) {
        const QJsonObject o = QJsonDocument::fromJson(m).object();
        QVERIFY2(QDateTime::fromString(o.value(QLatin1String("time")).toString(), Qt::ISODate).isValid(), m.constData());
        QVERIFY(o.value(QLatin1String("time")).toString().contains(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$"))));
        if (o.value(QLatin1String("link")) == QLatin1String("closed"))
            continue;
        QCOMPARE(o.value(QLatin1String("link")).toString(), QStringLiteral("ok"));
        const int ch1 = o.value(QLatin1String("ch1")).toInt();
        QVERIFY2(ch1 >= last, m.constData()); // in order
        last = ch1;
        QCOMPARE(o.value(QLatin1String("ch2")).toInt(), -12);
        QCOMPARE(o.value(QLatin1String("ch3")).toInt(), 32767);
        QCOMPARE(o.value(QLatin1String("ch4")).toInt(), -32768);
        QCOMPARE(o.value(QLatin1String("da")).toInt(), 253);
        QCOMPARE(o.value(QLatin1String("status")).toInt(), 33825); // bits 0, 5, 10, 15
    }
    QCOMPARE(last, 10);
    QCOMPARE(sub.payloads("qr5300m/1/online").constFirst(), QByteArray("true"));
}

// Five messages with the broker up, then a full queue and five more while it
// is down: after its restart every message still queued arrives, in order;
// exactly the five oldest waiting were dropped. A clean stop says "false".
void TestMqtt::queueOverBrokerRestart()
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());
    MqttPublisher pub;
    pub.setSettings(brokerAt(broker.port()));
    pub.setStation(1);
    QTRY_VERIFY(pub.isConnected());
    int n = 0;
    for (; n < 5; ++n)
        pub.publishState(1, QByteArray::number(n));
    QTRY_COMPARE(sub.payloads("qr5300m/1/state").size(), 5);

    broker.stop();
    QTRY_VERIFY(!pub.isConnected());
    for (; n < 5 + MqttPublisher::kQueueBound + 5; ++n)
        pub.publishState(1, QByteArray::number(n));
    QCOMPARE(pub.queued(), MqttPublisher::kQueueBound);
    QCOMPARE(pub.dropped(), 5);

    QVERIFY(broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(pub.delivered(), 5 + MqttPublisher::kQueueBound, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(sub.payloads("qr5300m/1/state").size() >= 5 + MqttPublisher::kQueueBound, 30000);
    // QoS 1 may bring a message twice; apart from that, strictly in order.
    QList<int> got;
    for (const QByteArray &p : sub.payloads("qr5300m/1/state"))
        if (!got.contains(p.toInt()))
            got.append(p.toInt());
    QCOMPARE(got.size(), 5 + MqttPublisher::kQueueBound);
    QVERIFY(std::is_sorted(got.begin(), got.end()));
    QCOMPARE(got.constLast(), n - 1);

    pub.stop();
    QTRY_COMPARE(sub.payloads("qr5300m/1/online").constLast(), QByteArray("false"));
}

// The headless logger publishing "true", then SIGKILLed: the broker's last
// will turns it "false".
void TestMqtt::lastWillWhenKilled()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());

    QProcess app;
    startLogger(app, dir.path(), broker);
    QVERIFY(app.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(!sub.payloads("qr5300m/1/state").isEmpty(), 10000);
    QCOMPARE(sub.payloads("qr5300m/1/online"), QList<QByteArray>{"true"});
    ::kill(pid_t(app.processId()), SIGKILL);
    QVERIFY(app.waitForFinished());
    QTRY_COMPARE(sub.payloads("qr5300m/1/online"), (QList<QByteArray>{"true", "false"}));
}

// Two stations on one line: each station's topics carry its own values only,
// and each has its own online flag, the broker's last will included.
void TestMqtt::stationsOnOwnTopics()
{
    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1, {QStringLiteral("--stations"), QStringLiteral("2,5")});
    QVERIFY(sim.isReady());
    for (const int s : {2, 5}) {
        QVERIFY(sim.command(QStringLiteral("@%1 freeze on").arg(s)).startsWith("ok"));
        QVERIFY(sim.command(QStringLiteral("@%1 set ir 1 %2").arg(s).arg(100 * s)).startsWith("ok"));
    }
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());
    QProcess app;
    startLogger(app, dir.path(), broker, {QStringLiteral("--station"), QStringLiteral("2,5")});
    QVERIFY(app.waitForStarted());
    const auto ch1Of = [&sub](int station) {
        QSet<double> seen; // ch1 of every message with a good link
        for (const QByteArray &p : sub.payloads("qr5300m/" + QByteArray::number(station) + "/state"))
            if (const QJsonObject o = QJsonDocument::fromJson(p).object(); o.value(u"link").toString() == u"ok")
                seen.insert(o.value(u"ch1").toDouble());
        return seen;
    };
    // 200 and 500, as the read-outs show them: in the ratio 2 to 5.
    QTRY_VERIFY_WITH_TIMEOUT(ch1Of(2).size() == 1 && ch1Of(5).size() == 1
                                 && *ch1Of(2).begin() * 5 == *ch1Of(5).begin() * 2 && *ch1Of(2).begin() != 0,
                             10000);
    ::kill(pid_t(app.processId()), SIGKILL);
    QVERIFY(app.waitForFinished());
    for (const char *const station : {"2", "5"})
        QTRY_COMPARE(sub.payloads(QByteArray("qr5300m/") + station + "/online"), (QList<QByteArray>{"true", "false"}));
}

// What the operator enters is what the publisher runs with and what the
// config file holds afterwards.
void TestMqtt::dialogAppliesAndSaves()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qr5300m/qr5300m.conf"));
    MqttDialog dialog(MqttSettings{});
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttHost"))->setText(QStringLiteral("broker.plant"));
    dialog.findChild<QSpinBox *>(QStringLiteral("mqttPort"))->setValue(8883);
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttUser"))->setText(QStringLiteral("ov"));
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttPassword"))->setText(QStringLiteral("s=cr;t"));
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttCaFile"))->setText(QStringLiteral("/etc/ssl/plant-ca.pem"));
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttPrefix"))->setText(QStringLiteral("hall2/qr"));
    const MqttSettings s = dialog.result();
    QCOMPARE(s.host, QStringLiteral("broker.plant"));
    QCOMPARE(s.port, 8883);
    QVERIFY(!s.enabled); // enabled, it would try to reach the broker

    MqttPublisher pub;
    QString error;
    QVERIFY2(applyMqttSettings(pub, s, path, &error), qPrintable(error));
    QCOMPARE(pub.settings(), s);
    QCOMPARE(readMqttSettings(path), s);
    QCOMPARE(readMqttSettings(dir.filePath(QStringLiteral("missing.conf"))), MqttSettings{});
}

// A broker that wants a password; the publisher has the user and password
// and a CA file TLS cannot be set up with: it says why and connects nothing
// (the broker accepts no connection before our own probe).
void TestMqtt::unusableTlsSendsNothing_data()
{
    QTest::addColumn<QByteArray>("caText"); // empty: no file
    QTest::addColumn<MqttTlsFault>("tls");
    QTest::newRow("CA file missing") << QByteArray() << MqttTlsFault::Missing;
    QTest::newRow("CA file not a certificate") << QByteArray("password: s=cr;t\n") << MqttTlsFault::NotCertificate;
}

void TestMqtt::unusableTlsSendsNothing()
{
    QFETCH(QByteArray, caText);
    QFETCH(MqttTlsFault, tls);
    QTemporaryDir dir;
    const QString passwords = dir.filePath(QStringLiteral("passwords"));
    QCOMPARE(QProcess::execute(QStringLiteral("mosquitto_passwd"),
                               {QStringLiteral("-c"), QStringLiteral("-b"), passwords, QStringLiteral("ov"), QStringLiteral("s=cr;t")}),
             0);
    Broker broker(dir.path(), QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(passwords));
    QVERIFY(broker.start());
    MqttSettings settings = brokerAt(broker.port());
    settings.user = QStringLiteral("ov");
    settings.password = QStringLiteral("s=cr;t");
    settings.caFile = dir.filePath(QStringLiteral("ca.pem"));
    if (!caText.isEmpty()) {
        QFile ca(settings.caFile);
        QVERIFY(ca.open(QIODevice::WriteOnly) && ca.write(caText) == caText.size());
    }

    MqttPublisher pub;
    pub.setRetryDelays(std::chrono::milliseconds(20), std::chrono::milliseconds(50));
    pub.setSettings(settings);
    pub.setStation(1);
    pub.publishState(1, "{}");
    QTRY_COMPARE(pub.state(), (MqttState{MqttStatus::Failed, MqttFault::Tls, tls}));
    QVERIFY(probe(broker));
    QCOMPARE(connectionsTo(broker), 1); // the probe's
    QVERIFY(!broker.log().contains("u'ov'"));
    QVERIFY(!pub.isConnected());
    QVERIFY(mqttStateText(pub.state(), settings).contains(settings.caFile));
}

// The main window says why nothing is published: the MQTT button's tooltip
// names the CA file, in red while publishing cannot start.
void TestMqtt::windowSaysWhy()
{
    QTemporaryDir dir;
    InstrumentSession session;
    ssqx w(session);
    auto *button = w.findChild<QPushButton *>(QStringLiteral("mqttButton"));
    QVERIFY(button);
    MqttSettings settings = brokerAt(1);
    settings.caFile = dir.filePath(QStringLiteral("missing-ca.pem"));
    session.mqtt.setSettings(settings);
    session.mqtt.setStation(1);
    session.mqtt.publishState(1, "{}");
    QTRY_VERIFY(button->property("failed").toBool());
    QVERIFY2(button->toolTip().contains(settings.caFile), qPrintable(button->toolTip()));
    session.mqtt.setSettings(MqttSettings{});
    QTRY_VERIFY(!button->property("failed").toBool());
}

// The publisher starts while no broker listens: it says once that it waits,
// keeps trying, and publishes once the broker is started.
void TestMqtt::brokerStartedLater()
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    MqttPublisher pub;
    StateLog told(pub);
    pub.setRetryDelays(std::chrono::milliseconds(20), std::chrono::milliseconds(100));
    pub.setSettings(brokerAt(broker.port()));
    pub.setStation(1);
    QTRY_COMPARE(pub.state().status, MqttStatus::Waiting);
    QCOMPARE(pub.state().fault, MqttFault::Unreachable);

    QVERIFY(broker.start());
    Subscriber sub(broker.port());
    QTRY_VERIFY(sub.subscribed());
    QTRY_VERIFY(pub.isConnected());
    for (int n = 0; n < 3; ++n)
        pub.publishState(1, QByteArray::number(n));
    QTRY_COMPARE(sub.payloads("qr5300m/1/state"), (QList<QByteArray>{"0", "1", "2"}));
    QTRY_COMPARE(told.states.size(), 2);
    QCOMPARE(told.states.constFirst().status, MqttStatus::Waiting); // said once, however many attempts
    QCOMPARE(told.states.constLast().status, MqttStatus::Connected);
}

// A prefix MQTT cannot publish under is a usage error of the headless
// logger (exit 2, naming the option and why) and refused by the dialog; a
// good one publishes.
void TestMqtt::refusedPrefix_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<MqttPrefixFault>("fault");
    QTest::newRow("a/#") << QStringLiteral("a/#") << MqttPrefixFault::Wildcard;
    QTest::newRow("a+b") << QStringLiteral("a+b") << MqttPrefixFault::Wildcard;
    QTest::newRow("70000 characters") << QString(70000, u'p') << MqttPrefixFault::TooLong;
    QTest::newRow("plant/line1") << QStringLiteral("plant/line1") << MqttPrefixFault::None;
}

void TestMqtt::refusedPrefix()
{
    QFETCH(QString, prefix);
    QFETCH(MqttPrefixFault, fault);
    QCOMPARE(checkMqttPrefix(prefix), fault);

    MqttDialog dialog(MqttSettings{});
    dialog.findChild<QLineEdit *>(QStringLiteral("mqttPrefix"))->setText(prefix);
    dialog.accept();
    QCOMPARE(dialog.QDialog::result() == QDialog::Accepted, fault == MqttPrefixFault::None);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("mqttError"))->text(), mqttPrefixText(fault));

    QTemporaryDir dir;
    SimProcess sim(dir.path(), 1);
    QVERIFY(sim.isReady());
    Broker broker(dir.path());
    QVERIFY(broker.start());
    Subscriber sub(broker.port(), "plant");
    QTRY_VERIFY(sub.subscribed());
    QProcess app;
    startLogger(app, dir.path(), broker, {QStringLiteral("--mqtt-prefix"), prefix});
    QVERIFY(app.waitForStarted());
    if (fault != MqttPrefixFault::None) {
        QVERIFY(app.waitForFinished());
        QCOMPARE(app.exitCode(), 2);
        QVERIFY(app.readAllStandardError().contains("--mqtt-prefix"));
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!sub.payloads("plant/line1/1/state").isEmpty(), 10000);
    app.terminate();
    QVERIFY(app.waitForFinished());
    QCOMPARE(app.exitCode(), 0);
}

// Two publishers with one client id: the broker lets each in by putting the
// other out, again and again; that is told as such, naming the client id.
void TestMqtt::clientIdTakenOver()
{
    QTemporaryDir dir;
    Broker broker(dir.path());
    QVERIFY(broker.start());
    MqttSettings settings = brokerAt(broker.port());
    settings.clientId = QStringLiteral("hall2-logger");
    MqttPublisher first, second;
    for (MqttPublisher *pub : {&first, &second}) {
        pub->setRetryDelays(std::chrono::milliseconds(20), std::chrono::milliseconds(100));
        pub->setSettings(settings);
        pub->setStation(1);
    }
    const auto dropped = [](const MqttPublisher &p) { return p.state().fault == MqttFault::Dropped; };
    QTRY_VERIFY_WITH_TIMEOUT(dropped(first) || dropped(second), 20000);
    const MqttState state = dropped(first) ? first.state() : second.state();
    QVERIFY(mqttStateText(state, settings).contains(settings.clientId));
}

QTEST_MAIN(TestMqtt)
#include "tst_mqtt.moc"
