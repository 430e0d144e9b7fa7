// The whole sensor road with the simulator program: it adds itself to the
// Bluetooth neighbourhood of the device root, the program finds it by
// inquiry, pairs, registers and opens its COM port, identifies the head,
// reads its registers and its dump, and the simulator leaves the
// neighbourhood again when it is stopped.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../support/SimProcess.h"
#include "../support/TempDeviceRoot.h"
#include "tests/support/Inquiry.h"
#include "measurement/HeadRegisters.h"
#include "platform/Bluetooth.h"
#include "platform/WinComm.h"
#include "platform/WinText.h"
#include "sensor/LinkMonitor.h"
#include "sensor/SensorLink.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tools/profilegen/ProfileGen.h"

namespace {

using qtest::SimProcess;

constexpr BT_ADDR kAddress = 0x00126FA00B7CULL;

class SensorSimIntegrationTest : public qtest::DeviceRootTest {
protected:
    void SetUp() override
    {
        qplat::ResetCommDevices();
        qplat::ClearStoredPins();
        qtest::SetCardFolder();
        root.MakeFolder(u"\\SDMMC\\Autorun");
    }
    void TearDown() override
    {
        qplat::ResetCommDevices();
        qplat::ClearStoredPins();
    }

    std::vector<std::string> Args(const char* firmware)
    {
        return {"--root", root.Path(), "--kind", "wheel", "--firmware", firmware, "--address", "00:12:6f:a0:0b:7c",
                "--name", "LX412 12345", "--noisy"};
    }
    // Args with an option's value changed, or with the words added.
    std::vector<std::string> ArgsWith(const std::vector<std::string>& words)
    {
        std::vector<std::string> args = Args("60");
        const auto at = std::find(args.begin(), args.end(), words[0]);
        if (words.size() == 2 && at != args.end())
            *(at + 1) = words[1];
        else
            args.insert(args.end(), words.begin(), words.end());
        return args;
    }

    // Inquiry as the search screen runs it: the addresses found.
    std::vector<BT_ADDR> Inquiry()
    {
        std::vector<BT_ADDR> found;
        for (const auto& device : qtest::RunInquiry()) found.push_back(device.first);
        return found;
    }

    // Inquiries until `count` devices are found (a simulator lists itself
    // moments after it printed its terminal), or a hang guard of 30 s passed.
    std::vector<BT_ADDR> InquiryFinding(size_t count)
    {
        std::vector<BT_ADDR> found = Inquiry();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (found.size() < count && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            found = Inquiry();
        }
        return found;
    }

    // The settings the paired-sensor screen writes after adding the sensor.
    void MakeCurrent(const std::u16string& name)
    {
        ParamBlock block{};
        block.deviceType = 1;
        ParamBTRecord* r = SensorRecordOf(&block, 1);
        qplat::CopyField(r->address, 20, u"00126fa00b7c");
        qplat::CopyField(r->name, 12, name.c_str());
        WCHAR pin[6];
        // The PIN is the serial cut from the name.
        const size_t blank = name.find(u' ');
        const char16_t digits[5] = {name[blank + 1], name[blank + 2], name[blank + 3], name[blank + 5], 0};
        std::memcpy(pin, digits, sizeof digits);
        qplat::CopyField(r->pin, 5, pin);
        CParamFile file;
        ASSERT_EQ(1, file.Save(&block));
    }

    // Identifies the head through the monitor's own Connect.
    HANDLE ConnectThroughMonitor(CLinkMonitor& monitor)
    {
        monitor.Start(nullptr);
        monitor.Stop();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!monitor.Connect() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return monitor.m_comPort.load();
    }

    // A run the simulator must refuse: nothing printed, the status (2 for
    // an argument), and what it said on standard error.
    std::string Refused(const std::vector<std::string>& args, int status = 2)
    {
        SimProcess never(args, QAV5_SENSORSIM, root.Host(u"\\sensorsim-stderr.txt"));
        EXPECT_EQ("", never.Path()) << "something was printed";
        EXPECT_EQ(status, never.Stop());
        return root.ReadFile(u"\\sensorsim-stderr.txt");
    }

