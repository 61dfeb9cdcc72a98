// The page controller without a connection: creation, project hooks, page actions, the menu
// commands and the handling of answers that arrive for rows.

#include "PageTestSupport.h"

#include "comm/AbortCodes.h"
#include "pages/ParamPage.h"

#include <QDir>
#include <QSet>

#include <gtest/gtest.h>
#include <tuple>

using namespace PageTest;

namespace {

class ParamPageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys = MakeSysData(install);
        sys->mainFrameWnd = mainFrame.hwnd();
        ASSERT_TRUE(install.WritePage("AnalogInput", {kMaxSpeed, kBusVoltage, kGain, kTag}));
    }

    std::unique_ptr<CParamPage> MakePage(const char* name)
    {
        auto page = std::make_unique<CParamPage>(*sys, *FindWindow(QLatin1String(name)));
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

TEST_F(ParamPageTest, AnswersFillTheRowsAndDriveThePass)
{
    ASSERT_TRUE(install.WritePage("AnalogInput", {kMaxSpeed, kBusVoltage, kGain, kOddWidth, kTag}));
    auto page = MakePage("CAnalogInput");
    page->Create();
    CPageListModel& list = page->list();
    EXPECT_EQ(list.Columns().at(2).width, 257);
    EXPECT_TRUE(page->active());
    // Not connected: the link does not take the first read, so the pass does not run ahead of
    // an answer that will never come.
    ASSERT_EQ(page->readCursor(), 0);

    // Answers show in their rows whenever they come: values, refusals ("????" with the reason
    // as the note), a type without display ("???"), one for a row that is gone, and an exchange
    // that ended without an answer ("????": the old text is no longer the drive's value).
    const std::tuple<unsigned, uint32_t, uint32_t> answers[] = {
        {WM_SDO_VALUE, 1500, kMaxSpeed},  {WM_SDO_ABORT, 0x06020000, kBusVoltage},
        {WM_SDO_VALUE, 0xFFFB, kGain},    {WM_SDO_VALUE, 5, kOddWidth},
        {WM_SDO_VALUE, 5, kMissing},      {WM_SDO_ABORT, 0x06020000, kMissing},
        {WM_SDO_VALUE, 9, kMaxSpeed},     {WM_SDO_VALUE, 3, kTag},
        {WM_SDO_FAILED, kSdoClosed, kTag}};
    for (const auto& [message, wParam, lParam] : answers) {
        page->OnMessage(message, wParam, lParam);
        EXPECT_EQ(page->readCursor(), 0) << std::hex << lParam;
    }
    EXPECT_EQ(Column(list, 4), QStringList({"9", "????", "-5", "???", "????"}));
    EXPECT_FALSE(list.GetItemNote(1).isEmpty()) << "a refusal says why";
    EXPECT_EQ(list.GetItemNote(4), SdoFailureText(kSdoClosed));
    EXPECT_TRUE(list.GetItemNote(0).isEmpty()) << "a good value clears the note";

    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionClose, 0);
    EXPECT_FALSE(page->active());
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionActivate, 0);
    EXPECT_TRUE(page->active());
    EXPECT_EQ(page->readCursor(), 0) << "no pass without a connection";
}

