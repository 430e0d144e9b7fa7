// Any bytes as the point lines of a reference-profile file.
#include <cstdint>
#include <memory>

#include "measurement/ReferStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto points = std::make_unique<ProfilePoint[]>(kMaxProfilePoints);
    DWORD count = 0;
    ParseReferPoints(data, size, points.get(), &count);
    if (count > kMaxProfilePoints) {
        __builtin_trap();
    }
    return 0;
}
