#include "settings/FixedRecordFile.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"

namespace {

bool IsFile(LPCWSTR path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

CFixedRecordFile::CFixedRecordFile(DWORD recordSize) : m_recordSize(recordSize), m_file(nullptr) {}

CFixedRecordFile::~CFixedRecordFile() { Close(); }

bool CFixedRecordFile::IsOpen() const { return m_file != nullptr && m_file != INVALID_HANDLE_VALUE; }

int CFixedRecordFile::OpenAs(LPCWSTR path, DWORD access, bool create)
{
    if (IsOpen()) Close();
    if (path == nullptr || path[0] == 0) return 0;
    m_file = CreateFileW(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, create ? OPEN_ALWAYS : OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    return IsOpen() ? 1 : 0;
}

bool CFixedRecordFile::Missing(LPCWSTR path)
{
    return !IsOpen() && GetLastError() == ERROR_FILE_NOT_FOUND && path != nullptr && path[0] != 0;
}

void CFixedRecordFile::Close()
{
    if (IsOpen()) {
        if (!CloseHandle(m_file)) OutputDebugStringW(u"Error CloseHandle!");
    }
    m_file = nullptr;
}

bool CFixedRecordFile::SeekByte(unsigned long long offset)
{
    return filebytes::SeekTo(m_file, offset);
}

int CFixedRecordFile::Seek(int index)
{
    if (!IsOpen() || index < 0) return 0;
    return SeekByte(static_cast<unsigned long long>(index) * m_recordSize) ? 1 : 0;
}

long long CFixedRecordFile::HeldSize()
{
    return filebytes::Size(m_file);
}

long long CFixedRecordFile::HeldCount()
{
    if (m_recordSize == 0) return -1;
    const long long held = HeldSize();
    if (held < 0) return -1;
    const unsigned long long count = static_cast<unsigned long long>(held) / m_recordSize;
    return count > static_cast<unsigned long long>(INT_MAX) ? INT_MAX : static_cast<long long>(count);
}

bool CFixedRecordFile::ReadBytes(void* buffer, unsigned long long size)
{
    return filebytes::Read(m_file, buffer, size);
}

bool CFixedRecordFile::WriteBytes(const void* buffer, unsigned long long size)
{
    return filebytes::Write(m_file, buffer, size);
}

void CFixedRecordFile::Begin()
{
    Close();
    m_refusal = Refusal::None;
    m_unconfirmed = false;
}

namespace {

CFixedRecordFile::Refusal RefusalOf(CRollBack::Pending pending)
{
    using Refusal = CFixedRecordFile::Refusal;
    switch (pending) {
    case CRollBack::Pending::ReadOnly: return Refusal::CutOffSaveStuck;
    case CRollBack::Pending::Failing: return Refusal::CutOffSaveFailing;
    case CRollBack::Pending::CardFull: return Refusal::CutOffSaveCardFull;
    case CRollBack::Pending::NoCopyName: return Refusal::CutOffSaveNoCopyName;
    case CRollBack::Pending::Ambiguous: return Refusal::CutOffSaveAmbiguous;
    default: return Refusal::None;
    }
}

CRollBack::Pending PendingOf(CFixedRecordFile::Refusal refusal)
{
    for (CRollBack::Pending pending :
         {CRollBack::Pending::ReadOnly, CRollBack::Pending::Failing, CRollBack::Pending::CardFull,
          CRollBack::Pending::NoCopyName, CRollBack::Pending::Ambiguous})
        if (RefusalOf(pending) == refusal) return pending;
    return CRollBack::Pending::None;
}

}  // namespace

CFixedRecordFile::Refusal CFixedRecordFile::Graver(Refusal a, Refusal b)
{
    const CRollBack::Pending graver = CRollBack::Graver(PendingOf(a), PendingOf(b));
    return graver == CRollBack::Pending::None ? a : RefusalOf(graver);
}

CRollBack::Pending CFixedRecordFile::SettleForWrite(LPCWSTR path)
{
    Close();
    const CRollBack::Pending pending = CRollBack::Settle(path, m_recordSize);
    if (CRollBack::IsStuck(pending)) m_refusal = RefusalOf(pending);
    return pending;
}

int CFixedRecordFile::GetCount(LPCWSTR path, bool create)
{
    if (!OpenAs(path, GENERIC_READ, create)) return Missing(path) ? 0 : -1;
    const long long count = HeldCount();
    Close();
    return static_cast<int>(count);
}

int CFixedRecordFile::ReadAll(LPCWSTR path, void* buffer, int capacity)
{
    if (capacity < 0 || (buffer == nullptr && capacity > 0)) return 0;
    // A missing file holds no records, and a read does not make it.
    if (!OpenAs(path, GENERIC_READ, false)) return Missing(path) ? 1 : 0;
    int result = 0;
    const long long count = HeldCount();
    if (count >= 0) {
        const long long n = count < capacity ? count : capacity;
        result = (SeekByte(0) && ReadBytes(buffer, static_cast<unsigned long long>(n) * m_recordSize)) ? 1 : 0;
    }
    Close();
    return result;
}

int CFixedRecordFile::ReadRecord(LPCWSTR path, int index, void* record)
{
    if (record == nullptr || index < 0) return 0;
    if (!OpenAs(path, GENERIC_READ, false)) return 0;
    const int result = (Seek(index) && ReadBytes(record, m_recordSize)) ? 1 : 0;
    Close();
    return result;
}

int CFixedRecordFile::Append(LPCWSTR path, const void* record)
{
    const Change change{record, kAppend};
    return WriteGroup(path, &change, 1);
}

int CFixedRecordFile::AppendAll(LPCWSTR path, const void* const* records, int n)
{
    if (records == nullptr || n < 1 || n > kMaxGroup) return 0;
    Change changes[kMaxGroup];
    for (int i = 0; i < n; ++i) changes[i] = Change{records[i], kAppend};
    return WriteGroup(path, changes, n);
}

int CFixedRecordFile::WriteGroup(LPCWSTR path, const Change* given, int n, int expectedCount)
{
    Begin();
    if (given == nullptr || n < 1 || n > kMaxGroup || path == nullptr || path[0] == 0 || m_recordSize == 0)
        return 0;
    // A record replaced twice in one group ends as its last change: only
    // that one is written, so every byte of the file goes from its old value
    // straight to its new one.
    Change changes[kMaxGroup];
    int kept = 0;
    int appends = 0;
    for (int i = 0; i < n; ++i) {
        if (given[i].record == nullptr || given[i].index < kAppend) return 0;
        bool later = false;
        for (int j = i + 1; j < n && given[i].index != kAppend; ++j) later = later || given[j].index == given[i].index;
        if (later) continue;
        if (given[i].index == kAppend) ++appends;
        changes[kept++] = given[i];
    }
    const int givenCount = n;
    n = kept;
    const bool replaces = appends < n;
    // What an earlier group left half-done goes first: its roll-back would
    // be overwritten by this group's.
    if (CRollBack::IsStuck(SettleForWrite(path))) return 0;
    // A replace has nothing to replace in a missing file: never create one.
    if (replaces && !IsFile(path)) return 0;
    if (!OpenAs(path, GENERIC_READ | GENERIC_WRITE, true)) return 0;
    const long long held = HeldSize();
    const unsigned long long size = held < 0 ? 0 : static_cast<unsigned long long>(held);
    const unsigned long long count = size / m_recordSize;
    bool fits = held >= 0 && count <= static_cast<unsigned long long>(INT_MAX - appends);
    for (int i = 0; fits && i < givenCount; ++i)
        fits = given[i].index == kAppend || static_cast<unsigned long long>(given[i].index) < count;
    if (!fits) {
        Close();
        return 0;
    }
    if (expectedCount >= 0 && count != static_cast<unsigned long long>(expectedCount)) {
        Close();
        m_refusal = Refusal::RecordChanged;
        return 0;
    }
    // A replace that names the record it expects finds those bytes in the
    // file as it is now, or the group writes nothing.
    std::vector<BYTE> old(m_recordSize);
    for (int i = 0; i < givenCount; ++i) {
        if (given[i].expected == nullptr || given[i].index == kAppend) continue;
        if (!Seek(given[i].index) || !ReadBytes(old.data(), m_recordSize)) {
            Close();
            return 0;
        }
        if (std::memcmp(old.data(), given[i].expected, m_recordSize) != 0) {
            Close();
            m_refusal = Refusal::RecordChanged;
            return 0;
        }
    }
    const unsigned long long end = count * m_recordSize;
    const unsigned long long newSize = appends > 0 ? end + static_cast<unsigned long long>(appends) * m_recordSize : size;

    // The appends go as one write, taking over a torn tail.
    std::vector<BYTE> appended(static_cast<size_t>(appends) * m_recordSize);
    for (int i = 0, at = 0; i < n; ++i) {
        if (changes[i].index != kAppend) continue;
        std::memcpy(appended.data() + static_cast<size_t>(at) * m_recordSize, changes[i].record, m_recordSize);
        ++at;
    }

    // The roll-back: every range the group writes, before and after.
    CRollBack rollBack(m_recordSize, size, newSize);
    bool saved = true;
    for (int i = 0; saved && i < n; ++i) {
        if (changes[i].index == kAppend) continue;
        const unsigned long long offset = static_cast<unsigned long long>(changes[i].index) * m_recordSize;
        saved = SeekByte(offset) && ReadBytes(old.data(), m_recordSize);
        rollBack.AddRange(offset, old.data(), m_recordSize, static_cast<const BYTE*>(changes[i].record),
                          m_recordSize);
    }
    if (saved && appends > 0) {
        const DWORD tail = static_cast<DWORD>(size - end);
        saved = tail == 0 || (SeekByte(end) && ReadBytes(old.data(), tail));
        rollBack.AddRange(end, old.data(), tail, appended.data(), static_cast<DWORD>(appended.size()));
    }
    if (!saved || !rollBack.Write(path)) {
        Close();
        return 0;
    }

    bool whole = appends == 0 || (SeekByte(end) && WriteBytes(appended.data(), appended.size()));
    for (int i = 0; whole && i < n; ++i) {
        if (changes[i].index == kAppend) continue;
        whole = Seek(changes[i].index) && WriteBytes(changes[i].record, m_recordSize);
    }
    whole = whole && FlushFileBuffers(m_file);
    Close();
    if (whole) {
        // Gone, only its folder not yet kept by the card: the group stands.
        const int removed = rollBack.Remove();
        m_unconfirmed = removed < 0;
        if (removed != 0) return 1;
    }
    // Undone at once; where even that fails the roll-back stays pending and
    // holds every later write back until it can be applied.
    RollBackCutOff(path);
    return 0;
}

int CFixedRecordFile::RollBackCutOff(LPCWSTR path)
{
    Begin();
    if (path == nullptr || path[0] == 0) return 0;
    return CRollBack::IsStuck(SettleForWrite(path)) ? 0 : 1;
}

int CFixedRecordFile::WriteAll(LPCWSTR path, const void* records, int n, const void* expected, int expectedCount)
{
    Begin();
    if (records == nullptr || n < 0 || path == nullptr || path[0] == 0) return 0;
    if (expectedCount > 0 && expected == nullptr) return 0;
    // Rewriting a missing file fails, as deleting it first would.
    if (!IsFile(path)) return 0;
    if (CRollBack::IsStuck(SettleForWrite(path))) return 0;
    if (expectedCount >= 0) {
        // What the file holds now, not what was read from it before (a save
        // undone since, a PC's change, another card): else the rewrite
        // would drop what the reader never saw.
        if (!OpenAs(path, GENERIC_READ, false)) return 0;
        const long long count = HeldCount();
        const size_t bytes = static_cast<size_t>(expectedCount) * m_recordSize;
        std::vector<BYTE> now(count == expectedCount ? bytes : 0);
        const bool read = count >= 0 && (count != expectedCount || bytes == 0 ||
                                          (SeekByte(0) && ReadBytes(now.data(), bytes)));
        Close();
        if (!read) return 0;
        if (count != expectedCount || (bytes > 0 && std::memcmp(now.data(), expected, bytes) != 0)) {
            m_refusal = Refusal::RecordChanged;
            return 0;
        }
    }
    const size_t bytes = static_cast<size_t>(n) * m_recordSize;
    return qplat::RewriteFile(path, records, bytes) ? 1 : 0;
}

int CFixedRecordFile::ReplaceRecord(LPCWSTR path, const void* record, int index, const void* expected)
{
    if (index < 0) {
        Begin();
        return 0;
    }
    const Change change{record, index, expected};
    return WriteGroup(path, &change, 1);
}

DeleteOutcome CFixedRecordFile::DeleteListed(LPCWSTR path, const ListedFile& listed)
{
    Begin();
    if (path == nullptr || path[0] == 0) return DeleteOutcome::Failed;
    // A roll-back must not outlive its file, and one undone changes the file
    // the list showed: it is then no longer the one to delete.
    if (CRollBack::IsStuck(SettleForWrite(path))) return DeleteOutcome::Failed;
    const DeleteOutcome outcome = DeleteAsListed(path, listed);
    m_unconfirmed = outcome == DeleteOutcome::Unconfirmed;
    if (outcome == DeleteOutcome::Changed) m_refusal = Refusal::RecordChanged;
    return outcome;
}

int CFixedRecordFile::Delete(LPCWSTR path)
{
    Begin();
    if (path == nullptr || path[0] == 0) return 0;
    // A roll-back must not outlive its file: a later file of the same name
    // could be rolled back with it.
    if (CRollBack::IsStuck(SettleForWrite(path))) return 0;
    if (DeleteFileW(path)) return 1;
    // Gone, only its folder not yet kept by the card.
    m_unconfirmed = GetLastError() == ERROR_CHANGE_NOT_CONFIRMED;
    return m_unconfirmed ? 1 : 0;
}
