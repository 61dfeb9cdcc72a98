#pragma once

#include <QString>

#include <cstdint>

// A raw drive value as a number of its data type: signed types are sign-extended from their
// width, unsigned ones taken as they are. False for a type that is not 8, 16 or 32 bits wide.
bool RawToValue(const QString& dataType, uint32_t raw, double& value);

// The cell text of a value in a format keyword ("DEC", "HEX", "ASCII") or a unit whose formula
// gave the value: integers for the keywords and for "N*1", three decimals otherwise.
QString FormatValue(const QString& format, const QString& dataType, const QString& formula,
                    double value);

// The SDO write command that fits the width (0x2F, 0x2B, 0x23 for 8, 16, 32 bits), or 0.
uint8_t WriteCommandForBits(int bits);
uint8_t WriteCommandForType(const QString& dataType);

// Bytes of an 8, 16 or 32-bit type; 0 for any other.
int BytesOfType(const QString& dataType);
