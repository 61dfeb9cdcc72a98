#include "EdsReader.h"

#include "base/TextNumbers.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <limits>

namespace {

constexpr uint32_t kBoolean = 0x0001;
constexpr int kVar = 7, kArray = 8, kRecord = 9, kDomain = 2, kDefType = 5, kDefStruct = 6;

struct Entry
{
    QString value;
    int line = 0;
};

struct Section
{
    QString name; // as written
    int line = 0;
    QHash<QString, Entry> entries; // key in lower case

    bool has(const char* key) const { return entries.contains(QLatin1String(key)); }
    Entry get(const char* key) const { return entries.value(QLatin1String(key)); }
};

using Sections = QMap<QString, Section>; // by upper-case name

QString KeyText(uint32_t key)
{
    return QStringLiteral("%1:%2")
        .arg(key >> 8, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// Vendor files come in UTF-8 or in a single-byte code page; a file that is not valid UTF-8 is
// read as Latin-1 so that a degree sign does not refuse a whole device.
QString Decode(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString::fromLatin1(bytes) : text;
}

// Splits the file into sections of key=value lines; a line that is neither, a key before the
// first section and a section or key given twice are errors.
Sections Split(const QByteArray& bytes, QVector<CEdsProblem>& errors)
{
    Sections sections;
    if (bytes.contains('\0')) {
        errors.append({1, QStringLiteral("the file holds NUL bytes: it is not a text file")});
        return sections;
    }
    const QStringList lines = Decode(bytes).split(QLatin1Char('\n'));
    Section* current = nullptr;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        QString text = lines[i].trimmed();
        if (i == 0 && text.startsWith(QChar(0xFEFF)))
            text = text.mid(1).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char(';')) ||
            text.startsWith(QLatin1Char('#')))
            continue;
        if (text.startsWith(QLatin1Char('['))) {
            if (!text.endsWith(QLatin1Char(']')) || text.size() < 3) {
                errors.append(
                    {line, QStringLiteral("section name \"%1\" is not closed by ]").arg(text)});
                current = nullptr;
                continue;
            }
            const QString name = text.mid(1, text.size() - 2).trimmed();
            const QString upper = name.toUpper();
            if (sections.contains(upper)) {
                errors.append({line, QStringLiteral("section [%1] again, first on line %2")
                                         .arg(name)
                                         .arg(sections[upper].line)});
                current = nullptr;
                continue;
            }
            current = &sections[upper];
            current->name = name;
            current->line = line;
            continue;
        }
        const int equals = int(text.indexOf(QLatin1Char('=')));
        if (equals <= 0) {
            errors.append(
                {line, QStringLiteral("\"%1\" is neither [section] nor key=value").arg(text)});
            continue;
        }
        if (!current) {
            // Either before the first section or inside one that was refused above.
            if (errors.isEmpty())
                errors.append({line, QStringLiteral("key=value before the first section")});
            continue;
        }
        const QString key = text.left(equals).trimmed().toLower();
        const auto seen = current->entries.constFind(key);
        if (seen != current->entries.constEnd()) {
            errors.append({line, QStringLiteral("%1 again in [%2], first on line %3")
                                     .arg(text.left(equals).trimmed(), current->name)
                                     .arg(seen->line)});
            continue;
        }
        current->entries.insert(key, Entry{text.mid(equals + 1).trimmed(), line});
    }
    return sections;
}

bool ParseTerm(const QString& term, int nodeId, int64_t& out)
{
    if (term.compare(QLatin1String("$NODEID"), Qt::CaseInsensitive) == 0) {
        out = nodeId;
        return true;
    }
    QString digits = term;
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits = digits.mid(1);
    int base = 10;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits = digits.mid(2);
    } else if (digits.size() > 1 && digits.startsWith(QLatin1Char('0'))) {
        base = 8;
        digits = digits.mid(1);
    }
    if (digits.isEmpty())
        return false;
    for (const QChar c : digits) {
        const int digit = c.isDigit() ? c.digitValue()
                          : (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))
                              ? c.toLower().unicode() - 'a' + 10
                              : 99;
        if (digit >= base)
            return false;
    }
    bool ok = false;
    const qulonglong magnitude = digits.toULongLong(&ok, base);
    if (!ok || magnitude > qulonglong(std::numeric_limits<int64_t>::max()))
        return false;
    out = negative ? -int64_t(magnitude) : int64_t(magnitude);
    return true;
}

