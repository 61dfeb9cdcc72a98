#pragma once

#include <QString>
#include <cstdint>

// The CANopen SDO abort codes a drive answers with, as text for the operator.
QString AbortCodeText(uint32_t code);
