#include "SerialPorts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Device name patterns of serial lines (virtual consoles /dev/tty0..63 are not among them).
const char* const kSerialPatterns[] = {"ttyUSB*", "ttyACM*", "ttyAMA*", "ttyXRUSB*",
                                       "ttymxc*", "ttyO*",   "ttySAC*", "rfcomm*"};

bool Accessible(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}
} // namespace

bool SerialPortInUse(const QString& devicePath)
{
    const int fd = ::open(QFile::encodeName(devicePath).constData(),
                          O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    // Serial programs hold an advisory lock while they use the port.
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!locked)
        ::flock(fd, LOCK_UN);
    ::close(fd);
    return locked;
}

QVector<CSerialPortEntry> ListSerialPorts(const QString& devRoot)
{
    QStringList names;
    if (devRoot == QLatin1String("/dev")) {
        for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
            if (!info.portName().isEmpty())
                names.append(info.portName());
        }
    }
    QDir dev(devRoot);
    for (const char* pattern : kSerialPatterns) {
        for (const QString& name : dev.entryList({QLatin1String(pattern)}, QDir::System))
            names.append(name);
    }
    names.removeDuplicates();

    QVector<CSerialPortEntry> ports;
    for (const QString& name : names) {
        const QString path = devRoot + QLatin1Char('/') + name;
        if (!QFileInfo::exists(path) || !Accessible(path))
            continue;
        ports.append({name, SerialPortInUse(path), {}});
    }
    const auto byName = [](const CSerialPortEntry& a, const CSerialPortEntry& b) {
        return a.name < b.name;
    };
    std::sort(ports.begin(), ports.end(), byName);

    const QString byIdFolder = QStringLiteral("serial/by-id");
    const QDir byId(devRoot + QLatin1Char('/') + byIdFolder);
    QVector<CSerialPortEntry> stable;
    for (const QFileInfo& link : byId.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        // udev links each name to the device node (../../ttyUSB0).
        const QString target = link.symLinkTarget();
        if (target.isEmpty() || !Accessible(target))
            continue;
        stable.append({byIdFolder + QLatin1Char('/') + link.fileName(), SerialPortInUse(target),
                       QDir(devRoot).relativeFilePath(target)});
    }
    return ports + stable;
}

QString SerialPortText(const CSerialPortEntry& entry)
{
    const QString name = entry.kernelName.isEmpty()
                             ? entry.name
                             : QStringLiteral("%1 → %2").arg(entry.name, entry.kernelName);
    if (!entry.inUse)
        return name;
    return QCoreApplication::translate("CCommRs232", "%1 (占用)").arg(name);
}
