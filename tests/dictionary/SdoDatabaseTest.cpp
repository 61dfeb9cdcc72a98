#include "DictionaryFiles.h"

#include "app/Report.h"
#include "app/TextNumbers.h"
#include "dictionary/SdoDatabase.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace DictionaryFiles;

namespace {

class SdoDatabaseFile : public ::testing::Test
{
protected:
    // Writes the bytes as a database file and loads it into db.
    bool Load(const QByteArray& bytes, uint8_t language = 2)
    {
        const QString path = m_dir.filePath(QStringLiteral("velmor.dat"));
        EXPECT_TRUE(WriteFile(path, bytes));
        return db.LoadFile(path, language);
    }

    static QByteArray Records(int count)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes += BuildRecord(NumberedRecord(i));
        return bytes;
    }

    QTemporaryDir m_dir;
    CSdoDatabase db;
};

CSdoRecord Sentinel()
{
    CSdoRecord record;
    record.key = 0xABCDEF;
    record.name = QStringLiteral("untouched");
    return record;
}

} // namespace

TEST_F(SdoDatabaseFile, ReadsEveryFieldOfEveryRecord)
{
    RecordFields f;
    f.index = "6041";
    f.subindex = "00";
    f.nameChinese = QStringLiteral("状态字").toUtf8();
    f.nameEnglish = "Statusword";
    f.dataType = "UNSIGNED16";
    f.attribute = "RL";
    f.helpChinese = QStringLiteral("驱动器状态").toUtf8();
    f.helpEnglish = "Drive state";
    f.unitText = "(DEC)";
    f.modbus = "01A0";
    ASSERT_TRUE(Load(BuildRecord(f) + Records(3)));

    ASSERT_EQ(db.GetCount(), 4);
    CSdoRecord r;
    ASSERT_TRUE(db.Lookup(0x604100, r));
    EXPECT_EQ(r.key, 0x604100u);
    EXPECT_EQ(r.index, 0x6041u);
    EXPECT_EQ(r.subindex, 0);
    EXPECT_EQ(r.GetName(), QStringLiteral("Statusword"));
    EXPECT_EQ(r.GetDataType(), QStringLiteral("UNSIGNED16"));
    EXPECT_EQ(r.GetAttribute(), QStringLiteral("RL"));
    EXPECT_EQ(r.GetHelp(), QStringLiteral("Drive state"));
    EXPECT_EQ(r.GetUnitText(), QStringLiteral("(DEC)"));
    EXPECT_EQ(r.modbusAddress, 0x1A0u);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(db.GetAt(i + 1, r));
        EXPECT_TRUE(IsNumberedRecord(r, i, false)) << i;
    }
}

TEST_F(SdoDatabaseFile, KeepsOnlyTheTextsOfTheLanguage)
{
    const QByteArray bytes = Records(2);
    CSdoRecord r;
    ASSERT_TRUE(Load(bytes, 1));
    ASSERT_TRUE(db.GetAt(1, r));
    EXPECT_TRUE(IsNumberedRecord(r, 1, true));
    EXPECT_EQ(r.GetName(), QStringLiteral("对象 1"));

    // Every language but 1 keeps the English texts.
    for (uint8_t language : {0, 2, 3, 7}) {
        CSdoDatabase other;
        const QString path = m_dir.filePath(QStringLiteral("velmor.dat"));
        ASSERT_TRUE(other.LoadFile(path, language));
        ASSERT_TRUE(other.GetAt(1, r));
        EXPECT_TRUE(IsNumberedRecord(r, 1, false)) << int(language);
    }
}

TEST_F(SdoDatabaseFile, IndexZeroEndsTheDictionary)
{
    RecordFields zero = NumberedRecord(9);
    zero.index = "0000";
    ASSERT_TRUE(Load(BuildRecord(zero) + Records(2)));
    EXPECT_EQ(db.GetCount(), 0);

    // Further on, the records before it stay; a field without digits reads as 0 too.
    CSdoDatabase second;
    zero.index = QByteArray(4, '\0');
    const QString path = m_dir.filePath(QStringLiteral("second.dat"));
    ASSERT_TRUE(WriteFile(path, Records(2) + BuildRecord(zero) + Records(3)));
    ASSERT_TRUE(second.LoadFile(path, 2));
    EXPECT_EQ(second.GetCount(), 2);
}

