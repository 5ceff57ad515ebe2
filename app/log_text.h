// The operator's words for the logging's state and notices, composed from
// the kinds the logging reports (logging/mscom.h, logging/log_db.h).
#pragma once

#include "logging/mscom.h"

#include <QString>

// "记录已停止：<the database's reason>" while records cannot be written;
// empty while logging runs.
QString logStateText(const LogState &state);
// "HH:mm:ss 数据库文件已被替换或被其他程序改动，已重新打开", ...; empty for
// kind None.
QString logNoticeText(const LogNotice &notice);
