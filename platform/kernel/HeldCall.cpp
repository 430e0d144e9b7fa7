#include "platform/HeldCall.h"

#include <mutex>

namespace qplat {

namespace {

struct HeldCallState {
    std::mutex lock;
    std::function<bool(unsigned long*)> side;
};

// The depth of held calls handing their time to the screen's side on this
// thread (a side may hold a call in turn).
thread_local int t_insideHeldCall = 0;

HeldCallState& State()
{
    static HeldCallState* s = new HeldCallState;
    return *s;
}

}  // namespace

bool HeldCallEnds(unsigned long* waitMs)
{
    std::function<bool(unsigned long*)> side;
    {
        HeldCallState& s = State();
        std::lock_guard<std::mutex> guard(s.lock);
        side = s.side;
    }
    unsigned long wait = 100;
    // Outside the lock: the screen's side runs the presenter's idle time.
    bool ends = false;
    if (side) {
        ++t_insideHeldCall;
        ends = side(&wait);
        --t_insideHeldCall;
    }
    if (waitMs)
        *waitMs = wait;
    return ends;
}

bool InsideHeldCall()
{
    return t_insideHeldCall > 0;
}

void SetHeldCallSide(std::function<bool(unsigned long* waitMs)> side)
{
    HeldCallState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.side = std::move(side);
}

}  // namespace qplat
