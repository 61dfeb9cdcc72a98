// drivactl: the command-line front end of Drivara, for scripting, batch commissioning and
// headless checks. It drives the same core as the windows: the dictionary, the control link,
// the page logic and the unit formulas.

#include "CliOptions.h"
#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "base/Report.h"

#include <QCoreApplication>
#include <QHash>
#include <QLoggingCategory>

#include <functional>

namespace {
using Command = std::function<int(CCliSession&, const CliOptions&)>;

const QHash<QString, Command>& Commands()
{
    static const QHash<QString, Command> commands = {
        {QStringLiteral("dict"), RunDict},       {QStringLiteral("units"), RunUnits},
        {QStringLiteral("read"), RunRead},       {QStringLiteral("write"), RunWrite},
        {QStringLiteral("upload"), RunUpload},   {QStringLiteral("watch"), RunWatch},
        {QStringLiteral("dump"), RunDump},       {QStringLiteral("page"), RunPage},
        {QStringLiteral("set"), RunSet},         {QStringLiteral("info"), RunInfo},
        {QStringLiteral("errors"), RunErrors},   {QStringLiteral("mask"), RunMask},
        {QStringLiteral("pdo"), RunPdo},         {QStringLiteral("scope"), RunScope},
        {QStringLiteral("export"), RunExport},   {QStringLiteral("import"), RunImport},
        {QStringLiteral("diff"), RunDiff},       {QStringLiteral("store"), RunStore},
        {QStringLiteral("scan"), RunScan},       {QStringLiteral("nmt"), RunNmt},
        {QStringLiteral("monitor"), RunMonitor}, {QStringLiteral("batch"), RunBatch},
    };
    return commands;
}
} // namespace

int RunCommand(CCliSession& session, const CliOptions& options, bool connect)
{
    // A page file that cannot make its page is refused before the port is even opened.
    if (options.command == QLatin1String("page")) {
        const int result = CheckPage(session, options);
        if (result != ExitOk)
            return result;
    }
    // So is a mapping that no drive would take.
    if (options.command == QLatin1String("pdo")) {
        const int result = CheckPdo(session, options);
        if (result != ExitOk)
            return result;
    }
    // So is a transfer file that cannot be read.
    if (QStringList{"export", "import", "diff", "store"}.contains(options.command)) {
        const int result = CheckTransfer(session, options);
        if (result != ExitOk)
            return result;
    }
    if (connect && options.usesDrive()) {
        QString error;
        const int result = session.Connect(error);
        if (result != ExitOk) {
            Err() << "drivactl: " << error.trimmed() << '\n';
            return result;
        }
    }
    return Commands().value(options.command)(session, options);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("drivactl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DRIVARA_VERSION));
    // The CAN plugins chat about their sockets; drivactl reports what matters itself.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    // Operator messages of the core go to standard error as they would go to a message box.
    SetMessageSink([](const QString& text, MessageKind) {
        Err() << "drivactl: " << text.trimmed() << '\n';
        Err().flush();
    });

    CliOptions options;
    QString text;
    const CliRequest request = ParseCliOptions(app.arguments(), options, text);
    SetOutputFormat(options.json  ? OutputFormat::Json
                    : options.tsv ? OutputFormat::Tsv
                                  : OutputFormat::Text);
    switch (request) {
    case CliRequest::Help:
    case CliRequest::Version:
        Out() << text;
        Out().flush();
        return ExitOk;
    case CliRequest::Error:
        Err() << "drivactl: " << text.trimmed() << '\n';
        Err().flush();
        return ExitBadArguments;
    case CliRequest::Run:
        break;
    }

    // The installation is checked before anything waits on it.
    QString error;
    const int installation = CheckInstallation(options, error);
    if (installation != ExitOk) {
        Err() << "drivactl: " << error << '\n';
        return installation;
    }

    int result = ExitOk;
    {
        CCliSession session(options);
        result = session.LoadDictionary(error);
        if (result != ExitOk) {
            if (!error.isEmpty())
                Err() << "drivactl: " << error << '\n';
            return result;
        }
        result = RunCommand(session, options, true);
        if (result != ExitOk && session.deadlinePassed()) {
            Out().flush();
            Err() << "drivactl: the deadline of " << options.deadlineSeconds
                  << " s passed; the command ended there\n";
            result = ExitCommFailure;
        }
    }
    Out().flush();
    Err().flush();
    return result;
}
