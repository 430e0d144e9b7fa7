// The platform's serial ports: raw bytes, the COMMTIMEOUTS rules, close and
// hang-up while a read waits, and the "COMn:" device manager.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/sensor/SensorTestSupport.h"
#include "tests/support/OrdinaryUser.h"

using namespace sensortest;

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A device that answers nothing, so the test controls every byte with Inject.
sensorsim::DeviceConfig Mute()
{
    auto c = WheelConfig();
    c.faults.silent = true;
    return c;
}

class SerialPortTest : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        qplat::SetCommTimeoutScale(100);
    }
    static void SetTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant)
    {
        COMMTIMEOUTS t{interval, multiplier, constant, 0, 0};
        ASSERT_TRUE(SetCommTimeouts(port, &t));
    }
    // A read of eight bytes, without time-outs, on a thread of its own:
    // `done` once it returned, with its result in `result`.
    static std::thread WaitingRead(HANDLE port, std::atomic<bool>& done, BOOL& result)
    {
        SetTimeouts(port, 0, 0, 0);
        return std::thread([port, &done, &result] {
            BYTE buf[8];
            DWORD read = 0;
            result = ReadFile(port, buf, 8, &read, nullptr);
            done.store(true);
        });
    }
};

TEST_F(SerialPortTest, EveryByteValuePassesUntranslatedBothWays)
{
    auto config = WheelConfig();
    config.kind = sensorsim::Kind::Gauge2;  // set B: every byte is a request, logged as it came
    config.faults.silent = true;
    SimPort sim(config);
    HANDLE port = Open(sim);
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i)
        all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);

    ASSERT_TRUE(sim.server.Inject(all.data(), all.size()));
    std::vector<uint8_t> got(256);
    DWORD read = 0;
    ASSERT_TRUE(ReadFile(port, got.data(), 256, &read, nullptr));
    ASSERT_EQ(256u, read);
    EXPECT_EQ(all, got);

    DWORD written = 0;
    ASSERT_TRUE(WriteFile(port, all.data(), 256, &written, nullptr));
    EXPECT_EQ(256u, written);
    ASSERT_TRUE(WaitFor([&] { return sim.device.Requests().size() == 256; }));
    const auto requests = sim.device.Requests();
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(i, requests[static_cast<size_t>(i)][0]);
}

TEST_F(SerialPortTest, TotalTimeoutEndsASilentReadAsAShortRead)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    SetTimeouts(port, 50, 10, 100);
    BYTE buf[10];
    DWORD read = 99;
    const auto start = Clock::now();
    EXPECT_TRUE(ReadFile(port, buf, 10, &read, nullptr)) << "a short read is a normal result";
    const long long ms = MsSince(start);
    EXPECT_EQ(0u, read);
    EXPECT_GE(ms, 190);  // 10 x 10 + 100
    EXPECT_LT(ms, 30000) << "a hang guard: the read ended";
}

TEST_F(SerialPortTest, IntervalTimeoutEndsAfterTheLastByte)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    // A total far beyond any delay a loaded machine adds to the 60 ms gap.
    SetTimeouts(port, 60, 0, 120000);
    const uint8_t three[] = {1, 2, 3};
    ASSERT_TRUE(sim.server.Inject(three, 3));
    BYTE buf[10];
    DWORD read = 0;
    const auto start = Clock::now();
    EXPECT_TRUE(ReadFile(port, buf, 10, &read, nullptr));
    EXPECT_EQ(3u, read);
    EXPECT_LT(MsSince(start), 60000) << "the gap after the third byte ends it, not the 120 s total";
}

TEST_F(SerialPortTest, ImmediateReadAndFirstByteRead)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    SetTimeouts(port, MAXDWORD, 0, 0);
    BYTE buf[4];
    DWORD read = 9;
    auto start = Clock::now();
    EXPECT_TRUE(ReadFile(port, buf, 4, &read, nullptr));
    EXPECT_EQ(0u, read);
    EXPECT_LT(MsSince(start), 30000) << "a hang guard: an immediate read does not wait for bytes";

    // A constant far beyond any delay a loaded machine adds to the bytes.
    SetTimeouts(port, MAXDWORD, MAXDWORD, 120000);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const uint8_t two[] = {7, 8};
        sim.server.Inject(two, 2);
    });
    start = Clock::now();
    EXPECT_TRUE(ReadFile(port, buf, 4, &read, nullptr));
    late.join();
    EXPECT_GE(read, 1u);
    EXPECT_EQ(7, buf[0]);
    EXPECT_LT(MsSince(start), 60000) << "returns with the first bytes, not at the constant";
}

