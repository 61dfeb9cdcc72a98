// The dictionary database on crafted and damaged files, and its loading thread.

#include "DatabaseRecord.h"
#include "MessageRecorder.h"
#include "TestSupport.h"

#include "dictionary/DatabaseCheck.h"
#include "dictionary/SdoDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

using namespace TestSupport;

namespace {

constexpr int kRecord = CSdoDatabase::kRecordSize;
constexpr int kLoadTimeoutMs = 60000;

// Record number n has the key 0x200000 + n and carries n in every text.
DatabaseRecordFields Numbered(int n)
{
    DatabaseRecordFields f;
    const QByteArray text = QByteArray::number(n);
    f.index = HexField(0x2000 + n / 256, 4);
    f.subindex = HexField(n % 256, 2);
    f.nameChinese = QStringLiteral("对象 ").toUtf8() + text;
    f.nameEnglish = "Object " + text;
    f.dataType = n % 2 ? "U16" : "I32";
    f.attribute = "RWL";
    f.helpChinese = QStringLiteral("帮助 ").toUtf8() + text;
    f.helpEnglish = "Help " + text;
    f.unitText = "unit " + text;
    f.modbus = HexField(n % 0x10000, 4);
    return f;
}

QByteArray Records(int count)
{
    QByteArray bytes;
    bytes.reserve(count * kRecord);
    for (int n = 0; n < count; ++n)
        bytes += BuildDatabaseRecord(Numbered(n));
    return bytes;
}

// Every field of a record in one text.
QString Describe(const CSdoRecord& r)
{
    return QStringList({QString::number(r.key, 16), QString::number(r.index, 16),
                        QString::number(r.subindex), r.name, r.dataType, r.attribute, r.help,
                        r.unitText, QString::number(r.modbusAddress)})
        .join(QLatin1Char('|'));
}

// What the loader must make of record n: only the texts of the language are kept.
QString Expected(int n, bool chinese)
{
    const QString t = QString::number(n);
    return QStringList({QString::number(0x200000 + n, 16), QString::number(0x2000 + n / 256, 16),
                        QString::number(n % 256), (chinese ? "对象 " : "Object ") + t,
                        n % 2 ? "U16" : "I32", "RWL", (chinese ? "帮助 " : "Help ") + t,
                        "unit " + t, QString::number(n % 0x10000)})
        .join(QLatin1Char('|'));
}

class Dictionary : public ::testing::Test
{
protected:
    QString Path() const { return m_dir.filePath(QStringLiteral("velmor.dat")); }
    void Write(const QByteArray& bytes) const
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    bool Load(CSdoDatabase& db, const QByteArray& bytes, uint8_t language = 2) const
    {
        Write(bytes);
        return db.LoadFile(Path(), language);
    }

    QTemporaryDir m_dir;
};
} // namespace

TEST_F(Dictionary, KeepsEveryFieldWithTheTextsOfTheLanguage)
{
    // Language 1 keeps the Chinese texts, every other value the English ones.
    for (const uint8_t language : {1, 0, 2, 3, 7}) {
        SCOPED_TRACE(int(language));
        CSdoDatabase db;
        ASSERT_TRUE(Load(db, Records(3), language));
        ASSERT_EQ(db.GetCount(), 3);
        CSdoRecord r;
        for (int n = 0; n < 3; ++n) {
            ASSERT_TRUE(db.GetAt(n, r));
            EXPECT_EQ(Describe(r), Expected(n, language == 1));
            ASSERT_TRUE(db.Lookup(0x200000 + uint32_t(n), r));
            EXPECT_EQ(Describe(r), Expected(n, language == 1));
        }
    }
    // Misses leave the output alone.
    CSdoDatabase db;
    ASSERT_TRUE(Load(db, Records(2)));
    CSdoRecord r;
    r.name = QStringLiteral("untouched");
    EXPECT_FALSE(db.Lookup(0x604100, r));
    EXPECT_FALSE(db.GetAt(-1, r));
    EXPECT_FALSE(db.GetAt(db.GetCount(), r));
    EXPECT_EQ(r.name, QStringLiteral("untouched"));
}

