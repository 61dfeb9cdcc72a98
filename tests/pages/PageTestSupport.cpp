#include "PageTestSupport.h"

#include "DatabaseRecord.h"

#include <QFile>

namespace PageTest {

namespace {
using TestSupport::HexField;

// One database record; both languages carry the same texts.
QByteArray DatabaseRecord(const ObjectDef& object)
{
    TestSupport::DatabaseRecordFields fields;
    fields.index = HexField(object.key >> 8, 4);
    fields.subindex = HexField(object.key & 0xFF, 2);
    fields.nameChinese = fields.nameEnglish = object.name;
    fields.dataType = object.dataType;
    fields.attribute = object.attribute;
    fields.helpChinese = fields.helpEnglish = object.help;
    fields.unitText = object.unitText;
    fields.modbus = HexField(object.modbus, 4);
    return TestSupport::BuildDatabaseRecord(fields);
}

ObjectDef Object(uint32_t key, const char* name, const char* type, const char* attribute,
                 const QByteArray& value = "0", const QByteArray& unit = QByteArray())
{
    ObjectDef object;
    object.key = key;
    object.name = name;
    object.dataType = type;
    object.attribute = attribute;
    object.value = value;
    object.unitText = unit;
    object.help = QByteArray("Help of ") + name;
    return object;
}
} // namespace

QVector<ObjectDef> StandardObjects()
{
    QVector<ObjectDef> objects;
    ObjectDef status = Object(0x604100, "Statusword", "U16", "RL", "0");
    status.help =
        QStringLiteral("Shows the drive state。Bit 3 is the fault bit.\nRead only.").toUtf8();
    objects.append(status);
    ObjectDef maxSpeed = Object(kMaxSpeed, "Max speed", "U16", "RW", "3000");
    maxSpeed.modbus = 0x1A2B;
    objects.append(maxSpeed);
    objects.append(Object(kBusVoltage, "Bus voltage", "U16", "R", "310"));
    objects.append(Object(kGain, "Gain", "I16", "RW", "-5"));
    objects.append(Object(kModeByte, "Mode byte", "U8", "RW", "1"));
    objects.append(Object(kTag, "Tag", "U32", "RW", "0"));
    objects.append(Object(kOffset, "Offset", "I32", "RW", "0", "[x10]N*10"));
    objects.append(Object(kSpeed, "Speed", "I32", "RW", "8192", "[c cnt]N*1,[r rpm]N*60/4096"));
    objects.append(Object(kTemperature, "Temperature", "I16", "RL", "25"));
    objects.append(Object(kDeviceName, "Device name", "VISIBLE STRING", "R", "Drivara-X1"));
    objects.append(Object(kSerialText, "Serial text", "VISIBLE STRING", "R", "ABCDEFGHIJKLMN"));
    objects.append(Object(kEmptyText, "Empty text", "VISIBLE STRING", "R", ""));
    objects.append(Object(kOddWidth, "Odd width", "U24", "RW", ""));
    for (int n = 1; n <= kSeriesCount; ++n) {
        const QByteArray name = "Series " + QByteArray::number(n);
        ObjectDef series = Object(SeriesKey(n), "", "U16", "RW", QByteArray::number(3 * n));
        series.name = name;
        series.help = "Help of " + name;
        objects.append(series);
    }
    return objects;
}

CPageInstall::CPageInstall(const QVector<ObjectDef>& objects)
{
    QByteArray database;
    QByteArray defaults;
    for (const ObjectDef& object : objects) {
        database.append(DatabaseRecord(object));
        defaults.append(HexField(object.key, 6) + '\t' + object.dataType + '\t' + object.attribute +
                        '\t' + object.value + '\n');
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

std::unique_ptr<CSysData> MakeSysData(const CPageInstall& install)
{
    CSysDataOptions options;
    options.baseDir = install.base();
    auto sys = std::make_unique<CSysData>(options);
    sys->dictionary.WaitUntilLoaded(60000);
    sys->titleName = QStringLiteral("name");
    sys->titleData = QStringLiteral("data");
    sys->titleUnit = QStringLiteral("unit");
    sys->columnWidths[0] = 257;
    sys->columnWidths[1] = 115;
    sys->columnWidths[2] = 105;
    return sys;
}

CMessageRecorder::CMessageRecorder()
{
    m_previous = SetMessageSink([this](const QString& text, MessageKind kind) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.push_back({text, kind});
    });
}

std::vector<CMessageRecorder::Entry> CMessageRecorder::Entries() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_entries;
}

CMessageRecorder::~CMessageRecorder()
{
    SetMessageSink(m_previous);
}

int CProbeWindow::Count(unsigned message) const
{
    int count = 0;
    for (const Message& m : messages)
        count += m.message == message ? 1 : 0;
    return count;
}

QStringList Labels(const CPageListModel& list)
{
    return Column(list, CPageListModel::ColLabel);
}

QStringList Column(const CPageListModel& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts.append(list.GetItemText(row, column));
    return texts;
}

} // namespace PageTest
