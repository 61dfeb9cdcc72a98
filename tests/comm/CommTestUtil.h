#pragma once

// Helpers shared by the transport, link and virtual drive tests.

#include "app/Report.h"

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

using Settings = std::array<uint32_t, 7>;

// Serial open settings: port name as UTF-16 in words 0-3, node id, baud rate, reply timeout.
inline Settings SerialSettings(const QString& port, uint32_t baudRate, uint32_t timeoutMs,
                               uint32_t nodeId = 1)
{
    Settings words{};
    std::memcpy(words.data(), port.utf16(),
                std::min<size_t>(static_cast<size_t>(port.size()), 7) * sizeof(char16_t));
    words[4] = nodeId;
    words[5] = baudRate;
    words[6] = timeoutMs;
    return words;
}

// CAN open settings: four unused words, node id, PCAN bit-rate code (500 kbit/s), reply timeout.
inline Settings CanSettings(uint32_t nodeId, uint32_t timeoutMs)
{
    return {0, 0, 0, 0, nodeId, 0x001C, timeoutMs};
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
