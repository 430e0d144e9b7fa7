// The wheel evaluation's options and switches, and the grading of a result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/measurement/CalcFixtures.h"
#include "tests/support/Fields.h"

namespace {

// The S1002 wheel after the pipeline: a realistic profile to evaluate again.
const calctest::WheelRun& Wheel()
{
    static const std::unique_ptr<calctest::WheelRun> run =
        calctest::RunWheel(profilegen::S1002Profile(), profilegen::DefaultWheelHead(), calctest::S1002Settings());
    return *run;
}

WheelResult Marked()
{
    WheelResult r;
    for (int i = 0; i < kWheelValueCount; ++i) {
        r.values[i] = -777;
    }
    r.MinY = 0;
    std::memset(r.status, 9, sizeof(r.status));
    return r;
}

// An evaluation without a reference, by the S1002 settings a test adjusts.
class WheelEvaluate : public ::testing::Test {
protected:
    int Evaluate(DWORD count, const ProfilePoint* points, LONG flag = 1)
    {
        return c.Evaluate(count, points, &keys, 0, nullptr, nullptr, hs, &r, flag);
    }
    // The S1002 wheel itself.
    int EvaluateWheel(LONG flag = 1) { return Evaluate(Wheel().count, Wheel().points, flag); }

    CWheelCalc c;
    HeadSettings hs = calctest::S1002Settings();
    ProfileKeyPoints keys = {};
    WheelResult r = {};
};

}  // namespace

TEST_F(WheelEvaluate, EmptyProfileWritesNothing)
{
    std::memset(&keys, 0x11, sizeof(keys));
    r = Marked();
    EXPECT_EQ(Evaluate(0, Wheel().points), 0);
    EXPECT_EQ(keys.points[0].x, 0x11111111);
    EXPECT_EQ(r.values[0], -777);
}

TEST_F(WheelEvaluate, OptionFourLeavesItsValuesButComputesTwelveAndSixteen)
{
    hs.options[1] = 4;
    for (int k : {2, 3, 4, 5, 6, 12, 16, 17, 20}) {
        hs.switches[k] = 2;
    }
    r = Marked();
    ASSERT_EQ(EvaluateWheel(), 1);
    for (int v : {5, 6, 9, 10, 11, 17, 18, 19, 20, 21}) {
        EXPECT_EQ(r.values[v], -777) << "value " << v;
    }
    EXPECT_NE(r.values[12], -777);
    EXPECT_EQ(r.values[16], Wheel().points[Wheel().count - 1].x);
    // "L9" - KP6.x, KP6 from the first crossing after "L2" (none on this tread).
    EXPECT_EQ(r.values[2], hs.dimensions[DIM_L9] - keys.points[6].x);
}

TEST_F(WheelEvaluate, OptionOneChoosesTheLevelOfTheThickness)
{
    EvaluateWheel();
    const WheelResult fromL2 = r;
    EXPECT_EQ(keys.points[1].z, keys.points[0].z - 10000);
    hs.options[0] = 2;
    r = {};
    EvaluateWheel();
    EXPECT_EQ(keys.points[1].z, 10000);  // 10 mm below the tip, nearer the tip than 10 mm above the datum
    EXPECT_LT(r.values[1], fromL2.values[1]);
}

TEST_F(WheelEvaluate, OptionTwoFindsTheBackOfTheFlange)
{
    hs.options[0] = 2;
    hs.options[1] = 2;
    EvaluateWheel();
    // With the level 10 mm above the tip (option 1 = 2) the back of the
    // flange crosses it at f = 18, s = -68.16 mm (section H of the formula).
    EXPECT_NEAR(keys.points[6].x, 1840, 60);
    EXPECT_EQ(keys.points[6].z, 10000);
    EXPECT_EQ(r.values[4], keys.points[6].x);
    EXPECT_EQ(r.values[1], keys.points[1].x - keys.points[6].x);
    EXPECT_EQ(r.values[14], 0);  // stand-alone evaluation
}

