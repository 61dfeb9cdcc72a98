#pragma once

#include "DatabaseRecord.h"
#include "dictionary/SdoDatabase.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

namespace DictionaryFiles {

using RecordFields = TestSupport::DatabaseRecordFields;

inline QByteArray BuildRecord(const RecordFields& fields)
{
    return TestSupport::BuildDatabaseRecord(fields);
}

// A record whose texts all carry its number, so that any record seen can be checked.
RecordFields NumberedRecord(int number);
// The record the loader must make of NumberedRecord(number) in the language.
CSdoRecord ExpectedRecord(int number, bool chinese);
bool SameRecord(const CSdoRecord& a, const CSdoRecord& b);
inline bool IsNumberedRecord(const CSdoRecord& record, int number, bool chinese)
{
    return SameRecord(record, ExpectedRecord(number, chinese));
}

bool WriteFile(const QString& path, const QByteArray& bytes);

// A stand-in for the program-wide data object as the loading thread sees it.
class CFakeHost : public IDictionaryHost
{
public:
    explicit CFakeHost(bool chineseSystem) : m_chinese(chineseSystem) {}

    QString SysIniPath() const override;
    QString DatabasePath() const override;
    uint8_t ProgramLanguage() const override { return m_language; }
    void SetProgramLanguage(uint8_t language) override { m_language = language; }
    bool IsChineseSystem() const override { return m_chinese; }

    void SetPaths(const QString& sysIni, const QString& database);

private:
    mutable std::mutex m_mutex;
    QString m_sysIni;
    QString m_database;
    std::atomic<uint8_t> m_language{0};
    const bool m_chinese;
};

} // namespace DictionaryFiles