// A damaged file keeps what can be read and is named: records read against the file's size
// (truncated or misaligned), an end mark with records behind it, keys defined twice. A file
// that ends inside a record keeps that record only when every field got a byte.
TEST_F(Dictionary, DamagedFilesAreReadAsFarAsTheyGoAndNamed)
{
    DatabaseRecordFields zero = Numbered(9);
    zero.index = "0000";
    DatabaseRecordFields again = Numbered(1);
    again.nameEnglish = "again";
    const QByteArray three = Records(3);
    const QByteArray one = Records(1);
    const struct
    {
        const char* what;
        QByteArray bytes;
        int count;
        qint64 leftover;
        int endMarkAt, behind;
        QVector<int> misaligned;
        QVector<uint32_t> duplicates;
        const char* message; // a part of the one message the load gives; empty: none
    } cases[] = {
        // clang-format off
        {"empty", QByteArray(), 0, 0, -1, 0, {}, {}, ""},
        {"cut in the index", three.left(2 * kRecord + 1), 2, 1, -1, 0, {}, {}, "truncated"},
        {"cut before the Modbus field", three.left(3 * kRecord - 4), 2, kRecord - 4, -1, 0, {}, {},
         "2 records were read and the last 4510 bytes ignored"},
        {"cut in the Modbus field", three.left(3 * kRecord - 1), 3, kRecord - 1, -1, 0, {}, {},
         "truncated or misaligned"},
        {"a byte too many", one + "X" + Records(2).mid(kRecord), 2, 1, -1, 0, {1}, {},
         "truncated or misaligned"},
        // The next index reads "000" and the subindex's first digit: an end mark.
        {"a byte too few", one.left(kRecord - 1) + Records(3).mid(kRecord), 1, kRecord - 1, -1, 0,
         {}, {}, "truncated or misaligned"},
        {"end mark", Records(2) + BuildDatabaseRecord(zero) + Records(3), 2, 0, 2, 3, {}, {},
         "record 3 has index 0"},
        {"end mark last", Records(2) + BuildDatabaseRecord(zero), 2, 0, -1, 0, {}, {}, ""},
        {"duplicate key", Records(2) + BuildDatabaseRecord(again), 3, 0, -1, 0, {}, {0x200001},
         "objects 200001 are defined more than once"},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::MessageRecorder recorder;
        CSdoDatabase db;
        ASSERT_TRUE(Load(db, c.bytes));
        const QStringList messages = recorder.Take();
        const CDatabaseLoadReport report = db.LoadReport();
        EXPECT_EQ(std::make_tuple(db.GetCount(), report.recordsRead, qint64(report.fileSize),
                                  qint64(report.leftoverBytes), report.endMarkAt,
                                  report.recordsBehindMark),
                  std::make_tuple(c.count, c.count, qint64(c.bytes.size()), c.leftover, c.endMarkAt,
                                  c.behind));
        EXPECT_EQ(report.misaligned, c.misaligned);
        EXPECT_EQ(report.duplicateKeys, c.duplicates);
        if (QByteArray(c.message).isEmpty()) {
            EXPECT_TRUE(report.clean());
            EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
        } else {
            EXPECT_FALSE(report.clean());
            ASSERT_FALSE(messages.empty());
            EXPECT_TRUE(messages.front().startsWith(QStringLiteral("velmor.dat")));
            EXPECT_TRUE(messages.front().contains(QLatin1String(c.message)))
                << messages.front().toStdString();
        }
        // Every record of a key stays reachable by position; a lookup finds the first.
        for (const uint32_t key : c.duplicates) {
            CSdoRecord r;
            ASSERT_TRUE(db.Lookup(key, r));
            EXPECT_EQ(r.name, QStringLiteral("Object 1"));
            ASSERT_TRUE(db.GetAt(c.count - 1, r));
            EXPECT_EQ(r.name, QStringLiteral("again"));
        }
    }
}

