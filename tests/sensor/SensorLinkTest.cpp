// Command set A against a simulated head on a real pseudo-terminal.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "sensor/ByteCmdLink.h"

#include "tests/sensor/SensorTestSupport.h"
#include "tests/support/Fields.h"

using namespace sensortest;

namespace {

std::vector<uint8_t> Codes(const sensorsim::Device& device, uint8_t code)
{
    std::vector<uint8_t> registers;
    for (const auto& r : device.Requests()) {
        if (r.size() >= 4 && r[1] == code)
            registers.push_back(static_cast<uint8_t>((r[2] & 0x0F) | ((r[3] & 0x0F) << 4)));
    }
    return registers;
}

class SensorLinkTest : public SensorTest {};

TEST_F(SensorLinkTest, IdentifyDecodesEveryFieldAndIgnoresHighNibbles)
{
    auto config = WheelConfig(83);
    config.head.kind = 0x5A;
    config.head.firstValue = 0xBEEF;
    config.head.secondValue = 0x0102;
    config.head.rangeMm = 0x7A12;
    SimPort sim(config);
    HANDLE port = Open(sim);

    SensorInfo plain{};
    ASSERT_EQ(1, link.Identify(port, 1, &plain));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(plain.kind, 0x5A), FIELD_IS(plain.firmwareVersion, 83),
                                 FIELD_IS(plain.firstValue, 0xBEEF), FIELD_IS(plain.secondValue, 0x0102),
                                 FIELD_IS(plain.measuringRange, 0x7A12)));

    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::highNibbles));
    SensorInfo masked{};
    ASSERT_EQ(1, link.Identify(port, 1, &masked));
    EXPECT_EQ(0, std::memcmp(&plain, &masked, sizeof plain));
}

TEST(SensorInfoCheck, FirmwareOneToNinetyNineAndRangeOneToFiveHundredMillimetres)
{
    auto info = [](int firmware, int range) {
        SensorInfo i{};
        i.firmwareVersion = static_cast<BYTE>(firmware);
        i.measuringRange = static_cast<WORD>(range);
        return i;
    };
    EXPECT_TRUE(CSensorLink::PlausibleInfo(info(1, 1)));
    EXPECT_TRUE(CSensorLink::PlausibleInfo(info(99, 500)));
    EXPECT_TRUE(CSensorLink::PlausibleInfo(info(60, 100)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(0, 100)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(100, 100)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(255, 100)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(60, 0)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(60, 501)));
    EXPECT_FALSE(CSensorLink::PlausibleInfo(info(60, 0x7A12)));
}

TEST_F(SensorLinkTest, MissingShortAndAbsentHeadsFail)
{
    SimPort sim(WheelConfig());
    HANDLE port = Open(sim);
    SensorInfo info{};
    EXPECT_EQ(0, link.Identify(port, 2, &info)) << "a wheel device has no second head";

    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::shortReplies));
    EXPECT_EQ(0, link.Identify(port, 1, &info));
    BYTE values[2];
    EXPECT_EQ(0, link.ReadRegisters(port, 1, 0x38, 2, values));

    EXPECT_EQ(0, link.ReadRegisters(INVALID_HANDLE_VALUE, 1, 0x38, 2, values));
    EXPECT_EQ(0, link.ReadRegisters(port, 1, 0x38, 0, values));
    EXPECT_EQ(0, link.ReadRegisters(port, 1, 0x38, 2, nullptr));
}

// Converted state words: r1 voltage, r2 tilt, r3 temperature.
SensorState ConvertedState(SensorTest&, CSensorLink& link, HANDLE port, sensorsim::Device& device, int r1, int r2,
                           int r3 = 37000)
{
    sensorsim::HeadConfig head;
    head.firmware = 90;
    head.stateWords[0] = r1;
    head.stateWords[1] = r2;
    head.stateWords[2] = r3;
    device.SetHead(head);
    SensorState s{};
    s.flags = 0x77;
    EXPECT_EQ(1, link.ReadState(port, 1, &s, TRUE));
    EXPECT_EQ(0x77, s.flags) << "the converted form leaves the flags alone";
    return s;
}

