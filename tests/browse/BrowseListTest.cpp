#include "browse/BrowseList.h"
#include "dictionary/SdoDatabase.h"

#include <gtest/gtest.h>

namespace {

std::vector<CBrowseEntry> Entries()
{
    // Dictionary order on purpose out of both orders.
    const std::pair<uint32_t, const char*> objects[] = {
        {0x606C00, "velocity actual"}, {0x200101, "Speed_Loop"}, {0x604100, "Statusword"},
        {0x200100, "max SPEED"},       {0x1A0001, "TPDO1 map"},  {0x607F00, "speed limit"},
    };
    std::vector<CBrowseEntry> entries;
    for (const auto& [key, name] : objects) {
        CSdoRecord record;
        record.index = key >> 8;
        record.subindex = uint8_t(key);
        record.name = QString::fromLatin1(name);
        record.attribute = key == 0x1A0001 ? QStringLiteral("RWSM") : QStringLiteral("RW");
        entries.push_back(CBrowseEntry::FromRecord(record));
    }
    return entries;
}

QStringList Names(const CSdoBrowseList& list)
{
    QStringList names;
    for (int row = 0; row < list.RowCount(); ++row)
        names.append(list.At(row).name);
    return names;
}

TEST(BrowseList, OrdersAsChosen)
{
    CSdoBrowseList list;
    list.SetEntries(Entries());
    const QStringList dictionaryOrder = Names(list);
    struct Step
    {
        BrowseOrder order;
        bool moves;
        QStringList names;
    };
    // Index order right after filling changes nothing; names sort by character codes, so
    // upper-case letters come before lower-case ones.
    const Step steps[] = {
        {BrowseOrder::ByIndex, false, dictionaryOrder},
        {BrowseOrder::ByName,
         true,
         {"Speed_Loop", "Statusword", "TPDO1 map", "max SPEED", "speed limit", "velocity actual"}},
        {BrowseOrder::ByIndex,
         true,
         {"TPDO1 map", "max SPEED", "Speed_Loop", "Statusword", "velocity actual", "speed limit"}},
    };
    for (const Step& step : steps) {
        EXPECT_EQ(list.SetOrder(step.order), step.moves);
        EXPECT_EQ(Names(list), step.names);
    }
}

TEST(BrowseList, FindNextWalksEveryMatchAndWraps)
{
    CSdoBrowseList list;
    list.SetEntries(Entries());
    CBrowseFind find;
    // Case-insensitive substring: Speed_Loop, max SPEED and speed limit, then round again.
    const int expected[] = {1, 3, 5, 1, 3};
    for (int row : expected)
        EXPECT_EQ(find.Next(list, QStringLiteral("speed")), row);
    // A new text starts at the top; a match in the first row is found like any other.
    EXPECT_EQ(find.Next(list, QStringLiteral("VELOCITY")), 0);
    EXPECT_EQ(find.Next(list, QStringLiteral("VELOCITY")), 0);
    EXPECT_EQ(find.Next(list, QStringLiteral("torque")), CBrowseFind::kNotFound);
    EXPECT_EQ(find.Next(list, QString()), CBrowseFind::kNoText);
    EXPECT_TRUE(find.lastSearch.isEmpty());
}

TEST(BrowseList, FilterNarrowsAndWidens)
{
    CSdoBrowseList list;
    list.SetEntries(Entries());
    list.SetOrder(BrowseOrder::ByName);
    struct Step
    {
        const char* text;
        bool mappableOnly;
        QStringList names;
    };
    // Typed on letter by letter, then taken back; key text and mappable flag as well.
    const Step steps[] = {
        {"s", false, {"Speed_Loop", "Statusword", "max SPEED", "speed limit"}},
        {"sp", false, {"Speed_Loop", "max SPEED", "speed limit"}},
        {"spe", true, {}},
        {"", true, {"TPDO1 map"}},
        {"6041", false, {"Statusword"}},
        {"2001:0", false, {"Speed_Loop", "max SPEED"}},
        {"", false, Names(list)},
    };
    for (const Step& step : steps) {
        list.SetFilter(QString::fromLatin1(step.text), step.mappableOnly);
        EXPECT_EQ(Names(list), step.names) << step.text;
    }
    EXPECT_EQ(list.RowOfKey(0x604100), 1);
}

TEST(BrowseList, DescriptionAndAttributeWords)
{
    const std::pair<const char*, const char*> words[] = {
        {"RW", "write "},        {"RWSM", "write save mapping"}, {"R", "only readable"},
        {"RS", "only readable"}, {"RL", "real-update "},         {"RWL", "real-update write "},
    };
    for (const auto& [attribute, text] : words)
        EXPECT_EQ(AttributeWords(QLatin1String(attribute)), QLatin1String(text)) << attribute;

    CSdoRecord record;
    record.index = 0x6041;
    record.subindex = 0;
    record.name = QStringLiteral("Statusword");
    record.dataType = QStringLiteral("U16");
    record.attribute = QStringLiteral("RL");
    record.modbusAddress = 0x2a;
    record.help = QString::fromUtf8("状态。第二行\nthird");
    EXPECT_EQ(DescribeObject(record),
              QString::fromUtf8("\n\nIndex: 0x6041\nSub Index: 0x00\nName: Statusword\nData Type: "
                                "U16\nAttribute: real-update \nModbus address: 0x002A\nOperator "
                                "Help:\n状态。\n第二行\nthird"));
    record.modbusAddress = 0;
    EXPECT_TRUE(DescribeObject(record).contains(QStringLiteral("\nModbus address: none\n")));
}

TEST(BrowseList, MappableOnlyFilterOfTheShippedDictionary)
{
    CSdoDatabase dictionary;
    ASSERT_TRUE(dictionary.LoadFile(QStringLiteral(DRIVARA_DIST_DIR "/data/velmor.dat"), 2));
    int expected = 0;
    CSdoRecord record;
    for (int i = 0; dictionary.GetAt(i, record); ++i)
        expected += record.attribute.contains(QLatin1Char('M')) ? 1 : 0;
    ASSERT_GT(expected, 0);
    CSdoBrowseList list;
    list.Fill(dictionary);
    EXPECT_EQ(list.EntryCount(), dictionary.GetCount());
    list.SetFilter(QString(), true);
    EXPECT_EQ(list.RowCount(), expected);
}

} // namespace
