#include "logging/history.h"

#include "core/numbers.h"
#include "logging/journal.h"

#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <vector>

void Clear_Chart(Chart &c)
{
    for (int s = 0; s <= kPageLoad; ++s) {
        c.Chart_Date[s] = 0;
        c.Chart_Time[s] = 0;
        for (int q = 0; q <= 8; ++q)
            c.Chart_Val[s][q] = 0;
    }
}

bool Load_History(Chart &c, DbConn &Main_Conn)
{
    Clear_Chart(c);
    for (int s = 0; s <= kPageLoad; ++s) {
        c.Chart_Gap[s] = 0;
        c.held[s] = false;
    }

    // 64-bit arithmetic: the ids come from the file and may be anything.
    const qint64 last = c.Win_Last_Id;
    const bool crossing = last < c.Load_Count;
    const qint64 before = crossing ? kRingSize - (qint64(c.Load_Count) - last) : last - c.Load_Count;
    c.Win_Before_Id = clampI32(before);
    const int count = std::clamp(c.Load_Count, 0, kPageLoad);

    // Not crossing: ids Win_Before_Id + 1 .. Win_Last_Id. Crossing: ids up to
    // Win_Last_Id and above Win_Before_Id.
    QSqlQuery *q = crossing ? Main_Conn.Window(true, clampI32(last + 1), clampI32(before))
                            : Main_Conn.Window(false, clampI32(before + 1), clampI32(last));
    if (!q)
        return false;
    int n = 0;
    for (int i = 1; i <= count && q->next(); ++i) {
        c.Chart_Date[i] = q->value(1).toDouble();
        c.Chart_Time[i] = q->value(2).toDouble();
        for (int k = 0; k < 8; ++k)
            c.Chart_Val[i][k] = q->value(3 + k).toFloat();
        n = i;
    }
    Main_Conn.endWindow();

    // A window that holds fewer records than it has slots (a ring not yet
    // filled) ends with its newest record all the same: the records move to
    // the last slots, so the newest sits in slot Load_Count and the live
    // chart shows it where new samples join it. The slots before them stay
    // empty.
    if (n > 0 && n < count) {
        const int shift = count - n;
        for (int i = n; i >= 1; --i) {
            c.Chart_Date[i + shift] = c.Chart_Date[i];
            c.Chart_Time[i + shift] = c.Chart_Time[i];
            for (int k = 0; k < 8; ++k)
                c.Chart_Val[i + shift][k] = c.Chart_Val[i][k];
        }
        for (int i = 1; i <= shift; ++i) {
            c.Chart_Date[i] = 0;
            c.Chart_Time[i] = 0;
            for (int k = 0; k < 8; ++k)
                c.Chart_Val[i][k] = 0;
        }
    }

    // Gap marks between two records: date and time together, so a step
    // across midnight is no gap and a day between two records is one. An
    // empty slot is no record and marks nothing.
    for (int i = 2; i <= count; ++i) {
        if (!slotHasRecord(c, i - 1) || !slotHasRecord(c, i))
            continue;
        const double d = (c.Chart_Date[i] - c.Chart_Date[i - 1]) + (c.Chart_Time[i] - c.Chart_Time[i - 1]);
        if (std::fabs(d) > kGapDays)
            c.Chart_Gap[i] = int16_t(i);
    }
    markHeld(c, Main_Conn, count);
    return true;
}

void markHeld(Chart &c, DbConn &conn, int count)
{
    // Slots in load order are in time order; a key that goes back (the
    // clock was set back) starts the walk again.
    qint64 keys[kChartSlots] = {};
    bool has[kChartSlots] = {};
    qint64 lo = 0, hi = 0;
    bool any = false;
    for (int i = 1; i <= count && i < kChartSlots; ++i) {
        has[i] = slotHasRecord(c, i) && serialSeconds(c.Chart_Date[i], c.Chart_Time[i], keys[i]);
        if (!has[i])
            continue;
        lo = any ? std::min(lo, keys[i]) : keys[i];
        hi = any ? std::max(hi, keys[i]) : keys[i];
        any = true;
    }
    std::vector<LinkMark> marks;
    if (!any || !conn.linkMarks(lo, hi, marks) || marks.empty())
        return; // no journal: every record counts as measured
    HeldWalk walk(marks);
    qint64 last = lo;
    for (int i = 1; i <= count && i < kChartSlots; ++i) {
        if (!has[i])
            continue;
        if (keys[i] < last)
            walk.restart();
        last = keys[i];
        c.held[i] = !walk.fresh(keys[i]);
    }
}

bool readCurId(DbConn &Main_Conn, int32_t &Cur_Id)
{
    int32_t id = 0;
    if (!Main_Conn.readPvId(id))
        return false;
    Cur_Id = id;
    return true;
}
