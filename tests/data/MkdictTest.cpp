// mkdict, run as the build runs it: a good source gives both files, a faulty one gives a
// "file:line: message" and leaves the previous outputs untouched.

#include "TestSupport.h"
#include "base/IniFile.h"
#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"
#include "windows/WindowRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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

class Mkdict : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    void Write(const char* name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    QByteArray Read(const char* name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // Runs mkdict on the source; the exit code (-1 when it did not end normally) and stderr.
    int Run(const QByteArray& source, QString& errors) const
    {
        Write("in.tsv", source);
        QProcess process;
        process.start(QStringLiteral(DRIVARA_MKDICT),
                      {Path("in.tsv"), Path("out.dat"), Path("out-defaults.tsv")});
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Mkdict, BuildsRecordsAndDefaults)
{
    const QByteArray source =
        kHeader + "# comment lines and blank lines are skipped\n\n" +
        Line("6041", "00", "U16", "0x0237", "[HEX HEX]N*1", "Statusword", "Line one\\nline two") +
        Line("2200", "0C", "U32", "4294967295") +
        Line("2220", "06", "I16", "-5", "[rpm rpm]N*60/[22000C20]") +
        Line("1008", "00", "VISIBLE STRING", "A\\B");
    QString errors;
    ASSERT_EQ(Run(source, errors), 0) << errors.toStdString();

    const QByteArray dat = Read("out.dat");
    ASSERT_EQ(dat.size(), 4 * CSdoDatabase::kRecordSize);
    CSdoDatabase english, chinese;
    ASSERT_TRUE(english.LoadFile(Path("out.dat"), 2) && chinese.LoadFile(Path("out.dat"), 1));
    // The check beside the database is written with it and matches it.
    EXPECT_TRUE(english.LoadReport().checked && english.LoadReport().clean());
    EXPECT_TRUE(Read("out.dat.sum").contains("\nrecords=4\n"));
    CSdoRecord en, cn;
    ASSERT_TRUE(english.GetAt(0, en) && chinese.GetAt(0, cn));
    EXPECT_EQ(QStringList({QString::number(en.key, 16), en.name, cn.name, en.dataType, en.attribute,
                           en.help, cn.help, en.unitText}),
              QStringList({"604100", "Statusword", "对象", "U16", "RW", "Line one\nline two",
                           "帮助", "[HEX HEX]N*1"}));
    ASSERT_TRUE(english.GetAt(3, en));
    EXPECT_EQ(en.dataType, QStringLiteral("VISIBLE STRING"));
    EXPECT_EQ(Read("out-defaults.tsv"), QByteArray("604100\tU16\tRW\t567\n"
                                                   "22000C\tU32\tRW\t4294967295\n"
                                                   "222006\tI16\tRW\t-5\n"
                                                   "100800\tVISIBLE STRING\tRW\tA\\\\B\n"));
}

TEST_F(Mkdict, RejectsFaultySourceAndKeepsOutputs)
{
    const QByteArray good = Line("6041", "00", "U16", "0");
    const struct
    {
        const char* what;
        QByteArray source;
        int line;
        const char* message;
    } cases[] = {
        {"duplicate key", kHeader + good + good, 3, "duplicate object 6041:00"},
        {"too few columns", kHeader + "6041\t00\tU16\tRW\t\t0\t\tName\t名称\thelp\n", 2, "columns"},
        {"name too long", kHeader + Line("6041", "00", "U16", "0", {}, QByteArray(64, 'x')), 2,
         "name_en"},
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write("out.dat", "previous database");
        Write("out.dat.sum", "previous check");
        Write("out-defaults.tsv", "previous defaults");
        QString errors;
        EXPECT_EQ(Run(c.source, errors), 1);
        EXPECT_TRUE(errors.contains(Path("in.tsv") + QStringLiteral(":%1: ").arg(c.line)))
            << errors.toStdString();
        EXPECT_TRUE(errors.contains(QLatin1String(c.message))) << errors.toStdString();
        EXPECT_EQ(Read("out.dat"), QByteArray("previous database"));
        EXPECT_EQ(Read("out.dat.sum"), QByteArray("previous check"));
        EXPECT_EQ(Read("out-defaults.tsv"), QByteArray("previous defaults"));
    }
}

// A device description gives a dictionary that the program's loader takes whole, with the
// standard units and help; the standard drive pages find every object in it; a broken
// description is named by line and replaces nothing.
TEST_F(Mkdict, BuildsTheDictionaryOfADeviceDescription)
{
    const QString eds = TestSupport::SourceDir() + QStringLiteral("/tests/data/Cia402Sample.eds");
    QProcess process;
    process.start(QStringLiteral(DRIVARA_MKDICT),
                  {"--eds", eds, Path("out.dat"), Path("out-defaults.tsv")});
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString notes = QString::fromUtf8(process.readAllStandardError());
    ASSERT_EQ(process.exitCode(), 0) << notes.toStdString();
    EXPECT_TRUE(notes.contains("1F50:00 is a DOMAIN") && notes.contains("2102:00 has data type"));
    EXPECT_EQ(Read("device.eds").size(), QFileInfo(eds).size());

    CSdoDatabase db;
    ASSERT_TRUE(db.LoadFile(Path("out.dat"), 1));
    EXPECT_TRUE(db.LoadReport().checked && db.LoadReport().clean());
    const struct
    {
        uint32_t key;
        const char* name;
        const char* type;
        const char* attribute;
        const char* unit; // a part of the unit text
        const char* help; // a part of the help
    } rows[] = {
        {0x604100, "Statusword", "U16", "RLM", "[HEX HEX]", "10 target reached"},
        {0x604000, "Controlword", "U16", "RWM", "[HEX HEX]", "7 fault reset"},
        {0x606000, "Modes of operation", "I8", "RWM", "", "6 homing"},
        {0x607100, "Target torque", "I16", "RWM", "[% DEC]N*10", "Range: -3000 to 3000"},
        {0x607700, "Torque actual value", "I16", "RLM", "[% %]N/10", "PDO mappable"},
        {0x180001, "COB-ID used by TPDO", "U32", "RW", "[HEX HEX]", "Access: rw"},
        {0x101601, "Consumer heartbeat time1", "U32", "RW", "", ""},
        {0x210001, "Brake release delay", "U16", "RW", "", "Range: at most 1000."},
        {0x100800, "Manufacturer device name", "VISIBLE STRING", "R", "", "Access: const"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CSdoRecord r;
        ASSERT_TRUE(db.Lookup(row.key, r));
        EXPECT_EQ(QStringList({r.name, r.dataType, r.attribute}),
                  QStringList({row.name, row.type, row.attribute}));
        EXPECT_TRUE(r.unitText.contains(QLatin1String(row.unit))) << r.unitText.toStdString();
        EXPECT_TRUE(r.help.contains(QLatin1String(row.help))) << r.help.toStdString();
    }
    // Quirks resolved: $NODEID (node 1), octal, a sub-object before its parent.
    const QByteArray defaults = Read("out-defaults.tsv");
    for (const char* line : {"180001\tU32\tRW\t385\n", "101700\tU16\tRW\t500\n",
                             "606600\tU16\tRW\t100\n", "101801\tU32\tR\t1218\n"})
        EXPECT_TRUE(defaults.contains(line)) << line;

    for (const CWindowInfo& window : Windows()) {
        if (!window.standardDrive)
            continue;
        const CIniDocument page(TestSupport::SourceDir() + "/sys/" + window.pageName + ".ini");
        const int num = TextToLong(page.Get(window.pageName, "num", QString(), 32));
        EXPECT_GT(num, 3) << window.pageName.toStdString();
        for (int i = 1; i <= num; ++i) {
            CSdoRecord r;
            const QString key = page.Get(window.pageName, QString::number(i), QString(), 32);
            EXPECT_TRUE(db.Lookup(uint32_t(HexTextToInt(key)), r) && r.attribute.contains('R'))
                << window.pageName.toStdString() << " " << key.toStdString();
        }
    }

    Write("broken.eds", "[6040]\nParameterName=Controlword\nDataType=0x0006\nAccessType=rw\n"
                        "DefaultValue=0x1G\n");
    process.start(QStringLiteral(DRIVARA_MKDICT),
                  {"--eds", Path("broken.eds"), Path("out.dat"), Path("out-defaults.tsv")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(process.readAllStandardError())
                    .contains(Path("broken.eds") + ":5: default \"0x1G\" of 6040:00"));
    EXPECT_EQ(Read("out-defaults.tsv"), defaults);
}
