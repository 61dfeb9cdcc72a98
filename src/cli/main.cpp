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
        {QStringLiteral("dict"), RunDict},     {QStringLiteral("units"), RunUnits},
        {QStringLiteral("read"), RunRead},     {QStringLiteral("write"), RunWrite},
        {QStringLiteral("upload"), RunUpload}, {QStringLiteral("watch"), RunWatch},
        {QStringLiteral("dump"), RunDump},     {QStringLiteral("page"), RunPage},
        {QStringLiteral("set"), RunSet},       {QStringLiteral("info"), RunInfo},
    };
    return commands;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // The CAN plugins chat about their sockets; drivactl reports what matters itself.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.canbus*=false"));
    // Operator messages of the core go to standard error as they would go to a message box.
    SetMessageSink([](const QString& text, MessageKind) {
        Err() << text.trimmed() << '\n';
        Err().flush();
    });

    CliOptions options;
    QString error;
    if (!ParseCliOptions(app.arguments(), options, error) ||
        options.command == QLatin1String("help")) {
        if (!error.isEmpty())
            Err() << "drivactl: " << error << '\n';
        Err() << CliUsage();
        return options.command == QLatin1String("help") ? ExitOk : ExitBadArguments;
    }
    const auto command = Commands().find(options.command);
    if (command == Commands().end()) {
        Err() << "drivactl: unknown command " << options.command << '\n' << CliUsage();
        return ExitBadArguments;
    }

    int result = ExitOk;
    {
        CCliSession session(options);
        if (!session.LoadDictionary(error)) {
            Err() << "drivactl: " << error << '\n';
            return ExitCommFailure;
        }
        if (options.usesDrive()) {
            result = session.Connect(error);
            if (result != ExitOk) {
                Err() << "drivactl: " << error.trimmed() << '\n';
                return result;
            }
        }
        result = (*command)(session, options);
    }
    Out().flush();
    Err().flush();
    return result;
}
