// The operations of CParamFile that read a stored measurement record back:
// the result words for re-grading and export, and the settings the values
// were computed with.
#include "settings/JournalRecords.h"
#include "settings/ParamFile.h"

void CParamFile::CalcSettingsFromQavRecord(WheelResult* result, const QavJournalRecord& record)
{
    if (result == nullptr) return;
    // Word 3 has no place in the record; it and the grading status stay as
    // the caller had them.
    for (int word = 0; word < kWheelValueCount; ++word) {
        if (word != 3) result->values[word] = GetQavRecordValue(record, word);
    }
}

void CParamFile::CalcSettingsFromQodRecord(DiscResult* result, const QodJournalRecord& record)
{
    if (result == nullptr) return;
    for (int word = 0; word < 7; ++word) result->values[word] = GetQodRecordValue(record, word);
}

void CParamFile::QavRecordSettings(HeadSettings* settings, const QavJournalRecord& record)
{
    if (settings == nullptr) return;
    for (int i = 0; i < PARAM_DIMENSION_COUNT; ++i) settings->dimensions[i] = record.dimensions[i];
    // The record keeps block bytes 810, 811, 812 and 814; option 4 (813) is
    // stored apart and not taken back here.
    settings->options[0] = record.options[0];
    settings->options[1] = record.options[1];
    settings->options[2] = record.options[2];
    settings->options[4] = record.options[3];
}

void CParamFile::QodRecordSettings(DiscSettings* settings, const QodJournalRecord& record)
{
    if (settings == nullptr) return;
    settings->discL1 = record.discL1;
    settings->discL2 = record.discL2;
}
