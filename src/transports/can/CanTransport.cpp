// The CAN transport library (data/CAN.so) on top of QtSerialBus. The bus device lives in the
// library's own thread, which runs an event loop: the link's worker thread that calls Send and
// Receive has none, and the GUI thread that opens the port must not be tied to the device.

#include "comm/BlockingCall.h"
#include "comm/CanBitRates.h"
#include "comm/ConnectionFacts.h"
#include "comm/LittleEndian.h"
#include "comm/TransportApi.h"

#include <QByteArray>
#include <QCanBus>
#include <QCanBusDevice>
#include <QCanBusDeviceInfo>
#include <QCanBusFrame>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>

namespace {

constexpr int kFrameBytes = 16;
constexpr int kConnectTimeoutMs = 2000;
constexpr int kTaskTimeoutMs = 2000;
constexpr size_t kMaxQueuedReplies = 64;
const char kVersionText[] = "Drivara CAN library 1.0";

// Plugin and interface for the next open, chosen by SetCanDevice for every instance, and the
// library's last failure as the operator reads it.
struct DeviceChoice
{
    std::mutex mutex;
    QString plugin = QStringLiteral("socketcan");
    QString interfaceName = QStringLiteral("can0");
    QByteArray lastError;
};

DeviceChoice& Choice()
{
    static DeviceChoice choice;
    return choice;
}

void ChosenDevice(QString& plugin, QString& interfaceName)
{
    DeviceChoice& choice = Choice();
    std::lock_guard<std::mutex> lock(choice.mutex);
    plugin = choice.plugin;
    interfaceName = choice.interfaceName;
}

void SetLastError(const QString& text)
{
    DeviceChoice& choice = Choice();
    std::lock_guard<std::mutex> lock(choice.mutex);
    choice.lastError = text.toUtf8();
}

// Heartbeats (0x701-0x77F) and emergencies (0x081-0x0FF) as they came, in the reply layout,
// until the link takes them; the oldest go when nobody does.
constexpr size_t kMaxBusFrames = 256;

struct BusFrames
{
    std::mutex mutex;
    std::deque<std::array<uint8_t, kFrameBytes>> frames;
};

BusFrames& Bus()
{
    static BusFrames bus;
    return bus;
}

bool IsBusEvent(uint32_t id)
{
    return (id > kHeartbeatBaseId && id <= kHeartbeatBaseId + kMaxDriverId) ||
           (id > kEmcyBaseId && id <= kEmcyBaseId + kMaxDriverId);
}

void KeepBusFrame(const QCanBusFrame& frame)
{
    std::array<uint8_t, kFrameBytes> out{};
    LittleEndian::Write32(out.data(), frame.frameId());
    const QByteArray payload = frame.payload();
    const int length = std::min(int(payload.size()), 8);
    out[5] = uint8_t(length);
    std::memcpy(out.data() + 6, payload.constData(), size_t(length));
    BusFrames& bus = Bus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (bus.frames.size() >= kMaxBusFrames)
        bus.frames.pop_front();
    bus.frames.push_back(out);
}

// The PCAN BTR0/BTR1 codes the settings carry, as bit rates; 0 for an unknown code.
uint32_t BitRateForCode(uint32_t code)
{
    const CanBitRates::Rate* rate = CanBitRates::Find(code);
    return rate ? rate->bitRate : 0;
}

// virtualcan has no bit rate.
bool PluginTakesBitRate(const QString& plugin)
{
    return plugin != QLatin1String("virtualcan");
}

class CCanTransport final : public ICanTransport
{
public:
    CCanTransport();

    int Open(const uint32_t* settings) override;
    int Send(const uint8_t* frame) override;
    int Receive(uint8_t* frame) override;
    int GetVersion(char* buffer) override;
    void CancelReceive() override;
    void Close() override;
    void Release() override { delete this; }

private:
    enum class Link
    {
        Down,
        Connecting,
        Up
    };
    using Reply = std::array<uint8_t, kFrameBytes>;

    ~CCanTransport();

