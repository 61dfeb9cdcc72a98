#pragma once

#include "Messages.h"

#include <QString>
#include <cstdint>

// CANopen SDO abort codes that the program and the virtual drive name themselves.
namespace AbortCode {
constexpr uint32_t kToggle = 0x05030000;    // segment toggle bit not alternated
constexpr uint32_t kCommand = 0x05040001;   // command specifier not valid or unknown
constexpr uint32_t kWriteOnly = 0x06010001; // read of a write-only object
constexpr uint32_t kReadOnly = 0x06010002;  // write of a read-only object
constexpr uint32_t kNoObject = 0x06020000;  // object not in the dictionary
constexpr uint32_t kLength = 0x06070010;    // data type does not match, length does not match
constexpr uint32_t kValue = 0x06090030;     // value not accepted
} // namespace AbortCode

// The CANopen SDO abort codes a drive answers with, as text for the operator.
QString AbortCodeText(uint32_t code);

// Why an exchange ended without the drive's answer (an SdoFailure), as text for the operator.
QString SdoFailureText(uint32_t reason);

// A WM_BUS_EVENT as the operator reads it: "node 3: heartbeat, operational",
// "node 3: emergency 0xFF05, error register 0x01, data 0x05", "node 3: heartbeat lost (...)".
QString BusEventText(uint32_t wParam, uint32_t lParam);
