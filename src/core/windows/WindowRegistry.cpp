#include "WindowRegistry.h"

namespace {
using C = CommandId;
using K = WindowKind;
using M = WindowMenu;

// A row of the table, filled in steps so that each window states only what is its own.
struct Row
{
    CWindowInfo info;

    Row(C command, K kind, const char* className, const char* pageName, const char* title,
        const char* englishTitle)
    {
        info.command = command;
        info.kind = kind;
        info.className = QLatin1String(className);
        info.pageName = QLatin1String(pageName);
        info.title = QString::fromUtf8(title);
        info.englishTitle = QLatin1String(englishTitle);
        if (kind == K::BusPanel)
            info.variant = PageVariant::BusPanel;
    }
    Row& In(M menu, int group = 0)
    {
        info.menu = menu;
        info.menuGroup = group;
        return *this;
    }
    Row& Titled(const char* text, const char* englishText)
    {
        info.title = QString::fromUtf8(text);
        info.englishTitle = QLatin1String(englishText);
        return *this;
    }
    Row& StandardDrive()
    {
        info.standardDrive = true;
        return *this;
    }
    Row& Menu(const char* text, const char* englishText)
    {
        info.menuText = QString::fromUtf8(text);
        info.englishMenuText = QLatin1String(englishText);
        return *this;
    }
    Row& Project(int page)
    {
        info.projectPage = page;
        return *this;
    }
    Row& Tool(C button)
    {
        info.toolButton = button;
        return *this;
    }
    Row& Fixed(QSize at96, QSize other)
    {
        info.sizeRule = SizeRule::Fixed;
        info.size96 = at96;
        info.sizeOther = other;
        return *this;
    }
    Row& ByLanguage(QSize at96, QSize other, QSize englishAt96, QSize englishOther)
    {
        Fixed(at96, other);
        info.sizeRule = SizeRule::ByLanguage;
        info.englishSize96 = englishAt96;
        info.englishSizeOther = englishOther;
        return *this;
    }
    Row& At(QPoint position)
    {
        info.position = position;
        return *this;
    }
    Row& ActivateAfterCreate()
    {
        info.activateAfterCreate = true;
        return *this;
    }
    Row& NoPageControl()
    {
        info.sendsPageControl = false;
        return *this;
    }
    Row& RightClickMenu()
    {
        info.rightClickMenu = true;
        return *this;
    }
    Row& Variant(PageVariant variant)
    {
        info.variant = variant;
        return *this;
    }
};

Row Page(C command, const char* className, const char* pageName, const char* title,
         const char* englishTitle, int projectPage)
{
    return Row(command, K::ParameterPage, className, pageName, title, englishTitle)
        .Project(projectPage);
}

Row Panel(C command, const char* pageName)
{
    return Row(command, K::BusPanel, "CDrvPanelF002", pageName, pageName, pageName)
        .RightClickMenu();
}

QVector<CWindowInfo> Build()
{
    // clang-format off
    const Row rows[] = {
        Row(C::ReadDriveConfig, K::ConfigExport, "CExportDrvData", "ExportConfig", "读驱动器配置", "Read Drive Configuration")
            .In(M::File).Tool(C::ToolReadDriveConfig).Fixed({580, 520}, {700, 650}).At({80, 30}).ActivateAfterCreate(),
        Row(C::WriteDriveConfig, K::ConfigImport, "CImportDrvData", "ImportConfig", "写驱动器配置", "Write Drive Configuration")
            .In(M::File).Tool(C::ToolWriteDriveConfig).Fixed({680, 530}, {850, 660}).ActivateAfterCreate(),

        Row(C::CommMode, K::CommMode, "CCommMode", "CommMode", "通讯方式", "Communication Mode")
            .In(M::Communication).Fixed({300, 260}, {370, 320}).NoPageControl(),
        Row(C::CommSettings, K::CommSettings, "CCommRs232", "CommSettings", "属性", "Settings")
            .In(M::Communication).Fixed({300, 260}, {360, 320}).NoPageControl(),

        Page(C::MotorConfig, "CMotorParam", "MotorConfig", "电机配置", "Motor Configuration", 47)
            .In(M::Drive, 0).RightClickMenu(),
        Page(C::DriverConfig, "CDrvCfg", "DriverConfig", "驱动器配置", "Drive Configuration", 17)
            .In(M::Drive, 0).RightClickMenu().ActivateAfterCreate(),
        // Stores only its window placement in the project.
        Page(C::DriverProperty, "CDriverProterty", "DriverProperty", "驱动器属性", "Drive Properties", 46)
            .In(M::Drive, 0).Fixed({570, 240}, {710, 280}).Variant(PageVariant::DriverProperty),
        Page(C::BasicOperate, "CBaseOperate", "BasicOperate", "基本操作", "Basic Operation", 2)
            .In(M::Drive, 0),
        Page(C::PositionLoop, "CPositCircle", "PositionLoop", "位置环", "Position Loop", 3)
            .In(M::Drive, 1).ActivateAfterCreate(),
        Page(C::VelocityLoop, "CSpeedCircle", "VelocityLoop", "速度环", "Velocity Loop", 4)
            .In(M::Drive, 1).ActivateAfterCreate(),
        Page(C::CurrentLoop, "CCurrentCircle", "CurrentLoop", "电流环", "Current Loop", 5)
            .In(M::Drive, 1).ActivateAfterCreate(),
        Row(C::DigitalIo, K::DigitalIo, "CDataInOut", "DataInOut", "I／O口", "I/O")
            .In(M::Drive, 2).Tool(C::ToolDigitalIo).Project(6).Fixed({465, 565}, {520, 620}),
        Page(C::AnalogInput, "CAnalogInput", "AnalogInput", "模拟输入", "Analog Input", 7)
            .In(M::Drive, 2),
        Page(C::DinFunctionConfig, "CFuncConfig", "DinFunctionConfig", "输入功能配置", "Input Function Configuration", 8)
            .In(M::Drive, 2).RightClickMenu().Variant(PageVariant::FuncConfig),

        Page(C::AnalogVelocityMode, "CSpeedMode", "AnalogVelocityMode", "模拟速度模式", "Analog Velocity Mode", 9)
            .In(M::OperatingModes).ActivateAfterCreate(),
        Page(C::MultiVelocityMode, "CSpeedPhaseMode", "multiVelocityMode", "速度段模式", "Multi-Velocity Mode", 10)
            .In(M::OperatingModes),
        Page(C::AnalogTorqueMode, "CTorqueMode", "AnalogTorqueMode", "模拟力矩模式", "Analog Torque Mode", 11)
            .In(M::OperatingModes).Variant(PageVariant::TorqueMode),
        Page(C::PulseMode, "CPulseMode", "PulseMode", "脉冲模式", "Pulse Mode", 12)
            .In(M::OperatingModes),
        Page(C::AutoReverse, "CAutoSeverseMode", "AutoReverse", "自动翻转", "Auto Reverse", 13)
            .In(M::OperatingModes).RightClickMenu(),
        Page(C::MultiPositionMode, "CPositionMode", "MultiPositionMode", "位置段模式", "Multi-Position Mode", 14)
            .In(M::OperatingModes).RightClickMenu(),
        Page(C::HomingMode, "CHomingMode", "HomingMode", "原点模式", "Homing Mode", 15)
            .In(M::OperatingModes).RightClickMenu(),
        Page(C::ClockSwing, "CClockSwingMode", "ClockSwing", "时钟摆动模式", "Clock Swing Mode", 16)
            .In(M::OperatingModes).ActivateAfterCreate(),

        Row(C::RealTimeError, K::RealTimeError, "CRealtimeError", "RealTimeError", "实时错误", "Real-Time Errors")
            .In(M::Errors).Tool(C::ToolRealTimeError).Project(19)
            .ByLanguage({610, 540}, {750, 660}, {740, 550}, {920, 680}),
        // Stores only its window placement in the project.
        Page(C::ErrorHistory, "CErrorGroup", "ErrorHistory", "历史错误", "Error History", 20)
            .In(M::Errors).RightClickMenu().Variant(PageVariant::ErrorGroup),
        Row(C::Emergencies, K::BusEvents, "CEmergencyList", "Emergencies", "紧急报文", "Emergencies")
            .In(M::Errors, 1).NoPageControl().Fixed({760, 420}, {1140, 630}),

        // The tabs hold a bus panel beside its mapping editor.
        Row(C::TpdoTabs, K::PdoTabs, "CTagFormView", "TPDO", "TPDO", "TPDO")
            .In(M::BusConfiguration).Project(48).NoPageControl().Fixed({1040, 560}, {1500, 820}),
        Row(C::RpdoTabs, K::PdoTabs, "CTagFormViewRPD", "RPDO", "RPDO", "RPDO")
            .In(M::BusConfiguration).Project(49).NoPageControl().Fixed({1040, 560}, {1500, 820}),
        Panel(C::EtherCat, "EtherCAT").In(M::BusConfiguration),
        // Titled after what it configures.
        Panel(C::PdoOther, "PdoOther").Titled("配置", "Configure")
            .In(M::BusConfiguration).Menu("其它", "Other"),

        Row(C::Oscilloscope, K::Oscilloscope, "CDriverOscillo", "Oscilloscope", "示波器", "Oscilloscope")
            .In(M::Tools).Tool(C::ToolOscilloscope).Project(18).At({0, 0})
            .ByLanguage({912, 615}, {1164, 780}, {1010, 640}, {1255, 790}),
        Row(C::ObjectDictionary, K::ObjectDictionary, "CSdoList", "ObjectDictionary", "对象字典", "Object Dictionary")
            .In(M::Tools).Fixed({800, 460}, {890, 580}).NoPageControl(),

        // The standard drive pages, offered for a dictionary built from a device description.
        Page(C::Cia402Identity, "CCia402Page", "Cia402Identity", "设备标识", "Device Identity", 0).In(M::Drive, 9).StandardDrive(),
        Page(C::Cia402Control, "CCia402Page", "Cia402Control", "控制字与状态字", "Control and Status", 0).In(M::Drive, 9).StandardDrive(),
        Page(C::Cia402Profile, "CCia402Page", "Cia402Profile", "轮廓参数", "Profile Parameters", 0).In(M::Drive, 9).StandardDrive(),
        Page(C::Cia402Homing, "CCia402Page", "Cia402Homing", "回零", "Homing", 0).In(M::Drive, 9).StandardDrive(),
        Page(C::Cia402Limits, "CCia402Page", "Cia402Limits", "跟随误差与限值", "Following Error and Limits", 0).In(M::Drive, 9).StandardDrive(),

        Panel(C::Rpdo1, "RPDO1"), Panel(C::Rpdo2, "RPDO2"), Panel(C::Rpdo3, "RPDO3"),
        Panel(C::Rpdo4, "RPDO4"), Panel(C::Rpdo5, "RPDO5"), Panel(C::Rpdo6, "RPDO6"),
        Panel(C::Rpdo7, "RPDO7"), Panel(C::Rpdo8, "RPDO8"),
        Panel(C::Tpdo1, "TPDO1"), Panel(C::Tpdo2, "TPDO2"), Panel(C::Tpdo3, "TPDO3"),
        Panel(C::Tpdo4, "TPDO4"), Panel(C::Tpdo5, "TPDO5"), Panel(C::Tpdo6, "TPDO6"),
        Panel(C::Tpdo7, "TPDO7"), Panel(C::Tpdo8, "TPDO8"),
    };
    // clang-format on
    QVector<CWindowInfo> windows;
    for (const Row& row : rows)
        windows.append(row.info);
    return windows;
}

template <typename Match> const CWindowInfo* FindFirst(Match match)
{
    for (const CWindowInfo& window : Windows()) {
        if (match(window))
            return &window;
    }
    return nullptr;
}
} // namespace

