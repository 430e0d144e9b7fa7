// The Bluetooth calls when nothing answers: a system bus that takes the
// connection and never says a word, and a BlueZ that owns its name on a
// private bus and never replies. With BlueZ named and with the stack chosen
// by what the bus has, the search and each call of the link monitor's cycle
// (which the start screen's taps wait for when they stop it) end within a
// few seconds and find nothing.
#include <chrono>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/sensor/BluezTestSupport.h"
#include "tests/sensor/SensorTestSupport.h"
#include "tests/support/Inquiry.h"

using namespace sensortest;
using bluetest::MockBluez;
using bluetest::ScopedEnv;

namespace {

constexpr BT_ADDR kHead = 0x00126F000002ULL;
// The stack's deadline for opening the bus and for each call on it.
constexpr auto kDeadline = std::chrono::seconds(5);
// A failure bound, not a timing. A call ends on its answer or on one
// deadline, after which the bus is left alone and the calls fail at once; a
// loaded machine only delays the wake-up after the deadline (milliseconds
// here), so 3 s above it is ample. A call that waits out two deadlines (an
// open and a call both run out, a second call after the first ran out, or a
// deadline twice as long) cannot take less than 10 s and always fails.
// sd-bus on its own waits a minute and a half for a silent bus.
constexpr auto kBound = kDeadline + std::chrono::seconds(3);
static_assert(kBound < 2 * kDeadline);

// Which silent peer, and the stack named ("bluez") or chosen by the bus ("").
using Case = std::tuple<std::string, std::string>;

class BluezSilentBusTest : public SensorTest, public ::testing::WithParamInterface<Case> {
protected:
    BluezSilentBusTest() : mock(std::get<0>(GetParam()).c_str()) {}
    void SetUp() override
    {
        SensorTest::SetUp();
        ASSERT_TRUE(mock.Ok()) << "the silent peer did not start";
        stack = std::make_unique<ScopedEnv>("QAV5_BLUETOOTH", std::get<1>(GetParam()));
        // Chosen by the bus only while the device root has no neighbourhood.
        ASSERT_FALSE(std::filesystem::exists(qplat::NeighbourhoodPath()));
    }
    void TearDown() override
    {
        stack.reset();
        SensorTest::TearDown();
    }
    bool Named() const { return std::get<1>(GetParam()) == "bluez"; }

    // Runs `call` and tells whether it ended within the bound.
    template <class F>
    static bool EndsInTime(F call)
    {
        const auto start = std::chrono::steady_clock::now();
        call();
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took, kBound) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        return took < kBound;
    }

    MockBluez mock;
    std::unique_ptr<ScopedEnv> stack;
};

TEST_P(BluezSilentBusTest, TheSearchEndsWithinAFewSecondsAndFindsNothing)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first search" : "the search again");
        int rc = -1;
        std::vector<std::pair<BT_ADDR, std::u16string>> found;
        EXPECT_TRUE(EndsInTime([&] { found = qtest::RunInquiry(&rc); }));
        EXPECT_TRUE(found.empty());
        if (Named()) {
            EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, rc) << "a BlueZ that does not answer is one that is not there";
        }
    }
}

// What the link monitor's cycle calls while the link is down: the PIN, the
// serial port's opening, the signal strength.
TEST_P(BluezSilentBusTest, TheLinkMonitorsCallsEndWithinAFewSecondsAndFail)
{
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round == 0 ? "first cycle" : "the next cycle");
        BT_ADDR address = kHead;
        int setPin = -1;
        EXPECT_TRUE(EndsInTime([&] { setPin = bluetest::StorePin(kHead); }));
        if (Named()) {
            EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, setPin);
        }

        HANDLE registration = bluetest::RegisterRfcommPort(5, kHead);
        ASSERT_TRUE(registration);
        HANDLE port = nullptr;
        EXPECT_TRUE(EndsInTime([&] {
            port = CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }));
        EXPECT_EQ(INVALID_HANDLE_VALUE, port) << "no link without a stack that answers";
        if (port != INVALID_HANDLE_VALUE)
            CloseHandle(port);
        EXPECT_TRUE(DeregisterDevice(registration));

        unsigned char rssi = 0;
        int read = -1;
        EXPECT_TRUE(EndsInTime([&] { read = BthReadRSSI(&address, &rssi); }));
        EXPECT_NE(ERROR_SUCCESS, read) << "no signal strength made up";
    }
}

// A call that ran out of time leaves the bus alone for a while: the calls
// straight after fail without reaching it (no connection is opened, so no
// call goes out), and once the while is over the bus is tried again.
TEST_P(BluezSilentBusTest, AfterATimeOutTheCallsLeaveTheBusAloneForAWhile)
{
    BT_ADDR address = kHead;
    unsigned char rssi = 0;
    // Chosen by the bus, a stack call that finds no BlueZ answers from the
    // (empty) neighbourhood: only the named stack fails them.
    auto setPin = [&] {
        const int rc = bluetest::StorePin(kHead);
        if (Named()) {
            EXPECT_EQ(ERROR_SERVICE_NOT_ACTIVE, rc);
        }
    };
    const int before = mock.Number("connections");
    setPin();  // runs into the deadline
    setPin();
    EXPECT_NE(ERROR_SUCCESS, BthReadRSSI(&address, &rssi));
    HANDLE registration = bluetest::RegisterRfcommPort(5, kHead);
    ASSERT_TRUE(registration);
    EXPECT_EQ(INVALID_HANDLE_VALUE,
              CreateFileW(u"COM5:", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(DeregisterDevice(registration));
    EXPECT_EQ(1, mock.Number("connections") - before) << "only the first call reached the bus";

    EXPECT_TRUE(WaitFor(
        [&] {
            setPin();
            return mock.Number("connections") - before >= 2;
        },
        60000, 20))
        << "the bus is tried again";
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    const std::string peer = std::get<0>(info.param) == MockBluez::kSilentSocket ? "SilentBus" : "SilentBluez";
    return peer + (std::get<1>(info.param) == "bluez" ? "Named" : "Chosen");
}

INSTANTIATE_TEST_SUITE_P(Peers, BluezSilentBusTest,
                         ::testing::Combine(::testing::Values(std::string(MockBluez::kSilentSocket),
                                                              std::string(MockBluez::kSilentBluez)),
                                            ::testing::Values(std::string("bluez"), std::string())),
                         CaseName);

}  // namespace
