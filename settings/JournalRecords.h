// The two measurement records of the journals: one fixed-size record per
// measured position, stored byte for byte as held here (little-endian, texts
// as zero-terminated UTF-16 in fixed fields that may lack the terminator when
// read back). Every field lies at its natural alignment, so the structs have
// exactly the stored layout without a packing pragma and any field's address
// may be taken; the static_asserts hold the layout in place.
//
// A record is cleared to zero when a measurement starts and filled field by
// field; a field nobody writes stays zero.
#pragma once

#include <bit>
#include <cstddef>
#include <type_traits>

#include "platform/WinDef.h"
#include "settings/DiscResult.h"
#include "settings/ProfilePoint.h"
#include "settings/WheelResult.h"

constexpr DWORD QAV_RECORD_SIZE = 24088;
constexpr DWORD QOD_RECORD_SIZE = 47068;
// Profile heights a record keeps per profile (one per point).
constexpr int RECORD_PROFILE_POINTS = 5800;
// Result words a wheel record keeps: value words 0..2 and 4..34 (word 3 has no
// place in the record).
constexpr int QAV_RECORD_VALUE_WORDS = 34;
constexpr int QAV_RECORD_DIMENSIONS = 21;

// The texts both records begin with (offsets 0..339) are repeated in each
// struct, so that callers reach them the same way in both.
//
// side: one decimal digit, "0" left, "1" right, "2" middle.
// Search keys of the position search and the journal filter: date, carName,
// carNumber, axleName (and wheelName and side for the position search).
struct QavJournalRecord {
    WCHAR date[10];        // "dd/mm/yy"
    WCHAR time[10];        // "hh:mm:ss"
    WCHAR wheelName[13];   // the position's name in the scheme
    WCHAR carName[20];
    WCHAR carNumber[20];
    WCHAR side[2];
    WCHAR axleName[10];
    WCHAR spareText1[5];
    WCHAR axleName2[10];   // the axle's second name
    WCHAR trainName[20];
    WCHAR referName[50];   // reference profile chosen when the record data were confirmed

    WCHAR sensorName1[12];  // Bluetooth name of the device type 1 head
    WCHAR sensorName2[12];  // ... of the type 2 gauge
    WCHAR sensorName3[12];  // ... of the type 3 gauge
    // Heights z of the profile, one per point; x of point i is
    // firstX + i * step, the step derived from stepRegister as the resampling
    // derives it. Points past the stored profile are zero.
    LONG profileZ[RECORD_PROFILE_POINTS];
    LONG firstX;
    LONG stepRegister;  // the head's x-step register (16-bit, widened)
    // WheelResult value words 0, 1, 2, then 4 to 34 (words 27..34 hold a type 3
    // gauge measurement: step count, result and six step values). Reach them
    // by word number through GetQavRecordValue / SetQavRecordValue.
    LONG values0to2[3];
    LONG values4to34[31];
    LONG dimensions[QAV_RECORD_DIMENSIONS];  // the HeadSettings the values were computed with
    BYTE options[4];                         // block bytes 810, 811, 812, 814
    BYTE option813;                          // block byte 813 at saving
    BYTE option815;                          // block byte 815 at saving
    WCHAR spareText2[20];
    WCHAR positionText[100];  // the wheel position's text of the measuring scheme
    BYTE spare[2];
};


struct QodJournalRecord {
    WCHAR date[10];
    WCHAR time[10];
    WCHAR wheelName[13];
    WCHAR carName[20];
    WCHAR carNumber[20];
    WCHAR side[2];
    WCHAR axleName[10];
    WCHAR spareText1[5];
    WCHAR axleName2[10];
    WCHAR trainName[20];
    WCHAR referName[50];

    WCHAR sensorName[12];  // Bluetooth name of the disc device
    LONG profileA[RECORD_PROFILE_POINTS];  // heights z of side A; the first countA are written
    LONG profileB[RECORD_PROFILE_POINTS];  // heights z of side B; the first countB are written
    LONG firstXA;
    LONG stepRegisterA;  // head 1's x-step register; 0 when countA is 0
    LONG countA;
    LONG firstXB;
    LONG stepRegisterB;  // head 2's with two heads, else head 1's; 0 when countB is 0
    LONG countB;
    // DiscResult value words, in the record's own order.
    LONG discValue0;
    LONG discValue3;
    LONG discValue1;
    LONG discValue4;
    LONG discValue6;
    LONG spareWord;
    LONG discValue2;
    LONG discValue5;
    LONG discL1;  // disc dimensions: read back, never stored by the program
    LONG discL2;
    WCHAR spareText2[20];
    WCHAR positionText[100];
};

static_assert(std::endian::native == std::endian::little, "records are stored as held: little-endian");
static_assert(std::is_standard_layout_v<QavJournalRecord> && std::is_trivially_copyable_v<QavJournalRecord>);
static_assert(std::is_standard_layout_v<QodJournalRecord> && std::is_trivially_copyable_v<QodJournalRecord>);

