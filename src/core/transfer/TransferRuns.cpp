#include "TransferRuns.h"

#include "comm/AbortCodes.h"
#include "comm/CtrlLink.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"
#include "pages/ValueFormat.h"

#include <QHash>

namespace {

// Runs and store sequences going, on the GUI thread that starts them all.
int g_jobsRunning = 0;

const QString kNotOpen = QStringLiteral("Comm port isn't Open!");

QString HeldElsewhere()
{
    return QStringLiteral("Another window holds the drive's link; close it first.");
}

// The link for a run or a store: refused (with the reason) while another job goes, while the
// port is not open or while another window holds the link.
std::unique_ptr<CLinkHold> TakeLinkForJob(bool running, CLinkFlags& flags, HWND owner,
                                          QString& refusal)
{
    if (running || g_jobsRunning > 0) {
        refusal = QStringLiteral("A transfer or a store is going; wait for it to end.");
        return nullptr;
    }
    if (flags.connected.load() != 1) {
        refusal = kNotOpen;
        return nullptr;
    }
    auto hold = std::make_unique<CLinkHold>(flags, owner, CLinkHold::kPausePolling);
    if (!hold->held()) {
        refusal = HeldElsewhere();
        return nullptr;
    }
    return hold;
}

// "1400:01"
QString KeyText(uint32_t key)
{
    return QStringLiteral("%1:%2")
        .arg(key >> 8, 4, 16, QLatin1Char('0'))
        .arg(key & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// "abort 0x06090030 <text>": the code in full, so that it can be looked up.
QString AbortReason(uint32_t code)
{
    return QStringLiteral("abort 0x%1 %2")
        .arg(code, 8, 16, QLatin1Char('0'))
        .arg(AbortCodeText(code));
}

} // namespace

bool TransferJobRunning()
{
    return g_jobsRunning > 0;
}

// --- CTransferRun ---------------------------------------------------------------------------

CTransferRun::CTransferRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
                           QObject* parent)
    : QObject(parent), m_link(link), m_flags(flags), m_dictionary(dictionary), m_handle(this)
{
    qRegisterMetaType<CRowResult>();
    qRegisterMetaType<CTransferCounts>();
}

CTransferRun::~CTransferRun()
{
    if (m_running)
        --g_jobsRunning;
}

void CTransferRun::SetRows(QVector<CTransferRow> rows)
{
    if (!m_running)
        m_rows = std::move(rows);
}

bool CTransferRun::Start(QString& refusal)
{
    m_hold = TakeLinkForJob(m_running, m_flags, hwnd(), refusal);
    if (!m_hold)
        return false;
    for (CTransferRow& row : m_rows) {
        row.value.clear();
        row.outcome = TransferOutcome::None;
        row.reason.clear();
    }
    m_order = PlanOrder();
    m_step = 0;
    m_current = m_order.value(0);
    m_cancel = false;
    m_linkFailed = false;
    m_awaiting = false;
    m_running = true;
    ++g_jobsRunning;
    emit started(m_rows.size());
    Next();
    return true;
}

void CTransferRun::Cancel()
{
    m_cancel = true;
    if (m_running && !m_awaiting)
        Finish();
}

void CTransferRun::Next()
{
    // Rows that end without a request end here in turn, never by recursion.
    m_advancing = true;
    while (m_running && !m_cancel && m_step < m_order.size()) {
        m_current = m_order[m_step];
        if (Issue())
            break;
    }
    m_advancing = false;
    if (m_running && (m_cancel || m_step >= m_order.size()) && !m_awaiting)
        Finish();
}

QVector<int> CTransferRun::PlanOrder()
{
    QVector<int> order(m_rows.size());
    for (int i = 0; i < order.size(); ++i)
        order[i] = i;
    return order;
}

void CTransferRun::Resume()
{
    m_awaiting = false;
    Next();
}

void CTransferRun::Finish()
{
    m_running = false;
    --g_jobsRunning;
    m_hold.reset();
    emit finished(counts());
}

void CTransferRun::Complete(const QString& value, TransferOutcome outcome, const QString& reason)
{
    CTransferRow& row = m_rows[m_current];
    row.value = value;
    row.outcome = outcome;
    row.reason = reason;
    m_awaiting = false;
    CRowResult result{m_current, row.key(), value, outcome, reason};
    RowEnded();
    ++m_step;
    emit rowDone(result);
    if (!m_advancing)
        Next();
}

bool CTransferRun::RequestRead(uint32_t key)
{
    const int queued = m_link.Request(hwnd(), SdoFrame::kRead, key, 0);
    if (queued < 0) {
        m_linkFailed = true;
        Complete(QString(), TransferOutcome::Fail, NotQueuedReason(queued));
        return false;
    }
    m_awaitedKey = key;
    m_awaiting = true;
    return true;
}

void CTransferRun::FailForLink(uint32_t failure, const QString& value)
{
    // Whatever the link could not vouch for counts against the link, never against the drive.
    m_linkFailed = true;
    Complete(value, TransferOutcome::Fail, SdoFailureText(failure));
}

QString CTransferRun::NotQueuedReason(int result)
{
    switch (result) {
    case CCtrlLink::kRequestNotConnected:
        return QStringLiteral("not sent: the connection is closed");
    case CCtrlLink::kRequestNotOwner:
        return QStringLiteral("not sent: another window holds the link");
    case CCtrlLink::kRequestQueueFull:
        return QStringLiteral("not sent: the link's queue is full");
    default:
        return QStringLiteral("not sent: the link refused the request");
    }
}

void CTransferRun::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (!m_running || !m_awaiting || lParam != m_awaitedKey)
        return;
    switch (message) {
    case WM_SDO_VALUE:
    case WM_SDO_ABORT:
    case WM_SDO_FAILED:
    case WM_SDO_WRITTEN:
        Answer(message, wParam, lParam);
        break;
    default:
        break;
    }
}

