// Publishing the acquisition to an MQTT broker, off until configured.
// Alarms go beside it on .../alarm and .../alarms (mqtt/alarm_json.h).
//
// Each acquisition becomes one JSON object on <prefix>/<station>/state, QoS 1:
//     {"time":"2026-12-08T03:00:00+08:00","ch1":253,"ch2":-12,"ch3":0,"ch4":0,
//      "da":253,"status":5,"link":"ok"}
// <prefix>/<station>/online holds "true" (retained) while the program runs and
// "false" after it ends: published on a clean exit, and the broker's last will
// when the connection dies.
//
// The connection runs on a network thread of its own: it connects, and when
// the broker cannot be reached or the connection is lost it tries again after
// a pause that grows from half a second to 4 s, the same from the first
// attempt on. A publish only queues the message and hands what fits to that
// thread, so a broker that is down or slow never holds up the caller.
// Settings that cannot work (a prefix MQTT refuses, a CA file TLS cannot be
// set up with) connect nothing at all: the state says why. While the broker is down the messages wait in a queue of at
// most kQueueBound (oldest dropped and counted) and go out in order once it is
// back.
#pragma once

#include "core/live_data.h"
#include "mqtt/mqtt_state.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

struct mosquitto;

struct MqttSettings {
    bool enabled = false;
    QString host = QStringLiteral("localhost");
    int port = 1883;
    QString clientId; // empty: the library makes one up
    QString user;     // empty: no login
    QString password;
    QString caFile;   // set: TLS, the broker's certificate checked against this CA
    QString prefix = QStringLiteral("qr5300m");
    friend bool operator==(const MqttSettings &, const MqttSettings &) = default;
};

// The [mqtt] group of the INI file at path (keys enabled, host, port,
// client_id, user, password, ca_file, prefix); defaults for what is missing.
MqttSettings readMqttSettings(const QString &path);
// Writes them into the [mqtt] group, other groups untouched; false when the
// file cannot be written.
bool writeMqttSettings(const QString &path, const MqttSettings &settings);

// The link as the messages name it.
enum class MqttLink { Ok, Interrupted, Closed };

// One acquisition's message: the time with its UTC offset, Val_3X(0..4) as
// the read-outs show them (with a decimal point), the 16 status flags as one
// integer (bit k = Sta_1X(k)) and the link.
QByteArray stateJson(const QDateTime &time, const LiveTables &live, MqttLink link);

class MqttPublisher : public QObject {
    Q_OBJECT
public:
    static constexpr int kQueueBound = 3600; // unacknowledged messages: 30 min of acquisitions at 2 a second
    static constexpr int kWindow = 20;       // messages handed to the network thread, unacknowledged

    explicit MqttPublisher(QObject *parent = nullptr);
    // A clean exit: "false" on the online topic, then disconnects.
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher &) = delete;
    MqttPublisher &operator=(const MqttPublisher &) = delete;

    // New settings: the connection is made again with them (or ended when
    // disabled); messages still queued are kept.
    void setSettings(const MqttSettings &settings);
    MqttSettings settings() const { return m_settings; }
    // The station the online topic and the will are for: connects (again)
    // when it changes and publishing is enabled.
    void setStation(int station);

    // Queues one message on <prefix>/<station>/state (nothing while disabled
    // or for station 0, no station chosen yet).
    void publishState(int station, const QByteArray &json);
    // Likewise one alarm change on <prefix>/<station>/alarm, and the list of
    // the station's alarms, retained, on <prefix>/<station>/alarms
    // (mqtt/alarm_json.h).
    void publishAlarm(int station, const QByteArray &json);
    void publishAlarmList(int station, const QByteArray &json);
    // Ends the connection cleanly ("false" on the online topic, waiting at
    // most about a second for the broker to take it). Queued messages stay.
    void stop();

    bool isConnected() const;
    int queued() const;        // waiting for the broker's acknowledgement (at most kQueueBound)
    int64_t dropped() const;   // dropped from a full queue since the start
    int64_t delivered() const; // acknowledged by the broker since the start

    MqttState state() const;
    // The pause before the next attempt: first after a failure, doubled after
    // each further one up to longest; first again once connected. Applies
    // from the next start.
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest);

    // A connection lost this soon after it was made, kShortLivedInRow times
    // in a row, is told as MqttFault::Dropped; the next connection is told
    // only once it has lasted this long.
    static constexpr std::chrono::seconds kShortLived{10};
    static constexpr int kShortLivedInRow = 3;

signals:
    // Every change of state(), once (emitted from the network thread while it
    // runs): a broker that stays away is told once, not at every attempt.
    void stateChanged(const MqttState &state);

private:
    struct Message {
        QByteArray topic, payload;
        bool retain = false;
    };
    void enqueue(int station, const char *leaf, const QByteArray &json, bool retain);
    void start();
    bool prepare(); // settings and library handle; false (state told) when they cannot work
    void run();     // the network thread
    int loopUntilDown();
    void setState(const MqttState &state);
    void attemptFailed(const MqttState &state);
    QByteArray topic(int station, const char *leaf) const;
    void pump(); // under m_mutex
    void requeueInflight(); // under m_mutex
    void onConnect(int rc);
    void onDisconnect(int rc);
    void onPublish(int mid);

    MqttSettings m_settings;
    int m_station = 0;
    mosquitto *m_mosq = nullptr;
    std::thread m_thread;
    std::chrono::milliseconds m_firstDelay{500}, m_longestDelay{4000};

    mutable std::mutex m_mutex; // everything below
    std::condition_variable m_acked;
    std::condition_variable m_wake; // m_stopping set
    bool m_stopping = false;
    MqttState m_state;
    // The attempt under way: Connected once it got through, else why it failed
    // (a refusal is known before the disconnect that follows it).
    MqttState m_attemptState;
    std::chrono::steady_clock::time_point m_connectedAt;
    int m_shortLived = 0; // connections lost soon after being made, in a row
    std::deque<Message> m_queue;
    // Handed to libmosquitto, not yet acknowledged, in order. It keeps them
    // over a reconnection and sends them again first.
    std::deque<std::pair<int, Message>> m_inflight;
    bool m_connected = false;
    bool m_resending = false; // reconnected: what was in flight goes again before anything new
    int m_offlineMid = -1;      // the clean exit's "false", until acknowledged
    int64_t m_dropped = 0;
    int64_t m_delivered = 0;
};
