// The wheel pipeline against an outside truth: the S1002 standard profile
// from its published formula, sent through a head's dump, must give back the
// profile's nominal flange height, thickness and slope.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "tests/measurement/CalcFixtures.h"

using calctest::RunWheel;
using calctest::S1002Settings;
using profilegen::S1002Height;

namespace {

constexpr double kToleranceUm = 50.0;

// s (mm) on the flank where the height f crosses `level`, by bisection between
// the flange tip and the flank's root.
double FlankCrossing(double level)
{
    double lo = -55.0, hi = -30.0;  // f falls from 28 to about 1 over this span
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2.0;
        if (S1002Height(mid) > level) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return (lo + hi) / 2.0;
}

// What the evaluation's definitions give for a wheel moved outwards by `shift`
// micrometres: the height at "L2" = 70 mm, the thickness level 10 mm above it,
// and the slope from 2 mm below the tip to that level.
struct Expected {
    double flangeHeight, flangeThickness, flangeSlope;
};

Expected Geometry(double shiftUm)
{
    const double datum = S1002Height(-shiftUm / 1000.0);  // height of the profile at x = 70 mm
    const double thicknessLevel = datum + 10.0;
    const double slopeTop = 28.0 - 2.0;
    const double xThickness = (FlankCrossing(thicknessLevel) + 70.0) * 1000.0 + shiftUm;
    const double xTop = (FlankCrossing(slopeTop) + 70.0) * 1000.0 + shiftUm;
    return {(28.0 - datum) * 1000.0, xThickness, xThickness - xTop};
}

}  // namespace

TEST(S1002Check, FormulaItselfGivesTheNominalValues)
{
    EXPECT_NEAR(S1002Height(-55.0), 28.0, 1e-3);
    EXPECT_NEAR(S1002Height(0.0), 0.0, 1e-9);
    EXPECT_NEAR(FlankCrossing(10.0), -37.5, 0.01);
    EXPECT_NEAR(FlankCrossing(26.0), -48.294, 0.01);
    // Sections meet without a jump.
    for (double s : {-62.764705882, -49.662510381, -39.764473993, -38.426669071, -35.0, -26.0, 32.15796}) {
        EXPECT_NEAR(S1002Height(s - 1e-7), S1002Height(s + 1e-7), 2e-3) << "at s = " << s;
    }
}

TEST(S1002Check, PipelineGivesNominalFlangeHeightThicknessAndSlope)
{
    const auto run = RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(), S1002Settings());
    ASSERT_GT(run->count, 2000u);
    const WheelResult& r = run->result;
    EXPECT_NEAR(r.values[0], profilegen::kS1002FlangeHeightMm * 1000.0, kToleranceUm);
    EXPECT_NEAR(r.values[1], profilegen::kS1002FlangeThicknessMm * 1000.0, kToleranceUm);
    EXPECT_NEAR(r.values[5], profilegen::kS1002FlangeSlopeMm * 1000.0, kToleranceUm);
    // The profile was shifted onto its lowest point, the flange tip.
    EXPECT_NEAR(run->keys.points[2].z - 2000, 0, 1);
    EXPECT_GT(r.MinY, 19000);  // the head's 20 mm stand-off, less the quantisation
    // The key points sit where the formula puts them.
    EXPECT_EQ(run->keys.points[0].x, 70000);
    EXPECT_NEAR(run->keys.points[1].x, 32500.0, kToleranceUm);
    EXPECT_NEAR(run->keys.points[2].x, (FlankCrossing(26.0) + 70.0) * 1000.0, kToleranceUm);
}

TEST(S1002Check, ShiftedWheelMovesValuesAsGeometryPredicts)
{
    for (double shift : {-1500.0, 800.0, 2500.0}) {
        profilegen::WheelShape shape;
        shape.shiftXUm = shift;
        const auto run = RunWheel(profilegen::S1002Profile(10.0, shape), profilegen::DefaultWheelHead(),
                                  S1002Settings());
        const Expected e = Geometry(shift);
        EXPECT_NEAR(run->result.values[0], e.flangeHeight, kToleranceUm) << "shift " << shift;
        EXPECT_NEAR(run->result.values[1], e.flangeThickness, kToleranceUm) << "shift " << shift;
        EXPECT_NEAR(run->result.values[5], e.flangeSlope, kToleranceUm) << "shift " << shift;
    }
}

