#pragma once

#include <QByteArray>
#include <QString>

// The check that mkdict writes beside a database file it builds (velmor.dat.sum): the number of
// records, the size and a BLAKE2b-256 digest of the whole file. A database cut at a record
// boundary reads as a smaller dictionary without any sign of damage, so only a record of what
// was built can tell it from the real one. A hand-made database without a check loads as it always
// did.
namespace DatabaseCheck {

// The check file that belongs to a database file: its path with ".sum" appended.
QString PathFor(const QString& databasePath);

// The text of the check file for the bytes of a database.
QByteArray Build(const QByteArray& database);

// Empty when the database matches the check; otherwise the operator's text, naming the database
// file by databaseName and the check by checkName.
QString Verify(const QByteArray& check, const QByteArray& database, const QString& databaseName,
               const QString& checkName);

// A check file is a few short lines; anything longer is not one.
constexpr qint64 kMaxCheckSize = 4096;

} // namespace DatabaseCheck
