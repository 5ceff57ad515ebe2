// Problems of the configuration window's writes (a refused entry, a write
// that failed), kept beyond the window's life: the window is unloaded when it
// closes, while a write issued as it closes may still fail afterwards. The
// main window shows what is still open here on its status line.
#pragma once

#include "core/clock.h"
#include "core/history_data.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QVector>

struct ParamWrite;

class WriteJournal : public QObject
{
    Q_OBJECT
public:
    struct Entry {
        int reg = 0;    // 1..48; 0 = no entry
        QString text;   // the operator message ("平移修正：写入失败（…）")
        QDateTime when; // the clock when it was recorded
    };

    // Entries are stamped by clock, which outlives the object.
    explicit WriteJournal(const Clock &clock, QObject *parent = nullptr) : QObject(parent), m_clock(clock) {}

    // A refusal or a failed write of register reg, now.
    void record(int reg, const QString &text);
    // Register reg was written: an earlier problem of it is settled.
    void settle(int reg);
    // The configuration window opened again: its own message line shows
    // what happens from now on.
    void clear();
    // Newest problem not settled since (reg 0 when there is none).
    Entry latest() const;

    // The outcome of a write attempt (written, refused or failed), stamped
    // with the clock when its msecs is 0, passed on as paramEvent. It reaches
    // here also when it comes after the window has closed.
    void report(const HistoryEvent &event);
    // A write's outcome: recorded (refused, failed) or settled (written),
    // then reported.
    void take(const ParamWrite &write);

signals:
    void changed();
    void paramEvent(const HistoryEvent &event);

private:
    const Clock &m_clock;
    QVector<Entry> m_open; // unsettled problems, oldest first, one per register
};
