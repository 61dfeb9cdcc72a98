#include "app/IniFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class IniFile : public ::testing::Test
{
protected:
    QString Path(const QString& name = QStringLiteral("test.ini")) const
    {
        return m_dir.filePath(name);
    }

    void Write(const QByteArray& bytes, const QString& name = QStringLiteral("test.ini")) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray Read(const QString& name = QStringLiteral("test.ini")) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Get(const QString& section, const QString& key, const QString& def = QString(),
                int buffer = 256) const
    {
        return Ini::GetProfileString(Path(), section, key, def, buffer);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(IniFile, NamesCompareWithoutCaseAndTheFirstMatchWins)
{
    Write("[Sys]\r\nLANG=1\r\nlang=2\r\n[sys]\r\nlang=3\r\ncomm=5\r\n");
    EXPECT_EQ(Get("sys", "lang"), "1");
    EXPECT_EQ(Get("SYS", "Lang"), "1");
    // Only the first section of a name is searched.
    EXPECT_EQ(Get("sys", "comm", "none"), "none");
    EXPECT_EQ(Ini::SectionKeys(Path(), "SYS"), QStringList({"LANG", "lang"}));
}

TEST_F(IniFile, ValuesAreTrimmedUnquotedAndCutToTheBuffer)
{
    Write("; comment = not a key\n"
          "orphan=before any section\n"
          "[page]\n"
          "  name  =  Motor setup  \n"
          "quoted=\"  spaced  \"\n"
          "expr=a=b\n"
          ";num=9\n"
          "# also=comment\n"
          "long=abcdef\n"
          "empty=\n");
    EXPECT_EQ(Get("page", "name"), "Motor setup");
    EXPECT_EQ(Get("page", "quoted"), "  spaced  ");
    EXPECT_EQ(Get("page", "expr"), "a=b");
    EXPECT_EQ(Get("page", "num", "d"), "d");
    EXPECT_EQ(Get("page", "also", "d"), "d");
    EXPECT_EQ(Get("", "orphan", "d"), "d");
    EXPECT_EQ(Get("page", "empty", "d"), "");

    // A buffer of n characters holds n - 1 of them; the default is cut the same way.
    EXPECT_EQ(Get("page", "long", {}, 4), "abc");
    EXPECT_EQ(Get("page", "long", {}, 7), "abcdef");
    EXPECT_EQ(Get("page", "long", {}, 1), "");
    EXPECT_EQ(Get("page", "long", {}, 0), "");
    EXPECT_EQ(Get("page", "missing", "default", 4), "def");
    EXPECT_EQ(Ini::SectionKeys(Path(), "page"),
              QStringList({"name", "quoted", "expr", "long", "empty"}));
}

TEST_F(IniFile, MissingFileReadsTheDefault)
{
    EXPECT_EQ(Get("sys", "lang"), "");
    EXPECT_EQ(Get("sys", "lang", "7"), "7");
    EXPECT_TRUE(Ini::SectionKeys(Path(), "sys").isEmpty());
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(IniFile, WritingCreatesTheFileSectionAndKey)
{
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "lang", "2"));
    EXPECT_EQ(Get("sys", "lang"), "2");
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "com", "comid", "ttyUSB0"));
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "comm", "1"));
    EXPECT_EQ(Read(), QByteArray("[sys]\r\nlang=2\r\ncomm=1\r\n[com]\r\ncomid=ttyUSB0\r\n"));
}

TEST_F(IniFile, WritingKeepsEveryOtherLine)
{
    const QByteArray before = "; settings\r\n"
                              "[com]\r\n"
                              "comid=ttyUSB0 ; port\r\n"
                              "\r\n"
                              "[SYS]\r\n"
                              "# language\r\n"
                              "Lang = 1\r\n"
                              "\r\n"
                              "[can]\r\n"
                              "driverid=1\r\n";
    Write(before);
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "lang", "2"));
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "comm", "3"));
    // The rewritten key keeps its place; a new key goes after the section's last entry.
    EXPECT_EQ(Read(), QByteArray("; settings\r\n"
                                 "[com]\r\n"
                                 "comid=ttyUSB0 ; port\r\n"
                                 "\r\n"
                                 "[SYS]\r\n"
                                 "# language\r\n"
                                 "lang=2\r\n"
                                 "comm=3\r\n"
                                 "\r\n"
                                 "[can]\r\n"
                                 "driverid=1\r\n"));
}

