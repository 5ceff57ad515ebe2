#include "logging/read_snapshot.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

#include <sqlite3.h>

namespace {

// Pages copied per step: 1 MB of 4 kB pages, about a millisecond from the
// page cache (each step also looks for a hot journal beside the file).
constexpr int kStepPages = 256;
// Copies started again (a commit between two steps) before the copy is taken
// in one step, the read lock held throughout (some 15 ms).
constexpr int kRestarts = 4;

// The file could not be opened: what the driver said about e.
void openFailed(HistoryError &error, const QSqlError &e)
{
    error.kind = HistoryFault::Copy;
    error.sqliteCode = e.nativeErrorCode().toInt();
    error.detail = e.databaseText().isEmpty() ? e.driverText() : e.databaseText();
}

// A read of the file or of the copy failed: what SQLite said on h.
void readFailed(HistoryError &error, sqlite3 *h)
{
    error.kind = HistoryFault::Unreadable;
    error.sqliteCode = sqlite3_errcode(h);
    error.detail = QString::fromUtf8(sqlite3_errmsg(h));
}

// The source's page size, read from its header (an in-memory database takes
// a page size only while it is empty); 0 with error set when the file
// cannot be read as a database.
int pageSize(sqlite3 *src, HistoryError &error)
{
    int size = 0;
    for (const char *sql : {"SELECT count(*) FROM sqlite_master", "PRAGMA page_size"}) {
        sqlite3_stmt *st = nullptr;
        const int rc = sqlite3_prepare_v2(src, sql, -1, &st, nullptr) == SQLITE_OK ? sqlite3_step(st) : SQLITE_ERROR;
        if (rc == SQLITE_ROW)
            size = sqlite3_column_int(st, 0);
        else
            readFailed(error, src);
        sqlite3_finalize(st);
        if (rc != SQLITE_ROW)
            return 0;
    }
    return size;
}

bool copyPages(sqlite3 *src, sqlite3 *dst, HistoryError &error)
{
    const int size = pageSize(src, error);
    if (size <= 0)
        return false;
    const QByteArray setSize = QByteArrayLiteral("PRAGMA page_size=") + QByteArray::number(size);
    sqlite3_exec(dst, setSize.constData(), nullptr, nullptr, nullptr);
    // Pages mapped rather than read: a full database is copied in some 15 ms.
    sqlite3_exec(src, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
    sqlite3_backup *b = sqlite3_backup_init(dst, "main", src, "main");
    if (!b) {
        readFailed(error, dst);
        return false;
    }
    int rc = SQLITE_OK, restarts = 0, remaining = -1;
    while (rc == SQLITE_OK) {
        rc = sqlite3_backup_step(b, restarts < kRestarts ? kStepPages : -1);
        // The copy starts again when another connection committed since the
        // last step: more pages remain than before.
        const int left = sqlite3_backup_remaining(b);
        if (remaining >= 0 && left > remaining)
            ++restarts;
        remaining = left;
    }
    // Busy only after the source's busy timeout: a writer that never lets go.
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        readFailed(error, dst);
        return false;
    }
    return true;
}

} // namespace

sqlite3 *sqliteHandleOf(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.constData());
    return nullptr;
}

bool openSnapshot(QSqlDatabase &db, const QString &path, HistoryError &error)
{
    const QString fileName = db.connectionName() + QStringLiteral("-file");
    bool ok = false;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), fileName);
        file.setDatabaseName(path);
        file.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        db.setDatabaseName(QStringLiteral(":memory:"));
        if (!file.open()) {
            openFailed(error, file.lastError());
        } else if (!db.open()) {
            openFailed(error, db.lastError());
        } else {
            sqlite3 *src = sqliteHandleOf(file), *dst = sqliteHandleOf(db);
            ok = src && dst && copyPages(src, dst, error);
            if (!src || !dst)
                error.kind = HistoryFault::Open;
        }
        file.close();
    }
    QSqlDatabase::removeDatabase(fileName);
    return ok;
}
