// The link monitor pairing and connecting a sensor through BlueZ (mocked on a
// private bus; the RFCOMM connection is a socket pair with the simulated head
// on its other end): the right PIN brings the link up, a wrong one leaves it
// down and is tried a bounded number of times.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "platform/WinKernel.h"
#include "sensor/LinkMonitor.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/sensor/BluezTestSupport.h"
#include "tests/sensor/SensorTestSupport.h"

using namespace sensortest;
using bluetest::MockBluez;
using bluetest::SimConnector;
using bluetest::SocketSim;

namespace {

constexpr const char* kHeadAddress = "00:12:6F:A0:0B:7C";

std::atomic<int> g_cycles{0};
void CountCycle(HWND)
{
    g_cycles.fetch_add(1);
}

class BluezLinkMonitorTest : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
        qtest::SetCardFolder();
        root.MakeFolder(u"\\SDMMC\\Autorun");
        g_cycles = 0;
        SetLinkMonitorRepaintHook(CountCycle);
        // As after a search: BlueZ knows the head, which is not paired yet
        // and asks for 1235.
        ASSERT_EQ("ok", mock.Ask(std::string("device ") + kHeadAddress + " 1235 LX412 12345"));
    }
    void TearDown() override
    {
        monitor.Stop();
        monitor.ClosePort();
        SetLinkMonitorRepaintHook(nullptr);
        SensorTest::TearDown();
    }
    static void SaveSettings(const char16_t* pin)
    {
        ParamBlock block{};
        block.deviceType = 1;
        ParamBTRecord* r = SensorRecordOf(&block, 1);
        qplat::CopyField(r->address, 20, u"00126fa00b7c");
        qplat::CopyField(r->name, 12, u"LX412 12345");
        qplat::CopyField(r->pin, 5, pin);
        CParamFile file;
        ASSERT_EQ(1, file.Save(&block));
    }
    int Pairs() { return mock.Number(std::string("pairs ") + kHeadAddress); }

    MockBluez mock;
    SocketSim sim{WheelConfig(90)};
    SimConnector connector{sim};
    CLinkMonitor monitor;
};

TEST_F(BluezLinkMonitorTest, TheRightPinPairsAndBringsTheLinkUp)
{
    SaveSettings(u"1235");
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }, 60000));
    EXPECT_EQ(90, monitor.GetSensorInfo().firmwareVersion) << "the head answered over the link";
    EXPECT_EQ("1", mock.Ask(std::string("paired ") + kHeadAddress));
    EXPECT_EQ("0", mock.Ask(std::string("trusted ") + kHeadAddress));
    EXPECT_EQ("1235", mock.Ask(std::string("pins ") + kHeadAddress)) << "asked once, answered with the stored PIN";
    EXPECT_EQ(1, sim.lastChannel.load());

    // A link that drops is connected again without pairing again.
    const int before = sim.connections.load();
    monitor.Stop();
    monitor.ClosePort();
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return sim.connections.load() > before && monitor.m_connected.load() == 1; }, 60000));
    EXPECT_EQ(1, Pairs());
}

TEST_F(BluezLinkMonitorTest, AWrongPinLeavesTheLinkDownAndIsTriedOnlyThreeTimes)
{
    SaveSettings(u"9999");
    monitor.Start(reinterpret_cast<HWND>(1));
    // The monitor goes on trying every cycle; well after the third refusal
    // BlueZ has still been asked only three times.
    ASSERT_TRUE(WaitFor([&] { return qplat::BluezLinkCounts().linkOpens >= 8; }, 120000));
    const int cycles = g_cycles.load();
    ASSERT_TRUE(WaitFor([&] { return g_cycles.load() >= cycles + 2; }, 60000));
    EXPECT_EQ(3, Pairs());
    EXPECT_EQ(3u, qplat::BluezLinkCounts().pairings);
    EXPECT_EQ("9999,9999,9999", mock.Ask(std::string("pins ") + kHeadAddress));
    EXPECT_EQ("0", mock.Ask(std::string("paired ") + kHeadAddress));
    EXPECT_EQ(0, monitor.m_connected.load());
    EXPECT_EQ(0, sim.connections.load()) << "no serial link without a pairing";
    EXPECT_EQ(1, DebugLinesAbout("00:12:6f:a0:0b:7c", "not paired again")) << "said once, not every cycle";

    // The right PIN stored for the sensor: it is paired and linked at once.
    monitor.Stop();
    SaveSettings(u"1235");
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }, 60000));
    EXPECT_EQ(4, Pairs());
    EXPECT_EQ("1", mock.Ask(std::string("paired ") + kHeadAddress));
}

TEST_F(BluezLinkMonitorTest, TheAgentAnswersBluetoothdAloneNotAnotherBusClient)
{
    SaveSettings(u"1235");
    ASSERT_EQ("ok", mock.Ask(std::string("foreignask ") + kHeadAddress));
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }, 60000));
    EXPECT_EQ("foreign refused,1235", mock.Ask(std::string("pins ") + kHeadAddress))
        << "another client learnt nothing; bluetoothd got the PIN";
}

