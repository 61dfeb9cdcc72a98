#pragma once

#include "FormulaEvaluator.h"

#include <cstdint>

// The main frame's handling of a drive value that answers a constant read (WM_SDO_VALUE to the
// main frame for any key but the statusword): the first answer for a key is cached, with the raw
// 32 bits taken as signed, and the parked conversion is retried; later answers change nothing.
void OnConstantArrived(CFormulaEvaluator& evaluator, uint32_t key, uint32_t value);
