// The MQTT publishing settings: broker, login, TLS and topic prefix; and the
// operator's words for the publisher's state.
#pragma once

#include "mqtt/mqtt_publisher.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

class MqttDialog : public QDialog {
    Q_OBJECT
public:
    // Shows settings; result() is what the operator left when accepted.
    explicit MqttDialog(const MqttSettings &settings, QWidget *parent = nullptr);
    MqttSettings result() const;
    // Refused, with the reason shown, while the prefix cannot be used.
    void accept() override;

private:
    void chooseCaFile();

    QCheckBox *m_enabled = nullptr;
    QLineEdit *m_host = nullptr, *m_clientId = nullptr, *m_user = nullptr, *m_password = nullptr,
              *m_caFile = nullptr, *m_prefix = nullptr;
    QSpinBox *m_port = nullptr;
    QLabel *m_error = nullptr;
};

// Gives settings to the publisher and saves them in the config file at path
// ([mqtt] group). False when the file cannot be written; *error then says
// why in the operator's words.
bool applyMqttSettings(MqttPublisher &publisher, const MqttSettings &settings, const QString &path, QString *error);

// Why prefix cannot head the topics; empty for MqttPrefixFault::None.
QString mqttPrefixText(MqttPrefixFault fault);
// One line for a state of the publisher running with settings ("MQTT 已连接
// host:port", why it waits or cannot publish); empty for MqttStatus::Off.
QString mqttStateText(const MqttState &state, const MqttSettings &settings);
