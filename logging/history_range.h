// Logged records and journal events of a stretch of time, read back from a
// log database for the history window and the export.
#pragma once

#include "core/history_data.h"

#include <QDateTime>
#include <QString>
#include <optional>

// Fills out with the records from `from` through `to` (local times, both
// ends included) in the order they were logged (the ring's order, which is
// time order unless the clock went back: the hour an autumn change shows
// twice comes out once and then again, each record at its own instant),
// each marked fresh or held by the journal's link events, and with the
// journal's events of the range. A value stored as null (NaN) or as
// anything but a number reads as NaN; a row whose id is not one of the
// ring's (1..65500) is no record.
//
// The ring: the one-second ring when it covers the range, that is when
// `from` is not older than its oldest record, or when the ten-second ring
// holds nothing older than that record either (a young database: both
// rings start together); otherwise the ten-second ring. `ring` forces one.
//
// Opens a read-only connection of its own, so it may run on any thread; it
// never creates or alters a file (a missing one is an error). It reads a copy
// of the file taken in short steps (logging/read_snapshot.h): the logging
// beside it never waits for the read. False when the file cannot be read or
// is not a log database, error telling which (its kind, SQLite's code and
// words): Incomplete when a read failed part way (a damaged page), so the
// range is never handed out with records missing.
bool readHistory(const QString &dbPath, const QDateTime &from, const QDateTime &to, std::optional<LogRing> ring,
                 HistoryRange &out, HistoryError &error);

// The times of the oldest and newest record of the one-second ring, which
// holds every record of a database younger than the ring is long (about 18
// hours); both invalid when the ring holds none. Read-only like readHistory,
// and false with error set in the same cases.
bool readRecordSpan(const QString &dbPath, QDateTime &oldest, QDateTime &newest, HistoryError &error);
