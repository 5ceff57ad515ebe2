// The alarms of the stations a window shows, gathered: the unacknowledged
// count, the notification and sound of new alarms, and the settings behind
// them ([alarms] of the settings file: notify, sound, and each station's
// limits, loaded whenever a watch's station is known or changes). No widgets.
#pragma once

#include "app/alarm_notifier.h"
#include "config/alarm_watch.h"

#include <QDBusConnection>
#include <QObject>
#include <vector>

class Plant;

class AlarmDesk : public QObject {
    Q_OBJECT
public:
    // Notifies over bus by clock (outliving the object), with the settings
    // of the file at settingsPath.
    AlarmDesk(const QDBusConnection &bus, const Clock &clock, const QString &settingsPath, QObject *parent = nullptr);

    // A station's alarms (told until the watch goes).
    void add(AlarmWatch &watch);
    // Every instrument's alarms of plant, also of those added later.
    void follow(const Plant &plant);
    const std::vector<AlarmWatch *> &watches() const { return m_watches; }
    int unacknowledged() const;

    // New limits for a watch's station, in force at once and remembered;
    // false when they could not be written to the file.
    bool setLimits(AlarmWatch &watch, const StationLimits &limits);

    AlarmNotifier notifier;

signals:
    void countChanged(int unacknowledged);
    // A watch came or went (an instrument added or removed).
    void watchesChanged();

private:
    void recount();

    QString m_settingsPath;
    std::vector<AlarmWatch *> m_watches;
    int m_count = 0;
};
