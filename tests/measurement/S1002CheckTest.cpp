// The wheel pipeline against an outside truth: the S1002 standard profile
// from its published formula, sent through a head's dump, must give back the
// profile's nominal flange height, thickness and slope.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/measurement/CalcFixtures.h"

using calctest::RunWheel;
using calctest::S1002Settings;
using profilegen::S1002Height;

namespace {

constexpr double kToleranceUm = 10.0;

// The pipeline smooths the decoded profile twice with a window of 9 samples.
// On the flank, curved as it is, the mean of a window lies a little off the
// surface, and the crossings of the thickness and slope levels move by about
// 6 um (see SmoothingMovesTheFlankCrossingsBySixMicrometres). Values measured
// through a dump carry that bias; the flange height, taken where the profile
// is level, does not.
constexpr double kSmoothingBiasUm = 6.0;

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

// What the evaluation's definitions give, through a dump, for a wheel moved
// outwards by `shift` micrometres whose tread is worn hollow by `hollow`
// micrometres at "L2" = 70 mm: the height there, the thickness level 10 mm
// above it, and the slope from 2 mm below the tip to that level.
struct Expected {
    double flangeHeight, flangeThickness, flangeSlope;
};

Expected Geometry(double shiftUm, double hollowUm = 0.0)
{
    const double datum = S1002Height(-shiftUm / 1000.0) - hollowUm / 1000.0;  // height at x = 70 mm
    const double thicknessLevel = datum + 10.0;
    const double slopeTop = 28.0 - 2.0;
    const double xThickness = (FlankCrossing(thicknessLevel) + 70.0) * 1000.0 + shiftUm;
    const double xTop = (FlankCrossing(slopeTop) + 70.0) * 1000.0 + shiftUm;
    return {(28.0 - datum) * 1000.0, xThickness + kSmoothingBiasUm, xThickness - xTop + kSmoothingBiasUm};
}

// The integer points of the formula's profile, as a profile array holds them.
std::vector<ProfilePoint> FormulaPoints(double stepUm)
{
    std::vector<ProfilePoint> points;
    for (const profilegen::Point& p : profilegen::S1002Profile(stepUm)) {
        points.push_back({static_cast<LONG>(std::lround(p.x)), static_cast<LONG>(std::lround(p.z))});
    }
    return points;
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

TEST(S1002Check, SmoothingMovesTheFlankCrossingsBySixMicrometres)
{
    // The formula's points evaluated as they are give the published values...
    for (double step : {25.0, 50.0}) {
        const std::vector<ProfilePoint> points = FormulaPoints(step);
        ASSERT_LE(points.size(), kMaxProfilePoints);
        CWheelCalc c;
        ProfileKeyPoints keys = {};
        WheelResult r = {};
        ASSERT_EQ(1, c.Evaluate(static_cast<DWORD>(points.size()), points.data(), &keys, 0, nullptr, nullptr,
                                S1002Settings(), &r, 1));
        EXPECT_NEAR(r.values[0], 28000, 1) << "step " << step;
        EXPECT_NEAR(r.values[1], 32500, 1) << "step " << step;
        EXPECT_NEAR(r.values[5], 10794, 1) << "step " << step;
    }
    // ... and the same wheel through a head's dump and the smoothing 6 um more.
    const auto run = RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(), S1002Settings());
    EXPECT_NEAR(run->result.values[0], 28000, 1);
    EXPECT_NEAR(run->result.values[1], 32506, 1);
    EXPECT_NEAR(run->result.values[5], 10800, 1);
}

// Every check through the pipeline runs in both level modes.
class S1002Pipeline : public ::testing::TestWithParam<BYTE> {
protected:
    std::unique_ptr<calctest::WheelRun> Run(const profilegen::WheelShape& shape = {},
                                            const profilegen::HeadEncoding& head = profilegen::DefaultWheelHead(),
                                            const HeadSettings& hs = S1002Settings())
    {
        return RunWheel(profilegen::S1002Profile(10.0, shape), head, hs, GetParam());
    }

