// The six measuring orders, the walk by position and by car, and the axle walk
// of device type 3.
#include <gtest/gtest.h>

#include <iterator>
#include <map>

#include "tests/scheme/SchemeTestSupport.h"
#include "tests/support/Fields.h"

namespace schemetest {
namespace {

constexpr int L = SIDE_LEFT, R = SIDE_RIGHT, M = SIDE_MIDDLE;

// Car 1: two axles of left and right wheels. Car 2: turned round, three axles
// of one middle wheel. Car 3: turned round and named the other way round, two
// axles of all three wheels.
const std::string kMixed =
    "Mixed\r\n{\r\n"
    "1d-|||1r||||1l||||2r||||2l||||;\r\n"
    "2i-|||1m||||2m||||3m||||;\r\n"
    "3w-|||1l||||1m||||1r||||2l||||2m||||2r||||;\r\n"
    "}\r\nType:3\r\n";

class SchemeOrderTest : public SchemeRootTest {};

TEST_F(SchemeOrderTest, EachOrderTypeOnAMixedScheme)
{
    const std::vector<Position> expected[7] = {
        {},
        // 1: right (or middle) wheels forward, then left wheels backward; the
        // three-wheel axles have no place in it.
        {{0, 0, R}, {0, 1, R}, {1, 2, M}, {1, 1, M}, {1, 0, M}, {0, 1, L}, {0, 0, L}},
        // 2: the same with left and right exchanged.
        {{0, 0, L}, {0, 1, L}, {1, 2, M}, {1, 1, M}, {1, 0, M}, {0, 1, R}, {0, 0, R}},
        // 3: right, middle, left; a reversed car from its last axle, sides exchanged.
        {{0, 0, R}, {0, 0, L}, {0, 1, R}, {0, 1, L}, {1, 2, M}, {1, 1, M}, {1, 0, M},
         {2, 1, L}, {2, 1, M}, {2, 1, R}, {2, 0, L}, {2, 0, M}, {2, 0, R}},
        // 4: left, middle, right.
        {{0, 0, L}, {0, 0, R}, {0, 1, L}, {0, 1, R}, {1, 2, M}, {1, 1, M}, {1, 0, M},
         {2, 1, R}, {2, 1, M}, {2, 1, L}, {2, 0, R}, {2, 0, M}, {2, 0, L}},
        // 5: alternating, every car starting with the even rule.
        {{0, 0, R}, {0, 0, L}, {0, 1, L}, {0, 1, R}, {1, 2, M}, {1, 1, M}, {1, 0, M},
         {2, 1, L}, {2, 1, M}, {2, 1, R}, {2, 0, R}, {2, 0, M}, {2, 0, L}},
        // 6: the other alternation.
        {{0, 0, L}, {0, 0, R}, {0, 1, R}, {0, 1, L}, {1, 2, M}, {1, 1, M}, {1, 0, M},
         {2, 1, R}, {2, 1, M}, {2, 1, L}, {2, 0, L}, {2, 0, M}, {2, 0, R}},
    };
    for (int type = 1; type <= 6; ++type) {
        SCOPED_TRACE(type);
        auto scheme = Parsed(kMixed);
        ASSERT_EQ(1, scheme->BuildOrder(type, 3));
        EXPECT_EQ(expected[type], OrderOf(*scheme));
        EXPECT_EQ(type, scheme->orderType);
        EXPECT_EQ(1, scheme->order[0].state);
        EXPECT_EQ(1, CurrentMarks(*scheme));
        for (int i = 0; i < scheme->orderCount; ++i) {
            const OrderEntry& e = scheme->order[i];
            EXPECT_EQ(e.car >= 1 ? 1 : 0, e.reversed);
            EXPECT_EQ(e.car == 2 ? 1 : 0, e.swapped);
        }
        // The entries beyond the order stay cleared.
        EXPECT_EQ(0, scheme->order[scheme->orderCount].car);
        EXPECT_EQ(0, scheme->order[scheme->orderCount].state);
    }
}

TEST_F(SchemeOrderTest, TheFirstPositionIsCurrentAfterBuilding)
{
    auto scheme = Parsed(kMixed);
    ASSERT_EQ(1, scheme->BuildOrder(4, 3));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->atFirst, 1), FIELD_IS(scheme->atFirstCar, 1),
                                 FIELD_IS(scheme->atLast, 0), FIELD_IS(scheme->atLastCar, 0),
                                 FIELD_IS(scheme->cars[0].axles[0].wheels[L].state, 1)));
    EXPECT_EQ(std::make_tuple(0, 0, L), std::make_tuple(scheme->currentCar, scheme->currentAxle, scheme->currentSide));

    auto single = Parsed("One\r\n{\r\n1d-|||1m||||;\r\n}\r\nType:3\r\n");
    ASSERT_EQ(1, single->BuildOrder(3, 1));
    EXPECT_EQ(1, single->orderCount);
    EXPECT_EQ(4, single->atFirst + single->atLast + single->atFirstCar + single->atLastCar);
    single->NextPosition();
    single->NextCar();
    single->PrevCar();
    EXPECT_EQ(0, single->currentEntry);
    EXPECT_EQ(1, single->order[0].state);
}

