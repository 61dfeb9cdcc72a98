#include "CommPort.h"

#include "base/Report.h"

#include <QDir>
#include <QFile>
#include <QLibrary>
#include <cstring>

namespace {
constexpr int kSettingsWords = 7;
constexpr uint32_t kDcbLength = 28;
constexpr int kCanFrameBytes = 16;
constexpr int kErrorTextBytes = 512;
} // namespace

void CCommPort::Releaser::operator()(ISerialTransport* serial) const
{
    serial->Close();
    serial->Release();
}

void CCommPort::Releaser::operator()(ICanTransport* can) const
{
    can->Close();
    can->Release();
}

CCommPort::CCommPort(const QString& dataDir)
    : m_dataDir(QDir(dataDir).absolutePath()),
      m_deviceFolder(QDir(m_dataDir + QStringLiteral("/..")).absolutePath())
{
}

// Serial first, as the instances were always released in that order.
CCommPort::~CCommPort()
{
    m_serial.reset();
    m_can.reset();
}

QString CCommPort::SerialLibraryName()
{
    return QStringLiteral("COM.so");
}

QString CCommPort::CanLibraryName()
{
    return QStringLiteral("CAN.so");
}

void CCommPort::Deliver(const QString& text, QString* error)
{
    if (error)
        *error = error->isEmpty() ? text : *error + QLatin1Char('\n') + text;
    else
        ReportMessage(text);
}

QFunctionPointer CCommPort::ResolveOptional(const QString& fileName, const char* symbol) const
{
    // The QLibrary object may go; the library itself stays loaded for the rest of the run
    // because instances created by it may still be in use.
    QLibrary library(m_dataDir + QLatin1Char('/') + fileName);
    return library.resolve(symbol);
}

QFunctionPointer CCommPort::Resolve(const QString& fileName, const char* factory,
                                    const QString& noFactory, QString& error,
                                    uint32_t& version) const
{
    const QFunctionPointer create = ResolveOptional(fileName, factory);
    if (!create) {
        error = noFactory;
        return nullptr;
    }
    // A library built for another layout would load and then misbehave: refuse it by name.
    const auto versionOf = reinterpret_cast<TransportInterfaceVersionFn>(
        ResolveOptional(fileName, "TransportInterfaceVersion"));
    const uint32_t found = versionOf ? versionOf() : 0;
    // An older library lacks only the later slots, which are then left alone.
    if (found < kOldestTransportInterfaceVersion || found > kTransportInterfaceVersion) {
        error = QStringLiteral("%1 is built for transport interface version %2; this program "
                               "needs version %3")
                    .arg(m_dataDir + QLatin1Char('/') + fileName)
                    .arg(found)
                    .arg(kTransportInterfaceVersion);
        return nullptr;
    }
    version = found;
    return create;
}

int CCommPort::Load(int mode, QString* error)
{
    m_mode = mode;
    QString text;
    if (mode == ModeSerial) {
        const auto create = reinterpret_cast<CreateObjectFn>(
            Resolve(SerialLibraryName(), "CreateObject",
                    QStringLiteral("get Comm interface failure"), text, m_serialVersion));
        if (!create) {
            Deliver(text, error);
            return 0;
        }
        m_serialLoaded = true;
        m_serial.reset();
        ISerialTransport* instance = nullptr;
        create(&instance);
        m_serial.reset(instance);
        if (!m_serial) {
            Deliver(QStringLiteral("Create comm instance failure"), error);
            return 0;
        }
        return 1;
    }
    if (mode == ModeCan) {
        const auto create = reinterpret_cast<CreateCanObjectFn>(
            Resolve(CanLibraryName(), "CreateCanObject",
                    QStringLiteral("get CAN interface failure"), text, m_canVersion));
        if (!create) {
            Deliver(text, error);
            return 0;
        }
        m_can.reset();
        ICanTransport* instance = nullptr;
        create(&instance);
        m_can.reset(instance);
        if (!m_can) {
            Deliver(QStringLiteral("Create CAN instance failure"), error);
            return 0;
        }
        return 1;
    }
    return 1;
}

