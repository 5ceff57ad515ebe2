#include "core/parammap.h"

#include <QCoreApplication>

#include <iterator>


namespace {

// Choice lists in the order they are loaded into their boxes. The entry is
// what the operator picks (its code is the number in front of the colon); the
// decoding text is what the read-back label shows. Blanks are part of the
// texts, and the two texts differ on purpose in places (input type 15).
constexpr Choice kAlarm[] = {
    {0, QT_TRANSLATE_NOOP("ParamMap", "0:无 "), QT_TRANSLATE_NOOP("ParamMap", "无")},
    {1, QT_TRANSLATE_NOOP("ParamMap", "1:上限报警 "), QT_TRANSLATE_NOOP("ParamMap", "上限报警")},
    {2, QT_TRANSLATE_NOOP("ParamMap", "2:下限报警 "), QT_TRANSLATE_NOOP("ParamMap", "下限报警")},
    {3, QT_TRANSLATE_NOOP("ParamMap", "3:上偏差报警 "), QT_TRANSLATE_NOOP("ParamMap", "上偏差报警")},
    {4, QT_TRANSLATE_NOOP("ParamMap", "4:下偏差报警 "), QT_TRANSLATE_NOOP("ParamMap", "下偏差报警")},
    {5, QT_TRANSLATE_NOOP("ParamMap", "5:偏差带报警 "), QT_TRANSLATE_NOOP("ParamMap", "偏差带报警")},
};

constexpr Choice kChannel[] = {
    {1, QT_TRANSLATE_NOOP("ParamMap", "1:CH1 变送 "), QT_TRANSLATE_NOOP("ParamMap", "通道一变送")},
    {2, QT_TRANSLATE_NOOP("ParamMap", "2:CH2 变送 "), QT_TRANSLATE_NOOP("ParamMap", "通道二变送")},
    {3, QT_TRANSLATE_NOOP("ParamMap", "3:CH3 变送 "), QT_TRANSLATE_NOOP("ParamMap", "通道三变送")},
    {4, QT_TRANSLATE_NOOP("ParamMap", "4:CH4 变送 "), QT_TRANSLATE_NOOP("ParamMap", "通道4变送")},
};

constexpr Choice kInput[] = {
    {0, "0:K(-200-1300)", "K(-200~1300)"},
    {1, "1:S(0-1700) ", "S(0~1700)"},
    {2, "2:R(0-1700) ", "R(0~1700)"},
    {3, "3:T(-200-400) ", "T(-200~400)"},
    {4, "4:E(0-1000) ", "E(0~1000)"},
    {5, "5:J(0-1200) ", "J(0~1200)"},
    {6, "6:B(400-1800) ", "B(400~1800)"},
    {7, "7:N(0-1300) ", "N(0~1300)"},
    {8, "8 WRe325(0-2300)", "WRe325(0~2300)"},
    {9, "9:WRe526(0-2300) ", "WRe526(0~2300)"},
    {10, "10:Cu50(-50-150)", "Cu50(-50-150)"},
    {11, "11:PT100(-200-850) ", "PT100(-200-850)"},
    {12, "12:PT1000(-200-850) ", "PT1000(-200-850)   "},
    {13, QT_TRANSLATE_NOOP("ParamMap", "13:0Ω80(0～80Ω) "), QT_TRANSLATE_NOOP("ParamMap", " 0Ω80(0～80Ω) ")},
    {14, QT_TRANSLATE_NOOP("ParamMap", "14:0Ω400(0～400Ω) "), QT_TRANSLATE_NOOP("ParamMap", " 0Ω400(0～400Ω)")},
    {15, QT_TRANSLATE_NOOP("ParamMap", "15:0Ω4000(0～4000Ω) "), QT_TRANSLATE_NOOP("ParamMap", " 0Ω5000(0～5000Ω)")},
    {16, QT_TRANSLATE_NOOP("ParamMap", "16:0MA10(0～10MA) "), QT_TRANSLATE_NOOP("ParamMap", " 0MA10(0～10MA)")},
    {17, QT_TRANSLATE_NOOP("ParamMap", "17:0MA20(0～20MA) "), QT_TRANSLATE_NOOP("ParamMap", " 0MA20(0～20MA)")},
    {18, "18:4MA20(4-20MA) ", " 4MA20(4-20MA)"},
    {19, "19:0MV20(0-20MV) ", " 0MV20(0-20MV)"},
    {20, "20:0MV100(0-100MV)", " 0MV100(0-100MV)"},
    {21, QT_TRANSLATE_NOOP("ParamMap", "21:正负20MV(-20-+20MV) "), QT_TRANSLATE_NOOP("ParamMap", " 正负20MV(-20-+20MV)")},
    {22, QT_TRANSLATE_NOOP("ParamMap", "22:正负100MV(-100-+100MV)"), QT_TRANSLATE_NOOP("ParamMap", " 正负100MV(-100-+100MV)")},
    {23, "23:0V1(0-1V) ", "  0V1(0-1V)"},
    {24, "24:0V2(0-2V) ", " 0V2(0-2V)"},
    {25, "25:0V5(0-5V) ", " 0V5(0-5V)"},
    {26, "26:1V5(1-5V) ", " 1V5(1-5V)"},
    {27, "27:0V10(0-+10V) ", " 0V10(0-+10V)"},
    {28, "28:2V10(2-+10V) ", " 2V10(2-+10V)"},
    {29, QT_TRANSLATE_NOOP("ParamMap", "29:正负5V(-5-+5V) "), QT_TRANSLATE_NOOP("ParamMap", " 正负5V(-5-+5V)")},
    {30, QT_TRANSLATE_NOOP("ParamMap", "30:正负10V(-10-+10V) "), QT_TRANSLATE_NOOP("ParamMap", " 正负10V(-10-+10V)")},
};

constexpr Choice kBaud[] = {
    {0, "0:4800BPS ", "4800BPS"},
    {1, "1:9600BPS ", "9600BPS"},
    {2, "2:19200BPS ", "19200BPS"},
};

constexpr Choice kParity[] = {
    {0, QT_TRANSLATE_NOOP("ParamMap", "0:无校验 "), QT_TRANSLATE_NOOP("ParamMap", "无校验")},
    {1, QT_TRANSLATE_NOOP("ParamMap", "1:奇校验 "), QT_TRANSLATE_NOOP("ParamMap", "奇校验")},
    {2, QT_TRANSLATE_NOOP("ParamMap", "2:偶校验 "), QT_TRANSLATE_NOOP("ParamMap", "偶校验")},
};

constexpr Choice kOutput[] = {
    {0, "0:4MA20 ", "4MA20"},
    {1, "1:0MA10 ", "0MA10"},
    {2, "2:0MA20 ", "0MA20"},
};

constexpr Choice kDecimal[] = {
    {0, "0:XXXXX ", "XXXXX"},
    {1, "1:XXXX.X ", "XXXX.X"},
    {2, "2:XXX.XX ", "XXX.XX"},
    {3, "3:XX.XXX ", "XX.XXX"},
    {4, "4:X.XXXX ", "X.XXXX"},
};

constexpr Choice kUnit[] = {
    {0, QT_TRANSLATE_NOOP("ParamMap", "0:摄氏度 "), QT_TRANSLATE_NOOP("ParamMap", "摄氏度")},
    {1, QT_TRANSLATE_NOOP("ParamMap", "1:华氏度 "), QT_TRANSLATE_NOOP("ParamMap", "华氏度")},
    {2, QT_TRANSLATE_NOOP("ParamMap", "2:绝对温度 "), QT_TRANSLATE_NOOP("ParamMap", "绝对温度")},
};

constexpr Choice kRelay[] = {
    {0, QT_TRANSLATE_NOOP("ParamMap", "0:报警模式 "), QT_TRANSLATE_NOOP("ParamMap", "报警模式")},
    {1, QT_TRANSLATE_NOOP("ParamMap", "1:位式控制 "), QT_TRANSLATE_NOOP("ParamMap", "位式控制")},
};

} // namespace

