// From a laser head's raw dump to a levelled, resampled wheel profile, and the
// temperature terms the decoding applies.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "measurement/CalcMath.h"
#include "measurement/SurfaceCheck.h"
#include "measurement/WheelCalc.h"

using namespace qcalc;

namespace {

// One 16-bit sample from its four nibble bytes; bytes past the dump read as 0.
inline uint32_t SampleAt(const BYTE* dump, int64_t dumpBytes, int64_t sampleIndex)
{
    const int64_t at = sampleIndex * 4;
    uint32_t sample = 0;
    for (int b = 0; b < 4; ++b) {
        if (at + b < dumpBytes) {
            sample |= static_cast<uint32_t>(dump[at + b] & 0x0F) << (4 * b);
        }
    }
    return sample;
}

// What the decoding multiplies a sample's distance by: the calibration word
// (0 and -1 stand for 10000) and the temperature scale of word 22.
struct ZFactors {
    float calibration;
    float temperature;
};

ZFactors ZFactorsOf(const SensorRegisters& regs)
{
    LONG k = regs.words[6];
    if (k == 0 || k == -1) {
        k = 10000;
    }
    const float kd = k <= 2000 ? 1000.0f : 10000.0f;
    return {static_cast<float>(k) / kd, regs.words[22] != 0 ? static_cast<float>(regs.words[22]) / 10000.0f : 1.0f};
}

inline LONG DecodedZ(uint64_t distance, const ZFactors& f)
{
    return TruncLong(static_cast<double>((static_cast<float>(distance) * f.calibration) * f.temperature));
}

// Dump length the head's word announces, in bytes (never negative).
inline int64_t AnnouncedDumpBytes(SHORT lengthWord)
{
    const int64_t n = (static_cast<int64_t>(lengthWord) / 256 + 1) * 1024;
    return n < 0 ? 0 : n;
}

}  // namespace

void CWheelCalc::ProcessMeasurement(BYTE* dump, DWORD range, SensorRegisters* regs, DWORD measuredLapka,
                                    HeadSettings hs, const LONG* limits, BYTE levelMode, const DWORD* refCount,
                                    const ProfilePoint* refPoints, ProfileKeyPoints* refKeys, DWORD* count,
                                    ProfilePoint* points, ProfileKeyPoints* keys, WheelResult* result, LONG evalFlag,
                                    BYTE skip, DWORD dumpBytes)
{
    if (dump == nullptr || regs == nullptr || count == nullptr || points == nullptr || keys == nullptr ||
        result == nullptr) {
        return;
    }
    DecodeDump(dump, count, points, hs, regs, range, dumpBytes);
    if (*count == 0) {
        return;
    }
    if (!IsPlausibleProfile(*count, points, regs, range)) {
        // Not a wheel the head saw (a garbled transfer): nothing of it may
        // pass for a measurement, and nothing from before stays as its result.
        std::memset(points, 0, static_cast<size_t>(ClampCount(*count)) * sizeof(ProfilePoint));
        *count = 0;
        *keys = ProfileKeyPoints{};
        *result = WheelResult{};
        return;
    }
    Smooth(9, *count, points);
    Level(*count, points, regs, levelMode);
    Smooth(9, *count, points);
    ResampleOnX(count, points, regs->words[2], 0);
    if (*count == 0) {
        // A profile of one position spans no step: there is nothing to evaluate.
        return;
    }
    result->MinY = ShiftToLowest(*count, points, 1);
    const DWORD references = refCount != nullptr ? *refCount : 0;
    Evaluate(*count, points, keys, references, refPoints, refKeys, hs, result, evalFlag);
    if (!skip) {
        LogTyreAndDiameter(hs, regs, measuredLapka, keys, result);
        if (limits != nullptr) {
            CheckTolerances(result, limits, Option(hs, 4) == 2 ? 1 : 0);
        }
    }
}

