#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

// The oscilloscope's data: object descriptors, selectable items, the recorder's channel slots,
// the settings a capture carries and the decoded record. Plain values, no link and no windows.

constexpr int kScopeChannels = 4;
constexpr int kScopeSlots = 6;

// Object descriptor: index in bits 31 to 16, subindex in bits 15 to 8, width in bits 7 to 0.
// Inside the program bit 0 of the width marks a signed data type; the drive never sees it.
namespace ScopeDescriptor {
constexpr uint32_t Make(uint32_t key, int width, bool isSigned)
{
    return (key << 8) | (uint32_t(width) & 0xFE) | (isSigned ? 1u : 0u);
}
constexpr uint32_t KeyOf(uint32_t descriptor)
{
    return descriptor >> 8;
}
constexpr int WidthOf(uint32_t descriptor)
{
    return int(descriptor & 0xFE);
}
constexpr bool IsSigned(uint32_t descriptor)
{
    return (descriptor & 1u) != 0;
}
// What is written to the drive: the sign bit cleared.
constexpr uint32_t Wire(uint32_t descriptor)
{
    return descriptor & ~1u;
}
// A descriptor the drive reported against a stored item: the sign bit does not count.
constexpr bool SameObject(uint32_t a, uint32_t b)
{
    return Wire(a) == Wire(b);
}
} // namespace ScopeDescriptor

// One object the operator may sample or trigger on.
struct ScopeItem
{
    uint32_t number = 0;     // position counter inside its list
    uint32_t descriptor = 0; // channel items carry the sign bit; trigger items never do
    QString name;            // the dictionary's name in the current language
    uint32_t key() const { return ScopeDescriptor::KeyOf(descriptor); }
};

// The recorder's six channel slots as the drive reported them, and which channel each shared
// 32-bit slot belongs to. Channel n (1 to 4) samples a 16-bit object in slot n and a 32-bit one
// in slot 5 (channels 1, 2) or slot 6 (channels 3, 4).
struct ScopeSlots
{
    std::array<uint32_t, kScopeSlots> slotValue{}; // index 0 is slot 1; 0 = no object
    bool slot5IsChannel1 = true;
    bool slot6IsChannel3 = true;

    uint32_t value(int slot) const { return slotValue[size_t(slot - 1)]; }
    void setValue(int slot, uint32_t descriptor) { slotValue[size_t(slot - 1)] = descriptor; }
    // A channel's checkbox was clicked: 1 and 3 claim their shared slot, 2 and 4 give it away.
    void Claim(int channel);
    // The slot a channel's object goes to: its 16-bit slot below 32 bits, else the shared one.
    static int SlotFor(int channel, int width);
    static int SixteenBitSlot(int channel) { return channel; }
    static int SharedSlot(int channel) { return channel <= 2 ? 5 : 6; }
    // The slot to clear when a channel is switched off: its 16-bit slot while that names an
    // object, else its shared one.
    int SlotToClear(int channel) const;
    // The channel a slot's value read from the drive is shown on (owner flags decide 5 and 6).
    int ChannelShowing(int slot) const;
    // The channel a slot's samples go to when a record is decoded: slot 5 to channel 1 when its
    // checkbox is set, else channel 2 (6 likewise to 3 or 4).
    static int ChannelDecoding(int slot, const std::array<bool, kScopeChannels>& checked);
    // The channel a record's slot goes to: a shared slot to the channel that owns it while that
    // channel's checkbox is set, else by the checkboxes as above. So a 32-bit object moved to
    // channel 2 is decoded there even while channel 1 still shows its 16-bit slot.
    int DecodeChannel(int slot, const std::array<bool, kScopeChannels>& checked) const;
    // What a capture file names as channel n's object: its 16-bit slot, or the shared one.
    uint32_t ChannelDescriptor(int channel) const;
};

// The recorder's slots in record order, and their field widths in bytes.
constexpr std::array<int, kScopeSlots> kRecordSlotOrder = {1, 2, 5, 3, 4, 6};
constexpr int RecordFieldBytes(int slot)
{
    return slot >= 5 ? 4 : 2;
}

// Per channel display settings.
struct ScopeChannelSettings
{
    bool enabled = false;
    uint32_t descriptor = 0; // the channel's object, with the sign bit
    double scale = 0;        // engineering units per vertical division
    double offset = 0;
    double unitCoefficient = 1;
    int unitIndex = 0; // entry of the channel's unit selector
    bool autoScale = true;
};

// Recorder and display settings as a capture file holds them.
struct ScopeSettings
{
    uint32_t samplePeriod = 0; // units of 62.5 us
    int32_t pointerOffset = 0;
    uint32_t sampleCount = 0;
    int triggerItem = 0; // trigger selector entry: 0 manual trigger, -1 none
    uint32_t triggerKey = 0;
    QString triggerLevelText;
    int triggerUnitIndex = 0;
    bool continuous = false;
    uint8_t triggerEdge = 1; // the drive's: 1 rising, 0 falling
    uint32_t triggerDescriptor = 0;
    int32_t triggerLevel = 0; // raw
    std::array<ScopeChannelSettings, kScopeChannels> channels{};
};

// A decoded record: per channel the raw samples in capture order (empty for a channel that
// shows nothing).
struct ScopeRecord
{
    std::array<std::vector<double>, kScopeChannels> samples{};
    int leftoverBytes = 0; // bytes after the last whole sample, not decoded
    void clear()
    {
        for (auto& channel : samples)
            channel.clear();
        leftoverBytes = 0;
    }
    size_t longest() const;
};
