// The oscilloscope's capture cycle against the virtual drive, through the real link, serial
// library and pseudo-terminal: records decoded sample for sample, the drive's own recorder, every
// way out of a capture giving the link-wide flags back, and the capture files.

#include "../comm/CommTestUtil.h"
#include "TestSupport.h"

#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "comm/CommPort.h"
#include "scope/ScopeCapture.h"
#include "scope/ScopeFiles.h"
#include "scope/ScopeFormat.h"
#include "scope/ScopeItems.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using TestSupport::WaitFor;
using Outcome = CScopeCapture::Outcome;
using Samples = std::vector<double>;

namespace {

constexpr int kWaitMs = 15000;
// Descriptors as the drive holds them: the dictionary gives the sign.
constexpr uint32_t kBusVoltage = 0x22500110; // U16
constexpr uint32_t kTorque = 0x60770010;     // I16
constexpr uint32_t kIq = 0x22100910;         // I16
constexpr uint32_t kVelocity = 0x606C0020;   // I32
constexpr uint32_t kStatusword = 0x60410010; // U16

using Slots = std::array<uint32_t, kScopeSlots>;

class ScopeCaptureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(drive.Load(TestSupport::DistDir() + QStringLiteral("/data"), &error))
            << error.toStdString();
        ASSERT_TRUE(server.Start(1, 0)) << server.ErrorString().toStdString();
        sys = std::make_unique<CSysData>(CSysDataOptions{install.base()});
        ASSERT_TRUE(sys->dictionary.WaitUntilLoaded(60000));
        ASSERT_EQ(sys->link.SetMode(CCommPort::ModeSerial), 1);
        sys->link.SetNodeId(1);
        // The shipped reply timeout: a pause of a loaded machine is not a silent drive.
        ASSERT_EQ(sys->link.Open(CommTest::SerialSettings(server.PortName(), 115200, 500).data()),
                  0);
        sys->connected = 1;
        items = std::make_unique<CScopeItemLists>(sys->dictionary, &sys->unitTable);
        capture = std::make_unique<CScopeCapture>(*sys, items.get());
        QObject::connect(capture.get(), &CScopeCapture::captureEnded,
                         [this](Outcome how, uint32_t) { outcome = how, ended = true; });
        QObject::connect(capture.get(), &CScopeCapture::settingsRead, [this] { read = true; });
    }

    // The drive's slots as given, read into the capture as the page reads them.
    void UseSlots(const Slots& given)
    {
        for (int slot = 1; slot <= kScopeSlots; ++slot)
            drive.SetValue(DriveObject::kRecorderSlot1 + uint32_t(slot - 1), given[slot - 1]);
        read = false;
        capture->ReadSettings(1);
        ASSERT_TRUE(WaitFor([&] { return read; }, kWaitMs));
    }

    // Reads the drive's record again and waits for the capture to end.
    Outcome Reread(const QByteArray& record)
    {
        drive.SetStringValue(DriveObject::kRecord, record);
        ended = false;
        EXPECT_TRUE(capture->Reread());
        EXPECT_EQ(sys->scopeTransferBusy, 1);
        EXPECT_TRUE(WaitFor([&] { return ended; }, kWaitMs));
        return outcome;
    }

    void ExpectFlagsBack(const std::string& what)
    {
        EXPECT_EQ(sys->pollingEnabled, 1) << what;
        EXPECT_EQ(sys->othersReleased, 1) << what;
        EXPECT_EQ(sys->scopeTransferBusy, 0) << what;
    }

    TestSupport::TempInstall install;
    CVirtualDrive drive;
    CSimSerialServer server{drive};
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CScopeItemLists> items;
    std::unique_ptr<CScopeCapture> capture;
    Outcome outcome = Outcome::Cancelled;
    bool ended = false, read = false;
};

