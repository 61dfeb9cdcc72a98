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
    void languageAtStartUp_data()
    {
        QTest::addColumn<int>("lcid");
        QTest::addColumn<QString>("lang");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("fileMenu");
        QTest::addColumn<QString>("nameTitle");
        const int zh = CGuiBench::kChineseLcid, en = CGuiBench::kEnglishLcid;
        // clang-format off
        QTest::newRow("English system") << en << "2" << 2 << "&File" << "name";
        QTest::newRow("English system ignores Chinese") << en << "1" << 2 << "&File" << "name";
        QTest::newRow("Chinese system, Chinese") << zh << "1" << 1 << "文件(&F)" << "名称";
        QTest::newRow("Chinese system, English") << zh << "2" << 2 << "&File" << "name";
        // "Wait" keeps the built-in texts and sets no list columns.
        QTest::newRow("Chinese system, wait") << zh << "3" << 3 << "文件(&F)" << "";
        // clang-format on
    }

    void languageAtStartUp()
    {
        QFETCH(int, lcid);
        QFETCH(QString, lang);
        QFETCH(int, language);
        QFETCH(QString, fileMenu);
        QFETCH(QString, nameTitle);
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

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<QString>("screenshot");
        QTest::addColumn<bool>("bad");
        const QStringList none;
        // clang-format off
        QTest::newRow("nothing") << none << none << false << "" << false;
        QTest::newRow("pages and screenshot")
            << QStringList{"--open", "VelocityLoop", "CSpeedCircle", "CommSettings",
                           "--screenshot", "a.png", "--connect"}
            << QStringList{"VelocityLoop", "CSpeedCircle", "CommSettings"} << true << "a.png" << false;
        QTest::newRow("unknown page") << QStringList{"--open", "NoSuchPage"} << none << false << "" << true;
        QTest::newRow("missing value") << QStringList{"--screenshot"} << none << false << "" << true;
        QTest::newRow("unknown option") << QStringList{"--fast"} << none << false << "" << true;
        // clang-format on
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, pages);
        QFETCH(bool, connect);
        QFETCH(QString, screenshot);
        QFETCH(bool, bad);
        const CDrivaraOptions options = ParseDrivaraOptions(QStringList{"drivara"} + arguments);
        QCOMPARE(!options.error.isEmpty(), bad);
        if (bad)
            return;
        QCOMPARE(options.openPages, pages);
        QCOMPARE(options.connect, connect);
        QCOMPARE(options.screenshotPath, screenshot);
    }
};

int RunStartupTest(int argc, char** argv)
{
    CStartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "StartupTest.moc"