// With the check that mkdict writes beside it, a file is loaded only when it is the one that was
// built: a cut at a record boundary, a changed byte or a damaged check give no record and a
// message naming the file. Without a check a hand-made file loads as it is.
TEST_F(Dictionary, CheckBesideTheFileRefusesAnyOtherFile)
{
    const QByteArray three = Records(3);
    QByteArray changed = three;
    changed[kRecord + 100] = 'X';
    const QByteArray check = DatabaseCheck::Build(three);
    const struct
    {
        const char* what;
        QByteArray bytes;
        QByteArray check; // null: no check file
        int count;
        const char* message; // "": loads cleanly
    } cases[] = {
        // clang-format off
        {"as built", three, check, 3, ""},
        {"cut at a record boundary", three.left(2 * kRecord), check, 0,
         "velmor.dat is 9028 bytes, but velmor.dat.sum says 13542 bytes (3 records)"},
        {"cut inside a record", three.left(kRecord + 7), check, 0, "truncated or was replaced"},
        {"changed in place", changed, check, 0, "velmor.dat does not match its check velmor.dat.sum"},
        {"check damaged", three, QByteArray(check).replace("records=3", "records=2"), 0,
         "velmor.dat.sum is not a check of a dictionary"},
        {"check empty", three, QByteArray(""), 0, "is not a check"},
        {"check far too long", three, check + QByteArray(DatabaseCheck::kMaxCheckSize, '#'), 0,
         "is not a check"},
        {"no check, cut at a record boundary", three.left(2 * kRecord), QByteArray(), 2, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString checkPath = DatabaseCheck::PathFor(Path());
        QFile::remove(checkPath);
        if (!c.check.isNull()) {
            QFile file(checkPath);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(c.check), c.check.size());
        }
        TestSupport::MessageRecorder recorder;
        CSdoDatabase db;
        ASSERT_TRUE(Load(db, c.bytes));
        const QStringList messages = recorder.Take();
        EXPECT_EQ(db.GetCount(), c.count);
        EXPECT_EQ(db.LoadReport().clean(), !c.message[0]);
        EXPECT_EQ(db.LoadReport().checked, !c.check.isNull() && !c.message[0]);
        if (!c.message[0]) {
            EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
        } else {
            ASSERT_EQ(messages.size(), 1);
            EXPECT_TRUE(messages.front().contains(QLatin1String(c.message)))
                << messages.front().toStdString();
        }
    }
}

