#pragma once

#include <cstdint>

// The drive's objects that the program itself relies on, by key (index << 8 | subindex), and the
// values that make them act. The one home of these facts: the windows, drivactl and the virtual
// drive take them from here.
namespace DriveObject {

constexpr uint32_t kStatusword = 0x604100;
// Store and initialise: 1 stores (control or motor parameters), 10 initialises the control
// parameters; the object reads 0 again once the drive is done.
constexpr uint32_t kStoreControl = 0x2FF001;
constexpr uint32_t kStoreMotor = 0x2FF003;
constexpr uint32_t kStoreCommand = 1;
constexpr uint32_t kInitialiseCommand = 10;
// Restart: written with its signature, the drive starts again (and does not answer for a while).
constexpr uint32_t kRestart = 0x2FFF00;
constexpr uint32_t kRestartSignature = 0xAA55;

// The drive's 32-bit error status (low and high word) and the masks that switch its bits.
constexpr uint32_t kErrorMaskLow = 0x260001;
constexpr uint32_t kErrorMaskHigh = 0x260002;
constexpr uint32_t kErrorStatusLow = 0x260100;
constexpr uint32_t kErrorStatusHigh = 0x260200;

} // namespace DriveObject
