// The operator's words for the outcome of a parameter write (config/
// param_access.h), for the configuration window's message line and the
// write journal alike.
#pragma once

#include "core/history_data.h"

#include <QString>

struct ParamWrite;

// "平移修正：已写入", the refusal with the parameter's range, or
// "平移修正：写入失败（…）".
QString paramWriteText(const ParamWrite &write);
// The journal event of a write: ParamWritten, ParamRefused (detail: why) or
// ParamFailed (detail: the failure kind in words, the same whatever the
// language), with the register, its caption, the value last read before
// (register units; empty when its block had not been read) and the value
// written or the entry refused. msecs is 0: the receiver stamps it.
HistoryEvent paramWriteEvent(const ParamWrite &write);