    // Runs the task in the device thread and waits for it; a task that has not started within
    // the bound is withdrawn.
    bool RunInDeviceThread(const std::function<void()>& task, int timeoutMs = kTaskTimeoutMs);

    // Device thread only. False with the operator's reason in error.
    bool CreateDevice(const QString& plugin, const QString& interfaceName, uint32_t bitRate,
                      QString& error);
    void OnError(QCanBusDevice* device, QCanBusDevice::CanBusError error);
    void DropDevice();
    void TakeFrames(QCanBusDevice* device);
    void SetLink(Link link);

    QThread m_thread;
    QObject* m_context; // lives in m_thread; the tasks run as its events
    QCanBusDevice* m_device = nullptr;

    std::mutex m_mutex; // guards the members below
    std::condition_variable m_changed;
    Link m_link = Link::Down;
    uint32_t m_replyId = kSdoReplyBaseId;
    int m_timeoutMs = int(kDefaultReplyTimeoutMs);
    std::deque<Reply> m_replies;
    bool m_cancelled = false; // until the next Send
};

CCanTransport::CCanTransport() : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("CAN device"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

CCanTransport::~CCanTransport()
{
    Close();
    m_thread.quit();
    m_thread.wait();
    // The thread has ended, so nothing can be delivering events to the context any more.
    delete m_context;
}

bool CCanTransport::RunInDeviceThread(const std::function<void()>& task, int timeoutMs)
{
    return BlockingCall::Run(m_context, task, {}, timeoutMs) == BlockingCall::Result::Ran;
}

int CCanTransport::Open(const uint32_t* settings)
{
    if (!settings)
        return 1;
    QString plugin;
    QString interfaceName;
    ChosenDevice(plugin, interfaceName);
    const uint32_t bitRate = PluginTakesBitRate(plugin) ? BitRateForCode(settings[5]) : 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_replyId = kSdoReplyBaseId + settings[4];
        m_timeoutMs = static_cast<int>(EffectiveReplyTimeout(settings[6]));
        m_replies.clear();
        m_link = Link::Connecting;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    bool created = false;
    QString error;
    const bool ran = RunInDeviceThread(
        [&] {
            DropDevice();
            created = CreateDevice(plugin, interfaceName, bitRate, error);
        },
        kConnectTimeoutMs);
    bool up = false;
    if (ran && created) {
        std::unique_lock<std::mutex> lock(m_mutex);
        up = m_changed.wait_until(lock, deadline, [this] { return m_link != Link::Connecting; }) &&
             m_link == Link::Up;
    }
    if (up) {
        // A rate that could not be set is said, not shown as the rate the bus runs at.
        SetLastError(error);
        return 0;
    }
    if (error.isEmpty()) {
        error = ran ? QStringLiteral("CAN %1:%2 did not connect").arg(plugin, interfaceName)
                    : QStringLiteral("CAN library thread does not answer");
    }
    Close();
    SetLastError(error);
    return 1;
}

bool CCanTransport::CreateDevice(const QString& plugin, const QString& interfaceName,
                                 uint32_t bitRate, QString& error)
{
    QString createError;
    QCanBusDevice* device = QCanBus::instance()->createDevice(plugin, interfaceName, &createError);
    if (!device) {
        error = QStringLiteral("CAN %1:%2 cannot be created: %3")
                    .arg(plugin, interfaceName,
                         createError.isEmpty() ? QStringLiteral("no such plugin") : createError);
        return false;
    }
    if (bitRate)
        device->setConfigurationParameter(QCanBusDevice::BitRateKey, bitRate);
    m_device = device;
    QObject::connect(device, &QCanBusDevice::errorOccurred, device,
                     [this, device](QCanBusDevice::CanBusError e) { OnError(device, e); });
    QObject::connect(device, &QCanBusDevice::framesReceived, device,
                     [this, device] { TakeFrames(device); });
    QObject::connect(device, &QCanBusDevice::stateChanged, device,
                     [this](QCanBusDevice::CanBusDeviceState state) {
                         if (state == QCanBusDevice::ConnectedState)
                             SetLink(Link::Up);
                         else if (state == QCanBusDevice::UnconnectedState)
                             SetLink(Link::Down);
                     });
    if (!device->connectDevice()) {
        error = QStringLiteral("CAN %1:%2 cannot connect: %3")
                    .arg(plugin, interfaceName, device->errorString());
        DropDevice();
        return false;
    }
    if (bitRate && device->error() == QCanBusDevice::ConfigurationError) {
        error = QStringLiteral("CAN %1:%2: the bit rate %3 bit/s cannot be set (%4); the bus runs "
                               "at the rate the interface was given (ip link set %2 type can "
                               "bitrate %3)")
                    .arg(plugin, interfaceName)
                    .arg(bitRate)
                    .arg(device->errorString());
    }
    return true;
}

void CCanTransport::OnError(QCanBusDevice* device, QCanBusDevice::CanBusError error)
{
    // A bus that went off or a device that failed takes the link down at once: sends are refused
    // and the link fails the connection instead of waiting out timeouts.
    const bool busOff =
        device->hasBusStatus() && device->busStatus() == QCanBusDevice::CanBusStatus::BusOff;
    if (error == QCanBusDevice::ConfigurationError && !busOff)
        return; // said by Open
    SetLastError(busOff ? QStringLiteral("CAN bus off: %1").arg(device->errorString())
                        : device->errorString());
    if (busOff || error == QCanBusDevice::ConnectionError)
        SetLink(Link::Down);
}

void CCanTransport::DropDevice()
{
    QCanBusDevice* device = m_device;
    m_device = nullptr;
    if (!device)
        return;
    // Its last state changes belong to a link that is already given up.
    QObject::disconnect(device, nullptr, nullptr, nullptr);
    if (device->state() != QCanBusDevice::UnconnectedState)
        device->disconnectDevice();
    delete device;
}

void CCanTransport::SetLink(Link link)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_link = link;
    }
    m_changed.notify_all();
}