TEST_F(SchemeOrderTest, PositionMovesKeepOneCurrentMarkAndStopAtTheEnds)
{
    auto scheme = Parsed(kMixed);
    ASSERT_EQ(1, scheme->BuildOrder(3, 3));
    scheme->PrevPosition();
    EXPECT_EQ(0, scheme->currentEntry);
    for (int i = 1; i < scheme->orderCount; ++i) {
        scheme->NextPosition();
        ASSERT_EQ(i, scheme->currentEntry);
        EXPECT_EQ(1, CurrentMarks(*scheme));
    }
    EXPECT_EQ(1, scheme->atLast);
    EXPECT_EQ(1, scheme->atLastCar);
    scheme->NextPosition();
    EXPECT_EQ(scheme->orderCount - 1, scheme->currentEntry);
    // The last entry of type 3 names car 3's first axle, right-hand side as
    // stored (its left as walked).
    EXPECT_EQ(std::make_tuple(2, 0, R), std::make_tuple(scheme->currentCar, scheme->currentAxle, scheme->currentSide));

    scheme->MarkCurrentMeasured();
    EXPECT_EQ(3, scheme->GetCurrentState());
    scheme->PrevPosition();
    EXPECT_EQ(2, scheme->order[scheme->orderCount - 1].state);
    EXPECT_EQ(2, scheme->cars[2].axles[0].wheels[R].state);
    EXPECT_EQ(1, scheme->GetCurrentState());
    scheme->NextPosition();
    EXPECT_EQ(3, scheme->GetCurrentState());
}

TEST_F(SchemeOrderTest, CarMovesOverTheTwoRunsOfOrderTypeOne)
{
    auto scheme = Parsed("Three\r\n{\r\n"
                         "1d-|||1r||||2r||||;\r\n2d-|||1r||||2r||||;\r\n3d-|||1r||||2r||||;\r\n"
                         "3d-|||2l||||1l||||;\r\n2d-|||2l||||1l||||;\r\n1d-|||2l||||1l||||;\r\n"
                         "}\r\nType:1\r\n");
    ASSERT_EQ(1, scheme->BuildOrder(1, 3));
    ASSERT_EQ(12, scheme->orderCount);
    scheme->NextCar();
    EXPECT_EQ(2, scheme->currentEntry);
    scheme->NextCar();
    EXPECT_EQ(4, scheme->currentEntry);
    // The last car's two runs lie side by side: one car move passes both.
    scheme->NextCar();
    EXPECT_EQ(8, scheme->currentEntry);
    EXPECT_EQ(std::make_tuple(1, 1, L), std::make_tuple(scheme->currentCar, scheme->currentAxle, scheme->currentSide));
    scheme->NextPosition();
    EXPECT_EQ(9, scheme->currentEntry);
    // From inside a run, back to the last entry of the previous run.
    scheme->PrevCar();
    EXPECT_EQ(7, scheme->currentEntry);
    EXPECT_EQ(1, CurrentMarks(*scheme));
    scheme->NextCar();
    scheme->NextCar();
    EXPECT_EQ(10, scheme->currentEntry);
    scheme->NextCar();
    EXPECT_EQ(11, scheme->currentEntry);
    EXPECT_EQ(1, scheme->atLastCar);
    scheme->NextCar();
    EXPECT_EQ(11, scheme->currentEntry);
    for (int i = 0; i < 10; ++i)
        scheme->PrevCar();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->currentEntry, 0), FIELD_IS(scheme->atFirstCar, 1),
                                 FIELD_IS(CurrentMarks(*scheme), 1)));
}

