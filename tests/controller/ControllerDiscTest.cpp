// The disc run against a simulated two-head disc device, the side options,
// the tilt correction's rotation and the recomputation of a stored disc
// record.
#include <cmath>
#include <cstring>

#include "settings/JournalRecords.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/Fields.h"

using ctltest::ControllerTest;
using ctltest::CountRequests;

class DiscRunTest : public ControllerTest {
protected:
    sensorsim::Device& Launch(uint8_t firmware, BYTE headMode = 2, BYTE tilt = 2,
                              const profilegen::DiscShape& shape = {})
    {
        WriteParams([&](ParamBlock& b) {
            b.deviceType = 4;
            b.discHeadMode = headMode;
            b.discOption1 = tilt;
        });
        sensorsim::Device& disc = Start(ctltest::TwoHeadDisc(firmware, shape));
        EXPECT_EQ(1, ctl->AttachPort(port));
        ctl->LoadQodTolerances();
        ctl->ApplyParams();
        EXPECT_EQ(1, ctl->ReadQodHeadSettings(parent, nullptr));
        return disc;
    }
};

TEST_F(DiscRunTest, TwoHeadsMeasureBothSidesInOneRun)
{
    sensorsim::Device& disc = Launch(60);
    ctl->SetDiscOptions(0, 0);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_discSide, 1), FIELD_IS(ctl->m_side1State, 1),
                                 FIELD_IS(ctl->m_side2State, 0)));
    disc.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_GT(ctl->m_count, 100u);
    EXPECT_GT(ctl->m_count2, 100u);
    EXPECT_EQ(3, ctl->m_side1State);
    EXPECT_EQ(3, ctl->m_side2State);
    EXPECT_EQ(12, CountRequests(disc, 0x8E, false, 1));
    EXPECT_EQ(12, CountRequests(disc, 0x8E, false, 2));
    // The generator's disc: a ring 108 mm thick between heads 114 mm apart
    // (disc "L1" 100 mm plus twice "L2" 7 mm), no grooves.
    const LONG* v = ctl->m_discResult.values;
    EXPECT_NEAR(v[6], 108000, 100);
    EXPECT_NEAR(v[2], 0, 100) << "side 1: no groove";
    EXPECT_NEAR(v[5], 0, 100) << "side 2: no groove";
    ASSERT_TRUE(ctl->m_progress);
    EXPECT_FALSE(IsWindowVisible(ctl->m_progress));
    EXPECT_EQ(12, SendMessageW(ctl->m_progress, PBM_GETRANGE, FALSE, 0));
}

TEST_F(DiscRunTest, TwoHeadsMeasureTheGroovesAndTheThicknessLeftBetweenThem)
{
    profilegen::DiscShape shape;
    shape.grooveDepthUm[0] = 2000;
    shape.grooveDepthUm[1] = 2000;
    Launch(60, 2, 2, shape);
    ctl->SetDiscOptions(0, 0);
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    const LONG* v = ctl->m_discResult.values;
    EXPECT_NEAR(v[2], 2000, 100) << "groove of side 1";
    EXPECT_NEAR(v[5], 2000, 100) << "groove of side 2";
    EXPECT_NEAR(v[6], 104000, 100) << "the ring less both grooves";
    // The least thickness lies in the grooves, 75 mm across the window less
    // the 5 mm before the head first sees the disc.
    EXPECT_NEAR(ctl->m_keys.points[2].x, 75000 - 5000, 4000);
    EXPECT_NEAR(ctl->m_keys2.points[2].x, 75000 - 5000, 4000);
}

TEST_F(DiscRunTest, DumpLengthWordSetsTheBlocksOfEachHead)
{
    sensorsim::Device& disc = Launch(60);
    // Head 1 announces 2100 samples (9 blocks), head 2 255 (1 block).
    disc.SetRegister(0, 0x3A, 2100 & 0xFF);
    disc.SetRegister(0, 0x3B, 2100 >> 8);
    disc.SetRegister(1, 0x3A, 255);
    disc.SetRegister(1, 0x3B, 0);
    ctl->m_head1SettingsRead = FALSE;
    ctl->m_head2SettingsRead = FALSE;
    ASSERT_EQ(1, ctl->ReadQodHeadSettings(parent, nullptr));
    disc.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_EQ(9, CountRequests(disc, 0x8E, false, 1));
    EXPECT_EQ(1, CountRequests(disc, 0x8E, false, 2));
    EXPECT_EQ(9, SendMessageW(ctl->m_progress, PBM_GETRANGE, FALSE, 0)) << "the bar counts head 1's blocks";
    EXPECT_GT(ctl->m_count, 100u);
}

