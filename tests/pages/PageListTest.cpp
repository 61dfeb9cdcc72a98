// Page definition files, rows, labels, cell texts and help texts, without a drive.

#include "PageTestSupport.h"

#include "pages/PageListModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

using namespace PageTest;

namespace {

class PageListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sys = MakeSysData(install);
        ASSERT_GT(sys->dictionary.GetCount(), 0);
        sys->InitParamList(list);
    }

    void Load(const QStringList& items, const QString& num = QString())
    {
        list.DeleteAllItems();
        ASSERT_TRUE(install.WritePage(QStringLiteral("TestPage"), items, num));
        sys->LoadPageDefinition(list, QStringLiteral("TestPage"), window.hwnd());
    }

    void Add(uint32_t key, int row, bool includeStrings = true)
    {
        sys->AddPageItem(list, key, row, window.hwnd(), includeStrings);
    }

    CPageInstall install;
    std::unique_ptr<CSysData> sys;
    CPageListModel list;
    CProbeWindow window;
};

} // namespace

TEST_F(PageListTest, PageFileRowsAndRefusedFiles)
{
    // Keys are hexadecimal and each is shown once; other characters are skipped; 31 characters
    // are read. A row keeps its item number as its label.
    TestSupport::MessageRecorder messages;
    Load({Hex(kMaxSpeed), Hex(kBusVoltage), "0x" + Hex(kMaxSpeed), Hex(kMaxSpeed).toLower(),
          "0X300300", " 30 03 00 ", QString(25, QLatin1Char('z')) + Hex(kModeByte)});
    EXPECT_EQ(Column(list),
              QStringList({"1|3145984|Max speed|U16||RW|DEC", "2*|3146240|Bus voltage|U16||R|DEC",
                           "5|3146496|Gain|I16||RW|DEC", "7|3146752|Mode byte|U8||RW|DEC"}));
    EXPECT_TRUE(messages.Take().isEmpty());

    // A file that cannot make its page gives no row at all, and one message naming the file and
    // why: a page with rows silently missing would pass for a drive without those objects.
    const QStringList three{Hex(kMaxSpeed), Hex(kGain), Hex(kTag)};
    const struct
    {
        const char* what;
        QStringList items;
        const char* num; // null: the number of items
        const char* message;
    } refused[] = {
        {"num not a number", three, "abc",
         "num=abc in section [TestPage] is not a number of items"},
        {"num negative", three, "-4", "num=-4 in section"},
        {"num zero", three, "0", "num=0 in section"},
        {"num with a sign", three, "+2", "num=+2 in section"},
        {"no items", {}, nullptr, "num=0 in section"},
        {"num far beyond the items", three, "2000000000", "item 4 is missing or empty"},
        {"an empty item", {Hex(kMaxSpeed), "", Hex(kTag)}, nullptr, "item 2 is missing or empty"},
        {"an object not in the dictionary",
         {Hex(kMaxSpeed), Hex(kMissing), Hex(kBusVoltage)},
         nullptr,
         "lists objects that are not in the dictionary: 5FFF00 (item 2)"},
        {"digits past 31 characters",
         {QString(31, QLatin1Char('z')) + Hex(kTag)},
         nullptr,
         "000000 (item 1)"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        Load(c.items, c.num ? QString::fromLatin1(c.num) : QString());
        EXPECT_EQ(list.GetItemCount(), 0);
        const QStringList said = messages.Take();
        ASSERT_EQ(said.size(), 1);
        EXPECT_TRUE(said.front().contains(install.path(QStringLiteral("sys/TestPage.ini"))))
            << said.front().toStdString();
        EXPECT_TRUE(said.front().contains(QLatin1String(c.message))) << said.front().toStdString();
    }

    // No file, or a file without the page's section: no rows, and said so.
    list.DeleteAllItems();
    sys->LoadPageDefinition(list, QStringLiteral("NoSuchPage"), window.hwnd());
    ASSERT_TRUE(install.WriteRaw(QStringLiteral("sys/Other.ini"), "[Else]\nnum=1\n1=300100\n"));
    sys->LoadPageDefinition(list, QStringLiteral("Other"), window.hwnd());
    EXPECT_EQ(list.GetItemCount(), 0);
    const QStringList said = messages.Take();
    ASSERT_EQ(said.size(), 2);
    EXPECT_TRUE(said[0].endsWith(QLatin1String("NoSuchPage.ini is missing")));
    EXPECT_TRUE(said[1].contains(QLatin1String("section [Other] has no num")));
}

TEST_F(PageListTest, AddedRowsAndTheirLabels)
{
    TestSupport::MessageRecorder messages;
    Add(kSpeed, 0);
    Add(kTemperature, 1);
    Add(kSpeed, 2);             // already there
    Add(kMissing, 2);           // not in the dictionary
    Add(kDeviceName, 2, false); // strings only when asked for
    Add(kBrokenUnit, 2);        // kept, without unit
    Add(kDeviceName, 3);
    EXPECT_EQ(Column(list),
              QStringList({"1|3147520|Speed|I32||RW|cnt", "2*|3147776|Temperature|I16||RL|DEC",
                           "3|3149056|Broken unit|U16||RW|",
                           "4*|3148032|Device name|VISIBLE STRING||R|DEC"}));
    EXPECT_EQ(messages.Take(), QStringList{"Add default unit failure \n"});
    // Polled objects are registered for the window that shows them.
    EXPECT_TRUE(sys->link.FindLoop(window.hwnd(), kTemperature));
    EXPECT_FALSE(sys->link.FindLoop(window.hwnd(), kSpeed));

    // Inserting and deleting relabel the rows below from their attributes.
    Add(kGain, 1);
    ASSERT_EQ(Labels(list), QStringList({"1", "2", "3*", "4", "5*"}));
    QString type = QStringLiteral("untouched");
    int row = -5;
    EXPECT_EQ(sys->FindItemRow(list, kMissing, type, row), "");
    EXPECT_EQ(std::make_pair(row, type), std::make_pair(-1, QString("untouched")));
    EXPECT_EQ(sys->FindItemRow(list, kTemperature, type, row), "DEC");
    EXPECT_EQ(std::make_pair(row, type), std::make_pair(2, QString("I16")));
    sys->DeleteSelectedRows(list, {3, 1, 3}); // any order, duplicates once
    EXPECT_EQ(Labels(list), QStringList({"1", "2*", "3*"}));
    EXPECT_EQ(list.RowOfKey(kDeviceName), 2);
    sys->DeleteSelectedRows(list, {});  // nothing selected: nothing deleted
    sys->DeleteSelectedRows(list, {7}); // a row that is gone: nothing deleted
    EXPECT_EQ(list.GetItemCount(), 3);
}

TEST_F(PageListTest, HelpTextOfAnObject)
{
    EXPECT_EQ(sys->ObjectHelpText(0x604100),
              QStringLiteral("Index: 0x604100\r\nName: Statusword\r\nData Type: U16  RL"
                             "\r\nModbus address: none\r\nOperator Help:\r\n"
                             "Shows the drive state。\r\nBit 3 is the fault bit.\r\nRead only."));
    const QString maxSpeed = sys->ObjectHelpText(kMaxSpeed);
    EXPECT_TRUE(maxSpeed.contains(QStringLiteral("\r\nModbus address: 0x1A2B\r\n")));
    EXPECT_TRUE(sys->ObjectHelpText(kSerialText).startsWith(QStringLiteral("Index: 0x300A00\r\n")));

    // Nothing is shown for an object the dictionary does not hold.
    TestSupport::MessageRecorder messages;
    sys->ShowObjectHelp(kMissing);
    sys->ShowObjectHelp(kMaxSpeed);
    EXPECT_EQ(messages.Kinds(), std::vector<MessageKind>{MessageKind::Information});
    EXPECT_EQ(messages.Take(), QStringList{maxSpeed});
}

TEST(PageListModel, KeyIndexFollowsInsertsDeletesAndEdits)
{
    CPageListModel model;
    for (int i = 0; i < 300; ++i) {
        model.InsertItem(i, QStringLiteral("x"));
        model.SetItemText(i, CPageListModel::ColKey, QString::number(1000 + i));
    }
    EXPECT_EQ(model.RowOfKey(1299), 299);
    // Insert a row at a position (i), delete a row (d) or give a row a key (k); then the row of
    // a key.
    const std::tuple<char, int, uint32_t, uint32_t, int> steps[] = {
        {'i', -7, 5, 1000, 1},      // clamped to the top; the rows below move down
        {'i', 9999, 6, 6, 301},     // clamped to the end
        {'d', 0, 0, 5, -1},         // the rows below move up
        {'i', 9999, 1000, 1000, 0}, // the same key twice: the first row from the top,
        {'k', 0, 77, 1000, 301},    // also after the upper one changes key
        {'k', 5, 77, 77, 0},        {'k', 0, 78, 77, 5}};
    for (const auto& [op, row, key, probe, expected] : steps) {
        SCOPED_TRACE(testing::Message() << op << " " << row << " " << key);
        if (op == 'd') {
            EXPECT_TRUE(model.DeleteItem(row));
        } else {
            const int at = op == 'i' ? model.InsertItem(row, QStringLiteral("x")) : row;
            model.SetItemText(at, CPageListModel::ColKey, QString::number(key));
        }
        EXPECT_EQ(model.RowOfKey(probe), expected);
    }

    EXPECT_FALSE(model.DeleteItem(-1));
    EXPECT_FALSE(model.SetItemText(model.GetItemCount(), 0, QStringLiteral("a")));
    EXPECT_EQ(model.GetItemText(0, 7), "");
    model.DeleteAllItems();
    EXPECT_EQ(model.RowOfKey(78), -1);
    EXPECT_EQ(model.RowKey(0), 0u);
}

TEST(FormatValue, TextOfEachFormatAndSize)
{
    // format, data type, value, formula, text
    // clang-format off
    const std::tuple<const char*, const char*, double, const char*, const char*> cases[] = {
        // ASCII: the bytes low first up to the first zero, one character per byte.
        {"ASCII", "U8", 0x4241, "", "A"}, {"ASCII", "U16", 0xE9C4, "", "Äé"},
        {"ASCII", "U32", 0x44434241, "", "ABCD"}, {"ASCII", "U32", 0x44004241, "", "AB"},
        {"ASCII", "U24", 65, "", "???"},
        // HEX: masked to the type's size, no zero fill.
        {"HEX", "I8", -1, "", "ff"}, {"HEX", "I16", -1, "", "ffff"}, {"HEX", "I32", -1, "", "ffffffff"},
        {"HEX", "U16", 0x0A, "", "a"}, {"HEX", "U64", 1, "", "???"},
        // DEC (or no format, as an empty unit writes decimal): truncated toward zero; a value
        // that is no number shows "????".
        {"DEC", "U32", 4294967295.0, "", "4294967295"}, {"DEC", "I32", -1, "", "-1"},
        {"DEC", "U8", 200.9, "", "200"}, {"DEC", "I8", -3.7, "", "-3"}, {"DEC", "", 5, "", "???"},
        {"", "I16", -7, "", "-7"}, {"rpm", "I32", HUGE_VAL, "N/0", "????"},
        // Unit names: three decimals, unless the formula is the identity; keywords are
        // case-sensitive.
        {"rpm", "I32", 120, "N*60/4096", "120.000"}, {"rpm", "I32", -0.0626, "N/16", "-0.063"},
        {"rpm", "I32", 2.0005, "N/16", "2.001"}, {"rpm", "I32", -0.0, "N/16", "-0.000"},
        {"cnt", "U32", 4294967295.0, "N*1", "4294967295"}, {"dec", "I16", 3, "", "3.000"}};
    // clang-format on
    for (const auto& [format, type, value, formula, text] : cases)
        EXPECT_EQ(CSysData::FormatValue(QLatin1String(format), QLatin1String(type),
                                        QLatin1String(formula), value),
                  QString::fromUtf8(text))
            << format << " " << type << " " << value;
}

TEST(FormatValue, RawToValueSignExtendsBySize)
{
    // clang-format off
    const std::tuple<const char*, uint32_t, double> cases[] = {
        {"I16", 0xFF80, -128}, {"U16", 0xFF80, 65408}, {"INTEGER8", 0x80, -128}, {"I8", 0x7F, 127},
        {"I32", 0x80000000, -2147483648.0}, {"UNSIGNED32", 0xFFFFFFFF, 4294967295.0},
        {"u8", 0x1FF, 255}, // cut to the type
        {"", 1, 42}, {"VISIBLE STRING", 1, 42}, {"U24", 1, 42}, {"I64", 1, 42}};
    // clang-format on
    for (const auto& [type, raw, expected] : cases) {
        double value = 42; // left as it is when the type has no value
        EXPECT_EQ(CSysData::RawToValue(QLatin1String(type), raw, value), expected != 42) << type;
        EXPECT_EQ(value, expected) << type << " " << raw;
    }
}
