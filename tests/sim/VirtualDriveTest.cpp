// The virtual drive's SDO server, byte for byte, through Handle().

#include "VirtualDrive.h"
#include "SimTestData.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

using SimTestData::Request;
using SimTestData::Sdo;

namespace {

class VirtualDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(SimTestData::WriteDataDir(m_dir.path()));
        QString error;
        ASSERT_TRUE(m_drive.Load(m_dir.path(), &error)) << error.toStdString();
    }

    std::optional<Sdo> Exchange(const Sdo& request)
    {
        Sdo reply{};
        if (!m_drive.Handle(request.data(), reply.data()))
            return std::nullopt;
        return reply;
    }

    // Reads a whole segmented object the way the program does: 0x40, then 0x60, 0x70, ...
    QByteArray Upload(uint32_t key)
    {
        QByteArray bytes;
        const auto first = Exchange(Request(0x40, key));
        if (!first || (*first)[0] != 0x41)
            return "<no upload>";
        uint8_t command = 0x60;
        for (int i = 0; i < 100; ++i) {
            const auto segment = Exchange(Request(command, 0));
            if (!segment || ((*segment)[0] & 0xE0) != 0)
                return "<segment refused>";
            const int n = 7 - (((*segment)[0] >> 1) & 7);
            bytes.append(reinterpret_cast<const char*>(segment->data() + 1), n);
            if ((*segment)[0] & 1)
                return bytes;
            command ^= 0x10;
        }
        return "<no end>";
    }

    QTemporaryDir m_dir;
    CVirtualDrive m_drive;
};

Sdo Reply(uint8_t command, uint32_t key, uint32_t value)
{
    return Request(command, key, value);
}

TEST_F(VirtualDriveTest, LoadsBothFilesAndSkipsBadLines)
{
    EXPECT_TRUE(m_drive.HasObject(0x100800));
    EXPECT_TRUE(m_drive.HasObject(SimTestData::kDictionaryOnly));
    EXPECT_EQ(m_drive.Value(SimTestData::kDictionaryOnly), 0u);
    EXPECT_EQ(m_drive.Value(0x200100), uint32_t(-5)); // signed defaults keep their sign
    EXPECT_EQ(m_drive.StringValue(0x100A00), QByteArray("V1\t2\\3\n456"));
    EXPECT_EQ(m_drive.ObjectCount(), 39);

    CVirtualDrive empty;
    QString error;
    EXPECT_FALSE(empty.Load(m_dir.path() + QStringLiteral("/missing"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("velmor-defaults.tsv")));
    EXPECT_FALSE(empty.HasObject(0x100800));
}

TEST_F(VirtualDriveTest, ReadsAnswerByWidth)
{
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x4F, 0x200200, 7));
    EXPECT_EQ(Exchange(Request(0x40, 0x200100)), Reply(0x4B, 0x200100, 0xFFFB));
    EXPECT_EQ(Exchange(Request(0x40, 0x200400)), Reply(0x4F, 0x200400, 0xFE));
    EXPECT_EQ(Exchange(Request(0x40, 0x608100)), Reply(0x43, 0x608100, 5000));
    // A read carries no value; whatever the request holds does not matter.
    EXPECT_EQ(Exchange(Request(0x40, 0x608100, 0xDEADBEEF)), Reply(0x43, 0x608100, 5000));
    EXPECT_EQ(m_drive.RequestCount(), 5);
}

TEST_F(VirtualDriveTest, WriteConfirmationCarriesTheHeldValue)
{
    EXPECT_EQ(Exchange(Request(0x2F, 0x200200, 0x1FF)), Reply(0x60, 0x200200, 0xFF));
    EXPECT_EQ(m_drive.Value(0x200200), 0xFFu);
    EXPECT_EQ(Exchange(Request(0x2B, 0x200100, 0xABCDFFFE)), Reply(0x60, 0x200100, 0xFFFE));
    EXPECT_EQ(int32_t(m_drive.Value(0x200100)), -2);
    EXPECT_EQ(Exchange(Request(0x23, 0x608100, 0x12345678)), Reply(0x60, 0x608100, 0x12345678));
    EXPECT_EQ(Exchange(Request(0x40, 0x608100)), Reply(0x43, 0x608100, 0x12345678));
}

