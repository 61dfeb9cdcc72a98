#pragma once

#include <QString>
#include <QVector>

// One serial port the operator may choose. name is what the serial library opens (the path
// below /dev/, e.g. "ttyUSB0", "pts/3" or "serial/by-id/usb-FTDI_...-if00-port0").
struct CSerialPortEntry
{
    QString name;
    bool inUse = false; // another program holds it
    QString kernelName; // for a stable by-id name: the device it stands for today ("ttyUSB0")
};

// The ports of this computer: what QSerialPortInfo reports plus every /dev/tty* serial device
// (USB, ACM, on-board) that the user can open, ports in use included and marked, sorted by name;
// then the stable names of /dev/serial/by-id, which keep naming an adapter whatever number the
// kernel gives it at the next plug-in. devRoot stands for /dev.
QVector<CSerialPortEntry> ListSerialPorts(const QString& devRoot = QStringLiteral("/dev"));

// The text the port list shows for an entry.
QString SerialPortText(const CSerialPortEntry& entry);

// Whether a device node is held by another program (an exclusive terminal or a lock).
bool SerialPortInUse(const QString& devicePath);
