// The link between positions and journal records: the names written into a
// record, names taken back, the record search and the measured marks.
#include <gtest/gtest.h>

#include "settings/DBJournal_Qav.h"
#include "settings/DBJournal_Qod.h"
#include "tests/scheme/SchemeTestSupport.h"
#include "tests/support/Fields.h"

namespace schemetest {
namespace {

constexpr int L = SIDE_LEFT, R = SIDE_RIGHT;

class SchemeRecordTest : public SchemeRootTest {
protected:
    // Two cars of two axles: car 1 plain with left and right wheels, car 2
    // named the other way round with all three wheels.
    std::unique_ptr<CScheme> Built(int type = 4)
    {
        auto scheme = Parsed("Rec\r\n{\r\n"
                             "1d-|Coach|A-17|1l|A1|W1L|2|1r|A1|W1R|2|2l|A2|W2L||2r|A2|W2R||;\r\n"
                             "2s-|||1l||||1m||||1r||||2l||||2m||||2r||||;\r\n"
                             "}\r\nType:4\r\n");
        EXPECT_EQ(1, scheme->BuildOrder(type, 2));
        return scheme;
    }

    static std::unique_ptr<QavJournalRecord> Record(const char16_t* date = u"09/12/26")
    {
        auto record = std::make_unique<QavJournalRecord>();
        qplat::CopyField(record->date, 10, date);
        return record;
    }

    void Store(const QavJournalRecord& record)
    {
        CDBJournalQav journal;
        ASSERT_EQ(1, journal.Append(u"Depot", &record));
    }
};

TEST_F(SchemeRecordTest, NamesOfThePositionGoIntoTheRecord)
{
    auto scheme = Built();
    auto record = Record();
    qplat::CopyField(record->referName, 50, u"kept");
    scheme->FillRecordNames(record.get());
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(record->wheelName, u"W1L"), FIELD_IS(record->carName, u"Coach"),
                                 FIELD_IS(record->carNumber, u"A-17"), FIELD_IS(record->axleName, u"A1"),
                                 FIELD_IS(record->axleName2, u"2"), FIELD_IS(record->side, u"0"),
                                 FIELD_IS(record->date, u"09/12/26"), FIELD_IS(record->referName, u"kept")));

    // A swapped car: left and right digits exchanged, the middle keeps "2".
    const char16_t* expectedSides[] = {u"1", u"2", u"0"};  // walked left, middle, right
    scheme->NextCar();
    for (const char16_t* side : expectedSides) {
        scheme->FillRecordNames(record.get());
        EXPECT_EQ(std::u16string(side), record->side);
        EXPECT_EQ(std::u16string(u"2"), record->carNumber);
        EXPECT_EQ(std::u16string(u"0"), record->axleName2);
        scheme->NextPosition();
    }
    auto disc = std::make_unique<QodJournalRecord>();
    scheme->FillRecordNamesQod(disc.get());
    EXPECT_EQ(std::u16string(u"1"), disc->side);
    EXPECT_EQ(std::u16string(u"2"), disc->wheelName);
}

TEST_F(SchemeRecordTest, TextsAreCutToTheRecordFields)
{
    auto scheme = Built();
    SchemeCar& car = scheme->cars[0];
    qplat::CopyField(car.axles[0].wheels[L].name, SCHEME_WHEEL_NAME_CHARS, u"ABCDEFGHIJKLMNOPQRS");
    qplat::CopyField(car.trainName, SCHEME_TRAIN_NAME_CHARS, u"Train name far longer than the record holds");
    for (WCHAR& c : car.axles[0].wheels[L].text)
        c = u'x';  // a text without its terminator
    auto record = Record();
    record->spareText1[0] = u'!';
    scheme->FillRecordNames(record.get());
    EXPECT_EQ(std::u16string(u"ABCDEFGHIJKL"), record->wheelName);
    EXPECT_EQ(std::u16string(u"Train name far long"), record->trainName);
    EXPECT_EQ(std::u16string(99, u'x'), record->positionText);
    EXPECT_EQ(u'!', record->spareText1[0]);
}

