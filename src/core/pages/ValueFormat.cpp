// Raw drive values to cell texts and data types to write commands: the conversions every page,
// drivactl and the transfer views share.

#include "ValueFormat.h"
#include "comm/SdoFrame.h"

#include "base/TextNumbers.h"
#include "units/FormatKeywords.h"
#include "units/FormulaText.h"

#include <cmath>

namespace {
const QString kDec = FormatKeyword::kDec;
const QString kHex = FormatKeyword::kHex;
const QString kAscii = FormatKeyword::kAscii;

// The value truncated toward zero and wrapped to 32 bits, as the integer displays take it; a
// value beyond any integer (infinity, NaN) shows as 0 rather than being undefined.
uint32_t TruncateTo32(double value)
{
    if (!std::isfinite(value))
        return 0;
    double wrapped = std::fmod(std::trunc(value), 4294967296.0);
    if (wrapped < 0)
        wrapped += 4294967296.0;
    return static_cast<uint32_t>(wrapped);
}

QString FormatDecimal(uint32_t n, const QString& dataType)
{
    switch (DataTypeBits(dataType)) {
    case 8:
    case 16:
        return QString::number(static_cast<int32_t>(n));
    case 32:
        return DataTypeIsUnsigned(dataType) ? QString::number(n)
                                            : QString::number(static_cast<int32_t>(n));
    default:
        return QStringLiteral("???");
    }
}

} // namespace

bool RawToValue(const QString& dataType, uint32_t raw, double& value)
{
    const int bits = DataTypeBits(dataType);
    if (dataType.isEmpty() || (bits != 8 && bits != 16 && bits != 32))
        return false;
    if (DataTypeIsUnsigned(dataType)) {
        // Cut to the type, so that a reply wider than the object shows the same number in
        // decimal as in hexadecimal.
        value = TypeWidthOf(dataType).mask(raw);
        return true;
    }
    const int64_t wide = raw;
    switch (bits) {
    case 32:
        value = static_cast<int32_t>(raw);
        break;
    case 16:
        value = static_cast<double>(raw >= 0x8000 ? wide - 0x10000 : wide);
        break;
    default:
        value = static_cast<double>(raw >= 0x80 ? wide - 0x100 : wide);
        break;
    }
    return true;
}

QString FormatValue(const QString& format, const QString& dataType, const QString& formula,
                    double value)
{
    // A formula that divides by zero or overflows has no number to show.
    if (!std::isfinite(value))
        return QStringLiteral("????");
    const uint32_t n = TruncateTo32(value);
    if (format == kAscii) {
        const int bytes = BytesOfType(dataType);
        if (bytes == 0)
            return QStringLiteral("???");
        // One character per byte (Latin-1), so that the write side, which takes one byte per
        // character, gives back the same value.
        QString text;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t byte = (n >> (8 * i)) & 0xFF;
            if (byte == 0)
                break;
            text.append(QChar(static_cast<ushort>(byte)));
        }
        return text;
    }
    if (format == kHex) {
        switch (DataTypeBits(dataType)) {
        case 8:
            return QString::number(n & 0xFF, 16);
        case 16:
            return QString::number(n & 0xFFFF, 16);
        case 32:
            return QString::number(n, 16);
        default:
            return QStringLiteral("???");
        }
    }
    // An empty format shows decimal, as an empty unit is written as decimal.
    if (format == kDec || format.isEmpty() || formula == QLatin1String("N*1"))
        return FormatDecimal(n, dataType);
    return ThreeDecimals(value);
}

uint8_t WriteCommandForType(const QString& dataType)
{
    return WriteCommandForBits(DataTypeBits(dataType));
}

uint8_t WriteCommandForBits(int bits)
{
    switch (bits) {
    case 8:
        return SdoFrame::kWrite1;
    case 16:
        return SdoFrame::kWrite2;
    case 32:
        return SdoFrame::kWrite4;
    default:
        return 0;
    }
}

int BytesOfType(const QString& dataType)
{
    const int bits = DataTypeBits(dataType);
    return (bits == 8 || bits == 16 || bits == 32) ? bits / 8 : 0;
}