bool CWindowInfo::IsParameterPage() const
{
    return kind == WindowKind::ParameterPage || kind == WindowKind::BusPanel;
}

bool CWindowInfo::IsEnglish(int language)
{
    return language == 2;
}

QString CWindowInfo::Title(int language) const
{
    return IsEnglish(language) ? englishTitle : title;
}

QString CWindowInfo::MenuText(int language) const
{
    if (menuText.isEmpty())
        return Title(language);
    return IsEnglish(language) ? englishMenuText : menuText;
}

QSize CWindowInfo::WindowSize(int dotsPerInch, int language, const int columnWidths[5]) const
{
    const bool at96 = dotsPerInch == 96;
    switch (sizeRule) {
    case SizeRule::Fixed:
        return at96 ? size96 : sizeOther;
    case SizeRule::ByLanguage:
        if (IsEnglish(language))
            return at96 ? englishSize96 : englishSizeOther;
        return at96 ? size96 : sizeOther;
    case SizeRule::Formula:
        break;
    }
    const int border = at96 ? 86 : 110;
    const int* w = columnWidths;
    return QSize(border + w[0] + w[1] + w[2] + int(0.05 * w[4]), border + w[3] + int(0.03 * w[4]));
}

const QVector<CWindowInfo>& Windows()
{
    static const QVector<CWindowInfo> windows = Build();
    return windows;
}

