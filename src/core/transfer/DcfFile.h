#pragma once

// CiA 306 device configuration files (.dcf): the identity of the drive they were taken from,
// its commissioning (node id, bit rate) and every object with its value (ParameterValue).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <cstdint>

class CSdoDatabase;

struct CDcfObject
{
    uint32_t key = 0;
    QString name;
    uint16_t dataType = 0; // CiA 301 data type index (0x0007 UNSIGNED32, ...)
    QString access;        // "ro", "wo", "rw", "const"
    QString value;         // ParameterValue, empty when the file has none
    QString defaultValue;
    int bits() const; // 8, 16 or 32 for the integer types; 0 otherwise
};

struct CDcfDocument
{
    QString fileName;
    QString creator;
    QDateTime created;
    QString vendorName;
    QString productName;
    uint32_t vendor = 0;
    uint32_t product = 0;
    uint32_t revision = 0;
    int nodeId = 0;
    int bitRateKbps = 0;
    QVector<CDcfObject> objects;
};

// CiA 301 data type index of a dictionary type name ("U16" -> 0x0006, "I32" -> 0x0004,
// "VISIBLE STRING" -> 0x0009), 0 when unknown.
uint16_t DcfDataType(const QString& dictionaryType);
// "ro", "wo" or "rw" from the dictionary's access letters.
QString DcfAccess(const QString& attribute);
// The object as the dictionary describes it, with value as its ParameterValue.
CDcfObject DcfObjectOf(const CSdoDatabase& dictionary, uint32_t key, const QString& value);

QByteArray FormatDcf(const CDcfDocument& document);
// Reads any bytes; false with the reason when the file has no DeviceInfo or no object.
bool ParseDcf(const QByteArray& bytes, CDcfDocument& document, QString& error);
bool ReadDcf(const QString& path, CDcfDocument& document, QString& error);
bool WriteDcf(const QString& path, const CDcfDocument& document, QString& error);
// A ParameterValue (decimal, "0x" hexadecimal, or "$NODEID+..." formulas are not taken) as a
// raw value; false when it is empty or not a number.
bool ParseDcfValue(const QString& text, uint32_t& raw);

struct CTransferRow;
// Import rows of the objects that carry a ParameterValue, widths from the file's data types.
QVector<CTransferRow> DcfImportRows(const CDcfDocument& document, const CSdoDatabase& dictionary);
// Empty when the drive's vendor and product (0x1018:01, 0x1018:02) are the file's; otherwise
// the operator's text saying which differs.
QString DcfIdentityMismatch(const CDcfDocument& document, uint32_t vendor, uint32_t product);
