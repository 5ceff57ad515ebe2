// A whole parameter set of one instrument, without any window: the 48
// configuration registers with what identifies where and when they were
// read, saved to and read back from a JSON file, compared with another set,
// and the plan of writes that restores a set onto an instrument.
//
//     ParamSet set = paramSetOf(read.values, id);
//     ParamFileError e = saveParamSet(set, path);       // atomic, UTF-8, indented
//     ParamSet back; e = loadParamSet(path, back);       // checked strictly
//     QList<ParamDiff> d = compareSets(back.values, instrument);
//     QList<PlannedWrite> plan = planRestore(back, instrument, {});
#pragma once

#include "config/param_access.h"
#include "core/parammap.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// The model the configuration window names (its title and badge).
inline constexpr char kModelText[] = "QR5300M";

// The instrument's own communication settings: station address (17), baud
// rate (18), parity (19) and reply delay (20). Writing them can take the
// instrument off the line.
bool isCommParam(int reg);

// What identifies a set: the program that read it, the model, the line
// (port number or device as given), the station and when it was read.
struct ParamSetId {
    QString program;
    QString model;
    QString line;
    int station = 0;
    QDateTime taken; // with its offset from UTC
};

// A register of the file beyond the 48 configuration registers (it cannot
// be written: it is no parameter of ours).
struct ExtraEntry {
    int reg = 0;
    int32_t raw = 0;
};

struct ParamSet {
    ParamSetId id;
    int32_t values[kParamCount] = {}; // element k: register k + 1
    QList<ExtraEntry> extra;          // in file order
};

// What is wrong with a parameter-set file.
enum class ParamFileFault : uint8_t {
    None,
    OpenFailed,    // cannot be read (detail: the system's reason)
    WriteFailed,   // cannot be written (detail: the system's reason)
    NotJson,       // not JSON (detail: the parser's reason, offset)
    NotSet,        // JSON, but not an object of this program's sets (format)
    BadField,      // an identification field missing or of the wrong type (field)
    BadEntry,      // an entry is not an object, or a field missing or of the wrong type (entry, field)
    BadRegister,   // a register number that is not a whole number 1..65535 (entry)
    RawRange,      // a raw value that is not a whole number -32768..32767 (entry, reg)
    Duplicate,     // a register listed twice (entry, reg)
    Missing,       // a configuration register not listed (reg: the first one)
};

struct ParamFileError {
    ParamFileFault kind = ParamFileFault::None;
    int entry = -1;  // index in "parameters", -1 when not about one
    int reg = 0;     // register concerned, 0 when none
    QString field;   // the field concerned
    QString detail;  // the system's or parser's words
    bool ok() const { return kind == ParamFileFault::None; }
};

// Text of register reg's value as the configuration window shows it (the
// number for a code without a decoding text).
QString paramValueText(int reg, int32_t raw);

// The set of values (element k: register k + 1) read as id says.
ParamSet paramSetOf(const int32_t values[kParamCount], const ParamSetId &id);

// The file's JSON: identification, then every register with its caption,
// raw value and text in the interface language.
QByteArray paramSetJson(const ParamSet &set);
// The same checked strictly; error tells the first fault found.
ParamFileError paramSetFromJson(const QByteArray &json, ParamSet &set);
// Written whole or not at all.
ParamFileError saveParamSet(const ParamSet &set, const QString &path);
ParamFileError loadParamSet(const QString &path, ParamSet &set);

// One parameter that differs between two sets.
struct ParamDiff {
    int reg = 0;
    int32_t left = 0, right = 0;
};
// The differing parameters, in register order.
QList<ParamDiff> compareSets(const int32_t left[kParamCount], const int32_t right[kParamCount]);

// What a restore does with one register.
enum class RestoreStep : uint8_t {
    Write,    // differs (or all asked for) and passes the entry check
    Comm,     // differs, but is a communication setting not asked for
    Refused,  // differs, but fails the entry check (refusal says why)
};

struct PlannedWrite {
    int reg = 0;
    RestoreStep step = RestoreStep::Write;
    int32_t value = 0;               // the file's raw value
    std::optional<int32_t> current;  // the instrument's (none for an extra register)
    ParamWrite check;                // the entry check's decision (refusal)
};

struct RestoreOptions {
    bool all = false;         // every register, also the equal ones
    bool includeComm = false; // the communication settings too
};

// The registers a restore of set onto an instrument holding current
// touches, in register order, then the file's extra registers (refused).
QList<PlannedWrite> planRestore(const ParamSet &set, const int32_t current[kParamCount], const RestoreOptions &options);
