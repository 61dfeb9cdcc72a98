// The device description reader on what vendor files hold: each tolerance gives the object it
// describes, and each kind of broken file is named by line and reason with no object kept.

#include "eds/EdsReader.h"

#include <gtest/gtest.h>

namespace {

QByteArray Var(const char* section, const char* type, const char* access, const char* value,
               const char* more = "")
{
    return QByteArray("[") + section + "]\nParameterName=Obj " + section + "\nObjectType=0x7\n" +
           "DataType=" + type + "\nAccessType=" + access + "\nDefaultValue=" + value + "\n" + more;
}

} // namespace

TEST(EdsReader, ToleratesWhatVendorFilesHold)
{
    const struct
    {
        const char* what;
        QByteArray text;
        uint32_t key;
        const char* type;
        const char* attribute;
        int64_t value;
    } cases[] = {
        {"$NODEID plus hex", Var("1800sub1", "0x0007", "rw", "$NODEID+0x180"), 0x180001, "U32",
         "RW", 0x181},
        {"hex plus $nodeid", Var("1400sub1", "0x0007", "rw", "0x200 + $nodeid"), 0x140001, "U32",
         "RW", 0x201},
        {"octal", Var("1017", "0x0006", "rw", "0764"), 0x101700, "U16", "RW", 500},
        {"decimal zero is not octal", Var("1017", "0x0006", "rw", "0"), 0x101700, "U16", "RW", 0},
        {"hex bit pattern of a signed type", Var("607D", "0x0004", "rw", "0x80000000"), 0x607D00,
         "I32", "RW", INT32_MIN},
        {"negative decimal", Var("6098", "0x0002", "rw", "-3"), 0x609800, "I8", "RW", -3},
        {"empty default", Var("6040", "0x0006", "rww", ""), 0x604000, "U16", "RW", 0},
        {"spaces around = and in the section name",
         "[ 6041 ]\n ParameterName = Statusword \nObjectType = 0x7\nDataType = 0x0006\n"
         "AccessType = RO\nDefaultValue = 0x0250\nPDOMapping = 1\n",
         0x604100, "U16", "RLM", 0x250},
        {"CRLF, comments and lower-case keys",
         "; vendor tool 3.1\r\n[6060]\r\nparametername=Mode\r\ndatatype=0x0002\r\n"
         "accesstype=rw\r\npdomapping=1\r\ndefaultvalue=1\r\n",
         0x606000, "I8", "RWM", 1},
        {"sub-object without a parent", Var("2100sub3", "0x0005", "wo", "7"), 0x210003, "U8", "W",
         7},
        {"sub-object before its parent",
         Var("1018sub1", "0x0007", "ro", "0x4C2") +
             "[1018]\nParameterName=Identity\nObjectType=0x9\nSubNumber=2\n" +
             Var("1018sub0", "0x0005", "const", "1"),
         0x101801, "U32", "R", 0x4C2},
        {"BOOLEAN is one byte", Var("2101", "0x0001", "rw", "1"), 0x210100, "U8", "RW", 1},
        {"VISIBLE_STRING", Var("1008", "0x0009", "const", "HX 402"), 0x100800, "VISIBLE STRING",
         "R", 0},
        {"DCF ParameterValue wins over the default",
         Var("100C", "0x0006", "rw", "0", "ParameterValue=250\n"), 0x100C00, "U16", "RW", 250},
        {"DCF NodeID stands for $NODEID",
         "[DeviceComissioning]\nNodeID=5\n" + Var("1800sub1", "0x0007", "rw", "$NODEID+0x180"),
         0x180001, "U32", "RW", 0x185},
        {"compact sub-objects take the parent's type and the Value section",
         "[1016]\nParameterName=Heartbeat\nObjectType=0x8\nDataType=0x0007\nAccessType=rw\n"
         "DefaultValue=0\nCompactSubObj=3\n[1016Value]\nNrOfEntries=1\n2=0x00020064\n",
         0x101602, "U32", "RW", 0x20064},
        {"compact count in sub-index 0",
         "[1016]\nParameterName=Heartbeat\nObjectType=0x8\nDataType=0x0007\nAccessType=rw\n"
         "CompactSubObj=3\n",
         0x101600, "U8", "R", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CEdsDevice device = Eds::Read(c.text);
        ASSERT_TRUE(device.ok()) << device.errors.value(0).reason.toStdString();
        const CEdsObject* object = device.Find(c.key);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->dataType, QLatin1String(c.type));
        EXPECT_EQ(object->AttributeLetters(), QLatin1String(c.attribute));
        EXPECT_EQ(object->numeric() ? object->value : 0, c.value);
    }
    // Types the program cannot carry are left out and named; the rest of the device stays.
    const CEdsDevice mixed =
        Eds::Read(Var("2102", "0x0008", "rw", "0") + Var("2103", "0x0006", "rw", "1"));
    ASSERT_TRUE(mixed.ok());
    EXPECT_EQ(mixed.objects.size(), 1);
    ASSERT_EQ(mixed.notes.size(), 1);
    EXPECT_EQ(mixed.notes[0].line, 1);
}

TEST(EdsReader, NamesBrokenFilesByLineAndReason)
{
    const QByteArray good = Var("6040", "0x0006", "rw", "0");
    const struct
    {
        const char* what;
        QByteArray text;
        int line;
        const char* reason;
    } cases[] = {
        {"not a key=value line", good + "DefaultValue 5\n", 7, "neither [section] nor key=value"},
        {"section not closed", "[6040\n" + good, 1, "not closed"},
        {"key before any section", "ParameterName=x\n" + good, 1, "before the first section"},
        {"section twice", good + good, 7, "first on line 1"},
        {"key twice", good + "DataType=0x0007\n", 7, "first on line 4"},
        {"bad digit in hex", Var("6040", "0x0006", "rw", "0x1G"), 6, "not a number"},
        {"8 is no octal digit", Var("6040", "0x0006", "rw", "08"), 6, "not a number"},
        {"default does not fit", Var("6060", "0x0002", "rw", "200"), 6, "does not fit I8"},
        {"unknown access", Var("6040", "0x0006", "rx", "0"), 5, "AccessType \"rx\""},
        {"no DataType", "[6040]\nParameterName=x\nAccessType=rw\n", 1, "no DataType"},
        {"no ParameterName", "[6040]\nDataType=0x0006\nAccessType=rw\n", 1, "no ParameterName"},
        {"default outside its limits", Var("6098", "0x0002", "rw", "40", "HighLimit=35\n"), 6,
         "outside its limits"},
        {"PDOMapping not 0 or 1", Var("6040", "0x0006", "rw", "0", "PDOMapping=yes\n"), 7,
         "PDOMapping"},
        {"variable and sub 0 both", good + Var("6040sub0", "0x0006", "rw", "0"), 7,
         "6040:00 defined again"},
        {"compact count too large",
         "[1016]\nParameterName=H\nObjectType=0x8\nDataType=0x0007\nAccessType=rw\n"
         "CompactSubObj=300\n",
         6, "CompactSubObj"},
        {"no object at all", "[FileInfo]\nFileName=x.eds\n", 1, "no object"},
        {"a binary file", QByteArray("[6040]\0\1", 8), 1, "NUL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Where a good object stands beside the fault, it is not kept either.
        const CEdsDevice device = Eds::Read(c.text);
        ASSERT_FALSE(device.ok());
        EXPECT_TRUE(device.objects.isEmpty());
        EXPECT_EQ(device.errors[0].line, c.line);
        EXPECT_TRUE(device.errors[0].reason.contains(QLatin1String(c.reason)))
            << device.errors[0].reason.toStdString();
    }
}
