#include "link/serial_ports.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>

namespace {

const char *const kParities[3] = {"none", "odd", "even"};
const int kBauds[3] = {4800, 9600, 19200};

QString canonical(const QString &path)
{
    const QString c = QFileInfo(path).canonicalFilePath();
    return c.isEmpty() ? path : c;
}

} // namespace

QString byIdFolder()
{
    const QString dir = qEnvironmentVariable("QR5300M_BYID_DIR");
    return dir.isEmpty() ? QStringLiteral("/dev/serial/by-id") : dir;
}

QString byIdLinkOf(const QString &device, const QString &folder)
{
    const QString target = canonical(device);
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links)
        if (link.isSymLink() && canonical(link.absoluteFilePath()) == target)
            return link.absoluteFilePath();
    return QString();
}

QList<SerialPortChoice> serialPortChoices()
{
    QList<SerialPortChoice> out;
    QStringList devices;
    const QString folder = byIdFolder();
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QStringList parts;
        for (const QString &part : {info.description(), info.manufacturer(), info.serialNumber()})
            if (!part.trimmed().isEmpty())
                parts << part.trimmed();
        if (parts.isEmpty())
            parts << info.portName();
        const QString link = byIdLinkOf(info.systemLocation(), folder);
        out.append({parts.join(QStringLiteral(" · ")), link.isEmpty() ? info.systemLocation() : link});
        devices << canonical(info.systemLocation());
    }
    // Stable links to devices the system did not list (the list misses some
    // kinds of terminal): named by the link itself.
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        if (!link.isSymLink() || !link.exists() || devices.contains(canonical(link.absoluteFilePath())))
            continue;
        out.append({link.fileName(), link.absoluteFilePath()});
        devices << canonical(link.absoluteFilePath());
    }
    return out;
}

RememberedLink rememberedOf(const int32_t *Link_Par, const QString &portPath)
{
    return {portPath.isEmpty() ? QString::number(Link_Par[0]) : portPath, Link_Par[1], Link_Par[2], Link_Par[3]};
}

QString settingsFile()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/qr5300m/qr5300m.conf");
}

std::optional<RememberedLink> loadRememberedLink()
{
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("link"));
    const QString port = s.value(QStringLiteral("port")).toString().trimmed();
    if (s.status() != QSettings::NoError || port.isEmpty())
        return std::nullopt;
    RememberedLink r;
    r.port = port;
    const int baud = s.value(QStringLiteral("baud"), 9600).toInt();
    for (int i = 0; i < 3; ++i)
        if (kBauds[i] == baud)
            r.baudIndex = i;
    const QString parity = s.value(QStringLiteral("parity")).toString();
    for (int i = 0; i < 3; ++i)
        if (parity == QLatin1String(kParities[i]))
            r.parityIndex = i;
    bool ok = false;
    const int station = s.value(QStringLiteral("station"), 1).toInt(&ok);
    r.station = ok ? station : 1;
    return r;
}

bool saveRememberedLink(const RememberedLink &r)
{
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("link"));
    s.setValue(QStringLiteral("port"), r.port);
    if (r.baudIndex >= 0 && r.baudIndex < 3)
        s.setValue(QStringLiteral("baud"), kBauds[r.baudIndex]);
    if (r.parityIndex >= 0 && r.parityIndex < 3)
        s.setValue(QStringLiteral("parity"), QLatin1String(kParities[r.parityIndex]));
    s.setValue(QStringLiteral("station"), r.station);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError;
}
