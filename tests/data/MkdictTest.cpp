// mkdict, run as the build runs it: a good source gives both files, a faulty one gives a
// "file:line: message" and leaves the previous outputs untouched.

#include "DataFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace DataFiles;

namespace {

const QByteArray kHeader =
    "index\tsubindex\ttype\tattr\tmodbus\tdefault\tunit\tname_en\tname_zh\thelp_en\thelp_zh\n";

QByteArray Line(const QByteArray& index, const QByteArray& sub, const QByteArray& type,
                const QByteArray& def, const QByteArray& unit = {},
                const QByteArray& nameEn = "Object", const QByteArray& help = "Help")
{
    return index + '\t' + sub + '\t' + type + "\tRW\t\t" + def + '\t' + unit + '\t' + nameEn +
           "\t对象\t" + help + "\t帮助\n";
}

struct MkdictRun
{
    int exitCode = -1;
    QString errors;
};

class Mkdict : public ::testing::Test
{
protected:
    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    void write(const char* name, const QByteArray& bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray read(const char* name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    MkdictRun run(const QByteArray& source) const
    {
        write("in.tsv", source);
        QProcess process;
        process.start(QStringLiteral(DRIVARA_MKDICT),
                      {path("in.tsv"), path("out.dat"), path("out-defaults.tsv")});
        MkdictRun result;
        if (!process.waitForFinished(60000))
            return result;
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.errors = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Mkdict, BuildsRecordsAndDefaults)
{
    ASSERT_TRUE(m_dir.isValid());
    const QByteArray source =
        kHeader + "# comment lines and blank lines are skipped\n\n" +
        Line("6041", "00", "U16", "0x0237", "[HEX HEX]N*1", "Statusword", "Line one\\nline two") +
        Line("2200", "0C", "U32", "4294967295") +
        Line("2220", "06", "I16", "-5", "[rpm rpm]N*60/[22000C20]") +
        Line("1008", "00", "VISIBLE STRING", "A\\B");
    const MkdictRun result = run(source);
    ASSERT_EQ(result.exitCode, 0) << result.errors.toStdString();

    QVector<DatRecord> records;
    QString error;
    ASSERT_TRUE(ParseDatabase(read("out.dat"), records, error)) << error.toStdString();
    ASSERT_EQ(records.size(), 4);
    EXPECT_EQ(records[0].key, 0x604100u);
    EXPECT_EQ(records[0].nameEn, QStringLiteral("Statusword"));
    EXPECT_EQ(records[0].nameZh, QStringLiteral("对象"));
    EXPECT_EQ(records[0].type, QStringLiteral("U16"));
    EXPECT_EQ(records[0].attr, QStringLiteral("RW"));
    EXPECT_EQ(records[0].helpEn, QStringLiteral("Line one\nline two"));
    EXPECT_EQ(records[0].unit, QStringLiteral("[HEX HEX]N*1"));
    EXPECT_EQ(records[3].type, QStringLiteral("VISIBLE STRING"));
    // Fixed field positions: the index text opens each record, the Modbus text closes it.
    const QByteArray dat = read("out.dat");
    EXPECT_EQ(dat.mid(kRecordSize, 6), QByteArray("22000C"));
    EXPECT_EQ(dat.mid(2 * kRecordSize - 4, 4), QByteArray("0000"));

    EXPECT_EQ(read("out-defaults.tsv"), QByteArray("604100\tU16\tRW\t567\n"
                                                   "22000C\tU32\tRW\t4294967295\n"
                                                   "222006\tI16\tRW\t-5\n"
                                                   "100800\tVISIBLE STRING\tRW\tA\\\\B\n"));
}

TEST_F(Mkdict, RejectsFaultySourceAndKeepsOutputs)
{
    ASSERT_TRUE(m_dir.isValid());
    const QByteArray good = Line("6041", "00", "U16", "0");
    struct Case
    {
        const char* what;
        QByteArray source;
        int line;
        const char* message;
    };
    const Case cases[] = {
        {"duplicate key", kHeader + good + good, 3, "duplicate object 6041:00"},
        {"too few columns", kHeader + "6041\t00\tU16\tRW\t\t0\t\tName\t名称\thelp\n", 2, "columns"},
        {"too many columns", kHeader + good.trimmed() + "\textra\n", 2, "columns"},
        {"name too long", kHeader + Line("6041", "00", "U16", "0", {}, QByteArray(64, 'x')), 2,
         "name_en"},
        {"help too long", kHeader + Line("6041", "00", "U16", "0", {}, "N", QByteArray(2048, 'h')),
         2, "help_en"},
        {"unknown type", kHeader + Line("6041", "00", "U64", "0"), 2, "type"},
        {"bad index", kHeader + Line("60G1", "00", "U16", "0"), 2, "index"},
        {"index zero ends the database", kHeader + Line("0000", "00", "U16", "0"), 2, "index"},
        {"default out of range", kHeader + Line("6041", "00", "U8", "256"), 2, "default"},
        {"constant not defined", kHeader + Line("606C", "00", "I32", "0", "[rpm rpm]N*[22000C20]"),
         2, "2200:0C"},
        {"constant width wrong",
         kHeader + Line("2200", "0C", "U32", "1") +
             Line("606C", "00", "I32", "0", "[r r]N/[22000C10]"),
         3, "width"},
        {"header missing", good, 1, "header"},
        {"not UTF-8", kHeader + Line("6041", "00", "U16", "0", {}, "Bad\xff"), 2, "UTF-8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write("out.dat", "previous database");
        write("out-defaults.tsv", "previous defaults");
        const MkdictRun result = run(c.source);
        EXPECT_EQ(result.exitCode, 1);
        const QString location = path("in.tsv") + QStringLiteral(":%1: ").arg(c.line);
        EXPECT_TRUE(result.errors.contains(location)) << result.errors.toStdString();
        EXPECT_TRUE(result.errors.contains(QLatin1String(c.message)))
            << result.errors.toStdString();
        EXPECT_EQ(read("out.dat"), QByteArray("previous database"));
        EXPECT_EQ(read("out-defaults.tsv"), QByteArray("previous defaults"));
    }
}
