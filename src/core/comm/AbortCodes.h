#pragma once

#include "Messages.h"

#include <QString>
#include <cstdint>

// The CANopen SDO abort codes a drive answers with, as text for the operator.
QString AbortCodeText(uint32_t code);

// Why an exchange ended without the drive's answer (an SdoFailure), as text for the operator.
QString SdoFailureText(uint32_t reason);
