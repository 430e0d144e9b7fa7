// A platform call that holds the calling thread a long time: the Bluetooth
// inquiry, which the program makes on its user-interface thread and which
// takes seconds. Between its waits the call asks HeldCallEnds(); the screen's
// side, set by the presenter, keeps the screen going meanwhile as during a
// sleep (the window system's events, frames, the script, the close signals;
// messages stay queued for when the call returns) and tells whether the
// program has been asked to close, so that the call ends at once rather
// than keep the program open to its end.
#pragma once

#include <functional>

namespace qplat {

// True when the call should end now: the program was asked to close (or to
// quit). `waitMs`, when given, gets how long the call may wait before it asks
// again. Without a screen's side: false, and 100 ms.
bool HeldCallEnds(unsigned long* waitMs = nullptr);
// The screen's side (nullptr: none); it is called on the holding thread.
void SetHeldCallSide(std::function<bool(unsigned long* waitMs)> side);
// True on a thread while its held call hands the screen's side its time: what
// runs then runs inside the call (the script's end waits for the call's).
bool InsideHeldCall();

}  // namespace qplat
