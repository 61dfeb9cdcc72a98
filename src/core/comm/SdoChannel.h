#pragma once

#include "CommPort.h"
#include "LinkFlags.h"
#include "LinkProfile.h"
#include "SdoFrame.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <cstdint>
#include <mutex>

// Carries one exchange at a time over the port: builds the frame, sends it, waits for the reply
// that belongs to it and decides what may be tried again. Transfer runs on the link's worker;
// the connection operations come from the GUI thread. The port is held only for one request
// and its reply at a time; a connection operation first cuts the waiting exchange short (the
// transport's CancelReceive), so it never waits out a reply timeout, and it ends the transfer
// it interrupted.
class CSdoChannel
{
public:
    enum Result
    {
        Ok = 0,
        TooManyBadReplies = 1,  // no reply that belongs to the request, four times over
        TooManyFailedSends = 2, // the port refused the frame again and again
        NoPort = -1,
        NotSent = 3,     // the port refused the frame and retries are off: nothing went out
        Interrupted = 4, // the connection was closed, opened or changed during the transfer
        NotAnswered = 5, // a probe that no node answered
    };

    // What one transfer came to.
    struct Outcome
    {
        int result = Ok;
        // A write the drive refused: its abort code. The read-back's reply follows in reply.
        bool writeRefused = false;
        uint32_t writeAbortCode = 0;
        // A write whose confirmation never came; reply holds the read-back's answer.
        bool writeUnconfirmed = false;
        // The SDO bytes of the reply that ended the transfer (the read-back's after a write
        // that was refused or not confirmed), and the command that reply answers.
        SdoFrame::Sdo reply{};
        uint8_t answeredCommand = 0;
    };

    CSdoChannel(CLinkFlags& flags, const QString& dataDir);
    virtual ~CSdoChannel() = default;
    CSdoChannel(const CSdoChannel&) = delete;
    CSdoChannel& operator=(const CSdoChannel&) = delete;

    // Worker thread. A read or segment request goes out again when its reply is missing or
    // damaged; a write never does once its frame went out: its object is read back instead.
    Outcome Transfer(uint32_t key, uint8_t command, uint32_t value);
    // Worker thread: one frame of eight SDO bytes built by the caller (a download segment),
    // sent once; a missing answer ends it as TooManyBadReplies.
    Outcome TransferOnce(const SdoFrame::Sdo& request);
    // Worker thread: one read of another node's object on the same bus, asked once; no answer
    // is the node's absence (NotAnswered), not a failed connection.
    Outcome Probe(uint32_t nodeId, uint32_t key);
    // Worker thread: one CAN frame that expects no answer (an NMT command); a Result.
    int SendFrame(uint32_t id, const uint8_t* data, int length);
    // Worker thread, CAN: an SDO block upload of key with CRC (CiA 301), the port held for the
    // whole of it. offered is false when the device refused the block command, so the caller
    // falls back to segments; abortCode is set when it refused the upload otherwise. The bytes
    // come in out only when their count and CRC match what the device announced (result Ok,
    // crcHeld true).
    struct BlockOutcome
    {
        int result = Ok;
        bool offered = true;
        uint32_t abortCode = 0;
        bool complete = false; // count and CRC held
    };
    BlockOutcome BlockUpload(uint32_t key, QByteArray& out);
    // Worker thread: the oldest heartbeat or emergency received on CAN; false when none.
    bool TakeBusFrame(SdoFrame::Can& frame);
    // Under canopen an expedited write confirmed without its value is followed by a read.
    void SetProfile(LinkProfile profile) { m_profile.store(int(profile)); }
    LinkProfile profile() const { return LinkProfile(m_profile.load()); }

    // Connection operations (GUI thread). Messages go to error, never reported from here. Each
    // returns within the time the running exchange takes to notice the cancel, not its timeout.
    int SetMode(int mode, QString& error);
    void SetNodeId(uint32_t id);
    int Open(const uint32_t* settings, QString& error, const QString& portName = {});
    // Takes effect at once; an exchange that waits for its reply is cut short.
    void Close();
    int GetVersion(char* buffer256);
    void SetCanDevice(const QString& plugin, const QString& interfaceName);
    void SetDeviceFolder(const QString& folder);
    QString LastError();

    int mode();
    uint32_t nodeId();
    // Replies dropped because they did not belong to their request (for tests and figures).
    int staleReplies() const { return m_staleReplies.load(); }

private:
    enum class Attempt
    {
        Answered,
        NoAnswer,    // timed out, damaged, or only replies that belong to another request
        SendRefused, // nothing went out
        Interrupted,
    };

    Attempt Exchange(uint32_t generation, uint8_t command, uint32_t key, uint32_t value,
                     SdoFrame::Sdo& reply);
    // nodeId 0: the connection's node.
    Attempt Exchange(uint32_t generation, const SdoFrame::Sdo& request, SdoFrame::Sdo& reply,
                     uint32_t nodeId = 0);
    // Receives until a reply that answers the request or the deadline; port lock held.
    Attempt AwaitReply(uint32_t generation, const uint8_t* request8, SdoFrame::Sdo& reply);
    // Repeats a read or segment request until answered; missing counts the replies already
    // missed in this transfer.
    int Repeat(uint32_t generation, uint8_t command, uint32_t key, uint32_t value, int& missing,
               SdoFrame::Sdo& reply);
    void CloseIfAsked(); // port lock held
    // Marks a connection change and cuts the waiting exchange short; connection lock held.
    void Interrupt();

    CLinkFlags& m_flags;
    // Connection operations one at a time; taken before the port lock, never by an exchange.
    // The transport instances change only under both, so a cancel under this one alone reaches
    // a live instance.
    std::mutex m_connectionMutex;
    std::mutex m_portMutex; // the port and everything below
    int m_mode = 1;
    uint32_t m_nodeId = 0;
    CCommPort m_port;
    // Counts the connection operations; a transfer that sees it change gives up.
    std::atomic<uint32_t> m_generation{0};
    std::atomic<bool> m_closeAsked{false};
    std::atomic<int> m_staleReplies{0};
    std::atomic<int> m_profile{int(LinkProfile::Drive)};
};
