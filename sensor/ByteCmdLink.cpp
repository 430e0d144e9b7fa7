// Command set B over the gauge's serial port.
#include "sensor/ByteCmdLink.h"

#include "platform/WinComm.h"
#include "platform/WinKernel.h"
#include "sensor/PortIo.h"

namespace {

constexpr BYTE CMD_VALUE = 0x96;
constexpr BYTE CMD_TRIGGER = 0x97;
constexpr BYTE CMD_ZERO = 0x98;

bool Echoed(HANDLE port, BYTE command)
{
    if (!sensorio::Send(port, &command, 1))
        return false;
    Sleep(500);
    BYTE echo = 0;
    return sensorio::Receive(port, &echo, 1) && echo == command;
}

}  // namespace

int CByteCmdLink::FlushInput(HANDLE port)
{
    if (port == INVALID_HANDLE_VALUE)
        return 0;
    sensorio::Purge(port);
    sensorio::DrainInput(port);
    return 1;
}

int CByteCmdLink::SendZero(HANDLE port)
{
    if (port == INVALID_HANDLE_VALUE)
        return 0;
    sensorio::Purge(port);
    FlushInput(port);
    return Echoed(port, CMD_ZERO) ? 1 : 0;
}

int CByteCmdLink::SendTrigger(HANDLE port)
{
    if (port == INVALID_HANDLE_VALUE)
        return 0;
    sensorio::Purge(port);
    return Echoed(port, CMD_TRIGGER) ? 1 : 0;
}

DWORD CByteCmdLink::DecodeValue(const BYTE reply[5])
{
    const DWORD raw = static_cast<DWORD>(reply[0]) | (static_cast<DWORD>(reply[1]) << 8) |
                      (static_cast<DWORD>(reply[2]) << 16);
    return raw * 10u;
}

int CByteCmdLink::ReadValue(HANDLE port, DWORD* value)
{
    if (port == INVALID_HANDLE_VALUE || !value)
        return 0;
    sensorio::Purge(port);
    const BYTE command = CMD_VALUE;
    if (!sensorio::Send(port, &command, 1))
        return 0;
    Sleep(100);
    BYTE reply[5];
    if (!sensorio::Receive(port, reply, 5))
        return 0;
    *value = DecodeValue(reply);
    return 1;
}
