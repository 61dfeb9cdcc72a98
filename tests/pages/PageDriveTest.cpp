// Pages and writes against the virtual drive, through the real link, serial library and
// pseudo-terminal.

#include "DriveRig.h"

#include "pages/PageTable.h"
#include "pages/ParamPage.h"

#include <deque>
#include <functional>
#include <gtest/gtest.h>

using namespace PageTest;
using TestSupport::Pump;
using TestSupport::WaitFor;

namespace {

constexpr int kWaitMs = 15000;

QString Key(uint32_t key)
{
    return QString::number(key, 16).toUpper();
}

struct Answer
{
    unsigned message;
    uint32_t wParam;
    uint32_t lParam;
};

// A page that can look at each answer before handling it, or keep it back.
class CWatchedPage : public CParamPage
{
public:
    using CParamPage::CParamPage;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        const bool answer = message == WM_SDO_VALUE || message == WM_SDO_ABORT;
        if (answer && beforeAnswer)
            beforeAnswer({message, wParam, lParam});
        if (answer && hold) {
            held.push_back({message, wParam, lParam});
            return;
        }
        CParamPage::OnMessage(message, wParam, lParam);
    }

    void ReleaseOne()
    {
        const Answer answer = held.front();
        held.pop_front();
        CParamPage::OnMessage(answer.message, answer.wParam, answer.lParam);
    }

    bool hold = false;
    std::deque<Answer> held;
    std::function<void(const Answer&)> beforeAnswer;
};

class PageDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString error = rig.Start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        sys = rig.sys.get();
    }

    // A page created while the link is not marked connected, so that its rows issue no reads
    // of their own; then connected and told that the connection is back.
    std::unique_ptr<CWatchedPage> OfflinePage(const char* className, bool hold = false)
    {
        auto page = std::make_unique<CWatchedPage>(*sys, *FindPageSpec(QLatin1String(className)));
        page->hold = hold;
        page->Create();
        return page;
    }

    void ConnectAndReload(CParamPage& page)
    {
        rig.Connect();
        baseRequests = rig.drive.RequestCount();
        page.OnMessage(WM_PAGE_CONTROL, CParamPage::ActionReload, 0);
    }

    bool WaitPassEnd(const CParamPage& page)
    {
        return WaitFor([&] { return page.readCursor() == 0; }, kWaitMs);
    }

    int Requests() const { return rig.drive.RequestCount() - baseRequests; }

    CPageInstall install;
    CDriveRig rig{install};
    CSysData* sys = nullptr;
    int baseRequests = 0;
};

} // namespace

TEST_F(PageDriveTest, APassKeepsOneReadOutstanding)
{
    QStringList items;
    for (int n = 1; n <= 20; ++n)
        items.append(Key(SeriesKey(n)));
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"), items));
    auto page = OfflinePage("CAnalogInput", true);
    ASSERT_EQ(page->list().GetItemCount(), 20);
    EXPECT_EQ(Column(page->list(), 4), QStringList(20, QString()));
    ConnectAndReload(*page);

    for (int n = 1; n <= 20; ++n) {
        ASSERT_TRUE(WaitFor([&] { return !page->held.empty(); }, kWaitMs)) << n;
        // While the answer is kept back, no further read reaches the drive.
        Pump(n == 1 ? 300 : 30);
        ASSERT_EQ(page->held.size(), 1u) << n;
        EXPECT_EQ(Requests(), n);
        EXPECT_EQ(page->held.front().lParam, SeriesKey(n));
        page->ReleaseOne();
    }
    EXPECT_EQ(page->readCursor(), 0);
    for (int n = 1; n <= 20; ++n)
        EXPECT_EQ(page->list().GetItemText(n - 1, 4), QString::number(3 * n)) << n;
    Pump(100);
    EXPECT_EQ(Requests(), 20);
}

TEST_F(PageDriveTest, AnAbortShowsQuestionMarksAndThePassGoesOn)
{
    QStringList items;
    for (int n = 1; n <= 5; ++n)
        items.append(Key(SeriesKey(n)));
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"), items));
    auto page = OfflinePage("CAnalogInput");
    uint32_t abortCode = 0;
    page->beforeAnswer = [&](const Answer& answer) {
        // Row 3's read goes out while row 2's value is handled.
        if (answer.message == WM_SDO_VALUE && answer.lParam == SeriesKey(2))
            rig.drive.faults().AbortNext(1, CVirtualDrive::kAbortValue);
        if (answer.message == WM_SDO_ABORT)
            abortCode = answer.wParam;
    };
    ConnectAndReload(*page);
    ASSERT_TRUE(WaitPassEnd(*page));
    EXPECT_EQ(Column(page->list(), 4), QStringList({"3", "6", "????", "12", "15"}));
    EXPECT_EQ(abortCode, CVirtualDrive::kAbortValue);
    EXPECT_EQ(Requests(), 5);
}

