// The page controller without a connection: creation, project hooks, page actions, the menu
// commands and the handling of answers that arrive for rows.

#include "PageTestSupport.h"

#include "pages/PageTable.h"
#include "pages/ParamPage.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace PageTest;

namespace {

const CPageSpec& Spec(const char* name)
{
    const CPageSpec* spec = FindPageSpec(QLatin1String(name));
    EXPECT_NE(spec, nullptr) << name;
    static const CPageSpec none;
    return spec ? *spec : none;
}

class ParamPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys = MakeSysData(install);
        sys->mainFrameWnd = mainFrame.hwnd();
        WritePage("AnalogInput", {kMaxSpeed, kBusVoltage, kGain, kTag});
    }

    void WritePage(const char* name, std::initializer_list<uint32_t> keys)
    {
        ASSERT_TRUE(install.WritePage(QLatin1String(name), keys));
    }

    std::unique_ptr<CParamPage> MakePage(const char* name, const QString& panel = QString())
    {
        auto page = std::make_unique<CParamPage>(*sys, Spec(name), panel);
        page->restoreHook = [this, p = page.get()](CPageListModel& list) {
            ++restores;
            sys->AddPageItem(list, kModeByte, 0, p->hwnd(), false);
            list.SetItemText(0, CPageListModel::ColValue, QStringLiteral("7"));
            return true;
        };
        return page;
    }

    CPageInstall install;
    std::unique_ptr<CSysData> sys;
    CProbeWindow mainFrame;
    int restores = 0;
};

} // namespace

TEST(PageTable, NineteenDistinctPagesFoundByClassOrPageName)
{
    QSet<QString> classes;
    for (const CPageSpec& page : ParameterPages())
        classes.insert(page.className);
    EXPECT_EQ(classes.size(), 19);
    EXPECT_EQ(&Spec("CSpeedPhaseMode"), &Spec("multiVelocityMode"));
    EXPECT_EQ(FindPageSpec(QStringLiteral("MultiVelocityMode")), nullptr) << "case-sensitive";
    EXPECT_EQ(FindPageSpec(QString()), nullptr);
    EXPECT_EQ(BusPanelNames().size(), 18);
}

TEST_F(ParamPageTest, AnswersFillTheRowsAndDriveThePass)
{
    WritePage("AnalogInput", {kMaxSpeed, kBusVoltage, kGain, kOddWidth, kTag});
    auto page = MakePage("CAnalogInput");
    page->Create();
    CPageListModel& list = page->list();
    EXPECT_EQ(Labels(list), QStringList({"1", "2*", "3", "4", "5"}));
    EXPECT_EQ(list.Columns().at(2).width, 257);
    EXPECT_TRUE(page->active());
    // Not connected: the first read is dropped by the link and the pass waits at row 2.
    ASSERT_EQ(page->readCursor(), 2);

    // Each answer (value, abort or one for a row that is gone) reads the next row; a type
    // without display leaves its row and stops the pass.
    list.SetItemText(3, 4, QStringLiteral("old"));
    const std::tuple<unsigned, uint32_t, uint32_t, int> answers[] = {
        {WM_SDO_VALUE, 1500, kMaxSpeed, 3}, {WM_SDO_ABORT, 0x06020000, kBusVoltage, 4},
        {WM_SDO_VALUE, 0xFFFB, kGain, 5},   {WM_SDO_VALUE, 5, kOddWidth, 5},
        {WM_SDO_VALUE, 5, kMissing, 5},     {WM_SDO_ABORT, 0x06020000, kMissing, 6},
        {WM_SDO_VALUE, 7, kTag, 0},         {WM_SDO_VALUE, 9, kMaxSpeed, 0}};
    for (const auto& [message, wParam, lParam, cursor] : answers) {
        page->OnMessage(message, wParam, lParam);
        EXPECT_EQ(page->readCursor(), cursor) << std::hex << lParam;
    }
    EXPECT_EQ(Column(list, 4), QStringList({"9", "????", "-5", "old", "7"}));

    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionClose, 0);
    EXPECT_FALSE(page->active());
    EXPECT_EQ(page->readCursor(), 0);
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    EXPECT_TRUE(page->active());
    EXPECT_EQ(page->readCursor(), 0) << "no pass without a connection";
    page->OnMessage(WM_PAGE_CONTROL, 99, 0);
    EXPECT_EQ(list.GetItemCount(), 5);
}

