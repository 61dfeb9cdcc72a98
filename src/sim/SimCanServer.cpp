#include "SimCanServer.h"

#include "VirtualDrive.h"
#include "comm/BlockingCall.h"
#include "comm/ConnectionFacts.h"

#include <QObject>

#ifdef DRIVARA_SIM_CAN
#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "comm/SdoFrame.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

namespace {

constexpr int kConnectTimeoutMs = 5000;

// The event-loop thread shared by the CAN servers, ended when the application object goes.
struct CanThread
{
    QThread* thread = nullptr;
    QObject* anchor = nullptr; // lives in the thread; context of the calls made there
};

std::mutex g_canThreadMutex;
CanThread g_canThread;

void EndCanThread()
{
    std::lock_guard<std::mutex> lock(g_canThreadMutex);
    if (!g_canThread.thread)
        return;
    g_canThread.thread->quit();
    g_canThread.thread->wait();
    delete g_canThread.anchor;
    delete g_canThread.thread;
    g_canThread = CanThread();
}

QObject* CanAnchor()
{
    std::lock_guard<std::mutex> lock(g_canThreadMutex);
    if (!g_canThread.thread) {
        g_canThread.thread = new QThread;
        g_canThread.thread->setObjectName(QStringLiteral("sim-can"));
        g_canThread.anchor = new QObject;
        g_canThread.anchor->moveToThread(g_canThread.thread);
        g_canThread.thread->start();
        qAddPostRoutine(EndCanThread);
    }
    return g_canThread.anchor;
}

// Runs fn in the CAN thread and waits for it; runs it here when that thread is gone.
template <typename Fn> void RunInCanThread(QObject* anchor, Fn fn)
{
    if (BlockingCall::Run(anchor, fn) == BlockingCall::Result::NotPosted)
        fn();
}

// NMT states as a heartbeat reports them (CiA 301).
constexpr uint8_t kBootUp = 0x00;
constexpr uint8_t kStopped = 0x04;
constexpr uint8_t kOperational = 0x05;
constexpr uint8_t kPreOperational = 0x7F;

void SendState(QCanBusDevice* device, uint32_t nodeId, uint8_t state)
{
    device->writeFrame(QCanBusFrame(kHeartbeatBaseId + nodeId, QByteArray(1, char(state))));
}

// An NMT command for this node or for all: the state it leaves the node in. A reset comes back
// with its boot-up message and then pre-operational, as a device does.
void TakeNmt(QCanBusDevice* device, uint32_t nodeId, const QByteArray& payload,
             std::atomic<uint8_t>& state)
{
    if (payload.size() != 2 || (uint8_t(payload[1]) != 0 && uint8_t(payload[1]) != nodeId))
        return;
    switch (uint8_t(payload[0])) {
    case 0x01:
        state = kOperational;
        break;
    case 0x02:
        state = kStopped;
        break;
    case 0x80:
        state = kPreOperational;
        break;
    case 0x81:
    case 0x82:
        SendState(device, nodeId, kBootUp);
        state = kPreOperational;
        break;
    default:
        break;
    }
}

// A raised error as a CANopen device announces it: error code 0xFF00 + bit (device specific),
// the error register's generic bit, the bit number as manufacturer data.
void SendEmergency(QCanBusDevice* device, uint32_t nodeId, uint32_t bit)
{
    QByteArray data(8, '\0');
    const uint16_t code = uint16_t(0xFF00 + bit);
    data[0] = char(code & 0xFF);
    data[1] = char(code >> 8);
    data[2] = 0x01;
    data[3] = char(bit);
    device->writeFrame(QCanBusFrame(kEmcyBaseId + nodeId, data));
}

void Serve(CVirtualDrive& drive, QCanBusDevice* device, uint32_t nodeId,
           const std::function<void()>& onUnplugged, std::atomic<uint8_t>& state,
           std::atomic<int>& pendingEmergency)
{
    while (device->state() == QCanBusDevice::ConnectedState && device->framesAvailable() > 0) {
        const QCanBusFrame frame = device->readFrame();
        const QByteArray payload = frame.payload();
        if (frame.frameType() != QCanBusFrame::DataFrame || frame.hasExtendedFrameFormat())
            continue;
        if (frame.frameId() == kNmtBaseId) {
            TakeNmt(device, nodeId, payload, state);
            continue;
        }
        // A stopped node serves no SDO.
        if (frame.frameId() != kSdoRequestBaseId + nodeId || payload.size() != 8 ||
            state == kStopped)
            continue;
        uint8_t request[8];
        uint8_t reply[8];
        std::memcpy(request, payload.constData(), 8);
        // An error standing since start-up is announced once a master is there to hear it.
        const int standing = pendingEmergency.exchange(-1);
        if (standing >= 0 && drive.CanOpen())
            SendEmergency(device, nodeId, uint32_t(standing));
        // A block upload's replies are many frames, or none.
        QList<QByteArray> block;
        if (drive.HandleBlock(request, block)) {
            for (const QByteArray& part : block)
                device->writeFrame(QCanBusFrame(kSdoReplyBaseId + nodeId, part));
            continue;
        }
        if (!drive.Handle(request, reply)) {
            if (drive.faults().Unplugged()) {
                device->disconnectDevice();
                if (onUnplugged)
                    onUnplugged();
                return;
            }
            continue;
        }
        // The bus drops a frame that fails its CRC; what can still arrive damaged is a frame cut
        // short, which is what a damaged reply looks like here (a truncated one keeps a little
        // more: part of its value).
        if (request[0] != SdoFrame::kAbort && SdoFrame::IsWrite(request[0]) &&
            SdoFrame::KeyOf(request) == CVirtualDrive::kRaiseErrorBit &&
            reply[0] == SdoFrame::kWriteReply && drive.CanOpen())
            SendEmergency(device, nodeId, SdoFrame::DataOf(request));
        CSimFaults& faults = drive.faults();
        const int length = faults.TakeCorrupt() ? 4 : faults.TakeTruncate() ? 6 : 8;
        const QCanBusFrame answer(kSdoReplyBaseId + nodeId,
                                  QByteArray(reinterpret_cast<const char*>(reply), length));
        const int copies = faults.TakeDuplicate() ? 2 : 1;
        const int delayMs = faults.TakeReplyDelayMs();
        for (int copy = 0; copy < copies; ++copy) {
            if (delayMs > 0)
                QTimer::singleShot(delayMs, device,
                                   [device, answer] { device->writeFrame(answer); });
            else
                device->writeFrame(answer);
        }
    }
}

} // namespace

