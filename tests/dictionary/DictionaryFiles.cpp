#include "DictionaryFiles.h"

#include <QFile>

namespace DictionaryFiles {

using TestSupport::HexField;

RecordFields NumberedRecord(int number)
{
    RecordFields f;
    // Keys 0x200000 upwards: index from 0x2000, 256 subindexes each.
    f.index = HexField(0x2000 + number / 256, 4);
    f.subindex = HexField(number % 256, 2);
    const QByteArray n = QByteArray::number(number);
    f.nameChinese = QStringLiteral("对象 ").toUtf8() + n;
    f.nameEnglish = "Object " + n;
    f.dataType = number % 2 ? "U16" : "I32";
    f.attribute = "RWL";
    f.helpChinese = QStringLiteral("帮助 ").toUtf8() + n;
    f.helpEnglish = "Help " + n;
    f.unitText = "unit " + n;
    f.modbus = HexField(number % 0x10000, 4);
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
