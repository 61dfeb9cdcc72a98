#pragma once

#include <QString>
#include <QVector>

// One serial port the operator may choose. name is what the serial library opens (the path
// below /dev/, e.g. "ttyUSB0" or "pts/3").
struct CSerialPortEntry
{
    QString name;
    bool inUse = false; // another program holds it
};

// The ports of this computer: what QSerialPortInfo reports plus every /dev/tty* serial device
// (USB, ACM, on-board) that the user can open, ports in use included and marked. Sorted by name.
QVector<CSerialPortEntry> ListSerialPorts();

// The text the port list shows for an entry.
QString SerialPortText(const CSerialPortEntry& entry);

// Whether a device node is held by another program (an exclusive terminal or a lock).
bool SerialPortInUse(const QString& devicePath);
