// The Bluetooth calls over BlueZ, against a mocked BlueZ on a private bus:
// the inquiry reports only what answered it, by the devices' own names; the
// radio state is read and never set; which stack answers; a bus that goes
// away; and the serial link over a socket behaving as the terminal does.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/HeldCall.h"
#include "platform/bluetooth/Bluez.h"
#include "tests/sensor/BluezTestSupport.h"
#include "tests/support/Inquiry.h"
#include "tests/sensor/SensorTestSupport.h"

using namespace sensortest;
using bluetest::MockBluez;
using bluetest::ScopedEnv;
using bluetest::SimConnector;
using bluetest::SocketSim;

namespace {

constexpr BT_ADDR kGauge = 0x00126F000001ULL;
constexpr BT_ADDR kHead = 0x00126F000002ULL;
constexpr BT_ADDR kGone = 0x00126F000003ULL;
constexpr BT_ADDR kCached = 0x00126F000009ULL;

using Found = std::vector<std::pair<BT_ADDR, std::u16string>>;
// An inquiry's result and the devices it found, each named when it differs.
struct Inquired {
    int result;
    Found found;
    bool operator==(const Inquired&) const = default;
    friend void PrintTo(const Inquired& i, std::ostream* out)
    {
        *out << "result " << i.result << ", found " << testing::PrintToString(i.found);
    }
};

class BluezStackTest : public SensorTest {
protected:
    void SetUp() override
    {
        SensorTest::SetUp();
        ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
    }

    // An inquiry as the search screen runs it; the devices in found order.
    static Inquired Inquiry()
    {
        int rc = -1;
        Found found = qtest::RunInquiry(&rc);
        return {rc, found};
    }
    static int NameOf(BT_ADDR address, std::u16string& name)
    {
        WCHAR text[256] = {};
        unsigned required = 0;
        const int rc = BthRemoteNameQuery(&address, 256, &required, text);
        name = text;
        return rc;
    }

    MockBluez mock;
};

TEST_F(BluezStackTest, InquiryReportsOnlyDevicesThatAnsweredItByTheirOwnNames)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:09 1111 LX412 99999"));  // paired long ago, out of reach
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:03 2222 LX413 22222"));
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:02 1111 LX412 11111"));
    ASSERT_EQ("ok", mock.Ask("vanish 00:12:6F:00:00:03"));

    EXPECT_EQ(Inquiry(), (Inquired{0, {{kGauge, u"QUN 12345"}, {kHead, u"LX412 11111"}}}))
        << "neither the cached device nor the one that went during the search";
    EXPECT_EQ("Transport=bredr", mock.Ask("filter"));
    EXPECT_EQ(1, mock.Number("calls StartDiscovery"));
    EXPECT_EQ(1, mock.Number("calls StopDiscovery")) << "the discovery is always stopped";

    // The name is the device's, not the alias BlueZ holds for it.
    std::u16string name;
    EXPECT_EQ(0, NameOf(kGauge, name));
    EXPECT_EQ(u"QUN 12345", name);
    EXPECT_EQ(ERROR_TIMEOUT, NameOf(kGone, name)) << "gone: it does not answer";
    EXPECT_EQ(ERROR_TIMEOUT, NameOf(0x00126F0000FFULL, name)) << "never seen";
}

// BlueZ signals a known device's strength only when it moves by 8 dBm or
// more: while another program keeps discovering, a sensor in reach with a
// steady signal shows only by the strength it has. One that has none (out of
// reach since the last discovery) is still left out.
TEST_F(BluezStackTest, AKnownDeviceWithASignalStrengthIsListedWithoutAnyChange)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:09 1111 LX412 99999"));
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1111 LX412 11111"));
    ASSERT_EQ("ok", mock.Ask("signal 00:12:6F:00:00:02 -70"));
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
    EXPECT_EQ(Inquiry(), (Inquired{0, {{kGauge, u"QUN 12345"}, {kHead, u"LX412 11111"}}}));
    EXPECT_EQ(1, mock.Number("calls StopDiscovery"));
}

TEST_F(BluezStackTest, ASignalStrengthToldByAChangeSignalListsTheDevice)
{
    // Known, without a strength when the tree is read; only the change
    // signal during the discovery tells that it is in range.
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1111 LX412 11111"));
    ASSERT_EQ("ok", mock.Ask("signalled 00:12:6F:00:00:02 -66"));
    EXPECT_EQ(Inquiry(), (Inquired{0, {{kHead, u"LX412 11111"}}}));
}

