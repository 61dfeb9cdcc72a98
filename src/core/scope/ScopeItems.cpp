#include "ScopeItems.h"

#include "base/IniFile.h"
#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"
#include "units/UnitTable.h"

bool MakeScopeItem(const CSdoDatabase& dictionary, uint32_t key, bool forChannel, ScopeItem& out)
{
    CSdoRecord record;
    if (!dictionary.Lookup(key, record))
        return false;
    const int width = DecTextToInt(record.dataType);
    if (width != 8 && width != 16 && width != 32)
        return false;
    if (forChannel && width < 16)
        return false;
    // Trigger items never carry the sign bit: the drive compares the level in its own type.
    const bool isSigned =
        forChannel && record.dataType.startsWith(QLatin1Char('I'), Qt::CaseInsensitive);
    out.descriptor = ScopeDescriptor::Make(key & 0xFFFFFF, width, isSigned);
    out.name = record.name;
    return true;
}

CScopeItemLists::CScopeItemLists(const CSdoDatabase& dictionary, CUnitTable* units)
    : m_dictionary(dictionary), m_units(units)
{
}

int CScopeItemLists::LoadConfig(const QString& iniPath)
{
    CIniDocument file(iniPath);
    int added = 0;
    for (const bool channel : {false, true}) {
        const QString section = channel ? QStringLiteral("channel") : QStringLiteral("trigger");
        for (int n = 1;; ++n) {
            const uint32_t key =
                uint32_t(HexTextToInt(file.Get(section, QString::number(n), QString(), 32)));
            if (key == 0)
                break;
            if (channel ? AddChannelItem(key, 0) : AddTriggerItem(key))
                ++added;
        }
    }
    return added;
}

bool CScopeItemLists::Register(const ScopeItem& item)
{
    if (m_units == nullptr)
        return true;
    CSdoRecord record;
    QString unit;
    if (m_dictionary.Lookup(item.key(), record))
        m_units->GetDefaultUnit(item.key(), record.unitText, unit);
    return true;
}

bool CScopeItemLists::AddChannelItem(uint32_t key, int target)
{
    if (target < 0 || target > kScopeChannels)
        return false;
    ScopeItem item;
    if (!MakeScopeItem(m_dictionary, key, true, item))
        return false;
    Register(item);
    if (target == 0) {
        item.number = uint32_t(m_shared.size() + 1);
        m_shared.push_back(item);
        return true;
    }
    auto& list = m_picked[size_t(target - 1)];
    item.number = uint32_t(list.size() + 1);
    list.insert(list.begin(), item);
    return true;
}

bool CScopeItemLists::AddTriggerItem(uint32_t key)
{
    ScopeItem item;
    if (!MakeScopeItem(m_dictionary, key, false, item))
        return false;
    Register(item);
    item.number = uint32_t(m_trigger.size() + 1);
    m_trigger.insert(m_trigger.begin(), item);
    return true;
}

int CScopeItemLists::ChannelEntryCount(int channel) const
{
    if (channel < 1 || channel > kScopeChannels)
        return 0;
    return int(picked(channel).size() + m_shared.size());
}

const ScopeItem* CScopeItemLists::ChannelEntry(int channel, int index) const
{
    if (channel < 1 || channel > kScopeChannels || index < 0)
        return nullptr;
    const auto& own = picked(channel);
    if (size_t(index) < own.size())
        return &own[size_t(index)];
    const size_t shared = size_t(index) - own.size();
    return shared < m_shared.size() ? &m_shared[shared] : nullptr;
}

const ScopeItem* CScopeItemLists::TriggerEntry(int index) const
{
    if (index < 1 || size_t(index) > m_trigger.size())
        return nullptr;
    return &m_trigger[size_t(index - 1)];
}

int CScopeItemLists::FindChannelEntry(int channel, uint32_t descriptor) const
{
    for (int i = 0, n = ChannelEntryCount(channel); i < n; ++i) {
        if (ScopeDescriptor::SameObject(ChannelEntry(channel, i)->descriptor, descriptor))
            return i;
    }
    return -1;
}

int CScopeItemLists::FindChannelEntryByKey(int channel, uint32_t key) const
{
    for (int i = 0, n = ChannelEntryCount(channel); i < n; ++i) {
        if (ChannelEntry(channel, i)->key() == key)
            return i;
    }
    return -1;
}

int CScopeItemLists::FindTriggerEntry(uint32_t descriptor) const
{
    for (size_t i = 0; i < m_trigger.size(); ++i) {
        if (m_trigger[i].descriptor == descriptor)
            return int(i + 1);
    }
    return -1;
}

int CScopeItemLists::FindTriggerEntryByKey(uint32_t key) const
{
    for (size_t i = 0; i < m_trigger.size(); ++i) {
        if (m_trigger[i].key() == key)
            return int(i + 1);
    }
    return -1;
}
