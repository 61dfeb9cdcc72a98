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

// The integer types a drive object can have: 8, 16 or 32 bits, signed or unsigned. Every range
// check and every cut of a raw value to its type goes through this one description.
struct TypeWidth
{
    int bits = 0; // 8, 16 or 32; 0 for anything else (texts, unknown names)
    bool isSigned = false;

    bool valid() const { return bits == 8 || bits == 16 || bits == 32; }
    int bytes() const { return bits / 8; }
    int64_t min() const { return isSigned ? -(int64_t(1) << (bits - 1)) : 0; }
    int64_t max() const
    {
        return isSigned ? (int64_t(1) << (bits - 1)) - 1 : (int64_t(1) << bits) - 1;
    }
    bool fits(int64_t value) const { return valid() && value >= min() && value <= max(); }
    // The raw 32 bits cut to the type's width (the drive's bit pattern).
    uint32_t mask(uint32_t raw) const
    {
        return bits >= 32 ? raw : raw & ((uint32_t(1) << bits) - 1);
    }
    // The raw bits read as a number of this type (sign-extended for signed types).
    int64_t value(uint32_t raw) const;
    // "U16" style name, as drivactl's --type and the dictionary source write it.
    QString name() const;
    // "-32768 to 32767"
    QString rangeText() const;
};

// Width of a data type name by the rules above: "U16", "UNSIGNED16" and "u16" are unsigned
// 16-bit types, "I32" and "INTEGER32" signed 32-bit ones; "VISIBLE STRING" is not valid.
TypeWidth TypeWidthOf(const QString& dataType);
// Whether objects of the type hold text ("VISIBLE STRING", in any case), read by segments.
bool IsTextType(const QString& dataType);
// A --type name: u8, u16, u32, i8, i16 or i32 (any case); invalid otherwise.
TypeWidth TypeWidthFromName(const QString& name);

// Numbers typed by a person (drivactl's arguments and the page editor alike). The whole text must
// be the number, without blanks before or after it: a blank is more likely a slip than a
// separator, and what is written must be exactly what was typed. Decimal with an optional "-" or
// "+" directly before the digits, or "0x" followed by hexadecimal digits (no sign); a leading
// zero is decimal, never octal. False when the text is no such number or does not fit 64 bits.
bool ParseTypedInteger(const QString& text, int64_t& out);
// As ParseTypedInteger, and decimal numbers may have a fraction ("1.15", "-.5", "3.").
bool ParseTypedNumber(const QString& text, double& out);
// Hexadecimal digits with or without "0x", as a value in HEX format is shown; up to 16 digits,
// no blanks, no sign.
bool ParseTypedHex(const QString& text, uint64_t& out);
