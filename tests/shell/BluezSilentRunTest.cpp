// The program itself, run headless, with a system bus that takes the
// connection and never answers, or with a BlueZ that owns its name and never
// answers, and a paired sensor the link monitor keeps trying to reach: the
// start screen's Settings tap (which stops the monitor), the way back, the
// end of the script and SIGTERM each end within a few seconds, with BlueZ
// named and with the stack chosen by what the bus has.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "settings/DeviceSetup.h"
#include "tests/sensor/BluezTestSupport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;
using bluetest::MockBluez;
using bluetest::ScopedEnv;
using Clock = fs::file_time_type::clock;

// The stack's deadline for a bus call, and how long stopping the link
// monitor waits before it gives up a thread held in such a call.
constexpr auto kDeadline = std::chrono::seconds(5);
constexpr auto kStopWait = std::chrono::seconds(1);
// A failure bound, not a timing. Each step waits at most one stop of the
// link monitor and then only paints (about 1.05 s in all on a quiet
// machine): 2 s more is ample for a loaded one. A step that waited for the
// monitor's bus call instead would wait out the rest of the call's deadline,
// most of it, as the monitor begins the call when its screen comes up just
// before the step; one that waited out twice the deadline takes 10 s and
// more. These steps once waited a minute and a half for the silent bus.
constexpr auto kBound = kStopWait + std::chrono::seconds(2);
static_assert(kBound < kDeadline);

// Which silent peer, and the stack named ("bluez") or chosen by the bus ("").
using Case = std::tuple<std::string, std::string>;

class BluezSilentRun : public ::testing::TestWithParam<Case> {
protected:
    BluezSilentRun() : mock(std::get<0>(GetParam()).c_str()) {}
    void SetUp() override
    {
        ASSERT_TRUE(mock.Ok()) << "the silent peer did not start";
        stack = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH", std::get<1>(GetParam()));
        qtest::LayOutCard(root);
        qtest::WriteParams(root, [](ParamBlock& b) {
            b.deviceType = 1;
            ParamBTRecord* r = SensorRecordOf(&b, 1);
            std::memset(r, 0, sizeof *r);
            qplat::CopyField(r->address, 20, u"00126f0de301");
            qplat::CopyField(r->name, 12, u"LX412 12345");
            qplat::CopyField(r->pin, 5, u"1235");
        });
        dir = fs::path(root.Path()).parent_path() / (fs::path(root.Path()).filename().string() + "-silent");
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Snap(const std::string& name) const { return (dir / (name + ".png")).string(); }
    static long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }

    MockBluez mock;
    std::unique_ptr<ScopedEnv> stack;
    qtest::TempDeviceRoot root;
    fs::path dir;
};

TEST_P(BluezSilentRun, TheSettingsTapTheWayBackAndTheEndEachTakeAFewSeconds)
{
    ASSERT_FALSE(fs::exists(qplat::NeighbourhoodPath())) << "the stack is chosen by the bus";
    // Each snapshot's time is when the action before it was done.
    const std::string script = "snapshot " + Snap("start") + "\ntap 88 85\nsnapshot " + Snap("settings") +
                               "\ntap 453 25\nsnapshot " + Snap("back") + "\nquit\n";
    ASSERT_EQ(0, qtest::RunProgramScript(root.Path(), dir / "script.txt", script));
    const Clock::time_point end = Clock::now();
    const Clock::time_point start = fs::last_write_time(Snap("start"));
    const Clock::time_point settings = fs::last_write_time(Snap("settings"));
    const Clock::time_point back = fs::last_write_time(Snap("back"));
    EXPECT_LT(settings - start, kBound) << "the Settings tap took " << Ms(settings - start) << " ms";
    EXPECT_LT(back - settings, kBound) << "the way back took " << Ms(back - settings) << " ms";
    EXPECT_LT(end - back, kBound) << "the end took " << Ms(end - back) << " ms";
    // The menu did open, and closed again.
    const qplat::Surface menu = qtest::ReadPngFile(Snap("settings"));
    ASSERT_EQ(480, menu.width);
    EXPECT_NE(menu.pixels, qtest::ReadPngFile(Snap("start")).pixels);
    EXPECT_NE(menu.pixels, qtest::ReadPngFile(Snap("back")).pixels);
}