TEST_F(BluezStackTest, RadioOffOrNoAdapterRefusesEveryCallAndIsNeverSwitchedOn)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ("ok", mock.Ask("powered 0"));
    BT_ADDR address = kGauge;
    unsigned char rssi = 0;
    std::u16string name;
    for (const char* step : {"adapter off", "no adapter"}) {
        EXPECT_EQ(Inquiry(), (Inquired{ERROR_SERVICE_NOT_ACTIVE, {}})) << step;
        EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, bluetest::StorePin(kGauge)) << step;
        EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, NameOf(kGauge, name)) << step;
        EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, BthReadRSSI(&address, &rssi)) << step;
        if (std::string(step) == "adapter off") {
            EXPECT_EQ(0, mock.Number("calls StartDiscovery"));
            EXPECT_EQ(0, mock.Number("calls SetDiscoveryFilter"));
            ASSERT_EQ("ok", mock.Ask("noadapter"));
        }
    }
    EXPECT_EQ("", qplat::StoredPin(kGauge)) << "no PIN kept while the radio is off";
}

TEST_F(BluezStackTest, ABusThatWentAwayFailsTheCallsAtOnce)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ(0, bluetest::StorePin(kGauge));
    mock.Stop();
    EXPECT_EQ(Inquiry(), (Inquired{ERROR_SERVICE_NOT_ACTIVE, {}}));
    std::u16string name;
    EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, NameOf(kGauge, name));
    HANDLE registration = bluetest::RegisterRfcommPort(5, kGauge);
    ASSERT_TRUE(registration);
    HANDLE port = CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, port);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE), GetLastError());
    EXPECT_TRUE(DeregisterDevice(registration));
}

TEST_F(BluezStackTest, ABusThatGoesAwayDuringTheInquiryEndsIt)
{
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ("ok", mock.Ask("busdies"));
    EXPECT_EQ(Inquiry(), (Inquired{ERROR_SERVICE_NOT_ACTIVE, {}}));
}

TEST_F(BluezStackTest, TheNeighbourhoodFileAnswersWhenTheRootHasOneOrWhenNamed)
{
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:02 1111 LX412 11111"));
    // Named: BlueZ, although a neighbourhood file is there.
    qplat::Neighbour n;
    n.address = kGauge;
    n.name = "QUN 12345";
    ASSERT_TRUE(qplat::AddNeighbour(n));
    EXPECT_EQ(Inquiry().found, (Found{{kHead, u"LX412 11111"}}));
    {
        // A name of neither stack: said once, then chosen as if unnamed.
        ScopedEnv misnamed("QAV5_BLUETOOTH", "BlueZ");
        testing::internal::CaptureStderr();
        EXPECT_FALSE(qplat::UsingBluez());
        EXPECT_FALSE(qplat::UsingBluez());
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(1, std::count(said.begin(), said.end(), '\n')) << said;
        EXPECT_NE(std::string::npos, said.find("QAV5_BLUETOOTH=BlueZ is passed by: it takes bluez or file")) << said;
    }
    {
        // Not named: the file, and BlueZ is not asked.
        ScopedEnv unnamed("QAV5_BLUETOOTH", "");
        EXPECT_FALSE(qplat::UsingBluez());
        EXPECT_EQ(Inquiry().found, (Found{{kGauge, u"QUN 12345"}}));
        EXPECT_EQ(1, mock.Number("calls StartDiscovery"));
        // Without a file, BlueZ when the bus has it.
        ASSERT_EQ(0, std::remove(qplat::NeighbourhoodPath().c_str()));
        EXPECT_TRUE(qplat::UsingBluez());
    }
    {
        // Named: the file, even without one (an empty neighbourhood).
        ScopedEnv named("QAV5_BLUETOOTH", "file");
        EXPECT_FALSE(qplat::UsingBluez());
        EXPECT_EQ(Inquiry(), (Inquired{0, {}}));
        EXPECT_EQ(1, mock.Number("calls StartDiscovery"));
    }
    mock.Stop();
    ScopedEnv unnamed("QAV5_BLUETOOTH", "");
    EXPECT_FALSE(qplat::UsingBluez()) << "no BlueZ on the bus: the (empty) neighbourhood";
}

