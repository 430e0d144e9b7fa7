// A device root for the scheme and reference screens: the program folder with
// the delivered language files and the shipped schemes, a settings file of a
// chosen device type, and snapshots of the composed screen.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinText.h"
#include "settings/ParamFile.h"
#include "tests/ui/DialogTestSupport.h"

namespace schemeui {

inline std::string ReadSource(const std::filesystem::path& relative)
{
    std::ifstream in(std::filesystem::path(QAV5_SOURCE_DIR) / relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::u16string Utf16(const std::string& text)
{
    return qplat::FromUtf8(text);
}

// Paints what is pending and writes the composed screen under the build's
// snapshot folder.
inline void Snapshot(const std::string& name)
{
    qplat::ProcessPendingMessages();
    const std::filesystem::path dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(qplat::SaveScreenPng((dir / name).string())) << name;
}

class SchemeUiTest : public qtest::DialogFixture {
protected:
    static constexpr const char16_t* kAutorun = u"\\SDMMC\\Autorun\\";

    void SetUp() override
    {
        qtest::DialogFixture::SetUp();
        UseRealLanguage("ENG.LNG");
    }

    // The delivered language files, one of them current.
    void UseRealLanguage(const char* file)
    {
        for (const char* name : {"ENG.LNG", "RUS.LNG"})
            root.WriteFile(std::u16string(kAutorun) + u"Language\\" + Utf16(name),
                           ReadSource(std::filesystem::path("data/Language") / name));
        UseLanguage(file);
    }

    // The shipped schemes of both families on the card.
    void InstallShippedSchemes()
    {
        for (const char* folder : {"Schemes", "Schemes_QOD"}) {
            for (const auto& entry :
                 std::filesystem::directory_iterator(std::filesystem::path(QAV5_SOURCE_DIR) / "data" / folder)) {
                const std::string name = entry.path().filename().string();
                root.WriteFile(std::u16string(kAutorun) + Utf16(folder) + u"\\" + Utf16(name),
                               ReadSource(std::filesystem::path("data") / folder / name));
            }
        }
    }

    // A settings file of the device type, changed by `edit`.
    template <class Edit>
    void WriteSettings(int deviceType, Edit edit)
    {
        ParamBlock block{};
        CParamFile file;
        file.WriteDefaults(&block);
        block.deviceType = static_cast<BYTE>(deviceType);
        edit(block);
        ASSERT_EQ(1, file.Save(&block));
    }
    void WriteSettings(int deviceType)
    {
        WriteSettings(deviceType, [](ParamBlock&) {});
    }
    ParamBlock ReadSettings()
    {
        ParamBlock block{};
        CParamFile file;
        EXPECT_EQ(1, file.Load(&block));
        return block;
    }
};

}  // namespace schemeui
