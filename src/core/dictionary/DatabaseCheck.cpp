#include "DatabaseCheck.h"

#include "DatabaseLayout.h"

#include <QCryptographicHash>
#include <QList>

namespace DatabaseCheck {
namespace {

// BLAKE2b with a 256-bit digest (what "b2sum -l 256" prints): a quarter of SHA-256's time here,
// which every start of the programs pays.
QByteArray Digest(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Blake2b_256).toHex();
}

// The value of "name=value" among the lines; null when the line is missing or given twice.
QByteArray Value(const QList<QByteArray>& lines, const QByteArray& name)
{
    QByteArray found;
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(name + '='))
            continue;
        if (!found.isNull())
            return QByteArray();
        found = line.mid(name.size() + 1);
    }
    return found;
}

bool Count(const QByteArray& text, qint64& out)
{
    if (text.isEmpty() || text.size() > 15)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    out = text.toLongLong();
    return true;
}

} // namespace

QString PathFor(const QString& databasePath)
{
    return databasePath + QStringLiteral(".sum");
}

QByteArray Build(const QByteArray& database)
{
    return "# The check of the dictionary database beside it, written by mkdict with it. The\n"
           "# programs refuse a database that does not match it.\n"
           "records=" +
           QByteArray::number(database.size() / DatabaseLayout::kRecordSize) +
           "\nbytes=" + QByteArray::number(database.size()) + "\nblake2b-256=" + Digest(database) +
           '\n';
}

QString Verify(const QByteArray& check, const QByteArray& database, const QString& databaseName,
               const QString& checkName)
{
    const QList<QByteArray> lines = check.split('\n');
    qint64 records = 0;
    qint64 bytes = 0;
    const QByteArray digest = Value(lines, "blake2b-256").toLower();
    if (!Count(Value(lines, "records"), records) || !Count(Value(lines, "bytes"), bytes) ||
        records * DatabaseLayout::kRecordSize != bytes || digest.size() != 64) {
        return QStringLiteral("%1 is not a check of a dictionary (one line each of records=, "
                              "bytes= and blake2b-256=, as mkdict writes them); %2 was not loaded.")
            .arg(checkName, databaseName);
    }
    if (database.size() != bytes) {
        return QStringLiteral("%1 is %2 bytes, but %3 says %4 bytes (%5 records): the file is "
                              "truncated or was replaced; it was not loaded.")
            .arg(databaseName)
            .arg(database.size())
            .arg(checkName)
            .arg(bytes)
            .arg(records);
    }
    if (Digest(database) != digest) {
        return QStringLiteral("%1 does not match its check %2 (BLAKE2b-256): the file was damaged "
                              "or changed after it was built; it was not loaded.")
            .arg(databaseName, checkName);
    }
    return QString();
}

} // namespace DatabaseCheck
