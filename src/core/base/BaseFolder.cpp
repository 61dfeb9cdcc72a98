#include "BaseFolder.h"

#include <QDir>
#include <QFileInfo>

bool HoldsDatabase(const QString& dir)
{
    return !dir.isEmpty() && QFileInfo::exists(dir + QStringLiteral("/data/velmor.dat"));
}

CBaseFolder FindBaseFolder(const QString& programDir)
{
    // A folder that holds settings or a dictionary is an installation of its own, even a damaged
    // one: its problems are reported rather than hidden behind another installation's files.
    const bool ownFiles =
        HoldsDatabase(programDir) || QFileInfo::exists(programDir + QStringLiteral("/sys/sys.ini"));
    // The folders below the prefix are the ones the install rules used (GNUInstallDirs).
    const QString prefix = programDir + QStringLiteral("/..");
    const QString installed = prefix + QStringLiteral("/" DRIVARA_INSTALL_DATA_SUBDIR);
    if (!ownFiles && !programDir.isEmpty() && HoldsDatabase(installed)) {
        return {QDir(installed).absolutePath(),
                QDir(prefix + QStringLiteral("/" DRIVARA_INSTALL_TRANSPORT_SUBDIR)).absolutePath(),
                true};
    }
    const QString base = QDir(programDir).absolutePath();
    return {base, base + QStringLiteral("/data"), false};
}
