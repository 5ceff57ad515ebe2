#include "app/cli.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QCoreApplication>
#include <cstdio>

#ifndef QR_VERSION
#error "QR_VERSION must be defined by the build"
#endif

namespace {

constexpr int kStart = -1, kUsage = 2;

const char *const kHelp =
    "Usage: qr5300m [--lang LANG]\n"
    "  or:  qr5300m --headless [--port N|DEVICE|tcp://HOST[:PORT]|rtu+tcp://HOST:PORT]\n"
    "                          [--baud 4800|9600|19200] [--parity none|odd|even]\n"
    "                          [--station N[,N...]] [--db FILE] [--data-dir DIR]\n"
    "                          [--mqtt HOST[:PORT]] [--mqtt-prefix PREFIX] [--lang LANG]\n"
    "  or:  qr5300m export --from TIME --to TIME [--ring 1s|10s] [--events]\n"
    "                      [--db FILE | --station N [--data-dir DIR]] --out FILE\n"
    "  or:  qr5300m params read|diff|write ... (see 'qr5300m params --help')\n"
    "Watch, log, trend and configure a QR5300M four-channel temperature\n"
    "controller over Modbus RTU.\n"
    "\n"
    "Without a command the main window opens.\n"
    "  --lang LANG        interface language: zh (default) or en\n"
    "  --help             display this help and exit\n"
    "  --version          output version information and exit\n"
    "\n"
    "--headless runs acquisition, logging and MQTT publishing without a\n"
    "display until SIGTERM, SIGINT or SIGHUP ('qr5300m --headless --help'\n"
    "lists its options). 'export' writes logged records or events of a time range\n"
    "(local ISO 8601 times) as CSV. 'params' saves, compares and restores the\n"
    "instrument's 48 configuration parameters.\n"
    "\n"
    "Environment: QR5300M_DB (database file), QR5300M_PORT_DIR (port N is\n"
    "$QR5300M_PORT_DIR/COM<N>), XDG_DATA_HOME, XDG_CONFIG_HOME.\n"
    "Port N is otherwise /dev/ttyUSB<N-1> when it exists, else /dev/ttyS<N-1>;\n"
    "opening a serial device needs membership of the dialout group.\n"
    "\n"
    "Exit status: 0 if OK, 1 on a failure, 2 on a usage error.\n"
    "Full documentation: man qr5300m\n";

const char *const kVersion =
    "qr5300m " QR_VERSION "\n"
    "Copyright (C) 2026 the QR5300M OverView developers.\n"
    "License MIT: <https://opensource.org/license/mit>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// The argument that spelled an unknown option name with two dashes, if one
// did ("--x", "--fast=1"); empty when the name came from Qt's single-dash
// arguments (-platform is unknown letters to the parser).
QString doubleDashed(const QStringList &arguments, const QString &name)
{
    const QString spelled = QStringLiteral("--") + name;
    for (const QString &a : arguments.mid(1)) {
        if (a == QLatin1String("--"))
            break;
        if (a == spelled || a.startsWith(spelled + QLatin1Char('=')))
            return a;
    }
    return QString();
}

} // namespace

CliOptions::CliOptions()
    : lang(QStringLiteral("lang"), QCoreApplication::translate("Headless", "界面语言：zh 或 en"), QStringLiteral("lang")),
      version(QStringLiteral("version"), QCoreApplication::translate("Cli", "显示版本")),
      headless(QStringLiteral("headless"), QCoreApplication::translate("Headless", "无界面运行")),
      port(QStringLiteral("port"), QCoreApplication::translate("Headless", "通讯端口号、串口设备或网络线路 tcp://主机[:端口]、rtu+tcp://主机:端口（默认 1）"), QStringLiteral("N|DEVICE|URL")),
      baud(QStringLiteral("baud"), QCoreApplication::translate("Headless", "波特率：4800、9600 或 19200（默认 9600）"), QStringLiteral("rate")),
      parity(QStringLiteral("parity"), QCoreApplication::translate("Headless", "校验：none、odd 或 even（默认 none）"), QStringLiteral("parity")),
      station(QStringLiteral("station"), QCoreApplication::translate("Headless", "仪表站号 1..247，同一线路上的多台用逗号分隔，如 1,2,5（默认 1）"), QStringLiteral("N[,N...]")),
      mqtt(QStringLiteral("mqtt"), QCoreApplication::translate("Headless", "发布到 MQTT 服务器（默认端口 1883）"), QStringLiteral("host[:port]")),
      prefix(QStringLiteral("mqtt-prefix"), QCoreApplication::translate("Headless", "MQTT 主题前缀（默认 qr5300m）"), QStringLiteral("prefix")),
      db(QStringLiteral("db"), QCoreApplication::translate("Headless", "数据库文件（默认为本程序的数据库）"), QStringLiteral("file")),
      dataDir(QStringLiteral("data-dir"), QCoreApplication::translate("Headless", "数据库所在的文件夹（默认为本程序的数据文件夹）"), QStringLiteral("dir")),
      from(QStringLiteral("from"), QCoreApplication::translate("ExportCommand", "起始时间（本地时间，如 2026-12-08T03:00:00）"), QStringLiteral("time")),
      to(QStringLiteral("to"), QCoreApplication::translate("ExportCommand", "结束时间（含）"), QStringLiteral("time")),
      ring(QStringLiteral("ring"), QCoreApplication::translate("ExportCommand", "记录环：1s 或 10s（默认按时间范围选择）"), QStringLiteral("ring")),
      out(QStringLiteral("out"), QCoreApplication::translate("ExportCommand", "输出的 CSV 文件"), QStringLiteral("file")),
      events(QStringLiteral("events"), QCoreApplication::translate("ExportCommand", "导出事件而不是记录")),
      withStation(QStringLiteral("with-station"), QCoreApplication::translate("ParamsCommand", "与同一线路上的另一站比较"), QStringLiteral("N")),
      all(QStringLiteral("all"), QCoreApplication::translate("ParamsCommand", "写入全部参数，而不只是不同的")),
      includeComm(QStringLiteral("include-comm"), QCoreApplication::translate("ParamsCommand", "也写入通讯设置（通讯地址、波特率、校验方式、通讯延迟）")),
      dryRun(QStringLiteral("dry-run"), QCoreApplication::translate("ParamsCommand", "只列出将写入的参数，不写入")),
      force(QStringLiteral("force"), QCoreApplication::translate("ParamsCommand", "型号不同也写入"))
{
}

