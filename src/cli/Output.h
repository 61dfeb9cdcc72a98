#pragma once

#include <QElapsedTimer>
#include <QJsonValue>
#include <QPair>
#include <QString>
#include <QTextStream>
#include <QVector>

#include <cstdint>

struct TypeWidth;

// Standard output and error as text streams (UTF-8), flushed at exit; while a COutputCapture
// lives, its strings.
QTextStream& Out();
QTextStream& Err();

// Takes what commands print to Out() and Err() for its lifetime: batch runs a line's command
// and then prints one result line of it.
class COutputCapture
{
public:
    COutputCapture();
    ~COutputCapture();
    COutputCapture(const COutputCapture&) = delete;
    COutputCapture& operator=(const COutputCapture&) = delete;
    // What was printed so far, flushed.
    QString out();
    QString err();

private:
    QString m_out, m_err;
    QTextStream m_outStream{&m_out};
    QTextStream m_errStream{&m_err};
    QTextStream* m_outerOut;
    QTextStream* m_outerErr;
};

// How commands print their results: text for people, or records for scripts (--tsv, --json).
enum class OutputFormat
{
    Text,
    Tsv,  // one record per line, its fields' values in order, separated by tabs; no header
    Json, // one record per line as a JSON object (JSON Lines)
};
void SetOutputFormat(OutputFormat format);
OutputFormat CurrentOutputFormat();
// Whether results go out as records: then standard output carries records only, and summaries
// and progress notes go to standard error.
inline bool RecordOutput()
{
    return CurrentOutputFormat() != OutputFormat::Text;
}
// Where a summary line goes: standard output for people, standard error beside records.
inline QTextStream& Note()
{
    return RecordOutput() ? Err() : Out();
}

// One result for scripts: named fields in a fixed order, printed as one line in the current
// format. A command gives every record of a kind the same fields, so that TSV columns line up;
// a field with nothing to say is null (JSON) or empty (TSV).
class CRecord
{
public:
    CRecord& Add(const char* name, const QJsonValue& value);
    // A field whose value is JSON text already (records kept in their field order); in TSV the
    // text itself.
    CRecord& AddJson(const char* name, const QString& json);
    QString Line(OutputFormat format) const;
    void Print() const;

private:
    struct Field
    {
        QString name;
        QJsonValue value;
        QString json; // set: the value as JSON text
    };
    QVector<Field> m_fields;
};

class CSdoDatabase;
class CSdoRecord;
struct CliOptions;

// The first argument of a command that takes argCount arguments, as a dictionary object.
// Prints usage (or why the key is no good) and returns false when it is not one.
bool KeyArgument(const CSdoDatabase& dictionary, const CliOptions& options, int argCount,
                 const char* usage, uint32_t& key, CSdoRecord& record);

// "6041:00": the object key as index and subindex in upper-case hexadecimal, the CANopen habit;
// every output names objects so.
QString KeyText(uint32_t key);
// A raw value cut to the type's width, as decimal (signed for signed types) with its hexadecimal
// form, so that both always show the same number.
QString RawText(const TypeWidth& type, uint32_t raw);
QString RawText(const QString& dataType, uint32_t raw);
// "abort 0x06010001 Attempt to read a write only object"
QString AbortText(uint32_t code);
// "0x06010001 Attempt to read a write only object", the abort field of a record.
QString AbortField(uint32_t code);

// A progress line ("dump 120/547") on standard error for a long command whose rows go to a file
// or a pipe: shown only while standard error is a terminal and standard output is not (on a
// terminal the rows themselves show the progress), redrawn at most ten times a second and
// cleared when done.
class CProgress
{
public:
    // rowsOnStdout false: the rows go to a file, so the line shows whenever standard error is a
    // terminal.
    CProgress(const QString& what, int total, bool rowsOnStdout = true);
    ~CProgress() { Done(); }
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    void Show(int done);
    void Done();

private:
    QString m_what;
    int m_total;
    bool m_enabled;
    bool m_visible = false;
    QElapsedTimer m_lastDrawn;
};
