#pragma once

#include "DriveObjects.h"
#include "base/Handle.h"

#include <cstdint>

// Message numbers. Values follow the Windows numbering the drive tools have always used.

constexpr unsigned WM_USER = 0x0400;
constexpr unsigned WM_CLOSE = 0x0010;
constexpr unsigned WM_TIMER = 0x0113;

constexpr unsigned WM_SDO_VALUE = WM_USER + 1;    // wParam value, lParam key
constexpr unsigned WM_OPEN_WINDOW = WM_USER + 2;  // wParam 0 serial, 1 CAN settings, 2 dictionary
constexpr unsigned WM_PAGE_CONTROL = WM_USER + 3; // wParam action
constexpr unsigned WM_COMM_FAILED = WM_USER + 4;  // connection change; 0 closed
constexpr unsigned WM_ADD_OBJECT = WM_USER + 5;   // lParam key
constexpr unsigned WM_SDO_SEGMENT = WM_USER + 6;  // wParam last value, lParam key
constexpr unsigned WM_SDO_ABORT = WM_USER + 7;    // wParam abort code, lParam key
constexpr unsigned WM_CELL_EDITED = WM_USER + 8;  // wParam row, lParam column
constexpr unsigned WM_MOVE_PAGE = WM_USER + 9;    // wParam left, lParam top
constexpr unsigned WM_ALL_PAGES = WM_USER + 10;   // send code 2 to all pages
constexpr unsigned WM_LINK_OPENED = WM_USER + 11; // connection indicator on
constexpr unsigned WM_SDO_FAILED = WM_USER + 12;  // wParam SdoFailure, lParam key
constexpr unsigned WM_SDO_UPLOAD = WM_USER + 13;  // wParam length, lParam key (then TakeUpload)
constexpr unsigned WM_LINK_IDLE = WM_USER + 14;   // posted: nothing left queued or running
constexpr unsigned WM_SDO_WRITTEN =
    WM_USER + 15; // wParam writes confirmed, lParam tag (TakeWrites)

// Heartbeats, emergencies and lost nodes on the CAN bus (posted to the link's bus window):
// wParam as BusEvent says, lParam kind << 8 | node.
constexpr unsigned WM_BUS_EVENT = WM_USER + 40;
enum BusEvent : uint32_t
{
    kBusHeartbeat = 1, // a node's first heartbeat or a new NMT state: wParam the state
    kBusEmergency = 2, // wParam error code | error register << 16 | first vendor byte << 24
    kBusNodeLost = 3,  // a node's heartbeat stopped: wParam the ms since its last one
};

// Why an exchange a window asked for ended without an answer (wParam of WM_SDO_FAILED).
enum SdoFailure : uint32_t
{
    kSdoNoAnswer = 1, // the drive did not answer (the connection is failed as well)
    kSdoNotSent = 2,  // the port refused the frame while retries were off
    kSdoClosed = 3,   // the connection was closed or changed before the exchange ended
    kSdoReplaced = 4, // a newer request of the link's exclusive owner took its place
    // The link's own findings about what the drive sent; the connection stays open.
    kSdoLengthMismatch = 5, // an upload ended before, or ran past, the length it announced
    kSdoUnconfirmed = 6,    // a write went out but its confirmation never came; the outcome of
                            // reading the object back follows
    kSdoBadReply = 7,       // a reply the link cannot use (an upload of an impossible length)
};
