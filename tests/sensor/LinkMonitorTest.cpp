// The link monitor against a simulated sensor reached through the Bluetooth
// stand-in, as the program reaches a real one.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/LinkMonitor.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/sensor/BluezTestSupport.h"
#include "tests/sensor/SensorTestSupport.h"

using namespace sensortest;

namespace {

constexpr BT_ADDR kAddress = 0x00126FA00B7CULL;

// What the repaint hook saw, one entry per cycle.
struct Repaints {
    std::mutex lock;
    std::vector<int> connected;
    std::vector<bool> portOpen;
    std::vector<HWND> owners;
    std::vector<DWORD> threads;
    CLinkMonitor* monitor = nullptr;
    // A gate that holds the next cycle inside its repaint for a while, so a
    // test can act while that cycle is known to be under way.
    std::condition_variable changed;
    bool gateArmed = false;
    bool gateEntered = false;
    bool gateOpen = false;
};
Repaints g_repaints;

bool Held(HANDLE h)
{
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

void RecordRepaint(HWND owner)
{
    std::unique_lock<std::mutex> guard(g_repaints.lock);
    g_repaints.owners.push_back(owner);
    CLinkMonitor* m = g_repaints.monitor;
    g_repaints.connected.push_back(m ? m->m_connected.load() : -1);
    g_repaints.portOpen.push_back(m && Held(m->m_comPort.load()));
    g_repaints.threads.push_back(GetCurrentThreadId());
    if (g_repaints.gateArmed) {
        g_repaints.gateArmed = false;
        g_repaints.gateEntered = true;
        g_repaints.changed.notify_all();
        g_repaints.changed.wait_for(guard, std::chrono::milliseconds(300), [] { return g_repaints.gateOpen; });
    }
}

HWND FakeWindow(uintptr_t n)
{
    return reinterpret_cast<HWND>(n);
}

class LinkMonitorTest : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        qtest::SetCardFolder();
        root.MakeFolder(u"\\SDMMC\\Autorun");
        ClearRepaints();
        {
            std::lock_guard<std::mutex> guard(g_repaints.lock);
            g_repaints.monitor = &monitor;
            g_repaints.gateArmed = g_repaints.gateEntered = g_repaints.gateOpen = false;
        }
        SetLinkMonitorRepaintHook(RecordRepaint);
    }
    void TearDown() override
    {
        monitor.Stop();
        monitor.ClosePort();
        // Only now may the terminals go: a running monitor could otherwise
        // reach a terminal number already handed to another test program.
        sims_.clear();
        SetLinkMonitorRepaintHook(nullptr);
        {
            std::lock_guard<std::mutex> guard(g_repaints.lock);
            g_repaints.monitor = nullptr;
        }
        SensorTest::TearDown();
    }

    // The settings file with the sensor of `type` at kAddress.
    void SaveSettings(int type, const char16_t* pin = u"1235", const char16_t* address = u"00:12:6F:a0:0b:7c")
    {
        ParamBlock block{};
        block.deviceType = static_cast<BYTE>(type);
        if (ParamBTRecord* r = SensorRecordOf(&block, type)) {
            qplat::CopyField(r->address, 20, address);
            qplat::CopyField(r->name, 12, u"LX412 12345");
            qplat::CopyField(r->pin, 5, pin);
        }
        CParamFile file;
        ASSERT_EQ(1, file.Save(&block));
    }

    // The sensor at kAddress in the neighbourhood, on the simulator's terminal.
    static qplat::Neighbour Sensor(const SimPort& sim, int rssi = -70)
    {
        qplat::Neighbour n = Device(kAddress, "LX412 12345", true, rssi);
        n.serial = sim.server.Path();
        return n;
    }
    void List(const SimPort& sim) { ASSERT_TRUE(qplat::AddNeighbour(Sensor(sim))); }