void CWheelCalc::DecodeDump(BYTE* dump, DWORD* count, ProfilePoint* points, HeadSettings hs, SensorRegisters* regs,
                            DWORD range, DWORD dumpBytes)
{
    if (count == nullptr) {
        return;
    }
    *count = 0;
    if (dump == nullptr || points == nullptr || regs == nullptr) {
        return;
    }
    const int64_t n = AnnouncedDumpBytes(regs->words[12]);
    const int64_t available = n < static_cast<int64_t>(dumpBytes) ? n : static_cast<int64_t>(dumpBytes);
    if (regs->words[6] == 0 || regs->words[6] == -1) {
        regs->words[6] = 10000;
    }
    const ZFactors factors = ZFactorsOf(*regs);
    const LONG stepWord = regs->words[2];
    const int64_t d = StepCodeDivisor(stepWord);
    const float o = static_cast<float>(regs->words[23]);

    for (int64_t i = 0; i < available; ++i) {
        dump[i] &= 0x0F;
    }
    const int64_t samples = n / 4;
    const int64_t cleared = samples < kMaxProfilePoints ? samples : kMaxProfilePoints;
    std::memset(points, 0, static_cast<size_t>(cleared) * sizeof(ProfilePoint));
    if (stepWord <= 0) {
        return;  // no x step: the head's settings are unusable
    }
    int64_t i0 = 0;
    while (i0 < samples && SampleAt(dump, available, i0) == 0) {
        ++i0;
    }
    if (i0 >= samples) {
        return;
    }
    const bool reversed = hs.switches[21] == 2;
    const int64_t xBase = reversed ? static_cast<int64_t>(Dim(hs, DIM_L9)) + regs->words[1] - 5000
                                   : static_cast<int64_t>(regs->words[1]) - 5000;
    DWORD kept = 0;
    for (int64_t i = i0; i < samples && kept < kMaxProfilePoints; ++i) {
        const uint32_t sample = SampleAt(dump, available, i);
        const uint64_t zr = static_cast<uint64_t>(sample) * range * 1000u / 16384u;
        const int64_t advance = ((i0 + kept) * stepWord) / d;
        const int64_t xi = reversed ? xBase - advance : xBase + advance;
        const bool keep = reversed ? (sample != 0 || (xi >= 5000 && xi <= 70000)) : (xi <= 70000 || sample != 0);
        if (!keep) {
            continue;
        }
        points[kept].x = TruncLong(static_cast<double>(static_cast<float>(xi) + o));
        points[kept].z = DecodedZ(zr, factors);
        ++kept;
    }
    if (reversed) {
        for (DWORD a = 0, b = kept ? kept - 1 : 0; a < b; ++a, --b) {
            const ProfilePoint t = points[a];
            points[a] = points[b];
            points[b] = t;
        }
    }
    *count = kept;
}

int CWheelCalc::IsPlausibleProfile(DWORD count, const ProfilePoint* points, const SensorRegisters* regs, DWORD range)
{
    if (points == nullptr || regs == nullptr) {
        return 0;
    }
    // A full-scale sample (16384) is the measuring range itself.
    const LONG stepWord = regs->words[2];
    const SurfaceView view = {0, DecodedZ(static_cast<uint64_t>(range) * 1000u, ZFactorsOf(*regs)),
                              stepWord > 0 ? stepWord / StepCodeDivisor(stepWord) : 0, true};
    return LooksLikeSurface(points, count, view) ? 1 : 0;
}

