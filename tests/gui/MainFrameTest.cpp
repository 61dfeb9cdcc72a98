// The main window against the virtual drive: connecting, the state indicator, connection loss,
// reconnection and the page windows.

#include "ChildFrame.h"
#include "CommCan.h"
#include "CommRs232.h"
#include "GuiBench.h"
#include "Icons.h"
#include "MdiArea.h"
#include "PageCommands.h"
#include "PageViews.h"
#include "SerialPorts.h"
#include "base/IniFile.h"
#include "pages/ParamPage.h"

#include <QComboBox>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
constexpr int kWaitMs = 8000;
const QString kClosed = QStringLiteral("Comm Status: Closed");

QString FirstValue(CParamPage* page)
{
    return page->list().GetItemText(0, CPageListModel::ColValue);
}

// Every row of the page shows a value.
bool Filled(CParamPage* page)
{
    CPageListModel& list = page->list();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemText(row, CPageListModel::ColValue).isEmpty())
            return false;
    }
    return list.GetItemCount() > 0;
}
} // namespace

class CMainFrameTest : public QObject
{
    Q_OBJECT

private slots:
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

        auto* button = view->findChild<QPushButton*>(QStringLiteral("connect"));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(
            frame.statusText(), QStringLiteral("Comm Status: Open  %1  115200").arg(port), kWaitMs);
        QCOMPARE(bench.sys->connected.load(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(frame.logic().lastDriveState(), 0, kWaitMs);
        QVERIFY(icons.contains(QVariantList{211}));
        QVERIFY(bench.messages.isEmpty());
        // While connected the indicator blinks: the grey picture comes back, then the lit one.
        const int lit = int(icons.size());
        QTRY_VERIFY_WITH_TIMEOUT(icons.size() >= lit + 2, 4000);
        QVERIFY(icons.mid(lit).contains(QVariantList{205}));
        QVERIFY(icons.mid(lit).contains(QVariantList{211}));
        // The settings of the open are kept for the next start.
        QCOMPARE(Ini::GetProfileString(bench.sys->sysIniPath, QStringLiteral("com"),
                                       QStringLiteral("comid"), {}, 64),
                 port);

        // The same button closes again.
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(frame.statusText(), kClosed);
        QCOMPARE(bench.sys->connected.load(), 2);
        QCOMPARE(frame.stateIcon(), 205);

        // Another baud rate while connected closes the connection at once.
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(frame.logic().lastDriveState(), 0, kWaitMs);
        view->findChild<QComboBox*>(QStringLiteral("baud"))->setCurrentIndex(0);
        QCOMPARE(bench.sys->connected.load(), 2);
        QCOMPARE(frame.statusText(), kClosed);
    }

    void stateIconFollowsTheDrive()
    {
        // clang-format off
        const std::tuple<QString, int> cases[] = {
            {"fault", 210}, // fault bit
            {"silent", 205}, // drive falls silent
            {"unplug", 205}, // cable pulled
        };
        // clang-format on
        for (const auto& [event, icon] : cases) {
            const bool fault = event == "fault";
            CGuiBench bench;
            QVERIFY(bench.Ready());
            QSignalSpy icons(bench.frame.get(), &CMainFrame::stateIconChanged);
            QVERIFY(bench.ConnectAndWait());
            const QString openText = bench.frame->statusText();
            QVERIFY(openText.startsWith(QLatin1String("Comm Status: Open")));
            if (fault) {
                bench.drive.SetValue(0x260001, 0xFFFF); // every low error reported
                bench.drive.SetValue(0x260100, 0x0004);
            } else if (event == "silent") {
                bench.drive.faults().SetSilent(true);
            } else {
                bench.server.Stop();
            }
            QTRY_VERIFY_WITH_TIMEOUT(icons.contains(QVariantList{icon}), kWaitMs);
            QTRY_COMPARE_WITH_TIMEOUT(bench.sys->connected.load(), fault ? 1 : 2, kWaitMs);
            QCOMPARE(bench.frame->statusText(), fault ? openText : kClosed);
            QCOMPARE(bench.frame->logic().lastDriveState(), fault ? 1 : -1);
            if (!fault)
                QCOMPARE(bench.frame->stateIcon(), 205);
        }
    }

    void silentDriveAtOpenIsReported()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        bench.drive.faults().SetSilent(true);
        bench.frame->ConnectButton();
        QVERIFY(bench.frame->logic().waitingForFirstAnswer());
        QTRY_VERIFY_WITH_TIMEOUT(bench.messages.contains("Not Find Driver! Please Check..."),
                                 kWaitMs);
        QCOMPARE(bench.frame->statusText(), kClosed);
        QCOMPARE(bench.frame->stateIcon(), 205);
        QCOMPARE(bench.sys->connected.load(), 2);
    }

