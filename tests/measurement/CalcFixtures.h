// Shared set-up of the calculation tests: settings as the factory writes
// them, register words from the profile generator's head, and one call of the
// whole wheel pipeline.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "measurement/WheelCalc.h"
#include "settings/ParamFile.h"
#include "tools/profilegen/ProfileGen.h"

namespace calctest {

inline HeadSettings FactoryHeadSettings()
{
    HeadSettings hs;
    std::memset(&hs, 0, sizeof(hs));
    const LONG dims[PARAM_DIMENSION_COUNT] = {2000,   70000,  13000,  10000,  13000,  70000,  105000,
                                              10000,  140000, 674000, 910000, 127000, 105000, 15000,
                                              90000,  50000,  105000, 110000, 130000, 70000,  107500};
    std::memcpy(hs.dimensions, dims, sizeof(dims));
    for (BYTE& o : hs.options) {
        o = 1;
    }
    for (int k = 0; k < PARAM_SWITCH_COUNT; ++k) {
        hs.switches[k] = k < 3 ? 2 : 1;
    }
    return hs;
}

// The settings the S1002 nominal values belong to: thickness 10 mm above the
// datum ("L3"), options 1 and 2 at 1.
inline HeadSettings S1002Settings()
{
    HeadSettings hs = FactoryHeadSettings();
    hs.dimensions[DIM_L3] = 10000;
    return hs;
}

inline SensorRegisters RegistersOf(const profilegen::HeadEncoding& head)
{
    SensorRegisters regs;
    for (int i = 0; i < kHeadRegisterCount; ++i) {
        regs.words[i] = head.words[static_cast<size_t>(i)];
    }
    return regs;
}

// The measured side of one wheel run, as the controller keeps it.
struct WheelRun {
    DWORD count = 0;
    ProfilePoint points[kMaxProfilePoints] = {};
    ProfileKeyPoints keys = {};
    WheelResult result = {};
    SensorRegisters regs = {};
};

// Runs the whole pipeline, without a reference, on the dump into `run`,
// whose registers and whatever a test marked in it are the state it starts
// from; `skip` leaves the tyre and the grading alone.
inline void Process(std::vector<uint8_t>& dump, DWORD range, WheelRun& run, const HeadSettings& hs, BYTE levelMode = 0,
                    const LONG* limits = nullptr, DWORD lapka = 0, BYTE skip = 0)
{
    const DWORD refCount = 0;
    ProfileKeyPoints refKeys = {};
    CWheelCalc().ProcessMeasurement(dump.data(), range, &run.regs, lapka, hs, limits, levelMode, &refCount, nullptr,
                                    &refKeys, &run.count, run.points, &run.keys, &run.result, 0, skip,
                                    static_cast<DWORD>(dump.size()));
}

// Encodes the profile for the head and runs the whole pipeline on it.
inline std::unique_ptr<WheelRun> RunWheel(const std::vector<profilegen::Point>& profile,
                                          const profilegen::HeadEncoding& head, const HeadSettings& hs,
                                          BYTE levelMode = 0, const LONG* limits = nullptr)
{
    auto run = std::make_unique<WheelRun>();
    run->regs = RegistersOf(head);
    std::vector<uint8_t> dump = profilegen::EncodeDump(profile, head);
    if (dump.size() < kRawDumpBytes) {
        dump.resize(kRawDumpBytes, 0);
    }
    Process(dump, head.rangeMm, *run, hs, levelMode, limits);
    return run;
}

}  // namespace calctest
