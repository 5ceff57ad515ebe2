// The plain data the program shares between its parts: the link settings,
// the live tables the acquisition fills, and the times of the newest logged
// records. Everything starts at zero, like the instrument's own tables.
#pragma once

#include <QString>
#include <cstdint>

struct LinkSettings {
    // 0 port number, 1 baud index, 2 parity index, 3 station address,
    // 19 value being written, 20 result of the last open.
    int32_t Link_Par[501] = {};
    // The device chosen by path (a port by name), empty when chosen by
    // number; the link then names it by Link_Par[0] all the same.
    QString portPath;
};

struct LiveTables {
    // Input registers 1..16 as read (elements 0..15).
    int32_t Raw_3X[501] = {};
    // Channel values: element i is input register i + 1 as a float, unscaled.
    // 0..3 channels 1..4, 4 the retransmission output.
    float Val_3X[301] = {};
    // Status flags: element k is 1 when bit k of the status word is set.
    // Bit k belongs to channel k / 3 + 1; k % 3: 0 alarm, 1 open, 2 short circuit.
    int32_t Sta_1X[101] = {};
};

// Newest logged record times of this run, as date serials: the date part
// (whole days) and the time of day (fraction of a day) of the newest pv_data
// (Pv_) and Lpv_wdjl (Lpv_) record.
struct LogTimes {
    double Pv_Date = 0, Pv_Time = 0, Lpv_Date = 0, Lpv_Time = 0;
};