TEST_F(VirtualDriveTest, RefusalsCarryTheirAbortCodes)
{
    // Unknown object, read and write.
    EXPECT_EQ(Exchange(Request(0x40, 0x700000)), Reply(0x80, 0x700000, 0x06020000));
    EXPECT_EQ(Exchange(Request(0x2B, 0x700000, 1)), Reply(0x80, 0x700000, 0x06020000));
    // No "W": read only.
    EXPECT_EQ(Exchange(Request(0x2B, 0x604100, 1)), Reply(0x80, 0x604100, 0x06010002));
    EXPECT_EQ(Exchange(Request(0x2F, 0x100800, 1)), Reply(0x80, 0x100800, 0x06010002));
    // Width that does not fit the type.
    EXPECT_EQ(Exchange(Request(0x23, 0x200200, 1)), Reply(0x80, 0x200200, 0x06070010));
    EXPECT_EQ(Exchange(Request(0x2F, 0x608100, 1)), Reply(0x80, 0x608100, 0x06070010));
    EXPECT_EQ(m_drive.Value(0x608100), 5000u);
    // Write-only object read; unknown command.
    EXPECT_EQ(Exchange(Request(0x40, 0x2FFF00)), Reply(0x80, 0x2FFF00, 0x06010001));
    EXPECT_EQ(Exchange(Request(0x22, 0x608100, 1)), Reply(0x80, 0x608100, 0x05040001));
    // Command objects refuse values they do not know.
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 3)), Reply(0x80, 0x2FF001, 0x06090030));
    EXPECT_EQ(Exchange(Request(0x2B, 0x2FFF00, 0x1234)), Reply(0x80, 0x2FFF00, 0x06090030));
}

TEST_F(VirtualDriveTest, StringsComeInSegmentsWithToggleAndUnusedCount)
{
    // Seven bytes: one full segment that is also the last.
    EXPECT_EQ(Exchange(Request(0x40, 0x100800)), Reply(0x41, 0x100800, 7));
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x01, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
    // A further segment after the end: no upload in progress any more.
    EXPECT_EQ(Exchange(Request(0x70, 0)), Reply(0x80, 0, 0x05040001));

    // Fourteen bytes: two full segments, the second toggled and last.
    EXPECT_EQ(Exchange(Request(0x40, 0x100900)), Reply(0x41, 0x100900, 14));
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
    EXPECT_EQ(Exchange(Request(0x70, 0)), (Sdo{0x11, 'H', 'I', 'J', 'K', 'L', 'M', 'N'}));
    EXPECT_EQ(Exchange(Request(0x60, 0)), Reply(0x80, 0, 0x05040001));

    // Ten bytes: a full segment, then three bytes with four unused (zero).
    EXPECT_EQ(Exchange(Request(0x40, 0x100A00)), Reply(0x41, 0x100A00, 10));
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x00, 'V', '1', '\t', '2', '\\', '3', '\n'}));
    EXPECT_EQ(Exchange(Request(0x70, 0)), (Sdo{0x19, '4', '5', '6', 0, 0, 0, 0}));

    // Empty: a single segment with seven unused bytes.
    EXPECT_EQ(Exchange(Request(0x40, 0x100B00)), Reply(0x41, 0x100B00, 0));
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x0F, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(VirtualDriveTest, SegmentRequestsOutOfTurn)
{
    CVirtualDrive fresh;
    ASSERT_TRUE(fresh.Load(m_dir.path()));
    Sdo reply{};
    ASSERT_TRUE(fresh.Handle(Request(0x60, 0).data(), reply.data()));
    EXPECT_EQ(reply, Reply(0x80, 0, 0x05040001));

    // The first segment must not be toggled.
    ASSERT_TRUE(Exchange(Request(0x40, 0x100900)));
    EXPECT_EQ(Exchange(Request(0x70, 0)), Reply(0x80, 0, 0x05030000));
    // Polling between segments leaves the upload alone; a repeated request (the client retries
    // after a damaged reply) gets the same segment again.
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x4F, 0x200200, 7));
    EXPECT_EQ(Exchange(Request(0x60, 0)), (Sdo{0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
    EXPECT_EQ(Exchange(Request(0x70, 0)), (Sdo{0x11, 'H', 'I', 'J', 'K', 'L', 'M', 'N'}));

    EXPECT_EQ(Upload(0x100A00), QByteArray("V1\t2\\3\n456"));
}

TEST_F(VirtualDriveTest, StoreIsBusyThenIdleAndInitialiseWaitsForAcknowledge)
{
    ASSERT_TRUE(Exchange(Request(0x2F, 0x200200, 42)));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 1)), Reply(0x60, 0x2FF001, 1));
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 1));
    EXPECT_TRUE(TestSupport::WaitFor(
        [&] { return Exchange(Request(0x40, 0x2FF001)) == Reply(0x4F, 0x2FF001, 0); }));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF003, 1)), Reply(0x60, 0x2FF003, 1));
    EXPECT_TRUE(TestSupport::WaitFor([&] { return m_drive.Value(0x2FF003) == 0; }));

    // Initialise: defaults back, and 10 until the program writes 0.
    ASSERT_TRUE(Exchange(Request(0x23, 0x608100, 77)));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 10)), Reply(0x60, 0x2FF001, 10));
    EXPECT_EQ(m_drive.Value(0x608100), 5000u);
    EXPECT_EQ(m_drive.Value(0x200200), 7u);
    TestSupport::Pump(CVirtualDrive::kStoreBusyMs + 50);
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 10));
    EXPECT_EQ(Exchange(Request(0x2F, 0x2FF001, 0)), Reply(0x60, 0x2FF001, 0));
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 0));
}

