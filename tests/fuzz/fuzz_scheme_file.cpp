// Any bytes as scheme text: the parse stays inside the text and the car
// array, and whatever it accepts is a scheme the order can be counted over.
#include <cstdint>
#include <memory>

#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto cars = std::make_unique<SchemeCar[]>(SCHEME_MAX_CARS);
    int items = -1, carCount = -1, orderType = -1;
    const int parsed = CSchemeFile::Parse(reinterpret_cast<const char*>(data), size, cars.get(), &items, &carCount,
                                          &orderType);
    if (parsed != 0 && parsed != 1)
        __builtin_trap();
    if (parsed == 1) {
        if (carCount < 0 || carCount > SCHEME_MAX_CARS || orderType < 0 || orderType > 6 || items < 0)
            __builtin_trap();
        for (int c = 0; c < carCount; ++c) {
            if (cars[c].axleCount < 0 || cars[c].axleCount > SCHEME_MAX_AXLES)
                __builtin_trap();
            for (int a = 0; a < SCHEME_MAX_AXLES; ++a)
                if (cars[c].axles[a].layout != CSchemeFile::CountPresentWheels(cars.get(), c, a))
                    __builtin_trap();
        }
        for (int type = 0; type <= 6; ++type) {
            const int positions = CScheme::CountOrderPositions(cars.get(), carCount, type);
            if (positions < 0 || positions > items)
                __builtin_trap();
        }
    }
    return 0;
}
