// Helpers of the shell tests: a device root laid out like a card (program
// folder, the delivered language files), the program-wide objects and the
// start screen made in-process, and probes of the composed screen.
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
