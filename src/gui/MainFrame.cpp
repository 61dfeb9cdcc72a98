#include "MainFrame.h"

#include "AboutDialog.h"
#include "ChildFrame.h"
#include "CommCan.h"
#include "CommMode.h"
#include "CommRs232.h"
#include "DesktopHabits.h"
#include "Icons.h"
#include "InitSaveDialog.h"
#include "LanguageDialog.h"
#include "MdiArea.h"
#include "PageFactory.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/ConnectionSettings.h"
#include "pages/ParamPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace {
// How long a heartbeat or emergency stays in the status bar.
constexpr int kBusEventShownMs = 10000;

int ScreenDpi(const QWidget* widget)
{
    return widget->logicalDpiX() > 0 ? widget->logicalDpiX() : 96;
}
} // namespace

CMainFrame::CMainFrame(CSysData& sys, QWidget* parent)
    : QMainWindow(parent), m_sys(sys), m_logic(sys)
{
    setObjectName(QStringLiteral("CMainFrame"));
    setWindowTitle(tr("Drivara V1.6"));
    setWindowIcon(Icons::AppIcon());
    // 1331 x 844 at 96 dots per inch, grown with the density so that the pages fit.
    const double scale = ScreenDpi(this) / 96.0;
    QRect placed(100, 100, int(1331 * scale), int(844 * scale));
    // Never larger than the screen's free area, nor off it: the status bar stays in sight.
    if (const QScreen* shown = screen()) {
        const QRect free = shown->availableGeometry();
        placed.setSize(placed.size().boundedTo(free.size()));
        placed.moveRight(qMin(placed.right(), free.right()));
        placed.moveBottom(qMin(placed.bottom(), free.bottom()));
    }
    setGeometry(placed);

    m_mdi = new CMdiArea(this);
    setCentralWidget(m_mdi);
    RegisterCreators();
    BuildMenus();
    BuildToolBar();
    DesktopHabits::HideShortcutsWhileDisabled(*this);

    m_statusLabel = new QLabel(CommText::Closed(), this);
    m_statusLabel->setObjectName(QStringLiteral("commStatus"));
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addPermanentWidget(m_statusLabel);
    m_sys.captionHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);

    m_logic.onStateIcon = [this](int icon) { SetStateIcon(icon); };
    m_logic.onStatusText = [this](const QString& text) { m_statusLabel->setText(text); };
    m_logic.onPagesControl = [this](unsigned code) { SendToAllPages(code); };
    // Heartbeats and emergencies show for a while beside the connection's status.
    m_logic.onBusEvent = [this](const QString& text) {
        statusBar()->showMessage(text, kBusEventShownMs);
    };
    m_logic.WatchBus();
    m_logic.onConnectionChanged = [this] { ConnectionChanged(); };
    m_logic.onOpenWindow = [this](uint32_t which) {
        if (which == 2)
            OpenPage(CommandId::ObjectDictionary);
        else if (which <= 1)
            OpenPage(CommandId::CommSettings);
    };
    SetStateIcon(CMainFrameLogic::IconNoDrive);

    m_blink.setInterval(1200);
    connect(&m_blink, &QTimer::timeout, this, [this] { m_logic.TimerTick(); });
    m_blink.start();
}

CMainFrame::~CMainFrame()
{
    // Pages go before the logic whose link they use.
    for (CChildFrame* child : pages())
        delete child;
    m_logic.onStateIcon = nullptr;
    m_logic.onStatusText = nullptr;
    m_logic.onPagesControl = nullptr;
    m_logic.onBusEvent = nullptr;
    m_logic.onConnectionChanged = nullptr;
    m_logic.onOpenWindow = nullptr;
}

QAction* CMainFrame::Command(QWidget* menu, CommandId command, const QString& text,
                             const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("cmd%1").arg(int(command)));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    if (menu)
        menu->addAction(action);
    else
        addAction(action);
    m_actions.insert(command, action);
    return action;
}

