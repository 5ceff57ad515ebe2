#include "core/line_address.h"

#include <QRegularExpression>

namespace {

LineAddressParse refused(LineAddressFault fault)
{
    LineAddressParse p;
    p.fault = fault;
    return p;
}

// "HOST[:PORT]" or "[V6]:PORT" into host and port text (empty when none).
bool splitHostPort(const QString &rest, QString *host, QString *port)
{
    static const QRegularExpression bracketed(QStringLiteral("^\\[([0-9A-Fa-f:.]+)\\](?::(.*))?$"));
    static const QRegularExpression plain(QStringLiteral("^([A-Za-z0-9._-]+)(?::(.*))?$"));
    for (const QRegularExpression *re : {&bracketed, &plain}) {
        const QRegularExpressionMatch m = re->match(rest);
        if (m.hasMatch()) {
            *host = m.captured(1);
            *port = m.captured(2);
            if (m.capturedStart(2) >= 0 && port->isEmpty())
                *port = QStringLiteral(":"); // "host:" has an empty port: refused below
            return true;
        }
    }
    return false;
}

} // namespace

bool isNetworkAddress(const QString &text)
{
    return text.trimmed().contains(QStringLiteral("://"));
}

LineAddressParse parseLineAddress(const QString &given)
{
    const QString text = given.trimmed();
    if (text.isEmpty())
        return refused(LineAddressFault::Empty);
    const qsizetype sep = text.indexOf(QStringLiteral("://"));
    if (sep < 0) {
        LineAddressParse p;
        p.address.device = text;
        return p;
    }
    const QString scheme = text.left(sep).toLower();
    LineAddressParse p;
    if (scheme == QStringLiteral("tcp"))
        p.address.transport = LineTransport::ModbusTcp;
    else if (scheme == QStringLiteral("rtu+tcp"))
        p.address.transport = LineTransport::RtuOverTcp;
    else
        return refused(LineAddressFault::BadScheme);
    QString rest = text.mid(sep + 3);
    if (rest.endsWith(QLatin1Char('/')))
        rest.chop(1);
    QString host;
    QString port;
    if (!splitHostPort(rest, &host, &port))
        return refused(LineAddressFault::NoHost);
    if (port.isEmpty()) {
        if (p.address.transport == LineTransport::RtuOverTcp)
            return refused(LineAddressFault::PortRequired);
        p.address.tcpPort = kModbusTcpPort;
    } else {
        bool ok = false;
        const uint n = port.toUInt(&ok);
        if (!ok || n < 1 || n > 65535 || !port.at(0).isDigit())
            return refused(LineAddressFault::BadPort);
        p.address.tcpPort = uint16_t(n);
    }
    p.address.host = host;
    return p;
}
