#include "mqtt/alarm_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

namespace {

QString timeText(const QDateTime &t)
{
    return t.toTimeZone(QTimeZone(t.offsetFromUtc())).toString(Qt::ISODate);
}

QString stateText(bool active, bool acknowledged)
{
    return QLatin1String(active ? "active_" : "cleared_") + QLatin1String(acknowledged ? "acknowledged" : "unacknowledged");
}

const char *eventText(AlarmEvent e)
{
    switch (e) {
    case AlarmEvent::Raised: return "raised";
    case AlarmEvent::Cleared: return "cleared";
    case AlarmEvent::Acknowledged: break;
    }
    return "acknowledged";
}

void putKey(QJsonObject &o, const AlarmKey &key, int priority)
{
    o.insert(QLatin1String("channel"), key.channel);
    o.insert(QLatin1String("kind"), QLatin1String(kAlarmKindKeys[int(key.kind)]));
    o.insert(QLatin1String("priority"), priority);
}

} // namespace

QByteArray alarmJson(const AlarmChange &c)
{
    QJsonObject o;
    o.insert(QLatin1String("time"), timeText(c.time));
    putKey(o, c.key, c.priority);
    o.insert(QLatin1String("event"), QLatin1String(eventText(c.event)));
    o.insert(QLatin1String("state"), stateText(c.active, c.acknowledged));
    o.insert(QLatin1String("chattering"), c.chattering);
    o.insert(QLatin1String("value"), c.value);
    if (c.event == AlarmEvent::Acknowledged) {
        o.insert(QLatin1String("operator"), c.operatorName);
        o.insert(QLatin1String("comment"), c.comment);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QByteArray alarmListJson(const QDateTime &time, const std::vector<Alarm> &alarms)
{
    QJsonArray list;
    for (const Alarm &a : alarms) {
        QJsonObject o;
        o.insert(QLatin1String("raised"), timeText(a.raisedAt));
        putKey(o, a.key, a.priority);
        o.insert(QLatin1String("state"), stateText(a.active, a.acknowledged));
        o.insert(QLatin1String("value"), a.value);
        list.append(o);
    }
    QJsonObject o;
    o.insert(QLatin1String("time"), timeText(time));
    o.insert(QLatin1String("alarms"), list);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}
