// Loading a window of one-second records from the pv_data ring into the
// chart buffer of the main window.
#pragma once

#include "core/chart_model.h"
#include "logging/log_db.h"

#include <cstdint>

// Slots 0..kPageLoad: date and time 0, quantities 0..8 zero. Slot 322 and the
// gap marks are left alone.
void Clear_Chart(Chart &c);

// Clears the buffer and the gap marks 0..kPageLoad, sets c.Win_Before_Id and puts
// the c.Load_Count records ending with id c.Win_Last_Id (counted cyclically
// through the ring) into slots 1..Load_Count in order of date and time, with
// a gap mark on every record more than about five minutes away from the
// record before it. A window that holds fewer records fills its last slots
// (the newest record in slot Load_Count); the slots before them stay empty.
// Slots whose record was logged while the link was closed or interrupted (by
// the journal's link events) are marked held.
// False when the database could not be read (the buffer then stays cleared).
bool Load_History(Chart &c, DbConn &Main_Conn);

// Marks slots 1..count held or measured from the journal of conn's file; a
// file without a journal leaves every mark clear.
void markHeld(Chart &c, DbConn &conn, int count);

// Cur_Id = sl_void position 0; on failure Cur_Id is left as it was.
bool readCurId(DbConn &Main_Conn, int32_t &Cur_Id);
