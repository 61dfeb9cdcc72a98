#include "DictionaryFiles.h"
#include "TestSupport.h"

#include "app/Report.h"
#include "dictionary/SdoDatabase.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace DictionaryFiles;
using TestSupport::Pump;
using TestSupport::WaitFor;

namespace {

constexpr int kLoadTimeoutMs = 60000;
// Long enough for a waiting loader to have polled sys.ini a few times.
constexpr int kQuietMs = 300;

class LoaderThread : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir(m_dir.path()).mkpath(QStringLiteral("sys"));
        QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    }

    QString IniPath() const { return m_dir.filePath(QStringLiteral("sys/sys.ini")); }
    QString DbPath() const { return m_dir.filePath(QStringLiteral("data/velmor.dat")); }
    void WriteIni(const QByteArray& text) const { ASSERT_TRUE(WriteFile(IniPath(), text)); }
    void WriteRecords(int count) const
    {
        QByteArray bytes;
        bytes.reserve(count * CSdoDatabase::kRecordSize);
        for (int i = 0; i < count; ++i)
            bytes += BuildRecord(NumberedRecord(i));
        ASSERT_TRUE(WriteFile(DbPath(), bytes));
    }

    QTemporaryDir m_dir;
};

// Destroys the database on another thread; false when that did not end in time (the objects
// are then leaked so that the test can report instead of hanging).
bool DestroyedPromptly(CSdoDatabase* db, CFakeHost* host)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([db, done] {
        delete db;
        *done = true;
    }).detach();
    if (!WaitFor([&] { return done->load(); }, 10000))
        return false;
    delete host;
    return true;
}

} // namespace

TEST_F(LoaderThread, WaitsForTheLanguageBeforeLoading)
{
    WriteRecords(5);
    CFakeHost host(false);
    CSdoDatabase db(&host); // the paths are not set yet

    Pump(kQuietMs);
    EXPECT_FALSE(db.WaitUntilLoaded(0));
    host.SetPaths(IniPath(), DbPath()); // sys.ini does not exist yet
    Pump(kQuietMs);
    WriteIni("[sys]\ncomm=2\nlang=\n"); // an empty value is no language either
    Pump(kQuietMs);
    EXPECT_FALSE(db.WaitUntilLoaded(0));
    EXPECT_EQ(db.GetCount(), 0);

    WriteIni("[SYS]\ncomm=2\nLang=2\n");
    ASSERT_TRUE(db.WaitUntilLoaded(kLoadTimeoutMs));
    EXPECT_EQ(host.ProgramLanguage(), 2);
    ASSERT_EQ(db.GetCount(), 5);
    CSdoRecord r;
    ASSERT_TRUE(db.GetAt(4, r));
    EXPECT_TRUE(IsNumberedRecord(r, 4, false));
}

TEST_F(LoaderThread, ChineseTextsOnlyOnAChineseSystem)
{
    WriteRecords(2);
    WriteIni("[sys]\nlang=1\n");
    for (const bool chineseSystem : {false, true}) {
        CFakeHost host(chineseSystem);
        host.SetPaths(IniPath(), DbPath());
        CSdoDatabase db(&host);
        ASSERT_TRUE(db.WaitUntilLoaded(kLoadTimeoutMs));
        // A non-Chinese system cannot run in Chinese: the language becomes 2.
        EXPECT_EQ(host.ProgramLanguage(), chineseSystem ? 1 : 2);
        CSdoRecord r;
        ASSERT_TRUE(db.GetAt(1, r));
        EXPECT_TRUE(IsNumberedRecord(r, 1, chineseSystem)) << r.name.toStdString();
    }
}

TEST_F(LoaderThread, LanguageThreeHoldsTheLoadUntilTheLanguageChanges)
{
    WriteRecords(3);
    WriteIni("[sys]\nlang=3\n");
    CFakeHost host(true);
    host.SetPaths(IniPath(), DbPath());
    CSdoDatabase db(&host);

    ASSERT_TRUE(WaitFor([&] { return host.ProgramLanguage() == 3; }));
    Pump(kQuietMs);
    EXPECT_FALSE(db.WaitUntilLoaded(0));
    EXPECT_EQ(db.GetCount(), 0);

    host.SetProgramLanguage(1);
    ASSERT_TRUE(db.WaitUntilLoaded(kLoadTimeoutMs));
    CSdoRecord r;
    ASSERT_TRUE(db.GetAt(2, r));
    EXPECT_TRUE(IsNumberedRecord(r, 2, true));
}

