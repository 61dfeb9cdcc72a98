// The data that ships with the program, read as the program reads it: the dictionary built from
// data/velmor.tsv, the virtual drive's defaults (the drive constants) and the files under sys/.

#include "TestSupport.h"

#include "base/IniFile.h"
#include "base/TextNumbers.h"
#include "dictionary/SdoDatabase.h"
#include "units/FormulaEvaluator.h"
#include "units/UnitTable.h"
#include "windows/WindowRegistry.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <cmath>

namespace {

std::string Hex(quint32 key)
{
    return QString::number(key, 16).toUpper().rightJustified(6, QLatin1Char('0')).toStdString();
}

CIniDocument SysFile(const QString& name)
{
    return CIniDocument(TestSupport::SourceDir() + QStringLiteral("/sys/") + name);
}

// The shipped dictionary, and its numeric defaults as the constants that formulas read.
struct Shipped
{
    Shipped()
    {
        const QString data = TestSupport::DistDir() + QStringLiteral("/data/");
        QFile defaults(data + QStringLiteral("velmor-defaults.tsv"));
        // Whole records, no end mark inside, every key once, and the check built with it.
        loaded = dictionary.LoadFile(data + QStringLiteral("velmor.dat"), 2) &&
                 dictionary.GetCount() >= 250 && dictionary.LoadReport().clean() &&
                 dictionary.LoadReport().checked && defaults.open(QIODevice::ReadOnly);
        while (loaded && !defaults.atEnd()) {
            const QList<QByteArray> f = defaults.readLine().trimmed().split('\t');
            if (f.size() == 4 && DataTypeBits(QString::fromLatin1(f[1])) != 0)
                constants.AddConst(quint32(HexTextToInt(QString::fromLatin1(f[0]))),
                                   int32_t(f[3].toLongLong()));
        }
    }
    CSdoDatabase dictionary;
    CFormulaEvaluator constants;
    bool loaded = false;
};

class ShippedData : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(Data().loaded); }
    static Shipped& Data()
    {
        static Shipped shipped;
        return shipped;
    }
    static bool Find(quint32 key, CSdoRecord& record)
    {
        return Data().dictionary.Lookup(key, record);
    }
};

} // namespace

