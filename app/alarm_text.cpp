#include "app/alarm_text.h"


#include <QCoreApplication>
#include <pwd.h>
#include <unistd.h>

namespace {

QString tr(const char *text) { return QCoreApplication::translate("AlarmText", text); }

QString kindText(int kind)
{
    return kind >= 0 && kind < kAlarmKinds ? QCoreApplication::translate("AlarmKind", kAlarmKindNames[kind]) : QString();
}

QString valueText(double v) { return QString::number(v, 'g', 7); }

} // namespace

QString alarmWhatText(const AlarmKey &key)
{
    if (key.channel == 0)
        return kindText(int(key.kind));
    return tr(QT_TRANSLATE_NOOP("AlarmText", "通道%1 %2")).arg(key.channel).arg(kindText(int(key.kind)));
}

QString alarmStateText(bool active, bool acknowledged, bool chattering)
{
    QString s;
    if (active)
        s = acknowledged ? tr(QT_TRANSLATE_NOOP("AlarmText", "报警 已确认")) : tr(QT_TRANSLATE_NOOP("AlarmText", "报警 未确认"));
    else
        s = acknowledged ? tr(QT_TRANSLATE_NOOP("AlarmText", "已消除 已确认")) : tr(QT_TRANSLATE_NOOP("AlarmText", "已消除 未确认"));
    return chattering ? s + QLatin1Char(' ') + tr(QT_TRANSLATE_NOOP("AlarmText", "频繁报警")) : s;
}

QString alarmPriorityText(int priority)
{
    switch (priority) {
    case 1: return tr(QT_TRANSLATE_NOOP("AlarmText", "高"));
    case 2: return tr(QT_TRANSLATE_NOOP("AlarmText", "中"));
    default: break;
    }
    return tr(QT_TRANSLATE_NOOP("AlarmText", "低"));
}

QString alarmEventText(const HistoryEvent &e)
{
    const QString what = alarmWhatText({e.channel, AlarmKind(qBound(0, e.flag, kAlarmKinds - 1))});
    switch (e.kind) {
    case EventKind::AlarmRaised:
        return tr(QT_TRANSLATE_NOOP("AlarmText", "%1 出现（值 %2）")).arg(what, e.value);
    case EventKind::AlarmCleared:
        return tr(QT_TRANSLATE_NOOP("AlarmText", "%1 消除（值 %2）")).arg(what, e.value);
    case EventKind::AlarmAcknowledged:
        if (e.detail.isEmpty())
            return tr(QT_TRANSLATE_NOOP("AlarmText", "确认 %1（操作员 %2）")).arg(what, e.caption);
        return tr(QT_TRANSLATE_NOOP("AlarmText", "确认 %1（操作员 %2：%3）")).arg(what, e.caption, e.detail);
    default:
        break;
    }
    return what;
}

QString alarmNotifySummary(const AlarmChange &c)
{
    return tr(QT_TRANSLATE_NOOP("AlarmText", "站 %1 报警")).arg(c.station);
}

QString alarmNotifyBody(const AlarmChange &c)
{
    QString body = tr(QT_TRANSLATE_NOOP("AlarmText", "站 %1 %2 值 %3")).arg(c.station).arg(alarmWhatText(c.key), valueText(c.value));
    if (c.chattering)
        body += QLatin1Char(' ') + tr(QT_TRANSLATE_NOOP("AlarmText", "频繁报警"));
    return body;
}

QString loginName()
{
    if (const passwd *pw = getpwuid(getuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(getuid());
}
