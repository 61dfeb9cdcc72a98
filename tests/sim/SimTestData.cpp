#include "SimTestData.h"

#include <QFile>

namespace SimTestData {

namespace {

struct Row
{
    uint32_t key;
    const char* type;
    const char* attribute;
    const char* value; // as in the defaults file (strings escaped)
};

const Row kRows[] = {
    {0x604100, "UNSIGNED16", "RL", "0"},
    {0x260001, "UNSIGNED16", "RW", "65535"},
    {0x260002, "UNSIGNED16", "RW", "65535"},
    {0x260100, "UNSIGNED16", "RL", "0"},
    {0x260200, "UNSIGNED16", "RL", "0"},
    {0x2FF001, "UNSIGNED8", "RW", "0"},
    {0x2FF003, "UNSIGNED8", "RW", "0"},
    {0x2FFF00, "U16", "W", "0"},
    {0x60FF00, "INTEGER32", "RWL", "1000"},
    {0x606C00, "INTEGER32", "RL", "0"},
    {0x606400, "INTEGER32", "RL", "0"},
    {0x201001, "U16", "RWS", "0"},
    {0x201002, "U16", "RW", "0"},
    {0x20100B, "U16", "RL", "1"},
    {0x20100C, "U16", "RL", "1"},
    {0x201015, "U16", "RW", "0"},
    {0x608100, "U32", "RWSM", "5000"},
    {0x200100, "I16", "RWS", "-5"},
    {0x200200, "UNSIGNED8", "RW", "7"},
    {0x200400, "INTEGER8", "R", "-2"},
    {0x100800, "VISIBLE STRING", "R", "ABCDEFG"},           // 7
    {0x100900, "VISIBLE STRING", "R", "ABCDEFGHIJKLMN"},    // 14
    {0x100A00, "VISIBLE STRING", "R", "V1\\t2\\\\3\\n456"}, // 10 after unescaping
    {0x100B00, "VISIBLE STRING", "R", ""},
    {0x230001, "UNSIGNED32", "RW", "0"},
    {0x230002, "UNSIGNED32", "RW", "0"},
    {0x230003, "UNSIGNED32", "RW", "0"},
    {0x230004, "UNSIGNED32", "RW", "0"},
    {0x230005, "UNSIGNED32", "RW", "0"},
    {0x230006, "UNSIGNED32", "RW", "0"},
    {0x230007, "UNSIGNED8", "RW", "0"},
    {0x230008, "UNSIGNED16", "RW", "16"},
    {0x230009, "INTEGER16", "RW", "0"},
    {0x23000A, "UNSIGNED16", "RW", "100"},
    {0x23000B, "UNSIGNED8", "RW", "1"},
    {0x23000C, "UNSIGNED32", "RW", "0"},
    {0x23000D, "INTEGER32", "RW", "0"},
    {0x230010, "DOMAIN", "R", ""},
};

void Put(QByteArray& record, int offset, int width, const QByteArray& text)
{
    record.replace(offset, int(std::min<qsizetype>(width, text.size())), text.left(width));
}

} // namespace

QByteArray DictionaryRecord(uint32_t key, const QByteArray& type, const QByteArray& attribute)
{
    QByteArray record(4514, '\0');
    Put(record, 0, 4, QByteArray::number(key >> 8, 16).rightJustified(4, '0').toUpper());
    Put(record, 4, 2, QByteArray::number(key & 0xFF, 16).rightJustified(2, '0').toUpper());
    Put(record, 70, 64, "Object " + QByteArray::number(key, 16));
    Put(record, 134, 16, type);
    Put(record, 150, 8, attribute);
    Put(record, 4510, 4, "0000");
    return record;
}

bool WriteDataDir(const QString& dir)
{
    QByteArray dictionary;
    QByteArray defaults = "# key\ttype\tattribute\tvalue\n";
    for (const Row& row : kRows) {
        dictionary += DictionaryRecord(row.key, row.type, row.attribute);
        defaults += QByteArray::number(row.key, 16).rightJustified(6, '0').toUpper() + '\t' +
                    row.type + '\t' + row.attribute + '\t' + row.value + '\n';
    }
    dictionary += DictionaryRecord(kDictionaryOnly, "UNSIGNED16", "RW");
    // Lines the drive must skip without giving up on the rest.
    defaults += "not a line\n\nZZZZZZ\tUNSIGNED8\tRW\t1\n";

    QFile dat(dir + QStringLiteral("/velmor.dat"));
    QFile tsv(dir + QStringLiteral("/velmor-defaults.tsv"));
    return dat.open(QIODevice::WriteOnly) && dat.write(dictionary) == dictionary.size() &&
           tsv.open(QIODevice::WriteOnly) && tsv.write(defaults) == defaults.size();
}

Sdo Request(uint8_t command, uint32_t key, uint32_t value)
{
    return Sdo{command,
               static_cast<uint8_t>(key >> 8),
               static_cast<uint8_t>(key >> 16),
               static_cast<uint8_t>(key),
               static_cast<uint8_t>(value),
               static_cast<uint8_t>(value >> 8),
               static_cast<uint8_t>(value >> 16),
               static_cast<uint8_t>(value >> 24)};
}

} // namespace SimTestData