TEST_F(WheelEvaluate, MissingFarSideCrossingFallsBackToTheReference)
{
    hs.options[0] = 2;
    hs.options[1] = 2;
    // A measured profile cut at the tip: no back of the flange to cross.
    auto cut = std::make_unique<calctest::WheelRun>();
    const calctest::WheelRun& w = Wheel();
    DWORD n = 0;
    for (DWORD i = 0; i < w.count; ++i) {
        if (w.points[i].x >= 15000) {
            cut->points[n++] = w.points[i];
        }
    }
    ProfileKeyPoints refKeys = {};
    WheelResult refResult = {};
    c.Evaluate(w.count, w.points, &refKeys, 0, nullptr, nullptr, hs, &refResult, 1);
    ASSERT_GT(refKeys.points[6].x, 0);
    c.Evaluate(n, cut->points, &keys, w.count, w.points, &refKeys, hs, &r, 0);
    EXPECT_EQ(keys.points[6].x, refKeys.points[6].x);
    EXPECT_EQ(r.values[4], refKeys.points[6].x);
    EXPECT_EQ(r.values[14], 0);  // same flange as the reference
    EXPECT_EQ(r.values[13], 0);
    EXPECT_EQ(r.values[22], 0);
    // Without a reference the far side stays unknown.
    Evaluate(n, cut->points, 0);
    EXPECT_EQ(keys.points[6].x, 0);
}

TEST_F(WheelEvaluate, LevelNeverCrossedLeavesKeyPointsAndValuesAtZero)
{
    std::vector<ProfilePoint> flat(300);
    for (int i = 0; i < 300; ++i) {
        flat[static_cast<size_t>(i)] = {1000 + 500 * i, 0};
    }
    r = Marked();
    ASSERT_EQ(Evaluate(300, flat.data()), 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(r.values[0], 0), FIELD_IS(r.values[1], 0), FIELD_IS(r.values[5], 0),
                                 FIELD_IS(r.values[6], 0), FIELD_IS(keys.points[1].x, 0),
                                 FIELD_IS(keys.points[1].z, 0)));
}

TEST_F(WheelEvaluate, SlopeAngleValueOfALevelTreadIsMinusNinety)
{
    std::vector<ProfilePoint> flat(300);
    for (int i = 0; i < 300; ++i) {
        flat[static_cast<size_t>(i)] = {1000 + 500 * i, 3000};
    }
    flat[0].z = 0;  // a lowest point inside the restricted window is not needed for this value
    hs.switches[4] = 2;
    Evaluate(300, flat.data());
    EXPECT_EQ(r.values[12], -90);
    EXPECT_EQ(keys.points[20].x, hs.dimensions[DIM_L16]);
}

TEST_F(WheelEvaluate, RiseBetweenWindowsNeverNegativeAndLengthBeyondL12)
{
    hs.switches[6] = 2;
    hs.switches[16] = 2;
    // Highest point of the tread window is lower than the lowest of the next: 0.
    hs.dimensions[DIM_P7_1] = 70000;
    hs.dimensions[DIM_P7_2] = 71000;
    hs.dimensions[DIM_P8_1] = 120000;
    hs.dimensions[DIM_P8_2] = 125000;
    EvaluateWheel(0);
    EXPECT_EQ(r.values[17], 0);
    EXPECT_LT(keys.points[16].z, keys.points[17].z);
    const LONG lastX = Wheel().points[Wheel().count - 1].x;
    EXPECT_EQ(r.values[18], lastX - hs.dimensions[DIM_L12]);
    hs.dimensions[DIM_L12] = lastX;
    EvaluateWheel(0);
    EXPECT_EQ(r.values[18], 0);
}

TEST_F(WheelEvaluate, FlagOneComputesDiameterAndTyreFromDimensions)
{
    hs.switches[7] = 2;
    hs.switches[8] = 2;
    EvaluateWheel();
    EXPECT_EQ(r.values[7], 910000 - 2 * r.values[0]);
    EXPECT_EQ(r.values[8], (910000 - 674000) / 2 - r.values[0]);
}

