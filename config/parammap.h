// The instrument's 48 configuration (holding) registers: where each stands in
// the configuration window, what names it, how its value is coded, and the
// choice lists with their decoding texts. Register numbers are one-based, as
// passed to Get_4X_DX / Set_4X_D1.
#pragma once

#include <QString>
#include <cstdint>

// Read-back buffer of the configuration window: element k holds register
// k + 1 as last read (0..47 used). Lives for the whole run, so a reopened
// window starts from what the last one read.
extern int32_t Reg_4X[101];

constexpr int kParamCount = 48;
constexpr int kTabCount = 10;
constexpr int kComboCount = 18;
constexpr int kFilterRegister = 46; // counts tenths of a second

// How a register's value is coded.
enum class Coding : uint8_t {
    Numeric, // the raw signed integer
    Tenths,  // shown /10, written *10
    Coded,   // a code, chosen from a list, shown as its decoding text
};

// Choice lists.
enum Choice_List : int8_t {
    List_None = -1,
    List_Alarm,      // alarm mode
    List_Baud,       // baud rate of the instrument's own port
    List_Parity,     // parity of the instrument's own port
    List_Channel,    // retransmission channel (codes from 1)
    List_Output,     // retransmission output range
    List_Decimal,    // decimal point
    List_Unit,       // temperature unit
    List_Relay,      // relay function
    List_Input,      // input type
    List_Count
};

// One entry of a choice list: its code, the text the operator picks and the
// text the read-back label shows for the code.
struct Choice {
    int16_t code;
    const char *entry;  // UTF-8
    const char *decode; // UTF-8
};

struct Choice_Table {
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
    Choice_List list;   // List_None unless coded
    const char *help;   // Label2 caption, UTF-8
};

extern const char *const kTabCaption[kTabCount];
extern const Param kParam[kParamCount];           // element i is register i + 1
extern const Choice_Table kChoice[List_Count];
// Register written by ComboN at element N (element 0 unused).
extern const int8_t kComboRegister[kComboCount + 1];

// Text a read-back label shows for value v of register reg. Returns false for
// a code without a decoding text: the label then keeps what it shows.
bool Decode_Text(int reg, int32_t v, QString *text);

// True when the text begins with a number as the leading-number rule reads it
// (blanks skipped, sign, digits with one point, or &H / &O digits): "12abc"
// and " - 1 5" do, "", "abc", "-" and "." do not.
bool Has_Lead_Num(const QString &text);

// Register value an entry text stands for. Coded and numeric registers take
// the leading number; register 46 takes the leading number as a 32-bit float
// times 10 (the product taken exactly, so 0.05 gives 0.5000000075 and rounds
// to 1). Rounding is half to even. Returns false when the result does not fit
// the signed 16-bit register; the caller checks Has_Lead_Num first.
bool Entry_Value(int reg, const QString &text, int16_t *value);
