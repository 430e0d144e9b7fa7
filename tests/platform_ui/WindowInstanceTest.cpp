// The single-instance check across programs: a second program finds the
// first one's main window by class and title and brings it to the front.

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/platform_ui/WindowTestSupport.h"
#include "tests/support/TempDeviceRoot.h"

extern char** environ;

namespace {

constexpr const char16_t* kProbeClass = u"QavInstanceProbe";

LRESULT CALLBACK ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
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
    MSG m;
    for (int i = 0; i < 1000 && GetForegroundWindow() != main; ++i) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        Sleep(10);
    }
    EXPECT_EQ(GetForegroundWindow(), main);
    DestroyWindow(other);
    DestroyWindow(main);
    qplat::StopPresenter();
}

TEST(WindowInstance, ASecondProgramFindsTheFirstAndBringsItToTheFront)
{
    qtest::TempDeviceRoot root;
    ASSERT_TRUE(qplat::StartPresenter(qplat::PresenterKind::Headless));
    EXPECT_EQ(FindWindowW(kProbeClass, u""), nullptr) << "nothing runs yet";

    std::string filter = "--gtest_filter=WindowInstanceHelper.ServeUntilBroughtToTheFront";
    std::string self = "/proc/self/exe";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    env.push_back("QAV5_INSTANCE_HELPER_ROOT=" + root.Path());
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {self.data(), filter.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);

    HWND found = nullptr;
    for (int i = 0; i < 500 && !found; ++i) {
        found = FindWindowW(kProbeClass, u"");
        if (!found) Sleep(10);
    }
    ASSERT_NE(found, nullptr);
    EXPECT_TRUE(IsWindow(found));
    EXPECT_EQ(FindWindowW(kProbeClass, u"another title"), nullptr);
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<uintptr_t>(found) | 1)));

    int status = -1;
    for (int i = 0; i < 1000; ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        Sleep(10);
    }
    ASSERT_TRUE(WIFEXITED(status)) << "the other program ended";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "it was brought to the front";
    EXPECT_EQ(FindWindowW(kProbeClass, u""), nullptr) << "an ended program is not found";
    qplat::StopPresenter();
}

}  // namespace
