#pragma once

#include <QByteArray>
#include <cstdint>

namespace TestSupport {

// The fields of one velmor.dat record as raw bytes; each is cut or NUL-padded to its width.
struct DatabaseRecordFields
{
    QByteArray index = "1000";
    QByteArray subindex = "00";
    QByteArray nameChinese;
    QByteArray nameEnglish;
    QByteArray dataType = "U32";
    QByteArray attribute = "RW";
    QByteArray helpChinese;
    QByteArray helpEnglish;
    QByteArray unitText;
    QByteArray modbus = "0000";
};

// One fixed-length database record (the layout of dictionary/DatabaseLayout.h).
QByteArray BuildDatabaseRecord(const DatabaseRecordFields& fields);
// Upper-case hexadecimal text of the given number of digits.
QByteArray HexField(uint32_t value, int digits);

} // namespace TestSupport