TEST_F(SchemeOrderTest, DeviceTypeThreeWalksAxlesAndKeepsEachAxlesOwnEntry)
{
    SetDeviceType(3);
    auto scheme = Parsed("Axles\r\n{\r\n"
                         "1d-|||1l||||1r||||2l||||2r||||;\r\n"
                         "2i-|||1l||||1r||||2l||||2r||||3l||||3r||||;\r\n"
                         "}\r\nType:4\r\n");
    ASSERT_EQ(1, scheme->BuildOrder(4, 2));
    EXPECT_EQ(5, scheme->axleCount);
    const int expected[5][2] = {{0, 0}, {0, 1}, {1, 2}, {1, 1}, {1, 0}};
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(expected[k][0], scheme->axleEntries[k].car);
        EXPECT_EQ(expected[k][1], scheme->axleEntries[k].axle);
        // The axle an entry names carries that entry's index.
        EXPECT_EQ(k, scheme->cars[expected[k][0]].axles[expected[k][1]].axleEntryIndex);
    }
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->axleEntries[0].state, 1), FIELD_IS(scheme->atFirst, 1),
                                 FIELD_IS(scheme->GetCurrentState(), 1)));

    for (int k = 1; k < 5; ++k) {
        scheme->NextPosition();
        ASSERT_EQ(k, scheme->currentAxleEntry);
        EXPECT_EQ(k, scheme->GetAxleListIndex());
        EXPECT_EQ(1, scheme->axleEntries[k].state);
        EXPECT_EQ(0, scheme->axleEntries[k - 1].state);
        const SchemeAxle& axle = scheme->cars[scheme->currentCar].axles[scheme->currentAxle];
        EXPECT_EQ(1, axle.wheels[L].state);
        EXPECT_EQ(1, axle.wheels[R].state);
    }
    EXPECT_EQ(1, scheme->atLast);
    scheme->NextPosition();
    EXPECT_EQ(4, scheme->currentAxleEntry);

    scheme->MarkCurrentMeasured();
    EXPECT_EQ(3, scheme->axleEntries[4].state);
    EXPECT_EQ(3, scheme->cars[1].axles[0].wheels[R].state);
    scheme->PrevCar();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->currentAxleEntry, 0), FIELD_IS(scheme->axleEntries[4].state, 2),
                                 FIELD_IS(scheme->cars[1].axles[0].wheels[L].state, 2)));
    scheme->NextCar();
    EXPECT_EQ(2, scheme->currentAxleEntry);
    EXPECT_EQ(std::make_tuple(1, 2), std::make_tuple(scheme->currentCar, scheme->currentAxle));
    scheme->PrevPosition();
    EXPECT_EQ(1, scheme->currentAxleEntry);
}

