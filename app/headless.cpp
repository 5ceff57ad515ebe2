#include "app/headless.h"

#include "app/cli.h"
#include "app/language.h"
#include "app/link_options.h"
#include "app/log_text.h"
#include "app/mqtt_dialog.h"
#include "app/session.h"
#include "app/settings_text.h"
#include "core/settings_file.h"
#include "config/alarm_settings.h"
#include "core/line_settings.h"
#include "config/link_text.h"
#include "core/line_address.h"
#include "link/serial_ports.h"
#include "logging/log_db.h"
#include "mqtt/mqtt_publisher.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTranslator>
#include <csignal>
#include <pthread.h>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

constexpr int kUsage = 2, kFailed = 1;

// A line on standard error. Nobody may be reading it any more (a closed
// pipe): the write then fails, and the logging goes on.
void say(const QString &line)
{
    QTextStream(stderr) << line << Qt::endl;
}

int fail(int code, const QString &text)
{
    say(text);
    return code;
}

// The MQTT options given over the config file's [mqtt] group.
std::optional<QString> takeMqttOptions(const QCommandLineParser &parser, const CliOptions &o, MqttSettings &settings)
{
    if (parser.isSet(o.mqtt)) {
        const QString v = parser.value(o.mqtt);
        const auto colon = v.lastIndexOf(u':');
        QString host = v;
        if (colon >= 0) {
            bool ok = false;
            const int p = v.mid(colon + 1).toInt(&ok);
            if (!ok || p < 1 || p > 65535)
                return QCoreApplication::translate("Headless", "--mqtt 的端口应为 1..65535：%1").arg(v);
            settings.port = p;
            host = v.left(colon);
        }
        if (host.isEmpty())
            return QCoreApplication::translate("Headless", "--mqtt 缺少服务器：%1").arg(v);
        settings.host = host;
        settings.enabled = true;
    }
    if (parser.isSet(o.prefix))
        settings.prefix = parser.value(o.prefix);
    // A prefix MQTT refuses would publish nothing: named, with why.
    const auto prefixFault = checkMqttPrefix(settings.prefix);
    if (prefixFault != MqttPrefixFault::None && (parser.isSet(o.prefix) || settings.enabled)) {
        const QString source = parser.isSet(o.prefix) ? QStringLiteral("--mqtt-prefix") : QStringLiteral("[mqtt] prefix");
        return QStringLiteral("%1：%2").arg(source, mqttPrefixText(prefixFault));
    }
    return std::nullopt;
}

// One line on standard error for every change of a station's link, its
// logging and its broker connection, after `tag` (the station's name when
// the line has several). The link's line follows its state, not the time of
// its last good poll, which moves with every poll.
void reportChanges(InstrumentSession &session, QObject *context, const MqttSettings &mqttSettings, const QString &tag)
{
    auto said = std::make_shared<std::optional<LinkState>>();
    QObject::connect(&session.met1, &Met1::healthChanged, context, [said, tag](const LinkState &s) {
        if (*said && (*said)->health == s.health && (*said)->error == s.error)
            return;
        *said = s;
        say(tag + linkHealthText(s.health, s.lastGood, s.error));
    });
    QObject::connect(&session.logger, &mscom::logStateChanged, context, [tag](const LogState &s) {
        say(tag + (s.stopped ? logStateText(s) : QCoreApplication::translate("Headless", "记录正常")));
    });
    QObject::connect(&session.logger, &mscom::noticeRaised, context, [tag](const LogNotice &n) {
        const QString text = logNoticeText(n);
        if (!text.isEmpty())
            say(tag + text);
    });
    QObject::connect(&session.mqtt, &MqttPublisher::stateChanged, context, [mqttSettings, tag](const MqttState &s) {
        if (const QString text = mqttStateText(s, mqttSettings); !text.isEmpty())
            say(tag + text);
    });
}

// What one station of the line starts with: its database (the one given
// when it is alone, else a file of its own beside it), its publishing (a
// client id of its own when one is given and the line has several), and
// its lines on standard error.
void prepareStation(InstrumentSession &session, bool several, const MqttSettings &mqttSettings, const DbLocation &db)
{
    const int32_t station = session.station();
    session.dbFiles.setLocation(several ? stationDbLocation(db, station) : db);
    MqttSettings own = mqttSettings;
    if (several && !own.clientId.isEmpty())
        own.clientId += QStringLiteral("-%1").arg(station);
    const QString tag = several ? QCoreApplication::translate("Headless", "站 %1：").arg(station) : QString();
    reportChanges(session, QCoreApplication::instance(), own, tag);
    session.mqtt.setSettings(own);
    session.mqtt.setStation(station);
    session.alarms.setLimits(readStationLimits(settingsFilePath(), station));
    session.start();
    // The logging's state at the start, good or not; changes are told later.
    if (const LogState start = session.logger.logState(); start.stopped)
        say(tag + logStateText(start));
    else
        say(tag + QCoreApplication::translate("Headless", "记录正常：%1").arg(session.logger.Log_Conn.path()));
}

