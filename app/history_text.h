// The operator's words for the history window, its export and the command
// line export: why a range could not be read, how an export ended, the
// event list's lines and the marker read-out. Everything below the windows
// hands up kinds; the sentences are made here, through the translation.
#pragma once

#include "core/history_data.h"
#include "logging/csv_export.h"

#include <QString>

// Why the read failed, in one line: "数据库文件 /x.db 不存在",
// "读取数据库失败（database disk image is malformed）".
QString historyFaultText(const HistoryError &e);

// The line shown for a failed read: a range read only in part says so
// ("此时段未能完整读取：…"); any other failure is its reason.
QString historyReadText(const HistoryError &e);

// How an export that did not succeed ended, in one line ("导出已取消" for a
// cancel); empty for a success.
QString csvExportText(const CsvResult &r);

// One line of the event list: "通道2 报警 出现", "打开通讯", "参数写入 ...".
QString historyEventText(const HistoryEvent &e);

// The marker read-out: time and the six values at A and at B, then Δt and
// the differences B - A. Lines for markers not set are left out.
QString markerReadout(const HistoryRecord *a, const HistoryRecord *b);
