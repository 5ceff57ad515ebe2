// DbConn's faults: what an SQLite error or the database's folder means, as
// a kind with the code and what it was about (the operator's words are
// composed from them in app/log_text.cpp).
#include "logging/log_db.h"
#include "logging/log_db_internal.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace logdb;

namespace {

DbError sqliteError(DbFault kind, const QSqlError &err, int code)
{
    DbError e;
    e.kind = kind;
    e.cause = DbCause::Sqlite;
    e.sqliteCode = code;
    e.sqliteText = err.databaseText().isEmpty() ? err.driverText() : err.databaseText();
    return e;
}

} // namespace

bool DbConn::folderFault()
{
    const QString dir = QFileInfo(m_path).absolutePath();
    // The nearest part of the path that exists tells what is wrong.
    QString have = dir;
    struct stat st {};
    bool exists = false;
    while (!(exists = ::stat(QFile::encodeName(have).constData(), &st) == 0)) {
        const QString up = QFileInfo(have).absolutePath();
        if (up == have)
            break;
        have = up;
    }
    DbError e;
    e.path = dir;
    if (exists && have == dir && S_ISDIR(st.st_mode)) {
        // The journal and the lock file live beside the database file.
        if (::access(QFile::encodeName(dir).constData(), W_OK | X_OK) == 0)
            return false;
        e.kind = DbFault::ReadOnly;
        e.cause = DbCause::FolderReadOnly;
        e.sysErrno = errno;
    } else if (exists && !S_ISDIR(st.st_mode)) {
        e.kind = DbFault::Missing;
        e.cause = DbCause::FolderNotFolder;
        e.other = have;
    } else {
        e.kind = DbFault::Missing;
        e.cause = DbCause::FolderMissing;
    }
    setFault(e);
    return true;
}

void DbConn::setFault(const DbError &error)
{
    m_error = error;
    if (error.kind == DbFault::Foreign)
        m_foreignSig = sigOf(m_path);
}

bool DbConn::foreign(DbCause cause, const QString &table, int column)
{
    DbError e;
    e.kind = DbFault::Foreign;
    e.cause = cause;
    e.path = m_path;
    e.table = table;
    e.column = column;
    setFault(e);
    closeConnection();
    return false;
}

bool DbConn::fail(const QSqlError &err, bool close)
{
    const int code = err.nativeErrorCode().toInt() & 0xff;
    const bool gone = !QFileInfo::exists(m_path);
    // Faults that only a new connection can get over: a connection opened
    // read-only stays so, and one on a lost file writes into nothing.
    bool reopen = true;
    if (code == kSqliteCorrupt || code == kSqliteNotADb) {
        DbError e = sqliteError(DbFault::Foreign, err, code);
        e.cause = DbCause::Damaged;
        e.path = m_path;
        setFault(e);
    } else if ((gone || code == kSqliteReadOnly || code == kSqliteCantOpen || code == kSqliteIoErr) && folderFault()) {
        // the folder is missing, not a folder, or allows no journal
        m_error.sqliteCode = code;
    } else if (gone) {
        DbError e = sqliteError(DbFault::Missing, err, code);
        e.cause = DbCause::FileGone;
        setFault(e);
    } else if (code == kSqliteReadOnly) {
        setFault(sqliteError(DbFault::ReadOnly, err, code));
    } else if (code == kSqliteBusy || code == kSqliteLocked) {
        setFault(sqliteError(DbFault::Locked, err, code));
        reopen = false;
    } else if (code == kSqliteFull) {
        setFault(sqliteError(DbFault::Full, err, code));
        reopen = false;
    } else {
        setFault(sqliteError(DbFault::Other, err, code));
        reopen = code == kSqliteIoErr || code == kSqliteCantOpen;
    }
    if (close || reopen) {
        closeConnection();
        m_lastTry = m_files.clock.now(); // the next try in the next clock second
    }
    return false;
}
