#pragma once

#include "comm/TransportApi.h"

// What the probe transport library shares with the test: its one exported variable probeState.
struct ProbeState
{
    bool failCreate;                                  // the factories hand out nothing
    uint32_t version;                                 // the interface version the library claims
    int live;                                         // instances not yet released
    unsigned char openBlock[sizeof(SerialOpenBlock)]; // the last serial open block
    int cancels;                                      // CancelReceive calls
    char portName[64];                                // the last name OpenPort was given
};
