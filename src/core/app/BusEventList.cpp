#include "BusEventList.h"

#include "comm/Messages.h"

#include <QCoreApplication>

namespace {
QString Hex(uint32_t value, int digits)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}
} // namespace

void CBusEventList::Add(const QDateTime& time, uint32_t wParam, uint32_t lParam)
{
    if (int(m_events.size()) >= kMaxEvents) {
        beginRemoveRows({}, kMaxEvents - 1, int(m_events.size()) - 1);
        m_events.resize(kMaxEvents - 1);
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_events.push_front({time, lParam & 0xFF, lParam >> 8, wParam});
    endInsertRows();
}

void CBusEventList::Clear()
{
    beginResetModel();
    m_events.clear();
    endResetModel();
}

QString CBusEventList::EmergencyText(uint16_t code)
{
    // The codes CiA 301 names outright, then the classes by their high byte or nibble.
    struct Named
    {
        uint16_t code;
        const char* text;
    };
    static const Named kCodes[] = {
        {0x0000, "错误复位或无错误"},     // Error reset or no error
        {0x1000, "一般错误"},             // Generic error
        {0x6100, "内部软件错误"},         // Internal software error
        {0x6200, "用户软件错误"},         // User software error
        {0x6300, "数据集错误"},           // Data set error
        {0x8110, "CAN 溢出（对象丢失）"}, // CAN overrun (objects lost)
        {0x8120, "CAN 处于错误被动状态"}, // CAN in error passive mode
        {0x8130, "节点保护或心跳错误"},   // Life guard or heartbeat error
        {0x8140, "已从总线关闭恢复"},     // Recovered from bus off
        {0x8150, "CAN-ID 冲突"},          // CAN-ID collision
        {0x8210, "PDO 因长度错误未处理"}, // PDO not processed due to length error
        {0x8220, "PDO 长度超出"},         // PDO length exceeded
        {0x8240, "SYNC 数据长度异常"},    // Unexpected SYNC data length
        {0x8250, "RPDO 超时"},            // RPDO timeout
    };
    static const Named kClasses[] = {
        {0x10, "一般错误"},         // Generic error
        {0x20, "电流"},             // Current
        {0x21, "电流，设备输入侧"}, // Current, device input side
        {0x22, "设备内部电流"},     // Current inside the device
        {0x23, "电流，设备输出侧"}, // Current, device output side
        {0x30, "电压"},             // Voltage
        {0x31, "电源电压"},         // Mains voltage
        {0x32, "设备内部电压"},     // Voltage inside the device
        {0x33, "输出电压"},         // Output voltage
        {0x40, "温度"},             // Temperature
        {0x41, "环境温度"},         // Ambient temperature
        {0x42, "设备温度"},         // Device temperature
        {0x50, "设备硬件"},         // Device hardware
        {0x60, "设备软件"},         // Device software
        {0x61, "内部软件"},         // Internal software
        {0x62, "用户软件"},         // User software
        {0x63, "数据集"},           // Data set
        {0x70, "附加模块"},         // Additional modules
        {0x80, "监控"},             // Monitoring
        {0x81, "通信"},             // Communication
        {0x82, "协议错误"},         // Protocol error
        {0x90, "外部错误"},         // External error
        {0xF0, "附加功能"},         // Additional functions
        {0xFF, "设备特定"},         // Device specific
    };
    for (const Named& named : kCodes) {
        if (named.code == code)
            return QCoreApplication::translate("CBusEventList", named.text);
    }
    for (uint16_t key : {uint16_t(code >> 8), uint16_t((code >> 8) & 0xF0)}) {
        for (const Named& named : kClasses) {
            if (named.code == key)
                return QCoreApplication::translate("CBusEventList", named.text);
        }
    }
    return {};
}

QString CBusEventList::StateText(uint32_t state)
{
    switch (state) {
    case 0x00:
        return QCoreApplication::translate("CBusEventList", "启动");
    case 0x04:
        return QCoreApplication::translate("CBusEventList", "停止");
    case 0x05:
        return QCoreApplication::translate("CBusEventList", "运行");
    case 0x7F:
        return QCoreApplication::translate("CBusEventList", "预运行");
    default:
        return QCoreApplication::translate("CBusEventList", "状态 %1").arg(Hex(state, 2));
    }
}

int CBusEventList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

int CBusEventList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CBusEventList::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return {};
    const Event& event = At(index.row());
    switch (index.column()) {
    case ColTime:
        return event.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    case ColNode:
        return event.node;
    case ColEvent:
        return event.kind == kBusEmergency
                   ? QCoreApplication::translate("CBusEventList", "紧急报文")
               : event.kind == kBusHeartbeat ? QCoreApplication::translate("CBusEventList", "心跳")
               : event.kind == kBusNodeLost
                   ? QCoreApplication::translate("CBusEventList", "心跳丢失")
                   : QString();
    case ColCode:
        return event.kind == kBusEmergency ? Hex(event.data & 0xFFFF, 4) : QString();
    case ColText:
        if (event.kind == kBusEmergency) {
            return QCoreApplication::translate("CBusEventList", "%1（错误寄存器 %2，数据 %3）")
                .arg(EmergencyText(uint16_t(event.data & 0xFFFF)),
                     Hex((event.data >> 16) & 0xFF, 2), Hex(event.data >> 24, 2));
        }
        if (event.kind == kBusHeartbeat)
            return StateText(event.data);
        if (event.kind == kBusNodeLost) {
            return QCoreApplication::translate("CBusEventList", "已静默 %1 ms").arg(event.data);
        }
        return {};
    default:
        return {};
    }
}

QVariant CBusEventList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const kTitles[ColumnCount] = {"时间", "节点", "事件", "错误代码", "含义"};
    if (section < 0 || section >= ColumnCount)
        return {};
    return QCoreApplication::translate("CBusEventList", kTitles[section]);
}
