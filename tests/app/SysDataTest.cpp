#include "TestSupport.h"

#include "app/Report.h"
#include "app/SysData.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <memory>

using TestSupport::Pump;
using TestSupport::TempInstall;
using TestSupport::WaitFor;

namespace {

constexpr int kEnglishLcid = 1033;

// One small database file: key 0x604100 with both names.
QByteArray StatuswordDatabase()
{
    auto field = [](const QByteArray& value, int width) {
        return value + QByteArray(width - value.size(), '\0');
    };
    return field("6041", 4) + field("00", 2) + field(QStringLiteral("状态字").toUtf8(), 64) +
           field("Statusword", 64) + field("U16", 16) + field("RL", 8) + field({}, 2048) +
           field({}, 2048) + field({}, 256) + field("0000", 4);
}

// An installation whose data/velmor.dat is the file above instead of the shipped one.
std::unique_ptr<TempInstall> Install(const QString& sysIni)
{
    auto install = std::make_unique<TempInstall>(sysIni);
    // The shipped file is linked in: remove the link rather than write through it.
    QFile::remove(install->path(QStringLiteral("data/velmor.dat")));
    EXPECT_TRUE(install->writeFile(QStringLiteral("data/velmor.dat"), StatuswordDatabase()));
    return install;
}

QString NameOfStatusword(const CSysData& sys)
{
    CSdoRecord record;
    return sys.dictionary.Lookup(0x604100, record) ? record.GetName() : QString();
}

} // namespace

TEST(SysData, PathsHangOffTheBaseDirectory)
{
    auto install = Install(QStringLiteral("[sys]\nlang=2\ncomm=2\n"));
    const QString base = QDir(install->base()).absolutePath();
    CSysData sys({install->base(), kEnglishLcid});
    EXPECT_EQ(sys.baseDir, base);
    EXPECT_EQ(sys.sysIniPath, base + QStringLiteral("/sys/sys.ini"));
    EXPECT_EQ(sys.SysIniPath(), sys.sysIniPath);
    EXPECT_EQ(sys.databasePath, base + QStringLiteral("/data/velmor.dat"));
    EXPECT_EQ(sys.DatabasePath(), sys.databasePath);
    EXPECT_EQ(sys.userDir, base + QStringLiteral("/user/"));
    EXPECT_TRUE(sys.enTranslationPath.startsWith(base + QStringLiteral("/data/")));
    EXPECT_TRUE(sys.pcanLibraryPath.startsWith(base + QStringLiteral("/data/")));
    // Initial values.
    EXPECT_EQ(sys.othersReleased, 1);
    EXPECT_EQ(sys.pollingEnabled, 1);
    EXPECT_EQ(sys.connected, 0);
    EXPECT_EQ(sys.systemLanguage, 1);

    ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
    EXPECT_EQ(NameOfStatusword(sys), QStringLiteral("Statusword"));
}

TEST(SysData, LanguageFollowsTheSystemLocale)
{
    struct Case
    {
        const char* ini;
        int lcid;
        uint8_t language;
        const char* name;
    };
    const Case cases[] = {
        {"[sys]\nlang=1\n", kEnglishLcid, 2, "Statusword"}, // no Chinese on this system
        {"[sys]\nlang=1\n", kChineseLcid, 1, "状态字"},
        {"[sys]\nlang=2\n", kChineseLcid, 2, "Statusword"},
        {"[SYS]\nLANG=12345\n", kChineseLcid, 123, "Statusword"}, // a buffer of 4 characters
    };
    for (const Case& c : cases) {
        auto install = Install(QString::fromUtf8(c.ini));
        CSysData sys({install->base(), c.lcid});
        // The loader stores the language too; once it is done the byte is settled.
        ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
        EXPECT_EQ(sys.programLanguage, c.language) << c.ini;
        EXPECT_EQ(sys.ReadLanguage(), c.language) << c.ini;
        EXPECT_EQ(NameOfStatusword(sys), QString::fromUtf8(c.name)) << c.ini;
    }
}

TEST(SysData, MissingLanguageReadsAsZeroAndHoldsTheDictionaryBack)
{
    auto install = Install(QStringLiteral("[sys]\ncomm=1\n"));
    {
        CSysData sys({install->base(), kChineseLcid});
        EXPECT_EQ(sys.ReadLanguage(), 0);
        EXPECT_EQ(sys.commMode, 1);
        Pump(300);
        EXPECT_EQ(sys.dictionary.GetCount(), 0);
    } // destroyed while the loader still waits: must not hang
    CSysData english({install->base(), kEnglishLcid});
    EXPECT_EQ(english.ReadLanguage(), 2);
}

TEST(SysData, LanguageThreeLoadsOnceTheLanguageIsSettled)
{
    auto install = Install(QStringLiteral("[sys]\nlang=3\n"));
    CSysData sys({install->base(), kChineseLcid});
    EXPECT_EQ(sys.programLanguage, 3);
    Pump(300);
    EXPECT_EQ(sys.dictionary.GetCount(), 0);
    sys.SetLanguage(1);
    ASSERT_TRUE(sys.dictionary.WaitUntilLoaded(60000));
    EXPECT_EQ(NameOfStatusword(sys), QStringLiteral("状态字"));
}

TEST(SysData, CommModeIsTheLowByte)
{
    struct Case
    {
        const char* ini;
        uint8_t mode;
    };
    const Case cases[] = {
        {"[sys]\nlang=2\ncomm=2\n", 2},      {"[sys]\nlang=2\ncomm=258\n", 2},
        {"[sys]\nlang=2\ncomm=1000\n", 100}, // cut to three characters first
        {"[sys]\nlang=2\ncomm=x\n", 0},      {"[sys]\nlang=2\n", 0},
    };
    for (const Case& c : cases) {
        auto install = Install(QString::fromUtf8(c.ini));
        CSysData sys({install->base(), kEnglishLcid});
        EXPECT_EQ(sys.commMode, c.mode) << c.ini;
    }
}
