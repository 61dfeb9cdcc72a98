// The page controller without a connection: creation, project hooks, page actions, the menu
// commands and the handling of answers that arrive for rows.

#include "PageTestSupport.h"

#include "pages/PageTable.h"
#include "pages/ParamPage.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace PageTest;

namespace {

QString Key(uint32_t key)
{
    return QString::number(key, 16).toUpper();
}

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
        ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"),
                                      {Key(kMaxSpeed), Key(kBusVoltage), Key(kGain), Key(kTag)}));
    }

    std::unique_ptr<CParamPage> MakePage(const char* name, const QString& panel = QString())
    {
        return std::make_unique<CParamPage>(*sys, Spec(name), panel);
    }

    // Rows restored from a project: one row with its saved value.
    static bool RestoreOneRow(CPageListModel& list, CSysData& sys, HWND hwnd)
    {
        sys.AddPageItem(list, kModeByte, 0, hwnd, false);
        list.SetItemText(0, CPageListModel::ColValue, QStringLiteral("7"));
        return true;
    }

    CPageInstall install;
    std::unique_ptr<CSysData> sys;
    CProbeWindow mainFrame;
};

} // namespace

TEST(PageTable, NineteenPagesWithDistinctIdentities)
{
    const auto& pages = ParameterPages();
    ASSERT_EQ(pages.size(), 19);
    QSet<QString> classes, names;
    QSet<int> templates, commands, projectPages;
    for (const CPageSpec& page : pages) {
        classes.insert(page.className);
        templates.insert(page.templateId);
        if (page.variant == PageVariant::BusPanel)
            continue;
        names.insert(page.pageName);
        commands.insert(page.menuCommand);
        projectPages.insert(page.projectPage);
        EXPECT_FALSE(page.title.isEmpty()) << page.className.toStdString();
        EXPECT_FALSE(page.englishTitle.isEmpty()) << page.className.toStdString();
    }
    EXPECT_EQ(classes.size(), 19);
    EXPECT_EQ(templates.size(), 19);
    EXPECT_EQ(names.size(), 18);
    EXPECT_EQ(commands.size(), 18);
    EXPECT_EQ(projectPages.size(), 18);
    EXPECT_FALSE(projectPages.contains(0));

    EXPECT_EQ(&Spec("CSpeedPhaseMode"), &Spec("multiVelocityMode"));
    EXPECT_EQ(FindPageSpec(QStringLiteral("MultiVelocityMode")), nullptr) << "case-sensitive";
    EXPECT_EQ(FindPageSpec(QString()), nullptr);
    EXPECT_EQ(Spec("CDriverProterty").projectPage, 46);
    EXPECT_EQ(Spec("ErrorHistory").projectPage, 20);
    EXPECT_EQ(Spec("CTorqueMode").variant, PageVariant::TorqueMode);
    EXPECT_EQ(Spec("CDrvPanelF002").variant, PageVariant::BusPanel);
    EXPECT_EQ(Spec("AnalogInput").title, QString::fromUtf8("模拟输入"));
    EXPECT_EQ(Spec("AnalogInput").menuCommand, 1219);

    const QVector<QString> panels = BusPanelNames();
    ASSERT_EQ(panels.size(), 18);
    EXPECT_EQ(panels.first(), "RPDO1");
    EXPECT_TRUE(panels.contains("TPDO8"));
    EXPECT_TRUE(panels.contains("EtherCAT"));
    EXPECT_EQ(panels.last(), "PdoOther");
}

TEST_F(ParamPageTest, CreationLoadsThePageAndStartsAPass)
{
    auto page = MakePage("CAnalogInput");
    page->Create();
    EXPECT_EQ(Labels(page->list()), QStringList({"1", "2*", "3", "4"}));
    EXPECT_EQ(page->list().Columns().at(2).width, 257);
    EXPECT_TRUE(page->active());
    // Not connected: the first read is dropped by the link and the pass waits at row 2.
    EXPECT_EQ(page->readCursor(), 2);

    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionClose, 0);
    EXPECT_FALSE(page->active());
    EXPECT_EQ(page->readCursor(), 0);
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    EXPECT_TRUE(page->active());
    EXPECT_EQ(page->readCursor(), 0) << "no pass without a connection";
    page->OnMessage(WM_PAGE_CONTROL, 6, 0);
    page->OnMessage(WM_PAGE_CONTROL, 99, 0);
    EXPECT_EQ(page->list().GetItemCount(), 4);
}

