#include "settings/Language.h"

#include <memory>
#include <string>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DeviceSetup.h"

thread_local WCHAR g_textBuffer[LANGUAGE_TEXT_CHARS];
thread_local WCHAR g_languageName[LANGUAGE_NAME_CHARS];
thread_local WCHAR g_languageFileName[LANGUAGE_INI_NAME_CHARS];

namespace {

// A language file of 320 lines of 199 characters needs well under this; what a
// larger (damaged) file holds beyond it could never fit the table anyway.
constexpr DWORD MAX_LANGUAGE_FILE_BYTES = 1u << 20;
constexpr size_t FULL_NAME_CHARS = PROGRAM_FOLDER_CHARS + MAX_PATH + 16;

// Copies at most fieldChars - 1 characters of text and terminates.
void CopyBounded(WCHAR* field, size_t fieldChars, const WCHAR* text, size_t textLen)
{
    const size_t n = textLen < fieldChars - 1 ? textLen : fieldChars - 1;
    for (size_t i = 0; i < n; ++i)
        field[i] = text[i];
    field[n] = 0;
}

// The whole of a file of the folder "Language\" as 16-bit text (from UTF-8).
// False when it cannot be opened or read.
bool ReadLanguageFolderFile(const WCHAR* programFolder, const WCHAR* fileName, std::u16string* text)
{
    WCHAR fullName[FULL_NAME_CHARS];
    if (swprintf(fullName, FULL_NAME_CHARS, u"%sLanguage\\%s", programFolder, fileName) < 0)
        return false;
    HANDLE file = CreateFileW(fullName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string bytes;
    bool ok = true;
    char chunk[8192];
    while (bytes.size() < MAX_LANGUAGE_FILE_BYTES) {
        DWORD want = static_cast<DWORD>(sizeof(chunk));
        if (MAX_LANGUAGE_FILE_BYTES - bytes.size() < want)
            want = static_cast<DWORD>(MAX_LANGUAGE_FILE_BYTES - bytes.size());
        DWORD got = 0;
        if (!ReadFile(file, chunk, want, &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0)
            break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    if (!ok)
        return false;
    *text = qplat::FromUtf8(bytes);
    return true;
}

// Calls `line(text, length)` for each line the table stores of a language
// file's text, in order and at most as many as the table holds, each cut to
// the table's line. A bracket, a blank or a line end is stepped over one
// character at a time: empty lines cost nothing, "[Main]" is stored as
// "Main]".
template <class Line>
void ForEachTableLine(const std::u16string& text, Line&& line)
{
    const size_t len = text.size();
    size_t i = 0;
    int n = 0;
    while (i < len && n < LANGUAGE_TABLE_LINES) {
        const WCHAR c = text[i];
        if (c == u'[' || c == u' ' || c == u'\n' || c == u'\r') {
            ++i;
            continue;
        }
        size_t end = text.find(u'\n', i);
        if (end == std::u16string::npos)
            end = len;
        size_t lineLen = end - i;
        if (lineLen > 0 && text[i + lineLen - 1] == u'\r')
            --lineLen;
        line(text.data() + i, lineLen < LANGUAGE_LINE_CHARS - 1 ? lineLen : size_t(LANGUAGE_LINE_CHARS - 1));
        ++n;
        i = end + 1;
    }
}

using TableLine = WCHAR[LANGUAGE_LINE_CHARS];

// Stores the lines of a language file's text into a table from its first
// line on; lines the text does not reach keep what they held.
void StoreLines(const std::u16string& text, TableLine* table)
{
    int n = 0;
    ForEachTableLine(text,
                     [&](const WCHAR* line, size_t len) { CopyBounded(table[n++], LANGUAGE_LINE_CHARS, line, len); });
}

// The lookup of a text id's digits in a table: the first line whose first
// five characters are the digits' holds the text, after the id and its
// separator, cut to a looked-up text (empty when the line holds no more).
// False, and `text` untouched, when no line holds the id.
bool LookUp(const TableLine* table, const WCHAR* digits, WCHAR* text)
{
    for (int n = 0; n < LANGUAGE_TABLE_LINES; ++n) {
        const WCHAR* line = table[n];
        if (wcsncmp(line, digits, 5) != 0)
            continue;
        const size_t len = wcsnlen(line, LANGUAGE_LINE_CHARS);
        if (len > 6)
            CopyBounded(text, LANGUAGE_TEXT_CHARS, line + 6, len - 6);
        else
            text[0] = 0;
        return true;
    }
    return false;
}

// A character that paints nothing: a control character, a space of any
// width, a zero-width character or the byte-order mark.
bool PaintsNothing(WCHAR c)
{
    return c < 0x21 || (c >= 0x7F && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

bool IsBlankText(const WCHAR* text)
{
    for (; *text; ++text)
        if (!PaintsNothing(*text))
            return false;
    return true;
}

WCHAR* UpperCaseInPlace(WCHAR* text)
{
    if (!text)
        return text;
    for (WCHAR* p = text; *p; ++p)
        *p = towupper(*p);
    return text;
}

CLanguage::CLanguage()
{
    CopyBounded(m_path, PROGRAM_FOLDER_CHARS, m_folder.GetPath(), wcslen(m_folder.GetPath()));
    ReadIniFile();
}

CLanguage::~CLanguage() {}

void CLanguage::Load()
{
    CopyBounded(m_path, PROGRAM_FOLDER_CHARS, m_folder.GetPath(), wcslen(m_folder.GetPath()));
    WCHAR current[LANGUAGE_INI_NAME_CHARS];
    const WCHAR* ini = ReadIniFile();
    CopyBounded(current, LANGUAGE_INI_NAME_CHARS, ini, wcslen(ini));

    int count = 0;
    bool currentListed = false;
    WCHAR pattern[FULL_NAME_CHARS];
    swprintf(pattern, FULL_NAME_CHARS, u"%sLanguage\\*.lng", m_path);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            WCHAR fileName[MAX_PATH];
            CopyBounded(fileName, MAX_PATH, found.cFileName, wcsnlen(found.cFileName, MAX_PATH));
            std::u16string text;
            if (!ReadLanguageFolderFile(m_path, fileName, &text))
                continue;
            // The current file is opened by its name as the card finds files.
            const bool isCurrent = current[0] != 0 && qplat::SameFileName(fileName, current);
            // The list holds at most 40 files, and the current one among
            // them: one that comes later takes the last place, or the screen
            // would mark no row and a tap on apply would switch away from a
            // language that could not be chosen back. The current language is
            // loaded wherever it comes. A name too long for its field is left
            // out: cut short it would name another file when chosen. A file
            // that is not offered (IsOffered) is not listed: chosen, it would
            // leave the screens with bare text ids or blank captions. Named
            // by "Language.ini" all the same, it still gives what it holds.
            const bool room = count < LANGUAGE_MAX_FILES || (isCurrent && !currentListed);
            if (room && wcslen(fileName) < static_cast<size_t>(LANGUAGE_FILE_CHARS) && Offers(text)) {
                const int at = count < LANGUAGE_MAX_FILES ? count++ : LANGUAGE_MAX_FILES - 1;
                LanguageEntry& entry = m_languages[at];
                CopyBounded(entry.fileName, LANGUAGE_FILE_CHARS, fileName, wcslen(fileName));
                const WCHAR* name = LanguageNameIn(text);
                CopyBounded(entry.languageName, LANGUAGE_NAME_CHARS, name, wcslen(name));
                entry.current = isCurrent ? 1 : 0;
                currentListed = currentListed || isCurrent;
            }
            if (isCurrent)
                TakeTable(text);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    m_languageCount = count;
}

WCHAR* CLanguage::GetText(int id)
{
    WCHAR digits[16];
    _itow(id, digits, 10);
    bool found = false;
    {
        std::lock_guard<std::mutex> lock(m_tableLock);
        found = LookUp(m_table, digits, g_textBuffer);
    }
    if (!found)
        CopyBounded(g_textBuffer, LANGUAGE_TEXT_CHARS, digits, wcslen(digits));
    return Translate(g_textBuffer);
}

BOOL CLanguage::WriteIniFile(const WCHAR* fileName)
{
    if (!fileName)
        return FALSE;
    WCHAR fullName[FULL_NAME_CHARS];
    if (swprintf(fullName, FULL_NAME_CHARS, u"%sLanguage\\Language.ini", m_path) < 0)
        return FALSE;
    const std::string content = "File_Language=" + qplat::ToUtf8(fileName);
    return qplat::RewriteFile(fullName, content.data(), content.size());
}

BOOL CLanguage::IsOffered(const WCHAR* fileName)
{
    std::u16string text;
    return fileName && ReadLanguageFolderFile(m_path, fileName, &text) && Offers(text) ? TRUE : FALSE;
}

bool CLanguage::Offers(const std::u16string& text)
{
    if (IsBlankText(LanguageNameIn(text)))
        return false;
    // The table a screen opening in this language would load.
    const auto table = std::make_unique<TableLine[]>(LANGUAGE_TABLE_LINES);
    StoreLines(text, table.get());
    for (const int id : LANGUAGE_WAY_BACK_TEXTS) {
        WCHAR digits[16];
        WCHAR found[LANGUAGE_TEXT_CHARS];
        _itow(id, digits, 10);
        if (!LookUp(table.get(), digits, found) || IsBlankText(found))
            return false;
    }
    return true;
}

void CLanguage::ReadLngFile(const WCHAR* fileName)
{
    std::u16string text;
    if (fileName && ReadLanguageFolderFile(m_path, fileName, &text))
        TakeTable(text);
}

void CLanguage::TakeTable(const std::u16string& text)
{
    std::lock_guard<std::mutex> lock(m_tableLock);
    StoreLines(text, m_table);
}

WCHAR* CLanguage::ReadLanguageName(const WCHAR* fileName)
{
    std::u16string text;
    if (!fileName || !ReadLanguageFolderFile(m_path, fileName, &text)) {
        g_languageName[0] = 0;
        return g_languageName;
    }
    return LanguageNameIn(text);
}

WCHAR* CLanguage::LanguageNameIn(const std::u16string& text)
{
    g_languageName[0] = 0;
    // The name is on line 2, and only there: "10000=<name>".
    const size_t lineStart = text.find(u'\n');
    if (lineStart == std::u16string::npos || text.compare(lineStart + 1, 6, u"10000=") != 0)
        return g_languageName;
    const size_t nameStart = lineStart + 7;
    size_t end = text.find(u'\n', nameStart);
    if (end == std::u16string::npos)
        end = text.size();
    size_t nameLen = end - nameStart;
    if (nameLen > 0 && text[nameStart + nameLen - 1] == u'\r')
        --nameLen;
    CopyBounded(g_languageName, LANGUAGE_NAME_CHARS, text.data() + nameStart, nameLen);
    return g_languageName;
}

WCHAR* CLanguage::ReadIniFile()
{
    WCHAR fullName[FULL_NAME_CHARS];
    if (swprintf(fullName, FULL_NAME_CHARS, u"%sLanguage\\Language.ini", m_path) < 0)
        return g_languageFileName;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(fullName, &found);
    if (search == INVALID_HANDLE_VALUE)
        return g_languageFileName;
    FindClose(search);
    std::u16string text;
    if (!ReadLanguageFolderFile(m_path, u"Language.ini", &text))
        return g_languageFileName;
    const size_t equals = text.find(u'=');
    if (equals == std::u16string::npos)
        return g_languageFileName;
    size_t end = text.find_first_of(u"\r\n", equals + 1);
    if (end == std::u16string::npos)
        end = text.size();
    CopyBounded(g_languageFileName, LANGUAGE_INI_NAME_CHARS, text.data() + equals + 1, end - equals - 1);
    UpperCaseInPlace(g_languageFileName);
    CopyBounded(m_currentFile, LANGUAGE_CURRENT_CHARS, g_languageFileName, wcslen(g_languageFileName));
    return g_languageFileName;
}

ULONGLONG CLanguage::HexTextToNumber(WCHAR* text)
{
    return ::HexTextToNumber(text);
}

const LanguageEntry* CLanguage::GetLanguageEntry(int index) const
{
    if (index < 0 || index >= m_languageCount)
        return nullptr;
    return &m_languages[index];
}
