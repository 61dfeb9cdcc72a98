#pragma once

#include "DatabaseLayout.h"
#include "SdoRecord.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// What a load made of a database file, measured against the file's size, so that a damaged
// file is named instead of giving part of a dictionary without a word.
struct CDatabaseLoadReport
{
    bool opened = false;
    qint64 fileSize = 0;
    int recordsRead = 0;
    int endMarkAt = -1;        // position of a record with index 0 that is not the last one
    int recordsBehindMark = 0; // whole records after that end mark, never read
    qint64 leftoverBytes = 0;  // bytes after the last whole record (truncated or misaligned)
    QVector<int> misaligned;   // records whose index or subindex field is not hexadecimal text
    QVector<uint32_t> duplicateKeys; // keys that a later record repeats, each named once
    bool checked = false;            // a check file was found and the file matched it
    QString checkProblem;            // the file does not match its check: nothing was loaded

    bool clean() const
    {
        return opened && checkProblem.isEmpty() && endMarkAt < 0 && leftoverBytes == 0 &&
               misaligned.isEmpty() && duplicateKeys.isEmpty();
    }
    // One operator text per problem, naming the file by fileName.
    QStringList Problems(const QString& fileName) const;
};

// The program's copy of the drive's object dictionary, read once from data/velmor.dat by a
// loading thread. The caller decides the file and the language; the database reads no settings.
// Lookups are safe while the thread appends; the first record of a key wins.
class CSdoDatabase
{
public:
    static constexpr int kRecordSize = DatabaseLayout::kRecordSize;

    CSdoDatabase() = default;
    virtual ~CSdoDatabase();
    CSdoDatabase(const CSdoDatabase&) = delete;
    CSdoDatabase& operator=(const CSdoDatabase&) = delete;

    // Starts the loading thread for the file, keeping the Chinese texts for language 1 and the
    // English ones for any other value. Does nothing when a loader was already started.
    void StartLoading(const QString& path, uint8_t language);
    bool loadingStarted() const;

    bool Lookup(uint32_t key, CSdoRecord& out) const;
    bool GetAt(int position, CSdoRecord& out) const;
    int GetCount() const;

    // Reads a database file and reports "Couldn't load DB file!! \n" when it cannot be opened,
    // and every problem of the report otherwise. When the file has a check beside it (see
    // DatabaseCheck), a file that does not match it loads no record at all.
    bool LoadFile(const QString& path, uint8_t language);
    // Appends the records held in the bytes of a database file; a truncated tail is dropped.
    CDatabaseLoadReport LoadBytes(const QByteArray& bytes, uint8_t language);
    // The report of the latest LoadFile (opened false before any).
    CDatabaseLoadReport LoadReport() const;

    // Blocks until the loading thread has ended or the timeout (ms) ran out; true when ended or
    // when no loader was started.
    bool WaitUntilLoaded(int timeoutMs) const;
    // Ends a loader that still reads, and joins it; the destructor does it too.
    void StopLoading();

    QString sectionPrefix = QStringLiteral("Drivara:");
    QString projectWritePath;
    QString projectReadPath;

private:
    void Append(std::vector<CSdoRecord>& batch, CDatabaseLoadReport& report);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_loadedCv;
    bool m_loading = false;
    bool m_started = false;
    std::vector<CSdoRecord> m_records;
    QHash<uint32_t, int> m_firstByKey;
    CDatabaseLoadReport m_report;
    std::atomic<bool> m_stop{false};
    std::thread m_loader;
};
