#pragma once

#include "comm/DriveObjects.h"
#include "comm/LinkHold.h"
#include "comm/MessageLayer.h"

#include <QDialog>
#include <QTimer>

#include <optional>

class CSysData;
class QPushButton;

// Makes the drive store its control or motor parameters, reset its control parameters or
// restart. While open it holds the link alone and polling pauses; the buttons stay disabled
// until the drive's store and initialise objects both read idle again.
class CInitSaveDialog : public QDialog, public CMessageReceiver
{
    Q_OBJECT

public:
    static constexpr uint32_t kStoreControlKey = DriveObject::kStoreControl;
    static constexpr uint32_t kStoreMotorKey = DriveObject::kStoreMotor;
    static constexpr uint32_t kRestartKey = DriveObject::kRestart;
    // The pause between one state answer and the next state read.
    static constexpr int kPollPauseMs = 100;

    explicit CInitSaveDialog(CSysData& sys, QWidget* parent = nullptr);
    ~CInitSaveDialog() override;

    void OnMessage(unsigned message, uint32_t wParam, uint32_t lParam) override;

    HWND hwnd() const { return m_handle.hwnd(); }
    bool buttonsEnabled() const;
    int pollStep() const { return m_pollStep; }
    // State reads decided on but not sent yet (each goes one pause after the one before).
    int readsOwed() const { return m_readsOwed; }

    void StoreControl();
    void StoreMotor();
    void InitialiseControl();
    void Restart();

protected:
    void done(int result) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Send(uint8_t command, uint32_t key, uint32_t value);
    void OnAnswer(uint32_t value, uint32_t key);
    void ReadNextState();
    void OweRead();
    void SetButtonsEnabled(bool enabled);
    void Release();

    CSysData& m_sys;
    int m_pollStep = 0;
    bool m_controlReady = true;
    bool m_motorReady = true;
    int m_readsOwed = 0;
    bool m_released = false;
    QPushButton* m_storeControl = nullptr;
    QPushButton* m_storeMotor = nullptr;
    QPushButton* m_initControl = nullptr;
    QPushButton* m_restart = nullptr;
    QTimer m_pause;
    CWindowHandle m_handle{this};
    // Made once the window has its handle; given back before the pages are told to read again.
    std::optional<CLinkHold> m_hold;
};
