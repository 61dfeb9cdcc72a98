#pragma once

#include "CommPort.h"
#include "LinkFlags.h"
#include "SdoFrame.h"

#include <cstdint>

// Carries one exchange at a time over the port: builds the frame, sends, receives, retries on a
// bad reply or a refused send, and decodes the reply. Used only by the link's worker thread
// (SetMode, SetNodeId, Open and Close come from the GUI thread while the worker is idle).
class CSdoChannel
{
public:
    enum Result
    {
        Ok = 0,
        TooManyBadReplies = 1,
        TooManyFailedSends = 2,
        NoPort = -1
    };

    CSdoChannel(CLinkFlags& flags, const QString& dataDir);
    virtual ~CSdoChannel() = default;

    int Transfer(uint32_t key, uint8_t command, uint32_t value);
    SdoFrame::DecodeState DecodeReply(uint8_t requestCommand);

    int SetMode(int mode);
    void SetNodeId(uint32_t id) { m_nodeId = id; }
    uint32_t nodeId() const { return m_nodeId; }
    int mode() const { return m_mode; }
    CCommPort& port() { return m_port; }

    uint8_t decodeState() const { return m_decodeState; }
    uint32_t decodedValue() const { return m_decodedValue; }
    // The eight SDO bytes of the last reply (command byte first).
    const uint8_t* replyData() const;

private:
    int TransferOnce(uint32_t key, uint8_t command, uint32_t value);
    int TransferSerial(uint32_t key, uint8_t command, uint32_t value);
    int TransferCan(uint32_t key, uint8_t command, uint32_t value);

    CLinkFlags& m_flags;
    int m_mode = 1;
    uint8_t m_decodeState = SdoFrame::StateNone;
    uint32_t m_decodedValue = 0;
    uint8_t m_badReplies = 0;
    uint8_t m_failedSends = 0;
    CCommPort m_port;
    SdoFrame::Can m_canRequest{};
    SdoFrame::Can m_canReply{};
    SdoFrame::Serial m_serialRequest{};
    SdoFrame::Serial m_serialReply{};
    uint32_t m_nodeId = 0;
    bool m_readBack = false; // the last reply answers the read that followed a refused write
};
