// Exchanges per second of the control link: a dump of every dictionary object, one request at a
// time (the next one asked from the handler of the previous answer, as the export view does),
// over a pseudo-terminal against the virtual drive, unpaced and at the pace of a 115200 baud
// line. Printed beside the wire limit: 20 bytes of 10 bits per exchange.
#include "../BenchTiming.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "comm/CommPort.h"
#include "comm/CtrlLink.h"
#include "comm/MessageLayer.h"
#include "comm/OpenSettings.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"

#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QString>

#include <chrono>
#include <vector>

namespace {

QString DataDir()
{
    return QStringLiteral(DRIVARA_DIST_DIR "/data");
}

std::vector<uint32_t> DictionaryKeys()
{
    CSdoDatabase dictionary;
    dictionary.LoadFile(DataDir() + QStringLiteral("/velmor.dat"), 2);
    std::vector<uint32_t> keys;
    CSdoRecord record;
    for (int i = 0; i < dictionary.GetCount(); ++i) {
        if (dictionary.GetAt(i, record))
            keys.push_back(record.key);
    }
    return keys;
}

// The wire time of one exchange against the median time between answers, in percent.
double MedianPctOfWire(CIntervalMedian& intervals, int baud)
{
    const double median = intervals.MedianUs();
    return median > 0 ? 100.0 * (200.0e6 / baud) / median : 0;
}

// Reads every key once, asking for the next one as each answer arrives.
class CDumpClient : public CMessageReceiver
{
public:
    CDumpClient(CCtrlLink& link, const std::vector<uint32_t>& keys)
        : m_link(link), m_keys(keys), m_handle(this)
    {
    }

    // Returns the number of answers; false in ok when the link failed.
    int Run(bool& ok)
    {
        m_next = 0;
        m_answers = 0;
        m_failed = false;
        Ask();
        m_loop.exec();
        ok = !m_failed;
        return m_answers;
    }

    HWND hwnd() const { return m_handle.hwnd(); }
    CIntervalMedian& intervals() { return m_intervals; }

    void OnMessage(unsigned message, uint32_t, uint32_t) override
    {
        if (message == WM_COMM_FAILED) {
            m_failed = true;
            m_loop.quit();
            return;
        }
        ++m_answers;
        m_intervals.Mark();
        if (m_next < m_keys.size())
            Ask();
        else
            m_loop.quit();
    }

private:
    void Ask() { m_link.Request(m_handle.hwnd(), SdoFrame::kRead, m_keys[m_next++], 0); }

    CCtrlLink& m_link;
    const std::vector<uint32_t>& m_keys;
    QEventLoop m_loop;
    size_t m_next = 0;
    int m_answers = 0;
    bool m_failed = false;
    CIntervalMedian m_intervals;
    CWindowHandle m_handle;
};

// Starts the virtual drive on a pseudo-terminal paced at baud (0: unpaced) and fills the open
// settings for it; skips the benchmark when the data or the terminal is missing.
bool StartDrive(benchmark::State& state, const std::vector<uint32_t>& keys, CVirtualDrive& drive,
                CSimSerialServer& server, int baud, OpenSettings& settings)
{
    if (keys.empty() || !drive.Load(DataDir()) || !server.Start(1, baud)) {
        state.SkipWithError("dictionary or virtual drive not available");
        return false;
    }
    SerialOpenSettings(server.PortName(), 1, uint32_t(baud), 500, settings);
    return true;
}

void BM_DumpOverPty(benchmark::State& state)
{
    const int baud = static_cast<int>(state.range(0));
    const std::vector<uint32_t> keys = DictionaryKeys();
    CVirtualDrive drive;
    CSimSerialServer server(drive);
    OpenSettings settings{};
    if (!StartDrive(state, keys, drive, server, baud, settings))
        return;
    CLinkFlags flags;
    CCtrlLink link(flags, DataDir());
    link.SetNodeId(1);
    if (link.SetMode(CommModeNumber(CommMode::Rs232)) != 1 || link.Open(settings.data()) != 0) {
        state.SkipWithError("serial link did not open");
        return;
    }
    CDumpClient client(link, keys);
    flags.mainFrameWnd.store(client.hwnd());
    flags.connected.store(1);

    int64_t exchanges = 0;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        bool ok = false;
        exchanges += client.Run(ok);
        if (!ok) {
            state.SkipWithError("link failed during the dump");
            break;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double rate = seconds > 0 ? double(exchanges) / seconds : 0;
    state.counters["exchanges_per_s"] = rate;
    state.counters["objects"] = double(keys.size());
    if (baud > 0) {
        const double wireLimit = baud / 200.0;
        state.counters["wire_limit_per_s"] = wireLimit;
        state.counters["pct_of_wire"] = 100.0 * rate / wireLimit;
        state.counters["median_pct_of_wire"] = MedianPctOfWire(client.intervals(), baud);
    }
}

BENCHMARK(BM_DumpOverPty)
    ->ArgName("baud")
    ->Arg(0)
    ->Arg(115200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(2.0));

// The floor under the link: the same reads straight through the transport from one thread,
// without the worker, the queue or the window messages.
void BM_TransportOnlyOverPty(benchmark::State& state)
{
    const int baud = static_cast<int>(state.range(0));
    const std::vector<uint32_t> keys = DictionaryKeys();
    CVirtualDrive drive;
    CSimSerialServer server(drive);
    OpenSettings settings{};
    if (!StartDrive(state, keys, drive, server, baud, settings))
        return;
    CCommPort port(DataDir());
    if (port.Load(CCommPort::ModeSerial) != 1 || port.Open(settings.data()) != 0) {
        state.SkipWithError("serial port did not open");
        return;
    }
    int64_t exchanges = 0;
    CIntervalMedian intervals;
    const auto started = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const uint32_t key : keys) {
            const SdoFrame::Serial request = SdoFrame::BuildSerial(1, SdoFrame::kRead, key, 0);
            SdoFrame::Serial reply{};
            int length = 0;
            if (port.Send(request.data(), int(request.size())) != 0 ||
                port.Receive(reply.data(), &length) != 0 || length != int(reply.size())) {
                state.SkipWithError("exchange failed");
                return;
            }
            ++exchanges;
            intervals.Mark();
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double rate = seconds > 0 ? double(exchanges) / seconds : 0;
    state.counters["exchanges_per_s"] = rate;
    if (baud > 0) {
        state.counters["pct_of_wire"] = 100.0 * rate / (baud / 200.0);
        state.counters["median_pct_of_wire"] = MedianPctOfWire(intervals, baud);
    }
}

BENCHMARK(BM_TransportOnlyOverPty)
    ->ArgName("baud")
    ->Arg(0)
    ->Arg(115200)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(2.0));

// Printed with the run's context: what the paced figures compare with.
const bool kWireLimitNoted = [] {
    benchmark::AddCustomContext("wire limit at 115200 baud",
                                "576 exchanges/s (20 bytes x 10 bits each); targets: paced >= "
                                "95% of it, unpaced >= 5000/s");
    return true;
}();

} // namespace
