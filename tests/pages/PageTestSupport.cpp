#include "PageTestSupport.h"

#include "DatabaseRecord.h"

#include <QFile>

#include <tuple>

namespace PageTest {

CPageInstall::CPageInstall()
{
    // key, name, data type, attribute, the virtual drive's starting value (the text itself for
    // strings), unit text.
    // clang-format off
    QVector<std::tuple<uint32_t, QByteArray, QByteArray, QByteArray, QByteArray, QByteArray>> objects = {
        {0x604100, "Statusword", "U16", "RL", "0", ""}, {kMaxSpeed, "Max speed", "U16", "RW", "3000", ""},
        {kBusVoltage, "Bus voltage", "U16", "R", "310", ""}, {kGain, "Gain", "I16", "RW", "-5", ""},
        {kModeByte, "Mode byte", "U8", "RW", "1", ""}, {kTag, "Tag", "U32", "RW", "0", ""},
        {kOffset, "Offset", "I32", "RW", "0", "[x10]N*10"},
        {kSpeed, "Speed", "I32", "RW", "8192", "[c cnt]N*1,[r rpm]N*60/4096"},
        {kTemperature, "Temperature", "I16", "RL", "25", ""},
        {kDeviceName, "Device name", "VISIBLE STRING", "R", "Drivara-X1", ""},
        {kSerialText, "Serial text", "VISIBLE STRING", "R", "ABCDEFGHIJKLMN", ""},
        {kEmptyText, "Empty text", "VISIBLE STRING", "R", "", ""}, {kOddWidth, "Odd width", "U24", "RW", "", ""},
        {kBrokenUnit, "Broken unit", "U16", "RW", "0", "rpm"}};
    // clang-format on
    for (int n = 1; n <= 5; ++n)
        objects.append({kSeries + n, "Series " + QByteArray::number(n), "U16", "RW",
                        QByteArray::number(3 * n), ""});
    using TestSupport::HexField;
    QByteArray database;
    QByteArray defaults;
    for (const auto& [key, name, dataType, attribute, value, unitText] : objects) {
        // Both languages carry the same texts.
        const QByteArray help =
            key == 0x604100
                ? QByteArray("Shows the drive state。Bit 3 is the fault bit.\nRead only.")
                : "Help of " + name;
        database.append(TestSupport::BuildDatabaseRecord(
            {HexField(key >> 8, 4), HexField(key & 0xFF, 2), name, name, dataType, attribute, help,
             help, unitText, key == kMaxSpeed ? "1A2B" : "0000"}));
        defaults.append(HexField(key, 6) + '\t' + dataType + '\t' + attribute + '\t' + value +
                        '\n');
    }
    WriteRaw(QStringLiteral("data/velmor.dat"), database);
    WriteRaw(QStringLiteral("data/velmor-defaults.tsv"), defaults);
}

bool CPageInstall::WriteRaw(const QString& relative, const QByteArray& bytes) const
{
    // The shipped files are links into the build tree: drop the link, never write through it.
    QFile::remove(path(relative));
    return writeFile(relative, bytes);
}

bool CPageInstall::WritePage(const QString& name, const QStringList& items,
                             const QString& num) const
{
    QString text = QStringLiteral("[%1]\nnum=%2\n")
                       .arg(name, num.isNull() ? QString::number(items.size()) : num);
    for (int i = 0; i < items.size(); ++i)
        text += QStringLiteral("%1=%2\n").arg(i + 1).arg(items.at(i));
    return WriteRaw(QStringLiteral("sys/") + name + QStringLiteral(".ini"), text.toUtf8());
}

bool CPageInstall::WritePage(const QString& name, std::initializer_list<uint32_t> keys) const
{
    QStringList items;
    for (uint32_t key : keys)
        items.append(Hex(key));
    return WritePage(name, items);
}

std::unique_ptr<CSysData> MakeSysData(const CPageInstall& install)
{
    auto sys = std::make_unique<CSysData>(CSysDataOptions{install.base()});
    sys->dictionary.WaitUntilLoaded(60000);
    sys->columnWidths[0] = 257;
    return sys;
}

QStringList Column(const CPageListModel& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < CPageListModel::ColumnCount; ++c)
            if (column < 0 || c == column)
                cells.append(list.GetItemText(row, c));
        texts.append(cells.join(QLatin1Char('|')));
    }
    return texts;
}

} // namespace PageTest
