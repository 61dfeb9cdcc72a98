// The start-up language as the program-wide data object settles it from the system language and
// "lang", and the dictionary it then loads: on every system, at once, without the loader
// changing the language behind the settings.

#include "DatabaseRecord.h"
#include "TestSupport.h"

#include "app/SysData.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

constexpr int kEnglishLcid = 1033;
constexpr int kLoadTimeoutMs = 60000;

// An installation whose dictionary holds the statusword with both names.
class StartUpLanguage : public ::testing::Test
{
protected:
    void Install(const char* sysIni)
    {
        install = std::make_unique<TestSupport::TempInstall>(QString::fromUtf8(sysIni));
        if (!sysIni[0])
            QFile::remove(install->path(QStringLiteral("sys/sys.ini")));
        TestSupport::DatabaseRecordFields statusword;
        statusword.index = "6041";
        statusword.nameChinese = QStringLiteral("状态字").toUtf8();
        statusword.nameEnglish = "Statusword";
        // The shipped file is linked in: remove the link rather than write through it.
        QFile::remove(install->path(QStringLiteral("data/velmor.dat")));
        ASSERT_TRUE(install->writeFile(QStringLiteral("data/velmor.dat"),
                                       TestSupport::BuildDatabaseRecord(statusword)));
    }

    QString StatuswordName(CSysData& sys)
    {
        CSdoRecord record;
        if (!sys.dictionary.WaitUntilLoaded(kLoadTimeoutMs) ||
            !sys.dictionary.Lookup(0x604100, record))
            return QStringLiteral("<none>");
        return record.name;
    }

    std::unique_ptr<TestSupport::TempInstall> install;
};

} // namespace

TEST_F(StartUpLanguage, SystemLanguageAndLangDecide)
{
    const struct
    {
        bool chinese;
        const char* ini; // "": no sys.ini at all
        uint8_t language;
        const char* name; // "<none>": the dictionary waits for the language dialog
    } cases[] = {
        // The decision itself is LanguageTest's; here what each outcome loads. A non-Chinese
        // system runs in English whatever is stored, and loads at once.
        {false, "[sys]\nlang=1\n", 2, "Statusword"},
        {true, "[sys]\nlang=1\n", 1, "状态字"},
        // 3 keeps the built-in texts and the byte as read; only language 1 keeps the Chinese
        // dictionary texts.
        {true, "[sys]\nlang=3\n", 3, "Statusword"},
        // Without a language a Chinese system waits for the operator's choice (GuiTest's
        // languageAtStartUp shows the dialog and what its choice loads; drivactl, with nobody to
        // ask, stops: DrivactlTest).
        {true, "[sys]\ncomm=2\n", 0, "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.ini) + (c.chinese ? " on a Chinese system" : " elsewhere"));
        Install(c.ini);
        CSysData sys({install->base(), c.chinese ? kChineseLcid : kEnglishLcid});
        EXPECT_EQ(sys.dictionary.loadingStarted(), QLatin1String(c.name) != "<none>");
        EXPECT_EQ(StatuswordName(sys), QString::fromUtf8(c.name));
        // The loader leaves the language as start-up settled it.
        EXPECT_EQ(sys.programLanguage.load(), c.language);
    }
}
