#include "DatabaseRecord.h"
#include "TestSupport.h"

#include "app/SysData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The installation paths, and the language and communication mode read from sys.ini (three
// characters each) with the dictionary the loader reads in that language. A held-back
// dictionary must not keep the object from being destroyed.
TEST(SysData, ReadsItsInstallation)
{
    constexpr int kEnglishLcid = 1033;
    const struct
    {
        const char* ini;
        int lcid;
        uint8_t language;
        uint8_t commMode;
        const char* name; // null: the dictionary is held back
    } cases[] = {
        {"[sys]\nlang=1\ncomm=2\n", kEnglishLcid, 2, 2, "Statusword"}, // no Chinese here
        {"[sys]\nlang=1\ncomm=258\n", kChineseLcid, 1, 2, "状态字"},   // the low byte
        {"[sys]\nlang=2\ncomm=1000\n", kChineseLcid, 2, 100, "Statusword"},
        {"[SYS]\nLANG=12345\nCOMM=x\n", kChineseLcid, 123, 0, "Statusword"},
        {"[sys]\nlang=3\n", kChineseLcid, 3, 0, "Statusword"}, // loads at once
        {"[sys]\ncomm=1\n", kChineseLcid, 0, 1, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        TestSupport::TempInstall install(QString::fromUtf8(c.ini));
        TestSupport::DatabaseRecordFields statusword;
        statusword.index = "6041";
        statusword.nameChinese = QStringLiteral("状态字").toUtf8();
        statusword.nameEnglish = "Statusword";
        // The shipped file is linked in: remove the link rather than write through it.
        QFile::remove(install.path(QStringLiteral("data/velmor.dat")));
        ASSERT_TRUE(install.writeFile(QStringLiteral("data/velmor.dat"),
                                      TestSupport::BuildDatabaseRecord(statusword)));

        CSysData sys({install.base(), c.lcid});
        const QString base = QDir(install.base()).absolutePath();
        EXPECT_EQ(sys.baseDir, base);
        EXPECT_EQ(sys.SysIniPath(), base + QStringLiteral("/sys/sys.ini"));
        EXPECT_EQ(sys.DatabasePath(), base + QStringLiteral("/data/velmor.dat"));
        EXPECT_EQ(sys.userDir, base + QStringLiteral("/user/"));
        EXPECT_TRUE(sys.enTranslationPath.startsWith(base + QStringLiteral("/data/")));
        EXPECT_TRUE(sys.pcanLibraryPath.startsWith(base + QStringLiteral("/data/")));
        EXPECT_EQ(sys.commMode, c.commMode);
        EXPECT_EQ(sys.ReadLanguage(), c.language);
        if (!c.name)
            continue;
        // The loader stores the language too; once it is done the byte is settled.
        ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
        EXPECT_EQ(sys.programLanguage, c.language);
        CSdoRecord record;
        ASSERT_TRUE(sys.dictionary.Lookup(0x604100, record));
        EXPECT_EQ(record.name, QString::fromUtf8(c.name));
    }
}

// Column titles and widths follow the language; a language still being settled sets neither.
TEST(SysData, ListColumnsFollowTheLanguageAndTheScreen)
{
    TestSupport::TempInstall install;
    CSysData sys(CSysDataOptions{install.base(), kChineseLcid});
    sys.SetLanguage(1);
    sys.SetListColumns(96);
    EXPECT_EQ(sys.titleName, QStringLiteral("名称"));
    EXPECT_EQ(sys.titleUnit, QStringLiteral("单位"));
    EXPECT_EQ(std::vector<int>(sys.columnWidths, sys.columnWidths + 5),
              (std::vector<int>{257, 115, 105, 244, 48}));
    sys.SetLanguage(2);
    sys.SetListColumns(120);
    EXPECT_EQ(sys.titleData, QStringLiteral("data"));
    EXPECT_EQ(sys.columnWidths[0], 321); // 120 x 2.68, truncated
    CSysData waiting(CSysDataOptions{install.base(), kChineseLcid});
    waiting.SetLanguage(3);
    waiting.SetListColumns(96);
    EXPECT_TRUE(waiting.titleName.isEmpty());
    EXPECT_EQ(waiting.columnWidths[0], 0);
}

// Where the programs find their base folder when none is named: the current directory when it
// holds the dictionary or settings, else the program's folder, else ../lib/drivara beside the program.
TEST(SysData, LocatesTheInstallationFromAnyDirectory)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString r = root.path();
    auto withDatabase = [](const QString& base) {
        QDir().mkpath(base + QStringLiteral("/data"));
        QDir().mkpath(base + QStringLiteral("/sys"));
        QFile file(base + QStringLiteral("/data/velmor.dat"));
        return file.open(QIODevice::WriteOnly);
    };
    ASSERT_TRUE(withDatabase(r + QStringLiteral("/work")));
    ASSERT_TRUE(withDatabase(r + QStringLiteral("/dist")));
    ASSERT_TRUE(withDatabase(r + QStringLiteral("/prefix/lib/drivara")));
    QDir().mkpath(r + QStringLiteral("/prefix/bin"));
    QDir().mkpath(r + QStringLiteral("/empty"));
    // Settings without a dictionary: a damaged installation that must report its own problem.
    QDir().mkpath(r + QStringLiteral("/damaged/sys"));
    QFile ini(r + QStringLiteral("/damaged/sys/sys.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.close();

    const struct
    {
        const char* current;
        const char* program;
        const char* base;
    } cases[] = {
        {"/work", "/dist", "/work"},                      // the traditional layout wins
        {"/empty", "/dist", "/dist"},                     // the build tree
        {"/empty", "/prefix/bin", "/prefix/lib/drivara"}, // an installation
        {"/empty", "/empty", "/empty"},                   // nothing found: as it always was
        {"/damaged", "/dist", "/damaged"},                // its own settings, its own problem
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const CInstallation where =
            LocateInstallation(r + QLatin1String(c.current), r + QLatin1String(c.program));
        const QString base = QDir(r + QLatin1String(c.base)).absolutePath();
        EXPECT_EQ(where.baseDir, base);
        EXPECT_EQ(where.sysIniPath, base + QStringLiteral("/sys/sys.ini"));
        EXPECT_EQ(where.userDir, base + QStringLiteral("/user/"));
    }
}
