// Serial ports by name and the link settings remembered between runs; a port
// opened by its by-id link is found again after a replug under a new device.

#include "core/settings_file.h"
#include "app/language.h"
#include "app/link_panel.h"
#include "app/settings_text.h"
#include "app/session.h"
#include "config/link_text.h"
#include "link/link.h"
#include "link/met1.h"
#include "link/serial_ports.h"
#include "mqtt/mqtt_publisher.h"
#include "testsupport.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <sys/stat.h>

namespace {

const QString kById = QStringLiteral("usb-FTDI_USB-RS485_A10K3B2C-if00-port0");

// A main-window-like host of the link panel, its controls filled.
struct Panel {
    QWidget window;
    LinkPanel *panel = new LinkPanel(&window);
    Panel()
    {
        auto *l = new QVBoxLayout(&window);
        l->addLayout(panel->settingsRow());
        l->addWidget(panel->healthLine());
        panel->fillChoices();
    }
    LinkSettings stored() const
    {
        LinkSettings s;
        const LinkChoice c = panel->choice();
        std::copy(std::begin(c.par), std::end(c.par), s.Link_Par);
        s.portPath = c.devicePath;
        return s;
    }
    QComboBox *combo1() const { return window.findChild<QComboBox *>(QStringLiteral("Combo1")); }
};

// Points the by-id link at the device behind path (moving it if it exists).
bool pointLink(const QString &link, const QString &path)
{
    QFile::remove(link);
    return QFile::link(QFileInfo(path).canonicalFilePath(), link);
}

} // namespace

class TestSerialPorts : public QObject {
    Q_OBJECT
private slots:
    void init();
    void rememberedSettingsRestored();
    void rememberedInvalidFallsBack_data();
    void rememberedInvalidFallsBack();
    void settingsFileOwnerOnly_data();
    void settingsFileOwnerOnly();
    void byIdPortListedOpenedAndReplugged();

private:
    QTemporaryDir m_config;
};

void TestSerialPorts::init()
{
    QVERIFY(m_config.isValid());
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    QDir(QFileInfo(settingsFilePath()).absolutePath()).removeRecursively();
}

void TestSerialPorts::rememberedSettingsRestored()
{
    // Nothing remembered: the defaults.
    const LinkSettings first = Panel().stored();
    QCOMPARE(QList<int32_t>({first.Link_Par[0], first.Link_Par[1], first.Link_Par[2], first.Link_Par[3]}),
             QList<int32_t>({1, 1, 0, 1}));
    QVERIFY(first.portPath.isEmpty());

    QVERIFY(saveRememberedLink({QStringLiteral("7"), 2, 2, 5}));
    QCOMPARE(settingsFilePath(), m_config.path() + QStringLiteral("/qr5300m/qr5300m.conf"));
    const LinkSettings next = Panel().stored();
    QCOMPARE(QList<int32_t>({next.Link_Par[0], next.Link_Par[1], next.Link_Par[2], next.Link_Par[3]}),
             QList<int32_t>({7, 2, 2, 5}));
    QVERIFY(next.portPath.isEmpty());
    QSettings ini(settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("link/baud")).toInt(), 19200);
    QCOMPARE(ini.value(QStringLiteral("link/parity")).toString(), QStringLiteral("even"));

    // A device path remembered is opened by that path, present or not.
    QVERIFY(saveRememberedLink({QStringLiteral("/dev/serial/by-id/usb-gone"), 0, 1, 3}));
    const LinkSettings byPath = Panel().stored();
    QCOMPARE(byPath.portPath, QStringLiteral("/dev/serial/by-id/usb-gone"));
    QCOMPARE(byPath.Link_Par[1], 0);
    QCOMPARE(byPath.Link_Par[3], 3);

    // So is a line over Ethernet, remembered or typed into the port box.
    for (const char *const line : {"tcp://127.0.0.1:1502", "rtu+tcp://gw-4:4001"}) {
        QVERIFY(saveRememberedLink({QString::fromLatin1(line), 1, 0, 4}));
        QCOMPARE(Panel().stored().portPath, QString::fromLatin1(line));
        Panel typed;
        typed.combo1()->setEditText(QStringLiteral(" %1 ").arg(QLatin1String(line)));
        QCOMPARE(typed.stored().portPath, QString::fromLatin1(line));
    }
}

void TestSerialPorts::rememberedInvalidFallsBack_data()
{
    QTest::addColumn<QByteArray>("conf");
    QTest::addColumn<QString>("key");
    QTest::newRow("station 0") << QByteArray("[link]\nport=2\nstation=0\n") << QStringLiteral("[link] station");
    QTest::newRow("station 999") << QByteArray("[link]\nport=2\nstation=999\n") << QStringLiteral("[link] station");
    QTest::newRow("port COM3") << QByteArray("[link]\nport=COM3\nstation=1\n") << QStringLiteral("[link] port");
    QTest::newRow("line over Ethernet without a host") << QByteArray("[link]\nport=tcp://:502\nstation=1\n")
                                                       << QStringLiteral("[link] port");
}

// The window takes the default for a remembered value it does not accept
// and says which key it was, in one line.
void TestSerialPorts::rememberedInvalidFallsBack()
{
    QFETCH(QByteArray, conf);
    QFETCH(QString, key);
    QVERIFY(QDir().mkpath(QFileInfo(settingsFilePath()).absolutePath()));
    QFile f(settingsFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(conf) == conf.size());
    f.close();
    const LinkSettings s = Panel().stored();
    QVERIFY(s.portPath.isEmpty());
    QVERIFY(s.Link_Par[0] >= 1 && s.Link_Par[0] <= 255);
    QCOMPARE(s.Link_Par[3], 1);
    const QString notice = settingsStartNotice();
    QVERIFY2(notice.contains(key) && !notice.contains(u'\n'), qPrintable(notice));
}