TEST_F(BluezLinkMonitorTest, AStopWhileThePairingHangsDoesNotWaitForIt)
{
    SaveSettings(u"1235");
    const std::string marker = root.Path() + "/pairing-started";
    ASSERT_EQ("ok", mock.Ask(std::string("pairhangs ") + kHeadAddress + " " + marker));
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return ::access(marker.c_str(), F_OK) == 0; }, 60000)) << "the pairing never began";

    // Waiting it out took the pairing's whole time (twenty seconds and more);
    // the bound is far above the second a stop now waits.
    const auto limit = std::chrono::seconds(8);
    auto began = std::chrono::steady_clock::now();
    monitor.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, limit);
    EXPECT_FALSE(monitor.ThreadRunning());
    EXPECT_EQ(0, monitor.m_connected.load());

    // Started again while the first thread still waits for BlueZ: the new
    // thread is stopped as promptly, and the given-up one never counts as it.
    ::unlink(marker.c_str());
    monitor.Start(reinterpret_cast<HWND>(1));
    EXPECT_TRUE(monitor.ThreadRunning());
    began = std::chrono::steady_clock::now();
    monitor.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, limit);
    EXPECT_FALSE(monitor.ThreadRunning());
}

// The serial link's connection, held as a device that does not answer its
// page holds it, until the test lets it go: the end of the link it hands out
// and the thread that asked for it.
class HeldConnect {
public:
    HeldConnect()
    {
        qplat::SetRfcommConnector([this](BT_ADDR, int) { return Connect(); });
    }
    ~HeldConnect()
    {
        qplat::SetRfcommConnector(nullptr);
        std::unique_lock<std::mutex> guard(lock_);
        released_ = true;
        changed_.notify_all();
        // A test that failed early still lets a connection under way leave.
        changed_.wait_for(guard, std::chrono::seconds(60), [this] { return !inside_; });
        if (peer_ >= 0)
            ::close(peer_);
    }
    HeldConnect(const HeldConnect&) = delete;
    HeldConnect& operator=(const HeldConnect&) = delete;

    bool Entered()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return caller_ != 0;
    }
    void Release()
    {
        std::lock_guard<std::mutex> guard(lock_);
        released_ = true;
        changed_.notify_all();
    }
    pid_t Caller()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return caller_;
    }
    // The far end of the link handed out (-1 before).
    int Peer()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return peer_;
    }
    void ClosePeer()
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = -1;
    }

private:
    int Connect()
    {
        std::unique_lock<std::mutex> guard(lock_);
        caller_ = static_cast<pid_t>(::syscall(SYS_gettid));
        inside_ = true;
        // A hang guard only: the test lets it go.
        changed_.wait_for(guard, std::chrono::seconds(60), [this] { return released_; });
        int theirs = -1;
        if (!bluetest::MakeSocketPair(peer_, theirs))
            theirs = -1;
        inside_ = false;
        changed_.notify_all();
        return theirs;
    }

    std::mutex lock_;
    std::condition_variable changed_;
    bool released_ = false;
    bool inside_ = false;
    pid_t caller_ = 0;
    int peer_ = -1;
};

size_t Entries(const char* folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                             std::filesystem::directory_iterator()));
}

// A connection that comes back only after the stop gave its thread up: that
// thread closes the link and drops the port's registration itself, leaves
// the monitor without a port, and ends; nothing it opened is left.
TEST_F(BluezLinkMonitorTest, AConnectionThatComesBackAfterTheStopLeavesNothingBehind)
{
    SaveSettings(u"1235");
    HeldConnect held;
    // ThreadSanitizer starts a thread of its own along with the process's
    // first one and keeps it to the end; one started and joined before the
    // count has it counted already, whoever starts first.
    std::thread([] {}).join();
    const size_t threads = Entries("/proc/self/task");
    const size_t files = Entries("/proc/self/fd");
    monitor.Start(reinterpret_cast<HWND>(1));
    ASSERT_TRUE(WaitFor([&] { return held.Entered(); }, 60000)) << "the link was never connected";
    EXPECT_EQ("1", mock.Ask(std::string("paired ") + kHeadAddress)) << "paired, then connecting";
    monitor.Stop();
    EXPECT_FALSE(monitor.ThreadRunning());

    // The connection comes back, and the given-up thread goes on to its end.
    held.Release();
    const std::string task = "/proc/self/task/" + std::to_string(held.Caller());
    ASSERT_TRUE(WaitFor([&] { return ::access(task.c_str(), F_OK) != 0; }, 60000)) << "the thread never ended";
    ASSERT_GE(held.Peer(), 0) << "the connection was handed out";
    EXPECT_EQ(nullptr, monitor.m_comPort.load()) << "no port published by a given-up thread";
    EXPECT_EQ(nullptr, monitor.m_device.load()) << "no registration published";
    EXPECT_EQ(0, monitor.m_connected.load());
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount()) << "the port's registration was dropped";
    // Closed, and nothing ever written: the head was never asked anything.
    pollfd p{held.Peer(), POLLIN, 0};
    ASSERT_EQ(1, ::poll(&p, 1, 0)) << "the thread's end of the link is still open";
    char byte = 0;
    EXPECT_EQ(0, ::read(held.Peer(), &byte, 1)) << "the link was closed without a word";
    held.ClosePeer();
    EXPECT_EQ(files, Entries("/proc/self/fd")) << "a file descriptor was left open";
    EXPECT_EQ(threads, Entries("/proc/self/task")) << "a thread was left running";
}

}  // namespace
