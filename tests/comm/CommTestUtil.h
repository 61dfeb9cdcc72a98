#pragma once

#include "app/Report.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace CommTest {

using Settings = std::array<uint32_t, 7>;

// Serial open settings: port name as UTF-16 in words 0-3, node id, baud rate, reply timeout.
inline Settings SerialSettings(const QString& port, uint32_t baudRate, uint32_t timeoutMs,
                               uint32_t nodeId = 1)
{
    Settings words{};
    const size_t chars = std::min<size_t>(static_cast<size_t>(port.size()), 7);
    std::memcpy(words.data(), port.utf16(), chars * sizeof(char16_t));
    words[4] = nodeId;
    words[5] = baudRate;
    words[6] = timeoutMs;
    return words;
}

// CAN open settings: four zero words, node id, PCAN bit-rate code, reply timeout.
inline Settings CanSettings(uint32_t nodeId, uint32_t code, uint32_t timeoutMs)
{
    return {0, 0, 0, 0, nodeId, code, timeoutMs};
}

// Collects operator messages while alive.
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
        QStringList texts;
        texts.swap(m_texts);
        return texts;
    }

private:
    std::mutex m_mutex;
    QStringList m_texts;
    MessageSink m_previous;
};

} // namespace CommTest
