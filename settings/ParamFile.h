// The settings block "param.qav" and its reader and writer.
//
// The block is stored whole (1436 bytes, no header, no checksum), little-endian,
// texts as zero-terminated UTF-16 in fixed fields. Every field lies at its
// natural alignment, so the struct below has exactly the stored layout without
// any packing pragma (and callers may take the address of any field); the
// static_asserts after it hold that layout in place.
#pragma once

#include <bit>
#include <cstddef>
#include <type_traits>

#include "platform/WinDef.h"
#include "settings/ProgramFolder.h"

// Length of the name fields of the block (characters, terminator included).
constexpr int PARAM_NAME_CHARS = 50;
constexpr int PARAM_DIMENSION_COUNT = 21;
constexpr int PARAM_SWITCH_COUNT = 22;
constexpr int PARAM_DISC_SWITCH_COUNT = 4;
constexpr DWORD PARAM_BLOCK_SIZE = 1436;

// Indexes of the wheel dimensions, in the block's order (there is no "L14").
enum ParamDimension {
    DIM_L1, DIM_L2, DIM_L3, DIM_L4, DIM_L5, DIM_L6, DIM_L7, DIM_L8, DIM_L9, DIM_L10, DIM_L11,
    DIM_L12, DIM_L13, DIM_L15, DIM_L16, DIM_P7_1, DIM_P7_2, DIM_P8_1, DIM_P8_2, DIM_D1, DIM_D2
};

// The names of the dimensions as the operator sees them: the 21 wheel
// dimensions in ParamDimension order, then the disc's "L1" (discL1) and "L2"
// (discL2).
constexpr int PARAM_NAME_COUNT = PARAM_DIMENSION_COUNT + 2;
extern const WCHAR* const g_paramNames[PARAM_NAME_COUNT];

// The paired sensor of one device type: the same 74-byte shape for all four.
struct ParamBTRecord {
    WCHAR address[20];  // 12 hexadecimal digits
    WCHAR name[12];     // model word, blank, five-digit serial
    WCHAR pin[5];       // four decimal digits
};

struct ParamBlock {
    BYTE deviceType;  // 1 head, 2 and 3 the gauges (the QAV family); 4 the disc device (QOD)
    BYTE spare1[3];
    LONG dimensions[PARAM_DIMENSION_COUNT];  // micrometres, by ParamDimension
    WCHAR qavReferName[PARAM_NAME_CHARS];
    WCHAR qavJournalName[PARAM_NAME_CHARS];
    WCHAR qavSchemeName[PARAM_NAME_CHARS];
    WCHAR qavToleranceName[PARAM_NAME_CHARS];
    WCHAR wheelTypeName[PARAM_NAME_CHARS];
    ParamBTRecord qavSensors[3];  // device types 1, 2 and 3
    BYTE option1;                 // 810: base of the flange-thickness level
    BYTE option2;                 // 811: flange-thickness variant (1..3; screens also know 4)
    BYTE option3;                 // 812: upper point of the flange slope
    BYTE option4;                 // 813: how the flange slope is reported
    BYTE wheelTypeOption;         // 814
    BYTE option6;                 // 815: coordinates of the profile display
    BYTE spareOption1;            // 816
    BYTE gaugeSteps;              // 817: 1, 3 or 6
    BYTE unitSystem;              // 818: 1 millimetres, 2 inches
    BYTE option5;                 // 819: averaging
    BYTE switches[PARAM_SWITCH_COUNT];  // 820+k: measured-value switch k, 2 on, 1 off
    BYTE measureMode;             // 842: 0 along a scheme, otherwise single measurement
    BYTE spareOption2;            // 843
    BYTE usbMode;                 // 844: 0 mass storage, 1 serial
    BYTE spare2;
    WCHAR qodReferName[PARAM_NAME_CHARS];
    WCHAR qodJournalName[PARAM_NAME_CHARS];
    WCHAR qodSchemeName[PARAM_NAME_CHARS];
    WCHAR qodToleranceName[PARAM_NAME_CHARS];
    ParamBTRecord qodSensor;  // device type 4
    LONG discL1;
    LONG discL2;
    BYTE discSwitches[PARAM_DISC_SWITCH_COUNT];  // 2 on
    BYTE discOption1;   // 1332: tilt correction
    BYTE discHeadMode;  // 1333: 2 two heads, 1 one head
    WCHAR discTypeName[PARAM_NAME_CHARS];
    BYTE spare3[2];
};

