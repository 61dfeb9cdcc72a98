// Consistency of the data that ships with the program: the dictionary database built from
// data/velmor.tsv, the virtual drive's default values and the definition files under sys/.

#include "DataFiles.h"
#include "TestSupport.h"

#include "app/IniFile.h"
#include "app/TextNumbers.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

using namespace DataFiles;

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string Hex(quint32 key)
{
    return QString::number(key, 16).toUpper().rightJustified(6, QLatin1Char('0')).toStdString();
}

// The shipped dictionary and default values, read once for all tests.
class ShippedData : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        const QString data = TestSupport::DistDir() + QStringLiteral("/data/");
        s_database = ReadAll(data + QStringLiteral("velmor.dat"));
        s_records.clear();
        s_byKey.clear();
        s_defaults.clear();
        s_constants.clear();
        s_parsed = ParseDatabase(s_database, s_records, s_error);
        for (int i = 0; i < s_records.size(); ++i)
            s_byKey.insert(s_records[i].key, i);
        s_defaultsParsed = ParseDefaults(ReadAll(data + QStringLiteral("velmor-defaults.tsv")),
                                         s_defaults, s_defaultsError);
        for (const auto& entry : s_defaults) {
            if (DataTypeBits(entry.second.type) != 0)
                s_constants.insert(entry.first, entry.second.value.toLongLong());
        }
    }

    void SetUp() override
    {
        ASSERT_TRUE(s_parsed) << s_error.toStdString();
        ASSERT_TRUE(s_defaultsParsed) << s_defaultsError.toStdString();
    }

    static const DatRecord* Find(quint32 key)
    {
        const auto found = s_byKey.constFind(key);
        return found == s_byKey.constEnd() ? nullptr : &s_records[*found];
    }

    static QByteArray s_database;
    static QVector<DatRecord> s_records;
    static QHash<quint32, int> s_byKey;
    static QVector<QPair<quint32, DefaultValue>> s_defaults;
    static QHash<quint32, qint64> s_constants;
    static bool s_parsed;
    static bool s_defaultsParsed;
    static QString s_error;
    static QString s_defaultsError;
};

QByteArray ShippedData::s_database;
QVector<DatRecord> ShippedData::s_records;
QHash<quint32, int> ShippedData::s_byKey;
QVector<QPair<quint32, DefaultValue>> ShippedData::s_defaults;
QHash<quint32, qint64> ShippedData::s_constants;
bool ShippedData::s_parsed = false;
bool ShippedData::s_defaultsParsed = false;
QString ShippedData::s_error;
QString ShippedData::s_defaultsError;

// Every page definition file under sys/ (files with a "num" key in the section of their name).
QStringList PageFiles()
{
    const QDir sys(TestSupport::SourceDir() + QStringLiteral("/sys"));
    QStringList pages;
    for (const QString& name : sys.entryList({QStringLiteral("*.ini")}, QDir::Files)) {
        const QString page = name.left(name.size() - 4);
        QString num;
        if (CIniDocument(sys.filePath(name)).Value(page, QStringLiteral("num"), num))
            pages.append(page);
    }
    return pages;
}

QString SysFile(const QString& name)
{
    return TestSupport::SourceDir() + QStringLiteral("/sys/") + name;
}

} // namespace

TEST_F(ShippedData, DatabaseHasWholeValidRecords)
{
    EXPECT_EQ(s_database.size() % kRecordSize, 0);
    EXPECT_GE(s_records.size(), 300);

    const QSet<QString> types = {QStringLiteral("U8"),
                                 QStringLiteral("U16"),
                                 QStringLiteral("U32"),
                                 QStringLiteral("I8"),
                                 QStringLiteral("I16"),
                                 QStringLiteral("I32"),
                                 QStringLiteral("VISIBLE STRING")};
    QSet<quint32> seen;
    for (const DatRecord& r : s_records) {
        SCOPED_TRACE(Hex(r.key));
        EXPECT_FALSE(seen.contains(r.key)) << "duplicate key";
        seen.insert(r.key);
        EXPECT_TRUE(types.contains(r.type)) << r.type.toStdString();
        EXPECT_FALSE(r.attr.isEmpty());
        for (const QChar c : r.attr)
            EXPECT_TRUE(QStringLiteral("RWLSM").contains(c)) << r.attr.toStdString();
        EXPECT_FALSE(r.nameEn.isEmpty());
        EXPECT_FALSE(r.nameZh.isEmpty());
        EXPECT_FALSE(r.helpEn.isEmpty());
        EXPECT_FALSE(r.helpZh.isEmpty());
        // Help escapes are turned into line breaks by mkdict, never shipped as "\n" text.
        EXPECT_FALSE(r.helpEn.contains(QStringLiteral("\\n")));
        EXPECT_FALSE(r.helpZh.contains(QStringLiteral("\\n")));
    }
}

