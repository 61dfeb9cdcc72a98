#include "StartupTest.h"

#include "DrivaraApp.h"
#include "GuiBench.h"
#include "LanguageDialog.h"

#include <QApplication>
#include <QRadioButton>
#include <QTimer>

#include <QFile>
#include <QMenuBar>
#include <QtTest>

void CStartupTest::languageAtStartUp_data()
{
    QTest::addColumn<int>("lcid");
    QTest::addColumn<QString>("lang");
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("fileMenu");
    QTest::addColumn<QString>("nameTitle");

    const int zh = CGuiBench::kChineseLcid;
    const int en = CGuiBench::kEnglishLcid;
    QTest::newRow("English system") << en << "2" << 2 << "&File"
                                    << "name";
    QTest::newRow("English system ignores Chinese") << en << "1" << 2 << "&File"
                                                    << "name";
    QTest::newRow("Chinese system, Chinese") << zh << "1" << 1 << "文件(&F)"
                                             << "名称";
    QTest::newRow("Chinese system, English") << zh << "2" << 2 << "&File"
                                             << "name";
    // "Wait" keeps the built-in texts and sets no list columns.
    QTest::newRow("Chinese system, wait") << zh << "3" << 3 << "文件(&F)"
                                          << "";
}

void CStartupTest::languageAtStartUp()
{
    QFETCH(int, lcid);
    QFETCH(QString, lang);
    QFETCH(int, language);
    QFETCH(QString, fileMenu);
    QFETCH(QString, nameTitle);

    CGuiBench bench(QStringLiteral("[sys]\nlang=%1\ncomm=2\n").arg(lang), lcid);
    bench.sys = std::make_unique<CSysData>(CSysDataOptions{bench.install.base(), lcid});
    {
        CDrivaraApp app(*bench.sys);
        int exitCode = -1;
        QVERIFY(app.InitInstance(exitCode));
        QVERIFY(app.mainFrame()->isVisible());
        QCOMPARE(int(bench.sys->programLanguage), language);
        QCOMPARE(app.mainFrame()->menuBar()->actions().first()->text(), fileMenu);
        QCOMPARE(bench.sys->titleName, nameTitle);
        if (!nameTitle.isEmpty()) {
            const int dpi = app.mainFrame()->logicalDpiX();
            QCOMPARE(bench.sys->dotsPerInch, dpi);
            QCOMPARE(bench.sys->columnWidths[0], int(dpi * 2.68));
        }
        QVERIFY(bench.messages.isEmpty());
        // The dictionary of the language in use, unless the language is still to come.
        if (language != 3) {
            QVERIFY(bench.sys->dictionary.WaitUntilLoaded(10000));
            QVERIFY(bench.sys->dictionary.GetCount() > 0);
        }
    }
    // Stop a loader that waits for a language before the data object goes.
    bench.sys->SetLanguage(2);
}

void CStartupTest::missingEnglishTextsEndTheProgram()
{
    CGuiBench bench(QStringLiteral("[sys]\nlang=2\n"), CGuiBench::kEnglishLcid);
    QVERIFY(QFile::remove(bench.install.path(QStringLiteral("data/EN.qm"))));
    bench.sys = std::make_unique<CSysData>(CSysDataOptions{bench.install.base(), bench.lcid});
    CDrivaraApp app(*bench.sys);
    int exitCode = -1;
    QVERIFY(!app.InitInstance(exitCode));
    QCOMPARE(exitCode, 0);
    QVERIFY(!app.mainFrame());
    QCOMPARE(bench.messages,
             QStringList{QStringLiteral("Load EN.dll resource failure!\n  System exit!\n")});
}

void CStartupTest::languageDialogBeforeTheMainWindow_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("shown");
    QTest::addColumn<bool>("started");
    QTest::newRow("no choice twice") << "cancel" << 2 << false;
    QTest::newRow("Chinese chosen") << "chinese" << 1 << true;
    QTest::newRow("English chosen") << "english" << 1 << true;
}

void CStartupTest::languageDialogBeforeTheMainWindow()
{
    QFETCH(QString, choice);
    QFETCH(int, shown);
    QFETCH(bool, started);

    // A Chinese system without a language asks before anything else is shown.
    CGuiBench bench(QStringLiteral("[sys]\ncomm=2\n"), CGuiBench::kChineseLcid);
    bench.sys = std::make_unique<CSysData>(CSysDataOptions{bench.install.base(), bench.lcid});
    int dialogs = 0;
    QTimer operatorAtTheScreen;
    operatorAtTheScreen.setInterval(10);
    QObject::connect(&operatorAtTheScreen, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CLanguageDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        ++dialogs;
        if (choice == QLatin1String("cancel")) {
            dialog->reject();
            return;
        }
        (choice == QLatin1String("chinese") ? dialog->chineseButton() : dialog->englishButton())
            ->setChecked(true);
        dialog->Ok();
    });
    operatorAtTheScreen.start();

    CDrivaraApp app(*bench.sys);
    int exitCode = -1;
    QCOMPARE(app.InitInstance(exitCode), started);
    QCOMPARE(dialogs, shown);
    if (started) {
        QVERIFY(app.mainFrame());
        QCOMPARE(int(bench.sys->programLanguage), choice == QLatin1String("chinese") ? 1 : 2);
        QVERIFY(bench.messages.isEmpty());
    } else {
        QVERIFY(!app.mainFrame());
        QCOMPARE(bench.messages,
                 QStringList{QStringLiteral("System config file error.\n Exit!! ")});
        bench.sys->SetLanguage(2); // lets the waiting dictionary loader end
    }
}

void CStartupTest::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("pages");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<QString>("screenshot");
    QTest::addColumn<bool>("bad");
    QTest::newRow("nothing") << QStringList{} << QStringList{} << false << "" << false;
    QTest::newRow("pages and screenshot")
        << QStringList{"--open",       "VelocityLoop", "CSpeedCircle", "CommSettings",
                       "--screenshot", "a.png",        "--connect"}
        << QStringList{"VelocityLoop", "CSpeedCircle", "CommSettings"} << true << "a.png" << false;
    QTest::newRow("unknown page") << QStringList{"--open", "NoSuchPage"} << QStringList{} << false
                                  << "" << true;
    QTest::newRow("missing value")
        << QStringList{"--screenshot"} << QStringList{} << false << "" << true;
    QTest::newRow("unknown option")
        << QStringList{"--fast"} << QStringList{} << false << "" << true;
}

void CStartupTest::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, pages);
    QFETCH(bool, connect);
    QFETCH(QString, screenshot);
    QFETCH(bool, bad);
    arguments.prepend(QStringLiteral("drivara"));
    const CDrivaraOptions options = ParseDrivaraOptions(arguments);
    QCOMPARE(!options.error.isEmpty(), bad);
    if (bad)
        return;
    QCOMPARE(options.openPages, pages);
    QCOMPARE(options.connect, connect);
    QCOMPARE(options.screenshotPath, screenshot);
}
