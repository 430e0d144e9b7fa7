// A dump that decodes into no surface a head can see (what a garbled
// transfer gives) fails the measurement; every profile a real wheel or disc
// gives passes.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "measurement/DiscCalc.h"
#include "tests/measurement/CalcFixtures.h"

namespace {

constexpr int kGarbageRuns = 100;

// Every byte random, as a link whose replies are garbled.
std::vector<uint8_t> RandomBytes(uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> dump(kRawDumpBytes);
    for (uint8_t& b : dump) {
        b = static_cast<uint8_t>(random());
    }
    return dump;
}

// Random samples that all lie inside the head's measuring range.
std::vector<uint8_t> RandomSamplesInRange(uint32_t seed, const profilegen::HeadEncoding& head)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(1, 16384);
    std::vector<uint16_t> samples(profilegen::DumpBytes(head) / 4);
    for (uint16_t& s : samples) {
        s = static_cast<uint16_t>(sample(random));
    }
    profilegen::HeadEncoding noisy = head;
    noisy.noisyHighNibbles = true;
    noisy.seed = seed;
    return profilegen::EncodeSamples(samples, profilegen::DumpBytes(head), noisy);
}

struct Decoded {
    DWORD count = 0;
    ProfilePoint points[kMaxProfilePoints] = {};
};

// The wheel check on a dump as the pipeline decodes it.
int WheelPlausible(std::vector<uint8_t> dump, const profilegen::HeadEncoding& head,
                   const HeadSettings& hs = calctest::S1002Settings())
{
    auto d = std::make_unique<Decoded>();
    SensorRegisters regs = calctest::RegistersOf(head);
    CWheelCalc c;
    c.DecodeDump(dump.data(), &d->count, d->points, hs, &regs, head.rangeMm, static_cast<DWORD>(dump.size()));
    return c.IsPlausibleProfile(d->count, d->points, &regs, head.rangeMm);
}

int DiscPlausible(std::vector<uint8_t> dump, const profilegen::HeadEncoding& head, LONG zOffset = 7000)
{
    auto d = std::make_unique<Decoded>();
    SensorRegisters regs = calctest::RegistersOf(head);
    CDiscCalc c;
    c.DecodeDump(dump.data(), &d->count, d->points, &regs, head.rangeMm, zOffset, static_cast<DWORD>(dump.size()));
    return c.IsPlausibleProfile(d->count, d->points, &regs, head.rangeMm, zOffset);
}

WheelResult Marked()
{
    WheelResult r;
    for (LONG& v : r.values) {
        v = -777;
    }
    r.MinY = -777;
    std::memset(r.status, 9, sizeof(r.status));
    return r;
}

}  // namespace

TEST(Plausibility, GarbledWheelDumpsFailTheMeasurementAndClearItsResult)
{
    const profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    std::vector<LONG> limits(kWheelLimitCount, 0);
    limits[0] = 27000;
    int failed = 0;
    for (uint32_t seed = 1; seed <= kGarbageRuns; ++seed) {
        for (bool inRange : {false, true}) {
            std::vector<uint8_t> dump = inRange ? RandomSamplesInRange(seed, head) : RandomBytes(seed);
            auto run = std::make_unique<calctest::WheelRun>();
            run->regs = calctest::RegistersOf(head);
            run->result = Marked();
            std::memset(&run->keys, 0x5A, sizeof(run->keys));
            for (ProfilePoint& p : run->points) {
                p = {-1, -1};
            }
            calctest::Process(dump, head.rangeMm, *run, calctest::S1002Settings(), 0, limits.data(), 120000);
            const WheelResult cleared = {};
            const ProfileKeyPoints noKeys = {};
            // No point of the garbage stays in the span the dump decodes into.
            bool noPoints = true;
            for (size_t i = 0; i < profilegen::DumpBytes(head) / 4; ++i) {
                noPoints = noPoints && run->points[i].x == 0 && run->points[i].z == 0;
            }
            const bool clean = run->count == 0 && noPoints &&
                               std::memcmp(&run->result, &cleared, sizeof(cleared)) == 0 &&
                               std::memcmp(&run->keys, &noKeys, sizeof(noKeys)) == 0;
            EXPECT_TRUE(clean) << "seed " << seed << (inRange ? " (samples in range)" : " (random bytes)")
                               << ": count " << run->count << ", flange height " << run->result.values[0];
            failed += clean;
        }
    }
    EXPECT_EQ(2 * kGarbageRuns, failed);
}

