#include "DcfFile.h"
#include "TransferFormats.h"

#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>

#include <map>

namespace {

const QByteArray kLineEnd("\r\n");

QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("0x%1")
        .arg(value, digits, 16, QLatin1Char('0'))
        .toUpper()
        .replace(QStringLiteral("0X"), QStringLiteral("0x"));
}

// Index of the object lists of the file by where the index belongs.
int ListOf(uint32_t index)
{
    if (index == 0x1000 || index == 0x1001 || index == 0x1018)
        return 0; // MandatoryObjects
    if (index >= 0x2000 && index < 0x6000)
        return 2; // ManufacturerObjects
    return 1;     // OptionalObjects
}

} // namespace

int CDcfObject::bits() const
{
    switch (dataType) {
    case 0x0002:
    case 0x0005:
        return 8;
    case 0x0003:
    case 0x0006:
        return 16;
    case 0x0004:
    case 0x0007:
        return 32;
    default:
        return 0;
    }
}

uint16_t DcfDataType(const QString& dictionaryType)
{
    if (IsTextType(dictionaryType))
        return 0x0009;
    const TypeWidth type = TypeWidthOf(dictionaryType);
    switch (type.bits) {
    case 8:
        return type.isSigned ? 0x0002 : 0x0005;
    case 16:
        return type.isSigned ? 0x0003 : 0x0006;
    case 32:
        return type.isSigned ? 0x0004 : 0x0007;
    default:
        return 0;
    }
}

QString DcfAccess(const QString& attribute)
{
    const QString letters = attribute.toUpper();
    const bool read = letters.contains(QLatin1Char('R'));
    const bool write = letters.contains(QLatin1Char('W'));
    if (read && write)
        return QStringLiteral("rw");
    return write ? QStringLiteral("wo") : QStringLiteral("ro");
}

CDcfObject DcfObjectOf(const CSdoDatabase& dictionary, uint32_t key, const QString& value)
{
    CDcfObject object;
    object.key = key;
    object.value = value;
    CSdoRecord record;
    if (dictionary.Lookup(key, record)) {
        object.name = record.name;
        object.dataType = DcfDataType(record.dataType);
        object.access = DcfAccess(record.attribute);
    }
    return object;
}

