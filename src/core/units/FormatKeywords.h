#pragma once

#include <QLatin1String>
#include <QString>

// The format keywords a value may be shown in instead of a unit: the raw value in decimal, in
// hexadecimal, or one character per byte. The one home of their spelling.
namespace FormatKeyword {

constexpr QLatin1String kDec("DEC");
constexpr QLatin1String kHex("HEX");
constexpr QLatin1String kAscii("ASCII");

inline bool Is(const QString& unit)
{
    return unit == kDec || unit == kHex || unit == kAscii;
}

} // namespace FormatKeyword
