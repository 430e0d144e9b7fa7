#include "settings/DBJournal.h"

#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "settings/FileNames.h"
#include "settings/JournalRecords.h"

namespace {

// Folder, "DB\", a name of up to a keyboard entry's length, the extension.
constexpr size_t kJournalPathChars = PROGRAM_FOLDER_CHARS + 160;

}  // namespace

template <typename Record>
CDBJournal<Record>::CDBJournal(CProgramFolder& folder, LPCWSTR extension)
    : m_file(sizeof(Record)), m_extension(extension)
{
    wcsncpy(m_folder, folder.GetPath(), PROGRAM_FOLDER_CHARS - 1);
    m_folder[PROGRAM_FOLDER_CHARS - 1] = 0;
}

template <typename Record>
CDBJournal<Record>::~CDBJournal() = default;

template <typename Record>
bool CDBJournal<Record>::JournalPath(LPCWSTR name, WCHAR* path, size_t pathLength) const
{
    return ComposeFilePath(path, pathLength, m_folder, u"DB\\", name, m_extension);
}

template <typename Record>
int CDBJournal<Record>::GetCount(LPCWSTR name, bool create)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return -1;
    return m_file.GetCount(path, create);
}

template <typename Record>
int CDBJournal<Record>::RefreshCount(LPCWSTR name)
{
    m_count = GetCount(name);
    return 0;
}

template <typename Record>
int CDBJournal<Record>::Append(LPCWSTR name, const Record* record)
{
    WCHAR path[kJournalPathChars];
    if (record == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.Append(path, record);
}

template <typename Record>
int CDBJournal<Record>::WriteGroup(LPCWSTR name, const CFixedRecordFile::Change* changes, int n, int expectedCount)
{
    WCHAR path[kJournalPathChars];
    for (int k = 0; k < n; ++k)
        if (changes[k].record == nullptr) return 0;
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.WriteGroup(path, changes, n, expectedCount);
}

template <typename Record>
int CDBJournal<Record>::AppendPair(LPCWSTR name, const Record* first, const Record* second)
{
    const CFixedRecordFile::Change changes[2] = {{first, CFixedRecordFile::kAppend},
                                                 {second, CFixedRecordFile::kAppend}};
    return WriteGroup(name, changes, 2);
}

template <typename Record>
int CDBJournal<Record>::ReplaceAndAppend(LPCWSTR name, const Record* replaced, int i, const Record* appended,
                                         const Record* expectedAtI, int expectedCount)
{
    if (i < 0) return 0;
    const CFixedRecordFile::Change changes[2] = {{replaced, i, expectedAtI}, {appended, CFixedRecordFile::kAppend}};
    return WriteGroup(name, changes, 2, expectedCount);
}

template <typename Record>
int CDBJournal<Record>::ReplacePair(LPCWSTR name, const Record* first, int i, const Record* second, int j,
                                    const Record* expectedAtI, const Record* expectedAtJ)
{
    if (i < 0 || j < 0) return 0;
    const CFixedRecordFile::Change changes[2] = {{first, i, expectedAtI}, {second, j, expectedAtJ}};
    return WriteGroup(name, changes, 2);
}

template <typename Record>
int CDBJournal<Record>::RollBackCutOff(LPCWSTR name)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.RollBackCutOff(path);
}

template <typename Record>
int CDBJournal<Record>::RollBackAllCutOff(CFixedRecordFile::Refusal* why)
{
    // The roll-back of "DB\<name><extension>" is "DB\<name><extension>.undo":
    // the part before ".undo" is the journal's file name.
    const std::u16string folder = std::u16string(m_folder) + u"DB\\";
    const std::u16string suffix = CRollBack::PathOf(m_extension);
    const size_t rollBackChars = CRollBack::PathOf(u"").size();
    const std::u16string pattern = folder + u"*" + suffix;
    std::vector<std::u16string> journals;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::u16string file = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && file.size() > suffix.size())
            journals.push_back(folder + file.substr(0, file.size() - rollBackChars));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    int pending = 0;
    for (const std::u16string& journal : journals) {
        if (m_file.RollBackCutOff(journal.c_str())) continue;
        ++pending;
        if (why != nullptr) *why = CFixedRecordFile::Graver(*why, m_file.LastRefusal());
    }
    return pending;
}

template <typename Record>
int CDBJournal<Record>::ReadAll(LPCWSTR name, Record* buffer, int capacity)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.ReadAll(path, buffer, capacity);
}

template <typename Record>
int CDBJournal<Record>::ReadRecord(LPCWSTR name, int i, Record* buffer)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.ReadRecord(path, i, buffer);
}

template <typename Record>
int CDBJournal<Record>::WriteAll(LPCWSTR name, const Record* buffer, int n, const Record* expected,
                                 int expectedCount)
{
    WCHAR path[kJournalPathChars];
    if (buffer == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    if (!m_file.WriteAll(path, buffer, n, expected, expectedCount)) return 0;
    m_count = m_file.GetCount(path);
    return 1;
}

template <typename Record>
int CDBJournal<Record>::Replace(LPCWSTR name, const Record* record, int i, const Record* expected)
{
    WCHAR path[kJournalPathChars];
    if (record == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.ReplaceRecord(path, record, i, expected);
}

template <typename Record>
int CDBJournal<Record>::Delete(LPCWSTR name)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.Delete(path);
}

template class CDBJournal<QavJournalRecord>;
template class CDBJournal<QodJournalRecord>;

int RollBackCutOffJournalSaves(CFixedRecordFile::Refusal* why)
{
    CFixedRecordFile::Refusal found = CFixedRecordFile::Refusal::None;
    const int pending = CDBJournalQav().RollBackAllCutOff(&found) + CDBJournalQod().RollBackAllCutOff(&found);
    if (why != nullptr) *why = found;
    return pending;
}
