// The sleep of a power-off. Switching the handheld off keeps the program: the
// screen goes dark and takes no input until a tap (down to up) or the power
// key wakes it, which reaches no window; a request to close the program wakes
// it too. SetSystemPowerState(POWER_STATE_OFF) returns on waking, and the
// program carries on where it was.
#pragma once

#include <functional>

#include "platform/WinDef.h"

namespace qplat {

bool DeviceAsleep();
// Wakes a sleeping device; false when it was awake. Safe from any thread.
bool WakeDevice();
// Waits at most `milliseconds` for the device to wake; true when it is awake.
bool WaitForWake(DWORD milliseconds);
// How often the device went to sleep and woke since the process started.
unsigned DeviceSleeps();
unsigned DeviceWakes();
// The screen's side of a sleep, run on the thread that switched the device
// off until it is woken (the presenter shows a dark screen and takes the
// input that wakes it). Without one a power-off wakes at once: nothing could
// wake it later. nullptr: none.
void SetSleepScreen(std::function<void()> whileAsleep);

}  // namespace qplat
