// Pages and writes against the virtual drive, through the real link, serial library and
// pseudo-terminal.

#include "../comm/CommTestUtil.h"
#include "PageTestSupport.h"

#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "comm/AbortCodes.h"
#include "comm/CommPort.h"
#include "pages/ParamPage.h"

#include <deque>
#include <gtest/gtest.h>

using namespace PageTest;
using TestSupport::WaitFor;

namespace {

constexpr int kWaitMs = 15000;

using Answer = CProbeWindow::Message;

// A page that can keep answers back.
class CWatchedPage : public CParamPage
{
public:
    using CParamPage::CParamPage;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        if (hold && (message == WM_SDO_VALUE || message == WM_SDO_ABORT))
            held.push_back({message, wParam, lParam});
        else
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
};

// A virtual drive served on a pseudo-terminal and the data object whose link is open to it,
// not yet marked connected, so that pages can be created offline first.
class PageDriveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(drive.Load(install.path(QStringLiteral("data")), &error))
            << error.toStdString();
        server = std::make_unique<CSimSerialServer>(drive);
        ASSERT_TRUE(server->Start(1, 0)) << server->ErrorString().toStdString();
        sys = MakeSysData(install);
        ASSERT_EQ(sys->link.SetMode(CCommPort::ModeSerial), 1);

        sys->link.SetNodeId(1);
        ASSERT_EQ(sys->link.Open(CommTest::SerialSettings(server->PortName(), 115200, 100).data()),
                  0);
    }

    std::unique_ptr<CWatchedPage> OfflinePage(const char* className,
                                              std::initializer_list<uint32_t> keys)
    {
        const CWindowInfo& spec = *FindWindow(QLatin1String(className));
        EXPECT_TRUE(install.WritePage(spec.pageName, keys));
        auto page = std::make_unique<CWatchedPage>(*sys, spec);
        page->Create();
        return page;
    }

    // Marks the link connected and tells the page that the connection is back.
    void ConnectAndReload(CParamPage& page)
    {
        sys->connected = 1;
        baseRequests = drive.RequestCount();
        page.OnMessage(WM_PAGE_CONTROL, CParamPage::ActionReload, 0);
    }

    int Requests() const { return drive.RequestCount() - baseRequests; }

    // The link's worker ends with the data object, before the drive it talks to.
    CPageInstall install;
    CVirtualDrive drive;
    std::unique_ptr<CSimSerialServer> server;
    std::unique_ptr<CSysData> sys;
    int baseRequests = 0;
};

} // namespace

TEST_F(PageDriveTest, APassKeepsOneReadOutstandingAndGoesOnAfterAnAbort)
{
    auto page = OfflinePage("CAnalogInput",
                            {kSeries + 1, kSeries + 2, kSeries + 3, kSeries + 4, kSeries + 5});
    page->hold = true;
    ASSERT_EQ(Column(page->list(), 4), QStringList(5, QString()));
    ConnectAndReload(*page);
    for (int n = 1; n <= 5; ++n) {
        ASSERT_TRUE(WaitFor([&] { return !page->held.empty(); }, kWaitMs)) << n;
        // While the answer is kept back, no further read reaches the drive.
        TestSupport::Pump(n == 1 ? 300 : 50);
        ASSERT_EQ(page->held.size(), 1u) << n;
        EXPECT_EQ(Requests(), n);
        const Answer& answer = page->held.front();
        EXPECT_EQ(answer.lParam, kSeries + n);
        EXPECT_EQ(answer.message, n == 3 ? WM_SDO_ABORT : WM_SDO_VALUE) << n;
        EXPECT_EQ(answer.wParam, n == 3 ? CVirtualDrive::kAbortValue : uint32_t(3 * n)) << n;
        // Row 3's read goes out while row 2's answer is handled.
        if (n == 2)
            drive.faults().AbortNext(1, CVirtualDrive::kAbortValue);
        page->ReleaseOne();
    }
    EXPECT_EQ(page->readCursor(), 0);
    EXPECT_EQ(Column(page->list(), 4), QStringList({"3", "6", "????", "12", "15"}));
}

