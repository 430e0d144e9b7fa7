// Inside the platform layer only: the kernel's RFCOMM socket, kept apart from
// platform/Bluetooth.h, whose socket records have the handheld's layout and
// names that clash with the host's.
#pragma once

#include <cstdint>

namespace qplat {

// A stream socket connected to the RFCOMM channel of the device (48-bit
// address), non-blocking; -1 with errno set when the connection fails or
// takes longer than the page and connection time of a device in reach.
int ConnectRfcomm(uint64_t address, int channel);

}  // namespace qplat