QAction* CMainFrame::WindowCommand(QWidget* menu, CommandId command, const CWindowInfo& window)
{
    const bool toolButton = command == window.toolButton;
    const QString text =
        toolButton ? window.Title(m_sys.programLanguage) : window.MenuText(m_sys.programLanguage);
    QAction* action = Command(menu, command, text);
    if (!m_factory.CanCreate(window)) {
        action->setEnabled(false);
        action->setToolTip(tr("%1：此版本尚未提供").arg(window.Title(m_sys.programLanguage)));
    }
    return action;
}

void CMainFrame::AddWindows(QMenu* menu, WindowMenu place)
{
    // The tooltip of a window this version does not have says so.
    menu->setToolTipsVisible(true);
    bool first = true;
    int group = 0;
    // A dictionary built from a device description has device.eds beside it.
    const bool fromDescription =
        QFileInfo::exists(m_sys.dictionaryDir + QStringLiteral("device.eds"));
    for (const CWindowInfo& window : Windows()) {
        if (window.menu != place || !OfferedForDictionary(window, fromDescription))
            continue;
        if (!first && window.menuGroup != group)
            menu->addSeparator();
        first = false;
        group = window.menuGroup;
        WindowCommand(menu, window.command, window);
    }
}

void CMainFrame::RegisterCreators()
{
    const auto page = [this](const CWindowInfo& window) {
        // Names and units come from the dictionary, which may still be loading at start-up.
        m_sys.dictionary.WaitUntilLoaded(10000);
        return CreatePageWidget(m_sys, window, nullptr);
    };
    m_factory.Register(WindowKind::ParameterPage, page);
    m_factory.Register(WindowKind::BusPanel, page);
    m_factory.Register(WindowKind::DigitalIo, [this](const CWindowInfo& window) {
        return CreateDigitalIoWidget(m_sys, window, nullptr);
    });
    m_factory.Register(WindowKind::PdoTabs, [this](const CWindowInfo& window) {
        return CreatePdoTabsWidget(m_sys, window, nullptr);
    });
    const auto transfer = [this](const CWindowInfo& window) {
        m_sys.dictionary.WaitUntilLoaded(10000);
        return CreateTransferView(m_sys, window, nullptr);
    };
    m_factory.Register(WindowKind::ConfigExport, transfer);
    m_factory.Register(WindowKind::ConfigImport, transfer);
    m_factory.Register(WindowKind::Oscilloscope, [this](const CWindowInfo&) {
        m_sys.dictionary.WaitUntilLoaded(10000);
        return CreateScopeWidget(m_sys, nullptr);
    });
    m_factory.Register(WindowKind::CommMode,
                       [this](const CWindowInfo&) { return CreateCommMode(); });
    m_factory.Register(WindowKind::CommSettings,
                       [this](const CWindowInfo&) { return CreateCommSettings(); });
    m_factory.Register(WindowKind::ObjectDictionary, [this](const CWindowInfo&) {
        m_sys.dictionary.WaitUntilLoaded(10000);
        return CreateDictionaryBrowser(m_sys);
    });
    m_factory.Register(WindowKind::RealTimeError,
                       [this](const CWindowInfo&) { return CreateRealtimeErrorPage(m_sys); });
    m_factory.Register(WindowKind::BusEvents, [this](const CWindowInfo&) {
        return CreateEmergencyList(m_logic.busEvents());
    });
}

