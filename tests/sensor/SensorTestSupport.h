// Shared by the sensor tests: a simulated device on a real pseudo-terminal,
// reached by the program's own serial-port road ("COMn:").
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "../support/TempDeviceRoot.h"
#include "platform/Bluetooth.h"
#include "platform/WinComm.h"
#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "sensor/SensorLink.h"
#include "tests/support/SimFaults.h"
#include "tools/sensorsim/PtyServer.h"
#include "tools/sensorsim/SimDevice.h"

namespace sensortest {

// A wheel head with the table defaults in its registers and a dump whose
// bytes count up (so any lost, doubled or translated byte shows).
inline sensorsim::DeviceConfig WheelConfig(uint8_t firmware = 60)
{
    sensorsim::DeviceConfig c;
    c.kind = sensorsim::Kind::Wheel;
    c.head.firmware = firmware;
    c.registers[0] = sensorsim::DefaultRegisters(false, nullptr, 0);
    c.registers[1] = c.registers[0];
    c.dump[0].resize(SENSOR_DUMP_BYTES);
    for (size_t i = 0; i < c.dump[0].size(); ++i)
        c.dump[0][i] = static_cast<uint8_t>(i * 7 + i / 256);
    return c;
}

inline sensorsim::DeviceConfig GaugeConfig()
{
    sensorsim::DeviceConfig c;
    c.kind = sensorsim::Kind::Gauge2;
    return c;
}

// The device and its terminal.
struct SimPort {
    explicit SimPort(const sensorsim::DeviceConfig& config) : device(config), server(device)
    {
        std::string error;
        started = server.Start(&error);
        EXPECT_TRUE(started) << error;
    }
    sensorsim::Device device;
    sensorsim::PtyServer server;
    bool started = false;
};

// The requests the device received with the command `code`.
inline size_t CountCode(const sensorsim::Device& device, uint8_t code)
{
    size_t n = 0;
    for (const auto& r : device.Requests())
        n += r.size() >= 2 && r[1] == code ? 1 : 0;
    return n;
}

// A device of the neighbourhood, paired with the PIN 1235.
inline qplat::Neighbour Device(BT_ADDR address, const char* name, bool inRange = true, int rssi = -40)
{
    qplat::Neighbour n;
    n.address = address;
    n.name = name;
    n.pin = "1235";
    n.serial = "/dev/null";
    n.rssi = rssi;
    n.inRange = inRange;
    return n;
}

// Looks again every `stepMs` (longer for a condition that costs a round trip
// to a mock) until `condition` holds; `ms` is a hang guard.
inline bool WaitFor(const std::function<bool()>& condition, int ms = 30000, int stepMs = 2)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
    return condition();
}

// Lines of the debug output that mention `subject` (and `what`, when given).
inline int DebugLinesAbout(const std::string& subject, const std::string& what = std::string())
{
    int n = 0;
    for (const std::u16string& line : qplat::DebugOutput()) {
        const std::string text = qplat::ToUtf8(line);
        n += text.find(subject) != std::string::npos && text.find(what) != std::string::npos ? 1 : 0;
    }
    return n;
}

// Every sensor test runs on a throw-away device root with the serial
// time-outs at a quarter of their length, on the manual clock (the program's
// pauses between request and reply pass at once; the port's time-outs stay
// real).
class SensorTest : public qtest::DeviceRootTest {
protected:
    qtest::ManualClock clock;

protected:
    void SetUp() override
    {
        qplat::ResetCommDevices();
        qplat::ClearStoredPins();
        qplat::SetCommTimeoutScale(25);
    }

    void TearDown() override
    {
        for (HANDLE h : opened_)
            CloseHandle(h);
        qplat::SetCommTimeoutScale(100);
        qplat::ResetCommDevices();
        qplat::ClearStoredPins();
    }
    // The simulator's terminal bound to "COMn:", opened and configured as the
    // program opens a sensor port.
    HANDLE Open(SimPort& sim, int index = 3)
    {
        EXPECT_TRUE(qplat::BindCommPort(static_cast<DWORD>(index), sim.server.Path()));
        HANDLE h = nullptr;
        EXPECT_EQ(1, link.OpenPort(index, &h));
        if (h)
            opened_.push_back(h);
        return h;
    }

    CSensorLink link;

private:
    std::vector<HANDLE> opened_;
};

}  // namespace sensortest