TEST_F(DiscRunTest, OldFirmwareCreatesNoBarAndReadsEachDumpWhole)
{
    sensorsim::Device& disc = Launch(53);
    ctl->m_progress = nullptr;
    disc.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_EQ(nullptr, ctl->m_progress);
    EXPECT_EQ(1, CountRequests(disc, 0x8D, false, 1));
    EXPECT_EQ(1, CountRequests(disc, 0x8D, false, 2));
}

TEST_F(DiscRunTest, OneHeadMeasuresTheChosenSideAndTheSecondRunFindsTheFirst)
{
    sensorsim::Device& disc = Launch(60, 1);
    EXPECT_FALSE(ctl->m_head2Identified) << "one head: head 2 is neither identified nor read";
    EXPECT_FALSE(ctl->m_head2SettingsRead);
    for (const auto& r : disc.Requests())
        EXPECT_EQ(1, r[0]);
    ctl->SetDiscOptions(1, 0);
    EXPECT_EQ(3, ctl->m_side1State);
    disc.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 1));
    EXPECT_EQ(3, ctl->m_side1State);
    EXPECT_EQ(0u, ctl->m_count2);
    const DWORD side1 = ctl->m_count;
    // The second side with the same head: its profile becomes side 2.
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 2));
    EXPECT_EQ(side1, ctl->m_count);
    EXPECT_EQ(side1, ctl->m_count2) << "head 1's dump again, decoded with head 1's words";
    EXPECT_EQ(3, ctl->m_side2State);
    for (const auto& r : disc.Requests())
        EXPECT_EQ(1, r[0]) << "a one-head run never speaks to head 2";
}

TEST_F(DiscRunTest, FaultsFailTheRunAndTheNextRunSucceeds)
{
    sensorsim::Device& disc = Launch(60);
    const std::pair<const char*, sensorsim::Faults> cases[] = {
        {"silence", qtest::FaultOnly(&sensorsim::Faults::silent)},
        {"stall in the middle of the dump", ctltest::StallAfter(700)},
    };
    for (const auto& [name, faults] : cases) {
        ctl->ResetResults(0);
        disc.SetFaults(faults);
        EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 0)) << name;
        EXPECT_EQ(0u, ctl->m_count) << name << ": nothing decoded";
        if (ctl->m_progress) {
            EXPECT_FALSE(IsWindowVisible(ctl->m_progress)) << name;
        }
        disc.SetFaults({});
        EXPECT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0)) << "after " << name;
        EXPECT_GT(ctl->m_count2, 100u);
    }
}

// A failed run leaves both sides as they were: their profiles, the values
// they gave and their states.
TEST_F(DiscRunTest, GarbageFailsTheRunAndLeavesTheSidesAsTheyWere)
{
    sensorsim::Device& disc = Launch(60);
    ctl->SetDiscOptions(0, 0);
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    ASSERT_NE(0, ctl->m_discResult.values[6]);
    const DiscResult before = ctl->m_discResult;
    const DWORD count = ctl->m_count, count2 = ctl->m_count2;
    const std::vector<ProfilePoint> side1(ctl->m_points, ctl->m_points + count);
    const std::vector<ProfilePoint> side2(ctl->m_points2, ctl->m_points2 + count2);
    const LONG state1 = ctl->m_side1State, state2 = ctl->m_side2State;
    disc.SetFaults(qtest::FaultOnly(&sensorsim::Faults::garbage));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 0)) << "run " << i;
        EXPECT_EQ(count, ctl->m_count);
        EXPECT_EQ(count2, ctl->m_count2);
        EXPECT_EQ(0, std::memcmp(side1.data(), ctl->m_points, count * sizeof(ProfilePoint))) << "run " << i;
        EXPECT_EQ(0, std::memcmp(side2.data(), ctl->m_points2, count2 * sizeof(ProfilePoint))) << "run " << i;
        EXPECT_EQ(0, std::memcmp(&ctl->m_discResult, &before, sizeof(before))) << "run " << i;
        EXPECT_EQ(state1, ctl->m_side1State);
        EXPECT_EQ(state2, ctl->m_side2State);
    }
    disc.SetFaults({});
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_GT(ctl->m_count, 100u);
    EXPECT_GT(ctl->m_count2, 100u);
}

