#include "SdoDatabase.h"

#include "DatabaseCheck.h"
#include "base/Report.h"
#include "base/TextNumbers.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <system_error>

using namespace DatabaseLayout;

namespace {

// Records parsed between two appends: small enough that lookups see the dictionary grow while it
// loads, large enough that the lock is rarely taken.
constexpr size_t kBatchSize = 64;
// Problems name at most this many records or keys; the rest are counted.
constexpr int kListedAtMost = 8;

// Reads the fields of the file one after the other, as a sequence of fixed-width reads would:
// at the end of the data a field takes what is left, and a field with nothing left ends the
// record. A value ends at the first NUL inside its field.
class CFieldReader
{
public:
    explicit CFieldReader(const QByteArray& bytes) : m_data(bytes.constData()), m_size(bytes.size())
    {
    }

    bool Next(Field field)
    {
        if (m_pos >= m_size)
            return false;
        m_field = m_data + m_pos;
        const qsizetype available = std::min<qsizetype>(Width(field), m_size - m_pos);
        m_pos += available;
        const void* nul = std::memchr(m_field, 0, static_cast<size_t>(available));
        m_length = nul ? static_cast<const char*>(nul) - m_field : available;
        return true;
    }

    // Texts are UTF-8; invalid bytes become replacement characters.
    QString Text() const { return QString::fromUtf8(m_field, m_length); }
    uint32_t Hex() const
    {
        return static_cast<uint32_t>(HexTextToInt(QString::fromLatin1(m_field, m_length)));
    }
    // Hexadecimal digits and blanks only: anything else means the field is not where a record's
    // field should be (a byte too many or too few earlier in the file).
    bool LooksHex() const
    {
        for (qsizetype i = 0; i < m_length; ++i) {
            const char c = m_field[i];
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ' ')
                return false;
        }
        return true;
    }

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    const char* m_field = nullptr;
    qsizetype m_length = 0;
};

enum class RecordEnd
{
    Complete,
    EndMark, // index 0
    DataEnded
};

// Parses one record into out.
RecordEnd ReadRecord(CFieldReader& reader, bool chinese, CSdoRecord& out, bool& looksHex)
{
    if (!reader.Next(Index))
        return RecordEnd::DataEnded;
    out.index = reader.Hex();
    looksHex = reader.LooksHex();
    if (out.index == 0)
        return RecordEnd::EndMark;
    if (!reader.Next(Subindex))
        return RecordEnd::DataEnded;
    out.subindex = static_cast<uint8_t>(reader.Hex() & 0xFF);
    looksHex = looksHex && reader.LooksHex();
    out.key = MakeObjectKey(out.index, out.subindex);

    // Only the texts of the language in use are kept; the other pair is skipped.
    const struct
    {
        Field field;
        QString* target;
    } texts[] = {
        {NameChinese, chinese ? &out.name : nullptr},
        {NameEnglish, chinese ? nullptr : &out.name},
        {DataType, &out.dataType},
        {Attribute, &out.attribute},
        {HelpChinese, chinese ? &out.help : nullptr},
        {HelpEnglish, chinese ? nullptr : &out.help},
        {UnitText, &out.unitText},
    };
    for (const auto& text : texts) {
        if (!reader.Next(text.field))
            return RecordEnd::DataEnded;
        if (text.target)
            *text.target = reader.Text();
    }
    if (!reader.Next(Modbus))
        return RecordEnd::DataEnded;
    out.modbusAddress = reader.Hex();
    return RecordEnd::Complete;
}

QString KeyText(uint32_t key)
{
    return QStringLiteral("%1").arg(key & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

template <typename T, typename F> QString ListSome(const QVector<T>& items, F text)
{
    QStringList shown;
    for (int i = 0; i < items.size() && i < kListedAtMost; ++i)
        shown.append(text(items[i]));
    QString list = shown.join(QStringLiteral(", "));
    if (items.size() > kListedAtMost)
        list += QStringLiteral(" and %1 more").arg(items.size() - kListedAtMost);
    return list;
}

} // namespace

QStringList CDatabaseLoadReport::Problems(const QString& fileName) const
{
    QStringList problems;
    if (!checkProblem.isEmpty())
        problems.append(checkProblem);
    if (leftoverBytes != 0) {
        problems.append(QStringLiteral("%1 is %2 bytes, not a whole number of %3-byte records: it "
                                       "is truncated or misaligned; %4 records were read and the "
                                       "last %5 bytes ignored.")
                            .arg(fileName)
                            .arg(fileSize)
                            .arg(kRecordSize)
                            .arg(recordsRead)
                            .arg(leftoverBytes));
    }
    if (endMarkAt >= 0) {
        problems.append(QStringLiteral("%1: record %2 has index 0, which ends the dictionary; the "
                                       "%3 records behind it were not read.")
                            .arg(fileName)
                            .arg(endMarkAt + 1)
                            .arg(recordsBehindMark));
    }
    if (!misaligned.isEmpty()) {
        problems.append(
            QStringLiteral("%1: record %2 does not start where a record should (its index is not "
                           "hexadecimal text); the file is misaligned.")
                .arg(fileName, ListSome(misaligned, [](int n) { return QString::number(n + 1); })));
    }
    if (!duplicateKeys.isEmpty()) {
        problems.append(QStringLiteral("%1: objects %2 are defined more than once; the first "
                                       "record of each is used.")
                            .arg(fileName, ListSome(duplicateKeys, KeyText)));
    }
    return problems;
}

CSdoDatabase::~CSdoDatabase()
{
    StopLoading();
}

void CSdoDatabase::StartLoading(const QString& path, uint8_t language)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_started)
            return;
        m_started = true;
        m_loading = true;
    }
    try {
        m_loader = std::thread([this, path, language] {
            LoadFile(path, language);
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_loading = false;
            }
            m_loadedCv.notify_all();
        });
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_loading = false;
        }
        m_loadedCv.notify_all();
        ReportMessage(QStringLiteral("Create Load SDO thread failure! \n"));
    }
}