TEST_F(SerialPortTest, ClosingThePortEndsAWaitingRead)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    std::atomic<bool> done{false};
    BOOL result = TRUE;
    std::thread reader = WaitingRead(port, done, result);  // waits for all bytes
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load());
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    reader.join();
    EXPECT_FALSE(result);
    EXPECT_FALSE(PurgeComm(port, PURGE_RXCLEAR)) << "the handle is gone";
}

TEST_F(SerialPortTest, HangUpEndsARead)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    std::atomic<bool> done{false};
    BOOL result = TRUE;
    std::thread reader = WaitingRead(port, done, result);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    sim.server.Disconnect();
    EXPECT_TRUE(WaitFor([&] { return done.load(); }));
    reader.join();
}

TEST_F(SerialPortTest, StateAndPurge)
{
    SimPort sim(Mute());
    HANDLE port = Open(sim);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    EXPECT_EQ(115200u, dcb.BaudRate);
    EXPECT_EQ(8, dcb.ByteSize);
    EXPECT_EQ(0u, dcb.fOutX);
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_DISABLE), dcb.fDtrControl);
    COMMTIMEOUTS t{};
    ASSERT_TRUE(GetCommTimeouts(port, &t));
    EXPECT_EQ(200u, t.ReadIntervalTimeout);
    EXPECT_EQ(500u, t.ReadTotalTimeoutConstant);
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(port, &mask));
    EXPECT_EQ(EV_RXCHAR | EV_TXEMPTY, mask);

    DCB bad = dcb;
    bad.BaudRate = 12345;
    EXPECT_FALSE(SetCommState(port, &bad));
    bad = dcb;
    bad.ByteSize = 9;
    EXPECT_FALSE(SetCommState(port, &bad));

    const uint8_t junk[] = {1, 2, 3, 4};
    ASSERT_TRUE(sim.server.Inject(junk, 4));
    // The junk has arrived when the port counts it as input.
    ASSERT_TRUE(WaitFor([&] {
        COMSTAT stat{};
        DWORD errors = 0;
        return ClearCommError(port, &errors, &stat) && stat.cbInQue == 4;
    }));
    ASSERT_TRUE(PurgeComm(port, PURGE_RXCLEAR));
    SetTimeouts(port, MAXDWORD, 0, 0);
    BYTE buf[4];
    DWORD read = 9;
    ASSERT_TRUE(ReadFile(port, buf, 4, &read, nullptr));
    EXPECT_EQ(0u, read) << "purged input is gone";

    EXPECT_FALSE(PurgeComm(nullptr, PURGE_RXCLEAR));
    EXPECT_FALSE(PurgeComm(INVALID_HANDLE_VALUE, PURGE_RXCLEAR));
    EXPECT_FALSE(GetCommState(INVALID_HANDLE_VALUE, &dcb));
}

