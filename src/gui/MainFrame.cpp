#include "MainFrame.h"

#include "AboutDialog.h"
#include "ChildFrame.h"
#include "CommCan.h"
#include "CommMode.h"
#include "CommRs232.h"
#include "Icons.h"
#include "InitSaveDialog.h"
#include "LanguageDialog.h"
#include "MdiArea.h"
#include "PageCommands.h"
#include "PageFactory.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/ConnectionSettings.h"
#include "pages/ParamPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

namespace {
// Command numbers of the commands that are not pages.
enum Command
{
    CmdNew = 57600,
    CmdOpenProject = 57601,
    CmdCtrlS = 57603,
    CmdSaveProject = 57604,
    CmdExit = 57665,
    CmdAbout = 57664,
    CmdLanguage = 1236,
    CmdInitSave = 1246,
    CmdToolBar = 59392,
    CmdStatusBar = 59393,
    CmdToolOpen = 1125,
    CmdToolSave = 1126,
    CmdOscilloscope = 1127,
    CmdConnect = 1128,
    CmdInOut = 1129,
    CmdStateIcon = 1130,
    CmdWriteConfig = 1131,
    CmdReadConfig = 1132,
    CmdTile = 1133,
    CmdCascade = 1134,
    CmdNextWindow = 57648,
    CmdPreviousWindow = 57649,
    CmdCommSettings = 1213,
    CmdCommMode = 1212,
    CmdRealtimeError = 1235,
    CmdReadDriveConfig = 1243,
    CmdWriteDriveConfig = 1244
};

QString Ui(const char* text)
{
    return QCoreApplication::translate("CMainFrame", text);
}

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
    setGeometry(100, 100, int(1331 * scale), int(844 * scale));

    m_mdi = new CMdiArea(this);
    setCentralWidget(m_mdi);
    BuildMenus();
    BuildToolBar();

    m_statusLabel = new QLabel(CommText::Closed(), this);
    m_statusLabel->setObjectName(QStringLiteral("commStatus"));
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addPermanentWidget(m_statusLabel);
    m_sys.captionHeight = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);

    m_logic.onStateIcon = [this](int icon) { SetStateIcon(icon); };
    m_logic.onStatusText = [this](const QString& text) { m_statusLabel->setText(text); };
    m_logic.onPagesControl = [this](unsigned code) { SendToAllPages(code); };
    m_logic.onConnectionChanged = [this] { ConnectionChanged(); };
    m_logic.onOpenWindow = [this](uint32_t which) {
        if (which == 2)
            OpenPage(1250);
        else if (which <= 1)
            OpenPage(CmdCommSettings);
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
    m_logic.onConnectionChanged = nullptr;
    m_logic.onOpenWindow = nullptr;
}

QAction* CMainFrame::Command(QWidget* menu, int command, const QString& text,
                             const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QStringLiteral("cmd%1").arg(command));
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

