// The program itself, run headless, with a system bus that takes the
// connection and never answers, or with a BlueZ that owns its name and never
// answers, and a paired sensor the link monitor keeps trying to reach: the
// start screen's Settings tap (which stops the monitor), the way back, the
// end of the script and SIGTERM each end within a few seconds, with BlueZ
// named and with the stack chosen by what the bus has.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <tuple>

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

// A run with the wheel head paired, whose link the monitor keeps trying.
class PairedHeadRun : public qtest::ProgramRunTest {
protected:
    void SetUp() override
    {
        qtest::ProgramRunTest::SetUp();
        qtest::WriteParams(root, [](ParamBlock& b) {
            b.deviceType = 1;
            qtest::PairSensor(b, 1, u"00126f0de301", u"LX412 12345");
        });
    }
    static long long Ms(Clock::duration d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); }
    // From the start screen (after `first`) into the settings menu and back,
    // and the end; the snapshots' times are when the action before each was
    // done. The menu did open, and closed again.
    void RunSettingsAndBack(const std::string& first = "")
    {
        const std::string script = first + "snapshot " + Snap("start") + "\ntap 88 85\nsnapshot " + Snap("settings") +
                                   "\ntap 453 25\nsnapshot " + Snap("back") + "\nquit\n";
        ASSERT_EQ(0, Run(script));
        end = Clock::now();
        start = fs::last_write_time(Snap("start"));
        settings = fs::last_write_time(Snap("settings"));
        back = fs::last_write_time(Snap("back"));
        const qplat::Surface menu = Png("settings");
        EXPECT_NE(menu.pixels, Png("start").pixels) << "the settings menu opened";
        EXPECT_NE(menu.pixels, Png("back").pixels) << "and closed again";
    }

    Clock::time_point start, settings, back, end;
};

class BluezSilentRun : public PairedHeadRun, public ::testing::WithParamInterface<Case> {
protected:
    BluezSilentRun() : mock(std::get<0>(GetParam()).c_str()) {}
    void SetUp() override
    {
        ASSERT_TRUE(mock.Ok()) << "the silent peer did not start";
        stack = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH", std::get<1>(GetParam()));
        PairedHeadRun::SetUp();
    }

    MockBluez mock;
    std::unique_ptr<ScopedEnv> stack;
};

TEST_P(BluezSilentRun, TheSettingsTapTheWayBackAndTheEndEachTakeAFewSeconds)
{
    ASSERT_FALSE(fs::exists(qplat::NeighbourhoodPath())) << "the stack is chosen by the bus";
    ASSERT_NO_FATAL_FAILURE(RunSettingsAndBack());
    EXPECT_LT(settings - start, kBound) << "the Settings tap took " << Ms(settings - start) << " ms";
    EXPECT_LT(back - settings, kBound) << "the way back took " << Ms(back - settings) << " ms";
    EXPECT_LT(end - back, kBound) << "the end took " << Ms(end - back) << " ms";
}

TEST_P(BluezSilentRun, SigtermEndsTheProgramWithinAFewSeconds)
{
    const fs::path script = dir / "script.txt";
    std::ofstream(script) << "snapshot " << Snap("up") << "\nwait 600000\nquit\n";
    qtest::ProgramProcess run(root.Path(), script);
    ASSERT_TRUE(run.Started());
    // The snapshot comes as soon as the start screen is up and the link
    // monitor runs.
    ASSERT_TRUE(qtest::AwaitFile(Snap("up"))) << "the program did not come up";

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
class BluezHangingPairRun : public PairedHeadRun {};

TEST_F(BluezHangingPairRun, TheSettingsTapDoesNotWaitForThePairing)
{
    MockBluez mock;
    ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
    const fs::path marker = dir / "pairing-started";
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:0D:E3:01 1235 LX412 12345"));
    ASSERT_EQ("ok", mock.Ask("pairhangs 00:12:6F:0D:E3:01 " + marker.string()));
    // Nothing on the screen shows a pairing under way: the monitor's first
    // cycle begins it as soon as the start screen is up, and the marker's
    // time proves it began before the tap.
    ASSERT_NO_FATAL_FAILURE(RunSettingsAndBack("wait 5000\n"));
    ASSERT_TRUE(fs::exists(marker)) << "the pairing never began";
    ASSERT_LE(fs::last_write_time(marker), start) << "the pairing began only after the tap";
    // Waiting for the pairing took twenty seconds and more; the monitor now
    // waits a second for it.
    EXPECT_LT(settings - start, std::chrono::seconds(10)) << "the Settings tap took " << Ms(settings - start) << " ms";
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
