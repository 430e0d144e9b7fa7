// Comparison of a measured wheel profile with its reference profile, and the
// rebuilding of a profile kept in a journal record.
#include <cmath>
#include <functional>

#include "measurement/CalcMath.h"
#include "measurement/WheelCalc.h"

using namespace qcalc;

LONG CWheelCalc::MinDeviation(DWORD rowCount, const DeviationRow* rows)
{
    return Extreme(rows, rowCount, 1000000, &DeviationRow::dz, std::less<LONG>());
}

LONG CWheelCalc::MaxDeviation(DWORD rowCount, const DeviationRow* rows)
{
    return Extreme(rows, rowCount, -1000000, &DeviationRow::dz, std::greater<LONG>());
}

LONG CWheelCalc::MaxAbsDeviation(DWORD rowCount, const DeviationRow* rows)
{
    double best = -1000000.0;
    const int n = rows == nullptr ? 0 : ClampCount(rowCount);
    for (int i = 0; i < n; ++i) {
        const double a = std::fabs(static_cast<double>(rows[i].dz));
        if (a > best) {
            best = a;
        }
    }
    return TruncLong(best);
}

namespace {

// Number of sample positions from start to end at `step`: none when the
// profiles do not overlap, never more than a row array holds.
int SampleCount(LONG start, LONG end, LONG step)
{
    if (step <= 0 || end <= start) {
        return 0;
    }
    const int64_t n = (static_cast<int64_t>(end) - start) / step;
    return n > static_cast<int64_t>(kMaxDeviationRows) ? static_cast<int>(kMaxDeviationRows) : static_cast<int>(n);
}

}  // namespace

