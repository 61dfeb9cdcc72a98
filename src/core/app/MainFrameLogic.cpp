#include "MainFrameLogic.h"

#include "SysData.h"
#include "base/Report.h"
#include "comm/AbortCodes.h"
#include "comm/ConnectionSettings.h"
#include "comm/OpenSettings.h"
#include "units/ConstantArrival.h"

#include <QDateTime>
#include <QFile>

CMainFrameLogic::CMainFrameLogic(CSysData& sys, bool pollStatusword) : m_sys(sys), m_handle(this)
{
    m_sys.mainFrameWnd = m_handle.hwnd();
    if (pollStatusword)
        m_sys.link.AddLoop(m_handle.hwnd(), DriveObject::kStatusword, 1);
}

CMainFrameLogic::~CMainFrameLogic()
{
    if (m_sys.mainFrameWnd == m_handle.hwnd())
        m_sys.mainFrameWnd = kNoWindow;
}

bool CMainFrameLogic::Fail(const QString& text, QString& error)
{
    m_sys.link.Close();
    m_sys.connected = 2;
    error = text;
    ConnectionChange(0);
    return false;
}

bool CMainFrameLogic::Open(const CConnectionSettings& settings, QString& error,
                           const QString& failureText)
{
    const bool can = settings.mode == CommMode::Can;
    const QString failure =
        !failureText.isEmpty() ? failureText
        : can ? QStringLiteral("open CAN port failure! comm setting might wrong! \n")
              : QStringLiteral("open COM port failure! comm setting might wrong! \n");
    if (settings.mode == CommMode::Offline)
        return Fail(CommText::OfflineMode(), error);
    // Without its library CAN falls back to offline before any setting matters.
    if (can && !m_sys.link.SetMode(CommModeNumber(CommMode::Can))) {
        m_sys.link.SetMode(CommModeNumber(CommMode::Offline));
        m_sys.commMode = CommMode::Offline;
        return Fail(CommText::OfflineMode(), error);
    }
    const QString problem = settings.Validate();
    if (!problem.isEmpty())
        return Fail(failure + problem, error);

    OpenSettings words{};
    if (can) {
        m_sys.link.SetCanDevice(settings.can.backend, settings.can.interfaceName);
        words =
            CanOpenSettings(settings.can.driverId, settings.can.bitrateCode, settings.timeoutMs());
    } else {
        SerialOpenSettings(settings.serial.port, settings.serial.driverId, settings.serial.baud,
                           settings.timeoutMs(), words);
        m_sys.link.SetMode(CommModeNumber(CommMode::Rs232));
    }
    m_sys.link.SetNodeId(settings.driverId());
    m_sys.link.SetProfile(settings.profile());
    if (m_sys.link.Open(words) != 0) {
        // The transport's own words say which port failed and why.
        return Fail(failure + m_sys.link.LastOpenError(), error);
    }
    m_sys.openedSettings = settings;
    m_sys.statusText = settings.OpenStatusText();
    if (can) {
        // A bit rate the interface could not be given is said, not shown as if it ran at it.
        const QString warning = m_sys.link.LastOpenError();
        if (!warning.isEmpty()) {
            m_sys.statusText = QStringLiteral("Comm Status: Open");
            ReportMessage(warning, MessageKind::Warning);
        }
    }
    m_sys.portOpened = 1;
    m_waitingFirstAnswer = true;
    m_sys.connected = 1;
    if (onConnectionChanged)
        onConnectionChanged();
    return true;
}

bool CMainFrameLogic::OpenSerial(const QString& portName, uint32_t baud, uint32_t nodeId,
                                 uint32_t timeoutMs, QString& error)
{
    CConnectionSettings settings;
    settings.mode = CommMode::Rs232;
    settings.serial = {portName, baud, nodeId, timeoutMs};
    return Open(settings, error);
}

void CMainFrameLogic::CloseConnection()
{
    m_sys.connected = 2;
    ConnectionChange(0);
}

