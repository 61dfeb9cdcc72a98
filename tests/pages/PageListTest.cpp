// Page definition files, rows, labels and help texts, without a drive.

#include "PageTestSupport.h"

#include "pages/PageListModel.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace PageTest;

namespace {

QString Key(uint32_t key)
{
    return QString::number(key, 16).toUpper();
}

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

TEST_F(PageListTest, PageFileSkipsUnknownKeysAndKeepsFileNumbers)
{
    Load({Key(kMaxSpeed), Key(kMissing), Key(kGain), Key(kBusVoltage)});
    EXPECT_EQ(Labels(list), QStringList({"1", "3", "4*"}));
    EXPECT_EQ(Column(list, 1), QStringList({QString::number(kMaxSpeed), QString::number(kGain),
                                            QString::number(kBusVoltage)}));
    EXPECT_EQ(Column(list, 2), QStringList({"Max speed", "Gain", "Bus voltage"}));
    EXPECT_EQ(Column(list, 3), QStringList({"U16", "I16", "U16"}));
    EXPECT_EQ(Column(list, 4), QStringList({"", "", ""}));
    EXPECT_EQ(Column(list, 5), QStringList({"RW", "RW", "R"}));
    EXPECT_EQ(Column(list, 6), QStringList({"DEC", "DEC", "DEC"}));

    // Deleting renumbers everything below the deleted row from the attributes.
    list.SetSelected(0, true);
    sys->DeleteSelectedRows(list);
    EXPECT_EQ(Labels(list), QStringList({"1", "2*"}));
}

TEST_F(PageListTest, PageFileKeysAreHexadecimalAndUnique)
{
    Load({Key(kMaxSpeed), "0x" + Key(kMaxSpeed), Key(kMaxSpeed).toLower(), "0X300300",
          " 30 03 00 "});
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(list.RowKey(0), kMaxSpeed);
    EXPECT_EQ(list.RowKey(1), kGain);
    // Item 4 was appended behind the single row and keeps its file number until renumbered.
    EXPECT_EQ(Labels(list), QStringList({"1", "4"}));
}

TEST_F(PageListTest, PageFileCountEdgeCases)
{
    Load({Key(kMaxSpeed), Key(kGain), Key(kBusVoltage)}, QStringLiteral("2"));
    EXPECT_EQ(list.GetItemCount(), 2) << "only num items are read";

    list.DeleteAllItems();
    Load({Key(kMaxSpeed)}, QStringLiteral("abc"));
    EXPECT_EQ(list.GetItemCount(), 0);

    list.DeleteAllItems();
    Load({Key(kMaxSpeed)}, QStringLiteral("-4"));
    EXPECT_EQ(list.GetItemCount(), 0);

    // A count far beyond the file's keys neither hangs nor invents rows.
    list.DeleteAllItems();
    QElapsedTimer timer;
    timer.start();
    Load({Key(kMaxSpeed), Key(kGain)}, QStringLiteral("2000000000"));
    EXPECT_EQ(list.GetItemCount(), 2);
    EXPECT_LT(timer.elapsed(), 20000);

    // No file, or a file without the page's section: an empty page and no message.
    CMessageRecorder messages;
    list.DeleteAllItems();
    sys->LoadPageDefinition(list, QStringLiteral("NoSuchPage"), window.hwnd());
    ASSERT_TRUE(install.WriteRaw(QStringLiteral("sys/Other.ini"), "[Else]\nnum=1\n1=300100\n"));
    sys->LoadPageDefinition(list, QStringLiteral("Other"), window.hwnd());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(messages.Entries().empty());
}

TEST_F(PageListTest, ValuesLongerThanTheBufferAreCut)
{
    // 31 characters are read: the key's digits end up beyond the cut.
    Load({QString(31, QLatin1Char('z')) + Key(kMaxSpeed),
          QString(25, QLatin1Char('z')) + Key(kGain)});
    EXPECT_EQ(list.GetItemCount(), 1);
    EXPECT_EQ(list.RowKey(0), kGain);
}

TEST_F(PageListTest, AddPageItemBuildsOneRowPerKey)
{
    Add(kSpeed, 0);
    Add(kTemperature, 1);
    Add(kSpeed, 2); // already there
    Add(kMissing, 2);
    ASSERT_EQ(list.GetItemCount(), 2);
    EXPECT_EQ(Labels(list), QStringList({"1", "2*"}));
    EXPECT_EQ(list.GetItemText(0, 6), "cnt") << "display name of the first unit";
    EXPECT_TRUE(list.IsCut(0));
    EXPECT_FALSE(list.IsSelected(0));
    EXPECT_FALSE(list.IsFocused(1));
    // Polled objects are registered for the window that shows them, writable ones alike.
    EXPECT_TRUE(sys->link.FindLoop(window.hwnd(), kTemperature));
    EXPECT_FALSE(sys->link.FindLoop(window.hwnd(), kSpeed));

    // Strings only when asked for.
    Add(kDeviceName, 2, false);
    EXPECT_EQ(list.GetItemCount(), 2);
    Add(kDeviceName, 2, true);
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemText(2, 3), "VISIBLE STRING");
}

