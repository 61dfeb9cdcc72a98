#pragma once

#include "CliOptions.h"

#include "app/MainFrameLogic.h"
#include "app/SysData.h"

#include <QProcess>
#include <QString>

#include <functional>
#include <memory>

// One drivactl run: the program-wide data, the main frame's logic, an optional virtual drive
// started for the run, and the connection. Commands wait for answers by running the event loop,
// so the link's worker hands its results over exactly as it does to the windows.
class CCliSession : public CMessageReceiver
{
public:
    struct Answer
    {
        enum Kind
        {
            Value,
            Abort,
            Segment,
            CommFailed,
            NotQueued, // the link did not take the request
            Timeout
        } kind = Timeout;
        uint32_t value = 0; // the value, or the abort code
        // A refused write: the value the drive holds, read back by the link after the refusal.
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
    // Segmented read of a text object; false with the abort code or failure in answer.
    bool Upload(uint32_t key, QByteArray& text, Answer& answer);

    // Runs the event loop until the predicate holds, the link failed or the timeout (ms, < 0:
    // none) ran out; pollMs bounds how long one look at the predicate may be late.
    bool WaitUntil(const std::function<bool()>& predicate, qint64 timeoutMs, int pollMs = 50);
    // Until every queued request has been exchanged and its answers handled.
    bool WaitUntilLinkIdle();
    bool commFailed() const { return m_commFailed; }
    int exchangeTimeoutMs() const;

    // Messages for this session's own window while a command listens (watch).
    std::function<void(unsigned, uint32_t, uint32_t)> onMessage;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

private:
    bool StartSimulator(QString& portOrInterface, QString& error);

    CliOptions m_options;
    std::unique_ptr<CSysData> m_sys;
    std::unique_ptr<CMainFrameLogic> m_mainFrame;
    std::unique_ptr<CWindowHandle> m_handle;
    std::unique_ptr<QProcess> m_sim;
    bool m_commFailed = false;
    bool m_anyAnswer = false;
    bool m_waiting = false;
    uint32_t m_waitKey = 0;
    Answer m_answer;
    bool m_answered = false;
};

// The installation folder and its sys.ini, checked before anything waits on them: an exit code
// and the operator's message.
int CheckInstallation(const CliOptions& options, QString& error);
