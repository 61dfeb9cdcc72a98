#include "InitSaveDialog.h"

#include "app/SysData.h"
#include "base/Report.h"
#include "comm/SdoFrame.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QVBoxLayout>

CInitSaveDialog::CInitSaveDialog(CSysData& sys, QWidget* parent) : QDialog(parent), m_sys(sys)
{
    setObjectName(QStringLiteral("CInitSaveDialog"));
    setWindowTitle(tr("参数初始化 / 保存"));
    // The link alone; a drive that restarts is not asked again, and polling would only get in
    // the way.
    m_hold.emplace(m_sys, m_handle.hwnd(), CLinkHold::kPausePolling | CLinkHold::kNoRetries);
    m_pollStep = 0;

    auto make = [this](const QString& text, const char* name) {
        auto* button = new QPushButton(text, this);
        button->setObjectName(QLatin1String(name));
        button->setAutoDefault(false);
        return button;
    };
    m_storeControl = make(tr("存储控制参数"), "storeControl");
    m_storeMotor = make(tr("存储电机参数"), "storeMotor");
    m_initControl = make(tr("初始化控制参数"), "initControl");
    m_restart = make(tr("驱动器重启"), "restart");
    // Kept from the dialog's first design: present, never shown.
    QPushButton* saveAll = make(tr("驱动器保存参数"), "saveAll");
    QPushButton* exitButton = make(tr("退出"), "exit");
    for (QPushButton* hidden : {saveAll, exitButton}) {
        hidden->setEnabled(false);
        hidden->hide();
    }
    auto* layout = new QVBoxLayout(this);
    for (QPushButton* button : {m_storeControl, m_storeMotor, m_initControl, m_restart})
        layout->addWidget(button);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_storeControl, &QPushButton::clicked, this, &CInitSaveDialog::StoreControl);
    connect(m_storeMotor, &QPushButton::clicked, this, &CInitSaveDialog::StoreMotor);
    connect(m_initControl, &QPushButton::clicked, this, &CInitSaveDialog::InitialiseControl);
    connect(m_restart, &QPushButton::clicked, this, &CInitSaveDialog::Restart);
    connect(exitButton, &QPushButton::clicked, this, &CInitSaveDialog::reject);

    // The pause is a timer so that the window keeps painting and answering while it waits.
    m_pause.setSingleShot(true);
    m_pause.setInterval(kPollPauseMs);
    connect(&m_pause, &QTimer::timeout, this, &CInitSaveDialog::ReadNextState);

    SetButtonsEnabled(true);
    m_pollStep = 1;
}

CInitSaveDialog::~CInitSaveDialog()
{
    Release();
    m_hold->Release();
    SendMessage(m_sys.mainFrameWnd, WM_ALL_PAGES, 0, 0);
}

bool CInitSaveDialog::buttonsEnabled() const
{
    return m_storeControl->isEnabled();
}

void CInitSaveDialog::Send(uint8_t command, uint32_t key, uint32_t value)
{
    if (m_sys.connected != 1) {
        ReportMessage(QStringLiteral("Comm port isn't Open!"));
        return;
    }
    m_sys.link.Request(m_handle.hwnd(), command, key, value);
}

void CInitSaveDialog::StoreControl()
{
    Send(SdoFrame::kWrite1, kStoreControlKey, 1);
}

void CInitSaveDialog::StoreMotor()
{
    Send(SdoFrame::kWrite1, kStoreMotorKey, 1);
}

void CInitSaveDialog::InitialiseControl()
{
    Send(SdoFrame::kWrite1, kStoreControlKey, 10);
}

void CInitSaveDialog::Restart()
{
    Send(SdoFrame::kWrite2, kRestartKey, DriveObject::kRestartSignature);
}

void CInitSaveDialog::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_SDO_VALUE)
        OnAnswer(wParam, lParam);
}

void CInitSaveDialog::OnAnswer(uint32_t value, uint32_t key)
{
    const uint8_t state = uint8_t(value & 0xFF);
    if (key == kStoreControlKey) {
        if (state == 10)
            m_sys.link.Request(m_handle.hwnd(), SdoFrame::kWrite1, kStoreControlKey, 0);
        m_controlReady = state == 10 || state == 0;
    } else if (key == kStoreMotorKey) {
        m_motorReady = state == 0;
    } else {
        return;
    }
    if (m_controlReady && m_motorReady) {
        SetButtonsEnabled(true);
        return;
    }
    SetButtonsEnabled(false);
    OweRead();
}

// Every answer that finds the drive busy is followed by its own state read; answers that come
// closer together than the pause queue their reads instead of sharing one.
void CInitSaveDialog::OweRead()
{
    ++m_readsOwed;
    if (!m_pause.isActive())
        m_pause.start();
}

void CInitSaveDialog::ReadNextState()
{
    if (m_readsOwed == 0)
        return;
    if (--m_readsOwed > 0)
        m_pause.start();
    if (m_pollStep == 1) {
        m_sys.link.Request(m_handle.hwnd(), SdoFrame::kRead, kStoreControlKey, 0);
        m_pollStep = 2;
    } else if (m_pollStep == 2) {
        m_sys.link.Request(m_handle.hwnd(), SdoFrame::kRead, kStoreMotorKey, 0);
        m_pollStep = 1;
    } else {
        m_pollStep = 1;
    }
}

void CInitSaveDialog::SetButtonsEnabled(bool enabled)
{
    for (QPushButton* button : {m_storeControl, m_storeMotor, m_initControl, m_restart})
        button->setEnabled(enabled);
}

void CInitSaveDialog::Release()
{
    if (m_released)
        return;
    m_released = true;
    m_pause.stop();
    m_readsOwed = 0;
    m_hold->EndQuiet();
}

void CInitSaveDialog::done(int result)
{
    Release();
    QDialog::done(result);
}

void CInitSaveDialog::closeEvent(QCloseEvent* event)
{
    Release();
    QDialog::closeEvent(event);
}
