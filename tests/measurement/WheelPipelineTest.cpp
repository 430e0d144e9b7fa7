// Decoding, smoothing, levelling and resampling of the wheel pipeline, and the
// temperature compensation before a run.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/measurement/CalcFixtures.h"
#include "tests/support/Fields.h"

namespace {

SensorRegisters PlainHead()
{
    return calctest::RegistersOf(profilegen::DefaultWheelHead());
}

struct Points {
    ProfilePoint p[kMaxProfilePoints] = {};
    DWORD count = 0;
};

// Decodes, at range 100, a dump of `bytes` whose samples are given (the rest
// of it 0).
std::unique_ptr<Points> Decode(const std::vector<uint16_t>& samples, SensorRegisters& regs,
                               const HeadSettings& hs = calctest::S1002Settings(), size_t bytes = kRawDumpBytes)
{
    auto out = std::make_unique<Points>();
    auto dump = profilegen::EncodeSamples(samples, bytes, profilegen::DefaultWheelHead());
    CWheelCalc().DecodeDump(dump.data(), &out->count, out->p, hs, &regs, 100, static_cast<DWORD>(dump.size()));
    return out;
}

}  // namespace

TEST(WheelDecode, LeadingZerosAndTheTemperatureOffset)
{
    SensorRegisters regs = PlainHead();
    regs.words[1] = 5200;   // x origin 200
    regs.words[23] = -30;   // temperature offset of x
    std::vector<uint16_t> samples(10, 0);
    samples[3] = 16384 / 4;  // a quarter of full scale
    samples[4] = 16384 / 2;
    const auto out = Decode(samples, regs);
    ASSERT_GE(out->count, 2u);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(out->p[0].x, 200 + 3 * 50 - 30), FIELD_IS(out->p[0].z, 25000),
                                 FIELD_IS(out->p[1].x, 200 + 4 * 50 - 30), FIELD_IS(out->p[1].z, 50000)));
}

TEST(WheelDecode, ZeroSamplesKeptInsideTheWheelDroppedBeyond)
{
    SensorRegisters regs = PlainHead();
    regs.words[2] = 5000;  // 50 um
    std::vector<uint16_t> samples(3072, 0);
    samples[0] = 100;
    samples[1400] = 100;  // x = 70000: beyond it zeros are dropped
    samples[1500] = 200;  // non-zero beyond: kept with the next kept position
    const auto out = Decode(samples, regs);
    ASSERT_EQ(out->count, 1402u);
    EXPECT_EQ(out->p[1].z, 0);  // a zero sample inside: kept as no height
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(out->p[1400].x, 70000), FIELD_IS(out->p[1401].x, 70050),
                                 FIELD_IS(out->p[1401].z, 200 * 100 * 1000 / 16384)));
}

TEST(WheelDecode, ReversedDecodingKeepsZerosOnlyInsideAndReverses)
{
    SensorRegisters regs = PlainHead();
    HeadSettings hs = calctest::S1002Settings();
    hs.switches[21] = 2;
    hs.dimensions[DIM_L9] = 80000;
    std::vector<uint16_t> samples(3072, 0);
    samples[0] = 300;   // x = 80000
    samples[1] = 0;     // x = 79950: outside 5000..70000, dropped
    samples[2] = 500;   // kept at the next position, 79950
    auto out = Decode(samples, regs, hs);
    // A dropped zero does not advance x, so zeros outside the window stay outside.
    ASSERT_EQ(out->count, 2u);
    EXPECT_EQ(out->p[1].x, 80000);  // the first sample is now last
    EXPECT_EQ(out->p[0].x, 79950);
    EXPECT_EQ(out->p[0].z, 500 * 100 * 1000 / 16384);
    // Starting just outside, the zeros from 70000 down to 5000 are kept.
    hs.dimensions[DIM_L9] = 70050;
    samples[2] = 0;
    out = Decode(samples, regs, hs);
    ASSERT_EQ(out->count, 1u + (70000 - 5000) / 50 + 1);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(out->p[0].x, 5000), FIELD_IS(out->p[0].z, 0),
                                 FIELD_IS(out->p[out->count - 1].x, 70050)));
}

