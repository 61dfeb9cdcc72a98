#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "base/TextNumbers.h"
#include "comm/SdoFrame.h"

#include <QHash>

namespace {

// The record of an object's value: key, name, value (a number as its type reads it, or a text),
// the raw bits in hexadecimal, and the abort code and text of a refusal.
void PrintValueRecord(uint32_t key, const QString& name, const QJsonValue& value,
                      const QString& hex, const QString& abort)
{
    CRecord()
        .Add("key", KeyText(key))
        .Add("name", name)
        .Add("value", value)
        .Add("hex", hex)
        .Add("abort", abort)
        .Print();
}

// A raw value as its type reads it and its bits in hexadecimal; an object of no known width as
// an unsigned 32-bit one.
QJsonValue NumberOf(const TypeWidth& type, uint32_t raw)
{
    return double((type.valid() ? type : TypeWidth{32, false}).value(raw));
}

QString HexOf(const TypeWidth& type, uint32_t raw)
{
    const TypeWidth shown = type.valid() ? type : TypeWidth{32, false};
    return QStringLiteral("0x%1").arg(shown.mask(raw), shown.bits / 4, 16, QLatin1Char('0'));
}

void PrintRawRecord(uint32_t key, const QString& name, const TypeWidth& type, uint32_t raw)
{
    PrintValueRecord(key, name, NumberOf(type, raw), HexOf(type, raw), QString());
}

// Prints one read answer; returns the exit code it stands for.
int PrintRead(CCliSession& session, uint32_t key, const CCliSession::Answer& answer)
{
    CSdoRecord record;
    session.sys().dictionary.Lookup(key, record);
    switch (answer.kind) {
    case CCliSession::Answer::Value:
        if (RecordOutput())
            PrintRawRecord(key, record.name, TypeWidthOf(record.dataType), answer.value);
        else
            Out() << KeyText(key) << ' ' << record.name << " = "
                  << RawText(record.dataType, answer.value) << '\n';
        return ExitOk;
    case CCliSession::Answer::Abort:
        if (RecordOutput())
            PrintValueRecord(key, record.name, QJsonValue(), QString(), AbortField(answer.value));
        else
            Out() << KeyText(key) << ' ' << record.name << " = " << AbortText(answer.value) << '\n';
        return ExitAbort;
    default:
        return ReportNoAnswer(session, key, answer);
    }
}

// A text as drivactl prints it: in quotes, up to the zero bytes a drive pads its strings with.
QString QuotedText(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\0');
    return QLatin1Char('"') + QString::fromUtf8(end >= 0 ? bytes.left(end) : bytes) +
           QLatin1Char('"');
}

QString TextOf(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromUtf8(end >= 0 ? bytes.left(end) : bytes);
}

void PrintText(uint32_t key, const QString& name, const QByteArray& text)
{
    if (RecordOutput())
        PrintValueRecord(key, name, TextOf(text), QString(), QString());
    else
        Out() << KeyText(key) << ' ' << name << " = " << QuotedText(text) << '\n';
}

// Reads one object and prints it: a text object whole by an upload, any other by one read.
int ReadAndPrint(CCliSession& session, uint32_t key)
{
    CSdoRecord record;
    if (!session.sys().dictionary.Lookup(key, record) || !IsTextType(record.dataType))
        return PrintRead(session, key, session.Exchange(SdoFrame::kRead, key, 0));
    QByteArray text;
    CCliSession::Answer answer;
    if (!session.Upload(key, text, answer))
        return PrintRead(session, key, answer);
    PrintText(key, record.name, text);
    return ExitOk;
}

bool ParseKeys(const QStringList& args, QVector<uint32_t>& keys)
{
    for (const QString& arg : args) {
        uint32_t key = 0;
        if (!ParseObjectKey(arg, key)) {
            Err() << "not an object key: " << arg << " (write 6041:00, 604100 or 6041 0)\n";
            return false;
        }
        keys.append(key);
    }
    if (keys.isEmpty())
        Err() << "give at least one KEY\n";
    return !keys.isEmpty();
}

} // namespace

int RunRead(CCliSession& session, const CliOptions& options)
{
    QVector<uint32_t> keys;
    if (!ParseKeys(options.args, keys))
        return ExitBadArguments;
    int result = ExitOk;
    for (uint32_t key : keys) {
        const int code = ReadAndPrint(session, key);
        if (code == ExitCommFailure)
            return code;
        result = std::max(result, code);
    }
    return result;
}