void CCanTransport::TakeFrames(QCanBusDevice* device)
{
    bool queued = false;
    while (device->framesAvailable()) {
        const QCanBusFrame frame = device->readFrame();
        if (!frame.isValid() || frame.frameType() != QCanBusFrame::DataFrame)
            continue;
        // Heartbeats and emergencies of any node are kept for the link to report.
        if (IsBusEvent(frame.frameId())) {
            KeepBusFrame(frame);
            continue;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        // Only the drive's SDO answers matter; the rest of the bus traffic is dropped here.
        if (frame.frameId() != m_replyId)
            continue;
        Reply reply{};
        const uint32_t id = frame.frameId();
        for (int i = 0; i < 4; ++i)
            reply[i] = static_cast<uint8_t>(id >> (8 * i));
        const QByteArray payload = frame.payload();
        const int length = payload.size() < 8 ? static_cast<int>(payload.size()) : 8;
        reply[4] = 0;
        reply[5] = static_cast<uint8_t>(length);
        std::memcpy(reply.data() + 6, payload.constData(), static_cast<size_t>(length));
        if (m_replies.size() >= kMaxQueuedReplies)
            m_replies.pop_front();
        m_replies.push_back(reply);
        queued = true;
    }
    if (queued)
        m_changed.notify_all();
}

int CCanTransport::Send(const uint8_t* frame)
{
    if (!frame)
        return 1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_link != Link::Up)
            return 1;
        // An answer that came too late for the previous request must not pass for this one, and
        // a cancel meant for the previous exchange must not cut this one short.
        m_replies.clear();
        m_cancelled = false;
        // The answer comes from the drive the request went to: on a bus of several drives the
        // program addresses each in turn over the same open port.
        const uint32_t requestId = LittleEndian::Read32(frame);
        if (requestId > kSdoRequestBaseId && requestId < kSdoRequestBaseId + 0x80)
            m_replyId = kSdoReplyBaseId + (requestId - kSdoRequestBaseId);
    }
    const uint32_t id = LittleEndian::Read32(frame);
    const int length = frame[5] < 8 ? frame[5] : 8;
    const QByteArray payload(reinterpret_cast<const char*>(frame + 6), length);
    bool written = false;
    const bool ran = RunInDeviceThread([&] {
        if (!m_device)
            return;
        QCanBusFrame out(id, payload);
        out.setExtendedFrameFormat(id > 0x7FF);
        written = m_device->writeFrame(out);
    });
    return ran && written ? 0 : 1;
}