TEST_F(VirtualDriveTest, RestartIsSilentThenBringsBackTheStoredValues)
{
    ASSERT_TRUE(Exchange(Request(0x2F, 0x200200, 42)));
    ASSERT_TRUE(Exchange(Request(0x2F, 0x2FF001, 1))); // stores 42
    ASSERT_TRUE(Exchange(Request(0x2F, 0x200200, 99)));
    ASSERT_TRUE(Exchange(Request(0x23, 0x608100, 1234))); // never stored: default comes back

    EXPECT_EQ(Exchange(Request(0x2B, 0x2FFF00, 0xAA55)), Reply(0x60, 0x2FFF00, 0xAA55));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    ASSERT_TRUE(
        TestSupport::WaitFor([&] { return Exchange(Request(0x40, 0x200200)).has_value(); }, 5000));
    EXPECT_GE(timer.elapsed(), CVirtualDrive::kRestartSilenceMs - 100);
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x4F, 0x200200, 42));
    EXPECT_EQ(Exchange(Request(0x40, 0x608100)), Reply(0x43, 0x608100, 5000));
    EXPECT_EQ(Exchange(Request(0x40, 0x2FF001)), Reply(0x4F, 0x2FF001, 0));
}

TEST_F(VirtualDriveTest, StatuswordFaultBitFollowsUnmaskedErrors)
{
    EXPECT_EQ(Exchange(Request(0x40, 0x604100)), Reply(0x4B, 0x604100, 0x0237));
    m_drive.SetErrorStatus(0x00020000); // bit 17: high word bit 1
    EXPECT_EQ(m_drive.Value(0x260200), 2u);
    EXPECT_NE(m_drive.Value(0x604100) & 0x08, 0u);
    // Masking that bit clears the fault; masking another one does not.
    ASSERT_EQ(Exchange(Request(0x2B, 0x260002, 0xFFFD)), Reply(0x60, 0x260002, 0xFFFD));
    EXPECT_EQ(Exchange(Request(0x40, 0x604100)), Reply(0x4B, 0x604100, 0x0237));
    m_drive.SetValue(0x260100, 0x0001);
    EXPECT_NE(m_drive.Value(0x604100) & 0x08, 0u);
    ASSERT_TRUE(Exchange(Request(0x2B, 0x260001, 0xFFFE)));
    EXPECT_EQ(m_drive.Value(0x604100) & 0x08, 0u);
}

