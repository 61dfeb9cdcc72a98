#pragma once

#include "MessageRecorder.h"
#include "TestSupport.h"

#include "app/SysData.h"
#include "comm/MessageLayer.h"

#include <initializer_list>
#include <memory>
#include <vector>

namespace PageTest {

// The objects of the crafted dictionary and the virtual drive (and the statusword for help).
constexpr uint32_t kMaxSpeed = 0x300100;    // U16 RW 3000, modbus 0x1A2B
constexpr uint32_t kBusVoltage = 0x300200;  // U16 R 310
constexpr uint32_t kGain = 0x300300;        // I16 RW -5
constexpr uint32_t kModeByte = 0x300400;    // U8 RW
constexpr uint32_t kTag = 0x300500;         // U32 RW
constexpr uint32_t kOffset = 0x300600;      // I32 RW, unit [x10]N*10
constexpr uint32_t kSpeed = 0x300700;       // I32 RW 8192, units cnt (N*1) and rpm (N*60/4096)
constexpr uint32_t kTemperature = 0x300800; // I16 RL (polled)
constexpr uint32_t kDeviceName = 0x300900;  // VISIBLE STRING, 10 characters
constexpr uint32_t kSerialText = 0x300A00;  // VISIBLE STRING, 14 characters
constexpr uint32_t kEmptyText = 0x300B00;   // VISIBLE STRING, empty
constexpr uint32_t kOddWidth = 0x300C00;    // U24 RW (unsupported size)
constexpr uint32_t kBrokenUnit = 0x300D00;  // U16 RW, unit text without a unit
constexpr uint32_t kMissing = 0x5FFF00;     // in no dictionary
constexpr uint32_t kSeries = 0x310000;      // + n, n = 1 .. 5: U16 RW with value 3 x n

// The key as a page file writes it.
inline QString Hex(uint32_t key)
{
    return QString::number(key, 16).toUpper();
}

// A temporary installation whose dictionary and virtual-drive defaults hold exactly the objects
// above (the shipped files linked into data/ are replaced, never written through).
class CPageInstall : public TestSupport::TempInstall
{
public:
    CPageInstall();
    // sys/<name>.ini with section name, "num" (default: the item count) and the items.
    bool WritePage(const QString& name, const QStringList& items,
                   const QString& num = QString()) const;
    bool WritePage(const QString& name, std::initializer_list<uint32_t> keys) const;
    bool WriteRaw(const QString& relative, const QByteArray& bytes) const;
};

// The program-wide data object of an installation, with its dictionary loaded.
std::unique_ptr<CSysData> MakeSysData(const CPageInstall& install);

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
    std::vector<Message> messages;

private:
    CWindowHandle m_handle;
};

// One column of all rows, top to bottom (-1: each row's cells joined by "|"); the labels.
QStringList Column(const CPageListModel& list, int column = -1);
inline QStringList Labels(const CPageListModel& list)
{
    return Column(list, CPageListModel::ColLabel);
}

} // namespace PageTest