// Every present wheel exactly once, and never a wheel the scheme lacks.
void ExpectEachPresentWheelOnce(const CScheme& scheme, int carCount)
{
    std::map<Position, int> seen;
    for (const Position& p : OrderOf(scheme)) {
        const auto [c, a, s] = p;
        EXPECT_EQ(1, scheme.cars[c].axles[a].wheels[s].present) << c << " " << a << " " << s;
        ++seen[p];
    }
    for (int c = 0; c < carCount; ++c) {
        for (int a = 0; a < scheme.cars[c].axleCount; ++a) {
            for (int s = 0; s < 3; ++s) {
                if (scheme.cars[c].axles[a].wheels[s].present == 1) {
                    EXPECT_EQ(1, seen[Position(c, a, s)]) << c << " " << a << " " << s;
                }
            }
        }
    }
}

TEST_F(SchemeOrderTest, AReversedCarWithAMissingWheelNamesOnlyItsOwnWheels)
{
    auto scheme = Parsed("Gap\r\n{\r\n1i-|||1l|A1|W1L||2l|A2|W2L||2r|A2|W2R||;\r\n}\r\nType:3\r\n");
    ASSERT_EQ(1, scheme->BuildOrder(3, 1));
    // Met from its last axle, the walk's right wheel being the stored left.
    EXPECT_EQ((std::vector<Position>{{0, 1, L}, {0, 1, R}, {0, 0, L}}), OrderOf(*scheme));
    EXPECT_EQ(3, CScheme::CountOrderPositions(scheme->cars, 1, 3));
    const char16_t* names[] = {u"W2L", u"W2R", u"W1L"};
    for (int i = 0; i < scheme->orderCount; ++i) {
        auto record = std::make_unique<QavJournalRecord>();
        scheme->SelectEntry(i, -1);
        scheme->FillRecordNames(record.get());
        EXPECT_EQ(std::u16string(names[i]), std::u16string(record->wheelName));
    }
    for (int type = 3; type <= 6; ++type) {
        SCOPED_TRACE(type);
        ASSERT_EQ(1, scheme->BuildOrder(type, 1));
        ExpectEachPresentWheelOnce(*scheme, 1);
    }

    // Types 1 and 2 test the layout of the axle whose wheel they add: a
    // reversed car whose axles differ in layout keeps all its wheels.
    auto mixed = Parsed("Mix\r\n{\r\n1i-|||1l||||1r||||2m||||;\r\n2d-|||1l||||1r||||2m||||;\r\n}\r\nType:1\r\n");
    ASSERT_EQ(1, mixed->BuildOrder(1, 2));
    EXPECT_EQ((std::vector<Position>{{0, 1, M}, {0, 0, L}, {1, 0, R}, {1, 1, M}, {1, 0, L}, {0, 0, R}}),
              OrderOf(*mixed));
    ASSERT_EQ(1, mixed->BuildOrder(2, 2));
    ExpectEachPresentWheelOnce(*mixed, 2);
    EXPECT_EQ(6, CScheme::CountOrderPositions(mixed->cars, 2, 2));
}

// Axle entries whose state carries the current bit.
int CurrentAxleMarks(const CScheme& scheme)
{
    int n = 0;
    for (int k = 0; k < scheme.axleCount; ++k)
        n += (scheme.axleEntries[k].state & 1) != 0 ? 1 : 0;
    return n;
}

