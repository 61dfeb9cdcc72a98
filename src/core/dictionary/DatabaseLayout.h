#pragma once

// The layout of one record of the dictionary database (data/velmor.dat): fixed-width fields of
// single-byte text padded with NUL bytes, no header, records back to back. The loader, the
// database builder (mkdict) and the tests that craft database files all take it from here.
namespace DatabaseLayout {

enum Field
{
    Index,       // hexadecimal text
    Subindex,    // hexadecimal text
    NameChinese, // text
    NameEnglish,
    DataType,
    Attribute,
    HelpChinese,
    HelpEnglish,
    UnitText,
    Modbus, // hexadecimal text
    FieldCount
};

// Widths in bytes, in file order.
constexpr int kWidths[FieldCount] = {4, 2, 64, 64, 16, 8, 2048, 2048, 256, 4};

constexpr int Width(Field field)
{
    return kWidths[field];
}

constexpr int Offset(Field field)
{
    int offset = 0;
    for (int f = 0; f < field; ++f)
        offset += kWidths[f];
    return offset;
}

constexpr int kRecordSize = Offset(FieldCount);
static_assert(kRecordSize == 4514, "a database record is 4514 bytes");
static_assert(Offset(Modbus) == 4510, "the Modbus address closes the record");

} // namespace DatabaseLayout
