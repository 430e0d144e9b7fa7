// What the fuzz targets over the program folder's record files share: a
// device root of their own whose registry names "\SDMMC" as the program
// folder, and the checks that abort on a broken invariant.
#pragma once

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "platform/WinKernel.h"
#include "settings/FileNames.h"
#include "settings/ProgramFolder.h"

// Made once per target (a function-local static); `tag` keeps two targets
// running at once apart, `subFolder` is made below the program folder.
// Writes are not synced to the storage: a throw-away root needs no
// durability, and a sync per input would make the fuzzer crawl.
struct FuzzProgramRoot {
    std::filesystem::path root;
    std::filesystem::path folder;  // the program folder's subFolder on the host
    FuzzProgramRoot(const char* tag, const char* subFolder)
    {
        std::random_device rd;
        root = std::filesystem::temp_directory_path() / (std::string("qav5-fuzz-") + tag + "-" + std::to_string(rd()));
        folder = root / "SDMMC" / "Autorun" / subFolder;
        std::filesystem::create_directories(folder);
        qplat::SyncFileWrites(false);
        qplat::SetDeviceRoot(root.string());
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        const char16_t folder[] = u"\\SDMMC";
        RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof(folder));
        RegCloseKey(key);
    }
    ~FuzzProgramRoot()
    {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    FuzzProgramRoot(const FuzzProgramRoot&) = delete;
    FuzzProgramRoot& operator=(const FuzzProgramRoot&) = delete;

    // Puts a file into `folder` from the host side, as a card would bring it.
    void Put(const char* name, const std::string& bytes) const
    {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // A file of `folder` as the host reads it.
    std::string Get(const char* name) const
    {
        // Read whole, not a character at a time: journals run to hundreds of
        // kilobytes, and the race checker's build pays for every character.
        std::error_code ec;
        const auto size = std::filesystem::file_size(folder / name, ec);
        std::string bytes(ec ? 0 : static_cast<size_t>(size), '\0');
        std::ifstream(folder / name, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }
    bool Has(const char* name) const { return std::filesystem::exists(folder / name); }
};

inline void Check(bool condition)
{
    if (!condition) std::abort();
}

inline bool SameBytes(const void* a, const void* b, size_t n)
{
    return n == 0 || std::memcmp(a, b, n) == 0;
}
