#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVector>

#include <optional>

// Readers for the shipped data files, written against the file layouts themselves so that these
// tests judge the data independently of the program's loaders.
namespace DataFiles {

constexpr int kRecordSize = 4514;

struct DatRecord
{
    quint32 key = 0;
    QString nameZh;
    QString nameEn;
    QString type;
    QString attr;
    QString helpZh;
    QString helpEn;
    QString unit;
    quint32 modbus = 0;
};

// Parses velmor.dat bytes. Returns false with a reason on the first malformed record (bad hex
// text, a text field that fills its width without a terminating NUL, invalid UTF-8).
bool ParseDatabase(const QByteArray& bytes, QVector<DatRecord>& out, QString& error);

struct DefaultValue
{
    QString type;
    QString attr;
    QString value; // unescaped text for VISIBLE STRING
};

// Parses velmor-defaults.tsv: key (6 hex digits), type, attribute, value per line, in file order.
bool ParseDefaults(const QByteArray& bytes, QVector<QPair<quint32, DefaultValue>>& out,
                   QString& error);

struct UnitRecord
{
    QString name;
    QString label;
    QString formula;
};

// Splits a unit text into records the way the unit table does.
QVector<UnitRecord> ParseUnitText(QString text);

// Object keys of the constants "[IIIISSBB]" of a formula, with the width digits BB.
QVector<QPair<quint32, int>> FormulaConstants(const QString& formula);

// Evaluates a formula with the unit table's rules (left to right, one trailing + or -, sqrt of
// k*N, N/k, k+N or N-k). Returns nothing when the formula is malformed for those rules: a
// character the compiler does not know, operands and operators out of turn, nodes that the
// evaluator would drop, a sqrt whose operator is found outside its parentheses, or a constant
// missing from `constants`.
std::optional<double> Evaluate(const QString& formula, double n,
                               const QHash<quint32, qint64>& constants);

} // namespace DataFiles
