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

int DeleteListedFile(LPCWSTR folder, LPCWSTR fileName, const ListedFile& listed, bool& gone)
{
    gone = false;
    WCHAR path[PROGRAM_FOLDER_CHARS + kListedFileNameChars + 32];
    if (!ComposeFilePath(path, std::size(path), folder, nullptr, fileName, nullptr)) return NAME_LIST_NOT_DELETED;
    switch (DeleteAsListed(path, listed)) {
    case DeleteOutcome::Deleted: gone = true; return 0;
    // Gone, only its folder not yet kept by the card (a power cut could
    // bring it back).
    case DeleteOutcome::Unconfirmed: gone = true; return SCREEN_NOT_CONFIRMED;
    case DeleteOutcome::Gone: gone = true; return SCREEN_ALREADY_GONE;
    case DeleteOutcome::Changed: return SCREEN_CARD_CHANGED;
    default: return NAME_LIST_NOT_DELETED;
    }
}