TEST_F(ParamPageTest, ALostLineLeavesValuesNotCurrentUntilTheDriveAnswersAgain)
{
    ASSERT_TRUE(install.WritePage("AnalogInput", {kMaxSpeed, kTemperature, kGain, kTag}));
    auto page = MakePage("CAnalogInput");
    page->Create();
    CPageListModel& list = page->list();
    page->OnMessage(WM_SDO_VALUE, 1500, kMaxSpeed);
    page->OnMessage(WM_SDO_VALUE, 25, kTemperature);
    page->OnMessage(WM_SDO_ABORT, 0x06020000, kGain);
    const QString refused = list.GetItemNote(2);
    // Told while connected the page changes nothing; once the line is lost every answered row
    // is no longer current, the live one shows "????" and why; a row never answered has no
    // value to mistrust.
    sys->connected = 1;
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionLinkState, 0);
    EXPECT_TRUE(list.IsCurrent(0));
    sys->connected = 2;
    page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionLinkState, 0);
    EXPECT_EQ(Column(list, 4), QStringList({"1500", "????", "????", ""}));
    EXPECT_EQ(list.GetItemNote(1), SdoFailureText(kSdoClosed));
    EXPECT_EQ(list.GetItemNote(2), refused);
    const bool currentOnceLost[] = {false, false, false, true};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(list.IsCurrent(row), currentOnceLost[row]) << row;

    // A value or a refusal is the drive's answer; an exchange that failed is none.
    const QDateTime before = list.LastAnswer(0);
    page->OnMessage(WM_SDO_VALUE, 1600, kMaxSpeed);
    page->OnMessage(WM_SDO_FAILED, kSdoNoAnswer, kTemperature);
    page->OnMessage(WM_SDO_ABORT, 0x06020000, kGain);
    const bool current[] = {true, false, true, true};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(list.IsCurrent(row), current[row]) << row;
    EXPECT_GE(list.LastAnswer(0), before);
}

TEST_F(ParamPageTest, ProjectRestoreAtCreationAndOnAction4)
{
    ASSERT_TRUE(install.WritePage("DinFunctionConfig", {kGain}));
    ASSERT_TRUE(install.WritePage("ErrorHistory", {kTag}));
    ASSERT_TRUE(install.WritePage("DriverProperty", {kDeviceName}));
    // page, project opened in this run; restores and first key after creation, after action 4.
    // The input function page restores only when asked to; pages whose list is not in the
    // project never restore it.
    // clang-format off
    const std::tuple<const char*, bool, int, uint32_t, int, uint32_t> cases[] = {
        {"CAnalogInput", false, 0, kMaxSpeed, 1, kModeByte}, {"CAnalogInput", true, 1, kModeByte, 2, kModeByte},
        {"CFuncConfig", true, 0, kGain, 1, kModeByte}, {"CErrorGroup", true, 0, kTag, 0, kTag},
        {"CDriverProterty", true, 0, kDeviceName, 0, kDeviceName}};
    // clang-format on
    for (const auto& [name, opened, created, createdKey, asked, askedKey] : cases) {
        SCOPED_TRACE(std::string(name) + (opened ? " in a project" : ""));
        sys->projectOpenStamp = opened ? QStringLiteral("20240102030405") : QString();
        restores = 0;
        auto page = MakePage(name);
        page->Create();
        EXPECT_EQ(restores, created);
        EXPECT_EQ(page->list().RowKey(0), createdKey);
        page->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionRestore, 0);
        EXPECT_EQ(restores, asked);
        EXPECT_EQ(page->list().RowKey(0), askedKey);
        if (opened && created) {
            EXPECT_EQ(Column(page->list()), QStringList{"1|3146752|Mode byte|U8|7|RW|DEC"});
        }
    }

    // A restore that brings no rows falls back to the page file.
    auto empty = MakePage("CAnalogInput");
    empty->Create([&](CPageListModel&) { return ++restores > 0; });
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(empty->list().GetItemCount(), 4);

    int saves = 0;
    empty->saveHook = [&](CParamPage& page) { saves += &page == empty.get() ? 1 : 0; };
    empty->OnMessage(WM_PAGE_CONTROL, CParamPage::ActionSave, 0);
    EXPECT_EQ(saves, 1);
}