    static void ExpectValues(const WheelResult& r, const Expected& e, const std::string& what)
    {
        EXPECT_NEAR(r.values[0], e.flangeHeight, kToleranceUm) << what;
        EXPECT_NEAR(r.values[1], e.flangeThickness, kToleranceUm) << what;
        EXPECT_NEAR(r.values[5], e.flangeSlope, kToleranceUm) << what;
    }
};

INSTANTIATE_TEST_SUITE_P(LevelModes, S1002Pipeline, ::testing::Values(BYTE{0}, BYTE{1}),
                         [](const ::testing::TestParamInfo<BYTE>& info) {
                             return "LevelMode" + std::to_string(info.param);
                         });

TEST_P(S1002Pipeline, GivesNominalFlangeHeightThicknessAndSlope)
{
    const auto run = Run();
    ASSERT_GT(run->count, 2000u);
    ExpectValues(run->result, Geometry(0.0), "standard wheel");
    // The profile was shifted onto its lowest point, the flange tip.
    EXPECT_NEAR(run->keys.points[2].z - 2000, 0, 1);
    EXPECT_NEAR(run->result.MinY, 20000, 10);  // the head's 20 mm stand-off
    // The key points sit where the formula puts them.
    EXPECT_EQ(run->keys.points[0].x, 70000);
    EXPECT_NEAR(run->keys.points[1].x, 32500.0 + kSmoothingBiasUm, kToleranceUm);
    EXPECT_NEAR(run->keys.points[2].x, (FlankCrossing(26.0) + 70.0) * 1000.0, kToleranceUm);
}

TEST_P(S1002Pipeline, ShiftedWheelMovesValuesAsGeometryPredicts)
{
    for (double shift : {-1500.0, 800.0, 2500.0}) {
        profilegen::WheelShape shape;
        shape.shiftXUm = shift;
        ExpectValues(Run(shape)->result, Geometry(shift), "shift " + std::to_string(shift));
    }
}

TEST_P(S1002Pipeline, StandOffOfTheHeadChangesNothing)
{
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.standoffUm = 35000;
    const auto run = Run({}, head);
    ExpectValues(run->result, Geometry(0.0), "stand-off 35 mm");
    EXPECT_NEAR(run->result.MinY, 35000.0, 10.0);
}

TEST_P(S1002Pipeline, TiltThatTheLevellingWordUndoesChangesNothing)
{
    for (int16_t word0 : {static_cast<int16_t>(40), static_cast<int16_t>(180), static_cast<int16_t>(250)}) {
        profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
        head.words[0] = word0;  // (word0 - 100) / 10000 rad, as the levelling reads it
        ExpectValues(Run({}, head)->result, Geometry(0.0), "word 0 = " + std::to_string(word0));
    }
}

TEST_P(S1002Pipeline, TiltLeftUncorrectedIsSeen)
{
    // The same tilted view with an identity levelling word: the flange height
    // changes by the tilt's lift over the 55 mm from tip to datum.
    profilegen::HeadEncoding tilted = profilegen::DefaultWheelHead();
    tilted.words[0] = 300;  // 0.02 rad
    std::vector<uint8_t> dump = profilegen::EncodeDump(profilegen::S1002Profile(), tilted);
    auto run = std::make_unique<calctest::WheelRun>();
    run->regs = calctest::RegistersOf(profilegen::DefaultWheelHead());
    calctest::Process(dump, tilted.rangeMm, *run, S1002Settings(), GetParam(), nullptr, 0, 1);
    ASSERT_GT(run->count, 2000u);
    EXPECT_GT(std::fabs(run->result.values[0] - 28000.0), 500.0);
}

TEST_P(S1002Pipeline, NoiseOnTheSamplesStaysWithinTolerance)
{
    for (uint32_t seed : {1u, 7u, 42u}) {
        profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
        head.noiseUm = 20.0;
        head.seed = seed;
        head.noisyHighNibbles = true;
        ExpectValues(Run({}, head)->result, Geometry(0.0), "seed " + std::to_string(seed));
    }
}

TEST_P(S1002Pipeline, ThinnedFlangeLosesExactlyTheThinning)
{
    for (double thinning : {500.0, 1500.0, 3000.0}) {
        profilegen::WheelShape shape;
        shape.flangeThinningUm = thinning;
        Expected e = Geometry(0.0);
        e.flangeThickness -= thinning;
        ExpectValues(Run(shape)->result, e, "thinning " + std::to_string(thinning));
    }
}

TEST_P(S1002Pipeline, HollowTreadRaisesTheFlangeByItsDepth)
{
    // The tread worn down at "L2": the flange stands higher by the depth, and
    // the thickness level, 10 mm above the worn tread, lies lower on the flank.
    for (double depth : {1000.0, 3000.0}) {
        profilegen::WheelShape shape;
        shape.hollowDepthUm = depth;
        const auto run = Run(shape);
        ExpectValues(run->result, Geometry(0.0, depth), "hollow " + std::to_string(depth));
        EXPECT_NEAR(run->result.values[0], 28000.0 + depth, kToleranceUm);
    }
}

TEST_P(S1002Pipeline, FactoryThicknessLevelMeasuresHigherUpTheFlank)
{
    // With the factory "L3" of 13 mm the thickness is taken 13 mm below the
    // height at "L2", where the flank is thinner: that is the definition, not
    // an error, and the formula predicts it.
    const auto run = Run({}, profilegen::DefaultWheelHead(), calctest::FactoryHeadSettings());
    const double expected = (FlankCrossing(13.0) + 70.0) * 1000.0 + kSmoothingBiasUm;
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
    calctest::Process(dump, head.rangeMm, *run, hs, 0, limits.data(), 120000);
    EXPECT_EQ(run->result.status[1], 2);
    const LONG tyre = 120000 + 10 * 500 - run->keys.points[0].z - run->result.MinY;
    EXPECT_EQ(run->result.values[8], tyre);
    EXPECT_EQ(run->result.values[7], 674000 + 2 * tyre);
    // Skipped: the same profile, but neither tyre nor grading is touched.
    auto skipped = std::make_unique<calctest::WheelRun>();
    skipped->regs = calctest::RegistersOf(head);
    skipped->result.status[1] = 7;
    dump = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    calctest::Process(dump, head.rangeMm, *skipped, hs, 0, limits.data(), 120000, 1);
    EXPECT_EQ(skipped->result.status[1], 7);
    EXPECT_EQ(skipped->result.values[8], 0);
}
