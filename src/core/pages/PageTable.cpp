#include "PageTable.h"

namespace {
CPageSpec Page(const char* className, const char* pageName, int templateId, const char* title,
               const char* englishTitle, int listId, int projectPage, int menuCommand,
               bool rightClickMenu, PageVariant variant = PageVariant::Standard)
{
    CPageSpec spec;
    spec.className = QLatin1String(className);
    spec.pageName = QLatin1String(pageName);
    spec.templateId = templateId;
    spec.title = QString::fromUtf8(title);
    spec.englishTitle = QLatin1String(englishTitle);
    spec.listId = listId;
    spec.projectPage = projectPage;
    spec.menuCommand = menuCommand;
    spec.rightClickMenu = rightClickMenu;
    spec.variant = variant;
    return spec;
}

QVector<CPageSpec> BuildPages()
{
    // Project page numbers: DriverProperty (46) and ErrorHistory (20) store only their window
    // placement. The bus panel takes its page name, title and command from the bus
    // configuration command that opens it, so those stay empty here.
    return {
        Page("CAnalogInput", "AnalogInput", 146, "模拟输入", "Analog Input", 1135, 7, 1219, false),
        Page("CAutoSeverseMode", "AutoReverse", 139, "自动翻转", "Auto Reverse", 1073, 13, 1224,
             true),
        Page("CBaseOperate", "BasicOperate", 126, "基本操作", "Basic Operation", 1134, 2, 1227,
             false),
        Page("CClockSwingMode", "ClockSwing", 142, "时钟摆动模式", "Clock Swing Mode", 1075, 16,
             1226, false),
        Page("CCurrentCircle", "CurrentLoop", 121, "电流环", "Current Loop", 1138, 5, 1248, false),
        Page("CDriverProterty", "DriverProperty", 143, "驱动器属性", "Drive Properties", 1076, 46,
             1234, false, PageVariant::DriverProperty),
        Page("CDrvCfg", "DriverConfig", 131, "驱动器配置", "Drive Configuration", 1066, 17, 1233,
             true),
        Page("CDrvPanelF002", "", 150, "", "", 1138, 0, 0, true, PageVariant::BusPanel),
        Page("CErrorGroup", "ErrorHistory", 127, "历史错误", "Error History", 1065, 20, 1228, true,
             PageVariant::ErrorGroup),
        Page("CFuncConfig", "DinFunctionConfig", 156, "输入功能配置",
             "Input Function Configuration", 1138, 8, 1245, true, PageVariant::FuncConfig),
        Page("CHomingMode", "HomingMode", 137, "原点模式", "Homing Mode", 1254, 15, 1253, true),
        Page("CMotorParam", "MotorConfig", 129, "电机配置", "Motor Configuration", 1063, 47, 1229,
             true),
        Page("CPositCircle", "PositionLoop", 132, "位置环", "Position Loop", 1067, 3, 1215, false),
        Page("CPositionMode", "MultiPositionMode", 141, "位置段模式", "Multi-Position Mode", 1074,
             14, 1225, true),
        Page("CPulseMode", "PulseMode", 138, "脉冲模式", "Pulse Mode", 1072, 12, 1223, false),
        Page("CSpeedCircle", "VelocityLoop", 133, "速度环", "Velocity Loop", 1068, 4, 1217, false),
        Page("CSpeedMode", "AnalogVelocityMode", 134, "模拟速度模式", "Analog Velocity Mode", 1069,
             9, 1220, false),
        Page("CSpeedPhaseMode", "multiVelocityMode", 135, "速度段模式", "Multi-Velocity Mode", 1070,
             10, 1221, false),
        Page("CTorqueMode", "AnalogTorqueMode", 136, "模拟力矩模式", "Analog Torque Mode", 1071, 11,
             1222, false, PageVariant::TorqueMode),
    };
}
} // namespace

const QVector<CPageSpec>& ParameterPages()
{
    static const QVector<CPageSpec> pages = BuildPages();
    return pages;
}

const CPageSpec* FindPageSpec(const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    for (const CPageSpec& spec : ParameterPages()) {
        if (spec.className == name || spec.pageName == name)
            return &spec;
    }
    return nullptr;
}

QVector<QString> BusPanelNames()
{
    QVector<QString> names;
    for (int i = 1; i <= 8; ++i)
        names.append(QStringLiteral("RPDO%1").arg(i));
    for (int i = 1; i <= 8; ++i)
        names.append(QStringLiteral("TPDO%1").arg(i));
    names.append(QStringLiteral("EtherCAT"));
    names.append(QStringLiteral("PdoOther"));
    return names;
}

const QVector<CBusPanelCommand>& BusPanelCommands()
{
    static const QVector<CBusPanelCommand> commands = [] {
        QVector<CBusPanelCommand> list = {{32825, QStringLiteral("EtherCAT")},
                                          {32826, QStringLiteral("PdoOther")}};
        for (int i = 0; i < 8; ++i)
            list.append({32832 + i, QStringLiteral("RPDO%1").arg(i + 1)});
        const int transmit[8] = {32840, 32841, 32852, 32851, 32850, 32849, 32848, 32847};
        for (int i = 0; i < 8; ++i)
            list.append({transmit[i], QStringLiteral("TPDO%1").arg(i + 1)});
        return list;
    }();
    return commands;
}

QString BusPanelForCommand(int command)
{
    for (const CBusPanelCommand& entry : BusPanelCommands()) {
        if (entry.command == command)
            return entry.panelName;
    }
    return {};
}

QString BusPanelTitle(const QString& panelName, int language)
{
    if (panelName != QLatin1String("PdoOther"))
        return panelName;
    return language == 1 ? QString::fromUtf8("配置") : QStringLiteral("Configure");
}

ProjectSave ProjectSaveFor(const CPageSpec& spec)
{
    switch (spec.variant) {
    case PageVariant::Standard:
    case PageVariant::FuncConfig:
    case PageVariant::TorqueMode:
        return ProjectSave::ListAndPlacement;
    default:
        return ProjectSave::PlacementOnly;
    }
}

CPageMenuState PageMenuState(const CPageSpec& spec, bool anyRowSelected)
{
    CPageMenuState state;
    state.shown = spec.rightClickMenu;
    if (!state.shown)
        return state;
    state.addEnabled = true;
    state.deleteEnabled = anyRowSelected;
    // The error history only switches "del"; its other items stay as they are.
    state.helpEnabled = spec.variant == PageVariant::ErrorGroup ? true : anyRowSelected;
    return state;
}
