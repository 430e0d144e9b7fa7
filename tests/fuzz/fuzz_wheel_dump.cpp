// Any head words and any dump through the whole wheel pipeline, then the
// comparison and wear zones of the result against itself.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "measurement/WheelCalc.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

struct Work {
    ProfilePoint points[kMaxProfilePoints];
    ProfilePoint reference[kMaxProfilePoints];
    DeviationRow rows[kMaxDeviationRows];
};

// Input: 38 register words, the range, the level mode, an option byte, then the dump.
constexpr size_t kHeader = 38 * 2 + 2 + 1 + 1;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeader) {
        return 0;
    }
    static auto work = std::make_unique<Work>();
    SensorRegisters regs;
    std::memcpy(regs.words, data, sizeof(regs.words));
    uint16_t range = 0;
    std::memcpy(&range, data + 76, 2);
    const BYTE levelMode = data[78];
    const BYTE choice = data[79];
    HeadSettings hs;
    std::memset(&hs, 0, sizeof(hs));
    const LONG dims[PARAM_DIMENSION_COUNT] = {2000,   70000,  13000,  10000,  13000,  70000,  105000,
                                              10000,  140000, 674000, 910000, 127000, 105000, 15000,
                                              90000,  50000,  105000, 110000, 130000, 70000,  107500};
    std::memcpy(hs.dimensions, dims, sizeof(dims));
    hs.options[0] = static_cast<BYTE>(1 + (choice & 1));
    hs.options[1] = static_cast<BYTE>(1 + ((choice >> 1) & 3));
    hs.options[2] = static_cast<BYTE>(1 + ((choice >> 3) & 1));
    hs.options[3] = static_cast<BYTE>(1 + ((choice >> 4) & 1));
    for (BYTE& s : hs.switches) {
        s = 2;
    }
    hs.switches[21] = (choice & 0x20) ? 2 : 1;

    std::vector<BYTE> dump(data + kHeader, data + size);
    std::vector<LONG> limits(kWheelLimitCount, 1000);
    DWORD count = 0;
    ProfileKeyPoints keys = {}, refKeys = {};
    WheelResult result = {};
    const DWORD noReference = 0;
    CWheelCalc calc;
    calc.ProcessMeasurement(dump.data(), range, &regs, 120000, hs, limits.data(), levelMode, &noReference, nullptr,
                            &refKeys, &count, work->points, &keys, &result, 0, 0, static_cast<DWORD>(dump.size()));
    Check(count <= kMaxProfilePoints);
    // The same profile as its own reference, shifted.
    std::memcpy(work->reference, work->points, sizeof(work->points));
    const DWORD refCount = count;
    WheelResult refResult = {};
    calc.Evaluate(refCount, work->reference, &refKeys, 0, nullptr, nullptr, hs, &refResult, 1);
    calc.Evaluate(count, work->points, &keys, refCount, work->reference, &refKeys, hs, &result, 0);
    DWORD rows = 0;
    double minDev = 0, maxDev = 0, maxAbs = 0, positive = 0, negative = 0;
    calc.CompareWithReference(count, work->points, refCount, work->reference, 300, 1000, &rows, work->rows, &minDev,
                              &maxDev, &maxAbs, 250);
    Check(rows <= kMaxDeviationRows);
    calc.DeviationAreas(rows, work->rows, &positive, &negative);
    calc.DeviationAt(count, work->points, hs, &result, 300);
    calc.WearZones(count, work->points, refCount, work->reference, &result);
    return 0;
}
