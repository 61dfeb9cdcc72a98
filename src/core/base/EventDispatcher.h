#pragma once

#include <QByteArray>
#include <QtGlobal>

// The link's worker hands every answer to the window's thread through that thread's Qt event
// loop, so the cost of waking a thread is paid once per exchange. Qt's own event dispatcher
// wakes a thread markedly faster than the GLib one it picks by default on Linux (run the link
// benchmark with QT_NO_GLIB=0 to compare), so the programs choose it unless the environment
// already says which. Called before the application object is made.
inline void PreferQtEventDispatcher()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", QByteArrayLiteral("1"));
}
