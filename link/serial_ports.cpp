#include "link/serial_ports.h"

#include "core/line_address.h"
#include "core/line_settings.h"
#include "core/settings_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSettings>

namespace {

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

QString linkKeyName(LinkKey key)
{
    switch (key) {
    case LinkKey::Port:
        return QStringLiteral("port");
    case LinkKey::Baud:
        return QStringLiteral("baud");
    case LinkKey::Parity:
        return QStringLiteral("parity");
    case LinkKey::Station:
        break;
    }
    return QStringLiteral("station");
}

RememberedLinkRead readRememberedLink()
{
    RememberedLinkRead read;
    QSettings s(settingsFilePath(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("link"));
    const QString port = s.value(QStringLiteral("port")).toString().trimmed();
    if (s.status() != QSettings::NoError || port.isEmpty())
        return read;
    RememberedLink r;
    const auto text = [&s](LinkKey key) { return s.value(linkKeyName(key)).toString().trimmed(); };
    bool ok = false;
    const int n = port.toInt(&ok);
    if ((ok && n >= 1 && n <= 255) || (!ok && port.startsWith(u'/')) || (isNetworkAddress(port) && parseLineAddress(port).ok()))
        r.port = port;
    else
        read.faults.append({LinkKey::Port, port});
    if (const QString baud = text(LinkKey::Baud); !baud.isEmpty()) {
        const int rate = baud.toInt(&ok);
        const int i = ok && QString::number(rate) == baud ? baudIndexOf(rate) : -1;
        if (i >= 0)
            r.baudIndex = i;
        else
            read.faults.append({LinkKey::Baud, baud});
    }
    if (const QString parity = text(LinkKey::Parity); !parity.isEmpty()) {
        const int i = parityIndexOf(parity.toStdString());
        if (i >= 0)
            r.parityIndex = i;
        else
            read.faults.append({LinkKey::Parity, parity});
    }
    if (const QString station = text(LinkKey::Station); !station.isEmpty()) {
        const int st = station.toInt(&ok);
        if (ok && st >= 1 && st <= 247)
            r.station = st;
        else
            read.faults.append({LinkKey::Station, station});
    }
    if (r.port.isEmpty())
        r.port = QStringLiteral("1");
    read.link = r;
    return read;
}

std::optional<RememberedLink> loadRememberedLink()
{
    return readRememberedLink().link;
}

bool saveRememberedLink(const RememberedLink &r)
{
    const QString path = settingsFilePath();
    if (!prepareSettingsFile(path))
        return false;
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(QStringLiteral("link"));
    s.setValue(QStringLiteral("port"), r.port);
    if (r.baudIndex >= 0 && r.baudIndex < kLineChoices)
        s.setValue(QStringLiteral("baud"), kBaudRates[r.baudIndex]);
    if (r.parityIndex >= 0 && r.parityIndex < kLineChoices)
        s.setValue(QStringLiteral("parity"), QLatin1String(kParityNames[r.parityIndex].data(), qsizetype(kParityNames[r.parityIndex].size())));
    s.setValue(QStringLiteral("station"), r.station);
    s.endGroup();
    s.sync();
    return s.status() == QSettings::NoError && restrictSettingsFile(path);
}
