#include "EdsDictionary.h"

#include "ObjectMeanings.h"
#include "dictionary/DatabaseLayout.h"

using namespace DatabaseLayout;

namespace {

// Cuts a text to fit a NUL-padded field, never inside a UTF-8 sequence.
QByteArray FitText(const QString& text, Field field)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() < Width(field))
        return bytes;
    int end = Width(field) - 1;
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

void Append(QByteArray& record, const QByteArray& text, Field field)
{
    const int width = Width(field);
    record.append(text.left(width));
    record.append(width - qMin<int>(int(text.size()), width), '\0');
}

QByteArray Hex(uint32_t value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

} // namespace

namespace Eds {

CEdsDictionary BuildDictionary(const CEdsDevice& device)
{
    CEdsDictionary out;
    const bool drive = ObjectMeanings::IsDriveProfile(device);
    for (const CEdsObject& object : device.objects) {
        const QByteArray name = FitText(object.name, NameEnglish);
        const QByteArray help = FitText(ObjectMeanings::Help(object, drive), HelpEnglish);
        const QByteArray type = object.dataType.toLatin1();
        const QByteArray attribute = object.AttributeLetters().toLatin1();
        Append(out.database, Hex(object.index, Width(Index)), Index);
        Append(out.database, Hex(object.subindex, Width(Subindex)), Subindex);
        Append(out.database, name, NameChinese);
        Append(out.database, name, NameEnglish);
        Append(out.database, type, DataType);
        Append(out.database, attribute, Attribute);
        Append(out.database, help, HelpChinese);
        Append(out.database, help, HelpEnglish);
        Append(out.database, FitText(ObjectMeanings::UnitText(object, drive), UnitText), UnitText);
        Append(out.database, Hex(0, Width(Modbus)), Modbus);

        out.defaults += Hex(object.key(), 6) + '\t' + type + '\t' + attribute + '\t' +
                        (object.numeric() ? QByteArray::number(qlonglong(object.value))
                                          : EscapeDefaultsText(object.text)) +
                        '\n';
    }
    return out;
}

QByteArray EscapeDefaultsText(const QByteArray& text)
{
    QByteArray out;
    for (char c : text) {
        if (c == '\\')
            out.append("\\\\");
        else if (c == '\t')
            out.append("\\t");
        else if (c == '\n')
            out.append("\\n");
        else
            out.append(c);
    }
    return out;
}

} // namespace Eds
