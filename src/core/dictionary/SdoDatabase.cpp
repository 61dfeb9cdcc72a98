#include "SdoDatabase.h"

#include "base/IniFile.h"
#include "base/Report.h"
#include "base/TextNumbers.h"

#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <system_error>

namespace {

// Field widths of one database record, in file order.
constexpr int kIndexWidth = 4;
constexpr int kSubindexWidth = 2;
constexpr int kNameWidth = 64;
constexpr int kDataTypeWidth = 16;
constexpr int kAttributeWidth = 8;
constexpr int kHelpWidth = 2048;
constexpr int kUnitWidth = 256;
constexpr int kModbusWidth = 4;
static_assert(kIndexWidth + kSubindexWidth + 2 * kNameWidth + kDataTypeWidth + kAttributeWidth +
                      2 * kHelpWidth + kUnitWidth + kModbusWidth ==
                  CSdoDatabase::kRecordSize,
              "record layout");

// Records parsed between two appends: small enough that lookups see the dictionary grow while it
// loads, large enough that the lock is rarely taken.
constexpr size_t kBatchSize = 64;

constexpr int kLanguagePollMs = 100;
constexpr int kWaitLanguagePollMs = 30;

// Reads the fields of the file one after the other, as a sequence of fixed-width reads would:
// at the end of the data a field takes what is left, and a field with nothing left ends the
// record. A value ends at the first NUL inside its field.
class CFieldReader
{
public:
    explicit CFieldReader(const QByteArray& bytes) : m_data(bytes.constData()), m_size(bytes.size())
    {
    }

    bool Next(int width)
    {
        if (m_pos >= m_size)
            return false;
        m_field = m_data + m_pos;
        const qsizetype available = std::min<qsizetype>(width, m_size - m_pos);
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

private:
    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
    const char* m_field = nullptr;
    qsizetype m_length = 0;
};

// Parses one record into out; false when the data ends before every field got a byte or when
// the index is 0 (the end mark).
bool ReadRecord(CFieldReader& reader, bool chinese, CSdoRecord& out)
{
    if (!reader.Next(kIndexWidth))
        return false;
    out.index = reader.Hex();
    if (out.index == 0)
        return false;
    if (!reader.Next(kSubindexWidth))
        return false;
    out.subindex = static_cast<uint8_t>(reader.Hex() & 0xFF);
    out.key = MakeObjectKey(out.index, out.subindex);

    // Only the texts of the language in use are kept; the other pair is skipped.
    if (!reader.Next(kNameWidth))
        return false;
    if (chinese)
        out.name = reader.Text();
    if (!reader.Next(kNameWidth))
        return false;
    if (!chinese)
        out.name = reader.Text();
    if (!reader.Next(kDataTypeWidth))
        return false;
    out.dataType = reader.Text();
    if (!reader.Next(kAttributeWidth))
        return false;
    out.attribute = reader.Text();
    if (!reader.Next(kHelpWidth))
        return false;
    if (chinese)
        out.help = reader.Text();
    if (!reader.Next(kHelpWidth))
        return false;
    if (!chinese)
        out.help = reader.Text();
    if (!reader.Next(kUnitWidth))
        return false;
    out.unitText = reader.Text();
    if (!reader.Next(kModbusWidth))
        return false;
    out.modbusAddress = reader.Hex();
    return true;
}

} // namespace

CSdoDatabase::CSdoDatabase(IDictionaryHost* host)
{
    if (host)
        StartLoading(host);
}

CSdoDatabase::~CSdoDatabase()
{
    StopLoading();
}

void CSdoDatabase::StartLoading(IDictionaryHost* host)
{
    if (!host || m_loader.joinable())
        return;
    m_host = host;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_loading = true;
    }
    try {
        m_loader = std::thread(&CSdoDatabase::LoaderThread, this);
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_loading = false;
        }
        m_loadedCv.notify_all();
        ReportMessage(QStringLiteral("Create Load SDO thread failure! \n"));
    }
}

void CSdoDatabase::StopLoading()
{
    {
        // Set under the lock so that a loader between its check and its wait cannot miss it.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wakeCv.notify_all();
    if (m_loader.joinable())
        m_loader.join();
    // The database stays usable for LoadFile.
    m_stop = false;
}

bool CSdoDatabase::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_wakeCv.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return m_stop.load(); });
}

bool CSdoDatabase::AwaitLanguage(uint8_t& language)
{
    // The owner may still be setting its paths, and sys.ini may not hold a language yet.
    for (;;) {
        if (m_stop)
            return false;
        const QString iniPath = m_host->SysIniPath();
        const QString text = iniPath.isEmpty()
                                 ? QString()
                                 : Ini::GetProfileString(iniPath, QStringLiteral("sys"),
                                                         QStringLiteral("lang"), QString(), 4);
        if (!text.isEmpty()) {
            language = static_cast<uint8_t>(TextToLong(text));
            m_host->SetProgramLanguage(language);
            return true;
        }
        if (!Pause(kLanguagePollMs))
            return false;
    }
}

void CSdoDatabase::LoaderThread()
{
    uint8_t language = 0;
    if (AwaitLanguage(language)) {
        bool go = true;
        if (language == 1 && !m_host->IsChineseSystem()) {
            m_host->SetProgramLanguage(2);
        } else {
            // Language 3 holds the dictionary back until start-up has settled the language; the
            // owner's byte is polled, since start-up writes it there.
            while (go && m_host->ProgramLanguage() == 3)
                go = Pause(kWaitLanguagePollMs);
        }
        if (go)
            LoadFile(m_host->DatabasePath(), m_host->ProgramLanguage());
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_loading = false;
    }
    m_loadedCv.notify_all();
}

bool CSdoDatabase::LoadFile(const QString& path, uint8_t language)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        ReportMessage(QStringLiteral("Couldn't load DB file!! \n"));
        return false;
    }
    // One read of the whole file; the records are then cut out of memory.
    const QByteArray bytes = file.readAll();
    file.close();
    LoadBytes(bytes, language);
    return true;
}

void CSdoDatabase::LoadBytes(const QByteArray& bytes, uint8_t language)
{
    const bool chinese = language == 1;
    CFieldReader reader(bytes);
    std::vector<CSdoRecord> batch;
    batch.reserve(kBatchSize);
    while (!m_stop) {
        batch.emplace_back();
        if (!ReadRecord(reader, chinese, batch.back())) {
            batch.pop_back();
            break;
        }
        if (batch.size() == kBatchSize)
            Append(batch);
    }
    Append(batch);
}

void CSdoDatabase::Append(std::vector<CSdoRecord>& batch)
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
            m_records.push_back(std::move(record));
        }
    }
    batch.clear();
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
