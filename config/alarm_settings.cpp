#include "config/alarm_settings.h"

#include "core/settings_file.h"

#include <QSettings>

namespace {

const QString kGroup = QStringLiteral("alarms");
constexpr const char *kLevelKeys[4] = {"hh", "h", "l", "ll"};

QString keyOf(int station, int channel, const char *what)
{
    return QStringLiteral("s%1_ch%2_%3").arg(station).arg(channel).arg(QLatin1String(what));
}

std::optional<double> *levelOf(ChannelLimits &l, int i)
{
    std::optional<double> *levels[4] = {&l.highHigh, &l.high, &l.low, &l.lowLow};
    return levels[i];
}

bool finish(QSettings &ini, const QString &path)
{
    ini.endGroup();
    ini.sync();
    return ini.status() == QSettings::NoError && restrictSettingsFile(path);
}

} // namespace

AlarmSettings readAlarmSettings(const QString &path)
{
    AlarmSettings s;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(kGroup);
    s.notify = ini.value(QStringLiteral("notify"), s.notify).toBool();
    s.sound = ini.value(QStringLiteral("sound"), s.sound).toBool();
    return s;
}

StationLimits readStationLimits(const QString &path, int station)
{
    StationLimits limits{};
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(kGroup);
    for (int c = 0; c < 4; ++c) {
        ChannelLimits &l = limits[c];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            const double v = ini.value(keyOf(station, c + 1, kLevelKeys[i])).toDouble(&ok);
            if (ok)
                *levelOf(l, i) = v;
        }
        l.deadBand = qMax(0.0, ini.value(keyOf(station, c + 1, "deadband"), 0.0).toDouble());
        l.onDelaySecs = qBound(0, ini.value(keyOf(station, c + 1, "delay"), 0).toInt(), 86400);
    }
    return limits;
}

bool writeAlarmSettings(const QString &path, const AlarmSettings &s)
{
    if (!prepareSettingsFile(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(kGroup);
    ini.setValue(QStringLiteral("notify"), s.notify);
    ini.setValue(QStringLiteral("sound"), s.sound);
    return finish(ini, path);
}

bool writeStationLimits(const QString &path, int station, const StationLimits &limits)
{
    if (!prepareSettingsFile(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    ini.beginGroup(kGroup);
    for (int c = 0; c < 4; ++c) {
        ChannelLimits l = limits[c];
        for (int i = 0; i < 4; ++i) {
            const QString key = keyOf(station, c + 1, kLevelKeys[i]);
            if (const std::optional<double> *v = levelOf(l, i); *v)
                ini.setValue(key, **v);
            else
                ini.remove(key);
        }
        ini.setValue(keyOf(station, c + 1, "deadband"), l.deadBand);
        ini.setValue(keyOf(station, c + 1, "delay"), l.onDelaySecs);
    }
    return finish(ini, path);
}
