#include "CliSession.h"
#include "Output.h"

#include "base/Report.h"
#include "comm/AbortCodes.h"
#include "comm/SdoFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <utility>

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
                            QString(), QString(), QString()};
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
        if (m_loop)
            m_loop->quit();
    };
    m_handle = std::make_unique<CWindowHandle>(this);
    m_sys->link.SetIdleWindow(hwnd());
    m_deadline = options.deadlineSeconds > 0
                     ? QDeadlineTimer(qint64(options.deadlineSeconds) * 1000, Qt::PreciseTimer)
                     : QDeadlineTimer(QDeadlineTimer::Forever);
}

CCliSession::~CCliSession()
{
    m_sys->link.SetIdleWindow(kNoWindow);
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
    const uint32_t chosen = m_options.connection.serial.timeoutMs;
    const uint32_t reply = chosen ? chosen : kMaxReplyTimeoutMs;
    return static_cast<int>(reply * 8 + 3000);
}

bool CCliSession::StartSimulator(QString& portOrInterface, QString& error)
{
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/drivara-sim");
    if (!QFileInfo::exists(program)) {
        error = QStringLiteral("drivara-sim not found beside drivactl (%1)").arg(program);
        return false;
    }
    // The drive serves the dictionary drivactl loaded: the shipped one or one converted from a
    // device description.
    QStringList args = {QStringLiteral("--data"), m_sys->dictionaryDir, QStringLiteral("--node"),
                        QString::number(m_options.connection.driverId()),
                        QStringLiteral("--until-stdin-closes")};
    // A dictionary built from a device description comes with that file: the virtual drive
    // serves the description itself, limits included.
    const QString description = m_sys->dictionaryDir + QStringLiteral("/device.eds");
    if (QFileInfo::exists(description))
        args << QStringLiteral("--eds") << description;
    const CConnectionSettings& connection = m_options.connection;
    if (m_options.usesCan()) {
        args << QStringLiteral("--can")
             << connection.can.backend + QLatin1Char(':') + connection.can.interfaceName;
    } else {
        args << QStringLiteral("--serial") << QStringLiteral("--baud")
             << QString::number(m_options.unpaced ? 0 : connection.serial.baud)
             << QStringLiteral("--link")
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
    CConnectionSettings given = m_options.connection;
    if (m_options.startSim && !StartSimulator(given.serial.port, error))
        return ExitCommFailure;
    // The saved settings give what the command line leaves open: the line's reply timeout.
    CConnectionSettings settings = CConnectionSettings::Load(m_sys->sysIniPath);
    settings.Override(given);
    error = settings.Validate();
    if (!error.isEmpty())
        return ExitDataProblem;
    const bool opened = m_mainFrame->Open(settings, error);
    m_commFailed = false;
    return opened ? ExitOk : ExitCommFailure;
}

void CCliSession::OnMessage(unsigned message, uint32_t wParam, uint32_t lParam)
{
    Note(message, wParam, lParam);
    // Whatever came, the wait looks at its predicate again.
    if (m_loop)
        m_loop->quit();
}

void CCliSession::Note(unsigned message, uint32_t wParam, uint32_t lParam)
{
    if (message == WM_LINK_IDLE)
        return;
    if (message == WM_SDO_VALUE || message == WM_SDO_ABORT || message == WM_SDO_UPLOAD)
        m_mainFrame->DriveAnswered();
    if (onMessage)
        onMessage(message, wParam, lParam);
    if (!m_waiting || lParam != m_waitKey)
        return;
    if (m_answered) {
        // After a refused or unconfirmed write the link reads the object back: the value the
        // drive holds.
        if ((m_answer.kind == Answer::Abort || m_answer.kind == Answer::Unconfirmed) &&
            message == WM_SDO_VALUE && !m_answer.heldKnown) {
            m_answer.heldKnown = true;
            m_answer.held = wParam;
        }
        return;
    }
    switch (message) {
    case WM_SDO_VALUE:
        m_answer = {Answer::Value, wParam};
        break;
    case WM_SDO_UPLOAD:
        m_uploaded.clear();
        m_sys->link.TakeUpload(hwnd(), lParam, m_uploaded);
        m_answer = {Answer::Uploaded, wParam};
        break;
    case WM_SDO_ABORT:
        m_answer = {Answer::Abort, wParam};
        break;
    case WM_SDO_FAILED:
        m_answer = {wParam == kSdoUnconfirmed ? Answer::Unconfirmed : Answer::CommFailed, wParam};
        break;
    default:
        return; // progress and other notices answer nothing
    }
    m_answered = true;
    m_anyAnswer = true;
}

bool CCliSession::deadlinePassed() const
{
    return m_deadline.hasExpired();
}

bool CCliSession::WaitUntil(const std::function<bool()>& predicate, qint64 timeoutMs)
{
    const QDeadlineTimer until = timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever)
                                               : QDeadlineTimer(timeoutMs, Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QEventLoop* const outer = std::exchange(m_loop, &loop);
    bool held = false;
    for (;;) {
        if (predicate()) {
            held = true;
            break;
        }
        if ((m_commFailed && m_stopOnFailure) || until.hasExpired() || m_deadline.hasExpired())
            break;
        const QDeadlineTimer first = std::min(until, m_deadline);
        if (!first.isForever())
            timer.start(int(std::clamp<qint64>(first.remainingTime(), 0, INT_MAX)));
        loop.exec();
    }
    m_loop = outer;
    return held;
}

bool CCliSession::WaitThroughFailure(const std::function<bool()>& predicate)
{
    const bool outer = std::exchange(m_stopOnFailure, false);
    const bool held = WaitUntil(predicate, -1);
    m_stopOnFailure = outer;
    return held;
}

bool CCliSession::WaitUntilLinkIdle()
{
    // The worker hands each answer over with a blocking send and posts its idle notice once
    // nothing is left, so a wait for it sleeps until then.
    return WaitUntil([this] { return !m_sys->link.HasPendingRequests(); }, exchangeTimeoutMs());
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
                                exchangeTimeoutMs());
    if (done && !m_answered) {
        m_waiting = false;
        answer.kind = Answer::NotQueued;
        return answer;
    }
    // A refused or unconfirmed write is followed by what the drive holds.
    if (done && (m_answer.kind == Answer::Abort || m_answer.kind == Answer::Unconfirmed))
        WaitUntilLinkIdle();
    m_waiting = false;
    if (done)
        return m_answer;
    answer.kind = m_commFailed ? Answer::CommFailed : Answer::Timeout;
    return answer;
}