void CWheelCalc::Smooth(BYTE window, DWORD count, ProfilePoint* points)
{
    if (window == 0 || points == nullptr || count == 0) {
        return;
    }
    const int n = ClampCount(count);
    const int h = window / 2;
    // The window i - h .. i - h + window - 1, cut to the profile, slides:
    // its sum gains the point entering and loses the point leaving.
    LONG fresh[kMaxProfilePoints];
    int64_t sum = 0;
    int used = 0;
    for (int j = -h; j < window - h - 1; ++j) {
        if (j >= 0 && j < n) {
            sum += points[j].z;
            ++used;
        }
    }
    for (int i = 0; i < n; ++i) {
        const int entering = i - h + window - 1;
        if (entering >= 0 && entering < n) {
            sum += points[entering].z;
            ++used;
        }
        fresh[i] = used ? SatLong(sum / used) : points[i].z;
        const int leaving = i - h;
        if (leaving >= 0 && leaving < n) {
            sum -= points[leaving].z;
            --used;
        }
    }
    for (int i = 0; i < n; ++i) {
        points[i].z = fresh[i];
    }
}

LONG CWheelCalc::Median(int window, LONG* values)
{
    if (window <= 0 || values == nullptr) {
        return 0;
    }
    for (int i = 1; i < window; ++i) {
        const LONG v = values[i];
        int j = i - 1;
        while (j >= 0 && values[j] > v) {
            values[j + 1] = values[j];
            --j;
        }
        values[j + 1] = v;
    }
    if (window % 2) {
        return values[window / 2];
    }
    return SatLong((static_cast<int64_t>(values[window / 2 - 1]) + values[window / 2]) / 2);
}

void CWheelCalc::MedianFilter(BYTE window, DWORD count, ProfilePoint* points)
{
    if (window == 0 || points == nullptr || count == 0) {
        return;
    }
    const int n = ClampCount(count);
    const int h = window / 2;
    LONG old[kMaxProfilePoints];
    for (int i = 0; i < n; ++i) {
        old[i] = points[i].z;
    }
    if (n - h <= h) {
        return;
    }
    // The window slides one point at a time and is kept sorted: the height
    // entering takes the place of the one leaving and moves to its rank, so a
    // point costs the few moves between the two ranks rather than a window's
    // sort. Window i holds old[i - h] .. old[i - h + window - 1], all inside
    // the profile for every i filtered.
    LONG sorted[256];
    std::memcpy(sorted, old, static_cast<size_t>(window) * sizeof(LONG));
    std::sort(sorted, sorted + window);
    for (int i = h; i < n - h; ++i) {
        if (i > h) {
            const LONG leaving = old[i - h - 1];
            const LONG entering = old[i - h + window - 1];
            int j = static_cast<int>(std::lower_bound(sorted, sorted + window, leaving) - sorted);
            while (j + 1 < window && sorted[j + 1] < entering) {
                sorted[j] = sorted[j + 1];
                ++j;
            }
            while (j > 0 && sorted[j - 1] > entering) {
                sorted[j] = sorted[j - 1];
                --j;
            }
            sorted[j] = entering;
        }
        // The middle of the sorted window, as Median takes it.
        points[i].z = window % 2 ? sorted[window / 2]
                                 : SatLong((static_cast<int64_t>(sorted[window / 2 - 1]) + sorted[window / 2]) / 2);
    }
}

