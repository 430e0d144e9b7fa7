// A card for the paired-sensor screens: the screen fixture's, with the
// paired-sensor file, the Bluetooth neighbourhood the stand-in stack reads,
// and the two simulated sensors of the pairing runs.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinText.h"
#include "sensor/BTDeviceFile.h"
#include "sensor/ui/DlgFindBTD.h"
#include "settings/ParamFile.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/SimProcess.h"
#include "tests/ui/ScreenTestSupport.h"

namespace sensorui {

using qtest::Snapshot;

// Runs the search of a search screen as a tap on start does, and waits
// (at most `seconds`) until the start button works again.
inline void RunSearch(HWND dialog, int seconds = 20)
{
    qtest::Press(dialog, CDlgFindBTD::kStartId);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    HWND start = GetDlgItem(dialog, CDlgFindBTD::kStartId);
    while (!IsWindowEnabled(start) && std::chrono::steady_clock::now() < end) {
        qplat::ProcessPendingMessages();
        Sleep(5);
    }
    EXPECT_TRUE(IsWindowEnabled(start)) << "the search ended";
}

class SensorScreensTest : public qtest::ScreenFixture {
protected:
    void SetUp() override
    {
        qtest::ScreenFixture::SetUp();
        qplat::ClearStoredPins();
    }
    void TearDown() override
    {
        qplat::ClearStoredPins();
        qtest::ScreenFixture::TearDown();
    }

    static void MakeCurrent(ParamBlock& block, int deviceType, const char16_t* name, const char16_t* address,
                            const char16_t* pin)
    {
        ParamBTRecord* r = SensorRecordOf(&block, deviceType);
        qplat::CopyField(r->name, std::size(r->name), name);
        qplat::CopyField(r->address, std::size(r->address), address);
        qplat::CopyField(r->pin, std::size(r->pin), pin);
    }
    static std::u16string CurrentName(const ParamBlock& block, int deviceType)
    {
        const ParamBTRecord* r = SensorRecordOf(&block, deviceType);
        return qplat::FieldText(r->name, std::size(r->name));
    }

    static BTDeviceRecord Record(int deviceType, const char16_t* name, const char16_t* address)
    {
        BTDeviceRecord r{};
        r.deviceType = static_cast<DWORD>(deviceType);
        qplat::CopyField(r.name, std::size(r.name), name);
        qplat::CopyField(r.address, std::size(r.address), address);
        SerialFromSensorName(r.name, std::size(r.name), r.serial, std::size(r.serial));
        return r;
    }
    void WriteRecords(const std::vector<BTDeviceRecord>& records)
    {
        std::string bytes(records.size() * sizeof(BTDeviceRecord), '\0');
        if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
        root.WriteFile(std::u16string(kAutorun) + u"BTDevice.qav", bytes);
    }
    std::vector<BTDeviceRecord> ReadRecords()
    {
        const std::string bytes = root.ReadFile(std::u16string(kAutorun) + u"BTDevice.qav");
        std::vector<BTDeviceRecord> records(bytes.size() / sizeof(BTDeviceRecord));
        if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(BTDeviceRecord));
        return records;
    }
    static std::vector<std::u16string> Names(const std::vector<BTDeviceRecord>& records)
    {
        std::vector<std::u16string> names;
        for (const BTDeviceRecord& r : records) names.push_back(qplat::FieldText(r.name, std::size(r.name)));
        return names;
    }

    // A wheel head and a type-2 gauge in reach, each a simulator process.
    struct Simulators {
        qtest::SimProcess head;
        qtest::SimProcess gauge;
    };
    std::unique_ptr<Simulators> StartSimulators()
    {
        const std::string host = root.Path();
        auto sims = std::unique_ptr<Simulators>(new Simulators{
            qtest::SimProcess({"--root", host, "--kind", "wheel", "--address", "00:12:6f:a0:0b:7c", "--name",
                               "LX412 12345"}),
            qtest::SimProcess({"--root", host, "--kind", "gauge2", "--address", "00:12:6f:a0:0c:01", "--name",
                               "QUN 54321"})});
        EXPECT_EQ(0u, sims->head.Path().find("/dev/"));
        EXPECT_EQ(0u, sims->gauge.Path().find("/dev/"));
        return sims;
    }

    // A device in reach of the stand-in stack.
    static void Announce(const std::string& name, BT_ADDR address, bool nameQueryTimesOut = false)
    {
        qplat::Neighbour n;
        n.address = address;
        n.name = name;
        n.pin = "";
        n.nameQueryTimesOut = nameQueryTimesOut;
        ASSERT_TRUE(qplat::AddNeighbour(n));
    }
};

// A run of the program itself on that card, with its journal folder: the
// script and its snapshots in a folder beside the device root.
class SensorScreensRun : public SensorScreensTest {
protected:
    void SetUp() override
    {
        SensorScreensTest::SetUp();
        root.MakeFolder(u"\\SDMMC\\Autorun\\DB");
        dir = root.Beside("-run");
    }
    int Run(const std::string& script) { return qtest::RunProgramScript(root.Path(), dir / "script.txt", script); }
    std::string Snap(const std::string& name) const { return (dir / (name + ".png")).string(); }
    // Keeps a copy of a snapshot with the others of the build.
    static void Keep(const std::string& path, const std::string& name)
    {
        const std::filesystem::path out = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
        std::filesystem::create_directories(out);
        std::filesystem::copy_file(path, out / name, std::filesystem::copy_options::overwrite_existing);
    }

    std::filesystem::path dir;
};

}  // namespace sensorui