TEST(Plausibility, EveryRealWheelProfilePasses)
{
    struct Case {
        const char* name;
        profilegen::WheelShape shape;
        profilegen::HeadEncoding head;
    };
    std::vector<Case> cases;
    const profilegen::HeadEncoding plain = profilegen::DefaultWheelHead();
    cases.push_back({"S1002", {}, plain});
    for (double thinning : {500.0, 1500.0, 3000.0}) {
        profilegen::WheelShape s;
        s.flangeThinningUm = thinning;
        cases.push_back({"thinned flange", s, plain});
    }
    for (double depth : {1000.0, 3000.0, 6000.0}) {
        profilegen::WheelShape s;
        s.hollowDepthUm = depth;
        cases.push_back({"hollow tread", s, plain});
    }
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        profilegen::HeadEncoding h = plain;
        h.noiseUm = 20.0;
        h.seed = seed;
        h.noisyHighNibbles = true;
        cases.push_back({"20 um noise", {}, h});
    }
    for (int16_t word0 : {40, 180, 250, 300}) {
        profilegen::HeadEncoding h = plain;
        h.words[0] = word0;
        cases.push_back({"tilted head", {}, h});
    }
    for (int16_t step : {4950, 2000, 32000}) {
        profilegen::HeadEncoding h = plain;
        h.words[2] = step;
        cases.push_back({"other step", {}, h});
    }
    {
        profilegen::HeadEncoding h = plain;
        h.standoffUm = 60000;  // the tread's far end 91 mm away, the range 100 mm
        cases.push_back({"far from the head", {}, h});
        h = plain;
        h.words[12] = 255;  // one block: the flange alone
        cases.push_back({"one block", {}, h});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(1, WheelPlausible(profilegen::EncodeDump(profilegen::S1002Profile(10.0, c.shape), c.head), c.head))
            << c.name << ", word 0 " << c.head.words[0] << ", word 2 " << c.head.words[2] << ", seed " << c.head.seed;
        const auto run = calctest::RunWheel(profilegen::S1002Profile(10.0, c.shape), c.head, calctest::S1002Settings());
        EXPECT_GT(run->count, 200u) << c.name;
    }
}

TEST(Plausibility, GlintsAndDropoutsPassButASurfaceBeyondTheRangeDoesNot)
{
    const profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    const std::vector<uint16_t> wheel = profilegen::SampleProfile(profilegen::S1002Profile(), head);
    auto withEvery = [&](size_t every, uint16_t value) {
        std::vector<uint16_t> samples = wheel;
        size_t seen = 0;
        for (uint16_t& s : samples) {
            if (s != 0 && seen++ % every == 0) {
                s = value;
            }
        }
        return profilegen::EncodeSamples(samples, profilegen::DumpBytes(head), head);
    };
    EXPECT_EQ(1, WheelPlausible(withEvery(50, 0xFFFF), head)) << "a glint beyond full scale in fifty samples";
    EXPECT_EQ(1, WheelPlausible(withEvery(7, 0), head)) << "the head lost every seventh sample";
    EXPECT_EQ(0, WheelPlausible(withEvery(10, 0xFFFF), head)) << "one sample in ten beyond full scale";
    // Jumps of 5 mm between neighbours, every 20 samples: no turned surface has them.
    std::vector<uint16_t> stepped = wheel;
    for (size_t i = 0; i < stepped.size(); ++i) {
        if (stepped[i] != 0 && (i / 20) % 2) {
            stepped[i] = static_cast<uint16_t>(stepped[i] + 5000 * 16384 / 100000);
        }
    }
    EXPECT_EQ(0, WheelPlausible(profilegen::EncodeSamples(stepped, profilegen::DumpBytes(head), head), head));
    // A head without a measuring range, or a single point, shows no surface.
    profilegen::HeadEncoding noRange = head;
    noRange.rangeMm = 0;
    EXPECT_EQ(0, WheelPlausible(profilegen::EncodeDump(profilegen::S1002Profile(), head), noRange));
    std::vector<uint16_t> single(wheel.size(), 0);
    single[100] = 4000;
    EXPECT_EQ(0, WheelPlausible(profilegen::EncodeSamples(single, profilegen::DumpBytes(head), head), head));
}

TEST(Plausibility, GarbledDiscDumpsFailAndRealDiscSidesPass)
{
    const profilegen::HeadEncoding head = profilegen::DefaultDiscHead();
    int failed = 0;
    for (uint32_t seed = 1; seed <= kGarbageRuns; ++seed) {
        const int random = DiscPlausible(RandomBytes(seed), head);
        const int inRange = DiscPlausible(RandomSamplesInRange(seed, head), head);
        EXPECT_EQ(0, random) << "seed " << seed;
        EXPECT_EQ(0, inRange) << "seed " << seed << " (samples in range)";
        failed += (random == 0) + (inRange == 0);
    }
    EXPECT_EQ(2 * kGarbageRuns, failed);
    for (double groove : {0.0, 800.0, 2000.0, 4000.0}) {
        profilegen::DiscShape shape;
        shape.grooveDepthUm[0] = groove;
        shape.grooveDepthUm[1] = groove / 2;
        for (int side : {1, 2}) {
            profilegen::HeadEncoding h = head;
            h.noiseUm = 5.0;
            h.seed = static_cast<uint32_t>(side);
            EXPECT_EQ(1, DiscPlausible(profilegen::EncodeDump(profilegen::DiscSideProfile(shape, side), h), h))
                << "groove " << groove << ", side " << side;
        }
    }
}
