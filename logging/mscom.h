// The logging cycle (no window): its 100 ms timer writes the channel values
// of the live tables into the two log rings, one record per clock second into
// pv_data and one every ten seconds into Lpv_wdjl. It also keeps the journal
// (logging/journal.h): link events and parameter writes handed to it, and
// every change of an alarm, open-circuit or short-circuit flag it sees in the
// live tables while the link is up. Events are written after the tick's ring
// records; one that cannot be written waits for the next tick and never
// holds up a record.
#pragma once

#include "core/history_data.h"
#include "core/live_data.h"
#include "logging/log_db.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>

// Whether records are being written and, when not, why: the database's
// fault (its kind, SQLite's code and what it was about).
struct LogState {
    bool stopped = false;
    DbError error;
    friend bool operator==(const LogState &, const LogState &) = default;
};

class mscom : public QObject
{
    Q_OBJECT
public:
    // Logs the channel values of live; times holds the newest logged record
    // times of this run, files the run's database connections and the clock
    // the logging goes by. All three outlive the object.
    mscom(const LiveTables &live, LogTimes &times, DbFiles &files, QObject *parent = nullptr);
    // Records the link closed (when it was up) and writes what is still
    // waiting for the journal.
    ~mscom() override;

    // Opens Log_Conn (the database's one writer: while another running copy
    // of the program holds the database, this one retries once a second and
    // writes nothing), journals the link as closed and starts Timer1.
    void Form_Load();
    // One logging step: re-read the newest ids, write what is due.
    void Timer1_Timer();

    // Whole seconds between now and the newest pv_data (okitime) or
    // Lpv_wdjl (Rec1_time) record of this run, as an absolute value.
    double okitime() const;
    double Rec1_time() const;

    // False while records cannot be written; logState() then says why.
    bool loggingOk() const { return !m_state.stopped; }
    // The state last told by logStateChanged.
    LogState logState() const { return m_state; }
    // The last notice told by noticeRaised; kind None until there is one.
    LogNotice lastNotice() const { return m_notice; }

    // The link as the journal and the held marks see it: up after opened and
    // restored, down after closed and interrupted (and at start).
    bool linkFresh() const { return m_linkUp; }
    // Why events are not being recorded; kind None while they are. Logging
    // goes on either way.
    const JournalError &journalError() const { return m_journalError; }
    // Events waiting to be written (at most kEventBacklog, oldest dropped).
    int eventsWaiting() const { return int(m_events.size()); }
    static constexpr int kEventBacklog = 1000;

    QTimer Timer1;
    DbConn Log_Conn;
    int32_t Pv_Id = 0;  // newest pv_data id, re-read from sl_void every tick
    int32_t Lpv_Id = 0; // newest Lpv_wdjl id, likewise

public slots:
    // The link was opened, closed, interrupted or restored at `when`. Opened
    // is to come before the first poll's results: the flags then showing are
    // the ones later changes are told against.
    void linkChanged(EventKind kind, const QDateTime &when);
    // A parameter write's outcome (stamped with the clock when msecs is 0).
    void paramEvent(const HistoryEvent &event);
    // An alarm's change or acknowledgement, likewise, after the flag changes
    // showing by now: the journal keeps them in the order they happened.
    void alarmEvent(const HistoryEvent &event);

signals:
    // A one-second record was due and tried, written or not: the live chart
    // moves on every second, also while logging is stopped.
    void sampleLogged();
    // Logging stopped, its reason changed, or it runs again.
    void logStateChanged(const LogState &state);
    // The database connection did something on its own the operator should
    // know of (told once per event).
    void noticeRaised(const LogNotice &notice);

private:
    // A record due in the current clock second. While the database is locked
    // by another connection (a reader's scan, a backup) it is tried again at
    // every tick of its second; a later second has a record of its own.
    struct DueRecord {
        bool waiting = false;
        QDateTime second;
        double date = 0, time = 0;
        float values[8] = {};
    };
    void writeDue(DbRing ring, DueRecord &due, const QDateTime &now, bool haveIds, bool &wrote, bool &failed);

    void queueEvent(const HistoryEvent &event);
    void watchFlags(const QDateTime &now);
    void writeEvents();

    const Clock &m_clock;
    static double elapsed(const QDateTime &now, double date, double time);
    void stopped();
    void setState(const LogState &state);

    const LiveTables &m_live;
    LogTimes &m_times;
    LogState m_state;
    LogNotice m_notice;
    std::deque<HistoryEvent> m_events; // waiting for the journal, oldest first
    JournalError m_journalError;
    bool m_linkUp = false;
    int32_t m_flagSeen[12] = {}; // Sta_1X(0..11) as last told
    DueRecord m_duePv, m_dueLpv;
};
