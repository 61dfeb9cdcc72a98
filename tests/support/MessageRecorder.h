#pragma once

#include "base/Report.h"

#include <QStringList>

#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

// Readable QString values in failure output.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace TestSupport {

// Collects operator messages, from any thread, while alive; restores the previous sink after.
class MessageRecorder
{
public:
    MessageRecorder()
        : m_previous(SetMessageSink([this](const QString& text, MessageKind kind) {
              std::lock_guard<std::mutex> lock(m_mutex);
              m_texts << text;
              m_kinds.push_back(kind);
          }))
    {
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }

    // The kinds of the messages not yet taken, oldest first.
    std::vector<MessageKind> Kinds()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_kinds;
    }
    // The messages since the last call, oldest first.
    QStringList Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_kinds.clear();
        return std::exchange(m_texts, {});
    }

private:
    std::mutex m_mutex; // also makes the recorder impossible to copy
    QStringList m_texts;
    std::vector<MessageKind> m_kinds;
    MessageSink m_previous;
};

} // namespace TestSupport
