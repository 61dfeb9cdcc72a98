// Figures for the dictionary: how fast velmor.dat loads (bytes per second) and what one lookup
// costs with 1,000, 10,000 and 100,000 records (it must not grow with the size).
#include "DatabaseRecord.h"
#include "dictionary/SdoDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

using TestSupport::HexField;

uint32_t KeyOf(int number)
{
    return MakeObjectKey(0x2000 + uint32_t(number) / 256, uint32_t(number) % 256);
}

// A record with texts of a typical length: short names, a few lines of help.
QByteArray Record(int number)
{
    const QByteArray n = QByteArray::number(number);
    TestSupport::DatabaseRecordFields fields;
    fields.index = HexField(0x2000 + number / 256, 4);
    fields.subindex = HexField(number % 256, 2);
    fields.nameChinese = QStringLiteral("速度环比例增益 ").toUtf8() + n;
    fields.nameEnglish = "Velocity loop gain " + n;
    fields.dataType = "UNSIGNED16";
    fields.attribute = "RWL";
    fields.helpChinese = QStringLiteral("速度环比例增益，数值越大响应越快。").toUtf8().repeated(6);
    fields.helpEnglish = "Proportional gain of the velocity loop; higher is stiffer. " + n;
    fields.unitText = "[rpm rpm]N*60/4096";
    fields.modbus = HexField(number % 0x10000, 4);
    return TestSupport::BuildDatabaseRecord(fields);
}

QByteArray Records(int first, int count)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(count) * CSdoDatabase::kRecordSize);
    for (int i = first; i < first + count; ++i)
        bytes += Record(i);
    return bytes;
}

// A 10,000-record database file, written once.
const QString& DatabaseFile()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("velmor.dat"));
        QFile file(p);
        if (file.open(QIODevice::WriteOnly))
            file.write(Records(0, 10000));
        return p;
    }();
    return path;
}

void LoadFile(benchmark::State& state)
{
    const QString& path = DatabaseFile();
    const auto language = static_cast<uint8_t>(state.range(0));
    const qint64 size = QFile(path).size();
    int count = 0;
    for (auto _ : state) {
        auto db = std::make_unique<CSdoDatabase>();
        db->LoadFile(path, language);
        count = db->GetCount();
        state.PauseTiming();
        db.reset();
        state.ResumeTiming();
    }
    if (count != 10000)
        state.SkipWithError("the file did not load");
    state.SetBytesProcessed(state.iterations() * size);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(LoadFile)->ArgName("language")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Dictionaries of several sizes, filled in chunks so that the file bytes never all sit in memory.
const CSdoDatabase& Dictionary(int records)
{
    static std::map<int, std::unique_ptr<CSdoDatabase>> made;
    auto& db = made[records];
    if (!db) {
        db = std::make_unique<CSdoDatabase>();
        for (int first = 0; first < records; first += 10000)
            db->LoadBytes(Records(first, std::min(10000, records - first)), 2);
    }
    return *db;
}

void LookupEveryKey(benchmark::State& state)
{
    const int records = int(state.range(0));
    const CSdoDatabase& db = Dictionary(records);
    if (db.GetCount() != records) {
        state.SkipWithError("the dictionary did not fill");
        return;
    }
    CSdoRecord out;
    for (auto _ : state) {
        for (int i = 0; i < records; ++i) {
            const bool found = db.Lookup(KeyOf(i), out);
            benchmark::DoNotOptimize(found);
        }
    }
    state.SetItemsProcessed(state.iterations() * records);
    state.counters["per_lookup"] =
        benchmark::Counter(double(records), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}
BENCHMARK(LookupEveryKey)
    ->ArgName("records")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// A miss costs the same as a hit: no walk through the records.
void LookupMissingKey(benchmark::State& state)
{
    const CSdoDatabase& db = Dictionary(int(state.range(0)));
    CSdoRecord out;
    for (auto _ : state) {
        const bool found = db.Lookup(0xFFFF00, out);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(LookupMissingKey)->ArgName("records")->Arg(1000)->Arg(100000);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