TEST_F(ParamPageTest, AnswersFillTheRowsAndDriveThePass)
{
    auto page = MakePage("CAnalogInput");
    page->Create();
    ASSERT_EQ(page->readCursor(), 2);
    CParamPage& p = *page;

    p.OnMessage(WM_SDO_VALUE, 1500, kMaxSpeed);
    EXPECT_EQ(p.list().GetItemText(0, 4), "1500");
    EXPECT_EQ(p.readCursor(), 3);
    p.OnMessage(WM_SDO_ABORT, 0x06020000, kBusVoltage);
    EXPECT_EQ(p.list().GetItemText(1, 4), "????");
    EXPECT_EQ(p.readCursor(), 4);
    p.OnMessage(WM_SDO_VALUE, 0xFFFB, kGain);
    EXPECT_EQ(p.list().GetItemText(2, 4), "-5");
    EXPECT_EQ(p.readCursor(), 5);

    // An abort for a row that is gone lets the pass go on; a value for it ends the pass.
    p.OnMessage(WM_SDO_ABORT, 0x06020000, kMissing);
    EXPECT_EQ(p.readCursor(), 0) << "past the last row";
    p.OnMessage(WM_SDO_VALUE, 7, kTag);
    EXPECT_EQ(p.list().GetItemText(3, 4), "7") << "values update rows outside a pass";
    EXPECT_EQ(p.readCursor(), 0);
}

TEST_F(ParamPageTest, UnsupportedTypesLeaveTheRowAndStopThePass)
{
    ASSERT_TRUE(install.WritePage(QStringLiteral("AnalogInput"),
                                  {Key(kMaxSpeed), Key(kOddWidth), Key(kGain)}));
    auto page = MakePage("CAnalogInput");
    page->Create();
    page->OnMessage(WM_SDO_VALUE, 1, kMaxSpeed);
    ASSERT_EQ(page->readCursor(), 3);
    page->list().SetItemText(1, 4, QStringLiteral("old"));
    page->OnMessage(WM_SDO_VALUE, 5, kOddWidth);
    EXPECT_EQ(page->list().GetItemText(1, 4), "old");
    EXPECT_EQ(page->readCursor(), 3);
    page->OnMessage(WM_SDO_VALUE, 5, kMissing);
    EXPECT_EQ(page->readCursor(), 3);
}

TEST_F(ParamPageTest, ProjectRestoreAtCreationAndOnAction4)
{
    int calls = 0;
    const auto hookFor = [&](CParamPage& page) {
        return [&calls, this, &page](CPageListModel& list) {
            ++calls;
            return RestoreOneRow(list, *sys, page.hwnd());
        };
    };

    // No project opened in this run: the page file.
    auto plain = MakePage("CAnalogInput");
    plain->restoreHook = hookFor(*plain);
    plain->Create();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(plain->list().GetItemCount(), 4);

    sys->projectOpenStamp = QStringLiteral("20240102030405");
    auto restored = MakePage("CAnalogInput");
    restored->Create(hookFor(*restored));
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(restored->list().GetItemCount(), 1) << "restored rows replace the page file";
    EXPECT_EQ(restored->list().GetItemText(0, 4), "7");

    // A restore that brings no rows falls back to the page file.
    auto empty = MakePage("CAnalogInput");
    empty->Create([&](CPageListModel&) { return ++calls > 0; });
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(empty->list().GetItemCount(), 4);

    // The input function page restores only when asked to.
    ASSERT_TRUE(install.WritePage(QStringLiteral("DinFunctionConfig"), {Key(kGain)}));
    auto functions = MakePage("CFuncConfig");
    functions->restoreHook = hookFor(*functions);
    functions->Create();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(Column(functions->list(), 1), QStringList({QString::number(kGain)}));
    functions->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionRestore, 0);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(functions->list().RowKey(0), kModeByte);

    // Pages whose list is not in the project never restore it.
    ASSERT_TRUE(install.WritePage(QStringLiteral("ErrorHistory"), {Key(kTag)}));
    ASSERT_TRUE(install.WritePage(QStringLiteral("DriverProperty"), {Key(kDeviceName)}));
    for (const char* name : {"CErrorGroup", "CDriverProterty"}) {
        auto page = MakePage(name);
        page->restoreHook = hookFor(*page);
        page->Create();
        page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionRestore, 0);
        EXPECT_EQ(page->list().GetItemCount(), 1) << name;
        EXPECT_EQ(page->list().RowOfKey(kModeByte), -1) << name;
    }
    EXPECT_EQ(calls, 3);

    int saves = 0;
    functions->saveHook = [&](CParamPage& page) { saves += &page == functions.get() ? 1 : 0; };
    functions->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionSave, 0);
    EXPECT_EQ(saves, 1);
}