void TestSerialPorts::settingsFileOwnerOnly_data()
{
    QTest::addColumn<QString>("writer");
    QTest::addColumn<bool>("existing"); // a file there already, mode 0644
    QTest::newRow("link settings, new folder") << QStringLiteral("link") << false;
    QTest::newRow("mqtt settings, new folder") << QStringLiteral("mqtt") << false;
    QTest::newRow("language, new folder") << QStringLiteral("language") << false;
    QTest::newRow("mqtt settings, file was 0644") << QStringLiteral("mqtt") << true;
}

// Every writer of the settings file leaves it (it may hold the broker's
// password) readable by its owner only, and a folder it made likewise.
void TestSerialPorts::settingsFileOwnerOnly()
{
    QFETCH(QString, writer);
    QFETCH(bool, existing);
    const mode_t umaskBefore = ::umask(022);
    const QString conf = settingsFilePath();
    const QString folder = QFileInfo(conf).absolutePath();
    if (existing) {
        QVERIFY(QDir().mkpath(folder));
        QFile f(conf);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("[ui]\nlang=zh\n") > 0);
        f.close();
        QVERIFY(::chmod(QFile::encodeName(conf).constData(), 0644) == 0);
    }
    MqttSettings m;
    m.password = QStringLiteral("secret");
    const bool written = writer == u"link" ? saveRememberedLink({QStringLiteral("1"), 1, 0, 1})
                         : writer == u"mqtt" ? writeMqttSettings(conf, m)
                                             : saveLanguage(conf, QStringLiteral("en"));
    ::umask(umaskBefore);
    QVERIFY(written);
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(conf).constData(), &st) == 0);
    QCOMPARE(int(st.st_mode & 07777), 0600);
    QVERIFY(::stat(QFile::encodeName(folder).constData(), &st) == 0);
    if (!existing)
        QCOMPARE(int(st.st_mode & 07777), 0700);
}

void TestSerialPorts::byIdPortListedOpenedAndReplugged()
{
    QTemporaryDir ports, byId;
    qputenv("QR5300M_PORT_DIR", ports.path().toLocal8Bit());
    qputenv("QR5300M_BYID_DIR", byId.path().toLocal8Bit());
    auto sim = std::make_unique<SimProcess>(ports.path(), 1);
    QVERIFY(sim->isReady());
    QVERIFY(sim->command("set ir 1 41").startsWith("ok"));
    const QString link = byId.filePath(kById);
    QVERIFY(pointLink(link, sim->devicePath()));

    // Listed after the numbers, by name, and chosen by its link.
    QVERIFY(serialPortChoices().contains(SerialPortChoice{kById, link}));
    Panel p;
    QVERIFY(p.combo1()->count() > 20);
    QCOMPARE(p.combo1()->itemText(0), QStringLiteral("1 "));
    const int item = p.combo1()->findData(link);
    QVERIFY(item >= 20);
    p.combo1()->setCurrentIndex(item);
    QCOMPARE(p.window.findChild<QLabel *>(QStringLiteral("portDev"))->text(), link);
    const LinkSettings chosen = p.stored();
    QCOMPARE(chosen.portPath, link);

    // Opened by it, polled, and remembered as it.
    LinkSettings settings = chosen;
    LiveTables live;
    Clock clock;
    Link lnk;
    int32_t result = 1;
    lnk.OpenPort_Modbus(settings.Link_Par[0], 1, 0, settings.portPath, this, [&](const LinkResult &r) { result = r.result; });
    QTRY_COMPARE(result, kModbusOk);
    Met1 met(lnk, settings, live, clock);
    QList<EventKind> journal;
    LinkHealth health = LinkHealth::Closed;
    connect(&met, &Met1::healthChanged, this, [&](const LinkState &s) {
        if (const auto kind = InstrumentSession::linkEventOf(health, s.health))
            journal << *kind;
        health = s.health;
    });
    met.resetHealth();
    met.Timer1.start();
    QTRY_COMPARE(live.Val_3X[0], 41.0f);

    // Pulled out: told at once, in plain words.
    QCOMPARE(sim->stop(), 0);
    sim.reset();
    QTRY_COMPARE(met.lastError().kind, LinkFault::DeviceLost);
    QTRY_COMPARE(health, LinkHealth::Interrupted);
    QVERIFY(linkHealthText(met.health(), met.lastGood(), met.lastError())
                .endsWith(QStringLiteral("：串口已断开，等待重新连接…")));

    // Plugged in again as another device; its by-id link moves with it.
    sim = std::make_unique<SimProcess>(ports.path(), 2);
    QVERIFY(sim->isReady());
    QVERIFY(sim->command("set ir 1 42").startsWith("ok"));
    QVERIFY(pointLink(link, sim->devicePath()));
    QElapsedTimer back;
    back.start();
    QTRY_COMPARE_WITH_TIMEOUT(live.Val_3X[0], 42.0f, 2000);
    QTRY_COMPARE(health, LinkHealth::Ok);
    QVERIFY(back.elapsed() < 2000);
    met.Timer1.stop();
    QCOMPARE(journal, QList<EventKind>({EventKind::LinkOpened, EventKind::LinkInterrupted, EventKind::LinkRestored,
                                        EventKind::LinkClosed}));
    qunsetenv("QR5300M_BYID_DIR");
}

QTEST_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
