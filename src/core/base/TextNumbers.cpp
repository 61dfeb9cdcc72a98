#include "TextNumbers.h"

namespace {
// Splits off a leading "-" and reports whether it was there.
QString StripSign(const QString& text, bool& negative)
{
    negative = text.startsWith(QLatin1Char('-'));
    return negative ? text.mid(1) : text;
}
} // namespace

int32_t HexTextToInt(const QString& text)
{
    if (text.isEmpty())
        return 0;
    bool negative = false;
    const QString digits = StripSign(text, negative).toUpper();
    uint32_t value = 0;
    for (const QChar c : digits) {
        const ushort u = c.unicode();
        if (u >= '0' && u <= '9')
            value = (value << 4) + (u - '0');
        else if (u >= 'A' && u <= 'F')
            value = (value << 4) + (u - 'A' + 10);
    }
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t DecTextToInt(const QString& text)
{
    if (text.isEmpty())
        return 0;
    bool negative = false;
    const QString digits = StripSign(text, negative).toUpper();
    uint32_t value = 0;
    for (int i = 0; i < digits.size(); ++i) {
        const ushort u = digits.at(i).unicode();
        if (u < '0' || u > '9')
            continue;
        const uint32_t d = u - '0';
        // The first character position starts afresh; later digits accumulate.
        value = (i == 0) ? d : value * 10u + d;
    }
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

int32_t TextToLong(const QString& text)
{
    int i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u < '0' || u > '9')
            break;
        value = value * 10u + (u - '0');
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

int DataTypeBits(const QString& dataType)
{
    return DecTextToInt(dataType);
}

bool DataTypeIsUnsigned(const QString& dataType)
{
    return !dataType.isEmpty() &&
           (dataType.at(0) == QLatin1Char('U') || dataType.at(0) == QLatin1Char('u'));
}

int64_t TypeWidth::value(uint32_t raw) const
{
    const uint32_t bits32 = mask(raw);
    if (!isSigned || bits >= 32)
        return isSigned ? int64_t(int32_t(bits32)) : int64_t(bits32);
    const uint32_t sign = uint32_t(1) << (bits - 1);
    return (bits32 & sign) ? int64_t(bits32) - (int64_t(1) << bits) : int64_t(bits32);
}

QString TypeWidth::name() const
{
    return (isSigned ? QStringLiteral("I") : QStringLiteral("U")) + QString::number(bits);
}

QString TypeWidth::rangeText() const
{
    return QStringLiteral("%1 to %2").arg(min()).arg(max());
}

TypeWidth TypeWidthOf(const QString& dataType)
{
    TypeWidth width;
    const int bits = DataTypeBits(dataType);
    if (bits != 8 && bits != 16 && bits != 32)
        return width;
    width.bits = bits;
    width.isSigned = !DataTypeIsUnsigned(dataType);
    return width;
}

bool IsTextType(const QString& dataType)
{
    return dataType.compare(QLatin1String("VISIBLE STRING"), Qt::CaseInsensitive) == 0;
}

TypeWidth TypeWidthFromName(const QString& name)
{
    const QString lower = name.trimmed().toLower();
    for (const int bits : {8, 16, 32}) {
        if (lower == QStringLiteral("u%1").arg(bits))
            return {bits, false};
        if (lower == QStringLiteral("i%1").arg(bits))
            return {bits, true};
    }
    return {};
}

namespace {
int HexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool IsDecimalDigit(QChar c)
{
    return c.unicode() >= '0' && c.unicode() <= '9';
}

bool HexPrefix(const QString& text)
{
    return text.size() > 2 && text.at(0) == QLatin1Char('0') &&
           (text.at(1) == QLatin1Char('x') || text.at(1) == QLatin1Char('X'));
}

// Hexadecimal digits only, at least one, at most 16.
bool HexDigits(const QString& digits, uint64_t& out)
{
    if (digits.isEmpty() || digits.size() > 16)
        return false;
    uint64_t value = 0;
    for (const QChar c : digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        value = (value << 4) | uint64_t(d);
    }
    out = value;
    return true;
}
} // namespace

bool ParseTypedInteger(const QString& t, int64_t& out)
{
    if (HexPrefix(t)) {
        uint64_t value = 0;
        if (!HexDigits(t.mid(2), value) || value > uint64_t(INT64_MAX))
            return false;
        out = int64_t(value);
        return true;
    }
    int i = 0;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+')))
        i = 1;
    if (i >= t.size())
        return false;
    uint64_t value = 0;
    for (; i < t.size(); ++i) {
        if (!IsDecimalDigit(t.at(i)))
            return false;
        const uint64_t digit = t.at(i).unicode() - '0';
        if (value > (uint64_t(INT64_MAX) - digit) / 10u)
            return false;
        value = value * 10u + digit;
    }
    out = negative ? -int64_t(value) : int64_t(value);
    return true;
}

bool ParseTypedNumber(const QString& t, double& out)
{
    int64_t integer = 0;
    if (ParseTypedInteger(t, integer)) {
        out = double(integer);
        return true;
    }
    if (HexPrefix(t))
        return false;
    // Sign, digits, one ".", digits; at least one digit in all. No exponent: nobody types one.
    int i = (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) ? 1 : 0;
    int digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        if (IsDecimalDigit(t.at(i)))
            ++digits;
        else if (t.at(i) == QLatin1Char('.') && !point)
            point = true;
        else
            return false;
    }
    if (digits == 0 || digits > 40)
        return false;
    bool ok = false;
    const double value = t.toDouble(&ok); // the C locale: "." is the decimal point
    if (!ok)
        return false;
    out = value;
    return true;
}

bool ParseTypedHex(const QString& t, uint64_t& out)
{
    return HexDigits(HexPrefix(t) ? t.mid(2) : t, out);
}