TEST_F(ParamPageTest, DriverPropertyListSetUpAndErrorGroupWithoutConnection)
{
    ASSERT_TRUE(
        install.WritePage(QStringLiteral("DriverProperty"), {Key(kDeviceName), Key(kMaxSpeed)}));
    const auto widths = [](CParamPage& page) {
        QVector<int> result;
        for (const auto& column : page.list().Columns())
            result.append(column.width);
        return result;
    };
    auto property = MakePage("CDriverProterty");
    property->Create();
    EXPECT_EQ(widths(*property), QVector<int>({50, 0, 150, 0, 260, 0, 80}));
    EXPECT_EQ(property->list().GetItemCount(), 2) << "strings are shown on this page";
    sys->dotsPerInch = 120;
    auto large = MakePage("CDriverProterty");
    large->Create();
    EXPECT_EQ(widths(*large), QVector<int>({50, 0, 200, 0, 320, 0, 90}));

    ASSERT_TRUE(install.WritePage(QStringLiteral("ErrorHistory"), {Key(kTag), Key(kGain)}));
    auto errors = MakePage("CErrorGroup");
    errors->Create();
    EXPECT_EQ(errors->list().GetItemCount(), 2);
    EXPECT_TRUE(errors->active());
    EXPECT_EQ(errors->readCursor(), 0) << "a pass only when connected";
}

TEST_F(ParamPageTest, AddObjectGoesAboveTheFocusedRow)
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
    EXPECT_FALSE(list.IsFocused(2));

    // Without a focused selected row the object is appended; duplicates and strings are not.
    list.SetSelected(0, true);
    page->OnMessage(WM_ADD_OBJECT, 0, kTemperature);
    EXPECT_EQ(list.RowKey(5), kTemperature);
    EXPECT_EQ(list.GetItemText(5, 0), "6*");
    page->OnMessage(WM_ADD_OBJECT, 0, kGain);
    page->OnMessage(WM_ADD_OBJECT, 0, kDeviceName);
    page->OnMessage(WM_ADD_OBJECT, 0, kMissing);
    EXPECT_EQ(list.GetItemCount(), 6);
}

TEST_F(ParamPageTest, BusPanelCountsFromZero)
{
    ASSERT_TRUE(
        install.WritePage(QStringLiteral("RPDO1"), {Key(kMaxSpeed), Key(kBusVoltage), Key(kGain)}));
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
    EXPECT_EQ(mainFrame.messages[0].lParam, 0u);

    CMessageRecorder messages;
    CPageListModel& list = page->list();
    list.SetSelected(0, true);
    list.SetSelected(2, true);
    list.SetFocused(2, true);
    list.SetSelected(3, true);
    const QString help = page->CommandHelp();
    EXPECT_TRUE(help.startsWith(QStringLiteral("Index: 0x300300\r\nName: Gain\r\n")))
        << help.toStdString();
    EXPECT_EQ(list.GetSelectedCount(), 0);
    auto entries = messages.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, help);
    EXPECT_EQ(entries[0].kind, MessageKind::Information);

    // Selected rows without the focus: the selection goes, no help.
    list.SetSelected(1, true);
    EXPECT_EQ(page->CommandHelp(), "");
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(messages.Entries().size(), 1u);
}
