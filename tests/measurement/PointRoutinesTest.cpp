// The small profile routines every evaluation leans on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "measurement/CalcMath.h"
#include "measurement/WheelCalc.h"
#include "tests/support/Fields.h"

namespace {

std::vector<ProfilePoint> Line(int n, LONG x0, LONG dx, LONG z0, LONG dz)
{
    std::vector<ProfilePoint> p(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        p[static_cast<size_t>(i)] = {x0 + i * dx, z0 + i * dz};
    }
    return p;
}

}  // namespace

TEST(Interpolation, EndsAndDegenerateSegments)
{
    CWheelCalc c;
    EXPECT_EQ(c.InterpolateZAtX(2000, 1000, 100, 2000, 301), 200);  // at x2: the mean, not z2
    EXPECT_EQ(c.InterpolateZAtX(1000, 1000, 100, 2000, 300), 100);  // at x1: z1
    EXPECT_EQ(c.InterpolateZAtX(1500, 1000, 100, 2000, 300), 200);
    EXPECT_EQ(c.InterpolateZAtX(1500, 1000, 100, 1000, 300), 200);  // vertical segment
    EXPECT_EQ(c.InterpolateXAtZ(150, 1000, 100, 2000, 200), 1500);
    EXPECT_EQ(c.InterpolateXAtZ(200, 1000, 100, 2000, 200), 1500);  // at z2: the mean
    EXPECT_EQ(c.InterpolateXAtZ(7, 1000, 100, 3000, 100), 2000);   // level segment
    // Products of far-apart coordinates do not overflow.
    EXPECT_NEAR(c.InterpolateZAtX(0, -2000000000, 2000000000, 2000000000, -2000000000), 0, 300);
    EXPECT_EQ(c.InterpolateZAtX(5, 0, 2147483647, 10, 2147483647), 2147483647);
}

TEST(Interpolation, HeightAtTheLastPointUsesThatPoint)
{
    CWheelCalc c;
    const auto p = Line(3, 1000, 1000, 10, 10);
    EXPECT_EQ(c.HeightBetween(3, p.data(), 2, 3000), 30);
    EXPECT_EQ(c.HeightBetween(3, p.data(), 2, 3500), 30);
    EXPECT_EQ(c.HeightBetween(3, p.data(), -1, 1000), 10);
    EXPECT_EQ(c.HeightBetween(0, p.data(), 0, 1000), 0);
}

TEST(Searches, LastIndexAtOrBelowXSkipsEmptyPoints)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p = {{0, 5}, {0, 5}, {3000, 1}, {4000, 1}};
    EXPECT_EQ(c.LastIndexAtOrBelowX(4, p.data(), 0, 4, 1000), 0);  // x = 0 never qualifies
    EXPECT_EQ(c.LastIndexAtOrBelowX(4, p.data(), 0, 4, 3500), 2);
    EXPECT_EQ(c.LastIndexAtOrBelowX(4, p.data(), 0, 4, 99999), 3);
    EXPECT_EQ(c.LastIndexAtOrBelowX(4, p.data(), -5, 40, 99999), 3);  // bounds kept inside the profile
}

TEST(Searches, OnePassAnswersAsTheScanForGrowingLimits)
{
    // The samplers' way of asking: growing limits, each search from the
    // answer before (resampling, comparison) or from index 1 (wear zones), and
    // from anywhere at all.
    // Profiles whose x never decreases, with repeated x, negative x and an
    // empty block at x = 0, and the same profiles out of order, must get the
    // scan's answer from the one pass.
    CWheelCalc c;
    std::mt19937 random(17);
    auto draw = [&](int n) { return static_cast<LONG>(random() % static_cast<uint32_t>(n)); };
    for (int trial = 0; trial < 400; ++trial) {
        std::vector<ProfilePoint> p(static_cast<size_t>(1 + draw(400)));
        LONG x = -draw(3000);
        for (ProfilePoint& q : p) {
            x += draw(4) == 0 ? 0 : draw(150);
            q = {std::abs(x) < 40 ? 0 : x, draw(5000)};
        }
        const LONG lowest = p.front().x, highest = p.back().x;
        const int disorder = trial % 4;  // 0 in order, 1 two swapped, 2 shuffled, 3 reversed
        if (disorder == 1) {
            std::swap(p[static_cast<size_t>(draw(static_cast<int>(p.size())))], p.back());
        } else if (disorder == 2) {
            std::shuffle(p.begin(), p.end(), random);
        } else if (disorder == 3) {
            std::reverse(p.begin(), p.end());
        }
        const DWORD n = static_cast<DWORD>(p.size());
        for (int mode = 0; mode < 4; ++mode) {
            qcalc::XSearch search(p.data(), n);
            EXPECT_EQ(qcalc::XNeverDecreases(p.data(), static_cast<int>(n)), search.Ascending());
            if (disorder == 0) {
                EXPECT_TRUE(search.Ascending()) << "trial " << trial;
            }
            int from = mode == 0 ? 0 : 1;
            for (LONG limit = lowest - 500; limit < highest + 500; limit += draw(200)) {
                if (mode == 3) {
                    from = draw(static_cast<int>(n) + 1);
                }
                const int scan = c.LastIndexAtOrBelowX(n, p.data(), from, static_cast<int>(n), limit);
                const int pass = search.Next(from, limit);
                ASSERT_EQ(scan, pass) << "trial " << trial << ", mode " << mode << ", limit " << limit;
                if (mode < 2) {
                    from = pass;
                }
            }
        }
    }
}

