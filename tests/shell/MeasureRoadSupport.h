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
#include <utility>
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

// The measuring screen: the value column of its results panel, its chart,
// and the failure message's text line over it; the series screen's train
// diagram.
constexpr RECT kResultValues{150, 90, 400, 265};
constexpr RECT kChartArea{122, 89, 473, 265};
constexpr RECT kMessageText{100, 80, 380, 120};
constexpr RECT kDiagram{1, 144, 378, 264};
// The diagram's positions: current green, measured blue, current and
// measured purple.
constexpr COLORREF kCurrentShade = 0x00C100, kMeasuredShade = 0xC10000, kBothShade = 0xC100C1;

// The measured profile and values are drawn in blue, key points and marks in
// red, a reference in green.
inline bool Blueish(COLORREF c)
{
    return GetBValue(c) > 150 && GetRValue(c) < 90 && GetGValue(c) < 90;
}
inline bool Reddish(COLORREF c)
{
    return GetRValue(c) > 180 && GetGValue(c) < 80 && GetBValue(c) < 80;
}
inline bool Greenish(COLORREF c)
{
    return GetGValue(c) > 120 && GetRValue(c) < 90 && GetBValue(c) < 90;
}
// A colour exactly.
inline std::function<bool(COLORREF)> Shade(COLORREF want)
{
    return [want](COLORREF c) { return c == want; };
}

// A wheel record's stored profile: the heights written, and only those.
inline int StoredPoints(const QavJournalRecord& r)
{
    int n = RECORD_PROFILE_POINTS;
    while (n > 0 && r.profileZ[n - 1] == 0) --n;
    return n;
}

class MeasureRoad : public ProgramRunTest {
protected:
    void SetUp() override
    {
        ProgramRunTest::SetUp();
        for (const char* folder : {"Schemes", "Schemes_QOD"}) {
            const fs::path from = fs::path(QAV5_SOURCE_DIR) / "data" / folder;
            const fs::path to = fs::path(root.Host(u"\\SDMMC\\Autorun\\")) / folder;
            fs::create_directories(to);
            for (const auto& f : fs::directory_iterator(from)) fs::copy_file(f.path(), to / f.path().filename());
        }
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
    }

    // Factory settings for the device type, its simulated sensor paired, the
    // journals named "road", then the test's changes.
    void WriteSettings(int deviceType, int measureMode, const std::function<void(ParamBlock&)>& change = {})
    {
        qtest::WriteParams(root, [&](ParamBlock& b) {
            b.deviceType = static_cast<BYTE>(deviceType);
            b.measureMode = static_cast<BYTE>(measureMode);
            PairSensor(b, deviceType, u"00126fa00b7c", SensorOf(deviceType).name);
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
    int Run(const std::string& script) { return ProgramRunTest::Run(script + "quit\n"); }
    // Runs the program on a thread of its own while the test acts alongside.
    std::thread RunAside(const Script& script, int* status)
    {
        return std::thread([this, text = script.Text(), status] { *status = Run(text); });
    }
    // Runs the program over the script on a thread of its own; as each of
    // `along`'s snapshots is written the test acts alongside. The program's
    // exit status.
    int RunAlong(const Script& script, const std::vector<std::pair<std::string, std::function<void()>>>& along)
    {
        int status = -1;
        std::thread program = RunAside(script, &status);
        for (const auto& [snapshot, act] : along)
            if (AwaitSnapshot(snapshot)) act();
        program.join();
        return status;
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

    // The records of a journal of the card, "road" unless named.
    template <class Record>
    std::vector<Record> Journal(const char16_t* extension, const std::u16string& name = u"road") const
    {
        const std::u16string path = u"\\SDMMC\\Autorun\\DB\\" + name + u"." + extension;
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

    std::unique_ptr<SimProcess> sim;
};

}  // namespace qtest
