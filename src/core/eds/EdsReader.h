#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <cstdint>

// One object of an electronic data sheet (EDS) or device configuration file (DCF), as the program
// can carry it: an integer of 8, 16 or 32 bits or a text, with its access and its default.
struct CEdsObject
{
    uint16_t index = 0;
    uint8_t subindex = 0;
    int line = 0; // the line of its section, for messages
    QString name;
    QString dataType; // the program's type name: U8 U16 U32 I8 I16 I32 or VISIBLE STRING
    QString access;   // ro, wo, rw, rwr, rww or const, as the file gives it (lower case)
    bool pdoMapping = false;
    int64_t value = 0; // numeric types: the default (the DCF's ParameterValue when it has one)
    QByteArray text;   // VISIBLE STRING: the default
    bool hasLow = false, hasHigh = false;
    int64_t low = 0, high = 0;

    uint32_t key() const { return (uint32_t(index) << 8) | subindex; }
    bool numeric() const { return dataType != QLatin1String("VISIBLE STRING"); }
    bool writable() const;
    // The dictionary's access letters: R read, W write, M PDO mappable, L polled while shown
    // (a mappable value the drive produces itself changes on its own).
    QString AttributeLetters() const;
};

// A line of the file and what is wrong with it (or, for a note, what was left out and why).
struct CEdsProblem
{
    int line = 0;
    QString reason;
};

// What a file gave: every object sorted by key, or, when the file is broken, the errors and no
// object at all, so that a dictionary never holds half of a device.
struct CEdsDevice
{
    QVector<CEdsObject> objects;
    QVector<CEdsProblem> errors;
    // Objects of types the program cannot show or write (REAL32, 64-bit integers, DOMAIN and
    // the like): left out, each named, the rest of the device stays usable.
    QVector<CEdsProblem> notes;
    QString vendorName, productName;
    int nodeId = 0; // the node id that $NODEID stood for

    bool ok() const { return errors.isEmpty(); }
    const CEdsObject* Find(uint32_t key) const;
};

namespace Eds {

// Reads the bytes of an EDS or DCF file. $NODEID in values stands for nodeId; with nodeId 0 a
// DCF's own NodeID is taken, else 1.
CEdsDevice Read(const QByteArray& bytes, int nodeId = 0);

// A value as CiA 306 writes numbers: decimal with an optional "-", "0x" hexadecimal, octal with a
// leading 0, and $NODEID (any case) added to a number with "+" on either side. False when the
// text is none of these or does not fit 64 bits.
bool ParseValue(const QString& text, int nodeId, int64_t& out);

// The program's type name for a CiA 301 data type number; empty for a type it cannot carry.
QString TypeName(uint32_t dataType);

} // namespace Eds
