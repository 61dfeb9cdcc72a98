#include "PdoMapping.h"

#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"

namespace Pdo {

uint32_t Address::CommunicationIndex() const
{
    return (direction == Direction::Receive ? 0x1400u : 0x1800u) + uint32_t(number - 1);
}

uint32_t Address::MappingIndex() const
{
    return (direction == Direction::Receive ? 0x1600u : 0x1A00u) + uint32_t(number - 1);
}

QString Address::Name() const
{
    return QStringLiteral("%1%2")
        .arg(direction == Direction::Receive ? QStringLiteral("RPDO") : QStringLiteral("TPDO"))
        .arg(number);
}

bool ParseAddress(const QString& name, Address& out)
{
    const QString upper = name.trimmed().toUpper();
    if (upper.size() != 5 ||
        !(upper.startsWith(QLatin1String("RPDO")) || upper.startsWith(QLatin1String("TPDO"))))
        return false;
    const int number = upper.at(4).digitValue();
    if (number < 1 || number > kPdosPerDirection)
        return false;
    out.direction = upper.at(0) == QLatin1Char('R') ? Direction::Receive : Direction::Transmit;
    out.number = number;
    return true;
}

bool AddressOfKey(uint32_t key, Address& out, bool& mapping)
{
    const uint32_t index = key >> 8;
    for (const uint32_t base : {0x1400u, 0x1600u, 0x1800u, 0x1A00u}) {
        if (index >= base && index < base + kPdosPerDirection) {
            out.direction = base < 0x1800 ? Direction::Receive : Direction::Transmit;
            out.number = int(index - base) + 1;
            mapping = base == 0x1600 || base == 0x1A00;
            return true;
        }
    }
    return false;
}

int TotalBits(const std::vector<uint32_t>& entries)
{
    int bits = 0;
    for (const uint32_t entry : entries)
        bits += EntryBits(entry);
    return bits;
}

ObjectFacts FactsOf(const CSdoRecord& record)
{
    ObjectFacts facts;
    const QString attribute = record.attribute.toUpper();
    facts.exists = true;
    facts.mappable = attribute.contains(QLatin1Char('M'));
    facts.writable = attribute.contains(QLatin1Char('W'));
    facts.readable = attribute.contains(QLatin1Char('R'));
    const TypeWidth type = TypeWidthOf(record.dataType.trimmed());
    facts.bits = type.valid() ? type.bits : 0;
    return facts;
}

uint32_t EntryRefusal(const ObjectFacts& object, Direction direction, uint32_t entry)
{
    const bool directionOk = direction == Direction::Receive ? object.writable : object.readable;
    if (!object.exists || !object.mappable || !directionOk || object.bits == 0 ||
        EntryBits(entry) != object.bits)
        return kAbortNotMappable;
    return 0;
}

QVector<CSdoRecord> MappableObjects(const CSdoDatabase& dictionary, Direction direction)
{
    QVector<CSdoRecord> objects;
    CSdoRecord record;
    for (int i = 0; dictionary.GetAt(i, record); ++i) {
        const ObjectFacts facts = FactsOf(record);
        if (EntryRefusal(facts, direction, Entry(record.key, facts.bits)) == 0)
            objects.append(record);
    }
    return objects;
}

Problem CheckMapping(const std::vector<uint32_t>& entries, Direction direction,
                     const std::function<bool(uint32_t key, CSdoRecord& out)>& lookup)
{
    Problem problem;
    if (entries.size() > size_t(kMaxEntries)) {
        problem.abortCode = kAbortValueRange;
        problem.text = QStringLiteral("more than %1 objects").arg(kMaxEntries);
        return problem;
    }
    for (size_t i = 0; i < entries.size(); ++i) {
        const uint32_t key = EntryKey(entries[i]);
        CSdoRecord record;
        ObjectFacts facts;
        if (lookup(key, record))
            facts = FactsOf(record);
        if (EntryRefusal(facts, direction, entries[i]) == 0)
            continue;
        problem.abortCode = kAbortNotMappable;
        problem.entry = int(i);
        const QString name = QStringLiteral("%1:%2")
                                 .arg(key >> 8, 4, 16, QLatin1Char('0'))
                                 .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
                                 .toUpper();
        if (!facts.exists)
            problem.text = QStringLiteral("%1 is not in the dictionary").arg(name);
        else if (!facts.mappable)
            problem.text = QStringLiteral("%1 cannot be mapped").arg(name);
        else if (direction == Direction::Receive && !facts.writable)
            problem.text = QStringLiteral("%1 cannot be written: a receive PDO maps writable "
                                          "objects")
                               .arg(name);
        else if (direction == Direction::Transmit && !facts.readable)
            problem.text =
                QStringLiteral("%1 cannot be read: a transmit PDO maps readable objects").arg(name);
        else
            problem.text = QStringLiteral("%1 is %2 bits wide, not %3")
                               .arg(name)
                               .arg(facts.bits)
                               .arg(EntryBits(entries[i]));
        return problem;
    }
    const int bits = TotalBits(entries);
    if (bits > kMaxBits) {
        problem.abortCode = kAbortTooLong;
        problem.text =
            QStringLiteral("%1 bits, more than the %2 of one PDO").arg(bits).arg(kMaxBits);
    }
    return problem;
}

std::vector<SdoWrite> ApplyWrites(const Address& pdo, uint32_t cobId,
                                  const std::vector<uint32_t>& entries)
{
    std::vector<SdoWrite> writes;
    writes.push_back({pdo.CobIdKey(), 0x23, cobId | kCobIdInvalid});
    writes.push_back({pdo.CountKey(), 0x2F, 0});
    for (size_t i = 0; i < entries.size(); ++i)
        writes.push_back({pdo.EntryKey(int(i) + 1), 0x23, entries[i]});
    writes.push_back({pdo.CountKey(), 0x2F, uint32_t(entries.size())});
    writes.push_back({pdo.CobIdKey(), 0x23, cobId});
    return writes;
}

} // namespace Pdo
