#include "mqtt/mqtt_publisher.h"

#include "core/numbers.h"
#include "core/settings_file.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mosquitto.h>

QString configFilePath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/qr5300m/qr5300m.conf");
}

MqttSettings readMqttSettings(const QString &path)
{
    MqttSettings s;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("mqtt"));
    s.enabled = ini.value(QStringLiteral("enabled"), s.enabled).toBool();
    s.host = ini.value(QStringLiteral("host"), s.host).toString();
    bool ok = false;
    const int port = ini.value(QStringLiteral("port"), s.port).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        s.port = port;
    s.clientId = ini.value(QStringLiteral("client_id")).toString();
    s.user = ini.value(QStringLiteral("user")).toString();
    s.password = ini.value(QStringLiteral("password")).toString();
    s.caFile = ini.value(QStringLiteral("ca_file")).toString();
    const QString prefix = ini.value(QStringLiteral("prefix"), s.prefix).toString();
    if (!prefix.isEmpty())
        s.prefix = prefix;
    return s;
}

bool writeMqttSettings(const QString &path, const MqttSettings &s)
{
    if (!prepareSettingsFile(path)) // it holds the password: owner only
        return false;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("mqtt"));
    ini.setValue(QStringLiteral("enabled"), s.enabled);
    ini.setValue(QStringLiteral("host"), s.host);
    ini.setValue(QStringLiteral("port"), s.port);
    ini.setValue(QStringLiteral("client_id"), s.clientId);
    ini.setValue(QStringLiteral("user"), s.user);
    ini.setValue(QStringLiteral("password"), s.password);
    ini.setValue(QStringLiteral("ca_file"), s.caFile);
    ini.setValue(QStringLiteral("prefix"), s.prefix);
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError && restrictSettingsFile(path);
}

namespace {

// "2026-12-08T03:00:00+08:00": local time and its offset from UTC.
QByteArray isoWithOffset(const QDateTime &t)
{
    const int off = t.offsetFromUtc();
    const int mins = std::abs(off) / 60;
    return t.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")).toLatin1() + (off < 0 ? '-' : '+')
           + QByteArray::number(mins / 60).rightJustified(2, '0') + ':'
           + QByteArray::number(mins % 60).rightJustified(2, '0');
}

// The read-out's text with a decimal point whatever the locale.
QByteArray jsonNumber(float v)
{
    if (!std::isfinite(v))
        return "null";
    QString t = numText(v);
    t.replace(QLocale().decimalPoint(), QStringLiteral("."));
    return t.toLatin1();
}

} // namespace

QByteArray stateJson(const QDateTime &time, const LiveTables &live, MqttLink link)
{
    uint32_t status = 0;
    for (int k = 0; k < 16; ++k)
        if (live.Sta_1X[k] != 0)
            status |= 1u << k;
    static constexpr const char *kLink[] = {"ok", "interrupted", "closed"};
    QByteArray j;
    j.reserve(160);
    j += "{\"time\":\"" + isoWithOffset(time) + '"';
    for (int i = 0; i < 4; ++i)
        j += ",\"ch" + QByteArray::number(i + 1) + "\":" + jsonNumber(live.Val_3X[i]);
    j += ",\"da\":" + jsonNumber(live.Val_3X[4]);
    j += ",\"status\":" + QByteArray::number(status);
    j += ",\"link\":\"" + QByteArray(kLink[int(link)]) + "\"}";
    return j;
}

MqttPublisher::MqttPublisher(QObject *parent) : QObject(parent) {}

MqttPublisher::~MqttPublisher()
{
    stop();
}

void MqttPublisher::setSettings(const MqttSettings &settings)
{
    if (settings == m_settings && (m_mosq != nullptr) == settings.enabled)
        return;
    stop();
    m_settings = settings;
    start();
}

void MqttPublisher::setStation(int station)
{
    if (station == m_station)
        return;
    stop();
    m_station = station;
    start();
}

QByteArray MqttPublisher::topic(int station, const char *leaf) const
{
    return m_settings.prefix.toUtf8() + '/' + QByteArray::number(station) + '/' + leaf;
}

