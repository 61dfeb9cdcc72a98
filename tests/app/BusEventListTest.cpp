// The bus events the Emergencies window shows: codes to their CiA 301 texts, newest first, and
// a list that keeps only the last thousand.
#include "app/BusEventList.h"
#include "comm/Messages.h"

#include <gtest/gtest.h>

namespace {
QString Cell(const CBusEventList& list, int row, int column)
{
    return list.index(row, column).data().toString();
}
} // namespace

TEST(BusEventList, ShowsEachKindWithItsText)
{
    const QDateTime at(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
    const struct
    {
        uint32_t wParam, lParam;
        const char* event;
        const char* code;
        const char* text;
    } kRows[] = {
        // An error code CiA 301 names outright, with register and first vendor byte.
        {0x8130 | 0x11u << 16 | 0xA5u << 24, kBusEmergency << 8 | 5, "紧急报文", "0x8130",
         "节点保护或心跳错误（错误寄存器 0x11，数据 0xA5）"},
        // Codes known by their class only: by high byte first, then by its high nibble.
        {0xFF07, kBusEmergency << 8 | 1, "紧急报文", "0xFF07",
         "设备特定（错误寄存器 0x00，数据 0x00）"},
        {0x2311, kBusEmergency << 8 | 1, "紧急报文", "0x2311",
         "电流，设备输出侧（错误寄存器 0x00，数据 0x00）"},
        {0x4A00, kBusEmergency << 8 | 1, "紧急报文", "0x4A00",
         "温度（错误寄存器 0x00，数据 0x00）"},
        {0xA000, kBusEmergency << 8 | 1, "紧急报文", "0xA000", "（错误寄存器 0x00，数据 0x00）"},
        {0x05, kBusHeartbeat << 8 | 127, "心跳", "", "运行"},
        {0x7F, kBusHeartbeat << 8 | 2, "心跳", "", "预运行"},
        {0x42, kBusHeartbeat << 8 | 2, "心跳", "", "状态 0x42"},
        {1500, kBusNodeLost << 8 | 9, "心跳丢失", "", "已静默 1500 ms"},
    };
    CBusEventList list;
    for (const auto& row : kRows) {
        list.Add(at, row.wParam, row.lParam);
        SCOPED_TRACE(row.text);
        EXPECT_EQ(Cell(list, 0, CBusEventList::ColTime), QStringLiteral("2026-03-04 05:06:07.089"));
        EXPECT_EQ(list.index(0, CBusEventList::ColNode).data().toUInt(), row.lParam & 0xFF);
        EXPECT_EQ(Cell(list, 0, CBusEventList::ColEvent), QString::fromUtf8(row.event));
        EXPECT_EQ(Cell(list, 0, CBusEventList::ColCode), QLatin1String(row.code));
        EXPECT_EQ(Cell(list, 0, CBusEventList::ColText), QString::fromUtf8(row.text));
    }
    EXPECT_EQ(list.rowCount(), int(std::size(kRows)));
}

TEST(BusEventList, KeepsTheNewestThousand)
{
    CBusEventList list;
    const QDateTime at = QDateTime::currentDateTime();
    for (uint32_t code = 0; code < CBusEventList::kMaxEvents + 5; ++code)
        list.Add(at, code, kBusEmergency << 8 | 1);
    ASSERT_EQ(list.rowCount(), CBusEventList::kMaxEvents);
    EXPECT_EQ(list.At(0).data, uint32_t(CBusEventList::kMaxEvents + 4));
    EXPECT_EQ(list.At(CBusEventList::kMaxEvents - 1).data, 5u);
    list.Clear();
    EXPECT_EQ(list.rowCount(), 0);
}
