// The page-list operations of CSysData: building a page's rows from its definition file and the
// dictionary, labelling them, turning raw drive values into cell texts and cell texts into write
// requests, and the help text of an object. The list model is the only store of rows.

#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "base/TextNumbers.h"
#include "comm/SdoFrame.h"
#include "pages/ValueFormat.h"
#include "units/FormatKeywords.h"
#include "units/FormulaText.h"

#include <algorithm>
#include <cmath>

namespace {
using Col = CPageListModel::Column;

const QString kDec = FormatKeyword::kDec;
const QString kHex = FormatKeyword::kHex;
const QString kAscii = FormatKeyword::kAscii;

bool IsWritable(const QString& attribute)
{
    return attribute.contains(QLatin1Char('W'));
}

QString RowLabel(int number, bool writable)
{
    return writable ? QString::number(number) : QString::number(number) + QLatin1Char('*');
}

// "num" of a page file: decimal digits only, at least 1. Anything else is a damaged file, not a
// page with no items.
int ItemCount(const QString& text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    bool ok = false;
    const int count = text.toInt(&ok);
    return ok ? count : 0;
}

QString KeyText(uint32_t key)
{
    return QStringLiteral("%1").arg(key & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}
} // namespace

void CSysData::InitParamList(CPageListModel& list)
{
    list.SetExtendedStyle(list.ExtendedStyle() | CPageListModel::StyleGridLines |
                          CPageListModel::StyleFullRowSelect);
    QVector<CPageListModel::ColumnSpec> columns(CPageListModel::ColumnCount);
    columns[Col::ColLabel] = {QString(), 50, true, false};
    columns[Col::ColKey] = {QStringLiteral("ID"), 0, true, false};
    columns[Col::ColName] = {titleName, columnWidths[0], true, false};
    columns[Col::ColDataType] = {QStringLiteral("DataType"), 0, false, false};
    columns[Col::ColValue] = {titleData, columnWidths[1], false, false};
    columns[Col::ColAttribute] = {QStringLiteral("Attribute"), 0, false, false};
    columns[Col::ColUnit] = {titleUnit, columnWidths[2], false, true};
    list.SetColumns(columns);
}

CPageDefinition CSysData::ReadPageDefinition(const QString& pageName) const
{
    CPageDefinition definition;
    const QString path = sysDir + pageName + QStringLiteral(".ini");
    CIniDocument doc;
    definition.fileFound = doc.Load(path);
    if (!definition.fileFound) {
        definition.problem = QStringLiteral("%1 is missing").arg(path);
        return definition;
    }
    QString numText;
    const bool hasNum = doc.Value(pageName, QStringLiteral("num"), numText);
    const int num = ItemCount(numText);
    if (num <= 0) {
        definition.problem =
            hasNum ? QStringLiteral("%1: num=%2 in section [%3] is not a number of items (a whole "
                                    "number from 1 up)")
                         .arg(path, numText, pageName)
                   : QStringLiteral("%1: section [%2] has no num (the number of items)")
                         .arg(path, pageName);
        return definition;
    }
    QStringList unknown;
    for (int i = 1; i <= num; ++i) {
        QString text;
        // Stops at the first gap: a "num" far beyond the items must not cost a look-up each.
        if (!doc.Value(pageName, QString::number(i), text) || text.isEmpty()) {
            definition.problem =
                QStringLiteral("%1: num=%2 in section [%3], but item %4 is missing or empty")
                    .arg(path, numText, pageName)
                    .arg(i);
            definition.keys.clear();
            return definition;
        }
        // The values are read as the program always read them: hexadecimal digits, the rest
        // skipped, at most 31 characters.
        const uint32_t key = static_cast<uint32_t>(HexTextToInt(text.left(31)));
        CSdoRecord record;
        if (!dictionary.Lookup(key, record))
            unknown.append(QStringLiteral("%1 (item %2)").arg(KeyText(key)).arg(i));
        definition.keys.append(key);
    }
    if (!unknown.isEmpty()) {
        definition.problem =
            dictionary.GetCount() == 0
                ? QStringLiteral("%1 cannot be shown: the dictionary is empty").arg(path)
                : QStringLiteral("%1 lists objects that are not in the dictionary: %2")
                      .arg(path, unknown.join(QStringLiteral(", ")));
        definition.keys.clear();
    }
    return definition;
}

bool CSysData::LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd)
{
    // A damaged page file is refused whole, before any of its rows asks the drive for a value:
    // a page with rows silently missing would look like a drive without those objects.
    const CPageDefinition definition = ReadPageDefinition(pageName);
    if (!definition.problem.isEmpty()) {
        ReportMessage(definition.problem);
        return false;
    }
    for (int i = 0; i < definition.keys.size(); ++i)
        AddPageItem(list, definition.keys[i], i, hwnd, true);
    return true;
}

