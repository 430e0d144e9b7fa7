// The measurement records as stored bytes: where each result word lands,
// what a restore leaves alone, and how profiles are stored into reused
// records.
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

#include "FixedRecordTestRoot.h"
#include "settings/ParamFile.h"
#include "tests/support/Fields.h"

namespace {

using recordtest::Zeroed;

template <class Record>
LONG WordAt(const Record& rec, size_t offset)
{
    LONG v;
    std::memcpy(&v, reinterpret_cast<const uint8_t*>(&rec) + offset, sizeof v);
    return v;
}

TEST(RecordLayout, WheelResultWordsLandAtTheirOffsets)
{
    auto rec = Zeroed<QavJournalRecord>();
    for (int word = 0; word < kWheelValueCount; ++word) SetQavRecordValue(rec.get(), word, 1000 + word);
    for (int word = 0; word <= 2; ++word) EXPECT_EQ(1000 + word, WordAt(*rec, 23620 + 4 * word)) << word;
    for (int word = 4; word < kWheelValueCount; ++word) EXPECT_EQ(1000 + word, WordAt(*rec, 23616 + 4 * word)) << word;
    // Word 3 has no place: nothing outside the result area was written.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(WordAt(*rec, 23616), 0), FIELD_IS(WordAt(*rec, 23756), 0),
                                 FIELD_IS(GetQavRecordValue(*rec, 3), 0), FIELD_IS(GetQavRecordValue(*rec, 35), 0),
                                 FIELD_IS(GetQavRecordValue(*rec, -1), 0)));
}

TEST(RecordLayout, DiscResultWordsLandInTheRecordsOwnOrder)
{
    auto rec = Zeroed<QodJournalRecord>();
    DiscResult result{};
    for (int k = 0; k < kDiscValueCount; ++k) result.values[k] = 10 * (k + 1);
    StoreQodResult(rec.get(), result);
    const size_t offsetOfWord[7] = {46788, 46796, 46812, 46792, 46800, 46816, 46804};
    for (int k = 0; k < 7; ++k) EXPECT_EQ(10 * (k + 1), WordAt(*rec, offsetOfWord[k])) << k;
    EXPECT_EQ(0, WordAt(*rec, 46808));  // the spare word between 6 and 2
    EXPECT_EQ(0, WordAt(*rec, 46820));
}

TEST(RecordLayout, StoringResultsKeepsToTheDeviceTypesWords)
{
    WheelResult result{};
    for (int k = 0; k < kWheelValueCount; ++k) result.values[k] = k + 1;

    auto gauge = Zeroed<QavJournalRecord>();
    StoreQavResult(gauge.get(), result, 2);
    for (int k = 0; k < kWheelValueCount; ++k) EXPECT_EQ(k == 7 ? 8 : 0, GetQavRecordValue(*gauge, k)) << k;

    auto steps = Zeroed<QavJournalRecord>();
    StoreQavResult(steps.get(), result, 3);
    for (int k = 0; k < kWheelValueCount; ++k)
        EXPECT_EQ(k >= 27 ? k + 1 : 0, GetQavRecordValue(*steps, k)) << k;

    auto head = Zeroed<QavJournalRecord>();
    StoreQavResult(head.get(), result, 1);
    for (int k = 0; k < kWheelValueCount; ++k)
        EXPECT_EQ(k != 3 && k <= 26 ? k + 1 : 0, GetQavRecordValue(*head, k)) << k;
}

TEST(RecordLayout, RestoringAWheelResultLeavesWordThreeMinYAndStatus)
{
    auto rec = Zeroed<QavJournalRecord>();
    for (int word = 0; word < kWheelValueCount; ++word) SetQavRecordValue(rec.get(), word, -50 - word);
    WheelResult result;
    std::memset(&result, 0x11, sizeof result);
    const WheelResult before = result;
    CParamFile file;
    file.CalcSettingsFromQavRecord(&result, *rec);
    for (int word = 0; word < kWheelValueCount; ++word) {
        if (word == 3)
            EXPECT_EQ(before.values[3], result.values[3]);
        else
            EXPECT_EQ(-50 - word, result.values[word]) << word;
    }
    EXPECT_EQ(before.MinY, result.MinY);
    EXPECT_EQ(0, std::memcmp(before.status, result.status, sizeof result.status));
    file.CalcSettingsFromQavRecord(nullptr, *rec);  // nothing to fill
}

