// Logged records and journal events read back by date, as the history window,
// the export and the print-out use them. Plain data: no database, no widgets.
#pragma once

#include <QDateTime>
#include <QString>
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
};

struct HistoryEvent {
    qint64 msecs = 0; // local date and time, ms since the epoch
    EventKind kind = EventKind::LinkClosed;
    int channel = 0;  // flag events: 1..4
    int flag = 0;     // flag events: 0 alarm, 1 open circuit, 2 short circuit
    int reg = 0;      // parameter events: register 1..48
    QString caption;  // parameter events: the parameter's caption
    QString before;   // parameter events: the value last read before the write (empty: none read)
    QString value;    // parameter events: the value written, or the entry refused
    QString detail;   // refusal reason or failure kind, in the operator's words
};

// Why a range could not be read.
enum class HistoryFault {
    None,
    Unreadable, // the range, the file or its tables: nothing was read
    Incomplete, // a read error part way through (a damaged page): the range is not whole
};

struct HistoryRange {
    QDateTime from, to;                // the range asked for (local time)
    LogRing ring = LogRing::OneSecond; // the ring the records come from
    std::vector<HistoryRecord> records; // in the order they were logged (the ring's order)
    std::vector<HistoryEvent> events;   // in time order
    QString source;                     // the database file they were read from
    HistoryFault fault = HistoryFault::None;
};
