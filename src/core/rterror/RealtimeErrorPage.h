#pragma once

#include "comm/MessageLayer.h"

#include <QStringList>

#include <cstdint>
#include <functional>

class CCtrlLink;

// The drive's 32 error bits and the mask that chooses which of them the drive reports, as the
// real-time error page shows them: its own message window reads the two mask words and the two
// status words once, one after the other, then follows them by polling, and writes a mask word
// when the operator switches one bit. The window over it and drivactl only show what it holds.
class CRealtimeErrorPage : public CMessageReceiver
{
public:
    static constexpr int kBits = 32;

    CRealtimeErrorPage(CCtrlLink& link, QStringList names);
    ~CRealtimeErrorPage() override; // takes its objects out of the polling list

    HWND hwnd() const { return m_handle.hwnd(); }

    // Registers the four objects for polling (group 1) and starts the first read.
    void Start();
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    // The operator set or cleared the mask of bit (0 to 31): the group's last read mask with that
    // bit changed is written (a 2-byte write). The link's RequestResult.
    int SetMaskBit(int bit, bool set);

    // Both words of each pair as one 32-bit word, bit n for row n + 1.
    uint32_t status() const { return m_statusLow | (m_statusHigh << 16); }
    uint32_t mask() const { return m_maskLow | (m_maskHigh << 16); }
    uint32_t lastWritten() const { return m_lastWritten; }
    // 1 to 4 while the first read runs (the step to send next), 0 once it is over.
    int initStep() const { return m_initStep; }
    // Whether a value of each of the four objects has arrived.
    bool allKnown() const { return m_known == 0xF; }
    const QStringList& names() const { return m_names; }

    // Called after any answer about one of the four objects (key says which): a value taken, or
    // a refusal or failure that left the value as it was.
    std::function<void(uint32_t key)> onChanged;

private:
    void NextInitStep();

    CCtrlLink& m_link;
    CWindowHandle m_handle{this};
    QStringList m_names;
    // Every box starts checked, the way the drive starts: every error reported.
    uint32_t m_maskLow = 0xFFFF;
    uint32_t m_maskHigh = 0xFFFF;
    uint32_t m_statusLow = 0;
    uint32_t m_statusHigh = 0;
    uint32_t m_lastWritten = 0;
    int m_initStep = 0;
    uint32_t m_known = 0; // one bit per object, in the order of the first read
};

namespace RealtimeError {

// A 16-bit mask word with one bit of its group (bit 0 to 31, taken modulo 16) set or cleared.
uint32_t MaskWithBit(uint32_t groupMask, int bit, bool set);
// The 32 error names of the names file (sys/RealTimeError.ini): keys chBit01 to chBit32 for
// Chinese (language 1), enBit01 to enBit32 otherwise; a missing key or file gives "".
QStringList LoadNames(const QString& path, int language);
// The bits set in word, from bit 0 up.
QVector<int> SetBits(uint32_t word);

} // namespace RealtimeError
