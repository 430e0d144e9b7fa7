#include "scheme/ui/NameList.h"

#include <iterator>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/FileNames.h"
#include "settings/ProgramFolder.h"

namespace {

// The list rows hand out at most 199 characters of a file name.
constexpr size_t kListedFileNameChars = 199;

}  // namespace

void SortNameList(CListViewCtl& list, BYTE& ascending, LPCWSTR caption)
{
    const LPARAM key = ascending ? NAME_LIST_NAME_COLUMN + 1 : -(NAME_LIST_NAME_COLUMN + 1);
    SendMessageW(list.m_hWnd, LVM_SORTITEMS, static_cast<WPARAM>(key), reinterpret_cast<LPARAM>(ListViewCompareProc));
    WCHAR header[128];
    swprintf(header, 128, u"%s      %s", caption ? caption : u"", ascending ? u">" : u"<");
    list.UpdateColumn(NAME_LIST_NAME_COLUMN, header);
    ascending = ascending ? 0 : 1;
}

BOOL DeleteListedFile(LPCWSTR folder, LPCWSTR fileName)
{
    WCHAR path[PROGRAM_FOLDER_CHARS + kListedFileNameChars + 32];
    if (!ComposeFilePath(path, std::size(path), folder, nullptr, fileName, nullptr)) return FALSE;
    return DeleteFileW(path);
}