    CSensorLink link;
};

TEST_F(SensorSimIntegrationTest, PairConnectIdentifyRegistersAndDumpInBlocks)
{
    SimProcess sim(Args("60"));
    ASSERT_EQ(0u, sim.Path().find("/dev/")) << "first line: " << sim.Path();

    // The simulator is found by inquiry and answers the name query.
    const std::vector<BT_ADDR> found = InquiryFinding(1);
    ASSERT_EQ(1u, found.size());
    EXPECT_EQ(kAddress, found[0]);
    WCHAR name[256];
    unsigned int required = 0;
    BT_ADDR a = kAddress;
    ASSERT_EQ(0, BthRemoteNameQuery(&a, 256, &required, name));
    EXPECT_EQ(std::u16string(u"LX412 12345"), std::u16string(name));

    MakeCurrent(name);
    CLinkMonitor monitor;
    HANDLE port = ConnectThroughMonitor(monitor);
    ASSERT_NE(nullptr, port);
    const SensorInfo info = monitor.GetSensorInfo();
    EXPECT_EQ(60, info.firmwareVersion);
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.noisyHighNibbles = true;  // --noisy: upper bits filled as on a real link
    EXPECT_EQ(head.rangeMm, info.measuringRange);

    // The head settings as the measuring controller reads them.
    SensorRegisters regs{};
    for (int i = 0; i < kHeadRegisterCount; ++i) {
        const HeadRegister& e = g_headRegisterTable[i];
        if (e.width < 1 || e.width > 2)
            continue;
        ASSERT_EQ(1, link.ReadRegisterWord(port, 1, static_cast<BYTE>(e.reg), e.width, &regs.words[i])) << i;
        if (e.width == 2)
            EXPECT_EQ(head.words[static_cast<size_t>(i)], regs.words[i]) << "entry " << i;
        else
            EXPECT_EQ(head.words[static_cast<size_t>(i)] & 0xFF, regs.words[i] & 0xFF) << "entry " << i;
    }

    // The dump in 1024-byte blocks, as many as word 12 announces.
    const std::vector<uint8_t> expected = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    const int blocks = regs.words[12] / 256 + 1;
    ASSERT_GE(static_cast<size_t>(blocks) * 1024, expected.size());
    std::vector<BYTE> dump(static_cast<size_t>(blocks) * 1024);
    ASSERT_EQ(1, link.FlushInput(port));
    for (int b = 0; b < blocks; ++b)
        ASSERT_EQ(1, link.ReadBlock(port, 1, dump.data() + b * 1024, b)) << "block " << b;
    dump.resize(expected.size());
    EXPECT_EQ(expected, dump);
    for (BYTE special : {0x0D, 0x11, 0x13, 0x03})
        EXPECT_NE(expected.end(), std::find(expected.begin(), expected.end(), special))
            << "the dump carries byte " << int(special);

    monitor.ClosePort();
    EXPECT_EQ(0, sim.Stop());
    EXPECT_TRUE(Inquiry().empty()) << "the simulator removed itself";
}

TEST_F(SensorSimIntegrationTest, DumpInOnePieceForOldFirmware)
{
    SimProcess sim(Args("53"));
    ASSERT_FALSE(sim.Path().empty());
    MakeCurrent(u"LX412 12345");
    CLinkMonitor monitor;
    HANDLE port = ConnectThroughMonitor(monitor);
    ASSERT_NE(nullptr, port);
    EXPECT_EQ(53, monitor.GetSensorInfo().firmwareVersion);
    std::vector<BYTE> dump(SENSOR_DUMP_BYTES);
    ASSERT_EQ(1, link.ReadDump(port, 1, dump.data()));
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.noisyHighNibbles = true;
    std::vector<uint8_t> expected = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    expected.resize(SENSOR_DUMP_BYTES, 0);
    EXPECT_EQ(expected, dump);
    monitor.ClosePort();
}

// "--fault stall=BYTES" counts BYTES into the whole dump: with the default
// firmware's 1024-byte blocks, 2000 lets the first block through and stops
// the second one within it. A count at or past the dump's end could never
// stall, and is refused.
TEST_F(SensorSimIntegrationTest, AStallCountsItsBytesOverTheWholeDump)
{
    std::vector<std::string> args = Args("60");
    args.insert(args.end(), {"--fault", "stall=2000"});
    SimProcess sim(args);
    ASSERT_FALSE(sim.Path().empty());
    MakeCurrent(u"LX412 12345");
    CLinkMonitor monitor;
    HANDLE port = ConnectThroughMonitor(monitor);
    ASSERT_NE(nullptr, port);
    profilegen::HeadEncoding head = profilegen::DefaultWheelHead();
    head.noisyHighNibbles = true;
    std::vector<uint8_t> expected = profilegen::EncodeDump(profilegen::S1002Profile(), head);
    expected.resize(SENSOR_DUMP_BYTES, 0);
    std::vector<BYTE> block(1024, 0xEE);
    ASSERT_EQ(1, link.FlushInput(port));
    ASSERT_EQ(1, link.ReadBlock(port, 1, block.data(), 0)) << "the first block is whole";
    EXPECT_TRUE(std::equal(block.begin(), block.end(), expected.begin()));
    std::fill(block.begin(), block.end(), 0xEE);
    EXPECT_EQ(0, link.ReadBlock(port, 1, block.data(), 1)) << "the second block stalls";
    EXPECT_TRUE(std::equal(block.begin(), block.begin() + 976, expected.begin() + 1024));
    EXPECT_EQ(0xEE, block[976]);
    monitor.ClosePort();
    EXPECT_EQ(0, sim.Stop());

    for (const char* fault : {"stall=12288", "stall=100000"}) {
        std::vector<std::string> refused = Args("60");
        refused.insert(refused.end(), {"--fault", fault});
        EXPECT_NE(std::string::npos, Refused(refused).find("stall takes 0 to 12287")) << fault;
    }
}

// Arguments are checked before the terminal is opened or the neighbourhood
// touched: a refused run prints nothing, makes nothing, lists nothing and
// names the argument. A root must be a folder that is there (a card's), a
// name and a PIN (digits) must fit the card's fields, an address of zeros is
// no sensor's, a profile needs a file. --help is a request, answered on
// standard output.
TEST_F(SensorSimIntegrationTest, ArgumentsAreRefusedBeforeAnythingIsOpened)
{
    const std::string bad = "xyz is not 12 hexadecimal digits";
    EXPECT_NE(std::string::npos, Refused({"--address", "xyz"}).find(bad)) << "without --root";
    root.WriteFile(u"\\a-file", "not a folder");
    const std::string file = root.Host(u"\\a-file");
    const std::string missing = root.Path() + "/missing/root";
    const struct {
        std::vector<std::string> args;
        std::string said;
    } cases[] = {
        {{"--address", "xyz"}, bad},
        {{"--address", "00:00:00:00:00:00"}, "--address 00:00:00:00:00:00 means no sensor"},
        {{"--fault", "silent=2"}, "silent takes no count"},
        {{"--fault", "stall,slow"}, "no fault \"slow\""},
        {{"--firmware", "300"}, "bad argument --firmware 300"},
        {{"--root", file}, "--root " + file + " is not a folder"},
        {{"--root", missing}, "--root " + missing + " does not exist"},
        {{"--root", ""}, "--root needs a folder"},
        {{"--name", "LX412 123456"}, "--name \"LX412 123456\" must have 1 to 11 characters"},
        {{"--name", ""}, "--name \"\" must have 1 to 11 characters"},
        {{"--pin", "12345"}, "--pin \"12345\" must be 1 to 4 digits"},
        {{"--pin", ""}, "--pin \"\" must be 1 to 4 digits"},
        {{"--pin", "12a4"}, "--pin \"12a4\" must be 1 to 4 digits"},
        {{"--profile", ""}, "--profile needs a points file"},
        {{"--noisy"}, "option --noisy is given twice"},  // a second one would win over the first
        {{"--fault", "silent", "--fault", "short"}, "option --fault is given twice"},
    };
    for (const auto& c : cases) {
        const std::string said = Refused(ArgsWith(c.args));
        EXPECT_NE(std::string::npos, said.find(c.said)) << c.args[0] << " " << c.args.back() << ": " << said;
    }
    EXPECT_FALSE(std::filesystem::exists(root.Path() + "/missing")) << "a missing root was made";
    EXPECT_EQ("not a folder", root.ReadFile(u"\\a-file"));
    EXPECT_TRUE(qplat::LoadNeighbourhood().devices.empty());

    // A neighbourhood that cannot be written shows only when written to: the
    // run ends with 1 and never prints the terminal it had opened.
    std::error_code ec;
    std::filesystem::remove(qplat::NeighbourhoodPath(), ec);
    ASSERT_TRUE(std::filesystem::create_directory(qplat::NeighbourhoodPath(), ec)) << ec.message();
    EXPECT_NE(std::string::npos, Refused(Args("60"), 1).find("cannot write the Bluetooth neighbourhood"));
    std::filesystem::remove(qplat::NeighbourhoodPath());

    SimProcess help({"--help"}, QAV5_SENSORSIM, root.Host(u"\\sensorsim-stderr.txt"));
    EXPECT_EQ(0u, help.Path().find("usage: sensorsim")) << help.Path();
    EXPECT_EQ(0, help.Stop());
    EXPECT_EQ("", root.ReadFile(u"\\sensorsim-stderr.txt"));
}

TEST_F(SensorSimIntegrationTest, WrongPinFailsThePairing)
{
    SimProcess sim(Args("60"));
    ASSERT_FALSE(sim.Path().empty());
    MakeCurrent(u"LX412 99999");  // its PIN 9999 is not the simulator's 1235
    CLinkMonitor monitor;
    monitor.Start(nullptr);
    monitor.Stop();
    EXPECT_EQ(0, monitor.Connect());
    EXPECT_EQ(nullptr, monitor.m_comPort.load());
}

std::vector<std::string> NonBlankLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(" \t") != std::string::npos)
            lines.push_back(line);
    }
    return lines;
}