TEST_F(SerialPortTest, DeviceManagerIndexes)
{
    SimPort sim(Mute());
    qplat::Neighbour n = Device(0x00126FA00B7CULL, "LX412 12345");
    n.serial = sim.server.Path();
    ASSERT_TRUE(qplat::AddNeighbour(n));

    PORTEMUPortParams params{};
    params.channel = 1;
    params.device = n.address;
    params.uiportflags = RFCOMM_PORT_FLAGS_REMOTE_DCB;
    const auto ctx = reinterpret_cast<DWORD_PTR>(&params);
    qplat::ReserveCommIndex(0, true);
    EXPECT_EQ(nullptr, RegisterDevice(u"COM", 0, u"btd.dll", ctx)) << "index 0 belongs to another driver";
    HANDLE reg = RegisterDevice(u"COM", 1, u"btd.dll", ctx);
    ASSERT_NE(nullptr, reg);
    EXPECT_EQ(nullptr, RegisterDevice(u"COM", 1, u"btd.dll", ctx)) << "taken";
    EXPECT_EQ(nullptr, RegisterDevice(u"COM", 10, u"btd.dll", ctx));
    EXPECT_EQ(nullptr, RegisterDevice(u"XYZ", 2, u"btd.dll", ctx));
    EXPECT_EQ(nullptr, RegisterDevice(u"COM", 2, u"btd.dll", 0));

    // The link is authenticated with the stored PIN.
    HANDLE port = nullptr;
    EXPECT_EQ(0, link.OpenPort(1, &port)) << "no PIN stored";
    unsigned char wrong[] = {'1', '2', '3', '4'};
    BT_ADDR a = n.address;
    ASSERT_EQ(0, BthSetPIN(&a, 4, wrong));
    EXPECT_EQ(0, link.OpenPort(1, &port)) << "a wrong PIN fails the pairing";
    unsigned char right[] = {'1', '2', '3', '5'};
    ASSERT_EQ(0, BthSetPIN(&a, 4, right));
    ASSERT_EQ(1, link.OpenPort(1, &port));
    HANDLE second = nullptr;
    EXPECT_EQ(0, link.OpenPort(1, &second)) << "one owner at a time";
    EXPECT_EQ(1, link.ClosePort(port));
    ASSERT_EQ(1, link.OpenPort(1, &port));
    link.ClosePort(port);

    ASSERT_TRUE(qplat::SetNeighbourInRange(n.address, false));
    EXPECT_EQ(0, link.OpenPort(1, &port)) << "out of range";

    EXPECT_TRUE(DeregisterDevice(reg));
    EXPECT_FALSE(DeregisterDevice(reg)) << "a registration is released once";
    EXPECT_EQ(0, link.OpenPort(1, &port));
    EXPECT_EQ(0, link.OpenPort(1, nullptr));
    qplat::ReserveCommIndex(0, false);
}

TEST_F(SerialPortTest, OpenFailuresNameTheDeviceAndTheErrorOnce)
{
    qplat::ClearDebugOutput();
    HANDLE port = nullptr;

    const std::string missing = root.Path() + "/no-such-terminal";
    ASSERT_TRUE(qplat::BindCommPort(5, missing));
    EXPECT_EQ(0, link.OpenPort(5, &port));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0, link.OpenPort(5, &port));
    EXPECT_EQ(1, DebugLinesAbout(missing)) << "a retry does not repeat the line";
    EXPECT_EQ(1, DebugLinesAbout(missing, "missing"));

    const std::string plainFile = root.Path() + "/not-a-terminal";
    root.WriteFile(u"\\not-a-terminal", "x");
    ASSERT_TRUE(qplat::BindCommPort(6, plainFile));
    EXPECT_EQ(0, link.OpenPort(6, &port));
    EXPECT_EQ(0, link.OpenPort(6, &port));
    EXPECT_EQ(1, DebugLinesAbout(plainFile));
    EXPECT_EQ(1, DebugLinesAbout(plainFile, "not a terminal"));

    // The terminal appears (a link to the simulator's): it opens, and its
    // next failure is news again.
    SimPort sim(Mute());
    ASSERT_EQ(0, symlink(sim.server.Path().c_str(), missing.c_str()));
    ASSERT_EQ(1, link.OpenPort(5, &port));
    link.ClosePort(port);
    ASSERT_EQ(0, unlink(missing.c_str()));
    EXPECT_EQ(0, link.OpenPort(5, &port));
    EXPECT_EQ(2, DebugLinesAbout(missing));

    // A device the program may not open.
    const std::string locked = root.Path() + "/locked-terminal";
    root.WriteFile(u"\\locked-terminal", "x");
    ASSERT_EQ(0, chmod(locked.c_str(), 0600));
    ASSERT_EQ(0, chmod(root.Path().c_str(), 0755));
    ASSERT_TRUE(qplat::BindCommPort(7, locked));
    EXPECT_EQ(qtest::OrdinaryUserRun::Passed, qtest::AsOrdinaryUser([&] {
                  HANDLE h = nullptr;
                  return CSensorLink().OpenPort(7, &h) == 0 && GetLastError() == ERROR_ACCESS_DENIED &&
                         DebugLinesAbout(locked) == 1 && DebugLinesAbout(locked, "permission") == 1;
              }));
}

}  // namespace