TEST_F(IniFile, DeletingAKeyOrASection)
{
    Write("[a]\nx=1\ny=2\n[b]\nz=3\n");
    ASSERT_TRUE(Ini::DeleteProfileEntry(Path(), "A", "X"));
    EXPECT_EQ(Get("a", "x", "gone"), "gone");
    EXPECT_EQ(Get("a", "y"), "2");
    ASSERT_TRUE(Ini::DeleteProfileEntry(Path(), "a"));
    EXPECT_TRUE(Ini::SectionKeys(Path(), "a").isEmpty());
    EXPECT_EQ(Get("b", "z"), "3");
    // Nothing to delete is not an error and leaves the file alone.
    const QByteArray now = Read();
    EXPECT_TRUE(Ini::DeleteProfileEntry(Path(), "none", "k"));
    EXPECT_EQ(Read(), now);
}

TEST_F(IniFile, UnwritablePlaceFailsWithoutDamage)
{
    const QString inMissingDir = m_dir.filePath("no/such/dir/test.ini");
    EXPECT_FALSE(Ini::WriteProfileString(inMissingDir, "sys", "lang", "2"));
    EXPECT_FALSE(QFile::exists(inMissingDir));
}

TEST_F(IniFile, ChineseTextInUtf8AndUtf16)
{
    ASSERT_TRUE(Ini::WriteProfileString(Path(), QStringLiteral("页面"), QStringLiteral("名称"),
                                        QStringLiteral("电机配置")));
    EXPECT_EQ(Get(QStringLiteral("页面"), QStringLiteral("名称")), QStringLiteral("电机配置"));
    EXPECT_TRUE(Read().contains(QStringLiteral("电机配置").toUtf8()));
    // The buffer counts characters, not bytes.
    EXPECT_EQ(Get(QStringLiteral("页面"), QStringLiteral("名称"), {}, 3), QStringLiteral("电机"));

    const QString text = QStringLiteral("[sys]\r\nlang=1\r\n名称=值\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    Write(utf16, QStringLiteral("utf16.ini"));
    const QString utf16Path = Path(QStringLiteral("utf16.ini"));
    EXPECT_EQ(Ini::GetProfileString(utf16Path, "sys", "lang", {}, 4), "1");
    EXPECT_EQ(Ini::GetProfileString(utf16Path, "SYS", QStringLiteral("名称"), {}, 8),
              QStringLiteral("值"));

    Write("\xEF\xBB\xBF[sys]\nlang=2\n", QStringLiteral("bom.ini"));
    EXPECT_EQ(Ini::GetProfileString(Path(QStringLiteral("bom.ini")), "sys", "lang", {}, 4), "2");
}

TEST(IniDocument, EditsInMemoryAndWritesCrLf)
{
    CIniDocument doc;
    doc.SetText(QStringLiteral("[a]\nx=1\n\n[b]\ny=2"));
    doc.Set("a", "z", "3");
    doc.Set("c", "w", "4");
    EXPECT_TRUE(doc.Remove("b", "y"));
    EXPECT_FALSE(doc.Remove("b", "y"));
    EXPECT_FALSE(doc.RemoveSection("none"));
    EXPECT_EQ(doc.Text(), QStringLiteral("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\n[c]\r\nw=4\r\n"));
    QString value;
    EXPECT_TRUE(doc.Value("C", "W", value));
    EXPECT_EQ(value, "4");
    EXPECT_FALSE(doc.Value("b", "y", value));
    EXPECT_EQ(doc.Keys("a"), QStringList({"x", "z"}));
}