TEST_F(SdoDatabaseFile, NumbersReadOnlyTheHexDigitsBeforeTheFirstNul)
{
    EXPECT_EQ(HexTextToInt(QStringLiteral("1 0 0 0")), 0x1000);

    RecordFields blanks;
    blanks.index = "1 2 ";
    blanks.subindex = " a";
    blanks.modbus = "0000";
    RecordFields nul;
    nul.index = QByteArray("2\0FF", 4); // what follows the NUL is padding
    nul.subindex = QByteArray("\0"
                              "1",
                              2);
    nul.modbus = QByteArray("7\0"
                            "77",
                            4);
    RecordFields noDigits;
    noDigits.index = "3000";
    noDigits.subindex = "zz";
    noDigits.modbus = "xyz.";
    ASSERT_TRUE(Load(BuildRecord(blanks) + BuildRecord(nul) + BuildRecord(noDigits)));

    ASSERT_EQ(db.GetCount(), 3);
    CSdoRecord r;
    ASSERT_TRUE(db.GetAt(0, r));
    EXPECT_EQ(r.index, 0x12u);
    EXPECT_EQ(r.subindex, 0x0A);
    EXPECT_EQ(r.key, 0x120Au);
    EXPECT_EQ(r.modbusAddress, 0u);
    ASSERT_TRUE(db.GetAt(1, r));
    EXPECT_EQ(r.key, 0x200u);
    EXPECT_EQ(r.modbusAddress, 7u);
    ASSERT_TRUE(db.GetAt(2, r));
    EXPECT_EQ(r.key, 0x300000u);
    EXPECT_EQ(r.modbusAddress, 0u);
}

TEST_F(SdoDatabaseFile, TextsTakeTheFullWidthWhenNoNulEndsThem)
{
    RecordFields f;
    f.nameEnglish = QByteArray(64, 'N') + "spill";
    f.dataType = QByteArray(16, 'T');
    f.attribute = "RWLRWLRW";
    f.unitText = QByteArray(256, 'u');
    ASSERT_TRUE(Load(BuildRecord(f)));
    CSdoRecord r;
    ASSERT_TRUE(db.Lookup(0x100000, r));
    EXPECT_EQ(r.name, QString(64, QLatin1Char('N')));
    EXPECT_EQ(r.dataType, QString(16, QLatin1Char('T')));
    EXPECT_EQ(r.attribute, QStringLiteral("RWLRWLRW"));
    EXPECT_EQ(r.unitText, QString(256, QLatin1Char('u')));
}

TEST_F(SdoDatabaseFile, InvalidTextBytesAreReplacedNotFatal)
{
    RecordFields f;
    f.nameEnglish = "A\xFF\xFE"
                    "B";
    f.helpEnglish = QByteArray(2048, '\xC3'); // lead bytes with no continuation
    // A three-byte character cut by the end of the field.
    f.unitText = QByteArray(254, 'x') + QStringLiteral("中").toUtf8();
    ASSERT_TRUE(Load(BuildRecord(f)));
    CSdoRecord r;
    ASSERT_TRUE(db.GetAt(0, r));
    EXPECT_TRUE(r.name.startsWith(QLatin1Char('A')));
    EXPECT_TRUE(r.name.endsWith(QLatin1Char('B')));
    EXPECT_TRUE(r.name.contains(QChar::ReplacementCharacter));
    EXPECT_FALSE(r.help.isEmpty());
    EXPECT_TRUE(r.unitText.startsWith(QString(254, QLatin1Char('x'))));
    EXPECT_FALSE(r.unitText.contains(QStringLiteral("中")));
}