void CMainFrameLogic::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    switch (message) {
    case WM_SDO_VALUE:
        DriveAnswered();
        if (lParam == DriveObject::kStatusword)
            DriveStateUpdate(wParam);
        else
            OnConstantArrived(m_sys.evaluator, lParam, wParam);
        break;
    case WM_COMM_FAILED:
        ConnectionChange(wParam);
        break;
    case WM_ALL_PAGES:
        if (onPagesControl)
            onPagesControl(2);
        break;
    case WM_LINK_OPENED:
        SetStateIcon(IconDriveOk);
        break;
    case WM_OPEN_WINDOW:
        if (onOpenWindow)
            onOpenWindow(wParam);
        break;
    case WM_BUS_EVENT:
        OnBusEvent(wParam, lParam);
        break;
    default:
        break;
    }
}

void CMainFrameLogic::WatchBus()
{
    m_sys.link.SetBusWindow(m_handle.hwnd());
}

void CMainFrameLogic::OnBusEvent(uint32_t wParam, uint32_t lParam)
{
    const QString text = BusEventText(wParam, lParam);
    m_busEvents.Add(QDateTime::currentDateTime(), wParam, lParam);
    if (onBusEvent)
        onBusEvent(text);
    // A log line the operator can look at after the fact; a log that cannot be written is
    // simply not kept.
    QFile log(m_sys.userDir + QStringLiteral("/bus-events.log"));
    if (log.open(QIODevice::Append | QIODevice::Text)) {
        log.write(QDateTime::currentDateTime()
                      .toString(Qt::ISODateWithMs)
                      .append(QStringLiteral("  "))
                      .append(text)
                      .append(QLatin1Char('\n'))
                      .toUtf8());
    }
}

void CMainFrameLogic::DriveAnswered()
{
    if (m_waitingFirstAnswer) {
        m_waitingFirstAnswer = false;
        m_sys.portOpened = 0;
    }
}

void CMainFrameLogic::ConnectionChange(uint32_t wParam)
{
    if (wParam != 0) {
        m_sys.connected = 1;
        if (onStatusText)
            onStatusText(m_sys.statusText);
    } else {
        m_lastDriveState = -1;
        SetStateIcon(IconNoDrive);
        m_sys.connected = 2;
        if (onStatusText)
            onStatusText(CommText::Closed());
        m_sys.link.Close();
    }
    if (onConnectionChanged)
        onConnectionChanged();
    if (m_waitingFirstAnswer) {
        m_waitingFirstAnswer = false;
        m_sys.portOpened = 0;
        if (wParam == 0)
            ReportMessage(QStringLiteral("Not Find Driver! Please Check..."));
    }
    // A closed line leaves the pages' values on show but no longer current (action 6); an open
    // one has them read again (action 2).
    if (onPagesControl)
        onPagesControl(wParam != 0 ? 2 : 6);
}

void CMainFrameLogic::DriveStateUpdate(uint32_t statusword)
{
    if (m_lastDriveState == -1)
        ConnectionChange(1);
    if (statusword & 0x08) {
        if (m_lastDriveState != 1)
            SetStateIcon(IconFault);
        m_lastDriveState = 1;
    } else {
        if (m_lastDriveState != 0)
            SetStateIcon(IconDriveOk);
        m_lastDriveState = 0;
    }
}

void CMainFrameLogic::TimerTick()
{
    if (m_sys.connected == 1) {
        m_blinkPhase = !m_blinkPhase;
        const int lit = m_lastDriveState == 1 ? IconFault : IconDriveOk;
        SetStateIcon(m_blinkPhase ? lit : IconNoDrive);
    } else {
        m_sys.evaluator.ClearConsts();
        SetStateIcon(IconNoDrive);
    }
}

void CMainFrameLogic::SetStateIcon(int icon)
{
    m_stateIcon = icon;
    if (onStateIcon)
        onStateIcon(icon);
}