// --- CExportRun -----------------------------------------------------------------------------

CExportRun::CExportRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
                       QObject* parent)
    : CTransferRun(link, flags, dictionary, parent)
{
}

bool CExportRun::Issue()
{
    const CTransferRow& row = m_rows[m_current];
    QString probe;
    if (!FormatTransferValue(m_dictionary, row.descriptor, 0, probe)) {
        // No text could hold the answer: asking the drive would only stall the row.
        Complete(QString(), TransferOutcome::Fail,
                 QStringLiteral("no value format: not an 8, 16 or 32-bit number (width %1)")
                     .arg(row.width()));
        return false;
    }
    return RequestRead(row.key());
}

void CExportRun::Answer(unsigned message, uint32_t wParam, uint32_t)
{
    const CTransferRow& row = m_rows[m_current];
    if (message == WM_SDO_VALUE) {
        QString text;
        FormatTransferValue(m_dictionary, row.descriptor, wParam, text);
        Complete(text, TransferOutcome::True, QString());
    } else if (message == WM_SDO_ABORT) {
        Complete(ExportFailureText(wParam), TransferOutcome::Fail, AbortReason(wParam));
    } else if (message == WM_SDO_FAILED) {
        FailForLink(wParam, QString());
    }
}

// --- CImportRun -----------------------------------------------------------------------------

CImportRun::CImportRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
                       QObject* parent)
    : CTransferRun(link, flags, dictionary, parent)
{
}

