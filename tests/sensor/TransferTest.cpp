// Dump transfers, flushing and command set B over a real pseudo-terminal.
#include <atomic>
#include <thread>

#include "sensor/ByteCmdLink.h"
#include "tests/sensor/SensorTestSupport.h"

using namespace sensortest;

namespace {

class TransferTest : public SensorTest {};

// Bytes a line discipline would eat or translate: ETX, CR, XON, XOFF, and
// the rest of the control range.
std::vector<uint8_t> ControlHeavyDump()
{
    std::vector<uint8_t> dump(SENSOR_DUMP_BYTES);
    const uint8_t special[] = {0x0D, 0x11, 0x13, 0x03, 0x0A, 0x00, 0x7F, 0xFF, 0x1A, 0x04, 0x1C};
    for (size_t i = 0; i < dump.size(); ++i)
        dump[i] = i % 3 == 0 ? special[(i / 3) % sizeof special] : static_cast<uint8_t>(i * 31);
    return dump;
}

TEST_F(TransferTest, WholeDumpArrivesUnchanged)
{
    auto config = WheelConfig(53);
    config.dump[0] = ControlHeavyDump();
    SimPort sim(config);
    HANDLE port = Open(sim);
    std::vector<BYTE> buffer(SENSOR_DUMP_BYTES, 0xEE);
    ASSERT_EQ(1, link.ReadDump(port, 1, buffer.data()));
    EXPECT_EQ(config.dump[0], buffer);
}

TEST_F(TransferTest, BlocksArriveUnchangedAndBlockNumbersWrap)
{
    auto config = WheelConfig(60);
    config.dump[0] = ControlHeavyDump();
    SimPort sim(config);
    HANDLE port = Open(sim);
    std::vector<BYTE> block(SENSOR_BLOCK_BYTES);
    for (int b = 0; b < 12; ++b) {
        ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), b)) << "block " << b;
        EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[0].begin() + b * 1024)) << "block " << b;
    }
    ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), 256 + 2));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[0].begin() + 2 * 1024));
}

TEST_F(TransferTest, StalledDumpEndsWithWhatArrived)
{
    auto config = WheelConfig(53);
    config.faults.stallAfter = 700;
    SimPort sim(config);
    HANDLE port = Open(sim);
    std::vector<BYTE> buffer(SENSOR_DUMP_BYTES, 0xEE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0, link.ReadDump(port, 1, buffer.data()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << "a hang guard: the stall ended it";
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 700, config.dump[0].begin()));
    EXPECT_EQ(0xEE, buffer[700]) << "nothing past the last byte received";

    auto blockConfig = WheelConfig(60);
    blockConfig.faults.stallAfter = 700;
    SimPort blockSim(blockConfig);
    HANDLE blockPort = Open(blockSim, 4);
    std::vector<BYTE> block(SENSOR_BLOCK_BYTES, 0xEE);
    EXPECT_EQ(0, link.ReadBlock(blockPort, 1, block.data(), 0));
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 700, blockConfig.dump[0].begin()));
    EXPECT_EQ(0xEE, block[700]);
    EXPECT_EQ(0, link.ReadDump(INVALID_HANDLE_VALUE, 1, buffer.data()));
    EXPECT_EQ(0, link.ReadBlock(blockPort, 1, nullptr, 0));
}

// The stall's byte count runs over the whole dump, its blocks one after the
// other: a count past the first block stops a later one, and every block
// from there on stops too.
TEST_F(TransferTest, AStallPastTheFirstBlockStopsTheBlockItFallsIn)
{
    auto config = WheelConfig(60);
    config.dump[0] = ControlHeavyDump();
    config.faults.stallAfter = 2000;
    SimPort sim(config);
    HANDLE port = Open(sim);
    std::vector<BYTE> block(SENSOR_BLOCK_BYTES, 0xEE);
    ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), 0)) << "the first block is whole";
    EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[0].begin()));
    std::fill(block.begin(), block.end(), 0xEE);
    EXPECT_EQ(0, link.ReadBlock(port, 1, block.data(), 1));
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + (2000 - 1024), config.dump[0].begin() + 1024));
    EXPECT_EQ(0xEE, block[2000 - 1024]) << "nothing past the stall";
    std::fill(block.begin(), block.end(), 0xEE);
    EXPECT_EQ(0, link.ReadBlock(port, 1, block.data(), 2));
    EXPECT_EQ(0xEE, block[0]) << "a block past the stall sends nothing";
    // Read again, the first block is still whole: the count is a place in
    // the dump, not bytes sent so far.
    ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), 0));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[0].begin()));
}

TEST_F(TransferTest, EachFirmwareAnswersOnlyItsOwnDumpCommand)
{
    SimPort whole(WheelConfig(53));
    SimPort blocks(WheelConfig(54));
    HANDLE wholePort = Open(whole, 3);
    HANDLE blockPort = Open(blocks, 4);
    std::vector<BYTE> buffer(SENSOR_DUMP_BYTES);
    EXPECT_EQ(0, link.ReadBlock(wholePort, 1, buffer.data(), 0)) << "firmware 53 has no block command";
    EXPECT_EQ(1, link.ReadDump(wholePort, 1, buffer.data()));
    EXPECT_EQ(0, link.ReadDump(blockPort, 1, buffer.data())) << "firmware 54 has no whole-dump command";
    EXPECT_EQ(1, link.ReadBlock(blockPort, 1, buffer.data(), 0));
}

