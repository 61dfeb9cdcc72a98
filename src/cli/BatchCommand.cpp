// drivactl batch: many commands over one connection, one result line each, the way CANopen
// command-line gateways answer ("[3] OK ..." or "[3] ERROR ..."), so that a script sees every
// line's outcome and the drive is not reopened per command.

#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <algorithm>

namespace {

// What a failed line's exit code stands for.
QString FailureKind(int exitCode)
{
    switch (exitCode) {
    case ExitAbort:
        return QStringLiteral("abort");
    case ExitCommFailure:
        return QStringLiteral("communication");
    case ExitBadArguments:
        return QStringLiteral("bad line");
    default:
        return QStringLiteral("local data");
    }
}

// The lines of a command's output as one, for a result line.
QString OneLine(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(" | "));
}

// The records a line's command printed as one JSON array, each kept as printed (its fields in
// their order); a line that is no JSON object goes in as a string.
QString Records(const QString& text)
{
    QStringList records;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (QJsonDocument::fromJson(line.toUtf8()).isObject()) {
            records << line;
            continue;
        }
        const QByteArray quoted = QJsonDocument(QJsonArray{line}).toJson(QJsonDocument::Compact);
        records << QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
    }
    return QLatin1Char('[') + records.join(QLatin1Char(',')) + QLatin1Char(']');
}

// Runs one line; prints its result and returns its exit code.
int RunLine(CCliSession& session, const CliOptions& batch, int number, const QString& line)
{
    int exitCode = ExitOk;
    QString out, err;
    {
        COutputCapture capture;
        CliOptions options;
        QString text;
        const QStringList words = QProcess::splitCommand(line);
        switch (ParseCliOptions(QStringList{"drivactl"} + words, options, text, &batch)) {
        case CliRequest::Run:
            exitCode = RunCommand(session, options, false);
            break;
        case CliRequest::Help:
        case CliRequest::Version:
            Out() << text;
            break;
        case CliRequest::Error:
            Err() << text;
            exitCode = ExitBadArguments;
            break;
        }
        out = capture.out();
        err = capture.err();
    }
    // Failures say why on standard error; a refused read on standard output, in the lines
    // that carry the abort code; the deadline is named once by the program, so here.
    QString reason = OneLine(err);
    if (reason.isEmpty() && session.deadlinePassed())
        reason = QStringLiteral("the deadline of %1 s passed").arg(batch.deadlineSeconds);
    if (reason.isEmpty()) {
        QStringList refusals;
        for (const QString& printed : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (printed.contains(QLatin1String("abort")))
                refusals << printed;
        reason = OneLine(refusals.isEmpty() ? out : refusals.join(QLatin1Char('\n')));
    }
    const bool ok = exitCode == ExitOk;
    if (RecordOutput()) {
        CRecord record;
        record.Add("line", number)
            .Add("result", ok ? QStringLiteral("OK") : QStringLiteral("ERROR"))
            .Add("exit", exitCode)
            .Add("reason", ok ? QString() : FailureKind(exitCode) + QStringLiteral(": ") + reason);
        if (CurrentOutputFormat() == OutputFormat::Json)
            record.AddJson("output", Records(out));
        else
            record.Add("output", OneLine(out));
        record.Print();
    } else if (ok) {
        const QString shown = OneLine(out);
        Out() << '[' << number << "] OK" << (shown.isEmpty() ? QString() : QLatin1Char(' ') + shown)
              << '\n';
    } else {
        Out() << '[' << number << "] ERROR " << FailureKind(exitCode) << ": " << reason << '\n';
    }
    // Notes of a line that succeeded (what dump left out, say) stay visible.
    if (ok && !OneLine(err).isEmpty())
        Err() << '[' << number << "] " << OneLine(err) << '\n';
    Out().flush();
    Err().flush();
    return exitCode;
}

} // namespace

int RunBatch(CCliSession& session, const CliOptions& options)
{
    if (options.args.size() != 1) {
        Err() << "batch takes one FILE, or - for standard input\n";
        return ExitBadArguments;
    }
    const QString path = options.args.first();
    QFile file;
    const bool opened =
        path == QLatin1String("-")
            ? file.open(stdin, QIODevice::ReadOnly | QIODevice::Text)
            : (file.setFileName(path), file.open(QIODevice::ReadOnly | QIODevice::Text));
    if (!opened) {
        Err() << "cannot read " << path << ": " << file.errorString() << '\n';
        return ExitDataProblem;
    }
    int worst = ExitOk;
    int number = 0;
    // Lines are read as they come (an empty read is the end), so that a script may feed them
    // one by one.
    for (QByteArray raw = file.readLine(); !raw.isEmpty(); raw = file.readLine()) {
        const QString line = QString::fromUtf8(raw).trimmed();
        ++number;
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        worst = std::max(worst, RunLine(session, options, number, line));
        // The --deadline ends the whole batch: the lines after it are not run, which the exit
        // code says.
        if (session.deadlinePassed())
            return std::max(worst, int(ExitCommFailure));
    }
    return worst;
}
