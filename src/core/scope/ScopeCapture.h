#pragma once

#include "RecordDecoder.h"
#include "ScopeTypes.h"

#include "comm/MessageLayer.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class CPageHost;
class CScopeItemLists;

// The oscilloscope's side of the drive's recorder, without windows: it reads the recorder's
// settings one by one, writes what the operator changes, and runs the capture cycle (start, poll
// the state once a second, upload the record, decode it) as a state machine driven by the
// drive's answers and its timer ticks. It is a window of the message layer; the link answers it
// as it answers a page. While it uploads it holds back other windows' requests and pauses
// polling; every way out of a capture (done, cancelled, refused, failed, closed, destroyed)
// gives the link-wide flags back as it found them.
class CScopeCapture : public QObject, public CMessageReceiver
{
    Q_OBJECT

public:
    enum class State
    {
        Idle,
        Started,       // start written, its answer not yet here
        Waiting,       // the recorder waits for its trigger or records; polled once a tick
        Uploading,     // the record is being read
        RestartPending // continuous capture: the next start follows a tick
    };
    Q_ENUM(State)

    enum class Outcome
    {
        Done,
        Cancelled,
        Refused,    // the drive refused the start, a state poll or the record (abort code)
        LinkFailed, // no answer, or an upload the link could not vouch for
        TooLong     // the record is longer than 8 KiB
    };
    Q_ENUM(Outcome)

    enum class Progress
    {
        Waiting,
        Reading
    };
    Q_ENUM(Progress)

    // items, when given, resolves the objects the drive reports to the channels' items (adding
    // the missing ones to the channel's own list) so that decoding knows their sign.
    CScopeCapture(CPageHost& host, CScopeItemLists* items, QObject* parent = nullptr);
    ~CScopeCapture() override; // gives the flags back when a capture still runs

    HWND hwnd() const { return m_window.hwnd(); }
    State state() const { return m_state; }
    bool idle() const { return m_idle; }
    const ScopeSettings& settings() const { return m_settings; }
    ScopeSettings& settings() { return m_settings; }
    const ScopeSlots& recorderSlots() const { return m_slots; }
    const ScopeRecord& record() const { return m_record; }
    const QByteArray& recordBytes() const { return m_bytes; }
    // The selector entry each channel shows (-1: none).
    int channelEntry(int channel) const { return m_channelEntry[size_t(channel - 1)]; }
    uint32_t channelKey(int channel) const { return m_channelKey[size_t(channel - 1)]; }
    // Requests sent whose answer has not come yet.
    int pendingRequests() const { return int(m_outstanding.size()); }

    // The interval of the state poll and of the continuous restart (1000 ms).
    void SetTickInterval(int ms);
    void SetContinuous(bool on) { m_settings.continuous = on; }

    // The settings read sequence from step 1 (all), 7 (the slots and the count) or 13 (the
    // count only).
    void ReadSettings(int fromStep = 1);
    // Writes a recorder setting with the command its key takes (period, offset, count, edge,
    // trigger level); the count is read back.
    bool WriteSetting(uint32_t key, uint32_t value);
    // The trigger object (0: manual trigger); its level is read again once the drive took it.
    bool WriteTrigger(uint32_t descriptor);
    // A channel's checkbox: on writes the descriptor (sign bit cleared) to the slot its width
    // takes, then reads the slots again; off writes 0 to the slot it used.
    bool SetChannel(int channel, bool on, uint32_t descriptor);

    // The capture cycle. Start and Reread are refused (false) while scopeTransferBusy is set;
    // Start while a capture runs cancels it.
    bool Start();
    bool Reread();
    void Cancel();
    // The frame closes the view: back to idle, flags given back.
    void Close();

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

signals:
    void valueApplied(uint32_t key, uint32_t value);
    void channelChanged(int channel); // a slot value changed what the channel shows
    void requestRefused(uint32_t key, uint32_t abortCode);
    void requestFailed(uint32_t key, uint32_t failure);
    void settingsRead(); // the read sequence reached its end
    void settled();      // no request of this object is outstanding any more
    void stateChanged(CScopeCapture::State state);
    void progress(CScopeCapture::Progress kind, int dots); // dots 1 to 5
    void uploadProgress(uint32_t bytes);
    void recordReady(const ScopeRecord& record);
    void captureEnded(CScopeCapture::Outcome outcome, uint32_t detail);

private:
    struct FlagHold;
    struct Outstanding
    {
        uint32_t key;
        uint8_t command;
    };

    bool Send(uint8_t command, uint32_t key, uint32_t value);
    void Sequence();
    void Apply(uint32_t key, uint32_t value);
    void ApplySlot(int slot, uint32_t value);
    void OnAbort(uint32_t key, uint32_t code);
    void OnFailure(uint32_t key, uint32_t failure);
    void OnUpload(uint32_t key);
    void Tick();
    void RestartTick();
    void BeginCapture();
    void RequestRecord();
    void Decode();
    void End(Outcome outcome, uint32_t detail);
    void SetState(State state);
    void Answered(uint32_t key, bool refusedWrite);

    CPageHost& m_host;
    CScopeItemLists* m_items;
    CWindowHandle m_window{this};
    QTimer m_tick;
    QTimer m_restart;
    std::unique_ptr<FlagHold> m_hold;
    ScopeSettings m_settings;
    ScopeSlots m_slots;
    ScopeRecord m_record;
    QByteArray m_bytes;
    std::array<int, kScopeChannels> m_channelEntry{{-1, -1, -1, -1}};
    std::array<uint32_t, kScopeChannels> m_channelKey{};
    State m_state = State::Idle;
    bool m_idle = true;
    bool m_waiting = false;
    uint32_t m_recorderState = 0;
    int m_readStep = 14;
    bool m_triggerChanged = false;
    std::vector<Outstanding> m_outstanding;
    // Uploads the link still runs for a capture that was cancelled: their outcome is not the
    // next capture's.
    int m_staleUploads = 0;
    int m_waitCounter = 0;
    int m_readCounter = 0;
};
