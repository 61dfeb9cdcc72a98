#include "ScopeCapture.h"

#include "ScopeItems.h"

#include "comm/CtrlLink.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"
#include "pages/PageHost.h"

#include <algorithm>

namespace {

using namespace DriveObject;

constexpr int kDefaultTickMs = 1000;
// The settings read sequence: period, offset, count, edge, trigger, level, the six slots and the
// count again (the drive may have cut it to what the slots leave room for).
constexpr uint32_t kReadSteps[13] = {kRecorderPeriod,    kRecorderOffset,    kRecorderCount,
                                     kRecorderEdge,      kRecorderTrigger,   kRecorderLevel,
                                     kRecorderSlot1,     kRecorderSlot1 + 1, kRecorderSlot1 + 2,
                                     kRecorderSlot1 + 3, kRecorderSlot1 + 4, kRecorderSlot1 + 5,
                                     kRecorderCount};

int SlotOf(uint32_t key)
{
    return key >= kRecorderSlot1 && key < kRecorderSlot1 + kScopeSlots
               ? int(key - kRecorderSlot1) + 1
               : 0;
}

uint8_t WriteCommandOf(uint32_t key)
{
    switch (key) {
    case kRecorderState:
    case kRecorderEdge:
        return SdoFrame::kWrite1;
    case kRecorderPeriod:
    case kRecorderOffset:
    case kRecorderCount:
        return SdoFrame::kWrite2;
    default:
        return SdoFrame::kWrite4;
    }
}

} // namespace

// The link-wide flags a capture changes, as it found them; given back when it goes.
struct CScopeCapture::FlagHold
{
    explicit FlagHold(CLinkFlags& flags)
        : m_flags(flags), m_polling(flags.pollingEnabled.load()),
          m_released(flags.othersReleased.load()), m_busy(flags.scopeTransferBusy.load())
    {
        flags.scopeTransferBusy = 1;
    }
    ~FlagHold()
    {
        m_flags.pollingEnabled = m_polling;
        m_flags.othersReleased = m_released;
        m_flags.scopeTransferBusy = m_busy;
    }
    FlagHold(const FlagHold&) = delete;
    FlagHold& operator=(const FlagHold&) = delete;

    CLinkFlags& m_flags;
    int m_polling;
    int m_released;
    int m_busy;
};

CScopeCapture::CScopeCapture(CPageHost& host, CScopeItemLists* items, QObject* parent)
    : QObject(parent), m_host(host), m_items(items)
{
    m_host.deferOwner = hwnd();
    for (QTimer* timer : {&m_tick, &m_restart}) {
        timer->setInterval(kDefaultTickMs);
        timer->setSingleShot(timer == &m_tick);
    }
    connect(&m_tick, &QTimer::timeout, this, &CScopeCapture::Tick);
    connect(&m_restart, &QTimer::timeout, this, &CScopeCapture::RestartTick);
}

CScopeCapture::~CScopeCapture()
{
    m_hold.reset();
    HWND self = hwnd();
    m_host.deferOwner.compare_exchange_strong(self, kNoWindow);
}

void CScopeCapture::SetTickInterval(int ms)
{
    m_tick.setInterval(std::max(1, ms));
    m_restart.setInterval(std::max(1, ms));
}

bool CScopeCapture::Send(uint8_t command, uint32_t key, uint32_t value)
{
    if (m_host.Link().Request(hwnd(), command, key, value) < 0)
        return false;
    m_outstanding.push_back({key, command});
    return true;
}

void CScopeCapture::Answered(uint32_t key, bool refusedWrite)
{
    const auto it = std::find_if(m_outstanding.begin(), m_outstanding.end(),
                                 [key](const Outstanding& o) { return o.key == key; });
    if (it == m_outstanding.end())
        return;
    // A refused or unconfirmed write is followed by the outcome of reading the object back.
    if (refusedWrite && SdoFrame::IsWrite(it->command)) {
        it->command = SdoFrame::kRead;
        return;
    }
    m_outstanding.erase(it);
    if (m_outstanding.empty())
        emit settled();
}

void CScopeCapture::ReadSettings(int fromStep)
{
    m_readStep = std::clamp(fromStep, 1, 13);
    Sequence();
}

void CScopeCapture::Sequence()
{
    if (m_readStep >= 1 && m_readStep <= 13) {
        const uint32_t key = kReadSteps[m_readStep - 1];
        ++m_readStep;
        Send(SdoFrame::kRead, key, 0);
        return;
    }
    if (m_readStep == 14) {
        ++m_readStep;
        emit settingsRead();
    }
}

bool CScopeCapture::WriteSetting(uint32_t key, uint32_t value)
{
    if (key == kRecorderCount)
        m_readStep = 13;
    return Send(WriteCommandOf(key), key, value);
}

bool CScopeCapture::WriteTrigger(uint32_t descriptor)
{
    m_triggerChanged = descriptor != 0;
    if (descriptor != 0)
        m_settings.triggerKey = ScopeDescriptor::KeyOf(descriptor);
    return Send(SdoFrame::kWrite4, kRecorderTrigger, ScopeDescriptor::Wire(descriptor));
}

