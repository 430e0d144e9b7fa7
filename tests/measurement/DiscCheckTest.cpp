// Discs of known thickness and groove depth, sent through one or two heads'
// dumps and the disc run's chain, must give back their least thickness and
// groove depth.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "measurement/DiscCalc.h"
#include "tests/measurement/CalcFixtures.h"

namespace {

struct Side {
    DWORD count = 0;
    ProfilePoint points[kMaxProfilePoints] = {};
    ProfileKeyPoints keys = {};
};

struct DiscBench {
    DiscSettings ds = {};
    ProfilePoint reference[kMaxProfilePoints] = {};
    DWORD refCount = 0;
    Side side[2];
    DiscResult result = {};

    DiscBench()
    {
        ds.discL1 = 100000;
        ds.discL2 = 7000;
        // A flat reference 7.5 mm out: its last z is the base, its highest the crop limit.
        for (int i = 0; i < 151; ++i) {
            reference[i] = {i * 1000, 7500};
        }
        refCount = 151;
    }

    // The disc run's side chain: decode, median 31, smooth 9, rotate, crop.
    void Measure(int s, const profilegen::DiscShape& shape, const profilegen::HeadEncoding& head, int profileSide)
    {
        CDiscCalc disc;
        CWheelCalc wheel;
        std::vector<uint8_t> dump = profilegen::EncodeDump(profilegen::DiscSideProfile(shape, profileSide), head);
        SensorRegisters regs = calctest::RegistersOf(head);
        LONG zRefLast = 0;
        disc.FindMinima(refCount, reference, nullptr, nullptr, nullptr, &zRefLast);
        const LONG zOffset = ds.discL2 - zRefLast;
        Side& target = side[s];
        disc.DecodeDump(dump.data(), &target.count, target.points, &regs, head.rangeMm, zOffset,
                        static_cast<DWORD>(dump.size()));
        ASSERT_GT(target.count, 0u);
        wheel.MedianFilter(31, target.count, target.points);
        wheel.Smooth(9, target.count, target.points);
        disc.Rotate(target.count, target.points, &regs, 0, 1);
        disc.CropToRange(&target.count, target.points, 0, disc.MaxZ(refCount, reference));
    }
};

profilegen::DiscShape GroovedDisc(double groove1, double groove2)
{
    profilegen::DiscShape shape;
    shape.grooveDepthUm[0] = groove1;
    shape.grooveDepthUm[1] = groove2;
    return shape;
}

}  // namespace

TEST(DiscCheck, TwoHeadsGiveGroovesAndLeastThickness)
{
    auto bench = std::make_unique<DiscBench>();
    const profilegen::DiscShape shape = GroovedDisc(1500, 800);
    profilegen::HeadEncoding head1 = profilegen::DefaultDiscHead();
    profilegen::HeadEncoding head2 = profilegen::DefaultDiscHead();
    head2.seed = 9;
    bench->Measure(0, shape, head1, 1);
    bench->Measure(1, shape, head2, 2);
    CDiscCalc disc;
    disc.EvaluateSide(bench->side[0].count, bench->side[0].points, &bench->side[0].keys, bench->refCount,
                      bench->reference, bench->ds, &bench->result, 1);
    disc.EvaluateSide(bench->side[1].count, bench->side[1].points, &bench->side[1].keys, bench->refCount,
                      bench->reference, bench->ds, &bench->result, 2);
    disc.EvaluateBothSides(bench->side[0].count, bench->side[0].points, bench->side[1].count, bench->side[1].points,
                           bench->refCount, bench->reference, &bench->side[0].keys, &bench->side[1].keys, bench->ds,
                           &bench->result, 0);
    const LONG* v = bench->result.values;
    EXPECT_NEAR(v[2], 1500, 10);  // groove of side 1
    EXPECT_NEAR(v[5], 800, 10);   // groove of side 2
    EXPECT_NEAR(v[6], 108000 - 1500 - 800, 15);
    // Each side's deepest point lies in its groove, 75 mm across less the cropped start.
    const LONG grooveX = 75000 - 5000;
    EXPECT_NEAR(bench->side[0].keys.points[0].x, grooveX, 4000);
    EXPECT_NEAR(bench->side[0].keys.points[2].x, grooveX, 4000);
    // Depth below the reference's base: the ring lies 3.5 mm below the 7.5 mm base.
    EXPECT_NEAR(v[0], 7500 - (3500 + 1500), 10);
}

TEST(DiscCheck, OneHeadMeasuringBothSidesInTurnGivesTheSame)
{
    auto bench = std::make_unique<DiscBench>();
    const profilegen::DiscShape shape = GroovedDisc(600, 1200);
    const profilegen::HeadEncoding head = profilegen::DefaultDiscHead();
    CDiscCalc disc;
    bench->Measure(0, shape, head, 1);
    disc.EvaluateSide(bench->side[0].count, bench->side[0].points, &bench->side[0].keys, bench->refCount,
                      bench->reference, bench->ds, &bench->result, 1);
    // Before the second side exists the thickness stays unknown.
    disc.EvaluateBothSides(bench->side[0].count, bench->side[0].points, 0, bench->side[1].points, bench->refCount,
                           bench->reference, &bench->side[0].keys, &bench->side[1].keys, bench->ds, &bench->result,
                           0);
    EXPECT_EQ(bench->result.values[6], 0);
    bench->Measure(1, shape, head, 2);
    disc.EvaluateSide(bench->side[1].count, bench->side[1].points, &bench->side[1].keys, bench->refCount,
                      bench->reference, bench->ds, &bench->result, 2);
    disc.EvaluateBothSides(bench->side[0].count, bench->side[0].points, bench->side[1].count, bench->side[1].points,
                           bench->refCount, bench->reference, &bench->side[0].keys, &bench->side[1].keys, bench->ds,
                           &bench->result, 0);
    EXPECT_NEAR(bench->result.values[2], 600, 10);
    EXPECT_NEAR(bench->result.values[5], 1200, 10);
    EXPECT_NEAR(bench->result.values[6], 108000 - 1800, 15);
}

TEST(DiscCheck, StepEdgesAreFoundAtTheRing)
{
    auto bench = std::make_unique<DiscBench>();
    bench->Measure(0, GroovedDisc(0, 0), profilegen::DefaultDiscHead(), 1);
    CDiscCalc disc;
    LONG a = 0, b = 0;
    disc.FindStepEdge(bench->side[0].count, bench->side[0].points, &a, &b);
    // After cropping the profile starts at x = 0 where the head first saw the disc (5 mm).
    EXPECT_NEAR(a, 25000 - 5000, 600);
    EXPECT_NEAR(b, 125000 - 5000, 600);
}