    void ClearRepaints()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        g_repaints.connected.clear();
        g_repaints.portOpen.clear();
        g_repaints.owners.clear();
        g_repaints.threads.clear();
    }
    // Cycles whose repaint found "connected" with no port open.
    int ConnectedWithoutPort()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        int n = 0;
        for (size_t i = 0; i < g_repaints.connected.size(); ++i)
            n += g_repaints.connected[i] == 1 && !g_repaints.portOpen[i] ? 1 : 0;
        return n;
    }
    std::vector<DWORD> RepaintThreads()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        std::vector<DWORD> ids = g_repaints.threads;
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        return ids;
    }
    size_t RepaintCount()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        return g_repaints.connected.size();
    }
    std::vector<HWND> Owners()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        return g_repaints.owners;
    }
    std::vector<int> ConnectedByCycle()
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        return g_repaints.connected;
    }
    // Starts and stops at once: the settings copy is loaded, no thread runs.
    void LoadSettingsOnly()
    {
        monitor.Start(FakeWindow(1));
        monitor.Stop();
        monitor.ClosePort();
    }

    // A simulated sensor (a wheel head of firmware 90 unless given) listed
    // as the current sensor of `type`.
    SimPort& ListedHead(const sensorsim::DeviceConfig& config = WheelConfig(90), int type = 1)
    {
        SaveSettings(type);
        SimPort& sim = Sim(config);
        List(sim);
        return sim;
    }
    // The link is up: a port open, connected, a sensor reading, and no cycle
    // ever showed "connected" without a port.
    void ExpectLinkUp()
    {
        EXPECT_EQ(1, monitor.m_connected.load());
        EXPECT_TRUE(Held(monitor.m_comPort.load()));
        EXPECT_NE(255, monitor.GetSensorState().charge);
        EXPECT_EQ(0, ConnectedWithoutPort());
    }

    // A simulated sensor that lives until the monitor is stopped.
    SimPort& Sim(const sensorsim::DeviceConfig& config)
    {
        sims_.push_back(std::make_unique<SimPort>(config));
        return *sims_.back();
    }

    CLinkMonitor monitor;

private:
    std::vector<std::unique_ptr<SimPort>> sims_;
};

TEST_F(LinkMonitorTest, MainsRingRemembersFiveSamples)
{
    EXPECT_EQ(1u, monitor.PushAcLineSample(1));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(1u, monitor.PushAcLineSample(0)) << "sample " << i + 2;
    EXPECT_EQ(0u, monitor.PushAcLineSample(0)) << "the sixth sample pushes the 1 out";
    EXPECT_EQ(0u, monitor.PushAcLineSample(2)) << "only 1 counts as mains";
}

TEST_F(LinkMonitorTest, FirstCycleConnectsAndPolls)
{
    ListedHead();
    EXPECT_EQ(255, monitor.m_battery.load());
    EXPECT_EQ(255, monitor.GetSensorState().charge);
    monitor.Start(FakeWindow(7));
    ASSERT_TRUE(WaitFor([&] { return RepaintCount() >= 2; }));
    EXPECT_EQ(1, ConnectedByCycle()[0]) << "close, connect and poll in the first cycle";
    EXPECT_EQ(FakeWindow(7), Owners()[0]);
    EXPECT_EQ(90, monitor.GetSensorInfo().firmwareVersion);
    const SensorState s = monitor.GetSensorState();
    EXPECT_LE(s.charge, 100);
    EXPECT_NEAR(3.95, s.voltage, 0.01) << "converted form for firmware 84 and above";
    EXPECT_EQ(static_cast<BYTE>(-14), monitor.m_rssi.load()) << "-70 dBm, 14 dB below the radio's golden range";
    EXPECT_NE(255, monitor.m_battery.load());

    // Start while running hands the repaints to the new owner (the screen
    // now shown) and starts no second thread.
    const size_t before = RepaintCount();
    monitor.Start(FakeWindow(9));
    EXPECT_EQ(FakeWindow(9), monitor.m_owner.load());
    ASSERT_TRUE(WaitFor([&] { return RepaintCount() >= before + 3; }));
    EXPECT_EQ(FakeWindow(9), Owners().back());
    EXPECT_EQ(1u, RepaintThreads().size());
}

