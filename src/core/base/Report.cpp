#include "Report.h"

#include <cstdio>
#include <mutex>

namespace {
std::mutex g_sinkMutex;
MessageSink g_sink;

void WriteToStderr(const QString& text, MessageKind)
{
    std::fprintf(stderr, "%s\n", text.trimmed().toUtf8().constData());
}
} // namespace

void ReportMessage(const QString& text, MessageKind kind)
{
    MessageSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(text, kind);
    else
        WriteToStderr(text, kind);
}

MessageSink SetMessageSink(MessageSink sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    MessageSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}