// An inquiry time it does not take is named once for each value, and the
// inquiry takes its default; one it takes, or none, is not named. The held
// call ends every inquiry at once: only what is said counts here.
TEST_F(BluezStackTest, AnInquiryTimeItDoesNotTakeIsNamedOnce)
{
    qplat::SetHeldCallSide([](unsigned long*) { return true; });
    const struct {
        std::string value;
        bool taken;
    } times[] = {{"abc", false}, {"-5", false}, {"99999999", false}, {"60001", false}, {"12x", false},
                 {"", true},     {"0", true},   {"60000", true}};
    for (const auto& t : times) {
        SCOPED_TRACE(t.value);
        ScopedEnv inquiry("QAV5_BLUETOOTH_INQUIRY_MS", t.value);
        testing::internal::CaptureStderr();
        const int rc = Inquiry().result;
        Inquiry();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(0, rc);
        EXPECT_EQ(t.taken ? 0 : 1, std::count(said.begin(), said.end(), '\n')) << said;
        if (!t.taken) {
            EXPECT_NE(std::string::npos, said.find("QAV5_BLUETOOTH_INQUIRY_MS=" + t.value +
                                                   " is passed by: it takes 0 to 60000 ms; the inquiry takes 10240 ms"))
                << said;
        }
    }
    qplat::SetHeldCallSide(nullptr);
}

// The link monitor calls the stack several times a second while its link
// is down, and every new connection is announced to every listener on the
// bus: each thread keeps one, and opens it anew when the bus restarted.
TEST_F(BluezStackTest, EachThreadKeepsOneConnectionAndOpensItAnewWhenTheBusRestarts)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1235 LX412 12345"));
    // Chosen by what the bus has: whether BlueZ is there is a question too.
    ScopedEnv chosen("QAV5_BLUETOOTH", "");
    auto cycle = [] {
        // What the link monitor's cycle asks while the link is down.
        BT_ADDR address = kHead;
        unsigned char rssi = 0;
        const bool ok = bluetest::StorePin(kHead) == 0 && BthReadRSSI(&address, &rssi) == ERROR_DEVICE_NOT_CONNECTED;
        EXPECT_TRUE(ok);
        return ok;
    };
    const int before = mock.Number("connections");
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(cycle());
    std::thread monitor([&] {
        for (int i = 0; i < 5; ++i)
            cycle();
    });
    monitor.join();
    EXPECT_EQ(2, mock.Number("connections") - before) << "one for each thread";

    ASSERT_EQ("ok", mock.Ask("restart"));
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1235 LX412 12345"));
    EXPECT_TRUE(cycle()) << "the broken connection is opened anew";
    ASSERT_EQ("ok", mock.Ask("noadapter"));
    EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, bluetest::StorePin(kHead)) << "and tells what the new bus has";
}

// With the stack chosen by what the bus has, every stack call first asks
// whether BlueZ is on the bus: the answer is kept a little while, so calls
// in a row ask once, and it is asked again once the answer is old.
TEST_F(BluezStackTest, WhetherBluezIsThereIsAskedOnceForCallsInARowAndAgainLater)
{
    ScopedEnv chosen("QAV5_BLUETOOTH", "");
    const int before = mock.Number("questions");
    // Straight after one another, far within the time the answer is kept.
    EXPECT_TRUE(qplat::UsingBluez());
    EXPECT_TRUE(qplat::UsingBluez());
    EXPECT_TRUE(qplat::UsingBluez());
    EXPECT_EQ(1, mock.Number("questions") - before) << "the bus was asked once";
    EXPECT_TRUE(WaitFor(
        [&] {
            EXPECT_TRUE(qplat::UsingBluez());
            return mock.Number("questions") - before >= 2;
        },
        60000, 20))
        << "an old answer is asked again";
}

