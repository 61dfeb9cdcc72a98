#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace TestSupport {

bool WaitFor(const std::function<bool()>& predicate, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs)
            return predicate();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void Pump(int ms)
{
    WaitFor([] { return false; }, ms);
}

QString DistDir()
{
    return QStringLiteral(DRIVARA_DIST_DIR);
}

QString SourceDir()
{
    return QStringLiteral(DRIVARA_SOURCE_DIR);
}

TempInstall::TempInstall(const QString& sysIni)
{
    for (const char* dir : {"sys", "data", "user"})
        QDir(m_dir.path()).mkpath(QLatin1String(dir));
    writeFile(QStringLiteral("sys/sys.ini"), sysIni.toUtf8());
    // The shipped data files and libraries are linked, not copied: tests stay fast. The check of
    // the shipped dictionary stays out, so that a test may put a dictionary of its own in place.
    const QDir dist(DistDir() + QStringLiteral("/data"));
    for (const QString& name : dist.entryList(QDir::Files)) {
        if (name != QLatin1String("velmor.dat.sum"))
            QFile::link(dist.filePath(name), path(QStringLiteral("data/") + name));
    }
    const QDir sys(DistDir() + QStringLiteral("/sys"));
    for (const QString& name :
         sys.entryList({QStringLiteral("*.ini"), QStringLiteral("*.cdo")}, QDir::Files)) {
        if (name.compare(QStringLiteral("sys.ini"), Qt::CaseInsensitive) != 0)
            QFile::link(sys.filePath(name), path(QStringLiteral("sys/") + name));
    }
}

bool TempInstall::writeFile(const QString& relative, const QByteArray& bytes) const
{
    // The installation links the shipped files: a file written here replaces the link, never the
    // file it points to.
    QFile::remove(path(relative));
    QFile file(path(relative));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

} // namespace TestSupport
