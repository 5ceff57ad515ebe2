#include "app/alarm_desk.h"

#include "app/plant.h"

#include <algorithm>

#include <memory>

AlarmDesk::AlarmDesk(const QDBusConnection &bus, const Clock &clock, const QString &settingsPath, QObject *parent)
    : QObject(parent), notifier(bus, clock), m_settingsPath(settingsPath)
{
    notifier.setSettings(readAlarmSettings(settingsPath));
}

void AlarmDesk::add(AlarmWatch &watch)
{
    m_watches.push_back(&watch);
    auto loaded = std::make_shared<int>(watch.station());
    watch.setLimits(readStationLimits(m_settingsPath, *loaded));
    const auto load = [this, &watch, loaded](int station) {
        if (station != *loaded)
            watch.setLimits(readStationLimits(m_settingsPath, *loaded = station));
    };
    connect(&watch, &AlarmWatch::stationChanged, this, load);
    connect(&watch, &AlarmWatch::changed, &notifier, &AlarmNotifier::take);
    connect(&watch, &AlarmWatch::listChanged, this, &AlarmDesk::recount);
    connect(&watch, &QObject::destroyed, this, [this, w = &watch] {
        std::erase(m_watches, w);
        recount();
        emit watchesChanged();
    });
    emit watchesChanged();
}

void AlarmDesk::follow(const Plant &plant)
{
    const auto take = [this, &plant] {
        for (int i = 0; i < plant.count(); ++i)
            if (AlarmWatch &w = plant.instrument(i).alarms; std::ranges::find(m_watches, &w) == m_watches.end())
                add(w);
        recount();
    };
    take();
    connect(&plant, &Plant::listChanged, this, take);
}

int AlarmDesk::unacknowledged() const
{
    int n = 0;
    for (const AlarmWatch *w : m_watches)
        n += w->unacknowledged();
    return n;
}

bool AlarmDesk::setLimits(AlarmWatch &watch, const StationLimits &limits)
{
    watch.setLimits(limits);
    return writeStationLimits(m_settingsPath, watch.station(), limits);
}

void AlarmDesk::recount()
{
    const int n = unacknowledged();
    notifier.setUnacknowledged(n);
    if (n == m_count)
        return;
    m_count = n;
    emit countChanged(n);
}
