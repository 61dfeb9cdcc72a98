#pragma once

#include "TransportApi.h"

#include <QString>

#include <array>
#include <cstdint>

// The seven 32-bit words that open a connection.
using OpenSettings = std::array<uint32_t, 7>;

// Serial: the port name as UTF-16 in words 0-3 (at most 7 characters, NUL-padded), node id,
// baud rate, reply timeout in ms. False for an empty or longer name.
bool SerialOpenSettings(const QString& portName, uint32_t nodeId, uint32_t baud, uint32_t timeoutMs,
                        OpenSettings& out);

// CAN: four unused words, node id, PCAN bit-rate code, reply timeout in ms.
OpenSettings CanOpenSettings(uint32_t nodeId, uint32_t bitrateCode, uint32_t timeoutMs);
