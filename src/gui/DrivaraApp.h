#pragma once

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
    QString baseDir;       // --base DIR: the installation folder (default: found)
    QStringList openPages; // --open PAGE...: pages opened after start-up
    bool connect = false;  // --connect: press the connect button after start-up
    bool tile = false;     // --tile: Window > Tile once the pages are open
    QString serialPort;    // --serial PORT: save these serial settings (mode RS232) first
    QString baud = QStringLiteral("115200"); // --baud N
    QString node = QStringLiteral("1");      // --node N
    QString screenshotPath; // --screenshot FILE: save the window once values arrived, then quit
    int screenshotWaitMs = 15000;
    QString error; // a bad command line
};

CDrivaraOptions ParseDrivaraOptions(const QStringList& arguments);

// The application: settles the language, loads the English texts, creates the main window and
// sets the list columns for the screen.
class CDrivaraApp
{
public:
    explicit CDrivaraApp(CSysData& sys);
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
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<CMainFrame> m_mainFrame;
};
