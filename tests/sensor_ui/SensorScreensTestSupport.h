// A device root for the paired-sensor screens: the program folder with the
// delivered language files, a settings file, the paired-sensor file, and the
// Bluetooth neighbourhood the stand-in stack reads.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Bluetooth.h"
#include "platform/WinText.h"
#include "sensor/BTDeviceFile.h"
#include "sensor/ui/DlgFindBTD.h"
#include "settings/ParamFile.h"
#include "tests/ui/ScreenTestSupport.h"

namespace sensorui {

inline std::string ReadSource(const std::filesystem::path& relative)
{
    std::ifstream in(std::filesystem::path(QAV5_SOURCE_DIR) / relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void Snapshot(const std::string& name)
{
    qplat::ProcessPendingMessages();
    const std::filesystem::path dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(qplat::SaveScreenPng((dir / name).string())) << name;
}

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

class SensorScreensTest : public qtest::DialogFixture {
protected:
    static constexpr const char16_t* kAutorun = u"\\SDMMC\\Autorun\\";

    void SetUp() override
    {
        qtest::DialogFixture::SetUp();
        for (const char* name : {"ENG.LNG", "RUS.LNG"})
            root.WriteFile(std::u16string(kAutorun) + u"Language\\" + qplat::FromUtf8(name),
                           ReadSource(std::filesystem::path("data/Language") / name));
        UseLanguage("ENG.LNG");
        qplat::ClearStoredPins();
    }
    void TearDown() override
    {
        qplat::ClearStoredPins();
        qtest::DialogFixture::TearDown();
    }

    template <class Edit>
    void WriteSettings(int deviceType, Edit edit)
    {
        ParamBlock block{};
        CParamFile file;
        file.WriteDefaults(&block);
        block.deviceType = static_cast<BYTE>(deviceType);
        edit(block);
        ASSERT_EQ(1, file.Save(&block));
    }
    void WriteSettings(int deviceType)
    {
        WriteSettings(deviceType, [](ParamBlock&) {});
    }
    ParamBlock ReadSettings()
    {
        ParamBlock block{};
        CParamFile file;
        EXPECT_EQ(1, file.Load(&block));
        return block;
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

}  // namespace sensorui
