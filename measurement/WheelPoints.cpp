// Small routines over profile point arrays: interpolation, searches, slopes,
// a line fit and intersections. Every index is kept inside the profile: a
// caller's count beyond the array's capacity is cut to it.
#include <cmath>

#include "measurement/CalcMath.h"
#include "measurement/WheelCalc.h"

using namespace qcalc;

LONG CWheelCalc::InterpolateZAtX(LONG x, LONG x1, LONG z1, LONG x2, LONG z2)
{
    if (x1 == x2 || x == x2) {
        return SatLong((static_cast<int64_t>(z1) + z2) / 2);
    }
    const float a = static_cast<float>(static_cast<int64_t>(z1) * Diff(x, x2)) / static_cast<float>(Diff(x1, x2));
    const float b = static_cast<float>(static_cast<int64_t>(z2) * Diff(x, x1)) / static_cast<float>(Diff(x2, x1));
    return TruncLong(static_cast<double>(a + b));
}

LONG CWheelCalc::InterpolateXAtZ(LONG z, LONG x1, LONG z1, LONG x2, LONG z2)
{
    if (z1 == z2 || z == z2) {
        return SatLong((static_cast<int64_t>(x1) + x2) / 2);
    }
    const float a = static_cast<float>(static_cast<int64_t>(x1) * Diff(z, z2)) / static_cast<float>(Diff(z1, z2));
    const float b = static_cast<float>(static_cast<int64_t>(x2) * Diff(z, z1)) / static_cast<float>(Diff(z2, z1));
    return TruncLong(static_cast<double>(a + b));
}

int CWheelCalc::LastIndexAtOrBelowX(DWORD count, const ProfilePoint* points, int from, int to, LONG xLimit)
{
    return LastIndexAtOrBelow(points, count, from, to, xLimit);
}

int CWheelCalc::FindZBelow(DWORD count, const ProfilePoint* points, int start, int end, LONG zLimit, BYTE firstOnly)
{
    if (points == nullptr) {
        return -1;
    }
    const int n = ClampCount(count);
    int found = -1;
    int last = -1;
    if (start < end) {
        const int from = start < 0 ? 0 : start;
        const int to = end > n ? n : end;
        last = to - 1;
        for (int i = from; i < to; ++i) {
            if (points[i].z <= zLimit && points[i].x != 0) {
                found = i;
                if (firstOnly) {
                    break;
                }
            }
        }
    } else {
        const int from = start > n - 1 ? n - 1 : start;
        const int to = end < -1 ? -1 : end;
        last = to + 1;
        for (int i = from; i > to; --i) {
            if (points[i].z <= zLimit && points[i].x != 0) {
                found = i;
                if (firstOnly) {
                    break;
                }
            }
        }
    }
    // A match at the scan's far end has no neighbour beyond it to interpolate with.
    return found == last ? -1 : found;
}

int CWheelCalc::LowestPointIndex(DWORD count, const ProfilePoint* points, BYTE restrict)
{
    if (points == nullptr) {
        return 0;
    }
    const int n = ClampCount(count);
    LONG best = 1000000;
    int index = 0;
    for (int i = 0; i < n; ++i) {
        if (restrict && !(points[i].x > 5000 && points[i].x < 70000)) {
            continue;
        }
        if (points[i].z < best) {
            best = points[i].z;
            index = i;
        }
    }
    return index;
}

int CWheelCalc::ExtremumInWindow(DWORD count, const ProfilePoint* points, LONG xFrom, LONG xTo, BYTE mode)
{
    if (points == nullptr) {
        return 0;
    }
    const int n = ClampCount(count);
    LONG best = mode == 1 ? 0 : 100000;
    int index = 0;
    for (int i = 0; i < n; ++i) {
        if (points[i].x < xFrom || points[i].x > xTo) {
            continue;
        }
        if (mode == 1 ? points[i].z > best : points[i].z < best) {
            best = points[i].z;
            index = i;
        }
    }
    return index;
}

LONG CWheelCalc::LastNonZeroX(DWORD count, const ProfilePoint* points)
{
    if (points == nullptr) {
        return 0;
    }
    for (int i = ClampCount(count) - 1; i >= 0; --i) {
        if (points[i].x != 0) {
            return points[i].x;
        }
    }
    return 0;
}