#define JOURNAL_HEAD_OFFSETS(R)                                                     \
    static_assert(offsetof(R, date) == 0);                                              \
    static_assert(offsetof(R, time) == 20);                                             \
    static_assert(offsetof(R, wheelName) == 40);                                        \
    static_assert(offsetof(R, carName) == 66);                                          \
    static_assert(offsetof(R, carNumber) == 106);                                       \
    static_assert(offsetof(R, side) == 146);                                            \
    static_assert(offsetof(R, axleName) == 150);                                        \
    static_assert(offsetof(R, spareText1) == 170);                                      \
    static_assert(offsetof(R, axleName2) == 180);                                       \
    static_assert(offsetof(R, trainName) == 200);                                       \
    static_assert(offsetof(R, referName) == 240);                                       \
    static_assert(offsetof(R, referName) + sizeof(R::referName) == 340)
JOURNAL_HEAD_OFFSETS(QavJournalRecord);
JOURNAL_HEAD_OFFSETS(QodJournalRecord);
#undef JOURNAL_HEAD_OFFSETS

static_assert(sizeof(QavJournalRecord) == QAV_RECORD_SIZE);
static_assert(offsetof(QavJournalRecord, sensorName1) == 340);
static_assert(offsetof(QavJournalRecord, sensorName2) == 364);
static_assert(offsetof(QavJournalRecord, sensorName3) == 388);
static_assert(offsetof(QavJournalRecord, profileZ) == 412);
static_assert(offsetof(QavJournalRecord, firstX) == 23612);
static_assert(offsetof(QavJournalRecord, stepRegister) == 23616);
static_assert(offsetof(QavJournalRecord, values0to2) == 23620);
static_assert(offsetof(QavJournalRecord, values4to34) == 23632);
static_assert(offsetof(QavJournalRecord, values4to34) + 4 * (7 - 4) == 23644);    // the type 2 gauge value
static_assert(offsetof(QavJournalRecord, values4to34) + 4 * (27 - 4) == 23724);   // the type 3 gauge words
static_assert(offsetof(QavJournalRecord, dimensions) == 23756);
static_assert(offsetof(QavJournalRecord, options) == 23840);
static_assert(offsetof(QavJournalRecord, option813) == 23844);
static_assert(offsetof(QavJournalRecord, option815) == 23845);
static_assert(offsetof(QavJournalRecord, spareText2) == 23846);
static_assert(offsetof(QavJournalRecord, positionText) == 23886);
static_assert(offsetof(QavJournalRecord, spare) == 24086);

static_assert(sizeof(QodJournalRecord) == QOD_RECORD_SIZE);
static_assert(offsetof(QodJournalRecord, sensorName) == 340);
static_assert(offsetof(QodJournalRecord, profileA) == 364);
static_assert(offsetof(QodJournalRecord, profileB) == 23564);
static_assert(offsetof(QodJournalRecord, firstXA) == 46764);
static_assert(offsetof(QodJournalRecord, stepRegisterA) == 46768);
static_assert(offsetof(QodJournalRecord, countA) == 46772);
static_assert(offsetof(QodJournalRecord, firstXB) == 46776);
static_assert(offsetof(QodJournalRecord, stepRegisterB) == 46780);
static_assert(offsetof(QodJournalRecord, countB) == 46784);
static_assert(offsetof(QodJournalRecord, discValue0) == 46788);
static_assert(offsetof(QodJournalRecord, discValue3) == 46792);
static_assert(offsetof(QodJournalRecord, discValue1) == 46796);
static_assert(offsetof(QodJournalRecord, discValue4) == 46800);
static_assert(offsetof(QodJournalRecord, discValue6) == 46804);
static_assert(offsetof(QodJournalRecord, spareWord) == 46808);
static_assert(offsetof(QodJournalRecord, discValue2) == 46812);
static_assert(offsetof(QodJournalRecord, discValue5) == 46816);
static_assert(offsetof(QodJournalRecord, discL1) == 46820);
static_assert(offsetof(QodJournalRecord, discL2) == 46824);
static_assert(offsetof(QodJournalRecord, spareText2) == 46828);
static_assert(offsetof(QodJournalRecord, positionText) == 46868);

// ---- Result words of a wheel record by WheelResult word number.
// Word 3 and numbers outside 0..34 have no place: the getter gives 0 and the
// setter does nothing.
LONG GetQavRecordValue(const QavJournalRecord& record, int word);
void SetQavRecordValue(QavJournalRecord* record, int word, LONG value);

// ---- Result words of a disc record by DiscResult word number (0..6; word 7
// has no place).
LONG GetQodRecordValue(const QodJournalRecord& record, int word);
void SetQodRecordValue(QodJournalRecord* record, int word, LONG value);

// ---- Storing profiles. The profile area is cleared first, so a shorter
// profile never leaves the tail of a longer earlier one behind in a reused
// record. At most RECORD_PROFILE_POINTS points are kept; firstX is the x of
// point 0 (0 for an empty profile).
void StoreQavProfile(QavJournalRecord* record, const ProfilePoint* points, DWORD count, LONG stepRegister);
// side 0 is side A, side 1 side B. An empty side stores 0 for its first x,
// step register and count, as a one-head measurement does for side B.
void StoreQodProfile(QodJournalRecord* record, int side, const ProfilePoint* points, DWORD count,
                     LONG stepRegister);

// ---- Storing results, exactly the words the device type's record keeps:
// type 1 words 0..2 and 4..26, type 2 word 7 (the gauge value), type 3 words
// 27..34 (the gauge steps). Other words of the record are left as they are.
void StoreQavResult(QavJournalRecord* record, const WheelResult& result, int deviceType);
// The seven stored disc words (0..6).
void StoreQodResult(QodJournalRecord* record, const DiscResult& result);
