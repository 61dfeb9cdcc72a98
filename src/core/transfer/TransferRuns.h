#pragma once

// The runs of whole-configuration transfer, shared by the export and import windows and
// drivactl: each is a QObject with a window handle of its own that asks the control link for
// one object at a time and advances only on the answer, reporting every row as it ends. No run
// waits on the thread it lives on: answers arrive as messages, pauses are timers.

#include "TransferFormats.h"

#include "comm/LinkFlags.h"
#include "comm/LinkHold.h"
#include "comm/MessageLayer.h"
#include "pdo/PdoMapping.h"

#include <QMetaType>
#include <QObject>
#include <QTimer>

#include <memory>

class CCtrlLink;
class CSdoDatabase;

// One row's end, as the runs report it.
struct CRowResult
{
    int row = -1;
    uint32_t key = 0;
    QString value; // the text for the value column (value read, read back, or failure code)
    TransferOutcome outcome = TransferOutcome::None;
    QString reason; // words for Alarm and Fail
};
Q_DECLARE_METATYPE(CRowResult)
Q_DECLARE_METATYPE(CTransferCounts)

// Whether a transfer run or a store sequence is going anywhere in the program (a restart is
// refused then).
bool TransferJobRunning();

// What every run shares: the rows, the hold on the link, the row-by-row advance.
class CTransferRun : public QObject, protected CMessageReceiver
{
    Q_OBJECT
public:
    ~CTransferRun() override;
    CTransferRun(const CTransferRun&) = delete;
    CTransferRun& operator=(const CTransferRun&) = delete;

    // The rows to run; ignored while running.
    void SetRows(QVector<CTransferRow> rows);
    const QVector<CTransferRow>& rows() const { return m_rows; }
    bool running() const { return m_running; }
    // Starts at the first row: false with the operator's text when the port is not open
    // ("Comm port isn't Open!"), another window holds the link, or a run or store is going.
    // Polling pauses and the link is held until the run ends.
    bool Start(QString& refusal);
    // Ends the run after the outstanding answer; rows not reached stay empty.
    void Cancel();
    // A row failed for the link's own reasons (no answer, a write not confirmed, the connection
    // gone), not because the drive refused it.
    bool linkFailed() const { return m_linkFailed; }
    CTransferCounts counts() const { return CountOutcomes(m_rows); }
    HWND hwnd() const { return m_handle.hwnd(); }

signals:
    void started(int total);
    void rowDone(const CRowResult& result);
    void finished(const CTransferCounts& counts);

protected:
    CTransferRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
                 QObject* parent);

    // Sends the request of row m_current; false when the row ended at once (Complete called).
    virtual bool Issue() = 0;
    // Ends row m_current and moves on.
    void Complete(const QString& value, TransferOutcome outcome, const QString& reason);
    // A read of the row's object; false (the row failed) when the link took nothing.
    bool RequestRead(uint32_t key);
    // Fails the row with the link's reason and marks the run as one the link failed.
    void FailForLink(uint32_t failure, const QString& value);
    // The refusal of the link as words ("not connected", ...).
    static QString NotQueuedReason(int result);
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    virtual void Answer(unsigned message, uint32_t wParam, uint32_t lParam) = 0;
    // The order the rows run in, as file indices, chosen at the start; file order by default.
    virtual QVector<int> PlanOrder();
    // Called as row m_current ends, before the next row is issued.
    virtual void RowEnded() {}
    // Issues row m_current again after an answer to a request that did not end it.
    void Resume();

    CCtrlLink& m_link;
    CLinkFlags& m_flags;
    const CSdoDatabase& m_dictionary;
    QVector<CTransferRow> m_rows;
    int m_current = 0; // the file index of the row being run
    uint32_t m_awaitedKey = 0;
    bool m_awaiting = false;
    bool m_linkFailed = false;

private:
    void Next();
    void Finish();

    CWindowHandle m_handle;
    std::unique_ptr<CLinkHold> m_hold;
    QVector<int> m_order;
    int m_step = 0; // rows of m_order ended
    bool m_running = false;
    bool m_cancel = false;
    bool m_advancing = false;
};

// Reads every row's object (command 0x40) and keeps the value text (decimal by the dictionary
// type, hexadecimal by width for unknown objects) or the abort code.
class CExportRun final : public CTransferRun
{
    Q_OBJECT
public:
    CExportRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
               QObject* parent = nullptr);

private:
    bool Issue() override;
    void Answer(unsigned message, uint32_t wParam, uint32_t lParam) override;
};

