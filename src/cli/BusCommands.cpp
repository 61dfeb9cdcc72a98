// The CAN bus as a whole: which nodes are on it, and their NMT states.
#include "CliSession.h"
#include "Commands.h"
#include "Output.h"

#include "comm/AbortCodes.h"

#include <QElapsedTimer>

namespace {

// Identity objects every CANopen device has (CiA 301).
constexpr uint32_t kDeviceType = 0x100000;
constexpr uint32_t kIdentity[] = {0x101801, 0x101802, 0x101803, 0x101804};
const char* const kIdentityNames[] = {"vendor", "product", "revision", "serial"};

constexpr qint64 kQuietBusMs = 10000;

QString Hex(uint32_t value)
{
    return QStringLiteral("0x%1").arg(value, 8, 16, QLatin1Char('0'));
}

// The --nodes of the command, or every node id.
QVector<uint32_t> NodesOf(const CliOptions& options)
{
    QVector<uint32_t> nodes = options.nodes;
    if (nodes.isEmpty()) {
        for (uint32_t node = kMinDriverId; node <= kMaxDriverId; ++node)
            nodes.append(node);
    }
    return nodes;
}

} // namespace

// One read at a time, each waited for, so the transmit queue holds at most one frame however
// many nodes are asked; a node that does not answer the device type within the reply timeout is
// taken as absent, and only the ones found are asked for their identity.
int RunScan(CCliSession& session, const CliOptions& options)
{
    CCtrlLink& link = session.sys().link;
    QElapsedTimer timer;
    timer.start();
    int found = 0;
    int result = ExitOk;
    const QVector<uint32_t> nodes = NodesOf(options);
    for (const uint32_t node : nodes) {
        const auto probe = [&](uint32_t key) {
            return session.Await(key, [&] { link.RequestProbe(session.hwnd(), node, key); });
        };
        const CCliSession::Answer type = probe(kDeviceType);
        if (type.kind == CCliSession::Answer::CommFailed && type.value == kSdoNoAnswer)
            continue;
        if (type.kind == CCliSession::Answer::Timeout ||
            (type.kind == CCliSession::Answer::CommFailed && type.value != kSdoNoAnswer))
            return ExitCommFailure;
        ++found;
        QString line = QStringLiteral("node %1: device type ").arg(node);
        line +=
            type.kind == CCliSession::Answer::Value ? Hex(type.value) : AbortCodeText(type.value);
        for (int i = 0; i < 4; ++i) {
            const CCliSession::Answer answer = probe(kIdentity[i]);
            line += QStringLiteral(", %1 ").arg(QLatin1String(kIdentityNames[i]));
            if (answer.kind == CCliSession::Answer::Value) {
                line += Hex(answer.value);
            } else {
                line += answer.kind == CCliSession::Answer::Abort ? AbortCodeText(answer.value)
                                                                  : QStringLiteral("no answer");
                result = ExitAbort;
            }
        }
        Out() << line << '\n';
        Out().flush();
    }
    Out() << found << (found == 1 ? " node" : " nodes") << " found; " << nodes.size()
          << " asked in " << QString::number(timer.elapsed() / 1000.0, 'f', 2) << " s\n";
    return found > 0 ? result : ExitCommFailure;
}

int RunNmt(CCliSession& session, const CliOptions& options)
{
    static const QHash<QString, uint8_t> kCommands = {
        {QStringLiteral("start"), 0x01},      {QStringLiteral("stop"), 0x02},
        {QStringLiteral("preop"), 0x80},      {QStringLiteral("reset"), 0x81},
        {QStringLiteral("reset-comm"), 0x82},
    };
    int64_t node = -1;
    if (options.args.size() != 2 || !kCommands.contains(options.args.at(0)) ||
        !ParseTypedInteger(options.args.at(1), node) || node < 0 || node > int64_t(kMaxDriverId)) {
        Err() << "nmt takes start|stop|preop|reset|reset-comm NODE (1-127, 0: every node)\n";
        return ExitBadArguments;
    }
    const uint8_t command = kCommands.value(options.args.at(0));
    const uint32_t tag = CCtrlLink::kNmtTag + uint32_t(node);
    const CCliSession::Answer answer = session.Await(
        tag, [&] { session.sys().link.RequestNmt(session.hwnd(), command, uint32_t(node)); });
    if (answer.kind != CCliSession::Answer::Value) {
        Err() << "nmt: the command could not be sent\n";
        return ExitCommFailure;
    }
    Out() << "nmt " << options.args.at(0) << " sent to "
          << (node == 0 ? QStringLiteral("every node") : QStringLiteral("node %1").arg(node))
          << '\n';
    return ExitOk;
}

// Heartbeats and emergencies as they come, each with the time it came; --count of them.
int RunMonitor(CCliSession& session, const CliOptions& options)
{
    const int wanted = options.count > 0 ? options.count : 10;
    int seen = 0;
    QElapsedTimer timer;
    timer.start();
    session.onMessage = [&](unsigned message, uint32_t wParam, uint32_t lParam) {
        if (message != WM_BUS_EVENT || seen >= wanted)
            return;
        ++seen;
        Out() << QString::number(timer.elapsed() / 1000.0, 'f', 3) << " s  "
              << BusEventText(wParam, lParam) << '\n';
        Out().flush();
    };
    session.sys().link.SetBusWindow(session.hwnd());
    // Without --deadline a quiet bus ends the wait after a while.
    const bool done = session.WaitUntil([&] { return seen >= wanted; },
                                        options.deadlineSeconds > 0 ? -1 : kQuietBusMs);
    session.sys().link.SetBusWindow(kNoWindow);
    session.onMessage = nullptr;
    return done ? ExitOk : ExitCommFailure;
}

// Under the canopen profile a text object is written whole (by segments when longer than four
// bytes), then read back, so that what is shown is what the device holds.
int WriteText(CCliSession& session, uint32_t key, const QString& name, const QString& text)
{
    SdoWriteResult result;
    bool ended = false;
    session.onMessage = [&](unsigned message, uint32_t, uint32_t lParam) {
        if (message == WM_SDO_WRITTEN && lParam == key)
            ended = session.sys().link.TakeWrites(session.hwnd(), key, result);
    };
    const CCliSession::Answer answer = session.Await(
        key, [&] { session.sys().link.RequestDownload(session.hwnd(), key, text.toUtf8()); });
    session.onMessage = nullptr;
    if (!ended)
        return ReportNoAnswer(session, key, answer);
    if (result.refused) {
        Out() << KeyText(key) << ": write refused, abort " << Hex(result.abortCode) << ' '
              << AbortCodeText(result.abortCode) << '\n';
        return ExitAbort;
    }
    if (result.confirmed != 1) {
        Err() << KeyText(key) << ": " << SdoFailureText(result.failure) << '\n';
        return ExitCommFailure;
    }
    QByteArray held;
    CCliSession::Answer readBack;
    if (!session.Upload(key, held, readBack))
        return ReportNoAnswer(session, key, readBack);
    Out() << KeyText(key) << ' ' << name << " = \"" << QString::fromUtf8(held) << "\"\n";
    return held == text.toUtf8() ? ExitOk : ExitAbort;
}
