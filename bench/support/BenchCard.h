// A storage card for the benchmarks that run screens or the program: a fresh
// device root under the system's temporary folder with the registry's card
// folder, the program folder and the delivered English language file.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

// Makes the card in the folder `name` of the temporary folder (emptied
// first) and the device root there; returns the root's host path.
inline std::string MakeCard(const std::string& name)
{
    const std::filesystem::path root = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    qplat::SetDeviceRoot(root.string());
    qplat::SyncFileWrites(false);
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &disposition);
    const std::u16string card = u"\\SDMMC";
    RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(card.c_str()),
                   static_cast<DWORD>((card.size() + 1) * 2));
    RegCloseKey(key);
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\ENG.LNG", SourceFile("data/Language/ENG.LNG"));
    WriteDevice(u"\\SDMMC\\Autorun\\Language\\Language.ini", "File_Language=ENG.LNG\r\n");
    return root.string();
}

}  // namespace qbench
