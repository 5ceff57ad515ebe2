// A private copy of a log database in memory, for the long reads (history by
// date, the export) that run beside the logging.
//
// A plain scan of a full ring holds the file's read lock for as long as it
// steps, and while any reader holds it the logger's commit cannot complete.
// The copy is taken in steps of a few hundred pages, each of which holds the
// read lock for about a millisecond; a commit that lands between two
// steps starts the copy again, so the copy is the file as it was at one
// moment, and the reader scans it at leisure. The file itself keeps its
// rollback journal (logging/log_db.h): nothing lies beside it between two
// records, and a read-only folder or file reads as before.
#pragma once

#include "core/history_data.h"

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

// SQLite's own handle of an open QSQLITE connection, for the scans that
// Qt's per-value reading makes too slow; nullptr for any other driver.
sqlite3 *sqliteHandleOf(const QSqlDatabase &db);

// Opens db (a QSQLITE connection, not yet open) on an in-memory copy of the
// database file at path, read through a read-only connection of its own that
// never creates or alters a file. False when the file cannot be opened
// (error's kind Copy) or read (Unreadable, or Open when no SQLite handle
// came), with SQLite's code and its own words.
bool openSnapshot(QSqlDatabase &db, const QString &path, HistoryError &error);