void CSysData::AddPageItem(CPageListModel& list, uint32_t key, int row, HWND hwnd,
                           bool includeStrings)
{
    if (ItemExists(list, key))
        return;
    CSdoRecord record;
    if (!dictionary.Lookup(key, record))
        return;
    if (!includeStrings && record.dataType.toUpper() == QLatin1String("VISIBLE STRING"))
        return;
    QString unit;
    if (!unitTable.GetDefaultUnit(key, record.unitText, unit))
        return;

    const bool writable = IsWritable(record.attribute);
    if (record.attribute.contains(QLatin1Char('L')))
        link.AddLoop(hwnd, key, writable ? 2 : 1);

    // A position past the end appends; the label keeps the file's item number until the rows
    // are next renumbered.
    const int at = list.InsertItem(row, RowLabel(row + 1, writable));
    list.SetItemText(at, Col::ColKey, QString::number(key));
    list.SetItemText(at, Col::ColName, record.name);
    list.SetItemText(at, Col::ColDataType, record.dataType);
    list.SetItemText(at, Col::ColAttribute, record.attribute);
    list.SetItemText(at, Col::ColUnit, unit);

    if (connected == 1)
        link.Request(hwnd, SdoFrame::kRead, key, 0);
    RenumberRows(list, row);
}

bool CSysData::ItemExists(const CPageListModel& list, uint32_t key) const
{
    return list.RowOfKey(key) >= 0;
}

QString CSysData::FindItemRow(const CPageListModel& list, uint32_t key, QString& dataType,
                              int& row) const
{
    row = key == 0 ? -1 : list.RowOfKey(key);
    if (row < 0)
        return {};
    dataType = list.GetItemText(row, Col::ColDataType);
    return list.GetItemText(row, Col::ColUnit);
}

void CSysData::RenumberRows(CPageListModel& list, int first)
{
    for (int r = qMax(first, 0); r < list.GetItemCount(); ++r)
        list.SetItemText(r, Col::ColLabel,
                         RowLabel(r + 1, IsWritable(list.GetItemText(r, Col::ColAttribute))));
}

void CSysData::RenumberRowsFrom(CPageListModel& list, int base)
{
    for (int r = 0; r < list.GetItemCount(); ++r) {
        const bool readOnly = list.GetItemText(r, Col::ColLabel).contains(QLatin1Char('*'));
        list.SetItemText(r, Col::ColLabel, RowLabel(r + base, !readOnly));
    }
}

void CSysData::DeleteSelectedRows(CPageListModel& list, QVector<int> selectedRows)
{
    // From the bottom up, so that the rows still to go keep their numbers; the labels then
    // follow on from the topmost deleted row.
    std::sort(selectedRows.begin(), selectedRows.end());
    selectedRows.erase(std::unique(selectedRows.begin(), selectedRows.end()), selectedRows.end());
    int first = -1;
    for (auto it = selectedRows.crbegin(); it != selectedRows.crend(); ++it) {
        if (list.DeleteItem(*it))
            first = *it;
    }
    if (first >= 0)
        RenumberRows(list, first);
}

void CSysData::WriteItem(HWND hwnd, const CPageListModel& list, int row)
{
    if (row < 0 || row >= list.GetItemCount())
        return;
    const uint32_t key = static_cast<uint32_t>(TextToLong(list.GetItemText(row, Col::ColKey)));
    // Text that is no number of the object's type in the row's unit writes nothing: the operator
    // is told what is accepted instead of the drive getting a value nobody typed.
    const CRawWrite write =
        PrepareWrite(hwnd, key, list.GetItemText(row, Col::ColUnit),
                     list.GetItemText(row, Col::ColDataType), list.GetItemText(row, Col::ColValue));
    if (write.outcome == CRawWrite::Ready)
        link.Request(hwnd, write.command, key, write.raw);
    else if (write.outcome == CRawWrite::Refused)
        ReportMessage(write.error);
}

QString CSysData::ObjectHelpText(uint32_t key) const
{
    CSdoRecord record;
    if (!dictionary.Lookup(key, record))
        return {};
    QString text =
        QStringLiteral("Index: 0x") +
        QString::asprintf("%04x%02x", record.index & 0xFFFF, unsigned(record.subindex)).toUpper();
    text += QStringLiteral("\r\nName: ") + record.name;
    text += QStringLiteral("\r\nData Type: ") + record.dataType + QStringLiteral("  ") +
            record.attribute;
    if (record.modbusAddress != 0)
        text += QString::asprintf("\r\nModbus address: 0x%04X", record.modbusAddress);
    else
        text += QStringLiteral("\r\nModbus address: none");
    QString help = record.help;
    help.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    help.replace(QStringLiteral("。"), QStringLiteral("。\r\n"));
    text += QStringLiteral("\r\nOperator Help:\r\n") + help;
    return text;
}

void CSysData::ShowObjectHelp(uint32_t key) const
{
    const QString text = ObjectHelpText(key);
    if (!text.isEmpty())
        ReportMessage(text, MessageKind::Information);
}