TEST_F(ShippedData, ProgramObjectsExistWithTheirWidths)
{
    struct Expected
    {
        quint32 key;
        int bits; // 0 text
        const char* mustHave;
    };
    const Expected expected[] = {
        {0x604100, 16, "RL"}, {0x230007, 8, "RW"},  {0x230008, 16, "RW"}, {0x230009, 16, "RW"},
        {0x23000A, 16, "RW"}, {0x23000B, 8, "RW"},  {0x23000C, 32, "RW"}, {0x23000D, 32, "RW"},
        {0x230010, 0, "R"},   {0x2FF001, 8, "RW"},  {0x2FF003, 8, "RW"},  {0x2FFF00, 16, "W"},
        {0x260001, 16, "RW"}, {0x260002, 16, "RW"}, {0x260100, 16, "RL"}, {0x260200, 16, "RL"},
        {0x201001, 16, "RW"}, {0x201002, 16, "RW"}, {0x20100E, 16, "RW"}, {0x20100F, 16, "RW"},
        {0x20100B, 16, "RL"}, {0x20100C, 16, "RL"}, {0x201018, 16, "RL"},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(Hex(e.key));
        const DatRecord* r = Find(e.key);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(DataTypeBits(r->type), e.bits) << r->type.toStdString();
        for (const char* letter = e.mustHave; *letter; ++letter)
            EXPECT_TRUE(r->attr.contains(QLatin1Char(*letter))) << r->attr.toStdString();
    }
    // Recorder slots carry 32-bit descriptors; the function masks are 32-bit words.
    for (quint32 key = 0x230001; key <= 0x230006; ++key) {
        ASSERT_NE(Find(key), nullptr) << Hex(key);
        EXPECT_EQ(DataTypeBits(Find(key)->type), 32) << Hex(key);
    }
    for (quint32 key = 0x201001; key <= 0x201018; ++key)
        EXPECT_NE(Find(key), nullptr) << Hex(key);
    for (quint32 key : {0x201003u, 0x201004u, 0x201005u, 0x201006u, 0x201007u, 0x201008u, 0x201009u,
                        0x20100Au, 0x201010u, 0x201011u, 0x201012u, 0x201013u, 0x201014u}) {
        ASSERT_NE(Find(key), nullptr) << Hex(key);
        EXPECT_EQ(DataTypeBits(Find(key)->type), 32) << Hex(key);
        EXPECT_TRUE(Find(key)->attr.contains(QLatin1Char('W'))) << Hex(key);
    }
}

TEST_F(ShippedData, DefaultsMatchTheDatabase)
{
    ASSERT_EQ(s_defaults.size(), s_records.size());
    bool stringOfWholeSegments = false;
    bool stringWithShortSegment = false;
    for (int i = 0; i < s_records.size(); ++i) {
        const DatRecord& r = s_records[i];
        const DefaultValue& d = s_defaults[i].second;
        SCOPED_TRACE(Hex(r.key));
        ASSERT_EQ(s_defaults[i].first, r.key);
        EXPECT_EQ(d.type, r.type);
        EXPECT_EQ(d.attr, r.attr);
        const int bits = DataTypeBits(r.type);
        if (bits == 0) {
            const int length = int(d.value.toUtf8().size());
            if (length > 0 && length % 7 == 0)
                stringOfWholeSegments = true;
            if (length % 7 != 0)
                stringWithShortSegment = true;
            continue;
        }
        bool ok = false;
        const qint64 value = d.value.toLongLong(&ok);
        ASSERT_TRUE(ok) << d.value.toStdString();
        const bool isSigned = !DataTypeIsUnsigned(r.type);
        const qint64 low = isSigned ? -(qint64(1) << (bits - 1)) : 0;
        const qint64 high = isSigned ? (qint64(1) << (bits - 1)) - 1 : (qint64(1) << bits) - 1;
        EXPECT_GE(value, low);
        EXPECT_LE(value, high);
    }
    // Segmented reads send 7 bytes per segment; both endings must occur in the shipped strings.
    EXPECT_TRUE(stringOfWholeSegments);
    EXPECT_TRUE(stringWithShortSegment);
    EXPECT_GT(s_constants.value(0x22000C), 0) << "encoder resolution";
}