TEST(WheelDecode, CalibrationWord)
{
    std::vector<uint16_t> samples = {16384 / 8};  // 12.5 mm at range 100
    auto decodeWith = [&](SHORT calibration, SensorRegisters* regs) {
        regs->words[6] = calibration;
        return Decode(samples, *regs)->p[0].z;
    };
    SensorRegisters regs = PlainHead();
    EXPECT_EQ(decodeWith(0, &regs), 12500);
    EXPECT_EQ(regs.words[6], 10000);  // written back
    EXPECT_EQ(decodeWith(-1, &regs), 12500);
    EXPECT_EQ(decodeWith(2000, &regs), 25000);
    EXPECT_EQ(decodeWith(2001, &regs), 2501);
}

TEST(WheelDecode, HostileLengthAndStepWordsNeverOverrun)
{
    std::vector<uint16_t> samples(3072, 1000);
    for (SHORT length : {static_cast<SHORT>(32767), static_cast<SHORT>(-32768), static_cast<SHORT>(-256)}) {
        SensorRegisters regs = PlainHead();
        regs.words[12] = length;
        const auto out = Decode(samples, regs);
        EXPECT_LE(out->count, kMaxProfilePoints);
        if (length > 0) {
            EXPECT_EQ(out->count, 3072u);  // the dump's samples; the missing rest reads as "no profile"
        } else {
            EXPECT_EQ(out->count, 0u);
        }
    }
    // A short dump (one block) with a whole dump announced reads what is there.
    SensorRegisters regs = PlainHead();
    EXPECT_EQ(Decode(samples, regs, calctest::S1002Settings(), 1024)->count,
              256u + (70000 - 256 * 50) / 50 + 1);  // then zeros up to 70 mm
    for (SHORT step : {static_cast<SHORT>(0), static_cast<SHORT>(-4950)}) {
        regs.words[2] = step;
        EXPECT_EQ(Decode(samples, regs)->count, 0u);
    }
}

TEST(WheelPipeline, EmptyDumpLeavesTheResultAlone)
{
    auto run = std::make_unique<calctest::WheelRun>();
    run->regs = PlainHead();
    run->result.values[0] = 1234;
    run->result.MinY = 77;
    run->keys.points[3] = {5, 6};
    std::vector<uint8_t> dump(kRawDumpBytes, 0xF0);  // only noise in the upper nibbles
    calctest::Process(dump, 100, *run, calctest::S1002Settings());
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(run->count, 0u), FIELD_IS(run->result.values[0], 1234),
                                 FIELD_IS(run->result.MinY, 77), FIELD_IS(run->keys.points[3].x, 5)));
}

TEST(Smoothing, WindowsShrinkAtTheEnds)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p(20);
    for (int i = 0; i < 20; ++i) {
        p[static_cast<size_t>(i)] = {1000 * (i + 1), i * 10};
    }
    auto q = p;
    c.Smooth(9, 20, q.data());
    EXPECT_EQ(q[0].z, (0 + 10 + 20 + 30 + 40) / 5);
    EXPECT_EQ(q[10].z, 100);  // inside: the 9-point mean of a line is the line
    EXPECT_EQ(q[19].z, (150 + 160 + 170 + 180 + 190) / 5);
    EXPECT_EQ(q[5].x, p[5].x);
    q = p;
    c.Smooth(0, 20, q.data());
    EXPECT_EQ(q[7].z, p[7].z);
    std::vector<ProfilePoint> negatives = {{1000, -1}, {2000, -2}};
    c.Smooth(2, 2, negatives.data());
    EXPECT_EQ(negatives[1].z, -1);  // (-1 - 2) / 2 truncates toward zero
}

