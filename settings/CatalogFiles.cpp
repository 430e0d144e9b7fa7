#include "settings/CatalogFiles.h"

#include "platform/WinText.h"
#include "settings/DBJournal.h"

namespace {

template <size_t N>
void CopyFolderPath(WCHAR (&path)[N], CProgramFolder& folder)
{
    wcsncpy(path, folder.GetPath(), N - 1);
    path[N - 1] = 0;
}

template <size_t N>
void ComposeCatalogName(WCHAR (&fileName)[N], const WCHAR* folder, const WCHAR* name)
{
    // A folder too long for the name leaves the name empty, and every
    // operation then fails instead of touching a cut-short path.
    if (swprintf(fileName, N, u"%s%s", folder, name) < 0) fileName[0] = 0;
}

}  // namespace

template <typename Record>
CCatalogFile<Record>::CCatalogFile(const WCHAR* name) : m_file(sizeof(Record))
{
    CopyFolderPath(m_path, m_folder);
    ComposeCatalogName(m_fileName, m_path, name);
}

template <typename Record>
int CCatalogFile<Record>::GetCount()
{
    return m_file.GetCount(m_fileName);
}

template <typename Record>
int CCatalogFile<Record>::ReadAll(Record* buffer, int capacity)
{
    return m_file.ReadAll(m_fileName, buffer, capacity);
}

template <typename Record>
int CCatalogFile<Record>::Append(const Record* record)
{
    return m_file.Append(m_fileName, record);
}

template <typename Record>
int CCatalogFile<Record>::WriteAll(const Record* buffer, int n, const Record* asRead, int readCount)
{
    if (readCount < 0 || !m_file.WriteAll(m_fileName, buffer, n, asRead, readCount)) return 0;
    m_count = GetCount();
    return 1;
}

template <typename Record>
int CCatalogFile<Record>::Delete()
{
    return m_file.Delete(m_fileName);
}

template <typename Record>
int CCatalogFile<Record>::RollBackCutOff()
{
    return m_file.RollBackCutOff(m_fileName);
}

template class CCatalogFile<WheelTypeRecord>;
template class CCatalogFile<DiskTypeRecord>;
template class CCatalogFile<DopuskQavRecord>;
template class CCatalogFile<DopuskQodRecord>;

CWheelTypeFile::CWheelTypeFile() : CCatalogFile(u"WheelType.qav") {}
CDiskTypeFile::CDiskTypeFile() : CCatalogFile(u"DiskType.qod") {}
CDopuskQavFile::CDopuskQavFile() : CCatalogFile(u"Dopusk.qav") {}
CDopuskQodFile::CDopuskQodFile() : CCatalogFile(u"Dopusk.qod") {}

namespace {

template <class File>
void RollBackCatalogue(int* pending, CFixedRecordFile::Refusal* why)
{
    File file;
    if (file.RollBackCutOff()) return;
    ++*pending;
    *why = CFixedRecordFile::Graver(*why, file.LastRefusal());
}

}  // namespace

int RollBackCutOffSaves(CFixedRecordFile::Refusal* why)
{
    CFixedRecordFile::Refusal found = CFixedRecordFile::Refusal::None;
    int pending = RollBackCutOffJournalSaves(&found);
    RollBackCatalogue<CWheelTypeFile>(&pending, &found);
    RollBackCatalogue<CDiskTypeFile>(&pending, &found);
    RollBackCatalogue<CDopuskQavFile>(&pending, &found);
    RollBackCatalogue<CDopuskQodFile>(&pending, &found);
    if (why != nullptr) *why = found;
    return pending;
}

void CDopuskQavFile::CopyRecord(LONG* destination, const DopuskQavRecord& record)
{
    if (destination == nullptr) return;
    const LONG* const arrays[4] = {record.upper, record.lower, record.upperWarning, record.lowerWarning};
    for (int a = 0; a < 4; ++a) {
        for (int i = 0; i < QAV_LIMIT_COUNT; ++i) {
            // Entries 3, 4, 5 and 9 are not the tolerance set's to give: the
            // caller's values stay.
            if (i == 3 || i == 4 || i == 5 || i == 9) continue;
            destination[QAV_LIMIT_COUNT * a + i] = arrays[a][i];
        }
    }
}

void CDopuskQodFile::CopyRecord(LONG* destination, const DopuskQodRecord& record)
{
    if (destination == nullptr) return;
    for (int i = 0; i < QOD_LIMIT_COUNT; ++i) destination[i] = record.limits[i];
}
