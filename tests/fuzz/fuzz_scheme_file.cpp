// Any bytes as scheme text: the parse stays inside the text and the car
// array, and whatever it accepts is a scheme the order can be counted over,
// built in every order type and walked both ways, with every position a
// wheel the scheme has and exactly one position current at every step.
#include <cstdint>
#include <cstring>
#include <memory>

#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "settings/ParamFile.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

// The settings file names the device type the scheme reads at every move.
void UseDeviceType(int deviceType)
{
    static int stored = -1;
    if (stored == deviceType)
        return;
    auto block = std::make_unique<ParamBlock>();
    std::memset(block.get(), 0, sizeof(ParamBlock));
    block->deviceType = static_cast<BYTE>(deviceType);
    CParamFile file;
    Check(file.Save(block.get()) == 1);
    stored = deviceType;
}

int CurrentMarks(const CScheme& scheme, bool axles)
{
    int n = 0;
    if (axles) {
        for (int k = 0; k < scheme.axleCount; ++k)
            n += scheme.axleEntries[k].state & STATE_CURRENT;
    } else {
        for (int i = 0; i < scheme.orderCount; ++i)
            n += scheme.order[i].state & STATE_CURRENT;
    }
    return n;
}

void Walk(CScheme& scheme, int deviceType, int orderType, int carCount)
{
    const int positions = CScheme::CountOrderPositions(scheme.cars, carCount, orderType);
    const int built = scheme.BuildOrder(orderType, carCount);
    Check(built == (positions > 0 && positions <= SCHEME_MAX_ORDER ? 1 : 0));
    if (!built) {
        Check(scheme.orderCount == 0 && scheme.atFirst && scheme.atLast);
        return;
    }
    Check(scheme.orderCount == positions);
    for (int i = 0; i < scheme.orderCount; ++i) {
        const OrderEntry& e = scheme.order[i];
        Check(e.car >= 0 && e.car < carCount && e.axle >= 0 && e.axle < scheme.cars[e.car].axleCount);
        Check(scheme.cars[e.car].axles[e.axle].wheels[e.side].present == 1);
    }
    const bool axles = deviceType == 3;
    Check(CurrentMarks(scheme, axles) == 1);
    Check(scheme.atFirst == 1);
    // Forward to the end, back to the start, then by cars.
    const int bound = SCHEME_MAX_ORDER + 2;
    int steps = 0;
    while (!scheme.atLast && steps++ < bound) {
        scheme.NextPosition();
        Check(CurrentMarks(scheme, axles) == 1);
    }
    Check(scheme.atLast == 1);
    steps = 0;
    while (!scheme.atFirst && steps++ < bound) {
        scheme.PrevPosition();
        Check(CurrentMarks(scheme, axles) == 1);
    }
    Check(scheme.atFirst == 1);
    for (int k = 0; k < 3; ++k) {
        scheme.NextCar();
        Check(CurrentMarks(scheme, axles) == 1);
    }
    scheme.PrevCar();
    Check(CurrentMarks(scheme, axles) == 1);
    auto record = std::make_unique<QavJournalRecord>();
    scheme.FillRecordNames(record.get());
    Check(record->side[0] >= u'0' && record->side[0] <= u'2' && record->side[1] == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("scheme", "");
    static auto scheme = std::make_unique<CScheme>();
    SchemeCar* cars = scheme->cars;
    int items = -1, carCount = -1, orderType = -1;
    const int parsed =
        CSchemeFile::Parse(reinterpret_cast<const char*>(data), size, cars, &items, &carCount, &orderType);
    Check(parsed == 0 || parsed == 1);
    if (parsed == 1) {
        Check(carCount >= 0 && carCount <= SCHEME_MAX_CARS && orderType >= 0 && orderType <= 6 && items >= 0);
        for (int c = 0; c < carCount; ++c) {
            Check(cars[c].axleCount >= 0 && cars[c].axleCount <= SCHEME_MAX_AXLES);
            for (int a = 0; a < SCHEME_MAX_AXLES; ++a)
                Check(cars[c].axles[a].layout == CSchemeFile::CountPresentWheels(cars, c, a));
        }
        for (int type = 0; type <= 6; ++type) {
            const int positions = CScheme::CountOrderPositions(cars, carCount, type);
            Check(positions >= 0 && positions <= items);
        }
        // The wheel devices walk positions, the gauge of device type 3 axles;
        // the input's length picks one, so both are reached without a
        // settings write per input.
        const int deviceType = size % 2 ? 3 : 1;
        UseDeviceType(deviceType);
        Walk(*scheme, deviceType, orderType, carCount);
        Walk(*scheme, deviceType, 1 + static_cast<int>(size % 6), carCount);
    }
    return 0;
}