CSimCanServer::CSimCanServer(CVirtualDrive& drive) : m_drive(drive) {}

CSimCanServer::~CSimCanServer()
{
    Stop();
}

bool CSimCanServer::Start(uint32_t nodeId, const QString& plugin, const QString& interfaceName)
{
    if (m_context)
        return false;
    m_error.clear();
    QObject* anchor = CanAnchor();
    QObject* context = nullptr;
    QString error;
    CVirtualDrive* drive = &m_drive;
    const std::function<void()> unplugged = onUnplugged;
    const int heartbeatMs = heartbeatPeriodMs;
    auto pending = std::make_shared<std::atomic<int>>(emergencyOnFirstRequest);
    RunInCanThread(anchor, [&] {
        QString createError;
        QCanBusDevice* device =
            QCanBus::instance()->createDevice(plugin, interfaceName, &createError);
        if (!device) {
            error = createError.isEmpty() ? QStringLiteral("no CAN plugin %1").arg(plugin)
                                          : createError;
            return;
        }
        auto* owner = new QObject;
        device->setParent(owner);
        auto nmt = std::make_shared<std::atomic<uint8_t>>(kPreOperational);
        QObject::connect(device, &QCanBusDevice::framesReceived, owner,
                         [drive, device, nodeId, unplugged, nmt, pending] {
                             Serve(*drive, device, nodeId, unplugged, *nmt, *pending);
                         });
        if (heartbeatMs > 0) {
            auto* beat = new QTimer(owner);
            QObject::connect(beat, &QTimer::timeout, owner, [device, nodeId, nmt] {
                if (device->state() == QCanBusDevice::ConnectedState)
                    SendState(device, nodeId, *nmt);
            });
            beat->start(heartbeatMs);
        }
        if (device->connectDevice() && device->state() != QCanBusDevice::ConnectedState) {
            QEventLoop loop;
            QObject::connect(device, &QCanBusDevice::stateChanged, &loop,
                             [&loop](QCanBusDevice::CanBusDeviceState state) {
                                 if (state != QCanBusDevice::ConnectingState)
                                     loop.quit();
                             });
            QObject::connect(device, &QCanBusDevice::errorOccurred, &loop, &QEventLoop::quit);
            QTimer::singleShot(kConnectTimeoutMs, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (device->state() != QCanBusDevice::ConnectedState) {
            error = device->errorString().isEmpty()
                        ? QStringLiteral("cannot connect %1:%2").arg(plugin, interfaceName)
                        : device->errorString();
            delete owner;
            return;
        }
        context = owner;
    });
    m_context = context;
    m_error = error;
    return m_context != nullptr;
}

void CSimCanServer::Stop()
{
    if (!m_context)
        return;
    QObject* context = m_context;
    m_context = nullptr;
    QObject* anchor = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_canThreadMutex);
        anchor = g_canThread.anchor;
    }
    RunInCanThread(anchor, [context] {
        for (QCanBusDevice* device : context->findChildren<QCanBusDevice*>())
            device->disconnectDevice();
        delete context;
    });
}

#else

CSimCanServer::CSimCanServer(CVirtualDrive& drive) : m_drive(drive) {}

CSimCanServer::~CSimCanServer() = default;

bool CSimCanServer::Start(uint32_t, const QString&, const QString&)
{
    m_error = QStringLiteral("this build has no CAN support");
    return false;
}

void CSimCanServer::Stop() {}

#endif
