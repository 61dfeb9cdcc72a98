#pragma once

#include <QObject>
#include <QString>

class QEvent;
class QMenu;
class QWidget;

// What the main window does as any desktop program does, apart from the drive work: the manual
// (the README shipped with the program) in the Help menu and on F1, and no shortcut shown for a
// command that cannot run.
namespace DesktopHabits {

// The settings file that keeps the main window's place: beside sys.ini when the program runs
// from its own base folder (the build tree), else in the XDG config folder, so that an
// installation prefix is never written to. Not an .ini: the page files are the .ini files of sys/.
QString PlaceFile(const QString& baseDir, const QString& programDir, const QString& sysIniPath);

// The README shipped with the program: in the build tree's base folder, or in share/doc/drivara
// of the prefix whose lib/drivara is the base folder. Empty when neither holds one.
QString ManualPath(const QString& baseDir);

// Opens the manual in the desktop's viewer; a missing manual or a desktop that opens nothing is
// named in a message.
void OpenManual(const QString& baseDir);

// Puts the manual at the top of the Help menu and lets F1 open it when the key reaches the
// window unanswered: a parameter page answers F1 before with the help of its row.
void AddManual(QWidget& window, QMenu& help, const QString& baseDir);

// Takes the shortcuts off the window's actions while they are disabled and gives them back when
// they are enabled: a menu never shows a key that would do nothing.
void HideShortcutsWhileDisabled(QWidget& window);

} // namespace DesktopHabits

// Keeps a window's place, size and state (maximised, full screen) from one run to the next:
// restored when made, saved whenever the window is asked to close.
class CWindowPlace : public QObject
{
public:
    CWindowPlace(QWidget& window, const QString& file);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    QString m_file;
};
