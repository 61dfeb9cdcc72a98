#include "DrivaraApp.h"

#include "ChildFrame.h"
#include "LanguageDialog.h"
#include "MainFrame.h"
#include "MdiArea.h"
#include "PageViews.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Language.h"
#include "base/Report.h"
#include "pages/ParamPage.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

CDrivaraOptions ParseDrivaraOptions(const QStringList& arguments)
{
    CDrivaraOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&](QString& out) {
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("%1 needs a value").arg(arg);
                return false;
            }
            out = arguments[++i];
            return true;
        };
        if (arg == QLatin1String("--base")) {
            if (!value(options.baseDir))
                break;
        } else if (arg == QLatin1String("--screenshot")) {
            if (!value(options.screenshotPath))
                break;
        } else if (arg == QLatin1String("--serial")) {
            if (!value(options.serialPort))
                break;
        } else if (arg == QLatin1String("--baud")) {
            if (!value(options.baud))
                break;
        } else if (arg == QLatin1String("--node")) {
            if (!value(options.node))
                break;
        } else if (arg == QLatin1String("--connect")) {
            options.connect = true;
        } else if (arg == QLatin1String("--tile")) {
            options.tile = true;
        } else if (arg == QLatin1String("--open")) {
            while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1String("--")))
                options.openPages.append(arguments[++i]);
        } else {
            options.error = QStringLiteral("unknown option %1").arg(arg);
            break;
        }
    }
    for (const QString& name : options.openPages) {
        if (!FindWindow(name)) {
            options.error = QStringLiteral("unknown page %1").arg(name);
            break;
        }
    }
    return options;
}

CDrivaraApp::CDrivaraApp(CSysData& sys) : m_sys(sys) {}

CDrivaraApp::~CDrivaraApp()
{
    m_mainFrame.reset();
    if (m_translator)
        QCoreApplication::removeTranslator(m_translator.get());
}

bool CDrivaraApp::LoadEnglish(const QString& path, QTranslator& translator)
{
    return QFileInfo::exists(path) && translator.load(path) && !translator.isEmpty();
}

bool CDrivaraApp::InitInstance(int& exitCode)
{
    exitCode = 0;
    m_sys.systemLanguage = m_sys.IsChineseSystem() ? 1 : 2;

    bool english = true;
    if (m_sys.IsChineseSystem()) {
        // Unless the data object could settle the language alone, the operator is asked here,
        // and the dictionary starts loading in the chosen language.
        const LanguageDecision decision =
            m_sys.languageDecision ? *m_sys.languageDecision : m_sys.SettleLanguage([this] {
                CLanguageDialog dialog(m_sys);
                dialog.exec();
            });
        switch (decision.outcome) {
        case LanguageDecision::ConfigError:
            ReportMessage(QStringLiteral("System config file error.\n Exit!! "));
            return false;
        case LanguageDecision::Chinese:
            m_sys.SetLanguage(1);
            english = false;
            break;
        case LanguageDecision::English:
            break;
        case LanguageDecision::KeepAsRead:
            english = false;
            break;
        }
    }
    if (english) {
        m_translator = std::make_unique<QTranslator>();
        if (!LoadEnglish(m_sys.enTranslationPath, *m_translator)) {
            m_translator.reset();
            ReportMessage(QStringLiteral("Load EN.dll resource failure!\n  System exit!\n"));
            return false;
        }
        QCoreApplication::installTranslator(m_translator.get());
        m_sys.SetLanguage(2);
    }

    // The page views carry their own Chinese texts.
    InstallPageViewTranslator(m_sys.programLanguage);
    m_mainFrame = std::make_unique<CMainFrame>(m_sys);
    m_mainFrame->show();
    SetListColumnsForScreen(m_sys, m_mainFrame.get());
    return true;
}

