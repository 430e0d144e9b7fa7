// The disc calculator's routines at their edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <vector>

#include "measurement/DiscCalc.h"
#include "measurement/WheelCalc.h"
#include "tests/measurement/CalcFixtures.h"
#include "tests/support/Fields.h"

namespace {

struct Profile {
    ProfilePoint p[kMaxProfilePoints] = {};
    DWORD count = 0;
};

SensorRegisters DiscHead()
{
    return calctest::RegistersOf(profilegen::DefaultDiscHead());
}

// Decodes, at `range` and from `offset`, a dump whose samples are given (the
// rest of it 0).
std::unique_ptr<Profile> Decode(const std::vector<uint16_t>& samples, const SensorRegisters& regs, DWORD range = 20,
                                LONG offset = 0)
{
    auto out = std::make_unique<Profile>();
    auto dump = profilegen::EncodeSamples(samples, kRawDumpBytes, profilegen::DefaultDiscHead());
    CDiscCalc().DecodeDump(dump.data(), &out->count, out->p, &regs, range, offset, kRawDumpBytes);
    return out;
}

}  // namespace

TEST(DiscDecode, EndsAtTheFirstRawZeroWhateverTheOffset)
{
    SensorRegisters regs = DiscHead();
    std::vector<uint16_t> samples(20, 0);
    samples[2] = 8192;  // 10 mm at range 20
    samples[3] = 8192;
    samples[5] = 8192;  // after the gap: not read
    const auto out = Decode(samples, regs, 20, 10000);
    ASSERT_EQ(out->count, 2u);
    EXPECT_EQ(out->p[0].z, 0);  // z 0 after the offset is still a point
    EXPECT_EQ(out->p[0].x, 2 * 50);
    EXPECT_EQ(Decode({}, regs)->count, 0u);
}

TEST(DiscDecode, StepCodeDividesByTenBelowAThousand)
{
    SensorRegisters regs = DiscHead();
    regs.words[2] = 50;
    const auto out = Decode(std::vector<uint16_t>(4, 100), regs);
    ASSERT_GE(out->count, 2u);
    EXPECT_EQ(out->p[1].x - out->p[0].x, 5);
    // The stored-profile evaluation reads the same code by the wheel rule: 50 um.
    CDiscCalc d;
    std::vector<LONG> stored(10, 3000);
    DiscSettings ds = {};
    std::vector<LONG> limits(kDiscLimitCount, 0);
    const DWORD refCount = 0;
    DiscResult r = {};
    ProfileKeyPoints keys = {};
    d.Evaluate(stored.data(), 50, 0, 10, ds, limits.data(), &refCount, nullptr, &out->count, out->p, &keys, &r, 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(out->count, 10u), FIELD_IS(out->p[0].x, 0), FIELD_IS(out->p[1].x, 50)));
    // A negative first x changes nothing.
    out->count = 3;
    d.Evaluate(stored.data(), 50, -1, 10, ds, limits.data(), &refCount, nullptr, &out->count, out->p, &keys, &r, 1);
    EXPECT_EQ(out->count, 3u);
}

TEST(DiscDecode, HostileWordsNeverOverrun)
{
    std::vector<uint16_t> samples(3072, 1234);
    for (SHORT length : {static_cast<SHORT>(32767), static_cast<SHORT>(-32768)}) {
        SensorRegisters regs = DiscHead();
        regs.words[5] = length;
        EXPECT_LE(Decode(samples, regs, 65535, -2000000000)->count, 3072u);
    }
    SensorRegisters regs = DiscHead();
    regs.words[2] = 0;
    EXPECT_EQ(Decode(samples, regs)->count, 0u);
}

TEST(DiscCrop, LimitFloorAndShiftToTheFirstX)
{
    CDiscCalc d;
    for (LONG limit : {0, 7500, 7501}) {
        std::vector<ProfilePoint> p = {{0, 100}, {1000, 9000}, {2000, 7400}, {3000, 7501}, {4000, 7000}, {5000, 9000}};
        DWORD count = 6;
        d.CropToRange(&count, p.data(), 0, limit);
        if (limit == 7501) {
            EXPECT_EQ(count, 3u);  // 7501 is not above the limit
        } else {
            EXPECT_EQ(count, 1u);
        }
        EXPECT_EQ(p[0].x, 0);  // shifted: the first kept point (x 2000) is at 0
        EXPECT_EQ(p[0].z, 7400);
        EXPECT_EQ(p[count].x, 0);  // what lies beyond the count is cleared
        EXPECT_EQ(p[count].z, 0);
    }
}

