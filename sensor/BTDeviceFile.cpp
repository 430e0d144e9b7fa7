// The paired-sensor file over the shared fixed-record file mechanism.
#include "sensor/BTDeviceFile.h"

#include <cstring>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/ProgramFolder.h"

void SerialFromSensorName(const WCHAR* name, size_t nameChars, WCHAR* serial, size_t serialChars)
{
    if (!serial || serialChars == 0)
        return;
    serial[0] = 0;
    if (!name)
        return;
    const size_t length = wcsnlen(name, nameChars);
    size_t blank = 0;
    while (blank < length && name[blank] != u' ')
        ++blank;
    if (blank >= length)
        return;
    static const size_t kTaken[4] = {1, 2, 3, 5};
    size_t out = 0;
    for (size_t k : kTaken) {
        const size_t at = blank + k;
        if (at >= length || out + 1 >= serialChars)
            break;
        serial[out++] = name[at];
    }
    serial[out] = 0;
}

CBTDeviceFile::CBTDeviceFile() : m_file(BT_DEVICE_RECORD_SIZE), m_count(0), m_path{}
{
    CProgramFolder folder;
    qplat::CopyField(m_path, sizeof m_path / sizeof m_path[0], folder.GetPath());
    const size_t used = wcslen(m_path);
    qplat::CopyField(m_path + used, sizeof m_path / sizeof m_path[0] - used, BT_DEVICE_FILE_NAME);
}

CBTDeviceFile::~CBTDeviceFile()
{
    Close();
}

void CBTDeviceFile::Close()
{
    m_file.Close();
}

int CBTDeviceFile::GetCount()
{
    const int n = m_file.GetCount(m_path);
    if (n >= 0)
        m_count = static_cast<DWORD>(n);
    return n;
}

int CBTDeviceFile::ReadAll(BTDeviceRecord* records, int capacity)
{
    if (!records || capacity < 0)
        return 0;
    return m_file.ReadAll(m_path, records, capacity);
}

int CBTDeviceFile::Append(const BTDeviceRecord* record)
{
    if (!record)
        return 0;
    return m_file.Append(m_path, record);
}

int CBTDeviceFile::DeleteFile()
{
    m_file.Close();
    return m_file.Delete(m_path);
}

int CBTDeviceFile::WriteAll(const BTDeviceRecord* records, int n, const BTDeviceRecord* asRead, int readCount)
{
    if (!records || n < 0 || readCount < 0)
        return 0;
    if (!m_file.WriteAll(m_path, records, n, asRead, readCount))
        return 0;
    GetCount();
    Close();
    return 1;
}

int CBTDeviceFile::RemoveLast(const BTDeviceRecord* record)
{
    if (!record)
        return 0;
    const int n = GetCount();
    if (n <= 0)
        return 0;
    std::vector<BTDeviceRecord> records(static_cast<size_t>(n));
    if (!ReadAll(records.data(), n) || std::memcmp(&records.back(), record, sizeof *record) != 0)
        return 0;
    // Only while the file still holds what was just read.
    return WriteAll(records.data(), n - 1, records.data(), n);
}
