// mkdict: builds the dictionary database (fixed 4514-byte records) and the default values that
// the virtual drive starts with from the readable dictionary source, or from a device's EDS or
// DCF file.
//
//   mkdict <velmor.tsv> <velmor.dat> <velmor-defaults.tsv>
//   mkdict --eds <device.eds> [--node N] <velmor.dat> <velmor-defaults.tsv>
//
// From a device description it also keeps a copy of the file as device.eds beside the database:
// it tells the programs that the dictionary describes a standard drive, and the virtual drive
// serves it. A build from the dictionary source removes a device.eds left from before.
//
// Beside the database it writes its check (velmor.dat.sum: record count, size, BLAKE2b-256 digest),
// which the programs verify before they accept the database. The source is checked completely
// before anything is written: any fault is reported as "file:line: message" and no output is
// touched, so a broken edit never replaces a good database.

#include "base/TextNumbers.h"
#include "dictionary/DatabaseCheck.h"
#include "dictionary/DatabaseLayout.h"
#include "eds/EdsDictionary.h"
#include "transfer/TransferFormats.h"
#include "units/UnitTable.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVector>

#include <cstdio>

namespace {

const char* const kHeader[] = {"index", "subindex", "type",    "attr",    "modbus", "default",
                               "unit",  "name_en",  "name_zh", "help_en", "help_zh"};
constexpr int kColumns = 11;

using namespace DatabaseLayout;

// The type names the source may use; their widths follow the program's own reading of a type.
const char* const kTypeNames[] = {"U8", "U16", "U32", "I8", "I16", "I32", "VISIBLE STRING"};

struct TypeInfo
{
    QByteArray name;
    TypeWidth width; // not valid for text
};

struct Entry
{
    int line = 0;
    quint32 index = 0;
    quint32 sub = 0;
    TypeInfo type;
    bool typeKnown = false;
    QByteArray attr;
    quint32 modbus = 0;
    qint64 value = 0; // numeric types
    QByteArray text;  // VISIBLE STRING default
    QByteArray unit;
    QByteArray nameEn;
    QByteArray nameZh;
    QByteArray helpEn;
    QByteArray helpZh;

    quint32 key() const { return (index << 8) | sub; }
};

class Errors
{
public:
    explicit Errors(const QString& file) : m_file(file) {}
    void add(int line, const QString& message)
    {
        std::fprintf(stderr, "%s:%d: %s\n", qUtf8Printable(m_file), line, qUtf8Printable(message));
        ++m_count;
    }
    int count() const { return m_count; }

private:
    QString m_file;
    int m_count = 0;
};

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Exactly `digits` hexadecimal digits (0 = any number from 1 to 8), nothing else.
bool ParseHex(const QByteArray& text, int digits, quint32& out)
{
    if (text.isEmpty() || text.size() > 8 || (digits != 0 && text.size() != digits))
        return false;
    for (char c : text) {
        if (!IsHexDigit(c))
            return false;
    }
    bool ok = false;
    out = text.toUInt(&ok, 16);
    return ok;
}

// Decimal with an optional "-", or "0x" hexadecimal.
bool ParseInteger(const QByteArray& text, qint64& out)
{
    bool ok = false;
    if (text.startsWith("0x") || text.startsWith("0X")) {
        quint32 value = 0;
        if (!ParseHex(text.mid(2), 0, value))
            return false;
        out = value;
        return true;
    }
    if (text.isEmpty())
        return false;
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (!(c >= '0' && c <= '9') && !(i == 0 && c == '-' && text.size() > 1))
            return false;
    }
    out = text.toLongLong(&ok, 10);
    return ok;
}

bool FindType(const QByteArray& name, TypeInfo& out)
{
    for (const char* known : kTypeNames) {
        if (name == known) {
            out = {name, TypeWidthOf(QString::fromLatin1(name))};
            return true;
        }
    }
    return false;
}

// "\n" becomes a line break and "\\" a backslash; other backslashes stay as they are.
QByteArray Unescape(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '\\' && i + 1 < text.size() && (text.at(i + 1) == 'n' || text.at(i + 1) == '\\')) {
            out.append(text.at(i + 1) == 'n' ? '\n' : '\\');
            ++i;
        } else {
            out.append(c);
        }
    }
    return out;
}

bool CheckText(Errors& errors, int line, const char* what, const QByteArray& text, int width)
{
    if (text.size() < width)
        return true;
    errors.add(line, QStringLiteral("%1 is %2 bytes long, at most %3 fit")
                         .arg(QLatin1String(what))
                         .arg(text.size())
                         .arg(width - 1));
    return false;
}

