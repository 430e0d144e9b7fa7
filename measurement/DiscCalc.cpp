// Disc profiles: from a head's dump to the side values and the least
// thickness of the disc.
#include "measurement/DiscCalc.h"

#include <cmath>
#include <cstring>
#include <functional>

#include "measurement/CalcMath.h"
#include "measurement/SurfaceCheck.h"

using namespace qcalc;

void CDiscCalc::DecodeDump(BYTE* dump, DWORD* count, ProfilePoint* points, const SensorRegisters* regs, DWORD range,
                           LONG zOffset, DWORD dumpBytes)
{
    if (count == nullptr) {
        return;
    }
    *count = 0;
    if (dump == nullptr || points == nullptr || regs == nullptr) {
        return;
    }
    int64_t n = (static_cast<int64_t>(regs->words[5]) / 256 + 1) * 1024;
    if (n < 0) {
        n = 0;
    }
    const int64_t available = n < static_cast<int64_t>(dumpBytes) ? n : static_cast<int64_t>(dumpBytes);
    const int64_t stepWord = regs->words[2];
    const int64_t d = stepWord > 999 ? 100 : 10;
    for (int64_t i = 0; i < available; ++i) {
        dump[i] &= 0x0F;
    }
    auto sampleAt = [&](int64_t byte) {
        uint32_t sample = 0;
        for (int b = 0; b < 4; ++b) {
            if (byte + b < available) {
                sample |= static_cast<uint32_t>(dump[byte + b]) << (4 * b);
            }
        }
        return sample;
    };
    std::memset(points, 0, kMaxProfilePoints * sizeof(ProfilePoint));
    if (stepWord <= 0) {
        return;  // no x step: the head's settings are unusable
    }
    int64_t s = 0;
    while (s < n && sampleAt(s) == 0) {
        s += 4;
    }
    DWORD k = 0;
    const int64_t x0 = static_cast<int64_t>(regs->words[1]) - 5000;
    while (s + 4 * static_cast<int64_t>(k) < n && k < kMaxProfilePoints) {
        const uint32_t sample = sampleAt(s + 4 * static_cast<int64_t>(k));
        // The profile ends where the head saw nothing, whatever the offset.
        if (sample == 0) {
            break;
        }
        const int64_t zr = static_cast<int64_t>(static_cast<uint64_t>(sample) * range * 1000u / 16384u);
        points[k].x = SatLong(x0 + ((s / 4 + k) * stepWord) / d);
        points[k].z = SatLong(zr - zOffset);
        ++k;
    }
    *count = k;
}

int CDiscCalc::IsPlausibleProfile(DWORD count, const ProfilePoint* points, const SensorRegisters* regs, DWORD range,
                                  LONG zOffset)
{
    if (points == nullptr || regs == nullptr) {
        return 0;
    }
    // The decoding's z of the nearest and of a full-scale sample (16384).
    const int64_t stepWord = regs->words[2];
    const SurfaceView view = {SatLong(-static_cast<int64_t>(zOffset)),
                              SatLong(static_cast<int64_t>(range) * 1000 - zOffset),
                              static_cast<LONG>(stepWord > 0 ? stepWord / (stepWord > 999 ? 100 : 10) : 0), false};
    return LooksLikeSurface(points, count, view) ? 1 : 0;
}

void CDiscCalc::CropToRange(DWORD* count, ProfilePoint* points, LONG /*unused*/, LONG limit)
{
    if (count == nullptr || points == nullptr) {
        return;
    }
    const int n = ClampCount(*count);
    const LONG L = limit > 7500 ? limit : 7500;
    int i0 = 0;
    while (i0 < n && !(points[i0].x > 0 && points[i0].z < L)) {
        ++i0;
    }
    ProfilePoint work[kMaxProfilePoints];
    int copied = 0;
    for (int i = i0; i < n && points[i].z <= L; ++i) {
        work[copied++] = points[i];
    }
    SHORT shifted = 0;
    ShiftToFirstX(static_cast<DWORD>(copied), work, &shifted);
    for (int i = 0; i < copied; ++i) {
        points[i] = work[i];
    }
    for (int i = copied; i < n; ++i) {
        points[i] = {0, 0};
    }
    *count = static_cast<DWORD>(copied);
}

LONG CDiscCalc::MinZ(DWORD count, const ProfilePoint* points)
{
    return Extreme(points, count, 100000, &ProfilePoint::z, std::less<LONG>());
}

