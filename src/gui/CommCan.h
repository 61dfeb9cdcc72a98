#pragma once

#include "comm/MessageLayer.h"

#include <QWidget>

class CConnectionSettings;
class CMainFrameLogic;
class CSysData;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

// The CAN settings window: bit rate (with its PCAN code), driver id, the CAN plugin and
// interface, the library's version line and the connect button.
class CCommCan : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    CCommCan(CSysData& sys, CMainFrameLogic& frame, QWidget* parent = nullptr);

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    void Connect();
    void ShowDetails();
    bool storedByOpen() const { return m_storedByOpen; }
    QString versionText() const;

    struct BitRate
    {
        const char* text;
        uint32_t code; // 0: none
    };
    static const QVector<BitRate>& BitRates();
    // Index of a code in BitRates, -1 for one of none of the six.
    static int BitRateIndex(uint32_t code);

signals:
    void closeRequested();

private:
    void LoadSettings();
    // What the window shows, as settings to open with and save.
    CConnectionSettings ChosenSettings() const;
    void FillInterfaces();
    void ApplyDevice();
    bool ShowVersion();
    void CloseConnection();
    void UpdateConnectIcon();
    void BitRateChanged(int index);

    CSysData& m_sys;
    CMainFrameLogic& m_frame;
    QComboBox* m_bitRate = nullptr;
    QComboBox* m_plugin = nullptr;
    QComboBox* m_interface = nullptr;
    QSpinBox* m_driverId = nullptr;
    QComboBox* m_profile = nullptr; // drive or canopen
    QLabel* m_version = nullptr;
    QPushButton* m_connect = nullptr;
    uint32_t m_code = 0; // code of the last entry that has one
    bool m_versionShown = false;
    bool m_storedByOpen = false;
    bool m_loading = false;
    CWindowHandle m_handle{this};
};
