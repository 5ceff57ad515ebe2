#include "mqtt/mqtt_publisher.h"

#include "core/numbers.h"
#include "core/settings_file.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSettings>
#include <QTimeZone>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mosquitto.h>

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

// "2026-12-08T03:00:00+08:00": local time and its offset from UTC (a zone
// of that fixed offset, so that UTC too reads "+00:00" rather than "Z").
QString isoWithOffset(const QDateTime &t)
{
    return t.toTimeZone(QTimeZone(t.offsetFromUtc())).toString(Qt::ISODate);
}

// The read-out's value (numText, read back with a decimal point whatever
// the locale); null when it is no number.
QJsonValue jsonNumber(float v)
{
    if (!std::isfinite(v))
        return QJsonValue(QJsonValue::Null);
    QString t = numText(v);
    t.replace(QLocale().decimalPoint(), QStringLiteral("."));
    t.replace(QLocale().negativeSign(), QStringLiteral("-"));
    return QLocale::c().toDouble(t);
}

} // namespace

QByteArray stateJson(const QDateTime &time, const LiveTables &live, MqttLink link)
{
    qint64 status = 0;
    for (int k = 0; k < 16; ++k)
        if (live.Sta_1X[k] != 0)
            status |= qint64(1) << k;
    static constexpr const char *kLink[] = {"ok", "interrupted", "closed"};
    QJsonObject o;
    o.insert(QLatin1String("time"), isoWithOffset(time));
    for (int i = 0; i < 4; ++i)
        o.insert(QLatin1String("ch") + QString::number(i + 1), jsonNumber(live.Val_3X[i]));
    o.insert(QLatin1String("da"), jsonNumber(live.Val_3X[4]));
    o.insert(QLatin1String("status"), status);
    o.insert(QLatin1String("link"), QLatin1String(kLink[int(link)]));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

namespace {

// The state of an attempt that failed with libmosquitto's rc (errno as it
// was right after).
MqttState attemptStateOf(int rc, int sys)
{
    switch (rc) {
    case MOSQ_ERR_ERRNO:
    case MOSQ_ERR_NO_CONN:
    case MOSQ_ERR_CONN_LOST:
        return {MqttStatus::Waiting, MqttFault::Unreachable, MqttTlsFault::None, MqttPrefixFault::None, sys};
    case MOSQ_ERR_EAI:
        return {MqttStatus::Waiting, MqttFault::HostUnknown, MqttTlsFault::None, MqttPrefixFault::None, 0};
    case MOSQ_ERR_TLS:
        return {MqttStatus::Waiting, MqttFault::Tls, MqttTlsFault::Handshake, MqttPrefixFault::None, 0};
    default:
        return {MqttStatus::Waiting, MqttFault::Other, MqttTlsFault::None, MqttPrefixFault::None, rc};
    }
}

MqttState failed(MqttFault fault, int code = 0)
{
    return {MqttStatus::Failed, fault, MqttTlsFault::None, MqttPrefixFault::None, code};
}

} // namespace

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

void MqttPublisher::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest)
{
    m_firstDelay = first;
    m_longestDelay = std::max(first, longest);
}

QByteArray MqttPublisher::topic(int station, const char *leaf) const
{
    return m_settings.prefix.toUtf8() + '/' + QByteArray::number(station) + '/' + leaf;
}

void MqttPublisher::start()
{
    if (!m_settings.enabled || m_station <= 0 || m_mosq) {
        setState({});
        return;
    }
    if (!prepare())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        m_shortLived = 0;
    }
    m_thread = std::thread([this] { run(); });
}

