// A configuration export of every dictionary object, run by the same export run the window and
// drivactl use, over a pseudo-terminal against the virtual drive paced at 115200 baud, and
// unpaced. Printed beside the wire limit (20 bytes of 10 bits per exchange) as a percentage.
#include "../BenchTiming.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "base/TextNumbers.h"
#include "comm/CommPort.h"
#include "comm/CtrlLink.h"
#include "comm/OpenSettings.h"
#include "dictionary/SdoDatabase.h"
#include "transfer/TransferRuns.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QString>

#include <chrono>

namespace {

QString DataDir()
{
    return QStringLiteral(DRIVARA_DIST_DIR "/data");
}

void BM_ExportEveryObject(benchmark::State& state)
{
    const int baud = static_cast<int>(state.range(0));
    CSdoDatabase dictionary;
    dictionary.LoadFile(DataDir() + QStringLiteral("/velmor.dat"), 2);
    QVector<uint32_t> descriptors;
    CSdoRecord record;
    for (int i = 0; dictionary.GetAt(i, record); ++i)
        descriptors.append(MakeDescriptor(record.key, TypeWidthOf(record.dataType).bits));
    CVirtualDrive drive;
    CSimSerialServer server(drive);
    if (descriptors.isEmpty() || !drive.Load(DataDir()) || !server.Start(1, baud)) {
        state.SkipWithError("dictionary or virtual drive not available");
        return;
    }
    OpenSettings settings{};
    SerialOpenSettings(server.PortName(), 1, uint32_t(baud), 500, settings);
    CLinkFlags flags;
    CCtrlLink link(flags, DataDir());
    link.SetNodeId(1);
    if (link.SetMode(CommModeNumber(CommMode::Rs232)) != 1 || link.Open(settings.data()) != 0) {
        state.SkipWithError("serial link did not open");
        return;
    }
    flags.connected.store(1);
    CExportRun run(link, flags, dictionary);
    run.SetRows(ExportRows(descriptors, dictionary));
    QEventLoop loop;
    QObject::connect(&run, &CExportRun::finished, &loop, &QEventLoop::quit);
    // Rows that end without an exchange end at once and would shorten the typical interval.
    CIntervalMedian intervals;
    QObject::connect(&run, &CTransferRun::rowDone, &loop, [&intervals](const CRowResult& row) {
        if (!row.reason.startsWith(QLatin1String("no value format")))
            intervals.Mark();
    });

    int64_t exchanges = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        QString refusal;
        if (!run.Start(refusal)) {
            state.SkipWithError(refusal.toStdString().c_str());
            return;
        }
        loop.exec();
        intervals.Pause();
        if (run.linkFailed()) {
            state.SkipWithError("link failed during the export");
            return;
        }
        // Text objects end without an exchange; every other row asked the drive once.
        for (const CTransferRow& row : run.rows())
            exchanges += row.reason.startsWith(QLatin1String("no value format")) ? 0 : 1;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double rate = seconds > 0 ? double(exchanges) / seconds : 0;
    state.counters["objects"] = double(descriptors.size());
    state.counters["exchanges_per_s"] = rate;
    if (baud > 0) {
        const double wireLimit = baud / 200.0;
        state.counters["wire_limit_per_s"] = wireLimit;
        state.counters["pct_of_wire"] = 100.0 * rate / wireLimit;
        const double median = intervals.MedianUs();
        state.counters["median_pct_of_wire"] = median > 0 ? 100.0 * 1e6 / wireLimit / median : 0;
    }
}

} // namespace

BENCHMARK(BM_ExportEveryObject)
    ->ArgName("baud")
    ->Arg(115200)
    ->Arg(0)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(2.0));
