#include "RecordDecoder.h"

RecordLayout MakeRecordLayout(const ScopeSlots& recorder,
                              const std::array<bool, kScopeChannels>& checked,
                              const std::array<bool, kScopeChannels>& isSigned)
{
    RecordLayout layout;
    for (const int slot : kRecordSlotOrder) {
        if (recorder.value(slot) == 0)
            continue;
        RecordLayout::Field field;
        field.slot = slot;
        field.bytes = RecordFieldBytes(slot);
        field.channel = recorder.DecodeChannel(slot, checked);
        field.isSigned = isSigned[size_t(field.channel - 1)];
        layout.fields.push_back(field);
        layout.sampleBytes += field.bytes;
    }
    return layout;
}

ScopeRecord DecodeRecord(const uint8_t* data, size_t length, const RecordLayout& layout)
{
    ScopeRecord record;
    if (layout.sampleBytes <= 0 || (data == nullptr && length > 0))
        return record;
    const size_t step = size_t(layout.sampleBytes);
    const size_t samples = length / step;
    record.leftoverBytes = int(length % step);
    for (const RecordLayout::Field& field : layout.fields)
        record.samples[size_t(field.channel - 1)].reserve(samples);
    for (size_t i = 0; i < samples; ++i) {
        const uint8_t* p = data + i * step;
        for (const RecordLayout::Field& field : layout.fields) {
            uint32_t raw = 0;
            for (int b = field.bytes - 1; b >= 0; --b)
                raw = (raw << 8) | p[b];
            double value = raw;
            if (field.isSigned)
                value = field.bytes == 2 ? double(int16_t(uint16_t(raw))) : double(int32_t(raw));
            record.samples[size_t(field.channel - 1)].push_back(value);
            p += field.bytes;
        }
    }
    return record;
}
