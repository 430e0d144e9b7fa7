// Comparison of a measured wheel profile with its reference, and the rebuilding
// of a stored profile.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/measurement/CalcFixtures.h"
#include "tests/support/Fields.h"

namespace {

std::vector<ProfilePoint> Level(int n, LONG x0, LONG dx, LONG z)
{
    std::vector<ProfilePoint> p(kMaxProfilePoints);
    for (int i = 0; i < n; ++i) {
        p[static_cast<size_t>(i)] = {x0 + i * dx, z};
    }
    return p;
}

struct Rows {
    DeviationRow r[kMaxDeviationRows] = {};
    DWORD count = 12345;
    double minDev = 0, maxDev = 0, maxAbs = 0;
};

}  // namespace

TEST(DeviationSummary, ExtremesAndEmptyRows)
{
    CWheelCalc c;
    DeviationRow rows[2] = {{0, -700, 0, 0}, {250, 500, 0, 0}};
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(c.MaxAbsDeviation(2, rows), 700), FIELD_IS(c.MinDeviation(2, rows), -700),
                                 FIELD_IS(c.MaxDeviation(2, rows), 500), FIELD_IS(c.MinDeviation(0, rows), 1000000),
                                 FIELD_IS(c.MaxDeviation(0, rows), -1000000)));
}

TEST(CompareWithReference, RowsOverTheCommonSpan)
{
    CWheelCalc c;
    auto rows = std::make_unique<Rows>();
    const auto meas = Level(100, 10000, 500, 1000);  // 10.0 .. 59.5 mm
    const auto ref = Level(100, 20000, 500, 1300);   // 20.0 .. 69.5 mm
    c.CompareWithReference(100, meas.data(), 100, ref.data(), 10, 5000, &rows->count, rows->r, &rows->minDev,
                           &rows->maxDev, &rows->maxAbs, 250);
    EXPECT_EQ(rows->count, static_cast<DWORD>((59500 - 20000) / 250));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(rows->r[0].x, 20000 - 5000), FIELD_IS(rows->r[0].dz, 300 + 10),
                                 FIELD_IS(rows->r[0].zMeas, 1000), FIELD_IS(rows->r[0].zRef, 1300),
                                 FIELD_IS(rows->r[1].x, 20250 - 5000), FIELD_IS(rows->minDev, 310.0),
                                 FIELD_IS(rows->maxAbs, 310.0)));
}

TEST(CompareWithReference, EmptyOrDisjointProfiles)
{
    CWheelCalc c;
    auto rows = std::make_unique<Rows>();
    const auto meas = Level(10, 10000, 500, 0);
    const auto far = Level(10, 90000, 500, 0);
    c.CompareWithReference(0, meas.data(), 10, far.data(), 0, 0, &rows->count, rows->r, &rows->minDev,
                           &rows->maxDev, &rows->maxAbs, 250);
    EXPECT_EQ(rows->count, 12345u);  // nothing written
    c.CompareWithReference(10, meas.data(), 10, far.data(), 0, 0, &rows->count, rows->r, &rows->minDev,
                           &rows->maxDev, &rows->maxAbs, 250);
    EXPECT_EQ(rows->count, 0u);  // no overlap: no rows, never a count from the gap
    EXPECT_EQ(rows->minDev, 1000000.0);
    // A long common span at a tiny step stops at the row array's capacity.
    const auto longMeas = Level(3000, 1000, 1000, 0);
    c.CompareWithReference(3000, longMeas.data(), 3000, longMeas.data(), 0, 0, &rows->count, rows->r,
                           &rows->minDev, &rows->maxDev, &rows->maxAbs, 1);
    EXPECT_EQ(rows->count, kMaxDeviationRows);
}

TEST(DeviationAreas, PositiveAndNegativeSquareMillimetres)
{
    CWheelCalc c;
    DeviationRow rows[4] = {{0, 1000, 0, 0}, {500, 2000, 0, 0}, {1000, -1000, 0, 0}, {1500, 0, 0, 0}};
    double pos = -1, neg = -1;
    c.DeviationAreas(4, rows, &pos, &neg);
    EXPECT_DOUBLE_EQ(pos, 1.5);  // (1000 + 2000 + 0) um x 500 um
    EXPECT_DOUBLE_EQ(neg, 0.5);
    c.DeviationAreas(1, rows, &pos, &neg);  // one row spans no step
    EXPECT_EQ(pos, 0.0);
    EXPECT_EQ(neg, 0.0);
}

