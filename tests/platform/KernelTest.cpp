// Stand-in drivers, power, memory, debug output and the program's own name.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/PowerSleep.h"
#include "platform/WinKernel.h"
#include "tests/support/TempDeviceRoot.h"

namespace {

using qtest::DeviceRootTest;

HANDLE OpenDriver(const char16_t* name)
{
    return CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       0, nullptr);
}

TEST_F(DeviceRootTest, StandInDriversRecordRequests)
{
    HANDLE power = OpenDriver(u"YGI1:");
    ASSERT_NE(INVALID_HANDLE_VALUE, power);
    DWORD returned = 77;
    EXPECT_TRUE(DeviceIoControl(power, 0x22043C, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(0u, returned);
    EXPECT_TRUE(CloseHandle(power));

    HANDLE bt = OpenDriver(u"btd0:");
    ASSERT_NE(INVALID_HANDLE_VALUE, bt);
    const WCHAR card[] = u"card";
    EXPECT_TRUE(DeviceIoControl(bt, 0x1040004, const_cast<WCHAR*>(card), sizeof card, nullptr, 0, nullptr, nullptr));
    char buffer[4];
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(bt, buffer, sizeof buffer, &read, nullptr));  // a control-only driver
    CloseHandle(bt);

    // (device, code, input) of each request.
    using Request = std::tuple<std::string, DWORD, std::string>;
    std::vector<Request> requests;
    for (const auto& r : qplat::DriverRequests())
        requests.emplace_back(r.device, r.code, r.input);
    const std::string cardBytes(reinterpret_cast<const char*>(card), 10);
    EXPECT_EQ(requests, (std::vector<Request>{{"YGI1:", 0x22043C, ""}, {"BTD0:", 0x1040004, cardBytes}}));
    qplat::ClearDriverRequests();
    EXPECT_TRUE(qplat::DriverRequests().empty());

    // Only the drivers the handheld has.
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenDriver(u"YGI2:"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, OpenDriver(u"QQQ1:"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(DeviceIoControl(INVALID_HANDLE_VALUE, 1, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST_F(DeviceRootTest, OnlyAResetRunsTheShutDownHooksBeforeTheHandler)
{
    std::vector<std::string> order;
    qplat::AddShutdownHook([&] { order.push_back("flush"); });
    qplat::AddShutdownHook([&] { order.push_back("close"); });
    qplat::SetPowerHandler([&](DWORD state) { order.push_back("handler " + std::to_string(state)); });

    // A power-off ends nothing: the program carries on after waking.
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE));
    EXPECT_EQ((std::vector<std::string>{"handler 131072"}), order);

    order.clear();
    SetSystemPowerState(nullptr, POWER_STATE_RESET, POWER_FORCE);
    EXPECT_EQ((std::vector<std::string>{"flush", "close", "handler 8388608"}), order);

    order.clear();
    SetSystemPowerState(nullptr, POWER_STATE_SUSPEND, 0);
    EXPECT_EQ((std::vector<std::string>{"handler 2097152"}), order);

    EXPECT_EQ((std::vector<DWORD>{POWER_STATE_OFF, POWER_STATE_RESET, POWER_STATE_SUSPEND}), qplat::PowerStateRequests());
    qplat::ClearShutdownHooks();
}

TEST_F(DeviceRootTest, PowerOffSleepsUntilWokenAndKeepsTheProgram)
{
    qplat::SetPowerHandler(nullptr);
    bool hookRan = false;
    qplat::AddShutdownHook([&] { hookRan = true; });
    const unsigned sleeps = qplat::DeviceSleeps(), wakes = qplat::DeviceWakes();
    std::atomic<bool> sawSleep{false};
    // The screen's side of the sleep: it sees the device asleep and wakes it
    // from another thread, as a tap would.
    qplat::SetSleepScreen([&] {
        sawSleep = qplat::DeviceAsleep();
        std::thread waker([] { EXPECT_TRUE(qplat::WakeDevice()); });
        while (!qplat::WaitForWake(1000)) {
        }
        waker.join();
    });
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE));
    qplat::SetSleepScreen(nullptr);
    EXPECT_TRUE(sawSleep);
    EXPECT_FALSE(qplat::DeviceAsleep());
    EXPECT_EQ(qplat::DeviceSleeps(), sleeps + 1);
    EXPECT_EQ(qplat::DeviceWakes(), wakes + 1);
    EXPECT_FALSE(hookRan);
    EXPECT_FALSE(qplat::WakeDevice()) << "an awake device is not woken again";

    // With nothing that could wake it, a power-off wakes at once.
    SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
    EXPECT_FALSE(qplat::DeviceAsleep());
    EXPECT_EQ(qplat::DeviceWakes(), wakes + 2);
    qplat::SetPowerHandler([](DWORD) {});
    qplat::ClearShutdownHooks();
}

TEST(PowerDeathTest, AResetRunsTheHooksAndStartsTheProgramAgain)
{
    // The hooks run before the process is replaced; this one ends it there.
    EXPECT_EXIT(
        {
            qplat::SetPowerHandler(nullptr);
            qplat::AddShutdownHook([] {
                std::fputs("hook ran\n", stderr);
                std::fflush(stderr);
                std::_Exit(5);
            });
            SetSystemPowerState(nullptr, POWER_STATE_RESET, POWER_FORCE);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(5), "hook ran");
}

TEST(Power, StatusIsPlausible)
{
    SYSTEM_POWER_STATUS_EX2 status;
    std::memset(&status, 0xAB, sizeof status);
    ASSERT_EQ(sizeof status, GetSystemPowerStatusEx2(&status, sizeof status, TRUE));
    EXPECT_LE(status.BatteryLifePercent, 100);
    EXPECT_TRUE(status.ACLineStatus == AC_LINE_ONLINE || status.ACLineStatus == AC_LINE_OFFLINE);
    EXPECT_EQ(0u, GetSystemPowerStatusEx2(&status, sizeof status - 1, TRUE));
    EXPECT_EQ(0u, GetSystemPowerStatusEx2(nullptr, sizeof status, TRUE));
}

TEST(Memory, LocalAllocZeroesAndFailsSoftly)
{
    auto* p = static_cast<unsigned char*>(LocalAlloc(LPTR, 4096));
    ASSERT_NE(nullptr, p);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(0, p[i]);
    EXPECT_EQ(nullptr, LocalFree(p));
    EXPECT_EQ(nullptr, LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(-1)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
    EXPECT_EQ(nullptr, LocalFree(nullptr));
}

TEST(Debug, OutputKeepsTheLastLines)
{
    qplat::ClearDebugOutput();
    OutputDebugStringW(u"first\n");
    OutputDebugStringW(nullptr);
    for (int i = 0; i < 250; ++i)
        OutputDebugStringW(u"line");
    OutputDebugStringW(u"Последняя");
    auto lines = qplat::DebugOutput();
    ASSERT_EQ(200u, lines.size());
    EXPECT_EQ(u"Последняя", lines.back());
    EXPECT_EQ(u"line", lines.front());
}

TEST_F(DeviceRootTest, ModuleFileName)
{
    WCHAR name[512];
    DWORD length = GetModuleFileNameW(nullptr, name, 512);
    // The test program lies outside the device root: "\" and its file name.
    EXPECT_EQ(std::u16string(u"\\test_platform"), std::u16string(name, length));

    qplat::SetModuleDevicePath(u"\\SDMMC\\Autorun\\RunQav5.exe");
    length = GetModuleFileNameW(nullptr, name, 512);
    EXPECT_EQ(std::u16string(u"\\SDMMC\\Autorun\\RunQav5.exe"), name);
    EXPECT_EQ(26u, length);
    // A short buffer: cut, terminated, the buffer size returned.
    length = GetModuleFileNameW(nullptr, name, 6);
    EXPECT_EQ(6u, length);
    EXPECT_EQ(std::u16string(u"\\SDMM"), name);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    qplat::SetModuleDevicePath(u"");

    // A program inside the root gets its device path.
    qplat::SetDeviceRoot(QAV5_BINARY_DIR);
    length = GetModuleFileNameW(nullptr, name, 512);
    EXPECT_EQ(std::u16string(u"\\tests\\test_platform"), std::u16string(name, length));
    root.Reload();
}

}  // namespace