TEST(DiscSide, NoPointBetweenTheEdgesAndTheReferenceBase)
{
    CDiscCalc d;
    // Too short for any window: the edges default and nothing lies inside.
    std::vector<ProfilePoint> p = {{0, 100}, {1000, 100}, {2000, 100}};
    std::vector<ProfilePoint> ref = {{0, 800}, {1000, 900}};
    ProfileKeyPoints keys = {};
    DiscResult r = {};
    d.EvaluateSide(3, p.data(), &keys, 2, ref.data(), DiscSettings{}, &r, 2);
    EXPECT_EQ((std::vector<LONG>{r.values[3], r.values[4], r.values[5]}), (std::vector<LONG>{900, 0, 0}));
    // No reference at all reads as a base of 0.
    d.EvaluateSide(3, p.data(), &keys, 0, nullptr, DiscSettings{}, &r, 1);
    EXPECT_EQ(r.values[0], 0);
}

TEST(DiscBothSides, EmptySideAndTheFallback)
{
    CDiscCalc d;
    std::vector<ProfilePoint> a = {{0, 100}, {1000, 100}};
    std::vector<ProfilePoint> ref = {{0, 300}, {1000, 2000}, {2000, 1500}};
    ProfileKeyPoints ka = {}, kb = {};
    DiscSettings ds = {};
    ds.discL1 = 100000;
    DiscResult r = {};
    r.values[6] = 55;
    d.EvaluateBothSides(2, a.data(), 0, a.data(), 3, ref.data(), &ka, &kb, ds, &r, 0);
    EXPECT_EQ(r.values[6], 0);
    d.EvaluateBothSides(2, a.data(), 2, a.data(), 3, ref.data(), &ka, &kb, ds, &r, 0);
    EXPECT_EQ(r.values[6], 2 * (1500 - 300) + 100000);
}

TEST(DiscGrade, ZeroNegativeAndSwitchedOffLimits)
{
    CDiscCalc d;
    std::vector<LONG> limits(kDiscLimitCount, 0);
    limits[0] = 1000;  // depth: out below
    limits[12] = 2000;
    limits[5] = 9000;  // highest z: out above
    limits[2] = 100000;
    DiscResult r = {};
    r.values[0] = 1500;   // warning
    r.values[3] = -5;     // negative: out
    r.values[1] = 0;      // not measured
    r.values[4] = 9001;   // out
    r.values[2] = -7;     // its limits are 0: never graded
    r.values[6] = 99999;  // out (below 100000)
    r.values[7] = -1;
    d.CheckTolerances(&r, limits.data());
    // Value 5 is not measured either.
    EXPECT_EQ(std::vector<int>(r.status, r.status + kDiscValueCount), (std::vector<int>{1, 0, 0, 2, 2, 0, 2, 0}));
}

TEST(DiscEdges, DefaultsWithoutAStrongSignal)
{
    CDiscCalc d;
    std::vector<ProfilePoint> p(100);
    for (int i = 0; i < 100; ++i) {
        p[static_cast<size_t>(i)] = {i * 100, 500};
    }
    LONG a = -1, b = -1;
    EXPECT_EQ(d.FindStepEdge(100, p.data(), &a, &b), 99);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 9900);
    d.FindStepEdge(0, p.data(), &a, &b);
    EXPECT_EQ(a, 0);
}

TEST(DiscWindows, MeansNearTheEndsAndTheTiltSaturates)
{
    CDiscCalc d;
    std::vector<ProfilePoint> p(30);
    for (int i = 0; i < 30; ++i) {
        p[static_cast<size_t>(i)] = {i * 1000, i < 10 ? 30000 : 0};
    }
    SHORT tilt = 32000, offset = 0;
    // The first window's lowest point is index 1: its mean has 12 points, 10 of them high.
    d.MeasureWindows(30, p.data(), &tilt, &offset, 0, 29000);
    EXPECT_EQ(tilt, 32767);
    tilt = 0;
    d.MeasureWindows(30, p.data(), &tilt, &offset, 0, 29000);
    EXPECT_EQ(tilt, (300000 / 12 - 90000 / 21) / 10);  // 21 points around the second window
    SHORT shifted = 100;
    std::vector<ProfilePoint> q = {{4000, 1}, {5000, 2}};
    d.ShiftToFirstX(2, q.data(), &shifted);
    EXPECT_EQ(q[1].x, 1000);
    EXPECT_EQ(shifted, -3900);
}

TEST(DiscMinima, TrackersAndAnEmptyReference)
{
    CDiscCalc d;
    std::vector<ProfilePoint> p = {{100, 500}, {200, 200}, {300, 200}, {400, 900}};
    LONG first = 0, last = 0, capped = 0, zLast = 0;
    d.FindMinima(4, p.data(), &first, &last, &capped, &zLast);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(first, 200), FIELD_IS(last, 300), FIELD_IS(capped, 200),
                                 FIELD_IS(zLast, 900)));
    d.FindMinima(0, p.data(), &first, &last, &capped, &zLast);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(zLast, 0), FIELD_IS(capped, 0), FIELD_IS(d.MinZ(0, p.data()), 100000),
                                 FIELD_IS(d.MaxZ(4, p.data()), 900)));
}

