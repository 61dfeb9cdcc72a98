#pragma once

#include <QString>
#include <QVector>

#include <cstdint>
#include <unordered_map>
#include <vector>

// One unit of an object: "[name label]formula".
struct CUnitRecord
{
    QString name;
    QString label;
    QString formula;
    QString DisplayName() const { return label.isEmpty() ? name : label; }
};

// A unit as the operator meets it: shown by its display name, and writable when a typed value
// in it converts back to a raw value.
struct CUnitChoice
{
    QString name;           // display name: what the unit cell shows
    QString displayFormula; // raw to shown value ("N*1": shown as the raw integer)
    QString writeFormula;   // shown value to raw; empty when the unit cannot be written
    bool writable() const { return !writeFormula.isEmpty(); }
};

// What the text an operator typed for an object becomes: the raw value and the write command,
// a write parked until a formula constant has been read, or the reason nothing is written.
struct CRawWrite
{
    enum Outcome
    {
        Ready,
        WaitsForConstant,
        Refused
    };
    Outcome outcome = Refused;
    uint8_t command = 0;
    uint32_t raw = 0;
    QString error; // Refused: what is accepted, in the chosen unit
};

// Units of every object shown so far, parsed from the dictionary's unit text the first time the
// object is shown and kept for the run (a later registration of the same key reuses the entry).
class CUnitTable
{
public:
    virtual ~CUnitTable() = default;

    // Registers the key on first use; sets name to the default unit's display name, or "DEC" for
    // a unit text shorter than 3 characters. Reports "Add default unit failure \n" when a unit
    // text of 3 or more characters holds no unit.
    bool GetDefaultUnit(uint32_t key, const QString& unitText, QString& name);

    // The records of a registered key; null when the key is not registered.
    const QVector<CUnitRecord>* LookupUnits(uint32_t key) const;

    // The one reading of a unit text, for the program and for the database builder alike.
    static QVector<CUnitRecord> ParseUnitText(const QString& unitText);

    // The units of an object, each display name once in text order. A record labelled "DEC"
    // under another name is the inverse of a shown unit, kept for writing only, and is not
    // shown. A unit is writable when a record carries its name and converts back: labelled
    // "DEC" (the inverse), or with the formula N*1 (unlabelled or labelled with its own name; a
    // converting record named after itself is shown only). The format keywords
    // DEC, HEX and ASCII are not included.
    static QVector<CUnitChoice> UnitChoices(const QVector<CUnitRecord>& records);

private:
    struct Entry
    {
        QVector<CUnitRecord> records;
        bool shortText = false; // registered with fewer than 3 characters: shown as "DEC"
    };
    std::unordered_map<uint32_t, Entry> m_entries;
};