TEST_F(LinkMonitorTest, SwitchedOffSensorIsRetriedEveryCycleAndFoundAgain)
{
    SimPort* sim = &ListedHead(WheelConfig(60));
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));

    // Out of range first: once its terminal is gone, the number of a
    // pseudo-terminal may be handed to another one at once.
    ASSERT_TRUE(qplat::SetNeighbourInRange(kAddress, false));
    sim->server.Disconnect();
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 0; }));
    const size_t from = RepaintCount();
    ASSERT_TRUE(WaitFor([&] { return RepaintCount() >= from + 3; }));
    for (size_t i = from; i < from + 3; ++i)
        EXPECT_EQ(0, ConnectedByCycle()[i]);
    // Looked at between cycles: the thread is joined first.
    monitor.Stop();
    EXPECT_EQ(255, monitor.GetSensorState().charge);
    EXPECT_EQ(nullptr, monitor.m_comPort.load()) << "the port cannot be opened while the sensor is off";
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount()) << "a failed open deregisters";

    // Switched on again (a new terminal): the next cycle reconnects.
    sim = &Sim(WheelConfig(60));
    List(*sim);
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));
    EXPECT_NE(255, monitor.GetSensorState().charge);
}

TEST_F(LinkMonitorTest, GaugeValueIsRefreshedEveryCycle)
{
    auto config = GaugeConfig();
    config.gaugeRaw = 1000;
    SimPort& sim = ListedHead(config, 2);
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_gaugeValue.load() == 10000; }));
    sim.device.SetGaugeRaw(0x3039);
    ASSERT_TRUE(WaitFor([&] { return monitor.m_gaugeValue.load() == 123450; }));
    EXPECT_EQ(1, monitor.m_connected.load());
    EXPECT_EQ(255, monitor.GetSensorState().charge) << "a gauge has no head state";
}

TEST_F(LinkMonitorTest, NoPortCallAfterStopAndOneThreadAfterRestart)
{
    ListedHead();
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));
    monitor.Stop();
    EXPECT_FALSE(monitor.ThreadRunning());
    const auto calls = qplat::CommCallCount();
    // The port's own count of calls, not what the simulator has logged so far:
    // on a loaded machine the simulator may still be reading a request that
    // was sent before Stop returned.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls, qplat::CommCallCount()) << "nothing touches the port once Stop returned";
    EXPECT_NE(nullptr, monitor.m_comPort.load()) << "the port outlives a stop";

    // The measuring controller may borrow the port now.
    SensorInfo info{};
    EXPECT_EQ(1, link.Identify(monitor.m_comPort.load(), 1, &info));

    monitor.Start(FakeWindow(1));
    monitor.Stop();
    monitor.Start(FakeWindow(1));
    const DWORD cycles = monitor.CycleCount();
    ASSERT_TRUE(WaitFor([&] { return monitor.CycleCount() >= cycles + 3; }));
    monitor.Stop();
    const auto after = qplat::CommCallCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(after, qplat::CommCallCount());
}

TEST_F(LinkMonitorTest, ClosedPortReadsAsDownAndIsReopenedAfterARestart)
{
    // The search screen's sequence: stop, close the port, start again with
    // the same sensor.
    SimPort& sim = ListedHead();
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));
    monitor.Stop();
    monitor.ClosePort();
    EXPECT_EQ(0, monitor.m_connected.load()) << "no port, no link";
    EXPECT_EQ(255, monitor.GetSensorState().charge);
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());

    const size_t identifies = CountCode(sim.device, 0x81);
    ClearRepaints();
    const DWORD cycles = monitor.CycleCount();
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.CycleCount() >= cycles + 2; }));
    monitor.Stop();
    ExpectLinkUp();
    EXPECT_EQ(identifies + 1, CountCode(sim.device, 0x81)) << "through a newly opened and identified port";
    EXPECT_EQ(1, qplat::RegisteredCommDeviceCount());
}

TEST_F(LinkMonitorTest, CycleWithoutAPortReportsTheLinkDownAndTheNextOneReconnects)
{
    // Whatever the last poll said: a cycle that finds no port open cannot
    // show the link up, and must not keep the stale charge.
    SimPort& sim = ListedHead();
    LoadSettingsOnly();
    monitor.m_connected.store(1);
    ASSERT_EQ(nullptr, monitor.m_comPort.load());
    monitor.RunCycle();
    EXPECT_EQ(0, monitor.m_connected.load());
    EXPECT_EQ(255, monitor.GetSensorState().charge);
    EXPECT_EQ(0u, CountCode(sim.device, 0x81)) << "the first cycle only finds the link down";
    monitor.RunCycle();
    ExpectLinkUp();
}

