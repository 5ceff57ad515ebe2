// What the parts of DbConn (log_db.cpp, log_fault.cpp, log_lock.cpp,
// log_watch.cpp, log_schema.cpp) share and no one else needs.
#pragma once

#include <QString>

namespace logdb {

// SQLite primary result codes the faults tell apart.
constexpr int kSqliteBusy = 5, kSqliteLocked = 6, kSqliteReadOnly = 8, kSqliteIoErr = 10,
              kSqliteCorrupt = 11, kSqliteFull = 13, kSqliteCantOpen = 14, kSqliteNotADb = 26;

// A name for SQL: in double quotes, its own quotes doubled.
inline QString quoted(const QString &name)
{
    QString n = name;
    n.replace(u'"', QStringLiteral("\"\""));
    return u'"' + n + u'"';
}

} // namespace logdb