TEST_F(ShippedData, UnitFormulasEvaluateAndConstantsExist)
{
    int converting = 0;
    for (const DatRecord& r : s_records) {
        SCOPED_TRACE(Hex(r.key) + " " + r.unit.toStdString());
        const QVector<UnitRecord> units = ParseUnitText(r.unit);
        if (r.unit.size() >= 3) {
            EXPECT_FALSE(units.isEmpty()) << "no unit record: no default unit";
        }
        for (const UnitRecord& u : units) {
            EXPECT_FALSE(u.name.isEmpty());
            for (const auto& constant : FormulaConstants(u.formula)) {
                const DatRecord* object = Find(constant.first);
                ASSERT_NE(object, nullptr) << "constant " << Hex(constant.first);
                EXPECT_EQ(DataTypeBits(object->type), constant.second) << Hex(constant.first);
                EXPECT_FALSE(object->attr.contains(QLatin1Char('L')))
                    << "constants are cached, a live value would go stale";
            }
            EXPECT_TRUE(Evaluate(u.formula, 1000.0, s_constants).has_value())
                << u.formula.toStdString();
            if (!u.label.isEmpty() && u.formula != QStringLiteral("N*1"))
                ++converting;
        }
    }
    EXPECT_GT(converting, 20);
}

// Writing through a unit applies the formula of the record named like the unit shown, so a
// writable converted unit needs a record of that name that undoes the display formula.
TEST_F(ShippedData, WritableUnitsRoundTrip)
{
    for (const DatRecord& r : s_records) {
        if (!r.attr.contains(QLatin1Char('W')) || DataTypeBits(r.type) == 0)
            continue;
        const QVector<UnitRecord> units = ParseUnitText(r.unit);
        for (const UnitRecord& shown : units) {
            if (shown.label.isEmpty() || shown.label == QStringLiteral("DEC"))
                continue;
            SCOPED_TRACE(Hex(r.key) + " unit " + shown.label.toStdString());
            int writers = 0;
            for (const UnitRecord& writer : units) {
                if (writer.name != shown.label)
                    continue;
                ++writers;
                for (const double typed : {1.5, 250.0}) {
                    const auto raw = Evaluate(writer.formula, typed, s_constants);
                    ASSERT_TRUE(raw.has_value());
                    const double truncated = std::trunc(*raw);
                    const auto back = Evaluate(shown.formula, truncated, s_constants);
                    const auto step = Evaluate(shown.formula, truncated + 1, s_constants);
                    ASSERT_TRUE(back.has_value() && step.has_value());
                    EXPECT_NEAR(*back, typed, std::fabs(*step - *back) + 1e-9)
                        << "typed " << typed << " writes raw " << truncated;
                }
            }
            EXPECT_GE(writers, 1) << "the unit can be shown but not written";
        }
    }
}

TEST_F(ShippedData, PageFilesNameKnownObjects)
{
    const QStringList pages = PageFiles();
    const QStringList required = {
        QStringLiteral("AnalogInput"),       QStringLiteral("AutoReverse"),
        QStringLiteral("BasicOperate"),      QStringLiteral("ClockSwing"),
        QStringLiteral("CurrentLoop"),       QStringLiteral("DriverProperty"),
        QStringLiteral("DriverConfig"),      QStringLiteral("ErrorHistory"),
        QStringLiteral("DinFunctionConfig"), QStringLiteral("HomingMode"),
        QStringLiteral("MotorConfig"),       QStringLiteral("PositionLoop"),
        QStringLiteral("MultiPositionMode"), QStringLiteral("PulseMode"),
        QStringLiteral("VelocityLoop"),      QStringLiteral("AnalogVelocityMode"),
        QStringLiteral("multiVelocityMode"), QStringLiteral("AnalogTorqueMode"),
        QStringLiteral("EtherCAT"),          QStringLiteral("PdoOther")};
    QStringList expected = required;
    for (int n = 1; n <= 8; ++n) {
        expected.append(QStringLiteral("RPDO%1").arg(n));
        expected.append(QStringLiteral("TPDO%1").arg(n));
    }
    for (const QString& page : expected)
        EXPECT_TRUE(pages.contains(page)) << page.toStdString();

    for (const QString& page : pages) {
        SCOPED_TRACE(page.toStdString());
        const CIniDocument doc(SysFile(page + QStringLiteral(".ini")));
        const int num = TextToLong(doc.Get(page, QStringLiteral("num"), QString(), 32));
        EXPECT_GT(num, 0);
        QSet<quint32> keys;
        bool polled = false;
        for (int i = 1; i <= num; ++i) {
            QString text;
            ASSERT_TRUE(doc.Value(page, QString::number(i), text)) << "key " << i;
            const quint32 key = quint32(HexTextToInt(text));
            EXPECT_FALSE(keys.contains(key)) << "listed twice: " << Hex(key);
            keys.insert(key);
            const DatRecord* r = Find(key);
            ASSERT_NE(r, nullptr) << "not in the dictionary: " << text.toStdString();
            polled = polled || r->attr.contains(QLatin1Char('L'));
        }
        EXPECT_EQ(doc.Keys(page).size(), num + 1) << "keys beyond num are never read";
        if (page == QStringLiteral("VelocityLoop") || page == QStringLiteral("CurrentLoop") ||
            page == QStringLiteral("PositionLoop") || page == QStringLiteral("BasicOperate")) {
            EXPECT_TRUE(polled) << "a loop page shows live values";
        }
    }
}