TEST_F(LoaderThread, MissingDatabaseIsReportedFromTheLoader)
{
    WriteIni("[sys]\nlang=2\n");
    std::mutex mutex;
    QStringList messages;
    const MessageSink previous = SetMessageSink([&](const QString& text, MessageKind) {
        std::lock_guard<std::mutex> lock(mutex);
        messages.append(text);
    });
    {
        CFakeHost host(false);
        host.SetPaths(IniPath(), DbPath());
        CSdoDatabase db(&host);
        EXPECT_TRUE(db.WaitUntilLoaded(kLoadTimeoutMs));
        EXPECT_EQ(db.GetCount(), 0);
    }
    SetMessageSink(previous);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Couldn't load DB file!! \n")});
}

TEST_F(LoaderThread, DestroyingTheDatabaseEndsAWaitingLoader)
{
    WriteRecords(1);
    {
        // Waiting for sys.ini to name a language.
        auto* host = new CFakeHost(false);
        host->SetPaths(IniPath(), DbPath());
        auto* db = new CSdoDatabase(host);
        Pump(50);
        EXPECT_TRUE(DestroyedPromptly(db, host));
    }
    {
        // Waiting for the language to leave 3.
        WriteIni("[sys]\nlang=3\n");
        auto* host = new CFakeHost(true);
        host->SetPaths(IniPath(), DbPath());
        auto* db = new CSdoDatabase(host);
        ASSERT_TRUE(WaitFor([&] { return host->ProgramLanguage() == 3; }));
        EXPECT_TRUE(DestroyedPromptly(db, host));
    }
}

// Another thread reads the dictionary while the loader appends a large file: every record it
// sees must be whole, counts only grow, and a counted record is found by its key.
TEST_F(LoaderThread, ReadersSeeWholeRecordsWhileTheLoaderAppends)
{
    constexpr int kRecords = 20000;
    WriteRecords(kRecords);
    CFakeHost host(false);
    host.SetPaths(IniPath(), DbPath());
    CSdoDatabase db(&host); // waits: sys.ini has no language yet

    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    std::atomic<int> partialCounts{0};
    std::mutex failureMutex;
    QStringList failures;
    auto fail = [&](const QString& what) {
        std::lock_guard<std::mutex> lock(failureMutex);
        if (failures.size() < 10)
            failures.append(what);
    };

    // Expected records made beforehand keep the reader's loop tight.
    std::vector<CSdoRecord> expected;
    expected.reserve(kRecords);
    for (int i = 0; i < kRecords; ++i)
        expected.push_back(ExpectedRecord(i, false));

    std::thread reader([&] {
        int last = 0;
        unsigned seed = 1;
        CSdoRecord r;
        while (!stop) {
            const int count = db.GetCount();
            if (count < last || count > kRecords)
                fail(QStringLiteral("count %1 after %2").arg(count).arg(last));
            last = count;
            if (count > 0 && count < kRecords)
                ++partialCounts;
            if (count > 0) {
                const CSdoRecord& newest = expected[size_t(count - 1)];
                if (!db.GetAt(count - 1, r) || !SameRecord(r, newest))
                    fail(QStringLiteral("GetAt(%1)").arg(count - 1));
                if (!db.Lookup(newest.key, r) || !SameRecord(r, newest))
                    fail(QStringLiteral("Lookup of record %1").arg(count - 1));
                seed = seed * 1103515245u + 12345u;
                const int any = int((seed >> 8) % unsigned(count));
                if (!db.GetAt(any, r) || !SameRecord(r, expected[size_t(any)]))
                    fail(QStringLiteral("GetAt(%1)").arg(any));
            }
            if (db.Lookup(0x7FFF00, r))
                fail(QStringLiteral("found a key that is not there"));
            ++reads;
        }
    });

    ASSERT_TRUE(WaitFor([&] { return reads > 0; }));
    WriteIni("[sys]\nlang=2\n");
    const bool loaded = db.WaitUntilLoaded(kLoadTimeoutMs);
    stop = true;
    reader.join();

    ASSERT_TRUE(loaded);
    EXPECT_EQ(db.GetCount(), kRecords);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QStringLiteral("; ")).toStdString();
    // The reader ran while records were being appended.
    EXPECT_GT(partialCounts.load(), 0);
}
