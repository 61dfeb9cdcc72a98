#include "IoBits.h"

#include "base/IniFile.h"

namespace Dio {

bool IsMixedFunctionMask(uint32_t mask)
{
    return (mask & kCombinableFunctions) != 0 && (mask & ~kCombinableFunctions) != 0;
}

QString FunctionText(uint32_t mask, const FunctionName& name)
{
    QStringList names;
    for (int bit = 0; bit < 32; ++bit) {
        if (ChannelBit(mask, bit))
            names.append(name(bit));
    }
    return names.isEmpty() ? QStringLiteral("NULL") : names.join(QLatin1Char('+'));
}

QStringList FunctionTipLines(uint32_t mask, const FunctionName& name)
{
    QStringList lines;
    for (int bit = 0; bit < 32; ++bit) {
        if (ChannelBit(mask, bit))
            lines.append(QStringLiteral("%1.%2").arg(lines.size() + 1).arg(name(bit)));
    }
    return lines;
}

CFunctionNames::CFunctionNames(const QString& iniPath, int language)
    : m_path(iniPath), m_language(language)
{
}

QString CFunctionNames::Key(int number) const
{
    return QStringLiteral("%1Bit%2")
        .arg(m_language == 1 ? QStringLiteral("ch") : QStringLiteral("en"))
        .arg(number, 2, 10, QLatin1Char('0'));
}

QString CFunctionNames::Name(bool output, int bit) const
{
    return Ini::GetProfileString(m_path, output ? QStringLiteral("out") : QStringLiteral("in"),
                                 Key(bit + 1), QString(), 256);
}

QVector<CFunctionNames::Row> CFunctionNames::DialogRows(bool output) const
{
    QVector<Row> rows;
    for (int number = 0; number < 32; ++number) {
        const QString name =
            Ini::GetProfileString(m_path, output ? QStringLiteral("out") : QStringLiteral("in"),
                                  Key(number), QString(), 256);
        if (!name.isEmpty())
            rows.append(Row{QStringLiteral("Bit%1").arg(number, 2, 10, QLatin1Char('0')), name});
    }
    return rows;
}

uint32_t InputVirtualState(uint32_t terminals, uint32_t polarity, uint32_t simulation,
                           uint32_t simulatedLevel)
{
    return (((terminals ^ polarity) & ~simulation) | (simulatedLevel & simulation)) & 0xFF;
}

uint32_t ActiveInputFunctions(uint32_t virtualState, const std::array<uint32_t, kInputs>& masks)
{
    uint32_t active = 0;
    for (int input = 0; input < kInputs; ++input) {
        if (ChannelBit(virtualState, input))
            active |= masks[size_t(input)];
    }
    return active;
}

uint32_t OutputState(uint32_t activeOutputFunctions, const std::array<uint32_t, kOutputs>& masks,
                     uint32_t polarity, uint32_t simulation, uint32_t simulatedLevel)
{
    uint32_t level = 0;
    for (int output = 0; output < kOutputs; ++output) {
        if ((masks[size_t(output)] & activeOutputFunctions) != 0)
            level |= 1u << output;
    }
    level ^= polarity;
    return ((level & ~simulation) | (simulatedLevel & simulation)) & 0x1F;
}

} // namespace Dio
