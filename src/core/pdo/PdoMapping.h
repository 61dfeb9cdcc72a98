#pragma once

#include "comm/CtrlLink.h"

#include <QString>
#include <QVector>

#include <cstdint>
#include <functional>
#include <vector>

class CSdoDatabase;
class CSdoRecord;

// PDO mapping as CANopen (CiA 301) lays it down: a PDO's communication object (0x1400 + n - 1
// receive, 0x1800 + n - 1 transmit) holds its COB-ID, whose bit 31 set means "not valid"; its
// mapping object (0x1600 / 0x1A00 + n - 1) holds the number of entries at subindex 0 and up to
// eight entries, each an object descriptor (index << 16 | subindex << 8 | width in bits). One PDO
// carries at most 64 bits.
namespace Pdo {

constexpr int kPdosPerDirection = 8;
constexpr int kMaxEntries = 8;
constexpr int kMaxBits = 64;
constexpr uint32_t kCobIdInvalid = 0x80000000u;

// Abort codes of a refused mapping.
constexpr uint32_t kAbortNotMappable = 0x06040041; // the object cannot be mapped
constexpr uint32_t kAbortTooLong = 0x06040042;     // the mapped objects exceed the PDO length
constexpr uint32_t kAbortDeviceState = 0x08000022; // changed while the PDO is valid
constexpr uint32_t kAbortValueRange = 0x06090030;  // a count or COB-ID the PDO cannot take

enum class Direction
{
    Receive, // RPDO: the drive writes the received data into the objects
    Transmit // TPDO: the drive sends what it reads from them
};

struct Address
{
    Direction direction = Direction::Receive;
    int number = 1; // 1 to 8

    uint32_t CommunicationIndex() const;
    uint32_t MappingIndex() const;
    uint32_t CobIdKey() const { return (CommunicationIndex() << 8) | 1; }
    uint32_t CountKey() const { return MappingIndex() << 8; }
    uint32_t EntryKey(int entry) const { return (MappingIndex() << 8) | uint32_t(entry); }
    QString Name() const; // "RPDO3", "TPDO1"
};
// "RPDO1" ... "TPDO8" (any case) as an address; false for other names.
bool ParseAddress(const QString& name, Address& out);
// The PDO whose communication or mapping object the key names; false for other keys.
bool AddressOfKey(uint32_t key, Address& out, bool& mapping);

constexpr uint32_t Entry(uint32_t objectKey, int bits)
{
    return (objectKey << 8) | uint32_t(bits & 0xFF);
}
constexpr uint32_t EntryKey(uint32_t entry)
{
    return entry >> 8;
}
constexpr int EntryBits(uint32_t entry)
{
    return int(entry & 0xFF);
}
int TotalBits(const std::vector<uint32_t>& entries);

// What decides whether an object may be mapped: it exists, its attribute has "M", it is 8, 16 or
// 32 bits wide, and it can be written (receive) or read (transmit).
struct ObjectFacts
{
    bool exists = false;
    bool mappable = false;
    bool readable = false;
    bool writable = false;
    int bits = 0;
};
ObjectFacts FactsOf(const CSdoRecord& record);
// 0 when the entry may go into a PDO of that direction, else kAbortNotMappable.
uint32_t EntryRefusal(const ObjectFacts& object, Direction direction, uint32_t entry);

// The objects of the dictionary a PDO of that direction can carry, in dictionary order. The
// editor lists these; a browser with a mappable filter offers the same set.
QVector<CSdoRecord> MappableObjects(const CSdoDatabase& dictionary, Direction direction);

// Why a mapping cannot be applied, checked before anything is written: too many entries, an
// object that is not mappable or of the wrong direction or width, or more than 64 bits. Empty
// when it can.
struct Problem
{
    uint32_t abortCode = 0;
    int entry = -1; // the entry at fault, -1 for the mapping as a whole
    QString text;
    bool ok() const { return abortCode == 0; }
};
Problem CheckMapping(const std::vector<uint32_t>& entries, Direction direction,
                     const std::function<bool(uint32_t key, CSdoRecord& out)>& lookup);

// The writes that change a mapping in the order CANopen devices require: COB-ID with bit 31 set,
// count 0, the entries, the count, the COB-ID as it was.
std::vector<SdoWrite> ApplyWrites(const Address& pdo, uint32_t cobId,
                                  const std::vector<uint32_t>& entries);

} // namespace Pdo
