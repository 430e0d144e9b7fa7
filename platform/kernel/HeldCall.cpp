#include "platform/HeldCall.h"

#include <mutex>

namespace qplat {

namespace {

struct HeldCallState {
    std::mutex lock;
    std::function<bool(unsigned long*)> side;
};

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
    const bool ends = side && side(&wait);
    if (waitMs)
        *waitMs = wait;
    return ends;
}

void SetHeldCallSide(std::function<bool(unsigned long* waitMs)> side)
{
    HeldCallState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.side = std::move(side);
}

}  // namespace qplat