TEST_P(BluezSilentRun, SigtermEndsTheProgramWithinAFewSeconds)
{
    const fs::path script = dir / "script.txt";
    std::ofstream(script) << "snapshot " << Snap("up") << "\nwait 600000\nquit\n";
    qtest::ProgramProcess run(root.Path(), script);
    ASSERT_TRUE(run.Started());
    // A hang guard only: the snapshot comes as soon as the start screen is up
    // and the link monitor runs.
    for (int i = 0; i < 6000 && !fs::exists(Snap("up")); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(Snap("up"))) << "the program did not come up";

    const auto asked = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.Signal(SIGTERM));
    const int status = run.Wait();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, kBound) << "SIGTERM took " << std::chrono::duration_cast<std::chrono::milliseconds>(took).count()
                            << " ms";
    EXPECT_EQ(0, status) << "the program closes in order";
}

// A BlueZ that answers, with a sensor whose pairing never comes back (a
// sensor switched off keeps BlueZ's call for the page time): the Settings tap
// stops the link monitor, which no longer waits for that call.
TEST(BluezHangingPairRun, TheSettingsTapDoesNotWaitForThePairing)
{
    MockBluez mock;
    ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
    qtest::TempDeviceRoot root;
    qtest::LayOutCard(root);
    qtest::WriteParams(root, [](ParamBlock& b) {
        b.deviceType = 1;
        ParamBTRecord* r = SensorRecordOf(&b, 1);
        std::memset(r, 0, sizeof *r);
        qplat::CopyField(r->address, 20, u"00126f0de301");
        qplat::CopyField(r->name, 12, u"LX412 12345");
        qplat::CopyField(r->pin, 5, u"1235");
    });
    const fs::path dir = fs::path(root.Path()).parent_path() / (fs::path(root.Path()).filename().string() + "-pair");
    fs::create_directories(dir);
    const fs::path marker = dir / "pairing-started";
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:0D:E3:01 1235 LX412 12345"));
    ASSERT_EQ("ok", mock.Ask("pairhangs 00:12:6F:0D:E3:01 " + marker.string()));
    auto snap = [&](const char* name) { return (dir / (std::string(name) + ".png")).string(); };
    // Nothing on the screen shows a pairing under way: the monitor's first
    // cycle begins it as soon as the start screen is up, and the marker's
    // time proves it began before the tap.
    const std::string script = "wait 5000\nsnapshot " + snap("start") + "\ntap 88 85\nsnapshot " + snap("settings") +
                               "\ntap 453 25\nsnapshot " + snap("back") + "\nquit\n";
    ASSERT_EQ(0, qtest::RunProgramScript(root.Path(), dir / "script.txt", script));
    ASSERT_TRUE(fs::exists(marker)) << "the pairing never began";
    const Clock::time_point start = fs::last_write_time(snap("start"));
    ASSERT_LE(fs::last_write_time(marker), start) << "the pairing began only after the tap";
    const Clock::time_point settings = fs::last_write_time(snap("settings"));
    // Waiting for the pairing took twenty seconds and more; the monitor now
    // waits a second for it.
    EXPECT_LT(settings - start, std::chrono::seconds(10))
        << "the Settings tap took " << std::chrono::duration_cast<std::chrono::milliseconds>(settings - start).count()
        << " ms";
    const qplat::Surface menu = qtest::ReadPngFile(snap("settings"));
    ASSERT_EQ(480, menu.width);
    EXPECT_NE(menu.pixels, qtest::ReadPngFile(snap("start")).pixels) << "the settings menu opened";
    EXPECT_NE(menu.pixels, qtest::ReadPngFile(snap("back")).pixels) << "and closed again";
    fs::remove_all(dir);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    const std::string peer = std::get<0>(info.param) == MockBluez::kSilentSocket ? "SilentBus" : "SilentBluez";
    return peer + (std::get<1>(info.param) == "bluez" ? "Named" : "Chosen");
}

INSTANTIATE_TEST_SUITE_P(Peers, BluezSilentRun,
                         ::testing::Combine(::testing::Values(std::string(MockBluez::kSilentSocket),
                                                              std::string(MockBluez::kSilentBluez)),
                                            ::testing::Values(std::string("bluez"), std::string())),
                         CaseName);

}  // namespace