LONG CDiscCalc::MaxZ(DWORD count, const ProfilePoint* points)
{
    return Extreme(points, count, -100000, &ProfilePoint::z, std::greater<LONG>());
}

LONG CDiscCalc::ShiftToMinZ(DWORD count, ProfilePoint* points)
{
    const LONG m = MinZ(count, points);
    const int n = points == nullptr ? 0 : ClampCount(count);
    for (int i = 0; i < n; ++i) {
        points[i].z = SatLong(Diff(points[i].z, m));
    }
    return m;
}

void CDiscCalc::Rotate(DWORD count, ProfilePoint* points, const SensorRegisters* regs, LONG a, LONG k)
{
    if (points == nullptr || regs == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const int64_t turn = static_cast<int64_t>(regs->words[0]) - 100 - a;
    const float r = static_cast<float>(turn) / 10000.0f;
    const double cr = std::cos(static_cast<double>(r));
    const double sr = std::sin(static_cast<double>(r));
    const int64_t lift = static_cast<int64_t>(regs->words[3]) * k;
    for (int i = 0; i < n; ++i) {
        const double x = points[i].x, z = points[i].z;
        points[i].x = TruncLong(x * cr - z * sr);
        points[i].z = SatLong(static_cast<int64_t>(TruncLong(x * sr + z * cr)) - lift);
    }
}

void CDiscCalc::FindMinima(DWORD count, const ProfilePoint* points, LONG* xFirstLowest, LONG* xLastLowest,
                           LONG* zCapped, LONG* zLast)
{
    const int n = points == nullptr ? 0 : ClampCount(count);
    LONG first = 100000, last = 100000, capped = 1000;
    LONG xFirst = 0, xLast = 0;
    for (int i = 0; i < n; ++i) {
        if (points[i].z < first) {
            first = points[i].z;
            xFirst = points[i].x;
        }
        if (points[i].z <= last) {
            last = points[i].z;
            xLast = points[i].x;
        }
        if (points[i].z < capped) {
            capped = points[i].z;
        }
    }
    // Without a reference there is nothing to measure against: everything reads 0.
    if (xFirstLowest != nullptr) {
        *xFirstLowest = xFirst;
    }
    if (xLastLowest != nullptr) {
        *xLastLowest = xLast;
    }
    if (zCapped != nullptr) {
        *zCapped = n > 0 ? capped : 0;
    }
    if (zLast != nullptr) {
        *zLast = n > 0 ? points[n - 1].z : 0;
    }
}

void CDiscCalc::SlopeSignal(DWORD count, const ProfilePoint* points, ProfilePoint* out, int window)
{
    if (points == nullptr || out == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const int h = window < 0 ? 0 : window / 2;
    // The h points before i less the h points from i on, from running sums:
    // below[k] is the sum of the first k heights.
    int64_t below[kMaxProfilePoints + 1];
    below[0] = 0;
    for (int i = 0; i < n; ++i) {
        below[i + 1] = below[i] + points[i].z;
    }
    for (int i = 0; i < n; ++i) {
        out[i].x = points[i].x;
        int64_t sum = 0;
        if (h > 0 && i >= h && i <= n - h) {
            sum = (below[i] - below[i - h]) - (below[i + h] - below[i]);
        }
        out[i].z = SatLong(sum);
    }
}

int CDiscCalc::ExtremumInWindow(DWORD count, const ProfilePoint* points, LONG xFrom, LONG xTo, BYTE mode, BYTE strong)
{
    const int n = points == nullptr ? 0 : ClampCount(count);
    const bool highest = mode == 1;
    LONG best = highest ? -10000 : 100000;
    int index = highest ? 0 : (n > 0 ? n - 1 : 0);
    for (int i = 0; i < n; ++i) {
        const ProfilePoint& p = points[i];
        if (p.x < xFrom || p.x > xTo) {
            continue;
        }
        if (strong && (highest ? p.z <= 1000 : p.z >= -1000)) {
            continue;
        }
        if (highest ? p.z > best : p.z < best) {
            best = p.z;
            index = i;
        }
    }
    return index;
}

int CDiscCalc::FindStepEdge(DWORD count, const ProfilePoint* points, LONG* fallingX, LONG* risingX)
{
    const int n = points == nullptr ? 0 : ClampCount(count);
    if (n == 0) {
        if (fallingX != nullptr) {
            *fallingX = 0;
        }
        if (risingX != nullptr) {
            *risingX = 0;
        }
        return 0;
    }
    ProfilePoint signal[kMaxProfilePoints];
    SlopeSignal(static_cast<DWORD>(n), points, signal, 16);
    const LONG lastX = points[n - 1].x;
    const int i1 = ExtremumInWindow(static_cast<DWORD>(n), signal, 0, lastX, 1, 1);
    const int i2 = ExtremumInWindow(static_cast<DWORD>(n), signal, points[i1].x, lastX, 0, 1);
    if (fallingX != nullptr) {
        *fallingX = points[i1].x;
    }
    if (risingX != nullptr) {
        *risingX = points[i2].x;
    }
    return i2;
}

void CDiscCalc::EvaluateSide(DWORD count, const ProfilePoint* points, ProfileKeyPoints* keys, DWORD refCount,
                             const ProfilePoint* refPoints, DiscSettings /*ds*/, DiscResult* result, BYTE side)
{
    if (count == 0 || points == nullptr || keys == nullptr || result == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    LONG zRefLast = 0;
    FindMinima(refCount, refPoints, nullptr, nullptr, nullptr, &zRefLast);
    LONG a = 0, b = 0;
    FindStepEdge(static_cast<DWORD>(n), points, &a, &b);
    const int64_t lo = static_cast<int64_t>(a) + 2000, hi = static_cast<int64_t>(b) - 2000;
    LONG zMax = -100000, zMin = 100000, xMax = 0, xMin = 0;
    bool any = false;
    for (int i = 0; i < n; ++i) {
        if (!(points[i].x > lo && points[i].x < hi)) {
            continue;
        }
        any = true;
        if (points[i].z >= zMax) {
            zMax = points[i].z;
            xMax = points[i].x;
        }
        if (points[i].z < zMin) {
            zMin = points[i].z;
            xMin = points[i].x;
        }
    }
    if (!any) {
        zMax = zMin = xMax = xMin = 0;
    }
    keys->points[0] = {xMax, zMax};
    keys->points[1] = {xMin, zMin};
    int first = -1;
    if (side == 1) {
        first = 0;
    } else if (side == 2) {
        first = 3;
    }
    if (first >= 0) {
        result->values[first] = SatLong(Diff(zRefLast, zMax));
        result->values[first + 1] = zMax;
        result->values[first + 2] = SatLong(Diff(zMax, zMin));
    }
}

void CDiscCalc::EvaluateBothSides(DWORD countA, const ProfilePoint* pointsA, DWORD countB, const ProfilePoint* pointsB,
                                  DWORD refCount, const ProfilePoint* refPoints, ProfileKeyPoints* keysA,
                                  ProfileKeyPoints* keysB, DiscSettings ds, DiscResult* result, BYTE /*unused*/)
{
    if (result == nullptr) {
        return;
    }
    if (countA == 0 || countB == 0 || pointsA == nullptr || pointsB == nullptr || keysA == nullptr ||
        keysB == nullptr) {
        result->values[6] = 0;
        return;
    }
    LONG zRefMin = 0, zRefLast = 0;
    FindMinima(refCount, refPoints, nullptr, nullptr, &zRefMin, &zRefLast);
    LONG a1 = 0, b1 = 0, a2 = 0, b2 = 0;
    FindStepEdge(countA, pointsA, &a1, &b1);
    FindStepEdge(countB, pointsB, &a2, &b2);
    const int m = ClampCount(countA < countB ? countA : countB);
    int64_t best = 1000000;
    int bi = 0;
    for (int i = 0; i < m; ++i) {
        const int64_t xa = pointsA[i].x, xb = pointsB[i].x;
        if (!(xa > static_cast<int64_t>(a1) + 2000 && xa < static_cast<int64_t>(b1) - 2000)) {
            continue;
        }
        if (!(xb > static_cast<int64_t>(a2) + 2000 && xb < static_cast<int64_t>(b2) - 2000)) {
            continue;
        }
        const int64_t t = 2 * static_cast<int64_t>(zRefLast) - pointsA[i].z - pointsB[i].z + ds.discL1;
        if (t <= best) {
            best = t;
            bi = i;
        }
    }
    if (best == 1000000) {
        best = 2 * (static_cast<int64_t>(zRefLast) - zRefMin) + ds.discL1;
    }
    keysA->points[2] = pointsA[bi];
    keysB->points[2] = pointsB[bi];
    result->values[6] = SatLong(best);
}

namespace {

BYTE GradeLower(LONG v, LONG limit, LONG warning)
{
    if (limit != 0 && v != 0 && (v < limit || v < 1)) {
        return kStatusOutOfTolerance;
    }
    if (warning != 0 && v != 0 && (v < warning || v <= 0)) {
        return kStatusWarning;
    }
    return kStatusInTolerance;
}

BYTE GradeUpper(LONG v, LONG limit, LONG warning)
{
    if (limit != 0 && v != 0 && (v > limit || v < 1)) {
        return kStatusOutOfTolerance;
    }
    if (warning != 0 && v != 0 && (v > warning || v <= 0)) {
        return kStatusWarning;
    }
    return kStatusInTolerance;
}

}  // namespace

void CDiscCalc::CheckTolerances(DiscResult* result, const LONG* limits)
{
    if (result == nullptr) {
        return;
    }
    std::memset(result->status, 0, sizeof(result->status));
    if (limits == nullptr) {
        return;
    }
    const LONG* v = result->values;
    for (int side = 0; side < 2; ++side) {
        const int o = side * 3;
        result->status[o] = GradeLower(v[o], limits[0], limits[12]);
        result->status[o + 1] = GradeUpper(v[o + 1], limits[5], limits[9]);
        result->status[o + 2] = GradeUpper(v[o + 2], limits[7], limits[11]);
    }
    result->status[6] = GradeLower(v[6], limits[2], limits[14]);
}

void CDiscCalc::Evaluate(const LONG* storedZ, DWORD stepCode, LONG firstX, DWORD count, DiscSettings ds,
                         const LONG* limits, const DWORD* refCount, const ProfilePoint* refPoints, DWORD* outCount,
                         ProfilePoint* outPoints, ProfileKeyPoints* keys, DiscResult* result, BYTE side)
{
    if (firstX < 0 || storedZ == nullptr || outCount == nullptr || outPoints == nullptr) {
        return;
    }
    const LONG code = stepCode > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<LONG>(stepCode);
    const float stepF = static_cast<float>(code) / static_cast<float>(StepCodeDivisor(code));
    const int n = ClampCount(count);
    for (int i = 0; i < n; ++i) {
        outPoints[i].x = TruncLong(static_cast<double>(static_cast<float>(firstX) + static_cast<float>(i) * stepF));
        outPoints[i].z = storedZ[i];
    }
    *outCount = static_cast<DWORD>(n);
    EvaluateSide(static_cast<DWORD>(n), outPoints, keys, refCount != nullptr ? *refCount : 0, refPoints, ds, result,
                 side);
    CheckTolerances(result, limits);
}

void CDiscCalc::MeasureWindows(DWORD count, const ProfilePoint* points, SHORT* tilt, SHORT* offset, LONG a, LONG b)
{
    if (points == nullptr || count == 0 || tilt == nullptr || offset == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const DWORD c = static_cast<DWORD>(n);
    const LONG a1 = SatLong(static_cast<int64_t>(a) + 1000), a4 = SatLong(static_cast<int64_t>(a) + 4000);
    const LONG b12 = SatLong(static_cast<int64_t>(b) - 12000), b1 = SatLong(static_cast<int64_t>(b) - 1000);
    const LONG b2 = SatLong(static_cast<int64_t>(b) - 2000);
    const int i1 = ExtremumInWindow(c, points, a1, a4, 0, 0);
    const int i2 = ExtremumInWindow(c, points, b12, b1, 0, 0);
    const int i4 = ExtremumInWindow(c, points, b12, b2, 1, 0);
    // The mean of up to 21 points around an index, of those the profile has.
    auto windowMean = [&](int centre) {
        int64_t sum = 0;
        int used = 0;
        for (int j = centre - 10; j <= centre + 10; ++j) {
            if (j >= 0 && j < n) {
                sum += points[j].z;
                ++used;
            }
        }
        return used ? sum / used : 0;
    };
    const int64_t m1 = windowMean(i1);
    const int64_t m2 = windowMean(i2);
    *offset = SatShort(Diff(points[i4].z, points[i2].z) / 2);
    *tilt = SatShort(static_cast<int64_t>(*tilt) + (m1 - m2) / 10);
}

void CDiscCalc::ShiftToFirstX(DWORD count, ProfilePoint* points, SHORT* value)
{
    if (points == nullptr || count == 0) {
        return;
    }
    const int n = ClampCount(count);
    const LONG x0 = points[0].x;
    for (int i = 0; i < n; ++i) {
        points[i].x = SatLong(Diff(points[i].x, x0));
    }
    if (value != nullptr) {
        *value = SatShort(static_cast<int64_t>(*value) - x0);
    }
}
