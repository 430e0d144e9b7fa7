// Key points of an evaluated profile and the rows of a comparison with a
// reference profile.
#pragma once

#include <cstddef>

#include "platform/WinDef.h"
#include "settings/ProfilePoint.h"

constexpr int kKeyPointCount = 22;

// The 22 (x, z) pairs a wheel evaluation finds on a profile (a disc side uses
// the first three). Pair 7 and the x of pair 8 come from the tyre-and-diameter
// step, pair 13 is a line intersection stored as unsigned values.
#pragma pack(push, 1)
struct ProfileKeyPoints {
    ProfilePoint points[kKeyPointCount];
};

// One row of a comparison with a reference profile.
struct DeviationRow {
    LONG x;     // sample position minus the caller's offset
    LONG dz;    // reference z minus measured z plus the caller's shift
    LONG zMeas;
    LONG zRef;
};
#pragma pack(pop)
static_assert(sizeof(ProfileKeyPoints) == 176, "22 pairs of two 32-bit words");
static_assert(sizeof(DeviationRow) == 16, "four 32-bit words");
static_assert(offsetof(DeviationRow, dz) == 4 && offsetof(DeviationRow, zRef) == 12, "row order");

// A comparison never produces more rows than a profile has points.
constexpr DWORD kMaxDeviationRows = kMaxProfilePoints;