TEST_F(PageListTest, UnitTextWithoutUnitIsReportedAndTheRowKept)
{
    QVector<ObjectDef> objects = StandardObjects();
    ObjectDef broken;
    broken.key = 0x300D00;
    broken.name = "Broken unit";
    broken.dataType = "U16";
    broken.attribute = "RW";
    broken.unitText = "rpm";
    objects.append(broken);
    CPageInstall other(objects);
    auto otherSys = MakeSysData(other);
    CMessageRecorder messages;
    CPageListModel rows;
    otherSys->AddPageItem(rows, 0x300D00, 0, window.hwnd(), false);
    ASSERT_EQ(rows.GetItemCount(), 1);
    EXPECT_EQ(rows.GetItemText(0, 6), "");
    const auto entries = messages.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, "Add default unit failure \n");
}

TEST_F(PageListTest, InsertAboveRelabelsTheRowsBelow)
{
    Add(SeriesKey(1), 0);
    Add(kBusVoltage, 1);
    Add(SeriesKey(2), 2);
    Add(kGain, 1);
    EXPECT_EQ(Labels(list), QStringList({"1", "2", "3*", "4"}));
    EXPECT_EQ(list.RowKey(1), kGain);
    QString type;
    int row = -5;
    EXPECT_EQ(sys->FindItemRow(list, kBusVoltage, type, row), "DEC");
    EXPECT_EQ(row, 2);
    EXPECT_EQ(type, "U16");

    type = QStringLiteral("untouched");
    EXPECT_EQ(sys->FindItemRow(list, kMissing, type, row), "");
    EXPECT_EQ(row, -1);
    EXPECT_EQ(type, "untouched");
    EXPECT_EQ(sys->FindItemRow(list, 0, type, row), "");
    EXPECT_EQ(row, -1);
    EXPECT_TRUE(sys->ItemExists(list, kGain));
    EXPECT_FALSE(sys->ItemExists(list, kMissing));
}

TEST_F(PageListTest, DeletingRowsTwoAndFourOfSix)
{
    for (uint32_t key : {kMaxSpeed, kGain, kBusVoltage, kModeByte, kTemperature, kTag})
        Add(key, list.GetItemCount());
    ASSERT_EQ(Labels(list), QStringList({"1", "2", "3*", "4", "5*", "6"}));
    list.SetSelected(1, true);
    list.SetSelected(3, true);
    list.SetFocused(3, true);
    sys->DeleteSelectedRows(list);
    EXPECT_EQ(Labels(list), QStringList({"1", "2*", "3*", "4"}));
    EXPECT_EQ(list.RowKey(1), kBusVoltage);
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(list.RowOfKey(kTag), 3);
    EXPECT_EQ(list.RowOfKey(kGain), -1);

    // Nothing selected: nothing deleted.
    sys->DeleteSelectedRows(list);
    EXPECT_EQ(list.GetItemCount(), 4);
}

TEST_F(PageListTest, RenumberFromABaseKeepsTheMarks)
{
    for (uint32_t key : {kBusVoltage, kMaxSpeed, kTemperature})
        Add(key, list.GetItemCount());
    sys->RenumberRowsFrom(list, 0);
    EXPECT_EQ(Labels(list), QStringList({"0*", "1", "2*"}));
    sys->RenumberRowsFrom(list, 10);
    EXPECT_EQ(Labels(list), QStringList({"10*", "11", "12*"}));
    sys->RenumberRows(list, 1);
    EXPECT_EQ(Labels(list), QStringList({"10*", "2", "3*"}));
    sys->RenumberRows(list, -3);
    EXPECT_EQ(Labels(list), QStringList({"1*", "2", "3*"}));
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
    EXPECT_EQ(sys->ObjectHelpText(kMissing), "");

    CMessageRecorder messages;
    sys->ShowObjectHelp(kMissing);
    EXPECT_TRUE(messages.Entries().empty());
    sys->ShowObjectHelp(kMaxSpeed);
    const auto entries = messages.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].text, maxSpeed);
    EXPECT_EQ(entries[0].kind, MessageKind::Information);
}

