// A read pass of the largest parameter page: one read outstanding, the next asked from the
// handler of the answer, through the real link and serial library over a pseudo-terminal against
// the virtual drive paced at 115200 baud. Polling is off during the passes, so that the figure is
// the pass's own. Printed beside the wire limit for that many exchanges: rows x 20 bytes x 10
// bits / 115200 s; the target is at least 90% of it.
#include "../BenchTiming.h"
#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/TextNumbers.h"
#include "comm/CommPort.h"
#include "comm/OpenSettings.h"
#include "pages/ParamPage.h"
#include "units/ConstantArrival.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kBaud = 115200;
constexpr int kPassTimeoutMs = 60000;

// A private installation: its own sys.ini, the shipped page files and data files linked.
bool MakeInstall(const QString& base)
{
    const QString dist = QStringLiteral(DRIVARA_DIST_DIR);
    QDir root(base);
    if (!root.mkpath(QStringLiteral("sys")) || !root.mkpath(QStringLiteral("data")))
        return false;
    QFile ini(base + QStringLiteral("/sys/sys.ini"));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[sys]\nlang=2\ncomm=2\n") < 0)
        return false;
    ini.close();
    for (const char* folder : {"sys", "data"}) {
        const QDir from(dist + QLatin1Char('/') + QLatin1String(folder));
        for (const QString& name : from.entryList(QDir::Files)) {
            if (name != QLatin1String("sys.ini"))
                QFile::link(from.filePath(name), base + QLatin1Char('/') + QLatin1String(folder) +
                                                     QLatin1Char('/') + name);
        }
    }
    return true;
}

// The standard page with the most items in its page file.
const CWindowInfo* LargestPage(const QString& sysDir, int& items)
{
    const CWindowInfo* largest = nullptr;
    items = 0;
    for (const CWindowInfo& spec : Windows()) {
        if (spec.kind != WindowKind::ParameterPage || spec.variant == PageVariant::DriverProperty)
            continue;
        const int num =
            TextToLong(Ini::GetProfileString(sysDir + spec.pageName + QStringLiteral(".ini"),
                                             spec.pageName, QStringLiteral("num"), QString(), 32));
        if (num > items) {
            items = num;
            largest = &spec;
        }
    }
    return largest;
}

// The main frame's part: constants for the unit formulas, and the end of a failed connection.
class CMainFrameStandIn : public CMessageReceiver
{
public:
    explicit CMainFrameStandIn(CSysData& sys) : m_sys(sys), m_handle(this) {}
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        if (message == WM_SDO_VALUE && lParam != DriveObject::kStatusword) {
            OnConstantArrived(m_sys.evaluator, lParam, wParam);
        } else if (message == WM_COMM_FAILED && wParam == 0) {
            m_sys.connected = 2;
            m_sys.link.Close();
        }
    }
    HWND hwnd() const { return m_handle.hwnd(); }

private:
    CSysData& m_sys;
    CWindowHandle m_handle;
};

bool OpenLink(CSysData& sys, const QString& port)
{
    OpenSettings settings{};
    SerialOpenSettings(port, 1, kBaud, 500, settings);
    sys.link.SetNodeId(1);
    return sys.link.SetMode(CCommPort::ModeSerial) == 1 && sys.link.Open(settings.data()) == 0;
}

// One pass as the main frame starts it (action 0); waits on events, not by spinning.
bool RunPass(CParamPage& page, const CSysData& sys)
{
    QTimer tick;
    tick.start(50); // wakes the wait even when no answer comes
    page.OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    QElapsedTimer timer;
    timer.start();
    while (page.readCursor() != 0 && sys.connected == 1 && timer.elapsed() < kPassTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return page.readCursor() == 0 && sys.connected == 1;
}

void BM_PageReadPass(benchmark::State& state)
{
    QTemporaryDir dir;
    if (!dir.isValid() || !MakeInstall(dir.path())) {
        state.SkipWithError("cannot build an installation");
        return;
    }
    int items = 0;
    const CWindowInfo* spec = LargestPage(dir.path() + QStringLiteral("/sys/"), items);
    CVirtualDrive drive;
    CSimSerialServer server(drive);
    if (!spec || !drive.Load(dir.path() + QStringLiteral("/data")) || !server.Start(1, kBaud)) {
        state.SkipWithError("page files or virtual drive not available");
        return;
    }

    CSysDataOptions options;
    options.baseDir = dir.path();
    options.systemLcid = 1033;
    CSysData sys(options);
    sys.dictionary.WaitUntilLoaded(60000);
    CMainFrameStandIn mainFrame(sys);
    sys.mainFrameWnd = mainFrame.hwnd();
    if (!OpenLink(sys, server.PortName())) {
        state.SkipWithError("serial link did not open");
        return;
    }

    // Created offline, so that building the rows sends no reads of its own.
    CParamPage page(sys, *spec);
    page.Create();
    const int rows = page.list().GetItemCount();
    sys.pollingEnabled = 0;
    sys.connected = 1;
    // The first pass also fetches the formulas' drive constants; it is not timed.
    if (rows == 0 || !RunPass(page, sys)) {
        state.SkipWithError("the warm-up pass did not finish");
        return;
    }

    int passes = 0;
    QElapsedTimer timer;
    timer.start();
    for (auto _ : state) {
        if (!RunPass(page, sys)) {
            state.SkipWithError("a read pass did not finish");
            return;
        }
        ++passes;
    }
    const double passMs = passes > 0 ? double(timer.nsecsElapsed()) / 1e6 / passes : 0;
    const double wireMs = rows * 20.0 * 10.0 / kBaud * 1000.0;
    state.counters["rows"] = rows;
    state.counters["pass_ms"] = passMs;
    state.counters["wire_limit_ms"] = wireMs;
    state.counters["pct_of_wire"] = passMs > 0 ? 100.0 * wireMs / passMs : 0;
    state.SetLabel(spec->pageName.toStdString());
    std::printf("%s: %d rows, a pass in %.1f ms; wire limit %.1f ms (%.1f%% of it, target "
                ">= 90%%)\n",
                qPrintable(spec->pageName), rows, passMs, wireMs,
                passMs > 0 ? 100.0 * wireMs / passMs : 0.0);
}

// Building a list as a page file does (look the key up, append, fill the row) and then one value
// per row as the answers arrive: both stay linear in the rows thanks to the key index.
void BM_BuildListAndShowValues(benchmark::State& state)
{
    const int rows = static_cast<int>(state.range(0));
    for (auto _ : state) {
        CPageListModel list;
        for (int i = 0; i < rows; ++i) {
            const uint32_t key = 0x200000u + uint32_t(i);
            if (list.RowOfKey(key) >= 0)
                continue;
            const int row = list.InsertItem(i, QString::number(i + 1));
            list.SetItemText(row, CPageListModel::ColKey, QString::number(key));
            list.SetItemText(row, CPageListModel::ColDataType, QStringLiteral("U16"));
            list.SetItemText(row, CPageListModel::ColAttribute, QStringLiteral("RW"));
            list.SetItemText(row, CPageListModel::ColUnit, QStringLiteral("DEC"));
        }
        for (int i = 0; i < rows; ++i)
            list.SetItemText(list.RowOfKey(0x200000u + uint32_t(i)), CPageListModel::ColValue,
                             QString::number(i));
        benchmark::DoNotOptimize(list.GetItemCount());
    }
    state.counters["us_per_row"] = benchmark::Counter(
        double(rows), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_BuildListAndShowValues)->Arg(100)->Arg(2000)->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_PageReadPass)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(BenchSeconds(3.0));

} // namespace