TEST_F(SensorLinkTest, ConvertedChargeLimits)
{
    SimPort sim(WheelConfig(90));
    HANDLE port = Open(sim);
    // 3.5 V and below: 0 (r1 = 9718 is 3.4997 V, 9719 is 3.5001 V); above
    // 4.1 V: 100, however high.
    for (const auto& [r1, charge] : {std::pair{9718, 0}, {0, 0}, {9719, 0}, {11400, 100}, {65535, 100}})
        EXPECT_EQ(charge, ConvertedState(*this, link, port, sim.device, r1, 32767).charge) << r1;
    // Half way.
    const SensorState mid = ConvertedState(*this, link, port, sim.device, 10553, 32767);
    EXPECT_NEAR(3.8, mid.voltage, 0.001);
    EXPECT_EQ(static_cast<int>((static_cast<double>(mid.voltage) - 3.5) / (4.1 - 3.5) * 100.0), mid.charge);
    // A word meant to be 4.1 V passes through single precision: 99 or 100,
    // never above.
    const int r41 = static_cast<int>(std::lround(4.1 * 65535.0 / 23.6));
    const SensorState at41 = ConvertedState(*this, link, port, sim.device, r41, 32767);
    const double expect = (static_cast<double>(static_cast<float>(23.6 * r41 / 65535.0)) - 3.5) / (4.1 - 3.5) * 100.0;
    EXPECT_EQ(expect >= 100.0 ? 100 : static_cast<int>(expect), at41.charge);
    EXPECT_GE(at41.charge, 99);
}

TEST_F(SensorLinkTest, ConvertedTiltSign)
{
    SimPort sim(WheelConfig(90));
    HANDLE port = Open(sim);
    const struct {
        int r2;
        double tilt, within;
        int sign;
    } cases[] = {{32767, 0.0, 0.0, 2},
                 {32768, 0.0000366, 1e-6, 2},
                 {32767 + 333, 0.0122, 1e-4, 1},
                 {32767 - 333, -0.0122, 1e-4, 0},
                 {0, -1.2, 0.001, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.r2);
        const SensorState s = ConvertedState(*this, link, port, sim.device, 10553, c.r2);
        EXPECT_NEAR(c.tilt, s.tilt, c.within);
        EXPECT_EQ(c.sign, s.tiltSign);
    }
    // Temperature: 510 * r3 / 65535 - 273.15.
    EXPECT_NEAR(510.0 * 37000 / 65535 - 273.15,
                ConvertedState(*this, link, port, sim.device, 10553, 32767, 37000).temperature, 0.01);
}

TEST_F(SensorLinkTest, RawStateAndMissingAnswer)
{
    auto config = WheelConfig(60);
    config.head.rawCharge = 180;
    config.head.rawTilt = 0x1234;
    config.head.rawVoltage = 4021;
    config.head.rawFlags = 0x0C;
    SimPort sim(config);
    HANDLE port = Open(sim);
    SensorState s{};
    s.temperature = 12.5f;
    ASSERT_EQ(1, link.ReadState(port, 1, &s, FALSE));
    EXPECT_EQ(100, s.charge) << "limited to 100";
    EXPECT_EQ(static_cast<float>(0x1234), s.tilt);
    EXPECT_EQ(4021.0f, s.voltage);
    EXPECT_EQ(0x0C, s.flags);
    EXPECT_EQ(8, s.tiltSign);
    EXPECT_EQ(12.5f, s.temperature) << "the raw form leaves the temperature alone";

    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::silent));
    s.tiltSign = 2;
    EXPECT_EQ(0, link.ReadState(port, 1, &s, FALSE));
    EXPECT_EQ(255, s.charge);
    EXPECT_EQ(0, s.tiltSign);

    SensorState untouched{};
    untouched.charge = 42;
    EXPECT_EQ(0, link.ReadState(INVALID_HANDLE_VALUE, 1, &untouched, TRUE));
    EXPECT_EQ(42, untouched.charge);
}

