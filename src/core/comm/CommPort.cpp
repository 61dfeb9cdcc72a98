#include "CommPort.h"

#include "base/Report.h"

#include <QLibrary>
#include <cstring>

namespace {
constexpr int kSettingsWords = 7;
constexpr uint32_t kDcbLength = 28;
constexpr int kCanFrameBytes = 16;
} // namespace

CCommPort::CCommPort(const QString& dataDir) : m_dataDir(dataDir) {}

CCommPort::~CCommPort()
{
    if (m_serial) {
        m_serial->Close();
        m_serial->Release();
    }
    if (m_can) {
        m_can->Close();
        m_can->Release();
    }
}

QString CCommPort::SerialLibraryName()
{
    return QStringLiteral("COM.so");
}

QString CCommPort::CanLibraryName()
{
    return QStringLiteral("CAN.so");
}

QFunctionPointer CCommPort::Resolve(const QString& fileName, const char* symbol) const
{
    // The QLibrary object may go; the library itself stays loaded for the rest of the run
    // because instances created by it may still be in use.
    QLibrary library(m_dataDir + QLatin1Char('/') + fileName);
    return library.resolve(symbol);
}

int CCommPort::Load(int mode)
{
    m_mode = mode;
    if (mode == ModeSerial) {
        const auto create =
            reinterpret_cast<CreateObjectFn>(Resolve(SerialLibraryName(), "CreateObject"));
        if (!create) {
            ReportMessage(QStringLiteral("get Comm interface failure"));
            return 0;
        }
        m_serialLoaded = true;
        if (m_serial) {
            m_serial->Release();
            m_serial = nullptr;
        }
        create(&m_serial);
        if (!m_serial) {
            ReportMessage(QStringLiteral("Create comm instance failure"));
            return 0;
        }
        return 1;
    }
    if (mode == ModeCan) {
        const auto create =
            reinterpret_cast<CreateCanObjectFn>(Resolve(CanLibraryName(), "CreateCanObject"));
        if (!create) {
            ReportMessage(QStringLiteral("get CAN interface failure"));
            return 0;
        }
        if (m_can) {
            m_can->Release();
            m_can = nullptr;
        }
        create(&m_can);
        if (!m_can) {
            ReportMessage(QStringLiteral("Create CAN instance failure"));
            return 0;
        }
        return 1;
    }
    return 1;
}

int CCommPort::Open(const uint32_t* settings)
{
    if (!settings || (m_mode != ModeSerial && m_mode != ModeCan))
        return -1;
    std::memcpy(m_settings, settings, sizeof(m_settings));

    if (m_mode == ModeSerial) {
        if (!m_serialLoaded) {
            ReportMessage(QStringLiteral("Load comm DLL failure"));
            return -1;
        }
        if (!m_serial) {
            ReportMessage(QStringLiteral("Create comm instance failure"));
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

void CCommPort::SetCanDevice(const QString& plugin, const QString& interfaceName)
{
    m_canPlugin = plugin;
    m_canInterface = interfaceName;
}

void CCommPort::ApplyCanDevice() const
{
    if (m_canPlugin.isEmpty() && m_canInterface.isEmpty())
        return;
    const auto setDevice =
        reinterpret_cast<SetCanDeviceFn>(Resolve(CanLibraryName(), "SetCanDevice"));
    if (setDevice)
        setDevice(m_canPlugin.toUtf8().constData(), m_canInterface.toUtf8().constData());
}
