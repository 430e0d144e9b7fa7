#include "settings/ParamFile.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"

const WCHAR* const g_paramNames[PARAM_NAME_COUNT] = {
    u"L1",   u"L2",   u"L3",   u"L4",   u"L5",   u"L6",   u"L7",   u"L8",   u"L9",   u"L10", u"L11", u"L12",
    u"L13",  u"L15",  u"L16",  u"P7_1", u"P7_2", u"P8_1", u"P8_2", u"D1",   u"D2",   u"L1",  u"L2",
};

namespace {

constexpr DWORD FILE_SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE;

// Factory values of the wheel dimensions, micrometres, in the block's order.
constexpr LONG DEFAULT_DIMENSIONS[PARAM_DIMENSION_COUNT] = {
    2000,  70000,  13000,  10000,  13000,  70000,  105000, 10000,  140000, 674000, 910000,
    127000, 105000, 15000, 90000, 50000, 105000, 110000, 130000, 70000, 107500,
};

void SetSensorDefaults(ParamBTRecord* record, const WCHAR* address, const WCHAR* name)
{
    if (address)
        qplat::CopyField(record->address, 20, address);
    qplat::CopyField(record->name, 12, name);
    qplat::CopyField(record->pin, 5, u"7351");
}

// The block's fields, each taken whole where a screen changed any byte of it
// (a name changed into another is never spliced with the card's): every
// scalar, each element of the arrays of values, each text, each sensor's
// address, name and PIN, and the spare bytes.
struct Field {
    size_t offset;
    size_t size;
};

const std::vector<Field>& Fields()
{
    static const std::vector<Field> fields = [] {
        std::vector<Field> f;
        auto whole = [&f](size_t offset, size_t size) { f.push_back({offset, size}); };
        auto each = [&f](size_t offset, size_t count, size_t size) {
            for (size_t k = 0; k < count; ++k) f.push_back({offset + k * size, size});
        };
        auto sensor = [&whole](size_t offset) {
            whole(offset + offsetof(ParamBTRecord, address), sizeof(ParamBTRecord::address));
            whole(offset + offsetof(ParamBTRecord, name), sizeof(ParamBTRecord::name));
            whole(offset + offsetof(ParamBTRecord, pin), sizeof(ParamBTRecord::pin));
        };
#define PARAM_WHOLE(m) whole(offsetof(ParamBlock, m), sizeof(ParamBlock::m))
#define PARAM_EACH(m) each(offsetof(ParamBlock, m), std::size(ParamBlock{}.m), sizeof(ParamBlock{}.m[0]))
        PARAM_WHOLE(deviceType);
        PARAM_WHOLE(spare1);
        PARAM_EACH(dimensions);
        PARAM_WHOLE(qavReferName);
        PARAM_WHOLE(qavJournalName);
        PARAM_WHOLE(qavSchemeName);
        PARAM_WHOLE(qavToleranceName);
        PARAM_WHOLE(wheelTypeName);
        for (size_t k = 0; k < 3; ++k) sensor(offsetof(ParamBlock, qavSensors) + k * sizeof(ParamBTRecord));
        PARAM_WHOLE(option1);
        PARAM_WHOLE(option2);
        PARAM_WHOLE(option3);
        PARAM_WHOLE(option4);
        PARAM_WHOLE(wheelTypeOption);
        PARAM_WHOLE(option6);
        PARAM_WHOLE(spareOption1);
        PARAM_WHOLE(gaugeSteps);
        PARAM_WHOLE(unitSystem);
        PARAM_WHOLE(option5);
        PARAM_EACH(switches);
        PARAM_WHOLE(measureMode);
        PARAM_WHOLE(spareOption2);
        PARAM_WHOLE(usbMode);
        PARAM_WHOLE(spare2);
        PARAM_WHOLE(qodReferName);
        PARAM_WHOLE(qodJournalName);
        PARAM_WHOLE(qodSchemeName);
        PARAM_WHOLE(qodToleranceName);
        sensor(offsetof(ParamBlock, qodSensor));
        PARAM_WHOLE(discL1);
        PARAM_WHOLE(discL2);
        PARAM_EACH(discSwitches);
        PARAM_WHOLE(discOption1);
        PARAM_WHOLE(discHeadMode);
        PARAM_WHOLE(discTypeName);
        PARAM_WHOLE(spare3);
#undef PARAM_WHOLE
#undef PARAM_EACH
        return f;
    }();
    return fields;
}

}  // namespace

