#include "CommCan.h"

#include "Icons.h"
#include "PageFactory.h"
#include "app/MainFrameLogic.h"
#include "app/SysData.h"
#include "base/IniFile.h"
#include "base/Report.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#ifdef DRIVARA_GUI_CAN
#include <QCanBus>
#endif

namespace {
const QString kCan = QStringLiteral("can");

QString ReadCan(const QString& ini, const char* key)
{
    return Ini::GetProfileString(ini, kCan, QLatin1String(key), QString(), 256);
}
} // namespace

const QVector<CCommCan::BitRate>& CCommCan::BitRates()
{
    // "20 KBit/s" has no PCAN code: choosing it keeps the code chosen before.
    static const QVector<BitRate> rates = {
        {"1 MBit/s", 20},      {"500 KBit/s", 28},   {"250 KBit/s", 284}, {"125 KBit/s", 796},
        {"100 KBit/s", 17199}, {"50 KBit/s", 18223}, {"20 KBit/s", 0}};
    return rates;
}

int CCommCan::BitRateIndex(uint32_t code)
{
    const auto& rates = BitRates();
    for (int i = 0; i < rates.size(); ++i) {
        if (rates[i].code != 0 && rates[i].code == code)
            return i;
    }
    return -1;
}

CCommCan::CCommCan(CSysData& sys, CMainFrameLogic& frame, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_frame(frame)
{
    setObjectName(QStringLiteral("CCommCan"));
    SetPageViewHandle(this, m_handle.hwnd());

    m_bitRate = new QComboBox(this);
    m_bitRate->setObjectName(QStringLiteral("bitRate"));
    for (const BitRate& rate : BitRates())
        m_bitRate->addItem(QLatin1String(rate.text), rate.code);
    m_bitRate->setCurrentIndex(-1);
    m_plugin = new QComboBox(this);
    m_plugin->setObjectName(QStringLiteral("plugin"));
    m_interface = new QComboBox(this);
    m_interface->setObjectName(QStringLiteral("interface"));
    m_interface->setEditable(true); // a virtual bus is named by its address
#ifdef DRIVARA_GUI_CAN
    m_plugin->addItems(QCanBus::instance()->plugins());
#endif
    m_driverId = new QSpinBox(this);
    m_driverId->setObjectName(QStringLiteral("driverId"));
    m_driverId->setRange(0, 127);
    m_driverId->setValue(1);
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("version"));
    m_version->setWordWrap(true);
    auto* details = new QPushButton(tr("详细"), this);
    details->setObjectName(QStringLiteral("details"));
    m_connect = new QPushButton(this);
    m_connect->setObjectName(QStringLiteral("connect"));
    m_connect->setIconSize(QSize(32, 32));

    auto* form = new QFormLayout;
    form->addRow(tr("波特率"), m_bitRate);
    form->addRow(tr("驱动器号"), m_driverId);
    form->addRow(tr("CAN 插件"), m_plugin);
    form->addRow(tr("接口"), m_interface);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(details);
    buttons->addStretch();
    buttons->addWidget(m_connect);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_version);
    layout->addStretch();
    layout->addLayout(buttons);

    LoadSettings();
    m_sys.link.SetMode(5);
    m_sys.link.SetNodeId(uint32_t(m_driverId->value()));
    ApplyDevice();
    m_versionShown = ShowVersion();
    UpdateConnectIcon();

    connect(m_connect, &QPushButton::clicked, this, &CCommCan::Connect);
    connect(details, &QPushButton::clicked, this, &CCommCan::ShowDetails);
    connect(m_bitRate, &QComboBox::currentIndexChanged, this, &CCommCan::BitRateChanged);
    connect(m_plugin, &QComboBox::currentIndexChanged, this, [this] {
        FillInterfaces();
        ApplyDevice();
        m_versionShown = ShowVersion();
    });
    connect(m_interface, &QComboBox::currentTextChanged, this, [this] {
        if (!m_loading) {
            ApplyDevice();
            m_versionShown = ShowVersion();
        }
    });
}

void CCommCan::OnMessage(unsigned message, uint32_t wParam, uint32_t)
{
    if (message == WM_PAGE_CONTROL && (wParam == 6 || wParam == 7))
        UpdateConnectIcon();
}

void CCommCan::FillInterfaces()
{
    m_loading = true;
    const QString keep = m_interface->currentText();
    m_interface->clear();
#ifdef DRIVARA_GUI_CAN
    for (const QCanBusDeviceInfo& info :
         QCanBus::instance()->availableDevices(m_plugin->currentText()))
        m_interface->addItem(info.name());
#endif
    if (!keep.isEmpty() && m_interface->findText(keep) < 0)
        m_interface->addItem(keep);
    if (!keep.isEmpty())
        m_interface->setCurrentText(keep);
    m_loading = false;
}