QByteArray FormatDcf(const CDcfDocument& document)
{
    QStringList lines;
    const auto add = [&](const QString& key, const QString& value) {
        lines << key + QLatin1Char('=') + value;
    };
    lines << QStringLiteral("[FileInfo]");
    add(QStringLiteral("FileName"), document.fileName);
    add(QStringLiteral("FileVersion"), QStringLiteral("1"));
    add(QStringLiteral("FileRevision"), QStringLiteral("0"));
    add(QStringLiteral("EDSVersion"), QStringLiteral("4.0"));
    add(QStringLiteral("Description"), QStringLiteral("Configuration read from the drive"));
    add(QStringLiteral("CreationTime"), document.created.toString(QStringLiteral("hh:mmAP")));
    add(QStringLiteral("CreationDate"), document.created.toString(QStringLiteral("MM-dd-yyyy")));
    add(QStringLiteral("CreatedBy"), document.creator);
    lines << QString() << QStringLiteral("[DeviceInfo]");
    add(QStringLiteral("VendorName"), document.vendorName);
    add(QStringLiteral("VendorNumber"), Hex(document.vendor, 8));
    add(QStringLiteral("ProductName"), document.productName);
    add(QStringLiteral("ProductNumber"), Hex(document.product, 8));
    add(QStringLiteral("RevisionNumber"), Hex(document.revision, 8));
    add(QStringLiteral("SimpleBootUpSlave"), QStringLiteral("1"));
    lines << QString() << QStringLiteral("[DeviceComissioning]");
    add(QStringLiteral("NodeID"), QString::number(document.nodeId));
    add(QStringLiteral("Baudrate"), QString::number(document.bitRateKbps));
    add(QStringLiteral("NodeName"), document.productName);

    // Objects by index in file order of their first subindex, then the three object lists.
    std::map<uint32_t, QVector<const CDcfObject*>> byIndex;
    for (const CDcfObject& object : document.objects)
        byIndex[object.key >> 8].append(&object);
    QVector<uint32_t> lists[3];
    for (const auto& entry : byIndex)
        lists[ListOf(entry.first)].append(entry.first);
    static const char* const kListNames[3] = {"MandatoryObjects", "OptionalObjects",
                                              "ManufacturerObjects"};
    for (int list = 0; list < 3; ++list) {
        lines << QString() << QStringLiteral("[%1]").arg(QLatin1String(kListNames[list]));
        add(QStringLiteral("SupportedObjects"), QString::number(lists[list].size()));
        for (int i = 0; i < lists[list].size(); ++i)
            add(QString::number(i + 1), Hex(lists[list][i], 4));
    }
    const auto entryLines = [&](const CDcfObject& object) {
        add(QStringLiteral("ParameterName"), object.name);
        add(QStringLiteral("ObjectType"), QStringLiteral("0x7"));
        add(QStringLiteral("DataType"), Hex(object.dataType, 4));
        add(QStringLiteral("AccessType"), object.access);
        add(QStringLiteral("PDOMapping"), QStringLiteral("0"));
        if (!object.defaultValue.isEmpty())
            add(QStringLiteral("DefaultValue"), object.defaultValue);
        if (!object.value.isEmpty())
            add(QStringLiteral("ParameterValue"), object.value);
    };
    for (const auto& entry : byIndex) {
        const uint32_t index = entry.first;
        const QString section = QStringLiteral("%1").arg(index, 4, 16, QLatin1Char('0')).toUpper();
        const QVector<const CDcfObject*>& objects = entry.second;
        if (objects.size() == 1 && (objects.first()->key & 0xFF) == 0) {
            lines << QString() << QLatin1Char('[') + section + QLatin1Char(']');
            entryLines(*objects.first());
            continue;
        }
        lines << QString() << QLatin1Char('[') + section + QLatin1Char(']');
        add(QStringLiteral("ParameterName"), objects.first()->name);
        add(QStringLiteral("ObjectType"), QStringLiteral("0x9"));
        add(QStringLiteral("SubNumber"), QString::number(objects.size()));
        for (const CDcfObject* object : objects) {
            lines << QString()
                  << QStringLiteral("[%1sub%2]").arg(section).arg(object->key & 0xFF, 0, 16);
            entryLines(*object);
        }
    }
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + kLineEnd;
    return bytes;
}

bool ParseDcfValue(const QString& text, uint32_t& raw)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const qulonglong value = t.mid(2).toULongLong(&ok, 16);
        raw = uint32_t(value);
        return ok && value <= 0xFFFFFFFFull;
    }
    const qlonglong value = t.toLongLong(&ok, 10);
    raw = uint32_t(value);
    return ok && value >= -2147483648LL && value <= 0xFFFFFFFFLL;
}

