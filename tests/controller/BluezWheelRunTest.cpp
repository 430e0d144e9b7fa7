// A whole wheel run over the serial link BlueZ opens (mocked BlueZ on a
// private bus; a socket pair with the simulated head on its other end stands
// in for the RFCOMM connection) stores the same result, from the same
// profile, as the run over the pseudo-terminal.
#include <cstring>
#include <vector>

#include "tests/controller/ControllerTestSupport.h"
#include "tests/sensor/BluezTestSupport.h"

namespace {

struct RunOutcome {
    WheelResult stored{};
    std::vector<ProfilePoint> points;
};

class BluezWheelRunTest : public ctltest::ControllerTest {
protected:
    // The launch of device type 1 on `port`, one run, its result stored.
    RunOutcome RunOn(HANDLE runPort)
    {
        RunOutcome o;
        EXPECT_EQ(1, ctl->AttachPort(runPort));
        ctl->LoadQavTolerances();
        ctl->ApplyParams();
        EXPECT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
        EXPECT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
        ctl->StoreResult(0);
        o.stored = ctl->m_storedResults[0];
        o.points.assign(ctl->m_points, ctl->m_points + ctl->m_count);
        return o;
    }
};

TEST_F(BluezWheelRunTest, TheRunOverTheBluetoothSocketStoresWhatThePseudoTerminalRunStores)
{
    Start(ctltest::S1002Head(60));
    const RunOutcome terminal = RunOn(port);
    ASSERT_GT(terminal.points.size(), 2000u);

    bluetest::MockBluez mock;
    ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
    ASSERT_EQ("ok", mock.Ask("device 00:12:6F:A0:0B:7C 1235 LX412 12345"));
    bluetest::SocketSim sim(ctltest::S1002Head(60));
    bluetest::SimConnector connector(sim);
    BT_ADDR address = 0x00126FA00B7CULL;
    unsigned char pin[4] = {'1', '2', '3', '5'};
    ASSERT_EQ(0, BthSetPIN(&address, 4, pin));
    HANDLE registration = bluetest::RegisterRfcommPort(6, address);
    ASSERT_TRUE(registration);
    HANDLE socketPort = nullptr;
    CSensorLink link;
    ASSERT_EQ(1, link.OpenPort(6, &socketPort));
    ctl = std::make_unique<CMeasureController>();
    const RunOutcome bluetooth = RunOn(socketPort);
    EXPECT_EQ(1, sim.connections.load());
    EXPECT_EQ(0, std::memcmp(&terminal.stored, &bluetooth.stored, sizeof(WheelResult)));
    ASSERT_EQ(terminal.points.size(), bluetooth.points.size());
    EXPECT_EQ(0, std::memcmp(terminal.points.data(), bluetooth.points.data(),
                             terminal.points.size() * sizeof(ProfilePoint)));
    EXPECT_NEAR(bluetooth.stored.values[0], profilegen::kS1002FlangeHeightMm * 1000.0, 50.0);
    ctl.reset();
    EXPECT_TRUE(CloseHandle(socketPort));
    EXPECT_TRUE(DeregisterDevice(registration));
    qplat::ClearStoredPins();
}

}  // namespace
