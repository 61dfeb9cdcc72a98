#include "TestSupport.h"

#include "app/SysData.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <tuple>

namespace {
using Col = CPageListModel::Column;
constexpr int kCaption = 20;

// The data object of a temporary installation with the shipped dictionary loaded.
struct StoreBench
{
    TestSupport::TempInstall install;
    CSysData sys{{install.base(), 1033}};
    bool Ready() { return sys.dictionary.WaitUntilLoaded(60000); }
    // Opens the text as the project file (lines joined by the given end of line).
    void Open(const QStringList& lines, const char* eol)
    {
        sys.project.OpenProjectText(QStringLiteral("p.dvp"),
                                    lines.join(QLatin1String(eol)).toUtf8());
    }
    // Each row as "label|key|value|unit".
    static QStringList Rows(const CPageListModel& list)
    {
        QStringList rows;
        for (int r = 0; r < list.GetItemCount(); ++r)
            rows << QStringList{list.GetItemText(r, Col::ColLabel),
                                list.GetItemText(r, Col::ColKey),
                                list.GetItemText(r, Col::ColValue),
                                list.GetItemText(r, Col::ColUnit)}
                        .join(QLatin1Char('|'));
        return rows;
    }
};
} // namespace

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

// Placement entries with either end of line, and the lines that are not what a save writes.
TEST(ProjectStore, ReadsPlacements)
{
    StoreBench bench;
    const QStringList lines = {
        "[Drivara:1]", "4=1,40,12",    "5=0,40,12",       "6=",      "7=10,40,12", "8=1,-5,-20",
        "9=1",         "garbage line", "13 = 1 , 7 , 9 ", "[other]", "3=1,1,1"};
    // page, found, left, top
    const std::tuple<int, bool, int, int> cases[] = {
        {4, true, 34, 12 - 59 - kCaption},
        {5, false, 0, 0}, // inactive when saved
        {6, false, 0, 0},
        {3, false, 0, 0},                  // empty; another section
        {7, true, -6, 40 - 59 - kCaption}, // a two-character flag shifts all
        {8, true, -11, -20 - 59 - kCaption},
        {9, true, -6, -59 - kCaption},
        {13, true, -6, 7 - 59 - kCaption}}; // blanks count as characters
    for (const char* eol : {"\r\n", "\n"}) {
        bench.Open(lines, eol);
        for (const auto& [page, found, left, top] : cases) {
            SCOPED_TRACE(page);
            const CProjectPlacement placement = bench.sys.project.ReadPlacement(page, kCaption);
            EXPECT_EQ(std::make_tuple(placement.found, placement.left, placement.top),
                      std::make_tuple(found, left, top));
        }
    }
}

// A page's rows: key, value and unit as saved, a value's comma moving the rest to the unit, a
// missing unit the object's default; the restore ends at the first key the dictionary lacks.
TEST(ProjectStore, RestoresListRows)
{
    StoreBench bench;
    ASSERT_TRUE(bench.Ready());
    const QStringList lines = {
        "[Drivara:4]",      "num=6",          "0=2236417,120,DEC", "1=2236422,-3,rpm",
        "2=2236418,1,5,ms", "3=2236419",      "4=99,1,DEC",        "5=2236420,7,ms",
        "[Drivara:5]",      "num=x",          "0=2236417,1,DEC",   "[Drivara:7]",
        "num=999999",       "0=2236417,5,DEC"};
    const std::pair<int, QStringList> cases[] = {
        {4, {"1|2236417|120|DEC", "2*|2236422|-3|rpm", "3|2236418|1|5,ms", "4|2236419||Hz"}},
        {5, {}},                  // "num" that is no number
        {7, {"1|2236417|5|DEC"}}, // more rows counted than written
        {9, {}}};                 // no section
    for (const char* eol : {"\r\n", "\n"}) {
        bench.Open(lines, eol);
        for (const auto& [page, rows] : cases) {
            SCOPED_TRACE(page);
            CPageListModel list;
            bench.sys.InitParamList(list);
            list.InsertItem(0, QStringLiteral("old"));
            EXPECT_EQ(bench.sys.project.RestorePageList(list, page, HWND(7)), rows.size());
            EXPECT_EQ(StoreBench::Rows(list), rows);
        }
    }
}

// What a save writes reads back; a file that cannot be read is refused and the project opened
// before stays the one pages restore from.
TEST(ProjectStore, SavesAndRefusesWhatItCannotRead)
{
    StoreBench bench;
    ASSERT_TRUE(bench.Ready());
    CProjectStore& store = bench.sys.project;
    CPageListModel list;
    bench.sys.InitParamList(list);
    ASSERT_TRUE(bench.sys.LoadPageDefinition(list, QStringLiteral("VelocityLoop"), HWND(7)));
    list.SetItemText(0, Col::ColValue, QStringLiteral("a\nb"));
    const QStringList saved = StoreBench::Rows(list);

    const QString path = bench.install.path(QStringLiteral("user/p.dvp"));
    store.SetProjectWritePath(path);
    EXPECT_FALSE(store.SavePageList(list, 4)); // no save running
    store.BeginSave();
    EXPECT_TRUE(store.SavePageList(list, 4));
    EXPECT_TRUE(store.SavePlacement(4, {140, 212}, {100, 100}, kCaption, true));
    QString error;
    ASSERT_TRUE(store.CommitSave(error)) << error.toStdString();

    ASSERT_TRUE(store.OpenProject(path, error));
    const QString other = bench.install.path(QStringLiteral("user/binary.dvp"));
    ASSERT_TRUE(bench.install.writeFile(QStringLiteral("user/binary.dvp"), QByteArray("1\0=2", 4)));
    for (const QString& bad : {other, bench.install.path(QStringLiteral("user")),
                               bench.install.path(QStringLiteral("user/none.dvp"))}) {
        EXPECT_FALSE(store.OpenProject(bad, error));
        EXPECT_TRUE(error.contains(bad)) << error.toStdString();
    }
    EXPECT_EQ(store.projectReadPath(), path);
    CPageListModel restored;
    bench.sys.InitParamList(restored);
    store.RestorePageList(restored, 4, HWND(7));
    QStringList expected = saved;
    expected[0].replace(QLatin1String("a\nb"), QLatin1String("a b"));
    EXPECT_EQ(StoreBench::Rows(restored), expected);
    const CProjectPlacement placement = store.ReadPlacement(4, kCaption);
    EXPECT_EQ(QPoint(placement.left, placement.top),
              QPoint(40 - 6, 112 - kCaption - 59 - kCaption));
}