TEST_F(SchemeOrderTest, DeviceTypeThreeStartsOnTheFirstAxleToMeasureWithItsOwnNames)
{
    SetDeviceType(3);
    auto blank = Parsed("Blank\r\n{\r\n1d-|||2l|A2|W2L||2r|A2|W2R||;\r\n}\r\nType:3\r\n");
    ASSERT_EQ(1, blank->BuildOrder(3, 1));
    ASSERT_EQ(2, blank->axleCount);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(blank->currentAxleEntry, 1), FIELD_IS(CurrentAxleMarks(*blank), 1),
                                 FIELD_IS(blank->GetCurrentState(), 1)));
    auto record = std::make_unique<QavJournalRecord>();
    blank->FillRecordNames(record.get());
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(record->axleName, u"A2"), FIELD_IS(record->wheelName, u"W2R"),
                                 FIELD_IS(record->side, u"1")));
    // The one axle to measure is both ends; the blank axle is never entered.
    EXPECT_EQ(4, blank->atFirst + blank->atLast + blank->atFirstCar + blank->atLastCar);
    blank->PrevPosition();
    blank->PrevCar();
    EXPECT_EQ(1, blank->currentAxleEntry);
    EXPECT_EQ(1, CurrentAxleMarks(*blank));

    // Each axle's records carry the names and side of that axle's own first
    // position: right first in a plain car, the stored left (walked right)
    // in a reversed one. A blank axle in between is passed over both ways.
    auto train = Parsed("Train\r\n{\r\n"
                        "1d-|||1l|A1|W1L||1r|A1|W1R||3l|A3|W3L||3r|A3|W3R||;\r\n"
                        "2i-|||1l|B1|V1L||1r|B1|V1R||2l|B2|V2L||2r|B2|V2R||;\r\n"
                        "}\r\nType:3\r\n");
    ASSERT_EQ(1, train->BuildOrder(3, 2));
    ASSERT_EQ(5, train->axleCount);
    struct Expected {
        int axleEntry;
        const char16_t* axle;
        const char16_t* wheel;
        const char16_t* side;
    };
    const Expected walk[] = {
        {0, u"A1", u"W1R", u"1"}, {2, u"A3", u"W3R", u"1"}, {3, u"B2", u"V2L", u"0"}, {4, u"B1", u"V1L", u"0"}};
    for (size_t i = 0; i < std::size(walk); ++i) {
        SCOPED_TRACE(i);
        if (i > 0)
            train->NextPosition();
        ASSERT_EQ(walk[i].axleEntry, train->currentAxleEntry);
        EXPECT_EQ(1, CurrentAxleMarks(*train));
        train->FillRecordNames(record.get());
        EXPECT_EQ(std::u16string(walk[i].axle), std::u16string(record->axleName));
        EXPECT_EQ(std::u16string(walk[i].wheel), std::u16string(record->wheelName));
        EXPECT_EQ(std::u16string(walk[i].side), std::u16string(record->side));
        EXPECT_EQ(i == 0 ? 1 : 0, train->atFirst);
        EXPECT_EQ(i + 1 == std::size(walk) ? 1 : 0, train->atLast);
    }
    train->PrevPosition();
    train->PrevPosition();
    EXPECT_EQ(2, train->currentAxleEntry);
    train->PrevPosition();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(train->currentAxleEntry, 0), FIELD_IS(CurrentAxleMarks(*train), 1),
                                 FIELD_IS(train->axleEntries[1].state, 0)));

    // Marking from the journal starts the walk over on the same axle, alone.
    train->NextCar();
    EXPECT_EQ(3, train->currentAxleEntry);
    train->MarkMeasuredPositions(3, *record);
    EXPECT_EQ(0, train->currentAxleEntry);
    EXPECT_EQ(1, CurrentAxleMarks(*train));
}