// Everything that can be told before a byte goes out: the prefix, the TLS
// files, the last will. Nothing is connected when one of them fails.
bool MqttPublisher::prepare()
{
    if (const auto p = checkMqttPrefix(m_settings.prefix); p != MqttPrefixFault::None) {
        setState({MqttStatus::Failed, MqttFault::BadPrefix, MqttTlsFault::None, p, 0});
        return false;
    }
    if (!m_settings.caFile.isEmpty()) {
        if (const auto t = checkCaFile(m_settings.caFile); t != MqttTlsFault::None) {
            setState({MqttStatus::Failed, MqttFault::Tls, t, MqttPrefixFault::None, 0});
            return false;
        }
    }
    mosquitto_lib_init(); // once per process would do; repeating it is harmless
    const QByteArray id = m_settings.clientId.toUtf8();
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq) {
        setState(failed(MqttFault::Other, MOSQ_ERR_NOMEM));
        return false;
    }
    mosquitto_threaded_set(m_mosq, true);
    mosquitto_connect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<MqttPublisher *>(self)->onConnect(rc);
    });
    mosquitto_disconnect_callback_set(m_mosq, [](mosquitto *, void *self, int rc) {
        static_cast<MqttPublisher *>(self)->onDisconnect(rc);
    });
    mosquitto_publish_callback_set(m_mosq, [](mosquitto *, void *self, int mid) {
        static_cast<MqttPublisher *>(self)->onPublish(mid);
    });
    mosquitto_max_inflight_messages_set(m_mosq, kWindow);
    const QByteArray online = topic(m_station, "online");
    MqttState refused;
    if (const int rc = mosquitto_will_set(m_mosq, online.constData(), 5, "false", 1, true); rc != MOSQ_ERR_SUCCESS)
        refused = failed(MqttFault::WillRefused, rc);
    else if (!m_settings.user.isEmpty()
             && mosquitto_username_pw_set(m_mosq, m_settings.user.toUtf8().constData(),
                                          m_settings.password.isEmpty() ? nullptr : m_settings.password.toUtf8().constData())
                    != MOSQ_ERR_SUCCESS)
        refused = failed(MqttFault::Auth);
    else if (!m_settings.caFile.isEmpty()
             && mosquitto_tls_set(m_mosq, QFile::encodeName(m_settings.caFile).constData(), nullptr, nullptr, nullptr,
                                  nullptr)
                    != MOSQ_ERR_SUCCESS)
        refused = {MqttStatus::Failed, MqttFault::Tls, MqttTlsFault::Unreadable, MqttPrefixFault::None, 0};
    if (refused.status == MqttStatus::Failed) {
        mosquitto_destroy(m_mosq);
        m_mosq = nullptr;
        setState(refused);
        return false;
    }
    return true;
}

// Connects, serves the connection while it lasts, and after a failed attempt
// or a lost connection waits and tries again, until stopped.
void MqttPublisher::run()
{
    const QByteArray host = m_settings.host.toUtf8();
    auto delay = m_firstDelay;
    for (bool first = true;; first = false) {
        {
            std::lock_guard lock(m_mutex);
            m_attemptState = {};
        }
        errno = 0;
        const int rc = first ? mosquitto_connect_async(m_mosq, host.constData(), m_settings.port, 30)
                             : mosquitto_reconnect_async(m_mosq);
        if (rc == MOSQ_ERR_SUCCESS)
            loopUntilDown();
        else
            attemptFailed(attemptStateOf(rc, errno));
        std::unique_lock lock(m_mutex);
        if (m_attemptState.status == MqttStatus::Connected)
            delay = m_firstDelay; // it was up: again as soon as after a first failure
        if (m_wake.wait_for(lock, delay, [this] { return m_stopping; }))
            return;
        delay = std::min(delay * 2, m_longestDelay);
    }
}

// The connection until it ends; a stop lets it run on for at most about a
// second to say goodbye.
int MqttPublisher::loopUntilDown()
{
    int rc = MOSQ_ERR_SUCCESS;
    for (int afterStop = 0; (rc = mosquitto_loop(m_mosq, 100, 1)) == MOSQ_ERR_SUCCESS;) {
        bool settled = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopping && ++afterStop > 10)
                break;
            // Dropped again and again: connected is told once it has lasted.
            settled = m_connected && m_shortLived >= kShortLivedInRow
                      && std::chrono::steady_clock::now() - m_connectedAt >= kShortLived;
            if (settled)
                m_shortLived = 0;
        }
        if (settled)
            setState({MqttStatus::Connected});
    }
    return rc;
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
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_wake.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
    {
        std::lock_guard lock(m_mutex);
        requeueInflight();
        m_connected = false;
        m_resending = false;
    }
    mosquitto_destroy(m_mosq);
    m_mosq = nullptr;
    setState({});
}

void MqttPublisher::publishState(int station, const QByteArray &json) { enqueue(station, "state", json, false); }
void MqttPublisher::publishAlarm(int station, const QByteArray &json) { enqueue(station, "alarm", json, false); }
void MqttPublisher::publishAlarmList(int station, const QByteArray &json) { enqueue(station, "alarms", json, true); }

