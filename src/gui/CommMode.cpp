#include "CommMode.h"

#include "PageFactory.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/ConnectionSettings.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CCommMode::CCommMode(CSysData& sys, QWidget* parent) : QWidget(parent), m_sys(sys)
{
    setObjectName(QStringLiteral("CCommMode"));
    SetPageViewHandle(this, m_handle.hwnd());

    auto* box = new QGroupBox(tr("通讯方式"), this);
    m_can = new QRadioButton(QStringLiteral("CAN"), box);
    m_can->setObjectName(QStringLiteral("modeCan"));
    m_rs232 = new QRadioButton(QStringLiteral("RS232"), box);
    m_rs232->setObjectName(QStringLiteral("modeRs232"));
    auto* rs485 = new QRadioButton(QStringLiteral("RS485"), box);
    auto* usb = new QRadioButton(QStringLiteral("USB"), box);
    m_offline = new QRadioButton(tr("离线"), box);
    m_offline->setObjectName(QStringLiteral("modeOffline"));
    rs485->setEnabled(false);
    usb->setEnabled(false);
    auto* group = new QButtonGroup(this);
    for (QRadioButton* button : {m_can, m_rs232, rs485, usb, m_offline})
        group->addButton(button);
    auto* boxLayout = new QVBoxLayout(box);
    for (QRadioButton* button : {m_can, m_rs232, rs485, usb, m_offline})
        boxLayout->addWidget(button);

    m_next = new QPushButton(tr("下一步"), this);
    m_next->setObjectName(QStringLiteral("next"));
    auto* cancel = new QPushButton(tr("取消"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_can, &QRadioButton::clicked, this, &CCommMode::ApplyCan);
    connect(m_rs232, &QRadioButton::clicked, this, &CCommMode::ApplySerial);
    connect(m_offline, &QRadioButton::clicked, this, &CCommMode::ApplyOffline);
    connect(m_next, &QPushButton::clicked, this, &CCommMode::Next);
    connect(cancel, &QPushButton::clicked, this, &CCommMode::closeRequested);

    // CAN stays chosen once it was; otherwise the window starts offline.
    if (!m_sys.canChosen)
        m_sys.commMode = CommMode::Offline;
    if (m_sys.commMode == CommMode::Rs232)
        ApplySerial();
    else if (m_sys.commMode == CommMode::Can)
        ApplyCan();
    else
        ApplyOffline();
}

void CCommMode::OnMessage(unsigned, uint32_t, uint32_t) {}

void CCommMode::Choose(CommMode mode)
{
    m_mode = mode;
    m_sys.commMode = mode;
}

void CCommMode::ApplyCan()
{
    m_can->setChecked(true);
    m_next->setEnabled(true);
    Choose(CommMode::Can);
    if (m_sys.link.SetMode(CommModeNumber(CommMode::Can)) != 1) {
        ReportMessage(QStringLiteral("Open PCAN_USB failure!!"));
        ApplyOffline();
    }
}

void CCommMode::ApplySerial()
{
    m_rs232->setChecked(true);
    Choose(CommMode::Rs232);
    m_sys.link.SetMode(CommModeNumber(CommMode::Rs232));
}

void CCommMode::ApplyOffline()
{
    m_offline->setChecked(true);
    Choose(CommMode::Offline);
    m_sys.link.SetMode(CommModeNumber(CommMode::Offline));
}

void CCommMode::Next()
{
    emit closeConnectionRequested();
    CConnectionSettings settings;
    settings.mode = m_mode;
    settings.Save(m_sys.sysIniPath, CConnectionSettings::ModePart);
    if (m_mode != CommMode::Offline)
        emit settingsRequested(m_mode);
    emit closeRequested();
}