QString KeyText(quint32 key)
{
    return QStringLiteral("%1:%2")
        .arg(key >> 8, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// The formulas of a unit text, read by the program's own unit table.
QVector<QByteArray> UnitFormulas(const QByteArray& text)
{
    QVector<QByteArray> formulas;
    for (const CUnitRecord& unit : CUnitTable::ParseUnitText(QString::fromUtf8(text)))
        formulas.append(unit.formula.toUtf8());
    return formulas;
}

// Every constant "[IIIISSBB]" of the unit's formulas must name a numeric object whose width is BB.
void CheckUnitConstants(Errors& errors, const Entry& entry,
                        const QHash<quint32, const Entry*>& byKey)
{
    for (const QByteArray& formula : UnitFormulas(entry.unit)) {
        for (int at = formula.indexOf('['); at >= 0; at = formula.indexOf('[', at + 1)) {
            quint32 descriptor = 0;
            if (at + 9 >= formula.size() || formula.at(at + 9) != ']' ||
                !ParseHex(formula.mid(at + 1, 8), 8, descriptor)) {
                errors.add(entry.line, QStringLiteral("unit constant in \"%1\" is not [IIIISSBB]")
                                           .arg(QString::fromUtf8(formula)));
                continue;
            }
            const auto found = byKey.constFind(descriptor >> 8);
            if (found == byKey.constEnd()) {
                errors.add(entry.line,
                           QStringLiteral("unit constant names %1, which is not defined")
                               .arg(KeyText(descriptor >> 8)));
            } else if (!(*found)->type.width.valid() ||
                       static_cast<quint32>((*found)->type.width.bits) != (descriptor & 0xFF)) {
                errors.add(entry.line,
                           QStringLiteral("unit constant %1 gives width %2, the object is %3")
                               .arg(KeyText(descriptor >> 8))
                               .arg(descriptor & 0xFF)
                               .arg(QString::fromLatin1((*found)->type.name)));
            }
        }
    }
}

bool ParseLine(Errors& errors, int line, const QByteArray& raw, Entry& entry)
{
    const QList<QByteArray> fields = raw.split('\t');
    if (fields.size() != kColumns) {
        errors.add(
            line, QStringLiteral("expected %1 columns, found %2").arg(kColumns).arg(fields.size()));
        return false;
    }
    const int before = errors.count();
    entry.line = line;
    if (!ParseHex(fields[0], 4, entry.index) || entry.index == 0)
        errors.add(line, QStringLiteral("index \"%1\" is not 4 hex digits other than 0000")
                             .arg(QString::fromUtf8(fields[0])));
    if (!ParseHex(fields[1], 2, entry.sub))
        errors.add(line, QStringLiteral("subindex \"%1\" is not 2 hex digits")
                             .arg(QString::fromUtf8(fields[1])));
    entry.typeKnown = FindType(fields[2], entry.type);
    if (!entry.typeKnown)
        errors.add(line, QStringLiteral("unknown type \"%1\"").arg(QString::fromUtf8(fields[2])));

    entry.attr = fields[3];
    bool attrOk = !entry.attr.isEmpty() && entry.attr.size() < Width(Attribute);
    for (int i = 0; i < entry.attr.size() && attrOk; ++i)
        attrOk = QByteArray("RWLSM").contains(entry.attr.at(i)) &&
                 entry.attr.indexOf(entry.attr.at(i)) == i;
    if (!attrOk)
        errors.add(line, QStringLiteral("attribute \"%1\" is not a set of the letters R W L S M")
                             .arg(QString::fromUtf8(entry.attr)));

    QByteArray modbus = fields[4];
    if (modbus.startsWith("0x") || modbus.startsWith("0X"))
        modbus = modbus.mid(2);
    if (!modbus.isEmpty() && (!ParseHex(modbus, 0, entry.modbus) || entry.modbus > 0xFFFF))
        errors.add(line, QStringLiteral("modbus address \"%1\" is not hex up to FFFF")
                             .arg(QString::fromUtf8(fields[4])));

    if (entry.typeKnown && !entry.type.width.valid()) {
        entry.text = fields[5];
    } else if (entry.typeKnown) {
        if (!ParseInteger(fields[5], entry.value) || !entry.type.width.fits(entry.value))
            errors.add(
                line, QStringLiteral("default \"%1\" is not a %2 value")
                          .arg(QString::fromUtf8(fields[5]), QString::fromLatin1(entry.type.name)));
    }

    entry.unit = fields[6];
    entry.nameEn = fields[7];
    entry.nameZh = fields[8];
    entry.helpEn = Unescape(fields[9]);
    entry.helpZh = Unescape(fields[10]);
    if (entry.nameEn.isEmpty() || entry.nameZh.isEmpty())
        errors.add(line, QStringLiteral("both names must be given"));
    CheckText(errors, line, "unit", entry.unit, Width(UnitText));
    CheckText(errors, line, "name_en", entry.nameEn, Width(NameEnglish));
    CheckText(errors, line, "name_zh", entry.nameZh, Width(NameChinese));
    CheckText(errors, line, "help_en", entry.helpEn, Width(HelpEnglish));
    CheckText(errors, line, "help_zh", entry.helpZh, Width(HelpChinese));
    return errors.count() == before;
}

bool ReadSource(const QString& path, Errors& errors, QVector<Entry>& entries)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors.add(0, QStringLiteral("cannot read: %1").arg(file.errorString()));
        return false;
    }
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();

    QHash<quint32, int> firstLine;
    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        QByteArray text = lines[i];
        if (text.endsWith('\r'))
            text.chop(1);
        QStringDecoder decoder(QStringDecoder::Utf8);
        (void)QString(decoder.decode(text));
        if (decoder.hasError()) {
            errors.add(line, QStringLiteral("not valid UTF-8"));
            continue;
        }
        if (i == 0) {
            QByteArrayList header;
            for (const char* column : kHeader)
                header.append(column);
            if (text != header.join('\t'))
                errors.add(line, QStringLiteral("the first line must be the column header"));
            continue;
        }
        if (text.trimmed().isEmpty() || text.startsWith('#'))
            continue;
        Entry entry;
        if (!ParseLine(errors, line, text, entry))
            continue;
        const auto seen = firstLine.constFind(entry.key());
        if (seen != firstLine.constEnd()) {
            errors.add(line, QStringLiteral("duplicate object %1, first defined on line %2")
                                 .arg(KeyText(entry.key()))
                                 .arg(*seen));
            continue;
        }
        firstLine.insert(entry.key(), line);
        entries.append(entry);
    }
    if (lines.isEmpty())
        errors.add(1, QStringLiteral("the first line must be the column header"));

    QHash<quint32, const Entry*> byKey;
    for (const Entry& entry : entries)
        byKey.insert(entry.key(), &entry);
    for (const Entry& entry : entries)
        CheckUnitConstants(errors, entry, byKey);
    return errors.count() == 0;
}

