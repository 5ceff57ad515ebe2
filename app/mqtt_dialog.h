// The MQTT publishing settings: broker, login, TLS and topic prefix.
#pragma once

#include "mqtt/mqtt_publisher.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

class MqttDialog : public QDialog {
    Q_OBJECT
public:
    // Shows settings; result() is what the operator left when accepted.
    explicit MqttDialog(const MqttSettings &settings, QWidget *parent = nullptr);
    MqttSettings result() const;

private:
    void chooseCaFile();

    QCheckBox *m_enabled = nullptr;
    QLineEdit *m_host = nullptr, *m_clientId = nullptr, *m_user = nullptr, *m_password = nullptr,
              *m_caFile = nullptr, *m_prefix = nullptr;
    QSpinBox *m_port = nullptr;
};

// Gives settings to the publisher and saves them in the config file at path
// ([mqtt] group). False when the file cannot be written; *error then says
// why in the operator's words.
bool applyMqttSettings(MqttPublisher &publisher, const MqttSettings &settings, const QString &path, QString *error);