TEST_F(ShippedData, PdoPanelsShowTheirOwnObjects)
{
    for (int n = 1; n <= 8; ++n) {
        for (const bool receive : {true, false}) {
            const QString page = QString::fromLatin1(receive ? "RPDO%1" : "TPDO%1").arg(n);
            SCOPED_TRACE(page.toStdString());
            const quint32 comm = (receive ? 0x1400u : 0x1800u) + quint32(n - 1);
            const quint32 mapping = (receive ? 0x1600u : 0x1A00u) + quint32(n - 1);
            const CIniDocument doc(SysFile(page + QStringLiteral(".ini")));
            const int num = TextToLong(doc.Get(page, QStringLiteral("num"), QString(), 32));
            QSet<quint32> keys;
            for (int i = 1; i <= num; ++i)
                keys.insert(quint32(HexTextToInt(doc.Get(page, QString::number(i), {}, 32))));
            for (const quint32 key : keys)
                EXPECT_TRUE(key >> 8 == comm || key >> 8 == mapping) << Hex(key);
            EXPECT_TRUE(keys.contains(comm << 8 | 1)) << "COB-ID";
            for (quint32 sub = 0; sub <= 8; ++sub)
                EXPECT_TRUE(keys.contains(mapping << 8 | sub)) << "mapping entry " << sub;
        }
    }
}

TEST_F(ShippedData, OscilloscopeObjectsAreRecordable)
{
    const CIniDocument doc(SysFile(QStringLiteral("Oscilloscope.ini")));
    for (const QString& section : {QStringLiteral("trigger"), QStringLiteral("channel")}) {
        SCOPED_TRACE(section.toStdString());
        int count = 0;
        // The reader stops at the first key that gives 0, so every key up to the last counts.
        for (const QString& name : doc.Keys(section)) {
            ++count;
            EXPECT_EQ(name, QString::number(count)) << "keys must run from 1 without gaps";
            const quint32 key = quint32(HexTextToInt(doc.Get(section, name, {}, 32)));
            const DatRecord* r = Find(key);
            ASSERT_NE(r, nullptr) << Hex(key);
            const int bits = DataTypeBits(r->type);
            if (section == QStringLiteral("channel"))
                EXPECT_TRUE(bits == 16 || bits == 32) << Hex(key);
            else
                EXPECT_TRUE(bits == 8 || bits == 16 || bits == 32) << Hex(key);
        }
        EXPECT_GT(count, 3);
    }
}

TEST_F(ShippedData, NameFilesHaveBothLanguagesWithoutGaps)
{
    const CIniDocument errors(SysFile(QStringLiteral("RealTimeError.ini")));
    for (int bit = 1; bit <= 32; ++bit) {
        for (const char* prefix : {"chBit", "enBit"}) {
            const QString key =
                QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(bit, 2, 10, QLatin1Char('0'));
            const QString name = errors.Get(QStringLiteral("RealTimeError"), key, {}, 32);
            EXPECT_FALSE(name.isEmpty()) << key.toStdString();
            // The page reads at most 31 characters.
            EXPECT_EQ(name, errors.Get(QStringLiteral("RealTimeError"), key, {}, 1000))
                << key.toStdString();
        }
    }

    // The I/O page names mask bit b by key number b+1 and its dialog by row position, which
    // agree only when the keys run from 01 without gaps.
    const CIniDocument io(SysFile(QStringLiteral("DataInOut.ini")));
    for (const QString& section : {QStringLiteral("in"), QStringLiteral("out")}) {
        SCOPED_TRACE(section.toStdString());
        int counts[2] = {0, 0};
        const char* prefixes[2] = {"chBit", "enBit"};
        for (int p = 0; p < 2; ++p) {
            for (int number = 0; number <= 32; ++number) {
                QString value;
                const QString key = QStringLiteral("%1%2")
                                        .arg(QLatin1String(prefixes[p]))
                                        .arg(number, 2, 10, QLatin1Char('0'));
                if (io.Value(section, key, value) && !value.isEmpty()) {
                    EXPECT_EQ(number, counts[p] + 1) << key.toStdString();
                    ++counts[p];
                }
            }
        }
        EXPECT_GE(counts[0], 8);
        EXPECT_EQ(counts[0], counts[1]);
        EXPECT_LE(counts[0], 32);
    }
}