TEST_F(LinkMonitorTest, StartAfterThePowerOffCloseLeavesOneThread)
{
    SimPort& sim = ListedHead();
    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));

    // Closed on the power-off path while a cycle is under way (held in its
    // repaint), and started again at once.
    {
        std::unique_lock<std::mutex> guard(g_repaints.lock);
        g_repaints.gateArmed = true;
        ASSERT_TRUE(g_repaints.changed.wait_for(guard, std::chrono::seconds(5), [] { return g_repaints.gateEntered; }));
    }
    const size_t identifies = CountCode(sim.device, 0x81);
    monitor.ClosePortQuiet();
    EXPECT_EQ(0, monitor.m_connected.load());
    EXPECT_EQ(255, monitor.GetSensorState().charge);
    monitor.Start(FakeWindow(2));
    {
        std::lock_guard<std::mutex> guard(g_repaints.lock);
        g_repaints.gateOpen = true;
        g_repaints.changed.notify_all();
    }
    ClearRepaints();
    ASSERT_TRUE(WaitFor([this] { return RepaintCount() > 2u; }));
    EXPECT_EQ(1u, RepaintThreads().size()) << "exactly one thread polls";
    ExpectLinkUp();
    EXPECT_EQ(identifies + 1, CountCode(sim.device, 0x81)) << "one reconnection through a new port";

    monitor.Stop();
    const auto calls = qplat::CommCallCount();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(calls, qplat::CommCallCount()) << "no port call follows the stop";
}

TEST_F(LinkMonitorTest, FailuresAreDiagnosedOnceWhileTheMonitorKeepsRetrying)
{
    struct Case {
        const char* name;
        const char16_t* pin;                      // in the settings
        std::function<void(qplat::Neighbour&)> break_;  // the fault, in the neighbourhood
        std::string subject;                      // what the line names
        std::string error;                        // and how it failed
    };
    const std::string missing = root.Path() + "/sensor-terminal";
    const std::vector<Case> cases = {
        {"missing device", u"1235", [&](qplat::Neighbour& n) { n.serial = missing; }, missing, "missing"},
        {"wrong PIN", u"9999", [](qplat::Neighbour&) {}, "00:12:6f:a0:0b:7c", "refused the PIN"},
        {"radio off", u"1235", [](qplat::Neighbour&) { qplat::SetBluetoothRadio(false); }, "00:12:6f:a0:0b:7c",
         "Bluetooth is not available"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SaveSettings(1, c.pin);
        qplat::Neighbour n = Sensor(Sim(WheelConfig(90)), -50);
        qplat::Neighbour broken = n;
        c.break_(broken);
        ASSERT_TRUE(qplat::AddNeighbour(broken));
        qplat::ClearDebugOutput();

        monitor.Start(FakeWindow(1));
        const DWORD cycles = monitor.CycleCount();
        ASSERT_TRUE(WaitFor([&] { return monitor.CycleCount() >= cycles + 4; }));
        EXPECT_EQ(0, monitor.m_connected.load());
        EXPECT_EQ(1, DebugLinesAbout(c.subject)) << "one line, not one per cycle";
        EXPECT_EQ(1, DebugLinesAbout(c.subject, c.error)) << "the line names the device and the error";

        // Mended while the monitor runs: it is still trying, and connects.
        ASSERT_TRUE(qplat::SetBluetoothRadio(true));
        if (std::u16string(c.pin) == u"9999")
            n.pin = "9999";
        ASSERT_TRUE(qplat::AddNeighbour(n));
        EXPECT_TRUE(WaitFor([&] { return monitor.m_connected.load() == 1; }));
        monitor.Stop();
        monitor.ClosePort();
    }

    // No BlueZ on the system bus: not available either, and no PIN is blamed.
    bluetest::ScopedEnv stack("QAV5_BLUETOOTH", "bluez");
    bluetest::ScopedEnv bus("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root.Path() + "/no-bus");
    qplat::ClearDebugOutput();
    EXPECT_EQ(0, monitor.Connect());
    EXPECT_EQ(1, DebugLinesAbout("00:12:6f:a0:0b:7c", "Bluetooth is not available"));
    EXPECT_EQ(0, DebugLinesAbout("00:12:6f:a0:0b:7c", "PIN"));
}

TEST_F(LinkMonitorTest, UnknownDeviceTypeTouchesNoPort)
{
    SimPort& sim = ListedHead(WheelConfig(60), 0);
    LoadSettingsOnly();
    const auto calls = qplat::CommCallCount();
    EXPECT_EQ(0, monitor.Connect());
    EXPECT_EQ(calls, qplat::CommCallCount());
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());

    monitor.Start(FakeWindow(1));
    ASSERT_TRUE(WaitFor([&] { return RepaintCount() >= 3; }));
    monitor.Stop();
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());
    EXPECT_TRUE(sim.device.Requests().empty());
    EXPECT_EQ(0, monitor.m_rssi.load()) << "no address, no signal strength";
}

