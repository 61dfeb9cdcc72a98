#pragma once

#include "app/MainFrameLogic.h"

#include <QHash>
#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class CChildFrame;
class CMdiArea;
class CSysData;
class QAction;
class QLabel;
class QMenu;
class QToolBar;
struct CPageCommand;

// The main window: menus, toolbar with the drive-state indicator, status bar with the
// connection, and one page window per page. It routes commands and tells the pages about
// connection changes; the drive logic itself is the core's CMainFrameLogic.
class CMainFrame : public QMainWindow
{
    Q_OBJECT

public:
    explicit CMainFrame(CSysData& sys, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a menu, toolbar or accelerator command by its number.
    void OnCommand(int command);
    // Opens (or re-shows) the page window of a page-table command; null when it cannot open.
    CChildFrame* OpenPage(int command);
    CChildFrame* page(int command) const;
    QList<CChildFrame*> pages() const;
    // The connect button: reopen from the saved settings, or close.
    void ConnectButton();
    // WM_USER+2 (0 serial, 1 CAN): the settings window of that kind.
    void OpenSettingsWindow(int kind);
    void SendToAllPages(unsigned code);
    void CloseAllPages();

    CMainFrameLogic& logic() { return m_logic; }
    CMdiArea* mdiArea() const { return m_mdi; }
    QAction* action(int command) const { return m_actions.value(command); }
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
    QAction* Command(QWidget* menu, int command, const QString& text,
                     const QKeySequence& shortcut = {});
    void SetStateIcon(int icon);
    void ConnectionChanged();
    bool ReopenFromSettings(QString& error);
    QWidget* CreateView(const CPageCommand& page);
    void ShowLanguageDialog();
    void ShowAbout();
    void ShowInitSave();

    CSysData& m_sys;
    CMainFrameLogic m_logic;
    CMdiArea* m_mdi = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_statusLabel = nullptr;
    QAction* m_stateAction = nullptr;
    QHash<int, QAction*> m_actions;
    QHash<int, QPointer<CChildFrame>> m_pages;
    QTimer m_blink;
    int m_stateIcon = 0;
    // The indicator's pictures, drawn once: it blinks all session long, and Qt's pixmap cache
    // keeps what it painted of every new picture until the cache is full (10 MB).
    QHash<int, QIcon> m_stateIcons;
};