// Records built byte by byte, read through the link and decoded with the sign of each
// channel's object.
TEST_F(ScopeCaptureTest, DecodesRecordsSampleForSample)
{
    struct Case
    {
        const char* name;
        Slots driveSlots;
        const char* hex;
        std::array<Samples, kScopeChannels> expected;
    };
    const Case cases[] = {
        // Slots 1, 2, 4 and 6: 2 + 2 + 2 + 4 bytes in that order.
        {"four channels, 16 and 32 bits, signed and unsigned",
         {kBusVoltage, kTorque, 0, kIq, 0, kVelocity},
         "FFFF FFFF 0080 FFFFFFFF  0100 FE7F FF7F 00000080",
         {Samples{65535, 1}, Samples{-1, 32766}, Samples{-1, -2147483648.0},
          Samples{-32768, 32767}}},
        // Channel 2 off: 8 bytes a sample; the three bytes of a partial sample are left.
        {"8-byte samples",
         {kStatusword, 0, 0, kIq, 0, kVelocity},
         "3412 FFFF 78563412  ABCDEF",
         {Samples{4660}, Samples{}, Samples{305419896}, Samples{-1}}},
        {"last segment of exactly 7 bytes",
         {kStatusword, 0, 0, 0, 0, 0},
         "0100 0200 0300 0400 0500 0600 FFFF",
         {Samples{1, 2, 3, 4, 5, 6, 65535}, Samples{}, Samples{}, Samples{}}},
        {"no bytes", {kStatusword, 0, 0, 0, 0, 0}, "", {}},
    };
    for (const Case& c : cases) {
        UseSlots(c.driveSlots);
        const QByteArray bytes = QByteArray::fromHex(QByteArray(c.hex).replace(' ', ""));
        ASSERT_EQ(Reread(bytes), Outcome::Done) << c.name;
        EXPECT_EQ(capture->recordBytes(), bytes) << c.name;
        EXPECT_EQ(capture->record().samples, c.expected) << c.name;
        ExpectFlagsBack(c.name);
    }
}

// The drive's own recorder, set up through the capture's writes: what the capture decodes is
// exactly the record the drive made, two signed channels of 50 samples.
TEST_F(ScopeCaptureTest, CapturesWhatTheRecorderRecorded)
{
    capture->SetChannel(1, true, kTorque | 1);
    capture->SetChannel(3, true, kVelocity | 1);
    capture->WriteSetting(DriveObject::kRecorderCount, 50);
    capture->WriteTrigger(0);
    ASSERT_TRUE(WaitFor([&] { return capture->pendingRequests() == 0; }, kWaitMs));
    UseSlots({kTorque, 0, 0, 0, 0, kVelocity});
    ended = false;
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(WaitFor([&] { return ended; }, kWaitMs));
    ASSERT_EQ(outcome, Outcome::Done);
    EXPECT_EQ(capture->recordBytes(), drive.StringValue(DriveObject::kRecord));
    EXPECT_EQ(capture->recordBytes().size(), 50 * 6);
    EXPECT_EQ(capture->record().samples[0].size(), 50u);
    EXPECT_EQ(capture->record().samples[2].size(), 50u);
    ExpectFlagsBack("recorder");
}

// However a capture ends, polling, other windows' requests and the busy flag are as before.
TEST_F(ScopeCaptureTest, EveryWayOutGivesTheFlagsBack)
{
    struct Case
    {
        const char* name;
        std::function<void()> arrange;
        std::function<void()> onFirstSegment;
        int bytes;
        Outcome expected;
    };
    const Case cases[] = {
        {"cancelled during the upload", {}, [&] { capture->Cancel(); }, 700, Outcome::Cancelled},
        {"the drive refuses the upload",
         [&] { drive.faults().AbortUploadAfter(3, 0x08000000); },
         {},
         700,
         Outcome::Refused},
        {"a record longer than 8 KiB", {}, {}, DriveObject::kMaxRecordBytes + 2, Outcome::TooLong},
        {"the drive falls silent during the upload",
         {},
         [&] { drive.faults().SetSilent(true); },
         700,
         Outcome::LinkFailed},
    };
    UseSlots({kStatusword, 0, 0, 0, 0, 0});
    for (const Case& c : cases) {
        if (c.arrange)
            c.arrange();
        bool first = true;
        const auto connection =
            QObject::connect(capture.get(), &CScopeCapture::uploadProgress, [&] {
                if (std::exchange(first, false) && c.onFirstSegment)
                    c.onFirstSegment();
            });
        EXPECT_EQ(Reread(QByteArray(c.bytes, '\x11')), c.expected) << c.name;
        QObject::disconnect(connection);
        // A cancelled upload still runs on the link; the next case starts after it.
        ASSERT_TRUE(WaitFor([&] { return !sys->link.HasPendingRequests(); }, kWaitMs));
        ExpectFlagsBack(c.name);
        EXPECT_TRUE(capture->idle()) << c.name;
    }
}