TEST(RecordLayout, RestoringADiscResultLeavesWordSevenAndStatus)
{
    auto rec = Zeroed<QodJournalRecord>();
    for (int k = 0; k < 7; ++k) SetQodRecordValue(rec.get(), k, 700 + k);
    DiscResult result;
    std::memset(&result, 0x22, sizeof result);
    const DiscResult before = result;
    CParamFile file;
    file.CalcSettingsFromQodRecord(&result, *rec);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(700 + k, result.values[k]);
    EXPECT_EQ(before.values[7], result.values[7]);
    EXPECT_EQ(0, std::memcmp(before.status, result.status, sizeof result.status));
}

TEST(RecordLayout, SettingsKeptInRecordsComeBack)
{
    auto rec = Zeroed<QavJournalRecord>();
    for (int i = 0; i < QAV_RECORD_DIMENSIONS; ++i) rec->dimensions[i] = 1000 * (i + 1);
    rec->options[0] = 1;
    rec->options[1] = 3;
    rec->options[2] = 2;
    rec->options[3] = 7;  // block byte 814
    rec->option813 = 2;
    HeadSettings settings;
    std::memset(&settings, 0x33, sizeof settings);
    CParamFile file;
    file.QavRecordSettings(&settings, *rec);
    for (int i = 0; i < QAV_RECORD_DIMENSIONS; ++i) EXPECT_EQ(1000 * (i + 1), settings.dimensions[i]);
    // Block byte 813 (option 4) is not taken back.
    EXPECT_EQ(std::vector<BYTE>({1, 3, 2, 0x33, 7}), std::vector<BYTE>(settings.options, settings.options + 5));
    EXPECT_EQ(0x33, settings.switches[0]);

    auto disc = Zeroed<QodJournalRecord>();
    disc->discL1 = 100000;
    disc->discL2 = 7000;
    DiscSettings ds;
    std::memset(&ds, 0x44, sizeof ds);
    file.QodRecordSettings(&ds, *disc);
    EXPECT_EQ(100000, ds.discL1);
    EXPECT_EQ(7000, ds.discL2);
    EXPECT_EQ(0x44, ds.headMode);
}

TEST(RecordLayout, ShorterProfileLeavesNoTailOfAnEarlierOne)
{
    std::vector<ProfilePoint> points(RECORD_PROFILE_POINTS + 10);
    for (size_t i = 0; i < points.size(); ++i) points[i] = {LONG(5000 + 20 * i), LONG(i + 1)};

    auto rec = Zeroed<QavJournalRecord>();
    // A first measurement longer than the record holds: cut at 5800.
    StoreQavProfile(rec.get(), points.data(), DWORD(points.size()), 200);
    EXPECT_EQ(LONG(RECORD_PROFILE_POINTS), rec->profileZ[RECORD_PROFILE_POINTS - 1]);
    EXPECT_EQ(0, rec->values0to2[0]);  // nothing written past the area

    // The same record measured again with 1200 points.
    StoreQavProfile(rec.get(), points.data() + 3, 1200, 150);
    EXPECT_EQ(4, rec->profileZ[0]);
    EXPECT_EQ(1203, rec->profileZ[1199]);
    for (int i = 1200; i < RECORD_PROFILE_POINTS; ++i) ASSERT_EQ(0, rec->profileZ[i]) << i;
    EXPECT_EQ(5060, rec->firstX);
    EXPECT_EQ(150, rec->stepRegister);

    StoreQavProfile(rec.get(), nullptr, 5, 150);
    EXPECT_EQ(0, rec->profileZ[0]);
    EXPECT_EQ(0, rec->firstX);
}

TEST(RecordLayout, OneHeadDiscRecordHasAnEmptySideB)
{
    std::vector<ProfilePoint> points(900);
    for (size_t i = 0; i < points.size(); ++i) points[i] = {LONG(100 + i), LONG(-1 - LONG(i))};
    auto rec = Zeroed<QodJournalRecord>();
    // An earlier two-head measurement in the same record.
    StoreQodProfile(rec.get(), 1, points.data(), 900, 125);
    ASSERT_EQ(900, rec->countB);

    StoreQodProfile(rec.get(), 0, points.data(), 600, 125);
    StoreQodProfile(rec.get(), 1, points.data(), 0, 125);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(rec->countA, 600), FIELD_IS(rec->firstXA, 100),
                                 FIELD_IS(rec->stepRegisterA, 125), FIELD_IS(rec->profileA[599], -600),
                                 FIELD_IS(rec->profileA[600], 0), FIELD_IS(WordAt(*rec, 46776), 0),
                                 FIELD_IS(WordAt(*rec, 46780), 0), FIELD_IS(WordAt(*rec, 46784), 0)));
    for (int i = 0; i < RECORD_PROFILE_POINTS; ++i) ASSERT_EQ(0, rec->profileB[i]) << i;
}

}  // namespace