int CCommPort::Open(const uint32_t* settings, QString* error, const QString& portName)
{
    if (!settings || (m_mode != ModeSerial && m_mode != ModeCan))
        return -1;
    const uint32_t timeoutMs = settings[kSettingsWords - 1];
    if (timeoutMs != 0 && (timeoutMs < kMinReplyTimeoutMs || timeoutMs > kMaxReplyTimeoutMs)) {
        Deliver(QStringLiteral("reply timeout %1 ms refused: it must be %2 to %3 ms")
                    .arg(timeoutMs)
                    .arg(kMinReplyTimeoutMs)
                    .arg(kMaxReplyTimeoutMs),
                error);
        return -1;
    }
    std::memcpy(m_settings, settings, sizeof(m_settings));

    if (m_mode == ModeSerial) {
        if (!m_serialLoaded) {
            Deliver(QStringLiteral("Load comm DLL failure"), error);
            return -1;
        }
        if (!m_serial) {
            Deliver(QStringLiteral("Create comm instance failure"), error);
            return -1;
        }
        SerialOpenBlock block{};
        static_assert(sizeof(block.portName) == 4 * sizeof(uint32_t), "port name fills words 0-3");
        std::memcpy(block.portName, m_settings, sizeof(block.portName));
        block.dcbLength = kDcbLength;
        block.baudRate = m_settings[5];
        block.byteSize = 8;
        block.parity = 0;
        block.stopBits = 0;
        block.dtrControl = 0;
        block.rtsControl = 0;
        block.replyTimeoutMs = m_settings[kSettingsWords - 1];
        ApplyDeviceFolder();
        if (portName.isEmpty())
            return m_serial->Open(&block);
        if (m_serialVersion >= kOpenPortSinceVersion)
            return m_serial->OpenPort(portName.toUtf8().constData(), &block);
        if (portName.size() > kBlockPortChars) {
            Deliver(QStringLiteral("%1 opens no port name longer than %2 characters (%3); "
                                   "it is older than this program")
                        .arg(SerialLibraryName())
                        .arg(kBlockPortChars)
                        .arg(portName),
                    error);
            return -1;
        }
        return m_serial->Open(&block);
    }

    if (!m_can)
        return -1;
    ApplyCanDevice();
    return m_can->Open(m_settings);
}

int CCommPort::Send(const uint8_t* bytes, int length)
{
    if (m_mode == ModeSerial && m_serial)
        return m_serial->Send(bytes, length);
    if (m_mode == ModeCan && m_can)
        return m_can->Send(bytes);
    return -1;
}

int CCommPort::Receive(uint8_t* bytes, int* length)
{
    if (m_mode == ModeSerial && m_serial)
        return m_serial->Receive(bytes, length);
    if (m_mode == ModeCan && m_can) {
        const int result = m_can->Receive(bytes);
        if (length)
            *length = result == 0 ? kCanFrameBytes : 0;
        return result;
    }
    if (length)
        *length = 0;
    return -1;
}

void CCommPort::CancelReceive()
{
    if (m_mode == ModeSerial && m_serial && m_serialVersion >= kCancelReceiveSinceVersion)
        m_serial->CancelReceive();
    else if (m_mode == ModeCan && m_can && m_canVersion >= kCancelReceiveSinceVersion)
        m_can->CancelReceive();
}

void CCommPort::Close()
{
    if (m_mode == ModeSerial && m_serial)
        m_serial->Close();
    else if (m_mode == ModeCan && m_can)
        m_can->Close();
}

int CCommPort::GetVersion(char* buffer256)
{
    if (m_mode == ModeCan && m_can) {
        ApplyCanDevice();
        return m_can->GetVersion(buffer256);
    }
    return 0;
}

bool CCommPort::TakeBusFrame(uint8_t* frame16) const
{
    if (m_mode != ModeCan)
        return false;
    // Looked up once: the worker asks between every two exchanges.
    if (!m_takeBusFrameResolved) {
        m_takeBusFrame = reinterpret_cast<TakeBusFrameFn>(
            ResolveOptional(CanLibraryName(), "TransportTakeBusFrame"));
        m_takeBusFrameResolved = true;
    }
    return m_takeBusFrame && m_takeBusFrame(frame16) == 1;
}

QString CCommPort::LastError() const
{
    const QString library = m_mode == ModeSerial ? SerialLibraryName()
                            : m_mode == ModeCan  ? CanLibraryName()
                                                 : QString();
    if (library.isEmpty())
        return {};
    const auto lastError =
        reinterpret_cast<TransportLastErrorFn>(ResolveOptional(library, "TransportLastError"));
    if (!lastError)
        return {};
    char text[kErrorTextBytes] = {};
    const int length = lastError(text, int(sizeof text));
    return length > 0 ? QString::fromUtf8(text, std::min(length, int(sizeof text) - 1)) : QString();
}

void CCommPort::SetCanDevice(const QString& plugin, const QString& interfaceName)
{
    m_canPlugin = plugin;
    m_canInterface = interfaceName;
}

void CCommPort::SetDeviceFolder(const QString& folder)
{
    m_deviceFolder = QDir(folder).absolutePath();
}

void CCommPort::ApplyCanDevice() const
{
    if (m_canPlugin.isEmpty() && m_canInterface.isEmpty())
        return;
    const auto setDevice =
        reinterpret_cast<SetCanDeviceFn>(ResolveOptional(CanLibraryName(), "SetCanDevice"));
    if (setDevice)
        setDevice(m_canPlugin.toUtf8().constData(), m_canInterface.toUtf8().constData());
}

void CCommPort::ApplyDeviceFolder() const
{
    const auto setFolder = reinterpret_cast<SetDeviceFolderFn>(
        ResolveOptional(SerialLibraryName(), "SetDeviceFolder"));
    if (setFolder)
        setFolder(QFile::encodeName(m_deviceFolder).constData());
}
