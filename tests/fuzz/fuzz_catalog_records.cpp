// Catalogues of any size and content are counted, read, taken over into
// tolerance arrays and written back, without a crash or a write past any
// buffer; a write-back keeps exactly the whole records that were read.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "settings/CatalogFiles.h"
#include "settings/FileNames.h"
#include "tests/fuzz/FuzzProgramRoot.h"

namespace {

size_t NameChars(const WCHAR* field) { return qplat::FieldText(field, CATALOG_NAME_CHARS).size(); }

// A wheel or disc type: its names read back bounded.
template <class Type>
void Use(const Type& r, LONG*)
{
    Check(NameChars(r.name) + NameChars(r.referName) + NameChars(r.schemeName) + NameChars(r.toleranceName) <= 200);
    (void)IsValidFileNameField(r.referName, CATALOG_NAME_CHARS);
    (void)IsValidFileNameField(r.schemeName, CATALOG_NAME_CHARS);
}
void Use(const DopuskQavRecord& r, LONG* limits)
{
    Check(NameChars(r.name) <= CATALOG_NAME_CHARS);
    CDopuskQavFile file;
    file.CopyRecord(limits, r);
}
void Use(const DopuskQodRecord& r, LONG* limits)
{
    Check(NameChars(r.name) <= CATALOG_NAME_CHARS);
    CDopuskQodFile file;
    file.CopyRecord(limits, r);
}

template <class File, class Record>
void Exercise(const WCHAR* path, const uint8_t* data, size_t size)
{
    Check(qplat::RewriteFile(path, data, size) == TRUE);
    File file;
    const int count = file.GetCount();
    Check(count == static_cast<int>(size / sizeof(Record)));
    std::vector<Record> records(static_cast<size_t>(count) + 1);
    Check(file.ReadAll(records.data(), count) == 1);
    Check(SameBytes(records.data(), data, static_cast<size_t>(count) * sizeof(Record)));
    // The tolerance array the measuring controller keeps: 88 words.
    LONG limits[QAV_LIMIT_WORDS] = {};
    for (int i = 0; i < count; ++i) Use(records[static_cast<size_t>(i)], limits);

    // Writing back what was read keeps exactly the whole records.
    Check(file.WriteAll(records.data(), count, records.data(), count) == 1);
    Check(file.RecordCount() == count);
    std::vector<Record> again(static_cast<size_t>(count) + 1);
    Check(file.ReadAll(again.data(), count + 1) == 1);
    Check(SameBytes(again.data(), data, static_cast<size_t>(count) * sizeof(Record)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzProgramRoot root("catalog", "");
    if (size > 64 * 1024) return 0;
    Exercise<CWheelTypeFile, WheelTypeRecord>(u"\\SDMMC\\Autorun\\WheelType.qav", data, size);
    Exercise<CDiskTypeFile, DiskTypeRecord>(u"\\SDMMC\\Autorun\\DiskType.qod", data, size);
    Exercise<CDopuskQavFile, DopuskQavRecord>(u"\\SDMMC\\Autorun\\Dopusk.qav", data, size);
    Exercise<CDopuskQodFile, DopuskQodRecord>(u"\\SDMMC\\Autorun\\Dopusk.qod", data, size);
    return 0;
}