// A file that ends inside a record: every field that gets at least one byte counts, so the last
// record survives only when its Modbus field (the last 4 bytes) got some of its bytes.
TEST_F(SdoDatabaseFile, TruncatedTailKeepsTheCompleteRecords)
{
    RecordFields last = NumberedRecord(2);
    last.modbus = "1234";
    const QByteArray full = Records(2) + BuildRecord(last);
    const int tailStart = 2 * CSdoDatabase::kRecordSize;
    struct Cut
    {
        int tailBytes;
        int expectedCount;
    };
    for (const Cut cut : {Cut{0, 2}, Cut{1, 2}, Cut{3, 2}, Cut{4, 2}, Cut{6, 2}, Cut{200, 2},
                          Cut{4254, 2}, Cut{4510, 2}, Cut{4511, 3}, Cut{4513, 3}, Cut{4514, 3}}) {
        CSdoDatabase part;
        const QString path = m_dir.filePath(QStringLiteral("cut.dat"));
        ASSERT_TRUE(WriteFile(path, full.left(tailStart + cut.tailBytes)));
        ASSERT_TRUE(part.LoadFile(path, 2));
        ASSERT_EQ(part.GetCount(), cut.expectedCount) << cut.tailBytes;
        CSdoRecord r;
        ASSERT_TRUE(part.GetAt(1, r));
        EXPECT_TRUE(IsNumberedRecord(r, 1, false));
        if (cut.expectedCount == 3) {
            ASSERT_TRUE(part.GetAt(2, r));
            EXPECT_EQ(r.name, QStringLiteral("Object 2"));
            // The Modbus field takes the bytes that were there.
            const QByteArray modbus = QByteArray("1234").left(cut.tailBytes - 4510);
            EXPECT_EQ(r.modbusAddress, uint32_t(HexTextToInt(QString::fromLatin1(modbus))));
        }
    }
}

TEST_F(SdoDatabaseFile, FirstRecordOfAKeyWinsAndAllStayReachable)
{
    RecordFields first = NumberedRecord(5);
    first.nameEnglish = "first";
    RecordFields second = NumberedRecord(5);
    second.nameEnglish = "second";
    ASSERT_TRUE(Load(BuildRecord(first) + Records(2) + BuildRecord(second)));
    ASSERT_EQ(db.GetCount(), 4);

    CSdoRecord r;
    ASSERT_TRUE(db.Lookup(MakeObjectKey(0x2000, 5), r));
    EXPECT_EQ(r.name, QStringLiteral("first"));
    ASSERT_TRUE(db.GetAt(0, r));
    EXPECT_EQ(r.name, QStringLiteral("first"));
    ASSERT_TRUE(db.GetAt(3, r));
    EXPECT_EQ(r.name, QStringLiteral("second"));
    EXPECT_EQ(r.key, MakeObjectKey(0x2000, 5));
}

TEST_F(SdoDatabaseFile, MissesLeaveTheOutputAlone)
{
    ASSERT_TRUE(Load(Records(3)));
    CSdoRecord r = Sentinel();
    EXPECT_FALSE(db.Lookup(0x604100, r));
    EXPECT_FALSE(db.Lookup(0, r));
    EXPECT_FALSE(db.GetAt(-1, r));
    EXPECT_FALSE(db.GetAt(db.GetCount(), r));
    EXPECT_FALSE(db.GetAt(INT32_MIN, r));
    EXPECT_EQ(r.key, 0xABCDEFu);
    EXPECT_EQ(r.name, QStringLiteral("untouched"));
}

TEST_F(SdoDatabaseFile, UnreadableFileReportsAndLeavesTheDictionaryEmpty)
{
    QStringList messages;
    const MessageSink previous =
        SetMessageSink([&](const QString& text, MessageKind) { messages.append(text); });
    EXPECT_FALSE(db.LoadFile(m_dir.filePath(QStringLiteral("missing.dat")), 2));
    EXPECT_FALSE(db.LoadFile(QString(), 2));
    SetMessageSink(previous);

    EXPECT_EQ(messages, QStringList({QStringLiteral("Couldn't load DB file!! \n"),
                                     QStringLiteral("Couldn't load DB file!! \n")}));
    EXPECT_EQ(db.GetCount(), 0);
}

TEST_F(SdoDatabaseFile, EmptyFileGivesAnEmptyDictionary)
{
    EXPECT_TRUE(Load(QByteArray()));
    EXPECT_EQ(db.GetCount(), 0);
    // Without a loading thread there is nothing to wait for.
    EXPECT_TRUE(db.WaitUntilLoaded(0));
}