TEST_F(SchemeRecordTest, EditedNamesComeBackIntoTheScheme)
{
    auto scheme = Built();
    auto record = Record();
    qplat::CopyField(record->carName, 20, u"Sleeper");
    qplat::CopyField(record->carNumber, 20, u"B-2");
    qplat::CopyField(record->wheelName, 13, u"Front");
    qplat::CopyField(record->axleName, 10, u"X1");
    qplat::CopyField(record->axleName2, 10, u"Y1");
    for (WCHAR& c : record->trainName)
        c = u'T';  // stored without its terminator
    scheme->TakeRecordNames(*record);
    const SchemeCar& car = scheme->cars[0];
    // The current wheel takes the name, the other wheel keeps its own.
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(car.name, u"Sleeper"), FIELD_IS(car.numberText, u"B-2"),
                                 FIELD_IS(car.axles[0].wheels[L].name, u"Front"),
                                 FIELD_IS(car.axles[0].wheels[R].name, u"W1R"), FIELD_IS(car.axles[0].name, u"X1"),
                                 FIELD_IS(car.axles[0].secondName, u"Y1"),
                                 FIELD_IS(scheme->cars[1].trainName, (std::u16string(20, u'T'))),
                                 FIELD_IS(car.axles[1].name, u"A2")));

    // On the right wheel, the name is the right wheel's; the left keeps "Front".
    scheme->NextPosition();
    ASSERT_EQ(R, scheme->currentSide);
    qplat::CopyField(record->wheelName, 13, u"Back");
    scheme->TakeRecordNames(*record);
    EXPECT_EQ(std::u16string(u"Front"), car.axles[0].wheels[L].name);
    EXPECT_EQ(std::u16string(u"Back"), car.axles[0].wheels[R].name);
    auto disc = std::make_unique<QodJournalRecord>();
    qplat::CopyField(disc->wheelName, 13, u"Disc");
    scheme->TakeRecordNamesQod(*disc);
    EXPECT_EQ(std::u16string(u"Front"), car.axles[0].wheels[L].name);
    EXPECT_EQ(std::u16string(u"Disc"), car.axles[0].wheels[R].name);
}

TEST_F(SchemeRecordTest, FindRecordMatchesPositionAndDate)
{
    auto scheme = Built();
    auto other = Record(u"08/12/26");
    scheme->FillRecordNames(other.get());
    Store(*other);  // same position, another day
    auto stored = Record();
    scheme->FillRecordNames(stored.get());
    SetQavRecordValue(stored.get(), 0, 1234);
    Store(*stored);
    scheme->NextPosition();
    auto right = Record();
    scheme->FillRecordNames(right.get());
    Store(*right);

    auto query = Record();
    scheme->PrevPosition();
    scheme->FillRecordNames(query.get());
    EXPECT_EQ(1, scheme->FindRecord(query.get(), 0, 0));
    EXPECT_EQ(0, GetQavRecordValue(*query, 0));
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 0, 2));
    EXPECT_EQ(1, scheme->FindRecord(query.get(), 1, -5));
    EXPECT_EQ(1234, GetQavRecordValue(*query, 0));

    // The side digit tells the two wheels of an axle apart, except for the
    // gauge that measures the whole axle.
    qplat::CopyField(query->side, 2, u"1");
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 0, 0));
    qplat::CopyField(query->wheelName, 13, u"W1R");
    EXPECT_EQ(2, scheme->FindRecord(query.get(), 0, 0));
    qplat::CopyField(query->wheelName, 13, u"W1L");
    SetDeviceType(3);
    EXPECT_EQ(1, scheme->FindRecord(query.get(), 0, 0));
    qplat::CopyField(query->carName, 20, u"coach");
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 0, 0));
}

TEST_F(SchemeRecordTest, FindRecordComparesWithinTheFieldWidths)
{
    auto scheme = Built();
    auto full = Record();
    for (WCHAR& c : full->wheelName) c = u'w';
    for (WCHAR& c : full->carName) c = u'c';
    for (WCHAR& c : full->carNumber) c = u'n';
    for (WCHAR& c : full->axleName) c = u'a';
    for (WCHAR& c : full->date) c = u'd';
    for (WCHAR& c : full->side) c = u's';
    Store(*full);
    auto query = std::make_unique<QavJournalRecord>(*full);
    EXPECT_EQ(0, scheme->FindRecord(query.get(), 0, 0));
    query->axleName[9] = u'b';
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 0, 0));
}

TEST_F(SchemeRecordTest, NoJournalMeansNothingIsStored)
{
    auto scheme = Built();
    auto query = Record();
    scheme->FillRecordNames(query.get());
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 1, 0));  // empty journal
    auto disc = std::make_unique<QodJournalRecord>();
    EXPECT_EQ(-1, scheme->FindRecordQod(disc.get(), 1, 0));
    // A journal name that would leave the journal folder is no journal.
    auto block = LoadSettings();
    qplat::CopyField(block.qavJournalName, PARAM_NAME_CHARS, u"..\\param");
    CParamFile file;
    ASSERT_EQ(1, file.Save(&block));
    EXPECT_EQ(-1, scheme->FindRecord(query.get(), 1, 0));
    scheme->MarkMeasuredPositions(1, *query);
    EXPECT_EQ(1, scheme->order[0].state);
    EXPECT_EQ(1, CurrentMarks(*scheme));
}

