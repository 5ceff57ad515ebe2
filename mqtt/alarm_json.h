// Alarms as published: one change on <prefix>/<station>/alarm (QoS 1)
//     {"time":"2026-12-08T03:00:00+08:00","channel":2,"kind":"open",
//      "priority":1,"event":"raised","state":"active_unacknowledged",
//      "chattering":false,"value":32767}
// with "operator" and "comment" for an acknowledgement; and the alarms
// active or unacknowledged, retained on <prefix>/<station>/alarms, as
//     {"time":"...","alarms":[{"raised":"...","channel":2,"kind":"open",
//      "priority":1,"state":"active_unacknowledged","value":32767}, ...]}
// kind: alarm, open, short, link (channel 0), hh, h, l, ll; state: active or
// cleared, then acknowledged or unacknowledged.
#pragma once

#include "core/alarm.h"

#include <QByteArray>
#include <QDateTime>
#include <vector>

QByteArray alarmJson(const AlarmChange &change);
QByteArray alarmListJson(const QDateTime &time, const std::vector<Alarm> &alarms);
