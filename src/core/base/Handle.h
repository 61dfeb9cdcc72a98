#pragma once

#include <cstdint>

// A window handle names one receiver registered with the message layer; 0 is "no window". The
// lower layers keep handles only to say whom an answer is for, without knowing about windows.
using HWND = uint32_t;
constexpr HWND kNoWindow = 0;
