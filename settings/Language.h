// The text table of the current language. The program holds only five-digit
// text ids; the texts come from the language file ("*.lng" in the folder
// "Language\" of the program folder) that "Language.ini" names.
#pragma once

#include <mutex>
#include <string>

#include "platform/WinDef.h"
#include "settings/ProgramFolder.h"

constexpr int LANGUAGE_TABLE_LINES = 320;   // stored lines of a language file
constexpr int LANGUAGE_LINE_CHARS = 200;    // one stored line, terminator included
constexpr int LANGUAGE_TEXT_CHARS = 100;    // one looked-up text, terminator included
constexpr int LANGUAGE_MAX_FILES = 40;      // entries of the language list
constexpr int LANGUAGE_FILE_CHARS = 10;     // a language file name, terminator included
constexpr int LANGUAGE_NAME_CHARS = 50;     // a language's display name, terminator included
constexpr int LANGUAGE_CURRENT_CHARS = 20;  // the table's current file name, terminator included
constexpr int LANGUAGE_INI_NAME_CHARS = 40; // the file name read from "Language.ini", terminator included
constexpr int LANGUAGE_NAME_ID = 10000;     // line 2 of every file: "10000=<language name>"

// The texts the operator reads on the way back to the language choice: the
// start screen's button to the settings menu (also the menu's title), the
// menu's button to the language screen, and that screen's title and apply
// button (its close button is a picture). A language file is offered only
// when it gives each of them a text: one chosen without them would leave the
// operator tapping blind to get back. A new caption on that way belongs here.
constexpr int LANGUAGE_TEXT_SETTINGS = 40000;
constexpr int LANGUAGE_TEXT_LANGUAGE = 40013;
constexpr int LANGUAGE_TEXT_LANGUAGE_TITLE = 40214;
constexpr int LANGUAGE_TEXT_APPLY = 50108;
constexpr int LANGUAGE_WAY_BACK_TEXTS[] = {LANGUAGE_TEXT_SETTINGS, LANGUAGE_TEXT_LANGUAGE, LANGUAGE_TEXT_LANGUAGE_TITLE,
                                           LANGUAGE_TEXT_APPLY};

// Results of the lookups and readers. Each thread has its own buffers, so a
// lookup on one thread never changes a text another thread is reading; on one
// thread each call overwrites the previous result, so callers copy it at once.
extern thread_local WCHAR g_textBuffer[LANGUAGE_TEXT_CHARS];
extern thread_local WCHAR g_languageName[LANGUAGE_NAME_CHARS];
extern thread_local WCHAR g_languageFileName[LANGUAGE_INI_NAME_CHARS];

// One language file found in the folder.
struct LanguageEntry {
    WCHAR fileName[LANGUAGE_FILE_CHARS];
    WCHAR languageName[LANGUAGE_NAME_CHARS];
    int current;  // 1 for the file of the current language
};

class CLanguage {
public:
    // Takes the program folder and the current file name from "Language.ini";
    // the table starts empty.
    CLanguage();
    virtual ~CLanguage();

    CLanguage(const CLanguage&) = delete;
    CLanguage& operator=(const CLanguage&) = delete;

    // Reads "Language.ini", lists the language files of the folder that are
    // offered (IsOffered), at most LANGUAGE_MAX_FILES of them and the current
    // one always among them, and loads the texts of the current one, offered
    // or not. The table is not cleared first: lines the new file does not reach
    // keep the texts they held.
    void Load();

    // The text of a text id, or the id's decimal digits when no line holds it.
    // The result is this thread's g_textBuffer.
    WCHAR* GetText(int id);

    // Makes the file the current language in "Language.ini" (UTF-8, replaced
    // whole). FALSE when the file could not be written; it is then unchanged.
    BOOL WriteIniFile(const WCHAR* fileName);

    // Whether a language file of the folder is offered for choice: it can be
    // read, has a name to show and, loaded into a fresh table, gives every
    // text of LANGUAGE_WAY_BACK_TEXTS through the lookup GetText makes. A
    // name or text of nothing but blanks counts as none. Load lists only
    // such files.
    BOOL IsOffered(const WCHAR* fileName);

    // The readers Load and the constructor use.
    void ReadLngFile(const WCHAR* fileName);
    WCHAR* ReadLanguageName(const WCHAR* fileName);
    WCHAR* ReadIniFile();

    // Hooks for texts and for the names of reference profiles and schemes;
    // both pass their argument through unchanged.
    WCHAR* Translate(WCHAR* text) { return text; }
    const WCHAR* Translate(const WCHAR* text) { return text; }
    WCHAR* MapFileName(WCHAR* name) { return name; }
    const WCHAR* MapFileName(const WCHAR* name) { return name; }

    // No Chinese language file is offered, so the font choice never changes.
    BOOL IsChinese() const { return FALSE; }

    // The routine of the same name (DeviceSetup.h), for callers that reach it
    // through a table.
    ULONGLONG HexTextToNumber(WCHAR* text);

    // The language list of the last Load.
    int GetLanguageCount() const { return m_languageCount; }
    const LanguageEntry* GetLanguageEntry(int index) const;
    // The current file name, upper-cased.
    const WCHAR* GetCurrentFileName() const { return m_currentFile; }

private:
    // What ReadLngFile and ReadLanguageName take from a file's text, so that
    // Load reads each file of the folder once.
    void TakeTable(const std::u16string& text);
    static WCHAR* LanguageNameIn(const std::u16string& text);
    static bool Offers(const std::u16string& text);

    WCHAR m_currentFile[LANGUAGE_CURRENT_CHARS] = {};
    WCHAR m_table[LANGUAGE_TABLE_LINES][LANGUAGE_LINE_CHARS] = {};
    LanguageEntry m_languages[LANGUAGE_MAX_FILES] = {};
    int m_languageCount = 0;
    CProgramFolder m_folder;
    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
    // Guards the table: a lookup on another thread never sees a line half-loaded.
    mutable std::mutex m_tableLock;
};

// Whether a text shows as nothing: it holds only blanks of any width, control
// and zero-width characters or the byte-order mark. Such a text is no text.
bool IsBlankText(const WCHAR* text);

// Upper-cases a 16-bit text in place (Latin and Cyrillic) and returns it.
WCHAR* UpperCaseInPlace(WCHAR* text);