    void reconnectReadsEveryOpenPage()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready());
        QList<CParamPage*> pages;
        for (int command : {1217, 1215}) {
            CChildFrame* child = bench.frame->OpenPage(command);
            pages.append(child ? PageViewLogic(child->view()) : nullptr);
            QVERIFY(pages.last());
        }
        QVERIFY(bench.ConnectAndWait());
        for (CParamPage* page : pages)
            QTRY_VERIFY_WITH_TIMEOUT(Filled(page), kWaitMs);
        bench.drive.faults().SetSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(bench.sys->connected.load(), 2, kWaitMs);
        // While the line is down the drive's first rows change.
        QStringList before;
        for (CParamPage* page : pages) {
            before << FirstValue(page);
            const uint32_t key = page->list().RowKey(0);
            bench.drive.SetValue(key, bench.drive.Value(key) + 7);
        }
        bench.drive.faults().SetSilent(false);
        QVERIFY(bench.ConnectAndWait());
        for (int i = 0; i < 2; ++i)
            QTRY_VERIFY_WITH_TIMEOUT(FirstValue(pages[i]) != before[i], kWaitMs);
    }

    void pageCommandRaisesAnOpenPage()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready(false));
        CMainFrame& frame = *bench.frame;
        CChildFrame* velocity = frame.OpenPage(1217);
        CChildFrame* position = frame.OpenPage(1215);
        QVERIFY(velocity && position && velocity != position);
        QCOMPARE(frame.mdiArea()->activeSubWindow(), position);
        frame.action(1217)->trigger();
        QCOMPARE(frame.page(1217), velocity);
        QCOMPARE(frame.mdiArea()->activeSubWindow(), velocity);
        QCOMPARE(frame.pages().size(), 2);
        QCOMPARE(frame.mdiArea()->subWindowList().size(), 2);
        // A closed page is created anew by its command.
        velocity->close();
        QTRY_VERIFY(!frame.page(1217));
        QVERIFY(frame.OpenPage(1217));
        QCOMPARE(frame.pages().size(), 2);
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
            {1213, 144, 1, QSize(360, 320)}, // settings 144
        };
        // clang-format on
        for (const auto& [command, dpi, language, size] : cases) {
            CGuiBench bench;
            QVERIFY(bench.MakeSysData());
            bench.sys->SetLanguage(uint8_t(language));
            bench.sys->SetListColumns(dpi);
            const CPageCommand* page = FindPageCommand(command);
            QVERIFY(page);
            QCOMPARE(PageWindowSize(*page, *bench.sys), size);
            if (dpi != 96 || command != 1217)
                continue;
            // The window takes that size and keeps it: no sizing border, no maximise.
            CChildFrame* child = bench.MakeMainFrame().OpenPage(command);
            QVERIFY(child);
            QCOMPARE(child->size(), size);
            QVERIFY(!(child->windowFlags() & Qt::WindowMaximizeButtonHint));
            child->resize(size + QSize(100, 100));
            QCOMPARE(child->size(), size);
            // Minimising folds it to its caption; restoring gives the size back.
            child->showMinimized();
            QVERIFY(child->height() < size.height());
            child->showNormal();
            QCOMPARE(child->size(), size);
        }
    }

    void everyPageCommandIsInTheMenus()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready(false));
        QSet<int> inMenus;
        for (QAction* menu : bench.frame->menuBar()->actions()) {
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
        // The state icons differ from each other even in grey-scale.
        auto grey = [](int id) {
            return Icons::StateIcon(id).pixmap(25).toImage().convertToFormat(
                QImage::Format_Grayscale8);
        };
        QVERIFY(grey(205) != grey(211) && grey(211) != grey(210) && grey(205) != grey(210));
    }

    void portInUseIsMarked()
    {
        CGuiBench bench;
        QVERIFY(bench.StartDrive());
        const QString path = bench.server.SlavePath();
        QVERIFY(!SerialPortInUse(path));
        // Another program holding the port's lock.
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        QVERIFY(SerialPortInUse(path));
        QCOMPARE(SerialPortText({QStringLiteral("ttyUSB0"), true}),
                 QStringLiteral("ttyUSB0 (占用)"));
        ::close(fd);
        QVERIFY(!SerialPortInUse(path));
    }

    void canSettingsShowTheLibraryVersion()
    {
        // A code that is none of the six leaves the list and the driver id alone.
        for (const char* rate : {"28", "29"}) {
            CGuiBench bench(QStringLiteral("[sys]\nlang=2\ncomm=5\n[can]\nbuadrate=%1\ndriverid=3\n"
                                           "backend=virtualcan\ninterface=can0\n")
                                .arg(QLatin1String(rate)));
            QVERIFY(bench.Ready(false));
            bench.sys->commMode = 5;
            CChildFrame* child = bench.frame->OpenPage(1213);
            auto* view = child ? qobject_cast<CCommCan*>(child->view()) : nullptr;
            QVERIFY(view);
            auto* bitRate = view->findChild<QComboBox*>(QStringLiteral("bitRate"));
            auto* driverId = view->findChild<QSpinBox*>(QStringLiteral("driverId"));
            if (rate == QLatin1String("29")) {
                QCOMPARE(bitRate->currentIndex(), -1);
                QCOMPARE(driverId->value(), 1);
                continue;
            }
            QVERIFY2(view->versionText().startsWith(QLatin1String("CAN Ver")),
                     qPrintable(view->versionText()));
            QCOMPARE(bitRate->currentText(), QStringLiteral("500 KBit/s"));
            QCOMPARE(driverId->value(), 3);
            // An interface the plugin does not have: no driver to talk to.
            view->findChild<QComboBox*>(QStringLiteral("plugin"))->setCurrentText("virtualcan");
            view->findChild<QComboBox*>(QStringLiteral("interface"))->setCurrentText(QString());
            QCOMPARE(view->versionText(),
                     QStringLiteral("Your PC doesn't have Peak CAN-USB driver!! "));
        }
    }
};

int RunMainFrameTest(int argc, char** argv)
{
    CMainFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainFrameTest.moc"