QVector<int> CImportRun::PlanOrder()
{
    m_groups.clear();
    m_groupOf.fill(-1, m_rows.size());
    QHash<uint32_t, int> groupOfCobId;
    const auto groupOf = [&](const Pdo::Address& pdo) {
        const auto it = groupOfCobId.constFind(pdo.CobIdKey());
        if (it != groupOfCobId.constEnd())
            return it.value();
        PdoGroup group;
        group.pdo = pdo;
        m_groups.append(group);
        return groupOfCobId[pdo.CobIdKey()] = int(m_groups.size() - 1);
    };
    for (int i = 0; i < m_rows.size(); ++i) {
        Pdo::Address pdo;
        bool mapping = false;
        const uint32_t key = m_rows[i].key();
        const int subindex = int(key & 0xFF);
        if (!Pdo::AddressOfKey(key, pdo, mapping) || !mapping || subindex > Pdo::kMaxEntries)
            continue;
        const int g = groupOf(pdo);
        (subindex == 0 ? m_groups[g].counts : m_groups[g].entries).append(i);
        m_groupOf[i] = g;
    }
    for (int i = 0; i < m_rows.size(); ++i) {
        const auto it = groupOfCobId.constFind(m_rows[i].key());
        if (it == groupOfCobId.constEnd())
            continue;
        PdoGroup& group = m_groups[it.value()];
        group.cobIds.append(i);
        m_groupOf[i] = it.value();
        uint32_t raw = 0;
        if (m_rows[i].width() == 32 && ParseLoadValue(m_rows[i].loadValue, raw)) {
            group.haveCobId = true;
            group.cobId = raw;
        }
    }
    QVector<int> order;
    QVector<bool> placed(m_groups.size(), false);
    for (int i = 0; i < m_rows.size(); ++i) {
        const int g = m_groupOf[i];
        if (g < 0) {
            order.append(i);
            continue;
        }
        if (placed[g])
            continue;
        placed[g] = true;
        PdoGroup& group = m_groups[g];
        // A COB-ID the file saved as not valid disables the PDO itself, a count of 0 clears the
        // mapping itself: no write goes twice.
        group.cobIdFirst =
            group.cobIds.size() == 1 && group.haveCobId && (group.cobId & Pdo::kCobIdInvalid);
        uint32_t count = 1;
        group.countFirst = group.counts.size() == 1 &&
                           WriteCommandForBits(m_rows[group.counts[0]].width()) != 0 &&
                           ParseLoadValue(m_rows[group.counts[0]].loadValue, count) && count == 0;
        if (group.cobIdFirst)
            order += group.cobIds;
        if (group.countFirst)
            order += group.counts;
        order += group.entries;
        if (!group.countFirst)
            order += group.counts;
        if (!group.cobIdFirst)
            order += group.cobIds;
    }
    return order;
}

bool CImportRun::Issue()
{
    const int g = m_groupOf.value(m_current, -1);
    if (g < 0)
        return WriteRow();
    PdoGroup& group = m_groups[g];
    if (!group.failReason.isEmpty()) {
        Complete(group.failValue, TransferOutcome::Fail, group.failReason);
        return false;
    }
    const Pdo::Address& pdo = group.pdo;
    if (group.stage == 0 && group.cobIdFirst)
        return WriteRow();
    if (group.stage == 0 && !group.haveCobId) {
        m_phase = ReadingCobId;
        return RequestRead(pdo.CobIdKey());
    }
    if (group.stage == 0)
        return SendStep(Disabling, pdo.CobIdKey(), SdoFrame::kWrite4,
                        group.cobId | Pdo::kCobIdInvalid);
    if (group.stage == 1 && !group.countFirst)
        return SendStep(ClearingCount, pdo.CountKey(), SdoFrame::kWrite1, 0);
    return WriteRow();
}

void CImportRun::RowEnded()
{
    const int g = m_groupOf.value(m_current, -1);
    if (g < 0 || !m_groups[g].failReason.isEmpty())
        return;
    PdoGroup& group = m_groups[g];
    const CTransferRow& row = m_rows[m_current];
    // A row that ends before the mapping is cleared is the file's COB-ID or count 0 doing it.
    if (row.outcome == TransferOutcome::True) {
        if (group.stage < 2)
            ++group.stage;
        return;
    }
    if (group.stage == 0) {
        group.failReason = QStringLiteral("not written: %1 could not be disabled (%2)")
                               .arg(group.pdo.Name(), row.reason);
    } else if (group.stage == 1) {
        group.failReason =
            QStringLiteral("not written: %1's count could not be cleared (%2); it stays disabled")
                .arg(group.pdo.Name(), row.reason);
    } else if (!group.cobIds.contains(m_current)) {
        // The rest would leave a mapping the file does not hold, or make it valid half-written.
        group.failReason = QStringLiteral("not written: %1 ended %2, so %3 stays disabled")
                               .arg(KeyText(row.key()), OutcomeText(row.outcome), group.pdo.Name());
    }
}

