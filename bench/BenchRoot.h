// A throw-away device root for a benchmark: a fresh host folder with the
// card's program folder and its journal folder, made the device root, with
// the registry naming the card; removed again with the object.
#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "platform/WinKernel.h"
#include "settings/ProgramFolder.h"

class BenchRoot {
public:
    explicit BenchRoot(const std::string& name)
    {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() / ("qav5-" + name + "-bench-" + std::to_string(rd()));
        std::filesystem::create_directories(root_ / "SDMMC" / "Autorun" / "DB");
        qplat::SetDeviceRoot(root_.string());
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const char16_t folder[] = u"\\SDMMC";
        RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof(folder));
        RegCloseKey(key);
    }
    ~BenchRoot()
    {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    BenchRoot(const BenchRoot&) = delete;
    BenchRoot& operator=(const BenchRoot&) = delete;

private:
    std::filesystem::path root_;
};
