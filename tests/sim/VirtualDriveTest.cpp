// The virtual drive's SDO server, byte for byte, through Handle().

#include "VirtualDrive.h"
#include "DatabaseRecord.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace {

using Sdo = std::array<uint8_t, 8>;

constexpr uint32_t kDictionaryOnly = 0x200300; // named by velmor.dat only: starts at zero

// Numbers of every width, strings of awkward lengths, the command objects and the recorder;
// lines the drive must skip at the end.
const char kDefaults[] = "# key\ttype\tattribute\tvalue\n"
                         "604100\tUNSIGNED16\tRL\t0\n"
                         "2FF001\tUNSIGNED8\tRW\t0\n"
                         "2FFF00\tU16\tW\t0\n"
                         "60FF00\tINTEGER32\tRWL\t1000\n"
                         "606C00\tINTEGER32\tRL\t0\n"
                         "606400\tINTEGER32\tRL\t0\n"
                         "201001\tU16\tRWS\t0\n"
                         "201002\tU16\tRW\t0\n"
                         "20100B\tU16\tRL\t1\n"
                         "20100C\tU16\tRL\t1\n"
                         "201015\tU16\tRW\t0\n"
                         "608100\tU32\tRWSM\t5000\n"
                         "200100\tI16\tRWS\t-5\n"
                         "200200\tUNSIGNED8\tRW\t7\n"
                         "100800\tVISIBLE STRING\tR\tABCDEFG\n"
                         "100900\tVISIBLE STRING\tR\tABCDEFGHIJKLMN\n"
                         "100A00\tVISIBLE STRING\tR\tV1\\t2\\\\3\\n456\n" // 10 bytes unescaped
                         "100B00\tVISIBLE STRING\tR\t\n"
                         "230001\tUNSIGNED32\tRW\t0\n"
                         "230005\tUNSIGNED32\tRW\t0\n"
                         "230007\tUNSIGNED8\tRW\t0\n"
                         "230008\tUNSIGNED16\tRW\t16\n"
                         "23000A\tUNSIGNED16\tRW\t100\n"
                         "230010\tDOMAIN\tR\t\n"
                         "201003\tU32\tRWS\t1\n"
                         "140001\tU32\tRWS\t0x201\n" // RPDO1, valid, mapping empty
                         "160000\tU8\tRWS\t0\n"
                         "160001\tU32\tRWS\t0\n"
                         "160002\tU32\tRWS\t0\n"
                         "160003\tU32\tRWS\t0\n"
                         "not a line\n\nZZZZZZ\tUNSIGNED8\tRW\t1\n";