TEST(S1002Check, StandOffOfTheHeadChangesNothing)
{
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.standoffUm = 35000;
    const auto run = RunWheel(profilegen::S1002Profile(), head, S1002Settings());
    EXPECT_NEAR(run->result.values[0], 28000.0, kToleranceUm);
    EXPECT_NEAR(run->result.values[1], 32500.0, kToleranceUm);
    EXPECT_NEAR(run->result.values[5], 10794.0, kToleranceUm);
    EXPECT_NEAR(run->result.MinY, 35000.0, 10.0);
}

TEST(S1002Check, TiltThatTheLevellingWordUndoesChangesNothing)
{
    for (int16_t word0 : {static_cast<int16_t>(40), static_cast<int16_t>(180), static_cast<int16_t>(250)}) {
        profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
        head.words[0] = word0;  // (word0 - 100) / 10000 rad, as the levelling reads it
        const auto run = RunWheel(profilegen::S1002Profile(), head, S1002Settings());
        EXPECT_NEAR(run->result.values[0], 28000.0, kToleranceUm) << "word 0 = " << word0;
        EXPECT_NEAR(run->result.values[1], 32500.0, kToleranceUm) << "word 0 = " << word0;
        EXPECT_NEAR(run->result.values[5], 10794.0, kToleranceUm) << "word 0 = " << word0;
    }
}

TEST(S1002Check, TiltLeftUncorrectedIsSeen)
{
    // The same tilted view with an identity levelling word: the flange height
    // changes by the tilt's lift over the 55 mm from tip to datum.
    profilegen::HeadEncoding tilted = profilegen::DefaultWheelHead();
    tilted.words[0] = 300;  // 0.02 rad
    std::vector<uint8_t> dump = profilegen::EncodeDump(profilegen::S1002Profile(), tilted);
    SensorRegisters regs = calctest::RegistersOf(profilegen::DefaultWheelHead());
    static ProfilePoint points[kMaxProfilePoints];
    DWORD count = 0, refCount = 0;
    ProfileKeyPoints keys = {}, refKeys = {};
    WheelResult result = {};
    CWheelCalc calc;
    calc.ProcessMeasurement(dump.data(), tilted.rangeMm, &regs, 0, S1002Settings(), nullptr, 0, &refCount, nullptr,
                            &refKeys, &count, points, &keys, &result, 0, 1, static_cast<DWORD>(dump.size()));
    EXPECT_GT(std::fabs(result.values[0] - 28000.0), 500.0);
}

TEST(S1002Check, NoiseOnTheSamplesStaysWithinTolerance)
{
    for (uint32_t seed : {1u, 7u, 42u}) {
        profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
        head.noiseUm = 20.0;
        head.seed = seed;
        head.noisyHighNibbles = true;
        const auto run = RunWheel(profilegen::S1002Profile(), head, S1002Settings());
        EXPECT_NEAR(run->result.values[0], 28000.0, kToleranceUm) << "seed " << seed;
        EXPECT_NEAR(run->result.values[1], 32500.0, kToleranceUm) << "seed " << seed;
        EXPECT_NEAR(run->result.values[5], 10794.0, kToleranceUm) << "seed " << seed;
    }
}

TEST(S1002Check, ThinnedFlangeLosesExactlyTheThinning)
{
    for (double thinning : {500.0, 1500.0, 3000.0}) {
        profilegen::WheelShape shape;
        shape.flangeThinningUm = thinning;
        const auto run = RunWheel(profilegen::S1002Profile(10.0, shape), profilegen::DefaultWheelHead(),
                                  S1002Settings());
        EXPECT_NEAR(run->result.values[0], 28000.0, kToleranceUm) << "thinning " << thinning;
        EXPECT_NEAR(run->result.values[1], 32500.0 - thinning, kToleranceUm) << "thinning " << thinning;
        EXPECT_NEAR(run->result.values[5], 10794.0, kToleranceUm) << "thinning " << thinning;
    }
}