void CWheelCalc::Level(DWORD count, ProfilePoint* points, const SensorRegisters* regs, int mode)
{
    if (points == nullptr || regs == nullptr || count == 0) {
        return;
    }
    const int n = ClampCount(count);
    const LONG zLow = points[LowestPointIndex(count, points, 1)].z;
    const float a = static_cast<float>((regs->words[0] - 100) / 10000.0);
    const double sa = std::sin(static_cast<double>(a));
    const double ca = std::cos(static_cast<double>(a));
    LONG nx[kMaxProfilePoints];
    LONG nz[kMaxProfilePoints];
    if (mode != 0) {
        int64_t zTop = 16000;
        for (int i = 0; i < n; ++i) {
            if (Diff(points[i].z, zLow) < 16000) {
                zTop = points[i].z;
            }
        }
        for (int i = 0; i < n; ++i) {
            const int64_t height = Diff(points[i].z, zLow);
            const int64_t c = height <= zTop ? ((zTop - height) * regs->words[5]) / 15000 : 0;
            const double x = points[i].x, z = points[i].z;
            nx[i] = TruncLong(x * ca - z * sa + static_cast<double>(c));
            nz[i] = TruncLong(x * sa + z * ca);
        }
    } else {
        const int stepTenth = regs->words[2] / 10;
        for (int i = 0; i < n; ++i) {
            const double x = points[i].x, z = points[i].z;
            nx[i] = TruncLong(x * ca - z * sa);
            nz[i] = TruncLong(x * sa + z * ca);
        }
        for (int i = 1; i < n; ++i) {
            float t = 0.0f;
            if (stepTenth != 0) {
                t = static_cast<float>(std::atan(static_cast<float>(Diff(points[i].z, points[i - 1].z)) /
                                                 static_cast<float>(stepTenth)));
            }
            int64_t c = 0;
            const int64_t height = Diff(points[i].z, zLow);
            if (height >= 0 && height < 14000) {
                const float w3 = static_cast<float>(regs->words[3]);
                const float w4 = static_cast<float>(regs->words[4]);
                c = TruncLong(static_cast<double>(((w3 * t) * t) * t + w4 * t));
            }
            const int64_t term = (c + 5) / 10;
            const double x = points[i].x, z = points[i].z;
            nz[i] = TruncLong(x * sa + z * ca + static_cast<double>(term));
            if (i == 1) {
                const double x0 = points[0].x, z0 = points[0].z;
                nz[0] = TruncLong(x0 * sa + z0 * ca + static_cast<double>(term));
            }
        }
    }
    for (int i = 0; i < n; ++i) {
        points[i].x = nx[i];
        points[i].z = nz[i];
    }
}

void CWheelCalc::ResampleOnX(DWORD* count, ProfilePoint* points, LONG stepWord, LONG startX)
{
    if (count == nullptr || points == nullptr || *count == 0) {
        return;
    }
    const int n = ClampCount(*count);
    if (stepWord <= 0) {
        std::memset(points, 0, static_cast<size_t>(n) * sizeof(ProfilePoint));
        *count = 0;
        return;
    }
    const LONG x0 = startX != 0 ? startX : points[n > 1 ? 1 : 0].x;
    const LONG xEnd = LastNonZeroX(static_cast<DWORD>(n), points);
    const float dx = static_cast<float>(stepWord) / static_cast<float>(StepCodeDivisor(stepWord));
    const double span = std::fabs(static_cast<double>(static_cast<float>(Diff(xEnd, x0)) / dx));
    const int m = span >= kMaxProfilePoints ? static_cast<int>(kMaxProfilePoints) : static_cast<int>(span);
    ProfilePoint fresh[kMaxProfilePoints];
    XSearch search(points, static_cast<DWORD>(n));
    int j = 0;
    for (int k = 0; k < m; ++k) {
        // dx > 0: the positions grow with k.
        const LONG xk = TruncLong(static_cast<double>(static_cast<float>(x0) + dx * static_cast<float>(k)));
        j = search.Next(j, xk);
        fresh[k].x = xk;
        fresh[k].z = HeightBetween(static_cast<DWORD>(n), points, j, xk);
    }
    for (int k = 0; k < m; ++k) {
        points[k] = fresh[k];
    }
    for (int k = m; k < n; ++k) {
        points[k].x = 0;
        points[k].z = 0;
    }
    *count = static_cast<DWORD>(m);
}

LONG CWheelCalc::ShiftToLowest(DWORD count, ProfilePoint* points, BYTE restrict)
{
    if (points == nullptr || count == 0) {
        return 0;
    }
    const int n = ClampCount(count);
    const LONG zLow = points[LowestPointIndex(count, points, restrict)].z;
    for (int i = 0; i < n; ++i) {
        points[i].z = SatLong(Diff(points[i].z, zLow));
    }
    return zLow;
}

