// Names that come from the operator or from files (journal, scheme and
// reference-profile names) and become part of a path on the card.
#pragma once

#include <cstddef>

#include "platform/WinDef.h"

// The longest bare name the settings block and the catalogues hold (a field of
// 50 characters with its terminator).
constexpr size_t kMaxBareNameLength = 49;

// True when `name` is a bare file name that stays inside its folder: not null,
// not empty, at most maxLength characters, and free of path separators ("\"
// and "/"), "..", the drive or driver mark ":", wildcards ("*", "?"), the
// characters the card's file system refuses ('"', "<", ">", "|") and control
// characters. Anything else (letters of any script, blanks, single dots) is
// accepted as the operator typed it.
bool IsValidFileName(LPCWSTR name, size_t maxLength = kMaxBareNameLength);

// The same test for a name stored in a fixed field of `fieldLength`
// characters that may lack its terminator.
bool IsValidFileNameField(const WCHAR* field, size_t fieldLength);

// Builds folder + subFolder + name + extension ("%s%s%s%s") into `path`, a
// buffer of pathLength characters. subFolder and extension are the program's
// own texts and may be empty or null; name must pass IsValidFileName. Fails
// (false, `path` empty) on a bad name or a path that does not fit.
bool ComposeFilePath(WCHAR* path, size_t pathLength, LPCWSTR folder, LPCWSTR subFolder, LPCWSTR name,
                     LPCWSTR extension);