Sdo Request(uint8_t command, uint32_t key, uint32_t value = 0)
{
    return {command,        uint8_t(key >> 8),   uint8_t(key >> 16),   uint8_t(key),
            uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

// Replies have the layout of requests.
const auto Reply = Request;

const Sdo kSegmentAbcdefg{0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G'};

class VirtualDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        TestSupport::DatabaseRecordFields fields;
        fields.index = TestSupport::HexField(kDictionaryOnly >> 8, 4);
        fields.subindex = TestSupport::HexField(kDictionaryOnly & 0xFF, 2);
        fields.dataType = "UNSIGNED16";
        fields.attribute = "RW";
        const QByteArray record = TestSupport::BuildDatabaseRecord(fields);
        QFile dat(m_dir.filePath(QStringLiteral("velmor.dat")));
        QFile tsv(m_dir.filePath(QStringLiteral("velmor-defaults.tsv")));
        ASSERT_TRUE(dat.open(QIODevice::WriteOnly) && dat.write(record) == record.size());
        ASSERT_TRUE(tsv.open(QIODevice::WriteOnly) && tsv.write(kDefaults) > 0);
        dat.close();
        tsv.close();
        QString error;
        ASSERT_TRUE(m_drive.Load(m_dir.path(), &error)) << error.toStdString();
    }

    // Each request with the reply it must get, in order.
    void Run(std::initializer_list<std::pair<Sdo, Sdo>> script)
    {
        int step = 0;
        for (const auto& [request, reply] : script)
            EXPECT_EQ(Exchange(request), reply) << "step " << step++;
    }

    std::optional<Sdo> Exchange(const Sdo& request)
    {
        Sdo reply{};
        if (!m_drive.Handle(request.data(), reply.data()))
            return std::nullopt;
        return reply;
    }

    QTemporaryDir m_dir;
    CVirtualDrive m_drive;
};

TEST_F(VirtualDriveTest, LoadsBothFilesAndSkipsBadLines)
{
    EXPECT_EQ(m_drive.ObjectCount(), 31);
    EXPECT_TRUE(m_drive.HasObject(kDictionaryOnly));
    EXPECT_EQ(m_drive.Value(kDictionaryOnly), 0u);
    EXPECT_EQ(m_drive.Value(0x200100), uint32_t(-5)); // signed defaults keep their sign
    EXPECT_EQ(m_drive.StringValue(0x100A00), QByteArray("V1\t2\\3\n456"));

    CVirtualDrive empty;
    QString error;
    EXPECT_FALSE(empty.Load(m_dir.path() + QStringLiteral("/missing"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("velmor-defaults.tsv")));
}

TEST_F(VirtualDriveTest, AnswersByteForByte)
{
    struct Case
    {
        uint8_t command;
        uint32_t key;
        uint32_t value;
        uint8_t replyCommand;
        uint32_t replyValue;
        bool canOpen = false; // served as a CANopen device (CiA 301) serves it
    };
    // Run in order: later reads see what earlier writes left.
    const Case cases[] = {
        {0x40, 0x200200, 0, 0x4F, 7},
        {0x40, 0x200100, 0, 0x4B, 0xFFFB},
        {0x40, 0x608100, 0xDEADBEEF, 0x43, 5000}, // a read ignores the value it carries
        // A write confirmation carries the value now held, only as wide as the command.
        {0x2F, 0x200200, 0x1FF, 0x60, 0xFF},
        {0x2B, 0x200100, 0xABCDFFFE, 0x60, 0xFFFE},
        // A width that does not fit the type (the value stays); an unknown command; values
        // command objects do not know. (An unknown object, a write without "W" and a read of a
        // write-only object are refused as FaultTableTest and DrivactlTest see through the link.)
        {0x23, 0x200200, 1, 0x80, 0x06070010},
        {0x40, 0x200200, 0, 0x4F, 0xFF},
        {0x22, 0x608100, 1, 0x80, 0x05040001},
        {0x2F, 0x2FF001, 3, 0x80, 0x06090030},
        {0x2B, 0x2FFF00, 0x1234, 0x80, 0x06090030},
        // Inputs (DIN1 and DIN3 high): DIN1 inverted; DIN2 simulated high only once DIN2 and
        // DIN3 are simulated.
        {0x40, 0x20100C, 0, 0x4B, 0x0005},
        {0x2B, 0x201001, 0x0001, 0x60, 0x0001},
        {0x40, 0x20100C, 0, 0x4B, 0x0004},
        {0x2B, 0x201015, 0x0002, 0x60, 0x0002},
        {0x40, 0x20100C, 0, 0x4B, 0x0004},
        {0x2B, 0x201002, 0x0006, 0x60, 0x0006},
        {0x40, 0x20100C, 0, 0x4B, 0x0002},
        // As a CANopen device: a write confirmed without its value; the width by the size bits,
        // or the object's own without them; a download segment with no write under way.
        {0x2F, 0x200200, 0x03, 0x60, 0, true},
        {0x40, 0x200200, 0, 0x4F, 0x03, true},
        {0x27, 0x200200, 1, 0x80, 0x06070010, true},
        {0x22, 0x200200, 9, 0x60, 0, true},
        {0x40, 0x200200, 0, 0x4F, 0x09, true},
        {0x10, 0x000000, 0, 0x80, 0x05040001, true},
    };
    m_drive.SetValue(0x20100B, 0x0005); // the inputs stop toggling
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.command) << " " << c.key);
        if (m_drive.CanOpen() != c.canOpen)
            m_drive.SetCanOpen(c.canOpen);
        EXPECT_EQ(Exchange(Request(c.command, c.key, c.value)),
                  Reply(c.replyCommand, c.key, c.replyValue));
    }
    EXPECT_EQ(int32_t(m_drive.Value(0x200100)), -2);
}

