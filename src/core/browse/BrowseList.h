#pragma once

#include "dictionary/SdoRecord.h"

#include <QString>
#include <QVector>

#include <cstdint>
#include <vector>

class CSdoDatabase;

// One object as the browser lists it, with what it is sorted, found and filtered by kept ready so
// that a keystroke in the filter costs no conversions.
struct CBrowseEntry
{
    uint32_t key = 0; // index << 8 | subindex
    QString name;
    QString foldedName; // the name in lower case: finding and filtering ignore case
    QString keyText;    // "6041:00", which the filter also matches
    bool mappable = false;

    uint32_t index() const { return key >> 8; }
    uint32_t subindex() const { return key & 0xFF; }
    QString IndexText() const;    // four upper-case hexadecimal digits
    QString SubindexText() const; // two upper-case hexadecimal digits

    static CBrowseEntry FromRecord(const CSdoRecord& record);
};

enum class BrowseOrder
{
    ByIndex = 0, // (index, subindex) ascending
    ByName = 1,  // names by their character codes, upper before lower case
};

// The browser's list: every dictionary object, in dictionary order until an order is chosen,
// narrowed by a filter. Rows are the visible entries; sorting keeps its own index of entry
// numbers (n log n), so neither the order nor the filter ever moves the entries themselves.
class CSdoBrowseList
{
public:
    // Takes the dictionary in its file order; stops at the first entry it cannot fetch.
    void Fill(const CSdoDatabase& dictionary);
    void SetEntries(std::vector<CBrowseEntry> entries);

    int RowCount() const { return int(m_rows.size()); }
    int EntryCount() const { return int(m_entries.size()); }
    const CBrowseEntry& At(int row) const { return m_entries[size_t(m_rows[size_t(row)])]; }
    // The row that shows key; -1 when it is filtered out or unknown.
    int RowOfKey(uint32_t key) const;

    BrowseOrder order() const { return m_order; }
    // False when the list is in that order already: then nothing moves (right after filling, the
    // index order leaves the dictionary order as it is).
    bool SetOrder(BrowseOrder order);

    // Shows only objects whose name holds text (ignoring case) or whose key text starts with it
    // ("6041", "6041:0"); with mappableOnly only those that may be mapped into a PDO. False when
    // the filter is the one in use.
    bool SetFilter(const QString& text, bool mappableOnly);
    QString filterText() const { return m_filter; }
    bool mappableOnly() const { return m_mappableOnly; }

private:
    bool Passes(const CBrowseEntry& entry, const QString& folded) const;
    void Refilter(bool narrowing);

    std::vector<CBrowseEntry> m_entries; // dictionary order
    std::vector<int> m_ordered;          // entry numbers in the chosen order
    std::vector<int> m_rows;             // the entry numbers that pass the filter, in order
    BrowseOrder m_order = BrowseOrder::ByIndex;
    QString m_filter;
    QString m_foldedFilter;
    bool m_mappableOnly = false;
};

// Find next over the names of the rows shown. It lives as long as the program: every browser
// opened in one run carries on from where the last one stopped.
struct CBrowseFind
{
    enum : int
    {
        kNoText = -2, // empty search text: nothing searched
        kNotFound = -1,
    };
    QString lastSearch; // lower case
    int lastFoundRow = kNotFound;

    // The next row after the last hit whose name holds text (ignoring case), wrapping round to
    // the top once there was a hit; kNotFound or kNoText otherwise. A new text starts at row 0.
    int Next(const CSdoBrowseList& list, const QString& text);
};

// The attribute as words: "only readable" without W or L, else "real-update ", "write ",
// "save ", "mapping" for L, W, S and M in that order.
QString AttributeWords(const QString& attribute);
// The description pane's text for one object (lines end in "\n").
QString DescribeObject(const CSdoRecord& record);
// Whether the object may be mapped into a PDO ("M" among its attribute letters).
bool IsMappable(const QString& attribute);
