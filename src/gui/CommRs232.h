#pragma once

#include "comm/MessageLayer.h"

#include <QWidget>

class CConnectionSettings;
class CMainFrameLogic;
class CSysData;
class QComboBox;
class QPushButton;
class QSpinBox;

// The serial settings window: port, baud rate and driver id, and the connect button that opens
// or closes the link with them. The settings are saved in sys.ini after every connect.
class CCommRs232 : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    CCommRs232(CSysData& sys, CMainFrameLogic& frame, QWidget* parent = nullptr);

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    // Rebuilds the port list, keeping the selection (and the saved port, whatever it is).
    void FillPorts();
    // The connect button.
    void Connect();
    // Whether the stored connection data came from an open of this window.
    bool storedByOpen() const { return m_storedByOpen; }
    QString selectedPort() const;
    uint32_t selectedBaud() const;

    static const QVector<uint32_t>& BaudRates();

signals:
    void closeRequested();

private:
    void LoadSettings();
    // What the window shows, as settings to open with and save.
    CConnectionSettings ChosenSettings() const;
    void CloseConnection();
    void UpdateConnectIcon();
    void SelectionChanged();

    CSysData& m_sys;
    CMainFrameLogic& m_frame;
    QComboBox* m_port = nullptr;
    QComboBox* m_baud = nullptr;
    QSpinBox* m_driverId = nullptr;
    QPushButton* m_connect = nullptr;
    QString m_savedPort;
    bool m_storedByOpen = false;
    bool m_filling = false;
    CWindowHandle m_handle{this};
};
