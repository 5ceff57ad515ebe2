// Logged records and journal events read back by date, as the history window,
// the export and the print-out use them. Plain data: no database, no widgets.
#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <array>
#include <vector>

// The two log rings: pv_data holds one record a second (about 18.2 hours),
// Lpv_wdjl one every ten seconds (about 7.6 days).
enum class LogRing { OneSecond, TenSecond };

struct HistoryRecord {
    qint64 msecs = 0;              // local date and time of the record, ms since the epoch
    std::array<float, 8> values{}; // Val_3X(0..7) as logged: CH1..CH4, DA, then 5..7
    // False when the link was closed or interrupted at the record's time: the
    // logging kept writing the last values it had, which were not measured then.
    bool fresh = true;
};

// What the program's own journal table records besides the rings.
enum class EventKind {
    LinkOpened,      // 打开 succeeded
    LinkClosed,      // 关闭, the program ended, or it started with the link closed
    LinkInterrupted, // polls stopped being answered, or the device went away
    LinkRestored,    // polls answered again after an interruption
    FlagRaised,      // an alarm, open-circuit or short-circuit flag came up
    FlagCleared,     // ... went away
    ParamWritten,    // a configuration write the instrument confirmed
    ParamRefused,    // an entry refused before anything was sent
    ParamFailed,     // a write that failed after its retry
    AlarmRaised,       // a limit of our own crossed (flag: AlarmKind code, value: the value)
    AlarmCleared,      // ... back inside it
    AlarmAcknowledged, // an alarm acknowledged (flag: AlarmKind code, caption: operator, detail: comment)
};

// The three status flags each channel reports, in the order of its bits.
constexpr int kChannelFlags = 3;
// Their names: stored as they are in the export of events, shown through
// QCoreApplication::translate("ChannelFlag", ...).
inline constexpr const char *kChannelFlagNames[kChannelFlags] = {
    QT_TRANSLATE_NOOP("ChannelFlag", "报警"), QT_TRANSLATE_NOOP("ChannelFlag", "开路"),
    QT_TRANSLATE_NOOP("ChannelFlag", "短路")};

struct HistoryEvent {
    qint64 msecs = 0; // local date and time, ms since the epoch
    EventKind kind = EventKind::LinkClosed;
    int channel = 0;  // flag and alarm events: 1..4 (alarm events: 0 the link)
    int flag = 0;     // flag events: 0 alarm, 1 open circuit, 2 short circuit; alarm events: the AlarmKind
    int reg = 0;      // parameter events: register 1..48
    QString caption;  // parameter events: the parameter's caption
    QString before;   // parameter events: the value last read before the write (empty: none read)
    QString value;    // parameter events: the value written, or the entry refused
    QString detail;   // refusal reason or failure kind, in the operator's words
};

// Why a range could not be read. All but Incomplete leave nothing read.
enum class HistoryFault {
    None,
    BadRange,     // a time invalid, or the end before the start
    Missing,      // no file at the path
    NotFile,      // the path is a folder, a device, ...
    Copy,         // the file could not be opened to be copied for reading
    Open,         // the copy gave no SQLite handle to read through
    MissingTable, // a ring's table is not there: not a log database
    WrongColumns, // a ring's table has not the ring's eleven columns
    Unreadable,   // a read of the file or its tables failed before any record was taken
    Incomplete,   // a read error part way through (a damaged page): the range is not whole
};

// What a failed read was reading: the rings, or the journal of events beside
// them (a failure there leaves the range Incomplete).
enum class HistoryPart { Rings, Journal };

// A failed read: its kind, SQLite's result code where SQLite answered, and
// what the message needs (the database's own words stay as it gave them).
struct HistoryError {
    HistoryFault kind = HistoryFault::None;
    HistoryPart part = HistoryPart::Rings;
    int sqliteCode = 0;  // SQLITE_CORRUPT, SQLITE_NOTADB, ...; 0 when not from SQLite
    QString path;        // the database file
    QString table;       // MissingTable, WrongColumns: the table
    int columns = 0;     // WrongColumns: the columns it has
    QString detail;      // the database's own words; may be empty
};

struct HistoryRange {
    QDateTime from, to;                // the range asked for (local time)
    LogRing ring = LogRing::OneSecond; // the ring the records come from
    std::vector<HistoryRecord> records; // in the order they were logged (the ring's order)
    std::vector<HistoryEvent> events;   // in time order
    QString source;                     // the database file they were read from
};
