#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

#include <cstdint>

struct TypeWidth;

// Standard output and error as text streams (UTF-8), flushed at exit.
QTextStream& Out();
QTextStream& Err();

class CSdoDatabase;
class CSdoRecord;
struct CliOptions;

// The first argument of a command that takes argCount arguments, as a dictionary object.
// Prints usage (or why the key is no good) and returns false when it is not one.
bool KeyArgument(const CSdoDatabase& dictionary, const CliOptions& options, int argCount,
                 const char* usage, uint32_t& key, CSdoRecord& record);

// "604100": the object key as six upper-case hexadecimal digits.
QString KeyText(uint32_t key);
// A raw value cut to the type's width, as decimal (signed for signed types) with its hexadecimal
// form, so that both always show the same number.
QString RawText(const TypeWidth& type, uint32_t raw);
QString RawText(const QString& dataType, uint32_t raw);
// "abort 0x06010001 Attempt to read a write only object"
QString AbortText(uint32_t code);

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
