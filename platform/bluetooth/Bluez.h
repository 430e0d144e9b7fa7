// Inside the platform layer only: the stack calls over BlueZ, the Linux
// Bluetooth daemon, reached through its D-Bus interface on the system bus.
// Each thread keeps its own bus connection, so the search on the
// user-interface thread and the link monitor's thread never share one. No
// call waits longer than its time limit for the bus or for BlueZ; one that
// got no answer in time leaves them alone for a few seconds, during which
// the calls fail at once.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"

namespace qplat {

// Which stack answers the Bluetooth calls right now: QAV5_BLUETOOTH=file or
// =bluez names one; otherwise the neighbourhood file when the device root has
// one, else BlueZ when the system bus has it, else the (empty) neighbourhood.
bool UsingBluez();
// A setting of the environment with a value it does not take is passed by,
// said once on standard error for each value ("NAME=VALUE is passed by:
// INSTEAD"): whoever set it expects it to count.
void TellSettingPassedBy(const char* name, const std::string& value, const char* instead);

namespace bluez {

struct FoundDevice {
    BT_ADDR address = 0;
    std::string name;  // empty while BlueZ has not learnt it
};

// The system bus can be reached and has BlueZ on it (the answer is kept for
// a few seconds while the connection that gave it stands).
bool ServiceAvailable();
// One inquiry of the bounded inquiry time: the devices seen during it (a
// signal strength from BlueZ while it runs) and still there at its end, in
// the order first seen. ERROR_SERVICE_NOT_ACTIVE
// when there is no adapter, it is switched off or the bus cannot be reached.
int Inquire(std::vector<FoundDevice>& found);
// The name the device gave (never the alias BlueZ makes up from the
// address): ERROR_TIMEOUT when the device is unknown or never told it.
int RemoteName(BT_ADDR address, std::string& name);
// ERROR_SUCCESS when an adapter is there and switched on.
int RadioState();
// A signal strength in dBm for the device: BlueZ's reading while it has one
// (during a discovery), else kOpenLinkRssi while a serial link to it is open;
// ERROR_DEVICE_NOT_CONNECTED otherwise.
int ReadRssi(BT_ADDR address, int& dbm);
constexpr int kOpenLinkRssi = -60;
// Pairs the device with its stored PIN when it is not paired yet, then opens
// the serial link to the channel: a connected stream socket, or -1 with the
// last error set (ERROR_ACCESS_DENIED: the pairing was refused or its
// attempts are used up).
int OpenLink(BT_ADDR address, int channel);
// The open link to the device was closed.
void LinkClosed(BT_ADDR address);
// A different PIN for the address: its used-up pairing attempts start again.
void PinChanged(BT_ADDR address);
void ForgetLinks();

}  // namespace bluez
}  // namespace qplat
