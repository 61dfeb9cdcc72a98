#include "ScopeTypes.h"

#include <algorithm>

void ScopeSlots::Claim(int channel)
{
    if (channel == 1 || channel == 2)
        slot5IsChannel1 = channel == 1;
    else if (channel == 3 || channel == 4)
        slot6IsChannel3 = channel == 3;
}

int ScopeSlots::SlotFor(int channel, int width)
{
    return width < 32 ? SixteenBitSlot(channel) : SharedSlot(channel);
}

int ScopeSlots::SlotToClear(int channel) const
{
    return value(SixteenBitSlot(channel)) != 0 ? SixteenBitSlot(channel) : SharedSlot(channel);
}

int ScopeSlots::ChannelShowing(int slot) const
{
    if (slot == 5)
        return slot5IsChannel1 ? 1 : 2;
    if (slot == 6)
        return slot6IsChannel3 ? 3 : 4;
    return slot;
}

int ScopeSlots::ChannelDecoding(int slot, const std::array<bool, kScopeChannels>& checked)
{
    if (slot == 5)
        return checked[0] ? 1 : 2;
    if (slot == 6)
        return checked[2] ? 3 : 4;
    return slot;
}

int ScopeSlots::DecodeChannel(int slot, const std::array<bool, kScopeChannels>& checked) const
{
    if (slot < 5)
        return slot;
    const int owner = ChannelShowing(slot);
    return checked[size_t(owner - 1)] ? owner : ChannelDecoding(slot, checked);
}

uint32_t ScopeSlots::ChannelDescriptor(int channel) const
{
    const uint32_t own = value(SixteenBitSlot(channel));
    return own != 0 ? own : value(SharedSlot(channel));
}

size_t ScopeRecord::longest() const
{
    size_t most = 0;
    for (const auto& channel : samples)
        most = std::max(most, channel.size());
    return most;
}