static_assert(std::endian::native == std::endian::little, "the stored records are little-endian");
static_assert(std::is_standard_layout_v<ParamBlock> && std::is_trivially_copyable_v<ParamBlock>);
static_assert(sizeof(ParamBTRecord) == 74);
static_assert(sizeof(ParamBlock) == PARAM_BLOCK_SIZE);
static_assert(offsetof(ParamBlock, deviceType) == 0);
static_assert(offsetof(ParamBlock, spare1) == 1);
static_assert(offsetof(ParamBlock, dimensions) == 4);
static_assert(offsetof(ParamBlock, qavReferName) == 88);
static_assert(offsetof(ParamBlock, qavJournalName) == 188);
static_assert(offsetof(ParamBlock, qavSchemeName) == 288);
static_assert(offsetof(ParamBlock, qavToleranceName) == 388);
static_assert(offsetof(ParamBlock, wheelTypeName) == 488);
static_assert(offsetof(ParamBlock, qavSensors) == 588);
static_assert(offsetof(ParamBlock, qavSensors) + offsetof(ParamBTRecord, name) == 628);
static_assert(offsetof(ParamBlock, qavSensors) + offsetof(ParamBTRecord, pin) == 652);
static_assert(offsetof(ParamBlock, qavSensors) + sizeof(ParamBTRecord) == 662);
static_assert(offsetof(ParamBlock, qavSensors) + sizeof(ParamBTRecord) + offsetof(ParamBTRecord, name) == 702);
static_assert(offsetof(ParamBlock, qavSensors) + sizeof(ParamBTRecord) + offsetof(ParamBTRecord, pin) == 726);
static_assert(offsetof(ParamBlock, qavSensors) + 2 * sizeof(ParamBTRecord) == 736);
static_assert(offsetof(ParamBlock, qavSensors) + 2 * sizeof(ParamBTRecord) + offsetof(ParamBTRecord, name) == 776);
static_assert(offsetof(ParamBlock, qavSensors) + 2 * sizeof(ParamBTRecord) + offsetof(ParamBTRecord, pin) == 800);
static_assert(offsetof(ParamBlock, option1) == 810);
static_assert(offsetof(ParamBlock, option2) == 811);
static_assert(offsetof(ParamBlock, option3) == 812);
static_assert(offsetof(ParamBlock, option4) == 813);
static_assert(offsetof(ParamBlock, wheelTypeOption) == 814);
static_assert(offsetof(ParamBlock, option6) == 815);
static_assert(offsetof(ParamBlock, spareOption1) == 816);
static_assert(offsetof(ParamBlock, gaugeSteps) == 817);
static_assert(offsetof(ParamBlock, unitSystem) == 818);
static_assert(offsetof(ParamBlock, option5) == 819);
static_assert(offsetof(ParamBlock, switches) == 820);
static_assert(offsetof(ParamBlock, measureMode) == 842);
static_assert(offsetof(ParamBlock, spareOption2) == 843);
static_assert(offsetof(ParamBlock, usbMode) == 844);
static_assert(offsetof(ParamBlock, spare2) == 845);
static_assert(offsetof(ParamBlock, qodReferName) == 846);
static_assert(offsetof(ParamBlock, qodJournalName) == 946);
static_assert(offsetof(ParamBlock, qodSchemeName) == 1046);
static_assert(offsetof(ParamBlock, qodToleranceName) == 1146);
static_assert(offsetof(ParamBlock, qodSensor) == 1246);
static_assert(offsetof(ParamBlock, qodSensor) + offsetof(ParamBTRecord, name) == 1286);
static_assert(offsetof(ParamBlock, qodSensor) + offsetof(ParamBTRecord, pin) == 1310);
static_assert(offsetof(ParamBlock, discL1) == 1320);
static_assert(offsetof(ParamBlock, discL2) == 1324);
static_assert(offsetof(ParamBlock, discSwitches) == 1328);
static_assert(offsetof(ParamBlock, discOption1) == 1332);
static_assert(offsetof(ParamBlock, discHeadMode) == 1333);
static_assert(offsetof(ParamBlock, discTypeName) == 1334);
static_assert(offsetof(ParamBlock, spare3) == 1434);

// How many bytes from the block's start its fields, in order, cover without a
// gap or an overlap (PARAM_BLOCK_SIZE: every byte is one field's).
size_t ParamBlockFieldsCovered();

