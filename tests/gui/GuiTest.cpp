// The drivara program's windows against the virtual drive over a pseudo-terminal: start-up and
// its language, the command line, the dialogs, connecting, connection loss and reconnection, the
// page windows (those this version does not have, the project file's moves), the settings
// windows and the main window's desktop habits (its place kept, Ctrl+Q, F1 and the manual).

#include "../comm/CommTestUtil.h"
#include "ChildFrame.h"
#include "CommCan.h"
#include "CommRs232.h"
#include "DesktopHabits.h"
#include "DrivaraApp.h"
#include "EditListCtrl.h"
#include "ExportDrvData.h"
#include "GuiPageSupport.h"
#include "Icons.h"
#include "ImportDrvData.h"
#include "InitSaveDialog.h"
#include "LanguageDialog.h"
#include "MainFrame.h"
#include "MdiArea.h"
#include "MessageRecorder.h"
#include "PageViews.h"
#include "SerialPorts.h"
#include "SimCanServer.h"
#include "app/BusEventList.h"
#include "base/IniFile.h"
#include "base/Report.h"
#include "browser/BrowseModel.h"
#include "browser/SdoList.h"
#include "bus/EmergencyList.h"
#include "comm/SdoFrame.h"
#include "pages/ParamPage.h"
#include "rterror/RealtimeError.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
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

// A page's label, key, value and unit texts, row by row.
QStringList PageRows(CChildFrame* child)
{
    const CPageListModel& list = PageViewLogic(child->view())->list();
    QStringList texts;
    for (int r = 0; r < list.GetItemCount(); ++r)
        texts << list.GetItemText(r, 0) << list.GetItemText(r, 1) << list.GetItemText(r, 4)
              << list.GetItemText(r, 6);
    return texts;
}

// A transfer view of the main frame, opened by its command.
template <typename View> View* OpenTransfer(CGuiBench& bench, CommandId command)
{
    CChildFrame* child = bench.frame->OpenPage(command);
    return child ? qobject_cast<View*>(child->view()) : nullptr;
}

QString StatusLine(const QWidget* view, const char* name)
{
    const auto* line = view->findChild<QLabel*>(QLatin1String(name));
    return line ? line->text() : QString();
}

// Each row's background: "-" none, "R" red, "Y" yellow.
QString RowColours(const CTransferView* view)
{
    QString colours;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QVariant colour = view->model()->index(row, 0).data(Qt::BackgroundRole);
        colours += !colour.isValid()                      ? '-'
                   : colour.value<QColor>() == Qt::red    ? 'R'
                   : colour.value<QColor>() == Qt::yellow ? 'Y'
                                                          : '?';
    }
    return colours;
}

// How often the drive got this write.
int WritesOf(const CVirtualDrive& drive, uint32_t key, uint8_t command, uint32_t value)
{
    return drive.FrameCount(SdoFrame::BuildSdo(command, key, value).data());
}

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

public:
    // The desktop's URL opener while a test replaces it: records instead of starting a viewer.
    Q_INVOKABLE void openUrl(const QUrl& url) { m_opened << url; }
    QList<QUrl> m_opened;