TEST(Smoothing, MedianWindowsOddAndEven)
{
    CWheelCalc c;
    LONG odd[5] = {9, 1, 5, 3, 7};
    EXPECT_EQ(c.Median(5, odd), 5);
    LONG even[4] = {10, -3, 4, 7};
    EXPECT_EQ(c.Median(4, even), 5);  // (4 + 7) / 2
    LONG negative[2] = {-3, -4};
    EXPECT_EQ(c.Median(2, negative), -3);
    std::vector<ProfilePoint> p = {{1, 50}, {2, 0}, {3, 900}, {4, 10}, {5, 20}, {6, -40}};
    c.MedianFilter(3, 6, p.data());
    // The first and last window/2 points are left alone.
    EXPECT_EQ((std::vector<LONG>{p[0].z, p[1].z, p[2].z, p[5].z}), (std::vector<LONG>{50, 50, 10, -40}));
    c.MedianFilter(0, 6, p.data());
    EXPECT_EQ(p[2].z, 10);
}

TEST(Levelling, HeightTermOnlyInsideItsBand)
{
    CWheelCalc c;
    SensorRegisters regs = PlainHead();
    regs.words[0] = 100;   // no rotation
    regs.words[2] = 1000;  // step/10 = 100
    regs.words[4] = 1000;  // linear term
    // Rising by 100 per point: t = atan(1), term = (1000 * 0.785 + 5) / 10 = 79.
    std::vector<ProfilePoint> p = {{6000, 0}, {6100, 100}, {6200, 14100}, {6300, 14200}, {6400, 14300}};
    c.Level(5, p.data(), &regs, 0);
    EXPECT_EQ(p[1].z, 100 + 79);
    EXPECT_EQ(p[0].z, 0 + 79);  // point 0 takes point 1's term
    EXPECT_EQ(p[3].z, 14200);   // 14000 or more above the lowest point: no term
    EXPECT_EQ(p[1].x, 6100);
    // A single point: the rotation alone.
    std::vector<ProfilePoint> one = {{6000, 500}};
    c.Level(1, one.data(), &regs, 0);
    EXPECT_EQ(one[0].z, 500);
    // A zero step gives no slope term rather than a division by zero.
    regs.words[2] = 5;
    std::vector<ProfilePoint> q = {{6000, 0}, {6100, 100}};
    c.Level(2, q.data(), &regs, 0);
    EXPECT_EQ(q[1].z, 100);
}

TEST(Levelling, HeightDependentXCorrection)
{
    CWheelCalc c;
    SensorRegisters regs = PlainHead();
    regs.words[5] = 1500;
    std::vector<ProfilePoint> p = {{6000, 1000}, {7000, 4000}, {8000, 20000}};
    // zTop = 4000 (the last z less than 16000 above the lowest); c = (zTop - h) * 1500 / 15000
    c.Level(3, p.data(), &regs, 1);
    EXPECT_EQ((std::vector<LONG>{p[0].x, p[1].x, p[2].x}), (std::vector<LONG>{6000 + 400, 7000 + 100, 8000}));
}

TEST(Resampling, StepCodeAndTruncatedPositions)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p(kMaxProfilePoints);
    DWORD count = 100;
    for (int i = 0; i < 100; ++i) {
        p[static_cast<size_t>(i)] = {1000 + 40 * i, 2 * (1000 + 40 * i)};
    }
    c.ResampleOnX(&count, p.data(), 4950, 0);
    // From the second point on, at 49.5 um truncated.
    EXPECT_EQ((std::vector<LONG>{p[0].x, p[1].x, p[2].x, p[3].x}), (std::vector<LONG>{1040, 1089, 1139, 1188}));
    EXPECT_NEAR(p[2].z, 2 * 1139, 1);
    EXPECT_EQ(count, static_cast<DWORD>((4960 - 1040) / 49.5));
    EXPECT_EQ(p[count].x, 0);  // the tail is cleared
    EXPECT_EQ(p[99].z, 0);
}

