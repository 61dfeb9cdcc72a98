#include "OpenSettings.h"

bool SerialOpenSettings(const QString& portName, uint32_t nodeId, uint32_t baud, uint32_t timeoutMs,
                        OpenSettings& out)
{
    if (portName.isEmpty())
        return false;
    char16_t name[kBlockPortChars + 1] = {};
    for (int i = 0; i < portName.size() && portName.size() <= kBlockPortChars; ++i)
        name[i] = portName.at(i).unicode();
    for (int word = 0; word < 4; ++word)
        out[word] = uint32_t(name[2 * word]) | (uint32_t(name[2 * word + 1]) << 16);
    out[4] = nodeId;
    out[5] = baud;
    out[6] = timeoutMs;
    out.portName = portName;
    return true;
}

OpenSettings CanOpenSettings(uint32_t nodeId, uint32_t bitrateCode, uint32_t timeoutMs)
{
    return {{0, 0, 0, 0, nodeId, bitrateCode, timeoutMs}, {}};
}
