// The result of one disc evaluation (a member of the measuring controller and
// of the journal browser; seven of its words are kept in a disc record).
#pragma once

#include <cstddef>

#include "platform/WinDef.h"

constexpr int kDiscValueCount = 8;

// Laid out without padding (asserted below).
struct DiscResult {
    // Micrometres: 0..2 side 1 (depth below the reference end, highest z,
    // highest minus lowest), 3..5 the same for side 2, 6 the least thickness,
    // 7 not written by the calculation.
    LONG values[kDiscValueCount];
    // Status k belongs to value k: 0 in tolerance, 1 warning, 2 out of tolerance.
    BYTE status[kDiscValueCount];
};
static_assert(sizeof(DiscResult) == 40, "eight value words, eight status bytes");
static_assert(offsetof(DiscResult, values) == 0, "values first");
static_assert(offsetof(DiscResult, status) == 32, "status after the values");
