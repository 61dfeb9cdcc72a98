#include "TransferRuns.h"

#include "comm/AbortCodes.h"
#include "comm/CtrlLink.h"
#include "comm/DriveObjects.h"
#include "comm/SdoFrame.h"
#include "dictionary/SdoDatabase.h"

namespace {

// Runs and store sequences going, on the GUI thread that starts them all.
int g_jobsRunning = 0;

const QString kNotOpen = QStringLiteral("Comm port isn't Open!");

QString HeldElsewhere()
{
    return QStringLiteral("Another window holds the drive's link; close it first.");
}

uint8_t WriteCommandOfWidth(int width)
{
    switch (width) {
    case 8:
        return SdoFrame::kWrite1;
    case 16:
        return SdoFrame::kWrite2;
    case 32:
        return SdoFrame::kWrite4;
    default:
        return 0;
    }
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
    if (m_running || TransferJobRunning()) {
        refusal = QStringLiteral("A transfer or a store is going; wait for it to end.");
        return false;
    }
    if (m_flags.connected.load() != 1) {
        refusal = kNotOpen;
        return false;
    }
    auto hold = std::make_unique<CLinkHold>(m_flags, hwnd(), CLinkHold::kPausePolling);
    if (!hold->held()) {
        refusal = HeldElsewhere();
        return false;
    }
    m_hold = std::move(hold);
    for (CTransferRow& row : m_rows) {
        row.value.clear();
        row.outcome = TransferOutcome::None;
        row.reason.clear();
    }
    m_current = 0;
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
    while (m_running && !m_cancel && m_current < m_rows.size()) {
        if (Issue())
            break;
    }
    m_advancing = false;
    if (m_running && (m_cancel || m_current >= m_rows.size()) && !m_awaiting)
        Finish();
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
    ++m_current;
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

bool CImportRun::Issue()
{
    const CTransferRow& row = m_rows[m_current];
    const uint8_t command = WriteCommandOfWidth(row.width());
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

void CImportRun::ReadBack(const CTransferRow& row, bool unconfirmed)
{
    m_phase = ReadingBack;
    m_unconfirmed = unconfirmed;
    RequestRead(row.key());
}

void CImportRun::Answer(unsigned message, uint32_t wParam, uint32_t lParam)
{
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
    if (m_running || TransferJobRunning()) {
        refusal = QStringLiteral("A transfer or a store is going; wait for it to end.");
        return false;
    }
    if (m_flags.connected.load() != 1) {
        refusal = kNotOpen;
        return false;
    }
    auto hold = std::make_unique<CLinkHold>(m_flags, hwnd(), CLinkHold::kPausePolling);
    if (!hold->held()) {
        refusal = HeldElsewhere();
        return false;
    }
    m_hold = std::move(hold);
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