// The Bluetooth record of a device type (1 to 4), or nullptr for any other type.
ParamBTRecord* SensorRecordOf(ParamBlock* block, int deviceType);
const ParamBTRecord* SensorRecordOf(const ParamBlock* block, int deviceType);

// Calculation settings of the wheel family, handed to the calculation by value.
struct HeadSettings {
    LONG dimensions[PARAM_DIMENSION_COUNT];  // block bytes 4..87
    LONG spare;                              // never set
    BYTE options[5];                         // block bytes 810, 811, 812, 813, 814
    BYTE spare2;
    BYTE switches[PARAM_SWITCH_COUNT];  // block bytes 820..841: switch k is byte 820+k
};
static_assert(sizeof(HeadSettings) == 116);
static_assert(offsetof(HeadSettings, options) == 88);
static_assert(offsetof(HeadSettings, switches) == 94);

// Calculation settings of the disc device.
struct DiscSettings {
    LONG discL1;
    LONG discL2;
    BYTE spare;
    BYTE discOption1;  // block byte 1332
    BYTE headMode;     // block byte 1333
    BYTE switches[PARAM_DISC_SWITCH_COUNT];  // block bytes 1328..1331
};
static_assert(sizeof(DiscSettings) == 16);
static_assert(offsetof(DiscSettings, discOption1) == 9);
static_assert(offsetof(DiscSettings, switches) == 11);

// Reads and writes "param.qav" in the program folder. Each operation opens and
// closes the file itself; nothing is kept between operations.
class CParamFile {
public:
    CParamFile();
    virtual ~CParamFile();

    CParamFile(const CParamFile&) = delete;
    CParamFile& operator=(const CParamFile&) = delete;

    // Reads up to 1436 bytes into the block; bytes the file does not hold keep
    // what the caller put there. 1 when at least one byte was read, else 0
    // (a missing or empty file, or a null block).
    int Load(ParamBlock* block);
    // Writes the whole block; 1 only when all 1436 bytes reached the file.
    // The file is replaced as a whole, so a failed save leaves the old file as
    // it was; bytes a longer file holds beyond the block are kept. With
    // `asRead`, the block the caller read and changed into `block`, only the
    // fields it changed are written, onto the block as the card holds it
    // now (a field another screen, a PC or another card put there stays),
    // and `block` becomes what was written; where the card holds what was
    // read, that is `block` itself, byte for byte.
    int Save(ParamBlock* block, const ParamBlock* asRead = nullptr);
    // Puts the factory defaults into the block (fields without a default keep
    // what they hold) and saves it. A failed save is not reported.
    void WriteDefaults(ParamBlock* block);

    void WheelCalcSettingsFromBlock(HeadSettings* settings, ParamBlock block);
    void DiskCalcSettingsFromBlock(DiscSettings* settings, ParamBlock block);

    // The current journal names stored in the file; empty when it cannot be
    // read. The text lives in this object until the next call.
    const WCHAR* GetQavJournalName();
    const WCHAR* GetQodJournalName();

    // The file's full name.
    const WCHAR* FileName() const { return m_fileName; }

    // ---- Record operations (ParamRecord.cpp) ----
    // Restore what a stored journal record keeps. The wheel result gets value
    // words 0..2 and 4..34 (word 3, MinY and the status bytes stay as they
    // were); the disc result gets words 0..6 (word 7 and the status bytes stay).
    void CalcSettingsFromQavRecord(struct WheelResult* result, const struct QavJournalRecord& record);
    void CalcSettingsFromQodRecord(struct DiscResult* result, const struct QodJournalRecord& record);
    // The calculation settings kept in a record: the 21 dimensions and the
    // options of block bytes 810, 811, 812 and 814 (a wheel record), disc "L1"
    // and "L2" (a disc record). Other fields stay as they were.
    void QavRecordSettings(HeadSettings* settings, const struct QavJournalRecord& record);
    void QodRecordSettings(DiscSettings* settings, const struct QodJournalRecord& record);
    // ---- end of record operations ----

private:
    const WCHAR* ReadJournalName(bool discDevice);

    CProgramFolder m_folder;
    WCHAR m_path[PROGRAM_FOLDER_CHARS] = {};
    HANDLE m_file = INVALID_HANDLE_VALUE;
    ParamBlock m_block = {};
    WCHAR m_fileName[PROGRAM_FOLDER_CHARS + 16] = {};
    WCHAR m_journalName[PARAM_NAME_CHARS + 1] = {};
};