void MqttPublisher::enqueue(int station, const char *leaf, const QByteArray &json, bool retain)
{
    if (!m_settings.enabled || station <= 0)
        return;
    setStation(station);
    std::lock_guard lock(m_mutex);
    if (int(m_queue.size() + m_inflight.size()) >= kQueueBound && !m_queue.empty()) {
        m_queue.pop_front();
        ++m_dropped;
    }
    m_queue.push_back({topic(station, leaf), json, retain});
    pump();
}

// Only a window is handed to libmosquitto, and only while connected: it
// keeps what it was handed over a reconnection and sends that again first
// (messages handed to it while it is disconnected are not sent reliably).
// A message it refuses for what it is (not for the connection) is dropped,
// counted and told: it would be refused again.
void MqttPublisher::pump()
{
    while (m_mosq && m_connected && !m_resending && int(m_inflight.size()) < kWindow && !m_queue.empty()) {
        Message &m = m_queue.front();
        int mid = 0;
        const int rc = mosquitto_publish(m_mosq, &mid, m.topic.constData(), int(m.payload.size()),
                                         m.payload.constData(), 1, m.retain);
        if (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_NOMEM || rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_ERRNO)
            break;
        if (rc != MOSQ_ERR_SUCCESS) {
            m_queue.pop_front();
            ++m_dropped;
            m_state = {MqttStatus::Connected, MqttFault::PublishRefused, MqttTlsFault::None, MqttPrefixFault::None, rc};
            QMetaObject::invokeMethod(this, [this, s = m_state] { emit stateChanged(s); }, Qt::QueuedConnection);
            continue;
        }
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

void MqttPublisher::setState(const MqttState &state)
{
    {
        std::lock_guard lock(m_mutex);
        if (state == m_state)
            return;
        m_state = state;
    }
    emit stateChanged(state);
}

// An attempt that did not get as far as a connection.
void MqttPublisher::attemptFailed(const MqttState &state)
{
    {
        std::lock_guard lock(m_mutex);
        m_shortLived = 0;
    }
    setState(state);
}

void MqttPublisher::onConnect(int rc)
{
    if (rc != 0) {
        // CONNACK 4: bad user name or password, 5: not authorised.
        const MqttFault fault = rc == 4 || rc == 5 ? MqttFault::Auth : MqttFault::Refused;
        std::lock_guard lock(m_mutex);
        m_attemptState = {MqttStatus::Waiting, fault, MqttTlsFault::None, MqttPrefixFault::None, rc};
        return;
    }
    MqttState state{MqttStatus::Connected};
    {
        std::lock_guard lock(m_mutex);
        m_connected = true;
        m_attemptState.status = MqttStatus::Connected;
        m_connectedAt = std::chrono::steady_clock::now();
        m_resending = !m_inflight.empty();
        const QByteArray online = topic(m_station, "online");
        if (const int prc = mosquitto_publish(m_mosq, nullptr, online.constData(), 4, "true", 1, true);
            prc != MOSQ_ERR_SUCCESS)
            state = {MqttStatus::Connected, MqttFault::PublishRefused, MqttTlsFault::None, MqttPrefixFault::None, prc};
        pump();
        if (m_shortLived >= kShortLivedInRow && state.fault == MqttFault::None)
            return; // still told as dropped until it lasts
    }
    setState(state);
}

void MqttPublisher::onDisconnect(int rc)
{
    const int sys = errno;
    MqttState state;
    {
        std::lock_guard lock(m_mutex);
        const bool wasConnected = m_connected;
        m_connected = false;
        m_acked.notify_all();
        if (m_stopping || (rc == 0 && wasConnected))
            return; // our own goodbye
        if (!wasConnected) {
            state = m_attemptState.status != MqttStatus::Off ? m_attemptState : attemptStateOf(rc, sys);
            m_shortLived = 0;
        } else {
            const bool soon = std::chrono::steady_clock::now() - m_connectedAt < kShortLived;
            m_shortLived = soon ? m_shortLived + 1 : 0;
            state = {MqttStatus::Waiting, m_shortLived >= kShortLivedInRow ? MqttFault::Dropped : MqttFault::Lost,
                     MqttTlsFault::None, MqttPrefixFault::None, rc};
        }
    }
    setState(state);
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

MqttState MqttPublisher::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
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
