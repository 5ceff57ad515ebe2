#include "mqtt/mqtt_state.h"

#include <QFile>
#include <QFileInfo>
#include <mosquitto.h>

namespace {

constexpr qsizetype kTopicLimit = 65535;
// The longest topic level added to a prefix: "/247/online".
constexpr qsizetype kLongestSuffix = 11;

// At least one PEM certificate block whose body is base64 of a DER sequence.
bool holdsCertificate(const QByteArray &text)
{
    static const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray end = "-----END CERTIFICATE-----";
    for (qsizetype from = 0, b; (b = text.indexOf(begin, from)) >= 0;) {
        const qsizetype e = text.indexOf(end, b);
        if (e < 0)
            return false;
        QByteArray body = text.mid(b + begin.size(), e - b - begin.size());
        body.replace('\r', "").replace('\n', "").replace(' ', "").replace('\t', "");
        const auto der = QByteArray::fromBase64Encoding(body, QByteArray::AbortOnBase64DecodingErrors);
        if (der && der.decoded.size() > 16 && uchar(der.decoded.at(0)) == 0x30)
            return true;
        from = e + end.size();
    }
    return false;
}

} // namespace

MqttPrefixFault checkMqttPrefix(const QString &prefix)
{
    if (prefix.isEmpty())
        return MqttPrefixFault::Empty;
    if (prefix.contains(QChar(0)))
        return MqttPrefixFault::Nul;
    if (prefix.contains(u'+') || prefix.contains(u'#'))
        return MqttPrefixFault::Wildcard;
    const QByteArray topic = prefix.toUtf8() + "/247/online";
    static_assert(sizeof "/247/online" - 1 == kLongestSuffix);
    if (topic.size() > kTopicLimit)
        return MqttPrefixFault::TooLong;
    if (mosquitto_validate_utf8(topic.constData(), int(topic.size())) != MOSQ_ERR_SUCCESS
        || mosquitto_pub_topic_check2(topic.constData(), size_t(topic.size())) != MOSQ_ERR_SUCCESS)
        return MqttPrefixFault::BadText;
    return MqttPrefixFault::None;
}

MqttTlsFault checkCaFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return MqttTlsFault::Missing;
    if (info.isDir())
        return MqttTlsFault::NotCertificate;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return MqttTlsFault::Unreadable;
    const QByteArray text = file.read(4 << 20);
    if (file.error() != QFileDevice::NoError)
        return MqttTlsFault::Unreadable;
    return holdsCertificate(text) ? MqttTlsFault::None : MqttTlsFault::NotCertificate;
}
