#include "app/alarm_notifier.h"

#include "app/alarm_text.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kExpireMs = 0; // stays until dismissed: an alarm must not pass unseen

} // namespace

AlarmNotifier::AlarmNotifier(const QDBusConnection &bus, const Clock &clock, QObject *parent)
    : QObject(parent), m_bus(bus), m_clock(clock)
{
    m_repeat.setInterval(5000);
    connect(&m_repeat, &QTimer::timeout, this, &AlarmNotifier::ring);
}

void AlarmNotifier::setSettings(const AlarmSettings &settings)
{
    m_settings = settings;
    if (!m_settings.sound)
        m_repeat.stop();
}

void AlarmNotifier::take(const AlarmChange &change)
{
    if (!change.notify)
        return;
    m_summary = alarmNotifySummary(change);
    m_body = alarmNotifyBody(change);
    if (m_settings.notify)
        send(m_settings.sound && !muted());
    if (!m_settings.sound)
        return;
    if (!muted())
        emit beep();
    m_repeat.start(); // rings again once a mute is over
}

void AlarmNotifier::setUnacknowledged(int count)
{
    m_unacknowledged = count;
    if (count == 0)
        m_repeat.stop();
}

void AlarmNotifier::mute(int secs)
{
    m_mutedUntil = m_clock.now().addSecs(secs);
}

bool AlarmNotifier::muted() const { return m_mutedUntil.isValid() && m_clock.now() < m_mutedUntil; }

void AlarmNotifier::ring()
{
    if (m_unacknowledged == 0 || !m_settings.sound) {
        m_repeat.stop();
        return;
    }
    if (muted())
        return;
    if (m_settings.notify)
        send(true);
    emit beep();
}

void AlarmNotifier::send(bool withSound)
{
    ++m_sent;
    if (!m_bus.isConnected()) {
        answered(QDBusError::Disconnected, 0);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(2)));
    if (withSound)
        hints.insert(QStringLiteral("sound-name"), QStringLiteral("alarm-clock-elapsed"));
    else
        hints.insert(QStringLiteral("suppress-sound"), true);
    call << QStringLiteral("QR5300M OverView") << m_replacesId << QStringLiteral("dialog-warning") << m_summary << m_body
         << QStringList() << hints << kExpireMs;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        const QDBusPendingReply<uint> reply = *w;
        answered(reply.isError() ? reply.error().type() : QDBusError::NoError, reply.isError() ? 0 : reply.value());
        w->deleteLater();
    });
}

void AlarmNotifier::answered(QDBusError::ErrorType error, uint id)
{
    ++m_answered;
    m_error = error;
    const bool ok = error == QDBusError::NoError;
    if (ok)
        m_replacesId = id;
    const NotifyService now = ok ? NotifyService::Available : NotifyService::Unavailable;
    if (now == m_service)
        return;
    m_service = now;
    emit serviceChanged(now);
}