TEST(Resampling, LongSpansStopAtCapacityAndBadStepsEmpty)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p(kMaxProfilePoints);
    p[0] = {1000, 1};
    p[1] = {2000, 2};
    p[2] = {2000000, 3};
    DWORD count = 3;
    c.ResampleOnX(&count, p.data(), 1, 0);  // 1 um steps over 2 m
    EXPECT_EQ(count, kMaxProfilePoints);
    p[0] = {1000, 1};
    p[1] = {2000, 2};
    count = 2;
    c.ResampleOnX(&count, p.data(), 0, 0);
    EXPECT_EQ(count, 0u);
}

TEST(Shift, LowestRestrictedPointBecomesZero)
{
    CWheelCalc c;
    std::vector<ProfilePoint> p = {{1000, -500}, {6000, 300}, {7000, 200}, {80000, 100}};
    EXPECT_EQ(c.ShiftToLowest(4, p.data(), 1), 200);
    EXPECT_EQ(p[2].z, 0);
    EXPECT_EQ(p[0].z, -700);
    c.ScaleZ(4, p.data(), 0.5f);
    EXPECT_EQ(p[0].z, -350);
}

namespace {

// Stands in for the head: answers with a fixed temperature, records writes.
class FakeHead : public CWheelCalc::TemperatureLink {
public:
    float temperature = 20.0f;
    int stateFailures = 0;
    bool oldReply = true;
    DWORD oldValue = 20;
    bool writesFail = false;
    std::vector<std::pair<int, int>> writes;  // register, value
    DWORD waited = 0;

    int ReadStateTemperature(float* celsius) override
    {
        if (stateFailures > 0) {
            --stateFailures;
            return 0;
        }
        *celsius = temperature;
        return 1;
    }
    int ReadTemperatureOld(DWORD* value) override
    {
        *value = oldValue;
        return oldReply ? 1 : 0;
    }
    int WriteRegisters(BYTE first, BYTE count, const BYTE* values) override
    {
        if (count != 1) {
            ADD_FAILURE() << "these settings are one register wide";
        }
        if (writesFail) {
            return 0;
        }
        writes.push_back({first, values[0]});
        return 1;
    }
    void Wait(DWORD ms) override { waited += ms; }
};

SensorRegisters CompensatedHead()
{
    SensorRegisters regs = PlainHead();
    regs.words[8] = 12;   // x per degree
    regs.words[9] = 20;   // reference temperature
    regs.words[10] = 50;  // z: 50 parts in 100000 per degree
    regs.words[13] = 6;
    regs.words[14] = 5;
    regs.words[35] = 41;
    return regs;
}

// The compensation of a head of firmware 90 (or `firmware`) by its words.
class TemperatureCompensation : public ::testing::Test {
protected:
    void Compensate(BYTE firmware = 90) { c.CompensateTemperatureWith(&head, g_headRegisterTable, &regs, firmware); }

    CWheelCalc c;
    FakeHead head;
    SensorRegisters regs = CompensatedHead();
};

}  // namespace

TEST_F(TemperatureCompensation, SwitchedOffWritesOnlyTheNeutralTerms)
{
    regs.words[10] = 0;
    regs.words[22] = 123;
    regs.words[23] = 45;
    Compensate();
    EXPECT_EQ(regs.words[22], 10000);
    EXPECT_EQ(regs.words[23], 0);
    EXPECT_TRUE(head.writes.empty());
}

