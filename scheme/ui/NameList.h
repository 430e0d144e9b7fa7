// What the reference-profile list and the scheme list share: a list of files
// with a name each, one of which is marked current by a bullet in column 2,
// sorted by the name column when its header is tapped, and files deleted from
// the device type's folder.
#pragma once

#include "platform/WinDef.h"
#include "ui/ControlWrappers.h"

// The current-item mark.
#define NAME_LIST_BULLET u"\u2022"
constexpr int NAME_LIST_MARK_COLUMN = 2;
constexpr int NAME_LIST_NAME_COLUMN = 1;

// Empties the mark column of the first `rows` rows.
void ClearNameListMarks(CListViewCtl& list, int rows);
// Sorts the rows by the name column (ascending when `ascending` is set), shows
// the direction after the header caption (six blanks and ">" or "<") and
// turns the direction round for the next tap.
void SortNameList(CListViewCtl& list, BYTE& ascending, LPCWSTR caption);
// Deletes `fileName` (a bare name with its extension, as the folder search
// reported it) from `folder`; a name that is not a bare file name is never
// turned into a path. TRUE when the file is gone.
BOOL DeleteListedFile(LPCWSTR folder, LPCWSTR fileName);
