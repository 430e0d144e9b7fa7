// Command set B: the single-byte protocol of the two wheel-family gauges
// (device types 2 and 3). Replies are used whole (no nibble coding).
#pragma once

#include "platform/WinDef.h"

class CByteCmdLink {
public:
    // Discards what the gauge still sends (bounded). 1; 0 for a handle of -1.
    int FlushInput(HANDLE port);
    // Zero (0x98) and trigger (0x97): 1 when the gauge echoes the command byte.
    int SendZero(HANDLE port);
    int SendTrigger(HANDLE port);
    // Value (0x96): the 24-bit number of the first three reply bytes, least
    // significant first, times 10. Left unchanged on failure.
    int ReadValue(HANDLE port, DWORD* value);

    static DWORD DecodeValue(const BYTE reply[5]);
};