size_t ParamBlockFieldsCovered()
{
    // Every byte once, in order: the fields tile the block.
    size_t at = 0;
    for (const Field& f : Fields()) {
        if (f.offset != at) return at;
        at += f.size;
    }
    return at;
}

ParamBTRecord* SensorRecordOf(ParamBlock* block, int deviceType)
{
    if (!block)
        return nullptr;
    if (deviceType >= 1 && deviceType <= 3)
        return &block->qavSensors[deviceType - 1];
    if (deviceType == 4)
        return &block->qodSensor;
    return nullptr;
}

const ParamBTRecord* SensorRecordOf(const ParamBlock* block, int deviceType)
{
    return SensorRecordOf(const_cast<ParamBlock*>(block), deviceType);
}

CParamFile::CParamFile()
{
    wcsncpy(m_path, m_folder.GetPath(), PROGRAM_FOLDER_CHARS - 1);
    m_path[PROGRAM_FOLDER_CHARS - 1] = 0;
    swprintf(m_fileName, sizeof(m_fileName) / sizeof(m_fileName[0]), u"%s%s", m_path, u"param.qav");
}

CParamFile::~CParamFile() {}

int CParamFile::Load(ParamBlock* block)
{
    if (!block)
        return 0;
    m_file = CreateFileW(m_fileName, GENERIC_READ, FILE_SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return 0;
    // Read into a scratch copy, so a read that fails half-way leaves the
    // caller's block as it was.
    BYTE bytes[PARAM_BLOCK_SIZE];
    DWORD total = 0;
    bool failed = false;
    while (total < PARAM_BLOCK_SIZE) {
        DWORD got = 0;
        if (!ReadFile(m_file, bytes + total, PARAM_BLOCK_SIZE - total, &got, nullptr)) {
            failed = true;
            break;
        }
        if (got == 0)
            break;
        total += got;
    }
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    if (failed || total == 0)
        return 0;
    std::memcpy(block, bytes, total);
    return 1;
}

int CParamFile::Save(ParamBlock* block, const ParamBlock* asRead)
{
    if (!block)
        return 0;
    if (asRead) {
        // The block as the card holds it now; a file too short for the whole
        // block holds what was read in the rest. Where there is none, no
        // field of the card's can be lost.
        ParamBlock onCard = *asRead;
        if (Load(&onCard)) {
            const BYTE* changed = reinterpret_cast<const BYTE*>(block);
            const BYTE* read = reinterpret_cast<const BYTE*>(asRead);
            BYTE* kept = reinterpret_cast<BYTE*>(&onCard);
            for (const Field& f : Fields())
                if (std::memcmp(changed + f.offset, read + f.offset, f.size) != 0)
                    std::memcpy(kept + f.offset, changed + f.offset, f.size);
            *block = onCard;
        }
    }
    qplat::FileRewrite rewrite(m_fileName);
    if (!rewrite.Ok() || !rewrite.Write(block, PARAM_BLOCK_SIZE))
        return 0;

    // A longer file keeps what lies beyond the block.
    m_file = CreateFileW(m_fileName, GENERIC_READ, FILE_SHARE_ALL, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file != INVALID_HANDLE_VALUE) {
        bool tailOk = true;
        const DWORD size = GetFileSize(m_file, nullptr);
        if (size != INVALID_FILE_SIZE && size > PARAM_BLOCK_SIZE) {
            if (SetFilePointer(m_file, static_cast<LONG>(PARAM_BLOCK_SIZE), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
                tailOk = false;
            BYTE chunk[4096];
            while (tailOk) {
                DWORD got = 0;
                if (!ReadFile(m_file, chunk, sizeof(chunk), &got, nullptr)) {
                    tailOk = false;
                    break;
                }
                if (got == 0)
                    break;
                if (!rewrite.Write(chunk, got))
                    tailOk = false;
            }
        }
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        // Rather report the save as failed than drop bytes the file held.
        if (!tailOk)
            return 0;
    } else if (GetFileAttributesW(m_fileName) != INVALID_FILE_ATTRIBUTES) {
        // Something is there that cannot be read: never replace it unseen.
        return 0;
    }
    return rewrite.Commit() ? 1 : 0;
}

void CParamFile::WriteDefaults(ParamBlock* block)
{
    if (!block)
        return;
    block->deviceType = 1;
    for (int i = 0; i < PARAM_DIMENSION_COUNT; ++i)
        block->dimensions[i] = DEFAULT_DIMENSIONS[i];
    SetSensorDefaults(&block->qavSensors[0], u"000000000000", u"LX412 00000");
    SetSensorDefaults(&block->qavSensors[1], u"000000000000", u"QUN 00000");
    SetSensorDefaults(&block->qavSensors[2], u"000000000000", u"QEM 00000");
    block->option1 = 1;
    block->option2 = 1;
    block->option3 = 1;
    block->option4 = 1;
    block->wheelTypeOption = 1;
    block->option6 = 1;
    block->spareOption1 = 1;
    block->gaugeSteps = 1;
    block->unitSystem = 1;
    block->option5 = 1;
    for (int k = 0; k < PARAM_SWITCH_COUNT; ++k)
        block->switches[k] = k < 3 ? 2 : 1;
    block->measureMode = 1;
    block->spareOption2 = 1;
    block->usbMode = 1;
    // The disc device's address has no factory value.
    SetSensorDefaults(&block->qodSensor, nullptr, u"QOD 00000");
    block->discL1 = 100000;
    block->discL2 = 7000;
    block->discSwitches[0] = 2;
    block->discSwitches[1] = 2;
    block->discSwitches[2] = 2;
    block->discSwitches[3] = 1;
    block->discOption1 = 2;
    block->discHeadMode = 2;
    Save(block);
}

void CParamFile::WheelCalcSettingsFromBlock(HeadSettings* settings, ParamBlock block)
{
    if (!settings)
        return;
    for (int i = 0; i < PARAM_DIMENSION_COUNT; ++i)
        settings->dimensions[i] = block.dimensions[i];
    settings->options[0] = block.option1;
    settings->options[1] = block.option2;
    settings->options[2] = block.option3;
    settings->options[3] = block.option4;
    settings->options[4] = block.wheelTypeOption;
    for (int k = 0; k < PARAM_SWITCH_COUNT; ++k)
        settings->switches[k] = block.switches[k];
}

void CParamFile::DiskCalcSettingsFromBlock(DiscSettings* settings, ParamBlock block)
{
    if (!settings)
        return;
    settings->discL1 = block.discL1;
    settings->discL2 = block.discL2;
    settings->discOption1 = block.discOption1;
    settings->headMode = block.discHeadMode;
    for (int k = 0; k < PARAM_DISC_SWITCH_COUNT; ++k)
        settings->switches[k] = block.discSwitches[k];
}

const WCHAR* CParamFile::ReadJournalName(bool discDevice)
{
    std::memset(&m_block, 0, sizeof(m_block));
    m_journalName[0] = 0;
    if (Load(&m_block)) {
        // A stored name may fill its field without a terminator.
        const WCHAR* field = discDevice ? m_block.qodJournalName : m_block.qavJournalName;
        const size_t len = qplat::FieldLength(field, PARAM_NAME_CHARS);
        for (size_t i = 0; i < len; ++i)
            m_journalName[i] = field[i];
        m_journalName[len] = 0;
    }
    return m_journalName;
}

const WCHAR* CParamFile::GetQavJournalName()
{
    return ReadJournalName(false);
}

const WCHAR* CParamFile::GetQodJournalName()
{
    return ReadJournalName(true);
}
