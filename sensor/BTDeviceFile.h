// The paired-sensor file "BTDevice.qav" in the program folder: one 80-byte
// record per sensor the operator found and added, all device types together,
// with no header (count = file size / 80).
#pragma once

#include <cstddef>

#include "platform/WinDef.h"
#include "settings/FixedRecordFile.h"

#pragma pack(push, 1)
struct BTDeviceRecord {
    DWORD deviceType;    // 1 to 4
    WCHAR name[12];      // as the sensor reports it; the key of the file
    WCHAR address[20];   // lower-case hexadecimal digits, no separators
    WCHAR serial[6];     // four characters of the name, also the pairing PIN
};
#pragma pack(pop)
static_assert(sizeof(BTDeviceRecord) == 80, "paired-sensor record");
static_assert(offsetof(BTDeviceRecord, name) == 4, "name at 4");
static_assert(offsetof(BTDeviceRecord, address) == 28, "address at 28");
static_assert(offsetof(BTDeviceRecord, serial) == 68, "serial at 68");

constexpr DWORD BT_DEVICE_RECORD_SIZE = 80;
#define BT_DEVICE_FILE_NAME u"BTDevice.qav"

// The serial rule: after the first blank of the name, its 1st, 2nd, 3rd and
// 5th characters (the 4th is skipped); "LX412 12345" gives "1235". Reads never
// go past the terminator or `nameChars`: a short tail gives a shorter serial,
// a name without a blank an empty one. `serial` gets at most serialChars - 1
// characters and its terminator.
void SerialFromSensorName(const WCHAR* name, size_t nameChars, WCHAR* serial, size_t serialChars);

class CBTDeviceFile {
public:
    CBTDeviceFile();
    ~CBTDeviceFile();
    CBTDeviceFile(const CBTDeviceFile&) = delete;
    CBTDeviceFile& operator=(const CBTDeviceFile&) = delete;

    void Close();
    // Whole records in the file (a missing file is created empty), or -1 when
    // it cannot be opened.
    int GetCount();
    // Reads the file's whole records, at most `capacity` of them. 1 when every
    // record read was read whole.
    int ReadAll(BTDeviceRecord* records, int capacity);
    // Writes one record after the last. 1 when all 80 bytes were written.
    int Append(const BTDeviceRecord* record);
    int DeleteFile();
    // Takes back an Append: when the last whole record is `record` byte for
    // byte, the file is rewritten without it. 1 when it is gone; 0, with the
    // file as it was, when the file cannot be read or rewritten or ends in
    // another record.
    int RemoveLast(const BTDeviceRecord* record);
    // Replaces the whole file by n records made from the `readCount` records
    // `asRead` read from it: written only while the file still holds exactly
    // those (else 0, LastRefusal RecordChanged). The old file stays intact
    // until the new content is complete. The file must exist. On success the
    // count is updated.
    int WriteAll(const BTDeviceRecord* records, int n, const BTDeviceRecord* asRead, int readCount);
    // Undoes an append cut off half-way (see CFixedRecordFile), as the
    // program does at start: 1 when none is left pending.
    int RollBackCutOff() { return m_file.RollBackCutOff(m_path); }
    CFixedRecordFile::Refusal LastRefusal() const { return m_file.LastRefusal(); }

    DWORD Count() const { return m_count; }
    const WCHAR* Path() const { return m_path; }

private:
    CFixedRecordFile m_file;
    DWORD m_count;
    WCHAR m_path[600];
};
