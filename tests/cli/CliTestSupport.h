#pragma once

// The programs of the installation tree as the drivactl tests run them: drivactl with its exit
// code and output, the virtual drive in a process of its own.

#include "TestSupport.h"

#include <QProcess>
#include <string>

namespace CliTest {

struct CliRun
{
    int exitCode = -1;
    QString out, err;
};

inline std::string Show(const CliRun& run, const QString& more = {})
{
    return QStringLiteral("exit %1%2\n--- out\n%3--- err\n%4")
        .arg(run.exitCode)
        .arg(more, run.out, run.err)
        .toStdString();
}

// drivactl on the arguments, started from the folder cwd, with the environment changed by the
// assignments and input on its standard input; a command that hangs past killMs shows as one
// that crashed (exit -2).
inline CliRun RunDrivactl(const QStringList& args, const QStringList& env = {},
                          const QString& cwd = {}, int killMs = 120000,
                          const QByteArray& input = {})
{
    QProcess process;
    process.setWorkingDirectory(cwd);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& assignment : env)
        environment.insert(assignment.section(QLatin1Char('='), 0, 0),
                           assignment.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(environment);
    process.start(TestSupport::DistDir() + QStringLiteral("/drivactl"), args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(killMs))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

// drivara-sim with the arguments until the object goes (or Finish); line is the first line it
// prints ("serial: /dev/pts/N" or "can: ..."), port the serial port named in it.
class CSimProcess
{
public:
    explicit CSimProcess(const QStringList& args)
    {
        m_process.start(TestSupport::DistDir() + QStringLiteral("/drivara-sim"),
                        QStringList{"--until-stdin-closes"} + args);
        TestSupport::WaitFor(
            [&] { return m_process.canReadLine() || m_process.waitForReadyRead(50); }, 10000);
        line = QString::fromUtf8(m_process.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("serial: /dev/")))
            port = line.mid(13);
    }
    ~CSimProcess() { Finish(); }
    // Ends the drive and returns what it printed after its first line.
    QString Finish()
    {
        m_process.closeWriteChannel();
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000))
            m_process.kill();
        return QString::fromUtf8(m_process.readAllStandardOutput());
    }
    QString line, port;

private:
    QProcess m_process;
};

} // namespace CliTest