TEST_F(PageDriveTest, TheConnectionComingBackReadsActivePagesOnly)
{
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"), {Key(kMaxSpeed)}));
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogTorqueMode"), {Key(kGain)}));
    auto input = OfflinePage("CAnalogInput");
    auto torque = OfflinePage("CTorqueMode");
    ConnectAndReload(*input);
    torque->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionReload, 0);
    ASSERT_TRUE(WaitFor([&] { return input->list().GetItemText(0, 4) == "3000"; }, kWaitMs));
    EXPECT_EQ(torque->list().GetItemText(0, 4), "") << "the torque page ignores action 2";

    torque->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    ASSERT_TRUE(WaitFor([&] { return torque->list().GetItemText(0, 4) == "-5"; }, kWaitMs));

    // A closed page stays inactive: action 2 starts nothing.
    input->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionClose, 0);
    input->list().SetItemText(0, 4, QString());
    const int before = Requests();
    input->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionReload, 0);
    EXPECT_EQ(input->readCursor(), 0);
    Pump(200);
    EXPECT_EQ(Requests(), before);
    EXPECT_EQ(input->list().GetItemText(0, 4), "");
}

TEST_F(PageDriveTest, EditedValuesAreWrittenAndUnitChangesReread)
{
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"), {Key(kMaxSpeed), Key(kSpeed)}));
    auto page = OfflinePage("CAnalogInput");
    ConnectAndReload(*page);
    ASSERT_TRUE(WaitPassEnd(*page));
    CPageListModel& list = page->list();
    ASSERT_EQ(Column(list, 4), QStringList({"3000", "8192"}));

    int answers = 0;
    page->beforeAnswer = [&](const Answer& answer) { answers += answer.lParam == kMaxSpeed; };
    list.SetItemText(0, 4, QStringLiteral("1234"));
    page->OnMessage(WM_CELL_EDITED, 0, CPageListModel::ColValue);
    ASSERT_TRUE(WaitFor([&] { return rig.drive.Value(kMaxSpeed) == 1234; }, kWaitMs));
    // The drive's confirmation comes back as a value; then the next read must show it.
    ASSERT_TRUE(WaitFor([&] { return answers == 1; }, kWaitMs));
    list.SetItemText(0, 4, QString());
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    ASSERT_TRUE(WaitPassEnd(*page));
    EXPECT_EQ(list.GetItemText(0, 4), "1234");

    // The operator picked another unit: the value is read again and shown in it.
    const int before = Requests();
    list.SetItemText(1, 6, QStringLiteral("rpm"));
    page->OnMessage(WM_CELL_EDITED, 1, CPageListModel::ColUnit);
    ASSERT_TRUE(WaitFor([&] { return list.GetItemText(1, 4) == "120.000"; }, kWaitMs));
    EXPECT_EQ(Requests(), before + 1);

    // Other columns, or no connection: nothing is sent.
    rig.Disconnect();
    list.SetItemText(0, 4, QStringLiteral("999"));
    page->OnMessage(WM_CELL_EDITED, 0, CPageListModel::ColValue);
    rig.Connect();
    page->OnMessage(WM_CELL_EDITED, 0, CPageListModel::ColName);
    page->OnMessage(WM_CELL_EDITED, 7, CPageListModel::ColValue);
    Pump(200);
    EXPECT_EQ(Requests(), before + 1);
    EXPECT_EQ(rig.drive.Value(kMaxSpeed), 1234u);
}

