#pragma once

#include "base/Report.h"

#include <QStringList>

#include <ostream>
#include <vector>

// Readable QString values in failure output.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace TestSupport {

// Collects operator messages while alive and restores the previous sink afterwards.
class MessageRecorder
{
public:
    MessageRecorder()
        : m_previous(SetMessageSink([this](const QString& text, MessageKind kind) {
              texts << text;
              kinds.push_back(kind);
          }))
    {
    }
    ~MessageRecorder() { SetMessageSink(m_previous); }
    QStringList texts;
    std::vector<MessageKind> kinds;

private:
    MessageSink m_previous;
};

} // namespace TestSupport
