#include "BrowseList.h"

#include "dictionary/SdoDatabase.h"

#include <algorithm>

namespace {
QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString CBrowseEntry::IndexText() const
{
    return Hex(index(), 4);
}

QString CBrowseEntry::SubindexText() const
{
    return Hex(subindex(), 2);
}

CBrowseEntry CBrowseEntry::FromRecord(const CSdoRecord& record)
{
    CBrowseEntry entry;
    entry.key = MakeObjectKey(record.index & 0xFFFF, record.subindex);
    entry.name = record.name;
    entry.foldedName = record.name.toLower();
    entry.keyText = entry.IndexText() + QLatin1Char(':') + entry.SubindexText();
    entry.mappable = IsMappable(record.attribute);
    return entry;
}

void CSdoBrowseList::Fill(const CSdoDatabase& dictionary)
{
    std::vector<CBrowseEntry> entries;
    const int count = dictionary.GetCount();
    entries.reserve(size_t(std::max(count, 0)));
    CSdoRecord record;
    for (int position = 0; position < count && dictionary.GetAt(position, record); ++position)
        entries.push_back(CBrowseEntry::FromRecord(record));
    SetEntries(std::move(entries));
}

void CSdoBrowseList::SetEntries(std::vector<CBrowseEntry> entries)
{
    m_entries = std::move(entries);
    m_ordered.resize(m_entries.size());
    for (size_t i = 0; i < m_ordered.size(); ++i)
        m_ordered[i] = int(i);
    m_order = BrowseOrder::ByIndex;
    Refilter(false);
}

int CSdoBrowseList::RowOfKey(uint32_t key) const
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        if (m_entries[size_t(m_rows[row])].key == key)
            return int(row);
    }
    return -1;
}

bool CSdoBrowseList::SetOrder(BrowseOrder order)
{
    if (order == m_order)
        return false;
    m_order = order;
    const auto& entries = m_entries;
    if (order == BrowseOrder::ByIndex) {
        std::sort(m_ordered.begin(), m_ordered.end(),
                  [&](int a, int b) { return entries[size_t(a)].key < entries[size_t(b)].key; });
    } else {
        // Equal names stay in dictionary order, so the same list always sorts the same way.
        std::stable_sort(m_ordered.begin(), m_ordered.end(), [&](int a, int b) {
            return QString::compare(entries[size_t(a)].name, entries[size_t(b)].name,
                                    Qt::CaseSensitive) < 0;
        });
    }
    Refilter(false);
    return true;
}

bool CSdoBrowseList::SetFilter(const QString& text, bool mappableOnly)
{
    if (text == m_filter && mappableOnly == m_mappableOnly)
        return false;
    // Typing on narrows what is shown already: only the rows shown need looking at again.
    const bool narrowing = (mappableOnly || !m_mappableOnly) && text.startsWith(m_filter);
    m_filter = text;
    m_foldedFilter = text.toLower();
    m_mappableOnly = mappableOnly;
    Refilter(narrowing);
    return true;
}

bool CSdoBrowseList::Passes(const CBrowseEntry& entry, const QString& folded) const
{
    if (m_mappableOnly && !entry.mappable)
        return false;
    return folded.isEmpty() || entry.foldedName.contains(folded) ||
           entry.keyText.startsWith(folded, Qt::CaseInsensitive);
}

void CSdoBrowseList::Refilter(bool narrowing)
{
    const std::vector<int>& from = narrowing ? m_rows : m_ordered;
    std::vector<int> rows;
    rows.reserve(from.size());
    for (int entry : from) {
        if (Passes(m_entries[size_t(entry)], m_foldedFilter))
            rows.push_back(entry);
    }
    m_rows = std::move(rows);
}

int CBrowseFind::Next(const CSdoBrowseList& list, const QString& text)
{
    if (text.isEmpty()) {
        lastSearch.clear();
        return kNoText;
    }
    const QString folded = text.toLower();
    if (folded != lastSearch) {
        lastSearch = folded;
        lastFoundRow = kNotFound;
    }
    const int count = list.RowCount();
    const bool hadHit = lastFoundRow >= 0 && lastFoundRow < count;
    const int start = hadHit ? lastFoundRow + 1 : 0;
    // After a hit the search goes round once, so the last match leads back to the first.
    const int end = hadHit ? start + count : count;
    for (int i = start; i < end; ++i) {
        const int row = i % count;
        if (list.At(row).foldedName.contains(lastSearch)) {
            lastFoundRow = row;
            return row;
        }
    }
    return kNotFound;
}

bool IsMappable(const QString& attribute)
{
    return attribute.contains(QLatin1Char('M'));
}

QString AttributeWords(const QString& attribute)
{
    const auto has = [&](char letter) { return attribute.contains(QLatin1Char(letter)); };
    if (!has('W') && !has('L'))
        return QStringLiteral("only readable");
    QString words;
    if (has('L'))
        words += QLatin1String("real-update ");
    if (has('W'))
        words += QLatin1String("write ");
    if (has('S'))
        words += QLatin1String("save ");
    if (has('M'))
        words += QLatin1String("mapping");
    return words;
}

QString DescribeObject(const CSdoRecord& record)
{
    QString help = record.help;
    help.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    help.replace(QString::fromUtf8("。"), QString::fromUtf8("。\n"));
    const QString modbus = record.modbusAddress == 0
                               ? QStringLiteral("none")
                               : QLatin1String("0x") + Hex(record.modbusAddress, 4);
    return QStringLiteral("\n\nIndex: 0x%1\nSub Index: 0x%2\nName: %3\nData Type: %4\n"
                          "Attribute: %5\nModbus address: %6\nOperator Help:\n%7")
        .arg(Hex(record.index & 0xFFFF, 4), Hex(record.subindex, 2), record.name, record.dataType,
             AttributeWords(record.attribute), modbus, help);
}
