#include "DictionaryFiles.h"

#include <QFile>

namespace DictionaryFiles {

namespace {
void AppendField(QByteArray& out, const QByteArray& value, int width)
{
    const QByteArray cut = value.left(width);
    out.append(cut);
    out.append(width - cut.size(), '\0');
}

QByteArray Hex(int value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0', true);
}
} // namespace

QByteArray BuildRecord(const RecordFields& fields)
{
    QByteArray out;
    out.reserve(CSdoDatabase::kRecordSize);
    AppendField(out, fields.index, 4);
    AppendField(out, fields.subindex, 2);
    AppendField(out, fields.nameChinese, 64);
    AppendField(out, fields.nameEnglish, 64);
    AppendField(out, fields.dataType, 16);
    AppendField(out, fields.attribute, 8);
    AppendField(out, fields.helpChinese, 2048);
    AppendField(out, fields.helpEnglish, 2048);
    AppendField(out, fields.unitText, 256);
    AppendField(out, fields.modbus, 4);
    return out;
}

RecordFields NumberedRecord(int number)
{
    RecordFields f;
    // Keys 0x200000 upwards: index from 0x2000, 256 subindexes each.
    f.index = Hex(0x2000 + number / 256, 4);
    f.subindex = Hex(number % 256, 2);
    const QByteArray n = QByteArray::number(number);
    f.nameChinese = QStringLiteral("对象 ").toUtf8() + n;
    f.nameEnglish = "Object " + n;
    f.dataType = number % 2 ? "U16" : "I32";
    f.attribute = "RWL";
    f.helpChinese = QStringLiteral("帮助 ").toUtf8() + n;
    f.helpEnglish = "Help " + n;
    f.unitText = "unit " + n;
    f.modbus = Hex(number % 0x10000, 4);
    return f;
}

CSdoRecord ExpectedRecord(int number, bool chinese)
{
    const RecordFields f = NumberedRecord(number);
    CSdoRecord r;
    r.index = 0x2000 + uint32_t(number) / 256;
    r.subindex = uint8_t(number % 256);
    r.key = MakeObjectKey(r.index, r.subindex);
    r.name = QString::fromUtf8(chinese ? f.nameChinese : f.nameEnglish);
    r.dataType = QString::fromUtf8(f.dataType);
    r.attribute = QString::fromUtf8(f.attribute);
    r.help = QString::fromUtf8(chinese ? f.helpChinese : f.helpEnglish);
    r.unitText = QString::fromUtf8(f.unitText);
    r.modbusAddress = uint32_t(number) % 0x10000;
    return r;
}

bool SameRecord(const CSdoRecord& a, const CSdoRecord& b)
{
    return a.key == b.key && a.index == b.index && a.subindex == b.subindex && a.name == b.name &&
           a.dataType == b.dataType && a.attribute == b.attribute && a.help == b.help &&
           a.unitText == b.unitText && a.modbusAddress == b.modbusAddress;
}

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QString CFakeHost::SysIniPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sysIni;
}

QString CFakeHost::DatabasePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_database;
}

void CFakeHost::SetPaths(const QString& sysIni, const QString& database)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sysIni = sysIni;
    m_database = database;
}

} // namespace DictionaryFiles