// Acquisition, logging and publishing of the stations on one line until a
// stop signal arrives on sigFd.
int runLogger(const LinkChoice &link, const QList<int32_t> &stations, const MqttSettings &mqttSettings,
              const DbLocation &db, int sigFd)
{
    Line line;
    std::vector<std::unique_ptr<InstrumentSession>> sessions;
    for (const int32_t station : stations)
        sessions.push_back(std::make_unique<InstrumentSession>(line, station));
    QObject::connect(&line.control, &LinkControl::opened, QCoreApplication::instance(), [](const LinkOpenResult &r) {
        if (!r.ok())
            say(openFailureText(r.error, r.port, r.devicePath));
    });
    QObject::connect(&line.control, &LinkControl::cycleChanged, QCoreApplication::instance(),
                     [](const LineCycle &c) { say(lineCycleText(c)); });

    // The end: the logging tick writes a whole record at a time, so between
    // events no record is half-written; stop the cycles and leave. The
    // logging journals the link's close as it goes.
    QSocketNotifier stopNotifier(sigFd, QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, QCoreApplication::instance(), [&] {
        signalfd_siginfo info{};
        [[maybe_unused]] const auto n = read(sigFd, &info, sizeof info);
        stopNotifier.setEnabled(false);
        say(QCoreApplication::translate("Headless", "收到停止信号，结束记录"));
        line.control.close();
        for (const auto &session : sessions)
            session->logger.Timer1.stop();
        QCoreApplication::quit();
    });

    for (const auto &session : sessions)
        prepareStation(*session, sessions.size() > 1, mqttSettings, db);
    // The settings given are not remembered: they are the service's own.
    line.control.open(link, LinkControl::Remember::No);
    const int rc = QCoreApplication::exec();
    sessions.clear(); // before the line they are on
    return rc;
}

} // namespace

int runHeadless(int argc, char **argv)
{
    // A reader of standard error that goes away (a pipe into head) must not
    // end the logging: the write fails instead. SIGTERM, SIGINT and SIGHUP
    // are read from a descriptor by the event loop; they are blocked before
    // any thread starts, so that every thread inherits it.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int s : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&stopSignals, s);
    if (pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr) != 0)
        return fail(kFailed, QStringLiteral("无法接收停止信号"));
    const int sigFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    if (sigFd < 0)
        return fail(kFailed, QStringLiteral("无法接收停止信号（%1）").arg(QString::fromLocal8Bit(std::strerror(errno))));

    QCoreApplication app(argc, argv);
    QTranslator translator; // as the window: --lang, QR5300M_LANG, the remembered choice
    startInChosenLanguage(&translator);

    QCommandLineParser parser;
    const CliOptions o;
    addModeOptions(parser, o, RunMode::Headless);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(kUsage, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QTextStream(stdout) << parser.helpText();
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(kUsage, QCoreApplication::translate("Headless", "多余的参数：%1").arg(parser.positionalArguments().join(u' ')));

    // What is not given comes from the settings remembered by the last
    // successful open, then the defaults: port 1, 9600 baud, no parity,
    // station 1.
    LinkChoice link;
    QList<int32_t> stations;
    MqttSettings mqttSettings;
    std::optional<QString> usage = takeRemembered(parser, o, link);
    if (!usage)
        usage = takeLinkOptions(parser, o, link);
    if (!usage)
        usage = takeStations(parser, o, stations);
    if (stations.isEmpty())
        stations = {link.par[3]};
    link.par[3] = stations.constFirst();
    if (!usage) {
        mqttSettings = readMqttSettings(settingsFilePath());
        usage = takeMqttOptions(parser, o, mqttSettings);
    }
    if (usage)
        return fail(kUsage, *usage);
    QString dbUsage;
    const auto db = dbLocationGiven(parser, o, dbUsage);
    if (!db)
        return fail(kUsage, dbUsage);

    const int rc = runLogger(link, stations, mqttSettings, *db, sigFd);
    close(sigFd);
    return rc;
}
