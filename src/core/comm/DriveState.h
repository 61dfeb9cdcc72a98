#pragma once

#include <QString>
#include <cstdint>

// The CiA 402 power state that a statusword reports, as text for the operator.
QString DriveStateText(uint16_t statusword);