const CWindowInfo* FindWindow(CommandId command)
{
    if (command == CommandId::None)
        return nullptr;
    return FindFirst([command](const CWindowInfo& w) { return w.command == command; });
}

const CWindowInfo* FindWindowByToolButton(CommandId button)
{
    if (button == CommandId::None)
        return nullptr;
    return FindFirst([button](const CWindowInfo& w) { return w.toolButton == button; });
}

const CWindowInfo* FindWindowByProjectPage(int projectPage)
{
    if (projectPage <= 0)
        return nullptr;
    return FindFirst([projectPage](const CWindowInfo& w) { return w.projectPage == projectPage; });
}

const CWindowInfo* FindWindow(const QString& name)
{
    if (name.isEmpty())
        return nullptr;
    bool isNumber = false;
    const int number = name.toInt(&isNumber);
    if (isNumber)
        return FindWindow(CommandId(number));
    if (const CWindowInfo* byPage =
            FindFirst([&name](const CWindowInfo& w) { return w.pageName == name; }))
        return byPage;
    return FindFirst([&name](const CWindowInfo& w) { return w.className == name; });
}

const CWindowInfo* FindParameterPage(const QString& pageName)
{
    const CWindowInfo* window = FindWindow(pageName);
    return window && window->IsParameterPage() && window->pageName == pageName ? window : nullptr;
}

QStringList ParameterPageNames()
{
    QStringList names;
    for (const CWindowInfo& window : Windows()) {
        if (window.IsParameterPage())
            names.append(window.pageName);
    }
    return names;
}

bool OfferedForDictionary(const CWindowInfo& window, bool fromDescription)
{
    if (window.standardDrive)
        return fromDescription;
    return !fromDescription || window.kind != WindowKind::ParameterPage;
}