TEST(Searches, FindZBelowScanEndsAndDirections)
{
    CWheelCalc c;
    const auto p = Line(10, 1000, 1000, 0, 0);  // every point at or below the level
    EXPECT_EQ(c.FindZBelow(10, p.data(), 0, 10, 0, 0), -1);  // the last match is the scan's end
    EXPECT_EQ(c.FindZBelow(10, p.data(), 0, 10, 0, 1), 0);
    EXPECT_EQ(c.FindZBelow(10, p.data(), 9, 0, 0, 0), -1);   // backwards down to index 1, which is the end
    EXPECT_EQ(c.FindZBelow(10, p.data(), 9, 0, 0, 1), 9);
    EXPECT_EQ(c.FindZBelow(10, p.data(), 0, 10, -1, 0), -1);  // nothing qualifies
    EXPECT_EQ(c.FindZBelow(10, p.data(), -4, 10, 0, 1), 0);   // never before the first point
    const auto rising = Line(10, 1000, 1000, 0, 100);
    EXPECT_EQ(c.FindZBelow(10, rising.data(), 0, 10, 450, 0), 4);
    EXPECT_EQ(c.FindZBelow(10, rising.data(), 0, 0, 450, 0), -1);  // empty scan
}

TEST(Searches, LowestPointRestrictedWindowExcludesItsBounds)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p = {{5000, -10}, {6000, 4}, {7000, 3}, {8000, 3}, {70000, -20}};
    EXPECT_EQ(c.LowestPointIndex(5, p.data(), 1), 2);  // first of the equal lowest
    EXPECT_EQ(c.LowestPointIndex(5, p.data(), 0), 4);
    std::vector<ProfilePoint> none = {{1000, 1}, {80000, 2}};
    EXPECT_EQ(c.LowestPointIndex(2, none.data(), 1), 0);
}

TEST(Searches, ExtremumInWindowStartValues)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p = {{1000, -5}, {2000, -1}, {3000, 200000}, {4000, 7}};
    EXPECT_EQ(c.ExtremumInWindow(4, p.data(), 1000, 2000, 1), 0);  // no z above 0: none, index 0
    EXPECT_EQ(c.ExtremumInWindow(4, p.data(), 1000, 4000, 1), 2);
    EXPECT_EQ(c.ExtremumInWindow(4, p.data(), 3000, 3000, 0), 0);  // 200000 is above the start of 100000
    EXPECT_EQ(c.ExtremumInWindow(4, p.data(), 1000, 4000, 0), 0);
    EXPECT_EQ(c.LastNonZeroX(4, p.data()), 4000);
    std::vector<ProfilePoint> empty = {{0, 0}, {0, 0}};
    EXPECT_EQ(c.LastNonZeroX(2, empty.data()), 0);
}

TEST(Slopes, MeanSlopeAngleOfAKnownLine)
{
    CWheelCalc c;
    const auto p = Line(40, 1000, 100, 0, 100);  // 45 degrees
    EXPECT_NEAR(c.MeanSlopeAngle(40, p.data(), 2000, 0, 40, 5), 45.0f, 1e-3);
    EXPECT_NEAR(c.MeanSlopeAngle(40, p.data(), 2000, 0, 40, 1), 45.0f, 1e-3);
    EXPECT_EQ(c.MeanSlopeAngle(40, p.data(), -1, 0, 40, 5), 0.0f);  // level never crossed
    EXPECT_EQ(c.MeanSlopeAngle(40, p.data(), 2000, 0, 40, 0), 0.0f);
    std::vector<ProfilePoint> vertical = {{1000, 0}, {1000, 100}, {1000, 200}, {1000, 300}, {2000, 900}};
    EXPECT_FALSE(std::isnan(c.MeanSlopeAngle(5, vertical.data(), 250, 0, 5, 3)));
}