bool CImportRun::WriteRow()
{
    const CTransferRow& row = m_rows[m_current];
    const uint8_t command = WriteCommandForBits(row.width());
    if (command == 0) {
        Complete(QString(), TransferOutcome::Fail,
                 QStringLiteral("not written: width %1 is not 8, 16 or 32").arg(row.width()));
        return false;
    }
    uint32_t raw = 0;
    if (!ParseLoadValue(row.loadValue, raw)) {
        Complete(QString(), TransferOutcome::Fail,
                 QStringLiteral("not written: the file gives no value"));
        return false;
    }
    m_phase = Writing;
    // A batch of one: the link sends it once and settles a missing confirmation by itself.
    const int queued = m_link.RequestWrites(hwnd(), {SdoWrite{row.key(), command, raw}}, row.key());
    if (queued < 0) {
        m_linkFailed = true;
        Complete(QString(), TransferOutcome::Fail, NotQueuedReason(queued));
        return false;
    }
    m_awaitedKey = row.key();
    m_awaiting = true;
    return true;
}

bool CImportRun::SendStep(Phase phase, uint32_t key, uint8_t command, uint32_t value)
{
    m_phase = phase;
    m_stepValue = value;
    const int queued = m_link.RequestWrites(hwnd(), {SdoWrite{key, command, value}}, key);
    if (queued < 0) {
        m_linkFailed = true;
        StepFailed(m_groups[m_groupOf[m_current]], QString(), NotQueuedReason(queued));
        return false;
    }
    m_awaitedKey = key;
    m_awaiting = true;
    return true;
}

void CImportRun::StepFailed(PdoGroup& group, const QString& value, const QString& reason)
{
    const QString name = group.pdo.Name();
    group.failValue = value;
    if (m_phase == ReadingCobId)
        group.failReason = QStringLiteral("not written: %1's COB-ID could not be read (%2)");
    else if (m_phase == Disabling)
        group.failReason = QStringLiteral("not written: %1 could not be disabled (%2)");
    else
        group.failReason =
            QStringLiteral("not written: %1's count could not be cleared (%2); it stays disabled");
    group.failReason = group.failReason.arg(name, reason);
    Complete(group.failValue, TransferOutcome::Fail, group.failReason);
}

void CImportRun::StepAnswer(unsigned message, uint32_t wParam, uint32_t lParam)
{
    PdoGroup& group = m_groups[m_groupOf[m_current]];
    const QString name = group.pdo.Name();
    if (message == WM_SDO_FAILED) {
        m_linkFailed = true;
        emit stepDone(
            QStringLiteral("%1: %2 %3").arg(name, KeyText(lParam), SdoFailureText(wParam)),
            TransferOutcome::Fail);
        StepFailed(group, QString(), SdoFailureText(wParam));
        return;
    }
    if (m_phase == ReadingCobId) {
        if (message == WM_SDO_ABORT) {
            emit stepDone(QStringLiteral("%1: read %2 refused: %3")
                              .arg(name, KeyText(lParam), AbortReason(wParam)),
                          TransferOutcome::Fail);
            StepFailed(group, ImportFailureText(wParam), AbortReason(wParam));
        } else if (message == WM_SDO_VALUE) {
            emit stepDone(QStringLiteral("%1: read %2 = 0x%3")
                              .arg(name, KeyText(lParam))
                              .arg(wParam, 8, 16, QLatin1Char('0')),
                          TransferOutcome::True);
            group.haveCobId = true;
            group.cobId = wParam;
            Resume();
        }
        return;
    }
    SdoWriteResult result;
    if (message != WM_SDO_WRITTEN || !m_link.TakeWrites(hwnd(), lParam, result))
        return;
    const QString write = QStringLiteral("%1: %2 = 0x%3")
                              .arg(name, KeyText(lParam))
                              .arg(m_stepValue, 8, 16, QLatin1Char('0'));
    if (result.confirmed == result.total) {
        QString done = m_phase == ClearingCount ? QStringLiteral(", mapping cleared")
                                                : QStringLiteral(", disabled to be mapped");
        if (m_phase == Disabling && group.cobIds.isEmpty())
            done += QStringLiteral("; the file gives no COB-ID to make it valid again");
        emit stepDone(write + done, TransferOutcome::True);
        ++group.stage;
        Resume();
        return;
    }
    // Refused or never confirmed: what the drive holds is not known to allow the mapping.
    if (!result.refused)
        m_linkFailed = true;
    const QString reason =
        result.refused ? AbortReason(result.abortCode) : SdoFailureText(result.failure);
    emit stepDone(write + QStringLiteral(": ") + reason, TransferOutcome::Fail);
    StepFailed(group, result.refused ? ImportFailureText(result.abortCode) : QString(), reason);
}