// A device description, checked completely; notes name the objects it leaves out.
bool ReadEds(const QString& path, int node, Errors& errors, CEdsDictionary& dictionary,
             QByteArray& source)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errors.add(0, QStringLiteral("cannot read: %1").arg(file.errorString()));
        return false;
    }
    source = file.readAll();
    const CEdsDevice device = Eds::Read(source, node);
    for (const CEdsProblem& problem : device.errors)
        errors.add(problem.line, problem.reason);
    if (!device.ok())
        return false;
    for (const CEdsProblem& note : device.notes)
        std::fprintf(stderr, "%s:%d: note: %s\n", qUtf8Printable(path), note.line,
                     qUtf8Printable(note.reason));
    dictionary = Eds::BuildDictionary(device);
    return true;
}

void AppendField(QByteArray& record, const QByteArray& text, int width)
{
    record.append(text.left(width));
    record.append(width - qMin<int>(text.size(), width), '\0');
}

QByteArray HexField(quint32 value, int digits)
{
    return QByteArray::number(value, 16).toUpper().rightJustified(digits, '0');
}

QByteArray BuildDatabase(const QVector<Entry>& entries)
{
    QByteArray out;
    out.reserve(entries.size() * kRecordSize);
    for (const Entry& e : entries) {
        AppendField(out, HexField(e.index, Width(Index)), Width(Index));
        AppendField(out, HexField(e.sub, Width(Subindex)), Width(Subindex));
        AppendField(out, e.nameZh, Width(NameChinese));
        AppendField(out, e.nameEn, Width(NameEnglish));
        AppendField(out, e.type.name, Width(DataType));
        AppendField(out, e.attr, Width(Attribute));
        AppendField(out, e.helpZh, Width(HelpChinese));
        AppendField(out, e.helpEn, Width(HelpEnglish));
        AppendField(out, e.unit, Width(UnitText));
        AppendField(out, HexField(e.modbus, Width(Modbus)), Width(Modbus));
    }
    return out;
}

