#include "CliSession.h"

#include "app/IniFile.h"
#include "app/Report.h"
#include "comm/SdoFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
// How long the whole dictionary may take to load before drivactl gives up.
constexpr int kDictionaryWaitMs = 15000;

CSysDataOptions SysOptions(const CliOptions& options)
{
    CSysDataOptions sysOptions;
    sysOptions.baseDir = options.baseDir;
    return sysOptions;
}
} // namespace

CCliSession::CCliSession(const CliOptions& options)
    : m_options(options), m_sys(std::make_unique<CSysData>(SysOptions(options)))
{
    // drivactl needs no statusword polling: its commands are the drive's first exchanges.
    m_mainFrame = std::make_unique<CMainFrameLogic>(*m_sys, false);
    m_mainFrame->onConnectionChanged = [this] {
        if (m_sys->connected != 1)
            m_commFailed = true;
    };
    m_handle = std::make_unique<CWindowHandle>(this);
}

CCliSession::~CCliSession()
{
    if (m_sys->connected == 1)
        m_sys->link.Close();
    m_sys->stopThreads = 1;
    m_handle.reset();
    m_mainFrame.reset();
    m_sys.reset();
    if (m_sim) {
        m_sim->closeWriteChannel(); // the simulator ends when its standard input closes
        if (!m_sim->waitForFinished(2000)) {
            m_sim->terminate();
            m_sim->waitForFinished(2000);
        }
    }
}

bool CCliSession::LoadDictionary(QString& error)
{
    if (!m_sys->dictionary.WaitUntilLoaded(kDictionaryWaitMs)) {
        error = QStringLiteral("The dictionary did not load: %1 needs \"lang\" in section [sys].")
                    .arg(m_sys->sysIniPath);
        return false;
    }
    // Page lists get the titles of the language in use; a terminal has no screen density.
    m_sys->SetListColumns(96);
    if (m_sys->dictionary.GetCount() == 0) {
        error = QStringLiteral("The dictionary %1 is empty or missing.").arg(m_sys->databasePath);
        return false;
    }
    return true;
}

int CCliSession::exchangeTimeoutMs() const
{
    // The link itself gives up after four bad replies; this only guards against a lost message.
    const uint32_t reply = m_options.timeoutMs ? m_options.timeoutMs : 100;
    return static_cast<int>(reply * 8 + 3000);
}

bool CCliSession::StartSimulator(QString& portOrInterface, QString& error)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/drivara-sim");
    if (!QFileInfo::exists(program)) {
        error = QStringLiteral("drivara-sim not found beside drivactl (%1)").arg(program);
        return false;
    }
    QStringList args = {QStringLiteral("--data"), m_sys->dataDir, QStringLiteral("--node"),
                        QString::number(m_options.node), QStringLiteral("--until-stdin-closes")};
    if (m_options.usesCan()) {
        args << QStringLiteral("--can")
             << m_options.canBackend + QLatin1Char(':') + m_options.canInterface;
    } else {
        args << QStringLiteral("--serial") << QStringLiteral("--baud")
             << QString::number(m_options.baud) << QStringLiteral("--link")
             << QDir::tempPath() +
                    QStringLiteral("/drivactl-sim-%1").arg(QCoreApplication::applicationPid());
    }
    m_sim = std::make_unique<QProcess>();
    m_sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_sim->start(program, args);
    if (!m_sim->waitForStarted(5000)) {
        error = QStringLiteral("drivara-sim did not start");
        return false;
    }
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        if (!m_sim->canReadLine() && !m_sim->waitForReadyRead(200)) {
            if (m_sim->state() != QProcess::Running)
                break;
            continue;
        }
        while (m_sim->canReadLine()) {
            const QString line = QString::fromUtf8(m_sim->readLine()).trimmed();
            if (line.startsWith(QLatin1String("serial: "))) {
                QString path = line.mid(8);
                if (path.startsWith(QLatin1String("/dev/")))
                    path = path.mid(5);
                portOrInterface = path;
                return true;
            }
            if (line.startsWith(QLatin1String("can: ")))
                return true;
        }
    }
    error = QStringLiteral("drivara-sim did not report its port");
    return false;
}

