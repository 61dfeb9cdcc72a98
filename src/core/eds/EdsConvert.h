#pragma once

#include <QString>

// The result of converting a device description into the program's dictionary files.
struct CEdsConversion
{
    bool ok = false;
    int line = 0;    // the first error's line in the file, 0 when the fault is not the file's
    QString reason;  // the first error, or why the files could not be written
    int errors = 0;  // how many errors the file has
    int notes = 0;   // objects left out because the program cannot carry their type
    int objects = 0; // records written
    QString product; // the description's product name
};

namespace Eds {

// Converts the EDS or DCF file at edsPath into folder as the dictionary builder does: the
// database (velmor.dat) with its check (velmor.dat.sum), the virtual drive's defaults
// (velmor-defaults.tsv) and a copy of the description (device.eds). A file with any error writes
// nothing; otherwise all four are prepared before any replaces what stands there, so that a
// failed write leaves the old dictionary whole. A link in the folder is replaced by the file,
// never written through.
CEdsConversion ConvertInto(const QString& edsPath, const QString& folder);

} // namespace Eds
