#pragma once

#include <QString>
#include <cstdint>

// Object key: (index << 8) + subindex; only the low 24 bits are used.
constexpr uint32_t MakeObjectKey(uint32_t index, uint32_t subindex)
{
    return (index << 8) + (subindex & 0xFF);
}

// One dictionary entry, copied by value.
class CSdoRecord
{
public:
    CSdoRecord() = default;
    CSdoRecord(const CSdoRecord&) = default;
    CSdoRecord(CSdoRecord&&) noexcept = default;
    CSdoRecord& operator=(const CSdoRecord&) = default;
    CSdoRecord& operator=(CSdoRecord&&) noexcept = default;
    virtual ~CSdoRecord() = default;

    QString GetName() const { return name; }
    QString GetDataType() const { return dataType; }
    QString GetAttribute() const { return attribute; }
    QString GetHelp() const { return help; }
    QString GetUnitText() const { return unitText; }

    uint32_t key = 0;
    uint32_t index = 0;
    uint8_t subindex = 0;
    QString name;
    QString dataType;
    QString attribute;
    QString help;
    QString unitText;
    uint32_t modbusAddress = 0;
};
