#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>

namespace TestSupport {

// Processes events until the predicate holds or the timeout runs out; returns the predicate.
bool WaitFor(const std::function<bool()>& predicate, int timeoutMs = 3000);
// Processes events for the given time (for asserting that something does not happen).
void Pump(int ms);

// The built installation tree (binaries, sys/, data/).
QString DistDir();
QString SourceDir();

// A temporary installation tree: sys/ (with the given sys.ini text), data/ with the shipped
// velmor.dat (without its check) and transport libraries linked in, user/.
class TempInstall
{
public:
    explicit TempInstall(const QString& sysIni = QStringLiteral("[sys]\nlang=2\ncomm=2\n"));
    QString base() const { return m_dir.path(); }
    QString path(const QString& relative) const
    {
        return m_dir.path() + QLatin1Char('/') + relative;
    }
    bool writeFile(const QString& relative, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

} // namespace TestSupport
