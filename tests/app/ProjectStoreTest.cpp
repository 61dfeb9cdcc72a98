#include "TestSupport.h"

#include "app/SysData.h"

#include <gtest/gtest.h>

#include <tuple>

// The extension of the file name alone becomes ".dvp"; dots of folders stay.
TEST(ProjectStore, PathOfAChosenName)
{
    const std::pair<const char*, const char*> cases[] = {{"proj.old.txt", "proj.old.dvp"},
                                                         {"/a.b/proj", "/a.b/proj.dvp"},
                                                         {"C:\\a.b\\proj", "C:\\a.b\\proj.dvp"},
                                                         {"/a.b/proj.dvp", "/a.b/proj.dvp"},
                                                         {".hidden", ".hidden.dvp"},
                                                         {"/u/.dvp", "/u/.dvp"}};
    for (const auto& [chosen, path] : cases)
        EXPECT_EQ(CProjectStore::ProjectPath(QString::fromUtf8(chosen)), QString::fromUtf8(path));
}

// One project read with either end of line: placements (active or not, a two-character flag or
// blanks shifting the numbers, lines that are no entry) and list rows (key, value and unit as
// saved, a value's comma moving the rest to the unit, a missing unit the object's default; the
// restore ends at the first key the dictionary lacks or the first missing line).
TEST(ProjectStore, ReadsPlacementsAndRows)
{
    TestSupport::TempInstall install;
    CSysData sys({install.base(), 1033});
    ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
    const QString text = "[Drivara:1]|4=1,40,12|5=0,40,12|6=|7=10,40,12|8=1,-5,-20|9=1|garbage|"
                         "13 = 1 , 7 , 9 |[Drivara:4]|num=6|0=2236417,120,DEC|1=2236422,-3,rpm|"
                         "2=2236418,1,5,ms|3=2236419|4=99,1,DEC|5=2236420,7,ms|[Drivara:5]|"
                         "num=x|0=2236417,1,DEC|[Drivara:7]|num=99999|0=2236417,5,DEC|[x]|3=1,1,1";
    constexpr int c = 20; // caption height
    const std::tuple<int, bool, int, int> placements[] = {{4, true, 34, 12 - 59 - c},
                                                          {5, false, 0, 0},
                                                          {6, false, 0, 0},
                                                          {7, true, -6, 40 - 59 - c},
                                                          {8, true, -11, -20 - 59 - c},
                                                          {9, true, -6, -59 - c},
                                                          {13, true, -6, 7 - 59 - c},
                                                          {3, false, 0, 0}};
    const std::pair<int, QString> lists[] = {
        {4, "1 2236417 120 DEC|2* 2236422 -3 rpm|3 2236418 1 5,ms|4 2236419  Hz"},
        {5, ""},
        {7, "1 2236417 5 DEC"},
        {9, ""}};
    for (const char* eol : {"\r\n", "\n"}) {
        sys.project.OpenProjectText("p.dvp", QString(text).replace('|', eol).toUtf8());
        for (const auto& [page, found, left, top] : placements) {
            const CProjectPlacement at = sys.project.ReadPlacement(page, c);
            EXPECT_EQ(std::make_tuple(at.found, at.left, at.top), std::make_tuple(found, left, top))
                << page;
        }
        for (const auto& [page, rows] : lists) {
            CPageListModel list;
            sys.InitParamList(list);
            list.InsertItem(0, QStringLiteral("old"));
            sys.project.RestorePageList(list, page, HWND(7));
            QStringList restored;
            for (int r = 0; r < list.GetItemCount(); ++r)
                restored << QStringList{list.GetItemText(r, 0), list.GetItemText(r, 1),
                                        list.GetItemText(r, 4), list.GetItemText(r, 6)}
                                .join(' ');
            EXPECT_EQ(restored.join('|'), rows) << page;
        }
    }
}