// Formulas are read strictly left to right with one trailing + or -; anything the evaluator
// would misread or drop must not ship. Writing through a unit applies the formula of the record
// named like the unit shown, which must give back the typed value.
TEST_F(ShippedData, UnitFormulasReadTheirConstantsAndWriteBackTheTypedValue)
{
    static const QString operand =
        QStringLiteral(R"((?:N|\d+(?:\.\d+)?|\[[0-9A-F]{8}\]|sqrt\(N[*/+-]\d+\)))");
    static const QRegularExpression grammar(
        QStringLiteral("^%1(?:[*/]%1)*(?:[+-]%1)?$").arg(operand));
    static const QRegularExpression constant(QStringLiteral(R"(\[([0-9A-F]{6})([0-9A-F]{2})\])"));
    CFormulaEvaluator& evaluator = Data().constants;

    int roundTrips = 0;
    CSdoRecord r;
    for (int i = 0; Data().dictionary.GetAt(i, r); ++i) {
        SCOPED_TRACE(Hex(r.key) + " " + r.unitText.toStdString());
        // mkdict turns help escapes into line breaks; none may ship as "\n" text.
        EXPECT_FALSE(r.name.isEmpty() || r.help.isEmpty() ||
                     r.help.contains(QStringLiteral("\\n")));
        const QVector<CUnitRecord> units = CUnitTable::ParseUnitText(r.unitText);
        EXPECT_TRUE(r.unitText.size() < 3 || !units.isEmpty()) << "no default unit";
        for (const CUnitRecord& unit : units) {
            EXPECT_FALSE(unit.name.isEmpty());
            EXPECT_TRUE(grammar.match(unit.formula).hasMatch()) << unit.formula.toStdString();
            // A square root takes the first of * / + - found after it, even past its ")".
            const int sqrt = unit.formula.indexOf(QStringLiteral("sqrt("));
            for (const QChar op : QStringLiteral("*/+-")) {
                if (sqrt >= 0 && unit.formula.indexOf(op, sqrt) >= 0) {
                    EXPECT_EQ(op, unit.formula.at(sqrt + 6)) << unit.formula.toStdString();
                    break;
                }
            }
            for (auto it = constant.globalMatch(unit.formula); it.hasNext();) {
                const auto match = it.next();
                const quint32 key = quint32(HexTextToInt(match.captured(1)));
                CSdoRecord object;
                ASSERT_TRUE(Find(key, object)) << "constant " << Hex(key);
                EXPECT_EQ(DataTypeBits(object.dataType), HexTextToInt(match.captured(2)));
                EXPECT_FALSE(object.attribute.contains(QLatin1Char('L')))
                    << "constants are cached, a live value would go stale";
                EXPECT_TRUE(evaluator.ConstExists(key)) << "no default for " << Hex(key);
            }
        }
        if (!r.attribute.contains(QLatin1Char('W')) || DataTypeBits(r.dataType) == 0)
            continue;
        for (const CUnitRecord& shown : units) {
            if (shown.label.isEmpty() || shown.label == QStringLiteral("DEC"))
                continue;
            SCOPED_TRACE("unit " + shown.label.toStdString());
            int writers = 0;
            for (const CUnitRecord& writer : units) {
                if (writer.name != shown.label)
                    continue;
                ++writers;
                for (const double typed : {1.5, 250.0}) {
                    int32_t raw = 0;
                    double back = 0.0;
                    double step = 0.0;
                    ASSERT_TRUE(evaluator.EvaluateToInteger(kNoWindow, writer.formula, typed, raw));
                    ASSERT_TRUE(evaluator.EvaluateToDouble(kNoWindow, shown.formula, raw, back));
                    ASSERT_TRUE(
                        evaluator.EvaluateToDouble(kNoWindow, shown.formula, raw + 1.0, step));
                    EXPECT_NEAR(back, typed, std::fabs(step - back) + 1e-9)
                        << "typed " << typed << " writes raw " << raw;
                    ++roundTrips;
                }
            }
            EXPECT_GE(writers, 1) << "the unit can be shown but not written";
        }
    }
    EXPECT_GT(roundTrips, 40);
}

TEST_F(ShippedData, PageFilesNameKnownObjects)
{
    for (const QString& page : ParameterPageNames()) {
        SCOPED_TRACE(page.toStdString());
        if (FindParameterPage(page)->standardDrive)
            continue; // MkdictTest checks them against a device description's dictionary
        const CIniDocument doc = SysFile(page + QStringLiteral(".ini"));
        const int num = TextToLong(doc.Get(page, QStringLiteral("num"), QString(), 32));
        ASSERT_GT(num, 0);
        EXPECT_EQ(doc.Keys(page).size(), num + 1) << "keys beyond num are never read";
        QSet<quint32> keys;
        bool polled = false;
        for (int i = 1; i <= num; ++i) {
            QString text;
            ASSERT_TRUE(doc.Value(page, QString::number(i), text)) << "key " << i;
            const quint32 key = quint32(HexTextToInt(text));
            EXPECT_FALSE(keys.contains(key)) << "listed twice: " << Hex(key);
            keys.insert(key);
            CSdoRecord r;
            ASSERT_TRUE(Find(key, r)) << "not in the dictionary: " << text.toStdString();
            // Every row shows a value: a drive refuses to read an object without "R".
            EXPECT_TRUE(r.attribute.contains(QLatin1Char('R'))) << text.toStdString();
            polled = polled || r.attribute.contains(QLatin1Char('L'));
        }
        const QStringList loops{"VelocityLoop", "CurrentLoop", "PositionLoop", "BasicOperate"};
        EXPECT_TRUE(polled || !loops.contains(page)) << "a loop page shows live values";

        // A PDO panel shows its own communication (COB-ID) and mapping (0-8) objects only.
        const bool receive = page.startsWith(QStringLiteral("RPDO"));
        if (!receive && !page.startsWith(QStringLiteral("TPDO")))
            continue;
        const quint32 n = quint32(page.mid(4).toInt()) - 1;
        const quint32 comm = (receive ? 0x1400u : 0x1800u) + n;
        const quint32 mapping = (receive ? 0x1600u : 0x1A00u) + n;
        for (const quint32 key : keys)
            EXPECT_TRUE(key >> 8 == comm || key >> 8 == mapping) << Hex(key);
        EXPECT_TRUE(keys.contains(comm << 8 | 1)) << "COB-ID";
        for (quint32 sub = 0; sub <= 8; ++sub)
            EXPECT_TRUE(keys.contains(mapping << 8 | sub)) << "mapping entry " << sub;
    }
}

