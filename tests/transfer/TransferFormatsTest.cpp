// The transfer files as the export and import read and write them, one case table per reader,
// against the shipped dictionary.

#include "TestSupport.h"

#include "dictionary/SdoDatabase.h"
#include "transfer/DcfFile.h"
#include "transfer/TransferFormats.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {

const CSdoDatabase& Dictionary()
{
    static CSdoDatabase dictionary;
    static const bool loaded =
        dictionary.LoadFile(TestSupport::DistDir() + QStringLiteral("/data/velmor.dat"), 2);
    EXPECT_TRUE(loaded);
    return dictionary;
}

QStringList Entries(const QByteArray& bytes)
{
    QStringList out;
    for (const CConfigEntry& entry : ParseConfiguration(bytes))
        out << entry.descriptorText + QLatin1Char('|') + entry.value;
    return out;
}

} // namespace

TEST(TransferFormats, ObjectListPieces)
{
    const struct
    {
        const char* text;
        QVector<uint32_t> descriptors;
    } cases[] = {
        {"60400010\r\n607A0020\r\n", {0x60400010, 0x607A0020}},
        {"6040001\n", {0x06040001}}, // seven digits: key 060400h, width 1
        {"0x6040 00 10\n", {0x60400010}},
        {"60400010\n\n607a0020", {0x60400010, 0x607A0020}}, // LF, a blank line, no last end
        {"60600008               607A0020\r\n", {0x60600008, 0x607A0020}}, // 31 characters
        {"gh\r\n", {}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseObjectList(c.text), c.descriptors) << c.text;
    EXPECT_EQ(FormatObjectList({0x60400010, 0x06040001}), QByteArray("60400010\r\n06040001\r\n"));
}

TEST(TransferFormats, ConfigurationLines)
{
    const struct
    {
        const char* text;
        QStringList entries; // "descriptor|value"
    } cases[] = {
        {"60400010,15,True\r\n20100320,0x0000000a,True\r\n607A0020,0x06020000,Fail\r\n",
         {"60400010|15", "20100320|0x0000000a"}},
        {"60400010,15,True\n607A0020,-2,True", {"60400010|15", "607A0020|-2"}},
        {"no comma\n,5,True\n", {}},
        {"60400010,\r\n", {"60400010|"}},
        {"60400010,1,500,True\r\n", {"60400010|1"}}, // the value ends at the second comma
        {"60400010,7\r\n", {"60400010|7"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Entries(c.text), c.entries) << c.text;

    QVector<CTransferRow> rows = ExportRows({0x60400010, 0x3FFF0010}, Dictionary());
    rows[0].value = QStringLiteral("15");
    rows[0].outcome = TransferOutcome::True;
    EXPECT_EQ(rows[1].name, QStringLiteral("? ? ? ?"));
    EXPECT_EQ(FormatConfiguration(rows), QByteArray("60400010,15,True\r\n3FFF0010,,\r\n"));
}

TEST(TransferFormats, ValueTexts)
{
    const struct
    {
        uint32_t descriptor;
        uint32_t raw;
        const char* text; // null: no format
    } cases[] = {
        {0x20400510, 0xFFFE, "-2"},             // signed 16 bits
        {0x100C0010, 0xFFFE, "65534"},          // unsigned 16 bits
        {0x60600008, 0xFF, "-1"},               // signed 8 bits
        {0x10050020, 0xFFFFFFFF, "4294967295"}, // unsigned 32 bits
        {0x607A0020, 0xFFFFFFFE, "-2"},         // signed 32 bits
        {0x3FFF0010, 0x12, "0x0012"},           // not in the dictionary: by width
        {0x3FFF0008, 0x12, "0x12"},
        {0x3FFF0020, 0x12, "0x00000012"},
        {0x3FFF0018, 0x12, nullptr},
    };
    for (const auto& c : cases) {
        QString text;
        EXPECT_EQ(FormatTransferValue(Dictionary(), c.descriptor, c.raw, text), c.text != nullptr)
            << std::hex << c.descriptor;
        if (c.text) {
            EXPECT_EQ(text, QLatin1String(c.text)) << std::hex << c.descriptor;
        }
    }
    const struct
    {
        const char* text;
        bool ok;
        uint32_t raw;
    } loads[] = {{"0x1e", true, 30},      {"30", true, 30}, {"-2", true, 0xFFFFFFFE},
                 {" 12abc", true, 12},    {"1e", true, 1},  {"", false, 0},
                 {"0x0000000a", true, 10}};
    for (const auto& c : loads) {
        uint32_t raw = 0;
        EXPECT_EQ(ParseLoadValue(QLatin1String(c.text), raw), c.ok) << c.text;
        EXPECT_EQ(raw, c.raw) << c.text;
    }
    EXPECT_EQ(ConfigurationSavePath("/u/dir.old/cfg", "cdi"), QStringLiteral("/u/dir.old/cfg.cdi"));
    EXPECT_EQ(ConfigurationSavePath("/u/cfg.txt", "txt"), QStringLiteral("/u/cfg.txt"));
}

// A save that cannot replace the file leaves the previous one whole.
TEST(TransferFormats, FailedSaveKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("cfg.cdi"));
    QString error;
    ASSERT_TRUE(SaveWhole(path, "old\r\n", error));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    // The superuser writes into read-only folders; an immutable folder stops even it.
    const bool immutable = geteuid() == 0 && QProcess::execute("chattr", {"+i", dir.path()}) == 0;
    if (geteuid() == 0 && !immutable)
        GTEST_SKIP() << "no way to make a folder unwritable here";
    EXPECT_FALSE(SaveWhole(path, "new\r\n", error));
    EXPECT_TRUE(error.startsWith(QLatin1String("File open failure!")));
    if (immutable)
        QProcess::execute("chattr", {"-i", dir.path()});
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("old\r\n"));
}

TEST(TransferFormats, DeviceConfigurationRoundTrip)
{
    CDcfDocument document;
    document.vendor = 0xA5E;
    document.product = 0x2000;
    document.nodeId = 3;
    document.objects = {DcfObjectOf(Dictionary(), 0x101801, QStringLiteral("2654")),
                        DcfObjectOf(Dictionary(), 0x204005, QStringLiteral("-2")),
                        DcfObjectOf(Dictionary(), 0x100C00, QStringLiteral("0x22"))};
    CDcfDocument read;
    QString error;
    ASSERT_TRUE(ParseDcf(FormatDcf(document), read, error)) << error.toStdString();
    EXPECT_EQ(read.vendor, 0xA5Eu);
    EXPECT_EQ(read.product, 0x2000u);
    EXPECT_EQ(read.nodeId, 3);
    ASSERT_EQ(read.objects.size(), 3);
    // The read-only identity is not written; the values come in the dictionary's own text.
    const QVector<CTransferRow> rows = DcfImportRows(read, Dictionary());
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].descriptor, 0x100C0010u);
    EXPECT_EQ(rows[0].loadValue, QStringLiteral("34"));
    EXPECT_EQ(rows[1].descriptor, 0x20400510u);
    EXPECT_EQ(rows[1].loadValue, QStringLiteral("-2"));
    EXPECT_TRUE(DcfIdentityMismatch(read, 0xA5E, 0x2000).isEmpty());
    EXPECT_TRUE(DcfIdentityMismatch(read, 0xA5E, 0x2001).contains(QLatin1String("product")));
    EXPECT_FALSE(ParseDcf("[FileInfo]\nFileName=x\n", read, error));
}
