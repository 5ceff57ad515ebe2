#include "app/link_options.h"

#include "app/settings_text.h"
#include "config/link_text.h"
#include "core/line_address.h"
#include "core/line_settings.h"
#include "core/settings_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

namespace {

// The index of a baud rate or parity written out, or nothing.
std::optional<int32_t> choiceOf(int i)
{
    return i < 0 ? std::nullopt : std::optional<int32_t>(i);
}

std::optional<int32_t> baudChoiceOf(const QString &text)
{
    bool ok = false;
    const int rate = text.toInt(&ok);
    return choiceOf(ok && QString::number(rate) == text ? baudIndexOf(rate) : -1);
}

// The option that gives a remembered key.
const QCommandLineOption &optionOf(const CliOptions &o, LinkKey key)
{
    switch (key) {
    case LinkKey::Port:
        return o.port;
    case LinkKey::Baud:
        return o.baud;
    case LinkKey::Parity:
        return o.parity;
    case LinkKey::Station:
        break;
    }
    return o.station;
}

} // namespace

// The settings file and the link settings remembered by the last successful
// open, each key checked as its option would be unless the command line
// gives that option; the usage error when one does not pass.
std::optional<QString> takeRemembered(const QCommandLineParser &parser, const CliOptions &o, LinkChoice &link)
{
    const QString conf = settingsFilePath();
    if (const QString t = settingsFileText(conf, checkSettingsFile(conf)); !t.isEmpty())
        return t;
    if (const QString t = settingsExposureText(conf, narrowExposedSettings(conf)); !t.isEmpty())
        QTextStream(stderr) << t << Qt::endl;
    const RememberedLinkRead remembered = readRememberedLink();
    for (const RememberedValueFault &f : remembered.faults)
        if (!parser.isSet(optionOf(o, f.key)))
            return rememberedValueText(conf, f);
    if (const auto &r = remembered.link) {
        link.par[1] = r->baudIndex;
        link.par[2] = r->parityIndex;
        link.par[3] = r->station;
        bool isNumber = false;
        const int n = r->port.toInt(&isNumber);
        if (isNumber)
            link.par[0] = n;
        else
            link.devicePath = r->port;
    }
    return std::nullopt;
}

// The link options given; the usage error when one is not right.
std::optional<QString> takeLinkOptions(const QCommandLineParser &parser, const CliOptions &o, LinkChoice &link)
{
    if (parser.isSet(o.port)) {
        const QString p = parser.value(o.port);
        bool ok = false;
        const int n = p.toInt(&ok);
        if (p.isEmpty())
            return QCoreApplication::translate("Headless", "--port 不能为空");
        if (ok) {
            if (n < 1 || n > 255)
                return QCoreApplication::translate("Headless", "--port 的端口号应为 1..255：%1").arg(p);
            link.par[0] = n;
            link.devicePath.clear();
        } else if (isNetworkAddress(p)) {
            // A line over Ethernet goes to the link as written.
            if (!parseLineAddress(p).ok())
                return QCoreApplication::translate("Headless", "--port 的网络地址无效（tcp://主机[:端口] 或 rtu+tcp://主机:端口）：%1").arg(p);
            link.devicePath = p;
        } else {
            link.devicePath = QFileInfo(p).absoluteFilePath();
        }
    }
    if (parser.isSet(o.baud)) {
        const auto b = baudChoiceOf(parser.value(o.baud));
        if (!b)
            return QCoreApplication::translate("Headless", "--baud 只能是 4800、9600 或 19200：%1").arg(parser.value(o.baud));
        link.par[1] = *b;
    }
    if (parser.isSet(o.parity)) {
        const auto q = choiceOf(parityIndexOf(parser.value(o.parity).toStdString()));
        if (!q)
            return QCoreApplication::translate("Headless", "--parity 只能是 none、odd 或 even：%1").arg(parser.value(o.parity));
        link.par[2] = *q;
    }
    return std::nullopt;
}

// The stations of --station (one, or several on the line separated by
// commas); the usage error when one is not right or named twice.
std::optional<QString> takeStations(const QCommandLineParser &parser, const CliOptions &o, QList<int32_t> &stations)
{
    if (!parser.isSet(o.station))
        return std::nullopt;
    const QString given = parser.value(o.station);
    stations.clear();
    for (const QString &part : given.split(u',')) {
        bool ok = false;
        const int s = part.trimmed().toInt(&ok);
        if (!ok || s < 1 || s > 247)
            return QCoreApplication::translate("Headless", "--station 应为 1..247：%1").arg(given);
        if (stations.contains(s))
            return QCoreApplication::translate("Headless", "--station 中站号 %1 重复").arg(s);
        stations.append(s);
    }
    return std::nullopt;
}