QByteArray BuildDefaults(const QVector<Entry>& entries)
{
    QByteArray out;
    for (const Entry& e : entries) {
        out.append(HexField(e.key(), 6));
        out.append('\t');
        out.append(e.type.name);
        out.append('\t');
        out.append(e.attr);
        out.append('\t');
        out.append(!e.type.width.valid() ? Eds::EscapeDefaultsText(e.text)
                                         : QByteArray::number(e.value));
        out.append('\n');
    }
    return out;
}

// The object list a configuration export reads by default: every object that is written and
// stored (attributes W and S), in dictionary order. Text objects are left out: a configuration
// carries numbers only.
QByteArray BuildObjectList(const QVector<Entry>& entries)
{
    QVector<uint32_t> descriptors;
    for (const Entry& e : entries)
        if (e.attr.contains('W') && e.attr.contains('S') && e.type.width.valid())
            descriptors.append(MakeDescriptor(e.key(), e.type.width.bits));
    return FormatObjectList(descriptors);
}

bool WriteAtomically(QSaveFile& file, const QByteArray& bytes)
{
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "%s: cannot write: %s\n", qUtf8Printable(file.fileName()),
                     qUtf8Printable(file.errorString()));
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool objectList = args.value(0) == QLatin1String("--object-list");
    if (objectList)
        args.removeAt(0);
    QString eds;
    int node = 0;
    const int edsAt = int(args.indexOf(QStringLiteral("--eds")));
    if (edsAt >= 0 && edsAt + 1 < args.size()) {
        eds = args.takeAt(edsAt + 1);
        args.removeAt(edsAt);
    }
    const int nodeAt = int(args.indexOf(QStringLiteral("--node")));
    if (!eds.isEmpty() && nodeAt >= 0 && nodeAt + 1 < args.size()) {
        bool ok = false;
        node = args.takeAt(nodeAt + 1).toInt(&ok);
        args.removeAt(nodeAt);
        if (!ok || node < 1 || node > 127)
            node = -1;
    }
    if (args.size() != (objectList || !eds.isEmpty() ? 2 : 3) || node < 0 ||
        (objectList && !eds.isEmpty())) {
        std::fprintf(stderr, "usage: mkdict <velmor.tsv> <velmor.dat> <velmor-defaults.tsv>\n"
                             "       mkdict --eds <device.eds> [--node 1-127] <velmor.dat> "
                             "<velmor-defaults.tsv>\n"
                             "       mkdict --object-list <velmor.tsv> <default.cdo>\n");
        return 2;
    }
    if (!eds.isEmpty())
        args.prepend(eds);

    Errors errors(args[0]);
    QVector<Entry> entries;
    CEdsDictionary dictionary;
    QByteArray source;
    if (!(eds.isEmpty() ? ReadSource(args[0], errors, entries)
                        : ReadEds(args[0], node, errors, dictionary, source)))
        return 1;
    if (eds.isEmpty())
        dictionary = {BuildDatabase(entries), BuildDefaults(entries)};

    if (objectList) {
        QSaveFile list(args[1]);
        return WriteAtomically(list, BuildObjectList(entries)) && list.commit() ? 0 : 1;
    }

    // All files are prepared completely before any replaces the old one.
    const QByteArray& databaseBytes = dictionary.database;
    QSaveFile database(args[1]);
    QSaveFile check(DatabaseCheck::PathFor(args[1]));
    QSaveFile defaults(args[2]);
    const QString descriptionPath =
        QFileInfo(args[1]).absoluteDir().filePath(QStringLiteral("device.eds"));
    QSaveFile description(descriptionPath);
    if (!WriteAtomically(database, databaseBytes) ||
        !WriteAtomically(check, DatabaseCheck::Build(databaseBytes)) ||
        !WriteAtomically(defaults, dictionary.defaults) ||
        (!eds.isEmpty() && !WriteAtomically(description, source))) {
        database.cancelWriting();
        check.cancelWriting();
        defaults.cancelWriting();
        description.cancelWriting();
        return 1;
    }
    if (!database.commit() || !check.commit() || !defaults.commit() ||
        (!eds.isEmpty() && !description.commit()) ||
        (eds.isEmpty() && QFileInfo::exists(descriptionPath) && !QFile::remove(descriptionPath))) {
        std::fprintf(stderr, "mkdict: cannot replace the output files\n");
        return 1;
    }
    return 0;
}
