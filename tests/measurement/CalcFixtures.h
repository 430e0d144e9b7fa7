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
    const DWORD refCount = 0;
    ProfileKeyPoints refKeys = {};
    CWheelCalc calc;
    calc.ProcessMeasurement(dump.data(), head.rangeMm, &run->regs, 0, hs, limits, levelMode, &refCount, nullptr,
                            &refKeys, &run->count, run->points, &run->keys, &run->result, 0, 0,
                            static_cast<DWORD>(dump.size()));
    return run;
}

}  // namespace calctest
