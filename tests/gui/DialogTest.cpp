#include "DialogTest.h"

#include "GuiBench.h"
#include "InitSaveDialog.h"
#include "LanguageDialog.h"
#include "base/IniFile.h"

#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
constexpr int kWaitMs = 8000;
const char* const kButtons[] = {"storeControl", "storeMotor", "initControl", "restart"};

QPushButton* Button(QWidget* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QLatin1String(name));
}
} // namespace

void CDialogTest::initSaveWithoutConnectionSendsNothing()
{
    CGuiBench bench;
    QVERIFY(bench.StartDrive());
    QVERIFY(bench.MakeSysData());
    CInitSaveDialog dialog(*bench.sys);
    dialog.show();
    const int requests = bench.drive.RequestCount();
    for (const char* name : kButtons) {
        QPushButton* button = Button(&dialog, name);
        QVERIFY(button && button->isEnabled());
        QTest::mouseClick(button, Qt::LeftButton);
    }
    QCOMPARE(bench.messages, QStringList(4, QStringLiteral("Comm port isn't Open!")));
    QVERIFY(dialog.buttonsEnabled());
    QCOMPARE(bench.drive.RequestCount(), requests);
}

void CDialogTest::initSaveHoldsTheLinkWhileOpen()
{
    CGuiBench bench;
    QVERIFY(bench.MakeSysData());
    CMainFrame& frame = bench.MakeMainFrame();
    CSysData& sys = *bench.sys;
    HWND owner = kNoWindow;
    {
        CInitSaveDialog dialog(sys, &frame);
        owner = dialog.hwnd();
        QCOMPARE(sys.exclusiveMode.load(), 1);
        QCOMPARE(sys.exclusiveOwner.load(), owner);
        QCOMPARE(sys.pollingEnabled.load(), 0);
        QCOMPARE(sys.retryOnSendFailure.load(), 0);
        QCOMPARE(dialog.pollStep(), 1);
        dialog.reject();
        // Closing gives polling and retries back; the window's end gives the link back.
        QCOMPARE(sys.pollingEnabled.load(), 1);
        QCOMPARE(sys.retryOnSendFailure.load(), 1);
        QCOMPARE(sys.exclusiveMode.load(), 1);
    }
    QCOMPARE(sys.exclusiveMode.load(), 0);
    QCOMPARE(sys.exclusiveOwner.load(), kNoWindow);
}

