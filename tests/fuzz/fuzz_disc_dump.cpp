// Any disc head words and any dump through the disc run's chain and both
// evaluations.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "measurement/DiscCalc.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

struct Work {
    ProfilePoint side[2][kMaxProfilePoints];
    ProfilePoint reference[kMaxProfilePoints];
};

// Input: 8 register words, the range, the z offset, the reference's height, then the dump.
constexpr size_t kHeader = 8 * 2 + 2 + 4 + 2;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeader) {
        return 0;
    }
    static auto work = std::make_unique<Work>();
    SensorRegisters regs;
    std::memset(&regs, 0, sizeof(regs));
    std::memcpy(regs.words, data, 16);
    uint16_t range = 0;
    std::memcpy(&range, data + 16, 2);
    int32_t zOffset = 0;
    std::memcpy(&zOffset, data + 18, 4);
    int16_t base = 0;
    std::memcpy(&base, data + 22, 2);
    for (int i = 0; i < 150; ++i) {
        work->reference[i] = {i * 1000, base};
    }
    const DWORD refCount = 150;
    DiscSettings ds = {};
    ds.discL1 = 100000;
    ds.discL2 = 7000;
    std::vector<LONG> limits(kDiscLimitCount, 500);
    DiscResult result = {};
    ProfileKeyPoints keys[2] = {};
    DWORD counts[2] = {0, 0};
    CDiscCalc disc;
    CWheelCalc wheel;
    for (int s = 0; s < 2; ++s) {
        // The second side reads the dump from its middle on.
        const size_t from = s == 0 ? kHeader : kHeader + (size - kHeader) / 2;
        std::vector<BYTE> dump(data + from, data + size);
        disc.DecodeDump(dump.data(), &counts[s], work->side[s], &regs, range, zOffset,
                        static_cast<DWORD>(dump.size()));
        Check(counts[s] <= kMaxProfilePoints);
        const int plausible = disc.IsPlausibleProfile(counts[s], work->side[s], &regs, range, zOffset);
        Check(plausible == 0 || plausible == 1);
        if (counts[s] == 0) {
            continue;
        }
        wheel.MedianFilter(31, counts[s], work->side[s]);
        wheel.Smooth(9, counts[s], work->side[s]);
        disc.Rotate(counts[s], work->side[s], &regs, 0, 1);
        disc.CropToRange(&counts[s], work->side[s], 0, disc.MaxZ(refCount, work->reference));
        LONG a = 0, b = 0;
        SHORT tilt = 0, shift = 0;
        disc.FindStepEdge(counts[s], work->side[s], &a, &b);
        disc.MeasureWindows(counts[s], work->side[s], &tilt, &shift, a, b);
        disc.EvaluateSide(counts[s], work->side[s], &keys[s], refCount, work->reference, ds, &result,
                          static_cast<BYTE>(s + 1));
    }
    disc.EvaluateBothSides(counts[0], work->side[0], counts[1], work->side[1], refCount, work->reference, &keys[0],
                           &keys[1], ds, &result, 0);
    disc.CheckTolerances(&result, limits.data());

    // The first side's z values as a stored record's profile, evaluated again
    // as the journal browser does, with a step code from the input.
    if (counts[0] > 0) {
        std::vector<LONG> stored(counts[0]);
        for (DWORD i = 0; i < counts[0]; ++i) {
            stored[i] = work->side[0][i].z;
        }
        const DWORD stepCode = static_cast<DWORD>(regs.words[2]);
        DWORD outCount = 0;
        DiscResult again = {};
        ProfileKeyPoints againKeys = {};
        disc.Evaluate(stored.data(), stepCode, zOffset & 0xFFFF, counts[0], ds, limits.data(), &refCount,
                      work->reference, &outCount, work->side[1], &againKeys, &again, 1);
        Check(outCount == counts[0]);
        disc.ShiftToMinZ(outCount, work->side[1]);
    }
    return 0;
}