void CCommCan::LoadSettings()
{
    m_loading = true;
    const QString ini = m_sys.sysIniPath;
    const int index = BitRateIndex(ReadCan(ini, "buadrate").toUInt());
    m_bitRate->setCurrentIndex(index);
    if (index >= 0) {
        m_code = BitRates()[index].code;
        const int id = ReadCan(ini, "driverid").toInt();
        m_driverId->setValue(id);
    }
    const QString plugin = ReadCan(ini, "backend");
    if (!plugin.isEmpty() && m_plugin->findText(plugin) >= 0)
        m_plugin->setCurrentText(plugin);
    else if (m_plugin->findText(QStringLiteral("socketcan")) >= 0)
        m_plugin->setCurrentText(QStringLiteral("socketcan"));
    m_loading = false;
    FillInterfaces();
    const QString interfaceName = ReadCan(ini, "interface");
    if (!interfaceName.isEmpty()) {
        m_loading = true;
        if (m_interface->findText(interfaceName) < 0)
            m_interface->addItem(interfaceName);
        m_interface->setCurrentText(interfaceName);
        m_loading = false;
    }
}

void CCommCan::SaveSettings()
{
    const QString ini = m_sys.sysIniPath;
    if (m_bitRate->currentIndex() >= 0 && m_code != 0)
        Ini::WriteProfileString(ini, kCan, QStringLiteral("buadrate"), QString::number(m_code));
    if (m_driverId->value() != 0)
        Ini::WriteProfileString(ini, kCan, QStringLiteral("driverid"),
                                QString::number(m_driverId->value()));
    if (!m_plugin->currentText().isEmpty())
        Ini::WriteProfileString(ini, kCan, QStringLiteral("backend"), m_plugin->currentText());
    if (!m_interface->currentText().isEmpty())
        Ini::WriteProfileString(ini, kCan, QStringLiteral("interface"), m_interface->currentText());
}

void CCommCan::ApplyDevice()
{
    m_sys.link.SetCanDevice(m_plugin->currentText(), m_interface->currentText());
}

QString CCommCan::versionText() const
{
    return m_version->text();
}

bool CCommCan::ShowVersion()
{
    char buffer[256] = {};
    const bool haveDevice =
        !m_plugin->currentText().isEmpty() && !m_interface->currentText().isEmpty();
    if (haveDevice && m_sys.link.GetCanVersion(buffer) != 0) {
        const QString answer = QString::fromLatin1(buffer, int(qstrnlen(buffer, sizeof buffer)));
        m_version->setText(QStringLiteral("CAN Ver") + answer.mid(answer.lastIndexOf(':') + 1));
        return true;
    }
    m_version->setText(QStringLiteral("Your PC doesn't have Peak CAN-USB driver!! "));
    return false;
}

void CCommCan::ShowDetails()
{
    char buffer[256] = {};
    if (m_sys.link.GetCanVersion(buffer) != 0)
        ReportMessage(QString::fromLatin1(buffer, int(qstrnlen(buffer, sizeof buffer))),
                      MessageKind::Information);
}

void CCommCan::CloseConnection()
{
    m_frame.CloseConnection();
    UpdateConnectIcon();
}

void CCommCan::Connect()
{
    const uint32_t id = uint32_t(m_driverId->value());
    m_sys.link.SetNodeId(id);
    if (m_bitRate->currentIndex() < 0 || m_code == 0 || m_sys.portOpened)
        return;
    if (m_sys.connected == 1) {
        CloseConnection();
    } else {
        const QString timeout = Ini::GetProfileString(
            m_sys.sysIniPath, kCan, QStringLiteral("timeout"), QStringLiteral("500"), 16);
        QString error;
        if (m_frame.OpenCan(m_plugin->currentText(), m_interface->currentText(), m_code, id,
                            timeout.toUInt(), error)) {
            SendMessage(m_sys.mainFrameWnd, WM_LINK_OPENED, 0, 0);
            m_sys.openedFromView = 1;
            m_storedByOpen = true;
            m_sys.statusText = QStringLiteral("Comm Status: Open %1").arg(m_bitRate->currentText());
        } else {
            ReportMessage(error);
        }
        UpdateConnectIcon();
        if (!m_versionShown)
            m_versionShown = ShowVersion();
    }
    SaveSettings();
}

void CCommCan::BitRateChanged(int index)
{
    if (m_loading)
        return;
    if (index >= 0 && BitRates()[index].code != 0)
        m_code = BitRates()[index].code;
    if (m_sys.connected == 1)
        CloseConnection();
}

void CCommCan::UpdateConnectIcon()
{
    const bool connected = m_sys.connected == 1;
    m_connect->setIcon(Icons::ConnectIcon(connected));
    m_connect->setText(connected ? tr("断开") : tr("连接"));
}
