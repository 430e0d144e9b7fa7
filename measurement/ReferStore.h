// Reference-profile files "*.ref": a name line, then one "x;z" line per point,
// in "Refer\" (wheel devices) or "Refer_QOD\" (the disc device) of the
// program folder.
#pragma once

#include "platform/WinDef.h"
#include "settings/Language.h"
#include "settings/ProfilePoint.h"
#include "settings/ProgramFolder.h"
#include "settings/StoredFiles.h"

constexpr int kReferNameChars = 100;
constexpr int kMaxReferEntries = 500;
// Load compares this many characters of a file's first line.
constexpr int kReferLoadNameChars = 50;

// The point lines of a reference file's bytes (after its name line) into
// points (5800, cleared first) and count; a line without its CR is not read.
void ParseReferPoints(const BYTE* bytes, size_t size, ProfilePoint* points, DWORD* count);

#pragma pack(push, 1)
struct ReferEntry {
    WCHAR fileName[kReferNameChars];     // with its extension, as the folder search reports it
    WCHAR profileName[kReferNameChars];  // line 1 of the file
    LONG reserved[4];
};
#pragma pack(pop)
static_assert(sizeof(ReferEntry) == 416, "a list row is 416 bytes");

class CReferStore {
public:
    CReferStore();
    ~CReferStore();

    CReferStore(const CReferStore&) = delete;
    CReferStore& operator=(const CReferStore&) = delete;

    // Writes points 0 to count - 1 (at most 5800; a point (0, 0) ends the
    // file) under the profile name, replacing a file of that name whole or
    // not at all. 1 when the whole file was written; 0, with nothing written,
    // when the name is not a plain file name or has a letter the name line's
    // code page lacks, when x does not rise from point to point, or when the
    // file cannot be written (an older file of the name is then kept).
    int Write(LPCWSTR profileName, const ProfilePoint* points, DWORD count, int deviceType);
    int Write(HWND owner, LPCWSTR profileName, const ProfilePoint* points, DWORD count, int deviceType);
    // Fills m_count and m_entries from the folder (at most 500 rows).
    void List(int deviceType);
    // Loads the file whose first line is the profile name into points (5800)
    // and count. 0 when the folder holds no reference file at all; 1 otherwise,
    // also when no file carries the name (points and count then unchanged).
    int Load(LPCWSTR profileName, ProfilePoint* points, DWORD* count, int deviceType);
    // 1 when the folder holds exactly the file name + ".ref".
    int Exists(LPCWSTR fileName, int deviceType);

    // The listed file of that name (with its extension) as the listing
    // showed it; one not listed expects nothing.
    ListedFile Listed(LPCWSTR fileName) const;

    DWORD m_count = 0;
    ReferEntry m_entries[kMaxReferEntries] = {};
    ListedFile m_listed[kMaxReferEntries] = {};

private:
    // The device type's folder, ending in "\".
    void FolderOf(int deviceType, WCHAR* folder, size_t chars) const;

    CProgramFolder m_folder;
    CLanguage m_language;
    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
};
