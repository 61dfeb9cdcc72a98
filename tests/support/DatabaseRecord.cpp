#include "DatabaseRecord.h"

#include "dictionary/DatabaseLayout.h"

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
    using namespace DatabaseLayout;
    QByteArray out;
    out.reserve(kRecordSize);
    AppendField(out, fields.index, Width(Index));
    AppendField(out, fields.subindex, Width(Subindex));
    AppendField(out, fields.nameChinese, Width(NameChinese));
    AppendField(out, fields.nameEnglish, Width(NameEnglish));
    AppendField(out, fields.dataType, Width(DataType));
    AppendField(out, fields.attribute, Width(Attribute));
    AppendField(out, fields.helpChinese, Width(HelpChinese));
    AppendField(out, fields.helpEnglish, Width(HelpEnglish));
    AppendField(out, fields.unitText, Width(UnitText));
    AppendField(out, fields.modbus, Width(Modbus));
    return out;
}

} // namespace TestSupport
