// The logging cycle (no window): its 100 ms timer writes the channel values
// of the live tables into the two log rings, one record per clock second into
// pv_data and one every ten seconds into Lpv_wdjl.
#pragma once

#include "core/live_data.h"
#include "logging/log_db.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>

// Whether records are being written and, when not, why: the fault's kind and
// the database's own reason ("数据库只读", "磁盘已满", ...).
struct LogState {
    bool stopped = false;
    Db_Fault fault = Db_Fault::None;
    QString reason;
    friend bool operator==(const LogState &, const LogState &) = default;
};

class mscom : public QObject
{
    Q_OBJECT
public:
    // Logs the channel values of live; times holds the newest logged record
    // times of this run, files the run's database connections and the clock
    // the logging goes by. All three outlive the object.
    mscom(const Live_Tables &live, Log_Times &times, Db_Files &files, QObject *parent = nullptr);

    // Opens Log_Conn (the database's one writer: while another running copy
    // of the program holds the database, this one retries once a second and
    // writes nothing) and starts Timer1.
    void Form_Load();
    // One logging step: re-read the newest ids, write what is due.
    void Timer1_Timer();

    // Whole seconds between now and the newest pv_data (okitime) or
    // Lpv_wdjl (Rec1_time) record of this run, as an absolute value.
    double okitime() const;
    double Rec1_time() const;

    // False while records cannot be written; logState() then says why.
    bool Logging_Ok() const { return !m_state.stopped; }
    // The state last told by logStateChanged.
    LogState logState() const { return m_state; }
    // The last notice told by noticeRaised; kind None until there is one.
    LogNotice lastNotice() const { return m_notice; }

    QTimer Timer1;
    Db_Conn Log_Conn;
    int32_t Pv_Id = 0;  // newest pv_data id, re-read from sl_void every tick
    int32_t Lpv_Id = 0; // newest Lpv_wdjl id, likewise

signals:
    // A one-second record was due and tried, written or not: the live chart
    // moves on every second, also while logging is stopped.
    void Sample_Logged();
    // Logging stopped, its reason changed, or it runs again.
    void logStateChanged(const LogState &state);
    // The database connection did something on its own the operator should
    // know of (told once per event).
    void noticeRaised(const LogNotice &notice);

private:
    const Clock &m_clock;
    static double Elapsed(const QDateTime &now, double date, double time);
    void Stopped();
    void setState(const LogState &state);

    const Live_Tables &m_live;
    Log_Times &m_times;
    LogState m_state;
    LogNotice m_notice;
};