TEST_F(PageDriveTest, StringsComeWholeAndTheTorquePageReadsOnActivationOnly)
{
    // Padded with zero bytes: the text ends at the first.
    drive.SetStringValue(kEmptyText, QByteArray("seven!!", 7) + QByteArray(3, '\0'));
    auto page = OfflinePage("CDriverProterty", {kDeviceName, kSerialText, kEmptyText, kMaxSpeed});
    auto torque = OfflinePage("CTorqueMode", {kGain});
    ConnectAndReload(*page);
    torque->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionReload, 0);
    ASSERT_TRUE(WaitFor([&] { return page->readCursor() == 0; }, kWaitMs));
    // Texts of one and two segments, and one of exactly 7 bytes and its padding.
    EXPECT_EQ(Column(page->list(), 4),
              QStringList({"Drivara-X1", "ABCDEFGHIJKLMN", "seven!!", "3000"}));
    // The torque page ignores action 2: a read sent then would have been answered before the
    // other page's second read went out.
    EXPECT_EQ(torque->list().GetItemText(0, 4), "");
    torque->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    ASSERT_TRUE(WaitFor([&] { return torque->list().GetItemText(0, 4) == "-5"; }, kWaitMs));
}

// An edit whose write request is lost shows what the drive holds, read back, and says that the
// write was not confirmed; a confirmed write clears that doubt.
TEST_F(PageDriveTest, AnUnconfirmedWriteShowsTheValueReadBackAndWhy)
{
    auto page = OfflinePage("CAnalogInput", {kSeries + 1});
    ConnectAndReload(*page);
    ASSERT_TRUE(WaitFor([&] { return page->list().GetItemText(0, 4) == "3"; }, kWaitMs));
    CPageListModel& list = page->list();
    const auto edit = [&](const char* text) {
        list.SetItemText(0, CPageListModel::ColValue, QString::fromLatin1(text));
        page->OnMessage(WM_CELL_EDITED, 0, CPageListModel::ColValue);
    };
    drive.faults().DropNext(1);
    edit("9");
    ASSERT_TRUE(WaitFor([&] { return !list.GetItemNote(0).isEmpty(); }, kWaitMs));
    EXPECT_EQ(list.GetItemText(0, 4), "3");
    EXPECT_TRUE(list.GetItemNote(0).startsWith(SdoFailureText(kSdoUnconfirmed)));
    edit("9");
    ASSERT_TRUE(WaitFor([&] { return list.GetItemNote(0).isEmpty(); }, kWaitMs));
    EXPECT_EQ(list.GetItemText(0, 4), "9");
}

// WriteItem sends what the write preparation accepts and nothing else (the conversions, refusals
// and command bytes are the preparation's test; the typed refusal shown is the page views').
TEST_F(PageDriveTest, WriteItemSendsOnlyAcceptedValues)
{
    sys->connected = 1;
    CPageListModel list;
    CProbeWindow window;
    for (uint32_t key : {kOddWidth, kGain})
        sys->AddPageItem(list, key, list.GetItemCount(), window.hwnd(), false);
    // The reads that adding rows sends while connected.
    ASSERT_TRUE(WaitFor([&] { return window.messages.size() >= 2; }, kWaitMs));
    baseRequests = drive.RequestCount();
    list.SetItemText(0, CPageListModel::ColValue, QStringLiteral("12")); // no write for a U24
    sys->WriteItem(window.hwnd(), list, 0);
    list.SetItemText(1, CPageListModel::ColValue, QStringLiteral("-300"));
    sys->WriteItem(window.hwnd(), list, 1);
    EXPECT_TRUE(WaitFor([&] { return drive.Value(kGain) == uint32_t(-300); }, kWaitMs));
    // The link keeps the order: a refused write sent before the awaited one would count here.
    EXPECT_EQ(Requests(), 1);
}
