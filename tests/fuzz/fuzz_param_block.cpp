// Any bytes as "param.qav": loading never reads past the block, fills exactly
// the bytes the file holds, and a save after it keeps the file's tail.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/WinKernel.h"
#include "settings/ParamFile.h"
#include "settings/ProgramFolder.h"
#include "tests/fuzz/FuzzProgramRoot.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("param", "");
    const std::string input(reinterpret_cast<const char*>(data), size);
    root.Put("param.qav", input);

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
    const std::string stored = root.Get("param.qav");
    Check(stored.size() == (size > PARAM_BLOCK_SIZE ? size : PARAM_BLOCK_SIZE));
    Check(std::memcmp(stored.data(), bytes, PARAM_BLOCK_SIZE) == 0);
    if (size > PARAM_BLOCK_SIZE)
        Check(stored.compare(PARAM_BLOCK_SIZE, std::string::npos, input, PARAM_BLOCK_SIZE, std::string::npos) == 0);
    return 0;
}
