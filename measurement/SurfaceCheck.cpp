#include "measurement/SurfaceCheck.h"

#include <cstdint>

#include "measurement/CalcMath.h"

namespace qcalc {

namespace {

// A head's samples span 0 to full scale; above it the head measures nothing.
// A real profile may hold the odd sample there (a glint off a polished tread),
// never more than one in twenty. Random samples are three in four.
constexpr int64_t kBeyondRangeShare = 20;

// From one sample to the next a wheel's tread and flange flank rise at most
// about 70 degrees (less than 3 steps per step) and a disc's ring edges and
// grooves are turned steps of a few millimetres; only the ends of a surface
// (the back of the flange, the edges of the ring) are steeper, a handful of
// points in a profile. So a jump is a rise of more than 2 mm plus 4 steps, and
// a profile may hold 8 of them and one more per 50 point pairs. Random
// samples within the range jump that far in three pairs of four.
constexpr int64_t kJumpBaseUm = 2000;
constexpr int64_t kJumpSteps = 4;
constexpr int64_t kJumpAllowance = 8;
constexpr int64_t kJumpShare = 50;

}  // namespace

bool LooksLikeSurface(const ProfilePoint* points, DWORD count, const SurfaceView& view)
{
    if (points == nullptr || view.farZ <= view.nearZ) {
        return false;  // a head without a measuring range sees nothing
    }
    const int n = ClampCount(count);
    const int64_t step = view.stepUm > 0 ? view.stepUm : 0;
    const int64_t jumpLimit = kJumpBaseUm + kJumpSteps * step;
    int64_t seen = 0, beyond = 0, pairs = 0, jumps = 0;
    bool havePrevious = false;
    LONG previous = 0;
    for (int i = 0; i < n; ++i) {
        const LONG z = points[i].z;
        if (view.zeroIsEmpty && z == 0) {
            continue;
        }
        ++seen;
        if (z < view.nearZ || z > view.farZ) {
            ++beyond;
            continue;
        }
        if (havePrevious) {
            ++pairs;
            const int64_t rise = Diff(z, previous);
            if (rise > jumpLimit || -rise > jumpLimit) {
                ++jumps;
            }
        }
        previous = z;
        havePrevious = true;
    }
    if (seen < 2) {
        return false;  // no surface across any step
    }
    if (beyond * kBeyondRangeShare > seen) {
        return false;
    }
    return jumps <= kJumpAllowance + pairs / kJumpShare;
}

}  // namespace qcalc