TEST(Slopes, FitLineFigureAndItsSign)
{
    CWheelCalc c;
    // z = x / 2 over the window: slope 0.5, figure (var x) / (2 cov) = 1 / (2 * 0.5) = 1.0
    const auto rising = Line(200, 1000, 100, 0, 50);
    DWORD value = 0;
    int index = -1;
    EXPECT_EQ(c.FitLine(3000, 200, rising.data(), &value, &index), 1000u);
    EXPECT_EQ(value, 1000u);
    EXPECT_EQ(index, 20);
    // A falling line has a negative figure, which reads as 0 rather than wrapping.
    const auto falling = Line(200, 1000, 100, 20000, -50);
    EXPECT_EQ(c.FitLine(3000, 200, falling.data(), &value, &index), 0u);
    // A level line has no covariance.
    const auto level = Line(200, 1000, 100, 7, 0);
    EXPECT_EQ(c.FitLine(3000, 200, level.data(), &value, &index), 0u);
}

TEST(Intersections, LinesAndProfiles)
{
    CWheelCalc c;
    double X = -1.0, Z = -1.0;
    EXPECT_EQ(c.IntersectSegments(0, 0, 10, 10, 0, 10, 10, 0, &X, &Z), 1);
    EXPECT_DOUBLE_EQ(X, 5.0);
    EXPECT_DOUBLE_EQ(Z, 5.0);
    X = Z = -1.0;
    EXPECT_EQ(c.IntersectSegments(0, 0, 10, 10, 0, 1, 10, 11, &X, &Z), 0);
    EXPECT_EQ(X, -1.0);  // untouched

    // The reference at 45 degrees, the measured profile 2000 um lower: the
    // normal through the reference at level 30000 meets it 1414 um away.
    const auto ref = Line(600, 10000, 100, 10000, 100);
    const auto meas = Line(600, 10000, 100, 8000, 100);
    LONG xA = 0, zA = 0, xB = 0, zB = 0;
    const LONG d = c.IntersectLineWithProfile(600, meas.data(), 600, ref.data(), 30000, &xA, &zA, &xB, &zB);
    EXPECT_NEAR(d, 1414, 2);
    EXPECT_EQ(xA, 30000);
    EXPECT_EQ(zA, 30000);
    EXPECT_NEAR(xB, 31000, 2);
    EXPECT_NEAR(zB, 29000, 2);
    // A level the reference never crosses after its lowest point: no foot, outputs untouched.
    xA = zA = xB = zB = 77;
    EXPECT_EQ(c.IntersectLineWithProfile(600, meas.data(), 600, ref.data(), -5, &xA, &zA, &xB, &zB), 0);
    EXPECT_EQ(xA, 77);
}

TEST(Intersections, PointsBeforeXFallsBackToTheNearerPoint)
{
    CWheelCalc c;
    const auto p = Line(10, 1000, 1000, 100, 100);
    double x1, z1, x2, z2;
    c.PointsBeforeX(8000.0, &x1, &z1, &x2, &z2, p.data(), 10);
    EXPECT_EQ(x1, 6000.0);
    EXPECT_EQ(x2, 4000.0);
    c.PointsBeforeX(4500.0, &x1, &z1, &x2, &z2, p.data(), 10);
    EXPECT_EQ(x1, 2000.0);
    EXPECT_EQ(x2, 2000.0);  // nothing 4000 before: the 2000 point again
}

TEST(ExtendStart, DescendsTowardsTheOldStartAndRespectsCapacity)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p(kMaxProfilePoints);
    p[0] = {1000, 100};
    p[1] = {2000, 200};
    DWORD count = 2;
    ProfileKeyPoints keys = {};
    keys.points[0] = {0, 500};
    keys.points[1] = {0, 300};
    EXPECT_EQ(c.ExtendStart(&count, p.data(), &keys, 4), 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(count, 6u), FIELD_IS(p[0].z, 400), FIELD_IS(p[3].z, 100),
                                 FIELD_IS(p[4].x, 1000), FIELD_IS(p[5].x, 2000)));
    keys.points[1].z = 50;  // first point not below key point 1
    EXPECT_EQ(c.ExtendStart(&count, p.data(), &keys, 4), 0);
    keys.points[1].z = 300;
    count = kMaxProfilePoints - 2;
    EXPECT_EQ(c.ExtendStart(&count, p.data(), &keys, 4), 0);  // would not fit
    EXPECT_EQ(count, kMaxProfilePoints - 2);
}
