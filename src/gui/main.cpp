#include "DrivaraApp.h"
#include "GuiReport.h"
#include "app/SysData.h"
#include "base/EventDispatcher.h"
#include "comm/MessageLayer.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    PreferQtEventDispatcher();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("drivara"));
    QApplication::setApplicationVersion(QStringLiteral("1.6"));
    const CDrivaraOptions options = ParseDrivaraOptions(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(
            stderr,
            "drivara: %s\nusage: drivara [--base DIR] [--serial PORT [--baud N] [--node N]] "
            "[--connect] [--open PAGE...] [--tile] [--screenshot FILE]\n",
            qPrintable(options.error));
        return 2;
    }
    InstallMessageBoxSink();

    int exitCode = 0;
    {
        CSysData sys(CSysDataOptions{options.baseDir, -1});
        CDrivaraApp drivara(sys);
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