bool CScopeCapture::SetChannel(int channel, bool on, uint32_t descriptor)
{
    if (channel < 1 || channel > kScopeChannels)
        return false;
    m_slots.Claim(channel);
    ScopeChannelSettings& settings = m_settings.channels[size_t(channel - 1)];
    if (on) {
        const int slot = ScopeSlots::SlotFor(channel, ScopeDescriptor::WidthOf(descriptor));
        settings.enabled = true;
        settings.descriptor = descriptor;
        m_readStep = 7;
        return Send(SdoFrame::kWrite4, kRecorderSlot1 + uint32_t(slot - 1),
                    ScopeDescriptor::Wire(descriptor));
    }
    settings.enabled = false;
    const int slot = m_slots.SlotToClear(channel);
    return Send(SdoFrame::kWrite4, kRecorderSlot1 + uint32_t(slot - 1), 0);
}

bool CScopeCapture::Start()
{
    if (!m_idle) {
        Cancel();
        return true;
    }
    if (m_host.scopeTransferBusy.load() != 0)
        return false;
    m_hold = std::make_unique<FlagHold>(m_host);
    m_idle = false;
    m_waitCounter = 0;
    m_readCounter = 0;
    BeginCapture();
    return true;
}

void CScopeCapture::BeginCapture()
{
    m_bytes.clear();
    SetState(State::Started);
    if (!Send(SdoFrame::kWrite1, kRecorderState, kRecorderStart))
        End(Outcome::LinkFailed, 0);
}

bool CScopeCapture::Reread()
{
    if (!m_idle || m_host.scopeTransferBusy.load() != 0)
        return false;
    m_hold = std::make_unique<FlagHold>(m_host);
    m_idle = false;
    m_readCounter = 0;
    m_bytes.clear();
    RequestRecord();
    return true;
}

void CScopeCapture::RequestRecord()
{
    m_host.pollingEnabled = 0;
    m_host.othersReleased = 0;
    SetState(State::Uploading);
    if (m_host.Link().RequestUpload(hwnd(), kRecord, true) < 0) {
        End(Outcome::LinkFailed, 0);
        return;
    }
    m_outstanding.push_back({kRecord, SdoFrame::kRead});
}

void CScopeCapture::Cancel()
{
    if (!m_idle)
        End(Outcome::Cancelled, 0);
}

void CScopeCapture::Close()
{
    Cancel();
}

void CScopeCapture::Tick()
{
    if (m_recorderState == 0) {
        m_waiting = false;
    } else if (m_recorderState <= 3) {
        m_waiting = true;
        if (m_waitCounter >= 100)
            m_waitCounter = 0;
        if (m_waitCounter % 20 == 0)
            emit progress(Progress::Waiting, m_waitCounter / 20 + 1);
        m_waitCounter += 10;
    }
    if (m_idle || m_state != State::Waiting)
        return;
    if (!m_waiting)
        RequestRecord();
    else if (!Send(SdoFrame::kRead, kRecorderState, 0))
        End(Outcome::LinkFailed, 0);
}

void CScopeCapture::RestartTick()
{
    if (!m_host.Link().IsDeferredQueueEmpty())
        return;
    m_restart.stop();
    BeginCapture();
}

void CScopeCapture::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (lParam == kRecord && m_staleUploads > 0) {
        if (message == WM_SDO_UPLOAD || message == WM_SDO_ABORT ||
            (message == WM_SDO_FAILED && wParam != kSdoUnconfirmed)) {
            --m_staleUploads;
            Answered(lParam, false);
        }
        return;
    }
    switch (message) {
    case WM_SDO_VALUE:
        Answered(lParam, false);
        Apply(lParam, wParam);
        Sequence();
        break;
    case WM_SDO_ABORT:
        Answered(lParam, true);
        OnAbort(lParam, wParam);
        break;
    case WM_SDO_FAILED:
        Answered(lParam, wParam == kSdoUnconfirmed);
        OnFailure(lParam, wParam);
        break;
    case WM_SDO_SEGMENT:
        if (lParam == kRecord && m_state == State::Uploading) {
            if (m_readCounter >= 150)
                m_readCounter = 0;
            if (m_readCounter % 30 == 0)
                emit progress(Progress::Reading, m_readCounter / 30 + 1);
            ++m_readCounter;
            emit uploadProgress(wParam);
        }
        break;
    case WM_SDO_UPLOAD:
        Answered(lParam, false);
        OnUpload(lParam);
        break;
    default:
        break;
    }
}

