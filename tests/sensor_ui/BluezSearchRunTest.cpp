// The program itself, run headless from a script, searching for sensors
// through BlueZ (mocked on a private bus, with its own dbus-daemon): each
// search screen is held against the same search over the neighbourhood
// file, which must look the same pixel for pixel. The radio off, a search
// that finds more sensors than the list holds among devices of other kinds,
// and a device that disappears during the search.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/sensor/BluezTestSupport.h"
#include "tests/sensor_ui/SensorScreensTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;
using qtest::AnyPixel;
using qtest::Dark;
using bluetest::MockBluez;
using bluetest::ScopedEnv;

struct Device {
    std::string address;
    std::string name;
};

class BluezSearchRun : public sensorui::SensorScreensRun {
protected:
    void SetUp() override
    {
        SensorScreensRun::SetUp();
        ASSERT_TRUE(mock.Ok()) << "the mocked BlueZ did not start";
    }

    // From the start screen to the search of device type 2 (the gauges
    // "QUN"), a tap on start, and a picture of the screen once it ended.
    // Each screen opens on its tap; the search's end is awaited.
    std::string Search(const std::string& name, const std::string& after = std::string())
    {
        const std::string snap = Snap(name);
        const std::string script =
            "tap 88 85\n"                             // settings menu
            "tap 342 101\n"                           // paired sensors
            "tap 70 121\n"                            // device type 2
            "tap 91 244\n"                            // search
            "tap 141 244\n" +                         // start the search: its button is off
            qtest::AwaitLine(141, 244, qtest::kFaceOn) +  // until the search is over
            "snapshot " + snap + "\n" + after + "quit\n";
        EXPECT_EQ(0, Run(script));
        return snap;
    }
    // The same search over the neighbourhood file with `devices` in reach.
    std::string FileSearch(const std::string& name, const std::vector<Device>& devices, bool radioOn = true)
    {
        ScopedEnv file("QAV5_BLUETOOTH", "file");
        for (const Device& d : devices) {
            BT_ADDR address = 0;
            EXPECT_TRUE(qplat::ParseBtAddress(d.address, address));
            Announce(d.name, address);
        }
        EXPECT_TRUE(qplat::SetBluetoothRadio(radioOn));
        const std::string snap = Search(name);
        fs::remove(qplat::NeighbourhoodPath());
        return snap;
    }
    // The two pictures are the same, and show what `expectRows` says of the
    // list's first row.
    static void ExpectSame(const std::string& bluez, const std::string& file, bool expectRows)
    {
        const qplat::Surface a = qtest::ReadPngFile(bluez);
        const qplat::Surface b = qtest::ReadPngFile(file);
        ASSERT_EQ(480, a.width);
        ASSERT_EQ(480, b.width);
        EXPECT_TRUE(a.pixels == b.pixels) << bluez << " differs from " << file;
        EXPECT_EQ(expectRows, AnyPixel(a, RECT{14, 118, 200, 136}, Dark)) << "the list's first row";
    }

    MockBluez mock;
};

TEST_F(BluezSearchRun, RadioOffEndsTheSearchAsTheProjectShowsIt)
{
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ("ok", mock.Ask("powered 0"));
    const std::string bluez = Search("off_bluez");
    EXPECT_EQ(0, mock.Number("calls StartDiscovery")) << "no discovery on a switched-off adapter";
    EXPECT_EQ(0, mock.Number("calls SetDiscoveryFilter"));
    const std::string file = FileSearch("off_file", {{"00:12:6F:00:00:01", "QUN 12345"}}, false);
    ExpectSame(bluez, file, false);
    Keep(bluez, "bluez_search_radio_off.png");
}

TEST_F(BluezSearchRun, SeveralSensorsAreListedAndTheListStopsAtTen)
{
    std::vector<Device> devices;
    for (int i = 1; i <= 12; ++i) {
        char address[32];
        std::snprintf(address, sizeof address, "00:12:6F:00:01:%02X", i);
        devices.push_back({address, "QUN " + std::to_string(10000 + i)});
        if (i % 4 == 0) {  // heads among them: not of the chosen kind
            std::snprintf(address, sizeof address, "00:12:6F:00:02:%02X", i);
            devices.push_back({address, "LX412 " + std::to_string(20000 + i)});
        }
    }
    for (const Device& d : devices)
        ASSERT_EQ("ok", mock.Ask("discover " + d.address + " 1111 " + d.name));
    // Added after the search's picture: the first row becomes the current
    // sensor of type 2.
    const std::string bluez = Search("ten_bluez", "tap 100 126\ntap 311 244\n");
    EXPECT_EQ(1, mock.Number("calls StartDiscovery"));
    EXPECT_EQ(CurrentName(ReadSettings(), 2), u"QUN 10001");
    EXPECT_EQ(qplat::FieldText(ReadSettings().qavSensors[1].address, 20), u"00126f000101");
    EXPECT_EQ(Names(ReadRecords()), std::vector<std::u16string>{u"QUN 10001"});

    const std::string file = FileSearch("ten_file", devices);
    ExpectSame(bluez, file, true);
    Keep(bluez, "bluez_search_ten.png");
}

TEST_F(BluezSearchRun, ADeviceThatDisappearsDuringTheSearchIsNotListed)
{
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:01 1235 QUN 12345"));
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:02 1236 QUN 22222"));
    ASSERT_EQ("ok", mock.Ask("discover 00:12:6F:00:00:03 1237 QUN 33333"));
    ASSERT_EQ("ok", mock.Ask("vanish 00:12:6F:00:00:02"));
    const std::string bluez = Search("vanish_bluez");
    const std::string file =
        FileSearch("vanish_file", {{"00:12:6F:00:00:01", "QUN 12345"}, {"00:12:6F:00:00:03", "QUN 33333"}});
    ExpectSame(bluez, file, true);
    Keep(bluez, "bluez_search_vanished.png");
}

}  // namespace
