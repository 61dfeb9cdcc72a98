#pragma once

#include "SdoRecord.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// What the loading thread needs from its owner: where the files are and the language byte.
class IDictionaryHost
{
public:
    virtual ~IDictionaryHost() = default;
    virtual QString SysIniPath() const = 0; // empty while the paths are not set yet
    virtual QString DatabasePath() const = 0;
    virtual uint8_t ProgramLanguage() const = 0;
    virtual void SetProgramLanguage(uint8_t language) = 0;
    virtual bool IsChineseSystem() const = 0; // system locale Chinese (China), identifier 2052
};

// The program's copy of the drive's object dictionary, read once from data/velmor.dat by a
// loading thread that the constructor starts. Lookups are safe while the thread appends; the
// first record of a key wins.
class CSdoDatabase
{
public:
    static constexpr int kRecordSize = 4514;

    // Starts the loading thread when host is given; without a host the database stays empty
    // until LoadFile or StartLoading is called.
    explicit CSdoDatabase(IDictionaryHost* host = nullptr);
    // Starts the loading thread for a host that is fully built (an owner that is itself the host
    // starts it from its constructor body). Does nothing when a loader already runs.
    void StartLoading(IDictionaryHost* host);
    virtual ~CSdoDatabase();
    CSdoDatabase(const CSdoDatabase&) = delete;
    CSdoDatabase& operator=(const CSdoDatabase&) = delete;

    bool Lookup(uint32_t key, CSdoRecord& out) const;
    bool GetAt(int position, CSdoRecord& out) const;
    int GetCount() const;

    // Reads a database file, keeping the Chinese texts for language 1 and the English ones
    // otherwise. Reports "Couldn't load DB file!! \n" when it cannot be opened.
    bool LoadFile(const QString& path, uint8_t language);
    // Appends the records held in the bytes of a database file; a truncated tail is dropped.
    void LoadBytes(const QByteArray& bytes, uint8_t language);

    // Blocks until the loading thread has ended or the timeout (ms) ran out; true when ended or
    // when no loader was started.
    bool WaitUntilLoaded(int timeoutMs) const;
    // Ends a loader that still waits or reads, and joins it. An owner that is itself the host
    // calls this before its members go away; the destructor does it too.
    void StopLoading();

    QString sectionPrefix = QStringLiteral("Drivara:");
    QString projectWritePath;
    QString projectReadPath;

private:
    void LoaderThread();
    // Waits until sys.ini names a language and stores it; false when stopped first.
    bool AwaitLanguage(uint8_t& language);
    // Sleeps unless stopped; false when stopped.
    bool Pause(int ms);
    void Append(std::vector<CSdoRecord>& batch);

    IDictionaryHost* m_host = nullptr;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_loadedCv;
    std::condition_variable m_wakeCv;
    bool m_loading = false;
    std::vector<CSdoRecord> m_records;
    QHash<uint32_t, int> m_firstByKey;
    std::atomic<bool> m_stop{false};
    std::thread m_loader;
};
