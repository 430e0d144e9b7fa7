// Helpers of the shell tests: a device root laid out like a card (program
// folder, the delivered language files), the program-wide objects and the
// start screen made in-process, probes of the composed screen, and the
// program itself run from a script on such a card.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "platform/Presenter.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "platform/gdi/Surface.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "shell/ProgramObjects.h"
#include "shell/Shell.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/TempDeviceRoot.h"
#include "tests/ui/DialogTestSupport.h"
#include "tests/ui/ScreenTestSupport.h"

namespace qtest {

// Lays out the card: the registry's card folder, the program folder with the
// delivered language files, and the journal folder.
inline void LayOutCard(TempDeviceRoot& root, const char* language = "ENG.LNG")
{
    qtest::SetCardFolder();
    root.WriteFile(u"\\SDMMC\\Autorun\\Language\\ENG.LNG", ReadSourceFile("data/Language/ENG.LNG"));
    root.WriteFile(u"\\SDMMC\\Autorun\\Language\\RUS.LNG", ReadSourceFile("data/Language/RUS.LNG"));
    root.WriteFile(u"\\SDMMC\\Autorun\\Language\\Language.ini", std::string("File_Language=") + language + "\r\n");
    root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
}

constexpr const char16_t* kParamPath = u"\\SDMMC\\Autorun\\param.qav";

// A settings file of the factory defaults with a few bytes changed.
inline void WriteParams(TempDeviceRoot&, const std::function<void(ParamBlock&)>& change)
{
    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    CParamFile file;
    file.WriteDefaults(&block);
    change(block);
    ASSERT_EQ(file.Save(&block), 1);
}

// The sensor of the device type paired in the settings block.
inline void PairSensor(ParamBlock& b, int deviceType, const char16_t* address, const char16_t* name,
                       const char16_t* pin = u"1235")
{
    ParamBTRecord* r = SensorRecordOf(&b, deviceType);
    qplat::CopyField(r->address, 20, address);
    qplat::CopyField(r->name, 12, name);
    qplat::CopyField(r->pin, 5, pin);
}

// The settings file as the program reads it.
inline ParamBlock StoredParams()
{
    ParamBlock block;
    std::memset(&block, 0, sizeof block);
    CParamFile file;
    EXPECT_EQ(1, file.Load(&block)) << "the settings file cannot be read";
    return block;
}

// A control sits at (x, y) of its parent's client area with the size.
inline void ExpectPlaced(HWND parent, HWND control, int x, int y, int width, int height)
{
    ASSERT_NE(control, nullptr);
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, x);
    EXPECT_EQ(r.top, y);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_EQ(r.bottom - r.top, height);
}

// The program itself, run headless from scripts on the card LayOutCard lays
// out: the scripts and the snapshots in a folder beside the device root.
class ProgramRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LayOutCard(root);
        dir = root.Beside("-run");
    }
    // Runs the program over the script, each run from a script file of its
    // own; its exit status. `errors` and `prefix` as RunProgramScript takes
    // them.
    int Run(const std::string& script, const std::filesystem::path& errors = {}, const std::string& prefix = "")
    {
        const std::filesystem::path file = dir / ("script" + std::to_string(++runs) + ".txt");
        return RunProgramScript(root.Path(), file, script, errors, prefix);
    }
    std::string Snap(const std::string& name) const { return (dir / (name + ".png")).string(); }
    qplat::Surface Png(const std::string& name) const { return ReadSnapshot(Snap(name)); }

    static COLORREF At(const qplat::Surface& s, int x, int y)
    {
        return s.Contains(x, y) ? qplat::PixelToColor(s.At(x, y)) : CLR_INVALID;
    }
    static int Count(const qplat::Surface& s, RECT r, const std::function<bool(COLORREF)>& test)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (s.Contains(x, y) && test(At(s, x, y))) ++n;
        return n;
    }
    static int Differing(const qplat::Surface& a, const qplat::Surface& b, RECT r = RECT{0, 0, 480, 272})
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (At(a, x, y) != At(b, x, y)) ++n;
        return n;
    }

    TempDeviceRoot root;
    std::filesystem::path dir;
    int runs = 0;
};

// The program-wide objects and the start screen, as WinMain makes them.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LayOutCard(root);
        ActionWindow();
        Actions().clear();
    }
    void TearDown() override
    {
        Close();
        Actions().clear();
    }
    // Starts the shell: the objects, then InitInstance (the start screen).
    HWND Start()
    {
        BuildProgramObjects();
        EXPECT_TRUE(InitInstance(nullptr, SW_SHOW));
        main = FindWindowW(u"QAV5_PA", u"");
        qplat::ProcessPendingMessages();
        return main;
    }
    void Close()
    {
        if (main && IsWindow(main)) DestroyWindow(main);
        main = nullptr;
        qplat::ProcessPendingMessages();
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        DestroyProgramObjects();
        UnregisterClassW(u"QAV5_PA", nullptr);
    }
    // Repaints the start screen from fields set by the test: the link
    // monitor is stopped so its thread does not overwrite them.
    void Repaint()
    {
        InvalidateRect(main, nullptr, FALSE);
        UpdateWindow(main);
        qplat::ProcessPendingMessages();
    }

    TempDeviceRoot root;
    HWND main = nullptr;
};

inline COLORREF Pixel(int x, int y)
{
    return qplat::ScreenPixel(x, y);
}

}  // namespace qtest
