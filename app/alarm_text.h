// The operator's words for alarms: what an alarm is, its state, the line of
// its journal event, and the desktop notification of a new one.
#pragma once

#include "core/alarm.h"
#include "core/history_data.h"

#include <QString>

// "通道2 开路", "通讯中断".
QString alarmWhatText(const AlarmKey &key);
// "报警 未确认", "已消除 已确认" ...: active or cleared, then acknowledged or
// not; "频繁报警" after it while chattering.
QString alarmStateText(bool active, bool acknowledged, bool chattering = false);
// "高" / "中" / "低" for priorities 1..3.
QString alarmPriorityText(int priority);
// The history's line of an alarm event: "通道1 高限 出现（值 101）",
// "确认 通道2 开路（操作员 li：已通知维修）".
QString alarmEventText(const HistoryEvent &e);
// The notification's title and text of a change: "站 3 报警",
// "站 3 通道2 开路 值 32767" (with "频繁报警" when chattering).
QString alarmNotifySummary(const AlarmChange &c);
QString alarmNotifyBody(const AlarmChange &c);
// The person logged in, as the system names them (acknowledgements carry it).
QString loginName();
