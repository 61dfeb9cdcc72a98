// The oscilloscope's record upload: a whole 8 KiB record read again through the capture cycle,
// over a pseudo-terminal against the virtual drive paced at 115200 baud, beside the time the
// wire alone needs for its exchanges (the read and 1171 segments of 7 bytes, 20 bytes of 10
// bits each).
#include "../BenchTiming.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/CommPort.h"
#include "comm/OpenSettings.h"
#include "scope/ScopeCapture.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>

#include <chrono>

namespace {

constexpr int kBaud = 115200;

void BM_ScopeRecordUpload(benchmark::State& state)
{
    SetMessageSink([](const QString&, MessageKind) {});
    CVirtualDrive drive;
    CSimSerialServer server(drive);
    if (!drive.Load(QStringLiteral(DRIVARA_DIST_DIR "/data")) || !server.Start(1, kBaud)) {
        state.SkipWithError("dictionary or virtual drive not available");
        return;
    }
    // One 16-bit slot, so that the whole record is samples of the one channel.
    drive.SetValue(DriveObject::kRecorderSlot1, 0x60410010);
    drive.SetStringValue(DriveObject::kRecord, QByteArray(DriveObject::kMaxRecordBytes, '\x5A'));
    CSysData sys(CSysDataOptions{QStringLiteral(DRIVARA_DIST_DIR)});
    sys.dictionary.WaitUntilLoaded(60000);
    OpenSettings settings{};
    SerialOpenSettings(server.PortName(), 1, uint32_t(kBaud), 500, settings);
    sys.link.SetNodeId(1);
    if (sys.link.SetMode(CommModeNumber(CommMode::Rs232)) != 1 ||
        sys.link.Open(settings.data()) != 0) {
        state.SkipWithError("serial link did not open");
        return;
    }
    sys.connected = 1;
    CScopeCapture capture(sys, nullptr);
    QEventLoop loop;
    CScopeCapture::Outcome outcome = CScopeCapture::Outcome::Cancelled;
    QObject::connect(&capture, &CScopeCapture::captureEnded, &loop,
                     [&](CScopeCapture::Outcome how, uint32_t) {
                         outcome = how;
                         loop.quit();
                     });
    capture.ReadSettings(7);
    QObject::connect(&capture, &CScopeCapture::settingsRead, &loop, &QEventLoop::quit);
    loop.exec();

    CIntervalMedian intervals;
    QObject::connect(&capture, &CScopeCapture::uploadProgress, &loop,
                     [&intervals](uint32_t) { intervals.Mark(); });
    int uploads = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!capture.Reread()) {
            state.SkipWithError("the capture did not start");
            return;
        }
        loop.exec();
        intervals.Pause();
        if (outcome != CScopeCapture::Outcome::Done ||
            capture.recordBytes().size() != DriveObject::kMaxRecordBytes) {
            state.SkipWithError("the upload failed");
            return;
        }
        ++uploads;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const int segments = (DriveObject::kMaxRecordBytes + 6) / 7;
    const int exchanges = 1 + segments; // the read that opens the upload, then the segments
    const double wireSeconds = exchanges * 200.0 / kBaud;
    const double perUpload = uploads > 0 ? seconds / uploads : 0;
    state.counters["segments"] = segments;
    state.counters["exchanges"] = exchanges;
    state.counters["upload_s"] = perUpload;
    state.counters["wire_s"] = wireSeconds;
    state.counters["pct_of_wire"] = perUpload > 0 ? 100.0 * wireSeconds / perUpload : 0;
    // One segment exchange, typically, against its wire time.
    const double median = intervals.MedianUs();
    state.counters["median_pct_of_wire"] = median > 0 ? 100.0 * (200.0e6 / kBaud) / median : 0;
}

BENCHMARK(BM_ScopeRecordUpload)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(BenchCount(3));

} // namespace
