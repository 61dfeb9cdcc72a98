#pragma once

#include "PageTestSupport.h"

#include "SimSerialServer.h"
#include "VirtualDrive.h"

#include <memory>

namespace PageTest {

// The main frame as far as pages need it: answers constant reads into the formula evaluator
// and closes the link on a transfer failure.
class CMainFrameStandIn : public CMessageReceiver
{
public:
    explicit CMainFrameStandIn(CSysData& sys) : m_sys(sys), m_handle(this) {}
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    HWND hwnd() const { return m_handle.hwnd(); }
    int commFailures = 0;

private:
    CSysData& m_sys;
    CWindowHandle m_handle;
};

// A virtual drive served on a pseudo-terminal and the program-wide data object whose link is
// open to it. The link is opened but not marked connected: Connect() does that, so a page can
// be created offline first.
class CDriveRig
{
public:
    explicit CDriveRig(const CPageInstall& install, int baud = 0);
    ~CDriveRig();
    // Empty on success, else why not.
    QString Start();
    void Connect() { sys->connected = 1; }
    void Disconnect() { sys->connected = 2; }

    CVirtualDrive drive;
    std::unique_ptr<CSimSerialServer> server;
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CMainFrameStandIn> mainFrame;

private:
    const CPageInstall& m_install;
    int m_baud;
};

} // namespace PageTest
