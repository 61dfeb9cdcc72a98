#pragma once

#include "SimSerialServer.h"
#include "TestSupport.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "comm/MessageLayer.h"
#include "units/ConstantArrival.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <algorithm>
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
        if (message == WM_SDO_VALUE && lParam != kStatuswordKey)
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
    // (0: as fast as it can).
    explicit CDriveRig(int language = 2,
                       const std::function<void(TestSupport::TempInstall&)>& prepare = {},
                       int baud = 0);
    bool ok() const { return error.isEmpty(); }

    TestSupport::TempInstall install;
    CVirtualDrive drive;
    std::unique_ptr<CSimSerialServer> server;
    // The link's worker ends with the data object, before the drive it talks to.
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CConstantReceiver> mainFrame;
    QString error;
};

// Replaces the installation's dictionary and drive defaults with `count` polled I16 objects
// (keys 0x3100nn upwards, names "Polled n") and writes the page file `pageName` listing them.
bool WritePolledObjects(TestSupport::TempInstall& install, int count, const QString& pageName);
inline uint32_t PolledKey(int n)
{
    return 0x310000u + uint32_t(n);
}

// Measures how long the user-interface thread was kept from its event loop: a precise timer
// ticks every few milliseconds and the longest gap beyond the period is the worst stall.
class CUiStallProbe : public QObject
{
public:
    explicit CUiStallProbe(int periodMs = 5) : m_periodMs(periodMs)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(periodMs);
        connect(&m_timer, &QTimer::timeout, this, &CUiStallProbe::Tick);
    }
    void Start()
    {
        m_maxStallMs = 0.0;
        m_lastNs = 0;
        m_clock.start();
        m_timer.start();
    }
    void Stop()
    {
        m_timer.stop();
        Tick();
    }
    double MaxStallMs() const { return m_maxStallMs; }

private:
    void Tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        m_maxStallMs = std::max(m_maxStallMs, double(now - m_lastNs) / 1e6 - m_periodMs);
        m_lastNs = now;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    double m_maxStallMs = 0.0;
    int m_periodMs;
};

// Every row of the page shows a value and its read pass is over.
bool PageFilled(CParamPage& page);

// CPU time that the calling thread has used so far, in seconds.
double ThreadCpuSeconds();

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
