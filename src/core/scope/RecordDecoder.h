#pragma once

#include "ScopeTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// How one sample of a record is laid out: a field per slot that names an object, in record order
// (slots 1, 2, 5, 3, 4, 6), each going to one channel with that channel's sign.
struct RecordLayout
{
    struct Field
    {
        int slot = 0;
        int bytes = 0;   // 2 or 4
        int channel = 0; // 1 to 4
        bool isSigned = false;
    };
    std::vector<Field> fields;
    int sampleBytes = 0;
};

// checked: the channels' checkboxes; isSigned: whether the item now selected on each channel is
// signed.
RecordLayout MakeRecordLayout(const ScopeSlots& recorder,
                              const std::array<bool, kScopeChannels>& checked,
                              const std::array<bool, kScopeChannels>& isSigned);

// Decodes a record (little-endian fields, no header). A trailing partial sample is not decoded;
// its size is left in leftoverBytes. With no field at all nothing is decoded.
ScopeRecord DecodeRecord(const uint8_t* data, size_t length, const RecordLayout& layout);
