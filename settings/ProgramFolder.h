// The program folder: the storage card's folder named by the registry, followed
// by "\Autorun\". Every file of the system lies below it, so every file class
// and screen holds one of these and copies the path once.
#pragma once

#include "platform/WinDef.h"

// Room for the path, terminator included.
constexpr int PROGRAM_FOLDER_CHARS = 512;

class CProgramFolder {
public:
    CProgramFolder() {}
    ~CProgramFolder() {}

    // Reads the storage card's folder from the registry and returns it followed
    // by "\Autorun\". The text lives in this object; callers copy it at once.
    // Without the registry value the path is "\Autorun\" alone: file
    // operations on it fail like those on a missing card.
    const WCHAR* GetPath();

private:
    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
};

// Where the storage card's folder is kept in the registry (HKEY_LOCAL_MACHINE).
#define PROGRAM_FOLDER_KEY u"\\System\\StorageManager\\Profiles\\SDMemory\\"
#define PROGRAM_FOLDER_VALUE u"Folder"
