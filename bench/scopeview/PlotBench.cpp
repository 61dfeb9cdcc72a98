// The oscilloscope plot on an offscreen display, with the largest record the recorder gives
// (8 KiB: four 16-bit channels of 1024 samples, a step response with ringing and noise):
// - Redraw: the picture painted again (grid, four curves, labels) and shown; aim 16 ms.
// - CursorMove: one cursor moved with two shown; only the overlay is drawn again; aim 2 ms.
#include "../BenchTiming.h"
#include "CurveGraph.h"
#include "plot/PlotMath.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <cmath>
#include <memory>

namespace {

std::array<std::vector<double>, CCurveData::kChannels> StepRecord()
{
    std::array<std::vector<double>, CCurveData::kChannels> record;
    for (int i = 0; i < 1024; ++i) {
        const double t = i / 1024.0;
        const double step =
            i < 100 ? 0 : 1 - std::exp(-(i - 100) / 60.0) * std::cos((i - 100) / 9.0);
        record[0].push_back(3000 * step + (i * 7919 % 23));
        record[1].push_back(2000 * (i >= 100));
        record[2].push_back(800 * std::sin(40 * t) * std::exp(-3 * t));
        record[3].push_back(-500 + 1000 * t);
    }
    return record;
}

CCurveGraph* MakeGraph()
{
    const Plot::PageRects rects = Plot::RectsForScreen(96, 2);
    const QPoint corner = rects.area.topLeft();
    auto* graph = new CCurveGraph(rects.area.translated(-corner), rects.mouse.translated(-corner));
    for (int n = 0; n < CCurveData::kChannels; ++n)
        graph->data().SetEnabled(n, true);
    graph->data().SetSamplePeriod(16);
    graph->SetRecord(StepRecord());
    graph->SetCursorMode(2);
    return graph;
}

void Redraw(benchmark::State& state)
{
    std::unique_ptr<CCurveGraph> graph(MakeGraph());
    QImage screen(graph->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        graph->Redraw();
        graph->render(&screen); // the paint event, as the screen's backing store gets it
    }
}

void CursorMove(benchmark::State& state)
{
    std::unique_ptr<CCurveGraph> graph(MakeGraph());
    QImage screen(graph->size(), QImage::Format_RGB32);
    graph->render(&screen);
    int position = 1;
    const int last = graph->geometry().width - 4;
    for (auto _ : state) {
        position = position % last + 1;
        graph->SetCursorPosition(1, position);
        graph->render(&screen);
    }
}

} // namespace

BENCHMARK(Redraw)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));
BENCHMARK(CursorMove)->Unit(benchmark::kMillisecond)->MinTime(BenchSeconds(1.0));
