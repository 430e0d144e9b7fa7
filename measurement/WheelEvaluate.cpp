// Wheel values and key points of a levelled, resampled profile.
#include <cmath>
#include <cstring>

#include "measurement/CalcMath.h"
#include "measurement/WheelCalc.h"

using namespace qcalc;

namespace {

// A crossing found by a search, or nothing: a search that finds no segment
// leaves its key point at (0, 0) and the values taken from it at 0.
struct Crossing {
    ProfilePoint point{0, 0};
    bool found = false;
};

}  // namespace

int CWheelCalc::Evaluate(DWORD count, const ProfilePoint* points, ProfileKeyPoints* keys, DWORD refCount,
                         const ProfilePoint* refPoints, ProfileKeyPoints* refKeys, HeadSettings hs,
                         WheelResult* result, LONG flag)
{
    if (count == 0 || points == nullptr || keys == nullptr || result == nullptr) {
        return 0;
    }
    const int n = ClampCount(count);
    const DWORD c = static_cast<DWORD>(n);
    std::memset(keys, 0, sizeof(*keys));
    ProfilePoint* kp = keys->points;
    LONG* v = result->values;
    const bool hasRef = refCount > 0 && refPoints != nullptr && refKeys != nullptr;
    const int refN = hasRef ? ClampCount(refCount) : 0;
    const BYTE option2 = Option(hs, 2);

    auto crossingAfter = [&](int j, LONG level) {
        Crossing cr;
        if (j >= 0) {
            cr.point = {CrossingBetween(c, points, j, level), level};
            cr.found = true;
        }
        return cr;
    };
    // The crossing between points j - 1 and j (the far side of the flange).
    auto crossingBefore = [&](int j, LONG level) {
        Crossing cr;
        if (j >= 0) {
            const int a = j >= 1 ? j - 1 : j;
            cr.point = {InterpolateXAtZ(level, points[a].x, points[a].z, points[j].x, points[j].z), level};
            cr.found = true;
        }
        return cr;
    };
    auto heightAt = [&](LONG x) {
        const int j = LastIndexAtOrBelowX(c, points, 0, n, x);
        return HeightBetween(c, points, j, x);
    };

    // 1. Lowest point and the height at "L2".
    const int iLow = LowestPointIndex(c, points, 1);
    const LONG zLow = points[iLow].z;
    const LONG xL2 = Dim(hs, DIM_L2);
    const int iL2 = LastIndexAtOrBelowX(c, points, 0, n, xL2);
    kp[0] = {xL2, HeightBetween(c, points, iL2, xL2)};
    v[0] = SatLong(Diff(kp[0].z, zLow));

    // 2, 3. Values against the reference, or the stand-alone diameter and tyre.
    if (flag != 0) {
        v[13] = 0;
        const LONG l10 = Dim(hs, DIM_L10), l11 = Dim(hs, DIM_L11);
        if (l11 != 0 && SwitchOn(hs, 7)) {
            v[7] = SatLong(l11 - 2 * static_cast<int64_t>(v[0]));
        }
        if (l10 != 0 && l11 != 0 && SwitchOn(hs, 8)) {
            v[8] = SatLong(Diff(l11, l10) / 2 - v[0]);
        }
    } else {
        v[13] = hasRef ? SatLong(Diff(kp[0].z, refKeys->points[0].z)) : 0;
        v[22] = v[13];
        v[23] = v[13];
    }

    // 4 to 7. The level h1 and its crossings on both sides of the flange.
    const LONG h1 = SatLong(Option(hs, 1) == 1 ? Diff(kp[0].z, Dim(hs, DIM_L3))
                                               : static_cast<int64_t>(zLow) + Dim(hs, DIM_L3));
    const Crossing kp1 = crossingAfter(FindZBelow(c, points, 0, iL2, h1, 0), h1);
    kp[1] = kp1.point;
    kp[6] = {0, 0};
    if (option2 == 2 || option2 == 3) {
        const int j = FindZBelow(c, points, iLow, 0, h1, 0);
        if (j >= 0) {
            kp[6] = crossingBefore(j, h1).point;
        } else if (flag == 0 && hasRef) {
            kp[6] = refKeys->points[6];
        }
    }
    if (option2 == 4) {
        const int j = FindZBelow(c, points, iL2, n, h1, 1);
        if (j >= 0) {
            kp[6] = crossingBefore(j, h1).point;
        }
    }
    if (kp[6].x < 0) {
        kp[6] = {0, 0};
    }
    v[1] = kp[1].x;

    // 8 to 10. Flange thickness and its variants.
    if (option2 == 1 || option2 == 2) {
        v[4] = kp[6].x;
        v[1] = kp1.found ? SatLong(Diff(kp[1].x, kp[6].x)) : 0;
        if (flag != 0 || !hasRef || !kp1.found) {
            v[14] = 0;
        } else {
            v[14] = SatLong(Diff(refKeys->points[1].x, refKeys->points[6].x) - v[1]);
        }
    }
    if (option2 == 3) {
        v[1] = kp[1].x;
        v[4] = kp[6].x;
        v[3] = kp1.found ? SatLong(Diff(v[1], v[4])) : 0;
        const LONG h = SatLong(Diff(kp[0].z, Dim(hs, DIM_L15)));
        kp[19] = crossingAfter(FindZBelow(c, points, 0, iL2, h, 0), h).point;
        v[2] = kp[19].x;
    }
    if (option2 == 4) {
        const LONG l9 = Dim(hs, DIM_L9);
        if (l9 != 0) {
            v[2] = SatLong(Diff(l9, kp[6].x));
        } else {
            const LONG lastX = (flag == 0 && hasRef) ? refPoints[refN - 1].x : points[n - 1].x;
            v[2] = SatLong(Diff(lastX, kp[6].x));
        }
    }

    // 11, 12. Distance to the reference along its normal.
    v[15] = 0;
    if (SwitchOn(hs, 11) && flag == 0 && Dim(hs, DIM_L5) != 0 && hasRef) {
        const LONG level = SatLong(Diff(refKeys->points[0].z, Dim(hs, DIM_L5)));
        v[15] = IntersectLineWithProfile(c, points, static_cast<DWORD>(refN), refPoints, level,
                                         &refKeys->points[18].x, &refKeys->points[18].z, &kp[18].x, &kp[18].z);
    }

    // 13. Flange slope: from 2 mm below the tip to the level of the thickness.
    if (SwitchOn(hs, 2) && option2 != 4) {
        const LONG h2 = SatLong(static_cast<int64_t>(Dim(hs, DIM_L1)) + zLow);
        const Crossing kp2 = crossingAfter(FindZBelow(c, points, iLow, iL2, h2, 0), h2);
        kp[2] = kp2.point;
        kp[21] = kp[2];
        Crossing kp10;
        if (Option(hs, 3) == 1) {
            kp10 = kp1;
        } else {
            const LONG h = SatLong(Diff(kp[0].z, Dim(hs, DIM_L4)));
            kp10 = crossingAfter(FindZBelow(c, points, 0, n, h, 0), h);
        }
        kp[10] = kp10.point;
        if (kp2.found && kp10.found) {
            v[5] = SatLong(Diff(kp[10].x, kp[2].x));
            if (v[5] == 0) {
                v[6] = 0;
            } else {
                const float q = static_cast<float>(Diff(kp[10].z, kp[2].z)) / static_cast<float>(Diff(kp[10].x, kp[2].x));
                v[6] = TruncLong(std::atan(static_cast<double>(q)) * 180.0 / kPi * 1000.0);
            }
        } else {
            v[5] = 0;
            v[6] = 0;
        }
    }

    // 14. Mean slope below the level "L8" under the height at "L2".
    if (SwitchOn(hs, 3) && option2 != 4) {
        const LONG h = SatLong(Diff(kp[0].z, Dim(hs, DIM_L8)));
        kp[5] = crossingAfter(FindZBelow(c, points, iLow, n, h, 0), h).point;
        const float angle = MeanSlopeAngle(c, points, h, iLow, n, flag == 0 ? 31 : 1);
        v[11] = TruncLong(static_cast<double>(angle * 1000.0f));
    }

    // 15. Mean slope at "L16".
    if (SwitchOn(hs, 4)) {
        const LONG x16 = Dim(hs, DIM_L16);
        const int j = LastIndexAtOrBelowX(c, points, 0, n, x16);
        kp[20] = {x16, HeightBetween(c, points, j, x16)};
        const int start = j - 5 < 0 ? 0 : j - 5;
        const float angle = MeanSlopeAngle(c, points, kp[20].z, start, n, flag == 0 ? 31 : 21);
        v[12] = SatLong(static_cast<int64_t>(TruncLong(static_cast<double>(angle * 1000.0f))) - 90);
    }

    // 16. Line-fit figures of the two windows.
    if (SwitchOn(hs, 5) && option2 != 4) {
        DWORD figure = 0;
        int i = 0;
        FitLine(Dim(hs, DIM_L6), c, points, &figure, &i);
        v[9] = SatLong(static_cast<int64_t>(figure));
        kp[3] = points[i];
        FitLine(Dim(hs, DIM_L7), c, points, &figure, &i);
        v[10] = SatLong(static_cast<int64_t>(figure));
        kp[4] = points[i];
    }

    // 17. Heights at "D1" and "D2".
    if (SwitchOn(hs, 20) && option2 != 4) {
        kp[14] = {Dim(hs, DIM_D1), heightAt(Dim(hs, DIM_D1))};
        v[20] = kp[14].z;
        kp[15] = {Dim(hs, DIM_D2), heightAt(Dim(hs, DIM_D2))};
        v[21] = kp[15].z;
    }

    // 18. Highest and lowest points of two windows.
    if (SwitchOn(hs, 6) && option2 != 4) {
        kp[16] = points[ExtremumInWindow(c, points, Dim(hs, DIM_P7_1), Dim(hs, DIM_P7_2), 1)];
        kp[17] = points[ExtremumInWindow(c, points, Dim(hs, DIM_P8_1), Dim(hs, DIM_P8_2), 0)];
        const int64_t rise = Diff(kp[16].z, kp[17].z);
        v[17] = rise < 0 ? 0 : SatLong(rise);
    }

    // 19. The profile's end.
    if (SwitchOn(hs, 12)) {
        kp[11] = points[n - 1];
        v[16] = kp[11].x;
    }

    // 20. Intersection of two lines near "L13".
    if (SwitchOn(hs, 17) && option2 != 4) {
        const double l13 = Dim(hs, DIM_L13);
        double a1x, a1z, a2x, a2z, b1x, b1z, b2x, b2z;
        PointsBeforeX(l13, &a1x, &a1z, &a2x, &a2z, points, c);
        PointsBeforeX(l13 + 6000.0, &b1x, &b1z, &b2x, &b2z, points, c);
        double X = 0.0, Z = 0.0;
        kp[13] = {0, 0};
        if (IntersectSegments(a1x, a1z, a2x, a2z, b1x, b1z, b2x, b2z, &X, &Z) && X >= -2147483648.0 &&
            X < 2147483648.0 && Z >= -2147483648.0 && Z < 2147483648.0) {
            kp[13] = {TruncLong(X), TruncLong(Z)};
        }
        v[19] = kp[13].x;
    }

    // 21. Length beyond "L12".
    if (SwitchOn(hs, 16) && option2 != 4) {
        const LONG l12 = Dim(hs, DIM_L12);
        const LONG lastX = points[n - 1].x;
        if (flag == 0 && l12 < lastX) {
            kp[12] = {l12, heightAt(l12)};
            v[18] = SatLong(Diff(lastX, l12));
        } else {
            v[18] = 0;
        }
    }
    return 1;
}
