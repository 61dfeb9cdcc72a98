#pragma once

#include <QString>
#include <functional>

// Operator-facing messages. The core never shows a window: it hands the literal text to a sink
// that the front end installs (message boxes in the GUI, stderr in drivactl, a recorder in tests).
// The sink may be called from any thread; a GUI sink must marshal to its own thread.
enum class MessageKind
{
    Plain,       // message box with an OK button
    Information, // information icon, OK button
    Warning,
};

using MessageSink = std::function<void(const QString& text, MessageKind kind)>;

void ReportMessage(const QString& text, MessageKind kind = MessageKind::Plain);

// Installs a sink and returns the previous one. An empty sink restores the default (stderr).
MessageSink SetMessageSink(MessageSink sink);
