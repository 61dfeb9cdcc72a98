#pragma once

#include <QHashFunctions>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// Every command of the main frame by name. The numbers are those the drive tools have always
// used (menus, toolbar, accelerators); a window is known by the command that opens it.
enum class CommandId : int
{
    None = 0,
    // File, View, Window and Help
    New = 57600,
    OpenProject = 57601,
    CtrlS = 57603,
    SaveProject = 57604,
    NextWindow = 57648,
    PreviousWindow = 57649,
    About = 57664,
    Exit = 57665,
    ToolBarShown = 59392,
    StatusBarShown = 59393,
    Language = 1236,
    InitSave = 1246,
    // Toolbar buttons
    ToolOpenProject = 1125,
    ToolSaveProject = 1126,
    ToolOscilloscope = 1127,
    Connect = 1128,
    ToolDigitalIo = 1129,
    ToolRealTimeError = 1130,
    ToolWriteDriveConfig = 1131,
    ToolReadDriveConfig = 1132,
    Tile = 1133,
    Cascade = 1134,
    // Windows
    CommMode = 1212,
    CommSettings = 1213,
    PositionLoop = 1215,
    VelocityLoop = 1217,
    DigitalIo = 1218,
    AnalogInput = 1219,
    AnalogVelocityMode = 1220,
    MultiVelocityMode = 1221,
    AnalogTorqueMode = 1222,
    PulseMode = 1223,
    AutoReverse = 1224,
    MultiPositionMode = 1225,
    ClockSwing = 1226,
    BasicOperate = 1227,
    ErrorHistory = 1228,
    MotorConfig = 1229,
    DriverConfig = 1233,
    DriverProperty = 1234,
    RealTimeError = 1235,
    ReadDriveConfig = 1243,
    WriteDriveConfig = 1244,
    DinFunctionConfig = 1245,
    Oscilloscope = 1247,
    CurrentLoop = 1248,
    ObjectDictionary = 1250,
    HomingMode = 1253,
    EtherCat = 32825,
    PdoOther = 32826,
    Rpdo1 = 32832,
    Rpdo2 = 32833,
    Rpdo3 = 32834,
    Rpdo4 = 32835,
    Rpdo5 = 32836,
    Rpdo6 = 32837,
    Rpdo7 = 32838,
    Rpdo8 = 32839,
    // The transmit panels count down from TPDO3 on.
    Tpdo1 = 32840,
    Tpdo2 = 32841,
    Tpdo3 = 32852,
    Tpdo4 = 32851,
    Tpdo5 = 32850,
    Tpdo6 = 32849,
    Tpdo7 = 32848,
    Tpdo8 = 32847,
    RpdoTabs = 32857,
    TpdoTabs = 32859,
    // The pages of a standard CiA 402 drive, for a dictionary built from a device description.
    Cia402Identity = 32880,
    Cia402Control = 32881,
    Cia402Profile = 32882,
    Cia402Homing = 32883,
    Cia402Limits = 32884,
    // File: a device description converted into the operator's dictionary.
    OpenDeviceDescription = 32890,
    // Errors: the heartbeats and emergencies the CAN bus reported.
    Emergencies = 32891,
};

inline size_t qHash(CommandId command, size_t seed = 0) noexcept
{
    return qHash(int(command), seed);
}

// What builds a window: the window layer registers one creator per kind.
enum class WindowKind
{
    ParameterPage,    // a list of objects from a page file (the parameter page family)
    BusPanel,         // a parameter page opened as a bus configuration panel
    PdoTabs,          // eight bus panels as tabs
    CommMode,         // the communication mode window
    CommSettings,     // the serial or CAN settings window, by the communication mode
    Oscilloscope,     // the recorder's settings and plot
    DigitalIo,        // inputs and outputs with their functions
    RealTimeError,    // the error bits as they come
    ObjectDictionary, // the dictionary browser
    ConfigExport,     // reads a drive configuration into a file
    ConfigImport,     // writes one back
    BusEvents,        // the heartbeats, emergencies and lost nodes of the CAN bus
};

