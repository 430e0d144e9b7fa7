// The whole calculation of one wheel measurement and of one two-head disc
// measurement, from the raw dumps to graded, compared results. Bounds: a
// wheel measurement and a two-head disc measurement each under 1 ms (release
// build), and every stage linear in the points: a wheel profile of 4 times the
// points takes at most 5 times the time; the disc's median filter costs a
// little more per point where dense samples make its windows steadily rising
// (its moves per point are bounded by the window, not by the points).
//
//   BM_WheelMeasurement          the standard head: 50 um steps, about 2600 points
//   BM_WheelMeasurementPoints/N  N = 1, 4, 16 times the points of a 320 um step
//                                (406, 1625 and 5798 points)
//   BM_DiscMeasurementTwoHeads   both heads of a disc device, 50 um steps
//   BM_DiscMeasurementPoints/N   the same at N = 1, 4, 16 times the points of a
//                                320 um step (points: the counter of side 1)
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "measurement/DiscCalc.h"
#include "measurement/WheelCalc.h"
#include "tools/profilegen/ProfileGen.h"

namespace {

HeadSettings BenchSettings()
{
    HeadSettings hs;
    std::memset(&hs, 0, sizeof(hs));
    const LONG dims[PARAM_DIMENSION_COUNT] = {2000,   70000,  10000,  10000,  13000,  70000,  105000,
                                              10000,  140000, 674000, 910000, 127000, 105000, 15000,
                                              90000,  50000,  105000, 110000, 130000, 70000,  107500};
    std::memcpy(hs.dimensions, dims, sizeof(dims));
    for (BYTE& o : hs.options) {
        o = 1;
    }
    for (BYTE& s : hs.switches) {
        s = 2;  // every value computed
    }
    hs.switches[21] = 1;
    return hs;
}

SensorRegisters RegistersOf(const profilegen::HeadEncoding& head)
{
    SensorRegisters regs;
    for (int i = 0; i < kHeadRegisterCount; ++i) {
        regs.words[i] = head.words[static_cast<size_t>(i)];
    }
    return regs;
}

struct WheelBench {
    std::vector<uint8_t> dump;
    ProfilePoint reference[kMaxProfilePoints] = {};
    DWORD refCount = 0;
    ProfileKeyPoints refKeys = {};
    ProfilePoint points[kMaxProfilePoints] = {};
    DeviationRow rows[kMaxDeviationRows] = {};
    LONG limits[kWheelLimitCount] = {};
};

// One wheel measurement as the controller runs it, with a head whose step
// word is `stepWord` and a dump of `blocks` blocks, against the standard
// profile measured by the same head as the reference.
void MeasureWheels(benchmark::State& state, int16_t stepWord, int16_t dumpWord)
{
    auto b = std::make_unique<WheelBench>();
    const HeadSettings hs = BenchSettings();
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.noiseUm = 10.0;
    head.words[0] = 180;
    head.words[2] = stepWord;
    head.words[7] = 500;
    head.words[12] = dumpWord;
    const std::vector<uint8_t> dump = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    CWheelCalc calc;
    // The reference: the standard profile, evaluated on its own as the controller does.
    {
        profilegen::HeadEncoding plain = profilegen::DefaultWheelHead();
        plain.words[2] = stepWord;
        plain.words[12] = dumpWord;
        std::vector<uint8_t> refDump = profilegen::EncodeDump(profilegen::S1002Profile(), plain);
        SensorRegisters regs = RegistersOf(plain);
        WheelResult spare = {};
        const DWORD none = 0;
        ProfileKeyPoints unused = {};
        calc.ProcessMeasurement(refDump.data(), plain.rangeMm, &regs, 0, hs, nullptr, 0, &none, nullptr, &unused,
                                &b->refCount, b->reference, &b->refKeys, &spare, 0, 1,
                                static_cast<DWORD>(refDump.size()));
        calc.Evaluate(b->refCount, b->reference, &b->refKeys, 0, nullptr, nullptr, hs, &spare, 1);
    }
    for (int e = 0; e < 22; ++e) {
        b->limits[e] = 100000;
        b->limits[22 + e] = -100000;
    }
    DWORD count = 0;
    for (auto _ : state) {
        b->dump = dump;
        SensorRegisters regs = RegistersOf(head);
        DWORD rowCount = 0;
        ProfileKeyPoints keys = {};
        WheelResult result = {};
        calc.ProcessMeasurement(b->dump.data(), head.rangeMm, &regs, 120000, hs, b->limits, 0, &b->refCount,
                                b->reference, &b->refKeys, &count, b->points, &keys, &result, 0, 0,
                                static_cast<DWORD>(b->dump.size()));
        double minDev = 0, maxDev = 0, maxAbs = 0, positive = 0, negative = 0;
        calc.CompareWithReference(count, b->points, b->refCount, b->reference, 0, 0, &rowCount, b->rows, &minDev,
                                  &maxDev, &maxAbs, 250);
        calc.DeviationAreas(rowCount, b->rows, &positive, &negative);
        calc.DeviationAt(count, b->points, hs, &result, 0);
        calc.WearZones(count, b->points, b->refCount, b->reference, &result);
        calc.CheckTolerances(&result, b->limits, 0);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(maxAbs);
    }
    state.counters["points"] = static_cast<double>(count);
    if (count == 0) {
        state.SkipWithError("the profile did not decode");
    }
}

void BM_WheelMeasurement(benchmark::State& state)
{
    MeasureWheels(state, 5000, 2900);  // 50 um, the whole 12-block dump
}
BENCHMARK(BM_WheelMeasurement)->Unit(benchmark::kMillisecond);

void BM_WheelMeasurementPoints(benchmark::State& state)
{
    // 320 um gives 406 points over the 130 mm profile; 16 times as many need
    // a dump longer than a head sends (26 blocks), which the decoding reads
    // as far as the profile's capacity.
    const int64_t multiple = state.range(0);
    const int16_t step = static_cast<int16_t>(32000 / multiple);
    MeasureWheels(state, step, multiple > 4 ? 6400 : 2900);
}
BENCHMARK(BM_WheelMeasurementPoints)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

struct DiscBench {
    ProfilePoint side[2][kMaxProfilePoints] = {};
    ProfilePoint reference[kMaxProfilePoints] = {};
};

// One two-head disc measurement as the controller runs it, with heads whose
// step word is `stepWord` and dumps of `dumpWord` length.
void MeasureDiscs(benchmark::State& state, int16_t stepWord, int16_t dumpWord)
{
    auto b = std::make_unique<DiscBench>();
    profilegen::DiscShape shape;
    shape.grooveDepthUm[0] = 1500;
    shape.grooveDepthUm[1] = 800;
    profilegen::HeadEncoding head = profilegen::DefaultDiscHead();
    head.noiseUm = 5.0;
    head.words[2] = stepWord;
    head.words[5] = dumpWord;
    const std::vector<uint8_t> dumps[2] = {profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 1), head),
                                           profilegen::EncodeDump(profilegen::DiscSideProfile(shape, 2), head)};
    for (int i = 0; i < 151; ++i) {
        b->reference[i] = {i * 1000, 7500};
    }
    const DWORD refCount = 151;
    DiscSettings ds = {};
    ds.discL1 = 100000;
    ds.discL2 = 7000;
    LONG limits[kDiscLimitCount] = {};
    limits[0] = 1000;
    limits[2] = 100000;
    CDiscCalc disc;
    CWheelCalc wheel;
    const SensorRegisters regs = RegistersOf(head);
    DWORD points = 0;
    for (auto _ : state) {
        DiscResult result = {};
        ProfileKeyPoints keys[2] = {};
        DWORD counts[2] = {0, 0};
        LONG zRefLast = 0;
        disc.FindMinima(refCount, b->reference, nullptr, nullptr, nullptr, &zRefLast);
        const LONG zMax = disc.MaxZ(refCount, b->reference);
        for (int s = 0; s < 2; ++s) {
            std::vector<uint8_t> dump = dumps[s];
            disc.DecodeDump(dump.data(), &counts[s], b->side[s], &regs, head.rangeMm, ds.discL2 - zRefLast,
                            static_cast<DWORD>(dump.size()));
            wheel.MedianFilter(31, counts[s], b->side[s]);
            wheel.Smooth(9, counts[s], b->side[s]);
            disc.Rotate(counts[s], b->side[s], &regs, 0, 1);
            disc.CropToRange(&counts[s], b->side[s], 0, zMax);
            disc.EvaluateSide(counts[s], b->side[s], &keys[s], refCount, b->reference, ds, &result,
                              static_cast<BYTE>(s + 1));
        }
        disc.EvaluateBothSides(counts[0], b->side[0], counts[1], b->side[1], refCount, b->reference, &keys[0],
                               &keys[1], ds, &result, 0);
        disc.CheckTolerances(&result, limits);
        benchmark::DoNotOptimize(result);
        points = counts[0];
    }
    state.counters["points"] = static_cast<double>(points);
    if (points == 0) {
        state.SkipWithError("the profile did not decode");
    }
}

void BM_DiscMeasurementTwoHeads(benchmark::State& state)
{
    MeasureDiscs(state, 5000, 2900);  // 50 um, the whole 12-block dump
}
BENCHMARK(BM_DiscMeasurementTwoHeads)->Unit(benchmark::kMillisecond);

void BM_DiscMeasurementPoints(benchmark::State& state)
{
    // As the wheel's: 320 um a sample, then 4 and 16 times as many samples
    // (the longest dump read as far as the profile's capacity).
    const int64_t multiple = state.range(0);
    const int16_t step = static_cast<int16_t>(32000 / multiple);
    MeasureDiscs(state, step, multiple > 4 ? 6400 : 2900);
}
BENCHMARK(BM_DiscMeasurementPoints)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMillisecond);

}  // namespace
