// The walk of the six measuring orders, shared by the scheme model (which
// builds the order from the cars) and the scheme writer (which writes the car
// lines in the same order), so the two can never disagree.
#pragma once

#include "scheme/Scheme.h"

namespace scheme_order {

inline int ClampAxles(LONG axles)
{
    return axles < 0 ? 0 : axles > SCHEME_MAX_AXLES ? SCHEME_MAX_AXLES : static_cast<int>(axles);
}

// Walks order type `type` over cars 0..carCount-1. axlesOf(c) gives a car's
// axle count, layoutOf(c, a) an axle's layout; beginLine(c) is called when a
// car's run of the walk starts (twice per car for types 1 and 2), visit(c, a,
// s) for every position the walk lists, present or not. Other order types
// list nothing.
template <class AxlesOf, class LayoutOf, class BeginLine, class Visit>
void Walk(int type, int carCount, AxlesOf axlesOf, LayoutOf layoutOf, BeginLine beginLine, Visit visit)
{
    if (carCount > SCHEME_MAX_CARS)
        carCount = SCHEME_MAX_CARS;
    if (type == 1 || type == 2) {
        const int first = type == 1 ? SIDE_RIGHT : SIDE_LEFT;
        const int second = type == 1 ? SIDE_LEFT : SIDE_RIGHT;
        for (int c = 0; c < carCount; ++c) {
            beginLine(c);
            const int m = ClampAxles(axlesOf(c));
            for (int a = 0; a < m; ++a) {
                const LONG layout = layoutOf(c, a);
                if (layout == 2)
                    visit(c, a, first);
                else if (layout == 1)
                    visit(c, a, static_cast<int>(SIDE_MIDDLE));
            }
        }
        for (int c = carCount - 1; c >= 0; --c) {
            beginLine(c);
            const int m = ClampAxles(axlesOf(c));
            for (int a = 0; a < m; ++a) {
                if (layoutOf(c, m - 1 - a) == 2)
                    visit(c, m - 1 - a, second);
            }
        }
        return;
    }
    if (type < 3 || type > 6)
        return;
    static constexpr int kRml[3] = {SIDE_RIGHT, SIDE_MIDDLE, SIDE_LEFT};
    static constexpr int kLmr[3] = {SIDE_LEFT, SIDE_MIDDLE, SIDE_RIGHT};
    for (int c = 0; c < carCount; ++c) {
        beginLine(c);
        const int m = ClampAxles(axlesOf(c));
        for (int a = 0; a < m; ++a) {
            // The parity of types 5 and 6 starts again with every car.
            const bool even = a % 2 == 0;
            const int* sides = type == 3   ? kRml
                               : type == 4 ? kLmr
                               : type == 5 ? (even ? kRml : kLmr)
                                           : (even ? kLmr : kRml);
            for (int k = 0; k < 3; ++k)
                visit(c, a, sides[k]);
        }
    }
}

}  // namespace scheme_order