// Continuous capture starts the recorder again after each record, holding the busy flag between
// them, until it is cancelled.
TEST_F(ScopeCaptureTest, ContinuousCaptureRepeatsUntilCancelled)
{
    UseSlots({kStatusword, 0, 0, 0, 0, 0});
    drive.SetValue(DriveObject::kRecorderCount, 10);
    drive.SetValue(DriveObject::kRecorderTrigger, 0);
    int records = 0;
    QObject::connect(capture.get(), &CScopeCapture::recordReady, [&] {
        ++records;
        EXPECT_EQ(sys->scopeTransferBusy, 1);
    });
    capture->SetTickInterval(10);
    capture->SetContinuous(true);
    ASSERT_TRUE(capture->Start());
    ASSERT_TRUE(WaitFor([&] { return records >= 3; }, kWaitMs));
    EXPECT_EQ(capture->record().samples[0].size(), 10u);
    EXPECT_TRUE(capture->Start()); // pressed while running: cancels
    EXPECT_EQ(outcome, Outcome::Cancelled);
    ExpectFlagsBack("continuous");
}

// The shipped Oscilloscope.ini names only objects the dictionary can offer, and reading stops
// at the first key that gives 0.
TEST_F(ScopeCaptureTest, OscilloscopeIniLoadsUntilTheFirstGap)
{
    const QString shipped = TestSupport::DistDir() + QStringLiteral("/sys/Oscilloscope.ini");
    const int keys = CIniDocument(shipped).Keys(QStringLiteral("trigger")).size() +
                     CIniDocument(shipped).Keys(QStringLiteral("channel")).size();
    EXPECT_EQ(items->LoadConfig(shipped), keys);
    EXPECT_EQ(items->TriggerEntry(1)->key(), 0x604100u); // the last trigger line comes first
    EXPECT_EQ(items->ChannelEntry(2, 0)->descriptor, 0x606C0021u);
    ASSERT_TRUE(install.writeFile(QStringLiteral("sys/gap.ini"),
                                  "[trigger]\n1=606C00\n3=604100\n[channel]\n1=0\n2=606C00\n"));
    CScopeItemLists gap(sys->dictionary);
    EXPECT_EQ(gap.LoadConfig(install.path(QStringLiteral("sys/gap.ini"))), 1);
    EXPECT_EQ(gap.ChannelEntryCount(1), 0);
}

// Settings texts: the 1-2-5 scale notation, the period, the offset edits and raw values in an
// object's units.
TEST_F(ScopeCaptureTest, SettingTextsFollowTheirRules)
{
    using namespace ScopeFormat;
    double value = 0;
    const struct
    {
        const char* text;
        bool up;
        const char* stepped;
        double value;
    } steps[] = {{"5e-1", true, "1e0", 1},      {"5e-1", false, "2e-1", 0.2},
                 {"1e-6", false, "1e-6", 1e-6}, {"1e2", false, "5e1", 50},
                 {"x", true, "x", 1e-6},        {"2e3", true, "5e3", 5000}};
    for (const auto& s : steps) {
        EXPECT_EQ(StepScale(QLatin1String(s.text), s.up, value), QLatin1String(s.stepped))
            << s.text;
        EXPECT_DOUBLE_EQ(value, s.value) << s.text;
    }
    EXPECT_EQ(ScaleToText(0.0000001), QString());
    EXPECT_EQ(ScaleToText(0.02), QStringLiteral("2e-2"));
    EXPECT_EQ(ScaleToText(500), QStringLiteral("5e2"));
    EXPECT_EQ(QStringList({PeriodText(15), PeriodText(16), PeriodText(16000)}),
              QStringList({"937.5us", "1.00ms", "1.00s"}));
    for (const char* text : {"-0.", "12345678901"}) {
        QString edit = QLatin1String(text);
        EXPECT_TRUE(SanitiseOffset(edit, value, false));
        EXPECT_EQ(edit, QStringLiteral("0.000"));
    }
    QString kept = QStringLiteral("-0.5");
    EXPECT_FALSE(SanitiseOffset(kept, value, true));

    const HWND window = capture->hwnd();
    const uint32_t ain = 0x202005; // I16, [mV mV]N*1, [V V]N/1000
    EXPECT_EQ(UnitEntries(*sys, sys->dictionary, ain), QStringList({"mV", "V"}));
    EXPECT_EQ(UnitEntries(*sys, sys->dictionary, 0x230008), QStringList({"ms", "DEC"}));
    EXPECT_EQ(FormatRaw(*sys, window, sys->dictionary, ain, "mV", uint32_t(-5), true), "-5");
    EXPECT_EQ(FormatRaw(*sys, window, sys->dictionary, ain, "V", 1500, true), "1.500000");
    EXPECT_EQ(FormatRaw(*sys, window, sys->dictionary, 0x604100, "DEC", 0xFFFF, true), "65535");
    EXPECT_EQ(FormatRaw(*sys, window, sys->dictionary, 0x607700, "", uint32_t(-1), true), "-1");
    EXPECT_EQ(FormatRaw(*sys, window, sys->dictionary, 0x607700, "HEX", 255, true), "ff");
    EXPECT_DOUBLE_EQ(UnitCoefficient(*sys, window, sys->dictionary, ain, "V"), 0.001);
    EXPECT_EQ(TriggerLevel(*sys, window, ain, "HEX", "1F").raw, 31u);
}

