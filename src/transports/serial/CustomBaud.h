#pragma once

#include <cstdint>

// Sets a bit rate that has no Bxxx constant (14400, 56000, 256000, ...) through the kernel's
// termios2 interface. Kept apart because its headers clash with <termios.h>. Returns true on
// success.
bool SetCustomBaudRate(int fd, uint32_t rate);