TEST_F(TransferTest, DisconnectMidSessionFailsPromptly)
{
    auto config = WheelConfig();
    config.faults.disconnectAfter = 1;
    SimPort sim(config);
    HANDLE port = Open(sim);
    SensorInfo info{};
    link.Identify(port, 1, &info);
    ASSERT_TRUE(WaitFor([&] { return sim.server.Disconnected(); }));
    std::vector<BYTE> buffer(SENSOR_DUMP_BYTES);
    EXPECT_EQ(0, link.ReadDump(port, 1, buffer.data()));
    EXPECT_EQ(0, link.Identify(port, 1, &info));
}

TEST_F(TransferTest, FlushIsBoundedAgainstAChatteringHead)
{
    SimPort sim(WheelConfig());
    HANDLE port = Open(sim);
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        std::vector<uint8_t> noise(512, 0x55);
        while (!stop.load() && sim.server.Inject(noise.data(), noise.size())) {
        }
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(1, link.FlushInput(port));
    const auto took = std::chrono::steady_clock::now() - start;
    stop.store(true);
    chatter.join();
    EXPECT_LT(took, std::chrono::seconds(30)) << "a hang guard: the flush ended while the head chattered on";
    EXPECT_EQ(0, link.FlushInput(INVALID_HANDLE_VALUE));
}

TEST_F(TransferTest, EchoTests)
{
    SimPort sim(WheelConfig());
    HANDLE port = Open(sim);
    EXPECT_EQ(1, link.CheckLinkAA(port, 1));
    EXPECT_EQ(1, link.CheckLink96(port, 1));
    EXPECT_EQ(1, link.CheckLink69(port, 1));
    EXPECT_EQ((std::vector<std::vector<uint8_t>>{{1, 0x84, 0x8A, 0x8A}, {1, 0x84, 0x86, 0x89}, {1, 0x84, 0x89, 0x86}}),
              sim.device.Requests());
    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::garbage));
    int echoed = 0;
    for (int i = 0; i < 4; ++i)
        echoed += link.CheckLinkAA(port, 1);
    EXPECT_LT(echoed, 4) << "random bytes do not pass as the echo every time";
}

TEST_F(TransferTest, TwoHeadDiscAnswersOnBothAddresses)
{
    auto config = WheelConfig(60);
    config.kind = sensorsim::Kind::Disc2;
    config.dump[1] = ControlHeavyDump();
    SimPort sim(config);
    HANDLE port = Open(sim);
    SensorInfo info{};
    EXPECT_EQ(1, link.Identify(port, 1, &info));
    EXPECT_EQ(1, link.Identify(port, 2, &info));
    std::vector<BYTE> block(SENSOR_BLOCK_BYTES);
    ASSERT_EQ(1, link.ReadBlock(port, 2, block.data(), 5));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[1].begin() + 5 * 1024));
    ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), 5));
    EXPECT_TRUE(std::equal(block.begin(), block.end(), config.dump[0].begin() + 5 * 1024));
}

class GaugeTest : public SensorTest {};

TEST_F(GaugeTest, ValueReplyIsTheLowThreeBytesTimesTen)
{
    auto config = GaugeConfig();
    config.gaugeRaw = 0x003039;
    SimPort sim(config);
    HANDLE port = Open(sim);
    CByteCmdLink gauge;
    DWORD value = 0;
    ASSERT_EQ(1, gauge.ReadValue(port, &value));
    EXPECT_EQ(123450u, value);
    const BYTE reply[5] = {0x39, 0x30, 0x00, 0x12, 0x34};
    EXPECT_EQ(123450u, CByteCmdLink::DecodeValue(reply));
    const BYTE top[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0xFFFFFFu * 10u, CByteCmdLink::DecodeValue(top));

    sim.device.SetFaults(qtest::FaultOnly(&sensorsim::Faults::shortReplies));
    value = 77;
    EXPECT_EQ(0, gauge.ReadValue(port, &value));
    EXPECT_EQ(77u, value) << "unchanged on failure";
    EXPECT_EQ(0, gauge.ReadValue(INVALID_HANDLE_VALUE, &value));
}

TEST_F(GaugeTest, ZeroAndTriggerNeedTheirOwnEcho)
{
    auto config = GaugeConfig();
    SimPort sim(config);
    HANDLE port = Open(sim);
    CByteCmdLink gauge;
    // Bytes left waiting in the input do not spoil the echo.
    const uint8_t stale[] = {0x96, 0x01, 0x02, 0x03};
    ASSERT_TRUE(sim.server.Inject(stale, sizeof stale));
    EXPECT_EQ(1, gauge.SendZero(port));
    EXPECT_EQ(1, gauge.SendTrigger(port));

    auto wrong = GaugeConfig();
    wrong.zeroEcho = 0x97;
    SimPort other(wrong);
    HANDLE port2 = Open(other, 4);
    EXPECT_EQ(0, gauge.SendZero(port2)) << "an echo of 0x97 to the zero command is a failure";
    EXPECT_EQ(1, gauge.SendTrigger(port2));
    EXPECT_EQ(0, gauge.SendZero(INVALID_HANDLE_VALUE));
}

}  // namespace
