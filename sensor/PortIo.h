// Small exchange helpers shared by the two command sets: a request goes out in
// one WriteFile and counts only when every byte was written; a reply counts
// only when every byte arrived within the port's time-outs.
#pragma once

#include "platform/WinComm.h"
#include "platform/WinKernel.h"

namespace sensorio {

inline void Purge(HANDLE port)
{
    PurgeComm(port, PURGE_TXCLEAR | PURGE_RXCLEAR);
}

inline bool Send(HANDLE port, const BYTE* request, DWORD length)
{
    DWORD written = 0;
    return WriteFile(port, request, length, &written, nullptr) && written == length;
}

inline bool Receive(HANDLE port, BYTE* reply, DWORD length)
{
    DWORD read = 0;
    return ReadFile(port, reply, length, &read, nullptr) && read == length;
}

// The longest a flush keeps reading: a head that never stops sending must not
// hold the program. Twice a whole dump, or about three seconds.
constexpr DWORD kFlushByteLimit = 2 * 12288;
constexpr DWORD kFlushTimeLimitMs = 3000;

// Discards whatever the device still sends: single bytes until a read brings
// none (with the sensor time-outs, 700 ms of silence).
inline void DrainInput(HANDLE port)
{
    const DWORD start = GetTickCount();
    for (DWORD n = 0; n < kFlushByteLimit; ++n) {
        BYTE b;
        DWORD read = 0;
        if (!ReadFile(port, &b, 1, &read, nullptr) || read == 0)
            return;
        if (GetTickCount() - start >= kFlushTimeLimitMs)
            return;
    }
}

// A nibble byte of a request: the nibble in bits 0 to 3, bit 7 set.
inline BYTE Nibble(unsigned value)
{
    return static_cast<BYTE>(0x80u | (value & 0x0Fu));
}

}  // namespace sensorio
