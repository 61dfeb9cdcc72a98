#pragma once

#include "DeviceDescription.h"
#include "PageFactory.h"
#include "ProjectCommands.h"
#include "app/MainFrameLogic.h"
#include "windows/WindowRegistry.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <optional>

class CChildFrame;
class CMdiArea;
class CSysData;
class QAction;
class QLabel;
class QMenu;
class QToolBar;

// The main window: menus, toolbar with the drive-state indicator, status bar with the
// connection, and one page window per page. It routes commands and tells the pages about
// connection changes; the drive logic itself is the core's CMainFrameLogic.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(CSysData& sys, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a menu, toolbar or accelerator command.
    void OnCommand(CommandId command);
    // Opens (or re-shows) the window of a registry command; null when it cannot open (no
    // creator for its kind yet, or the creator made no view).
    CChildFrame* OpenPage(CommandId command);
    CChildFrame* page(CommandId command) const;
    QList<CChildFrame*> pages() const;
    // The connect button: reopen from the saved settings, or close.
    void ConnectButton();
    // WM_USER+2 (0 serial, 1 CAN): the settings window of that kind.
    void OpenSettingsWindow(int kind);
    void SendToAllPages(unsigned code);
    void CloseAllPages();
    // Where the next project page opens (a point of the window area) while a project is opened;
    // a page still open is moved there with WM_MOVE_PAGE.
    void SetRestorePlacement(const QPoint& position) { m_restoreAt = position; }
    void ClearRestorePlacement() { m_restoreAt.reset(); }
    CProjectCommands& project() { return m_project; }
    CDeviceDescriptionCommand& deviceDescription() { return m_deviceDescription; }

    CMainFrameLogic& logic() { return m_logic; }
    CMdiArea* mdiArea() const { return m_mdi; }
    QAction* action(CommandId command) const { return m_actions.value(command); }
    const CWindowFactory& windowFactory() const { return m_factory; }
    QString statusText() const;
    int stateIcon() const { return m_stateIcon; }

    // The three states the indicator may show.
    static bool IsStateIcon(int icon) { return icon == 205 || icon == 210 || icon == 211; }

signals:
    void stateIconChanged(int icon);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolBar();
    QAction* Command(QWidget* menu, CommandId command, const QString& text,
                     const QKeySequence& shortcut = {});
    // The registry's windows of one menu, with a separator between their groups.
    void AddWindows(QMenu* menu, WindowMenu place);
    // A command that opens a window: disabled, saying why, while its kind has no creator.
    QAction* WindowCommand(QWidget* menu, CommandId command, const CWindowInfo& window);
    void RegisterCreators();
    QWidget* CreateCommMode();
    QWidget* CreateCommSettings();
    void SetStateIcon(int icon);
    void ConnectionChanged();
    bool ReopenFromSettings(QString& error);
    void ShowLanguageDialog();
    void ShowAbout();
    void ShowInitSave();

    CSysData& m_sys;
    CMainFrameLogic m_logic;
    CMdiArea* m_mdi = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QAction* m_stateAction = nullptr;
    CWindowFactory m_factory;
    QHash<CommandId, QAction*> m_actions;
    QHash<CommandId, QPointer<CChildFrame>> m_pages;
    CProjectCommands m_project{*this, m_sys};
    CDeviceDescriptionCommand m_deviceDescription{*this, m_sys};
    std::optional<QPoint> m_restoreAt;
    QTimer m_blink;
    int m_stateIcon = 0;
    // The indicator's pictures, drawn once: it blinks all session long, and Qt's pixmap cache
    // keeps what it painted of every new picture until the cache is full (10 MB).
    QHash<int, QIcon> m_stateIcons;
};
