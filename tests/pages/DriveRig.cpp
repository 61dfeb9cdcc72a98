#include "DriveRig.h"

#include "comm/CommPort.h"
#include "pages/ConstantArrival.h"

namespace PageTest {

void CMainFrameStandIn::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_SDO_VALUE && lParam != kStatuswordKey) {
        OnConstantArrived(m_sys.evaluator, lParam, wParam);
    } else if (message == WM_COMM_FAILED && wParam == 0) {
        ++commFailures;
        m_sys.connected = 2;
        m_sys.link.Close();
    }
}

CDriveRig::CDriveRig(const CPageInstall& install, int baud) : m_install(install), m_baud(baud) {}

CDriveRig::~CDriveRig()
{
    // The link's worker ends with the data object, before the drive it talks to.
    sys.reset();
    mainFrame.reset();
    server.reset();
}

QString CDriveRig::Start()
{
    QString error;
    if (!drive.Load(m_install.dataDir(), &error))
        return QStringLiteral("virtual drive: ") + error;
    server = std::make_unique<CSimSerialServer>(drive);
    if (!server->Start(1, m_baud))
        return QStringLiteral("serial server: ") + server->ErrorString();
    sys = MakeSysData(m_install);
    mainFrame = std::make_unique<CMainFrameStandIn>(*sys);
    sys->mainFrameWnd = mainFrame->hwnd();
    if (sys->link.SetMode(CCommPort::ModeSerial) != 1)
        return QStringLiteral("serial library not loaded");

    // Words 0-3: the port name in UTF-16; then node id, baud rate and reply timeout.
    uint32_t settings[7] = {};
    char16_t name[8] = {};
    const QString port = server->PortName();
    for (int i = 0; i < port.size() && i < 7; ++i)
        name[i] = port.at(i).unicode();
    for (int word = 0; word < 4; ++word)
        settings[word] = uint32_t(name[2 * word]) | (uint32_t(name[2 * word + 1]) << 16);
    settings[4] = 1;
    settings[5] = m_baud > 0 ? uint32_t(m_baud) : 115200;
    settings[6] = 100;
    sys->link.SetNodeId(1);
    const int opened = sys->link.Open(settings);
    if (opened != 0)
        return QStringLiteral("link open gave %1").arg(opened);
    return {};
}

} // namespace PageTest