void CWheelCalc::ScaleZ(DWORD count, ProfilePoint* points, float f)
{
    if (points == nullptr) {
        return;
    }
    const int n = ClampCount(count);
    for (int i = 0; i < n; ++i) {
        points[i].z = TruncLong(static_cast<double>(static_cast<float>(points[i].z) * (1.0f - f)));
    }
}

int CWheelCalc::TemperatureFactor(const SensorRegisters* regs, SHORT temperature, float* factor)
{
    if (regs == nullptr || factor == nullptr) {
        return 1;
    }
    if (regs->words[10] == 0) {
        *factor = 0.0f;
        return 1;
    }
    const double k = 1.0 - ((temperature - regs->words[9]) * 0.00001) * regs->words[10];
    *factor = static_cast<float>(k);
    return 1;
}

namespace {

// Writes one setting to its registers (low byte first) and reports success.
int WriteSetting(CWheelCalc::TemperatureLink* link, const HeadRegister& entry, LONG value)
{
    BYTE bytes[8] = {};
    const int width = entry.width < 0 ? 0 : (entry.width > 8 ? 8 : entry.width);
    if (width == 0) {
        return 0;
    }
    for (int b = 0; b < width && b < 4; ++b) {
        bytes[b] = static_cast<BYTE>((static_cast<uint32_t>(value) >> (8 * b)) & 0xFFu);
    }
    return link->WriteRegisters(static_cast<BYTE>(entry.reg), static_cast<BYTE>(width), bytes);
}

// The heads work between -60 and +100 degrees; a reading beyond that is a
// broken sensor or a garbled reply, not a temperature to compensate for.
constexpr float kLowestCredible = -60.0f;
constexpr float kHighestCredible = 100.0f;

}  // namespace

void CWheelCalc::CompensateTemperatureWith(TemperatureLink* link, const HeadRegister* table, SensorRegisters* regs,
                                           BYTE firmware)
{
    if (regs == nullptr) {
        return;
    }
    regs->words[22] = 10000;
    regs->words[23] = 0;
    if (regs->words[10] == 0 || link == nullptr || table == nullptr) {
        return;
    }
    float t = 0.0f;
    bool read = false;
    const bool converted = firmware >= 84;
    if (converted) {
        read = link->ReadStateTemperature(&t) != 0 || link->ReadStateTemperature(&t) != 0;
    } else {
        DWORD raw = 0;
        if (link->ReadTemperatureOld(&raw)) {
            t = static_cast<float>(raw & 0xFFFFu);
            read = true;
        }
    }
    if (!read || std::isnan(t) || t < kLowestCredible || t > kHighestCredible) {
        return;
    }
    if (converted) {
        SHORT* w = regs->words;
        if (t < -5.0f) {
            const LONG v = std::abs(static_cast<LONG>(t));
            if (WriteSetting(link, table[13], v)) {
                w[13] = SatShort(v);
            }
            link->Wait(300);
            if (WriteSetting(link, table[14], v)) {
                w[14] = SatShort(v);
            }
            const SHORT target = w[35] >= 70 ? 99 : 65;
            if (w[35] < target) {
                link->Wait(50);
                if (WriteSetting(link, table[35], target)) {
                    w[35] = target;
                }
            }
        } else if (w[35] == 99 || w[35] == 65) {
            if (WriteSetting(link, table[13], 5)) {
                w[13] = 5;
            }
            link->Wait(300);
            if (WriteSetting(link, table[14], 5)) {
                w[14] = 5;
            }
            link->Wait(50);
            const SHORT normal = w[35] >= 70 ? 90 : 41;
            if (WriteSetting(link, table[35], normal)) {
                w[35] = normal;
            }
        }
    }
    float k = 1.0f;
    TemperatureFactor(regs, static_cast<SHORT>(static_cast<int>(t)), &k);
    regs->words[22] = SatShort(TruncLong(static_cast<double>(k) * 10000.0));
    regs->words[23] = SatShort(TruncLong(static_cast<double>((t - static_cast<float>(regs->words[9])) *
                                                             static_cast<float>(regs->words[8]))));
}
