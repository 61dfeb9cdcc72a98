#include "base/IniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <tuple>

namespace {

class IniFile : public ::testing::Test
{
protected:
    QString Path(const char* name = "test.ini") const { return m_dir.filePath(name); }

    void Write(const QByteArray& bytes, const char* name = "test.ini") const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    QByteArray Read() const
    {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The value of a key in the file, read through a buffer of the given number of characters.
    QString Get(const QString& section, const QString& key, const QString& def = QString(),
                int buffer = 256, const char* name = "test.ini") const
    {
        return Ini::GetProfileString(Path(name), section, key, def, buffer);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(IniFile, ReadingRulesAndEncodings)
{
    EXPECT_EQ(Get("sys", "lang", "7"), "7"); // a missing file reads the default
    EXPECT_TRUE(Ini::SectionKeys(Path(), "sys").isEmpty());
    EXPECT_FALSE(QFile::exists(Path()));

    Write("; comment = not a key\r\norphan=before any section\r\n[Sys]\r\nLANG=1\r\nlang=2\r\n"
          "  name  =  Motor setup  \r\nquoted=\"  spaced  \"\r\nexpr=a=b\r\n;num=9\r\n"
          "# also=comment\r\nempty=\r\n[sys]\r\ncomm=5\r\n");
    // clang-format off
    // section, key, default, buffer, value
    const std::tuple<const char*, const char*, const char*, int, const char*> cases[] = {
        // No case, the first match wins; only the first section of a name is searched. A buffer
        // of n characters holds n - 1 of them; the default is cut the same way.
        {"SYS", "Lang", "", 256, "1"}, {"sys", "comm", "d", 256, "d"}, {"sys", "name", "", 256, "Motor setup"},
        {"sys", "quoted", "", 256, "  spaced  "}, {"sys", "expr", "", 256, "a=b"}, {"sys", "num", "d", 256, "d"},
        {"sys", "also", "d", 256, "d"}, {"", "orphan", "d", 256, "d"}, {"sys", "empty", "d", 256, ""},
        {"sys", "name", "", 6, "Motor"}, {"sys", "name", "", 1, ""}, {"sys", "name", "", 0, ""},
        {"sys", "missing", "default", 4, "def"}};
    // clang-format on
    for (const auto& [section, key, def, buffer, expected] : cases)
        EXPECT_EQ(Get(section, key, def, buffer), expected)
            << section << "/" << key << " " << buffer;
    EXPECT_EQ(Ini::SectionKeys(Path(), "SYS"),
              QStringList({"LANG", "lang", "name", "quoted", "expr", "empty"}));

    // Chinese text is written in UTF-8; files in UTF-16 or with a UTF-8 mark read the same.
    ASSERT_TRUE(Ini::WriteProfileString(Path(), QStringLiteral("页面"), QStringLiteral("名称"),
                                        QStringLiteral("电机配置")));
    EXPECT_TRUE(Read().contains(QStringLiteral("电机配置").toUtf8()));
    // The buffer counts characters, not bytes.
    EXPECT_EQ(Get(QStringLiteral("页面"), QStringLiteral("名称"), {}, 3), QStringLiteral("电机"));

    const QString text = QStringLiteral("[sys]\r\nlang=1\r\n名称=值\r\n");
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    Write(utf16, "utf16.ini");
    EXPECT_EQ(Get("SYS", QStringLiteral("名称"), {}, 8, "utf16.ini"), QStringLiteral("值"));

    Write("\xEF\xBB\xBF[sys]\nlang=2\n", "bom.ini");
    EXPECT_EQ(Get("sys", "lang", {}, 4, "bom.ini"), "2");
}

TEST_F(IniFile, WritingKeepsEveryOtherLine)
{
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "lang", "2"));
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "com", "comid", "ttyUSB0"));
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "comm", "1"));
    EXPECT_EQ(Read(), QByteArray("[sys]\r\nlang=2\r\ncomm=1\r\n[com]\r\ncomid=ttyUSB0\r\n"));

    Write("; settings\r\n[com]\r\ncomid=ttyUSB0 ; port\r\n\r\n"
          "[SYS]\r\n# language\r\nLang = 1\r\n\r\n[can]\r\ndriverid=1\r\n");
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "lang", "2"));
    ASSERT_TRUE(Ini::WriteProfileString(Path(), "sys", "comm", "3"));
    ASSERT_TRUE(Ini::DeleteProfileEntry(Path(), "COM", "COMID"));
    // The rewritten key keeps its place; a new key goes after the section's last entry.
    const QByteArray expected =
        "; settings\r\n[com]\r\n\r\n"
        "[SYS]\r\n# language\r\nlang=2\r\ncomm=3\r\n\r\n[can]\r\ndriverid=1\r\n";
    EXPECT_EQ(Read(), expected);
    EXPECT_TRUE(Ini::DeleteProfileEntry(Path(), "none", "k")); // nothing to delete: no change
    EXPECT_EQ(Read(), expected);
    ASSERT_TRUE(Ini::DeleteProfileEntry(Path(), "sys"));
    EXPECT_EQ(Read(), QByteArray("; settings\r\n[com]\r\n\r\n[can]\r\ndriverid=1\r\n"));

    const QString inMissingDir = m_dir.filePath("no/such/dir/test.ini");
    EXPECT_FALSE(Ini::WriteProfileString(inMissingDir, "sys", "lang", "2"));
    EXPECT_FALSE(QFile::exists(inMissingDir));
}
