// Resident memory of the drivara program over an accelerated day, printed (no pass or fail): the
// main window with ten parameter pages open, connected to the virtual drive over an unpaced
// pseudo-terminal through the real link and serial library, offscreen.
//
// A commissioning day polled at 115200 baud is about 45 exchanges a second, 3.9 million in 24 h.
// The link's polling keeps its 10 ms steps, so the day is compressed another way: every page
// starts its read pass again as soon as one ends, which keeps the link exchanging as fast as
// the drive answers (every answer goes through the same worker, message layer, page and view as
// a polled one), and the drive's values keep changing so that every answer changes a cell. The
// main window's indicator, which blinks every 1.2 s in use, is ticked once per 54 exchanges, the
// ratio of a day at 45 exchanges a second.
//
// Prints resident memory and the heap in use once warm and at the end, the exchanges done, the
// growth per 100,000 exchanges and what that gives over a day. DRIVARA_SOAK_SECONDS (default
// 120) sets the measured time, DRIVARA_SOAK_EXCHANGES ends it after that many exchanges instead
// (3888000 for a whole day).
#include "../BenchTiming.h"
#include "ChildFrame.h"
#include "DrivaraApp.h"
#include "GuiPageSupport.h"
#include "MainFrame.h"
#include "ParamPageView.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "base/TextNumbers.h"
#include "gui/GuiBenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

using GuiBench::MakeInstall;
using GuiBench::ResidentKb;
using GuiPageTest::PageFilled;
constexpr double kDayExchanges = 45.0 * 24 * 3600;
constexpr int kExchangesPerBlink = 54; // 45 exchanges/s for the 1.2 s of one blink
const int kWarmUpMs = int(BenchSeconds(15.0) * 1000);
constexpr int kReportEveryMs = 20000;
// The ten pages of the polled-pages figures: speed, current and position loops, motor, drive
// properties, analogue input, basic operation, drive configuration, homing, analogue torque.
using C = CommandId;
constexpr CommandId kPageCommands[] = {
    C::VelocityLoop, C::CurrentLoop,  C::PositionLoop, C::MotorConfig, C::DriverProperty,
    C::AnalogInput,  C::BasicOperate, C::DriverConfig, C::HomingMode,  C::AnalogTorqueMode};

// Bytes the program holds from the allocator: unlike resident memory it does not depend on how
// the allocator returns freed pages, so it shows growth of a few bytes per exchange.
double HeapInUseKb()
{
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / 1024.0;
#else
    return -1.0;
#endif
}

struct Sample
{
    long exchanges = 0;
    long residentKb = 0;
    double heapKb = 0.0;
    double seconds = 0.0;
};

