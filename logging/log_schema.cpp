// DbConn's schema checks: a file of ours holds sl_void, pv_data and
// Lpv_wdjl with the columns the program binds by position; an empty file
// gets them (with the journal), a file of ours without the journal gets it
// from the writer, and any other file is refused and left untouched.
#include "logging/log_db.h"
#include "logging/log_db_internal.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

using namespace logdb;

namespace {

struct TableRule {
    const char *table;
    int columns;
    const char *names[3]; // binding names of positions 0..2 (nullptr: free)
};
constexpr TableRule kRules[] = {
    {"sl_void", 4, {nullptr, nullptr, nullptr}},
    {"pv_data", 11, {"w_id", "w_date", "w_time"}},
    {"Lpv_wdjl", 11, {"lw_id", nullptr, nullptr}},
};

} // namespace

bool DbConn::checkSchema(bool &empty)
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next())
        return fail(q.lastError(), true);
    empty = q.value(0).toLongLong() == 0;
    q.finish();
    if (empty)
        return true;

    // The full check reads the whole file (some 30 ms when the rings are
    // full): once per file, not at every new open after a fault.
    const FileSig sig = sigOf(m_path);
    if (!(m_files.m_verifiedPath == m_path && m_files.m_verifiedSig == sig)) {
        if (!q.exec(QStringLiteral("PRAGMA quick_check(1)")) || !q.next())
            return fail(q.lastError(), true);
        if (q.value(0).toString() != QLatin1String("ok"))
            return foreign(DbCause::Damaged);
        q.finish();
        m_files.m_verifiedPath = m_path;
        m_files.m_verifiedSig = sig;
    }

    return checkTables();
}

bool DbConn::checkTables()
{
    QSqlQuery q(m_db);
    QString *cols[] = {m_slCols, m_pvCols, m_lpvCols};
    for (int t = 0; t < 3; ++t) {
        const TableRule &rule = kRules[t];
        const QString table = QLatin1String(rule.table);
        QSqlQuery type(m_db);
        if (!type.exec(QStringLiteral("SELECT type FROM sqlite_master WHERE name = '%1' COLLATE NOCASE").arg(table)))
            return fail(type.lastError(), true);
        if (!type.next() || type.value(0).toString() != QLatin1String("table"))
            return foreign(DbCause::TableMissing, table);
        type.finish();
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table))))
            return fail(q.lastError(), true);
        QStringList names;
        while (q.next())
            names << q.value(1).toString();
        q.finish();
        if (names.size() != rule.columns) {
            foreign(DbCause::ColumnCount, table);
            m_error.expected = rule.columns;
            m_error.foundColumns = int(names.size());
            return false;
        }
        for (int c = 0; c < 3; ++c) {
            const char *want = rule.names[c];
            if (want && names[c].compare(QLatin1String(want), Qt::CaseInsensitive) != 0) {
                foreign(DbCause::ColumnName, table, c + 1);
                m_error.other = QLatin1String(want);
                m_error.found = names[c];
                return false;
            }
        }
        for (int c = 0; c < rule.columns; ++c)
            cols[t][c] = names[c];
    }
    return true;
}

bool DbConn::createTables()
{
    QSqlQuery q(m_db);
    QString pv = QStringLiteral("CREATE TABLE pv_data (w_id INTEGER PRIMARY KEY, w_date REAL, w_time REAL");
    QString lpv = QStringLiteral("CREATE TABLE Lpv_wdjl (lw_id INTEGER PRIMARY KEY, lw_date REAL, lw_time REAL");
    for (int i = 0; i < 8; ++i) {
        pv += QStringLiteral(", w_v%1 REAL").arg(i);
        lpv += QStringLiteral(", lw_v%1 REAL").arg(i);
    }
    pv += u')';
    lpv += u')';
    const QStringList steps = QStringList{
        QStringLiteral("BEGIN IMMEDIATE"),
        QStringLiteral("CREATE TABLE sl_void (pv_id INTEGER, pv_id_copy INTEGER, lpv_id INTEGER, lpv_id_copy INTEGER)"),
        pv,
        lpv,
        QStringLiteral("INSERT INTO sl_void VALUES (0, 0, 0, 0)"),
    } + journalCreateStatements() + QStringList{QStringLiteral("COMMIT")};
    for (const QString &s : steps) {
        if (!q.exec(s)) {
            const QSqlError err = q.lastError();
            q.exec(QStringLiteral("ROLLBACK"));
            return fail(err, true);
        }
    }
    QString *cols[] = {m_slCols, m_pvCols, m_lpvCols};
    const char *fixed[3][3] = {{"pv_id", "pv_id_copy", "lpv_id"}, {"w_id", "w_date", "w_time"}, {"lw_id", "lw_date", "lw_time"}};
    for (int t = 0; t < 3; ++t)
        for (int c = 0; c < 3; ++c)
            cols[t][c] = QLatin1String(fixed[t][c]);
    m_slCols[3] = QStringLiteral("lpv_id_copy");
    for (int i = 0; i < 8; ++i) {
        m_pvCols[3 + i] = QStringLiteral("w_v%1").arg(i);
        m_lpvCols[3 + i] = QStringLiteral("lw_v%1").arg(i);
    }
    return true;
}

bool DbConn::checkJournal()
{
    m_journalOk = false;
    m_journalError = JournalError();
    const std::optional<bool> present = journalPresent(m_db, m_journalError.kind, m_journalError.columns);
    if (!present)
        return fail(m_db.lastError(), true);
    if (*present) {
        // A table of that name that is not ours stays as it is.
        m_journalOk = m_journalError.kind == JournalFault::None;
        return true;
    }
    if (m_role != Role::Writer) {
        m_journalError.kind = JournalFault::NoTable;
        return true;
    }
    // Ours by its rings, but from before the journal: it gets the table.
    QSqlQuery q(m_db);
    const QStringList steps = QStringList{QStringLiteral("BEGIN IMMEDIATE")} + journalCreateStatements()
                              + QStringList{QStringLiteral("COMMIT")};
    for (const QString &step : steps) {
        if (!q.exec(step)) {
            // Without the table the rings are logged all the same.
            m_journalError.kind = JournalFault::CreateFailed;
            m_journalError.db.sqliteCode = q.lastError().nativeErrorCode().toInt() & 0xff;
            m_journalError.db.sqliteText = q.lastError().databaseText();
            q.exec(QStringLiteral("ROLLBACK"));
            return true;
        }
    }
    m_journalOk = true;
    return true;
}
