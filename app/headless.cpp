#include "app/headless.h"

#include "app/log_text.h"
#include "app/mqtt_dialog.h"
#include "app/session.h"
#include "config/link_text.h"
#include "link/serial_ports.h"
#include "logging/log_db.h"
#include "mqtt/mqtt_publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <pthread.h>
#include <cstring>
#include <optional>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kUsage = 2, kFailed = 1;

void say(const QString &line)
{
    QTextStream(stderr) << line << Qt::endl;
}

int fail(int code, const QString &text)
{
    say(text);
    return code;
}

// The index of text among choices, or nothing.
std::optional<int32_t> choiceOf(const QString &text, const QStringList &choices)
{
    const auto i = choices.indexOf(text);
    return i < 0 ? std::nullopt : std::optional<int32_t>(int32_t(i));
}

} // namespace

bool isHeadlessCommand(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return true;
    return false;
}

int runHeadless(int argc, char **argv)
{
    // SIGTERM and SIGINT are read from a descriptor by the event loop; they
    // are blocked before any thread starts, so that every thread inherits it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
        return fail(kFailed, QStringLiteral("无法接收停止信号"));
    const int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sigFd < 0)
        return fail(kFailed, QStringLiteral("无法接收停止信号（%1）").arg(QString::fromLocal8Bit(std::strerror(errno))));

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr5300m"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("无界面记录：采集、记录并发布仪表数据"));
    const QCommandLineOption headless(QStringLiteral("headless"), QStringLiteral("无界面运行"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("通讯端口号或串口设备（默认 1）"),
                                  QStringLiteral("N|DEVICE"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("波特率：4800、9600 或 19200（默认 9600）"),
                                  QStringLiteral("rate"));
    const QCommandLineOption parity(QStringLiteral("parity"), QStringLiteral("校验：none、odd 或 even（默认 none）"),
                                    QStringLiteral("parity"));
    const QCommandLineOption station(QStringLiteral("station"), QStringLiteral("仪表站号 1..247（默认 1）"),
                                     QStringLiteral("N"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("数据库文件（默认为本程序的数据库）"),
                                QStringLiteral("file"));
    const QCommandLineOption mqtt(QStringLiteral("mqtt"), QStringLiteral("发布到 MQTT 服务器（默认端口 1883）"),
                                  QStringLiteral("host[:port]"));
    const QCommandLineOption prefix(QStringLiteral("mqtt-prefix"), QStringLiteral("MQTT 主题前缀（默认 qr5300m）"),
                                    QStringLiteral("prefix"));
    parser.addOptions({headless, port, baud, parity, station, db, mqtt, prefix});
    const QCommandLineOption help = parser.addHelpOption();
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(kUsage, parser.errorText());
    if (parser.isSet(help)) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(kUsage, QStringLiteral("多余的参数：%1").arg(parser.positionalArguments().join(u' ')));

    // What is not given comes from the settings remembered by the last
    // successful open, then the defaults: port 1, 9600 baud, no parity,
    // station 1.
    int32_t linkPar[4] = {1, 1, 0, 1};
    QString devicePath; // a device given by path instead of a port number
    if (const auto remembered = loadRememberedLink()) {
        linkPar[1] = remembered->baudIndex;
        linkPar[2] = remembered->parityIndex;
        linkPar[3] = remembered->station;
        bool isNumber = false;
        const int n = remembered->port.toInt(&isNumber);
        if (isNumber && n >= 1 && n <= 255)
            linkPar[0] = n;
        else if (remembered->port.startsWith(u'/'))
            devicePath = remembered->port;
    }
    if (parser.isSet(port)) {
        const QString p = parser.value(port);
        bool ok = false;
        const int n = p.toInt(&ok);
        if (ok) {
            if (n < 1 || n > 255)
                return fail(kUsage, QStringLiteral("--port 的端口号应为 1..255：%1").arg(p));
            linkPar[0] = n;
            devicePath.clear();
        } else {
            devicePath = QFileInfo(p).absoluteFilePath();
        }
    }
    if (parser.isSet(baud)) {
        const auto b = choiceOf(parser.value(baud), {QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200")});
        if (!b)
            return fail(kUsage, QStringLiteral("--baud 只能是 4800、9600 或 19200：%1").arg(parser.value(baud)));
        linkPar[1] = *b;
    }
    if (parser.isSet(parity)) {
        const auto q = choiceOf(parser.value(parity), {QStringLiteral("none"), QStringLiteral("odd"), QStringLiteral("even")});
        if (!q)
            return fail(kUsage, QStringLiteral("--parity 只能是 none、odd 或 even：%1").arg(parser.value(parity)));
        linkPar[2] = *q;
    }
    if (parser.isSet(station)) {
        bool ok = false;
        const int s = parser.value(station).toInt(&ok);
        if (!ok || s < 1 || s > 247)
            return fail(kUsage, QStringLiteral("--station 应为 1..247：%1").arg(parser.value(station)));
        linkPar[3] = s;
    }
    if (parser.isSet(db))
        qputenv("QR5300M_DB", QFile::encodeName(QFileInfo(parser.value(db)).absoluteFilePath()));
    MqttSettings mqttSettings = readMqttSettings(configFilePath());
    if (parser.isSet(mqtt)) {
        const QString v = parser.value(mqtt);
        const auto colon = v.lastIndexOf(u':');
        QString host = v;
        if (colon >= 0) {
            bool ok = false;
            const int p = v.mid(colon + 1).toInt(&ok);
            if (!ok || p < 1 || p > 65535)
                return fail(kUsage, QStringLiteral("--mqtt 的端口应为 1..65535：%1").arg(v));
            mqttSettings.port = p;
            host = v.left(colon);
        }
        if (host.isEmpty())
            return fail(kUsage, QStringLiteral("--mqtt 缺少服务器：%1").arg(v));
        mqttSettings.host = host;
        mqttSettings.enabled = true;
    }
    if (parser.isSet(prefix))
        mqttSettings.prefix = parser.value(prefix);
    // A prefix MQTT refuses would publish nothing: named, with why.
    const auto prefixFault = checkMqttPrefix(mqttSettings.prefix);
    if (prefixFault != MqttPrefixFault::None && (parser.isSet(prefix) || mqttSettings.enabled)) {
        const QString source = parser.isSet(prefix) ? QStringLiteral("--mqtt-prefix") : QStringLiteral("[mqtt] prefix");
        return fail(kUsage, QStringLiteral("%1：%2").arg(source, mqttPrefixText(prefixFault)));
    }

    InstrumentSession session;
    std::copy(std::begin(linkPar), std::end(linkPar), session.settings.Link_Par);
    Met1 &met1 = session.met1;
    mscom &logger = session.logger;

    // One line on standard error for every change.
    QObject::connect(&met1, &Met1::healthChanged, &app, [](const LinkState &s) {
        say(linkHealthText(s.health, s.lastGood, s.error));
    });
    QObject::connect(&logger, &mscom::logStateChanged, &app, [](const LogState &s) {
        say(s.stopped ? logStateText(s) : QStringLiteral("记录正常"));
    });
    QObject::connect(&logger, &mscom::noticeRaised, &app, [](const LogNotice &n) {
        const QString text = logNoticeText(n);
        if (!text.isEmpty())
            say(text);
    });
    QObject::connect(&session.mqtt, &MqttPublisher::stateChanged, &app, [mqttSettings](const MqttState &s) {
        if (const QString text = mqttStateText(s, mqttSettings); !text.isEmpty())
            say(text);
    });

    // The end: the logging tick writes a whole record at a time, so between
    // events no record is half-written; stop the cycles and leave.
    QSocketNotifier stopNotifier(sigFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, [&] {
        signalfd_siginfo info{};
        [[maybe_unused]] const auto n = read(sigFd, &info, sizeof info);
        stopNotifier.setEnabled(false);
        say(QStringLiteral("收到停止信号，结束记录"));
        met1.Timer1.stop();
        logger.Timer1.stop();
        session.link.ClosePort_Modbus(session.settings.Link_Par[0]);
        QCoreApplication::quit();
    });

    // As the window's start and its "打开" button.
    session.mqtt.setSettings(mqttSettings);
    session.mqtt.setStation(linkPar[3]);
    met1.Form_Load();
    logger.Form_Load();
    // The logging's state at the start, good or not; changes are told later.
    if (const LogState start = logger.logState(); start.stopped)
        say(logStateText(start));
    else
        say(QStringLiteral("记录正常：%1").arg(logger.Log_Conn.path()));
    const int32_t portNo = linkPar[0];
    session.settings.portPath = devicePath;
    session.link.OpenPort_Modbus(portNo, linkPar[1], linkPar[2], devicePath, &met1,
                                 [&session, portNo, devicePath](const LinkResult &r) {
                                     session.settings.Link_Par[20] = r.result;
                                     if (r.result != kModbusOk)
                                         say(openFailureText(r.error, portNo, devicePath));
                                 });
    met1.resetHealth();
    met1.Timer1.start();

    const int rc = QCoreApplication::exec();
    close(sigFd);
    return rc;
}