// The first value of the keys that the section has, with its line.
Entry FirstOf(const Section& section, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        if (section.has(key))
            return section.get(key);
    }
    return {};
}

bool ParseUnsigned(const QString& text, int64_t max, int64_t& out)
{
    return Eds::ParseValue(text, 0, out) && out >= 0 && out <= max;
}

class Builder
{
public:
    Builder(const Sections& sections, int nodeId, CEdsDevice& device)
        : m_sections(sections), m_nodeId(nodeId), m_device(device)
    {
    }

    void Run()
    {
        static const QRegularExpression object(QStringLiteral("^([0-9A-F]{4})$"));
        static const QRegularExpression sub(QStringLiteral("^([0-9A-F]{4})SUB([0-9A-F]{1,2})$"));
        for (const Section& section : m_sections) {
            const QString upper = section.name.toUpper();
            const auto matchObject = object.match(upper);
            const auto matchSub = sub.match(upper);
            if (matchObject.hasMatch())
                Object(section, uint16_t(matchObject.captured(1).toUInt(nullptr, 16)));
            else if (matchSub.hasMatch())
                // A sub-object stands on its own: vendor files define some without a parent,
                // or before it.
                Var(section, uint16_t(matchSub.captured(1).toUInt(nullptr, 16)),
                    uint8_t(matchSub.captured(2).toUInt(nullptr, 16)), {});
        }
    }

private:
    void Error(int line, const QString& reason) { m_device.errors.append({line, reason}); }

    void Object(const Section& section, uint16_t index)
    {
        if (index == 0) {
            Error(section.line, QStringLiteral("object index 0000 does not exist"));
            return;
        }
        int64_t type = kVar;
        const Entry objectType = section.get("objecttype");
        if (!objectType.value.isEmpty() && !ParseUnsigned(objectType.value, 0xFF, type)) {
            Error(objectType.line,
                  QStringLiteral("ObjectType \"%1\" is not a number").arg(objectType.value));
            return;
        }
        switch (type) {
        case kVar:
            Var(section, index, 0, {});
            return;
        case kArray:
        case kRecord:
            Compact(section, index);
            return;
        case kDomain:
            m_device.notes.append({section.line, QStringLiteral("%1 is a DOMAIN, which the program "
                                                                "cannot show; left out")
                                                     .arg(KeyText(uint32_t(index) << 8))});
            return;
        case kDefType:
        case kDefStruct:
            return; // type definitions, no values
        default:
            Error(objectType.line,
                  QStringLiteral("ObjectType %1 is not 2, 5, 6, 7, 8 or 9").arg(objectType.value));
        }
    }

    // An array or record stored compactly: sub-index 0 counts the entries, which all take the
    // parent's type and access; [IIIIName] and [IIIIValue] may name them and give defaults.
    void Compact(const Section& section, uint16_t index)
    {
        const Entry compact = section.get("compactsubobj");
        if (compact.value.isEmpty())
            return; // the sub-objects have sections of their own
        int64_t count = 0;
        if (!ParseUnsigned(compact.value, 254, count) || count == 0) {
            Error(compact.line,
                  QStringLiteral("CompactSubObj \"%1\" is not 1 to 254").arg(compact.value));
            return;
        }
        const QString prefix = QStringLiteral("%1").arg(index, 4, 16, QLatin1Char('0')).toUpper();
        const Section names = m_sections.value(prefix + QStringLiteral("NAME"));
        const Section values = m_sections.value(prefix + QStringLiteral("VALUE"));
        CEdsObject counter;
        counter.index = index;
        counter.line = section.line;
        counter.name = QStringLiteral("Number of entries");
        counter.dataType = QStringLiteral("U8");
        counter.access = QStringLiteral("ro");
        counter.value = count;
        Add(counter);
        const QString baseName = section.get("parametername").value;
        for (int s = 1; s <= count; ++s) {
            const QString number = QString::number(s);
            Overrides overrides;
            overrides.name = names.entries.value(number).value;
            if (overrides.name.isEmpty())
                overrides.name = baseName + number;
            overrides.value = values.entries.value(number);
            Var(section, index, uint8_t(s), overrides);
        }
    }

    struct Overrides
    {
        QString name;
        Entry value;
    };