int CCliSession::Connect(QString& error)
{
    QString port = m_options.serialPort;
    if (port.startsWith(QLatin1String("/dev/")))
        port = port.mid(5);
    if (m_options.startSim && !StartSimulator(port, error))
        return ExitCommFailure;

    uint32_t timeout = m_options.timeoutMs;
    if (timeout == 0) {
        timeout = Ini::GetProfileString(m_sys->sysIniPath, QStringLiteral("com"),
                                        QStringLiteral("timeout"), QStringLiteral("100"), 16)
                      .toUInt();
    }
    bool opened = false;
    if (m_options.usesCan()) {
        opened = m_mainFrame->OpenCan(m_options.canBackend, m_options.canInterface,
                                      m_options.bitrate, m_options.node, timeout, error);
    } else {
        if (port.size() > 7) {
            error = QStringLiteral("port name %1 is longer than 7 characters").arg(port);
            return ExitBadArguments;
        }
        // --baud 0 asks the virtual drive not to pace its replies; the port itself keeps a rate.
        const uint32_t baud = m_options.baud ? m_options.baud : 115200;
        opened = m_mainFrame->OpenSerial(port, baud, m_options.node, timeout, error);
    }
    m_commFailed = false;
    return opened ? ExitOk : ExitCommFailure;
}

void CCliSession::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_SDO_VALUE || message == WM_SDO_ABORT || message == WM_SDO_SEGMENT)
        m_mainFrame->DriveAnswered();
    if (onMessage)
        onMessage(message, wParam, lParam);
    // The first outcome answers: a refused write's read-back value that follows is not it.
    if (!m_waiting || m_answered || lParam != m_waitKey)
        return;
    switch (message) {
    case WM_SDO_VALUE:
        m_answer = {Answer::Value, wParam};
        break;
    case WM_SDO_SEGMENT:
        m_answer = {Answer::Segment, wParam};
        break;
    case WM_SDO_ABORT:
        m_answer = {Answer::Abort, wParam};
        break;
    default:
        return;
    }
    m_answered = true;
    m_anyAnswer = true;
}

bool CCliSession::WaitUntil(const std::function<bool()>& predicate, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (m_commFailed || timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

CCliSession::Answer CCliSession::Exchange(uint8_t command, uint32_t key, uint32_t value)
{
    return Await(key, [&] { m_sys->link.Request(hwnd(), command, key, value); });
}

CCliSession::Answer CCliSession::Await(uint32_t key, const std::function<void()>& issue)
{
    Answer answer;
    if (m_commFailed || m_sys->connected != 1) {
        answer.kind = Answer::CommFailed;
        return answer;
    }
    m_waiting = true;
    m_waitKey = key;
    m_answered = false;
    issue();
    const bool done = WaitUntil([this] { return m_answered; }, exchangeTimeoutMs());
    m_waiting = false;
    if (done)
        return m_answer;
    answer.kind = m_commFailed ? Answer::CommFailed : Answer::Timeout;
    return answer;
}

bool CCliSession::Upload(uint32_t key, QByteArray& text, Answer& answer)
{
    text.clear();
    answer = Exchange(SdoFrame::kRead, key, 0);
    if (answer.kind != Answer::Value)
        return false;
    uint8_t toggle = SdoFrame::kSegment0;
    // A text object never holds more than a few kilobytes; the bound stops a drive that never
    // ends its upload.
    for (int segments = 0; segments < 4096; ++segments) {
        answer = Exchange(toggle, key, 0);
        if (answer.kind == Answer::Abort && segments > 0 && text.size() % 7 == 0)
            return true; // a length that is a multiple of 7 ends with one refused request
        if (answer.kind != Answer::Segment)
            return false;
        const uint8_t* data = nullptr;
        int length = 0;
        m_sys->link.GetSegment(data, length);
        text.append(reinterpret_cast<const char*>(data), length);
        if (length != 7)
            return true;
        toggle = toggle == SdoFrame::kSegment0 ? SdoFrame::kSegment1 : SdoFrame::kSegment0;
    }
    return false;
}
