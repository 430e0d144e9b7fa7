// The measuring schemes a new card comes with (data/Schemes and
// data/Schemes_QOD) are the writer's own output: each is written again here and
// compared byte for byte, then parsed and walked.
//
// After a change to this list or to the writer, run this test with
// QAV5_UPDATE_SHIPPED_SCHEMES=1 to write the files into data/ again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/scheme/SchemeTestSupport.h"

namespace schemetest {
namespace {

struct ShippedScheme {
    const char16_t* name;
    int cars;
    int axlesPerCar;
    int orderType;
    int layout;
    int deviceType;
};

const ShippedScheme kShipped[] = {
    {u"Car 4 axles", 1, 4, 5, 2, 1},
    {u"Locomotive 2 bogies", 1, 6, 3, 2, 1},
    {u"Train 5 cars", 5, 4, 1, 2, 1},
    {u"Disc car 4 axles", 1, 4, 4, 2, 4},
    {u"Disc train 3 cars", 3, 4, 6, 3, 4},
};

std::filesystem::path DataPath(const ShippedScheme& s)
{
    return std::filesystem::path(QAV5_SOURCE_DIR) / "data" / (s.deviceType == 4 ? "Schemes_QOD" : "Schemes") /
           (qplat::ToUtf8(s.name) + ".sch");
}

class ShippedSchemesTest : public SchemeRootTest {};

TEST_F(ShippedSchemesTest, EachShippedSchemeIsTheWritersOutputAndLoads)
{
    const bool update = std::getenv("QAV5_UPDATE_SHIPPED_SCHEMES") != nullptr;
    auto writer = std::make_unique<CSchemeFile>();
    auto scheme = std::make_unique<CScheme>();
    for (const ShippedScheme& s : kShipped) {
        SCOPED_TRACE(qplat::ToUtf8(s.name));
        ASSERT_EQ(1, writer->Write(s.cars, s.axlesPerCar, s.orderType, s.name, s.layout, s.deviceType));
        const std::u16string devicePath = u"\\SDMMC\\Autorun\\" + qplat::FromUtf8(SchemeFolder(s.deviceType)) + u"\\" +
                                          s.name + u".sch";
        const std::string written = root.ReadFile(devicePath);
        if (update) {
            std::filesystem::create_directories(DataPath(s).parent_path());
            std::ofstream(DataPath(s), std::ios::binary) << written;
        }
        const std::string shipped = qtest::ReadHostFile(DataPath(s));
        ASSERT_EQ(written, shipped) << DataPath(s);

        // The shipped bytes themselves, as the card carries them.
        root.WriteFile(devicePath, shipped);
        int items = 0, cars = 0, type = 0;
        ASSERT_EQ(1, writer->Load(s.name, scheme->cars, &items, &cars, &type, s.deviceType));
        EXPECT_EQ(s.cars * s.axlesPerCar * s.layout, items);
        EXPECT_EQ(s.cars, cars);
        EXPECT_EQ(s.orderType, type);
        SetDeviceType(s.deviceType);
        ASSERT_EQ(1, scheme->BuildOrder(type, cars));
        EXPECT_EQ(items, scheme->orderCount);
        auto preview = std::make_unique<CScheme>();
        BuildDefaultScheme(preview.get(), s.cars, s.axlesPerCar, s.orderType, s.layout);
        ASSERT_EQ(1, preview->BuildOrder(s.orderType, s.cars));
        EXPECT_EQ(OrderOf(*preview), OrderOf(*scheme));
    }
    // Nothing else lies in the shipped folders.
    for (const char* folder : {"Schemes", "Schemes_QOD"}) {
        int files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(QAV5_SOURCE_DIR) / "data" / folder))
            files += entry.is_regular_file() ? 1 : 0;
        EXPECT_EQ(std::string(folder) == "Schemes" ? 3 : 2, files) << folder;
    }
}

}  // namespace
}  // namespace schemetest
