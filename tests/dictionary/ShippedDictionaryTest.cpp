// The dictionary that ships in dist/data, built from data/velmor.tsv, read in both languages.

#include "TestSupport.h"

#include "dictionary/SdoDatabase.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(ShippedDictionary, LoadsWholeInBothLanguages)
{
    const QString path = TestSupport::DistDir() + QStringLiteral("/data/velmor.dat");
    const QFileInfo info(path);
    ASSERT_TRUE(info.exists()) << path.toStdString();

    CSdoDatabase chinese;
    CSdoDatabase english;
    ASSERT_TRUE(chinese.LoadFile(path, 1));
    ASSERT_TRUE(english.LoadFile(path, 2));
    EXPECT_GE(english.GetCount(), 250);
    // Whole records, no end mark inside, every key once.
    EXPECT_TRUE(english.LoadReport().clean());
    EXPECT_EQ(english.GetCount(), int(info.size() / CSdoDatabase::kRecordSize));
    ASSERT_EQ(chinese.GetCount(), english.GetCount());
    for (int i = 0; i < english.GetCount(); ++i) {
        CSdoRecord en, cn;
        ASSERT_TRUE(english.GetAt(i, en));
        ASSERT_TRUE(chinese.GetAt(i, cn));
        SCOPED_TRACE(QString::number(en.key, 16).toStdString());
        EXPECT_EQ(cn.key, en.key);
        for (const QString& text : {en.name, cn.name, en.help, cn.help, en.dataType}) {
            EXPECT_FALSE(text.isEmpty());
            EXPECT_FALSE(text.contains(QChar::ReplacementCharacter)) << text.toStdString();
        }
        // mkdict turns help escapes into line breaks; none may ship as "\n" text.
        EXPECT_FALSE(en.help.contains(QStringLiteral("\\n")) ||
                     cn.help.contains(QStringLiteral("\\n")));
    }

    CSdoRecord en, cn;
    ASSERT_TRUE(english.Lookup(0x604100, en));
    ASSERT_TRUE(chinese.Lookup(0x604100, cn));
    EXPECT_EQ(en.name, QStringLiteral("Statusword"));
    EXPECT_EQ(cn.name, QStringLiteral("状态字"));
}