// Writes every row's load value with the command of its width (never the same write twice),
// reads the object back and compares: True when the text is the file's, Alarm otherwise, Fail
// when the write or the read-back did not go through. A row without a value or of a width
// other than 8, 16, 32 is Fail without asking the drive.
//
// A drive takes a PDO's mapping only while the PDO is not valid and its entries only while the
// count is 0, so the mapping rows of a PDO run together, where the first of them or its COB-ID row
// stands in the file: the COB-ID with bit 31 set (the file's, else the drive's read first), count
// 0, the entries, the count, then the file's COB-ID. The first two are writes of the run's own,
// reported by stepDone, unless the file's own COB-ID (not valid) or count (0) row does the same;
// when one is refused, or a mapping row does not end True, the group's remaining rows are Fail
// unwritten and the PDO stays disabled, never half-mapped and valid.
class CImportRun final : public CTransferRun
{
    Q_OBJECT
public:
    CImportRun(CCtrlLink& link, CLinkFlags& flags, const CSdoDatabase& dictionary,
               QObject* parent = nullptr);

signals:
    // A request the run makes besides the rows, as a line for the log.
    void stepDone(const QString& line, TransferOutcome outcome);

private:
    enum Phase
    {
        Writing,
        ReadingBack,
        ReadingCobId,  // the drive's COB-ID, when the file gives none to disable the PDO with
        Disabling,     // the COB-ID with bit 31 set
        ClearingCount, // count 0
    };
    // The rows of one PDO's mapping and COB-ID, by file index.
    struct PdoGroup
    {
        Pdo::Address pdo;
        QVector<int> entries, counts, cobIds;
        bool haveCobId = false; // cobId holds the COB-ID to disable the PDO with
        uint32_t cobId = 0;
        bool cobIdFirst = false;       // the file's COB-ID is not valid: its row disables the PDO
        bool countFirst = false;       // the file's count is 0: its row clears the mapping
        int stage = 0;                 // 0: nothing written yet, 1: disabled, 2: count 0
        QString failValue, failReason; // set once the group's rows can no longer be written
    };
    QVector<int> PlanOrder() override;
    bool Issue() override;
    void RowEnded() override;
    void Answer(unsigned message, uint32_t wParam, uint32_t lParam) override;
    bool WriteRow();
    bool SendStep(Phase phase, uint32_t key, uint8_t command, uint32_t value);
    void StepAnswer(unsigned message, uint32_t wParam, uint32_t lParam);
    void StepFailed(PdoGroup& group, const QString& value, const QString& reason);
    void ReadBack(const CTransferRow& row, bool unconfirmed);
    QVector<PdoGroup> m_groups;
    QVector<int> m_groupOf; // per row: its group, or -1
    uint32_t m_stepValue = 0;
    Phase m_phase = Writing;
    bool m_unconfirmed = false; // the read-back follows a write nobody confirmed
    uint32_t m_tag = 0;
};

// The store sequence: wait, 2FF0:03 = 1 (motor parameters), wait, 2FF0:01 = 1 (control
// parameters), wait, done. A failed step ends the sequence after the last wait without the
// steps after it.
class CStoreRun final : public QObject, private CMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int kFirstWaitMs = 100;
    static constexpr int kSecondWaitMs = 400;
    static constexpr int kEndWaitMs = 800;

    CStoreRun(CCtrlLink& link, CLinkFlags& flags, QObject* parent = nullptr);
    ~CStoreRun() override;
    bool Start(QString& refusal);
    bool running() const { return m_running; }
    bool stored() const { return m_stored; }
    bool linkFailed() const { return m_linkFailed; }
    HWND hwnd() const { return m_handle.hwnd(); }

signals:
    // step 1 (2FF0:03) or 2 (2FF0:01).
    void stepDone(int step, uint32_t key, TransferOutcome outcome, const QString& reason);
    void finished(bool stored);

private:
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    void Write(int step);
    void StepEnded(bool ok, const QString& reason);
    void End();

    CCtrlLink& m_link;
    CLinkFlags& m_flags;
    CWindowHandle m_handle;
    std::unique_ptr<CLinkHold> m_hold;
    QTimer m_timer;
    int m_step = 0;
    bool m_running = false;
    bool m_stored = false;
    bool m_linkFailed = false;
};

// The restart: 2FFF:00 = AA55h with retries off, refused while a run or store is going. The
// drive falls silent as it starts again, so an answer that never comes is no failure here;
// finished follows once the drive had settleMs to come back.
class CRestartRun final : public QObject, private CMessageReceiver
{
    Q_OBJECT
public:
    static constexpr int kDefaultSettleMs = 1500;

    CRestartRun(CCtrlLink& link, CLinkFlags& flags, QObject* parent = nullptr);
    ~CRestartRun() override;
    void SetSettleMs(int ms) { m_settleMs = ms; }
    bool Start(QString& refusal);
    bool running() const { return m_running; }
    HWND hwnd() const { return m_handle.hwnd(); }

signals:
    // sent: the drive took the command or fell silent after it; false with the drive's refusal.
    void finished(bool sent, const QString& reason);

private:
    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    static QString NotQueuedText(int result);

    CCtrlLink& m_link;
    CLinkFlags& m_flags;
    CWindowHandle m_handle;
    std::unique_ptr<CLinkHold> m_hold;
    QTimer m_timer;
    int m_settleMs = kDefaultSettleMs;
    bool m_running = false;
    bool m_sent = false;
    QString m_reason;
};