// The menu commands; a bus panel counts its rows from zero.
TEST_F(ParamPageTest, MenuCommands)
{
    auto page = MakePage("CAnalogInput");
    page->Create();
    page->CommandAdd();
    EXPECT_EQ(sys->browserRequesterWnd, page->hwnd());
    ASSERT_EQ(mainFrame.messages.size(), 1u);
    EXPECT_EQ(std::make_pair(mainFrame.messages[0].message, mainFrame.messages[0].wParam),
              std::make_pair(unsigned(WM_OPEN_WINDOW), 2u));
    // The help of the focused selected row; none without one.
    EXPECT_EQ(page->CommandHelp(2), sys->ObjectHelpText(kGain));
    EXPECT_EQ(page->CommandHelp(-1), "");
    EXPECT_EQ(page->CommandHelp(99), "");

    ASSERT_TRUE(install.WritePage("RPDO1", {kMaxSpeed, kBusVoltage, kGain}));
    auto panel = MakePage("RPDO1");
    panel->Create();
    CPageListModel& list = panel->list();
    EXPECT_EQ(Labels(list), QStringList({"0", "1*", "2"}));
    panel->focusedSelectionHook = [] { return 0; };
    panel->OnMessage(WM_ADD_OBJECT, 0, kTemperature);
    EXPECT_EQ(Labels(list), QStringList({"0*", "1", "2*", "3"}));
    panel->CommandDelete({1});
    EXPECT_EQ(Labels(list), QStringList({"0*", "1*", "2"}));
}

// The unit choices of a row, and the typed values its key, type and unit refuse (the ranges
// themselves are the write preparation's own test).
TEST_F(ParamPageTest, UnitsOfARow)
{
    ASSERT_TRUE(install.WritePage("AnalogInput", {kMaxSpeed, kGain, kOffset, kSpeed}));
    auto page = MakePage("CAnalogInput");
    page->Create();
    CPageListModel& list = page->list();
    // No unit records; a unit without label by its name; labelled units; no such row.
    const std::pair<int, QStringList> rows[] = {
        {0, {"DEC"}}, {2, {"x10"}}, {3, {"cnt", "rpm"}}, {7, {}}};
    for (const auto& [row, choices] : rows)
        EXPECT_EQ(page->GetUnitChoices(row), choices) << row;
    // The model hands the choices to the view's drop-down.
    EXPECT_EQ(list.data(list.index(3, 6), CPageListModel::UnitChoicesRole).toStringList(),
              QStringList({"cnt", "rpm"}));
    const QVector<CUnitRecord> labelled = {{"ms", "DEC", "N*10"}, {"t", "rpm", "N/10"}};
    EXPECT_EQ(CParamPage::UnitChoices(&labelled), QStringList({"rpm", "DEC"}));

    // row, unit (empty: the row's own), text, a part of the refusal ("": accepted). The refusal
    // names what is accepted, in the row's type and unit (the page views leave the text of a
    // refused non-number to this test); a unit shown only has no formula back to raw, another
    // unit chosen for the row is used instead.
    // clang-format off
    const std::tuple<int, const char*, const char*, const char*> cases[] = {
        {0, "", "12x", "\"12x\" is not a whole number from 0 to 65535 (decimal, or hexadecimal with 0x)"},
        {0, "", "65535", ""}, {2, "", "-5", "unit x10 cannot be written"}, {2, "DEC", "-5", ""}};
    // clang-format on
    for (const auto& [row, unit, text, part] : cases) {
        if (*unit)
            list.SetItemText(row, CPageListModel::ColUnit, QLatin1String(unit));
        const QString refusal = page->WriteRefusal(row, QLatin1String(text));
        EXPECT_TRUE(*part ? refusal.contains(QLatin1String(part)) : refusal.isEmpty())
            << row << " " << text << " " << refusal.toStdString();
    }
}

// The page's right-click menu: shown, add, delete and help by page kind and selection.
TEST(PageMenu, StateByPageAndSelection)
{
    // page, selection, shown, add, del, help
    // clang-format off
    const std::tuple<const char*, bool, bool, bool, bool, bool> menus[] = {
        // The motor page's menu with and without a selection is the page view's test.
        {"CErrorGroup", false, true, true, false, true}, {"CErrorGroup", true, true, true, true, true},
        {"CSpeedCircle", true, false, false, false, false}};
    // clang-format on
    for (const auto& [name, selected, shown, add, del, help] : menus) {
        const CPageMenuState state = PageMenuState(*FindWindow(QLatin1String(name)), selected);
        EXPECT_EQ(
            std::make_tuple(state.shown, state.addEnabled, state.deleteEnabled, state.helpEnabled),
            std::make_tuple(shown, add, del, help))
            << name << selected;
    }
}

