// The main of the benchmarks that need Qt's event loop: message receivers and the CAN plugins
// run on the thread of the application. Benchmarks of windows build it with
// DRIVARA_BENCH_WIDGETS and run offscreen unless a platform is set.

#include <benchmark/benchmark.h>

#ifdef DRIVARA_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
#ifdef DRIVARA_BENCH_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