// Hex fields skip separators and end at the first NUL; a text without NUL takes its whole field;
// invalid UTF-8 becomes replacement characters without losing the text around it.
TEST_F(Dictionary, FieldsAreReadAsStored)
{
    DatabaseRecordFields spaced, cut;
    spaced.index = "1 2 ";
    spaced.subindex = " a";
    cut.index = QByteArray("2\0FF", 4);
    cut.subindex = QByteArray("\0001", 2);
    cut.modbus = QByteArray("7\00077", 4);
    DatabaseRecordFields full;
    full.nameEnglish = QByteArray(64, 'N') + "spill";
    full.attribute = "RWLRWLRW";
    full.unitText = QByteArray(256, 'u');
    DatabaseRecordFields invalid;
    invalid.index = "2000";
    invalid.nameEnglish = "A\xFF\xFE"
                          "B";
    invalid.helpEnglish = QByteArray(2048, '\xC3'); // lead bytes without continuation
    // A three-byte character cut by the end of the field.
    invalid.unitText = QByteArray(254, 'x') + QStringLiteral("中").toUtf8();
    CSdoDatabase db;
    ASSERT_TRUE(Load(db, BuildDatabaseRecord(spaced) + BuildDatabaseRecord(cut) +
                             BuildDatabaseRecord(full) + BuildDatabaseRecord(invalid)));
    ASSERT_EQ(db.GetCount(), 4);
    CSdoRecord r;
    ASSERT_TRUE(db.GetAt(0, r));
    EXPECT_EQ(std::make_tuple(r.key, r.index, int(r.subindex), r.modbusAddress),
              std::make_tuple(0x120Au, 0x12u, 0x0A, 0u));
    ASSERT_TRUE(db.GetAt(1, r));
    EXPECT_EQ(std::make_tuple(r.key, r.index, int(r.subindex), r.modbusAddress),
              std::make_tuple(0x200u, 0x2u, 0, 7u));
    ASSERT_TRUE(db.Lookup(0x100000, r));
    EXPECT_EQ(r.name, QString(64, QLatin1Char('N')));
    EXPECT_EQ(r.attribute, QStringLiteral("RWLRWLRW"));
    EXPECT_EQ(r.unitText, QString(256, QLatin1Char('u')));

    ASSERT_TRUE(db.Lookup(0x200000, r));
    EXPECT_TRUE(r.name.startsWith(QLatin1Char('A')) && r.name.endsWith(QLatin1Char('B')));
    EXPECT_TRUE(r.name.contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(r.help.isEmpty());
    EXPECT_TRUE(r.unitText.startsWith(QString(254, QLatin1Char('x'))));
    EXPECT_FALSE(r.unitText.contains(QStringLiteral("中")));
}

TEST_F(Dictionary, MissingFileIsReportedAndLeavesItEmpty)
{
    TestSupport::MessageRecorder messages;
    {
        CSdoDatabase db;
        EXPECT_TRUE(db.WaitUntilLoaded(0)); // nothing started, nothing to wait for
        db.StartLoading(Path(), 2);
        EXPECT_TRUE(db.WaitUntilLoaded(kLoadTimeoutMs));
        EXPECT_FALSE(db.LoadReport().opened);
        EXPECT_EQ(db.GetCount(), 0);
    }
    EXPECT_EQ(messages.Take(), QStringList{QStringLiteral("Couldn't load DB file!! \n")});
}

// Another thread reads the dictionary while the loader appends a large file: every record it
// sees must be whole, counts only grow, and a counted record is found by its key.
TEST_F(Dictionary, ReadersSeeWholeRecordsWhileTheLoaderAppends)
{
    constexpr int kRecords = 20000;
    Write(Records(kRecords));
    std::vector<QString> expected; // made beforehand to keep the reader's loop tight
    for (int n = 0; n < kRecords; ++n)
        expected.push_back(Expected(n, false));
    CSdoDatabase db;
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, partialCounts{0}, failures{0};
    std::string firstFailure; // written by the reader only, read after the join
    std::thread reader([&] {
        int last = 0;
        unsigned seed = 1;
        CSdoRecord r;
        const auto check = [&](bool ok, const std::string& what) {
            if (!ok && failures++ == 0)
                firstFailure = what;
        };
        while (!stop) {
            const int count = db.GetCount();
            check(count >= last && count <= kRecords, "count " + std::to_string(count));
            last = count;
            partialCounts += count > 0 && count < kRecords;
            if (count > 0) {
                const QString& newest = expected[size_t(count - 1)];
                check(db.GetAt(count - 1, r) && Describe(r) == newest, "GetAt newest");
                check(db.Lookup(0x200000 + uint32_t(count - 1), r) && Describe(r) == newest,
                      "Lookup newest");
                seed = seed * 1103515245u + 12345u;
                const int any = int((seed >> 8) % unsigned(count));
                check(db.GetAt(any, r) && Describe(r) == expected[size_t(any)], "GetAt any");
            }
            ++reads;
        }
    });
    // The reader runs before the loader starts.
    ASSERT_TRUE(WaitFor([&] { return reads > 0; }));
    db.StartLoading(Path(), 2);
    const bool loaded = db.WaitUntilLoaded(kLoadTimeoutMs);
    stop = true;
    reader.join();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(db.GetCount(), kRecords);
    EXPECT_TRUE(db.LoadReport().clean());
    EXPECT_EQ(failures.load(), 0) << firstFailure;
    EXPECT_GT(partialCounts.load(), 0) << "the reader never ran while records were appended";
}
