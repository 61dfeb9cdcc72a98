#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "base/TextNumbers.h"
#include "comm/AbortCodes.h"
#include "comm/SdoFrame.h"

#include <QHash>

namespace {

// Prints one answer; returns the exit code it stands for.
int PrintAnswer(CCliSession& session, uint32_t key, const CCliSession::Answer& answer)
{
    CSdoRecord record;
    session.sys().dictionary.Lookup(key, record);
    switch (answer.kind) {
    case CCliSession::Answer::Value:
    case CCliSession::Answer::Segment:
        Out() << KeyText(key) << ' ' << record.name << " = "
              << RawText(record.dataType, answer.value) << '\n';
        return ExitOk;
    case CCliSession::Answer::Abort:
        Out() << KeyText(key) << ' ' << record.name << " = abort "
              << QStringLiteral("0x%1").arg(answer.value, 8, 16, QLatin1Char('0')) << ' '
              << AbortCodeText(answer.value) << '\n';
        return ExitAbort;
    case CCliSession::Answer::CommFailed:
    case CCliSession::Answer::Timeout:
        break;
    }
    return ExitCommFailure;
}

bool ParseKeys(const QStringList& args, QVector<uint32_t>& keys)
{
    for (const QString& arg : args) {
        uint32_t key = 0;
        if (!ParseObjectKey(arg, key)) {
            Err() << "not an object key: " << arg << " (write 604100 or 6041:00)\n";
            return false;
        }
        keys.append(key);
    }
    return !keys.isEmpty();
}

int CommFailure(CCliSession& session)
{
    Err() << "communication with the drive failed";
    if (session.sys().connected != 1)
        Err() << " (Comm Status: Closed)";
    Err() << '\n';
    return ExitCommFailure;
}

} // namespace

int RunRead(CCliSession& session, const CliOptions& options)
{
    QVector<uint32_t> keys;
    if (!ParseKeys(options.args, keys))
        return ExitBadArguments;
    int result = ExitOk;
    for (uint32_t key : keys) {
        const int code = PrintAnswer(session, key, session.Exchange(SdoFrame::kRead, key, 0));
        if (code == ExitCommFailure)
            return CommFailure(session);
        result = std::max(result, code);
    }
    return result;
}

int RunWrite(CCliSession& session, const CliOptions& options)
{
    uint32_t key = 0;
    CSdoRecord record;
    if (!KeyArgument(session.sys().dictionary, options, 2, "write takes KEY VALUE", key, record))
        return ExitBadArguments;
    bool ok = false;
    const QString text = options.args.at(1);
    qlonglong value = text.toLongLong(&ok, 0);
    if (!ok)
        value = static_cast<qlonglong>(text.toULongLong(&ok, 0));
    const uint8_t command = CSysData::WriteCommandForType(record.dataType);
    if (!ok || command == 0) {
        Err() << (ok ? "objects of type " + record.dataType + " cannot be written with write\n"
                     : "not a number: " + text + '\n');
        return ExitBadArguments;
    }
    const int code =
        PrintAnswer(session, key, session.Exchange(command, key, static_cast<uint32_t>(value)));
    return code == ExitCommFailure ? CommFailure(session) : code;
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
    if (!session.Upload(key, text, answer)) {
        const int code = PrintAnswer(session, key, answer);
        return code == ExitCommFailure ? CommFailure(session) : code;
    }
    CSdoRecord record;
    session.sys().dictionary.Lookup(key, record);
    Out() << KeyText(key) << ' ' << record.name << " = \"" << QString::fromUtf8(text) << "\"\n";
    return ExitOk;
}

int RunDump(CCliSession& session, const CliOptions&)
{
    CSdoDatabase& dictionary = session.sys().dictionary;
    int result = ExitOk;
    CSdoRecord record;
    for (int i = 0; i < dictionary.GetCount(); ++i) {
        if (!dictionary.GetAt(i, record))
            break;
        const int code =
            PrintAnswer(session, record.key, session.Exchange(SdoFrame::kRead, record.key, 0));
        if (code == ExitCommFailure)
            return CommFailure(session);
        result = std::max(result, code);
    }
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
    int result = ExitOk;
    session.onMessage = [&](unsigned message, uint32_t wParam, uint32_t lParam) {
        if (!seen.contains(lParam) || (message != WM_SDO_VALUE && message != WM_SDO_ABORT))
            return;
        CCliSession::Answer answer;
        answer.kind =
            message == WM_SDO_VALUE ? CCliSession::Answer::Value : CCliSession::Answer::Abort;
        answer.value = wParam;
        result = std::max(result, PrintAnswer(session, lParam, answer));
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
    const bool finished = session.WaitUntil(done, count * 5000 + 5000);
    sys.link.DisableLoop(session.hwnd());
    session.onMessage = nullptr;
    if (!finished)
        return CommFailure(session);
    return result;
}
