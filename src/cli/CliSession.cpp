#include "CliSession.h"

#include "base/IniFile.h"
#include "base/Report.h"
#include "comm/SdoFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {
// A guard for a dictionary that cannot finish loading; a healthy one takes milliseconds.
constexpr int kDictionaryWaitMs = 60000;

CSysDataOptions SysOptions(const CliOptions& options)
{
    CSysDataOptions sysOptions;
    sysOptions.baseDir = options.baseDir;
    return sysOptions;
}
} // namespace

int CheckInstallation(const CliOptions& options, QString& error)
{
    // Without --base the installation is found as the program finds it: the program's own
    // folder or the installed one beside it, never the current directory.
    const CInstallation where =
        options.baseDir.isEmpty()
            ? LocateInstallation(QCoreApplication::applicationDirPath())
            : CInstallation{options.baseDir,
                            QDir(options.baseDir).filePath(QStringLiteral("sys/sys.ini")),
                            QString()};
    if (!QFileInfo(where.baseDir).isDir()) {
        error = QStringLiteral("the installation folder %1 does not exist").arg(where.baseDir);
        return ExitDataProblem;
    }
    const QFileInfo sysIni(where.sysIniPath);
    if (!sysIni.isFile() || !sysIni.isReadable()) {
        error = QStringLiteral("%1 is missing or cannot be read (the program's settings; "
                               "--base DIR names the installation folder)")
                    .arg(sysIni.filePath());
        return ExitDataProblem;
    }
    return ExitOk;
}

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

int CCliSession::LoadDictionary(QString& error)
{
    // The constructor settled the language unless a Chinese system has none, which only the
    // language dialog could ask for.
    if (!m_sys->dictionary.loadingStarted() &&
        m_sys->SettleLanguage({}).outcome == LanguageDecision::ConfigError) {
        error = QStringLiteral("%1 names no language: set lang=1 (Chinese) or lang=2 (English) "
                               "in section [sys]")
                    .arg(m_sys->sysIniPath);
        return ExitDataProblem;
    }
    if (!m_sys->dictionary.WaitUntilLoaded(kDictionaryWaitMs)) {
        error = QStringLiteral("the dictionary %1 did not finish loading").arg(m_sys->databasePath);
        return ExitDataProblem;
    }
    // Page lists get the titles of the language in use; a terminal has no screen density.
    m_sys->SetListColumns(96);
    const CDatabaseLoadReport report = m_sys->dictionary.LoadReport();
    if (!report.opened) {
        error = QStringLiteral("cannot read the dictionary %1").arg(m_sys->databasePath);
        return ExitDataProblem;
    }
    // The loader has named each problem of a damaged file already.
    if (!report.clean())
        return ExitDataProblem;
    if (m_sys->dictionary.GetCount() == 0) {
        error = QStringLiteral("the dictionary %1 is empty").arg(m_sys->databasePath);
        return ExitDataProblem;
    }
    return ExitOk;
}

int CCliSession::exchangeTimeoutMs() const
{
    // The link itself gives up after four bad replies; this only guards against a lost message.
    const uint32_t reply = m_options.timeoutMs ? m_options.timeoutMs : kMaxTimeoutMs;
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
        const QString text = Ini::GetProfileString(m_sys->sysIniPath, QStringLiteral("com"),
                                                   QStringLiteral("timeout"), QString(), 16);
        int64_t value = kDefaultTimeoutMs;
        if (!text.isEmpty() &&
            (!ParseTypedInteger(text, value) || value < kMinTimeoutMs || value > kMaxTimeoutMs)) {
            error = QStringLiteral("%1: timeout=%2 in section [com] is not a reply timeout of %3 "
                                   "to %4 ms")
                        .arg(m_sys->sysIniPath, text)
                        .arg(kMinTimeoutMs)
                        .arg(kMaxTimeoutMs);
            return ExitDataProblem;
        }
        timeout = uint32_t(value);
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
    // The first outcome answers; a refused write's read-back value that follows is only noted.
    if (!m_waiting || lParam != m_waitKey)
        return;
    if (m_answered) {
        // After a refused write the link reads the object back: the value the drive holds.
        if (m_answer.kind == Answer::Abort && message == WM_SDO_VALUE && !m_answer.heldKnown) {
            m_answer.heldKnown = true;
            m_answer.held = wParam;
        }
        return;
    }
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
        // Any other outcome the link reports for the object is an exchange that failed.
        if (message < WM_USER)
            return;
        m_answer = {Answer::CommFailed, wParam};
        break;
    }
    m_answered = true;
    m_anyAnswer = true;
}

bool CCliSession::WaitUntil(const std::function<bool()>& predicate, qint64 timeoutMs, int pollMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (m_commFailed || (timeoutMs >= 0 && timer.elapsed() > timeoutMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, pollMs);
    }
    return true;
}

bool CCliSession::WaitUntilLinkIdle()
{
    // The worker hands each answer over with a blocking send, so once nothing is pending every
    // answer has been handled (and whatever it requested is pending in turn).
    return WaitUntil([this] { return !m_sys->link.HasPendingRequests(); }, exchangeTimeoutMs(), 2);
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
    m_answer = Answer();
    issue();
    // The answer, or a link with nothing left to do for it: then none will come (the request was
    // not taken, or a conversion waits for a constant that the drive refused).
    const bool done = WaitUntil([this] { return m_answered || !m_sys->link.HasPendingRequests(); },
                                exchangeTimeoutMs(), 5);
    if (done && !m_answered) {
        m_waiting = false;
        answer.kind = Answer::NotQueued;
        return answer;
    }
    // A refusal may be followed by the value the drive holds.
    if (done && m_answer.kind == Answer::Abort)
        WaitUntilLinkIdle();
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
