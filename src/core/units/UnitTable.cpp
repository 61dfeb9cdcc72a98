#include "UnitTable.h"

#include "FormatKeywords.h"
#include "base/Report.h"

#include <algorithm>
#include <new>

namespace {
// Characters a formula may hold; the first one outside this set ends it.
bool InFormulaSet(QChar ch)
{
    const ushort c = ch.unicode();
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))
        return true;
    switch (c) {
    case '.':
    case 'N':
    case '*':
    case '/':
    case '+':
    case '-':
    case '[':
    case ']':
    case 's':
    case 'q':
    case 'r':
    case 't':
    case '(':
    case ')':
        return true;
    default:
        return false;
    }
}
} // namespace

QVector<CUnitRecord> CUnitTable::ParseUnitText(const QString& unitText)
{
    QVector<CUnitRecord> records;
    const int length = unitText.size();
    int pos = 0;
    int open = -1;
    for (;;) {
        // A "[" found earlier stays valid until the text before it is consumed.
        if (open < pos)
            open = unitText.indexOf(QLatin1Char('['), pos);
        const int close = unitText.indexOf(QLatin1Char(']'), pos);
        if (open < 0 || close < 0)
            break;

        // A "]" before the "[" gives a unit without a name; the text up to it is still consumed.
        const QString inner = close > open ? unitText.mid(open + 1, close - open - 1) : QString();
        const int space = inner.indexOf(QLatin1Char(' '));
        CUnitRecord record;
        record.name = space < 0 ? inner : inner.left(space);
        record.label = space < 0 ? QString() : inner.mid(space + 1);

        pos = close + 1;
        int end = pos;
        while (end < length && InFormulaSet(unitText.at(end)))
            ++end;
        record.formula = unitText.mid(pos, end - pos);
        records.push_back(record);

        // One separator follows each formula.
        pos = end < length ? end + 1 : end;
    }
    return records;
}

bool CUnitTable::GetDefaultUnit(uint32_t key, const QString& unitText, QString& name)
{
    auto it = m_entries.find(key);
    if (it == m_entries.end()) {
        try {
            Entry entry;
            entry.records = ParseUnitText(unitText);
            entry.shortText = unitText.size() < 3;
            it = m_entries.emplace(key, std::move(entry)).first;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    // A later registration reuses the entry, so an object keeps the answer it got first.
    const Entry& entry = it->second;
    if (entry.shortText)
        name = FormatKeyword::kDec;
    else if (entry.records.isEmpty())
        ReportMessage(QStringLiteral("Add default unit failure \n"));
    else
        name = entry.records.first().DisplayName();
    return true;
}

const QVector<CUnitRecord>* CUnitTable::LookupUnits(uint32_t key) const
{
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? nullptr : &it->second.records;
}

QVector<CUnitChoice> CUnitTable::UnitChoices(const QVector<CUnitRecord>& records)
{
    const QString dec = FormatKeyword::kDec;
    const QString identity = QStringLiteral("N*1");
    QVector<CUnitChoice> choices;
    for (const CUnitRecord& record : records) {
        const bool inverse = record.label == dec && record.name != dec;
        const QString shown = record.DisplayName();
        const bool keyword = FormatKeyword::Is(shown);
        if (inverse || keyword || shown.isEmpty())
            continue;
        if (std::any_of(choices.cbegin(), choices.cend(),
                        [&](const CUnitChoice& c) { return c.name == shown; }))
            continue;
        CUnitChoice choice;
        choice.name = shown;
        // The display side converts only through a labelled record; an unlabelled one shows the
        // raw value.
        choice.displayFormula = record.label.isEmpty() ? identity : record.formula;
        for (const CUnitRecord& writer : records) {
            if (writer.name != shown)
                continue;
            // The write side applies a record's formula as it stands, not its inverse: only
            // the inverse record (labelled DEC) or an identity converts a typed value back.
            if (writer.label == dec ||
                ((writer.label.isEmpty() || writer.label == shown) && writer.formula == identity)) {
                choice.writeFormula = writer.formula;
                break;
            }
        }
        choices.append(choice);
    }
    return choices;
}