TEST_F(ParamPageTest, ProjectRestoreAtCreationAndOnAction4)
{
    // No project opened in this run: the page file.
    auto plain = MakePage("CAnalogInput");
    plain->Create();
    EXPECT_EQ(restores, 0);
    EXPECT_EQ(plain->list().GetItemCount(), 4);

    sys->projectOpenStamp = QStringLiteral("20240102030405");
    auto restored = MakePage("CAnalogInput");
    restored->Create();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(Rows(restored->list()), QStringList{"1|3146752|Mode byte|U8|7|RW|DEC"});

    // A restore that brings no rows falls back to the page file.
    auto empty = MakePage("CAnalogInput");
    empty->Create([&](CPageListModel&) { return ++restores > 0; });
    EXPECT_EQ(restores, 2);
    EXPECT_EQ(empty->list().GetItemCount(), 4);

    // The input function page restores only when asked to.
    WritePage("DinFunctionConfig", {kGain});
    auto functions = MakePage("CFuncConfig");
    functions->Create();
    EXPECT_EQ(functions->list().RowKey(0), kGain);
    functions->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionRestore, 0);
    EXPECT_EQ(restores, 3);
    EXPECT_EQ(functions->list().RowKey(0), kModeByte);

    // Pages whose list is not in the project never restore it; the error page starts a pass
    // only when connected, the others read their first row regardless.
    WritePage("ErrorHistory", {kTag});
    WritePage("DriverProperty", {kDeviceName});
    for (const auto& [name, cursor] :
         {std::pair("CErrorGroup", 0), std::pair("CDriverProterty", 2)}) {
        auto page = MakePage(name);
        page->Create();
        EXPECT_EQ(page->readCursor(), cursor) << name;
        page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionRestore, 0);
        EXPECT_EQ(page->list().GetItemCount(), 1) << name;
    }
    EXPECT_EQ(restores, 3);

    int saves = 0;
    functions->saveHook = [&](CParamPage& page) { saves += &page == functions.get() ? 1 : 0; };
    functions->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionSave, 0);
    EXPECT_EQ(saves, 1);
}

TEST_F(ParamPageTest, AddObjectGoesAboveTheFocusedSelectedRow)
{
    auto page = MakePage("CAnalogInput");
    page->Create();
    CPageListModel& list = page->list();
    list.SetSelected(1, true);
    list.SetFocused(1, true);
    list.SetSelected(3, true);
    page->OnMessage(WM_ADD_OBJECT, 0, kModeByte);
    EXPECT_EQ(list.RowKey(1), kModeByte);
    EXPECT_EQ(Labels(list), QStringList({"1", "2", "3*", "4", "5"}));
    EXPECT_EQ(list.GetSelectedCount(), 0);

    // Without a focused selected row the object is appended; duplicates and strings are not.
    list.SetSelected(0, true);
    for (uint32_t key : {kTemperature, kGain, kDeviceName, kMissing})
        page->OnMessage(WM_ADD_OBJECT, 0, key);
    EXPECT_EQ(Column(list, 1).last(), QString::number(kTemperature));
    EXPECT_EQ(Labels(list), QStringList({"1", "2", "3*", "4", "5", "6*"}));
}

TEST_F(ParamPageTest, BusPanelCountsFromZero)
{
    WritePage("RPDO1", {kMaxSpeed, kBusVoltage, kGain});
    auto panel = MakePage("CDrvPanelF002", QStringLiteral("RPDO1"));
    EXPECT_EQ(panel->pageName(), "RPDO1");
    panel->Create();
    CPageListModel& list = panel->list();
    EXPECT_EQ(Labels(list), QStringList({"0", "1*", "2"}));
    list.SetSelected(0, true);
    list.SetFocused(0, true);
    panel->OnMessage(WM_ADD_OBJECT, 0, kTemperature);
    EXPECT_EQ(Labels(list), QStringList({"0*", "1", "2*", "3"}));
    list.SetSelected(1, true);
    panel->CommandDelete();
    EXPECT_EQ(Labels(list), QStringList({"0*", "1*", "2"}));

    // Other pages count from 1 after a delete.
    auto page = MakePage("CAnalogInput");
    page->Create();
    page->list().SetSelected(0, true);
    page->CommandDelete();
    EXPECT_EQ(Labels(page->list()), QStringList({"1*", "2", "3"}));
}

TEST_F(ParamPageTest, AddAndHelpCommands)
{
    auto page = MakePage("CAnalogInput");
    page->Create();
    page->CommandAdd();
    EXPECT_EQ(sys->browserRequesterWnd, page->hwnd());
    ASSERT_EQ(mainFrame.messages.size(), 1u);
    EXPECT_EQ(mainFrame.messages[0].message, WM_OPEN_WINDOW);
    EXPECT_EQ(mainFrame.messages[0].wParam, 2u);

    // The help of the focused selected row; the selection goes.
    CMessageRecorder messages;
    CPageListModel& list = page->list();
    list.SetSelected(0, true);
    list.SetSelected(2, true);
    list.SetFocused(2, true);
    const QString help = page->CommandHelp();
    EXPECT_TRUE(help.startsWith(QStringLiteral("Index: 0x300300\r\nName: Gain\r\n")))
        << help.toStdString();
    EXPECT_EQ(messages.texts, QStringList{help});
    EXPECT_EQ(list.GetSelectedCount(), 0);

    // Selected rows without the focus: the selection goes, no help.
    list.SetSelected(1, true);
    EXPECT_EQ(page->CommandHelp(), "");
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(messages.texts.size(), 1);
}