// The model on its own: key index, states, flags and signals.
TEST(PageListModel, KeyIndexFollowsInsertsDeletesAndEdits)
{
    CPageListModel model;
    const auto addRow = [&](int position, uint32_t key) {
        const int row = model.InsertItem(position, QStringLiteral("x"));
        model.SetItemText(row, CPageListModel::ColKey, QString::number(key));
        return row;
    };
    for (int i = 0; i < 300; ++i)
        addRow(model.GetItemCount(), 1000 + i);
    EXPECT_EQ(model.RowOfKey(1000), 0);
    EXPECT_EQ(model.RowOfKey(1299), 299);
    EXPECT_EQ(addRow(-7, 5), 0) << "positions are clamped";
    EXPECT_EQ(addRow(9999, 6), 301);
    EXPECT_EQ(model.RowOfKey(1000), 1);
    EXPECT_EQ(model.RowOfKey(6), 301);

    model.DeleteItem(0);
    EXPECT_EQ(model.RowOfKey(5), -1);
    EXPECT_EQ(model.RowOfKey(1000), 0);

    // The same key twice: the first row from the top, also after the upper one changes key.
    addRow(model.GetItemCount(), 1000);
    EXPECT_EQ(model.RowOfKey(1000), 0);
    model.SetItemText(0, CPageListModel::ColKey, QStringLiteral("77"));
    EXPECT_EQ(model.RowOfKey(1000), model.GetItemCount() - 1);
    EXPECT_EQ(model.RowOfKey(77), 0);
    model.SetItemText(5, CPageListModel::ColKey, QStringLiteral("77"));
    EXPECT_EQ(model.RowOfKey(77), 0);
    model.SetItemText(0, CPageListModel::ColKey, QStringLiteral("78"));
    EXPECT_EQ(model.RowOfKey(77), 5);

    EXPECT_FALSE(model.DeleteItem(-1));
    EXPECT_FALSE(model.SetItemText(model.GetItemCount(), 0, QStringLiteral("a")));
    EXPECT_EQ(model.GetItemText(0, 7), "");
    model.DeleteAllItems();
    EXPECT_EQ(model.RowOfKey(78), -1);
    EXPECT_EQ(model.RowKey(0), 0u);
}

TEST(PageListModel, StatesFlagsRolesAndSignals)
{
    CPageListModel model;
    QVector<CPageListModel::ColumnSpec> columns(7);
    columns[2].readOnly = true;
    columns[6].dropDown = true;
    columns[6].title = QStringLiteral("unit");
    model.SetColumns(columns);

    int inserted = 0;
    int changedRow = -1;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, &model,
                     [&](const QModelIndex&, int first, int) { inserted += first >= 0 ? 1 : 0; });
    QObject::connect(
        &model, &QAbstractItemModel::dataChanged, &model,
        [&](const QModelIndex& topLeft, const QModelIndex&) { changedRow = topLeft.row(); });
    model.InsertItem(0, QStringLiteral("1"));
    model.InsertItem(1, QStringLiteral("2*"));
    EXPECT_EQ(inserted, 2);
    model.SetItemText(0, CPageListModel::ColAttribute, QStringLiteral("RW"));
    model.SetItemText(1, CPageListModel::ColAttribute, QStringLiteral("R"));
    EXPECT_TRUE(model.setData(model.index(1, CPageListModel::ColValue), QStringLiteral("12")));
    EXPECT_EQ(changedRow, 1);
    EXPECT_EQ(model.data(model.index(1, 4)).toString(), "12");

    const auto editable = [&](int row, int column) {
        return model.flags(model.index(row, column)).testFlag(Qt::ItemIsEditable);
    };
    EXPECT_TRUE(editable(0, CPageListModel::ColValue));
    EXPECT_FALSE(editable(1, CPageListModel::ColValue)) << "read-only object";
    EXPECT_TRUE(editable(1, CPageListModel::ColUnit));
    EXPECT_FALSE(editable(0, CPageListModel::ColName));
    EXPECT_FALSE(editable(0, CPageListModel::ColKey));

    EXPECT_FALSE(model.data(model.index(0, 2), Qt::ForegroundRole).isValid());
    EXPECT_EQ(model.data(model.index(1, 2), Qt::ForegroundRole).toString(), "#228b22");
    EXPECT_TRUE(model.data(model.index(1, 0), CPageListModel::ReadOnlyRowRole).toBool());
    EXPECT_TRUE(model.data(model.index(0, 6), CPageListModel::DropDownRole).toBool());
    EXPECT_EQ(model.headerData(6, Qt::Horizontal, Qt::DisplayRole).toString(), "unit");

    model.SetSelected(0, true);
    model.SetSelected(1, true);
    model.SetFocused(0, true);
    model.SetFocused(1, true);
    EXPECT_FALSE(model.IsFocused(0)) << "one focused row";
    EXPECT_TRUE(model.IsFocused(1));
    EXPECT_EQ(model.GetSelectedCount(), 2);
    EXPECT_EQ(model.GetNextSelected(), 0);
    EXPECT_EQ(model.GetNextSelected(0), 1);
    EXPECT_EQ(model.GetNextSelected(1), -1);
}
