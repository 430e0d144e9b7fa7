#include "settings/DBJournal.h"

#include "platform/WinText.h"
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
CDBJournal<Record>::~CDBJournal()
{
    Close();
}

template <typename Record>
bool CDBJournal<Record>::JournalPath(LPCWSTR name, WCHAR* path, size_t pathLength) const
{
    return ComposeFilePath(path, pathLength, m_folder, u"DB\\", name, m_extension);
}

template <typename Record>
int CDBJournal<Record>::Open(LPCWSTR name)
{
    Close();
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.Open(path);
}

template <typename Record>
void CDBJournal<Record>::Close()
{
    m_file.Close();
}

template <typename Record>
int CDBJournal<Record>::Seek(int i)
{
    return m_file.Seek(i);
}

template <typename Record>
int CDBJournal<Record>::GetCount(LPCWSTR name)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return -1;
    return m_file.GetCount(path);
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
int CDBJournal<Record>::AppendPair(LPCWSTR name, const Record* first, const Record* second)
{
    WCHAR path[kJournalPathChars];
    if (first == nullptr || second == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    const void* records[2] = {first, second};
    return m_file.AppendAll(path, records, 2);
}

template <typename Record>
int CDBJournal<Record>::Truncate(LPCWSTR name, int count)
{
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.Truncate(path, count);
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
int CDBJournal<Record>::WriteAll(LPCWSTR name, const Record* buffer, int n)
{
    WCHAR path[kJournalPathChars];
    if (buffer == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    if (!m_file.WriteAll(path, buffer, n)) return 0;
    m_count = m_file.GetCount(path);
    return 1;
}

template <typename Record>
int CDBJournal<Record>::Replace(LPCWSTR name, const Record* record, int i)
{
    WCHAR path[kJournalPathChars];
    if (record == nullptr || !JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.ReplaceRecord(path, record, i);
}

template <typename Record>
int CDBJournal<Record>::Delete(LPCWSTR name)
{
    Close();
    WCHAR path[kJournalPathChars];
    if (!JournalPath(name, path, kJournalPathChars)) return 0;
    return m_file.Delete(path);
}

template class CDBJournal<QavJournalRecord>;
template class CDBJournal<QodJournalRecord>;
