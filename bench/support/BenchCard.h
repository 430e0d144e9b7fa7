// Storage cards for the benchmarks: a device root with the registry's card
// folder, the program folder and its journal folder, and for the benchmarks
// that run screens or the program the delivered English language file.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <system_error>

#include "platform/WinKernel.h"
#include "settings/ProgramFolder.h"

namespace qbench {

inline std::string SourceFile(const std::string& relative)
{
    std::ifstream in(std::string(QAV5_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteDevice(const std::u16string& path, const std::string& bytes)
{
    const std::string host = qplat::HostPath(path);
    std::filesystem::create_directories(std::filesystem::path(host).parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
}

// Makes the folder the device root and lays out the card in it.
inline void LayOutCard(const std::filesystem::path& root)
{
    std::filesystem::create_directories(root / "SDMMC" / "Autorun" / "DB");
    qplat::SetDeviceRoot(root.string());
    qplat::SyncFileWrites(false);
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    const std::u16string card = u"\\SDMMC";
    RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(card.c_str()),
                   static_cast<DWORD>((card.size() + 1) * 2));
    RegCloseKey(key);
}

// A card with the language in the folder `name` of the temporary folder
// (emptied first); returns the root's host path.
inline std::string MakeCard(const std::string& name)
{
    const std::filesystem::path root = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(root);
    LayOutCard(root);
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\ENG.LNG", SourceFile("data/Language/ENG.LNG"));
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\Language.ini", "File_Language=ENG.LNG\r\n");
    return root.string();
}

// A throw-away card without a language, removed again with the object.
class BenchRoot {
public:
    explicit BenchRoot(const std::string& name)
    {
        std::random_device rd;
        root_ = std::filesystem::temp_directory_path() / ("qav5-" + name + "-bench-" + std::to_string(rd()));
        LayOutCard(root_);
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

}  // namespace qbench