void CMainFrame::BuildMenus()
{
    using C = CommandId;
    QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
    Command(file, C::New, tr("新建"), QKeySequence(Qt::CTRL | Qt::Key_N));
    Command(file, C::OpenProject, tr("打开工程"), QKeySequence(Qt::CTRL | Qt::Key_O));
    Command(file, C::SaveProject, tr("保存工程"));
    file->addSeparator();
    Command(file, C::OpenDeviceDescription, tr("打开设备描述"));
    file->addSeparator();
    AddWindows(file, WindowMenu::File);
    file->addSeparator();
    Command(file, C::Exit, tr("退出"), QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Ctrl+S has always been taken and does nothing.
    Command(nullptr, C::CtrlS, QString(), QKeySequence(Qt::CTRL | Qt::Key_S));

    QMenu* comm = menuBar()->addMenu(tr("通讯(&C)"));
    AddWindows(comm, WindowMenu::Communication);
    comm->addSeparator();
    Command(comm, C::Connect, tr("连接/断开"));

    QMenu* drive = menuBar()->addMenu(tr("驱动器(&D)"));
    AddWindows(drive, WindowMenu::Drive);
    drive->addSeparator();
    Command(drive, C::InitSave, tr("初始化/保存"));

    AddWindows(menuBar()->addMenu(tr("运行模式(&M)")), WindowMenu::OperatingModes);
    AddWindows(menuBar()->addMenu(tr("错误(&E)")), WindowMenu::Errors);
    AddWindows(menuBar()->addMenu(tr("总线配置(&B)")), WindowMenu::BusConfiguration);
    AddWindows(menuBar()->addMenu(tr("工具(&T)")), WindowMenu::Tools);

    QMenu* view = menuBar()->addMenu(tr("视图(&V)"));
    QAction* toolBarShown = Command(view, C::ToolBarShown, tr("工具栏"));
    QAction* statusShown = Command(view, C::StatusBarShown, tr("状态栏"));
    for (QAction* toggle : {toolBarShown, statusShown}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    view->addSeparator();
    Command(view, C::Language, tr("语言切换"));

    QMenu* window = menuBar()->addMenu(tr("窗口(&W)"));
    Command(window, C::Tile, tr("平铺"));
    Command(window, C::Cascade, tr("层叠"));
    window->addSeparator();
    Command(window, C::NextWindow, tr("下一个窗口"), QKeySequence(Qt::Key_F6));
    Command(window, C::PreviousWindow, tr("上一个窗口"), QKeySequence(Qt::SHIFT | Qt::Key_F6));

    QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
    Command(help, C::About, tr("关于 Drivara"));
    DesktopHabits::AddManual(*this, *help, m_sys.baseDir);
}

void CMainFrame::BuildToolBar()
{
    m_toolBar = addToolBar(tr("工具栏"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setMovable(false);
    const int side = qRound(25 * ScreenDpi(this) / 96.0);
    m_toolBar->setIconSize(QSize(side, side));
    // The band's background picture: a soft metallic gradient.
    m_toolBar->setStyleSheet(QStringLiteral(
        "QToolBar { border: none; background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #f7f9fb, stop:1 #d5dce5); }"));

    using C = CommandId;
    using Icons::Tool;
    auto button = [this](C command, Tool tool, const QString& tip) {
        QAction* action = Command(m_toolBar, command, tip);
        action->setIcon(Icons::ToolIcon(tool));
        return action;
    };
    // A button that opens a window, with the window's title as its tip.
    auto windowButton = [this](C command) {
        return WindowCommand(m_toolBar, command, *FindWindowByToolButton(command));
    };
    button(C::ToolOpenProject, Tool::ProjectOpen, tr("打开工程"));
    button(C::ToolSaveProject, Tool::ProjectSave, tr("保存工程"));
    m_toolBar->addSeparator();
    // The menu's connect entry and this button are one command.
    m_actions.value(C::Connect)->setIcon(Icons::ToolIcon(Tool::Connect));
    m_toolBar->addAction(m_actions.value(C::Connect));
    windowButton(C::ToolOscilloscope)->setIcon(Icons::ToolIcon(Tool::Oscilloscope));
    windowButton(C::ToolDigitalIo)->setIcon(Icons::ToolIcon(Tool::InOut));
    // The real-time error button shows the drive's state.
    m_stateAction = windowButton(C::ToolRealTimeError);
    m_toolBar->addSeparator();
    windowButton(C::ToolReadDriveConfig)->setIcon(Icons::ToolIcon(Tool::ReadConfig));
    windowButton(C::ToolWriteDriveConfig)->setIcon(Icons::ToolIcon(Tool::WriteConfig));
    m_toolBar->addSeparator();
    button(C::Tile, Tool::Tile, tr("平铺"));
    button(C::Cascade, Tool::Cascade, tr("层叠"));
}

void CMainFrame::OnCommand(CommandId command)
{
    using C = CommandId;
    switch (command) {
    case C::New:
        // A new start: the link goes first, so the closing pages ask nothing more of the drive.
        if (m_sys.connected == 1)
            m_logic.CloseConnection();
        CloseAllPages();
        OpenPage(C::CommMode);
        return;
    case C::CtrlS:
        return;
    case C::OpenProject:
    case C::ToolOpenProject:
        m_project.Open();
        return;
    case C::SaveProject:
    case C::ToolSaveProject:
        m_project.Save();
        return;
    case C::OpenDeviceDescription:
        m_deviceDescription.Open();
        return;
    case C::Exit:
        close();
        return;
    case C::About:
        ShowAbout();
        return;
    case C::Language:
        ShowLanguageDialog();
        return;
    case C::InitSave:
        ShowInitSave();
        return;
    case C::ToolBarShown:
        m_toolBar->setVisible(!m_toolBar->isVisible());
        m_actions.value(C::ToolBarShown)->setChecked(m_toolBar->isVisible());
        return;
    case C::StatusBarShown:
        statusBar()->setVisible(!statusBar()->isVisible());
        m_actions.value(C::StatusBarShown)->setChecked(statusBar()->isVisible());
        return;
    case C::Connect:
        ConnectButton();
        return;
    case C::Tile:
        m_mdi->tileSubWindows();
        return;
    case C::Cascade:
        m_mdi->cascadeSubWindows();
        return;
    case C::NextWindow:
        m_mdi->activateNextSubWindow();
        return;
    case C::PreviousWindow:
        m_mdi->activatePreviousSubWindow();
        return;
    default:
        break;
    }
    if (const CWindowInfo* window = FindWindowByToolButton(command))
        OpenPage(window->command);
    else
        OpenPage(command);
}

CChildFrame* CMainFrame::page(CommandId command) const
{
    return m_pages.value(command).data();
}

QList<CChildFrame*> CMainFrame::pages() const
{
    QList<CChildFrame*> open;
    for (const QPointer<CChildFrame>& child : m_pages) {
        if (child)
            open.append(child.data());
    }
    return open;
}

QWidget* CMainFrame::CreateCommMode()
{
    auto* view = new CCommMode(m_sys);
    connect(view, &CCommMode::closeConnectionRequested, this,
            [this] { m_logic.CloseConnection(); });
    connect(view, &CCommMode::settingsRequested, this,
            [this](CommMode mode) { OpenSettingsWindow(mode == CommMode::Can ? 1 : 0); });
    connect(view, &CCommMode::closeRequested, this, [this] {
        if (CChildFrame* child = this->page(CommandId::CommMode))
            child->close();
    });
    return view;
}

QWidget* CMainFrame::CreateCommSettings()
{
    QWidget* view = nullptr;
    if (m_sys.commMode == CommMode::Rs232) {
        auto* serial = new CCommRs232(m_sys, m_logic);
        connect(serial, &CCommRs232::closeRequested, this, [this] {
            if (CChildFrame* child = this->page(CommandId::CommSettings))
                child->close();
        });
        view = serial;
    } else if (m_sys.commMode == CommMode::Can) {
        auto* can = new CCommCan(m_sys, m_logic);
        connect(can, &CCommCan::closeRequested, this, [this] {
            if (CChildFrame* child = this->page(CommandId::CommSettings))
                child->close();
        });
        view = can;
    } else {
        ReportMessage(CommText::OfflineMode());
    }
    return view;
}

CChildFrame* CMainFrame::OpenPage(CommandId command)
{
    const CWindowInfo* entry = FindWindow(command);
    if (!entry)
        return nullptr;
    const bool restoring = m_restoreAt && entry->projectPage != 0;
    if (CChildFrame* open = page(command)) {
        if (restoring) {
            SendMessage(open->hwnd(), WM_MOVE_PAGE, uint32_t(m_restoreAt->x()),
                        uint32_t(m_restoreAt->y()));
            return open;
        }
        if (open->isMinimized())
            open->showNormal();
        open->show();
        m_mdi->setActiveSubWindow(open);
        if (entry->sendsPageControl)
            open->SendPageControl(0);
        return open;
    }
    QWidget* view = m_factory.Create(*entry);
    if (!view)
        return nullptr;
    // The registry gives sizes in pixels of the screen; where Qt scales the screen, a window is
    // laid out in device-independent pixels.
    const qreal ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    const QSize size =
        entry->WindowSize(m_sys.dotsPerInch, m_sys.programLanguage, m_sys.columnWidths);
    auto* child =
        new CChildFrame(*entry, view, entry->Title(m_sys.programLanguage),
                        QSize(qRound(size.width() / ratio), qRound(size.height() / ratio)));
    m_mdi->addSubWindow(child);
    child->move(restoring ? *m_restoreAt : entry->position);
    m_pages.insert(command, child);
    connect(child, &CChildFrame::closing, this,
            [this](CommandId closed) { m_pages.remove(closed); });
    child->show();
    m_mdi->setActiveSubWindow(child);
    if (entry->activateAfterCreate)
        child->SendPageControl(0);
    return child;
}

void CMainFrame::OpenSettingsWindow(int kind)
{
    m_sys.commMode = kind == 1 ? CommMode::Can : CommMode::Rs232;
    // A settings window of the other kind makes way for the one asked for.
    if (CChildFrame* open = page(CommandId::CommSettings)) {
        const bool isCan = qobject_cast<CCommCan*>(open->view()) != nullptr;
        if (isCan != (kind == 1)) {
            m_pages.remove(CommandId::CommSettings);
            open->close();
        }
    }
    OpenPage(CommandId::CommSettings);
}

void CMainFrame::SendToAllPages(unsigned code)
{
    // A lost line only greys the pages' values: the windows keep their order, and the settings
    // window, told already with the connection change, is not told twice.
    const bool lineState = code == CParamPage::ActionLinkState;
    CChildFrame* settings = page(CommandId::CommSettings);
    for (CChildFrame* child : pages()) {
        if (lineState && child == settings)
            continue;
        if (!lineState)
            m_mdi->setActiveSubWindow(child);
        child->SendPageControl(code);
    }
}

void CMainFrame::CloseAllPages()
{
    for (CChildFrame* child : pages())
        child->close();
}

QString CMainFrame::statusText() const
{
    return m_statusLabel->text();
}

void CMainFrame::SetStateIcon(int icon)
{
    if (!IsStateIcon(icon)) {
        ReportMessage(QStringLiteral("Toolbar Update is Error!!"));
        QCoreApplication::exit(1);
        return;
    }
    if (icon == m_stateIcon)
        return;
    m_stateIcon = icon;
    QIcon& picture = m_stateIcons[icon];
    if (picture.isNull())
        picture = Icons::StateIcon(icon);
    m_stateAction->setIcon(picture);
    emit stateIconChanged(icon);
}

void CMainFrame::ConnectionChanged()
{
    if (CChildFrame* settings = page(CommandId::CommSettings)) {
        m_mdi->setActiveSubWindow(settings);
        settings->SendPageControl(6);
    }
}

void CMainFrame::ConnectButton()
{
    if (m_logic.waitingForFirstAnswer())
        return;
    if (m_sys.connected == 1) {
        m_logic.CloseConnection();
        return;
    }
    QString error;
    if (!ReopenFromSettings(error)) {
        if (!error.isEmpty())
            ReportMessage(error);
        m_logic.CloseConnection();
    }
}

bool CMainFrame::ReopenFromSettings(QString& error)
{
    // The settings the open settings window last connected with, else those of sys.ini.
    CConnectionSettings settings = CConnectionSettings::Load(m_sys.sysIniPath);
    settings.mode = m_sys.commMode;
    QWidget* view = page(CommandId::CommSettings) ? page(CommandId::CommSettings)->view() : nullptr;
    const auto* serial = qobject_cast<CCommRs232*>(view);
    const auto* can = qobject_cast<CCommCan*>(view);
    if (((serial && serial->storedByOpen()) || (can && can->storedByOpen())) &&
        m_sys.openedSettings.mode == settings.mode)
        settings = m_sys.openedSettings;
    return m_logic.Open(settings, error);
}

void CMainFrame::ShowLanguageDialog()
{
    CLanguageDialog dialog(m_sys, this);
    dialog.exec();
}

void CMainFrame::ShowAbout()
{
    CAboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::ShowInitSave()
{
    CInitSaveDialog dialog(m_sys, this);
    dialog.exec();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The worker ends at its next look at the flag; the link's owner joins it.
    m_sys.stopThreads = 1;
    m_blink.stop();
    QMainWindow::closeEvent(event);
}
