#pragma once

#include "ScopeTypes.h"

#include <QByteArray>
#include <QString>

// Capture files. CSV: the raw samples, one line per sample index, "%.0f," per channel that still
// has a value, CR LF. TXT: UTF-16LE without a byte-order mark, LF line ends, section
// "[oscilloscope]" with the settings and the samples; the only form that loads back. Every file
// is written beside the old one and renamed into place, so a failed write leaves the old file.
namespace ScopeFiles {

enum class Kind
{
    None,
    Csv,
    Txt,
    Bmp
};

// The file an export writes for a chosen path and the kind its extension names (compared
// case-sensitively: "csv", "txt", "bmp"; anything else is None). Dots in folder names are left
// alone.
QString ExportPath(const QString& chosen, Kind& kind);

QByteArray CsvBytes(const ScopeRecord& record);
QByteArray TxtBytes(const ScopeSettings& settings, const ScopeRecord& record);
// Reads what TxtBytes writes (missing keys read as 0 or empty). Samples: for i = 1 to
// sampleCount, per checked channel, key "chN-i" (missing: 0). False only when the bytes cannot
// be UTF-16 text at all (an odd length).
bool ParseTxt(const QByteArray& bytes, ScopeSettings& settings, ScopeRecord& record);

// False with a reason when the file could not be written or read.
bool WriteCsv(const QString& path, const ScopeRecord& record, QString* error = nullptr);
bool WriteTxt(const QString& path, const ScopeSettings& settings, const ScopeRecord& record,
              QString* error = nullptr);
bool ReadTxt(const QString& path, ScopeSettings& settings, ScopeRecord& record,
             QString* error = nullptr);

} // namespace ScopeFiles
