// The operator's words for the logging: its state and notices, the log
// database's faults and why events are not journalled, composed from the
// kinds the logging reports (logging/mscom.h, logging/log_db.h).
#pragma once

#include "logging/mscom.h"

#include <QString>

// The database's fault in short ("数据库只读", "磁盘已满", "数据库文件夹 … 不存在",
// SQLite's own words in brackets where they add to it); empty for kind None.
QString dbErrorText(const DbError &error);
// "记录已停止：<the database's reason>" while records cannot be written;
// empty while logging runs.
QString logStateText(const LogState &state);
// "HH:mm:ss 数据库文件已被替换或被其他程序改动，已重新打开", ...; empty for
// kind None.
QString logNoticeText(const LogNotice &notice);
// Why an event could not be journalled ("qr_events 不是表", ...); empty for
// kind None.
QString journalErrorText(const JournalError &error);
// "事件未能记入数据库：<why>"; empty while events are recorded.
QString journalStatusText(const JournalError &error);
