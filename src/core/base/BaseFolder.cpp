#include "BaseFolder.h"

#include <QDir>
#include <QFileInfo>

bool HoldsDatabase(const QString& dir)
{
    return !dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/data/velmor.dat"));
}

QString FindBaseFolder(const QString& programDir)
{
    // A folder that holds settings or a dictionary is an installation of its own, even a damaged
    // one: its problems are reported rather than hidden behind another installation's files.
    const bool ownFiles =
        HoldsDatabase(programDir) || QFileInfo::exists(programDir + QStringLiteral("/sys/sys.ini"));
    const QString installed = programDir + QStringLiteral("/../lib/drivara");
    const QString base =
        !ownFiles && !programDir.isEmpty() && HoldsDatabase(installed) ? installed : programDir;
    return QDir(base).absolutePath();
}