TEST_F(SensorLinkTest, RegistersReadInOrderAndWriteLastFirst)
{
    SimPort sim(WheelConfig());
    HANDLE port = Open(sim);
    sim.device.SetRegister(0, 0xFF, 0xAB);
    sim.device.SetRegister(0, 0x00, 0xCD);
    BYTE values[3] = {};
    ASSERT_EQ(1, link.ReadRegisters(port, 1, 0xFF, 2, values));
    EXPECT_EQ(0xAB, values[0]);
    EXPECT_EQ(0xCD, values[1]) << "register numbers wrap modulo 256";
    EXPECT_EQ((std::vector<uint8_t>{0xFF, 0x00}), Codes(sim.device, 0x82));

    sim.device.ClearRequests();
    const BYTE written[2] = {0x11, 0x22};
    ASSERT_EQ(1, link.WriteRegisters(port, 1, 0x38, 2, written));
    ASSERT_TRUE(WaitFor([&] { return CountCode(sim.device, 0x83) == 2; }));
    EXPECT_EQ((std::vector<uint8_t>{0x39, 0x38}), Codes(sim.device, 0x83));
    EXPECT_EQ(0x11, sim.device.Register(0, 0x38));
    EXPECT_EQ(0x22, sim.device.Register(0, 0x39));
    for (const auto& r : sim.device.Requests()) {
        for (size_t i = 2; i < r.size(); ++i)
            EXPECT_EQ(0x80, r[i] & 0xF0) << "data nibbles carry bit 7";
    }
}

TEST_F(SensorLinkTest, RegisterWordNeverWritesPastTwoBytes)
{
    SimPort sim(WheelConfig());
    HANDLE port = Open(sim);
    for (int r = 0; r < 8; ++r)
        sim.device.SetRegister(0, static_cast<uint8_t>(0xC8 + r), static_cast<uint8_t>(0x10 + r));
    struct {
        SHORT word;
        SHORT guard[3];
    } target = {static_cast<SHORT>(0x7F00), {0x1111, 0x2222, 0x3333}};
    ASSERT_EQ(1, link.ReadRegisterWord(port, 1, 0xC8, 8, &target.word));
    EXPECT_EQ(0x1110, target.word);
    EXPECT_EQ((std::vector<SHORT>{0x1111, 0x2222, 0x3333}), std::vector<SHORT>(target.guard, target.guard + 3));

    sim.device.SetRegister(0, 0x36, 0x06);
    SHORT narrow = static_cast<SHORT>(0x5A00);
    ASSERT_EQ(1, link.ReadRegisterWord(port, 1, 0x36, 1, &narrow));
    EXPECT_EQ(0x5A06, narrow) << "width 1 changes only the low byte";
}

TEST_F(SensorLinkTest, DistanceIsComputedWithoutOverflow)
{
    auto config = WheelConfig();
    config.head.distanceRaw = 0xFFFF;
    SimPort sim(config);
    HANDLE port = Open(sim);
    ASSERT_EQ(1, link.SwitchOn(port, 1));
    ASSERT_TRUE(link.IsSwitchedOn(port, 1));
    DWORD d = 0;
    ASSERT_EQ(1, link.ReadDistance(port, 1, 65535, &d));
    EXPECT_EQ(static_cast<DWORD>(65535ULL * 65535ULL * 1000ULL / 16384ULL), d);
    ASSERT_EQ(1, link.ReadDistance(port, 1, 100, &d));
    EXPECT_EQ(static_cast<DWORD>(65535ULL * 100ULL * 1000ULL / 16384ULL), d);
}