TEST_F(VirtualDriveTest, FaultPlanDropsAbortsAndSilences)
{
    CSimFaults& faults = m_drive.faults();
    faults.DropNext(2);
    faults.AbortNext(1, 0x08000020);
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x80, 0x200200, 0x08000020));
    EXPECT_EQ(Exchange(Request(0x40, 0x200200)), Reply(0x4F, 0x200200, 7));

    faults.SetSilent(true);
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    faults.Clear();
    EXPECT_TRUE(Exchange(Request(0x40, 0x200200)));

    faults.SilentFor(150);
    EXPECT_FALSE(Exchange(Request(0x40, 0x200200)));
    EXPECT_TRUE(
        TestSupport::WaitFor([&] { return Exchange(Request(0x40, 0x200200)).has_value(); }));
    EXPECT_GE(m_drive.RequestCount(), 7);
}

TEST_F(VirtualDriveTest, MeasuredValuesMoveUntilPinned)
{
    // The velocity ripples around its target of 1000, so the position only ever grows.
    const uint32_t velocity = m_drive.Value(0x606C00);
    const int32_t position = int32_t(m_drive.Value(0x606400));
    EXPECT_NEAR(int32_t(velocity), 1000, 600);
    EXPECT_TRUE(TestSupport::WaitFor([&] { return m_drive.Value(0x606C00) != velocity; }));
    EXPECT_TRUE(
        TestSupport::WaitFor([&] { return int32_t(m_drive.Value(0x606400)) - position > 50; }));
    // A new target carries the position along without a jump.
    const int32_t before = int32_t(m_drive.Value(0x606400));
    ASSERT_TRUE(Exchange(Request(0x23, 0x60FF00, uint32_t(-200000))));
    EXPECT_NEAR(int32_t(m_drive.Value(0x606400)), before, 500);
    EXPECT_TRUE(
        TestSupport::WaitFor([&] { return int32_t(m_drive.Value(0x606400)) < before - 1000; }));

    m_drive.SetValue(0x606C00, 321);
    TestSupport::Pump(30);
    EXPECT_EQ(Exchange(Request(0x40, 0x606C00)), Reply(0x43, 0x606C00, 321));
}

TEST_F(VirtualDriveTest, VirtualInputsApplyPolarityAndSimulation)
{
    m_drive.SetValue(0x20100B, 0x0005); // DIN1 and DIN3 high, no longer toggling
    EXPECT_EQ(m_drive.Value(0x20100C), 0x0005u);
    ASSERT_TRUE(Exchange(Request(0x2B, 0x201001, 0x0001))); // DIN1 inverted
    EXPECT_EQ(m_drive.Value(0x20100C), 0x0004u);
    ASSERT_TRUE(Exchange(Request(0x2B, 0x201015, 0x0002))); // DIN2 simulated high...
    EXPECT_EQ(m_drive.Value(0x20100C), 0x0004u);
    ASSERT_TRUE(Exchange(Request(0x2B, 0x201002, 0x0006))); // ...once DIN2 and DIN3 simulate
    EXPECT_EQ(Exchange(Request(0x40, 0x20100C)), Reply(0x4B, 0x20100C, 0x0002));
}

TEST_F(VirtualDriveTest, RecorderRecordsTheConfiguredChannels)
{
    m_drive.SetValue(0x201001, 0x1234);
    // Slot 1: 16-bit 0x201001; slot 5: 32-bit 0x608100; three samples.
    ASSERT_TRUE(Exchange(Request(0x23, 0x230001, 0x20100110)));
    ASSERT_TRUE(Exchange(Request(0x23, 0x230005, 0x60810020)));
    ASSERT_TRUE(Exchange(Request(0x2B, 0x23000A, 3)));
    EXPECT_EQ(Exchange(Request(0x2F, 0x230007, 1)), Reply(0x60, 0x230007, 1));
    EXPECT_TRUE(TestSupport::WaitFor(
        [&] { return Exchange(Request(0x40, 0x230007)) == Reply(0x4F, 0x230007, 0); }));

    QByteArray sample("\x34\x12\x88\x13\x00\x00", 6);
    EXPECT_EQ(Upload(0x230010), sample + sample + sample);
    // The record stays for a re-read.
    EXPECT_EQ(Upload(0x230010).size(), 18);
}

} // namespace
