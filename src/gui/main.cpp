#include "DrivaraApp.h"
#include "GuiReport.h"
#include "app/SysData.h"
#include "comm/MessageLayer.h"

#include <QApplication>

#include <cstdio>

namespace {
void NameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("drivara"));
    QCoreApplication::setApplicationVersion(QLatin1String(kDrivaraVersion));
}
} // namespace

int main(int argc, char** argv)
{
    CDrivaraOptions options;
    {
        // The command line is read before the windowing system is asked for anything: help,
        // the version and a refused option need no display.
        QCoreApplication commandLine(argc, argv);
        NameTheProgram();
        options = ParseDrivaraOptions(QCoreApplication::arguments());
    }
    switch (options.request) {
    case CDrivaraOptions::Help:
    case CDrivaraOptions::Version:
        std::fputs(qPrintable(options.output), stdout);
        return 0;
    case CDrivaraOptions::Error:
        std::fprintf(stderr, "drivara: %s\n%s(drivara --help lists the options)\n",
                     qPrintable(options.output.trimmed()), qPrintable(DrivaraUsage()));
        return kExitBadArguments;
    case CDrivaraOptions::Run:
        break;
    }

    QApplication app(argc, argv);
    NameTheProgram();
    InstallMessageBoxSink();

    int exitCode = 0;
    {
        CSysData sys(CSysDataOptions{options.baseDir, -1});
        // A screenshot shows the window at its default place and size.
        CDrivaraApp drivara(sys, options.screenshotPath.isEmpty());
        if (drivara.InitInstance(exitCode)) {
            drivara.RunOptions(options);
            exitCode = app.exec();
        }
        // A worker still delivering a result must not wait for windows that are going.
        sys.stopThreads = 1;
        CMessageLayer::Instance().Shutdown();
    }
    return exitCode;
}
