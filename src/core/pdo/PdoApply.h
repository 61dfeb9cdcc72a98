#pragma once

#include "PdoMapping.h"
#include "comm/MessageLayer.h"

#include <QString>

#include <functional>
#include <vector>

class CCtrlLink;

// Changes one PDO's mapping on the drive, one link job at a time: reads the COB-ID, writes the
// steps of Pdo::ApplyWrites one by one (each its own write job, so that every step is logged as
// the drive answers it), then reads the COB-ID, the count and the entries back. A mapping that
// Pdo::CheckMapping refuses is never started. A step the drive refuses ends the writes there:
// the COB-ID still has bit 31 set and the count is 0 or the old one under an invalid COB-ID, so
// the PDO is disabled, never half-mapped and valid; the reason is logged and kept.
class CPdoApply : public CMessageReceiver
{
public:
    enum class State
    {
        Idle,
        ReadingCobId,
        Writing,
        ReadingBack,
        Storing,
        Done,  // the writes went through and the drive reads back what was asked
        Failed // refused before writing, a step refused, a transfer failed, or a read-back differs
    };
    using Lookup = std::function<bool(uint32_t key, CSdoRecord& out)>;

    CPdoApply(CCtrlLink& link, Lookup lookup);
    ~CPdoApply() override = default;

    // Starts applying entries to the PDO; false (state Failed, reason set) when the mapping is
    // refused before anything is written or the link takes no request.
    bool Start(const Pdo::Address& pdo, const std::vector<uint32_t>& entries);
    // Reads the PDO's COB-ID, count and entries (state ReadingBack, then Done).
    bool ReadMapping(const Pdo::Address& pdo);
    // After Done: stores the drive's parameters in its non-volatile memory.
    bool Store();

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    HWND hwnd() const { return m_handle.hwnd(); }

    State state() const { return m_state; }
    bool busy() const;
    QString reason() const { return m_reason; }
    // What the drive held when last read: COB-ID and entries (count entries).
    uint32_t cobId() const { return m_readCobId; }
    const std::vector<uint32_t>& readEntries() const { return m_readEntries; }
    const Pdo::Address& pdo() const { return m_pdo; }

    std::function<void(const QString& line)> onLog;
    std::function<void(State state)> onStateChanged;

private:
    void Fail(const QString& reason);
    void SetState(State state);
    void Log(const QString& line);
    bool SendNextWrite();
    void StartReadBack();
    bool SendNextRead();
    void ReadAnswered(uint32_t key, uint32_t value);
    void FinishReadBack();
    static QString KeyText(uint32_t key);

    CCtrlLink& m_link;
    Lookup m_lookup;
    Pdo::Address m_pdo;
    std::vector<uint32_t> m_wanted;
    bool m_verify = false; // the read-back must match m_wanted
    std::vector<SdoWrite> m_writes;
    size_t m_nextWrite = 0;
    bool m_refused = false; // a write step failed; the read-back only shows what is left
    uint32_t m_readKey = 0;
    int m_readCount = -1;
    uint32_t m_readCobId = 0;
    uint32_t m_startCobId = 0;
    std::vector<uint32_t> m_readEntries;
    State m_state = State::Idle;
    QString m_reason;
    CWindowHandle m_handle;
};
