#pragma once

#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "comm/MessageLayer.h"
#include "units/ConstantArrival.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CParamPage;

namespace GuiPageTest {

// Stands in for the main frame's part in unit conversions: the answers to the drive constants
// that formulas read through the main frame's window are cached and parked conversions resumed.
class CConstantReceiver : public CMessageReceiver
{
public:
    explicit CConstantReceiver(CSysData& sys) : m_sys(sys), m_handle(this)
    {
        m_sys.mainFrameWnd = m_handle.hwnd();
    }
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        if (message == WM_SDO_VALUE && lParam != DriveObject::kStatusword)
            OnConstantArrived(m_sys.evaluator, lParam, wParam);
    }

private:
    CSysData& m_sys;
    CWindowHandle m_handle;
};

// An installation (the shipped page files and dictionary, or a crafted one), the virtual drive
// served on a pseudo-terminal, and the data object whose link is open and connected to it
// through the real serial library.
class CDriveRig
{
public:
    // language: 1 Chinese, 2 English. prepare may replace files of the installation before the
    // drive and the data object read it. baud paces the drive's replies as a real line would
    // (0: as fast as it can). The link's reply timeout is short so that a silent drive is found
    // out quickly; a test of long runs on a loaded machine gives it more.
    explicit CDriveRig(int language = 2,
                       const std::function<void(TestSupport::TempInstall&)>& prepare = {},
                       int baud = 0, int replyTimeoutMs = 100);
    bool ok() const { return error.isEmpty(); }

    TestSupport::TempInstall install;
    CVirtualDrive drive;
    std::unique_ptr<CSimSerialServer> server;
    // The link's worker ends with the data object, before the drive it talks to.
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CConstantReceiver> mainFrame;
    QString error;
};

// Every row of the page shows a value and its read pass is over.
bool PageFilled(CParamPage& page);
// The page's read pass is over and the link has no request queued: whatever the page asked for
// has been answered (a page asks for each row as it is added, then reads them all once more), and
// polling is all the link does.
bool PageSettled(const CParamPage& page, CCtrlLink& link);

} // namespace GuiPageTest

// A QtTest main for widget tests: offscreen unless a platform is chosen, test paths.
#define DRIVARA_GUI_TEST_MAIN(TestClass)                                                           \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        QStandardPaths::setTestModeEnabled(true);                                                  \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