// The disc chain's filters slide their windows; each must give exactly what
// the plain window-by-window computation gives, on profiles of every length,
// with repeated heights, extremes and every window size the chain can pass.
namespace {

// Each window sorted on its own, the middle taken as the filter defines it.
void MedianByEveryWindow(int window, int n, ProfilePoint* p)
{
    const int h = window / 2;
    std::vector<LONG> old(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) old[static_cast<size_t>(i)] = p[i].z;
    for (int i = h; i < n - h; ++i) {
        std::vector<LONG> w(old.begin() + (i - h), old.begin() + (i - h + window));
        std::sort(w.begin(), w.end());
        const size_t m = static_cast<size_t>(window / 2);
        p[i].z = window % 2 ? w[m] : static_cast<LONG>((static_cast<int64_t>(w[m - 1]) + w[m]) / 2);
    }
}

void SmoothByEveryWindow(int window, int n, ProfilePoint* p)
{
    const int h = window / 2;
    std::vector<LONG> fresh(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        int64_t sum = 0;
        int used = 0;
        for (int j = i - h; j <= i - h + window - 1; ++j)
            if (j >= 0 && j < n) {
                sum += p[j].z;
                ++used;
            }
        fresh[static_cast<size_t>(i)] = used ? static_cast<LONG>(sum / used) : p[i].z;
    }
    for (int i = 0; i < n; ++i) p[i].z = fresh[static_cast<size_t>(i)];
}

void SlopeByEveryWindow(int n, const ProfilePoint* p, ProfilePoint* out, int window)
{
    const int h = window / 2;
    for (int i = 0; i < n; ++i) {
        int64_t sum = 0;
        if (h > 0 && i >= h && i <= n - h)
            for (int j = i; j < i + h; ++j) sum += static_cast<int64_t>(p[j - h].z) - p[j].z;
        out[i] = {p[i].x, static_cast<LONG>(std::clamp<int64_t>(sum, INT32_MIN, INT32_MAX))};
    }
}

}  // namespace

TEST(DiscFilters, SlidingWindowsGiveTheWindowByWindowResults)
{
    std::mt19937 random(29);
    auto draw = [&](uint32_t n) { return random() % n; };
    CWheelCalc wheel;
    CDiscCalc disc;
    auto fast = std::make_unique<Profile>();
    auto slow = std::make_unique<Profile>();
    auto signal = std::make_unique<Profile>();
    auto expected = std::make_unique<Profile>();
    for (int trial = 0; trial < 300; ++trial) {
        const int n = trial < 4 ? trial : static_cast<int>(1 + draw(trial % 10 == 0 ? kMaxProfilePoints : 400));
        const int spread = trial % 3 == 0 ? 4 : (trial % 3 == 1 ? 5000 : 0);
        for (int i = 0; i < n; ++i) {
            LONG z = spread ? static_cast<LONG>(draw(static_cast<uint32_t>(spread))) - spread / 2
                            : (draw(2) ? INT32_MAX - static_cast<LONG>(draw(3)) : INT32_MIN + static_cast<LONG>(draw(3)));
            fast->p[i] = slow->p[i] = {i * 50, z};
        }
        const int window = trial % 5 == 0 ? 31 : static_cast<int>(1 + draw(64));
        wheel.MedianFilter(static_cast<BYTE>(window), static_cast<DWORD>(n), fast->p);
        MedianByEveryWindow(window, n, slow->p);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(slow->p[i].z, fast->p[i].z) << "trial " << trial << ", window " << window << ", point " << i;

        // The smoothing of both the disc and the wheel chains.
        const int smoothWindow = trial % 5 == 1 ? 9 : static_cast<int>(1 + draw(64));
        for (int i = 0; i < n; ++i) signal->p[i] = slow->p[i];
        wheel.Smooth(static_cast<BYTE>(smoothWindow), static_cast<DWORD>(n), fast->p);
        SmoothByEveryWindow(smoothWindow, n, signal->p);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(signal->p[i].z, fast->p[i].z) << "trial " << trial << ", smoothing " << smoothWindow << ", point " << i;

        const int slopeWindow = trial % 4 == 0 ? 16 : static_cast<int>(draw(40));
        disc.SlopeSignal(static_cast<DWORD>(n), slow->p, signal->p, slopeWindow);
        SlopeByEveryWindow(n, slow->p, expected->p, slopeWindow);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(expected->p[i].z, signal->p[i].z) << "trial " << trial << ", window " << slopeWindow << ", point " << i;
            ASSERT_EQ(expected->p[i].x, signal->p[i].x);
        }
    }
}
