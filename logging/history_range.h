// Logged records and journal events of a stretch of time, read back from a
// log database for the history window and the export.
#pragma once

#include "core/history_data.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Fills out with the records from `from` through `to` (local times, both
// ends included) in time order, each marked fresh or held by the journal's
// link events, and with the journal's events of the range.
//
// The ring: the one-second ring when it covers the range, that is when
// `from` is not older than its oldest record, or when the ten-second ring
// holds nothing older than that record either (a young database: both
// rings start together); otherwise the ten-second ring. `ring` forces one.
//
// Opens a read-only connection of its own, so it may run on any thread; it
// never creates or alters a file (a missing one is an error). It reads a copy
// of the file taken in short steps (logging/read_snapshot.h): the logging
// beside it never waits for the read. False with a one-line error (Chinese,
// the database's own words in brackets) when the file cannot be read or is
// not a log database.
bool readHistory(const QString &dbPath, const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                 HistoryRange &out, QString &error);
