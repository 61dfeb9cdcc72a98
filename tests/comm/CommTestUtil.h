#pragma once

// Helpers shared by the transport, link and virtual drive tests.

#include "base/Report.h"
#include "comm/OpenSettings.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <utility>

namespace CommTest {

using Settings = OpenSettings;

inline Settings SerialSettings(const QString& port, uint32_t baudRate, uint32_t timeoutMs,
                               uint32_t nodeId = 1)
{
    Settings words{};
    SerialOpenSettings(port, nodeId, baudRate, timeoutMs, words);
    return words;
}

// 500 kbit/s.
inline Settings CanSettings(uint32_t nodeId, uint32_t timeoutMs)
{
    return CanOpenSettings(nodeId, 0x001C, timeoutMs);
}

// This process's virtual CAN bus, so that parallel test binaries never share one.
inline QString BusUrl()
{
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(36000 + getpid() % 20000);
}

// Collects operator messages (from any thread) while alive.
class MessageRecorder
{
public:
    MessageRecorder()
    {
        m_previous = SetMessageSink([this](const QString& text, MessageKind) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.append(text);
        });
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_texts, {});
    }

private:
    std::mutex m_mutex;
    QStringList m_texts;
    MessageSink m_previous;
};

} // namespace CommTest