    void Var(const Section& section, uint16_t index, uint8_t subindex, const Overrides& overrides)
    {
        CEdsObject object;
        object.index = index;
        object.subindex = subindex;
        object.line = section.line;
        const QString where = KeyText(object.key());
        const int before = m_device.errors.size();
        object.name =
            overrides.name.isEmpty() ? section.get("parametername").value : overrides.name;
        if (object.name.isEmpty())
            Error(section.line, QStringLiteral("[%1] has no ParameterName").arg(section.name));

        const Entry dataType = section.get("datatype");
        int64_t typeNumber = 0;
        if (dataType.value.isEmpty()) {
            Error(section.line, QStringLiteral("[%1] has no DataType").arg(section.name));
            return;
        }
        if (!ParseUnsigned(dataType.value, 0xFFFF, typeNumber)) {
            Error(dataType.line,
                  QStringLiteral("DataType \"%1\" is not a number").arg(dataType.value));
            return;
        }
        object.dataType = Eds::TypeName(uint32_t(typeNumber));
        if (object.dataType.isEmpty()) {
            m_device.notes.append({section.line, QStringLiteral("%1 has data type 0x%2, which the "
                                                                "program cannot show; left out")
                                                     .arg(where)
                                                     .arg(typeNumber, 4, 16, QLatin1Char('0'))});
            return;
        }

        const Entry access = section.get("accesstype");
        object.access = access.value.toLower();
        static const QStringList kAccess = {"ro", "wo", "rw", "rwr", "rww", "const"};
        if (!kAccess.contains(object.access))
            Error(access.line ? access.line : section.line,
                  QStringLiteral("AccessType \"%1\" of %2 is not ro, wo, rw, rwr, rww or const")
                      .arg(access.value, where));

        const Entry mapping = section.get("pdomapping");
        if (!mapping.value.isEmpty() && mapping.value != QLatin1String("0") &&
            mapping.value != QLatin1String("1"))
            Error(mapping.line,
                  QStringLiteral("PDOMapping \"%1\" is not 0 or 1").arg(mapping.value));
        object.pdoMapping = mapping.value == QLatin1String("1");

        // A DCF's ParameterValue is what the device holds; the default comes second.
        Entry value = overrides.value.line ? overrides.value
                                           : FirstOf(section, {"parametervalue", "defaultvalue"});
        if (!object.numeric()) {
            object.text = value.value.toUtf8();
        } else {
            const TypeWidth width = TypeWidthOf(object.dataType);
            TakeNumber(value, width, where, QStringLiteral("default"), object.value);
            const Entry low = section.get("lowlimit"), high = section.get("highlimit");
            object.hasLow = !low.value.isEmpty() &&
                            TakeNumber(low, width, where, QStringLiteral("LowLimit"), object.low);
            object.hasHigh =
                !high.value.isEmpty() &&
                TakeNumber(high, width, where, QStringLiteral("HighLimit"), object.high);
            if (uint32_t(typeNumber) == kBoolean && !object.hasHigh) {
                object.hasLow = object.hasHigh = true;
                object.high = 1;
            }
            if (object.hasLow && object.hasHigh && object.low > object.high)
                Error(high.line ? high.line : section.line,
                      QStringLiteral("limits of %1: %2 above %3")
                          .arg(where)
                          .arg(object.low)
                          .arg(object.high));
            else if ((object.hasLow && object.value < object.low) ||
                     (object.hasHigh && object.value > object.high))
                Error(value.line ? value.line : section.line,
                      QStringLiteral("default %1 of %2 lies outside its limits")
                          .arg(object.value)
                          .arg(where));
        }
        if (m_device.errors.size() == before)
            Add(object);
    }

    // A number of the type; hexadecimal and octal numbers may give a signed type's bit pattern.
    bool TakeNumber(const Entry& entry, const TypeWidth& width, const QString& where,
                    const QString& what, int64_t& out)
    {
        if (entry.value.isEmpty()) {
            out = 0;
            return true;
        }
        int64_t number = 0;
        if (!Eds::ParseValue(entry.value, m_nodeId, number)) {
            Error(entry.line, QStringLiteral("%1 \"%2\" of %3 is not a number (decimal, 0x hex, "
                                             "0 octal, $NODEID)")
                                  .arg(what, entry.value, where));
            return false;
        }
        // Only a hexadecimal or octal number may be a bit pattern: a decimal 200 for an
        // INTEGER8 is a mistake, not -56.
        if (width.isSigned && entry.value.startsWith(QLatin1Char('0')) && number > width.max() &&
            number <= (int64_t(1) << width.bits) - 1)
            number -= int64_t(1) << width.bits;
        if (!width.fits(number)) {
            Error(entry.line, QStringLiteral("%1 %2 of %3 does not fit %4 (%5)")
                                  .arg(what, entry.value, where, width.name(), width.rangeText()));
            return false;
        }
        out = number;
        return true;
    }