TEST_F(VirtualDriveTest, RefusesMappingsAndFunctionsAsADeviceWould)
{
    struct Case
    {
        uint8_t command;
        uint32_t key;
        uint32_t value;
        uint32_t abortCode; // 0: taken
    };
    // In order: each step meets what the ones before left.
    const Case cases[] = {
        {0x23, 0x160001, 0x60810020, 0x08000022}, // the PDO is valid
        {0x2F, 0x160000, 0, 0x08000022},
        {0x23, 0x140001, 0x301, 0x06090030}, // a valid PDO keeps its identifier
        {0x23, 0x140001, 0x80000201, 0},
        {0x23, 0x160001, 0x20010010, 0x06040041}, // 2001:00 is not mappable
        {0x23, 0x160001, 0x60810010, 0x06040041}, // 6081:00 is 32 bits wide
        {0x23, 0x160001, 0x60810020, 0},
        {0x23, 0x160002, 0x60810020, 0},
        {0x23, 0x160003, 0x60810020, 0},
        {0x2F, 0x160000, 3, 0x06040042}, // 96 bits
        {0x2F, 0x160000, 9, 0x06090030},
        {0x2F, 0x160000, 2, 0},
        {0x23, 0x160003, 0, 0x08000022}, // entries only while the count is 0
        {0x23, 0x140001, 0x201, 0},
        {0x23, 0x201003, 0x8004, 0x06090030}, // combinable and single functions mixed
        {0x23, 0x201003, 0x18000, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.key << "=" << c.value);
        const auto reply = Exchange(Request(c.command, c.key, c.value));
        ASSERT_TRUE(reply);
        if (c.abortCode != 0)
            EXPECT_EQ(reply, Reply(0x80, c.key, c.abortCode));
        else
            EXPECT_EQ((*reply)[0], 0x60);
    }
    EXPECT_EQ(m_drive.Value(0x160000), 2u);
    EXPECT_EQ(m_drive.Value(0x201003), 0x18000u);
}

TEST_F(VirtualDriveTest, StringsComeInSegmentsWithToggleAndUnusedCount)
{
    // (An empty text, one segment with seven unused bytes, crosses the link in
    // FaultTableTest.SegmentedUpload, which fails on any other count.)
    Run({
        // Fourteen bytes: two full segments, the second toggled and marked last (which the link
        // does not need to see the end); nothing after it.
        {Request(0x40, 0x100900), Reply(0x41, 0x100900, 14)},
        {Request(0x60, 0), kSegmentAbcdefg},
        {Request(0x70, 0), {0x11, 'H', 'I', 'J', 'K', 'L', 'M', 'N'}},
        {Request(0x60, 0), Reply(0x80, 0, 0x05040001)},
        // Out of turn: the first segment must not be toggled; polling between segments leaves
        // the upload alone; a repeated request (a retry after a damaged reply) gets the same
        // segment again.
        {Request(0x40, 0x100900), Reply(0x41, 0x100900, 14)},
        {Request(0x70, 0), Reply(0x80, 0, 0x05030000)},
        {Request(0x60, 0), kSegmentAbcdefg},
        {Request(0x40, 0x200200), Reply(0x4F, 0x200200, 7)},
        {Request(0x60, 0), kSegmentAbcdefg},
        {Request(0x70, 0), {0x11, 'H', 'I', 'J', 'K', 'L', 'M', 'N'}},
    });
}

// Repeated writes counted and a segment misaddressed by its toggle: FaultMatrixTest passes
// whether or not these work. (A misaddressed plain reply fails its "misaddressed" write cells.)
TEST_F(VirtualDriveTest, MisaddressedRepliesAndRepeatedWrites)
{
    const Sdo write = Request(0x2F, 0x200200, 9);
    ASSERT_TRUE(Exchange(write) && Exchange(write));
    EXPECT_EQ(m_drive.MaxWriteFrameCount(), 2);
    // A segment of the other toggle.
    EXPECT_EQ(Exchange(Request(0x40, 0x100800)), Reply(0x41, 0x100800, 7));
    m_drive.faults().MisaddressNext(1);
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x11, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
}

