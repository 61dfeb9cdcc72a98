// Input: any bytes, read as an object list (TRANSFER_READER 1), a configuration (2) or a device
// configuration file (3). Each reader takes them without harm, and what a writer makes of the
// result reads back the same.
#include "dictionary/SdoDatabase.h"
#include "transfer/DcfFile.h"
#include "transfer/TransferFormats.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void ObjectList(const QByteArray& bytes)
{
    const QVector<uint32_t> descriptors = ParseObjectList(bytes);
    // At most one object per piece of a line.
    Check(descriptors.size() <= bytes.size() / 1 + 1);
    Check(ParseObjectList(FormatObjectList(descriptors)) == descriptors);
}

void Configuration(const QByteArray& bytes)
{
    static const CSdoDatabase empty;
    const QVector<CConfigEntry> entries = ParseConfiguration(bytes);
    for (const CConfigEntry& entry : entries) {
        Check(!entry.descriptorText.isEmpty());
        Check(!entry.descriptorText.contains(QLatin1Char(',')));
        Check(!entry.value.contains(QLatin1Char(',')));
        Check(entry.descriptorText.indexOf(QLatin1Char('i'), 1) < 0);
    }
    // The import log names every row; nothing of a row is lost.
    const QVector<CTransferRow> rows = ImportRows(entries, empty);
    Check(FormatImportLog(rows).count("\r\n") == rows.size());
}

void DeviceConfiguration(const QByteArray& bytes)
{
    CDcfDocument document;
    QString error;
    if (!ParseDcf(bytes, document, error)) {
        Check(!error.isEmpty());
        return;
    }
    CDcfDocument again;
    Check(ParseDcf(FormatDcf(document), again, error));
    Check(again.vendor == document.vendor && again.product == document.product);
    Check(again.objects.size() == document.objects.size());
    for (const CDcfObject& object : document.objects) {
        bool found = false;
        for (const CDcfObject& other : again.objects)
            found = found || (other.key == object.key && other.value == object.value &&
                              other.dataType == object.dataType);
        Check(found);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
#if TRANSFER_READER == 1
    ObjectList(bytes);
#elif TRANSFER_READER == 2
    Configuration(bytes);
#else
    DeviceConfiguration(bytes);
#endif
    return 0;
}
