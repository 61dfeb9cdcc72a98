#pragma once

#include "TransportApi.h"

#include <QString>
#include <cstdint>

// Wraps whichever transport library is in use. The library is loaded from the data folder at run
// time by its factory name and never unloaded.
class CCommPort
{
public:
    enum Mode
    {
        ModeSerial = 2,
        ModeCan = 5,
        ModeNone = 6
    };

    explicit CCommPort(const QString& dataDir);
    virtual ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    int Load(int mode);                 // 1 success, 0 failure
    int Open(const uint32_t* settings); // seven words; -1 without settings or instance
    int Send(const uint8_t* bytes, int length);
    int Receive(uint8_t* bytes, int* length);
    void Close();
    int GetVersion(char* buffer256);

    // CAN plugin and interface for the next open (see SetCanDeviceFn).
    void SetCanDevice(const QString& plugin, const QString& interfaceName);

    int mode() const { return m_mode; }

    // Library file names inside the data folder.
    static QString SerialLibraryName();
    static QString CanLibraryName();

private:
    QFunctionPointer Resolve(const QString& fileName, const char* symbol) const;
    void ApplyCanDevice() const;

    QString m_dataDir;
    int m_mode = ModeNone;
    uint32_t m_settings[7] = {};
    bool m_serialLoaded = false; // COM library found with its factory
    ISerialTransport* m_serial = nullptr;
    ICanTransport* m_can = nullptr;
    QString m_canPlugin;
    QString m_canInterface;
};
