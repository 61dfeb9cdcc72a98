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

    static QVector<CUnitRecord> ParseUnitText(const QString& unitText);

private:
    struct Entry
    {
        QVector<CUnitRecord> records;
        bool shortText = false; // registered with fewer than 3 characters: shown as "DEC"
    };
    std::unordered_map<uint32_t, Entry> m_entries;
};
