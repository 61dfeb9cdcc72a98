#include "DialogTest.h"
#include "MainFrameTest.h"
#include "StartupTest.h"

#include <QApplication>
#include <QStandardPaths>
#include <QtTest>

// One main for every widget test: no screen needed, no real settings folders touched.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    int failed = 0;
    {
        CStartupTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        CDialogTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    {
        CMainFrameTest test;
        failed += QTest::qExec(&test, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
