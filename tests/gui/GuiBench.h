#pragma once

#include "MainFrame.h"
#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/Report.h"

#include <QStringList>

#include <memory>

// The program's windows on a temporary installation, with the virtual drive served on a
// pseudo-terminal through the real serial library. Operator messages are recorded, not shown.
class CGuiBench
{
public:
    static constexpr int kChineseLcid = 2052;
    static constexpr int kEnglishLcid = 1033;

    explicit CGuiBench(const QString& sysIni = QStringLiteral("[sys]\nlang=2\ncomm=2\n"),
                       int lcid = kEnglishLcid);
    ~CGuiBench();

    // Serves the drive and saves its port as the serial settings; false when it cannot.
    bool StartDrive();
    // The program-wide data, as the program makes it at start.
    CSysData& NewSysData();
    // The same with its dictionary loaded and list columns for 96 dots per inch.
    bool MakeSysData();
    CMainFrame& MakeMainFrame();
    // The drive (unless not wanted), the data object and the main frame, shown.
    bool Ready(bool withDrive = true);
    // The main frame's connect button, waiting until the drive's first statusword arrived.
    bool ConnectAndWait();

    TestSupport::TempInstall install;
    CVirtualDrive drive;
    CSimSerialServer server{drive};
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CMainFrame> frame;
    QStringList messages;
    int lcid;

private:
    MessageSink m_previousSink;
};

// The test classes, each run by the one main.
int RunStartupTest(int argc, char** argv);
int RunDialogTest(int argc, char** argv);
int RunMainFrameTest(int argc, char** argv);
