#pragma once

#include "MainFrame.h"
#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "base/Report.h"
#include "app/SysData.h"

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
    // The program-wide data with its dictionary loaded and list columns for 96 dots per inch.
    bool MakeSysData();
    // The main frame, shown.
    CMainFrame& MakeMainFrame();
    // The main frame's connect button, waiting until the drive's first statusword arrived.
    bool ConnectAndWait();
    QString PortName() const { return server.PortName(); }
    bool HasMessage(const QString& text) const { return messages.contains(text); }

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
