// Names of journals: the default name a new journal is offered under
// ("wp_YY_MM_DD_NN" of the UTC date and a running number of that day), the
// creation of an empty journal file, and the journal name of a journal file.
// Every journal is the file "DB\<name>.qav" (wheel devices) or
// "DB\<name>.qod" (device type 4) of the program folder.
#pragma once

#include "platform/WinDef.h"
#include "settings/ProgramFolder.h"

// The longest journal name the settings block holds (a field of 50
// characters with its terminator).
constexpr int JOURNAL_NAME_MAX_CHARS = 49;
// Characters of a journal file's extension with its dot (".qav", ".qod").
constexpr int JOURNAL_EXTENSION_CHARS = 4;

class CJournalNames {
public:
    // Takes the program folder once; it is not asked again.
    CJournalNames();
    ~CJournalNames();
    CJournalNames(const CJournalNames&) = delete;
    CJournalNames& operator=(const CJournalNames&) = delete;

    // "wp_YY_MM_DD_" of today's UTC date. The text lives in this object until
    // the next call.
    LPCWSTR DatePrefix();
    // The running number of a new journal whose name begins with the prefix:
    // one more than the journals of the family that begin with it, then on
    // past every number already taken, so a number freed by a deletion is not
    // given again while later ones exist.
    int NextJournalNumber(LPCWSTR prefix, int deviceType);
    // The default name of a new journal of the family (prefix and number,
    // "01" to "09", then "10" and on). Lives in this object until the next call.
    LPCWSTR NewJournalName(int deviceType);
    // Creates the empty journal file of that name. 1 when a new file was made;
    // 0 when a file of that name exists (it is left as it is), the name is not
    // a usable journal name, or the file cannot be made.
    int CreateJournal(LPCWSTR name, int deviceType);
    // True when the family's journal file of that name exists (a folder of
    // that name is no journal).
    bool Exists(LPCWSTR name, int deviceType) const;

    // True when `name` can name a journal: a plain file name (no separators,
    // "..", wildcards or control characters) that fits the settings field.
    static bool IsUsableName(LPCWSTR name);
    // Cuts a journal file's name to its journal name in place: the final
    // ".qav" or ".qod" (either letter case) goes, nothing else, so the dots of
    // a name stay. Returns the text.
    static WCHAR* CutExtension(WCHAR* text);
    // The journal file's extension of a device type.
    static LPCWSTR Extension(int deviceType);
    // The size of one record of the journals of `deviceType`.
    static DWORD RecordSize(int deviceType);

private:
    // program folder + "DB\" + name + extension; false when it does not fit.
    bool FilePath(WCHAR* path, size_t chars, LPCWSTR name, int deviceType) const;
    bool FileExists(LPCWSTR name, int deviceType) const;

    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
    CProgramFolder m_folder;
    WCHAR m_prefix[16] = {};
    WCHAR m_name[JOURNAL_NAME_MAX_CHARS + 1] = {};
};
