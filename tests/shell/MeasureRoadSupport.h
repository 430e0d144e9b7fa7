// The measuring road run end to end: the program itself, headless, driven by
// a script from the start screen, measuring with the sensor simulator program
// over the Bluetooth stand-in of the same device root. The paired sensor is
// the device type's record in the settings file, as the simulator's entry in
// the neighbourhood gives it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/WinText.h"
#include "platform/gdi/Surface.h"
#include "settings/JournalRecords.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "tests/support/SimProcess.h"

namespace qtest {

namespace fs = std::filesystem;

// Waits for the program's own short timers, where the screen shows nothing
// to await. A timer that is due comes before the script's next look, so a
// wait past one is enough whatever the machine's load.
// A gauge's run starts from a 10 ms timer and holds the program until it
// ends (a step measured again with the same value changes nothing).
constexpr int kRunStartMs = 50;
// The record-data screen opens the keyboard for a touched edit only once its
// own 100 ms timer has made it ready.
constexpr int kRecordReadyMs = 150;
// The series screen reads its journal and takes a measure tap for the right
// position only after its own 100 ms timer (its first opening looks the same
// before and after).
constexpr int kSeriesReadyMs = 150;

// The sensor of a device type as the simulator announces itself.
struct SimSensor {
    const char* kind;
    const char16_t* name;
};
inline SimSensor SensorOf(int deviceType)
{
    switch (deviceType) {
    case 2: return {"gauge2", u"QUN 12345"};
    case 3: return {"gauge3", u"QEM 12345"};
    case 4: return {"disc2", u"LX413 12345"};
    default: return {"wheel", u"LX412 12345"};
    }
}

class MeasureRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        LayOutCard(root);
        for (const char* folder : {"Schemes", "Schemes_QOD"}) {
            const fs::path from = fs::path(QAV5_SOURCE_DIR) / "data" / folder;
            const fs::path to = fs::path(root.Host(u"\\SDMMC\\Autorun\\")) / folder;
            fs::create_directories(to);
            for (const auto& f : fs::directory_iterator(from)) fs::copy_file(f.path(), to / f.path().filename());
        }
        dir = fs::path(root.Path()).parent_path() / (fs::path(root.Path()).filename().string() + "-road");
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        sim.reset();
        // QAV5_TEST_SNAPSHOTS=folder keeps the snapshots for a person to look at.
        if (const char* keep = std::getenv("QAV5_TEST_SNAPSHOTS")) {
            const std::string prefix = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            fs::create_directories(keep);
            for (const auto& f : fs::directory_iterator(dir))
                if (f.path().extension() == ".png")
                    fs::copy_file(f.path(), fs::path(keep) / (prefix + "-" + f.path().filename().string()),
                                  fs::copy_options::overwrite_existing);
        }
        fs::remove_all(dir);
    }

    // Factory settings for the device type, its simulated sensor paired, the
    // journals named "road", then the test's changes.
    void WriteSettings(int deviceType, int measureMode, const std::function<void(ParamBlock&)>& change = {})
    {
        qtest::WriteParams(root, [&](ParamBlock& b) {
            b.deviceType = static_cast<BYTE>(deviceType);
            b.measureMode = static_cast<BYTE>(measureMode);
            ParamBTRecord* r = SensorRecordOf(&b, deviceType);
            qplat::CopyField(r->address, 20, u"00126fa00b7c");
            qplat::CopyField(r->name, 12, SensorOf(deviceType).name);
            qplat::CopyField(r->pin, 5, u"1235");
            qplat::CopyField(b.qavJournalName, PARAM_NAME_CHARS, u"road");
            qplat::CopyField(b.qodJournalName, PARAM_NAME_CHARS, u"road");
            if (change) change(b);
        });
    }

    std::unique_ptr<SimProcess> StartSim(int deviceType, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--root",    root.Path(), "--kind", SensorOf(deviceType).kind,
                                         "--address", "00:12:6f:a0:0b:7c", "--name",
                                         qplat::ToUtf8(SensorOf(deviceType).name)};
        args.insert(args.end(), extra.begin(), extra.end());
        auto process = std::make_unique<SimProcess>(args);
        EXPECT_EQ(0u, process->Path().find("/dev/")) << "the simulator did not start";
        return process;
    }

    // Runs the program over the script; its exit status.
    int Run(const Script& script) { return Run(script.Text()); }
    int Run(const std::string& script)
    {
        const fs::path file = dir / ("script" + std::to_string(++runs) + ".txt");
        return RunProgramScript(root.Path(), file, script + "quit\n");
    }
    // Runs the program on a thread of its own while the test acts alongside.
    std::thread RunAside(const Script& script, int* status)
    {
        return std::thread([this, text = script.Text(), status] { *status = Run(text); });
    }
    // Waits until the script wrote the snapshot (or the time is up).
    bool AwaitSnapshot(const std::string& name, int seconds = 90) const
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (std::chrono::steady_clock::now() < end) {
            if (fs::exists(Snap(name)) && fs::file_size(Snap(name)) > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    std::string Snap(const std::string& name) const { return (dir / (name + ".png")).string(); }
    qplat::Surface Png(const std::string& name) const { return ReadPngFile(Snap(name)); }
    static COLORREF At(const qplat::Surface& s, int x, int y)
    {
        return s.Contains(x, y) ? qplat::PixelToColor(s.At(x, y)) : CLR_INVALID;
    }
    static int Count(const qplat::Surface& s, RECT r, const std::function<bool(COLORREF)>& test)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (s.Contains(x, y) && test(At(s, x, y))) ++n;
        return n;
    }
    static int Differing(const qplat::Surface& a, const qplat::Surface& b, RECT r)
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (At(a, x, y) != At(b, x, y)) ++n;
        return n;
    }

    template <class Record>
    std::vector<Record> Journal(const char16_t* extension) const
    {
        const std::u16string path = std::u16string(u"\\SDMMC\\Autorun\\DB\\road.") + extension;
        std::vector<Record> records;
        if (!root.Exists(path)) return records;
        const std::string bytes = root.ReadFile(path);
        records.resize(bytes.size() / sizeof(Record));
        if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * sizeof(Record));
        return records;
    }
    std::vector<QavJournalRecord> QavJournal() const { return Journal<QavJournalRecord>(u"qav"); }
    std::vector<QodJournalRecord> QodJournal() const { return Journal<QodJournalRecord>(u"qod"); }

    template <size_t N>
    static std::u16string Field(const WCHAR (&field)[N])
    {
        return qplat::FieldText(field, N);
    }
    // Today as the records store it.
    static std::u16string Today()
    {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return qplat::Format(u"%02d/%02d/%02d", now.wDay, now.wMonth, now.wYear % 100);
    }

    TempDeviceRoot root;
    fs::path dir;
    std::unique_ptr<SimProcess> sim;
    int runs = 0;
};

}  // namespace qtest
