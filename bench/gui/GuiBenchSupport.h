#pragma once

// What the benchmarks of the whole program share: an installation to run drivara in, and the
// process's resident memory.

#include "SimSerialServer.h"
#include "VirtualDrive.h"
#include "base/IniFile.h"
#include "comm/ConnectionSettings.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

namespace GuiBench {

inline QString DistDir()
{
    return QStringLiteral(DRIVARA_DIST_DIR);
}

// A copy of the installation's sys/ (settings are written) beside its data/, set to connect to
// the serial port in English.
inline bool MakeInstall(const QTemporaryDir& dir, const QString& port)
{
    QDir base(dir.path());
    base.mkpath(QStringLiteral("sys"));
    base.mkpath(QStringLiteral("user"));
    if (!QFile::link(DistDir() + QStringLiteral("/data"), dir.filePath(QStringLiteral("data"))))
        return false;
    const QDir sys(DistDir() + QStringLiteral("/sys"));
    for (const QString& name : sys.entryList({QStringLiteral("*.ini")}, QDir::Files))
        QFile::copy(sys.filePath(name), dir.filePath(QStringLiteral("sys/") + name));
    const QString ini = dir.filePath(QStringLiteral("sys/sys.ini"));
    CConnectionSettings serial;
    serial.mode = CommMode::Rs232;
    serial.serial = {port, 115200, 1, 500};
    return Ini::WriteProfileString(ini, QStringLiteral("sys"), QStringLiteral("lang"),
                                   QStringLiteral("2")) &&
           serial.Save(ini, CConnectionSettings::ModePart | CConnectionSettings::SerialPart);
}

// The virtual drive with the shipped dictionary on a pseudo-terminal paced at baud (0: unpaced);
// false, with why on standard error, when it cannot be had.
inline bool StartDrive(CVirtualDrive& drive, CSimSerialServer& server, int baud)
{
    QString error;
    if (!drive.Load(DistDir() + QStringLiteral("/data"), &error)) {
        std::fprintf(stderr, "virtual drive: %s\n", qPrintable(error));
        return false;
    }
    if (!server.Start(1, baud)) {
        std::fprintf(stderr, "serial server: %s\n", qPrintable(server.ErrorString()));
        return false;
    }
    return true;
}

inline long ResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

} // namespace GuiBench