void MqttPublisher::start()
{
    if (!m_settings.enabled || m_station <= 0 || m_mosq)
        return;
    mosquitto_lib_init(); // once per process would do; repeating it is harmless
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq) {
        emit connectionChanged(false, QString::fromLocal8Bit(mosquitto_strerror(MOSQ_ERR_NOMEM)));
        return;
    }
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<MqttPublisher *>(self)->onConnect(rc);
    });
    mosquitto_disconnect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<MqttPublisher *>(self)->onDisconnect(rc);
    });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto *, void *self, int mid) {
        static_cast<MqttPublisher *>(self)->onPublish(mid);
    });
    mosquitto_reconnect_delay_set(m_mosq, 1, 2, false);
    mosquitto_max_inflight_messages_set(m_mosq, kWindow);
    const QByteArray online = topic(m_station, "online");
    mosquitto_will_set(m_mosq, online.constData(), 5, "false", 1, true);
    if (!m_settings.user.isEmpty())
        mosquitto_username_pw_set(m_mosq, m_settings.user.toUtf8().constData(),
                                  m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData());
    if (!m_settings.caFile.isEmpty()) {
        const int rc = mosquitto_tls_set(m_mosq, QFile::encodeName(m_settings.caFile).constData(), nullptr, nullptr,
                                         nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            emit connectionChanged(false, QString::fromLocal8Bit(mosquitto_strerror(rc)));
    }
    // A broker that cannot be reached now is tried again by the network thread.
    const int rc = mosquitto_connect_async(m_mosq, m_settings.host.toUtf8().constData(), m_settings.port, 30);
    if (rc != MOSQ_ERR_SUCCESS)
        emit connectionChanged(false, QString::fromLocal8Bit(mosquitto_strerror(rc)));
    {
        std::lock_guard lock(m_mutex);
        pump();
    }
    mosquitto_loop_start(m_mosq);
}

void MqttPublisher::stop()
{
    if (!m_mosq)
        return;
    {
        std::unique_lock lock(m_mutex);
        if (m_connected) {
            const QByteArray online = topic(m_station, "online");
            int mid = 0;
            if (mosquitto_publish(m_mosq, &mid, online.constData(), 5, "false", 1, true) == MOSQ_ERR_SUCCESS) {
                m_offlineMid = mid;
                m_acked.wait_for(lock, std::chrono::seconds(1), [this] { return m_offlineMid < 0 || !m_connected; });
                m_offlineMid = -1;
            }
        }
    }
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    {
        std::lock_guard lock(m_mutex);
        requeueInflight();
        m_connected = false;
        m_resending = false;
    }
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
}

void MqttPublisher::publishState(int station, const QByteArray &json)
{
    if (!m_settings.enabled || station <= 0)
        return;
    setStation(station);
    std::lock_guard lock(m_mutex);
    if (int(m_queue.size() + m_inflight.size()) >= kQueueBound && !m_queue.empty()) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back({topic(station, "state"), json});
    pump();
}

// Only a window is handed to libmosquitto, and only while connected: it
// keeps what it was handed over a reconnection and sends that again first
// (messages handed to it while it is disconnected are not sent reliably).
void MqttPublisher::pump()
{
    while (m_mosq && m_connected && !m_resending && int(m_inflight.size()) < kWindow && !m_queue.empty()) {
        Message &m = m_queue.front();
        int mid = 0;
        if (mosquitto_publish(m_mosq, &mid, m.topic.constData(), int(m.payload.size()), m.payload.constData(), 1, false)
            != MOSQ_ERR_SUCCESS)
            break;
        m_inflight.emplace_back(mid, std::move(m));
        m_queue.pop_front();
    }
}

// What the old connection did not get acknowledged goes out first on the next.
void MqttPublisher::requeueInflight()
{
    while (!m_inflight.empty()) {
        m_queue.push_front(std::move(m_inflight.back().second));
        m_inflight.pop_back();
    }
    while (int(m_queue.size()) > kQueueBound) {
        m_queue.pop_front();
        ++m_dropped;
    }
}

void MqttPublisher::onConnect(int rc)
{
    if (rc != 0) {
        emit connectionChanged(false, QString::fromLocal8Bit(mosquitto_connack_string(rc)));
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_connected = true;
        m_resending = !m_inflight.empty();
        const QByteArray online = topic(m_station, "online");
        mosquitto_publish(m_mosq, nullptr, online.constData(), 4, "true", 1, true);
        pump();
    }
    emit connectionChanged(true, QString());
}

void MqttPublisher::onDisconnect(int rc)
{
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        m_acked.notify_all();
    }
    emit connectionChanged(false, rc == 0 ? QString() : QString::fromLocal8Bit(mosquitto_strerror(rc)));
}

void MqttPublisher::onPublish(int mid)
{
    std::lock_guard lock(m_mutex);
    if (mid == m_offlineMid) {
        m_offlineMid = -1;
        m_acked.notify_all();
        return;
    }
    const auto it = std::find_if(m_inflight.begin(), m_inflight.end(), [mid](const auto &m) { return m.first == mid; });
    if (it == m_inflight.end())
        return;
    m_inflight.erase(it);
    ++m_delivered;
    if (m_inflight.empty())
        m_resending = false;
    pump();
}

bool MqttPublisher::isConnected() const
{
    std::lock_guard lock(m_mutex);
    return m_connected;
}

int MqttPublisher::queued() const
{
    std::lock_guard lock(m_mutex);
    return int(m_queue.size() + m_inflight.size());
}

int64_t MqttPublisher::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

int64_t MqttPublisher::delivered() const
{
    std::lock_guard lock(m_mutex);
    return m_delivered;
}
