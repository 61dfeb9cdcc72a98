#pragma once

#include "ConnectionFacts.h"
#include "TransportApi.h"

#include <QString>

#include <cstdint>
#include <memory>

// Wraps whichever transport library is in use. The library is loaded from the data folder at run
// time by its factory name and never unloaded; the port owns the instances it creates and closes
// and releases them when it replaces them or goes.
class CCommPort
{
public:
    enum Mode
    {
        ModeSerial = CommModeNumber(CommMode::Rs232),
        ModeCan = CommModeNumber(CommMode::Can),
        ModeNone = 6
    };

    explicit CCommPort(const QString& dataDir);
    virtual ~CCommPort();
    CCommPort(const CCommPort&) = delete;
    CCommPort& operator=(const CCommPort&) = delete;

    // The operator messages of Load and Open go to error when it is given (a caller that holds a
    // lock reports them once it let go), else straight to ReportMessage.
    int Load(int mode, QString* error = nullptr); // 1 success, 0 failure
    // -1 without settings or instance, or for a reply timeout (word 6) outside 10 ms to 10 s.
    // portName, when given, names the serial port in place of words 0-3, at any length.
    int Open(const uint32_t* settings, QString* error = nullptr, const QString& portName = {});
    int Send(const uint8_t* bytes, int length);
    int Receive(uint8_t* bytes, int* length);
    // May be called from another thread while Send or Receive run (not while Load replaces the
    // instance): cuts a waiting Receive short. Does nothing with a library older than the
    // cancel.
    void CancelReceive();
    void Close();
    int GetVersion(char* buffer256);

    // CAN plugin and interface for the next open (see SetCanDeviceFn).
    void SetCanDevice(const QString& plugin, const QString& interfaceName);
    // Where the serial library looks up port links that are not system devices (default: the
    // folder above the data folder, the installation's base).
    void SetDeviceFolder(const QString& folder);

    int mode() const { return m_mode; }
    // The reply timeout of the last open, in ms.
    uint32_t replyTimeoutMs() const { return EffectiveReplyTimeout(m_settings[6]); }
    // Why the last open failed, or what the library last reported (empty when it said nothing).
    QString LastError() const;
    // The oldest heartbeat or emergency the CAN library received (16 bytes); false when none.
    bool TakeBusFrame(uint8_t* frame16) const;

    // Library file names inside the data folder.
    static QString SerialLibraryName();
    static QString CanLibraryName();

private:
    struct Releaser
    {
        void operator()(ISerialTransport* serial) const;
        void operator()(ICanTransport* can) const;
    };

    // The factory of a library whose interface version matches; null (message in error) else.
    QFunctionPointer Resolve(const QString& fileName, const char* factory, const QString& noFactory,
                             QString& error, uint32_t& version) const;
    QFunctionPointer ResolveOptional(const QString& fileName, const char* symbol) const;
    void ApplyCanDevice() const;
    void ApplyDeviceFolder() const;
    static void Deliver(const QString& text, QString* error);

    QString m_dataDir;
    QString m_deviceFolder;
    int m_mode = ModeNone;
    uint32_t m_settings[7] = {};
    bool m_serialLoaded = false; // COM library found with its factory
    uint32_t m_serialVersion = 0;
    uint32_t m_canVersion = 0;
    std::unique_ptr<ISerialTransport, Releaser> m_serial;
    std::unique_ptr<ICanTransport, Releaser> m_can;
    QString m_canPlugin;
    QString m_canInterface;
    mutable TakeBusFrameFn m_takeBusFrame = nullptr;
    mutable bool m_takeBusFrameResolved = false;
};