// One row per window: no command, project page number, name or toolbar button twice; the
// project numbers are exactly 2 to 20 and 46 to 49; every file under sys/ but sys.ini is a
// window's, and every parameter page has its file.
TEST(WindowRegistry, EachFactOnce)
{
    QSet<int> commands, projectPages, buttons;
    QSet<QString> names;
    int rows = 0;
    for (const CWindowInfo& window : Windows()) {
        SCOPED_TRACE(window.pageName.toStdString());
        ++rows;
        commands.insert(int(window.command));
        names.insert(window.pageName);
        EXPECT_TRUE(window.projectPage == 0 || !projectPages.contains(window.projectPage));
        projectPages.insert(window.projectPage);
        EXPECT_TRUE(window.toolButton == CommandId::None ||
                    !buttons.contains(int(window.toolButton)));
        buttons.insert(int(window.toolButton));
        EXPECT_FALSE(window.title.isEmpty() || window.englishTitle.isEmpty());
        EXPECT_TRUE(!window.IsParameterPage() ||
                    QFile::exists(TestSupport::SourceDir() + "/sys/" + window.pageName + ".ini"));
    }
    EXPECT_EQ(commands.size(), rows);
    EXPECT_EQ(names.size(), rows);
    QSet<int> expectedPages{0, 46, 47, 48, 49};
    for (int page = 2; page <= 20; ++page)
        expectedPages.insert(page);
    EXPECT_EQ(projectPages, expectedPages);
    for (const QString& file :
         QDir(TestSupport::SourceDir() + "/sys").entryList({"*.ini"}, QDir::Files)) {
        EXPECT_TRUE(file == "sys.ini" || names.contains(file.chopped(4))) << file.toStdString();
    }
}

TEST(WindowRegistry, Lookups)
{
    using C = CommandId;
    // By command, toolbar button, project page number, and by name: page name, class name (the
    // first window of a class shared by the bus panels) or the command number as text.
    EXPECT_EQ(FindWindow(C::VelocityLoop)->pageName, "VelocityLoop");
    EXPECT_EQ(FindWindow(C::Tile), nullptr);
    EXPECT_EQ(FindWindowByToolButton(C::ToolDigitalIo)->command, C::DigitalIo);
    EXPECT_EQ(FindWindowByToolButton(C::Connect), nullptr);
    EXPECT_EQ(FindWindowByProjectPage(48)->command, C::TpdoTabs);
    EXPECT_EQ(FindWindowByProjectPage(0), nullptr);
    EXPECT_EQ(FindWindowByProjectPage(21), nullptr);
    // clang-format off
    const std::tuple<const char*, C, C> byName[] = {
        // name, window (None: unknown), parameter page (None: not one)
        {"VelocityLoop", C::VelocityLoop, C::VelocityLoop},
        {"CSpeedCircle", C::VelocityLoop, C::None},
        {"1217", C::VelocityLoop, C::None},
        {"RPDO3", C::Rpdo3, C::Rpdo3},
        {"CDrvPanelF002", C::EtherCat, C::None},
        {"CommSettings", C::CommSettings, C::None},
        {"Oscilloscope", C::Oscilloscope, C::None},
        {"velocityloop", C::None, C::None},
        {"1128", C::None, C::None},
        {"", C::None, C::None},
    };
    // clang-format on
    for (const auto& [name, window, page] : byName) {
        const CWindowInfo* found = FindWindow(QLatin1String(name));
        const CWindowInfo* foundPage = FindParameterPage(QLatin1String(name));
        EXPECT_EQ(found ? found->command : C::None, window) << name;
        EXPECT_EQ(foundPage ? foundPage->command : C::None, page) << name;
    }
    // A panel's title and menu text in both languages.
    const CWindowInfo& other = *FindWindow(C::PdoOther);
    EXPECT_EQ(std::make_tuple(other.Title(1), other.Title(2), other.MenuText(1), other.MenuText(2)),
              std::make_tuple(QString::fromUtf8("配置"), QString("Configure"),
                              QString::fromUtf8("其它"), QString("Other")));
    EXPECT_EQ(FindWindow(C::Rpdo3)->MenuText(2), "RPDO3");
}
