// The drivara program's windows against the virtual drive over a pseudo-terminal: start-up and
// its language, the command line, the dialogs, connecting, connection loss and reconnection, the
// page windows and the settings windows.

#include "ChildFrame.h"
#include "CommCan.h"
#include "CommRs232.h"
#include "DrivaraApp.h"
#include "GuiPageSupport.h"
#include "Icons.h"
#include "InitSaveDialog.h"
#include "LanguageDialog.h"
#include "MainFrame.h"
#include "MdiArea.h"
#include "MessageRecorder.h"
#include "PageCommands.h"
#include "PageViews.h"
#include "SerialPorts.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "pages/ParamPage.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr int kWaitMs = 8000;
constexpr int kEnglishLcid = 1033;
const QString kClosed = QStringLiteral("Comm Status: Closed");
// Status text, state icon (grey), link state and drive state of a closed connection.
const QVariantList kClosedState{kClosed, 205, 2, -1};

// The program's windows on a temporary installation, with the virtual drive served on a
// pseudo-terminal through the real serial library. Operator messages are recorded, not shown.
struct CGuiBench
{
    explicit CGuiBench(const QString& sysIni = QStringLiteral("[sys]\nlang=2\ncomm=2\n"),
                       int systemLcid = kEnglishLcid)
        : install(sysIni), lcid(systemLcid)
    {
    }
    ~CGuiBench()
    {
        frame.reset();
        sys.reset();
        server.Stop();
    }

    // Serves the drive and saves its port as the serial settings.
    bool StartDrive()
    {
        QFile ini(install.path("sys/sys.ini"));
        const QString com = "\n[com]\ncomid=%1\nbuadrate=115200\ndriverid=1\ntimeout=100\n";
        return drive.Load(install.path("data")) && server.Start(1, 0) &&
               ini.open(QIODevice::Append) && ini.write(com.arg(server.PortName()).toUtf8()) > 0;
    }
    // The program-wide data, as the program makes it at start.
    CSysData& NewSysData()
    {
        sys = std::make_unique<CSysData>(CSysDataOptions{install.base(), lcid});
        return *sys;
    }
    // The same with its dictionary loaded and list columns for 96 dots per inch.
    bool MakeSysData()
    {
        NewSysData();
        sys->systemLanguage = sys->IsChineseSystem() ? 1 : 2;
        sys->SetListColumns(96);
        return sys->dictionary.WaitUntilLoaded(10000);
    }
    // The drive, the data object and the main frame, shown.
    bool Ready()
    {
        if (!StartDrive() || !MakeSysData())
            return false;
        frame = std::make_unique<CMainFrame>(*sys);
        frame->show();
        return true;
    }
    // The connect button, then the drive's first statusword.
    bool ConnectAndWait()
    {
        frame->ConnectButton();
        return TestSupport::WaitFor([this] { return frame->logic().lastDriveState() != -1; }, 5000);
    }
    QVariantList State() const
    {
        return {frame->statusText(), frame->stateIcon(), sys->connected.load(),
                frame->logic().lastDriveState()};
    }

    TestSupport::MessageRecorder messages; // the first member: it outlives every window
    TestSupport::TempInstall install;
    CVirtualDrive drive;
    CSimSerialServer server{drive};
    std::unique_ptr<CSysData> sys;
    std::unique_ptr<CMainFrame> frame;
    int lcid;
};

