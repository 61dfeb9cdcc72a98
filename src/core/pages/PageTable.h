#pragma once

#include <QString>
#include <QVector>

// How a parameter page differs from the shared behaviour.
enum class PageVariant
{
    Standard,
    DriverProperty, // fixed column widths, reads VISIBLE STRING objects by segments, no list save
    ErrorGroup,     // always loads its page file, saves only its placement
    BusPanel,       // CDrvPanelF002: page name set by the opening command, labels from 0
    FuncConfig,     // no project restore at creation
    TorqueMode,     // ignores action 2
};

// The constants of one parameter page.
struct CPageSpec
{
    QString className;
    QString pageName;
    int templateId = 0; // dialog template and window title string
    QString title;      // built-in (Chinese) title
    QString englishTitle;
    int listId = 0;
    int projectPage = 0; // section number in the project page store; 0 none
    int menuCommand = 0;
    bool rightClickMenu = false;
    PageVariant variant = PageVariant::Standard;
};

// The nineteen parameter pages, in the order of the page table.
const QVector<CPageSpec>& ParameterPages();
// Page by class name or page name (case-sensitive); null when unknown.
const CPageSpec* FindPageSpec(const QString& name);
// The bus configuration panels that share CDrvPanelF002.
QVector<QString> BusPanelNames();

// The bus configuration command that opens a single panel, with the panel's name.
struct CBusPanelCommand
{
    int command = 0;
    QString panelName;
};
// The single-panel commands in menu order; TPDO3 to TPDO8 count their commands downwards.
const QVector<CBusPanelCommand>& BusPanelCommands();
// Panel name of a bus configuration command; empty for any other command.
QString BusPanelForCommand(int command);
// Window title of a panel: its name, except "PdoOther", which is titled "配置" when the
// program language is Chinese (1) and "Configure" otherwise.
QString BusPanelTitle(const QString& panelName, int language);

// What a page writes into the project when the project is saved.
enum class ProjectSave
{
    ListAndPlacement, // its rows and its window placement
    PlacementOnly,    // the window placement alone
};
ProjectSave ProjectSaveFor(const CPageSpec& spec);

// The right-click menu of a page ("add", "del", "help") for the current selection.
struct CPageMenuState
{
    bool shown = false; // whether the page has the menu at all
    bool addEnabled = false;
    bool deleteEnabled = false;
    bool helpEnabled = false;
};
CPageMenuState PageMenuState(const CPageSpec& spec, bool anyRowSelected);
