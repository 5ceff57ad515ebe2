// Tells the operator of new alarms through the desktop's notification
// service (org.freedesktop.Notifications on the bus it is given), and rings
// until every alarm is acknowledged or the sound is muted for a while: the
// notification is sent again every repeat interval, replacing itself, with a
// "sound-name" hint, and beep() is told for a window that can sound it.
// Calls are asynchronous: a missing or slow service never holds anything up;
// it is told once as unavailable (and again only after it has answered).
// No widgets.
#pragma once

#include "config/alarm_settings.h"
#include "core/alarm.h"
#include "core/clock.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QObject>
#include <QTimer>

enum class NotifyService { Unknown, Available, Unavailable };

class AlarmNotifier : public QObject {
    Q_OBJECT
public:
    // Notifies over bus; mutes by clock, which outlives the object.
    AlarmNotifier(const QDBusConnection &bus, const Clock &clock, QObject *parent = nullptr);

    void setSettings(const AlarmSettings &settings);
    AlarmSettings settings() const { return m_settings; }
    // The pause between two rings of the sound (5 s unless told).
    void setRepeatMs(int ms) { m_repeat.setInterval(ms); }

    // A change of an alarm: a new one is notified (and starts the sound).
    void take(const AlarmChange &change);
    // How many alarms wait for acknowledgement: the sound stops at none.
    void setUnacknowledged(int count);
    // No sound for secs seconds from now (notifications still come); it
    // rings again after that while alarms still wait.
    void mute(int secs);
    bool muted() const;
    bool ringing() const { return m_repeat.isActive() && !muted(); }

    NotifyService service() const { return m_service; }
    // Why the service is unavailable: QDBusError::ErrorType of the last
    // failed call (Disconnected without a bus), NoError otherwise.
    QDBusError::ErrorType error() const { return m_error; }
    int sent() const { return m_sent; }         // Notify calls made
    int answered() const { return m_answered; } // ... answered or failed

signals:
    void serviceChanged(NotifyService service);
    // The sound is due now (a window sounds the bell).
    void beep();

private:
    void send(bool withSound);
    void ring();
    void answered(QDBusError::ErrorType error, uint id);

    QDBusConnection m_bus;
    const Clock &m_clock;
    AlarmSettings m_settings;
    QTimer m_repeat;
    QDateTime m_mutedUntil;
    QString m_summary, m_body; // of the newest alarm
    uint m_replacesId = 0;
    int m_unacknowledged = 0;
    int m_sent = 0, m_answered = 0;
    NotifyService m_service = NotifyService::Unknown;
    QDBusError::ErrorType m_error = QDBusError::NoError;
};