// Objects whose values the drive derives or acts on (statusword, error status and mask, store,
// restart, recorder): changing them would change the drive's state, not just a cell.
bool MayMove(uint32_t key, const QString& dataType)
{
    const uint32_t index = key >> 8;
    const int bits = DataTypeBits(dataType);
    return (bits == 8 || bits == 16 || bits == 32) && key != 0x604100 && index != 0x2600 &&
           index != 0x2601 && index != 0x2602 && (index & 0xFFF0) != 0x2FF0 && index != 0x2300;
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

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    long messages = 0;
    SetMessageSink([&messages](const QString&, MessageKind) { ++messages; });
    const long runMs = long(1000 * BenchSeconds(double(EnvNumber("DRIVARA_SOAK_SECONDS", 120))));
    const long exchangeGoal = EnvNumber("DRIVARA_SOAK_EXCHANGES", 0);

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
    // Connected first, as on a commissioning day: every page then reads its rows as it opens.
    CMainFrame& frame = *drivara.mainFrame();
    frame.ConnectButton();
    if (!WaitUntil([&] { return frame.logic().lastDriveState() != -1; }, 10000)) {
        std::fprintf(stderr, "the drive did not answer\n");
        return 1;
    }
    std::vector<CParamPageView*> views;
    for (CommandId command : kPageCommands) {
        CChildFrame* child = frame.OpenPage(command);
        auto* view = child ? qobject_cast<CParamPageView*>(child->view()) : nullptr;
        if (!view) {
            std::fprintf(stderr, "page %d did not open\n", int(command));
            return 1;
        }
        views.push_back(view);
    }
    const bool filled = WaitUntil(
        [&] {
            for (CParamPageView* view : views) {
                if (!PageFilled(view->page()))
                    return false;
            }
            return true;
        },
        60000);
    if (!filled) {
        std::fprintf(stderr, "the pages were not filled (drive state %d)\n",
                     frame.logic().lastDriveState());
        for (CParamPageView* view : views)
            std::fprintf(stderr, "  %s: %d rows, read cursor %d\n", qPrintable(view->title()),
                         view->page().list().GetItemCount(), view->page().readCursor());
        return 1;
    }

    std::vector<std::pair<uint32_t, uint32_t>> moving; // key, value at the start
    for (CParamPageView* view : views) {
        const CPageListModel& list = view->page().list();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            const uint32_t key = list.RowKey(row);
            if (MayMove(key, list.GetItemText(row, CPageListModel::ColDataType)))
                moving.emplace_back(key, drive.Value(key));
        }
    }
    // The load: read passes started again as soon as they end, values that keep changing, and
    // the indicator's blink at the day's ratio to the exchanges.
    QTimer restart;
    QObject::connect(&restart, &QTimer::timeout, [&] {
        for (CParamPageView* view : views) {
            if (view->page().readCursor() == 0)
                view->SendPageControl(CParamPage::ActionReload);
        }
    });
    restart.start(2);
    uint32_t step = 0;
    QTimer mover;
    QObject::connect(&mover, &QTimer::timeout, [&] {
        ++step;
        for (const auto& [key, start] : moving)
            drive.SetValue(key, start ^ (step & 1));
    });
    mover.start(20);
    const long firstRequest = drive.RequestCount();
    long blinks = 0;
    QTimer blink;
    QObject::connect(&blink, &QTimer::timeout, [&] {
        if ((drive.RequestCount() - firstRequest) / kExchangesPerBlink > blinks) {
            frame.logic().TimerTick();
            ++blinks;
        }
    });
    blink.start(1);

    QElapsedTimer clock;
    clock.start();
    const auto take = [&] {
        return Sample{drive.RequestCount() - firstRequest, ResidentKb(), HeapInUseKb(),
                      clock.nsecsElapsed() / 1e9};
    };
    WaitUntil([&] { return clock.elapsed() >= kWarmUpMs; }, kWarmUpMs + 1000);
    const Sample warm = take();
    std::printf("warm after %.0f s and %ld exchanges: resident %.1f MB, heap in use %.1f MB\n",
                warm.seconds, warm.exchanges, warm.residentKb / 1024.0, warm.heapKb / 1024.0);
    std::fflush(stdout);

    const auto finished = [&] {
        if (exchangeGoal > 0)
            return drive.RequestCount() - firstRequest - warm.exchanges >= exchangeGoal;
        return clock.elapsed() >= kWarmUpMs + runMs;
    };
    Sample last = warm;
    while (!finished()) {
        WaitUntil(finished, kReportEveryMs);
        last = take();
        std::printf("  %5.0f s: %9ld exchanges, resident %+7.0f kB, heap %+9.1f kB\n",
                    last.seconds - warm.seconds, last.exchanges - warm.exchanges,
                    double(last.residentKb - warm.residentKb), last.heapKb - warm.heapKb);
        std::fflush(stdout);
    }
    restart.stop();
    mover.stop();
    blink.stop();

    const double exchanges = double(last.exchanges - warm.exchanges);
    const double seconds = last.seconds - warm.seconds;
    const double residentGrowthKb = double(last.residentKb - warm.residentKb);
    const double heapGrowthKb = last.heapKb - warm.heapKb;
    const double per100k = exchanges > 0 ? 1e5 / exchanges : 0.0;
    std::printf("ten pages, %.0f exchanges in %.0f s (%.0f/s, %.2f of a day at 45/s), "
                "%ld indicator blinks\n",
                exchanges, seconds, exchanges / qMax(seconds, 1.0), exchanges / kDayExchanges,
                blinks);
    std::printf("resident memory: %.1f MB warm, %.1f MB at the end (%+.0f kB)\n",
                warm.residentKb / 1024.0, last.residentKb / 1024.0, residentGrowthKb);
    std::printf("heap in use: %.1f MB warm, %.1f MB at the end (%+.1f kB)\n", warm.heapKb / 1024.0,
                last.heapKb / 1024.0, heapGrowthKb);
    std::printf("growth per 100,000 exchanges: resident %+.0f kB, heap %+.0f bytes; "
                "over a day (3.9 million): resident %+.1f MB, heap %+.1f MB\n",
                residentGrowthKb * per100k, 1024.0 * heapGrowthKb * per100k,
                residentGrowthKb * per100k * kDayExchanges / 1e5 / 1024.0,
                heapGrowthKb * per100k * kDayExchanges / 1e5 / 1024.0);
    if (warm.heapKb <= 0.0)
        std::printf("(the allocator reports no heap figures: a sanitizer build, whose resident "
                    "memory also holds the freed blocks it keeps back)\n");
    std::printf("operator messages: %ld\n", messages);
    server.Stop();
    return 0;
}
