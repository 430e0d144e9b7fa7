// One point of a measured or stored profile, and the scaled x-step code the
// heads report and the records keep.
#pragma once

#include <cstddef>

#include "platform/WinDef.h"

// Lengths are micrometres. A profile is an array of these with a separate
// count held by its owner; a point whose x is 0 counts as empty, so (0, 0)
// ends a profile in stored data. The layout has no padding (asserted below),
// so arrays of points are stored and exchanged as they are held.
struct ProfilePoint {
    LONG x;  // across the wheel or disc (the profile's abscissa)
    LONG z;  // height
};
static_assert(sizeof(ProfilePoint) == 8, "ProfilePoint is two 32-bit words");
static_assert(offsetof(ProfilePoint, x) == 0 && offsetof(ProfilePoint, z) == 4, "x then z");

// Every profile array of the system holds at most this many points.
constexpr DWORD kMaxProfilePoints = 5800;

// A step code carries the x step in a scaled form: the step in micrometres is
// the code divided by StepCodeDivisor(code), so 150 means 15.0 and 1250 means
// 12.50.
typedef LONG StepCode;
constexpr LONG StepCodeDivisor(StepCode code) { return code <= 99 ? 1 : (code <= 999 ? 10 : 100); }
