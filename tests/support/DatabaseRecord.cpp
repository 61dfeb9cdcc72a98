#include "DatabaseRecord.h"

namespace TestSupport {

namespace {
void AppendField(QByteArray& out, const QByteArray& value, int width)
{
    const QByteArray cut = value.left(width);
    out.append(cut);
    out.append(width - cut.size(), '\0');
}
} // namespace

QByteArray HexField(uint32_t value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0', true);
}

QByteArray BuildDatabaseRecord(const DatabaseRecordFields& fields)
{
    QByteArray out;
    out.reserve(4514);
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

} // namespace TestSupport