void CWheelCalc::PointsBeforeX(double X, double* x1, double* z1, double* x2, double* z2, const ProfilePoint* points,
                               DWORD count)
{
    const int n = ClampCount(count);
    if (points == nullptr || n == 0) {
        *x1 = *z1 = *x2 = *z2 = 0.0;
        return;
    }
    int i = 0;
    for (int k = 0; k < n; ++k) {
        if (points[k].x <= X - 2000.0 && points[k].z != 0) {
            i = k;
        }
    }
    *x1 = points[i].x;
    *z1 = points[i].z;
    for (int k = 0; k < n; ++k) {
        if (points[k].x <= X - 4000.0 && points[k].z != 0) {
            i = k;
        }
    }
    *x2 = points[i].x;
    *z2 = points[i].z;
}

float CWheelCalc::MeanSlopeAngle(DWORD count, const ProfilePoint* points, LONG zLevel, int start, int end, DWORD n)
{
    if (points == nullptr || n == 0) {
        return 0.0f;
    }
    const int64_t c = ClampCount(count);
    const int i = FindZBelow(count, points, start, end, zLevel, 0);
    const int64_t half = static_cast<int64_t>(static_cast<float>(n) / 2.0f);
    float sum = 0.0f;
    for (int64_t k = 0; k < static_cast<int64_t>(n); ++k) {
        const int64_t j = i - half + k;
        if (j < 1 || j > c - 1) {
            break;
        }
        const int64_t dz = Diff(points[j].z, points[j - 1].z);
        const int64_t dx = Diff(points[j].x, points[j - 1].x);
        double degrees;
        if (dx == 0) {
            // A vertical segment: its slope is a right angle, not a division by zero.
            degrees = dz > 0 ? 90.0 : (dz < 0 ? -90.0 : 0.0);
        } else {
            const float q = static_cast<float>(dz) / static_cast<float>(dx);
            degrees = std::atan(static_cast<double>(q)) * 180.0 / kPi;
        }
        sum += static_cast<float>(degrees);
    }
    return sum / static_cast<float>(n);
}

DWORD CWheelCalc::FitLine(LONG X, DWORD count, const ProfilePoint* points, DWORD* value, int* index)
{
    DWORD result = 0;
    const int i0 = LastIndexAtOrBelowX(count, points, 0, ClampCount(count), X);
    const int i1 = LastIndexAtOrBelowX(count, points, 0, ClampCount(count), SatLong(static_cast<int64_t>(X) + 10000));
    const int m = i1 - i0;
    if ((i0 != 0 || i1 != 0) && m > 0) {
        double sdx = 0.0, sdxx = 0.0, sdz = 0.0, sdzx = 0.0;
        for (int i = i0; i <= i1; ++i) {
            const int64_t dx = Diff(points[i].x, points[i0].x);
            const int64_t dz = Diff(points[i].z, points[i0].z);
            sdx += static_cast<double>(dx);
            sdxx += static_cast<double>(dx * dx);
            sdz += static_cast<double>(dz);
            sdzx += static_cast<double>(dz * dx);
        }
        const double mx = sdx / m, mz = sdz / m, mxx = sdxx / m, mxz = sdzx / m;
        const double c = mxz - mx * mz;
        if (c != 0.0) {
            const float q = static_cast<float>((mxx - mx * mx) / (c * 2.0));
            // A falling line gives a negative figure, which has no unsigned value: 0.
            result = TruncDword(static_cast<double>(q * 1000.0f));
        }
    }
    if (value != nullptr) {
        *value = result;
    }
    if (index != nullptr) {
        *index = i0;
    }
    return result;
}

int CWheelCalc::IntersectSegments(double x1, double z1, double x2, double z2, double x3, double z3, double x4,
                                  double z4, double* X, double* Z)
{
    const double den = (z4 - z3) * (x2 - x1) - (x4 - x3) * (z2 - z1);
    if (den == 0.0 || std::isnan(den)) {
        return 0;
    }
    const double ua = ((x4 - x3) * (z1 - z3) - (z4 - z3) * (x1 - x3)) / den;
    *X = x1 + ua * (x2 - x1);
    *Z = z1 + ua * (z2 - z1);
    return 1;
}

LONG CWheelCalc::HeightBetween(DWORD count, const ProfilePoint* points, int j, LONG x)
{
    const int n = ClampCount(count);
    if (points == nullptr || n == 0) {
        return 0;
    }
    if (j < 0) {
        j = 0;
    }
    if (j > n - 1) {
        j = n - 1;
    }
    const int j2 = j + 1 < n ? j + 1 : j;
    return InterpolateZAtX(x, points[j].x, points[j].z, points[j2].x, points[j2].z);
}