void CDrivaraApp::RunOptions(const CDrivaraOptions& options)
{
    if (!options.serialPort.isEmpty()) {
        // As if chosen in the settings windows: RS232 with this port, rate and driver id.
        QString port = options.serialPort;
        if (port.startsWith(QLatin1String("/dev/")))
            port = port.mid(5);
        const QString& ini = m_sys.sysIniPath;
        const QString com = QStringLiteral("com");
        Ini::WriteProfileString(ini, QStringLiteral("sys"), QStringLiteral("comm"),
                                QStringLiteral("2"));
        Ini::WriteProfileString(ini, com, QStringLiteral("comid"), port);
        Ini::WriteProfileString(ini, com, QStringLiteral("buadrate"), options.baud);
        Ini::WriteProfileString(ini, com, QStringLiteral("driverid"), options.node);
        m_sys.commMode = 2;
    }
    // Pages asked for on the command line side by side, so that a screenshot shows them all.
    QPoint next(0, 0);
    int rowHeight = 0;
    const int areaWidth = m_mainFrame->mdiArea()->viewport()->width();
    for (const QString& name : options.openPages) {
        const CWindowInfo* page = FindWindow(name);
        CChildFrame* child = page ? m_mainFrame->OpenPage(page->command) : nullptr;
        if (!child || options.openPages.size() < 2)
            continue;
        if (next.x() > 0 && next.x() + child->width() > areaWidth)
            next = QPoint(0, next.y() + rowHeight);
        child->move(next);
        next.rx() += child->width();
        rowHeight = qMax(rowHeight, child->height());
    }
    if (options.tile) {
        // Once the window has its final size, as the menu command would find it.
        QMdiArea* area = m_mainFrame->mdiArea();
        QTimer::singleShot(0, area, [area] { area->tileSubWindows(); });
    }
    if (options.connect)
        m_mainFrame->ConnectButton();
    if (!options.screenshotPath.isEmpty()) {
        const QString path = options.screenshotPath;
        const int waitMs = options.screenshotWaitMs;
        QTimer::singleShot(0, m_mainFrame.get(),
                           [this, path, waitMs] { TakeScreenshot(path, waitMs); });
    }
}

namespace {
// Whether every row of every open parameter page shows a value.
bool PagesFilled(const CMainFrame& frame)
{
    for (CChildFrame* child : frame.pages()) {
        CParamPage* page = PageViewLogic(child->view());
        if (!page)
            continue;
        CPageListModel& list = page->list();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            if (list.GetItemText(row, CPageListModel::ColValue).isEmpty())
                return false;
        }
    }
    return true;
}
} // namespace

void CDrivaraApp::TakeScreenshot(const QString& path, int waitMs)
{
    WaitThenShoot(path, QDeadlineTimer(waitMs));
}

void CDrivaraApp::WaitThenShoot(const QString& path, const QDeadlineTimer& until)
{
    // With a connection: after the drive's first answer and the pages' first values; without
    // one: at once. A drive that never answers ends the wait. Looked at every 50 ms on a timer.
    const bool ready = m_sys.connected != 1 ||
                       (m_mainFrame->logic().lastDriveState() != -1 && PagesFilled(*m_mainFrame));
    if (!ready && !until.hasExpired()) {
        QTimer::singleShot(50, m_mainFrame.get(),
                           [this, path, until] { WaitThenShoot(path, until); });
        return;
    }
    // Let layouts and the last values settle on screen.
    QTimer::singleShot(300, m_mainFrame.get(), [this, path] { Shoot(path); });
}

void CDrivaraApp::Shoot(const QString& path)
{
    const QPixmap shot = m_mainFrame->grab();
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!shot.save(path)) {
        std::fprintf(stderr, "drivara: cannot write %s\n", qPrintable(path));
        QCoreApplication::exit(1);
        return;
    }
    std::printf("%s\n", qPrintable(QFileInfo(path).absoluteFilePath()));
    std::fflush(stdout);
    m_mainFrame->close();
    QCoreApplication::exit(0);
}