TEST_F(DiscRunTest, GarbageForTheSecondSideOfAOneHeadDeviceKeepsBothSides)
{
    sensorsim::Device& disc = Launch(60, 1);
    ctl->SetDiscOptions(0, 0);
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 1));
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 2));
    ASSERT_NE(0, ctl->m_discResult.values[6]);
    const DiscResult before = ctl->m_discResult;
    const DWORD count2 = ctl->m_count2;
    disc.SetFaults(qtest::FaultOnly(&sensorsim::Faults::garbage));
    EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 2));
    EXPECT_EQ(count2, ctl->m_count2) << "side 2 of the run before";
    EXPECT_EQ(2, ctl->m_side2State & 2);
    EXPECT_EQ(0, std::memcmp(&ctl->m_discResult, &before, sizeof(before))) << "both sides' values and the thickness";
    EXPECT_EQ(3, ctl->m_side1State);
}

TEST_F(DiscRunTest, SideWithoutPointsIsNotCountedAsMeasured)
{
    sensorsim::Device& disc = Launch(60);
    ctl->SetDiscOptions(0, 0);
    disc.SetDump(1, std::vector<uint8_t>(kRawDumpBytes, 0));
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_EQ(3, ctl->m_side1State);
    EXPECT_EQ(0u, ctl->m_count2);
    EXPECT_EQ(0, ctl->m_side2State) << "side 2 holds no measurement";
    // Neither side: the run measured nothing.
    disc.SetDump(0, std::vector<uint8_t>(kRawDumpBytes, 0));
    ctl->ResetResults(0);
    EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 0));
    EXPECT_EQ(0, ctl->MeasureDisc(parent, nullptr, 7)) << "no such selection";
}

TEST_F(DiscRunTest, TiltCorrectionOnlyWithOptionOne)
{
    Launch(60, 2, 2);
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    const std::vector<ProfilePoint> plain(ctl->m_points, ctl->m_points + ctl->m_count);
    ctl->m_params.discOption1 = 1;
    ASSERT_EQ(1, ctl->MeasureDisc(parent, nullptr, 0));
    ASSERT_EQ(plain.size(), ctl->m_count);
    EXPECT_EQ(0, ctl->m_points[0].x) << "the corrected profile begins at x 0";
    // An untilted disc stays where it was, within the rounding of the passes.
    for (size_t i = 0; i < plain.size(); i += 97)
        EXPECT_NEAR(plain[i].z, ctl->m_points[i].z, 300) << "point " << i;
}

TEST_F(ControllerTest, RotateAndShiftTurnsByTenThousandthsOfARadian)
{
    ProfilePoint p[3] = {{10000, 0}, {0, 10000}, {20000, 5000}};
    ProfilePoint out[3] = {};
    ctl->RotateAndShift(3, p, out, 0, 0, 0);
    EXPECT_EQ(10000, out[0].x);
    EXPECT_EQ(5000, out[2].z);
    ctl->RotateAndShift(3, p, out, 7, -3, 1000);  // 0.1 rad
    EXPECT_EQ(static_cast<LONG>(10000 * std::cos(0.1f) + 7), out[0].x);
    EXPECT_EQ(static_cast<LONG>(10000 * std::sin(0.1f) - 3), out[0].z);
    EXPECT_EQ(static_cast<LONG>(-10000 * std::sin(0.1f) + 7), out[1].x);
    // In place.
    ctl->RotateAndShift(3, p, p, 100, 0, 0);
    EXPECT_EQ(10100, p[0].x);
    EXPECT_EQ(100, p[1].x);
}

TEST_F(ControllerTest, RecomputedDiscRecordWithOneSideKeepsTheStoredThickness)
{
    QodJournalRecord record{};
    const profilegen::DiscShape shape;
    const auto side = profilegen::DiscSideProfile(shape, 1);
    LONG n = 0;
    for (size_t i = 0; i < side.size() && n < RECORD_PROFILE_POINTS; i += 10)
        record.profileA[n++] = static_cast<LONG>(side[i].z);
    record.countA = n;
    record.firstXA = static_cast<LONG>(side[0].x);
    record.stepRegisterA = 5000;
    record.countB = 0;
    SetQodRecordValue(&record, 6, 104321);
    ctl->m_count2 = 17;
    ctl->RecomputeDiscRecord(record);
    EXPECT_EQ(static_cast<DWORD>(n), ctl->m_count);
    EXPECT_EQ(0u, ctl->m_count2) << "side B is left empty";
    EXPECT_EQ(104321, ctl->m_discResult.values[6]);

    // A record whose count lies beyond its profile area is read within it.
    record.countA = 1000000;
    ctl->RecomputeDiscRecord(record);
    EXPECT_EQ(static_cast<DWORD>(RECORD_PROFILE_POINTS), ctl->m_count);
}
