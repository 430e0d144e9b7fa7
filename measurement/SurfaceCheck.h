// Whether a decoded profile can be a surface a laser head saw, or is what a
// garbled transfer decodes into. Nibble replies carry no check, so random
// bytes pass the link as a dump; they decode into a profile all the same.
#pragma once

#include "platform/WinDef.h"
#include "settings/ProfilePoint.h"

namespace qcalc {

// What the head can report, in decoded micrometres.
struct SurfaceView {
    LONG nearZ;        // z of the nearest distance the head measures
    LONG farZ;         // z of a full-scale sample, the far end of its measuring range
    LONG stepUm;       // x step between two samples
    bool zeroIsEmpty;  // a z of 0 is a position where the head saw nothing
};

// True when the points can be a wheel or disc surface: hardly any of them
// beyond the head's measuring range, and hardly any step from one point to
// the next that no turned or worn surface has.
bool LooksLikeSurface(const ProfilePoint* points, DWORD count, const SurfaceView& view);

}  // namespace qcalc