bool CSdoDatabase::loadingStarted() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_started;
}

void CSdoDatabase::StopLoading()
{
    m_stop = true;
    if (m_loader.joinable())
        m_loader.join();
    // The database stays usable for LoadFile.
    m_stop = false;
}

bool CSdoDatabase::LoadFile(const QString& path, uint8_t language)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_report = CDatabaseLoadReport();
        }
        ReportMessage(QStringLiteral("Couldn't load DB file!! \n"));
        return false;
    }
    // One read of the whole file; the records are then cut out of memory.
    const QByteArray bytes = file.readAll();
    file.close();
    const QFileInfo info(path);
    const QString checkPath = DatabaseCheck::PathFor(path);
    const bool hasCheck = QFileInfo::exists(checkPath);
    CDatabaseLoadReport report;
    if (hasCheck) {
        // A database that is not the one that was built gives no dictionary rather than a part
        // of one that passes for whole.
        QFile checkFile(checkPath);
        QByteArray check;
        if (checkFile.open(QIODevice::ReadOnly))
            check = checkFile.read(DatabaseCheck::kMaxCheckSize + 1);
        if (check.size() > DatabaseCheck::kMaxCheckSize)
            check.clear();
        report.checkProblem =
            DatabaseCheck::Verify(check, bytes, info.fileName(), QFileInfo(checkPath).fileName());
    }
    if (report.checkProblem.isEmpty()) {
        report = LoadBytes(bytes, language);
        report.checked = hasCheck;
    } else {
        report.opened = true;
        report.fileSize = bytes.size();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_report = report;
    }
    for (const QString& problem : report.Problems(info.fileName()))
        ReportMessage(problem);
    return true;
}

CDatabaseLoadReport CSdoDatabase::LoadBytes(const QByteArray& bytes, uint8_t language)
{
    CDatabaseLoadReport report;
    report.opened = true;
    report.fileSize = bytes.size();
    const bool chinese = language == 1;
    CFieldReader reader(bytes);
    std::vector<CSdoRecord> batch;
    batch.reserve(kBatchSize);
    const int wholeRecords =
        static_cast<int>(std::min<qint64>(bytes.size() / kRecordSize, INT32_MAX));
    for (int position = 0; !m_stop; ++position) {
        batch.emplace_back();
        bool looksHex = true;
        const RecordEnd end = ReadRecord(reader, chinese, batch.back(), looksHex);
        if (!looksHex)
            report.misaligned.append(position);
        if (end != RecordEnd::Complete) {
            batch.pop_back();
            if (end == RecordEnd::EndMark && position + 1 < wholeRecords) {
                report.endMarkAt = position;
                report.recordsBehindMark = wholeRecords - position - 1;
            }
            break;
        }
        ++report.recordsRead;
        if (batch.size() == kBatchSize)
            Append(batch, report);
    }
    Append(batch, report);
    // Only the bytes up to an end mark were meant to be read; without one, the file must hold
    // whole records.
    if (report.endMarkAt < 0)
        report.leftoverBytes = bytes.size() % kRecordSize;
    return report;
}

void CSdoDatabase::Append(std::vector<CSdoRecord>& batch, CDatabaseLoadReport& report)
{
    if (batch.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (CSdoRecord& record : batch) {
            // The first record of a key wins; later ones stay reachable by position.
            const int position = static_cast<int>(m_records.size());
            if (!m_firstByKey.contains(record.key))
                m_firstByKey.insert(record.key, position);
            else if (!report.duplicateKeys.contains(record.key))
                report.duplicateKeys.append(record.key);
            m_records.push_back(std::move(record));
        }
    }
    batch.clear();
}

CDatabaseLoadReport CSdoDatabase::LoadReport() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_report;
}

bool CSdoDatabase::Lookup(uint32_t key, CSdoRecord& out) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_firstByKey.constFind(key);
    if (it == m_firstByKey.constEnd())
        return false;
    out = m_records[static_cast<size_t>(*it)];
    return true;
}

bool CSdoDatabase::GetAt(int position, CSdoRecord& out) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (position < 0 || static_cast<size_t>(position) >= m_records.size())
        return false;
    out = m_records[static_cast<size_t>(position)];
    return true;
}

int CSdoDatabase::GetCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_records.size());
}

bool CSdoDatabase::WaitUntilLoaded(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_loadedCv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [this] { return !m_loading; });
}