// Planned faults wait for the requests passed first and are counted until used (FaultMatrixTest
// places its faults by this and trusts the count; what each fault does to drivactl it shows
// itself). A replay sends the previous reply although the write took effect; a line gone stays
// gone.
TEST_F(VirtualDriveTest, PlannedFaultsComeAfterThePassedRequests)
{
    CSimFaults& faults = m_drive.faults();
    faults.PassNext(1);
    faults.ReplayNext(1);
    faults.UnplugAfter(1);
    EXPECT_EQ(faults.Unused(), 2);
    Run({
        {Request(0x40, 0x200200), Reply(0x4F, 0x200200, 7)},
        {Request(0x2F, 0x200200, 9), Reply(0x4F, 0x200200, 7)},
    });
    EXPECT_EQ(m_drive.Value(0x200200), 9u);
    EXPECT_FALSE(faults.Unplugged());
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    EXPECT_TRUE(faults.Unplugged());
    EXPECT_EQ(faults.Unused(), 0);
    faults.PassNext(1);
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
}

// A restart is silent, then brings back the stored values; initialise brings back the defaults
// and holds 10 until the program acknowledges it with 0. (A store's busy state, which the
// init/save dialog waits out, is GuiTest's.)
TEST_F(VirtualDriveTest, StoreRestartAndInitialise)
{
    // Its memory file gives a drive started again over it what was stored.
    const QString memory = m_dir.filePath(QStringLiteral("nvram"));
    m_drive.SetStoreFile(memory);
    ASSERT_TRUE(Exchange(Request(0x2B, 0x200100, 42)));
    ASSERT_TRUE(Exchange(Request(0x2F, 0x200200, 42))); // not an S object: never stored
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 1)), Reply(0x60, 0x2FF001, 1));
    EXPECT_TRUE(TestSupport::WaitFor(
        [&] { return Exchange(Request(0x40, 0x2FF001)) == Reply(0x4F, 0x2FF001, 0); }));
    ASSERT_TRUE(Exchange(Request(0x2B, 0x200100, 99)));
    ASSERT_TRUE(Exchange(Request(0x23, 0x608100, 1234))); // never stored: default comes back
    CVirtualDrive again;
    again.SetStoreFile(memory);
    ASSERT_TRUE(again.Load(m_dir.path()));
    EXPECT_EQ(again.Value(0x200100), 42u);
    EXPECT_EQ(again.Value(0x200200), 7u);

    EXPECT_EQ(Exchange(Request(0x2B, 0x2FFF00, 0xAA55)), Reply(0x60, 0x2FFF00, 0xAA55));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    ASSERT_TRUE(
        TestSupport::WaitFor([&] { return Exchange(Request(0x40, 0x200200)).has_value(); }, 5000));
    EXPECT_GE(timer.elapsed(), CVirtualDrive::kRestartSilenceMs - 100);
    EXPECT_EQ(Exchange(Request(0x40, 0x200100)), Reply(0x4B, 0x200100, 42));
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x4F, 0x200200, 7));
    EXPECT_EQ(Exchange(Request(0x40, 0x608100)), Reply(0x43, 0x608100, 5000));
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 0));

    ASSERT_TRUE(Exchange(Request(0x23, 0x608100, 77)));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 10)), Reply(0x60, 0x2FF001, 10));
    EXPECT_EQ(m_drive.Value(0x608100), 5000u);
    EXPECT_EQ(m_drive.Value(0x200200), 7u);
    TestSupport::Pump(CVirtualDrive::kStoreBusyMs + 50);
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 10));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 0)), Reply(0x60, 0x2FF001, 0));
}

TEST_F(VirtualDriveTest, MeasuredValuesMove)
{
    // The velocity ripples around its target of 1000, so the position only ever grows.
    const uint32_t velocity = m_drive.Value(0x606C00);
    const int32_t position = int32_t(m_drive.Value(0x606400));
    EXPECT_NEAR(int32_t(velocity), 1000, 600);
    EXPECT_TRUE(TestSupport::WaitFor([&] { return m_drive.Value(0x606C00) != velocity; }));
    EXPECT_TRUE(
        TestSupport::WaitFor([&] { return int32_t(m_drive.Value(0x606400)) - position > 50; }));
    // (A value set stays put: FaultMatrixTest sets both and compares whole outputs of info and
    // dump.)
}

} // namespace
