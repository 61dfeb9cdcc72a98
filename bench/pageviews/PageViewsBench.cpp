// Page views against the virtual drive over a pseudo-terminal paced at 115200 baud, through the
// real link and serial library, on an offscreen display:
// - TenPagesPolled: ten parameter pages open and polled for 10 s; the longest time the
//   user-interface thread was kept from its event loop, repaints per second of the busiest view.
// - PolledRows200: one page of 200 polled objects whose values keep changing, for 10 s once its
//   opening reads are answered; the polled exchanges per second beside those of the same page
//   without a window (the link's own polling rate: 10 ms between polling steps, a group-2 step
//   after each group-1 poll) and the wire limit (20 bytes of 10 bits per exchange), and the CPU
//   time the user-interface thread spent per second and per value shown.
#include "../BenchTiming.h"
#include "DatabaseRecord.h"
#include "EditListCtrl.h"
#include "GuiPageSupport.h"
#include "PageViews.h"
#include "ParamPageView.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kBaud = 115200;
const int kRunMs = int(BenchSeconds(10.0) * 1000);

uint32_t PolledKey(int n)
{
    return 0x310000u + uint32_t(n);
}

// Replaces the installation's dictionary and drive defaults with `count` polled I16 objects
// (keys 0x3100nn upwards, names "Polled n") and writes the page file `pageName` listing them.
bool WritePolledObjects(TestSupport::TempInstall& install, int count, const QString& pageName)
{
    using TestSupport::HexField;
    QByteArray database;
    QByteArray defaults;
    QByteArray page = "[" + pageName.toUtf8() + "]\nnum=" + QByteArray::number(count) + "\n";
    for (int n = 1; n <= count; ++n) {
        const uint32_t key = PolledKey(n);
        TestSupport::DatabaseRecordFields fields;
        fields.index = HexField(key >> 8, 4);
        fields.subindex = HexField(key & 0xFF, 2);
        fields.nameChinese = fields.nameEnglish = "Polled " + QByteArray::number(n);
        fields.dataType = "I16";
        fields.attribute = "RL";
        database.append(TestSupport::BuildDatabaseRecord(fields));
        defaults.append(HexField(key, 6) + "\tI16\tRL\t" + QByteArray::number(n) + '\n');
        page.append(QByteArray::number(n) + '=' + HexField(key, 6) + '\n');
    }
    // The shipped files are links into the build tree: drop the link, never write through it.
    const auto replace = [&](const QString& relative, const QByteArray& bytes) {
        QFile::remove(install.path(relative));
        return install.writeFile(relative, bytes);
    };
    return replace(QStringLiteral("data/velmor.dat"), database) &&
           replace(QStringLiteral("data/velmor-defaults.tsv"), defaults) &&
           replace(QStringLiteral("sys/") + pageName + QStringLiteral(".ini"), page);
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

// CPU time that the calling thread has used so far, in seconds.
double ThreadCpuSeconds()
{
    timespec spent{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
    return double(spent.tv_sec) + double(spent.tv_nsec) / 1e9;
}

CParamPageView* OpenView(GuiPageTest::CDriveRig& rig, const char* className,
                         std::vector<std::unique_ptr<QWidget>>& views)
{
    views.emplace_back(
        CreateParamPageView(*rig.sys, *FindWindow(QLatin1String(className)), nullptr));
    auto* view = static_cast<CParamPageView*>(views.back().get());
    view->resize(PageViewSize(view));
    view->show();
    return view;
}

void RunEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void TenPagesPolled(benchmark::State& state)
{
    for (auto _ : state) {
        GuiPageTest::CDriveRig rig(2, {}, kBaud);
        if (!rig.ok()) {
            state.SkipWithError(qPrintable(rig.error));
            return;
        }
        SetListColumnsForScreen(*rig.sys);
        const char* pages[] = {"CSpeedCircle",    "CCurrentCircle", "CPositCircle", "CMotorParam",
                               "CDriverProterty", "CAnalogInput",   "CBaseOperate", "CDrvCfg",
                               "CHomingMode",     "CTorqueMode"};
        std::vector<std::unique_ptr<QWidget>> views;
        std::vector<CParamPageView*> open;
        for (const char* page : pages)
            open.push_back(OpenView(rig, page, views));
        if (!TestSupport::WaitFor(
                [&] {
                    for (CParamPageView* view : open) {
                        if (!GuiPageTest::PageFilled(view->page()))
                            return false;
                    }
                    return true;
                },
                120000)) {
            state.SkipWithError("pages not filled");
            return;
        }
        std::vector<int> repaints;
        for (CParamPageView* view : open)
            repaints.push_back(view->list()->coalescedRepaints());
        const int requests = rig.drive.RequestCount();
        CUiStallProbe probe;
        const double cpu = ThreadCpuSeconds();
        probe.Start();
        RunEventLoop(kRunMs);
        probe.Stop();
        const double cpuUsed = ThreadCpuSeconds() - cpu;
        int busiest = 0;
        for (size_t i = 0; i < open.size(); ++i)
            busiest = qMax(busiest, open[i]->list()->coalescedRepaints() - repaints[i]);
        const double seconds = kRunMs / 1000.0;
        state.counters["max_stall_ms"] = probe.MaxStallMs();
        state.counters["repaints_per_s_busiest"] = busiest / seconds;
        state.counters["exchanges_per_s"] = (rig.drive.RequestCount() - requests) / seconds;
        state.counters["ui_cpu_ms_per_s"] = 1000.0 * cpuUsed / seconds;
        std::printf("ten pages, %d s polled: longest UI stall %.1f ms (limit 50), busiest view "
                    "%.1f repaints/s, %.0f exchanges/s, UI thread CPU %.1f ms/s\n",
                    kRunMs / 1000, probe.MaxStallMs(), busiest / seconds,
                    (rig.drive.RequestCount() - requests) / seconds, 1000.0 * cpuUsed / seconds);
    }
}

// Keeps the drive's polled values moving, so that every polled answer changes a cell.
class CValueMover
{
public:
    CValueMover(CVirtualDrive& drive, int rows)
        : m_thread([this, &drive, rows] {
              uint32_t step = 0;
              while (!m_stop.load()) {
                  for (int n = 1; n <= rows; ++n)
                      drive.SetValue(PolledKey(n), (step + uint32_t(n)) & 0x7FFF);
                  ++step;
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {
    }
    ~CValueMover()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void PolledRows200(benchmark::State& state)
{
    constexpr int kRows = 200;
    const auto prepare = [](TestSupport::TempInstall& install) {
        WritePolledObjects(install, kRows, QStringLiteral("AnalogInput"));
    };
    for (auto _ : state) {
        // The polling rate of the link itself: the same page without a window, on a drive and
        // link of its own (the link never forgets a registration), over the same time.
        double bareRate = 0.0;
        {
            GuiPageTest::CDriveRig bareRig(2, prepare, kBaud);
            if (!bareRig.ok()) {
                state.SkipWithError(qPrintable(bareRig.error));
                return;
            }
            CParamPage bare(*bareRig.sys, *FindWindow(QStringLiteral("CAnalogInput")));
            bare.Create();
            if (!TestSupport::WaitFor(
                    [&] { return GuiPageTest::PageSettled(bare, bareRig.sys->link); }, 120000)) {
                state.SkipWithError("page without a window not read");
                return;
            }
            CValueMover mover(bareRig.drive, kRows);
            const int before = bareRig.drive.RequestCount();
            RunEventLoop(kRunMs);
            bareRate = (bareRig.drive.RequestCount() - before) / (kRunMs / 1000.0);
        }
        GuiPageTest::CDriveRig rig(2, prepare, kBaud);
        if (!rig.ok()) {
            state.SkipWithError(qPrintable(rig.error));
            return;
        }
        SetListColumnsForScreen(*rig.sys);
        std::vector<std::unique_ptr<QWidget>> views;
        CParamPageView* view = OpenView(rig, "CAnalogInput", views);
        if (!TestSupport::WaitFor(
                [&] {
                    return GuiPageTest::PageFilled(view->page()) &&
                           GuiPageTest::PageSettled(view->page(), rig.sys->link);
                },
                120000)) {
            state.SkipWithError("page not filled");
            return;
        }
        int changes = 0;
        QObject::connect(&view->page().list(), &QAbstractItemModel::dataChanged, view,
                         [&changes] { ++changes; });
        std::unique_ptr<CValueMover> mover = std::make_unique<CValueMover>(rig.drive, kRows);
        const int requests = rig.drive.RequestCount();
        const int repaints = view->list()->coalescedRepaints();
        CUiStallProbe probe;
        const double cpu = ThreadCpuSeconds();
        probe.Start();
        RunEventLoop(kRunMs);
        probe.Stop();
        const double cpuUsed = ThreadCpuSeconds() - cpu;
        const int repainted = view->list()->coalescedRepaints() - repaints;
        mover.reset();
        const double seconds = kRunMs / 1000.0;
        const double exchanges = (rig.drive.RequestCount() - requests) / seconds;
        const double wireLimit = kBaud / (20.0 * 10.0);
        state.counters["exchanges_per_s"] = exchanges;
        state.counters["wire_limit_per_s"] = wireLimit;
        state.counters["polling_rate_without_view"] = bareRate;
        state.counters["cells_changed_per_s"] = changes / seconds;
        state.counters["ui_cpu_ms_per_s"] = 1000.0 * cpuUsed / seconds;
        state.counters["max_stall_ms"] = probe.MaxStallMs();
        std::printf(
            "200 polled rows at %d baud: %.1f polled exchanges/s with the view, %.1f without "
            "(the link's polling rate), %.0f on the wire; "
            "%.0f cells changed/s, each row refreshed every %.0f ms, UI thread CPU "
            "%.1f ms/s (%.1f us per value), longest UI stall %.1f ms, %d repaints/s\n",
            kBaud, exchanges, bareRate, wireLimit, changes / seconds,
            1000.0 * kRows / qMax(exchanges, 1.0), 1000.0 * cpuUsed / seconds,
            changes ? 1e6 * cpuUsed / changes : 0.0, probe.MaxStallMs(), int(repainted / seconds));
    }
}

} // namespace

BENCHMARK(TenPagesPolled)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PolledRows200)->Iterations(1)->Unit(benchmark::kMillisecond);
