#include "core/numbers.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

} // namespace

double leadNum(const QString &text)
{
    int i = 0;
    const int n = text.size();
    auto skip = [&] {
        while (i < n && isBlank(text[i]))
            ++i;
    };
    skip();
    // &H hexadecimal / &O octal integers.
    if (i + 1 < n && text[i] == u'&') {
        const QChar k = text[i + 1].toUpper();
        int base = k == u'H' ? 16 : (k == u'O' ? 8 : 0);
        if (base) {
            i += 2;
            double v = 0;
            bool any = false;
            for (; i < n; ++i) {
                int d = -1;
                const QChar c = text[i];
                if (c.isDigit() && c.unicode() < 128)
                    d = c.unicode() - '0';
                else if (base == 16 && c.toUpper() >= u'A' && c.toUpper() <= u'F')
                    d = c.toUpper().unicode() - 'A' + 10;
                if (d < 0 || d >= base)
                    break;
                v = v * base + d;
                any = true;
            }
            return any ? v : 0;
        }
    }
    QByteArray num;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        num.append(char(text[i].unicode()));
        ++i;
    }
    bool digits = false, point = false;
    for (;; ++i) {
        skip();
        if (i >= n)
            break;
        const QChar c = text[i];
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            num.append(char(c.unicode()));
            digits = true;
        } else if (c == u'.' && !point) {
            num.append('.');
            point = true;
        } else {
            break;
        }
    }
    if (!digits)
        return 0;
    // Optional exponent: E or D, optional sign, digits.
    if (i < n && (text[i].toUpper() == u'E' || text[i].toUpper() == u'D')) {
        int j = i + 1;
        QByteArray ex("e");
        while (j < n && isBlank(text[j]))
            ++j;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ex.append(char(text[j++].unicode()));
        bool expDigits = false;
        for (; j < n; ++j) {
            if (isBlank(text[j]))
                continue;
            if (text[j].unicode() < '0' || text[j].unicode() > '9')
                break;
            ex.append(char(text[j].unicode()));
            expDigits = true;
        }
        if (expDigits)
            num.append(ex);
    }
    bool ok = false;
    const double v = num.toDouble(&ok);
    return ok ? v : 0;
}

double roundEven(double v)
{
    // nearbyint rounds in the current mode; the default mode is to-nearest-even.
    return std::nearbyint(v);
}

bool roundI32(double v, int32_t *out)
{
    if (!std::isfinite(v))
        return false;
    const double r = roundEven(v);
    if (r < double(std::numeric_limits<int32_t>::min()) || r > double(std::numeric_limits<int32_t>::max()))
        return false;
    *out = int32_t(r);
    return true;
}

bool roundI16(double v, int16_t *out)
{
    if (!std::isfinite(v))
        return false;
    const double r = roundEven(v);
    if (r < -32768.0 || r > 32767.0)
        return false;
    *out = int16_t(r);
    return true;
}

QString numText(float v)
{
    QLocale loc;
    if (!std::isfinite(v))
        return loc.toString(double(v));
    const double d = double(v);
    // Seven significant digits: the mantissa's digits and the exponent of the
    // rounded value ("1.234568e+08").
    const QString e = QString::number(d, 'e', 6);
    const int ePos = e.indexOf(u'e');
    const int exp = e.mid(ePos + 1).toInt();
    QString t;
    if (exp > 6) {
        // Whole digits past the seventh are zeros: 123456792 reads 123456800.
        QString digits = e.left(ePos);
        digits.remove(u'.');
        digits.remove(u'-');
        t = (d < 0 ? QStringLiteral("-") : QString()) + digits + QString(exp - 6, u'0');
    } else {
        // At most six decimals: values below 0.0000005 read 0.
        t = QString::number(d, 'f', std::min(6, 6 - exp));
        if (t.contains(u'.')) {
            while (t.endsWith(u'0'))
                t.chop(1);
            if (t.endsWith(u'.'))
                t.chop(1);
        }
    }
    if (t == QStringLiteral("-0"))
        t = QStringLiteral("0");
    // The locale's decimal separator and minus sign.
    t.replace(u'.', loc.decimalPoint());
    if (t.startsWith(u'-'))
        t.replace(0, 1, loc.negativeSign());
    return t;
}
