// The first byte picks the language; the rest is a database file, and also a check file.
#include "dictionary/DatabaseCheck.h"
#include "dictionary/SdoDatabase.h"

#include <cstddef>
#include <cstdint>

namespace {
void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t language = data[0] % 4;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    CSdoDatabase db;
    const CDatabaseLoadReport report = db.LoadBytes(bytes, language);

    // A kept record used every field, so at most its last three bytes may be missing.
    const int count = db.GetCount();
    Check(report.recordsRead == count);
    // Records read against the size: a file that is no whole number of records is named.
    Check(report.endMarkAt >= 0 ||
          report.leftoverBytes == bytes.size() % CSdoDatabase::kRecordSize);
    Check(report.clean() || !report.Problems(QStringLiteral("f")).isEmpty());
    Check(qint64(count) * CSdoDatabase::kRecordSize <= bytes.size() + 3);
    CSdoRecord record;
    for (int i = 0; i < count; ++i) {
        Check(db.GetAt(i, record));
        Check(record.index != 0);
        Check(record.key == MakeObjectKey(record.index, record.subindex));
        Check(record.name.size() <= 64 && record.dataType.size() <= 16);
        Check(record.attribute.size() <= 8 && record.help.size() <= 2048);
        Check(record.unitText.size() <= 256);
        // The first record of the key is found, and it is this one or an earlier one.
        CSdoRecord first;
        Check(db.Lookup(record.key, first));
        Check(first.key == record.key);
    }
    Check(!db.GetAt(count, record) && !db.GetAt(-1, record));

    // A check accepts the whole records it was built from; any text read as a check is judged
    // without harm, and never accepts an empty database for a non-empty check.
    const bool whole = bytes.size() % CSdoDatabase::kRecordSize == 0;
    const QString f = QStringLiteral("f"), s = QStringLiteral("s");
    Check(DatabaseCheck::Verify(DatabaseCheck::Build(bytes), bytes, f, s).isEmpty() == whole);
    Check(!DatabaseCheck::Verify(bytes, QByteArray(), f, s).isEmpty() || bytes.contains("bytes=0"));
    return 0;
}