TEST_F(PageDriveTest, DriverPropertyReadsStringsBySegments)
{
    ASSERT_TRUE(
        install.WritePage(QStringLiteral("DriverProperty"),
                          {Key(kDeviceName), Key(kSerialText), Key(kEmptyText), Key(kMaxSpeed)}));
    // Padded with zero bytes: the text ends at the first.
    rig.drive.SetStringValue(kEmptyText, QByteArray("seven!!", 7) + QByteArray(3, '\0'));
    auto page = OfflinePage("CDriverProterty");
    ConnectAndReload(*page);
    ASSERT_TRUE(WaitPassEnd(*page));
    // A length that is a multiple of 7 asks once more and the drive refuses: "????".
    EXPECT_EQ(Column(page->list(), 4), QStringList({"Drivara-X1", "????", "seven!!", "3000"}));
}

TEST_F(PageDriveTest, AddedObjectsAreReadAtOnceWhenConnected)
{
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"), {Key(kMaxSpeed)}));
    auto page = OfflinePage("CAnalogInput");
    ConnectAndReload(*page);
    ASSERT_TRUE(WaitPassEnd(*page));
    page->OnMessage(WM_ADD_OBJECT, 0, kGain);
    ASSERT_TRUE(WaitFor([&] { return page->list().GetItemText(1, 4) == "-5"; }, kWaitMs));
    EXPECT_EQ(page->readCursor(), 0);
}

// WriteItem on its own: the row's unit decides how the text becomes a request.
class WriteItemTest : public PageDriveTest
{
protected:
    void SetUp() override
    {
        PageDriveTest::SetUp();
        rig.Connect();
        for (uint32_t key : {kMaxSpeed, kGain, kModeByte, kTag, kOffset, kOddWidth})
            sys->AddPageItem(list, key, list.GetItemCount(), window.hwnd(), false);
        ASSERT_EQ(list.GetItemCount(), 6);
        // The reads that adding rows sends while connected.
        ASSERT_TRUE(WaitFor([&] { return window.messages.size() >= 6; }, kWaitMs));
        window.messages.clear();
        baseRequests = rig.drive.RequestCount();
    }

    void Write(uint32_t key, const char* unit, const char* text)
    {
        const int row = list.RowOfKey(key);
        ASSERT_GE(row, 0);
        list.SetItemText(row, CPageListModel::ColUnit, QLatin1String(unit));
        list.SetItemText(row, CPageListModel::ColValue, QString::fromUtf8(text));
        sys->WriteItem(window.hwnd(), list, row);
    }

    bool DriveHolds(uint32_t key, uint32_t value)
    {
        return WaitFor([&] { return rig.drive.Value(key) == value; }, kWaitMs);
    }

    CPageListModel list;
    CProbeWindow window;
};

TEST_F(WriteItemTest, AsciiNeedsOneCharacterPerByte)
{
    Write(kTag, "ASCII", "ABC");
    Write(kModeByte, "ASCII", "");
    Write(kOddWidth, "ASCII", "ABC");
    Write(kTag, "ASCII", "ABCD");
    ASSERT_TRUE(DriveHolds(kTag, 0x44434241));
    Write(kMaxSpeed, "ASCII", "AB");
    ASSERT_TRUE(DriveHolds(kMaxSpeed, 0x4241));
    Pump(200);
    EXPECT_EQ(Requests(), 2);
    EXPECT_EQ(window.Count(WM_SDO_ABORT), 0) << "each write had the width of its object";
}

TEST_F(WriteItemTest, DecimalAndHexadecimalTexts)
{
    Write(kGain, "DEC", "-300");
    ASSERT_TRUE(DriveHolds(kGain, uint32_t(-300)));
    Write(kModeByte, "", "200");
    ASSERT_TRUE(DriveHolds(kModeByte, 200));
    Write(kTag, "DEC", "123456789x");
    ASSERT_TRUE(DriveHolds(kTag, 123456789u));
    Write(kMaxSpeed, "HEX", "0x1F4");
    ASSERT_TRUE(DriveHolds(kMaxSpeed, 500));
    Write(kOddWidth, "HEX", "12");
    Write(kModeByte, "HEX", "Ab");
    ASSERT_TRUE(DriveHolds(kModeByte, 0xAB));
    Pump(200);
    EXPECT_EQ(Requests(), 5);
    EXPECT_EQ(window.Count(WM_SDO_ABORT), 0);
}

TEST_F(WriteItemTest, OtherUnitsWriteThroughTheirFormula)
{
    Write(kOffset, "nounit", "5");
    Write(kOffset, "x10", "-7");
    ASSERT_TRUE(DriveHolds(kOffset, uint32_t(-70)));
    Pump(200);
    EXPECT_EQ(Requests(), 1);
}