// The program's agent answers BlueZ's PIN request for the device it pairs
// with the stored PIN, and nothing else: a request for another device's PIN
// and a request for a passkey are refused, and the pairing fails.
TEST_F(BluezStackTest, TheAgentGivesThePinOnlyForTheDeviceBeingPaired)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1235 LX412 12345"));
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:01 5431 QUN 54321"));
    SocketSim sim(WheelConfig(60));
    SimConnector connector(sim);
    ASSERT_EQ(0, bluetest::StorePin(kHead));
    HANDLE registration = bluetest::RegisterRfcommPort(7, kHead);
    ASSERT_TRUE(registration);
    auto open = [] { return CreateFileW(u"COM7:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr); };

    ASSERT_EQ("ok", mock.Ask("askfor 00:12:6F:00:00:02 00:12:6F:00:00:01"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    ASSERT_EQ("ok", mock.Ask("askpasskey 00:12:6F:00:00:02"));
    EXPECT_EQ(INVALID_HANDLE_VALUE, open());
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ("refused,refused", mock.Ask("pins 00:12:6F:00:00:02"));
    EXPECT_EQ("0", mock.Ask("paired 00:12:6F:00:00:02"));
    EXPECT_EQ(0, sim.connections.load());

    // Asked as BlueZ asks: the third attempt pairs and links.
    ASSERT_EQ("ok", mock.Ask("askfor 00:12:6F:00:00:02 00:12:6F:00:00:02"));
    HANDLE port = open();
    ASSERT_NE(INVALID_HANDLE_VALUE, port);
    EXPECT_EQ("refused,refused,1235", mock.Ask("pins 00:12:6F:00:00:02"));
    EXPECT_EQ("1", mock.Ask("paired 00:12:6F:00:00:02"));
    EXPECT_EQ(0, mock.Number("pairs 00:12:6F:00:00:01")) << "the other device is left alone";
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_TRUE(DeregisterDevice(registration));
}

// The RFCOMM link as the port: opened through the driver registration with
// channel 1, configured as the program configures a sensor port (the line
// settings a socket cannot take succeed), then the head's whole dump and
// its blocks arrive unchanged, and a link the device drops fails the read.
TEST_F(BluezStackTest, TheSerialLinkIsASocketThatReadsAndTimesOutAsTheTerminal)
{
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:00:00:02 1235 LX412 12345"));
    auto config = WheelConfig(53);
    config.faults.disconnectAfter = 2;
    SocketSim sim(config);
    SimConnector connector(sim);
    BT_ADDR address = kHead;
    ASSERT_EQ(0, bluetest::StorePin(kHead));
    HANDLE registration = bluetest::RegisterRfcommPort(6, kHead);
    ASSERT_TRUE(registration);
    HANDLE port = nullptr;
    ASSERT_EQ(1, link.OpenPort(6, &port)) << "every state call of the opening succeeds on a socket";
    EXPECT_EQ(1, sim.connections.load());
    EXPECT_EQ(kHead, sim.lastAddress.load());
    EXPECT_EQ(1, sim.lastChannel.load());
    EXPECT_EQ(1, mock.Number("pairs 00:12:6F:00:00:02"));
    EXPECT_EQ("1235", mock.Ask("pins 00:12:6F:00:00:02"));
    EXPECT_EQ("0", mock.Ask("trusted 00:12:6F:00:00:02")) << "never marked trusted";

    EXPECT_TRUE(SetCommBreak(port));
    EXPECT_TRUE(EscapeCommFunction(port, SETDTR));
    EXPECT_TRUE(ClearCommBreak(port));
    EXPECT_FALSE(EscapeCommFunction(port, 77)) << "an unknown function is still refused";

    std::vector<BYTE> dump(SENSOR_DUMP_BYTES, 0xEE);
    ASSERT_EQ(1, link.ReadDump(port, 1, dump.data()));
    EXPECT_EQ(config.dump[0], dump);

    // An answer that never comes ends with the port's own time-out.
    COMMTIMEOUTS to{};
    to.ReadTotalTimeoutConstant = 200;
    ASSERT_TRUE(SetCommTimeouts(port, &to));
    BYTE byte = 0;
    DWORD got = 99;
    EXPECT_TRUE(ReadFile(port, &byte, 1, &got, nullptr));
    EXPECT_EQ(0u, got);

    // The device drops the link after its second request.
    SensorInfo info{};
    link.Identify(port, 1, &info);
    ASSERT_TRUE(WaitFor([&] {
        DWORD n = 0;
        return !ReadFile(port, &byte, 1, &n, nullptr) && GetLastError() == ERROR_DEVICE_NOT_CONNECTED;
    }));
    const BYTE request[2] = {0x01, 0x81};
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(port, request, 2, &written, nullptr) && written == 2)
        << "a write to a link that is gone fails and does not end the process";

    unsigned char rssi = 0;
    ASSERT_EQ("ok", mock.Ask("signal 00:12:6F:00:00:02 -79"));
    // In dBm from BlueZ, as the level below the golden range of -56 dBm
    // that the program reads.
    EXPECT_EQ(0, BthReadRSSI(&address, &rssi));
    EXPECT_EQ(-23, static_cast<signed char>(rssi)) << "BlueZ's reading while it has one";
    ASSERT_EQ("ok", mock.Ask("nosignal 00:12:6F:00:00:02"));
    EXPECT_EQ(0, BthReadRSSI(&address, &rssi));
    EXPECT_EQ(qplat::bluez::kOpenLinkRssi + 56, static_cast<signed char>(rssi)) << "the open link's stand-in";
    EXPECT_TRUE(CloseHandle(port));
    EXPECT_EQ(ERROR_DEVICE_NOT_CONNECTED, BthReadRSSI(&address, &rssi)) << "no link, no reading";
    EXPECT_TRUE(DeregisterDevice(registration));
}

}  // namespace