void CScopeCapture::Apply(uint32_t key, uint32_t value)
{
    if (const int slot = SlotOf(key)) {
        ApplySlot(slot, value);
        emit valueApplied(key, value);
        return;
    }
    switch (key) {
    case kRecorderState:
        m_recorderState = value;
        if (!m_idle && (m_state == State::Started || m_state == State::Waiting)) {
            SetState(State::Waiting);
            m_tick.start();
        }
        break;
    case kRecorderPeriod:
        m_settings.samplePeriod = value;
        break;
    case kRecorderOffset:
        m_settings.pointerOffset = int16_t(uint16_t(value));
        break;
    case kRecorderCount:
        m_settings.sampleCount = value;
        break;
    case kRecorderEdge:
        m_settings.triggerEdge = uint8_t(value);
        break;
    case kRecorderTrigger:
        m_settings.triggerDescriptor = value;
        m_settings.triggerItem = 0;
        if (value != 0) {
            m_settings.triggerKey = ScopeDescriptor::KeyOf(value);
            if (m_items != nullptr) {
                int entry = m_items->FindTriggerEntry(value);
                if (entry < 0 && m_items->AddTriggerItem(m_settings.triggerKey))
                    entry = 1;
                m_settings.triggerItem = std::max(entry, 1);
            } else {
                m_settings.triggerItem = 1;
            }
            if (m_triggerChanged) {
                m_triggerChanged = false;
                Send(SdoFrame::kRead, kRecorderLevel, 0);
            }
        }
        break;
    case kRecorderLevel:
        m_settings.triggerLevel = int32_t(value);
        break;
    default:
        break;
    }
    emit valueApplied(key, value);
}

void CScopeCapture::ApplySlot(int slot, uint32_t value)
{
    m_slots.setValue(slot, value);
    if (value == 0 && slot >= 5)
        return; // an empty shared slot changes no channel
    const int channel = m_slots.ChannelShowing(slot);
    const size_t c = size_t(channel - 1);
    ScopeChannelSettings& settings = m_settings.channels[c];
    if (value == 0) {
        settings.enabled = false;
        m_channelKey[c] = 0;
        m_channelEntry[c] = -1;
        emit channelChanged(channel);
        return;
    }
    uint32_t descriptor = value;
    int entry = 0;
    if (m_items != nullptr) {
        entry = m_items->FindChannelEntry(channel, value);
        if (entry < 0) {
            m_items->AddChannelItem(ScopeDescriptor::KeyOf(value), channel);
            entry = 0;
        }
        if (const ScopeItem* item = m_items->ChannelEntry(channel, entry)) {
            if (ScopeDescriptor::SameObject(item->descriptor, value))
                descriptor = item->descriptor;
        }
    }
    settings.enabled = true;
    settings.descriptor = descriptor;
    m_channelEntry[c] = entry;
    m_channelKey[c] = ScopeDescriptor::KeyOf(value);
    emit channelChanged(channel);
}

void CScopeCapture::OnAbort(uint32_t key, uint32_t code)
{
    emit requestRefused(key, code);
    if (const int slot = SlotOf(key)) {
        m_slots.setValue(slot, 0);
        return;
    }
    switch (key) {
    case kRecorderState:
    case kRecord:
        if (!m_idle)
            End(Outcome::Refused, code);
        break;
    case kRecorderCount:
        Send(SdoFrame::kRead, kRecorderCount, 0);
        break;
    case kRecorderTrigger:
        m_settings.triggerDescriptor = 0;
        m_settings.triggerItem = 0;
        break;
    default:
        break;
    }
}

void CScopeCapture::OnFailure(uint32_t key, uint32_t failure)
{
    emit requestFailed(key, failure);
    // A capture waits for nothing that will still come once the link gave up on its exchange.
    if (!m_idle && failure != kSdoUnconfirmed)
        End(Outcome::LinkFailed, failure);
}

void CScopeCapture::OnUpload(uint32_t key)
{
    if (key != kRecord || m_state != State::Uploading)
        return;
    QByteArray bytes;
    m_host.Link().TakeUpload(hwnd(), key, bytes);
    if (bytes.size() > kMaxRecordBytes) {
        End(Outcome::TooLong, uint32_t(bytes.size()));
        return;
    }
    m_bytes = bytes;
    m_host.pollingEnabled = 1;
    Decode();
    m_host.othersReleased = 1;
    emit recordReady(m_record);
    if (m_settings.continuous) {
        SetState(State::RestartPending);
        m_restart.start();
        return;
    }
    End(Outcome::Done, uint32_t(m_bytes.size()));
}

void CScopeCapture::Decode()
{
    std::array<bool, kScopeChannels> checked{};
    std::array<bool, kScopeChannels> isSigned{};
    for (size_t c = 0; c < size_t(kScopeChannels); ++c) {
        checked[c] = m_settings.channels[c].enabled;
        isSigned[c] = ScopeDescriptor::IsSigned(m_settings.channels[c].descriptor);
    }
    const RecordLayout layout = MakeRecordLayout(m_slots, checked, isSigned);
    m_record = DecodeRecord(reinterpret_cast<const uint8_t*>(m_bytes.constData()),
                            size_t(m_bytes.size()), layout);
}

void CScopeCapture::End(Outcome outcome, uint32_t detail)
{
    if (m_state == State::Uploading &&
        std::any_of(m_outstanding.begin(), m_outstanding.end(),
                    [](const Outstanding& o) { return o.key == kRecord; }))
        ++m_staleUploads;
    m_tick.stop();
    m_restart.stop();
    m_idle = true;
    m_hold.reset();
    SetState(State::Idle);
    emit captureEnded(outcome, detail);
}

void CScopeCapture::SetState(State state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}
