#pragma once

#include "TestSupport.h"

#include "app/Report.h"
#include "app/SysData.h"
#include "comm/MessageLayer.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <mutex>
#include <vector>

namespace PageTest {

// One object of a crafted dictionary; value is the virtual drive's starting value (decimal for
// numbers, the text itself for strings).
struct ObjectDef
{
    uint32_t key = 0;
    QByteArray name;
    QByteArray dataType;
    QByteArray attribute;
    QByteArray unitText;
    QByteArray help;
    uint16_t modbus = 0;
    QByteArray value = "0";
};

// The objects the page tests use (keys 0x3001xx.. and 0x3100xx; the statusword for help).
QVector<ObjectDef> StandardObjects();
constexpr uint32_t kMaxSpeed = 0x300100;    // U16 RW, modbus 0x1A2B
constexpr uint32_t kBusVoltage = 0x300200;  // U16 R
constexpr uint32_t kGain = 0x300300;        // I16 RW
constexpr uint32_t kModeByte = 0x300400;    // U8 RW
constexpr uint32_t kTag = 0x300500;         // U32 RW
constexpr uint32_t kOffset = 0x300600;      // I32 RW, unit [x10]N*10
constexpr uint32_t kSpeed = 0x300700;       // I32 RW, units cnt (N*1) and rpm (N*60/4096)
constexpr uint32_t kTemperature = 0x300800; // I16 RL (polled)
constexpr uint32_t kDeviceName = 0x300900;  // VISIBLE STRING, 10 characters
constexpr uint32_t kSerialText = 0x300A00;  // VISIBLE STRING, 14 characters
constexpr uint32_t kEmptyText = 0x300B00;   // VISIBLE STRING, empty
constexpr uint32_t kOddWidth = 0x300C00;    // U24 RW (unsupported size)
constexpr uint32_t kMissing = 0x5FFF00;     // in no dictionary
// 0x310001 .. 0x310000 + kSeriesCount: U16 RW, value 3 x n.
constexpr int kSeriesCount = 24;
constexpr uint32_t SeriesKey(int n)
{
    return 0x310000u + uint32_t(n);
}

// A temporary installation whose dictionary and virtual-drive defaults hold exactly the given
// objects (the shipped files linked into data/ are replaced, never written through).
class CPageInstall : public TestSupport::TempInstall
{
public:
    explicit CPageInstall(const QVector<ObjectDef>& objects = StandardObjects());
    // sys/<name>.ini with section name, "num" and the given item values.
    bool WritePage(const QString& name, const QStringList& items,
                   const QString& num = QString()) const;
    bool WriteRaw(const QString& relative, const QByteArray& bytes) const;
    QString dataDir() const { return path(QStringLiteral("data")); }
};

// The program-wide data object of an installation, with its dictionary loaded.
std::unique_ptr<CSysData> MakeSysData(const CPageInstall& install);

// Collects operator messages while alive (from any thread).
class CMessageRecorder
{
public:
    struct Entry
    {
        QString text;
        MessageKind kind;
    };
    CMessageRecorder();
    ~CMessageRecorder();
    std::vector<Entry> Entries() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    MessageSink m_previous;
};

// A window that records the messages it gets.
class CProbeWindow : public CMessageReceiver
{
public:
    struct Message
    {
        unsigned message;
        uint32_t wParam;
        uint32_t lParam;
    };
    CProbeWindow() : m_handle(this) {}
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override
    {
        messages.push_back({message, wParam, lParam});
    }
    HWND hwnd() const { return m_handle.hwnd(); }
    int Count(unsigned message) const;
    std::vector<Message> messages;

private:
    CWindowHandle m_handle;
};

// Labels of all rows, top to bottom.
QStringList Labels(const CPageListModel& list);
QStringList Column(const CPageListModel& list, int column);

} // namespace PageTest
