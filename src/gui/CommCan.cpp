#include "CommCan.h"

#include "Icons.h"
#include "PageFactory.h"
#include "app/MainFrameLogic.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/CanBitRates.h"
#include "comm/ConnectionSettings.h"

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

const QVector<CCommCan::BitRate>& CCommCan::BitRates()
{
    static const QVector<BitRate> rates = [] {
        QVector<BitRate> list;
        for (const CanBitRates::Rate& rate : CanBitRates::kRates)
            list.append({rate.text, rate.code});
        // "20 KBit/s" has no PCAN code: choosing it keeps the code chosen before.
        list.append({"20 KBit/s", 0});
        return list;
    }();
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
    m_driverId->setRange(int(kMinDriverId), int(kMaxDriverId));
    m_driverId->setValue(1);
    m_profile = new QComboBox(this);
    m_profile->setObjectName(QStringLiteral("profile"));
    m_profile->addItem(tr("驱动器"), LinkProfileName(LinkProfile::Drive));
    m_profile->addItem(QStringLiteral("CANopen (CiA 301)"), LinkProfileName(LinkProfile::CanOpen));
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
    form->addRow(tr("协议"), m_profile);
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
    m_sys.link.SetMode(CommModeNumber(CommMode::Can));
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
    const CConnectionSettings::Can saved = CConnectionSettings::Load(m_sys.sysIniPath).can;
    // A code that is none of the six leaves the list and the driver id as they start.
    const int index = BitRateIndex(saved.bitrateCode);
    m_bitRate->setCurrentIndex(index);
    if (index >= 0) {
        m_code = saved.bitrateCode;
        if (saved.driverId != 0)
            m_driverId->setValue(int(saved.driverId));
    }
    if (!saved.backend.isEmpty() && m_plugin->findText(saved.backend) >= 0)
        m_plugin->setCurrentText(saved.backend);
    else if (m_plugin->findText(QStringLiteral("socketcan")) >= 0)
        m_plugin->setCurrentText(QStringLiteral("socketcan"));
    const int profile = m_profile->findData(saved.profile);
    m_profile->setCurrentIndex(profile >= 0 ? profile : 0);
    m_loading = false;
    FillInterfaces();
    if (!saved.interfaceName.isEmpty()) {
        m_loading = true;
        if (m_interface->findText(saved.interfaceName) < 0)
            m_interface->addItem(saved.interfaceName);
        m_interface->setCurrentText(saved.interfaceName);
        m_loading = false;
    }
}

CConnectionSettings CCommCan::ChosenSettings() const
{
    // The reply timeout is sys.ini's; the window does not offer it.
    CConnectionSettings settings = CConnectionSettings::Load(m_sys.sysIniPath);
    settings.mode = CommMode::Can;
    settings.can.backend = m_plugin->currentText();
    settings.can.interfaceName = m_interface->currentText();
    settings.can.bitrateCode = m_bitRate->currentIndex() >= 0 ? m_code : 0;
    settings.can.driverId = uint32_t(m_driverId->value());
    settings.can.profile = m_profile->currentData().toString();
    return settings;
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
    m_sys.link.SetNodeId(uint32_t(m_driverId->value()));
    if (m_bitRate->currentIndex() < 0 || m_code == 0 || m_sys.portOpened)
        return;
    const CConnectionSettings settings = ChosenSettings();
    if (m_sys.connected == 1) {
        CloseConnection();
    } else {
        QString error;
        if (m_frame.Open(settings, error)) {
            SendMessage(m_sys.mainFrameWnd, WM_LINK_OPENED, 0, 0);
            m_sys.openedFromView = 1;
            m_storedByOpen = true;
            m_sys.statusText = CommText::CanOpen(m_bitRate->currentText());
        } else {
            ReportMessage(error);
        }
        UpdateConnectIcon();
        if (!m_versionShown)
            m_versionShown = ShowVersion();
    }
    settings.Save(m_sys.sysIniPath, CConnectionSettings::CanPart);
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