void CMainFrame::BuildMenus()
{
    auto page = [this](QMenu* menu, int command) {
        const CPageCommand* entry = FindPageCommand(command);
        Command(menu, command, Ui(entry->menuText));
    };

    QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
    Command(file, CmdNew, tr("新建"), QKeySequence(Qt::CTRL | Qt::Key_N));
    Command(file, CmdOpenProject, tr("打开工程"), QKeySequence(Qt::CTRL | Qt::Key_O));
    Command(file, CmdSaveProject, tr("保存工程"));
    file->addSeparator();
    page(file, CmdReadDriveConfig);
    page(file, CmdWriteDriveConfig);
    file->addSeparator();
    Command(file, CmdExit, tr("退出"));
    // Ctrl+S has always been taken and does nothing.
    Command(nullptr, CmdCtrlS, QString(), QKeySequence(Qt::CTRL | Qt::Key_S));
    // Saving and opening projects come with the project store.
    for (int command : {CmdOpenProject, CmdSaveProject})
        m_actions.value(command)->setEnabled(false);

    QMenu* comm = menuBar()->addMenu(tr("通讯(&C)"));
    page(comm, CmdCommMode);
    page(comm, CmdCommSettings);
    comm->addSeparator();
    Command(comm, CmdConnect, tr("连接/断开"));

    QMenu* drive = menuBar()->addMenu(tr("驱动器(&D)"));
    for (int command : {1229, 1233, 1234, 1227})
        page(drive, command);
    drive->addSeparator();
    for (int command : {1215, 1217, 1248})
        page(drive, command);
    drive->addSeparator();
    for (int command : {1218, 1219, 1245})
        page(drive, command);
    drive->addSeparator();
    Command(drive, CmdInitSave, tr("初始化/保存"));

    QMenu* modes = menuBar()->addMenu(tr("运行模式(&M)"));
    for (int command : {1220, 1221, 1222, 1223, 1224, 1225, 1253, 1226})
        page(modes, command);

    QMenu* errors = menuBar()->addMenu(tr("错误(&E)"));
    page(errors, CmdRealtimeError);
    page(errors, 1228);

    QMenu* bus = menuBar()->addMenu(tr("总线配置(&B)"));
    for (int command : {32859, 32857, 32825, 32826})
        page(bus, command);

    QMenu* tools = menuBar()->addMenu(tr("工具(&T)"));
    page(tools, 1247);
    page(tools, 1250);

    QMenu* view = menuBar()->addMenu(tr("视图(&V)"));
    QAction* toolBarShown = Command(view, CmdToolBar, tr("工具栏"));
    QAction* statusShown = Command(view, CmdStatusBar, tr("状态栏"));
    for (QAction* toggle : {toolBarShown, statusShown}) {
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }
    view->addSeparator();
    Command(view, CmdLanguage, tr("语言切换"));

    QMenu* window = menuBar()->addMenu(tr("窗口(&W)"));
    Command(window, CmdTile, tr("平铺"));
    Command(window, CmdCascade, tr("层叠"));
    window->addSeparator();
    Command(window, CmdNextWindow, tr("下一个窗口"), QKeySequence(Qt::Key_F6));
    Command(window, CmdPreviousWindow, tr("上一个窗口"), QKeySequence(Qt::SHIFT | Qt::Key_F6));

    QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
    Command(help, CmdAbout, tr("关于 Drivara"));
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

    using Icons::Tool;
    auto button = [this](int command, Tool tool, const QString& tip) {
        QAction* action = Command(m_toolBar, command, tip);
        action->setIcon(Icons::ToolIcon(tool));
        return action;
    };
    button(CmdToolOpen, Tool::ProjectOpen, tr("打开工程"))->setEnabled(false);
    button(CmdToolSave, Tool::ProjectSave, tr("保存工程"))->setEnabled(false);
    m_toolBar->addSeparator();
    // The menu's connect entry and this button are one command.
    m_actions.value(CmdConnect)->setIcon(Icons::ToolIcon(Tool::Connect));
    m_toolBar->addAction(m_actions.value(CmdConnect));
    button(CmdOscilloscope, Tool::Oscilloscope, Ui("示波器"));
    button(CmdInOut, Tool::InOut, Ui("I／O口"));
    m_stateAction = Command(m_toolBar, CmdStateIcon, Ui("实时错误"));
    m_toolBar->addSeparator();
    button(CmdReadConfig, Tool::ReadConfig, Ui("读驱动器配置"));
    button(CmdWriteConfig, Tool::WriteConfig, Ui("写驱动器配置"));
    m_toolBar->addSeparator();
    button(CmdTile, Tool::Tile, tr("平铺"));
    button(CmdCascade, Tool::Cascade, tr("层叠"));
}

void CMainFrame::OnCommand(int command)
{
    switch (command) {
    case CmdNew:
        CloseAllPages();
        OpenPage(CmdCommMode);
        return;
    case CmdCtrlS:
    case CmdOpenProject:
    case CmdSaveProject:
    case CmdToolOpen:
    case CmdToolSave:
        return;
    case CmdExit:
        close();
        return;
    case CmdAbout:
        ShowAbout();
        return;
    case CmdLanguage:
        ShowLanguageDialog();
        return;
    case CmdInitSave:
        ShowInitSave();
        return;
    case CmdToolBar:
        m_toolBar->setVisible(!m_toolBar->isVisible());
        m_actions.value(CmdToolBar)->setChecked(m_toolBar->isVisible());
        return;
    case CmdStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        m_actions.value(CmdStatusBar)->setChecked(statusBar()->isVisible());
        return;
    case CmdConnect:
        ConnectButton();
        return;
    case CmdOscilloscope:
        OpenPage(1247);
        return;
    case CmdInOut:
        OpenPage(1218);
        return;
    case CmdStateIcon:
        OpenPage(CmdRealtimeError);
        return;
    case CmdReadConfig:
        OpenPage(CmdReadDriveConfig);
        return;
    case CmdWriteConfig:
        OpenPage(CmdWriteDriveConfig);
        return;
    case CmdTile:
        m_mdi->tileSubWindows();
        return;
    case CmdCascade:
        m_mdi->cascadeSubWindows();
        return;
    case CmdNextWindow:
        m_mdi->activateNextSubWindow();
        return;
    case CmdPreviousWindow:
        m_mdi->activatePreviousSubWindow();
        return;
    default:
        break;
    }
    if (FindPageCommand(command))
        OpenPage(command);
}

