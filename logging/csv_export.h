// CSV export of a history range, for spreadsheets and scripts alike.
//
// The file is UTF-8 with a byte order mark (so that LibreOffice Calc and
// Excel take the Chinese headers as UTF-8; pandas.read_csv drops the mark),
// comma separated, lines ended by CR LF, fields with a comma, quote or line
// break quoted ("" for a quote inside). Numbers use the dot as decimal
// separator whatever the locale, never an exponent, with as many digits as
// it takes to read the stored value back exactly.
//
// A text cell (a refused entry, a comment, a caption) that starts with =, +,
// - or @ and is not a number gets a leading ' so that a spreadsheet shows
// it as the text it is instead of running it as a formula; numbers are
// written as they are.
//
// Records (one row each, in the order they were logged):
//     时间,通道一 CH1,通道二 CH2,通道三 CH3,通道四 CH4,变送值 DA,寄存器6,寄存器7,寄存器8,数据
//     2026-12-08T03:00:00,253,-12,0,1500.5,40,0,0,0,实测
// 时间 is the local date and time (ISO 8601, no zone); then the eight logged
// values in record order (empty for a value the file holds as null or as
// anything but a number, as for NaN); 数据 is 实测 for a measured record and 保持 for
// one logged while the link was closed or interrupted (the last values kept).
//
// Events (withEvents; one row each, in time order):
//     时间,事件,通道,状态,寄存器,参数,原值,写入值,说明
// 事件: 通讯打开, 通讯关闭, 通讯中断, 通讯恢复, 状态出现, 状态消失,
// 参数已写入, 参数被拒绝, 参数写入失败. 通道 (1..4) and 状态 (kChannelFlagNames:
// 报警, 开路, 短路) belong to flag events; 寄存器 (1..48), 参数 (the caption), 原值 (the
// value read before, in register units, empty when none was read), 写入值
// (the value written, or the entry refused) and 说明 (why refused or failed)
// to parameter events;
// 报警出现, 报警消失 (limits of our own) and 报警确认 carry 通道 (0 the link)
// and 状态 (the alarm's kind, kAlarmKindNames), 参数 the operator who
// acknowledged, 写入值 the value and 说明 the comment.
#pragma once

#include "core/history_data.h"

#include <QString>
#include <functional>

// Told how many rows of how many are written; returning false cancels the
// export (no file is left).
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;

enum class CsvFault {
    None,
    OwnDatabase, // outPath is (or leads by links to) the range's database, its journal or its lock file
    NotRegular,  // outPath exists and is not a regular file (a device, a FIFO, a folder)
    Open,        // the file could not be made
    Write,       // a write or the final rename failed
    Canceled,    // progress returned false
};

// What an export came to. Not an error text: the window and the command line
// word it themselves.
struct CsvResult {
    CsvFault kind = CsvFault::None;
    int sysErrno = 0;   // Open, Write: errno of the failed call (0 when unknown)
    QString path;       // the output
    QString source;     // OwnDatabase: the database it was read from
    QString systemText; // Open, Write: the file layer's own explanation
    bool ok() const { return kind == CsvFault::None; }
};

// Writes the records of range (or its events, withEvents) to outPath. The
// file appears under that name only when it has been written whole; a failed
// write (no permission, disk full) leaves whatever was there before. An
// output that is the file the range was read from (range.source: by name,
// through symbolic links or as a hard link), its journal (-journal, -wal,
// -shm) or its lock file (.lock) is refused before anything is written, and
// so is an existing output that is not a regular file: the file is written
// beside it and renamed over it, which would put a regular file in place
// of a device or a FIFO. The result's kind says which, Canceled among them.
CsvResult exportCsv(const HistoryRange &range, const QString &outPath, bool withEvents,
                    const ExportProgress &progress = {});

// A float as the export writes it ("1500.5", "-12", "0.1"): plain decimal,
// the shortest that reads back as the same float; empty for NaN or infinity.
QString csvNumber(float v);
