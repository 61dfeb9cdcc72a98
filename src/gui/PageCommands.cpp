#include "PageCommands.h"

#include "app/SysData.h"
#include "pages/PageTable.h"

#include <QCoreApplication>

namespace {
using Kind = CPageCommand::Kind;
using SizeRule = CPageCommand::SizeRule;

CPageCommand Param(int command, const char* menuText, const char* className, bool activate)
{
    CPageCommand page;
    page.command = command;
    page.menuText = menuText;
    page.kind = Kind::Parameter;
    page.name = className;
    page.activateAfterCreate = activate;
    return page;
}

CPageCommand Fixed(int command, const char* menuText, const char* title, Kind kind, QSize at96,
                   QSize other)
{
    CPageCommand page;
    page.command = command;
    page.menuText = menuText;
    page.title = title;
    page.kind = kind;
    page.sizeRule = SizeRule::Fixed;
    page.size96 = at96;
    page.sizeOther = other;
    return page;
}

CPageCommand Panel(int command, const char* menuText, const char* panelName, int pageNumber,
                   bool sendsPageControl)
{
    CPageCommand page;
    page.command = command;
    page.menuText = menuText;
    page.title = menuText;
    page.kind = Kind::BusPanel;
    page.name = panelName;
    page.pageNumber = pageNumber;
    page.sendsPageControl = sendsPageControl;
    return page;
}

QVector<CPageCommand> Build()
{
    QVector<CPageCommand> pages;
    pages << Param(1227, QT_TRANSLATE_NOOP("CMainFrame", "基本操作"), "CBaseOperate", false)
          << Param(1215, QT_TRANSLATE_NOOP("CMainFrame", "位置环"), "CPositCircle", true)
          << Param(1217, QT_TRANSLATE_NOOP("CMainFrame", "速度环"), "CSpeedCircle", true)
          << Param(1248, QT_TRANSLATE_NOOP("CMainFrame", "电流环"), "CCurrentCircle", true);
    CPageCommand io =
        Fixed(1218, QT_TRANSLATE_NOOP("CMainFrame", "I／O口"),
              QT_TRANSLATE_NOOP("CPageTitle", "I／O口"), Kind::Other, {465, 565}, {520, 620});
    io.pageNumber = 6;
    io.name = "CDataInOut";
    pages << io << Param(1219, QT_TRANSLATE_NOOP("CMainFrame", "模拟输入"), "CAnalogInput", false)
          << Param(1245, QT_TRANSLATE_NOOP("CMainFrame", "输入功能配置"), "CFuncConfig", false)
          << Param(1220, QT_TRANSLATE_NOOP("CMainFrame", "模拟速度模式"), "CSpeedMode", true)
          << Param(1221, QT_TRANSLATE_NOOP("CMainFrame", "速度段模式"), "CSpeedPhaseMode", false)
          << Param(1222, QT_TRANSLATE_NOOP("CMainFrame", "模拟力矩模式"), "CTorqueMode", false)
          << Param(1223, QT_TRANSLATE_NOOP("CMainFrame", "脉冲模式"), "CPulseMode", false)
          << Param(1224, QT_TRANSLATE_NOOP("CMainFrame", "自动翻转"), "CAutoSeverseMode", false)
          << Param(1225, QT_TRANSLATE_NOOP("CMainFrame", "位置段模式"), "CPositionMode", false)
          << Param(1253, QT_TRANSLATE_NOOP("CMainFrame", "原点模式"), "CHomingMode", false)
          << Param(1226, QT_TRANSLATE_NOOP("CMainFrame", "时钟摆动模式"), "CClockSwingMode", true)
          << Param(1233, QT_TRANSLATE_NOOP("CMainFrame", "驱动器配置"), "CDrvCfg", true);

    CPageCommand scope;
    scope.command = 1247;
    scope.menuText = QT_TRANSLATE_NOOP("CMainFrame", "示波器");
    scope.title = QT_TRANSLATE_NOOP("CPageTitle", "示波器");
    scope.name = "CDriverOscillo";
    scope.pageNumber = 18;
    scope.sizeRule = SizeRule::ByLanguage;
    scope.size96 = {912, 615};
    scope.sizeOther = {1164, 780};
    scope.englishSize96 = {1010, 640};
    scope.englishSizeOther = {1255, 790};
    scope.position = {0, 0};
    pages << scope;

    CPageCommand errors = scope;
    errors.command = 1235;
    errors.menuText = QT_TRANSLATE_NOOP("CMainFrame", "实时错误");
    errors.title = QT_TRANSLATE_NOOP("CPageTitle", "实时错误");
    errors.name = "CRealtimeError";
    errors.pageNumber = 19;
    errors.size96 = {610, 540};
    errors.sizeOther = {750, 660};
    errors.englishSize96 = {740, 550};
    errors.englishSizeOther = {920, 680};
    errors.position = {50, 20};
    pages << errors;

    pages << Param(1228, QT_TRANSLATE_NOOP("CMainFrame", "历史错误"), "CErrorGroup", false);
    CPageCommand property =
        Param(1234, QT_TRANSLATE_NOOP("CMainFrame", "驱动器属性"), "CDriverProterty", false);
    property.sizeRule = SizeRule::Fixed;
    property.size96 = {570, 240};
    property.sizeOther = {710, 280};
    pages << property
          << Param(1229, QT_TRANSLATE_NOOP("CMainFrame", "电机配置"), "CMotorParam", false)
          << Panel(32859, "TPDO", "TPDO1", 48, false) << Panel(32857, "RPDO", "RPDO1", 49, false);

    CPageCommand browser =
        Fixed(1250, QT_TRANSLATE_NOOP("CMainFrame", "对象字典"),
              QT_TRANSLATE_NOOP("CPageTitle", "对象字典"), Kind::Other, {800, 460}, {890, 580});
    browser.name = "CSdoList";
    browser.sendsPageControl = false;
    CPageCommand exportView =
        Fixed(1243, QT_TRANSLATE_NOOP("CMainFrame", "读驱动器配置"),
              QT_TRANSLATE_NOOP("CPageTitle", "读驱动器配置"), Kind::Other, {580, 520}, {700, 650});
    exportView.name = "CExportDrvData";
    exportView.position = {80, 30};
    exportView.activateAfterCreate = true;
    CPageCommand importView =
        Fixed(1244, QT_TRANSLATE_NOOP("CMainFrame", "写驱动器配置"),
              QT_TRANSLATE_NOOP("CPageTitle", "写驱动器配置"), Kind::Other, {680, 530}, {850, 660});
    importView.name = "CImportDrvData";
    importView.activateAfterCreate = true;
    CPageCommand mode =
        Fixed(1212, QT_TRANSLATE_NOOP("CMainFrame", "通讯方式"),
              QT_TRANSLATE_NOOP("CPageTitle", "通讯方式"), Kind::CommMode, {300, 260}, {370, 320});
    mode.name = "CommMode";
    mode.sendsPageControl = false;
    CPageCommand settings =
        Fixed(1213, QT_TRANSLATE_NOOP("CMainFrame", "属性"),
              QT_TRANSLATE_NOOP("CPageTitle", "属性"), Kind::CommSettings, {300, 260}, {360, 320});
    settings.name = "CommSettings";
    settings.sendsPageControl = false;
    pages << browser << exportView << importView << mode << settings;

    // The bus configuration panels of the bus menu.
    pages << Panel(32825, "EtherCAT", "EtherCAT", 0, true)
          << Panel(32826, QT_TRANSLATE_NOOP("CMainFrame", "其它"), "PdoOther", 0, true);
    return pages;
}

QString Translated(const char* context, const char* text)
{
    return text ? QCoreApplication::translate(context, text) : QString();
}
} // namespace

