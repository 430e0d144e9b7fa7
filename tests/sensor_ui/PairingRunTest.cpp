// The program itself, run headless from a script on a card where a wheel head
// and a type-2 gauge are in reach (two simulator processes): the gauge's
// device type is chosen, the search lists only the gauge, adding it makes it
// the current sensor and keeps it in the paired-sensor file, deleting it is
// refused while it is current, and back on the start screen the link to it is
// up, which the simulator allows only with the right PIN.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/gdi/Surface.h"
#include "tests/sensor_ui/SensorScreensTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;
using qtest::AnyPixel;
using qtest::Dark;

// The start screen's signal bars while the sensor is connected.
constexpr COLORREF kSignalBlue = RGB(0x1B, 0x50, 0xB8);

class PairingRun : public sensorui::SensorScreensRun {};

TEST_F(PairingRun, AGaugeIsFoundAddedMadeCurrentAndConnected)
{
    const auto sims = StartSimulators();

    // Each screen opens on its tap; the search and the link are awaited.
    const std::string script =
        "tap 88 85\n"                                // settings menu
        "tap 342 101\n"                              // paired sensors
        "tap 70 121\n"                               // device type 2
        "snapshot " + Snap("list") + "\n"
        "tap 91 244\n"                               // search
        "tap 141 244\n" +                            // start the search: its button is off
        qtest::AwaitLine(141, 244, qtest::kFaceOn) +     // until the search is over
        "snapshot " + Snap("found") + "\n"
        "tap 100 126\n"                              // the first row
        "tap 311 244\n"                              // add
        "snapshot " + Snap("paired") + "\n"
        "tap 243 244\n"                              // delete the current sensor
        "snapshot " + Snap("refused") + "\n"
        "tap 240 170\n"                              // the notice's OK
        "tap 453 25\n"                               // back to the menu
        "tap 453 25\n" +                             // back to the start screen
        qtest::AwaitLine(330, 213, kSignalBlue) +     // the monitor links up: the signal bars
        "snapshot " + Snap("start") + "\n"
        "quit\n";
    ASSERT_EQ(Run(script), 0);
    for (const char* name : {"list", "found", "paired", "refused", "start"})
        Keep(Snap(name), std::string("pairing_run_") + name + ".png");

    // Made current for device type 2, which is the program's device type now.
    const ParamBlock block = ReadSettings();
    EXPECT_EQ(block.deviceType, 2);
    EXPECT_EQ(CurrentName(block, 2), u"QUN 54321");
    EXPECT_EQ(qplat::FieldText(block.qavSensors[1].pin, 5), u"5431");
    EXPECT_EQ(qplat::FieldText(block.qavSensors[1].address, 20), u"00126fa00c01");
    // Kept once, and still there after the refused delete.
    EXPECT_EQ(Names(ReadRecords()), std::vector<std::u16string>{u"QUN 54321"});

    // Only the gauge was listed: a first row, and nothing in the second.
    const qplat::Surface found = qtest::ReadPngFile(Snap("found"));
    ASSERT_EQ(found.width, 480);
    EXPECT_TRUE(AnyPixel(found, RECT{14, 118, 200, 136}, Dark)) << "the first row";
    EXPECT_FALSE(AnyPixel(found, RECT{14, 140, 200, 156}, Dark)) << "no second row";
    // The refusal came as a box over the list.
    const qplat::Surface paired = qtest::ReadPngFile(Snap("paired"));
    const qplat::Surface refused = qtest::ReadPngFile(Snap("refused"));
    EXPECT_NE(paired.pixels, refused.pixels);
    // The start screen shows the link up: the signal bars beside the link
    // picture are drawn only while the sensor is connected.
    const qplat::Surface start = qtest::ReadPngFile(Snap("start"));
    EXPECT_TRUE(AnyPixel(start, RECT{330, 205, 380, 250}, [](COLORREF c) { return c == 0xB8501B; }));
}

}  // namespace