CChildFrame* CMainFrame::page(int command) const
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

QWidget* CMainFrame::CreateView(const CPageCommand& page)
{
    using Kind = CPageCommand::Kind;
    switch (page.kind) {
    case Kind::Parameter:
    case Kind::BusPanel: {
        const CPageSpec* spec = PageSpecOf(page);
        if (!spec)
            return nullptr;
        // Names and units come from the dictionary, which may still be loading at start-up.
        m_sys.dictionary.WaitUntilLoaded(10000);
        if (page.kind == Kind::BusPanel)
            m_sys.busPanelName = QLatin1String(page.name);
        return CreatePageWidget(m_sys, *spec, nullptr);
    }
    case Kind::CommMode: {
        auto* view = new CCommMode(m_sys);
        connect(view, &CCommMode::closeConnectionRequested, this,
                [this] { m_logic.CloseConnection(); });
        connect(view, &CCommMode::settingsRequested, this,
                [this](CommMode mode) { OpenSettingsWindow(mode == CommMode::Can ? 1 : 0); });
        connect(view, &CCommMode::closeRequested, this, [this] {
            if (CChildFrame* child = this->page(CmdCommMode))
                child->close();
        });
        return view;
    }
    case Kind::CommSettings: {
        QWidget* view = nullptr;
        if (m_sys.commMode == CommMode::Rs232) {
            auto* serial = new CCommRs232(m_sys, m_logic);
            connect(serial, &CCommRs232::closeRequested, this, [this] {
                if (CChildFrame* child = this->page(CmdCommSettings))
                    child->close();
            });
            view = serial;
        } else if (m_sys.commMode == CommMode::Can) {
            auto* can = new CCommCan(m_sys, m_logic);
            connect(can, &CCommCan::closeRequested, this, [this] {
                if (CChildFrame* child = this->page(CmdCommSettings))
                    child->close();
            });
            view = can;
        } else {
            ReportMessage(CommText::OfflineMode());
        }
        return view;
    }
    case Kind::Other:
        break;
    }
    auto* label = new QLabel(tr("此窗口将在后续版本中提供。"));
    label->setObjectName(QStringLiteral("pendingView"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    return label;
}

CChildFrame* CMainFrame::OpenPage(int command)
{
    const CPageCommand* entry = FindPageCommand(command);
    if (!entry)
        return nullptr;
    if (CChildFrame* open = page(command)) {
        if (open->isMinimized())
            open->showNormal();
        open->show();
        m_mdi->setActiveSubWindow(open);
        if (entry->sendsPageControl)
            open->SendPageControl(0);
        return open;
    }
    QWidget* view = CreateView(*entry);
    if (!view)
        return nullptr;
    // The page table gives sizes in pixels of the screen; where Qt scales the screen, a window is
    // laid out in device-independent pixels.
    const qreal ratio = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    const QSize size = PageWindowSize(*entry, m_sys);
    auto* child =
        new CChildFrame(*entry, view, PageTitle(*entry, m_sys),
                        QSize(qRound(size.width() / ratio), qRound(size.height() / ratio)));
    m_mdi->addSubWindow(child);
    child->move(entry->position);
    m_pages.insert(command, child);
    connect(child, &CChildFrame::closing, this, [this](int closed) { m_pages.remove(closed); });
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
    if (CChildFrame* open = page(CmdCommSettings)) {
        const bool isCan = qobject_cast<CCommCan*>(open->view()) != nullptr;
        if (isCan != (kind == 1)) {
            m_pages.remove(CmdCommSettings);
            open->close();
        }
    }
    OpenPage(CmdCommSettings);
}

void CMainFrame::SendToAllPages(unsigned code)
{
    // A lost line only greys the pages' values: the windows keep their order, and the settings
    // window, told already with the connection change, is not told twice.
    const bool lineState = code == CParamPage::ActionLinkState;
    CChildFrame* settings = page(CmdCommSettings);
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
    m_stateAction->setIcon(Icons::StateIcon(icon));
    emit stateIconChanged(icon);
}

void CMainFrame::ConnectionChanged()
{
    if (CChildFrame* settings = page(CmdCommSettings)) {
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
    QWidget* view = page(CmdCommSettings) ? page(CmdCommSettings)->view() : nullptr;
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
