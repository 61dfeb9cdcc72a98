#include "GuiBench.h"

#include "base/IniFile.h"

CGuiBench::CGuiBench(const QString& sysIni, int systemLcid) : install(sysIni), lcid(systemLcid)
{
    m_previousSink =
        SetMessageSink([this](const QString& text, MessageKind) { messages.append(text); });
}

CGuiBench::~CGuiBench()
{
    frame.reset();
    sys.reset();
    server.Stop();
    SetMessageSink(m_previousSink);
}

bool CGuiBench::StartDrive()
{
    if (!drive.Load(TestSupport::DistDir() + QStringLiteral("/data")) || !server.Start(1, 0))
        return false;
    const QString ini = install.path(QStringLiteral("sys/sys.ini"));
    return Ini::WriteProfileString(ini, QStringLiteral("com"), QStringLiteral("comid"),
                                   server.PortName()) &&
           Ini::WriteProfileString(ini, QStringLiteral("com"), QStringLiteral("buadrate"),
                                   QStringLiteral("115200")) &&
           Ini::WriteProfileString(ini, QStringLiteral("com"), QStringLiteral("driverid"),
                                   QStringLiteral("1")) &&
           Ini::WriteProfileString(ini, QStringLiteral("com"), QStringLiteral("timeout"),
                                   QStringLiteral("100"));
}

bool CGuiBench::MakeSysData()
{
    sys = std::make_unique<CSysData>(CSysDataOptions{install.base(), lcid});
    sys->systemLanguage = sys->IsChineseSystem() ? 1 : 2;
    if (!sys->dictionary.WaitUntilLoaded(10000))
        return false;
    sys->SetListColumns(96);
    return true;
}

CMainFrame& CGuiBench::MakeMainFrame()
{
    frame = std::make_unique<CMainFrame>(*sys);
    frame->show();
    return *frame;
}

bool CGuiBench::ConnectAndWait()
{
    frame->ConnectButton();
    return TestSupport::WaitFor([this] { return frame->logic().lastDriveState() != -1; }, 5000);
}
