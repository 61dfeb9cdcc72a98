#include "CommRs232.h"

#include "Icons.h"
#include "PageFactory.h"
#include "SerialPorts.h"
#include "app/MainFrameLogic.h"
#include "app/SysData.h"
#include "base/Report.h"
#include "comm/ConnectionSettings.h"

#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

const QVector<uint32_t>& CCommRs232::BaudRates()
{
    static const QVector<uint32_t> rates = {4800, 9600, 14400, 19200, 38400, 56000, 115200, 256000};
    return rates;
}

CCommRs232::CCommRs232(CSysData& sys, CMainFrameLogic& frame, QWidget* parent)
    : QWidget(parent), m_sys(sys), m_frame(frame)
{
    setObjectName(QStringLiteral("CCommRs232"));
    SetPageViewHandle(this, m_handle.hwnd());

    m_port = new QComboBox(this);
    m_port->setObjectName(QStringLiteral("port"));
    m_baud = new QComboBox(this);
    m_baud->setObjectName(QStringLiteral("baud"));
    for (uint32_t rate : BaudRates())
        m_baud->addItem(QString::number(rate), rate);
    m_baud->setCurrentIndex(-1);
    m_driverId = new QSpinBox(this);
    m_driverId->setObjectName(QStringLiteral("driverId"));
    m_driverId->setRange(int(kMinDriverId), int(kMaxDriverId));
    m_driverId->setValue(1);
    m_connect = new QPushButton(this);
    m_connect->setObjectName(QStringLiteral("connect"));
    m_connect->setIconSize(QSize(32, 32));
    m_connect->setToolTip(tr("连接/断开"));
    auto* refresh = new QPushButton(tr("刷新"), this);
    refresh->setObjectName(QStringLiteral("refresh"));

    auto* form = new QFormLayout;
    form->addRow(tr("端口"), m_port);
    form->addRow(tr("波特率"), m_baud);
    form->addRow(tr("驱动器号"), m_driverId);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addStretch();
    buttons->addWidget(m_connect);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addStretch();
    layout->addLayout(buttons);

    LoadSettings();
    UpdateConnectIcon();

    connect(m_connect, &QPushButton::clicked, this, &CCommRs232::Connect);
    connect(refresh, &QPushButton::clicked, this, &CCommRs232::FillPorts);
    connect(m_port, &QComboBox::currentIndexChanged, this, &CCommRs232::SelectionChanged);
    connect(m_baud, &QComboBox::currentIndexChanged, this, &CCommRs232::SelectionChanged);
}

void CCommRs232::OnMessage(unsigned message, uint32_t wParam, uint32_t)
{
    if (message == WM_PAGE_CONTROL && (wParam == 6 || wParam == 7))
        UpdateConnectIcon();
}

QString CCommRs232::selectedPort() const
{
    return m_port->currentIndex() < 0 ? QString() : m_port->currentData().toString();
}

uint32_t CCommRs232::selectedBaud() const
{
    return m_baud->currentIndex() < 0 ? 0 : m_baud->currentData().toUInt();
}

void CCommRs232::FillPorts()
{
    const QString keep = m_port->currentIndex() >= 0 ? selectedPort() : m_savedPort;
    m_filling = true;
    m_port->clear();
    bool savedListed = false;
    for (const CSerialPortEntry& entry : ListSerialPorts()) {
        m_port->addItem(SerialPortText(entry), entry.name);
        savedListed = savedListed || entry.name == m_savedPort;
    }
    // The saved port stays choosable even when it is not a listed device (a pseudo-terminal of a
    // virtual drive, a link under /dev/).
    // Links in dev/ of the base folder (the virtual drive's terminal in a build tree); the
    // serial library looks there after /dev/.
    const QDir links(m_sys.baseDir + QStringLiteral("/dev"));
    for (const QString& name : links.entryList(QDir::System | QDir::Files, QDir::Name)) {
        if (m_port->findData(name) < 0)
            m_port->addItem(name, name);
        savedListed = savedListed || name == m_savedPort;
    }
    if (!m_savedPort.isEmpty() && !savedListed)
        m_port->addItem(m_savedPort, m_savedPort);
    m_port->setCurrentIndex(m_port->findData(keep));
    m_filling = false;
}

void CCommRs232::LoadSettings()
{
    const CConnectionSettings::Serial saved = CConnectionSettings::Load(m_sys.sysIniPath).serial;
    m_savedPort = saved.port;
    FillPorts();
    m_filling = true;
    m_baud->setCurrentIndex(saved.baud != 0 ? m_baud->findData(saved.baud) : -1);
    m_filling = false;
    if (saved.driverId != 0)
        m_driverId->setValue(int(saved.driverId));
}

CConnectionSettings CCommRs232::ChosenSettings() const
{
    // The reply timeout is sys.ini's; the window does not offer it.
    CConnectionSettings settings = CConnectionSettings::Load(m_sys.sysIniPath);
    settings.mode = CommMode::Rs232;
    settings.serial.port = selectedPort();
    settings.serial.baud = selectedBaud();
    settings.serial.driverId = uint32_t(m_driverId->value());
    return settings;
}

void CCommRs232::CloseConnection()
{
    m_frame.CloseConnection();
    UpdateConnectIcon();
}

void CCommRs232::Connect()
{
    m_sys.link.SetNodeId(uint32_t(m_driverId->value()));
    if (m_port->currentIndex() < 0 || m_baud->currentIndex() < 0 || m_sys.portOpened)
        return;
    const CConnectionSettings settings = ChosenSettings();
    if (m_sys.connected == 1) {
        CloseConnection();
    } else {
        QString error;
        if (!m_frame.Open(settings, error, QStringLiteral("open COM port failure!! \n"))) {
            ReportMessage(error);
            CloseConnection();
        } else {
            SendMessage(m_sys.mainFrameWnd, WM_LINK_OPENED, 0, 0);
            m_sys.openedFromView = 1;
            m_storedByOpen = true;
            UpdateConnectIcon();
        }
    }
    // Only what is chosen is saved: an empty list or a driver id of 0 leaves the file's value.
    settings.Save(m_sys.sysIniPath, CConnectionSettings::SerialPart);
}

void CCommRs232::SelectionChanged()
{
    if (!m_filling && m_sys.connected == 1)
        CloseConnection();
}

void CCommRs232::UpdateConnectIcon()
{
    const bool connected = m_sys.connected == 1;
    m_connect->setIcon(Icons::ConnectIcon(connected));
    m_connect->setText(connected ? tr("断开") : tr("连接"));
}