TEST_F(TemperatureCompensation, ColdSwitchesRegistersAndSetsTerms)
{
    head.temperature = -12.6f;
    Compensate();
    ASSERT_EQ(head.writes.size(), 3u);
    EXPECT_EQ(head.writes[0], std::make_pair(0x36, 12));
    EXPECT_EQ(head.writes[1], std::make_pair(0x37, 12));
    EXPECT_EQ(head.writes[2], std::make_pair(0x2A, 65));  // word 35 below 70: the lower cold value
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(regs.words[13], 12), FIELD_IS(regs.words[35], 65),
                                 FIELD_IS(head.waited, 350u)));
    // k = 1 - ((-12 - 20) * 0.00001) * 50 = 1.016
    EXPECT_EQ(regs.words[22], 10160);
    EXPECT_EQ(regs.words[23], static_cast<SHORT>((-12.6f - 20.0f) * 12.0f));
    // Back to normal at exactly -5.0: the normal values are written again.
    head.writes.clear();
    head.temperature = -5.0f;
    Compensate();
    ASSERT_EQ(head.writes.size(), 3u);
    EXPECT_EQ(head.writes[0], std::make_pair(0x36, 5));
    EXPECT_EQ(head.writes[2], std::make_pair(0x2A, 41));
    EXPECT_EQ(regs.words[35], 41);
    // Normal and not cold-set: no writes.
    head.writes.clear();
    Compensate();
    EXPECT_TRUE(head.writes.empty());
}

TEST_F(TemperatureCompensation, FailedWritesKeepTheImageAndRetriesTheState)
{
    head.temperature = -20.0f;
    head.writesFail = true;
    head.stateFailures = 1;  // the second reading succeeds
    Compensate(84);
    EXPECT_EQ(regs.words[13], 6);
    EXPECT_EQ(regs.words[35], 41);
    EXPECT_NE(regs.words[22], 10000);  // the temperature was read all the same
    head.stateFailures = 2;
    Compensate(84);
    EXPECT_EQ(regs.words[22], 10000);
    EXPECT_EQ(regs.words[23], 0);
}

TEST_F(TemperatureCompensation, ImplausibleReadingsCountAsFailed)
{
    for (float t : {-61.0f, 100.5f, 1.0e9f}) {
        head = FakeHead();
        head.temperature = t;
        regs = CompensatedHead();
        Compensate();
        EXPECT_EQ(regs.words[22], 10000) << t;
        EXPECT_EQ(regs.words[23], 0) << t;
        EXPECT_TRUE(head.writes.empty()) << t;
    }
    // The old reply is an unsigned word: 65535 degrees is no temperature.
    head = FakeHead();
    head.oldValue = 65535;
    regs = CompensatedHead();
    Compensate(60);
    EXPECT_EQ(regs.words[22], 10000);
    // A plausible old reply sets the terms but never switches registers.
    head.oldValue = 30;
    Compensate(60);
    EXPECT_EQ(regs.words[22], 9950);
    EXPECT_EQ(regs.words[23], 120);
    EXPECT_TRUE(head.writes.empty());
}

TEST_F(TemperatureCompensation, ExtremeWordsSaturate)
{
    head.temperature = 99.0f;
    regs.words[8] = 32767;
    regs.words[9] = -32768;
    regs.words[10] = 32767;
    Compensate();
    EXPECT_EQ(regs.words[23], 32767);
    EXPECT_EQ(regs.words[22], -32768);
    float k = 5.0f;
    regs.words[10] = 0;
    EXPECT_EQ(c.TemperatureFactor(&regs, 25, &k), 1);
    EXPECT_EQ(k, 0.0f);
}

TEST(HeadRegisterTables, EntriesTheCalculationAndTheLinkRelyOn)
{
    EXPECT_EQ(g_headRegisterTable[12].reg, 0x3A);
    EXPECT_EQ(g_headRegisterTable[35].reg, 0x2A);
    EXPECT_EQ(g_headRegisterTable[13].width, 1);
    EXPECT_EQ(g_headRegisterTable[22].width, 0);  // never read: the compensation's own words
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(g_headRegisterTable[23].reg, 0xFF), FIELD_IS(g_qodRegisterTable[5].reg, 0x3A),
                                 FIELD_IS(g_qodRegisterTable[7].width, 1)));
    for (int i = 0; i < kHeadRegisterCount; ++i) {
        EXPECT_EQ(g_headRegisterTable[i].index, i);
    }
    for (int i = 0; i < kQodRegisterCount; ++i) {
        EXPECT_EQ(g_qodRegisterTable[i].index, i);
    }
}