void addModeOptions(QCommandLineParser &parser, const CliOptions &o, RunMode mode)
{
    switch (mode) {
    case RunMode::Windows:
        parser.addOptions({o.lang, o.version});
        return;
    case RunMode::Headless:
        parser.setApplicationDescription(QCoreApplication::translate("Headless", "无界面记录：采集、记录并发布仪表数据"));
        parser.addOptions({o.headless, o.port, o.baud, o.parity, o.station, o.db, o.dataDir, o.mqtt, o.prefix, o.lang});
        break;
    case RunMode::Export:
        parser.setApplicationDescription(QCoreApplication::translate("ExportCommand", "导出记录为 CSV 文件"));
        parser.addOptions({o.from, o.to, o.ring, o.db, o.dataDir, o.station, o.out, o.events, o.lang});
        parser.addPositionalArgument(QStringLiteral("export"), QCoreApplication::translate("ExportCommand", "导出"));
        break;
    case RunMode::Params: {
        parser.setApplicationDescription(QCoreApplication::translate(
            "ParamsCommand", "保存、比较、写入仪表的参数。\n"
                             "退出码：read、write 成功 0，失败 1；diff 相同 0，不同 1，无法比较 2；用法错误 2。"));
        QCommandLineOption out = o.out; // the set's file, not a CSV
        out.setDescription(QCoreApplication::translate("ParamsCommand", "保存参数的文件（read）"));
        parser.addOptions({o.port, o.baud, o.parity, o.station, out, o.withStation, o.all, o.includeComm, o.dryRun,
                           o.force, o.db, o.dataDir, o.lang});
        parser.addPositionalArgument(QStringLiteral("params"), QCoreApplication::translate("ParamsCommand", "参数"),
                                     QStringLiteral("params read|diff|write"));
        parser.addPositionalArgument(QStringLiteral("FILE"), QCoreApplication::translate("ParamsCommand", "参数文件（diff、write）"),
                                     QStringLiteral("[FILE]"));
        break;
    }
    }
    parser.addHelpOption();
}

RunMode runModeOf(const QStringList &arguments)
{
    QCommandLineParser parser;
    const CliOptions o;
    // Every mode's options, each once, so that their values are not taken
    // for the command.
    parser.addOptions({o.lang, o.version, o.headless, o.port, o.baud, o.parity, o.station, o.mqtt, o.prefix, o.db,
                       o.dataDir, o.from, o.to, o.ring, o.out, o.events, o.withStation, o.all, o.includeComm, o.dryRun,
                       o.force});
    parser.parse(arguments); // what is wrong is for the mode's own parser to say
    if (parser.positionalArguments().value(0) == QLatin1String("export"))
        return RunMode::Export;
    if (parser.positionalArguments().value(0) == QLatin1String("params"))
        return RunMode::Params;
    return parser.isSet(o.headless) ? RunMode::Headless : RunMode::Windows;
}

QStringList languagesGiven(const QStringList &arguments)
{
    QCommandLineParser parser;
    const CliOptions o;
    addModeOptions(parser, o, runModeOf(arguments));
    parser.parse(arguments); // what is wrong is for the mode's own parser to say
    return parser.values(o.lang);
}

int answerCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const CliOptions o;
    addModeOptions(parser, o, RunMode::Windows);
    const QCommandLineOption help(QStringLiteral("help"));
    parser.addOption(help);
    parser.parse(arguments); // a --lang without a value is the language's to judge
    for (const QString &name : parser.unknownOptionNames()) {
        if (const QString a = doubleDashed(arguments, name); !a.isEmpty()) {
            std::fprintf(stderr, "qr5300m: unrecognized option '%s'\nTry 'qr5300m --help' for more information.\n",
                         a.toLocal8Bit().constData());
            return kUsage;
        }
    }
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (parser.isSet(o.version)) {
        std::fputs(kVersion, stdout);
        return 0;
    }
    return kStart;
}

std::optional<DbLocation> dbLocationGiven(const QCommandLineParser &parser, const CliOptions &o, QString &usage)
{
    const bool file = parser.isSet(o.db), folder = parser.isSet(o.dataDir);
    if (file && folder) {
        usage = QCoreApplication::translate("Headless", "--db 与 --data-dir 不能同时使用");
        return std::nullopt;
    }
    const QCommandLineOption &given = file ? o.db : o.dataDir;
    const QString value = parser.value(given);
    if ((file || folder) && value.isEmpty()) {
        usage = QCoreApplication::translate("Headless", "--%1 不能为空").arg(given.names().constFirst());
        return std::nullopt;
    }
    if (file)
        return DbLocation{QFileInfo(value).absoluteFilePath(), false};
    if (!folder)
        return dbLocation();
    if (!QFileInfo(value).isDir()) {
        usage = QCoreApplication::translate("Headless", "--data-dir 不是文件夹：%1").arg(value);
        return std::nullopt;
    }
    return folderDbLocation(value);
}