    void Add(const CEdsObject& object)
    {
        const auto seen = m_lines.constFind(object.key());
        if (seen != m_lines.constEnd()) {
            Error(object.line, QStringLiteral("object %1 defined again, first on line %2")
                                   .arg(KeyText(object.key()))
                                   .arg(*seen));
            return;
        }
        m_lines.insert(object.key(), object.line);
        m_device.objects.append(object);
    }

    const Sections& m_sections;
    int m_nodeId;
    CEdsDevice& m_device;
    QHash<uint32_t, int> m_lines;
};

} // namespace

bool CEdsObject::writable() const
{
    return access == QLatin1String("rw") || access == QLatin1String("wo") ||
           access == QLatin1String("rwr") || access == QLatin1String("rww");
}

QString CEdsObject::AttributeLetters() const
{
    QString letters;
    if (access != QLatin1String("wo"))
        letters += QLatin1Char('R');
    if (writable())
        letters += QLatin1Char('W');
    if (pdoMapping && !writable())
        letters += QLatin1Char('L');
    if (pdoMapping)
        letters += QLatin1Char('M');
    return letters;
}

const CEdsObject* CEdsDevice::Find(uint32_t key) const
{
    for (const CEdsObject& object : objects) {
        if (object.key() == key)
            return &object;
    }
    return nullptr;
}

namespace Eds {

QString TypeName(uint32_t dataType)
{
    switch (dataType) {
    case 0x0001: // BOOLEAN: one byte on the wire, 0 or 1
    case 0x0005:
        return QStringLiteral("U8");
    case 0x0002:
        return QStringLiteral("I8");
    case 0x0003:
        return QStringLiteral("I16");
    case 0x0004:
        return QStringLiteral("I32");
    case 0x0006:
        return QStringLiteral("U16");
    case 0x0007:
        return QStringLiteral("U32");
    case 0x0009:
        return QStringLiteral("VISIBLE STRING");
    default:
        return {};
    }
}

bool ParseValue(const QString& text, int nodeId, int64_t& out)
{
    const QStringList terms = text.trimmed().split(QLatin1Char('+'));
    int64_t sum = 0;
    for (const QString& term : terms) {
        int64_t value = 0;
        if (!ParseTerm(term.trimmed(), nodeId, value) || __builtin_add_overflow(sum, value, &sum))
            return false;
    }
    out = sum;
    return true;
}

CEdsDevice Read(const QByteArray& bytes, int nodeId)
{
    CEdsDevice device;
    const Sections sections = Split(bytes, device.errors);
    const Section deviceInfo = sections.value(QStringLiteral("DEVICEINFO"));
    device.vendorName = deviceInfo.get("vendorname").value;
    device.productName = deviceInfo.get("productname").value;
    const Entry dcfNode = sections.value(QStringLiteral("DEVICECOMISSIONING")).get("nodeid");
    int64_t node = 1;
    if (nodeId > 0)
        node = nodeId;
    else if (!dcfNode.value.isEmpty() && !ParseUnsigned(dcfNode.value, 127, node))
        device.errors.append(
            {dcfNode.line, QStringLiteral("NodeID \"%1\" is not 1 to 127").arg(dcfNode.value)});
    device.nodeId = int(node);
    if (device.ok())
        Builder(sections, device.nodeId, device).Run();
    if (device.ok() && device.objects.isEmpty())
        device.errors.append({1, QStringLiteral("the file defines no object")});
    if (!device.ok()) {
        device.objects.clear();
        std::sort(device.errors.begin(), device.errors.end(),
                  [](const CEdsProblem& a, const CEdsProblem& b) { return a.line < b.line; });
        return device;
    }
    std::sort(device.objects.begin(), device.objects.end(),
              [](const CEdsObject& a, const CEdsObject& b) { return a.key() < b.key(); });
    return device;
}

} // namespace Eds
