// What a delete of a stored file by its name expects to find: the file as a
// folder listing showed it, by its size and the time it was last written. A
// list on a screen may be old by the time the operator answers (a PC changed
// the card, another card was put in): a file of that name that is another
// file now is never deleted unseen.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinKernel.h"

struct ListedFile {
    bool listed = false;  // false: no file was listed (nothing to expect)
    DWORD sizeHigh = 0;
    DWORD sizeLow = 0;
    FILETIME written = {};
};

// The file as a listing entry shows it.
ListedFile ListedFileOf(const WIN32_FIND_DATAW& found);

enum class DeleteOutcome {
    Deleted,      // gone
    Unconfirmed,  // gone, only its folder not yet kept by the card
    Changed,      // another file than the one listed: kept
    Gone,         // the card no longer holds a file of that name
    Failed,       // could not be deleted (read-only, a failing card)
};

// Whether an error of a call on a file's path says that the card holds no
// such file: the one rule of "is it gone" for every list.
bool IsGoneError(DWORD error);

// Deletes `path` only while it is the file `listed` showed.
DeleteOutcome DeleteAsListed(LPCWSTR path, const ListedFile& listed);
