// The program itself, run headless, asked to close while its sensor search
// runs: the search holds the user-interface thread, yet the script's "close"
// and SIGTERM end the program at once, in order, over either Bluetooth
// stack. BlueZ (mocked) inquires for 30 s; the neighbourhood file lists 300
// sensors of another kind, each of whose names the search asks after its
// 100 ms pause. Either search takes 30 s and more on its own.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "tests/sensor/BluezTestSupport.h"
#include "tests/sensor_ui/SensorScreensTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;
using bluetest::MockBluez;
using bluetest::ScopedEnv;
using Clock = fs::file_time_type::clock;

// Half of what either search takes on its own: a failure bound, not a timing.
constexpr auto kBound = std::chrono::seconds(15);

// From the start screen into the search of device type 2 (the gauges "QUN")
// and a tap on start; then, once the busy animation shows the search running
// (one of its dots, wherever the animation is, on the list's white), a
// snapshot, whose time is that of the close that follows.
std::string SearchRunning(const std::string& snap)
{
    return "tap 88 85\n"                                          // settings menu
           "tap 342 101\n"                                        // paired sensors
           "tap 70 121\n"                                         // device type 2
           "tap 91 244\n"                                         // search
           "tap 141 244\n" +                                      // start
           qtest::AwaitLine(440, 157, RGB(0xFF, 0xFF, 0xFF), true, 20000) +  // the busy animation
           "snapshot " + snap + "\n";
}

class SearchCloseRun : public sensorui::SensorScreensRun, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override
    {
        SensorScreensRun::SetUp();
        if (GetParam() == "bluez") {
            mock = std::make_unique<MockBluez>();
            ASSERT_TRUE(mock->Ok()) << "the mocked BlueZ did not start";
            ASSERT_EQ("ok", mock->Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
            inquiry = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH_INQUIRY_MS", "30000");
        } else {
            stack = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH", "file");
            for (int i = 0; i < 300; ++i)
                Announce("LX412 " + std::to_string(10000 + i), 0x00126F000000ULL + static_cast<BT_ADDR>(i));
        }
    }
    void TearDown() override
    {
        // The discovery was begun, and stopped again when the program closed.
        if (mock && !HasFatalFailure()) {
            EXPECT_EQ(1, mock->Number("calls StartDiscovery"));
            EXPECT_EQ(1, mock->Number("calls StopDiscovery"));
        }
        SensorScreensRun::TearDown();
    }
    static long long Ms(std::chrono::nanoseconds d)
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    }

    std::unique_ptr<MockBluez> mock;
    std::unique_ptr<ScopedEnv> inquiry;
    std::unique_ptr<ScopedEnv> stack;
};

TEST_P(SearchCloseRun, TheScriptsCloseEndsTheProgramAtOnce)
{
    const std::string snap = (dir / "searching.png").string();
    const std::string script = SearchRunning(snap) + "close\n";
    ASSERT_EQ(0, qtest::RunProgramScript(root.Path(), dir / "script.txt", script, dir / "errors.txt"));
    const Clock::time_point end = Clock::now();
    ASSERT_TRUE(fs::exists(snap)) << "the search never showed";
    const Clock::duration took = end - fs::last_write_time(snap);
    EXPECT_LT(took, kBound) << "the close took " << Ms(took) << " ms";
}

TEST_P(SearchCloseRun, SigtermEndsTheProgramAtOnce)
{
    const std::string snap = (dir / "searching.png").string();
    const fs::path script = dir / "script.txt";
    std::ofstream(script) << SearchRunning(snap) << "wait 600000\nquit\n";
    qtest::ProgramProcess run(root.Path(), script);
    ASSERT_TRUE(run.Started());
    // The search runs: BlueZ was asked to discover, or (the neighbourhood
    // file tells no one) the snapshot of the busy animation was written. A
    // hang guard only.
    auto searching = [&] { return mock ? mock->Number("calls StartDiscovery") > 0 : fs::exists(snap); };
    for (int i = 0; i < 6000 && !searching(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(searching()) << "the search never began";

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.Signal(SIGTERM));
    const int status = run.Wait();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, kBound) << "SIGTERM took " << Ms(took) << " ms";
    EXPECT_EQ(0, status) << "the program closes in order";
}

INSTANTIATE_TEST_SUITE_P(Stacks, SearchCloseRun, ::testing::Values(std::string("bluez"), std::string("file")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param == "bluez" ? std::string("Bluez") : std::string("Neighbourhood");
                         });

}  // namespace