int CCanTransport::Receive(uint8_t* frame)
{
    if (!frame)
        return 1;
    std::unique_lock<std::mutex> lock(m_mutex);
    // A link that went down ends the wait at once instead of running out the timeout.
    m_changed.wait_for(lock, std::chrono::milliseconds(m_timeoutMs),
                       [this] { return !m_replies.empty() || m_link != Link::Up || m_cancelled; });
    if (m_replies.empty() || m_cancelled)
        return 1;
    std::memcpy(frame, m_replies.front().data(), kFrameBytes);
    m_replies.pop_front();
    return 0;
}

void CCanTransport::CancelReceive()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_cancelled = true;
    }
    m_changed.notify_all();
}

int CCanTransport::GetVersion(char* buffer)
{
    if (!buffer)
        return 0;
    QString plugin;
    QString interfaceName;
    ChosenDevice(plugin, interfaceName);
    QByteArray text;
    // QCanBus is used from the device thread only.
    const bool ran = RunInDeviceThread([&] {
        if (!QCanBus::instance()->plugins().contains(plugin))
            return;
        QString error;
        QStringList names;
        for (const QCanBusDeviceInfo& info : QCanBus::instance()->availableDevices(plugin, &error))
            names.append(info.name());
        if (names.isEmpty())
            return;
        text = (QLatin1String(kVersionText) + QStringLiteral(", backend ") + plugin +
                QStringLiteral(", interfaces: ") + names.join(QStringLiteral(", ")))
                   .toLatin1();
    });
    if (!ran || text.isEmpty())
        return 0;
    const size_t length = std::min<size_t>(static_cast<size_t>(text.size()), 255);
    std::memcpy(buffer, text.constData(), length);
    buffer[length] = '\0';
    return 1;
}

void CCanTransport::Close()
{
    RunInDeviceThread([this] { DropDevice(); });
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_link = Link::Down;
        m_replies.clear();
    }
    m_changed.notify_all();
}

} // namespace

extern "C" __attribute__((visibility("default"))) void CreateCanObject(ICanTransport** out)
{
    if (out)
        *out = new (std::nothrow) CCanTransport;
}

extern "C" __attribute__((visibility("default"))) void SetCanDevice(const char* plugin,
                                                                    const char* interfaceName)
{
    DeviceChoice& choice = Choice();
    std::lock_guard<std::mutex> lock(choice.mutex);
    choice.plugin = plugin && *plugin ? QString::fromUtf8(plugin) : QStringLiteral("socketcan");
    choice.interfaceName =
        interfaceName && *interfaceName ? QString::fromUtf8(interfaceName) : QStringLiteral("can0");
}

extern "C" __attribute__((visibility("default"))) uint32_t TransportInterfaceVersion()
{
    return kTransportInterfaceVersion;
}

extern "C" __attribute__((visibility("default"))) int TransportLastError(char* buffer, int size)
{
    DeviceChoice& choice = Choice();
    std::lock_guard<std::mutex> lock(choice.mutex);
    if (!buffer || size <= 0)
        return static_cast<int>(choice.lastError.size());
    const int length = std::min(static_cast<int>(choice.lastError.size()), size - 1);
    std::memcpy(buffer, choice.lastError.constData(), static_cast<size_t>(length));
    buffer[length] = '\0';
    return length;
}

extern "C" __attribute__((visibility("default"))) int TransportTakeBusFrame(uint8_t* frame)
{
    BusFrames& bus = Bus();
    std::lock_guard<std::mutex> lock(bus.mutex);
    if (!frame || bus.frames.empty())
        return 0;
    std::memcpy(frame, bus.frames.front().data(), kFrameBytes);
    bus.frames.pop_front();
    return 1;
}