TEST_F(SensorLinkTest, AveragedDistanceSkipsZerosAndSwitchesOff)
{
    auto config = WheelConfig();
    config.head.distanceRaw = 0;
    SimPort sim(config);
    HANDLE port = Open(sim);
    DWORD d = 99;
    ASSERT_EQ(1, link.ReadDistanceAveraged(port, 1, 100, 5, &d));
    EXPECT_EQ(0u, d) << "all readings 0: success with a distance of 0";
    ASSERT_TRUE(WaitFor([&] { return CountCode(sim.device, 0x83) == 2; })) << "laser on, then off";
    EXPECT_EQ(0, sim.device.Register(0, 0));

    sensorsim::HeadConfig head;
    head.distanceRaw = 16384;
    sim.device.SetHead(head);
    ASSERT_EQ(1, link.ReadDistanceAveraged(port, 1, 20, 3, &d));
    EXPECT_EQ(20000u, d);
    ASSERT_TRUE(WaitFor([&] { return CountCode(sim.device, 0x83) == 4; }));
    EXPECT_EQ(0, sim.device.Register(0, 0));
}

TEST_F(SensorLinkTest, OldTemperatureRestoresTheDistanceSource)
{
    auto config = WheelConfig(50);
    config.head.temperatureRaw = 0x0ABC;
    SimPort sim(config);
    HANDLE port = Open(sim);
    DWORD t = 0;
    ASSERT_EQ(1, link.ReadTemperatureOld(port, 1, &t));
    EXPECT_EQ(0x0ABCu, t);
    ASSERT_TRUE(WaitFor([&] { return sim.device.Register(0, 7) == 4; }));

    sensorsim::Faults f;
    f.dropReplies = {sim.device.RequestCount() + 2};  // the 0x86 after the register write
    sim.device.SetFaults(f);
    EXPECT_EQ(0, link.ReadTemperatureOld(port, 1, &t));
    EXPECT_EQ(3, sim.device.Register(0, 7)) << "a failed read leaves register 7 at 3";
}

TEST_F(SensorLinkTest, StartAndWaitPollCounts)
{
    auto config = WheelConfig();
    config.head.busyPolls = 100;
    SimPort sim(config);
    HANDLE port = Open(sim);

    // Busy throughout: n = 1 polls six times, then gives up.
    EXPECT_EQ(0, link.StartAndWait(port, 1, 1));
    EXPECT_EQ(6u, CountCode(sim.device, 0x8B));

    // A failed poll followed by a busy one does not end the wait.
    sim.device.ClearRequests();
    sensorsim::HeadConfig head;
    head.busyPolls = 3;
    sim.device.SetHead(head);
    // The start is the next request, the first status poll the one after it.
    sim.device.SetFaults({.dropReplies = {sim.device.RequestCount() + 2}});
    EXPECT_EQ(1, link.StartAndWait(port, 1, 1));
    EXPECT_EQ(4u, CountCode(sim.device, 0x8B));

    // Two failed polls in a row end it.
    sim.device.ClearRequests();
    sim.device.SetHead(head);
    sim.device.SetFaults({.dropReplies = {sim.device.RequestCount() + 2, sim.device.RequestCount() + 3}});
    EXPECT_EQ(0, link.StartAndWait(port, 1, 1));
    EXPECT_EQ(2u, CountCode(sim.device, 0x8B));

    EXPECT_EQ(0, link.StartAndWait(INVALID_HANDLE_VALUE, 1, 1));
}

