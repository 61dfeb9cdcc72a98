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

// The recorder (index 0x2300): six channel slots (1 to 4 take 16-bit objects, 5 and 6 32-bit
// ones), its start command and state, its settings and the record itself.
constexpr uint32_t kRecorderSlot1 = 0x230001;  // slots 1 to 6 follow on
constexpr uint32_t kRecorderState = 0x230007;  // write 1 starts; reads 0 when the record is ready
constexpr uint32_t kRecorderPeriod = 0x230008; // units of 62.5 us
constexpr uint32_t kRecorderOffset = 0x230009; // trigger point in the record, signed 16-bit
constexpr uint32_t kRecorderCount = 0x23000A;
constexpr uint32_t kRecorderEdge = 0x23000B;    // 1 rising, 0 falling
constexpr uint32_t kRecorderTrigger = 0x23000C; // descriptor, 0 = manual trigger
constexpr uint32_t kRecorderLevel = 0x23000D;
constexpr uint32_t kRecord = 0x230010; // read by a segmented upload
constexpr uint32_t kRecorderStart = 1;
constexpr int kMaxRecordBytes = 8192;

// The motion objects the drive's control loops follow.
constexpr uint32_t kControlword = 0x604000;
constexpr uint32_t kModeOfOperation = 0x606000;
constexpr uint32_t kTargetVelocity = 0x60FF00;
constexpr uint32_t kTargetPosition = 0x607A00;

} // namespace DriveObject