TEST(DeviationAt, BelowTwoHundredIsNoDeviation)
{
    CWheelCalc c;
    const auto p = Level(200, 1000, 500, 1000);
    HeadSettings hs = calctest::S1002Settings();
    WheelResult r = {};
    r.values[22] = 801;
    c.DeviationAt(200, p.data(), hs, &r, 0);
    EXPECT_EQ(r.values[24], 0);  // 199
    r.values[22] = 800;
    c.DeviationAt(200, p.data(), hs, &r, 0);
    EXPECT_EQ(r.values[24], 200);
    c.DeviationAt(200, p.data(), hs, &r, 1300);
    EXPECT_EQ(r.values[24], 1100);
}

TEST(WearZones, DepthOfTheRunWithTheLargestArea)
{
    CWheelCalc c;
    auto ref = Level(400, 1000, 250, 0);
    auto meas = Level(400, 1000, 250, 0);
    WheelResult r = {};
    c.WearZones(400, meas.data(), 400, ref.data(), &r);
    EXPECT_EQ(r.values[25], 0);
    EXPECT_EQ(r.values[26], 0);
    // Run 1: 20 samples at 300 deep; run 2: 4 samples at 500, shorter.
    for (int i = 50; i < 70; ++i) {
        meas[static_cast<size_t>(i)].z = -300;
    }
    for (int i = 200; i < 204; ++i) {
        meas[static_cast<size_t>(i)].z = -500;
    }
    c.WearZones(400, meas.data(), 400, ref.data(), &r);
    EXPECT_EQ(r.values[26], 300);
    EXPECT_GT(r.values[25], 0);
    // Make the deeper run the longer one: its depth is reported.
    for (int i = 200; i < 260; ++i) {
        meas[static_cast<size_t>(i)].z = -500;
    }
    c.WearZones(400, meas.data(), 400, ref.data(), &r);
    EXPECT_EQ(r.values[26], 500);
}

TEST(WearZones, RunToTheLastSampleEndsThere)
{
    CWheelCalc c;
    auto ref = Level(100, 1000, 250, 0);
    auto meas = Level(100, 1000, 250, 0);
    for (int i = 80; i < 100; ++i) {
        meas[static_cast<size_t>(i)].z = -400;
    }
    WheelResult r = {};
    c.WearZones(100, meas.data(), 100, ref.data(), &r);
    EXPECT_EQ(r.values[26], 400);
    EXPECT_GT(r.values[25], 0);
}

TEST(PrepareReference, RebuildsAndEvaluatesAStoredProfile)
{
    CWheelCalc c;
    auto run = calctest::RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(), calctest::S1002Settings());
    const calctest::WheelRun* w = run.get();
    // Stored as heights at a 49.5 um step code from the first x.
    std::vector<LONG> stored(kMaxProfilePoints, 0);
    auto resampled = std::make_unique<calctest::WheelRun>();
    for (DWORD i = 0; i < w->count; ++i) {
        stored[i] = w->points[i].z;
    }
    std::vector<LONG> limits(kWheelLimitCount, 0);
    limits[1] = 30000;  // flange thickness limit: this wheel is out
    limits[22 + 1] = 20000;
    const DWORD refCount = 0;
    WheelResult r = {};
    c.PrepareReference(stored.data(), 5000, w->points[0].x, calctest::S1002Settings(), limits.data(), &refCount,
                       nullptr, nullptr, &resampled->count, resampled->points, &resampled->keys, &r, 1);
    // Heights of 0 beyond 70 mm are empty positions, not points.
    EXPECT_EQ(resampled->count, w->count);
    EXPECT_NEAR(r.values[1], 32500, 60);
    EXPECT_EQ(r.status[1], 2);
    // A first x of 0: nothing rebuilt, only graded.
    resampled->count = 77;
    WheelResult graded = {};
    graded.values[1] = 10000;
    c.PrepareReference(stored.data(), 5000, 0, calctest::S1002Settings(), limits.data(), &refCount, nullptr, nullptr,
                       &resampled->count, resampled->points, &resampled->keys, &graded, 1);
    EXPECT_EQ(resampled->count, 77u);
    EXPECT_EQ(graded.status[1], 2);
}
