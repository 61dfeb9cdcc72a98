// Opening and closing parameter pages 10,000 times, offline: each page registers its polled
// objects with the link when it is built and takes them out when it goes, so the polling list
// ends as it began. Prints the list size before, at its largest and after, and the cost of one
// open/close cycle.
#include "../BenchTiming.h"
#include "app/SysData.h"
#include "pages/ParamPage.h"

#include <benchmark/benchmark.h>

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

const int kCycles = BenchCount(10000);

void BM_PageOpenCloseCycles(benchmark::State& state)
{
    CSysDataOptions options;
    options.baseDir = QStringLiteral(DRIVARA_DIST_DIR);
    options.systemLcid = 1033;
    CSysData sys(options);
    if (!sys.dictionary.WaitUntilLoaded(60000) || sys.dictionary.GetCount() == 0) {
        state.SkipWithError("dictionary not available");
        return;
    }
    // The main frame's own polled object, which stays for the whole run.
    sys.link.AddLoop(1, DriveObject::kStatusword, 1);
    QVector<const CWindowInfo*> pages;
    for (const CWindowInfo& window : Windows()) {
        if (window.kind == WindowKind::ParameterPage)
            pages.append(&window);
    }
    const int before = sys.link.LoopCount();
    int largest = before;
    int after = before;
    double seconds = 0;
    for (auto _ : state) {
        const auto started = std::chrono::steady_clock::now();
        for (int i = 0; i < kCycles; ++i) {
            CParamPage page(sys, *pages[i % pages.size()]);
            page.Create();
            largest = std::max(largest, sys.link.LoopCount());
        }
        seconds +=
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        after = sys.link.LoopCount();
    }
    const double perCycleUs = seconds * 1e6 / (double(kCycles) * double(state.iterations()));
    state.counters["loop_items_before"] = before;
    state.counters["loop_items_largest"] = largest;
    state.counters["loop_items_after"] = after;
    state.counters["us_per_cycle"] = perCycleUs;
    std::printf("%d page open/close cycles: polling list %d before, %d at most, %d after; "
                "%.1f us per cycle\n",
                kCycles, before, largest, after, perCycleUs);
}

BENCHMARK(BM_PageOpenCloseCycles)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