TEST_F(SensorSimIntegrationTest, KilledSimulatorLeavesTheNeighbourhood)
{
    for (bool reap : {false, true}) {
        SCOPED_TRACE(reap ? "reaped" : "not yet reaped");
        SimProcess sim(Args("60"));
        ASSERT_FALSE(sim.Path().empty());
        ASSERT_EQ(1u, InquiryFinding(1).size());
        ASSERT_NE(std::string::npos, qtest::ReadHostFile(qplat::NeighbourhoodPath()).find(sim.Path()));

        sim.Kill(reap);
        // Gone for every reader at once (a killed process ends within moments).
        const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!Inquiry().empty() && std::chrono::steady_clock::now() < gone)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(Inquiry().empty());
        BT_ADDR a = kAddress;
        unsigned char rssi = 0;
        EXPECT_NE(0, BthReadRSSI(&a, &rssi));
        // And from the file at the next write.
        ASSERT_TRUE(qplat::SetBluetoothRadio(true));
        EXPECT_EQ(std::string::npos, qtest::ReadHostFile(qplat::NeighbourhoodPath()).find(sim.Path()));
    }
}

// A second simulator on the address of a running one took its block over and unlisted it when
// it ended: it is refused before it prints or lists anything, naming the first. One on another
// address runs beside it and takes only its own block out; the first is found still, ends cleanly.
TEST_F(SensorSimIntegrationTest, TwoRunningSimulatorsOnOneRootKeepTheirOwnBlocks)
{
    SimProcess first(Args("60"));
    ASSERT_FALSE(first.Path().empty());
    const std::string said = Refused(ArgsWith({"--name", "LX412 54321"}));
    EXPECT_NE(std::string::npos, said.find("--address 00:12:6f:a0:0b:7c is taken")) << said;
    EXPECT_NE(std::string::npos, said.find("\"LX412 12345\" on " + first.Path())) << "the running one: " << said;
    SimProcess second(ArgsWith({"--address", "00:12:6f:a0:0b:7d"}));
    ASSERT_FALSE(second.Path().empty());
    EXPECT_EQ((std::vector<BT_ADDR>{kAddress, kAddress + 1}), InquiryFinding(2));
    EXPECT_EQ(0, second.Stop());
    EXPECT_EQ(std::vector<BT_ADDR>{kAddress}, Inquiry()) << "the first is listed still";
    EXPECT_EQ(0, first.Stop()) << "and takes itself out";
}