// The bytes each request puts on the line, exactly: the head address, the
// code and the data nibbles with bit 7 set, nothing before or after.
TEST_F(SensorLinkTest, RequestBytesOnTheWire)
{
    auto config = WheelConfig(90);
    config.kind = sensorsim::Kind::Disc2;
    config.head.busyPolls = 0;
    SimPort sim(config);
    HANDLE port = Open(sim);
    ASSERT_EQ(1, link.SwitchOn(port, 1));
    ASSERT_EQ(1, link.SwitchOn(port, 2));
    // Register writes get no answer: wait until the head has taken both.
    ASSERT_TRUE(WaitFor([&] { return CountCode(sim.device, 0x83) == 2; }));

    struct Case {
        const char* name;
        std::function<int()> call;
        std::vector<uint8_t> wire;
    };
    DWORD value = 0;
    BYTE status = 0xFF;
    SensorState state{};
    const std::vector<Case> cases = {
        {"distance, head 1", [&] { return link.ReadDistance(port, 1, 100, &value); }, {0x01, 0x86}},
        {"distance, head 2", [&] { return link.ReadDistance(port, 2, 100, &value); }, {0x02, 0x86}},
        {"state, head 1", [&] { return link.ReadState(port, 1, &state, TRUE); }, {0x01, 0x87}},
        {"state, head 2", [&] { return link.ReadState(port, 2, &state, FALSE); }, {0x02, 0x87}},
        {"status, head 1", [&] { return link.ReadStatus(port, 1, &status); }, {0x01, 0x8B}},
        {"status, head 2", [&] { return link.ReadStatus(port, 2, &status); }, {0x02, 0x8B}},
        {"start 1, head 1", [&] { return link.SendStart(port, 1, 1); }, {0x01, 0x8C, 0x81, 0x80}},
        {"start 0xA5, head 2", [&] { return link.SendStart(port, 2, 0xA5); }, {0x02, 0x8C, 0x85, 0x8A}},
        {"start 0x0F, head 1", [&] { return link.SendStart(port, 1, 0x0F); }, {0x01, 0x8C, 0x8F, 0x80}},
    };
    for (const Case& c : cases) {
        sim.device.ClearRequests();
        EXPECT_EQ(1, c.call()) << c.name;
        ASSERT_TRUE(WaitFor([&] { return sim.device.Received().size() >= c.wire.size(); })) << c.name;
        // A byte too many would arrive with the request.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(c.wire, sim.device.Received()) << c.name;
    }
    EXPECT_EQ(0, status) << "the status byte of an idle head";
    EXPECT_EQ(8192u * 100 * 1000 / 16384, value) << "the last distance read was head 2's";
}

// The pauses between request and reply, on the host's clock: an operation
// with a wait takes at least that long against a head that answers at once,
// and none waits seconds beyond its own wait. The upper bound is loose, so a
// loaded machine cannot fail it; how fast a command really is belongs in the
// benchmarks.
TEST_F(SensorLinkTest, WaitsBeforeReadingOnTheHostClock)
{
    qplat::UseHostClock();
    SimPort sim(WheelConfig(90));
    HANDLE port = Open(sim);
    SimPort gaugeSim(GaugeConfig());
    HANDLE gaugePort = Open(gaugeSim, 4);
    CByteCmdLink gauge;
    // The flush before a zero reads until the line has been silent for one
    // read time-out (700 ms at full length).
    const long long flushMs = 700 * 25 / 100;

    struct Case {
        const char* name;
        long long waitMs;
        std::function<int()> call;
    };
    SensorInfo info{};
    SensorState state{};
    DWORD value = 0;
    BYTE status = 0;
    BYTE reg = 0;
    const std::vector<Case> cases = {
        {"identify 0x81", 100, [&] { return link.Identify(port, 1, &info); }},
        {"state 0x87", 100, [&] { return link.ReadState(port, 1, &state, TRUE); }},
        {"echo 0x84", 500, [&] { return link.CheckLinkAA(port, 1); }},
        {"register 0x82", 0, [&] { return link.ReadRegisters(port, 1, 7, 1, &reg); }},
        {"distance 0x86", 0, [&] { return link.ReadDistance(port, 1, 100, &value); }},
        {"status 0x8B", 0, [&] { return link.ReadStatus(port, 1, &status); }},
        {"gauge value 0x96", 100, [&] { return gauge.ReadValue(gaugePort, &value); }},
        {"gauge trigger 0x97", 500, [&] { return gauge.SendTrigger(gaugePort); }},
        {"gauge zero 0x98", flushMs + 500, [&] { return gauge.SendZero(gaugePort); }},
    };
    constexpr long long kSlackMs = 1500;
    for (const Case& c : cases) {
        long long shortest = -1;
        for (int run = 0; run < 3; ++run) {
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(1, c.call()) << c.name;
            const long long ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                    .count();
            EXPECT_GE(ms, c.waitMs) << c.name;
            shortest = shortest < 0 ? ms : std::min(shortest, ms);
        }
        EXPECT_LT(shortest, c.waitMs + kSlackMs) << c.name;
    }
}

}  // namespace