const char *const kTabCaption[kTabCount] = {
    "1.Instrument ",
    QT_TRANSLATE_NOOP("ParamMap", "2.输出-位式&报警"),
    QT_TRANSLATE_NOOP("ParamMap", "3.变送设置"),
    QT_TRANSLATE_NOOP("ParamMap", "4.通道一设置"),
    QT_TRANSLATE_NOOP("ParamMap", "5.通道二设置"),
    QT_TRANSLATE_NOOP("ParamMap", "6.通道三设置"),
    QT_TRANSLATE_NOOP("ParamMap", "7.通道四设置"),
    QT_TRANSLATE_NOOP("ParamMap", "8.通讯设定"),
    QT_TRANSLATE_NOOP("ParamMap", "9.继电器功能"),
    QT_TRANSLATE_NOOP("ParamMap", "10.报警设置"),
};

const Param kParam[kParamCount] = {
    {1, 9, QT_TRANSLATE_NOOP("ParamMap", "CH1设定值SV"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {2, 9, QT_TRANSLATE_NOOP("ParamMap", "CH1报警值"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {3, 9, QT_TRANSLATE_NOOP("ParamMap", "CH2设定值SV"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {4, 9, QT_TRANSLATE_NOOP("ParamMap", "CH2报警值"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {5, 9, QT_TRANSLATE_NOOP("ParamMap", "CH3设定值SV"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {6, 9, QT_TRANSLATE_NOOP("ParamMap", "CH3报警值"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {7, 9, QT_TRANSLATE_NOOP("ParamMap", "CH4设定值SV"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {8, 9, QT_TRANSLATE_NOOP("ParamMap", "CH4报警值"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {9, 8, QT_TRANSLATE_NOOP("ParamMap", "CH1报警方式"), 1, Coding::Coded, ListAlarm, 0, 5, QT_TRANSLATE_NOOP("ParamMap", "0～5：0-无，1-上限，2-下限，3-上偏差，4-下偏差，5-偏差带\r\n")},
    {10, 8, QT_TRANSLATE_NOOP("ParamMap", "CH1 报警延迟"), 0, Coding::Numeric, ListNone, 0, 60, "0 ~ 60 S"},
    {11, 8, QT_TRANSLATE_NOOP("ParamMap", "CH2报警方式"), 2, Coding::Coded, ListAlarm, 0, 5, QT_TRANSLATE_NOOP("ParamMap", "0～5：0-无，1-上限，2-下限，3-上偏差，4-下偏差，5-偏差带\r\n")},
    {12, 8, QT_TRANSLATE_NOOP("ParamMap", "CH2 报警延迟"), 0, Coding::Numeric, ListNone, 0, 60, "0 ~ 60 S"},
    {13, 8, QT_TRANSLATE_NOOP("ParamMap", "CH3报警方式"), 3, Coding::Coded, ListAlarm, 0, 5, QT_TRANSLATE_NOOP("ParamMap", "0～5：0-无，1-上限，2-下限，3-上偏差，4-下偏差，5-偏差带\r\n")},
    {14, 8, QT_TRANSLATE_NOOP("ParamMap", "CH3 报警延迟"), 0, Coding::Numeric, ListNone, 0, 60, "0 ~ 60 S"},
    {15, 8, QT_TRANSLATE_NOOP("ParamMap", "CH4报警方式"), 4, Coding::Coded, ListAlarm, 0, 5, QT_TRANSLATE_NOOP("ParamMap", "0～5：0-无，1-上限，2-下限，3-上偏差，4-下偏差，5-偏差带\r\n")},
    {16, 8, QT_TRANSLATE_NOOP("ParamMap", "CH4 报警延迟"), 0, Coding::Numeric, ListNone, 0, 60, "0 ~ 60 S"},
    {17, 7, QT_TRANSLATE_NOOP("ParamMap", "通讯地址"), 0, Coding::Numeric, ListNone, 1, 247, "1 ~ 247"},
    {18, 7, QT_TRANSLATE_NOOP("ParamMap", "波特率"), 5, Coding::Coded, ListBaud, 0, 2, QT_TRANSLATE_NOOP("ParamMap", "0～2：--0: 4800bps。1: 9600bps。2: 19200bps\r\n")},
    {19, 7, QT_TRANSLATE_NOOP("ParamMap", "校验方式"), 6, Coding::Coded, ListParity, 0, 2, QT_TRANSLATE_NOOP("ParamMap", "0～2：--0：无校验，1:奇校验，2:偶校验\r\n")},
    {20, 7, QT_TRANSLATE_NOOP("ParamMap", "通讯延迟"), 0, Coding::Numeric, ListNone, 0, 60, "0 ~ 60 MS"},
    {21, 2, QT_TRANSLATE_NOOP("ParamMap", "变送通道选择"), 7, Coding::Coded, ListChannel, 1, 4, QT_TRANSLATE_NOOP("ParamMap", "1～4，4选1通道测量值变送\r\n")},
    {22, 2, QT_TRANSLATE_NOOP("ParamMap", "变送输出量程"), 8, Coding::Coded, ListOutput, 0, 2, QT_TRANSLATE_NOOP("ParamMap", "0～2：0(4-20mA)，1(0-10mA)，2(0-20mA)\r\n")},
    {23, 2, QT_TRANSLATE_NOOP("ParamMap", "变送上限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {24, 2, QT_TRANSLATE_NOOP("ParamMap", "变送下限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {25, 3, QT_TRANSLATE_NOOP("ParamMap", "CH1 输入类型"), 9, Coding::Coded, ListInput, 0, 30, QT_TRANSLATE_NOOP("ParamMap", "0～30")},
    {26, 3, QT_TRANSLATE_NOOP("ParamMap", "CH1 小数点"), 10, Coding::Coded, ListDecimal, 0, 4, QT_TRANSLATE_NOOP("ParamMap", "0～4：0<10000>，1<1000.0>，2<100.00>，3<10.000>，4<1.0000>\r\n")},
    {27, 3, QT_TRANSLATE_NOOP("ParamMap", "输入上限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {28, 3, QT_TRANSLATE_NOOP("ParamMap", "输入下限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {29, 3, QT_TRANSLATE_NOOP("ParamMap", "平移修正"), 0, Coding::Numeric, ListNone, -500, 500, "-500 ~ 500"},
    {30, 4, QT_TRANSLATE_NOOP("ParamMap", "CH2 输入类型"), 12, Coding::Coded, ListInput, 0, 30, QT_TRANSLATE_NOOP("ParamMap", "0～30")},
    {31, 4, QT_TRANSLATE_NOOP("ParamMap", "CH2 小数点"), 11, Coding::Coded, ListDecimal, 0, 4, QT_TRANSLATE_NOOP("ParamMap", "0～4：0<10000>，1<1000.0>，2<100.00>，3<10.000>，4<1.0000>\r\n")},
    {32, 4, QT_TRANSLATE_NOOP("ParamMap", "输入上限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {33, 4, QT_TRANSLATE_NOOP("ParamMap", "输入下限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {34, 4, QT_TRANSLATE_NOOP("ParamMap", "平移修正"), 0, Coding::Numeric, ListNone, -500, 500, "-500 ~ 500"},
    {35, 5, QT_TRANSLATE_NOOP("ParamMap", "CH3 输入类型"), 14, Coding::Coded, ListInput, 0, 30, QT_TRANSLATE_NOOP("ParamMap", "0～30")},
    {36, 5, QT_TRANSLATE_NOOP("ParamMap", "CH3 小数点"), 13, Coding::Coded, ListDecimal, 0, 4, QT_TRANSLATE_NOOP("ParamMap", "0～4：0<10000>，1<1000.0>，2<100.00>，3<10.000>，4<1.0000>\r\n")},
    {37, 5, QT_TRANSLATE_NOOP("ParamMap", "输入上限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {38, 5, QT_TRANSLATE_NOOP("ParamMap", "输入下限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {39, 5, QT_TRANSLATE_NOOP("ParamMap", "平移修正"), 0, Coding::Numeric, ListNone, -500, 500, "-500 ~ 500"},
    {40, 6, QT_TRANSLATE_NOOP("ParamMap", "CH4 输入类型"), 16, Coding::Coded, ListInput, 0, 30, QT_TRANSLATE_NOOP("ParamMap", "0～30")},
    {41, 6, QT_TRANSLATE_NOOP("ParamMap", "CH4 小数点"), 15, Coding::Coded, ListDecimal, 0, 4, QT_TRANSLATE_NOOP("ParamMap", "0～4：0<10000>，1<1000.0>，2<100.00>，3<10.000>，4<1.0000>\r\n")},
    {42, 6, QT_TRANSLATE_NOOP("ParamMap", "输入上限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {43, 6, QT_TRANSLATE_NOOP("ParamMap", "输入下限"), 0, Coding::Numeric, ListNone, -10000, 30000, "-10000 ~ 30000"},
    {44, 6, QT_TRANSLATE_NOOP("ParamMap", "平移修正"), 0, Coding::Numeric, ListNone, -500, 500, "-500 ~ 500"},
    {45, 0, QT_TRANSLATE_NOOP("ParamMap", "屏幕点亮时间"), 0, Coding::Numeric, ListNone, 0, 60, QT_TRANSLATE_NOOP("ParamMap", "0～60min，0--常亮，1～60--定时关闭显示\r\n")},
    {46, 0, QT_TRANSLATE_NOOP("ParamMap", "输入数字滤波"), 0, Coding::Tenths, ListNone, 0, 100, QT_TRANSLATE_NOOP("ParamMap", "0～10 S")},
    {47, 0, QT_TRANSLATE_NOOP("ParamMap", "温度单位"), 17, Coding::Coded, ListUnit, 0, 2, QT_TRANSLATE_NOOP("ParamMap", "0～2，0-摄氏度C，1-华氏度F，2-绝对温标K\r\n")},
    {48, 1, QT_TRANSLATE_NOOP("ParamMap", "继电器功能切换"), 18, Coding::Coded, ListRelay, 0, 1, QT_TRANSLATE_NOOP("ParamMap", "0～1：0-报警方式，1-位式控制\r\n")},
};

const ChoiceTable kChoice[ListCount] = {
    {kAlarm, int(std::size(kAlarm))},
    {kBaud, int(std::size(kBaud))},
    {kParity, int(std::size(kParity))},
    {kChannel, int(std::size(kChannel))},
    {kOutput, int(std::size(kOutput))},
    {kDecimal, int(std::size(kDecimal))},
    {kUnit, int(std::size(kUnit))},
    {kRelay, int(std::size(kRelay))},
    {kInput, int(std::size(kInput))},
};

const int8_t kComboRegister[kComboCount + 1] = {
    0, 9, 11, 13, 15, 18, 19, 21, 22, 25, 26, 31, 30, 36, 35, 41, 40, 47, 48,
};

namespace {

// Tenths as the shortest decimal text: 25 -> "2.5", 20 -> "2", -5 -> "-0.5".
QString tenthsText(int32_t v)
{
    const int64_t a = v < 0 ? -int64_t(v) : int64_t(v);
    QString t = v < 0 ? QStringLiteral("-") : QString();
    t += QString::number(a / 10);
    if (a % 10)
        t += u'.' + QString::number(a % 10);
    return t;
}

} // namespace

bool decodeText(int reg, int32_t v, QString *text)
{
    if (reg < 1 || reg > kParamCount)
        return false;
    const Param &p = kParam[reg - 1];
    switch (p.coding) {
    case Coding::Numeric:
        *text = QString::number(v);
        return true;
    case Coding::Tenths:
        *text = tenthsText(v);
        return true;
    case Coding::Coded:
        break;
    }
    const ChoiceTable &list = kChoice[p.list];
    for (int k = 0; k < list.count; ++k) {
        if (list.items[k].code == v) {
            *text = paramText(list.items[k].decode);
            return true;
        }
    }
    return false;
}

namespace {

// A plain decimal number: sign, digits, at most one point, nothing else.
// frac is how many digits after the point count (0 for whole numbers, 1 for
// tenths); further digits after the point must be zeros. The result is the
// number in those units; huge is set when it exceeds every register.
bool plainNumber(const QString &text, int frac, int64_t *value, bool *huge)
{
    const int n = int(text.size());
    int i = 0;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t v = 0;
    bool digits = false, point = false;
    int after = 0; // digits read after the point
    *huge = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'.' && !point) {
            point = true;
            continue;
        }
        if (c < u'0' || c > u'9')
            return false;
        digits = true;
        if (point && ++after > frac) {
            if (c != u'0')
                return false;
            continue;
        }
        if (v > 1000000) // far beyond 16 bits: no longer counted
            *huge = true;
        else
            v = v * 10 + (c - u'0');
    }
    if (!digits)
        return false;
    for (; after < frac; ++after)
        v *= 10;
    *value = negative ? -v : v;
    return true;
}

} // namespace

EntryCheck checkEntry(int reg, const QString &text)
{
    EntryCheck c;
    if (reg < 1 || reg > kParamCount)
        return c;
    const Param &p = kParam[reg - 1];
    c.min = p.min;
    c.max = p.max;
    const QString t = text.trimmed();
    if (p.coding == Coding::Coded) {
        const ChoiceTable &list = kChoice[p.list];
        for (int k = 0; k < list.count; ++k) {
            // the entry as listed in either language
            if (QString::fromUtf8(list.items[k].entry).trimmed() == t || paramText(list.items[k].entry).trimmed() == t) {
                c.why = Refusal::None;
                c.value = list.items[k].code;
                return c;
            }
        }
    }
    int64_t v = 0;
    bool huge = false;
    if (!plainNumber(t, p.coding == Coding::Tenths ? 1 : 0, &v, &huge))
        return c;
    if (huge || v < p.min || v > p.max) {
        c.why = Refusal::Range;
        return c;
    }
    c.why = Refusal::None;
    c.value = int16_t(v);
    return c;
}

QString rangeText(int reg)
{
    if (reg < 1 || reg > kParamCount)
        return QString();
    const Param &p = kParam[reg - 1];
    if (p.coding == Coding::Tenths)
        return QCoreApplication::translate("ParamMap", "%1～%2").arg(tenthsText(p.min), tenthsText(p.max));
    return QCoreApplication::translate("ParamMap", "%1～%2").arg(QString::number(p.min), QString::number(p.max));
}

QString refusalText(int reg, const QString &text, const EntryCheck &check)
{
    if (reg < 1 || reg > kParamCount || check.why == Refusal::None)
        return QString();
    const Param &p = kParam[reg - 1];
    const QString caption = paramText(p.caption);
    const QString range = rangeText(reg);
    QString shown = text.trimmed();
    if (shown.size() > 20)
        shown = shown.left(20) + u'…';
    if (check.why == Refusal::Range) {
        return p.coding == Coding::Coded
                   ? QCoreApplication::translate("ParamMap", "%1：代码“%2”不在 %3 之内，未写入").arg(caption, shown, range)
                   : QCoreApplication::translate("ParamMap", "%1：“%2”超出范围 %3，未写入").arg(caption, shown, range);
    }
    QString expected;
    switch (p.coding) {
    case Coding::Numeric:
        expected = QCoreApplication::translate("ParamMap", "%1 之间的整数").arg(range);
        break;
    case Coding::Tenths:
        expected = QCoreApplication::translate("ParamMap", "%1 之间、最多一位小数的数").arg(range);
        break;
    case Coding::Coded:
        expected = QCoreApplication::translate("ParamMap", "列表中的一项，或 %1 之间的代码").arg(range);
        break;
    }
    if (shown.isEmpty())
        return QCoreApplication::translate("ParamMap", "%1：没有填写，应填%2，未写入").arg(caption, expected);
    return QCoreApplication::translate("ParamMap", "%1：“%2”不合要求，应填%3，未写入").arg(caption, shown, expected);
}

QString paramText(const char *source)
{
    return QCoreApplication::translate("ParamMap", source);
}
