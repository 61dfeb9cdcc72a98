#include "GuiBench.h"

#include <QApplication>
#include <QStandardPaths>

// One main for every widget test: no screen needed, no real settings folders touched.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int failed = 0;
    for (auto run : {RunStartupTest, RunDialogTest, RunMainFrameTest})
        failed += run(argc, argv);
    return failed == 0 ? 0 : 1;
}