void CImportRun::ReadBack(const CTransferRow& row, bool unconfirmed)
{
    m_phase = ReadingBack;
    m_unconfirmed = unconfirmed;
    RequestRead(row.key());
}

void CImportRun::Answer(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (m_phase != Writing && m_phase != ReadingBack) {
        StepAnswer(message, wParam, lParam);
        return;
    }
    const CTransferRow row = m_rows[m_current];
    if (m_phase == Writing) {
        if (message == WM_SDO_FAILED) {
            FailForLink(wParam, QString());
            return;
        }
        SdoWriteResult result;
        if (message != WM_SDO_WRITTEN || !m_link.TakeWrites(hwnd(), lParam, result))
            return;
        if (result.confirmed == result.total) {
            ReadBack(row, false);
        } else if (result.refused) {
            Complete(ImportFailureText(result.abortCode), TransferOutcome::Fail,
                     AbortReason(result.abortCode));
        } else if (result.failure == kSdoUnconfirmed) {
            // Sent once and never confirmed: what the drive holds now is all that can be said.
            m_linkFailed = true;
            ReadBack(row, true);
        } else {
            FailForLink(result.failure, QString());
        }
        return;
    }
    if (message == WM_SDO_ABORT) {
        Complete(ImportFailureText(wParam), TransferOutcome::Fail,
                 QStringLiteral("written, but the read-back was refused: ") + AbortReason(wParam));
        return;
    }
    if (message == WM_SDO_FAILED) {
        FailForLink(wParam, QString());
        return;
    }
    if (message != WM_SDO_VALUE)
        return;
    QString read;
    FormatTransferValue(m_dictionary, row.descriptor, wParam, read);
    QString expected = row.loadValue;
    CSdoRecord record;
    if (!m_dictionary.Lookup(row.key(), record)) {
        // An unknown object compares in its width's hexadecimal form on both sides.
        uint32_t raw = 0;
        ParseLoadValue(row.loadValue, raw);
        FormatTransferValue(m_dictionary, row.descriptor, raw, expected);
    }
    if (m_unconfirmed)
        Complete(read, TransferOutcome::Fail,
                 QStringLiteral("the write was not confirmed; the drive holds %1").arg(read));
    else if (read == expected)
        Complete(read, TransferOutcome::True, QString());
    else
        Complete(read, TransferOutcome::Alarm,
                 QStringLiteral("the drive reports %1, the file gives %2").arg(read, expected));
}

// --- CStoreRun ------------------------------------------------------------------------------

CStoreRun::CStoreRun(CCtrlLink& link, CLinkFlags& flags, QObject* parent)
    : QObject(parent), m_link(link), m_flags(flags), m_handle(this)
{
    m_timer.setSingleShot(true);
}

CStoreRun::~CStoreRun()
{
    if (m_running)
        --g_jobsRunning;
}

bool CStoreRun::Start(QString& refusal)
{
    m_hold = TakeLinkForJob(m_running, m_flags, hwnd(), refusal);
    if (!m_hold)
        return false;
    m_running = true;
    m_stored = false;
    m_linkFailed = false;
    ++g_jobsRunning;
    m_step = 1;
    m_timer.disconnect();
    connect(&m_timer, &QTimer::timeout, this, [this] { Write(m_step); });
    m_timer.start(kFirstWaitMs);
    return true;
}

void CStoreRun::Write(int step)
{
    const uint32_t key = step == 1 ? DriveObject::kStoreMotor : DriveObject::kStoreControl;
    const int queued = m_link.RequestWrites(
        hwnd(), {SdoWrite{key, SdoFrame::kWrite1, DriveObject::kStoreCommand}}, key);
    if (queued < 0) {
        m_linkFailed = true;
        StepEnded(false, QStringLiteral("not sent: the link refused the request"));
    }
}