TEST(S1002Check, FactoryThicknessLevelMeasuresHigherUpTheFlank)
{
    // With the factory "L3" of 13 mm the thickness is taken 13 mm below the
    // height at "L2", where the flank is thinner: that is the definition, not
    // an error, and the formula predicts it.
    const auto run = RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(),
                              calctest::FactoryHeadSettings());
    const double expected = (FlankCrossing(13.0) + 70.0) * 1000.0;
    EXPECT_NEAR(run->result.values[1], expected, kToleranceUm);
    EXPECT_LT(run->result.values[1], 32500 - 500);
}

TEST(S1002Check, ComparisonWithTheStandardFindsTheWornFlank)
{
    const auto standard = RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(), S1002Settings());
    profilegen::WheelShape worn;
    worn.flangeThinningUm = 1500;
    const auto thinned = RunWheel(profilegen::S1002Profile(10.0, worn), profilegen::DefaultWheelHead(),
                                  S1002Settings());
    CWheelCalc c;
    static DeviationRow rows[kMaxDeviationRows];
    DWORD rowCount = 0;
    double minDev = 0, maxDev = 0, maxAbs = 0;
    c.CompareWithReference(standard->count, standard->points, standard->count, standard->points, 0, 0, &rowCount,
                           rows, &minDev, &maxDev, &maxAbs, 250);
    EXPECT_GT(rowCount, 500u);
    EXPECT_EQ(maxAbs, 0.0);  // a profile against itself
    c.CompareWithReference(thinned->count, thinned->points, standard->count, standard->points, 0, 0, &rowCount, rows,
                           &minDev, &maxDev, &maxAbs, 250);
    EXPECT_GT(maxAbs, 1000.0);  // the flank moved 1.5 mm sideways on a steep face
    for (DWORD k = 0; k < rowCount; ++k) {
        if (rows[k].x > 40000) {
            EXPECT_LE(std::abs(rows[k].dz), 20) << "tread at x " << rows[k].x;
        }
    }
    WheelResult r = thinned->result;
    c.WearZones(thinned->count, thinned->points, standard->count, standard->points, &r);
    // The squeezed back of the flange departs from the standard by more than 0.2 mm: a zone.
    EXPECT_GE(r.values[26], 200);
    EXPECT_GT(r.values[25], 0);
}

TEST(S1002Check, PipelineGradesAndFindsTyreUnlessSkipped)
{
    HeadSettings hs = S1002Settings();
    hs.switches[7] = 2;
    hs.switches[8] = 2;
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.words[7] = 500;  // the head's Lapka register
    std::vector<LONG> limits(kWheelLimitCount, 0);
    limits[1] = 32000;  // thickness 32.5 mm is above this upper limit
    limits[22 + 1] = 22000;
    auto run = std::make_unique<calctest::WheelRun>();
    run->regs = calctest::RegistersOf(head);
    std::vector<uint8_t> dump = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    const DWORD refCount = 0;
    ProfileKeyPoints refKeys = {};
    CWheelCalc c;
    c.ProcessMeasurement(dump.data(), head.rangeMm, &run->regs, 120000, hs, limits.data(), 0, &refCount, nullptr,
                         &refKeys, &run->count, run->points, &run->keys, &run->result, 0, 0,
                         static_cast<DWORD>(dump.size()));
    EXPECT_EQ(run->result.status[1], 2);
    const LONG tyre = 120000 + 10 * 500 - run->keys.points[0].z - run->result.MinY;
    EXPECT_EQ(run->result.values[8], tyre);
    EXPECT_EQ(run->result.values[7], 674000 + 2 * tyre);
    // Skipped: the same profile, but neither tyre nor grading is touched.
    auto skipped = std::make_unique<calctest::WheelRun>();
    skipped->regs = calctest::RegistersOf(head);
    skipped->result.status[1] = 7;
    dump = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    c.ProcessMeasurement(dump.data(), head.rangeMm, &skipped->regs, 120000, hs, limits.data(), 0, &refCount, nullptr,
                         &refKeys, &skipped->count, skipped->points, &skipped->keys, &skipped->result, 0, 1,
                         static_cast<DWORD>(dump.size()));
    EXPECT_EQ(skipped->result.status[1], 7);
    EXPECT_EQ(skipped->result.values[8], 0);
}
