// Figures of the drivara program, printed (no pass or fail): start-up to a shown main window with
// the whole dictionary loaded, resident memory with pages open on a polled drive, and the longest
// stall of the user-interface thread while the drive is polled, while a slow drive times out and
// while the link of a silent drive is closed.

#include "../BenchTiming.h"
#include "ChildFrame.h"
#include "DrivaraApp.h"
#include "GuiBenchSupport.h"
#include "MainFrame.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "comm/ConnectionSettings.h"
#include "comm/SdoFrame.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
using GuiBench::MakeInstall;
using GuiBench::ResidentKb;

// Runs the event loop until done() or the time is up; returns the longest gap between two
// ticks of a 2 ms timer beyond its interval: how long the thread was away from its events.
double LongestStallMs(const std::function<bool()>& done, int maxMs)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    ticker.start();
    while (!done() && clock.elapsed() < maxMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return std::max(0.0, worst / 1e6 - 2.0);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QElapsedTimer appClock;
    appClock.start();
    QApplication app(argc, argv);
    const double appMs = appClock.nsecsElapsed() / 1e6;
    QStandardPaths::setTestModeEnabled(true);
    QStringList messages;
    SetMessageSink([&messages](const QString& text, MessageKind) { messages.append(text); });

    CVirtualDrive drive;
    CSimSerialServer server(drive);
    if (!GuiBench::StartDrive(drive, server, 115200))
        return 1;

    // Start-up: the data object (dictionary loading thread, link worker), the language, the
    // main window shown and painted, the dictionary complete.
    std::vector<double> startMs;
    for (int run = 0; run < 5; ++run) {
        QTemporaryDir dir;
        if (!MakeInstall(dir, server.PortName()))
            return 1;
        QElapsedTimer clock;
        clock.start();
        CSysData sys(CSysDataOptions{dir.path(), 1033});
        CDrivaraApp drivara(sys);
        int exitCode = 0;
        if (!drivara.InitInstance(exitCode))
            return 1;
        QCoreApplication::processEvents();
        sys.dictionary.WaitUntilLoaded(10000);
        startMs.push_back(clock.nsecsElapsed() / 1e6);
        if (run == 0)
            std::printf("dictionary objects: %d\n", sys.dictionary.GetCount());
    }
    std::printf("start-up to a shown main window with the dictionary: median %.1f ms (of 5), "
                "plus %.1f ms for the application object\n",
                Median(startMs), appMs);

    QTemporaryDir dir;
    if (!MakeInstall(dir, server.PortName()))
        return 1;
    CSysData sys(CSysDataOptions{dir.path(), 1033});
    CDrivaraApp drivara(sys);
    int exitCode = 0;
    if (!drivara.InitInstance(exitCode))
        return 1;
    CMainFrame& frame = *drivara.mainFrame();
    for (CommandId command : {CommandId::CommSettings, CommandId::VelocityLoop,
                              CommandId::PositionLoop, CommandId::CurrentLoop})
        frame.OpenPage(command);
    frame.ConnectButton();
    const double connectStall =
        LongestStallMs([&] { return frame.logic().lastDriveState() != -1; }, 5000);
    if (frame.logic().lastDriveState() == -1) {
        std::fprintf(stderr, "the drive did not answer\n");
        return 1;
    }
    const double polledStall = LongestStallMs([] { return false; }, int(BenchSeconds(3.0) * 1000));
    std::printf("resident memory, 3 pages open and polled: %.1f MB\n", ResidentKb() / 1024.0);
    std::printf("longest UI stall while connecting and reading pages: %.1f ms\n", connectStall);
    std::printf("longest UI stall while polled (3 s, 115200 baud): %.1f ms\n", polledStall);

    // A drive that stops answering: the link waits out its reply timeouts and gives up.
    drive.faults().SetSilent(true);
    QElapsedTimer silentClock;
    silentClock.start();
    const double timeoutStall = LongestStallMs([&] { return sys.connected != 1; }, 15000);
    std::printf("longest UI stall while a silent drive times out: %.1f ms "
                "(connection closed after %.0f ms)\n",
                timeoutStall, double(silentClock.elapsed()));
    drive.faults().SetSilent(false);

    // Closing the connection while the drive is silent and an exchange waits for its reply with
    // the longest reply timeout: the window thread does not wait for that reply.
    if (!Ini::WriteProfileString(sys.sysIniPath, QStringLiteral("com"), QStringLiteral("timeout"),
                                 QStringLiteral("10000")))
        return 1;
    frame.ConnectButton();
    LongestStallMs([&] { return frame.logic().lastDriveState() != -1; }, 5000);
    if (sys.connected != 1 || frame.logic().lastDriveState() == -1) {
        std::fprintf(stderr, "the drive did not answer again\n");
        return 1;
    }
    drive.faults().SetSilent(true);
    sys.link.Request(sys.mainFrameWnd, SdoFrame::kRead, DriveObject::kStatusword, 0);
    double closeCallMs = -1;
    QElapsedTimer sinceClose;
    QTimer::singleShot(300, [&] {
        QElapsedTimer call;
        call.start();
        frame.ConnectButton(); // connected: closes
        closeCallMs = call.nsecsElapsed() / 1e6;
        sinceClose.start();
    });
    const double closeStall =
        LongestStallMs([&] { return sinceClose.isValid() && sinceClose.elapsed() > 300; }, 15000);
    std::printf("longest UI stall while closing a link whose drive is silent (10 s reply "
                "timeout): %.1f ms (the close itself: %.1f ms; connection %s)\n",
                closeStall, closeCallMs, sys.connected == 1 ? "still open" : "closed");
    drive.faults().SetSilent(false);
    std::printf("operator messages: %lld\n", static_cast<long long>(messages.size()));
    server.Stop();
    return 0;
}