const QVector<CPageCommand>& PageCommands()
{
    static const QVector<CPageCommand> pages = Build();
    return pages;
}

const CPageCommand* FindPageCommand(int command)
{
    for (const CPageCommand& page : PageCommands()) {
        if (page.command == command)
            return &page;
    }
    return nullptr;
}

const CPageSpec* PageSpecOf(const CPageCommand& page)
{
    if (page.kind == CPageCommand::Kind::Parameter)
        return FindPageSpec(QLatin1String(page.name));
    if (page.kind == CPageCommand::Kind::BusPanel)
        return FindPageSpec(QStringLiteral("CDrvPanelF002"));
    return nullptr;
}

const CPageCommand* FindPageCommandByName(const QString& name)
{
    bool isNumber = false;
    const int command = name.toInt(&isNumber);
    if (isNumber)
        return FindPageCommand(command);
    for (const CPageCommand& page : PageCommands()) {
        if (page.name && name == QLatin1String(page.name))
            return &page;
        const CPageSpec* spec = PageSpecOf(page);
        if (spec && page.kind == CPageCommand::Kind::Parameter &&
            (spec->pageName == name || spec->className == name))
            return &page;
    }
    return nullptr;
}

QString PageTitle(const CPageCommand& page, const CSysData& sys)
{
    if (page.kind == CPageCommand::Kind::Parameter) {
        if (const CPageSpec* spec = PageSpecOf(page))
            return sys.programLanguage == 2 ? spec->englishTitle : spec->title;
    }
    return Translated("CPageTitle", page.title);
}

QSize PageWindowSize(const CPageCommand& page, const CSysData& sys)
{
    const bool at96 = sys.dotsPerInch == 96;
    switch (page.sizeRule) {
    case CPageCommand::SizeRule::Fixed:
        return at96 ? page.size96 : page.sizeOther;
    case CPageCommand::SizeRule::ByLanguage:
        if (sys.programLanguage == 1)
            return at96 ? page.size96 : page.sizeOther;
        return at96 ? page.englishSize96 : page.englishSizeOther;
    case CPageCommand::SizeRule::Formula:
        break;
    }
    const int border = at96 ? 86 : 110;
    const int* w = sys.columnWidths;
    return QSize(border + w[0] + w[1] + w[2] + int(0.05 * w[4]), border + w[3] + int(0.03 * w[4]));
}
