// Saving, comparing and restoring a whole parameter set from the
// configuration window, without any window: the file, the all-or-nothing
// read of the instrument, the difference and the checked batch write. The
// window's dialogs only choose files and confirm; they drive this object and
// show what it signals.
//
//     ParamSetFlow flow(access);
//     connect(&flow, &ParamSetFlow::writeReady, ...ask, then flow.go(...));
//     connect(&flow, &ParamSetFlow::written, ...show the rows);
//     flow.prepareWrite(path);
#pragma once

#include "config/param_set.h"

#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>

class ParamAccess;

// What a restore did with one register, in the operator's words.
struct RestoreRow {
    enum class Status : uint8_t {
        Confirmed,    // written and read back as written
        Refused,      // not sent: the entry check refused the value
        Failed,       // sent, and failed (or read back as something else)
        CommSkipped,  // a communication setting, not asked for
        NotAttempted, // the run stopped at an earlier failure
    };
    int reg = 0;
    Status status = Status::Confirmed;
    QString text;
};

class ParamSetFlow : public QObject {
    Q_OBJECT
public:
    enum class Task : uint8_t { None, Save, Compare, Write };
    enum class State : uint8_t {
        Idle,       // nothing under way
        Reading,    // the instrument's 48 registers being read
        Confirming, // a write: the difference known, waiting for go() or cancel()
        Writing,    // a write: the values going out, then read back
    };

    // Reads and writes through access (the window's), which outlives this.
    explicit ParamSetFlow(ParamAccess &access, QObject *parent = nullptr);

    // Reads the instrument, then saves its set to path (atomically); saved
    // or failed. False, and nothing started, while a task is under way.
    bool save(const QString &path);
    // Reads the set of path and the instrument; compared or failed.
    bool compare(const QString &path);
    // Reads the set of path and the instrument, then waits in Confirming
    // (writeReady) for go() or cancel(); or failed.
    bool prepareWrite(const QString &path);
    // Writes what differs (Confirming only): the communication settings
    // only with options.includeComm, a file of another model only with
    // otherModelConfirmed (otherwise failed, nothing written). Then written.
    bool go(const RestoreOptions &options, bool otherModelConfirmed);
    // Leaves Confirming without writing.
    void cancel();

    Task task() const { return m_task; }
    State state() const { return m_state; }
    // What the last compare or prepareWrite read: the file's set, the
    // instrument's values (element k: register k + 1).
    const ParamSet &fileSet() const { return m_file; }
    const int32_t *instrument() const { return m_instrument; }
    // File (left) against instrument (right), in register order.
    QList<ParamDiff> differences() const;
    // The file names another model than this window's instrument.
    bool otherModel() const;
    // A communication setting differs between file and instrument.
    bool commDiffers() const;

signals:
    void stateChanged(ParamSetFlow::State state);
    // The set was saved to path.
    void saved(const QString &path);
    // File and instrument compared (empty: equal).
    void compared(const QList<ParamDiff> &differences);
    // A write waits for the operator (state Confirming).
    void writeReady();
    // A write ran: one row per parameter planned, in order.
    void written(const QList<RestoreRow> &rows);
    // A task ended without its result: which file, registers or model, and why.
    void failed(const QString &message);

private:
    bool start(Task task, const QString &path);
    void instrumentRead(const ParamSetRead &read);
    void setState(State state);
    void fail(const QString &message);
    void writeDone(const QList<PlannedWrite> &plan, const QList<QPair<int, int32_t>> &values,
                   const QList<ParamWrite> &outcomes);
    ParamSetId idNow() const;

    ParamAccess &m_access;
    Task m_task = Task::None;
    State m_state = State::Idle;
    QString m_path;
    ParamSet m_file;
    int32_t m_instrument[kParamCount] = {};
};
