#include "DictionaryFiles.h"
#include "TestSupport.h"

#include "dictionary/SdoDatabase.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

using namespace DictionaryFiles;

namespace {

QString ShippedPath()
{
    return TestSupport::DistDir() + QStringLiteral("/data/velmor.dat");
}

bool HasChineseCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

bool IsAscii(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// Loads the shipped file through the loading thread, as the program does.
void LoadAsProgram(CSdoDatabase& db, CFakeHost& host, TestSupport::TempInstall& install)
{
    host.SetPaths(install.path(QStringLiteral("sys/sys.ini")),
                  install.path(QStringLiteral("data/velmor.dat")));
    db.StartLoading(&host);
    ASSERT_TRUE(db.WaitUntilLoaded(60000));
}

} // namespace

TEST(ShippedDictionary, IsWholeRecordsAndLoadsCompletely)
{
    const QFileInfo info(ShippedPath());
    ASSERT_TRUE(info.exists()) << ShippedPath().toStdString();
    EXPECT_EQ(info.size() % CSdoDatabase::kRecordSize, 0);

    CSdoDatabase db;
    ASSERT_TRUE(db.LoadFile(ShippedPath(), 2));
    EXPECT_GE(db.GetCount(), 250);
    // No end mark or short record inside: every record of the file is in the dictionary.
    EXPECT_EQ(db.GetCount(), int(info.size() / CSdoDatabase::kRecordSize));

    CSdoDatabase chinese;
    ASSERT_TRUE(chinese.LoadFile(ShippedPath(), 1));
    ASSERT_EQ(chinese.GetCount(), db.GetCount());
    for (int i = 0; i < db.GetCount(); ++i) {
        CSdoRecord en, cn;
        ASSERT_TRUE(db.GetAt(i, en));
        ASSERT_TRUE(chinese.GetAt(i, cn));
        EXPECT_NE(en.index, 0u);
        EXPECT_FALSE(en.name.isEmpty()) << std::hex << en.key;
        EXPECT_FALSE(cn.name.isEmpty()) << std::hex << cn.key;
        EXPECT_FALSE(en.name.contains(QChar::ReplacementCharacter)) << std::hex << en.key;
        EXPECT_FALSE(cn.name.contains(QChar::ReplacementCharacter)) << std::hex << cn.key;
        EXPECT_FALSE(en.dataType.isEmpty()) << std::hex << en.key;
    }
}

TEST(ShippedDictionary, StatuswordInBothLanguages)
{
    TestSupport::TempInstall chineseInstall(QStringLiteral("[sys]\nlang=1\ncomm=2\n"));
    CFakeHost chineseHost(true);
    CSdoDatabase chinese;
    LoadAsProgram(chinese, chineseHost, chineseInstall);
    CSdoRecord cn;
    ASSERT_TRUE(chinese.Lookup(0x604100, cn));
    EXPECT_TRUE(HasChineseCharacter(cn.GetName())) << cn.GetName().toStdString();

    TestSupport::TempInstall englishInstall(QStringLiteral("[sys]\nlang=2\ncomm=2\n"));
    CFakeHost englishHost(true);
    CSdoDatabase english;
    LoadAsProgram(english, englishHost, englishInstall);
    CSdoRecord en;
    ASSERT_TRUE(english.Lookup(0x604100, en));
    EXPECT_TRUE(IsAscii(en.GetName())) << en.GetName().toStdString();
    EXPECT_TRUE(en.GetName().contains(QStringLiteral("status"), Qt::CaseInsensitive))
        << en.GetName().toStdString();
    EXPECT_EQ(en.index, 0x6041u);
    EXPECT_EQ(en.subindex, 0);
    EXPECT_EQ(en.GetDataType(), cn.GetDataType());
}
