#include "LinkTestSupport.h"

#include "SimCanServer.h"
#include "SimSerialServer.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace LinkTest {

int CProbe::Count(unsigned message) const
{
    int count = 0;
    for (const Message& m : messages) {
        if (m.message == message)
            ++count;
    }
    return count;
}

std::optional<Message> CProbe::Find(unsigned message, uint32_t key) const
{
    for (const Message& m : messages) {
        if (m.message == message && m.lParam == key)
            return m;
    }
    return std::nullopt;
}

std::optional<Message> CProbe::WaitFor(unsigned message, uint32_t key, int timeoutMs)
{
    TestSupport::WaitFor([&] { return Find(message, key).has_value(); }, timeoutMs);
    return Find(message, key);
}

std::optional<Message> CProbe::WaitForResult(uint32_t key, int timeoutMs)
{
    const auto result = [&]() -> std::optional<Message> {
        for (const Message& m : messages) {
            if (m.lParam == key && (m.message == WM_SDO_VALUE || m.message == WM_SDO_SEGMENT ||
                                    m.message == WM_SDO_ABORT))
                return m;
        }
        return std::nullopt;
    };
    TestSupport::WaitFor([&] { return result().has_value(); }, timeoutMs);
    return result();
}

QString DataDir()
{
    return TestSupport::DistDir() + QStringLiteral("/data");
}

void SerialSettings(const QString& portName, uint32_t baud, uint32_t settings[7])
{
    char16_t name[8] = {};
    for (int i = 0; i < portName.size() && i < 7; ++i)
        name[i] = portName.at(i).unicode();
    for (int word = 0; word < 4; ++word)
        settings[word] = uint32_t(name[2 * word]) | (uint32_t(name[2 * word + 1]) << 16);
    settings[4] = kNodeId;
    settings[5] = baud;
    settings[6] = kReplyTimeoutMs;
}

QString VirtualCanUrl()
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(36000 + getpid() % 20000);
}

struct CLinkBench::Servers
{
    std::unique_ptr<CSimSerialServer> serial;
    std::unique_ptr<CSimCanServer> can;
};

CLinkBench::CLinkBench(Transport transport, uint32_t baud)
    : m_transport(transport), m_baud(baud), m_servers(std::make_unique<Servers>())
{
    flags.mainFrameWnd.store(mainFrame.hwnd());
    // The main frame closes the connection on a transfer failure.
    mainFrame.onMessage = [this](const Message& m) {
        if (m.message == WM_COMM_FAILED && m.wParam == 0) {
            flags.connected.store(2);
            link->Close();
        }
    };
}

CLinkBench::~CLinkBench()
{
    link.reset();
    m_servers.reset();
}

bool CLinkBench::Start()
{
    QString error;
    if (!drive.Load(DataDir(), &error)) {
        ADD_FAILURE() << "virtual drive: " << error.toStdString();
        return false;
    }
    link = std::make_unique<CCtrlLink>(flags, DataDir());
    uint32_t settings[7] = {};
    if (m_transport == Transport::Serial) {
        m_servers->serial = std::make_unique<CSimSerialServer>(drive);
        if (!m_servers->serial->Start(kNodeId, m_baud)) {
            ADD_FAILURE() << "serial server did not start";
            return false;
        }
        if (link->SetMode(CCommPort::ModeSerial) != 1) {
            ADD_FAILURE() << "serial library not loaded";
            return false;
        }
        SerialSettings(m_servers->serial->PortName(), m_baud, settings);
    } else {
        m_servers->can = std::make_unique<CSimCanServer>(drive);
        if (!m_servers->can->Start(kNodeId, QStringLiteral("virtualcan"), VirtualCanUrl())) {
            ADD_FAILURE() << "CAN server did not start";
            return false;
        }
        if (link->SetMode(CCommPort::ModeCan) != 1) {
            ADD_FAILURE() << "CAN library not loaded";
            return false;
        }
        link->SetCanDevice(QStringLiteral("virtualcan"), VirtualCanUrl());
        settings[4] = kNodeId;
        settings[5] = 28; // PCAN code of 500 kbit/s; the virtual bus ignores it
        settings[6] = kReplyTimeoutMs;
    }
    link->SetNodeId(kNodeId);
    const int opened = link->Open(settings);
    if (opened != 0) {
        ADD_FAILURE() << "link open gave " << opened;
        return false;
    }
    return true;
}

void CLinkBench::StopServer()
{
    if (m_servers->serial)
        m_servers->serial->Stop();
    if (m_servers->can)
        m_servers->can->Stop();
}

} // namespace LinkTest
