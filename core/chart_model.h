// The trend chart's sample buffer and state. One instance belongs to the
// chart controller; it is filled from the database (Load_History) or by live
// appends.
#pragma once

#include <cstdint>

constexpr int kChartSlots = 323;      // slots 0..322
constexpr int kChartQuantities = 25;  // quantities 0..24
constexpr int kRingSize = 65500;      // ids 1..65500 of both log rings
constexpr double kGapDays = 0.00347222; // about 300 s

// The live window: its 241 newest records fill slots 1..241, the newest in
// slot 241, three quarters across the screen at zoom 1; live samples are
// appended after it into the free quarter.
constexpr int kLiveLoad = 241;
// A page of history: 321 records fill slots 1..321, a whole screen at the
// widest zoom. A load clears slots 0..kPageLoad; slot 322 is never written.
constexpr int kPageLoad = 321;
// Each page back or forward moves the window by 60 records.
constexpr int kPageStep = 60;
// Live appends may run 20 slots a zoom level past slot kLiveLoad (the free
// part of the screen) before the live window is loaded again.
constexpr int kReloadStep = 20;

struct Chart {
    // Slot 0 is never loaded (left neighbour of slot 1); slots 1..Chart_End
    // hold samples oldest first; slot 322 is never written.
    float Chart_Val[kChartSlots][kChartQuantities] = {};
    double Chart_Date[kChartSlots] = {}; // whole-day date serials
    double Chart_Time[kChartSlots] = {}; // fraction of a day
    int16_t Chart_Gap[kChartSlots] = {};  // > 0: a gap before this slot
    // The slot's record holds values kept while the link was closed or
    // interrupted, not measured ones: drawn on a grey band.
    bool held[kChartSlots] = {};

    int16_t Chart_Zoom = 1;    // 1..4
    float Chart_Step = 150;    // twips per slot
    int16_t Chart_Base = 0;    // slot drawn at x = 0 (set by Apply_Zoom)
    int16_t Chart_End = kLiveLoad;  // last slot holding a sample
    int32_t Load_Count = kLiveLoad; // kLiveLoad live, kPageLoad while paging
    int32_t Cur_Id = 0;        // newest pv_data id of the last live load
    int32_t Win_Last_Id = 0;   // id loaded into slot Load_Count
    int32_t Win_Before_Id = 0; // id just before the window's oldest record
    int16_t Page_Back = 0;     // pages back into history, 0 = live
    int16_t Page_Limit = 0;    // -1: paging back reached the ring's limit
    int16_t Ruler_On = 0;      // -1 while the ruler is shown
};

// A slot holds a record once a load or an append has given it a date: an
// empty slot (a fresh or short ring, slot 0) keeps date 0 and is neither
// drawn nor captioned.
inline bool slotHasRecord(const Chart &c, int s)
{
    return s >= 0 && s < kChartSlots && c.Chart_Date[s] != 0.0;
}
