// A device root with an installed program folder for the scheme tests, and
// helpers to build a scheme from scheme text.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "scheme/Scheme.h"
#include "scheme/SchemeFile.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/support/TempDeviceRoot.h"

namespace schemetest {

// (car, axle, side) of an order entry.
using Position = std::tuple<int, int, int>;

inline std::vector<Position> OrderOf(const CScheme& scheme)
{
    std::vector<Position> positions;
    for (int i = 0; i < scheme.orderCount; ++i)
        positions.emplace_back(scheme.order[i].car, scheme.order[i].axle, scheme.order[i].side);
    return positions;
}

// Entries whose state carries the current bit.
inline int CurrentMarks(const CScheme& scheme)
{
    int n = 0;
    for (int i = 0; i < scheme.orderCount; ++i)
        n += (scheme.order[i].state & 1) != 0 ? 1 : 0;
    return n;
}

class SchemeRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
        root.MakeFolder(u"\\SDMMC\\Autorun\\Schemes");
        root.MakeFolder(u"\\SDMMC\\Autorun\\Schemes_QOD");
        qtest::SetCardFolder();
        SetDeviceType(1);
    }

    // Stores the settings block with this device type and the journal "Depot".
    void SetDeviceType(int deviceType, const char16_t* schemeName = u"")
    {
        auto block = std::make_unique<ParamBlock>();
        block->deviceType = static_cast<BYTE>(deviceType);
        qplat::CopyField(block->qavJournalName, PARAM_NAME_CHARS, u"Depot");
        qplat::CopyField(block->qodJournalName, PARAM_NAME_CHARS, u"DiscDepot");
        qplat::CopyField(block->qavSchemeName, PARAM_NAME_CHARS, schemeName);
        CParamFile file;
        ASSERT_EQ(1, file.Save(block.get()));
    }

    ParamBlock LoadSettings()
    {
        ParamBlock block = {};
        CParamFile file;
        file.Load(&block);
        return block;
    }

    // Parses scheme text into a new scheme (cars, counts and order type as a
    // launcher stores them), without building the order.
    std::unique_ptr<CScheme> Parsed(const std::string& text, int* type = nullptr)
    {
        auto scheme = std::make_unique<CScheme>();
        int items = 0, cars = 0, orderType = 0;
        EXPECT_EQ(1, CSchemeFile::Parse(text.data(), text.size(), scheme->cars, &items, &cars, &orderType)) << text;
        scheme->orderCount = items;
        scheme->carCount = cars;
        scheme->orderType = orderType;
        if (type)
            *type = orderType;
        return scheme;
    }

    static std::string SchemeFolder(int deviceType)
    {
        return deviceType == 4 ? "Schemes_QOD" : "Schemes";
    }

    qtest::TempDeviceRoot root;
};

}  // namespace schemetest