TEST_F(SchemeOrderTest, OrdersThatCannotBeWalkedAreRefused)
{
    // No position in the order: an unknown order type, or three-wheel axles
    // in an order that has no place for them.
    for (int type : {0, 7, -1}) {
        auto scheme = Parsed(kMixed);
        EXPECT_EQ(0, scheme->BuildOrder(type, 3));
        EXPECT_EQ(0, scheme->orderCount);
        EXPECT_EQ(4, scheme->atFirst + scheme->atLast + scheme->atFirstCar + scheme->atLastCar);
        scheme->NextPosition();
        scheme->NextCar();
        scheme->PrevCar();
        scheme->MarkCurrentMeasured();
        EXPECT_EQ(0, scheme->currentEntry);
        EXPECT_EQ(0, scheme->order[0].state);
    }
    auto threeWheels = Parsed("T\r\n{\r\n1d-|||1l||||1m||||1r||||;\r\n}\r\nType:1\r\n");
    EXPECT_EQ(0, threeWheels->BuildOrder(1, 1));

    // The axle walk of an earlier order does not outlive a refused one.
    SetDeviceType(3);
    ASSERT_EQ(1, threeWheels->BuildOrder(3, 1));
    EXPECT_EQ(1, threeWheels->axleCount);
    EXPECT_EQ(0, threeWheels->BuildOrder(0, 1));
    EXPECT_EQ(0, threeWheels->axleCount);
    threeWheels->NextPosition();
    threeWheels->NextCar();
    EXPECT_EQ(0, threeWheels->currentAxleEntry);
    EXPECT_EQ(0, threeWheels->GetCurrentState());
    SetDeviceType(1);

    // 40 cars of 36 axles of two wheels fill the order exactly; a third
    // wheel on every axle does not fit and the scheme is refused whole.
    auto full = std::make_unique<CScheme>();
    BuildDefaultScheme(full.get(), 40, 36, 3, 2);
    ASSERT_EQ(1, full->BuildOrder(3, 40));
    EXPECT_EQ(SCHEME_MAX_ORDER, full->orderCount);
    EXPECT_EQ(std::make_tuple(39, 35, L), OrderOf(*full).back());
    BuildDefaultScheme(full.get(), 40, 36, 3, 3);
    EXPECT_EQ(0, full->BuildOrder(3, 40));
    EXPECT_EQ(0, full->orderCount);
    EXPECT_EQ(1, full->atLast);
    EXPECT_EQ(4320, CScheme::CountOrderPositions(full->cars, 40, 3));
    // A car count beyond the cars the scheme holds is cut to them.
    BuildDefaultScheme(full.get(), 40, 1, 4, 1);
    EXPECT_EQ(1, full->BuildOrder(4, 1000));
    EXPECT_EQ(40, full->orderCount);
}

TEST_F(SchemeOrderTest, DefaultSchemeAndSums)
{
    auto scheme = std::make_unique<CScheme>();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->orderCount, 2), FIELD_IS(scheme->cars[0].axleCount, 1),
                                 FIELD_IS(scheme->cars[0].axles[0].wheels[0].name, u"1")));

    BuildDefaultScheme(scheme.get(), 2, 3, 5, 3);
    EXPECT_EQ(2, scheme->carCount);
    EXPECT_EQ(3, scheme->axleCount);
    const SchemeAxle& axle = scheme->cars[1].axles[2];
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->cars[1].numberText, u"2"), FIELD_IS(axle.name, u"3"),
                                 FIELD_IS(axle.bogieText, u"2"), FIELD_IS(axle.wheels[L].name, u"6"),
                                 FIELD_IS(axle.wheels[R].name, u"7"), FIELD_IS(axle.wheels[M].name, u"8")));
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(scheme->SumAxleLayouts(2), 18), FIELD_IS(scheme->CountAxles(2), 6),
                                 FIELD_IS(scheme->SumAxleLayouts(1), 9)));

    BuildDefaultScheme(scheme.get(), 1, 2, 1, 2);
    EXPECT_EQ(std::u16string(u"2"), scheme->cars[0].axles[1].wheels[L].name);
    EXPECT_EQ(0, scheme->cars[0].axles[1].wheels[M].present);
    EXPECT_EQ(std::u16string(u""), scheme->cars[0].axles[1].wheels[M].name);
}

TEST_F(SchemeOrderTest, SerialField)
{
    EXPECT_EQ(std::u16string(u"00000000AB12"), FormatSerialField(u"AB 12"));
    EXPECT_EQ(std::u16string(u"1234567890AB"), FormatSerialField(u" 1234 567890ABCDEF"));
    EXPECT_EQ(std::u16string(u"000000000000"), FormatSerialField(u"   "));
}

}  // namespace
}  // namespace schemetest