void CDialogTest::storeDisablesButtonsUntilTheDriveIsIdle()
{
    CGuiBench bench;
    QVERIFY(bench.StartDrive());
    QVERIFY(bench.MakeSysData());
    bench.MakeMainFrame();
    QVERIFY(bench.ConnectAndWait());
    CInitSaveDialog dialog(*bench.sys, bench.frame.get());
    dialog.show();
    // The drive confirms the store with 1 (busy) and reads idle again after a while.
    QTest::mouseClick(Button(&dialog, "storeControl"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.buttonsEnabled(), kWaitMs);
    const int requests = bench.drive.RequestCount();
    QTRY_VERIFY_WITH_TIMEOUT(dialog.buttonsEnabled(), kWaitMs);
    // Both state objects were read on the way (at least one of each).
    QVERIFY(bench.drive.RequestCount() - requests >= 2);
    QCOMPARE(bench.drive.Value(CInitSaveDialog::kStoreControlKey), 0u);
    QCOMPARE(bench.drive.Value(CInitSaveDialog::kStoreMotorKey), 0u);

    // The motor store the same way.
    QTest::mouseClick(Button(&dialog, "storeMotor"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.buttonsEnabled(), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.buttonsEnabled(), kWaitMs);
    QVERIFY(bench.messages.isEmpty());
}

void CDialogTest::initialiseIsAcknowledged()
{
    CGuiBench bench;
    QVERIFY(bench.StartDrive());
    QVERIFY(bench.MakeSysData());
    bench.MakeMainFrame();
    QVERIFY(bench.ConnectAndWait());
    // A changed parameter shows that the drive really initialised.
    constexpr uint32_t kParameter = 0x100C00;
    const uint32_t defaultValue = bench.drive.Value(kParameter);
    bench.drive.SetValue(kParameter, defaultValue + 5);

    CInitSaveDialog dialog(*bench.sys, bench.frame.get());
    dialog.show();
    QTest::mouseClick(Button(&dialog, "initControl"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(kParameter), defaultValue, kWaitMs);
    // The drive reads 10 until acknowledged with 0.
    QTRY_COMPARE_WITH_TIMEOUT(bench.drive.Value(CInitSaveDialog::kStoreControlKey), 0u, kWaitMs);
    QVERIFY(dialog.buttonsEnabled());
}

void CDialogTest::languageDialog_data()
{
    QTest::addColumn<int>("lcid");
    QTest::addColumn<QString>("langBefore");
    QTest::addColumn<QString>("langOnOpening");
    QTest::addColumn<QString>("choice"); // chinese, english or cancel
    QTest::addColumn<QString>("langAfter");
    QTest::addColumn<bool>("refused");

    const int zh = CGuiBench::kChineseLcid;
    const int en = CGuiBench::kEnglishLcid;
    QTest::newRow("non-Chinese refuses Chinese") << en << "1"
                                                 << "2"
                                                 << "chinese"
                                                 << "2" << true;
    QTest::newRow("non-Chinese keeps English") << en << ""
                                               << "2"
                                               << "english"
                                               << "2" << false;
    QTest::newRow("Chinese chooses Chinese") << zh << ""
                                             << ""
                                             << "chinese"
                                             << "1" << false;
    QTest::newRow("Chinese chooses English") << zh << "1"
                                             << "1"
                                             << "english"
                                             << "2" << false;
    QTest::newRow("cancel writes nothing") << zh << "2"
                                           << "2"
                                           << "cancel"
                                           << "2" << false;
}

void CDialogTest::languageDialog()
{
    QFETCH(int, lcid);
    QFETCH(QString, langBefore);
    QFETCH(QString, langOnOpening);
    QFETCH(QString, choice);
    QFETCH(QString, langAfter);
    QFETCH(bool, refused);

    const QString ini = langBefore.isEmpty() ? QStringLiteral("[sys]\ncomm=2\n")
                                             : QStringLiteral("[sys]\nlang=%1\n").arg(langBefore);
    // "wait" (3) would hold the dictionary back; this test needs none.
    CGuiBench bench(ini, lcid);
    bench.sys = std::make_unique<CSysData>(CSysDataOptions{bench.install.base(), lcid});
    bench.sys->systemLanguage = bench.sys->IsChineseSystem() ? 1 : 2;
    const QString path = bench.sys->sysIniPath;
    auto lang = [&path] {
        return Ini::GetProfileString(path, QStringLiteral("sys"), QStringLiteral("lang"), {}, 4);
    };

    CLanguageDialog dialog(*bench.sys);
    QCOMPARE(lang(), langOnOpening);
    QCOMPARE(dialog.chineseButton()->isChecked(), langOnOpening == QLatin1String("1"));
    QCOMPARE(dialog.englishButton()->isChecked(), langOnOpening == QLatin1String("2"));
    dialog.show();

    QSignalSpy accepted(&dialog, &QDialog::accepted);
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    if (choice == QLatin1String("cancel")) {
        dialog.chineseButton()->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
        QCOMPARE(rejected.size(), 1);
    } else {
        (choice == QLatin1String("chinese") ? dialog.chineseButton() : dialog.englishButton())
            ->setChecked(true);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ok")), Qt::LeftButton);
        QCOMPARE(accepted.size(), refused ? 0 : 1);
    }
    QCOMPARE(lang(), langAfter);
    if (refused) {
        QCOMPARE(bench.messages,
                 QStringList{QStringLiteral("Your computer OS doesn't support the Chinese "
                                            "version. \r\n Seting is non-effective!!")});
        QVERIFY(dialog.englishButton()->isChecked());
        QVERIFY(dialog.isVisible());
    } else {
        QVERIFY(bench.messages.isEmpty());
    }
}
