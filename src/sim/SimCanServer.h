#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class CVirtualDrive;
class QObject;

// Serves the virtual drive on a CAN bus through a QtSerialBus plugin ("virtualcan" in tests):
// requests with identifier 0x600 + node id, replies with 0x580 + node id, eight data bytes.
// NMT commands, heartbeats and emergencies as a CANopen device has them.
//
// The devices of all CAN servers of a process live in one event-loop thread that lasts until
// the application ends. That thread is also where Qt's virtual CAN hub starts when a server is
// the first virtualcan device of the process, so the hub outlives any one server: start the
// virtual drive before other virtualcan devices of the same process.
class CSimCanServer
{
public:
    explicit CSimCanServer(CVirtualDrive& drive);
    virtual ~CSimCanServer();
    CSimCanServer(const CSimCanServer&) = delete;
    CSimCanServer& operator=(const CSimCanServer&) = delete;

    // Creates and connects the device; false (see ErrorString) when the plugin, the interface
    // or the connection fails, or without CAN support in this build.
    bool Start(uint32_t nodeId, const QString& plugin, const QString& interfaceName);
    void Stop();
    QString ErrorString() const { return m_error; }

    // Called on the CAN thread when a planned unplug took the device off the bus; set before
    // Start.
    std::function<void()> onUnplugged;
    // The heartbeat's period (0: none), with the node's NMT state; set before Start. The server
    // follows NMT commands (a stopped node serves no SDO) and, while the drive serves the
    // canopen profile, sends an emergency for every error raised through 5FFF01.
    int heartbeatPeriodMs = 0;
    // With the canopen profile: the emergency of this error bit (-1: none), sent once, before
    // the answer to the first SDO request; set before Start.
    int emergencyOnFirstRequest = -1;

private:
    CVirtualDrive& m_drive;
    QObject* m_context = nullptr; // lives in the CAN thread and owns the device
    QString m_error;
};