void CWheelCalc::CompareWithReference(DWORD count, const ProfilePoint* points, DWORD refCount,
                                      const ProfilePoint* refPoints, LONG shift, LONG offset, DWORD* rowCount,
                                      DeviationRow* rows, double* minDev, double* maxDev, double* maxAbsDev, LONG step)
{
    if (count == 0 || refCount == 0 || points == nullptr || refPoints == nullptr || rowCount == nullptr ||
        rows == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const int rn = ClampCount(refCount);
    const LONG measuredStart = points[n > 1 ? 1 : 0].x;
    const LONG start = measuredStart > refPoints[0].x ? measuredStart : refPoints[0].x;
    const LONG measuredEnd = LastNonZeroX(static_cast<DWORD>(n), points);
    const LONG refEnd = refPoints[rn - 1].x;
    const LONG end = measuredEnd < refEnd ? measuredEnd : refEnd;
    const int rowsToWrite = SampleCount(start, end, step);
    XSearch refSearch(refPoints, static_cast<DWORD>(rn));
    XSearch search(points, static_cast<DWORD>(n));
    int ir = 1, im = 1;
    for (int k = 0; k < rowsToWrite; ++k) {
        const LONG x = SatLong(static_cast<int64_t>(start) + static_cast<int64_t>(k) * step);
        ir = refSearch.Next(ir, x);
        const LONG zRef = HeightBetween(static_cast<DWORD>(rn), refPoints, ir, x);
        im = search.Next(im, x);
        const LONG zMeas = HeightBetween(static_cast<DWORD>(n), points, im, x);
        rows[k].x = SatLong(Diff(x, offset));
        rows[k].dz = SatLong(Diff(zRef, zMeas) + shift);
        rows[k].zMeas = zMeas;
        rows[k].zRef = zRef;
    }
    *rowCount = static_cast<DWORD>(rowsToWrite);
    if (minDev != nullptr) {
        *minDev = MinDeviation(*rowCount, rows);
    }
    if (maxDev != nullptr) {
        *maxDev = MaxDeviation(*rowCount, rows);
    }
    if (maxAbsDev != nullptr) {
        *maxAbsDev = MaxAbsDeviation(*rowCount, rows);
    }
}

void CWheelCalc::DeviationAreas(DWORD rowCount, const DeviationRow* rows, double* positiveArea, double* negativeArea)
{
    double positive = 0.0, negative = 0.0;
    const int n = rows == nullptr ? 0 : ClampCount(rowCount);
    // One row spans no step: there is no area to add up.
    if (n >= 2) {
        const double step = static_cast<double>(Diff(rows[1].x, rows[0].x));
        for (int i = 0; i < n; ++i) {
            const float term = static_cast<float>(rows[i].dz * step / 1000000.0);
            const float size = static_cast<float>(std::fabs(term));
            if (rows[i].dz >= 0) {
                positive += size;
            } else {
                negative += size;
            }
        }
    }
    if (positiveArea != nullptr) {
        *positiveArea = positive;
    }
    if (negativeArea != nullptr) {
        *negativeArea = negative;
    }
}

void CWheelCalc::DeviationAt(DWORD count, const ProfilePoint* points, HeadSettings hs, WheelResult* result, LONG shift)
{
    if (count == 0 || points == nullptr || result == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const LONG xL2 = Dim(hs, DIM_L2);
    const int i = LastIndexAtOrBelowX(static_cast<DWORD>(n), points, 0, n, xL2);
    const LONG z = HeightBetween(static_cast<DWORD>(n), points, i, xL2);
    int64_t d = static_cast<int64_t>(z) - shift - result->values[22];
    if (d < 0) {
        d = -d;
    }
    result->values[24] = d < 200 ? 0 : SatLong(d);
}

void CWheelCalc::WearZones(DWORD count, const ProfilePoint* points, DWORD refCount, const ProfilePoint* refPoints,
                           WheelResult* result)
{
    if (count == 0 || refCount == 0 || points == nullptr || refPoints == nullptr || result == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    const int rn = ClampCount(refCount);
    const LONG ms = points[n > 1 ? 1 : 0].x;
    const LONG rs = refPoints[rn > 1 ? 1 : 0].x;
    const LONG start = ms > rs ? ms : rs;
    const LONG me = LastNonZeroX(static_cast<DWORD>(n), points);
    const LONG re = LastNonZeroX(static_cast<DWORD>(rn), refPoints);
    const LONG end = me < re ? me : re;
    const int samples = SampleCount(start, end, 250);
    DeviationRow rows[kMaxDeviationRows];
    XSearch refSearch(refPoints, static_cast<DWORD>(rn));
    XSearch search(points, static_cast<DWORD>(n));
    for (int k = 0; k < samples; ++k) {
        const LONG x = SatLong(static_cast<int64_t>(start) + 250 * static_cast<int64_t>(k));
        // Every sample searches from index 1.
        const int ir = refSearch.Next(1, x);
        const int im = search.Next(1, x);
        const LONG zRef = HeightBetween(static_cast<DWORD>(rn), refPoints, ir, x);
        const LONG zMeas = HeightBetween(static_cast<DWORD>(n), points, im, x);
        rows[k] = {x, SatLong(Diff(zRef, zMeas)), zMeas, zRef};
    }
    LONG depth = 0;
    LONG reported = 0;
    double best = 0.0;
    int i = 0;
    while (i < samples) {
        if (rows[i].dz < 200) {
            ++i;
            continue;
        }
        const double x1 = rows[i].x, z1 = rows[i].zMeas;
        while (i < samples && rows[i].dz >= 200) {
            if (rows[i].dz > depth) {
                depth = rows[i].dz;
            }
            ++i;
        }
        // A run that lasts to the last sample ends there.
        const int last = i < samples ? i : samples - 1;
        const double dx = rows[last].x - x1, dz = rows[last].zMeas - z1;
        const double length = std::sqrt(dx * dx + dz * dz);
        const double term = kPi * length * length / 4.0;
        if (term > best) {
            best = term;
            reported = depth;
        }
        ++i;
    }
    result->values[25] = TruncLong(best / 1000.0);
    result->values[26] = reported;
}

void CWheelCalc::PrepareReference(const LONG* storedZ, StepCode stepCode, LONG firstX, HeadSettings hs,
                                  const LONG* limits, const DWORD* refCount, const ProfilePoint* refPoints,
                                  ProfileKeyPoints* refKeys, DWORD* outCount, ProfilePoint* outPoints,
                                  ProfileKeyPoints* outKeys, WheelResult* result, LONG flag)
{
    if (result == nullptr) {
        return;
    }
    if (firstX != 0 && storedZ != nullptr && outCount != nullptr && outPoints != nullptr) {
        const float stepF = static_cast<float>(stepCode) / static_cast<float>(StepCodeDivisor(stepCode));
        DWORD counted = 0;
        for (DWORD i = 0; i < kMaxProfilePoints; ++i) {
            const LONG x =
                TruncLong(static_cast<double>(static_cast<float>(firstX) + static_cast<float>(i) * stepF));
            if (storedZ[i] == 0 && x > 70000) {
                outPoints[i] = {0, 0};
                continue;
            }
            outPoints[i] = {x, storedZ[i]};
            ++counted;
        }
        *outCount = counted;
        Evaluate(counted, outPoints, outKeys, refCount != nullptr ? *refCount : 0, refPoints, refKeys, hs, result,
                 flag);
    }
    CheckTolerances(result, limits, Option(hs, 4) == 2 ? 1 : 0);
}
