// The single-instance check across programs: a second program finds the
// first one's main window by class and title and brings it to the front, or
// wakes a first one that is asleep without a window.

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/PowerSleep.h"
#include "platform/WinShell.h"
#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/TempDeviceRoot.h"

extern char** environ;

namespace {

constexpr const char16_t* kProbeClass = u"QavInstanceProbe";
constexpr const char16_t* kSleeperClass = u"QavInstanceSleeper";

// Set once another window is in front of the helper's main window.
std::atomic<bool> g_endWhenActivated{false};

LRESULT CALLBACK ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    // A program may end the very moment it is brought to the front (while
    // the other program's request is still being answered); its answer
    // must not be lost with it.
    if (m == WM_ACTIVATE && LOWORD(w) != WA_INACTIVE && g_endWhenActivated)
        std::_Exit(GetForegroundWindow() == h ? 0 : 3);
    return DefWindowProcW(h, m, w, l);
}

// Run in a second process by the test below: the "running program".
TEST(WindowInstanceHelper, ServeUntilBroughtToTheFront)
{
    const char* root = std::getenv("QAV5_INSTANCE_HELPER_ROOT");
    if (!root) GTEST_SKIP() << "only run as the other program of WindowInstance tests";
    qplat::SetDeviceRoot(root);
    ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.lpszClassName = kProbeClass;
    ASSERT_TRUE(RegisterClassW(&wc));
    HWND main = CreateWindowExW(0, kProbeClass, u"", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(main);
    HWND other = qtest::MakeTop(0, 0, 100, 100);  // in front of the main window
    ASSERT_NE(GetForegroundWindow(), main);
    g_endWhenActivated = true;
    // Ends in the main window's activation; only a lost request comes here.
    MSG m;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(10);
    }
    ADD_FAILURE() << "never brought to the front";
    DestroyWindow(other);
    DestroyWindow(main);
    qplat::StopPresenter();
}

// Starts this test program again as the other program, running only the
// helper test `name` on the device root; its process id, or 0.
pid_t SpawnHelper(const std::string& name, const std::string& root)
{
    std::string filter = "--gtest_filter=WindowInstanceHelper." + name;
    std::string self = "/proc/self/exe";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("QAV5_INSTANCE_HELPER_ROOT=" + root);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : 0;
}

// The other program's wait status once it ended, or -1 when it did not end
// within a generous limit (it is then killed).
int AwaitEnd(pid_t pid)
{
    int status = -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000;) {
        if (waitpid(pid, &status, WNOHANG) == pid) return status;
        Sleep(10);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

TEST(WindowInstance, ASecondProgramFindsTheFirstAndBringsItToTheFront)
{
    qtest::TempDeviceRoot root;
    ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
    EXPECT_EQ(FindWindowW(kProbeClass, u""), nullptr) << "nothing runs yet";

    const pid_t pid = SpawnHelper("ServeUntilBroughtToTheFront", root.Path());
    ASSERT_GT(pid, 0);

    // Generous limits: a sanitized program starts slowly on a loaded machine.
    HWND found = nullptr;
    for (DWORD start = GetTickCount(); !found && GetTickCount() - start < 30000;) {
        found = FindWindowW(kProbeClass, u"");
        if (!found) Sleep(10);
    }
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsWindow(found));
    EXPECT_EQ(FindWindowW(kProbeClass, u"another title"), nullptr);
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));

    const int status = AwaitEnd(pid);
    ASSERT_NE(status, -1) << "the other program did not end";
    ASSERT_TRUE(WIFEXITED(status)) << "the other program ended";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "it was brought to the front";
    EXPECT_EQ(FindWindowW(kProbeClass, u""), nullptr) << "an ended program is not found";
    qplat::StopPresenter();
}

// Run in a second process by the test below: a copy asleep without a window
// that ends the very moment it is woken, as one whose power key asked it to
// end does. The thread that answers other copies runs below every other
// thread, on the one processor the sleeping thread runs on: the woken thread
// takes that processor at once, so whatever the answering thread does only
// after the wake is never done.
TEST(WindowInstanceHelper, SleepUntilWokenThenEndAtOnce)
{
    const char* root = std::getenv("QAV5_INSTANCE_HELPER_ROOT");
    if (!root) GTEST_SKIP() << "only run as the other program of WindowInstance tests";
    qplat::SetDeviceRoot(root);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(sched_getcpu(), &one);
    ASSERT_EQ(pthread_setaffinity_np(pthread_self(), sizeof one, &one), 0);
    qplat::SetPowerHandler(nullptr);
    qplat::SetSleepScreen([] {
        while (qplat::DeviceAsleep()) qplat::WaitForWake(1000);
    });
    std::thread sleeper([] {
        SetSystemPowerState(nullptr, POWER_STATE_OFF, POWER_FORCE);
        std::_Exit(qplat::DeviceWakes() == 1 ? 0 : 3);
    });
    while (!qplat::DeviceAsleep()) Sleep(1);
    const sched_param lowest{};
    ASSERT_EQ(pthread_setschedparam(pthread_self(), SCHED_IDLE, &lowest), 0);
    ASSERT_EQ(qplat::ClaimMainWindowName(kSleeperClass), qplat::InstanceClaim::Claimed);
    std::ofstream(std::string(root) + "/claimed") << "claimed";
    // Ends in the sleeping thread; only a lost request comes here.
    sleeper.join();
    ADD_FAILURE() << "never woken";
}

TEST(WindowInstance, ACopyAsleepThatEndsOnWakingHasSaidSoFirst)
{
    qtest::TempDeviceRoot root;
    const pid_t pid = SpawnHelper("SleepUntilWokenThenEndAtOnce", root.Path());
    ASSERT_GT(pid, 0);

    const std::filesystem::path claimed = std::filesystem::path(root.Path()) / "claimed";
    for (DWORD start = GetTickCount(); !std::filesystem::exists(claimed) && GetTickCount() - start < 30000;) Sleep(10);
    EXPECT_TRUE(std::filesystem::exists(claimed)) << "the other copy did not fall asleep";
    EXPECT_TRUE(qplat::WakeOtherCopy(kSleeperClass)) << "the answer was lost with the copy it woke";

    const int status = AwaitEnd(pid);
    ASSERT_NE(status, -1) << "the other copy did not end";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "it was woken once and ended";
    EXPECT_FALSE(qplat::WakeOtherCopy(kSleeperClass)) << "an ended copy is not woken";
}

}  // namespace