TEST_F(WheelEvaluate, DistanceToTheReferenceAlongItsNormal)
{
    hs.switches[11] = 2;
    const calctest::WheelRun& w = Wheel();
    // The measured wheel worn 300 um deeper on the whole: the normal meets it
    // about 300 um away where the reference runs level, more on the flank.
    auto worn = std::make_unique<calctest::WheelRun>();
    for (DWORD i = 0; i < w.count; ++i) {
        worn->points[i] = {w.points[i].x, w.points[i].z + 300};
    }
    ProfileKeyPoints refKeys = {};
    WheelResult refResult = {};
    c.Evaluate(w.count, w.points, &refKeys, 0, nullptr, nullptr, hs, &refResult, 1);
    c.Evaluate(w.count, worn->points, &keys, w.count, w.points, &refKeys, hs, &r, 0);
    EXPECT_GT(r.values[15], 100);
    EXPECT_LT(r.values[15], 400);
    EXPECT_EQ(r.values[13], 300);
    EXPECT_EQ(refKeys.points[18].z, refKeys.points[0].z - hs.dimensions[DIM_L5]);
    EXPECT_NE(keys.points[18].x, 0);
}

// ---- tyre and diameter

TEST(WheelTyre, ThicknessAndDiameterFromTheLapkaValues)
{
    CWheelCalc c;
    HeadSettings hs = calctest::S1002Settings();
    hs.switches[7] = 2;
    hs.switches[8] = 2;
    hs.dimensions[DIM_L10] = 674000;
    SensorRegisters regs = {};
    regs.words[7] = 500;
    ProfileKeyPoints keys = {};
    keys.points[0].z = 2000;
    WheelResult r = {};
    r.MinY = 30000;
    c.LogTyreAndDiameter(hs, &regs, 120000, &keys, &r);
    EXPECT_EQ(r.values[8], 93000);
    EXPECT_EQ(r.values[7], 860000);
    EXPECT_EQ(keys.points[7].x, hs.dimensions[DIM_L2]);
    EXPECT_EQ(keys.points[7].z, 860000);
    EXPECT_EQ(keys.points[8].x, 93000);
    // Without either Lapka value nothing changes.
    r.values[7] = r.values[8] = 5;
    c.LogTyreAndDiameter(hs, &regs, 0, &keys, &r);
    EXPECT_EQ(r.values[7], 5);
    regs.words[7] = 0;
    c.LogTyreAndDiameter(hs, &regs, 120000, &keys, &r);
    EXPECT_EQ(r.values[8], 5);
}

// ---- grading

namespace {

struct Limits {
    LONG l[kWheelLimitCount] = {};
    void Set(int entry, LONG upper, LONG lower, LONG warnUpper = 0, LONG warnLower = 0)
    {
        l[entry] = upper;
        l[22 + entry] = lower;
        l[44 + entry] = warnUpper;
        l[66 + entry] = warnLower;
    }
};

// A result graded by limits a test sets.
class WheelGrade : public ::testing::Test {
protected:
    // Grades the result with switch `sw`; the status `status` it gets.
    BYTE Graded(int status, BYTE sw = 0)
    {
        c.CheckTolerances(&r, lim.l, sw);
        return r.status[status];
    }

    CWheelCalc c;
    Limits lim;
    WheelResult r = {};
};

}  // namespace

TEST_F(WheelGrade, CeilingsAndThePositiveTest)
{
    lim.Set(1, 100000, 0);
    lim.Set(2, 100000, 0);
    lim.Set(0, 100000, -100000);
    r.values[1] = 50001;
    r.values[5] = 20001;
    r.values[6] = 20001;
    r.values[0] = -5;
    EXPECT_EQ(Graded(1), 2);
    EXPECT_EQ(r.status[2], 2);  // value 5 over its ceiling
    EXPECT_EQ(r.status[0], 2);  // not positive
    EXPECT_EQ(Graded(2, 1), 0);  // value 6 only by its limits
    r.values[0] = 0;
    EXPECT_EQ(Graded(0, 1), 0);  // not computed
}

