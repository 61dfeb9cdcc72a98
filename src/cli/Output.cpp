#include "Output.h"

#include "CliOptions.h"

#include "app/SysData.h"
#include "base/TextNumbers.h"

#include <cstdio>

QTextStream& Out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& Err()
{
    static QTextStream stream(stderr);
    return stream;
}

bool KeyArgument(const CSdoDatabase& dictionary, const CliOptions& options, int argCount,
                 const char* usage, uint32_t& key, CSdoRecord& record)
{
    if (options.args.size() != argCount || !ParseObjectKey(options.args.at(0), key)) {
        Err() << usage << '\n';
        return false;
    }
    if (!dictionary.Lookup(key, record)) {
        Err() << KeyText(key) << " is not in the dictionary\n";
        return false;
    }
    return true;
}

QString KeyText(uint32_t key)
{
    return QStringLiteral("%1").arg(key & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

QString RawText(const QString& dataType, uint32_t raw)
{
    double value = 0;
    QString decimal;
    if (CSysData::RawToValue(dataType, raw, value))
        decimal = QString::number(static_cast<qint64>(value));
    else
        decimal = QString::number(raw);
    const int bits = DataTypeBits(dataType);
    const int digits = (bits == 8 || bits == 16) ? bits / 4 : 8;
    const uint32_t masked = bits == 8 ? (raw & 0xFF) : bits == 16 ? (raw & 0xFFFF) : raw;
    return QStringLiteral("%1 (0x%2)").arg(decimal).arg(masked, digits, 16, QLatin1Char('0'));
}
