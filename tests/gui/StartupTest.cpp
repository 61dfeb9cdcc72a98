// Start-up: the language chosen from the system and sys.ini, the English texts, the list
// columns, the command line.

#include "DrivaraApp.h"
#include "GuiBench.h"
#include "LanguageDialog.h"

#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

class CStartupTest : public QObject
{
    Q_OBJECT

private slots:
    void languageAtStartUp()
    {
        const int zh = CGuiBench::kChineseLcid, en = CGuiBench::kEnglishLcid;
        // clang-format off
        const std::tuple<int, QString, int, QString, QString> cases[] = {
            {en, "2", 2, "&File", "name"}, // English system
            {en, "1", 2, "&File", "name"}, // English system ignores Chinese
            {zh, "1", 1, "文件(&F)", "名称"}, // Chinese system, Chinese
            {zh, "2", 2, "&File", "name"}, // Chinese system, English
            // "Wait" keeps the built-in texts and sets no list columns.
            {zh, "3", 3, "文件(&F)", ""}, // Chinese system, wait
        };
        // clang-format on
        for (const auto& [lcid, lang, language, fileMenu, nameTitle] : cases) {
            CGuiBench bench(QStringLiteral("[sys]\nlang=%1\ncomm=2\n").arg(lang), lcid);
            CSysData& sys = bench.NewSysData();
            {
                CDrivaraApp app(sys);
                int exitCode = -1;
                QVERIFY(app.InitInstance(exitCode));
                QVERIFY(app.mainFrame()->isVisible());
                QCOMPARE(int(sys.programLanguage), language);
                QCOMPARE(app.mainFrame()->menuBar()->actions().first()->text(), fileMenu);
                QCOMPARE(sys.titleName, nameTitle);
                if (!nameTitle.isEmpty()) {
                    const int dpi = app.mainFrame()->logicalDpiX();
                    QCOMPARE(sys.dotsPerInch, dpi);
                    QCOMPARE(sys.columnWidths[0], int(dpi * 2.68));
                }
                QVERIFY(bench.messages.isEmpty());
                // The dictionary of the language in use, unless the language is still to come.
                if (language != 3)
                    QVERIFY(sys.dictionary.WaitUntilLoaded(10000) && sys.dictionary.GetCount() > 0);
            }
            // Stop a loader that waits for a language before the data object goes.
            sys.SetLanguage(2);
        }
    }

    void missingEnglishTextsEndTheProgram()
    {
        CGuiBench bench(QStringLiteral("[sys]\nlang=2\n"));
        QVERIFY(QFile::remove(bench.install.path(QStringLiteral("data/EN.qm"))));
        CDrivaraApp app(bench.NewSysData());
        int exitCode = -1;
        QVERIFY(!app.InitInstance(exitCode));
        QCOMPARE(exitCode, 0);
        QVERIFY(!app.mainFrame());
        QCOMPARE(bench.messages, QStringList{"Load EN.dll resource failure!\n  System exit!\n"});
    }

    void languageDialogBeforeTheMainWindow_data()
    {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("shown");
        QTest::newRow("no choice twice") << "cancel" << 2;
        QTest::newRow("Chinese chosen") << "chinese" << 1;
        QTest::newRow("English chosen") << "english" << 1;
    }

    void languageDialogBeforeTheMainWindow()
    {
        QFETCH(QString, choice);
        QFETCH(int, shown);
        const bool started = choice != "cancel";
        // A Chinese system without a language asks before anything else is shown.
        CGuiBench bench(QStringLiteral("[sys]\ncomm=2\n"), CGuiBench::kChineseLcid);
        CSysData& sys = bench.NewSysData();
        int dialogs = 0;
        QTimer operatorAtTheScreen;
        operatorAtTheScreen.setInterval(10);
        QObject::connect(&operatorAtTheScreen, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CLanguageDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            ++dialogs;
            if (!started)
                return dialog->reject();
            (choice == "chinese" ? dialog->chineseButton() : dialog->englishButton())
                ->setChecked(true);
            dialog->Ok();
        });
        operatorAtTheScreen.start();

        CDrivaraApp app(sys);
        int exitCode = -1;
        QCOMPARE(app.InitInstance(exitCode), started);
        QCOMPARE(dialogs, shown);
        QCOMPARE(bool(app.mainFrame()), started);
        if (started) {
            QCOMPARE(int(sys.programLanguage), choice == "chinese" ? 1 : 2);
            QVERIFY(bench.messages.isEmpty());
        } else {
            QCOMPARE(bench.messages, QStringList{"System config file error.\n Exit!! "});
            sys.SetLanguage(2); // lets the waiting dictionary loader end
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
};

int RunStartupTest(int argc, char** argv)
{
    CStartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartupTest.moc"