bool CCliSession::Upload(uint32_t key, QByteArray& text, Answer& answer)
{
    answer = Await(key, [&] { m_sys->link.RequestUpload(hwnd(), key); });
    text = answer.kind == Answer::Uploaded ? m_uploaded : QByteArray();
    return answer.kind == Answer::Uploaded;
}

int ReportNoAnswer(CCliSession& session, uint32_t key, const CCliSession::Answer& answer)
{
    if (session.deadlinePassed())
        return ExitCommFailure;
    const bool linkFinding = answer.kind == CCliSession::Answer::CommFailed &&
                             (answer.value == kSdoLengthMismatch || answer.value == kSdoBadReply);
    if (answer.kind == CCliSession::Answer::NotQueued) {
        Err() << KeyText(key) << ": the link did not take the request\n";
    } else if (linkFinding) {
        // The drive answered, but not in a way the link can vouch for: nothing of it is shown.
        Err() << KeyText(key) << ": " << SdoFailureText(answer.value) << "; nothing is shown\n";
    } else {
        Err() << "communication with the drive failed";
        if (answer.kind == CCliSession::Answer::CommFailed && answer.value != 0)
            Err() << ": " << SdoFailureText(answer.value);
        if (session.sys().connected != 1)
            Err() << " (" << CommText::Closed() << ")";
        Err() << '\n';
    }
    return ExitCommFailure;
}

int ReportUnconfirmed(uint32_t key, const TypeWidth& type, uint32_t written,
                      const CCliSession::Answer& answer)
{
    Err() << KeyText(key) << ": the drive did not confirm the write of " << RawText(type, written);
    if (answer.heldKnown)
        Err() << "; read back, it holds " << RawText(type, answer.held)
              << (type.mask(answer.held) == type.mask(written) ? " (the value written)"
                                                               : " (not the value written)");
    else
        Err() << "; its value could not be read back";
    Err() << '\n';
    return ExitCommFailure;
}
