#pragma once

#include "comm/ConnectionFacts.h"
#include "comm/MessageLayer.h"

#include <QWidget>

class CSysData;
class QPushButton;
class QRadioButton;

// The communication mode window: CAN, RS232 or offline (RS485 and USB are shown but never
// offered). Next saves the mode and asks for the settings window of that mode.
class CCommMode : public QWidget, public CMessageReceiver
{
    Q_OBJECT

public:
    explicit CCommMode(CSysData& sys, QWidget* parent = nullptr);

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;
    CommMode mode() const { return m_mode; }

signals:
    // Next: the connection is to be closed, then the settings window of the mode opened.
    void closeConnectionRequested();
    void settingsRequested(CommMode mode);
    void closeRequested();

private:
    void Choose(CommMode mode);
    void ApplyCan();
    void ApplySerial();
    void ApplyOffline();
    void Next();

    CSysData& m_sys;
    CommMode m_mode = CommMode::Offline;
    QRadioButton* m_can = nullptr;
    QRadioButton* m_rs232 = nullptr;
    QRadioButton* m_offline = nullptr;
    QPushButton* m_next = nullptr;
    CWindowHandle m_handle{this};
};
