#include "PdoApply.h"

#include "comm/AbortCodes.h"
#include "comm/CtrlLink.h"
#include "comm/DriveObjects.h"

namespace {
constexpr uint8_t kRead = 0x40;
constexpr uint8_t kWrite1 = 0x2F;
} // namespace

CPdoApply::CPdoApply(CCtrlLink& link, Lookup lookup)
    : m_link(link), m_lookup(std::move(lookup)), m_handle(this)
{
}

bool CPdoApply::busy() const
{
    return m_state == State::ReadingCobId || m_state == State::Writing ||
           m_state == State::ReadingBack || m_state == State::Storing;
}

namespace {
QString Hex8(uint32_t value)
{
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString CPdoApply::KeyText(uint32_t key)
{
    return QStringLiteral("%1:%2")
        .arg(key >> 8, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

void CPdoApply::SetState(State state)
{
    m_state = state;
    if (onStateChanged)
        onStateChanged(state);
}

void CPdoApply::Log(const QString& line)
{
    if (onLog)
        onLog(line);
}

void CPdoApply::Fail(const QString& reason)
{
    m_reason = reason;
    Log(QStringLiteral("%1: %2").arg(m_pdo.Name(), reason));
    SetState(State::Failed);
}

bool CPdoApply::Start(const Pdo::Address& pdo, const std::vector<uint32_t>& entries)
{
    if (busy())
        return false;
    m_pdo = pdo;
    m_reason.clear();
    m_refused = false;
    const Pdo::Problem problem = Pdo::CheckMapping(entries, pdo.direction, m_lookup);
    if (!problem.ok()) {
        Fail(problem.text + QStringLiteral(" (nothing written)"));
        return false;
    }
    m_wanted = entries;
    m_verify = true;
    m_readKey = pdo.CobIdKey();
    if (m_link.Request(m_handle.hwnd(), kRead, m_readKey, 0) < 0) {
        Fail(QStringLiteral("not connected (nothing written)"));
        return false;
    }
    SetState(State::ReadingCobId);
    return true;
}

bool CPdoApply::ReadMapping(const Pdo::Address& pdo)
{
    if (busy())
        return false;
    m_pdo = pdo;
    m_reason.clear();
    m_verify = false;
    m_refused = false;
    StartReadBack();
    return m_state == State::ReadingBack;
}

bool CPdoApply::Store()
{
    if (m_state != State::Done)
        return false;
    std::vector<SdoWrite> store{{DriveObject::kStoreControl, kWrite1, DriveObject::kStoreCommand}};
    if (m_link.RequestWrites(m_handle.hwnd(), std::move(store), 0) < 0)
        return false;
    Log(QStringLiteral("store %1 = %2").arg(KeyText(DriveObject::kStoreControl)).arg(1));
    SetState(State::Storing);
    return true;
}

bool CPdoApply::SendNextWrite()
{
    if (m_nextWrite >= m_writes.size()) {
        StartReadBack();
        return true;
    }
    const SdoWrite& write = m_writes[m_nextWrite];
    if (m_link.RequestWrites(m_handle.hwnd(), {write}, uint32_t(m_nextWrite + 1)) < 0) {
        Fail(QStringLiteral("the link took no request"));
        return false;
    }
    return true;
}

void CPdoApply::StartReadBack()
{
    m_readEntries.clear();
    m_readCount = -1;
    m_readKey = m_pdo.CobIdKey();
    SetState(State::ReadingBack);
    if (!SendNextRead())
        Fail(QStringLiteral("not connected"));
}

bool CPdoApply::SendNextRead()
{
    return m_link.Request(m_handle.hwnd(), kRead, m_readKey, 0) >= 0;
}

void CPdoApply::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_SDO_WRITTEN && m_state == State::Storing) {
        SdoWriteResult result;
        m_link.TakeWrites(m_handle.hwnd(), lParam, result);
        Log(result.confirmed == result.total
                ? QStringLiteral("stored")
                : QStringLiteral("store refused: %1").arg(AbortCodeText(result.abortCode)));
        SetState(State::Done);
        return;
    }
    if (message == WM_SDO_WRITTEN && m_state == State::Writing) {
        SdoWriteResult result;
        m_link.TakeWrites(m_handle.hwnd(), lParam, result);
        const SdoWrite& write = m_writes[m_nextWrite];
        const QString step = QStringLiteral("%1/%2 write %3 = %4")
                                 .arg(m_nextWrite + 1)
                                 .arg(m_writes.size())
                                 .arg(KeyText(write.key), Hex8(write.value));
        if (result.confirmed == result.total && result.total == 1) {
            Log(step + QStringLiteral(": ok"));
            ++m_nextWrite;
            SendNextWrite();
            return;
        }
        const QString why =
            result.refused ? AbortCodeText(result.abortCode) : SdoFailureText(result.failure);
        Log(step + QStringLiteral(": ") + why);
        m_reason = QStringLiteral("%1 refused: %2").arg(KeyText(write.key), why);
        m_refused = true;
        // What the drive holds now is shown; the PDO stays disabled.
        StartReadBack();
        return;
    }
    if (m_state == State::ReadingCobId || m_state == State::ReadingBack) {
        if (lParam != m_readKey)
            return;
        if (message == WM_SDO_VALUE) {
            ReadAnswered(lParam, wParam);
        } else if (message == WM_SDO_ABORT) {
            Fail(QStringLiteral("read %1: %2").arg(KeyText(lParam), AbortCodeText(wParam)));
        } else if (message == WM_SDO_FAILED) {
            Fail(QStringLiteral("read %1: %2").arg(KeyText(lParam), SdoFailureText(wParam)));
        }
        return;
    }
    if (message == WM_SDO_FAILED && (m_state == State::Writing || m_state == State::Storing))
        Fail(SdoFailureText(wParam));
}

void CPdoApply::ReadAnswered(uint32_t key, uint32_t value)
{
    if (m_state == State::ReadingCobId) {
        m_startCobId = value;
        Log(QStringLiteral("%1 COB-ID %2 = %3").arg(m_pdo.Name(), KeyText(key), Hex8(value)));
        m_writes = Pdo::ApplyWrites(m_pdo, value, m_wanted);
        m_nextWrite = 0;
        SetState(State::Writing);
        SendNextWrite();
        return;
    }
    if (key == m_pdo.CobIdKey()) {
        m_readCobId = value;
        m_readKey = m_pdo.CountKey();
    } else if (key == m_pdo.CountKey()) {
        m_readCount = int(value & 0xFF);
        m_readKey = m_pdo.EntryKey(1);
    } else {
        m_readEntries.push_back(value);
        m_readKey = m_pdo.EntryKey(int(m_readEntries.size()) + 1);
    }
    const int count = qMin(m_readCount, Pdo::kMaxEntries);
    if (m_readCount >= 0 && int(m_readEntries.size()) >= count)
        return FinishReadBack();
    if (!SendNextRead())
        Fail(QStringLiteral("not connected"));
}

void CPdoApply::FinishReadBack()
{
    QStringList entries;
    for (uint32_t entry : m_readEntries)
        entries.append(Hex8(entry));
    Log(QStringLiteral("read back: COB-ID %1, mapping %2")
            .arg(Hex8(m_readCobId),
                 entries.isEmpty() ? QStringLiteral("empty") : entries.join(QLatin1Char(' '))));
    if (m_refused) {
        const bool disabled = (m_readCobId & Pdo::kCobIdInvalid) != 0;
        Fail(m_reason + (disabled ? QStringLiteral("; the PDO is disabled")
                                  : QStringLiteral("; the PDO was left as it was")));
        return;
    }
    if (m_verify && (m_readEntries != m_wanted || m_readCobId != m_startCobId)) {
        Fail(QStringLiteral("the drive reads back a different mapping"));
        return;
    }
    SetState(State::Done);
}
