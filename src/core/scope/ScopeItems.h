#pragma once

#include "ScopeTypes.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class CSdoDatabase;
class CUnitTable;

// Makes the item of an object from the dictionary: width 8, 16 or 32 (channel items at least 16)
// and the sign from a data type that starts with "I". False when the object cannot be used.
bool MakeScopeItem(const CSdoDatabase& dictionary, uint32_t key, bool forChannel, ScopeItem& out);

// The objects the oscilloscope offers: shared channel items (file order, behind each channel's
// own), the items picked for one channel (newest first) and the trigger items (newest first,
// behind the fixed entry 0 "manual trigger"). Built once from Oscilloscope.ini and grown by picks
// and by objects the drive reports.
class CScopeItemLists
{
public:
    // units, when given, gets each added object's unit text registered.
    explicit CScopeItemLists(const CSdoDatabase& dictionary, CUnitTable* units = nullptr);
    virtual ~CScopeItemLists() = default;

    // Reads section "trigger" then "channel" of the file, keys "1", "2", ... up to the first that
    // gives 0; objects that cannot be used are skipped. Returns the number of items added.
    int LoadConfig(const QString& iniPath);

    // target 0: shared list; 1 to 4: that channel's own items (added at the front).
    bool AddChannelItem(uint32_t key, int target);
    bool AddTriggerItem(uint32_t key); // at entry 1

    const std::vector<ScopeItem>& shared() const { return m_shared; }
    const std::vector<ScopeItem>& picked(int channel) const
    {
        return m_picked[size_t(channel - 1)];
    }
    const std::vector<ScopeItem>& trigger() const { return m_trigger; } // entry k is [k - 1]

    // Channel selector entries: the channel's own items, then the shared ones.
    int ChannelEntryCount(int channel) const;
    const ScopeItem* ChannelEntry(int channel, int index) const;
    // Entry 0 is "manual trigger" (null).
    const ScopeItem* TriggerEntry(int index) const;

    // Selector indexes, -1 when missing. Channel lists compare descriptors without the sign bit.
    int FindChannelEntry(int channel, uint32_t descriptor) const;
    int FindChannelEntryByKey(int channel, uint32_t key) const;
    int FindTriggerEntry(uint32_t descriptor) const;
    int FindTriggerEntryByKey(uint32_t key) const;

private:
    bool Register(const ScopeItem& item);

    const CSdoDatabase& m_dictionary;
    CUnitTable* m_units;
    std::vector<ScopeItem> m_shared;
    std::array<std::vector<ScopeItem>, kScopeChannels> m_picked;
    std::vector<ScopeItem> m_trigger;
};
