#include "settings/JournalRecords.h"

#include <cstring>

namespace {

// Where DiscResult word k lives in a disc record: the record keeps them in
// an order of its own, with a spare word between words 6 and 2.
LONG QodJournalRecord::* const kDiscWordField[7] = {
    &QodJournalRecord::discValue0, &QodJournalRecord::discValue1, &QodJournalRecord::discValue2,
    &QodJournalRecord::discValue3, &QodJournalRecord::discValue4, &QodJournalRecord::discValue5,
    &QodJournalRecord::discValue6,
};

void StoreHeights(LONG* area, const ProfilePoint* points, DWORD count)
{
    std::memset(area, 0, sizeof(LONG) * RECORD_PROFILE_POINTS);
    if (points == nullptr) return;
    for (DWORD i = 0; i < count; ++i) area[i] = points[i].z;
}

DWORD BoundedCount(const ProfilePoint* points, DWORD count)
{
    if (points == nullptr) return 0;
    return count < static_cast<DWORD>(RECORD_PROFILE_POINTS) ? count : static_cast<DWORD>(RECORD_PROFILE_POINTS);
}

}  // namespace

LONG GetQavRecordValue(const QavJournalRecord& record, int word)
{
    if (word >= 0 && word <= 2) return record.values0to2[word];
    if (word >= 4 && word < kWheelValueCount) return record.values4to34[word - 4];
    return 0;
}

void SetQavRecordValue(QavJournalRecord* record, int word, LONG value)
{
    if (record == nullptr) return;
    if (word >= 0 && word <= 2)
        record->values0to2[word] = value;
    else if (word >= 4 && word < kWheelValueCount)
        record->values4to34[word - 4] = value;
}

LONG GetQodRecordValue(const QodJournalRecord& record, int word)
{
    if (word < 0 || word >= 7) return 0;
    return record.*kDiscWordField[word];
}

void SetQodRecordValue(QodJournalRecord* record, int word, LONG value)
{
    if (record == nullptr || word < 0 || word >= 7) return;
    record->*kDiscWordField[word] = value;
}

void StoreQavProfile(QavJournalRecord* record, const ProfilePoint* points, DWORD count, LONG stepRegister)
{
    if (record == nullptr) return;
    const DWORD n = BoundedCount(points, count);
    StoreHeights(record->profileZ, points, n);
    record->firstX = n > 0 ? points[0].x : 0;
    record->stepRegister = stepRegister;
}

void StoreQodProfile(QodJournalRecord* record, int side, const ProfilePoint* points, DWORD count, LONG stepRegister)
{
    if (record == nullptr || (side != 0 && side != 1)) return;
    const DWORD n = BoundedCount(points, count);
    LONG* area = side == 0 ? record->profileA : record->profileB;
    StoreHeights(area, points, n);
    const LONG firstX = n > 0 ? points[0].x : 0;
    const LONG step = n > 0 ? stepRegister : 0;
    if (side == 0) {
        record->firstXA = firstX;
        record->stepRegisterA = step;
        record->countA = static_cast<LONG>(n);
    } else {
        record->firstXB = firstX;
        record->stepRegisterB = step;
        record->countB = static_cast<LONG>(n);
    }
}

void StoreQavResult(QavJournalRecord* record, const WheelResult& result, int deviceType)
{
    if (record == nullptr) return;
    switch (deviceType) {
    case 1:
        for (int word = 0; word <= 26; ++word) SetQavRecordValue(record, word, result.values[word]);
        break;
    case 2:
        SetQavRecordValue(record, 7, result.values[7]);
        break;
    case 3:
        for (int word = 27; word < kWheelValueCount; ++word) SetQavRecordValue(record, word, result.values[word]);
        break;
    default:
        break;
    }
}

void StoreQodResult(QodJournalRecord* record, const DiscResult& result)
{
    if (record == nullptr) return;
    for (int word = 0; word < 7; ++word) SetQodRecordValue(record, word, result.values[word]);
}
