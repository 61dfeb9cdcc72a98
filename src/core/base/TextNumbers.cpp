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