TEST_F(ShippedData, OscilloscopeObjectsAreRecordable)
{
    const CIniDocument doc = SysFile(QStringLiteral("Oscilloscope.ini"));
    for (const QString& section : {QStringLiteral("trigger"), QStringLiteral("channel")}) {
        SCOPED_TRACE(section.toStdString());
        const QStringList names = doc.Keys(section);
        EXPECT_GT(names.size(), 3);
        for (int i = 0; i < names.size(); ++i) {
            // Reading stops at the first key that gives 0, so the keys run from 1 without gaps.
            EXPECT_EQ(names[i], QString::number(i + 1));
            const quint32 key = quint32(HexTextToInt(doc.Get(section, names[i], {}, 32)));
            CSdoRecord r;
            ASSERT_TRUE(Find(key, r)) << Hex(key);
            const int bits = DataTypeBits(r.dataType);
            EXPECT_TRUE(bits == 16 || bits == 32 || (bits == 8 && section == "trigger"))
                << Hex(key) << " " << bits;
        }
    }
}

TEST_F(ShippedData, BitNamesInBothLanguagesWithoutGaps)
{
    // The error page reads at most 31 characters of each of its 32 bit names.
    const CIniDocument errors = SysFile(QStringLiteral("RealTimeError.ini"));
    for (int bit = 1; bit <= 32; ++bit) {
        for (const char* prefix : {"chBit%1", "enBit%1"}) {
            const QString key = QString::fromLatin1(prefix).arg(bit, 2, 10, QLatin1Char('0'));
            const QString name = errors.Get(QStringLiteral("RealTimeError"), key, {}, 32);
            EXPECT_FALSE(name.isEmpty()) << key.toStdString();
            EXPECT_EQ(name, errors.Get(QStringLiteral("RealTimeError"), key, {}, 1000))
                << key.toStdString();
        }
    }

    // The I/O page names mask bit b by key number b+1 and its dialog by row position, which
    // agree only when the keys run from 01 without gaps.
    const CIniDocument io = SysFile(QStringLiteral("DataInOut.ini"));
    for (const QString& section : {QStringLiteral("in"), QStringLiteral("out")}) {
        SCOPED_TRACE(section.toStdString());
        int named[2] = {0, 0};
        for (const QString& key : io.Keys(section)) {
            const int language = QStringList({"chBit", "enBit"}).indexOf(key.left(5));
            if (language >= 0 && !io.Get(section, key, {}, 256).isEmpty())
                ++named[language];
        }
        EXPECT_TRUE(named[0] == named[1] && named[0] >= 8 && named[0] <= 32);
        for (int n = 1; n <= named[0]; ++n) {
            const QString number = QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
            EXPECT_FALSE(io.Get(section, "chBit" + number, {}, 256).isEmpty() ||
                         io.Get(section, "enBit" + number, {}, 256).isEmpty())
                << number.toStdString();
        }
    }
}
