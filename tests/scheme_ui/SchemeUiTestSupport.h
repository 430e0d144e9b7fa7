// A card for the scheme and reference screens: the screen fixture's, with
// the shipped schemes of both families.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/WinText.h"
#include "tests/ui/ScreenTestSupport.h"

namespace schemeui {

using qtest::ReadSourceData;
using qtest::Snapshot;

inline std::u16string Utf16(const std::string& text)
{
    return qplat::FromUtf8(text);
}

class SchemeUiTest : public qtest::ScreenFixture {
protected:
    // The shipped schemes of both families on the card.
    void InstallShippedSchemes()
    {
        for (const char* folder : {"Schemes", "Schemes_QOD"}) {
            for (const auto& entry :
                 std::filesystem::directory_iterator(std::filesystem::path(QAV5_SOURCE_DIR) / "data" / folder)) {
                const std::string name = entry.path().filename().string();
                root.WriteFile(std::u16string(kAutorun) + Utf16(folder) + u"\\" + Utf16(name),
                               ReadSourceData(std::filesystem::path("data") / folder / name));
            }
        }
    }
};

}  // namespace schemeui
