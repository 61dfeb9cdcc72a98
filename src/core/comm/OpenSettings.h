#pragma once

#include "TransportApi.h"

#include <QString>

#include <array>
#include <cstdint>

// The seven 32-bit words that open a connection, and the serial port's whole name.
struct OpenSettings : std::array<uint32_t, 7>
{
    QString portName;
};

// Serial: the port name as UTF-16 in words 0-3 (up to seven characters, NUL-padded; left empty
// for a longer one), node id, baud rate, reply timeout in ms; the whole name in portName. False
// for an empty name.
bool SerialOpenSettings(const QString& portName, uint32_t nodeId, uint32_t baud, uint32_t timeoutMs,
                        OpenSettings& out);

// CAN: four unused words, node id, PCAN bit-rate code, reply timeout in ms.
OpenSettings CanOpenSettings(uint32_t nodeId, uint32_t bitrateCode, uint32_t timeoutMs);