TEST_F(SensorSimIntegrationTest, SimulatorKeepsAHandEditedNeighbourhood)
{
    const std::string original = "# Sensors of the test bench (edited by hand)\n"
                                 "radio = on\n"
                                 "bench = 2\n"
                                 "\n"
                                 "[device]\n"
                                 "# the gauge on shelf 3\n"
                                 "address = 00:12:f3:a4:0b:7c\n"
                                 "name = QUN 54321\n"
                                 "pin = 5432\n"
                                 "serial = /dev/ttyUSB7\n"
                                 "calibrated = 2024-02-01\n";
    {
        std::ofstream out(qplat::NeighbourhoodPath(), std::ios::binary | std::ios::trunc);
        out << original;
    }
    SimProcess sim(Args("60"));
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_EQ(2u, InquiryFinding(2).size());
    const std::string listed = qtest::ReadHostFile(qplat::NeighbourhoodPath());
    EXPECT_EQ(0u, listed.find(original)) << "the simulator's block follows the file as it was:\n" << listed;
    EXPECT_NE(std::string::npos, listed.find(sim.Path()));

    EXPECT_EQ(0, sim.Stop());
    EXPECT_EQ(NonBlankLines(original), NonBlankLines(qtest::ReadHostFile(qplat::NeighbourhoodPath())))
        << "the simulator left, the hand-edited file is as it was";
}

}  // namespace
