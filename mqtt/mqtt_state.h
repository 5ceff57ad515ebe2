// What the publisher is doing and, when it is not publishing, why: kinds
// only; the operator's words are composed by the program around it.
#pragma once

#include <QMetaType>
#include <QString>

enum class MqttStatus {
    Off,       // not configured, no station yet, or stopped
    Waiting,   // not connected; tried again after a short pause
    Connected, // the broker took the connection
    Failed,    // the settings cannot work: nothing is sent until they change
};

enum class MqttFault {
    None,
    Unreachable,    // the broker's host refused or did not answer (code: errno)
    HostUnknown,    // the broker's host name cannot be resolved
    Refused,        // the broker refused the connection (code: its CONNACK code)
    Auth,           // the broker refused the user name or password (code: its CONNACK code)
    Lost,           // the connection was lost
    Dropped,        // lost again and again soon after connecting: probably another
                    // client with the same client id, which the broker lets in instead
    Tls,            // TLS cannot be set up (tls says why): nothing goes out in clear
    BadPrefix,      // the topic prefix is not usable (prefix says why)
    WillRefused,    // the last will was refused (code: libmosquitto's): not connected
    PublishRefused, // a message was refused and dropped (code: libmosquitto's)
    Other,          // any other library error (code: libmosquitto's)
};

enum class MqttTlsFault {
    None,
    Missing,        // the CA file is not there
    Unreadable,     // it cannot be read
    NotCertificate, // it holds no PEM certificate
    Handshake,      // the TLS connection could not be made
};

enum class MqttPrefixFault {
    None,
    Empty,
    Wildcard,  // holds + or #, which only subscriptions may use
    Nul,       // holds a NUL character
    BadText,   // holds something else MQTT refuses in a topic (control characters, ...)
    TooLong,   // the longest topic made from it exceeds 65535 bytes
};

struct MqttState {
    MqttStatus status = MqttStatus::Off;
    MqttFault fault = MqttFault::None;
    MqttTlsFault tls = MqttTlsFault::None;
    MqttPrefixFault prefix = MqttPrefixFault::None;
    int code = 0;
    friend bool operator==(const MqttState &, const MqttState &) = default;
};
Q_DECLARE_METATYPE(MqttState)

// Whether prefix can head every topic published (<prefix>/<station>/state
// and .../online, station up to 247).
MqttPrefixFault checkMqttPrefix(const QString &prefix);
// Whether the file at path holds a CA certificate TLS can be set up with.
MqttTlsFault checkCaFile(const QString &path);
