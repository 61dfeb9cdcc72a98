// The page-list operations of CSysData: building a page's rows from its definition file and the
// dictionary, labelling them, turning raw drive values into cell texts and cell texts into write
// requests, and the help text of an object. The list model is the only store of rows.

#include "app/IniFile.h"
#include "app/Report.h"
#include "app/SysData.h"
#include "app/TextNumbers.h"

#include <algorithm>
#include <cmath>

namespace {
using Col = CPageListModel::Column;

constexpr uint8_t kSdoRead = 0x40;
const QString kDec = QStringLiteral("DEC");
const QString kHex = QStringLiteral("HEX");
const QString kAscii = QStringLiteral("ASCII");

bool IsWritable(const QString& attribute)
{
    return attribute.contains(QLatin1Char('W'));
}

QString RowLabel(int number, bool writable)
{
    return writable ? QString::number(number) : QString::number(number) + QLatin1Char('*');
}

// The value truncated toward zero and wrapped to 32 bits, as the integer displays take it; a
// value beyond any integer (infinity, NaN) shows as 0 rather than being undefined.
uint32_t TruncateTo32(double value)
{
    if (!std::isfinite(value))
        return 0;
    double wrapped = std::fmod(std::trunc(value), 4294967296.0);
    if (wrapped < 0)
        wrapped += 4294967296.0;
    return static_cast<uint32_t>(wrapped);
}

QString FormatDecimal(uint32_t n, const QString& dataType)
{
    switch (DataTypeBits(dataType)) {
    case 8:
    case 16:
        return QString::number(static_cast<int32_t>(n));
    case 32:
        return DataTypeIsUnsigned(dataType) ? QString::number(n)
                                            : QString::number(static_cast<int32_t>(n));
    default:
        return QStringLiteral("???");
    }
}

int BytesOfType(const QString& dataType)
{
    const int bits = DataTypeBits(dataType);
    return (bits == 8 || bits == 16 || bits == 32) ? bits / 8 : 0;
}

// The largest item number a page file can hold: a "num" far beyond its keys would otherwise
// spin through millions of empty look-ups.
int LastItemNumber(const CIniDocument& doc, const QString& section)
{
    int last = 0;
    for (const QString& key : doc.Keys(section)) {
        bool ok = false;
        const int number = key.trimmed().toInt(&ok);
        if (ok && number > last)
            last = number;
    }
    return last;
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

void CSysData::LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd)
{
    CIniDocument doc;
    if (!doc.Load(sysDir + pageName + QStringLiteral(".ini")))
        return; // no page file: an empty page
    const int num = TextToLong(doc.Get(pageName, QStringLiteral("num"), QString(), 32));
    const int last = qMin(num, LastItemNumber(doc, pageName));
    for (int i = 1; i <= last; ++i) {
        const QString text = doc.Get(pageName, QString::number(i), QString(), 32);
        const uint32_t key = static_cast<uint32_t>(HexTextToInt(text));
        AddPageItem(list, key, i - 1, hwnd, true);
    }
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
        link.Request(hwnd, kSdoRead, key, 0);
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

bool CSysData::RawToValue(const QString& dataType, uint32_t raw, double& value)
{
    const int bits = DataTypeBits(dataType);
    if (dataType.isEmpty() || (bits != 8 && bits != 16 && bits != 32))
        return false;
    if (DataTypeIsUnsigned(dataType)) {
        value = raw; // not masked to the type's size
        return true;
    }
    const int64_t wide = raw;
    switch (bits) {
    case 32:
        value = static_cast<int32_t>(raw);
        break;
    case 16:
        value = static_cast<double>(raw >= 0x8000 ? wide - 0x10000 : wide);
        break;
    default:
        value = static_cast<double>(raw >= 0x80 ? wide - 0x100 : wide);
        break;
    }
    return true;
}

QString CSysData::FormatValue(const QString& format, const QString& dataType,
                              const QString& formula, double value)
{
    const uint32_t n = TruncateTo32(value);
    if (format == kAscii) {
        const int bytes = BytesOfType(dataType);
        if (bytes == 0)
            return QStringLiteral("???");
        // One character per byte (Latin-1), so that the write side, which takes one byte per
        // character, gives back the same value.
        QString text;
        for (int i = 0; i < bytes; ++i) {
            const uint32_t byte = (n >> (8 * i)) & 0xFF;
            if (byte == 0)
                break;
            text.append(QChar(static_cast<ushort>(byte)));
        }
        return text;
    }
    if (format == kHex) {
        switch (DataTypeBits(dataType)) {
        case 8:
            return QString::number(n & 0xFF, 16);
        case 16:
            return QString::number(n & 0xFFFF, 16);
        case 32:
            return QString::number(n, 16);
        default:
            return QStringLiteral("???");
        }
    }
    // An empty format shows decimal, as an empty unit is written as decimal.
    if (format == kDec || format.isEmpty() || formula == QLatin1String("N*1"))
        return FormatDecimal(n, dataType);
    return QString::number(value, 'f', 3);
}

uint8_t CSysData::WriteCommandForType(const QString& dataType)
{
    switch (DataTypeBits(dataType)) {
    case 8:
        return 0x2F;
    case 16:
        return 0x2B;
    case 32:
        return 0x23;
    default:
        return 0;
    }
}

void CSysData::WriteItem(HWND hwnd, const CPageListModel& list, int row)
{
    if (row < 0 || row >= list.GetItemCount())
        return;
    const QString unit = list.GetItemText(row, Col::ColUnit);
    const QString dataType = list.GetItemText(row, Col::ColDataType);
    const QString text = list.GetItemText(row, Col::ColValue);
    const uint32_t key = static_cast<uint32_t>(TextToLong(list.GetItemText(row, Col::ColKey)));
    const uint8_t command = WriteCommandForType(dataType);

    if (unit == kAscii) {
        const int bytes = BytesOfType(dataType);
        if (bytes == 0 || text.size() != bytes)
            return;
        uint32_t raw = 0;
        for (int i = 0; i < bytes; ++i)
            raw += static_cast<uint32_t>(text.at(i).unicode()) << (8 * i);
        link.Request(hwnd, command, key, raw);
    } else if (unit == kDec || unit.isEmpty()) {
        link.Request(hwnd, command, key, static_cast<uint32_t>(TextToLong(text)));
    } else if (unit == kHex) {
        if (command != 0)
            link.Request(hwnd, command, key, static_cast<uint32_t>(HexTextToInt(text)));
    } else {
        WriteThroughFormula(hwnd, key, unit, dataType, text);
    }
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
