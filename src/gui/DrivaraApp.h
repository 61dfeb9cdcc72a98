#pragma once

#include "comm/ConnectionSettings.h"

#include <QDeadlineTimer>
#include <QString>
#include <QStringList>

#include <memory>

class CMainFrame;
class CSysData;
class QTranslator;

// Command-line options of the program (all optional).
struct CDrivaraOptions
{
    // What the command line asks for: a run, or a text to print and end with (exit 0 for help
    // and version, kExitBadArguments for an error, before anything is written).
    enum Request
    {
        Run,
        Help,
        Version,
        Error
    } request = Run;
    QString output; // the help or version text, or the error message

    QString baseDir;       // --base DIR: the installation folder (default: found)
    QStringList openPages; // --open PAGE...: pages opened after start-up
    QString projectPath;   // --project FILE: a project opened after them
    bool connect = false;  // --connect: press the connect button after start-up
    bool tile = false;     // --tile: Window > Tile once the pages are open
    // --serial PORT [--baud N] [--node N]: RS232 with these settings, saved to sys.ini first.
    bool saveSerial = false;
    CConnectionSettings connection;
    QString screenshotPath; // --screenshot FILE: save the window once values arrived, then quit
    int screenshotWaitMs = 15000;
};

constexpr int kExitBadArguments = 3;
constexpr char kDrivaraVersion[] = "1.6";

// Reads the arguments (argv[0] first) with the connection checks drivactl applies. Needs an
// application object for the help text, never a display.
CDrivaraOptions ParseDrivaraOptions(const QStringList& arguments);
// The usage line, for a message about a bad command line.
QString DrivaraUsage();

// The application: settles the language, loads the English texts, creates the main window and
// sets the list columns for the screen.
class CDrivaraApp
{
public:
    // rememberPlace: the main window opens where the last run left it and keeps its place for
    // the next; without it (tests, screenshots) it takes the default place and leaves none.
    explicit CDrivaraApp(CSysData& sys, bool rememberPlace = false);
    ~CDrivaraApp();

    // False when the program is to end without a main window (no language chosen, no English
    // texts); exitCode then holds the process's exit code.
    bool InitInstance(int& exitCode);
    // What the options ask for after start-up: pages, connection, screenshot.
    void RunOptions(const CDrivaraOptions& options);

    CMainFrame* mainFrame() const { return m_mainFrame.get(); }

    // Loads data/EN.qm into the application; false when it cannot.
    static bool LoadEnglish(const QString& path, QTranslator& translator);

private:
    void TakeScreenshot(const QString& path, int waitMs);
    void WaitThenShoot(const QString& path, const QDeadlineTimer& until);
    void Shoot(const QString& path);

    CSysData& m_sys;
    bool m_rememberPlace;
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<CMainFrame> m_mainFrame;
};