// A 32-bit object clicked onto channel 2 after channel 1 held slot 5 moves there: the drive's
// slot is shown and decoded on channel 2, channel 1 keeps only its 16-bit slot.
TEST_F(ScopeCaptureTest, SharedSlotFollowsTheChannelThatClaimedIt)
{
    capture->SetChannel(1, true, kVelocity | 1);
    capture->SetChannel(1, true, kBusVoltage);
    capture->SetChannel(2, true, 0x60FF0021);
    ASSERT_TRUE(WaitFor([&] { return capture->pendingRequests() == 0; }, kWaitMs));
    UseSlots({kBusVoltage, 0, 0, 0, 0x60FF0020, 0});
    EXPECT_EQ(capture->channelKey(1), 0x225001u);
    EXPECT_EQ(capture->channelKey(2), 0x60FF00u);
    ASSERT_EQ(Reread(QByteArray::fromHex("0100FEFFFFFF")), Outcome::Done);
    EXPECT_EQ(capture->record().samples[0], Samples{1});
    EXPECT_EQ(capture->record().samples[1], Samples{-2});
}

// A capture written as TXT loads back the same settings and samples; the files have the layout
// other tools read: UTF-16LE without a byte-order mark, CSV lines ending ",\r\n".
TEST(ScopeFilesTest, TxtLoadsBackAndFilesKeepTheirLayout)
{
    ScopeSettings settings;
    settings.samplePeriod = 16;
    settings.pointerOffset = -20;
    settings.sampleCount = 3;
    settings.triggerItem = 2;
    settings.triggerKey = 0x606C00;
    settings.triggerLevelText = QStringLiteral("1500.5");
    settings.triggerUnitIndex = 1;
    settings.continuous = true;
    settings.channels[0] = {true, 0x60770011, 0.5, -1.25, 0.1, 2, false};
    settings.channels[2] = {true, 0x606C0021, 2000, 0, 1, 0, true};
    ScopeRecord record;
    record.samples[0] = {5, -32768, 7};
    record.samples[2] = {-2, 2147483647, -2147483648.0};

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.b/capture.txt"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("a.b")));
    ScopeFiles::Kind kind = ScopeFiles::Kind::None;
    ASSERT_EQ(ScopeFiles::ExportPath(path, kind), path);
    EXPECT_EQ(kind, ScopeFiles::Kind::Txt);
    ScopeFiles::ExportPath(dir.filePath(QStringLiteral("x.CSV")), kind);
    EXPECT_EQ(kind, ScopeFiles::Kind::None);
    ASSERT_TRUE(ScopeFiles::WriteTxt(path, settings, record));

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith(QByteArray("[\0o\0s\0", 6))); // no byte-order mark
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    EXPECT_TRUE(text.contains(QStringLiteral("\nch2 check=0\nch3 check=1\nch3 item=1617690657\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("ch1-3=7\nch3-3=-2147483648\n")));

    ScopeSettings loaded;
    ScopeRecord samples;
    ASSERT_TRUE(ScopeFiles::ReadTxt(path, loaded, samples));
    EXPECT_EQ(loaded.samplePeriod, 16u);
    EXPECT_EQ(loaded.pointerOffset, -20);
    EXPECT_EQ(loaded.triggerItem, 2);
    EXPECT_EQ(loaded.triggerKey, 0x606C00u);
    EXPECT_EQ(loaded.triggerLevelText, settings.triggerLevelText);
    EXPECT_EQ(loaded.triggerUnitIndex, 1);
    EXPECT_TRUE(loaded.continuous);
    for (size_t c = 0; c < size_t(kScopeChannels); ++c) {
        const ScopeChannelSettings &a = settings.channels[c], &b = loaded.channels[c];
        EXPECT_EQ(std::tie(a.enabled, a.descriptor, a.scale, a.offset, a.unitCoefficient,
                           a.unitIndex, a.autoScale),
                  std::tie(b.enabled, b.descriptor, b.scale, b.offset, b.unitCoefficient,
                           b.unitIndex, b.autoScale))
            << "channel " << c + 1;
    }
    EXPECT_EQ(samples.samples, record.samples);
    EXPECT_EQ(ScopeFiles::CsvBytes(record), QByteArray("5,-2,\r\n-32768,2147483647,\r\n7,"
                                                       "-2147483648,\r\n"));
}

} // namespace
