// Any bytes as a language file and as "Language.ini": loading, listing and
// looking up never overrun the table's bounds, and every result is a
// terminated text within its buffer.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/WinKernel.h"
#include "settings/Language.h"
#include "settings/ProgramFolder.h"

namespace {

namespace fs = std::filesystem;

struct FuzzRoot {
    fs::path path;
    fs::path folder;
    FuzzRoot()
    {
        path = fs::temp_directory_path() / ("qav5-fuzz-language-" + std::to_string(std::rand()) + "-" +
                                            std::to_string(reinterpret_cast<uintptr_t>(this) & 0xFFFFFF));
        folder = path / "SDMMC" / "Autorun" / "Language";
        fs::create_directories(folder);
        qplat::SetDeviceRoot(path.string());
        HKEY key = nullptr;
        DWORD disposition = 0;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, PROGRAM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition);
        const char16_t card[] = u"\\SDMMC";
        RegSetValueExW(key, PROGRAM_FOLDER_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(card), sizeof(card));
        RegCloseKey(key);
    }
    ~FuzzRoot()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    void Write(const char* name, const std::string& bytes) const
    {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

size_t Length(const WCHAR* text, size_t room)
{
    size_t n = 0;
    while (n < room && text[n])
        ++n;
    Check(n < room);  // terminated within its buffer
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzRoot root;
    const std::string input(reinterpret_cast<const char*>(data), size);
    root.Write("FUZZ.LNG", input);
    root.Write("Language.ini", "File_Language=fuzz.lng");

    auto language = std::make_unique<CLanguage>();
    language->Load();
    Check(language->GetLanguageCount() >= 1 && language->GetLanguageCount() <= LANGUAGE_MAX_FILES);
    for (int i = 0; i < language->GetLanguageCount(); ++i) {
        const LanguageEntry* entry = language->GetLanguageEntry(i);
        Length(entry->fileName, LANGUAGE_FILE_CHARS);
        Length(entry->languageName, LANGUAGE_NAME_CHARS);
    }
    // The ids the input spells at line starts, and a few fixed ones.
    int probes = 0;
    for (size_t at = 0; at + 5 <= size && probes < 64; ++at) {
        if (at != 0 && input[at - 1] != '\n')
            continue;
        int id = 0;
        bool digits = true;
        for (size_t k = 0; k < 5; ++k) {
            digits = digits && input[at + k] >= '0' && input[at + k] <= '9';
            id = id * 10 + (input[at + k] - '0');
        }
        if (!digits)
            continue;
        Length(language->GetText(id), LANGUAGE_TEXT_CHARS);
        ++probes;
    }
    for (int id : {0, -1, 10000, 40501, 99999, 2147483647})
        Length(language->GetText(id), LANGUAGE_TEXT_CHARS);

    // The same bytes as "Language.ini".
    root.Write("Language.ini", input);
    Length(language->ReadIniFile(), LANGUAGE_INI_NAME_CHARS);
    Length(language->GetCurrentFileName(), LANGUAGE_CURRENT_CHARS);
    Length(language->ReadLanguageName(u"FUZZ.LNG"), LANGUAGE_NAME_CHARS);
    return 0;
}
