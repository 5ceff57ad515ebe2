// The program's own journal in the log database, beside the three ring
// tables (which it leaves exactly as they are): one row per link event (opened,
// closed, interrupted, restored), per change of an alarm, open-circuit or
// short-circuit flag, and per parameter write attempt.
//
//     CREATE TABLE qr_events (
//         ev_id      INTEGER PRIMARY KEY, -- order of recording
//         ev_time    TEXT NOT NULL,       -- local time, "yyyy-MM-ddTHH:mm:ss"
//         ev_kind    TEXT NOT NULL,       -- link_opened, link_closed, link_interrupted,
//                                         -- link_restored, flag_raised, flag_cleared,
//                                         -- param_written, param_refused, param_failed,
//                                         -- alarm_raised, alarm_cleared (limits of our own),
//                                         -- alarm_acknowledged
//         ev_channel INTEGER,             -- flag and alarm events: channel 1..4 (0 the link)
//         ev_flag    INTEGER,             -- flag events: 0 alarm, 1 open, 2 short circuit;
//                                         -- alarm events: the alarm's kind (core/alarm.h)
//                                         -- alarm events: ev_caption the operator, ev_value
//                                         -- the value, ev_detail the comment
//         ev_reg     INTEGER,             -- parameter events: register 1..48
//         ev_caption TEXT,                -- parameter events: the parameter's caption
//         ev_before  TEXT,                -- value last read before the write ('' none read)
//         ev_value   TEXT,                -- value written, or the entry refused
//         ev_detail  TEXT)                -- refusal or failure, in the operator's words
//     CREATE INDEX qr_events_time ON qr_events (ev_time)
//
// Times are local wall-clock times like the rings' date serials, so the
// text sorts in time order and compares with a ring record's time directly.
// The table keeps the newest kJournalKeep rows.
#pragma once

#include "core/history_data.h"

#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

inline constexpr const char *kJournalTable = "qr_events";
inline constexpr int kJournalKeep = 200000;

// Why events cannot go into the journal (the operator's words: app/log_text.h).
enum class JournalFault {
    None,
    ReaderOnly,   // a reading connection records no events
    NotOpen,      // the database is not open
    NoTable,      // the file has no journal (a reader does not add one)
    NotATable,    // qr_events is something other than a table
    OtherColumns, // a table qr_events with columns other than ours
    CreateFailed, // the journal could not be added
    WriteFailed,  // the event could not be written
};

// The statements that create the table and its index.
QStringList journalCreateStatements();

// Whether the database holds the journal (nullopt: it could not be asked),
// and whether an existing qr_events is ours: shape None, else NotATable or
// OtherColumns with the columns it has.
std::optional<bool> journalPresent(QSqlDatabase &db, JournalFault &shape, QString &columns);

// Stored name of a kind and back (nullopt for a name we do not know).
QString eventKindName(EventKind kind);
std::optional<EventKind> eventKindOf(const QString &name);
// Link events tell whether the logged values are measured: false after
// closed and interrupted, true after opened and restored.
bool isLinkEvent(EventKind kind);
bool linkUpAfter(EventKind kind);
// Alarm events keep channel and kind like flag events, and the operator
// (ev_caption), the value (ev_value) and the comment (ev_detail).
bool isAlarmEvent(EventKind kind);

// Seconds on the local wall clock counted from the date serial epoch: the
// sort key of ring records (date serial + time of day) and journal times
// alike. Returns false for a value that is no time (NaN, out of range).
bool serialSeconds(double date, double time, qint64 &key);
qint64 serialSeconds(const QDate &d, const QTime &t);
// "yyyy-MM-ddTHH:mm:ss" of a key and back.
QString keyText(qint64 key);
bool keyOfText(const QString &text, qint64 &key);

// Keys to ms since the epoch through the local time zone. Keys come in runs
// of one day: the day's start is looked up once, and a day without a change
// of the UTC offset takes the rest by adding seconds.
class KeyMsecs
{
public:
    qint64 operator()(qint64 key);

private:
    qint64 m_day = -1;      // the day (key / 86400) looked up last
    qint64 m_dayStart = 0;  // its local midnight in ms since the epoch
    bool m_even = false;    // no change of offset within that day
};

// One link event as the held marks need it.
struct LinkMark {
    qint64 key = 0; // serialSeconds of the event
    bool up = true; // the link measured from then on
};

// Link events from the last one before fromKey through toKey, in time
// order (events of one second in the order they were recorded); empty when
// the file has no journal. False when the journal could not be read: error's
// part Journal, with SQLite's code and its own words (none when the database
// could not be asked whether it holds a journal).
bool readLinkMarks(QSqlDatabase &db, qint64 fromKey, qint64 toKey, std::vector<LinkMark> &marks, HistoryError &error);

// Whether the records are measured at each key: walk keys in ascending
// order. A record is held when the last link event before its second was a
// close or an interruption; with none before it (no journal) it counts as
// measured.
class HeldWalk
{
public:
    explicit HeldWalk(const std::vector<LinkMark> &marks) : m_marks(marks) {}
    bool fresh(qint64 key);
    void restart() { m_next = 0; m_up = true; }

private:
    const std::vector<LinkMark> &m_marks;
    size_t m_next = 0;
    bool m_up = true;
};

// Every event from fromKey through toKey, in time order. A row of a kind we
// do not know is left out. Fails as readLinkMarks does.
bool readEvents(QSqlDatabase &db, qint64 fromKey, qint64 toKey, std::vector<HistoryEvent> &events, HistoryError &error);
