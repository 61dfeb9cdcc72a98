// The initialise/save dialog against the virtual drive, and the language dialog's rules.

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

void Press(QWidget* dialog, const char* name)
{
    auto* button = dialog->findChild<QPushButton*>(QLatin1String(name));
    QVERIFY(button && button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
}
} // namespace

class CDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void initSaveWithoutConnectionSendsNothing()
    {
        CGuiBench bench;
        QVERIFY(bench.StartDrive() && bench.MakeSysData());
        CInitSaveDialog dialog(*bench.sys);
        dialog.show();
        const int requests = bench.drive.RequestCount();
        for (const char* name : {"storeControl", "storeMotor", "initControl", "restart"})
            Press(&dialog, name);
        QCOMPARE(bench.messages, QStringList(4, QStringLiteral("Comm port isn't Open!")));
        QVERIFY(dialog.buttonsEnabled());
        QCOMPARE(bench.drive.RequestCount(), requests);
    }

    void initSaveHoldsTheLinkWhileOpen()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready(false));
        CSysData& sys = *bench.sys;
        const auto pollingAndRetries = [&sys] {
            return QList<int>{sys.pollingEnabled.load(), sys.retryOnSendFailure.load()};
        };
        {
            CInitSaveDialog dialog(sys, bench.frame.get());
            QCOMPARE(sys.exclusiveMode.load(), 1);
            QCOMPARE(sys.exclusiveOwner.load(), dialog.hwnd());
            QCOMPARE(pollingAndRetries(), QList<int>({0, 0}));
            QCOMPARE(dialog.pollStep(), 1);
            dialog.reject();
            // Closing gives polling and retries back; the window's end gives the link back.
            QCOMPARE(pollingAndRetries(), QList<int>({1, 1}));
            QCOMPARE(sys.exclusiveMode.load(), 1);
        }
        QCOMPARE(sys.exclusiveMode.load(), 0);
        QCOMPARE(sys.exclusiveOwner.load(), kNoWindow);
    }

    void storesWaitForTheDriveAndInitialiseIsAcknowledged()
    {
        CGuiBench bench;
        QVERIFY(bench.Ready() && bench.ConnectAndWait());
        CInitSaveDialog dialog(*bench.sys, bench.frame.get());
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
        QVERIFY(bench.messages.isEmpty());
    }

    void languageDialog()
    {
        const int zh = CGuiBench::kChineseLcid, en = CGuiBench::kEnglishLcid;
        // clang-format off
        const std::tuple<int, QString, QString, QString, QString> cases[] = {
            {en, "1", "2", "chinese", "2"}, // non-Chinese refuses Chinese
            {en, "", "2", "english", "2"}, // non-Chinese keeps English
            {zh, "", "", "chinese", "1"}, // Chinese chooses Chinese
            {zh, "1", "1", "english", "2"}, // Chinese chooses English
            {zh, "2", "2", "cancel", "2"}, // cancel writes nothing
        };
        // clang-format on
        for (const auto& [lcid, langBefore, langOnOpening, choice, langAfter] : cases) {
            const bool refused = lcid != CGuiBench::kChineseLcid && choice == "chinese";
            // "wait" (3) would hold the dictionary back; this test needs none.
            CGuiBench bench(langBefore.isEmpty()
                                ? QStringLiteral("[sys]\ncomm=2\n")
                                : QStringLiteral("[sys]\nlang=%1\n").arg(langBefore),
                            lcid);
            CSysData& sys = bench.NewSysData();
            sys.systemLanguage = sys.IsChineseSystem() ? 1 : 2;
            auto lang = [path = bench.sys->sysIniPath] {
                return Ini::GetProfileString(path, QStringLiteral("sys"), QStringLiteral("lang"),
                                             {}, 4);
            };
            CLanguageDialog dialog(*bench.sys);
            QCOMPARE(lang(), langOnOpening);
            QCOMPARE(dialog.chineseButton()->isChecked(), langOnOpening == "1");
            QCOMPARE(dialog.englishButton()->isChecked(), langOnOpening == "2");
            dialog.show();

            QSignalSpy accepted(&dialog, &QDialog::accepted);
            QSignalSpy rejected(&dialog, &QDialog::rejected);
            const bool cancel = choice == "cancel";
            (choice == "english" ? dialog.englishButton() : dialog.chineseButton())
                ->setChecked(true);
            QTest::mouseClick(dialog.findChild<QPushButton*>(cancel ? "cancel" : "ok"),
                              Qt::LeftButton);
            QCOMPARE(rejected.size(), cancel ? 1 : 0);
            QCOMPARE(accepted.size(), cancel || refused ? 0 : 1);
            QCOMPARE(lang(), langAfter);
            QCOMPARE(bench.messages, refused ? QStringList{"Your computer OS doesn't support the "
                                                           "Chinese version. \r\n Seting is "
                                                           "non-effective!!"}
                                             : QStringList{});
            if (refused)
                QVERIFY(dialog.englishButton()->isChecked() && dialog.isVisible());
        }
    }
};

int RunDialogTest(int argc, char** argv)
{
    CDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogTest.moc"