void CStoreRun::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    const uint32_t key = m_step == 1 ? DriveObject::kStoreMotor : DriveObject::kStoreControl;
    if (!m_running || lParam != key || m_step < 1 || m_step > 2)
        return;
    if (message == WM_SDO_FAILED) {
        m_linkFailed = true;
        StepEnded(false, SdoFailureText(wParam));
        return;
    }
    SdoWriteResult result;
    if (message != WM_SDO_WRITTEN || !m_link.TakeWrites(hwnd(), lParam, result))
        return;
    if (result.confirmed == result.total)
        StepEnded(true, QString());
    else if (result.refused)
        StepEnded(false, AbortReason(result.abortCode));
    else {
        m_linkFailed = true;
        StepEnded(false, SdoFailureText(result.failure));
    }
}

void CStoreRun::StepEnded(bool ok, const QString& reason)
{
    const int step = m_step;
    emit stepDone(step, step == 1 ? DriveObject::kStoreMotor : DriveObject::kStoreControl,
                  ok ? TransferOutcome::True : TransferOutcome::Fail, reason);
    m_timer.disconnect();
    if (ok && step == 1) {
        m_step = 2;
        connect(&m_timer, &QTimer::timeout, this, [this] { Write(m_step); });
        m_timer.start(kSecondWaitMs);
        return;
    }
    m_stored = ok;
    m_step = 3;
    connect(&m_timer, &QTimer::timeout, this, &CStoreRun::End);
    m_timer.start(kEndWaitMs);
}

void CStoreRun::End()
{
    m_running = false;
    --g_jobsRunning;
    m_hold.reset();
    emit finished(m_stored);
}

// --- CRestartRun ----------------------------------------------------------------------------

CRestartRun::CRestartRun(CCtrlLink& link, CLinkFlags& flags, QObject* parent)
    : QObject(parent), m_link(link), m_flags(flags), m_handle(this)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_running = false;
        emit finished(m_sent, m_reason);
    });
}

CRestartRun::~CRestartRun() = default;

bool CRestartRun::Start(QString& refusal)
{
    if (m_running) {
        refusal = QStringLiteral("The drive is restarting already.");
        return false;
    }
    if (TransferJobRunning()) {
        refusal = QStringLiteral("A transfer or a store is going; the drive is not restarted "
                                 "before it ends.");
        return false;
    }
    if (m_flags.connected.load() != 1) {
        refusal = kNotOpen;
        return false;
    }
    // The drive starts again after this write: nothing may repeat it.
    auto hold = std::make_unique<CLinkHold>(m_flags, hwnd(),
                                            CLinkHold::kPausePolling | CLinkHold::kNoRetries);
    if (!hold->held()) {
        refusal = HeldElsewhere();
        return false;
    }
    const int queued = m_link.RequestWrites(
        hwnd(),
        {SdoWrite{DriveObject::kRestart, SdoFrame::kWrite2, DriveObject::kRestartSignature}},
        DriveObject::kRestart);
    if (queued < 0) {
        refusal = NotQueuedText(queued);
        return false;
    }
    m_hold = std::move(hold);
    m_running = true;
    m_sent = false;
    m_reason.clear();
    return true;
}

QString CRestartRun::NotQueuedText(int result)
{
    return result == CCtrlLink::kRequestNotConnected ? kNotOpen
                                                     : QStringLiteral("The link refused the "
                                                                      "restart request.");
}

void CRestartRun::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (!m_running || lParam != DriveObject::kRestart || m_timer.isActive())
        return;
    SdoWriteResult result;
    if (message == WM_SDO_WRITTEN && m_link.TakeWrites(hwnd(), lParam, result)) {
        // A drive that fell silent at once has restarted all the same.
        m_sent = result.confirmed == result.total || !result.refused;
        if (result.refused)
            m_reason = AbortReason(result.abortCode);
    } else if (message == WM_SDO_FAILED) {
        m_sent = wParam != kSdoReplaced;
        m_reason = SdoFailureText(wParam);
    } else {
        return;
    }
    m_hold.reset();
    m_timer.start(m_sent ? m_settleMs : 0);
}
