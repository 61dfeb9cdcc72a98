#include "DrivaraApp.h"

#include "ChildFrame.h"
#include "DesktopHabits.h"
#include "LanguageDialog.h"
#include "MainFrame.h"
#include "MdiArea.h"
#include "PageViews.h"
#include "app/SysData.h"
#include "base/Language.h"
#include "base/Report.h"
#include "pages/ParamPage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

namespace {
const char kUsage[] = "usage: drivara [--base DIR] [--serial PORT [--baud N] [--node N]] "
                      "[--connect] [--open PAGE...] [--tile] [--project FILE] "
                      "[--screenshot FILE]\n";

// "--open A B C" names three pages: each word after --open up to the next option gets its own
// --open, so that the parser takes them all.
QStringList SplitOpenPages(const QStringList& arguments)
{
    QStringList split;
    for (int i = 0; i < arguments.size(); ++i) {
        split << arguments[i];
        if (i == 0 || arguments[i] != QLatin1String("--open"))
            continue;
        bool first = true;
        while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-'))) {
            if (!first)
                split << QStringLiteral("--open");
            split << arguments[++i];
            first = false;
        }
    }
    return split;
}

CDrivaraOptions Refused(const QString& message)
{
    CDrivaraOptions refused;
    refused.request = CDrivaraOptions::Error;
    refused.output = message;
    return refused;
}
} // namespace

CDrivaraOptions ParseDrivaraOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the program's version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOptions({
        {QStringLiteral("base"),
         QStringLiteral("Installation folder (default: found from the program's folder)."),
         QStringLiteral("DIR")},
        {QStringLiteral("serial"),
         QStringLiteral("Save RS232 with this port (as under /dev: ttyUSB0, pts/3, "
                        "serial/by-id/...; or a path) to sys.ini first."),
         QStringLiteral("PORT")},
        {QStringLiteral("baud"), QStringLiteral("With --serial: baud rate (default 115200)."),
         QStringLiteral("N")},
        {QStringLiteral("node"), QStringLiteral("With --serial: driver id, 1 to 127 (default 1)."),
         QStringLiteral("N")},
        {QStringLiteral("connect"), QStringLiteral("Press the connect button after start-up.")},
        {QStringLiteral("tile"), QStringLiteral("Tile the open pages as Window > Tile does.")},
        {QStringLiteral("open"),
         QStringLiteral("Open windows by name (VelocityLoop, CSpeedCircle, a menu command "
                        "number, CommSettings, CommMode)."),
         QStringLiteral("PAGE...")},
        {QStringLiteral("project"),
         QStringLiteral("Open a project file (.dvp) as File > Open does, after the pages of "
                        "--open."),
         QStringLiteral("FILE")},
        {QStringLiteral("screenshot"),
         QStringLiteral("Save the main window once the pages show values, print its path and "
                        "end."),
         QStringLiteral("FILE")},
    });
    if (!parser.parse(SplitOpenPages(arguments)))
        return Refused(parser.errorText());

    CDrivaraOptions options;
    if (parser.isSet(help)) {
        const QString text = parser.helpText();
        const int start = text.indexOf(QStringLiteral("Options:"));
        options.request = CDrivaraOptions::Help;
        options.output = QLatin1String(kUsage) + QLatin1Char('\n') +
                         (start >= 0 ? text.mid(start) : text) +
                         QStringLiteral("\nexit codes: 0 normal end, %1 bad arguments (nothing is "
                                        "written to sys.ini)\n")
                             .arg(kExitBadArguments);
        return options;
    }
    if (parser.isSet(version)) {
        options.request = CDrivaraOptions::Version;
        options.output = QStringLiteral("drivara %1\n").arg(QLatin1String(kDrivaraVersion));
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return Refused(
            QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    // The serial settings are checked as drivactl checks its own, before anything is saved.
    const QString serial = QStringLiteral("serial");
    options.saveSerial = parser.isSet(serial);
    for (const QString& name : {QStringLiteral("baud"), QStringLiteral("node")}) {
        if (parser.isSet(name) && !options.saveSerial)
            return Refused(QStringLiteral("--%1 goes with --serial PORT").arg(name));
    }
    if (options.saveSerial) {
        CConnectionSettings& connection = options.connection;
        connection.serial.baud = 115200;
        connection.serial.driverId = 1;
        QString error;
        for (const QString& name : {serial, QStringLiteral("baud"), QStringLiteral("node")}) {
            if (parser.isSet(name) && !connection.ApplyOption(name, parser.value(name), error))
                return Refused(error);
        }
        error = connection.Validate();
        if (!error.isEmpty())
            return Refused(error);
    }

    options.baseDir = parser.value(QStringLiteral("base"));
    options.connect = parser.isSet(QStringLiteral("connect"));
    options.tile = parser.isSet(QStringLiteral("tile"));
    options.screenshotPath = parser.value(QStringLiteral("screenshot"));
    options.openPages = parser.values(QStringLiteral("open"));
    options.projectPath = parser.value(QStringLiteral("project"));
    for (const QString& name : options.openPages) {
        if (!FindWindow(name))
            return Refused(QStringLiteral("unknown page %1").arg(name));
    }
    return options;
}

QString DrivaraUsage()
{
    return QLatin1String(kUsage);
}

CDrivaraApp::CDrivaraApp(CSysData& sys, bool rememberPlace)
    : m_sys(sys), m_rememberPlace(rememberPlace)
{
}

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
    if (m_rememberPlace)
        new CWindowPlace(*m_mainFrame, DesktopHabits::PlaceFile(
                                           m_sys.baseDir, QCoreApplication::applicationDirPath(),
                                           m_sys.sysIniPath));
    m_mainFrame->show();
    SetListColumnsForScreen(m_sys, m_mainFrame.get());
    return true;
}

void CDrivaraApp::RunOptions(const CDrivaraOptions& options)
{
    if (options.saveSerial) {
        // As if chosen in the settings windows: RS232 with this port, rate and driver id.
        if (!options.connection.Save(m_sys.sysIniPath, CConnectionSettings::ModePart |
                                                           CConnectionSettings::SerialPart))
            std::fprintf(stderr, "drivara: cannot write %s\n", qPrintable(m_sys.sysIniPath));
        m_sys.commMode = CommMode::Rs232;
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
    // A project that cannot be read is named and changes nothing; the program goes on.
    if (!options.projectPath.isEmpty())
        m_mainFrame->project().OpenFrom(options.projectPath);
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