private slots:
    // sys.ini's language; the operator's choice in the dialog that a Chinese system without one
    // shows (at most twice); the language then in use, the File menu and the list's name title
    // ("wait", 3, keeps the built-in texts, no list columns); or the message with which the
    // program ends. (Which outcome each sys.ini and system get is LanguageTest's.)
    void languageAtStartUp_data()
    {
        QTest::addColumn<int>("lcid");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("fileMenu");
        QTest::addColumn<QString>("nameTitle");
        QTest::addColumn<QString>("ending");
        const int zh = kChineseLcid, en = kEnglishLcid;
        // clang-format off
        QTest::newRow("English") << zh << "2" << "" << 2 << "&File" << "name" << "";
        QTest::newRow("wait") << zh << "3" << "" << 3 << "文件(&F)" << "" << "";
        QTest::newRow("asked, Chinese chosen") << zh << "" << "chinese" << 1 << "文件(&F)" << "名称" << "";
        QTest::newRow("asked twice, no choice") << zh << "" << "cancel" << 0 << "" << ""
            << "System config file error.\n Exit!! ";
        QTest::newRow("English texts missing") << en << "2" << "" << 0 << "" << ""
            << "Load EN.dll resource failure!\n  System exit!\n";
        // clang-format on
    }
    void languageAtStartUp()
    {
        QFETCH(int, lcid);
        QFETCH(QString, lang);
        QFETCH(QString, choice);
        QFETCH(int, language);
        QFETCH(QString, fileMenu);
        QFETCH(QString, nameTitle);
        QFETCH(QString, ending);
        CGuiBench bench(lang.isEmpty() ? QStringLiteral("[sys]\ncomm=2\n")
                                       : QStringLiteral("[sys]\nlang=%1\ncomm=2\n").arg(lang),
                        lcid);
        if (ending.startsWith("Load EN.dll"))
            QVERIFY(QFile::remove(bench.install.path(QStringLiteral("data/EN.qm"))));
        CSysData& sys = bench.NewSysData();
        int dialogs = 0;
        QTimer operatorAtTheScreen;
        QObject::connect(&operatorAtTheScreen, &QTimer::timeout, [&] {
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
        CDrivaraApp app(sys);
        int exitCode = -1;
        QCOMPARE(app.InitInstance(exitCode), ending.isEmpty());
        QCOMPARE(exitCode, 0);
        QCOMPARE(dialogs, choice.isEmpty() ? 0 : choice == "cancel" ? 2 : 1);
        if (!ending.isEmpty()) {
            QVERIFY(!app.mainFrame());
            QCOMPARE(bench.messages.Take(), QStringList{ending});
            return;
        }
        QVERIFY(app.mainFrame()->isVisible());
        QCOMPARE(int(sys.programLanguage), language);
        QCOMPARE(app.mainFrame()->menuBar()->actions().first()->text(), fileMenu);
        QCOMPARE(sys.titleName, nameTitle);
        // The list columns take the main window's screen density.
        if (!nameTitle.isEmpty())
            QCOMPARE(sys.columnWidths[0], int(app.mainFrame()->logicalDpiX() * 2.68));
        QVERIFY(bench.messages.Take().isEmpty());
        // The dictionary of the language in use, also when the operator chose it.
        CSdoRecord statusword;
        if (language != 3)
            QVERIFY(sys.dictionary.WaitUntilLoaded(10000) &&
                    sys.dictionary.Lookup(0x604100, statusword) &&
                    statusword.name == (language == 1 ? "状态字" : "Statusword"));
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("request");
        QTest::addColumn<QString>("result"); // pages, screenshot and settings, or the message
        const auto row = [](const char* name, const char* arguments, int request,
                            const char* result) {
            QTest::newRow(name) << QString::fromLatin1(arguments).split(' ', Qt::SkipEmptyParts)
                                << request << QString::fromUtf8(result);
        };
        using O = CDrivaraOptions;
        row("nothing", "", O::Run, "| |");
        row("pages, screenshot",
            "--open VelocityLoop CSpeedCircle 1213 --screenshot a.png --connect", O::Run,
            "VelocityLoop,CSpeedCircle,1213|a.png connect|");
        row("serial settings", "--serial /dev/pts/3 --baud 9600 --node 0x7F", O::Run,
            "| |pts/3 9600 127");
        row("help", "--version --help", O::Help, "usage: drivara [--base DIR] [--serial PORT");
        row("tiled", "--open VelocityLoop --tile", O::Run, "VelocityLoop| |");
        row("unknown page", "--open NoSuchPage", O::Error, "unknown page NoSuchPage");
        row("node alone", "--node 5", O::Error, "--node goes with --serial PORT");
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, request);
        QFETCH(QString, result);
        const CDrivaraOptions options = ParseDrivaraOptions(QStringList{"drivara"} + arguments);
        QCOMPARE(int(options.request), request);
        QCOMPARE(options.tile, arguments.contains("--tile"));
        if (options.request != CDrivaraOptions::Run) {
            QVERIFY2(options.output.contains(result), qPrintable(options.output));
            return;
        }
        const CConnectionSettings::Serial& s = options.connection.serial;
        const QString serial = QStringLiteral("%1 %2 %3").arg(s.port).arg(s.baud).arg(s.driverId);
        QCOMPARE(options.openPages.join(',') + '|' + options.screenshotPath +
                     (options.connect ? " connect|" : " |") + (options.saveSerial ? serial : ""),
                 result);
    }

    // The program itself: help and version answer without a display; a bad option ends with
    // exit 3 before sys.ini is touched (run where a program that took it would start, save it,
    // take its picture and end).
    void programWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // the start of stdout, or a text stderr holds
        QTest::newRow("help") << QStringList{"--help"} << 0 << "usage: drivara";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "drivara 1.6\n";
        QTest::newRow("bad baud") << QStringList{"--serial", "pts/3", "--baud", "-1"} << 3
                                  << "drivara: --baud takes a whole number from 1 to 4000000";
        QTest::newRow("bad port") << QStringList{"--serial", "", "--connect"} << 3
                                  << "--serial takes a port name";
    }
    void programWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        TestSupport::TempInstall install;
        const auto sysIni = [&install] {
            QFile file(install.path("sys/sys.ini")); // by name: a save replaces the file
            file.open(QIODevice::ReadOnly);
            return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
        };
        const QByteArray before = sysIni();
        QProcess drivara;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QLatin1String(name));
        if (exitCode != 0) {
            environment.insert("QT_QPA_PLATFORM", "offscreen");
            arguments << "--screenshot" << install.path("user/shot.png");
        }
        drivara.setProcessEnvironment(environment);
        drivara.start(TestSupport::DistDir() + "/drivara",
                      QStringList{"--base", install.base()} + arguments);
        QVERIFY(drivara.waitForFinished(20000) && drivara.exitStatus() == QProcess::NormalExit);
        const QString out = drivara.readAllStandardOutput(), err = drivara.readAllStandardError();
        QVERIFY2(drivara.exitCode() == exitCode, qPrintable(out + err));
        QVERIFY2(exitCode == 0 ? out.startsWith(output) : err.contains(output),
                 qPrintable(out + err));
        QCOMPARE(sysIni(), before);
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

    // A read and a write run with some alarms and failures: counts, row colours, the prompt to
    // rewrite once per loaded file, a restart refused while a run goes; a window gives the link
    // back when it closes and keeps it between runs.
    void transferRuns()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready() && bench.ConnectAndWait());
        auto* reader = OpenTransfer<CExportDrvData>(bench, CommandId::ReadDriveConfig);
        QVERIFY(reader && reader->linkHeld());
        // Known, read-only, and an object the drive lacks.
        QVERIFY(bench.install.writeFile("user/list.cdo", "20400110\r\n20200510\r\n12340010\r\n"));
        QVERIFY(reader->LoadObjectList(bench.install.path("user/list.cdo")));
        QSignalSpy readEnded(reader, &CTransferView::jobEnded);
        reader->StartRun();
        QTRY_COMPARE_WITH_TIMEOUT(readEnded.size(), 1, kWaitMs);
        QCOMPARE(StatusLine(reader, "runStatus"), QStringLiteral("Finish: Total:3  Error:1 "));
        QCOMPARE(RowColours(reader), QStringLiteral("--R"));
        QVERIFY(reader->linkHeld());
        // An empty list ends at once.
        QVERIFY(bench.install.writeFile("user/empty.cdo", ""));
        QVERIFY(reader->LoadObjectList(bench.install.path("user/empty.cdo")));
        reader->StartRun();
        QCOMPARE(StatusLine(reader, "runStatus"), QStringLiteral("Finish: Total:0  Error:0 "));
        bench.frame->page(CommandId::ReadDriveConfig)->close();
        QCOMPARE(bench.sys->exclusiveMode.load(), 0);

        auto* writer = OpenTransfer<CImportDrvData>(bench, CommandId::WriteDriveConfig);
        QVERIFY(writer && writer->linkHeld());
        // True, Alarm (the signed object reads back -2), Fail (read-only), Fail (no value).
        QVERIFY(bench.install.writeFile(
            "user/cfg.cdi", "20400110,100,True\r\n20200110,65534,True\r\n20200510,5,True\r\n"
                            "20400210,,True\r\n12340010,0x0001,Fail\r\n"));
        const QString summary = QStringLiteral("Finish: Total:4  Alarm:1  Error:2");
        const QString prompt = summary + QStringLiteral("\n Please rewrite again!\n");
        QSignalSpy writeEnded(writer, &CTransferView::jobEnded);
        bench.messages.Take();
        for (bool reload : {true, false, true}) {
            if (reload)
                QVERIFY(writer->LoadConfiguration(bench.install.path("user/cfg.cdi")));
            writer->StartRun();
            writer->Restart();
            QTRY_COMPARE_WITH_TIMEOUT(writeEnded.size(), 1, kWaitMs);
            writeEnded.clear();
            QCOMPARE(StatusLine(writer, "runStatus"), summary);
            QCOMPARE(RowColours(writer), QStringLiteral("-YRR"));
            const QStringList messages = bench.messages.Take();
            QCOMPARE(messages.size(), reload ? 2 : 1);
            QVERIFY(messages.first().startsWith(QLatin1String("A transfer or a store is going")));
            QCOMPARE(messages.contains(prompt), reload);
        }
        QCOMPARE(WritesOf(bench.drive, DriveObject::kRestart, 0x2B, 0xAA55), 0);
    }

    // Cancelling a run or losing the drive in one gives the link back; the page that could not
    // read while the window held it reads (after the reconnect, when the drive was lost).
    void transferGivesTheLinkBack_data()
    {
        QTest::addColumn<bool>("lose");
        QTest::newRow("cancel") << false;
        QTest::newRow("lost connection") << true;
    }
    void transferGivesTheLinkBack()
    {
        QFETCH(bool, lose);
        CGuiBench bench;
        QVERIFY(bench.Ready() && bench.ConnectAndWait());
        auto* reader = OpenTransfer<CExportDrvData>(bench, CommandId::ReadDriveConfig);
        CParamPage* page = PageViewLogic(bench.frame->OpenPage(CommandId::VelocityLoop)->view());
        QVERIFY(reader && page);
        QVERIFY(bench.install.writeFile("user/list.cdo", "20400110\n20400210\n20400310\n"));
        QVERIFY(reader->LoadObjectList(bench.install.path("user/list.cdo")));
        QTRY_VERIFY(!bench.sys->link.HasPendingRequests());
        QVERIFY(!GuiPageTest::PageFilled(*page));
        QSignalSpy ended(reader, &CTransferView::jobEnded);
        bench.drive.faults().SetSilent(lose);
        reader->StartRun();
        if (!lose)
            QTest::mouseClick(reader->findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, kWaitMs);
        QCOMPARE(QList<int>({bench.sys->exclusiveMode.load(), bench.sys->pollingEnabled.load()}),
                 QList<int>({0, 1}));
        QVERIFY(!reader->linkHeld() && reader->findChild<QPushButton*>("read")->isEnabled());
        QCOMPARE(RowColours(reader), lose ? QStringLiteral("RRR") : QStringLiteral("---"));
        if (lose) {
            bench.drive.faults().SetSilent(false);
            QVERIFY(bench.ConnectAndWait());
        }
        QTRY_VERIFY_WITH_TIMEOUT(GuiPageTest::PageFilled(*page), kWaitMs);
    }

    // Leaving the import window after writes without a store asks once; the answer stays,
    // stores first (motor, then control parameters) or leaves.
    void transferLeaveAsksToStore_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("stores");
        QTest::newRow("stay") << "stay" << 0;
        QTest::newRow("store") << "storeAndLeave" << 1;
        QTest::newRow("leave") << "leaveWithoutStore" << 0;
    }
    void transferLeaveAsksToStore()
    {
        QFETCH(QString, answer);
        QFETCH(int, stores);
        CGuiBench bench;
        QVERIFY(bench.Ready() && bench.ConnectAndWait());
        auto* writer = OpenTransfer<CImportDrvData>(bench, CommandId::WriteDriveConfig);
        QVERIFY(writer && bench.install.writeFile("user/cfg.cdi", "20400110,100,True\r\n"));
        QVERIFY(writer->LoadConfiguration(bench.install.path("user/cfg.cdi")));
        writer->StartRun();
        QTRY_VERIFY_WITH_TIMEOUT(!writer->running() && writer->unstoredWrites(), kWaitMs);
        bench.frame->page(CommandId::WriteDriveConfig)->close();
        auto* question = writer->findChild<QMessageBox*>("leaveQuestion");
        QVERIFY(question && question->isVisible() &&
                bench.frame->page(CommandId::WriteDriveConfig));
        QTest::mouseClick(question->findChild<QPushButton*>(answer), Qt::LeftButton);
        const bool stays = answer == QLatin1String("stay");
        QTRY_COMPARE_WITH_TIMEOUT(bench.frame->page(CommandId::WriteDriveConfig) != nullptr, stays,
                                  kWaitMs);
        QCOMPARE(WritesOf(bench.drive, DriveObject::kStoreMotor, 0x2F, 1), stores);
        QCOMPARE(WritesOf(bench.drive, DriveObject::kStoreControl, 0x2F, 1), stores);
        QCOMPARE(bench.sys->exclusiveMode.load(), stays ? 1 : 0);
    }

    void languageDialog_data()
    {
        QTest::addColumn<int>("lcid");
        QTest::addColumn<QString>("langBefore");    // "": sys.ini without lang
        QTest::addColumn<QString>("langOnOpening"); // what the dialog has written on opening
        QTest::addColumn<QString>("choice");
        QTest::addColumn<QString>("langAfter");
        const int zh = kChineseLcid, en = kEnglishLcid;
        // clang-format off
        QTest::newRow("non-Chinese refuses Chinese") << en << "1" << "2" << "chinese" << "2";
        QTest::newRow("Chinese chooses Chinese") << zh << "" << "" << "chinese" << "1";
        QTest::newRow("Chinese chooses English") << zh << "1" << "1" << "english" << "2";
        QTest::newRow("cancel writes nothing") << zh << "2" << "2" << "cancel" << "2";
        // clang-format on
    }
    void languageDialog()
    {
        QFETCH(int, lcid);
        QFETCH(QString, langBefore);
        QFETCH(QString, langOnOpening);
        QFETCH(QString, choice);
        QFETCH(QString, langAfter);
        const bool refused = lcid != kChineseLcid && choice == "chinese";
        // "wait" (3) would hold the dictionary back; this test needs none.
        CGuiBench bench(langBefore.isEmpty() ? QStringLiteral("[sys]\ncomm=2\n")
                                             : QStringLiteral("[sys]\nlang=%1\n").arg(langBefore),
                        lcid);
        CSysData& sys = bench.NewSysData();
        sys.systemLanguage = sys.IsChineseSystem() ? 1 : 2;
        auto lang = [&sys] { return Ini::GetProfileString(sys.sysIniPath, "sys", "lang", {}, 4); };
        CLanguageDialog dialog(sys);
        QCOMPARE(lang(), langOnOpening);
        QCOMPARE(dialog.chineseButton()->isChecked(), langOnOpening == "1");
        QCOMPARE(dialog.englishButton()->isChecked(), langOnOpening == "2");
        dialog.show();

        const bool cancel = choice == "cancel";
        (choice == "english" ? dialog.englishButton() : dialog.chineseButton())->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(cancel ? "cancel" : "ok"), Qt::LeftButton);
        // A refusal keeps the dialog open for another choice.
        QCOMPARE(dialog.isVisible(), refused);
        QCOMPARE(dialog.result(), cancel || refused ? QDialog::Rejected : QDialog::Accepted);
        QCOMPARE(lang(), langAfter);
        QCOMPARE(bench.messages.Take(), refused
                                            ? QStringList{"Your computer OS doesn't support the "
                                                          "Chinese version. \r\n Seting is "
                                                          "non-effective!!"}
                                            : QStringList{});
        if (refused)
            QVERIFY(dialog.englishButton()->isChecked());
    }

    void connectThroughSerialSettings()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        const QString port = bench.server.PortName();
        QSignalSpy icons(&frame, &CMainFrame::stateIconChanged);
        // The pictures the indicator shows, each time it changes.
        QHash<int, QSet<qint64>> pictures;
        QObject receiver;
        connect(&frame, &CMainFrame::stateIconChanged, &receiver, [&](int icon) {
            pictures[icon].insert(frame.action(CommandId::ToolRealTimeError)->icon().cacheKey());
        });
        QCOMPARE(frame.statusText(), kClosed);
        CChildFrame* settings = frame.OpenPage(CommandId::CommSettings);
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
        QCOMPARE(SerialPortText({QStringLiteral("ttyUSB0"), true, {}}),
                 QStringLiteral("ttyUSB0 (占用)"));
        ::close(fd);
        QVERIFY(!SerialPortInUse(path));
        // An adapter's stable name is offered beside the kernel's, and says which port it is.
        QTemporaryDir dev;
        QVERIFY(QDir(dev.path()).mkpath(QStringLiteral("serial/by-id")) &&
                QFile::link(path, dev.filePath(QStringLiteral("ttyUSB7"))) &&
                QFile::link(QStringLiteral("../../ttyUSB7"),
                            dev.filePath(QStringLiteral("serial/by-id/usb-Drive-if00-port0"))));
        QStringList listed;
        for (const CSerialPortEntry& entry : ListSerialPorts(dev.path()))
            listed << SerialPortText(entry);
        QCOMPARE(listed,
                 QStringList({QStringLiteral("ttyUSB7"),
                              QStringLiteral("serial/by-id/usb-Drive-if00-port0 → ttyUSB7")}));

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
        // It blinks between the same two pictures: a new one at every blink would stay in Qt's
        // pixmap cache once painted, and the program would grow all day.
        QCOMPARE(pictures.value(211).size(), 1);
        QCOMPARE(pictures.value(205).size(), 1);
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

    // Pages open before the connection are read once the drive answers. (Their going stale when
    // it falls silent and their reading again after a reconnect are ParamPageViewTest's; the
    // status and indicator of a lost connection MainFrameLogicTest's.)
    void pagesOpenBeforeConnectingAreRead()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        for (CommandId command : {CommandId::VelocityLoop, CommandId::PositionLoop})
            QVERIFY(bench.frame->OpenPage(command));
        QVERIFY(bench.ConnectAndWait());
        int filled = 0;
        for (CChildFrame* child : bench.frame->pages()) {
            CParamPage* page = PageViewLogic(child->view());
            QTRY_VERIFY_WITH_TIMEOUT(page && GuiPageTest::PageFilled(*page), kWaitMs);
            ++filled;
        }
        QCOMPARE(filled, 2);
    }

    // Error bits raised and cleared in the drive (by its test objects, over the wire) reach the
    // lamp and the toolbar's drive-state icon; a masked error lights its lamp but is no fault;
    // unchecking a box writes its group's mask.
    void realTimeErrorPage_data()
    {
        QTest::addColumn<int>("bit");
        QTest::addColumn<bool>("masked");
        QTest::addColumn<uint32_t>("maskKey");
        QTest::addColumn<uint32_t>("maskAfter");
        QTest::newRow("row 3") << 2 << false << DriveObject::kErrorMaskLow << 0xFFFBu;
        QTest::newRow("row 18 masked") << 17 << true << DriveObject::kErrorMaskHigh << 0xFFFDu;
    }
    void realTimeErrorPage()
    {
        QFETCH(int, bit);
        QFETCH(bool, masked);
        QFETCH(uint32_t, maskKey);
        QFETCH(uint32_t, maskAfter);
        CGuiBench bench;
        QVERIFY(bench.Ready());
        QVERIFY(bench.ConnectAndWait());
        CChildFrame* child = bench.frame->OpenPage(CommandId::RealTimeError);
        auto* view = qobject_cast<CRealtimeError*>(child ? child->view() : nullptr);
        QVERIFY(view);
        QTRY_COMPARE_WITH_TIMEOUT(view->page().initStep(), 0, kWaitMs);
        QCOMPARE(view->findChild<QLabel*>(QStringLiteral("name1"))->text(),
                 QStringLiteral("Over-current"));
        if (masked) {
            QTest::mouseClick(view->check(bit), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(maskKey), maskAfter, kWaitMs);
            QTRY_VERIFY_WITH_TIMEOUT(!view->check(bit)->isChecked(), kWaitMs);
        }
        CCtrlLink& link = bench.sys->link;
        const HWND hwnd = view->page().hwnd();
        QCOMPARE(link.Request(hwnd, SdoFrame::kWrite1, CVirtualDrive::kRaiseErrorBit, bit), 0);
        QTRY_VERIFY_WITH_TIMEOUT(view->lampLit(bit), kWaitMs);
        const int fault = masked ? 211 : 210;
        QTRY_COMPARE_WITH_TIMEOUT(bench.frame->logic().lastDriveState(), masked ? 0 : 1, kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(bench.frame->stateIcon(), fault, kWaitMs);
        for (int other = 0; other < 32; ++other)
            QCOMPARE(view->lampLit(other), other == bit);
        QCOMPARE(link.Request(hwnd, SdoFrame::kWrite1, CVirtualDrive::kClearErrorBit, bit), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!view->lampLit(bit), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(bench.frame->stateIcon(), 211, kWaitMs);
        if (!masked) {
            QTest::mouseClick(view->check(bit), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(maskKey), maskAfter, kWaitMs);
            QCOMPARE(view->page().lastWritten(), maskAfter);
        }
    }

    // An error raised on a CANopen drive comes over the real CAN transport as an emergency: the
    // status bar shows it and the Emergencies window lists it, newest first, until Clear.
    void emergencyWindowListsTheBusEvents()
    {
        const QString bus = CommTest::BusUrl();
        CGuiBench bench("[sys]\nlang=2\ncomm=5\n[can]\nbackend=virtualcan\ninterface=" + bus +
                        "\nbuadrate=28\ndriverid=1\ntimeout=200\nprofile=canopen\n");
        QVERIFY(bench.drive.Load(bench.install.path("data")));
        bench.drive.SetCanOpen(true);
        CSimCanServer can{bench.drive};
        QVERIFY2(can.Start(1, QStringLiteral("virtualcan"), bus), qPrintable(can.ErrorString()));
        QVERIFY(bench.MakeSysData());
        bench.frame = std::make_unique<CMainFrame>(*bench.sys);
        bench.frame->show();
        QVERIFY(bench.ConnectAndWait());
        CChildFrame* child = bench.frame->OpenPage(CommandId::Emergencies);
        auto* view = qobject_cast<CEmergencyList*>(child ? child->view() : nullptr);
        QVERIFY(view);
        QAbstractItemModel* rows = view->table()->model();
        for (const int bit : {3, 9}) {
            QCOMPARE(bench.sys->link.Request(bench.frame->logic().hwnd(), SdoFrame::kWrite1,
                                             CVirtualDrive::kRaiseErrorBit, uint32_t(bit)),
                     0);
            QTRY_VERIFY_WITH_TIMEOUT(
                rows->rowCount() > 0 &&
                    rows->index(0, CBusEventList::ColCode).data() ==
                        QStringLiteral("0xFF%1").arg(bit, 2, 10, QLatin1Char('0')),
                kWaitMs);
        }
        QCOMPARE(rows->index(0, CBusEventList::ColNode).data().toInt(), 1);
        QCOMPARE(rows->index(0, CBusEventList::ColEvent).data().toString(),
                 QStringLiteral("紧急报文")); // no translator in the bench
        QVERIFY(rows->index(0, CBusEventList::ColText)
                    .data()
                    .toString()
                    .startsWith(QStringLiteral("设备特定")));
        QCOMPARE(rows->index(1, CBusEventList::ColCode).data().toString(),
                 QStringLiteral("0xFF03"));
        QVERIFY(
            bench.frame->statusBar()->currentMessage().contains(QLatin1String("emergency 0xFF09")));
        QTest::mouseClick(view->findChild<QPushButton*>(QStringLiteral("clearEvents")),
                          Qt::LeftButton);
        QCOMPARE(rows->rowCount(), 0);
        bench.frame.reset();
        can.Stop();
    }

    // A page asks the main frame for an object; the browser it opens finds, filters and, on a
    // double-click, hands the object to the page and closes.
    void dictionaryBrowserAddsToThePage()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        QVERIFY(bench.ConnectAndWait());
        CChildFrame* motor = bench.frame->OpenPage(CommandId::MotorConfig);
        CParamPage* page = motor ? PageViewLogic(motor->view()) : nullptr;
        QVERIFY(page);
        page->CommandAdd();
        CChildFrame* child = bench.frame->page(CommandId::ObjectDictionary);
        auto* browser = qobject_cast<CSdoList*>(child ? child->view() : nullptr);
        QVERIFY(browser);
        const CSdoBrowseList& list = browser->model()->list();
        QCOMPARE(list.RowCount(), bench.sys->dictionary.GetCount());
        QVERIFY(browser->description().contains(QStringLiteral("Index: 0x")));

        // Every name holding "speed" in any case, in row order, then the first again.
        QList<int> matches;
        for (int row = 0; row < list.RowCount(); ++row) {
            if (list.At(row).name.contains(QStringLiteral("speed"), Qt::CaseInsensitive))
                matches.append(row);
        }
        QVERIFY(matches.size() >= 2);
        browser->findChild<QLineEdit*>(QStringLiteral("search"))->setText(QStringLiteral("SPEED"));
        auto* findNext = browser->findChild<QPushButton*>(QStringLiteral("findNext"));
        QList<int> found;
        for (int i = 0; i <= matches.size(); ++i) {
            QTest::mouseClick(findNext, Qt::LeftButton);
            found.append(browser->SelectedRow());
        }
        QCOMPARE(found, matches + QList<int>{matches.first()});

        QTest::keyClicks(browser->findChild<QLineEdit*>(QStringLiteral("filter")),
                         QStringLiteral("6041:0"));
        QCOMPARE(list.RowCount(), 1);
        const int rows = page->list().GetItemCount();
        browser->Choose(0);
        QTRY_VERIFY(!bench.frame->page(CommandId::ObjectDictionary));
        QCOMPARE(page->list().GetItemCount(), rows + 1);
        bool added = false;
        for (int row = 0; row < page->list().GetItemCount(); ++row)
            added |= page->list().GetItemText(row, CPageListModel::ColKey).toUInt() ==
                     DriveObject::kStatusword;
        QVERIFY(added);
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
        using C = CommandId;
        QList<C> commands = {C::New,   C::OpenProject, C::SaveProject,  C::Language,
                             C::About, C::InitSave,    C::ToolBarShown, C::StatusBarShown,
                             C::Exit,  C::Connect};
        for (const CWindowInfo& window : Windows()) {
            if (window.menu != WindowMenu::None && OfferedForDictionary(window, false))
                commands.append(window.command);
        }
        for (C command : commands)
            QVERIFY2(inMenus.contains(int(command)), qPrintable(QString::number(int(command))));

        // A page's command raises the page when it is open.
        CChildFrame* velocity = frame.OpenPage(C::VelocityLoop);
        CChildFrame* position = frame.OpenPage(C::PositionLoop);
        QVERIFY(velocity && position && velocity != position);
        QCOMPARE(frame.mdiArea()->activeSubWindow(), position);
        frame.action(C::VelocityLoop)->trigger();
        QCOMPARE(frame.mdiArea()->activeSubWindow(), velocity);
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);

        // The window keeps the size it was fitted to (pageFramesShowWholeRowsAndEveryColumn):
        // no sizing border, no maximise.
        const QSize size = velocity->size();
        QVERIFY(!(velocity->windowFlags() & Qt::WindowMaximizeButtonHint));
        velocity->resize(size + QSize(100, 100));
        QCOMPARE(velocity->size(), size);

        // A closed page is created anew by its command.
        velocity->close();
        QTRY_VERIFY(!frame.page(C::VelocityLoop));
        QVERIFY(frame.OpenPage(C::VelocityLoop));
        QCOMPARE(frame.pages().size(), 2);

        // The state icons differ from each other even in grey-scale.
        auto grey = [](int id) {
            return Icons::StateIcon(id).pixmap(25).toImage().convertToFormat(
                QImage::Format_Grayscale8);
        };
        QVERIFY(grey(205) != grey(211) && grey(211) != grey(210) && grey(205) != grey(210));
    }

    // Formula: B + w1 + w2 + w3 + 5 % of w5 by B + w4 + 3 % of w5.
    void pageWindowSizes_data()
    {
        QTest::addColumn<CommandId>("command");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("language");
        QTest::addColumn<QSize>("size");
        using C = CommandId;
        // clang-format off
        QTest::newRow("formula 96") << C::VelocityLoop << 96 << 2 << QSize(86 + 257 + 115 + 105 + 2, 86 + 244 + 1);
        QTest::newRow("formula 144") << C::VelocityLoop << 144 << 2 << QSize(110 + 385 + 172 + 158 + 3, 110 + 367 + 2);
        QTest::newRow("fixed 144") << C::DriverProperty << 144 << 1 << QSize(710, 280);
        QTest::newRow("scope Chinese") << C::Oscilloscope << 96 << 1 << QSize(912, 615);
        QTest::newRow("errors English 144") << C::RealTimeError << 144 << 2 << QSize(920, 680);
        // clang-format on
    }
    void pageWindowSizes()
    {
        QFETCH(CommandId, command);
        QFETCH(int, dpi);
        QFETCH(int, language);
        QFETCH(QSize, size);
        CGuiBench bench;
        QVERIFY(bench.MakeSysData());
        CSysData& sys = *bench.sys;
        sys.SetLanguage(uint8_t(language));
        sys.SetListColumns(dpi);
        const CWindowInfo* window = FindWindow(command);
        QVERIFY(window);
        QCOMPARE(window->WindowSize(sys.dotsPerInch, sys.programLanguage, sys.columnWidths), size);
    }

    void windowsWithoutCreator_data()
    {
        QTest::addColumn<CommandId>("command");
        QTest::addColumn<bool>("exists");
        using C = CommandId;
        QTest::newRow("velocity loop") << C::VelocityLoop << true;
        QTest::newRow("serial settings") << C::CommSettings << true;
        QTest::newRow("EtherCAT panel") << C::EtherCat << true;
        QTest::newRow("oscilloscope") << C::Oscilloscope << true;
        QTest::newRow("oscilloscope button") << C::ToolOscilloscope << true;
        QTest::newRow("state button") << C::ToolRealTimeError << true;
    }

    // A window this version does not have is disabled in menu and toolbar and says so in its
    // tooltip; it opens nothing.
    void windowsWithoutCreator()
    {
        QFETCH(CommandId, command);
        QFETCH(bool, exists);
        CGuiBench bench;
        QVERIFY(bench.MakeSysData());
        CMainFrame frame(*bench.sys);
        const CWindowInfo* byButton = FindWindowByToolButton(command);
        const CWindowInfo& window = byButton ? *byButton : *FindWindow(command);
        QAction* action = frame.action(command);
        QVERIFY(action);
        QCOMPARE(action->isEnabled(), exists);
        const QString title = window.Title(bench.sys->programLanguage);
        const QString missing = CMainFrame::tr("%1：此版本尚未提供").arg(title);
        QCOMPARE(action->toolTip() == missing, !exists);
        QCOMPARE(frame.windowFactory().CanCreate(window), exists);
        QCOMPARE(frame.OpenPage(window.command) != nullptr, exists);
        // The drive-state button keeps its colours while it cannot open its window.
        if (command == CommandId::ToolRealTimeError)
            QCOMPARE(action->icon().pixmap(25, QIcon::Disabled).toImage(),
                     action->icon().pixmap(25).toImage());
    }

    void movePage_data()
    {
        QTest::addColumn<CommandId>("command");
        QTest::addColumn<QPoint>("target");
        QTest::addColumn<bool>("moves");
        QTest::newRow("page") << CommandId::VelocityLoop << QPoint(120, 70) << true;
        QTest::newRow("left of the area") << CommandId::VelocityLoop << QPoint(-10, 30) << true;
        QTest::newRow("no project page") << CommandId::CommSettings << QPoint(120, 70) << false;
    }

    // WM_MOVE_PAGE places an open page (the project file's restore): it moves, is called up
    // again and becomes the active window; a window without a project page number ignores it.
    void movePage()
    {
        QFETCH(CommandId, command);
        QFETCH(QPoint, target);
        QFETCH(bool, moves);
        CGuiBench bench;
        QVERIFY(bench.MakeSysData());
        CMainFrame frame(*bench.sys);
        frame.show();
        CChildFrame* child = frame.OpenPage(command);
        QVERIFY(child && frame.OpenPage(CommandId::PositionLoop));
        const QPoint before = child->pos();
        child->SendPageControl(1);
        SendMessage(child->hwnd(), WM_MOVE_PAGE, uint32_t(target.x()), uint32_t(target.y()));
        QCOMPARE(child->pos(), moves ? target : before);
        QCOMPARE(frame.mdiArea()->activeSubWindow() == child, moves);
        if (CParamPage* page = PageViewLogic(child->view()))
            QCOMPARE(page->active(), moves);
    }

    void pageFramesShowWholeRowsAndEveryColumn_data()
    {
        QTest::addColumn<CommandId>("command");
        QTest::addColumn<int>("dpi");
        QTest::newRow("velocity loop 96") << CommandId::VelocityLoop << 96;
        QTest::newRow("velocity loop 144") << CommandId::VelocityLoop << 144;
        QTest::newRow("motor 96") << CommandId::MotorConfig << 96;
        QTest::newRow("drive properties 96") << CommandId::DriverProperty << 96;
        QTest::newRow("drive properties 144") << CommandId::DriverProperty << 144;
    }

    void pageFramesShowWholeRowsAndEveryColumn()
    {
        QFETCH(CommandId, command);
        QFETCH(int, dpi);
        // The texts as large as the density makes them; the list columns of that density.
        const QFont font = QApplication::font();
        QFont scaled = font;
        scaled.setPointSizeF(font.pointSizeF() * dpi / 96.0);
        QApplication::setFont(scaled);
        const auto restore = qScopeGuard([&font] { QApplication::setFont(font); });
        CGuiBench bench;
        QVERIFY(bench.Ready());
        bench.sys->SetListColumns(dpi);
        CChildFrame* child = bench.frame->OpenPage(command);
        auto* list = child ? child->view()->findChild<CEditListCtrl*>("pageList") : nullptr;
        QVERIFY(list);
        QTRY_VERIFY(list->isVisible() && list->viewport()->height() > 0);
        QCOMPARE(list->viewport()->height() % list->RowHeight(), 0);
        QVERIFY(!list->horizontalScrollBar()->isVisible());
        QVERIFY(list->VisibleColumnsWidth() <= list->viewport()->width());
    }

    void tileAndCascadeKeepTheMainWindowSize_data()
    {
        QTest::addColumn<CommandId>("command");
        QTest::newRow("tile") << CommandId::Tile;
        QTest::newRow("cascade") << CommandId::Cascade;
    }

    void tileAndCascadeKeepTheMainWindowSize()
    {
        QFETCH(CommandId, command);
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        for (CommandId page :
             {CommandId::VelocityLoop, CommandId::PositionLoop, CommandId::CurrentLoop,
              CommandId::MotorConfig, CommandId::DriverProperty})
            QVERIFY(frame.OpenPage(page));
        const QSize size = frame.size();
        frame.OnCommand(command);
        QCOMPARE(frame.size(), size);
        QVERIFY(frame.width() <= frame.screen()->availableGeometry().width());
        // Every page window can be scrolled to.
        CMdiArea* area = frame.mdiArea();
        const auto reachable = [area] {
            const QScrollBar* h = area->horizontalScrollBar();
            const QScrollBar* v = area->verticalScrollBar();
            const QRect extent(-h->value(), -v->value(), area->viewport()->width() + h->maximum(),
                               area->viewport()->height() + v->maximum());
            for (const QMdiSubWindow* child : area->subWindowList()) {
                if (!extent.contains(child->geometry()))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY(reachable());
    }

    void fileNewClosesTheLinkFirst()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        QVERIFY(frame.OpenPage(CommandId::VelocityLoop));
        QVERIFY(bench.ConnectAndWait());
        frame.action(CommandId::New)->trigger();
        QCOMPARE(bench.State(), kClosedState);
        QCOMPARE(frame.pages().size(), 1);
        QVERIFY(frame.page(CommandId::CommMode));
    }

    // A project brings back the pages that were open where their windows stood, with the rows
    // and values they had rather than their page files'; pages it does not list close, and a page
    // opened by hand later restores its rows as well. A save that cannot be written keeps the old
    // file and says so: into a read-only folder (as nobody, since root writes into any folder),
    // and one that runs out of room half-way (a file size limit below the project's size). A
    // project that cannot be read is refused before any page closes.
    void projectSaveAndOpen()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        CMainFrame& frame = *bench.frame;
        using C = CommandId;
        QVERIFY(frame.action(C::ToolOpenProject)->isEnabled());
        // The I/O page and a PDO window keep only where they stood.
        const QMap<C, QPoint> placed{{C::VelocityLoop, {130, 40}},
                                     {C::MotorConfig, {-20, 90}},
                                     {C::DigitalIo, {310, 70}},
                                     {C::TpdoTabs, {40, 160}}};
        QMap<C, QStringList> rows;
        for (auto at = placed.begin(); at != placed.end(); ++at) {
            CChildFrame* child = frame.OpenPage(at.key());
            QVERIFY(child);
            child->move(at.value());
            if (CParamPage* page = PageViewLogic(child->view())) {
                page->CommandDelete({0});
                page->list().SetItemText(1, CPageListModel::ColValue, QStringLiteral("12.5"));
                rows[at.key()] = PageRows(child);
            }
        }
        const QString dir = bench.install.path(QStringLiteral("user/a.b"));
        const QString path = dir + "/proj.old.dvp";
        QVERIFY(QDir().mkpath(dir) && frame.project().SaveTo(dir + "/proj.old.txt"));
        frame.page(C::VelocityLoop)->close();
        QVERIFY(frame.OpenPage(C::CurrentLoop));

        QVERIFY(frame.project().OpenFrom(path));
        QCOMPARE(frame.pages().size(), placed.size());
        for (auto at = placed.begin(); at != placed.end(); ++at) {
            QVERIFY(frame.page(at.key()));
            QCOMPARE(frame.page(at.key())->pos(), at.value());
            if (rows.contains(at.key()))
                QCOMPARE(PageRows(frame.page(at.key())), rows[at.key()]);
        }
        frame.SetRestorePlacement({200, 60}); // a project page still open moves there
        QCOMPARE(frame.OpenPage(C::MotorConfig)->pos(), QPoint(200, 60));
        frame.ClearRestorePlacement();
        frame.page(C::VelocityLoop)->close();
        QCOMPARE(PageRows(frame.OpenPage(C::VelocityLoop)), rows[C::VelocityLoop]);
        QVERIFY(bench.messages.Take().isEmpty());

        QFile file(path);
        const QByteArray old = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        PageViewLogic(frame.page(C::VelocityLoop)->view())->list().DeleteItem(0);
        const bool root = geteuid() == 0;
        const auto writable = QFile::permissions(dir);
        rlimit size{};
        getrlimit(RLIMIT_FSIZE, &size);
        const std::function<void(bool)> failures[] = {
            [&](bool on) {
                QFile::setPermissions(dir, on ? QFile::ReadOwner | QFile::ExeOwner : writable);
                QVERIFY(!root || seteuid(on ? 65534 : 0) == 0);
            },
            [&](bool on) {
                rlimit limit{on ? 64 : size.rlim_cur, size.rlim_max};
                signal(SIGXFSZ, on ? SIG_IGN : SIG_DFL);
                QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
            }};
        for (const auto& failure : failures) {
            {
                failure(true);
                const auto back = qScopeGuard([&] { failure(false); });
                QVERIFY(!frame.project().SaveTo(path));
            }
            file.close(); // the file at the path now, not the one opened before
            QVERIFY(file.open(QIODevice::ReadOnly) && file.readAll() == old);
            QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"proj.old.dvp"});
            QCOMPARE(bench.messages.Take().filter(path + " was not saved").size(), 1);
        }

        const QList<CChildFrame*> open = frame.pages();
        QVERIFY(bench.install.writeFile(QStringLiteral("user/binary.dvp"), QByteArray("\0\1", 2)));
        for (const QString& bad :
             {dir, bench.install.path(QStringLiteral("user/binary.dvp")), dir + "/none.dvp"}) {
            QVERIFY(!frame.project().OpenFrom(bad));
            QCOMPARE(frame.pages(), open);
            QCOMPARE(bench.messages.Take().filter(bad + " cannot be read").size(), 1);
        }
    }

    // File > Open device description converts into the operator's dictionary folder, which the
    // next start loads. A broken file is refused with its line and reason and writes nothing; a
    // good one replaces the links to the shipped files with files of its own (never writing
    // through them into the shipped dictionary).
    void deviceDescriptionIsConverted_data()
    {
        QTest::addColumn<QByteArray>("eds");
        QTest::addColumn<QString>("told"); // a part of the operator's message
        QTest::addColumn<bool>("written");
        QFile sample(TestSupport::SourceDir() + QStringLiteral("/tests/data/Cia402Sample.eds"));
        QVERIFY(sample.open(QIODevice::ReadOnly));
        QTest::newRow("broken")
            << QByteArray("[6040]\nParameterName=Controlword\nDataType=0x0006\nAccessType=rw\n"
                          "DefaultValue=0x1G\n")
            << "default \"0x1G\" of 6040:00" << false;
        QTest::newRow("good") << sample.readAll() << "" << true;
    }
    void deviceDescriptionIsConverted()
    {
        QFETCH(QByteArray, eds);
        QFETCH(QString, told);
        QFETCH(bool, written);
        CGuiBench bench;
        QVERIFY(bench.Ready());
        const QString data = bench.install.path(QStringLiteral("data/"));
        const QString database = data + "velmor.dat";
        // The installation's links lead to copies here, so that a write through them harms no
        // other test.
        const QString copies = bench.install.path(QStringLiteral("shipped/"));
        QVERIFY(QDir().mkpath(copies));
        for (const char* name : {"velmor.dat", "velmor-defaults.tsv"}) {
            QVERIFY(QFile::copy(data + name, copies + name) && QFile::remove(data + name) &&
                    QFile::link(copies + name, data + name));
        }
        const QByteArray shipped = [&] {
            QFile file(database);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QVERIFY(bench.install.writeFile(QStringLiteral("user/drive.eds"), eds));
        const QString path = bench.install.path(QStringLiteral("user/drive.eds"));
        QCOMPARE(bench.frame->deviceDescription().ConvertFrom(path), written);
        const QStringList messages = bench.messages.Take();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(path) == !written && messages[0].contains(told),
                 qPrintable(messages[0]));
        QCOMPARE(QFileInfo(database).isSymLink(), !written);
        QCOMPARE(QFileInfo::exists(data + "device.eds"), written);
        QCOMPARE(QFileInfo::exists(data + "velmor.dat.sum"), written);
        // The shipped dictionary the links led to is as it was.
        QFile original(copies + "velmor.dat");
        QVERIFY(original.open(QIODevice::ReadOnly) && original.readAll() == shipped);

        // The next start loads what was converted, with the standard drive pages.
        bench.frame.reset();
        QVERIFY(bench.MakeSysData());
        const int records = int(QFileInfo(database).size() / 4514);
        QCOMPARE(bench.sys->dictionary.GetCount(), records);
        QCOMPARE(records == shipped.size() / 4514, !written);
        bench.frame = std::make_unique<CMainFrame>(*bench.sys);
        QCOMPARE(bench.frame->action(CommandId::Cia402Identity) != nullptr, written);
    }

    void canSettingsShowTheLibraryVersion_data()
    {
        QTest::addColumn<QString>("saved"); // buadrate and driverid of [can]
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("driverId");
        // clang-format off
        QTest::newRow("known code") << "buadrate=28\ndriverid=3" << "500 KBit/s" << 3;
        // A code that is none of the six leaves the list and the driver id alone.
        QTest::newRow("unknown code") << "buadrate=29\ndriverid=3" << "" << 1;
        // Driver id 0 is no drive's: the field keeps its first value.
        QTest::newRow("driver id 0") << "buadrate=28\ndriverid=0" << "500 KBit/s" << 1;
        // clang-format on
    }
    void canSettingsShowTheLibraryVersion()
    {
        QFETCH(QString, saved);
        QFETCH(QString, rate);
        QFETCH(int, driverId);
        CGuiBench bench("[sys]\nlang=2\ncomm=5\n[can]\nbackend=virtualcan\ninterface=can0\n" +
                        saved + "\n");
        QVERIFY(bench.Ready());
        bench.sys->commMode = CommMode::Can;
        CChildFrame* child = bench.frame->OpenPage(CommandId::CommSettings);
        auto* view = child ? qobject_cast<CCommCan*>(child->view()) : nullptr;
        QVERIFY(view);
        QCOMPARE(view->findChild<QComboBox*>(QStringLiteral("bitRate"))->currentText(), rate);
        auto* id = view->findChild<QSpinBox*>(QStringLiteral("driverId"));
        QCOMPARE(id->value(), driverId);
        QCOMPARE(id->minimum(), 1);
        if (rate.isEmpty())
            return;
        QVERIFY2(view->versionText().startsWith(QLatin1String("CAN Ver")),
                 qPrintable(view->versionText()));
        // An interface the plugin does not have: no driver to talk to.
        view->findChild<QComboBox*>(QStringLiteral("plugin"))->setCurrentText("virtualcan");
        view->findChild<QComboBox*>(QStringLiteral("interface"))->setCurrentText(QString());
        QCOMPARE(view->versionText(),
                 QStringLiteral("Your PC doesn't have Peak CAN-USB driver!! "));
    }

    // The connect button opens with sys.ini's settings, checked first: a value the file holds
    // that no drive takes is named and nothing is opened.
    void connectButtonChecksTheSavedSettings_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message"); // "" when the drive answers
        // clang-format off
        QTest::newRow("as saved") << "com" << "driverid" << "1" << "";
        QTest::newRow("driver id 0") << "com" << "driverid" << "0"
            << "driverid=0 in section [com] is not a driver id of 1 to 127";
        QTest::newRow("offline") << "sys" << "comm" << "1" << "The connecting mode is Offline!!";
        // clang-format on
    }
    void connectButtonChecksTheSavedSettings()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, message);
        CGuiBench bench;
        QVERIFY(bench.StartDrive());
        QVERIFY(Ini::WriteProfileString(bench.install.path("sys/sys.ini"), section, key, value));
        QVERIFY(bench.MakeSysData());
        bench.frame = std::make_unique<CMainFrame>(*bench.sys);
        if (message.isEmpty()) {
            QVERIFY(bench.ConnectAndWait());
            QVERIFY(bench.messages.Take().isEmpty());
            return;
        }
        bench.frame->ConnectButton();
        QCOMPARE(bench.State(), kClosedState);
        const QStringList messages = bench.messages.Take();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(message), qPrintable(messages[0]));
    }

    // Ctrl+Q closes the main window; the next start puts it back as it was (maximised, and its
    // place before), never writing to the installation.
    void mainWindowKeepsItsPlace()
    {
        CGuiBench bench;
        const QString file =
            DesktopHabits::PlaceFile(bench.install.base(), QCoreApplication::applicationDirPath(),
                                     bench.install.path("sys/sys.ini"));
        QVERIFY(!file.startsWith(bench.install.base()));
        auto forget = qScopeGuard([file] { QFile::remove(file); });
        const QRect placed(40, 30, 600, 400);
        for (int run = 0; run < 2; ++run) {
            CDrivaraApp app(bench.NewSysData(), true);
            int exitCode = -1;
            QVERIFY(app.InitInstance(exitCode));
            CMainFrame& frame = *app.mainFrame();
            if (run == 1) {
                QVERIFY(frame.isMaximized());
                QCOMPARE(frame.normalGeometry(), placed);
                break;
            }
            frame.setGeometry(placed);
            frame.showMaximized();
            QVERIFY(QTest::qWaitForWindowActive(&frame));
            QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
            QVERIFY(!frame.isVisible());
        }
    }

    // F1 opens the shipped manual, but the help of the row in a parameter page; no menu shows a
    // key for a disabled command.
    void helpKey()
    {
        CGuiBench bench;
        QVERIFY(bench.install.writeFile(QStringLiteral("README.md"), "# Drivara\n"));
        QVERIFY(bench.MakeSysData());
        CMainFrame frame(*bench.sys);
        frame.show();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        for (const QAction* action : frame.findChildren<QAction*>())
            QVERIFY(action->isEnabled() || action->shortcut().isEmpty());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        auto restore =
            qScopeGuard([] { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); });
        QTest::keyClick(&frame, Qt::Key_F1);
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(bench.install.path("README.md"))});
        CChildFrame* child = frame.OpenPage(CommandId::VelocityLoop);
        auto* list = child ? child->view()->findChild<CEditListCtrl*>("pageList") : nullptr;
        QVERIFY(list && list->model()->rowCount() > 0);
        list->setCurrentIndex(list->model()->index(0, 0));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F1);
        QCOMPARE(bench.messages.Take().size(), 1);
        QCOMPARE(m_opened.size(), 1);
    }
};

DRIVARA_GUI_TEST_MAIN(CGuiTest)
#include "GuiTest.moc"