TEST_F(SchemeRecordTest, MeasuredPositionsComeFromTheJournal)
{
    auto scheme = Built();
    auto base = Record();
    // Position 1 holds a wheel result, position 2 a record without one,
    // position 5 a result from another day.
    for (int i = 0; i < 6; ++i) {
        auto record = Record(i == 5 ? u"01/01/26" : u"09/12/26");
        scheme->SelectEntry(i, -1);
        scheme->FillRecordNames(record.get());
        if (i != 2)
            SetQavRecordValue(record.get(), 5, 7);
        if (i == 1 || i == 2 || i == 5)
            Store(*record);
    }
    scheme->NextPosition();
    scheme->NextPosition();
    scheme->MarkMeasuredPositions(1, *base);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->currentEntry, 0), FIELD_IS(scheme->order[0].state, 1),
                                 FIELD_IS(scheme->order[1].state, 2), FIELD_IS(scheme->order[2].state, 0),
                                 FIELD_IS(scheme->order[5].state, 0),
                                 FIELD_IS(scheme->cars[0].axles[0].wheels[R].state, 2),
                                 FIELD_IS(CurrentMarks(*scheme), 1), FIELD_IS(scheme->atFirst, 1)));

    // The gauge values decide for the gauges.
    scheme->MarkMeasuredPositions(2, *base);
    EXPECT_EQ(0, scheme->order[1].state);
    scheme->MarkMeasuredPositions(4, *base);
    EXPECT_EQ(0, scheme->order[1].state);
}

TEST_F(SchemeRecordTest, DiscPositionsAreMeasuredWhenARecordExists)
{
    SetDeviceType(4);
    auto scheme = Built(3);
    auto record = std::make_unique<QodJournalRecord>();
    qplat::CopyField(record->date, 10, u"09/12/26");
    scheme->SelectEntry(3, -1);
    scheme->FillRecordNamesQod(record.get());
    CDBJournalQod journal;
    ASSERT_EQ(1, journal.Append(u"DiscDepot", record.get()));
    auto query = std::make_unique<QodJournalRecord>(*record);
    EXPECT_EQ(0, scheme->FindRecordQod(query.get(), 0, 0));
    scheme->MarkMeasuredPositionsQod(*record);
    for (int i = 0; i < scheme->orderCount; ++i)
        EXPECT_EQ(i == 3 ? 2 : i == 0 ? 1 : 0, scheme->order[i].state) << i;
}

// The wheel-set gauge stores an axle's pair under the names of the axle's
// first position in the walk; its other wheel has a name of its own here. Each
// axle is decided once, under the names the pair is stored under.
TEST_F(SchemeRecordTest, GaugeThreeMarksEveryAxleStoredUnderItsFirstPositionsNames)
{
    SetDeviceType(3);
    auto scheme = Built(3);  // right, middle, left: the right wheel comes first
    auto stored = Record();
    for (int axle = 0; axle < 2; ++axle) {
        scheme->MoveToAxle(axle);
        scheme->FillRecordNames(stored.get());
        ASSERT_EQ(std::u16string(axle == 0 ? u"W1R" : u"W2R"), stored->wheelName);
        SetQavRecordValue(stored.get(), 28, 5000);
        for (const char16_t* side : {u"0", u"1"}) {
            qplat::CopyField(stored->side, 2, side);
            Store(*stored);
        }
    }
    scheme->MarkMeasuredPositions(3, *Record());
    for (int axle = 0; axle < 2; ++axle) {
        const SchemeAxle& a = scheme->cars[0].axles[axle];
        EXPECT_EQ(STATE_MEASURED, scheme->axleEntries[a.axleEntryIndex].state & STATE_MEASURED) << axle;
        EXPECT_EQ(STATE_MEASURED, a.wheels[L].state & STATE_MEASURED) << axle;
        EXPECT_EQ(STATE_MEASURED, a.wheels[R].state & STATE_MEASURED) << axle;
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(STATE_MEASURED, scheme->order[i].state & STATE_MEASURED) << "position " << i;
    EXPECT_EQ(0, scheme->order[4].state & STATE_MEASURED) << "the second car stays unmeasured";
    EXPECT_EQ(STATE_CURRENT | STATE_MEASURED, scheme->GetCurrentState()) << "the walk starts on the first axle";
}

TEST_F(SchemeRecordTest, GaugeThreeMarksAxlesFromTheJournal)
{
    SetDeviceType(3);
    auto scheme = Built();
    auto record = Record();
    scheme->SelectEntry(4, -1);  // car 2, first walked axle
    scheme->FillRecordNames(record.get());
    SetQavRecordValue(record.get(), 28, 3);
    Store(*record);
    scheme->MarkMeasuredPositions(3, *Record());
    const int k = scheme->cars[scheme->order[4].car].axles[scheme->order[4].axle].axleEntryIndex;
    EXPECT_EQ(2, scheme->axleEntries[k].state);
    EXPECT_EQ(2, scheme->order[4].state);
}

}  // namespace
}  // namespace schemetest
