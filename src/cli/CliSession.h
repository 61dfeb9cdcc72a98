#pragma once

#include "CliOptions.h"

#include "app/MainFrameLogic.h"
#include "app/SysData.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

// One drivactl run: the program-wide data, the main frame's logic, an optional virtual drive
// started for the run, and the connection. Commands wait for answers by running the event loop,
// so the link's worker hands its results over exactly as it does to the windows; the loop sleeps
// until a message, the link's idle notice or a timer wakes it.
class CCliSession : public CMessageReceiver
{
public:
    struct Answer
    {
        enum Kind
        {
            Value,
            Abort,       // the drive's refusal: value is its abort code
            Uploaded,    // a whole upload: value is its length, the bytes come with Upload
            Unconfirmed, // a write went out and was never confirmed
            CommFailed,  // no answer the link vouches for: value is the SdoFailure, or 0
            NotQueued,   // the link did not take the request
            Timeout      // the wait's guard or the --deadline ran out
        } kind = Timeout;
        uint32_t value = 0; // the value, the abort code or the reason
        // A refused or unconfirmed write: the value the drive holds, read back by the link.
        bool heldKnown = false;
        uint32_t held = 0;
    };

    explicit CCliSession(const CliOptions& options);
    ~CCliSession() override;

    CSysData& sys() { return *m_sys; }
    CMainFrameLogic& mainFrame() { return *m_mainFrame; }
    HWND hwnd() const { return m_handle->hwnd(); }

    // Settles the language, loads the dictionary and waits for it. An exit code; a message in
    // error when the core has not printed one already.
    int LoadDictionary(QString& error);
    // Starts the virtual drive when asked, then opens the link. Returns an exit code.
    int Connect(QString& error);

    // One exchange, waited for. The first exchange that fails reports the missing drive.
    Answer Exchange(uint8_t command, uint32_t key, uint32_t value);
    // Runs issue (which makes something request key for this session's window) and waits for
    // the answer about key.
    Answer Await(uint32_t key, const std::function<void()>& issue);
    // A whole text object by the link's upload job; false with the abort code or the failure in
    // answer.
    bool Upload(uint32_t key, QByteArray& text, Answer& answer);

    // Runs the event loop until the predicate holds, the link failed, the timeout (ms, < 0:
    // none) or the command's deadline ran out. The predicate is looked at again whenever a
    // message for this session arrives, so it must depend on those messages or on the link's
    // idle notice.
    bool WaitUntil(const std::function<bool()>& predicate, qint64 timeoutMs);
    // As WaitUntil, but a failed link does not end the wait: for a job that reports every
    // outcome itself (a transfer run fails its remaining rows at once), so it is seen through.
    bool WaitThroughFailure(const std::function<bool()>& predicate);
    // Until every queued request has been exchanged and its answers handled.
    bool WaitUntilLinkIdle();
    bool commFailed() const { return m_commFailed; }
    // Whether the --deadline has passed; every wait ends at once from then on.
    bool deadlinePassed() const;
    int exchangeTimeoutMs() const;

    // Makes the innermost wait look at its predicate again (for changes it learns of otherwise
    // than by a message to this session).
    void Wake()
    {
        if (m_loop)
            m_loop->quit();
    }

    // Messages for this session's own window while a command listens (watch).
    std::function<void(unsigned, uint32_t, uint32_t)> onMessage;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

private:
    void Note(unsigned message, uint32_t wParam, uint32_t lParam);
    bool StartSimulator(QString& portOrInterface, QString& error);

    CliOptions m_options;
    std::unique_ptr<CSysData> m_sys;
    std::unique_ptr<CMainFrameLogic> m_mainFrame;
    std::unique_ptr<CWindowHandle> m_handle;
    std::unique_ptr<QProcess> m_sim;
    bool m_commFailed = false;
    bool m_stopOnFailure = true; // the innermost wait ends when the link fails
    QDeadlineTimer m_deadline;
    QEventLoop* m_loop = nullptr; // the innermost wait, woken by every message
    QByteArray m_uploaded;
    bool m_anyAnswer = false;
    bool m_waiting = false;
    uint32_t m_waitKey = 0;
    Answer m_answer;
    bool m_answered = false;
};

// Says on standard error why an exchange brought no answer a command can use (nothing when the
// --deadline ended it: the program says that once); the exit code, 2.
int ReportNoAnswer(CCliSession& session, uint32_t key, const CCliSession::Answer& answer);
// A write that went out and was never confirmed: what was and was not confirmed, and what a
// read-back found; the exit code, 2.
int ReportUnconfirmed(uint32_t key, const TypeWidth& type, uint32_t written,
                      const CCliSession::Answer& answer);

// A raw value in a unit as a page row shows it (constants the unit needs are read on the way);
// false when it cannot be shown.
bool DisplayValue(CCliSession& session, uint32_t key, const QString& dataType, const QString& unit,
                  CCliSession::Answer answer, QString& text);

// Reads every constant that the unit's formulas need and has not been read yet; an exit code.
int FetchUnitConstants(CCliSession& session, uint32_t key, const QString& unit);

// The installation folder and its sys.ini, checked before anything waits on them: an exit code
// and the operator's message.
int CheckInstallation(const CliOptions& options, QString& error);
