#pragma once

#include <QPoint>
#include <QSize>
#include <QString>
#include <QVector>

class CSysData;
struct CPageSpec;

// One row of the main frame's page table: the command that opens a page window, where the page
// sits in the menus, how big its window is and what the main frame tells it after creation.
struct CPageCommand
{
    enum class Kind
    {
        Parameter,    // a parameter page of the core's page table (className)
        BusPanel,     // the bus configuration panel, named by pageName
        CommMode,     // the communication mode window
        CommSettings, // the serial or CAN settings window, by the communication mode
        Other         // a view of its own (oscilloscope, I/O, browser, transfers)
    };
    enum class SizeRule
    {
        Formula,   // from the list column widths
        Fixed,     // size96 at 96 dots per inch, sizeOther at any other density
        ByLanguage // Chinese: size96/sizeOther; English: englishSize96/englishSizeOther
    };

    int command = 0;
    const char* menuText = nullptr; // built-in (Chinese) menu text
    int pageNumber = 0;             // identity in the project store; 0 none
    const char* title = nullptr;    // built-in window title
    Kind kind = Kind::Other;
    const char* name = nullptr; // class name (parameter pages) or panel name (bus panels)
    SizeRule sizeRule = SizeRule::Formula;
    QSize size96, sizeOther, englishSize96, englishSizeOther;
    QPoint position{50, 20};
    bool activateAfterCreate = false; // WM_PAGE_CONTROL (0) once more after creation
    bool sendsPageControl = true;     // false: re-showing sends no WM_PAGE_CONTROL at all
};

const QVector<CPageCommand>& PageCommands();
const CPageCommand* FindPageCommand(int command);
// By command number, page or class name ("VelocityLoop", "CSpeedCircle"), or one of the names
// "CommMode", "CommSettings", "Oscilloscope", ...; null when unknown.
const CPageCommand* FindPageCommandByName(const QString& name);
// The core's page spec of a parameter page or bus panel; null for the other kinds.
const CPageSpec* PageSpecOf(const CPageCommand& page);

// The window title in the program language.
QString PageTitle(const CPageCommand& page, const CSysData& sys);
// The page window's size in pixels for the screen density and language in sys.
QSize PageWindowSize(const CPageCommand& page, const CSysData& sys);