int RunWrite(CCliSession& session, const CliOptions& options)
{
    uint32_t key = 0;
    if (options.args.size() != 2 || !ParseObjectKey(options.args.at(0), key)) {
        Err() << "write takes KEY VALUE [--type u8|u16|u32|i8|i16|i32]\n";
        return ExitBadArguments;
    }
    CSdoRecord record;
    const bool known = session.sys().dictionary.Lookup(key, record);
    TypeWidth type = options.type;
    if (!type.valid()) {
        if (!known) {
            Err() << KeyText(key)
                  << " is not in the dictionary; give its type with --type u8|u16|u32|i8|i16|i32\n";
            return ExitBadArguments;
        }
        type = TypeWidthOf(record.dataType);
        if (IsTextType(record.dataType) && session.sys().link.Profile() == LinkProfile::CanOpen)
            return WriteText(session, key, record.name, options.args.at(1));
        if (!type.valid()) {
            Err() << KeyText(key) << ' ' << record.name << " is of type " << record.dataType
                  << ", which write cannot write\n";
            return ExitBadArguments;
        }
    }
    const QString name = known ? QLatin1Char(' ') + record.name : QString();
    const QString text = options.args.at(1);
    int64_t value = 0;
    if (!ParseTypedInteger(text, value) || !type.fits(value)) {
        Err() << '"' << text << "\" is not a whole number from " << type.rangeText() << " (type "
              << type.name() << "; decimal, or hexadecimal with 0x); nothing was written\n";
        return ExitBadArguments;
    }
    const uint8_t command = CSysData::WriteCommandForType(type.name());
    const uint32_t raw = static_cast<uint32_t>(value);
    const CCliSession::Answer answer = session.Exchange(command, key, raw);
    switch (answer.kind) {
    case CCliSession::Answer::Unconfirmed:
        return ReportUnconfirmed(key, type, raw, answer);
    case CCliSession::Answer::Value:
        if (RecordOutput())
            PrintRawRecord(key, record.name, type, answer.value);
        else
            Out() << KeyText(key) << name << " = " << RawText(type, answer.value) << '\n';
        // The confirmation carries the value the drive now holds.
        if (type.mask(answer.value) != type.mask(raw)) {
            Err() << KeyText(key) << ": the drive holds " << RawText(type, answer.value)
                  << ", not the value written\n";
            return ExitAbort;
        }
        return ExitOk;
    case CCliSession::Answer::Abort:
        if (RecordOutput()) {
            // The value the drive holds after the refusal, when the link could read it back.
            PrintValueRecord(
                key, record.name, answer.heldKnown ? NumberOf(type, answer.held) : QJsonValue(),
                answer.heldKnown ? HexOf(type, answer.held) : QString(), AbortField(answer.value));
            return ExitAbort;
        }
        Out() << KeyText(key) << name << ": write refused, " << AbortText(answer.value) << '\n';
        if (answer.heldKnown)
            Out() << KeyText(key) << name << " = " << RawText(type, answer.held) << '\n';
        return ExitAbort;
    default:
        return ReportNoAnswer(session, key, answer);
    }
}

int RunUpload(CCliSession& session, const CliOptions& options)
{
    uint32_t key = 0;
    if (options.args.size() != 1 || !ParseObjectKey(options.args.at(0), key)) {
        Err() << "upload takes one KEY\n";
        return ExitBadArguments;
    }
    QByteArray text;
    CCliSession::Answer answer;
    if (!session.Upload(key, text, answer))
        return PrintRead(session, key, answer);
    CSdoRecord record;
    session.sys().dictionary.Lookup(key, record);
    PrintText(key, record.name, text);
    return ExitOk;
}

int RunDump(CCliSession& session, const CliOptions&)
{
    CSdoDatabase& dictionary = session.sys().dictionary;
    // Write-only objects would only be refused: they are left out, and said so.
    QVector<uint32_t> keys;
    int leftOut = 0;
    CSdoRecord record;
    for (int i = 0; dictionary.GetAt(i, record); ++i) {
        if (record.attribute.contains(QLatin1Char('R')))
            keys.append(record.key);
        else
            ++leftOut;
    }
    int result = ExitOk;
    CProgress progress(QStringLiteral("dump"), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        const int code = ReadAndPrint(session, keys[i]);
        Out().flush();
        progress.Show(i + 1);
        if (code == ExitCommFailure)
            return code;
        result = std::max(result, code);
    }
    progress.Done();
    if (leftOut > 0)
        Err() << "dump: " << leftOut << (leftOut == 1 ? " object" : " objects")
              << " left out (not readable)\n";
    return result;
}

int RunWatch(CCliSession& session, const CliOptions& options)
{
    QVector<uint32_t> keys;
    if (!ParseKeys(options.args, keys))
        return ExitBadArguments;
    CSysData& sys = session.sys();
    QHash<uint32_t, int> seen;
    for (uint32_t key : keys) {
        CSdoRecord record;
        sys.dictionary.Lookup(key, record);
        // Polled in the group the pages would use: writable objects in group 2.
        sys.link.AddLoop(session.hwnd(), key, record.attribute.contains(QLatin1Char('W')) ? 2 : 1);
        seen.insert(key, 0);
    }
    // An earlier watch of the same batch left its objects in the list, disabled; a page or set
    // before it paused polling.
    sys.link.EnableLoop(session.hwnd());
    sys.pollingEnabled = 1;
    int result = ExitOk;
    session.onMessage = [&](unsigned message, uint32_t wParam, uint32_t lParam) {
        if (!seen.contains(lParam) || (message != WM_SDO_VALUE && message != WM_SDO_ABORT))
            return;
        CCliSession::Answer answer;
        answer.kind =
            message == WM_SDO_VALUE ? CCliSession::Answer::Value : CCliSession::Answer::Abort;
        answer.value = wParam;
        result = std::max(result, PrintRead(session, lParam, answer));
        Out().flush();
        ++seen[lParam];
    };
    const int count = options.count > 0 ? options.count : 10;
    auto done = [&] {
        for (int n : seen)
            if (n < count)
                return false;
        return true;
    };
    // A drive that stops answering ends the wait through the link's failure report.
    const bool finished = session.WaitUntil(done, -1);
    sys.link.DisableLoop(session.hwnd());
    session.onMessage = nullptr;
    if (!finished)
        return ReportNoAnswer(session, keys.first(), CCliSession::Answer());
    return result;
}
