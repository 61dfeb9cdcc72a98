#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

class CVirtualDrive;

// Serves the virtual drive on a pseudo-terminal as a drive on a serial line: 10-byte frames
// (node id, the eight SDO bytes, checksum), answered only for its own node id and a valid
// checksum. At a given baud rate the replies keep the pace of the real line.
class CSimSerialServer
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CSimSerialServer(CVirtualDrive& drive);
    virtual ~CSimSerialServer();
    CSimSerialServer(const CSimSerialServer&) = delete;
    CSimSerialServer& operator=(const CSimSerialServer&) = delete;

    // Opens a pseudo-terminal (raw mode) and serves it on a thread of its own. baud 0 answers at
    // once. linkPath, when given, becomes a symbolic link to the terminal (an existing symbolic
    // link is replaced, any other file is left alone and Start fails).
    bool Start(uint32_t nodeId, int baud /*0 = unpaced*/, const QString& linkPath = {});
    QString SlavePath() const { return m_slavePath; } // "/dev/pts/7"
    QString PortName() const;                         // "pts/7", as the serial library names it
    QString ErrorString() const { return m_error; }
    // Closes the terminal, as a drive that was unplugged; removes the link.
    void Stop();

    // Called on the server's thread when a planned unplug closed the terminal; set before Start.
    std::function<void()> onUnplugged;

private:
    void Serve();
    void Unplug();
    // Sleeps until the given time; false when Stop interrupted it.
    bool SleepUntil(Clock::time_point when);
    bool WriteAll(const uint8_t* bytes, int length);
    bool Fail(const QString& error);

    CVirtualDrive& m_drive;
    uint32_t m_nodeId = 0;
    int m_baud = 0;
    int m_master = -1;
    int m_slave = -1; // kept open so the master never sees a hang-up between clients
    int m_wake[2] = {-1, -1};
    QString m_slavePath;
    QString m_linkPath;
    QString m_error;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_sleepMutex;
    std::condition_variable m_sleepCv;
};
