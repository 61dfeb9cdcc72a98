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
    const QString settings[][2] = {{"comid", server.PortName()},
                                   {"buadrate", "115200"},
                                   {"driverid", "1"},
                                   {"timeout", "100"}};
    for (const auto& [key, value] : settings) {
        if (!Ini::WriteProfileString(ini, QStringLiteral("com"), key, value))
            return false;
    }
    return true;
}

CSysData& CGuiBench::NewSysData()
{
    sys = std::make_unique<CSysData>(CSysDataOptions{install.base(), lcid});
    return *sys;
}

bool CGuiBench::MakeSysData()
{
    NewSysData();
    sys->systemLanguage = sys->IsChineseSystem() ? 1 : 2;
    sys->SetListColumns(96);
    return sys->dictionary.WaitUntilLoaded(10000);
}

CMainFrame& CGuiBench::MakeMainFrame()
{
    frame = std::make_unique<CMainFrame>(*sys);
    frame->show();
    return *frame;
}

bool CGuiBench::Ready(bool withDrive)
{
    if ((withDrive && !StartDrive()) || !MakeSysData())
        return false;
    MakeMainFrame();
    return true;
}

bool CGuiBench::ConnectAndWait()
{
    frame->ConnectButton();
    return TestSupport::WaitFor([this] { return frame->logic().lastDriveState() != -1; }, 5000);
}
