// The dictionary browser over 10,000 objects (targets: a sort by name under 50 ms, one keystroke
// of the filter under 10 ms):
// - SortByName: the index order to the name order and back (each sort on its own).
// - FilterKeystroke: typing "speed 12" letter by letter and taking it back, per keystroke; in the
//   core's list, and through the table model with a table view attached (what the window does).
#include "browser/BrowseModel.h"

#include <benchmark/benchmark.h>

#include <QTableView>

#include <cstdint>
#include <vector>

namespace {

constexpr int kObjects = 10000;

// Names as a drive's dictionary has them: a few words in varying order and case, numbered.
std::vector<CBrowseEntry> Entries()
{
    static const char* const words[] = {"Speed", "position", "Current", "loop",  "gain",
                                        "limit", "Torque",   "filter",  "time",  "mapping",
                                        "PDO",   "error",    "mask",    "input", "output"};
    std::vector<CBrowseEntry> entries;
    uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % 15;
    };
    for (int i = 0; i < kObjects; ++i) {
        CSdoRecord record;
        record.index = 0x2000 + uint32_t(i) / 64;
        record.subindex = uint8_t(i % 64);
        record.name = QStringLiteral("%1 %2 %3 %4")
                          .arg(QLatin1String(words[next()]), QLatin1String(words[next()]),
                               QLatin1String(words[next()]))
                          .arg(i);
        record.attribute = i % 3 == 0 ? QStringLiteral("RWSM") : QStringLiteral("RW");
        entries.push_back(CBrowseEntry::FromRecord(record));
    }
    return entries;
}

const QString kTyped = QStringLiteral("speed 12");

void SortByName(benchmark::State& state)
{
    CSdoBrowseList list;
    list.SetEntries(Entries());
    for (auto _ : state) {
        list.SetOrder(BrowseOrder::ByName);
        state.PauseTiming();
        list.SetOrder(BrowseOrder::ByIndex);
        state.ResumeTiming();
    }
    state.counters["rows"] = list.RowCount();
}

// One round types the text and takes it back: 2 × its length keystrokes.
template <typename Filter> void Keystrokes(benchmark::State& state, Filter filter)
{
    for (auto _ : state) {
        for (int n = 1; n <= kTyped.size(); ++n)
            filter(kTyped.left(n));
        for (int n = kTyped.size() - 1; n >= 0; --n)
            filter(kTyped.left(n));
    }
    // Time per keystroke, the figure to hold against 10 ms.
    state.counters["per_keystroke"] =
        benchmark::Counter(double(state.iterations()) * 2 * kTyped.size(),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void FilterKeystrokeList(benchmark::State& state)
{
    CSdoBrowseList list;
    list.SetEntries(Entries());
    list.SetOrder(BrowseOrder::ByName);
    Keystrokes(state, [&](const QString& text) { list.SetFilter(text, false); });
}

void FilterKeystrokeView(benchmark::State& state)
{
    CBrowseModel model;
    QTableView view;
    view.setModel(&model);
    view.resize(800, 460);
    view.show();
    model.SetEntries(Entries());
    model.SetOrder(BrowseOrder::ByName);
    Keystrokes(state, [&](const QString& text) { model.SetFilter(text, false); });
}

} // namespace

BENCHMARK(SortByName)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystrokeList)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystrokeView)->Unit(benchmark::kMillisecond);