LONG CWheelCalc::CrossingBetween(DWORD count, const ProfilePoint* points, int j, LONG z)
{
    const int n = ClampCount(count);
    if (points == nullptr || n == 0) {
        return 0;
    }
    if (j < 0) {
        j = 0;
    }
    if (j > n - 1) {
        j = n - 1;
    }
    const int j2 = j + 1 < n ? j + 1 : j;
    return InterpolateXAtZ(z, points[j].x, points[j].z, points[j2].x, points[j2].z);
}

LONG CWheelCalc::IntersectLineWithProfile(DWORD count1, const ProfilePoint* points1, DWORD count2,
                                          const ProfilePoint* points2, LONG zLevel, LONG* xA, LONG* zA, LONG* xB,
                                          LONG* zB)
{
    if (points1 == nullptr || points2 == nullptr || count1 == 0 || count2 == 0) {
        return 0;
    }
    const int c2 = ClampCount(count2);
    const int iLow2 = LowestPointIndex(count2, points2, 1);
    const int i = FindZBelow(count2, points2, iLow2, c2, zLevel, 0);
    if (i < 0) {
        // The level is not crossed after the lowest point: there is no foot.
        return 0;
    }
    const LONG footX = CrossingBetween(count2, points2, i, zLevel);
    const float a = MeanSlopeAngle(count2, points2, zLevel, iLow2, c2, 5);
    const double t = std::tan(static_cast<double>(a) * kPi / 180.0);
    if (t == 0.0 || !std::isfinite(t)) {
        return 0;
    }
    const double k = -1.0 / t;
    const double b = static_cast<double>(zLevel) - k * footX;
    const LONG x1 = SatLong(static_cast<int64_t>(footX) - 10000);
    const LONG x2 = SatLong(static_cast<int64_t>(footX) + 20000);
    const LONG z1 = TruncLong(k * x1 + b);
    const LONG z2 = TruncLong(k * x2 + b);

    const int c1 = ClampCount(count1);
    const int iLow1 = LowestPointIndex(count1, points1, 1);
    const int s = LastIndexAtOrBelowX(count1, points1, iLow1, c1, x1);
    const int e = LastIndexAtOrBelowX(count1, points1, iLow1, c1, x2);
    for (int j = s; j + 1 < e; ++j) {
        double X = 0.0, Z = 0.0;
        if (!IntersectSegments(x1, z1, x2, z2, points1[j].x, points1[j].z, points1[j + 1].x, points1[j + 1].z, &X,
                               &Z)) {
            continue;
        }
        if (static_cast<double>(points1[j].x) <= X && X <= static_cast<double>(points1[j + 1].x)) {
            *xA = footX;
            *zA = zLevel;
            *xB = TruncLong(X);
            *zB = TruncLong(Z);
            const double dx = static_cast<double>(footX) - X;
            const double dz = static_cast<double>(zLevel) - Z;
            return TruncLong(std::sqrt(dx * dx + dz * dz));
        }
    }
    return 0;
}

int CWheelCalc::ExtendStart(DWORD* count, ProfilePoint* points, const ProfileKeyPoints* keys, int n)
{
    if (count == nullptr || points == nullptr || keys == nullptr || *count == 0 || n <= 0) {
        return 0;
    }
    if (points[0].z >= keys->points[1].z) {
        return 0;
    }
    const int c = ClampCount(*count);
    if (static_cast<int64_t>(c) + n > static_cast<int64_t>(kMaxProfilePoints)) {
        return 0;  // the extended profile would not fit its array
    }
    const float step = static_cast<float>(Diff(keys->points[0].z, points[0].z) / n);
    ProfilePoint work[kMaxProfilePoints];
    for (int k = 0; k < n; ++k) {
        work[k].x = points[0].x;
        work[k].z = TruncLong(static_cast<double>(static_cast<float>(keys->points[0].z) - step * static_cast<float>(k + 1)));
    }
    for (int i = 0; i < c; ++i) {
        work[n + i] = points[i];
    }
    for (int i = 0; i < c + n; ++i) {
        points[i] = work[i];
    }
    *count = static_cast<DWORD>(c + n);
    return 1;
}