// How a parameter page differs from the shared behaviour.
enum class PageVariant
{
    Standard,
    DriverProperty, // fixed column widths, reads VISIBLE STRING objects by segments, no list save
    ErrorGroup,     // always loads its page file, saves only its placement
    BusPanel,       // CDrvPanelF002: labels from 0, no list save
    FuncConfig,     // no project restore at creation
    TorqueMode,     // ignores action 2
};

// How big a window opens.
enum class SizeRule
{
    Formula,   // from the list column widths
    Fixed,     // size96 at 96 dots per inch, sizeOther at any other density
    ByLanguage // Chinese: size96/sizeOther; English: englishSize96/englishSizeOther
};

// The main menu a window's command sits in; None: reached by name or by another window only.
enum class WindowMenu
{
    None,
    File,
    Communication,
    Drive,
    OperatingModes,
    Errors,
    BusConfiguration,
    Tools
};

// Everything the program knows about one window.
struct CWindowInfo
{
    CommandId command = CommandId::None; // the window's id: the command that opens it
    WindowKind kind = WindowKind::ParameterPage;
    QString className;
    // The window's name for --open and drivactl; for the windows that keep a file under sys/
    // (every parameter page, the oscilloscope, the I/O and error pages) that file's name.
    QString pageName;
    QString title;        // Chinese
    QString englishTitle; // English
    // Menu text where it differs from the title (Chinese, English).
    QString menuText, englishMenuText;
    WindowMenu menu = WindowMenu::None;
    int menuGroup = 0;                      // a separator stands between groups of one menu
    CommandId toolButton = CommandId::None; // the toolbar button that opens it as well
    int projectPage = 0;                    // its number in the project file; 0 none
    SizeRule sizeRule = SizeRule::Formula;
    QSize size96, sizeOther, englishSize96, englishSizeOther;
    QPoint position{50, 20};          // where it opens in the window area
    bool activateAfterCreate = false; // WM_PAGE_CONTROL (0) once more after creation
    bool sendsPageControl = true;     // false: re-showing sends no WM_PAGE_CONTROL at all
    bool rightClickMenu = false;      // parameter pages: "add", "del", "help"
    PageVariant variant = PageVariant::Standard;
    // A page of the standard drive objects (CiA 402), whose file names no vendor object: it
    // serves a dictionary built from a device description (data/device.eds beside it).
    bool standardDrive = false;

    // Whether the window shows a parameter page's list (and so has a page file).
    bool IsParameterPage() const;
    // The program language (1 Chinese, 2 English, 3 the built-in texts) whose texts and sizes
    // are the English ones.
    static bool IsEnglish(int language);
    // Title and menu text in the program language.
    QString Title(int language) const;
    QString MenuText(int language) const;
    // The window's size in pixels for the screen density, the language and the list column
    // widths (w1 to w5) of that density.
    QSize WindowSize(int dotsPerInch, int language, const int columnWidths[5]) const;
};

// Every window, in menu order (the windows without a menu entry last).
const QVector<CWindowInfo>& Windows();
// Whether the menus offer the window for the dictionary in use: the standard drive pages for a
// dictionary built from a device description, the pages of the vendor's own objects otherwise.
bool OfferedForDictionary(const CWindowInfo& window, bool fromDescription);

// Lookups; null when no window matches.
const CWindowInfo* FindWindow(CommandId command);
const CWindowInfo* FindWindowByToolButton(CommandId button);
const CWindowInfo* FindWindowByProjectPage(int projectPage);
// By page name, class name (the first window of that class), or command number as text.
const CWindowInfo* FindWindow(const QString& name);
// A parameter page or bus panel by its page name (as drivactl's page takes it).
const CWindowInfo* FindParameterPage(const QString& pageName);
// The page names of the parameter pages and bus panels, in table order.
QStringList ParameterPageNames();