void Press(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace

class CGuiTest : public QObject
{
    Q_OBJECT

private slots:
    void languageAtStartUp()
    {
        const int zh = kChineseLcid, en = kEnglishLcid;
        // sys.ini's language; the operator's choice in the dialog that a Chinese system without
        // one shows (at most twice); the language then in use, the File menu and the list's name
        // title ("wait", 3, keeps the built-in texts, no list columns); or the message with
        // which the program ends.
        const QString configError = "System config file error.\n Exit!! ";
        const QString noEnglish = "Load EN.dll resource failure!\n  System exit!\n";
        // clang-format off
        const std::tuple<int, QString, QString, int, QString, QString, QString> cases[] = {
            {en, "1", "", 2, "&File", "name", ""}, // English system ignores Chinese
            {zh, "2", "", 2, "&File", "name", ""}, // Chinese system, English
            {zh, "3", "", 3, "文件(&F)", "", ""}, // Chinese system, wait
            {zh, "", "chinese", 1, "文件(&F)", "名称", ""}, // asked first, Chinese chosen
            {zh, "", "cancel", 0, "", "", configError}, // asked twice, no choice
            {en, "2", "", 0, "", "", noEnglish}, // English texts missing
        };
        // clang-format on
        for (const auto& [lcid, lang, choice, language, fileMenu, nameTitle, ending] : cases) {
            CGuiBench bench(lang.isEmpty() ? QStringLiteral("[sys]\ncomm=2\n")
                                           : QStringLiteral("[sys]\nlang=%1\ncomm=2\n").arg(lang),
                            lcid);
            if (ending == noEnglish)
                QVERIFY(QFile::remove(bench.install.path(QStringLiteral("data/EN.qm"))));
            CSysData& sys = bench.NewSysData();
            int dialogs = 0;
            QTimer operatorAtTheScreen;
            QObject::connect(&operatorAtTheScreen, &QTimer::timeout, [&, choice = choice] {
                auto* dialog = qobject_cast<CLanguageDialog*>(QApplication::activeModalWidget());
                if (!dialog)
                    return;
                ++dialogs;
                if (choice == "cancel")
                    return dialog->reject();
                dialog->chineseButton()->setChecked(true);
                dialog->Ok();
            });
            operatorAtTheScreen.start(10);
            {
                CDrivaraApp app(sys);
                int exitCode = -1;
                QCOMPARE(app.InitInstance(exitCode), ending.isEmpty());
                QCOMPARE(exitCode, 0);
                QCOMPARE(dialogs, choice.isEmpty() ? 0 : choice == "cancel" ? 2 : 1);
                if (!ending.isEmpty()) {
                    QVERIFY(!app.mainFrame());
                    QCOMPARE(bench.messages.Take(), QStringList{ending});
                } else {
                    QVERIFY(app.mainFrame()->isVisible());
                    QCOMPARE(int(sys.programLanguage), language);
                    QCOMPARE(app.mainFrame()->menuBar()->actions().first()->text(), fileMenu);
                    QCOMPARE(sys.titleName, nameTitle);
                    // The list columns take the main window's screen density.
                    if (!nameTitle.isEmpty())
                        QCOMPARE(sys.columnWidths[0], int(app.mainFrame()->logicalDpiX() * 2.68));
                    QVERIFY(bench.messages.Take().isEmpty());
                }
                // The dictionary of the language in use, also when the operator chose it.
                if (language == 1 || language == 2)
                    QVERIFY(sys.dictionary.WaitUntilLoaded(10000) && sys.dictionary.GetCount() > 0);
            }
        }
    }

    void commandLine()
    {
        const QStringList none;
        // clang-format off
        const std::tuple<QStringList, QStringList, bool, QString, bool> cases[] = {
            {none, none, false, "", false}, // nothing
            {QStringList{"--open", "VelocityLoop", "CSpeedCircle", "CommSettings", "--screenshot", "a.png", "--connect"}, QStringList{"VelocityLoop", "CSpeedCircle", "CommSettings"}, true, "a.png", false}, // pages and screenshot
            {QStringList{"--open", "NoSuchPage"}, none, false, "", true}, // unknown page
            {QStringList{"--screenshot"}, none, false, "", true}, // missing value
            {QStringList{"--fast"}, none, false, "", true}, // unknown option
        };
        // clang-format on
        for (const auto& [arguments, pages, connect, screenshot, bad] : cases) {
            const CDrivaraOptions options = ParseDrivaraOptions(QStringList{"drivara"} + arguments);
            QCOMPARE(!options.error.isEmpty(), bad);
            if (bad)
                continue;
            QCOMPARE(options.openPages, pages);
            QCOMPARE(options.connect, connect);
            QCOMPARE(options.screenshotPath, screenshot);
        }
    }

    void initSaveDialog()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CSysData& sys = *bench.sys;
        {
            // Not connected: each button only says so and nothing reaches the drive.
            CInitSaveDialog dialog(sys, bench.frame.get());
            dialog.show();
            const int requests = bench.drive.RequestCount();
            for (const char* name : {"storeControl", "storeMotor", "initControl", "restart"})
                Press(&dialog, name);
            QCOMPARE(bench.messages.Take(),
                     QStringList(4, QStringLiteral("Comm port isn't Open!")));
            QVERIFY(dialog.buttonsEnabled());
            QCOMPARE(bench.drive.RequestCount(), requests);
        }
        bench.messages.Take();
        QVERIFY(bench.ConnectAndWait());
        const auto linkUse = [&sys] {
            return QList<int>{sys.exclusiveMode.load(), sys.pollingEnabled.load(),
                              sys.retryOnSendFailure.load()};
        };
        {
            // The open dialog holds the link, without polling or retries.
            CInitSaveDialog dialog(sys, bench.frame.get());
            QCOMPARE(linkUse(), QList<int>({1, 0, 0}));
            QCOMPARE(sys.exclusiveOwner.load(), dialog.hwnd());
            QCOMPARE(dialog.pollStep(), 1);
            dialog.show();
            // The drive confirms a store with 1 (busy) and reads idle again after a while; both
            // state objects are read on the way (at least one of each).
            for (const char* store : {"storeControl", "storeMotor"}) {
                Press(&dialog, store);
                QTRY_VERIFY_WITH_TIMEOUT(!dialog.buttonsEnabled(), kWaitMs);
                const int requests = bench.drive.RequestCount();
                QTRY_VERIFY_WITH_TIMEOUT(dialog.buttonsEnabled(), kWaitMs);
                QVERIFY(bench.drive.RequestCount() - requests >= 2);
                QCOMPARE(bench.drive.Value(CInitSaveDialog::kStoreControlKey), 0u);
                QCOMPARE(bench.drive.Value(CInitSaveDialog::kStoreMotorKey), 0u);
            }
            // A changed parameter shows that the drive really initialised; the drive reads 10
            // until acknowledged with 0.
            constexpr uint32_t kParameter = 0x100C00;
            const uint32_t defaultValue = bench.drive.Value(kParameter);
            bench.drive.SetValue(kParameter, defaultValue + 5);
            Press(&dialog, "initControl");
            QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(kParameter), defaultValue, kWaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(CInitSaveDialog::kStoreControlKey), 0u,
                                      kWaitMs);
            QVERIFY(dialog.buttonsEnabled());
            QVERIFY(bench.messages.Take().isEmpty());
            // Two busy answers closer together than the pause each get their own state read:
            // control, motor, and control once more, as the first read still found the motor
            // busy.
            const int requests = bench.drive.RequestCount();
            dialog.OnMessage(WM_SDO_VALUE, 1, CInitSaveDialog::kStoreControlKey);
            dialog.OnMessage(WM_SDO_VALUE, 1, CInitSaveDialog::kStoreMotorKey);
            QCOMPARE(dialog.readsOwed(), 2);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.readsOwed() == 0 && dialog.buttonsEnabled() &&
                                         !sys.link.HasPendingRequests(),
                                     kWaitMs);
            QCOMPARE(bench.drive.RequestCount() - requests, 3);
            // Closing gives polling and retries back; the window's end gives the link back.
            dialog.reject();
            QCOMPARE(linkUse(), QList<int>({1, 1, 1}));
        }
        QCOMPARE(linkUse(), QList<int>({0, 1, 1}));
        QCOMPARE(sys.exclusiveOwner.load(), kNoWindow);
    }

    void languageDialog()
    {
        const int zh = kChineseLcid, en = kEnglishLcid;
        // clang-format off
        const std::tuple<int, QString, QString, QString, QString> cases[] = {
            {en, "1", "2", "chinese", "2"}, // non-Chinese refuses Chinese
            {zh, "", "", "chinese", "1"}, // Chinese chooses Chinese
            {zh, "1", "1", "english", "2"}, // Chinese chooses English
            {zh, "2", "2", "cancel", "2"}, // cancel writes nothing
        };
        // clang-format on
        for (const auto& [lcid, langBefore, langOnOpening, choice, langAfter] : cases) {
            const bool refused = lcid != kChineseLcid && choice == "chinese";
            // "wait" (3) would hold the dictionary back; this test needs none.
            CGuiBench bench(langBefore.isEmpty()
                                ? QStringLiteral("[sys]\ncomm=2\n")
                                : QStringLiteral("[sys]\nlang=%1\n").arg(langBefore),
                            lcid);
            CSysData& sys = bench.NewSysData();
            sys.systemLanguage = sys.IsChineseSystem() ? 1 : 2;
            auto lang = [&sys] {
                return Ini::GetProfileString(sys.sysIniPath, "sys", "lang", {}, 4);
            };
            CLanguageDialog dialog(sys);
            QCOMPARE(lang(), langOnOpening);
            QCOMPARE(dialog.chineseButton()->isChecked(), langOnOpening == "1");
            QCOMPARE(dialog.englishButton()->isChecked(), langOnOpening == "2");
            dialog.show();

            const bool cancel = choice == "cancel";
            (choice == "english" ? dialog.englishButton() : dialog.chineseButton())
                ->setChecked(true);
            QTest::mouseClick(dialog.findChild<QPushButton*>(cancel ? "cancel" : "ok"),
                              Qt::LeftButton);
            // A refusal keeps the dialog open for another choice.
            QCOMPARE(dialog.isVisible(), refused);
            QCOMPARE(dialog.result(), cancel || refused ? QDialog::Rejected : QDialog::Accepted);
            QCOMPARE(lang(), langAfter);
            QCOMPARE(bench.messages.Take(),
                     refused ? QStringList{"Your computer OS doesn't support the "
                                           "Chinese version. \r\n Seting is "
                                           "non-effective!!"}
                             : QStringList{});
            if (refused)
                QVERIFY(dialog.englishButton()->isChecked());
        }
    }

    void connectThroughSerialSettings()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        const QString port = bench.server.PortName();
        QSignalSpy icons(&frame, &CMainFrame::stateIconChanged);
        QCOMPARE(frame.statusText(), kClosed);
        CChildFrame* settings = frame.OpenPage(1213);
        auto* view = settings ? qobject_cast<CCommRs232*>(settings->view()) : nullptr;
        QVERIFY(view);
        // The saved port is offered although a pseudo-terminal is no listed serial device.
        QCOMPARE(view->selectedPort(), port);
        QCOMPARE(view->selectedBaud(), 115200u);

        // A port whose lock another program holds is marked in use.
        const QString path = bench.server.SlavePath();
        QVERIFY(!SerialPortInUse(path));
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        QVERIFY(SerialPortInUse(path));
        QCOMPARE(SerialPortText({QStringLiteral("ttyUSB0"), true}),
                 QStringLiteral("ttyUSB0 (占用)"));
        ::close(fd);
        QVERIFY(!SerialPortInUse(path));

        auto* button = view->findChild<QPushButton*>(QStringLiteral("connect"));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            frame.statusText(), QStringLiteral("Comm Status: Open  %1  115200").arg(port), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(frame.logic().lastDriveState(), 0, kWaitMs);
        QVERIFY(icons.contains(QVariantList{211}));
        QVERIFY(bench.messages.Take().isEmpty());
        // While connected the indicator blinks: the grey picture comes back, then the lit one.
        const int lit = int(icons.size());
        QTRY_VERIFY_WITH_TIMEOUT(icons.size() >= lit + 2, 4000);
        QVERIFY(icons.mid(lit).contains(QVariantList{205}));
        QVERIFY(icons.mid(lit).contains(QVariantList{211}));
        // The settings of the open are kept for the next start.
        QCOMPARE(Ini::GetProfileString(bench.sys->sysIniPath, "com", "comid", {}, 64), port);

        // The same button closes again.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(bench.State(), kClosedState);

        // Another baud rate while connected closes the connection at once.
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(frame.logic().lastDriveState(), 0, kWaitMs);
        view->findChild<QComboBox*>(QStringLiteral("baud"))->setCurrentIndex(0);
        QCOMPARE(bench.State(), kClosedState);
    }

    void connectionLossAndReconnection()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        QList<CParamPage*> pages;
        for (int command : {1217, 1215}) {
            CChildFrame* child = frame.OpenPage(command);
            pages.append(child ? PageViewLogic(child->view()) : nullptr);
            QVERIFY(pages.last());
        }
        QVERIFY(bench.ConnectAndWait());
        for (CParamPage* page : pages)
            QTRY_VERIFY_WITH_TIMEOUT(GuiPageTest::PageFilled(*page), kWaitMs);

        // A drive that falls silent closes the connection; meanwhile the first rows change.
        bench.drive.faults().SetSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(bench.sys->connected.load(), 2, kWaitMs);
        QCOMPARE(bench.State(), kClosedState);
        QStringList before;
        for (CParamPage* page : pages) {
            before << page->list().GetItemText(0, CPageListModel::ColValue);
            const uint32_t key = page->list().RowKey(0);
            bench.drive.SetValue(key, bench.drive.Value(key) + 7);
        }
        bench.drive.faults().SetSilent(false);
        QVERIFY(bench.ConnectAndWait());
        for (int i = 0; i < 2; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(
                pages[i]->list().GetItemText(0, CPageListModel::ColValue) != before[i], kWaitMs);
    }

    void pageWindowsAndMenus()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        QSet<int> inMenus;
        for (QAction* menu : frame.menuBar()->actions()) {
            for (QAction* action : menu->menu()->actions()) {
                if (action->objectName().startsWith(QLatin1String("cmd")))
                    inMenus.insert(action->objectName().mid(3).toInt());
            }
        }
        QList<int> commands = {57600, 57601, 57604, 1236, 57664, 1246, 59392, 59393, 57665, 1128};
        for (const CPageCommand& page : PageCommands())
            commands.append(page.command);
        for (int command : commands)
            QVERIFY2(inMenus.contains(command), qPrintable(QString::number(command)));

        // A page's command raises the page when it is open.
        CChildFrame* velocity = frame.OpenPage(1217);
        CChildFrame* position = frame.OpenPage(1215);
        QVERIFY(velocity && position && velocity != position);
        QCOMPARE(frame.mdiArea()->activeSubWindow(), position);
        frame.action(1217)->trigger();
        QCOMPARE(frame.mdiArea()->activeSubWindow(), velocity);
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);

        // The window takes its size and keeps it: no sizing border, no maximise.
        const QSize size = PageWindowSize(*FindPageCommand(1217), *bench.sys);
        QCOMPARE(velocity->size(), size);
        QVERIFY(!(velocity->windowFlags() & Qt::WindowMaximizeButtonHint));
        velocity->resize(size + QSize(100, 100));
        QCOMPARE(velocity->size(), size);
        // Minimising folds it to its caption; restoring gives the size back.
        velocity->showMinimized();
        QVERIFY(velocity->height() < size.height());
        velocity->showNormal();
        QCOMPARE(velocity->size(), size);

        // A closed page is created anew by its command.
        velocity->close();
        QTRY_VERIFY(!frame.page(1217));
        QVERIFY(frame.OpenPage(1217));
        QCOMPARE(frame.pages().size(), 2);

        // The state icons differ from each other even in grey-scale.
        auto grey = [](int id) {
            return Icons::StateIcon(id).pixmap(25).toImage().convertToFormat(
                QImage::Format_Grayscale8);
        };
        QVERIFY(grey(205) != grey(211) && grey(211) != grey(210) && grey(205) != grey(210));
    }

    void pageWindowSizes()
    {
        // clang-format off
        const std::tuple<int, int, int, QSize> cases[] = {
            // Formula: B + w1 + w2 + w3 + 5 % of w5 by B + w4 + 3 % of w5.
            {1217, 96, 2, QSize(86 + 257 + 115 + 105 + 2, 86 + 244 + 1)}, // formula 96
            {1217, 144, 2, QSize(110 + 385 + 172 + 158 + 3, 110 + 367 + 2)}, // formula 144
            {1234, 96, 2, QSize(570, 240)}, // fixed 96
            {1234, 144, 1, QSize(710, 280)}, // fixed 144
            {1247, 96, 1, QSize(912, 615)}, // scope Chinese
            {1247, 96, 2, QSize(1010, 640)}, // scope English
            {1235, 144, 2, QSize(920, 680)}, // errors English 144
        };
        // clang-format on
        CGuiBench bench;
        QVERIFY(bench.MakeSysData());
        for (const auto& [command, dpi, language, size] : cases) {
            bench.sys->SetLanguage(uint8_t(language));
            bench.sys->SetListColumns(dpi);
            const CPageCommand* page = FindPageCommand(command);
            QVERIFY(page);
            QCOMPARE(PageWindowSize(*page, *bench.sys), size);
        }
    }

    void canSettingsShowTheLibraryVersion()
    {
        // A code that is none of the six leaves the list and the driver id alone.
        for (const char* rate : {"28", "29"}) {
            CGuiBench bench(QStringLiteral("[sys]\nlang=2\ncomm=5\n[can]\nbuadrate=%1\ndriverid=3\n"
                                           "backend=virtualcan\ninterface=can0\n")
                                .arg(QLatin1String(rate)));
            QVERIFY(bench.Ready());
            bench.sys->commMode = 5;
            CChildFrame* child = bench.frame->OpenPage(1213);
            auto* view = child ? qobject_cast<CCommCan*>(child->view()) : nullptr;
            QVERIFY(view);
            auto* bitRate = view->findChild<QComboBox*>(QStringLiteral("bitRate"));
            const bool known = rate == QLatin1String("28");
            QCOMPARE(bitRate->currentText(), known ? QStringLiteral("500 KBit/s") : QString());
            QCOMPARE(view->findChild<QSpinBox*>(QStringLiteral("driverId"))->value(),
                     known ? 3 : 1);
            if (!known)
                continue;
            QVERIFY2(view->versionText().startsWith(QLatin1String("CAN Ver")),
                     qPrintable(view->versionText()));
            // An interface the plugin does not have: no driver to talk to.
            view->findChild<QComboBox*>(QStringLiteral("plugin"))->setCurrentText("virtualcan");
            view->findChild<QComboBox*>(QStringLiteral("interface"))->setCurrentText(QString());
            QCOMPARE(view->versionText(),
                     QStringLiteral("Your PC doesn't have Peak CAN-USB driver!! "));
        }
    }
};

DRIVARA_GUI_TEST_MAIN(CGuiTest)
#include "GuiTest.moc"
