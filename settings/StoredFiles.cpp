#include "settings/StoredFiles.h"

ListedFile ListedFileOf(const WIN32_FIND_DATAW& found)
{
    ListedFile file;
    file.listed = true;
    file.sizeHigh = found.nFileSizeHigh;
    file.sizeLow = found.nFileSizeLow;
    file.written = found.ftLastWriteTime;
    return file;
}

bool IsGoneError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

DeleteOutcome DeleteAsListed(LPCWSTR path, const ListedFile& listed)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(path, &found);
    if (find == INVALID_HANDLE_VALUE) return IsGoneError(GetLastError()) ? DeleteOutcome::Gone : DeleteOutcome::Failed;
    FindClose(find);
    const ListedFile now = ListedFileOf(found);
    if (!listed.listed || now.sizeHigh != listed.sizeHigh || now.sizeLow != listed.sizeLow ||
        now.written.dwLowDateTime != listed.written.dwLowDateTime ||
        now.written.dwHighDateTime != listed.written.dwHighDateTime)
        return DeleteOutcome::Changed;
    if (DeleteFileW(path)) return DeleteOutcome::Deleted;
    const DWORD error = GetLastError();
    if (error == ERROR_CHANGE_NOT_CONFIRMED) return DeleteOutcome::Unconfirmed;
    return IsGoneError(error) ? DeleteOutcome::Gone : DeleteOutcome::Failed;
}
