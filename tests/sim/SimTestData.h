#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// A small dictionary for the virtual drive's tests: velmor.dat and velmor-defaults.tsv written
// into a directory, with numbers of every width, strings of awkward lengths, the command objects
// and the recorder.
namespace SimTestData {

// Key of an object that only the dictionary file names (no default line).
constexpr uint32_t kDictionaryOnly = 0x200300;

bool WriteDataDir(const QString& dir);

// One fixed-size dictionary record.
QByteArray DictionaryRecord(uint32_t key, const QByteArray& type, const QByteArray& attribute);

using Sdo = std::array<uint8_t, 8>;
Sdo Request(uint8_t command, uint32_t key, uint32_t value = 0);

} // namespace SimTestData
