#pragma once

// Helpers shared by the transport, link and virtual drive tests.

#include "MessageRecorder.h"
#include "comm/OpenSettings.h"

#include <QStringList>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace CommTest {

inline OpenSettings SerialSettings(const QString& port, uint32_t baudRate, uint32_t timeoutMs,
                                   uint32_t nodeId = 1)
{
    OpenSettings words{};
    SerialOpenSettings(port, nodeId, baudRate, timeoutMs, words);
    return words;
}

// This process's virtual CAN bus, on a port the system has just handed out as free, so that
// parallel test binaries never share one.
inline QString BusUrl()
{
    static const int port = [] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        const bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                           getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        close(fd);
        return bound ? int(ntohs(address.sin_port)) : 0;
    }();
    return QStringLiteral("tcp://127.0.0.1:%1/can0").arg(port);
}

} // namespace CommTest
