// The page-list operations of CSysData: building a page's rows from its definition file and the
// dictionary, labelling them, turning raw drive values into cell texts and cell texts into write
// requests, and the help text of an object. The list model is the only store of rows.

#include "app/IniFile.h"
#include "app/Report.h"
#include "app/SysData.h"
#include "app/TextNumbers.h"
#include "pages/FormulaText.h"

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

QVector<uint32_t> CSysData::PageDefinitionKeys(const QString& pageName, bool* fileFound) const
{
    CIniDocument doc;
    const bool found = doc.Load(sysDir + pageName + QStringLiteral(".ini"));
    if (fileFound)
        *fileFound = found;
    QVector<uint32_t> keys;
    if (!found)
        return keys;
    const int num = TextToLong(doc.Get(pageName, QStringLiteral("num"), QString(), 32));
    const int last = qMin(num, LastItemNumber(doc, pageName));
    for (int i = 1; i <= last; ++i) {
        const QString text = doc.Get(pageName, QString::number(i), QString(), 32);
        keys.append(static_cast<uint32_t>(HexTextToInt(text)));
    }
    return keys;
}

void CSysData::LoadPageDefinition(CPageListModel& list, const QString& pageName, HWND hwnd)
{
    // No page file: an empty page.
    const QVector<uint32_t> keys = PageDefinitionKeys(pageName);
    QStringList missing;
    for (int i = 0; i < keys.size(); ++i) {
        CSdoRecord record;
        if (!dictionary.Lookup(keys[i], record))
            missing.append(QStringLiteral("%1").arg(keys[i], 6, 16, QLatin1Char('0')).toUpper());
        AddPageItem(list, keys[i], i, hwnd, true);
    }
    // A row that silently vanished would look like a drive without the object.
    if (!missing.isEmpty())
        ReportMessage(QStringLiteral("%1.ini lists objects that are not in the dictionary: %2")
                          .arg(pageName, missing.join(QStringLiteral(", "))));
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
    list.SetSelected(at, false);
    list.SetFocused(at, false);
    list.SetCut(at, true);
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

void CSysData::DeleteSelectedRows(CPageListModel& list)
{
    for (;;) {
        const int row = list.GetNextSelected(-1);
        if (row < 0)
            return;
        const bool more = list.GetNextSelected(row) >= 0;
        list.DeleteItem(row);
        RenumberRows(list, row);
        if (!more)
            return;
    }
}

bool CSysData::RawToValue(const QString& dataType, uint32_t raw, double& value)
{
    const int bits = DataTypeBits(dataType);
    if (dataType.isEmpty() || (bits != 8 && bits != 16 && bits != 32))
        return false;
    if (DataTypeIsUnsigned(dataType)) {
        // Cut to the type, so that a reply wider than the object shows the same number in
        // decimal as in hexadecimal.
        value = TypeWidthOf(dataType).mask(raw);
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
    // A formula that divides by zero or overflows has no number to show.
    if (!std::isfinite(value))
        return QStringLiteral("????");
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
    return ThreeDecimals(value);
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
