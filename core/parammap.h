// The instrument's 48 configuration (holding) registers: where each stands in
// the configuration window, what names it, how its value is coded, and the
// choice lists with their decoding texts. Register numbers are one-based, as
// passed to Get_4X_DX / Set_4X_D1.
#pragma once

#include <QString>
#include <cstdint>

// The read-back reads the registers in blocks of 16 (1..16, 17..32, 33..48).
constexpr int kBlockCount = 3;
struct BlockState {
    bool read = false;   // read in this run (until then its values are unknown, not zero)
    bool failed = false; // its last read failed (its values may be out of date)
};

// What the configuration window knows of the instrument's registers. The
// program keeps one for its whole run and lends it to each window, so a
// reopened window starts from what the last one read.
struct ReadBack {
    // Read-back buffer: element k holds register k + 1 as last read (0..47 used).
    int32_t Reg_4X[101] = {};
    BlockState Block[kBlockCount] = {};
};

constexpr int kParamCount = 48;
constexpr int kTabCount = 10;
constexpr int kComboCount = 18;

// How a register's value is coded.
enum class Coding : uint8_t {
    Numeric, // the raw signed integer
    Tenths,  // shown /10, written *10
    Coded,   // a code, chosen from a list, shown as its decoding text
};

// Choice lists.
enum ChoiceList : int8_t {
    ListNone = -1,
    ListAlarm,      // alarm mode
    ListBaud,       // baud rate of the instrument's own port
    ListParity,     // parity of the instrument's own port
    ListChannel,    // retransmission channel (codes from 1)
    ListOutput,     // retransmission output range
    ListDecimal,    // decimal point
    ListUnit,       // temperature unit
    ListRelay,      // relay function
    ListInput,      // input type
    ListCount
};

// One entry of a choice list: its code, the text the operator picks and the
// text the read-back label shows for the code.
struct Choice {
    int16_t code;
    const char *entry;  // UTF-8
    const char *decode; // UTF-8
};

struct ChoiceTable {
    const Choice *items;
    int count;
};

// One parameter row of the window.
struct Param {
    int8_t reg;         // 1..48
    int8_t tab;         // 0..9, index into kTabCaption
    const char *caption; // Label1 caption, UTF-8
    int8_t combo;       // 1..18 = ComboN edits it; 0 = text box T_3RW(reg - 1)
    Coding coding;
    ChoiceList list;   // ListNone unless coded
    int16_t min, max;   // values the instrument takes, in register units
                        // (tenths for register 46, codes for a list)
    const char *help;   // Label2 caption, UTF-8
};

extern const char *const kTabCaption[kTabCount];
extern const Param kParam[kParamCount];           // element i is register i + 1
extern const ChoiceTable kChoice[ListCount];
// Register written by ComboN at element N (element 0 unused).
extern const int8_t kComboRegister[kComboCount + 1];

// A caption, help text, tab caption or list text of the tables above in the
// interface language (the tables hold the Chinese source texts).
QString paramText(const char *source);

// Text a read-back label shows for value v of register reg. Returns false for
// a code without a decoding text: the label then keeps what it shows.
bool decodeText(int reg, int32_t v, QString *text);

// Why an entry is not written.
enum class Refusal : uint8_t {
    None,  // written
    Form,  // not a list entry or a plain whole number (tenths: one decimal)
    Range, // a number outside the parameter's range (or beyond any register)
};

// The decision on an entry: the value to write, or why not, with the range
// the parameter takes (register units).
struct EntryCheck {
    Refusal why = Refusal::Form;
    int16_t value = 0;
    int16_t min = 0, max = 0;
};

// What the text typed or chosen for register reg writes. Blanks around the
// text are allowed, nothing else: a choice box takes one of its list entries
// (its code: "8 WRe325(0-2300)" gives 8) or a whole number; a text box a whole
// number ("3.0" is 3; "2.5", "12abc", "0x10", "1e3" are refused); register 46
// a number of seconds with at most one decimal ("2.5" gives 25, "2.50" too;
// "0.05" is refused, the instrument counts tenths). The value must lie in the
// parameter's range; a number too long for any register is out of range.
EntryCheck checkEntry(int reg, const QString &text);

// Operator message for a refused entry: the parameter's caption, what was
// entered, what is expected, and the range.
QString refusalText(int reg, const QString &text, const EntryCheck &check);

// Range of register reg as the operator reads it ("-500～500", "0～10" for
// register 46 in seconds).
QString rangeText(int reg);
