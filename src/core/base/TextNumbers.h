#pragma once

#include <QString>
#include <cstdint>

// Text-to-integer rules shared by the dictionary, the page files and the unit formulas. Both skip
// every character that is not a digit of their base, negate on a leading "-" and wrap at 32 bits.
int32_t HexTextToInt(const QString& text);
int32_t DecTextToInt(const QString& text);
// The standard decimal text-to-long conversion: optional blanks and sign, then digits up to the
// first non-digit; 0 when there are none.
int32_t TextToLong(const QString& text);

// Size in bits of a data type name (the decimal digits it contains: "U16" -> 16, "VISIBLE STRING"
// -> 0) and whether it is unsigned (first letter U or u).
int DataTypeBits(const QString& dataType);
bool DataTypeIsUnsigned(const QString& dataType);
