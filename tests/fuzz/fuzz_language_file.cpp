// Any bytes as a language file and as "Language.ini": loading, listing and
// looking up never overrun the table's bounds, and every result is a
// terminated text within its buffer. The file is listed exactly when it has a
// name to show and the lookups give every text of the way back to the
// language screen: the list never offers what the table cannot show.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/Language.h"
#include "settings/ProgramFolder.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

size_t Length(const WCHAR* text, size_t room)
{
    size_t n = 0;
    while (n < room && text[n])
        ++n;
    Check(n < room);  // terminated within its buffer
    return n;
}

// Whether a line of the file's text gives an id's digits as the id's text, by
// the lookup's rule: the digits, one character of any kind (whatever follows
// the five digits is taken as the separator) and the digits again up to the
// line's end or a NUL character, where the stored line ends.
bool GivesItsDigits(const std::u16string& text, const std::u16string& digits)
{
    const size_t n = digits.size();
    for (size_t at = text.find(digits); at != std::u16string::npos; at = text.find(digits, at + 1)) {
        const size_t end = at + 2 * n + 1;
        if (end > text.size() || text[at + n] == u'\n' || text.compare(at + n + 1, n, digits) != 0)
            continue;
        const size_t rest = end < text.size() && text[end] == u'\r' ? end + 1 : end;
        if (rest == text.size() || text[rest] == u'\n' || (end < text.size() && text[end] == 0))
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("language", "Language");
    const std::string input(reinterpret_cast<const char*>(data), size);
    root.Put("FUZZ.LNG", input);
    root.Put("Language.ini", "File_Language=fuzz.lng");

    auto language = std::make_unique<CLanguage>();
    language->Load();
    Check(language->GetLanguageCount() <= 1);
    for (int i = 0; i < language->GetLanguageCount(); ++i) {
        const LanguageEntry* entry = language->GetLanguageEntry(i);
        Length(entry->fileName, LANGUAGE_FILE_CHARS);
        Length(entry->languageName, LANGUAGE_NAME_CHARS);
        Check(!IsBlankText(entry->languageName));
    }
    // The file is the current language, so its texts are in a fresh table: a
    // way-back text is given when it shows something and is not the id's
    // digits, which only a line that spells them as the id's text gives.
    const std::u16string text16 = qplat::FromUtf8(input);
    const bool listed = language->GetLanguageCount() == 1;
    bool given = !IsBlankText(language->ReadLanguageName(u"FUZZ.LNG"));
    for (const int id : LANGUAGE_WAY_BACK_TEXTS) {
        const std::string ascii = std::to_string(id);
        const std::u16string digits(ascii.begin(), ascii.end());
        const WCHAR* text = language->GetText(id);
        Length(text, LANGUAGE_TEXT_CHARS);
        const bool found = std::u16string(text) != digits;
        if (listed)
            Check(!IsBlankText(text) && (found || GivesItsDigits(text16, digits)));
        given = given && !IsBlankText(text) && found;
    }
    if (given)
        Check(listed);
    Check(language->IsOffered(u"FUZZ.LNG") == (listed ? TRUE : FALSE));

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
    root.Put("Language.ini", input);
    Length(language->ReadIniFile(), LANGUAGE_INI_NAME_CHARS);
    Length(language->GetCurrentFileName(), LANGUAGE_CURRENT_CHARS);
    Length(language->ReadLanguageName(u"FUZZ.LNG"), LANGUAGE_NAME_CHARS);
    return 0;
}
