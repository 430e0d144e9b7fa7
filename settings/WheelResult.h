// The result of one wheel evaluation, as the measuring controller, the journal
// browser and the stored records exchange it.
#pragma once

#include <cstddef>

#include "platform/WinDef.h"

constexpr int kWheelValueCount = 35;   // value words kept per wheel result
constexpr int kWheelEvalValues = 24;   // words 0..23 come from the evaluation itself
constexpr int kWheelStatusCount = 24;  // one grading status per graded value

// Status bytes: 0 in tolerance, 1 warning, 2 out of tolerance.
constexpr BYTE kStatusInTolerance = 0;
constexpr BYTE kStatusWarning = 1;
constexpr BYTE kStatusOutOfTolerance = 2;

// Laid out without padding (asserted below).
struct WheelResult {
    // Words 0..23 are the wheel values of the evaluation; 24..34 are put there
    // by the measuring controller and the gauge measurements (a journal record
    // keeps all of them except word 3).
    LONG values[kWheelValueCount];
    // z of the lowest profile point before the profile was shifted onto it.
    LONG MinY;
    BYTE status[kWheelStatusCount];
};
static_assert(sizeof(WheelResult) == 168, "35 value words, MinY, 24 status bytes");
static_assert(offsetof(WheelResult, values) == 0, "values first");
static_assert(offsetof(WheelResult, MinY) == 140, "MinY after the 35 values");
static_assert(offsetof(WheelResult, status) == 144, "status bytes last");
