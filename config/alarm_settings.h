// The [alarms] group of the settings file: whether alarms raise a desktop
// notification and a sound, and the limits of our own of each station
// (keys s<station>_ch<c>_hh, _h, _l, _ll, _deadband, _delay; a limit left
// out is off).
#pragma once

#include "config/alarm_watch.h"

#include <QString>

struct AlarmSettings {
    bool notify = true;
    bool sound = true;
    friend bool operator==(const AlarmSettings &, const AlarmSettings &) = default;
};

AlarmSettings readAlarmSettings(const QString &path);
StationLimits readStationLimits(const QString &path, int station);
// Other groups and keys untouched; false when the file cannot be written.
bool writeAlarmSettings(const QString &path, const AlarmSettings &settings);
bool writeStationLimits(const QString &path, int station, const StationLimits &limits);
