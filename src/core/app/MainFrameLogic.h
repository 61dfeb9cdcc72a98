#pragma once

#include "BusEventList.h"
#include "comm/MessageLayer.h"

#include <QString>

#include <cstdint>
#include <functional>

class CConnectionSettings;
class CSysData;

// The main frame's share of the drive logic, apart from any window: it owns the main frame's
// window handle (mainFrameWnd), opens and closes the link, waits for the drive's first answer,
// follows the statusword to tell whether the drive is in fault, caches the formula constants
// that arrive for it, and reacts to transfer failures. The GUI main window and drivactl wrap it.
class CMainFrameLogic : public CMessageReceiver
{
public:
    // Toolbar state icons.
    enum StateIcon
    {
        IconNoDrive = 205,
        IconFault = 210,
        IconDriveOk = 211
    };

    explicit CMainFrameLogic(CSysData& sys, bool pollStatusword = true);
    ~CMainFrameLogic() override;

    HWND hwnd() const { return m_handle.hwnd(); }

    // Opens the link with the settings of their mode (SetMode, SetNodeId, Open), keeps them as
    // the opened settings and starts waiting for the first answer. Settings that do not
    // validate open nothing. On failure the link is closed, connected = 2 and error holds
    // failureText (by default the connect button's text for the mode) and the cause; a CAN
    // library that cannot be loaded makes the mode offline.
    bool Open(const CConnectionSettings& settings, QString& error,
              const QString& failureText = QString());
    // Open on a serial line given outright.
    bool OpenSerial(const QString& portName, uint32_t baud, uint32_t nodeId, uint32_t timeoutMs,
                    QString& error);
    // Closes the connection as the connect button does (connected = 2, closed indicators).
    void CloseConnection();

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    // The 1200 ms indicator timer: blinks while connected, forgets constants while not.
    void TimerTick();

    // Ends the wait for the first answer (a front end that saw the drive answer its own window).
    void DriveAnswered();

    bool waitingForFirstAnswer() const { return m_waitingFirstAnswer; }
    int lastDriveState() const { return m_lastDriveState; }
    int stateIcon() const { return m_stateIcon; }

    // Front-end hooks, all called on the main thread.
    std::function<void(int icon)> onStateIcon;
    std::function<void(const QString& text)> onStatusText;
    // WM_PAGE_CONTROL code to every page: 2 when the drive answers after an open, 6 when the
    // connection closed.
    std::function<void(unsigned code)> onPagesControl;
    std::function<void()> onConnectionChanged;
    // WM_USER+2: 0 or 1 the settings window of the communication mode, 2 the dictionary browser.
    std::function<void(uint32_t which)> onOpenWindow;
    // A heartbeat, emergency or lost node on the CAN bus, as text; set, the main frame also
    // takes the link's bus events (and logs each to user/bus-events.log).
    std::function<void(const QString& text)> onBusEvent;
    // Every bus event taken, newest first: the rows of the Emergencies window.
    CBusEventList& busEvents() { return m_busEvents; }
    // Makes this main frame the link's bus window.
    void WatchBus();

private:
    void OnBusEvent(uint32_t wParam, uint32_t lParam);
    void ConnectionChange(uint32_t wParam);
    void DriveStateUpdate(uint32_t statusword);
    void SetStateIcon(int icon);
    bool Fail(const QString& text, QString& error);

    CSysData& m_sys;
    CWindowHandle m_handle;
    CBusEventList m_busEvents;
    bool m_waitingFirstAnswer = false;
    int m_lastDriveState = -1;
    int m_stateIcon = IconNoDrive;
    bool m_blinkPhase = false;
};
