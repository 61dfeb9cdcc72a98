#include "MainFrameLogic.h"

#include "SysData.h"
#include "base/Report.h"
#include "comm/CanBitRates.h"
#include "comm/OpenSettings.h"
#include "units/ConstantArrival.h"

namespace {
const QString kClosedText = QStringLiteral("Comm Status: Closed");

} // namespace

CMainFrameLogic::CMainFrameLogic(CSysData& sys, bool pollStatusword) : m_sys(sys), m_handle(this)
{
    m_sys.mainFrameWnd = m_handle.hwnd();
    if (pollStatusword)
        m_sys.link.AddLoop(m_handle.hwnd(), kStatuswordKey, 1);
}

CMainFrameLogic::~CMainFrameLogic()
{
    if (m_sys.mainFrameWnd == m_handle.hwnd())
        m_sys.mainFrameWnd = kNoWindow;
}

QString CMainFrameLogic::CanStatusText(uint32_t bitrateCode)
{
    if (const CanBitRates::Rate* rate = CanBitRates::Find(bitrateCode))
        return QStringLiteral("Comm Status: Open %1").arg(QLatin1String(rate->text));
    return kClosedText;
}

bool CMainFrameLogic::FinishOpen(int result, const QString& failureText, QString& error)
{
    if (result != 0) {
        // The transport's own words say which port failed and why.
        const QString cause = m_sys.link.LastOpenError();
        m_sys.link.Close();
        m_sys.connected = 2;
        error = cause.isEmpty() ? failureText : failureText + cause;
        ConnectionChange(0);
        return false;
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
    OpenSettings settings{};
    if (!SerialOpenSettings(portName, nodeId, baud, timeoutMs, settings)) {
        error = QStringLiteral("open COM port failure!! \n");
        return false;
    }
    m_sys.link.SetMode(2);
    m_sys.link.SetNodeId(nodeId);
    const int result = m_sys.link.Open(settings.data());
    if (result == 0) {
        m_sys.serialPortName = portName;
        m_sys.baudOrBitrate = baud;
        m_sys.driverId = static_cast<uint8_t>(nodeId);
        m_sys.statusText = QStringLiteral("Comm Status: Open  %1  %2").arg(portName).arg(baud);
    }
    return FinishOpen(result, QStringLiteral("open COM port failure! comm setting might wrong! \n"),
                      error);
}

bool CMainFrameLogic::OpenCan(const QString& plugin, const QString& interfaceName,
                              uint32_t bitrateCode, uint32_t nodeId, uint32_t timeoutMs,
                              QString& error)
{
    if (!m_sys.link.SetMode(5)) {
        m_sys.link.SetMode(1);
        error = QStringLiteral("The connecting mode is Offline!!");
        return false;
    }
    m_sys.link.SetNodeId(nodeId);
    m_sys.link.SetCanDevice(plugin, interfaceName);
    const OpenSettings settings = CanOpenSettings(nodeId, bitrateCode, timeoutMs);
    const int result = m_sys.link.Open(settings.data());
    if (result == 0) {
        m_sys.baudOrBitrate = bitrateCode;
        m_sys.driverId = static_cast<uint8_t>(nodeId);
        // A bit rate the interface could not be given is said, not shown as if it ran at it.
        const QString warning = m_sys.link.LastOpenError();
        m_sys.statusText =
            warning.isEmpty() ? CanStatusText(bitrateCode) : QStringLiteral("Comm Status: Open");
        if (!warning.isEmpty())
            ReportMessage(warning, MessageKind::Warning);
    }
    return FinishOpen(result, QStringLiteral("open CAN port failure! comm setting might wrong! \n"),
                      error);
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
        if (lParam == kStatuswordKey)
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
    default:
        break;
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
            onStatusText(kClosedText);
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
