// Resident memory of the drivara program while the oscilloscope captures continuously, printed
// (no pass or fail): the main window with the oscilloscope open, connected to the virtual drive
// over an unpaced pseudo-terminal through the real link and serial library, offscreen.
//
// In use a continuous capture restarts once a second after each upload. The run is accelerated:
// the capture's tick is 20 ms and the recorder samples at its shortest period, so each minute
// holds many times the captures of a minute at the desk, every one going through the same start,
// state poll, upload, decode and plot as the operator's. Four channels fill the largest record
// the drive holds (8 KiB).
//
// Prints resident memory and the heap in use once warm and at the end, the captures done and the
// growth per 1,000 captures. DRIVARA_SCOPE_SOAK_SECONDS (default 50) sets the measured time after
// a 10 s warm-up.
#include "../BenchTiming.h"
#include "ChildFrame.h"
#include "DrivaraApp.h"
#include "DriverOscillo.h"
#include "MainFrame.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/DriveObjects.h"
#include "gui/GuiBenchSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using GuiBench::MakeInstall;
using GuiBench::ResidentKb;
const int kWarmUpMs = int(BenchSeconds(10.0) * 1000);
constexpr int kTickMs = 20;
constexpr int kReportEveryMs = 10000;

double HeapInUseKb()
{
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1024.0;
#else
    return -1.0;
#endif
}

// Runs the event loop until done() holds or the time is up, looking every 50 ms.
bool WaitUntil(const std::function<bool()>& done, int maxMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(50);
    QTimer::singleShot(maxMs, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

long EnvNumber(const char* name, long fallback)
{
    bool ok = false;
    const long value = qEnvironmentVariable(name).toLong(&ok);
    return ok && value > 0 ? value : fallback;
}

struct Sample
{
    long captures = 0;
    long residentKb = 0;
    double heapKb = 0.0;
    double seconds = 0.0;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    long messages = 0;
    SetMessageSink([&messages](const QString&, MessageKind) { ++messages; });
    const long runMs =
        long(1000 * BenchSeconds(double(EnvNumber("DRIVARA_SCOPE_SOAK_SECONDS", 50))));

    CVirtualDrive drive;
    CSimSerialServer server(drive);
    if (!GuiBench::StartDrive(drive, server, 0))
        return 1;
    QTemporaryDir install;
    if (!MakeInstall(install, server.PortName()))
        return 1;
    CSysData sys(CSysDataOptions{install.path(), 1033});
    CDrivaraApp drivara(sys);
    int exitCode = 0;
    if (!drivara.InitInstance(exitCode))
        return 1;
    CMainFrame& frame = *drivara.mainFrame();
    frame.ConnectButton();
    if (!WaitUntil([&] { return frame.logic().lastDriveState() != -1; }, 10000)) {
        std::fprintf(stderr, "the drive did not answer\n");
        return 1;
    }
    CChildFrame* child = frame.OpenPage(CommandId::Oscilloscope);
    auto* view = child ? qobject_cast<CDriverOscillo*>(child->view()) : nullptr;
    if (!view) {
        std::fprintf(stderr, "the oscilloscope did not open\n");
        return 1;
    }
    const auto child_ = [view](const char* name) {
        return view->findChild<QWidget*>(QLatin1String(name));
    };
    const auto settled = [view] { return view->capture().pendingRequests() == 0; };
    auto* count = qobject_cast<QLineEdit*>(child_("sampleCount"));
    if (!count || !WaitUntil([count] { return !count->text().isEmpty(); }, 20000)) {
        std::fprintf(stderr, "the recorder's settings were not read\n");
        return 1;
    }
    // Four channels on the first objects of their lists, as many samples as fit.
    for (int n = 1; n <= CDriverOscillo::kChannels; ++n) {
        const QByteArray suffix = QByteArray::number(n);
        auto* object = qobject_cast<QComboBox*>(child_(("object" + suffix).constData()));
        auto* enabled = qobject_cast<QCheckBox*>(child_(("channel" + suffix).constData()));
        if (!object || !enabled || object->count() == 0)
            continue;
        object->setCurrentIndex(0);
        enabled->click();
        WaitUntil([&] { return view->capture().channelKey(n) != 0 && settled(); }, 20000);
    }
    count->setText(QStringLiteral("8192")); // the drive keeps it to what its record holds
    count->returnPressed();
    WaitUntil(settled, 20000);
    // The shortest sample period (62.5 us): a record takes 64 ms to fill instead of a second.
    view->capture().WriteSetting(DriveObject::kRecorderPeriod, 1);
    WaitUntil(settled, 20000);
    view->capture().SetTickInterval(kTickMs);

    long captures = 0;
    QObject::connect(&view->capture(), &CScopeCapture::recordReady, [&captures] { ++captures; });
    qobject_cast<QCheckBox*>(child_("continuous"))->setChecked(true);
    qobject_cast<QPushButton*>(child_("start"))->click();

    QElapsedTimer clock;
    clock.start();
    const auto take = [&] {
        return Sample{captures, ResidentKb(), HeapInUseKb(), clock.nsecsElapsed() / 1e9};
    };
    WaitUntil([&] { return clock.elapsed() >= kWarmUpMs; }, kWarmUpMs + 1000);
    const Sample warm = take();
    std::printf("warm after %.0f s and %ld captures of %s samples: resident %.1f MB, heap in use "
                "%.1f MB\n",
                warm.seconds, warm.captures, qPrintable(count->text()), warm.residentKb / 1024.0,
                warm.heapKb / 1024.0);
    std::fflush(stdout);

    // A report's timer may fire a moment before the end; that report is the last one.
    const auto finished = [&] { return clock.elapsed() + 100 >= kWarmUpMs + runMs; };
    Sample last = warm;
    while (!finished()) {
        WaitUntil(finished, kReportEveryMs);
        last = take();
        std::printf("  %5.0f s: %6ld captures, resident %+7.0f kB, heap %+9.1f kB\n",
                    last.seconds - warm.seconds, last.captures - warm.captures,
                    double(last.residentKb - warm.residentKb), last.heapKb - warm.heapKb);
        std::fflush(stdout);
    }
    const bool running = !view->capture().idle();
    qobject_cast<QPushButton*>(child_("start"))->click(); // cancel
    WaitUntil([view] { return view->capture().idle(); }, 5000);

    const double done = double(last.captures - warm.captures);
    const double seconds = last.seconds - warm.seconds;
    const double residentGrowthKb = double(last.residentKb - warm.residentKb);
    const double heapGrowthKb = last.heapKb - warm.heapKb;
    const double per1000 = done > 0 ? 1000.0 / done : 0.0;
    std::printf("oscilloscope, continuous capture: %.0f captures in %.0f s (%.1f/s; %s at the "
                "end)\n",
                done, seconds, done / qMax(seconds, 1.0), running ? "still capturing" : "stopped");
    std::printf("resident memory: %.1f MB warm, %.1f MB at the end (%+.0f kB)\n",
                warm.residentKb / 1024.0, last.residentKb / 1024.0, residentGrowthKb);
    std::printf("heap in use: %.1f MB warm, %.1f MB at the end (%+.1f kB)\n", warm.heapKb / 1024.0,
                last.heapKb / 1024.0, heapGrowthKb);
    std::printf("growth per 1,000 captures: resident %+.0f kB, heap %+.1f kB\n",
                residentGrowthKb * per1000, heapGrowthKb * per1000);
    std::printf("operator messages: %ld\n", messages);
    server.Stop();
    return 0;
}