bool ParseDcf(const QByteArray& bytes, CDcfDocument& document, QString& error)
{
    document = CDcfDocument();
    QMap<QString, QMap<QString, QString>> sections;
    QString section;
    for (QByteArray line : bytes.split('\n')) {
        QString text = QString::fromUtf8(line).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char(';')))
            continue;
        if (text.startsWith(QLatin1Char('[')) && text.endsWith(QLatin1Char(']'))) {
            section = text.mid(1, text.size() - 2).trimmed().toUpper();
            sections[section];
            continue;
        }
        const int equals = text.indexOf(QLatin1Char('='));
        if (equals <= 0 || section.isEmpty())
            continue;
        sections[section][text.left(equals).trimmed().toUpper()] = text.mid(equals + 1).trimmed();
    }
    if (!sections.contains(QStringLiteral("DEVICEINFO"))) {
        error = QStringLiteral("not a device configuration file: it has no [DeviceInfo]");
        return false;
    }
    const auto number = [](const QString& text) {
        uint32_t raw = 0;
        return ParseDcfValue(text, raw) ? raw : 0u;
    };
    const auto& info = sections[QStringLiteral("DEVICEINFO")];
    document.vendorName = info.value(QStringLiteral("VENDORNAME"));
    document.productName = info.value(QStringLiteral("PRODUCTNAME"));
    document.vendor = number(info.value(QStringLiteral("VENDORNUMBER")));
    document.product = number(info.value(QStringLiteral("PRODUCTNUMBER")));
    document.revision = number(info.value(QStringLiteral("REVISIONNUMBER")));
    const auto& file = sections[QStringLiteral("FILEINFO")];
    document.fileName = file.value(QStringLiteral("FILENAME"));
    document.creator = file.value(QStringLiteral("CREATEDBY"));
    const auto& commissioning = sections[QStringLiteral("DEVICECOMISSIONING")];
    document.nodeId = int(number(commissioning.value(QStringLiteral("NODEID"))));
    document.bitRateKbps = int(number(commissioning.value(QStringLiteral("BAUDRATE"))));

    static const QRegularExpression objectSection(
        QStringLiteral("^([0-9A-F]{4})(SUB([0-9A-F]{1,2}))?$"));
    for (auto it = sections.constBegin(); it != sections.constEnd(); ++it) {
        const auto match = objectSection.match(it.key());
        if (!match.hasMatch() || !it->contains(QStringLiteral("DATATYPE")))
            continue;
        CDcfObject object;
        object.key =
            (match.captured(1).toUInt(nullptr, 16) << 8) | match.captured(3).toUInt(nullptr, 16);
        object.name = it->value(QStringLiteral("PARAMETERNAME"));
        object.dataType = uint16_t(number(it->value(QStringLiteral("DATATYPE"))));
        object.access = it->value(QStringLiteral("ACCESSTYPE"));
        object.value = it->value(QStringLiteral("PARAMETERVALUE"));
        object.defaultValue = it->value(QStringLiteral("DEFAULTVALUE"));
        document.objects.append(object);
    }
    if (document.objects.isEmpty()) {
        error = QStringLiteral("the device configuration file describes no object");
        return false;
    }
    return true;
}

bool ReadDcf(const QString& path, CDcfDocument& document, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("File open failure! \n%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!ParseDcf(file.readAll(), document, error)) {
        error = path + QStringLiteral(": ") + error;
        return false;
    }
    return true;
}

bool WriteDcf(const QString& path, const CDcfDocument& document, QString& error)
{
    return SaveWhole(path, FormatDcf(document), error);
}

QVector<CTransferRow> DcfImportRows(const CDcfDocument& document, const CSdoDatabase& dictionary)
{
    QVector<CTransferRow> rows;
    for (const CDcfObject& object : document.objects) {
        // Read-only entries (the identity among them) describe the drive; they are not written.
        const QString access = object.access.toLower();
        if (object.value.isEmpty() ||
            !(access.startsWith(QLatin1String("rw")) || access == QLatin1String("wo")))
            continue;
        // The width the file gives; the import refuses any other than 8, 16, 32.
        CTransferRow row;
        row.descriptor = MakeDescriptor(object.key, object.bits());
        row.descriptorText = DescriptorText(row.descriptor);
        row.name = ObjectNameOf(dictionary, row.descriptor);
        uint32_t raw = 0;
        QString text;
        // The value in the text the import compares with: the dictionary's decimal form.
        if (ParseDcfValue(object.value, raw) &&
            FormatTransferValue(dictionary, row.descriptor,
                                TypeWidth{object.bits(), false}.mask(raw), text))
            row.loadValue = text;
        rows.append(row);
    }
    return rows;
}

QString DcfIdentityMismatch(const CDcfDocument& document, uint32_t vendor, uint32_t product)
{
    QStringList differences;
    if (vendor != document.vendor)
        differences << QStringLiteral("vendor %1 (the file: %2)")
                           .arg(Hex(vendor, 8), Hex(document.vendor, 8));
    if (product != document.product)
        differences << QStringLiteral("product %1 (the file: %2)")
                           .arg(Hex(product, 8), Hex(document.product, 8));
    if (differences.isEmpty())
        return QString();
    return QStringLiteral("the drive is not the one the file was made for: ") +
           differences.join(QStringLiteral(", "));
}