TEST_F(LinkMonitorTest, ConnectPairingIndexesAndSilentHead)
{
    SimPort& sim = ListedHead(WheelConfig(60));
    SaveSettings(1, u"9999");
    LoadSettingsOnly();
    EXPECT_EQ(0, monitor.Connect()) << "wrong PIN";
    EXPECT_EQ(nullptr, monitor.m_comPort.load());
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());

    // A PIN shorter than four digits passes its terminator: pairing fails.
    SaveSettings(1, u"123");
    LoadSettingsOnly();
    EXPECT_EQ(0, monitor.Connect());
    EXPECT_EQ("123", qplat::StoredPin(kAddress).substr(0, 3));
    EXPECT_EQ(4u, qplat::StoredPin(kAddress).size());

    // Index 0 is taken by another driver: the port registers under 1.
    SaveSettings(1, u"1235", u"00126fa00b7c");
    LoadSettingsOnly();
    qplat::ReserveCommIndex(0, true);
    ASSERT_EQ(1, monitor.Connect());
    PORTEMUPortParams p{};
    p.device = kAddress;
    EXPECT_EQ(nullptr, RegisterDevice(u"COM", 1, u"btd.dll", reinterpret_cast<DWORD_PTR>(&p))) << "1 is in use";
    HANDLE free2 = RegisterDevice(u"COM", 2, u"btd.dll", reinterpret_cast<DWORD_PTR>(&p));
    EXPECT_NE(nullptr, free2);
    DeregisterDevice(free2);
    qplat::ReserveCommIndex(0, false);

    // Connecting again starts from a closed, unregistered port.
    ASSERT_EQ(1, monitor.Connect());
    EXPECT_EQ(1, qplat::RegisteredCommDeviceCount());

    // A head that does not answer: 0, but the port stays open and registered.
    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    EXPECT_EQ(0, monitor.Connect());
    EXPECT_NE(nullptr, monitor.m_comPort.load());
    EXPECT_EQ(1, qplat::RegisteredCommDeviceCount());
}

TEST_F(LinkMonitorTest, ClosingReleasesEachHandleOnce)
{
    ListedHead(WheelConfig(60));
    LoadSettingsOnly();
    ASSERT_EQ(1, monitor.Connect());
    HANDLE port = monitor.m_comPort.load();
    monitor.ClosePortQuiet();
    EXPECT_EQ(0, monitor.m_run.load());
    EXPECT_EQ(nullptr, monitor.m_comPort.load());
    EXPECT_EQ(nullptr, monitor.m_device.load());
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());
    EXPECT_FALSE(PurgeComm(port, PURGE_RXCLEAR)) << "closed";
    monitor.ClosePortQuiet();
    monitor.ClosePort();  // only a harmless purge on no handle

    ASSERT_EQ(1, monitor.Connect());
    monitor.ClosePort();
    EXPECT_EQ(nullptr, monitor.m_comPort.load());
    EXPECT_EQ(0, qplat::RegisteredCommDeviceCount());

    monitor.MarkDisconnected();
    EXPECT_EQ(0, monitor.m_connected.load());
    EXPECT_EQ(255, monitor.GetSensorState().charge);
}

}  // namespace