TEST_F(WheelGrade, EachLimitEntryGradesOnlyItsOwnStatuses)
{
    // Which statuses each of the 22 limit entries grades (entry 11 both line
    // fits); status 17 has no entry.
    const std::vector<std::vector<int>> graded = {{0},  {1},  {2},  {18}, {19}, {20}, {3},  {4},
                                                  {5},  {6},  {7},  {8, 9}, {14}, {10}, {11}, {12},
                                                  {13}, {16}, {15}, {21}, {22}, {23}};
    ASSERT_EQ(graded.size(), 22u);
    for (int w = 0; w < kWheelValueCount; ++w) {
        r.values[w] = 30000 + 100 * w;  // all computed; value 21 above value 20
    }
    c.CheckTolerances(&r, lim.l, 0);  // no limits yet
    for (int s = 0; s < kWheelStatusCount; ++s) {
        ASSERT_EQ(r.status[s], 0) << "status " << s << " without limits";
    }
    for (int entry = 0; entry < 22; ++entry) {
        // Every value lies above a limit pair of -2..-1: the entry alone marks.
        for (BYTE expected : {kStatusOutOfTolerance, kStatusWarning}) {
            lim = {};
            if (expected == kStatusOutOfTolerance) {
                lim.Set(entry, -1, -2);
            } else {
                lim.Set(entry, 0, 0, -1, -2);
            }
            c.CheckTolerances(&r, lim.l, 0);
            for (int s = 0; s < kWheelStatusCount; ++s) {
                const bool own = std::find(graded[entry].begin(), graded[entry].end(), s) != graded[entry].end();
                EXPECT_EQ(r.status[s], own ? expected : kStatusInTolerance)
                    << "entry " << entry << ", status " << s << (expected == kStatusWarning ? " (warning)" : "");
            }
        }
    }
}

TEST_F(WheelGrade, AnglesAndLineFitsAreComparedInTheThousandthsTheyAreStoredIn)
{
    // The tolerance editor stores "45" degrees as 45000: a measured 44.900
    // passes and 45.100 fails, for both angles (values 11, 12) and both line
    // fits (values 9, 10).
    struct Case {
        int valueWord, entry, status;
    };
    for (const Case g : {Case{11, 8, 5}, Case{12, 9, 6}, Case{9, 11, 8}, Case{10, 11, 9}}) {
        lim = {};
        lim.Set(g.entry, 45000, 0);
        r = {};
        r.values[g.valueWord] = 44900;
        EXPECT_EQ(Graded(g.status), 0) << "value " << g.valueWord << " = 44.900";
        r.values[g.valueWord] = 45100;
        EXPECT_EQ(Graded(g.status), 2) << "value " << g.valueWord << " = 45.100";
        lim.Set(g.entry, 0, 0, 45000, 0);  // the same as a warning limit
        EXPECT_EQ(Graded(g.status), 1) << "value " << g.valueWord << " = 45.100 against the warning";
        // A band of 1 to 2 degrees holds 1.999 (not 1 whole degree) and not 0.5.
        lim.Set(g.entry, 2000, 1000);
        r.values[g.valueWord] = 1999;
        EXPECT_EQ(Graded(g.status), 0) << "value " << g.valueWord << " = 1.999";
        r.values[g.valueWord] = 500;
        EXPECT_EQ(Graded(g.status), 2) << "value " << g.valueWord << " = 0.500";
    }
}

TEST_F(WheelGrade, WordTwentyFiveIsGradedInWholeUnitsAndExemptBelowOne)
{
    lim.Set(15, 5, 2);
    r.values[25] = 999;  // quotient 0: exempt
    EXPECT_EQ(Graded(12), 0);
    r.values[25] = 1000;  // 1 unit, below 2
    EXPECT_EQ(Graded(12), 2);
    r.values[25] = 5999;  // 5 units
    EXPECT_EQ(Graded(12), 0);
}

TEST_F(WheelGrade, WarningsEmptyPairsAndGradedZeros)
{
    lim.Set(6, 900000, 800000, 880000, 820000);  // diameter
    lim.Set(3, 500, -500);                       // value 13, graded even at 0
    lim.Set(4, 500, 100);                        // value 14, 0 is outside
    r.values[7] = 890000;
    EXPECT_EQ(Graded(3), 1);
    EXPECT_EQ(r.status[18], 0);
    EXPECT_EQ(r.status[19], 2);
    r.values[7] = 850000;  // back in tolerance: a new grading clears it
    EXPECT_EQ(Graded(3), 0);
    r.values[8] = -123456;  // tyre: its limit pair is empty
    EXPECT_EQ(Graded(4), 0);
}

TEST_F(WheelGrade, HeightsAtD1AndD2)
{
    r.values[20] = 300;
    r.values[21] = 299;
    EXPECT_EQ(Graded(17), 2);
    r.values[21] = 300;
    EXPECT_EQ(Graded(17), 0);
}
