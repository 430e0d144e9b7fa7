// A card for the scheme and reference screens: the screen fixture's, with
// the shipped schemes of both families.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/WinText.h"
#include "platform/gdi/Surface.h"
#include "tests/support/ProgramScript.h"
#include "tests/ui/ScreenTestSupport.h"

namespace schemeui {

using qtest::ReadSourceData;
using qtest::Snapshot;

inline std::u16string Utf16(const std::string& text)
{
    return qplat::FromUtf8(text);
}

// The middle of a window on the screen, where a tap of the program's script
// lands on it.
inline qtest::Spot Centre(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return qtest::Spot{static_cast<int>((r.left + r.right) / 2), static_cast<int>((r.top + r.bottom) / 2)};
}

// The two screens show the same pixels within the rectangle.
inline bool SameIn(const qplat::Surface& a, const qplat::Surface& b, RECT r)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (!a.Contains(x, y) || !b.Contains(x, y) || a.At(x, y) != b.At(x, y)) return false;
    return true;
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

// A run of the real program on that card, driven by its script: the script
// beside the device root, the snapshots where a person can look at them.
class SchemeUiRun : public SchemeUiTest {
protected:
    explicit SchemeUiRun(std::string snapshotPrefix) : prefix(std::move(snapshotPrefix)) {}
    void SetUp() override
    {
        SchemeUiTest::SetUp();
        dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
        std::filesystem::create_directories(dir);
        const std::filesystem::path rootPath(root.Path());
        scriptDir = rootPath.parent_path() / (rootPath.filename().string() + "-run");
        std::filesystem::create_directories(scriptDir);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(scriptDir);
        SchemeUiTest::TearDown();
    }
    int RunText(const std::string& text)
    {
        return qtest::RunProgramScript(root.Path(), scriptDir / "script.txt", text);
    }
    std::string Snap(const std::string& name) const { return (dir / (prefix + name + ".png")).string(); }

    std::filesystem::path dir, scriptDir;

private:
    std::string prefix;
};

}  // namespace schemeui
