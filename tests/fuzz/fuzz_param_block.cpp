// Any bytes as "param.qav": loading never reads past the block, fills exactly
// the bytes the file holds, and a save after it keeps the file's tail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/WinKernel.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"

namespace {

namespace fs = std::filesystem;

// A device root of its own for the whole run, with the program folder on it.
struct FuzzRoot {
    fs::path path;
    std::string paramHost;
    FuzzRoot()
    {
        path = fs::temp_directory_path() / ("qav5-fuzz-param-" + std::to_string(std::rand()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF));
        fs::create_directories(path / "SDMMC" / "Autorun");
        qplat::SetDeviceRoot(path.string());
        HKEY key = nullptr;
        DWORD disposition = 0;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition);
        const char16_t card[] = u"\\SDMMC";
        RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(card), sizeof(card));
        RegCloseKey(key);
        paramHost = (path / "SDMMC" / "Autorun" / "param.qav").string();
    }
    ~FuzzRoot()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string ReadHost(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzRoot root;
    const std::string input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(root.paramHost, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }

    CParamFile file;
    ParamBlock block;
    std::memset(&block, 0xC3, sizeof(block));
    const int loaded = file.Load(&block);
    Check(loaded == (size > 0 ? 1 : 0));
    const size_t head = size < PARAM_BLOCK_SIZE ? size : PARAM_BLOCK_SIZE;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&block);
    Check(head == 0 || std::memcmp(bytes, data, head) == 0);
    for (size_t i = head; i < PARAM_BLOCK_SIZE; ++i)
        Check(bytes[i] == 0xC3);

    // Whatever was read, the journal names come back bounded.
    Check(std::char_traits<char16_t>::length(file.GetQavJournalName()) <= static_cast<size_t>(PARAM_NAME_CHARS));
    Check(std::char_traits<char16_t>::length(file.GetQodJournalName()) <= static_cast<size_t>(PARAM_NAME_CHARS));
    HeadSettings head_settings;
    DiscSettings disc_settings;
    file.WheelCalcSettingsFromBlock(&head_settings, block);
    file.DiskCalcSettingsFromBlock(&disc_settings, block);

    Check(file.Save(&block) == 1);
    const std::string stored = ReadHost(root.paramHost);
    Check(stored.size() == (size > PARAM_BLOCK_SIZE ? size : PARAM_BLOCK_SIZE));
    Check(std::memcmp(stored.data(), bytes, PARAM_BLOCK_SIZE) == 0);
    if (size > PARAM_BLOCK_SIZE)
        Check(stored.compare(PARAM_BLOCK_SIZE, std::string::npos, input, PARAM_BLOCK_SIZE, std::string::npos) == 0);
    return 0;
}
