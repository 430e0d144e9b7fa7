// The wheel run against a simulated head measuring the S1002 profile, the
// faults a head can show during it, and the result operations around it:
// averaging, the series store and the recomputation of a stored record.
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "settings/JournalRecords.h"
#include "tests/controller/ControllerTestSupport.h"
#include "tests/support/Fields.h"

using ctltest::ControllerTest;
using ctltest::CountRequests;

namespace {

constexpr double kToleranceUm = 50.0;

// A tolerance set that holds the flange height of 28 mm out of tolerance.
void WriteTightFlangeHeightSet()
{
    DopuskQavRecord r{};
    wcsncpy(r.name, u"Tight", CATALOG_NAME_CHARS);
    r.upper[0] = 27000;
    r.lower[0] = 20000;
    CDopuskQavFile file;
    file.GetCount();
    file.Append(&r);
}

}  // namespace

class WheelRunTest : public ControllerTest {
protected:
    // The launch of device type 1 over "COMn:" of `index`.
    sensorsim::Device& Launch(uint8_t firmware, int index = 4)
    {
        sensorsim::Device& head = Start(ctltest::S1002Head(firmware), index);
        EXPECT_EQ(1, ctl->AttachPort(port));
        ctl->LoadQavTolerances();
        ctl->ApplyParams();
        EXPECT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
        return head;
    }

    void ExpectS1002()
    {
        ASSERT_GT(ctl->m_count, 2000u);
        EXPECT_NEAR(ctl->m_result.values[0], profilegen::kS1002FlangeHeightMm * 1000.0, kToleranceUm);
        EXPECT_NEAR(ctl->m_result.values[1], profilegen::kS1002FlangeThicknessMm * 1000.0, kToleranceUm);
        EXPECT_NEAR(ctl->m_result.values[5], profilegen::kS1002FlangeSlopeMm * 1000.0, kToleranceUm);
    }
};

TEST_F(WheelRunTest, S1002ReadBlockByBlockGivesItsNominalValuesAndIsGraded)
{
    WriteTightFlangeHeightSet();
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavToleranceName, u"Tight", PARAM_NAME_CHARS); });
    sensorsim::Device& head = Launch(60);
    head.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    ExpectS1002();
    EXPECT_EQ(kStatusOutOfTolerance, ctl->m_result.status[0]) << "28 mm against a ceiling of 27 mm";
    EXPECT_EQ(12, CountRequests(head, 0x8E)) << "word 12 = 2900: twelve blocks";
    EXPECT_EQ(0, CountRequests(head, 0x8D));
    EXPECT_EQ(0u, ctl->m_lapka) << "word 7 = 0: no distance reading";
    EXPECT_EQ(1, ctl->m_levelMode) << "word 5 = 0 and word 6 = 10000, strictly between 0 and 20000";
    HWND bar = ctl->m_progress;
    ASSERT_TRUE(bar);
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_EQ(12, SendMessageW(bar, PBM_GETRANGE, FALSE, 0));
    EXPECT_EQ(12, SendMessageW(bar, PBM_GETPOS, 0, 0));
}

// A head answers only the dump command its firmware has, so a run that sends
// the other one gets no dump and fails: firmware 53 reads the whole dump in
// one command, 54 in blocks.
TEST_F(WheelRunTest, OldFirmwareReadsTheWholeDumpInOneCommandAndNewerInBlocks)
{
    // Firmware, port, dump commands for the whole dump and for blocks.
    for (const auto& [firmware, index, whole, blocks] : {std::tuple{53, 4, 1, 0}, std::tuple{54, 5, 0, 12}}) {
        SCOPED_TRACE(firmware);
        ctl = std::make_unique<CMeasureController>();
        sensorsim::Device& head = Launch(static_cast<uint8_t>(firmware), index);
        head.ClearRequests();
        ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
        ExpectS1002();
        EXPECT_EQ(whole, CountRequests(head, 0x8D));
        EXPECT_EQ(blocks, CountRequests(head, 0x8E));
    }
}

// What a failed run must leave as it found it: the whole current measurement.
struct MeasurementCopy {
    explicit MeasurementCopy(const CMeasureController& c)
        : result(c.m_result),
          count(c.m_count),
          points(c.m_points, c.m_points + kMaxProfilePoints),
          keys(c.m_keys),
          deviationCount(c.m_deviationCount),
          deviations(c.m_deviations, c.m_deviations + kMaxDeviationRows),
          maxDeviation(c.m_maxDeviation),
          positiveArea(c.m_positiveArea),
          secondCount(c.m_secondCount),
          lapka(c.m_lapka)
    {
    }
    void ExpectIn(const CMeasureController& c, const std::string& what) const
    {
        EXPECT_EQ(0, std::memcmp(&result, &c.m_result, sizeof result)) << what << ": the result";
        EXPECT_EQ(count, c.m_count) << what;
        EXPECT_EQ(0, std::memcmp(points.data(), c.m_points, sizeof c.m_points)) << what << ": the profile";
        EXPECT_EQ(0, std::memcmp(&keys, &c.m_keys, sizeof keys)) << what << ": the key points";
        EXPECT_EQ(deviationCount, c.m_deviationCount) << what;
        EXPECT_EQ(0, std::memcmp(deviations.data(), c.m_deviations, sizeof c.m_deviations)) << what;
        EXPECT_EQ(maxDeviation, c.m_maxDeviation) << what;
        EXPECT_EQ(positiveArea, c.m_positiveArea) << what;
        EXPECT_EQ(secondCount, c.m_secondCount) << what;
        EXPECT_EQ(lapka, c.m_lapka) << what;
    }
    WheelResult result;
    DWORD count;
    std::vector<ProfilePoint> points;
    ProfileKeyPoints keys;
    DWORD deviationCount;
    std::vector<DeviationRow> deviations;
    double maxDeviation, positiveArea;
    DWORD secondCount;
    DWORD lapka;
};

// A run that fails leaves the measurement before it as it was (the screen
// then shows it and may still save it), whatever the fault and the mode.
TEST_F(WheelRunTest, FaultsFailTheRunLeavingThePreviousMeasurementAndTheNextRunSucceeds)
{
    // A reference a little below the measured profile: the run compares.
    WriteS1002Reference(u"Worn", 300);
    WriteParams([](ParamBlock& b) { wcsncpy(b.qavReferName, u"Worn", PARAM_NAME_CHARS); });
    sensorsim::Device& head = Launch(60);
    struct Case {
        const char* name;
        sensorsim::Faults faults;
        BYTE mode = 0;
        bool emptyDump = false;
    };
    const Case cases[] = {
        {"silence", qtest::FaultOnly(&sensorsim::Faults::silent)},
        {"stall in the middle of the dump", ctltest::StallAfter(500)},
        {"stall in a comparison run", ctltest::StallAfter(500), 3},
        {"a dump of nothing", {}, 0, true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
        ExpectS1002();
        ASSERT_GT(ctl->m_deviationCount, 0u);
        const MeasurementCopy before(*ctl);
        if (c.emptyDump)
            head.SetDump(0, std::vector<uint8_t>(kRawDumpBytes, 0));
        head.SetFaults(c.faults);
        EXPECT_EQ(0, ctl->MeasureWheel(parent, nullptr, c.mode, 0)) << c.name;
        before.ExpectIn(*ctl, c.name);
        if (ctl->m_progress) {
            EXPECT_FALSE(IsWindowVisible(ctl->m_progress)) << c.name;
        }
        head.SetFaults({});
        head.SetDump(0, ctltest::S1002Head().dump[0]);
    }
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0)) << "after the faults";
    ExpectS1002();
}

TEST_F(WheelRunTest, GarbageFromTheHeadFailsTheRunAndLeavesThePreviousMeasurement)
{
    // Nibble replies carry no check: random bytes may pass for a status and a
    // dump. No run on them may pass for a measurement, and each leaves the
    // measurement before it as it was. (A hundred seeds of such dumps go
    // through the calculation in the measurement tests.)
    constexpr int kRuns = 20;
    sensorsim::Device& head = Launch(60);
    const sensorsim::Faults garbage = qtest::FaultOnly(&sensorsim::Faults::garbage);
    int failed = 0;
    for (int run = 0; run < kRuns; ++run) {
        if (run % 5 == 0) {
            head.SetFaults({});
            ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
            ExpectS1002();
        }
        const WheelResult before = ctl->m_result;
        const DWORD count = ctl->m_count;
        head.SetFaults(garbage);
        const int result = ctl->MeasureWheel(parent, nullptr, 0, 0);
        const bool kept = result == 0 && ctl->m_count == count &&
                          std::memcmp(&ctl->m_result, &before, sizeof(before)) == 0;
        EXPECT_TRUE(kept) << "run " << run << ": result " << result << ", count " << ctl->m_count
                          << ", flange height " << ctl->m_result.values[0];
        failed += kept;
        EXPECT_FALSE(IsWindowVisible(ctl->m_progress));
    }
    EXPECT_EQ(kRuns, failed);
    head.SetFaults({});
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    ExpectS1002();
}

TEST_F(WheelRunTest, OldFirmwareStallingMidDumpFails)
{
    sensorsim::Device& head = Launch(53);
    head.SetFaults(ctltest::StallAfter(6000));
    EXPECT_EQ(0, ctl->MeasureWheel(parent, nullptr, 0, 0));
    head.SetFaults({});
    EXPECT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
}

TEST_F(WheelRunTest, EmptyProfileFailsTheRun)
{
    sensorsim::Device& head = Launch(60);
    head.SetDump(0, std::vector<uint8_t>(kRawDumpBytes, 0));
    EXPECT_EQ(0, ctl->MeasureWheel(parent, nullptr, 0, 0));
    EXPECT_EQ(0u, ctl->m_count);
    EXPECT_FALSE(IsWindowVisible(ctl->m_progress));
}

TEST_F(WheelRunTest, ShortDumpWordReadsOneBlockIntoAWholeZeroedBuffer)
{
    sensorsim::Device& head = Launch(60);
    // Word 12 = 255: one block, the rest of the buffer must read as nothing.
    head.SetRegister(0, 0x3A, 0xFF);
    head.SetRegister(0, 0x3B, 0x00);
    ctl->m_head1SettingsRead = FALSE;
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    ASSERT_EQ(255, ctl->m_head1Settings.words[12]);
    head.ClearRequests();
    ctl->MeasureWheel(parent, nullptr, 0, 0);
    EXPECT_EQ(1, CountRequests(head, 0x8E));
    // Samples of one block cover x up to 256 x 50 um.
    for (DWORD i = 0; i < ctl->m_count; ++i)
        ASSERT_LE(ctl->m_points[i].x, 256 * 50 + 50) << "point " << i;
}

TEST_F(WheelRunTest, DistanceReadingAndLevelModeFollowTheHeadWords)
{
    sensorsim::Device& head = Launch(60);
    // Word 7 (register 0x4C) on: the averaged distance is taken; word 22 is 0.
    head.SetRegister(0, 0x4C, 1);
    // Word 6 = 20000 with word 5 = 0: level mode 0.
    head.SetRegister(0, 0x52, 20000 & 0xFF);
    head.SetRegister(0, 0x53, 20000 >> 8);
    ctl->m_head1SettingsRead = FALSE;
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    ctl->MeasureWheel(parent, nullptr, 0, 0);
    // 8192 raw of 16384 with a 100 mm range: 50 mm.
    EXPECT_EQ(50000u, ctl->m_lapka);
    EXPECT_EQ(0, ctl->m_levelMode);
}

TEST_F(WheelRunTest, ComparisonModeMeasuresTheSecondProfileAndKeepsTheFirst)
{
    Launch(60);
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    const DWORD first = ctl->m_count;
    const LONG height = ctl->m_result.values[0];
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 3, 0));
    EXPECT_EQ(first, ctl->m_count);
    EXPECT_EQ(height, ctl->m_result.values[0]);
    EXPECT_GT(ctl->m_secondCount, 2000u);
    // The same wheel twice: no wear between the two.
    EXPECT_NEAR(ctl->m_result.values[25], 0, 100);
    EXPECT_NEAR(ctl->m_result.values[26], 0, 100);
}

// ---------------------------------------------------------------- results

TEST_F(ControllerTest, SeriesStoreKeepsEverySlotAndRefusesOthers)
{
    ctl->m_result.values[0] = 11;
    ctl->StoreResult(0);
    ctl->m_result.values[0] = 22;
    ctl->StoreResult(kStoredResultSlots - 1);
    ctl->m_discResult.values[6] = 33;
    ctl->StoreResultExtra(1500);
    ctl->m_result.values[0] = 99;
    ctl->StoreResult(-1);
    ctl->StoreResult(kStoredResultSlots);
    ctl->LoadResult(kStoredResultSlots);
    EXPECT_EQ(99, ctl->m_result.values[0]) << "a slot outside the store changes nothing";
    ctl->LoadResult(0);
    EXPECT_EQ(11, ctl->m_result.values[0]);
    ctl->LoadResult(kStoredResultSlots - 1);
    EXPECT_EQ(22, ctl->m_result.values[0]);
    ctl->LoadResultExtra(1500);
    EXPECT_EQ(33, ctl->m_discResult.values[6]);
    ctl->ClearStoredResults();
    ctl->LoadResult(0);
    ctl->LoadResultExtra(1500);
    EXPECT_EQ(0, ctl->m_result.values[0]);
    EXPECT_EQ(0, ctl->m_discResult.values[6]);
}

namespace {

void Profile(CMeasureController& c, LONG firstX, DWORD n, LONG z)
{
    c.m_count = n;
    for (DWORD i = 0; i < n; ++i)
        c.m_points[i] = ProfilePoint{firstX + static_cast<LONG>(i) * 50, z};
}

}  // namespace

TEST_F(ControllerTest, AveragingAlignsProfilesOnTheirXAndNeverReadsPastAProfile)
{
    ctl->m_head1Settings.words[2] = 5000;  // 50 um
    ctl->ResetAverage();
    // The first profile aligns the sum on its own first x: 1000 / 50 = 20
    // points fewer than 10000, then limited to its 3000 points.
    Profile(*ctl, 1000, 3000, 100);
    ctl->AddToAverage();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_averageCount, 1), FIELD_IS(ctl->m_averageFirstX, 1000),
                                 FIELD_IS(ctl->m_averagePoints, 3000)));

    // A second profile beginning 10 samples earlier and shorter: its point
    // i + 10 is added to sum point i, and no sum point reads past its end.
    Profile(*ctl, 500, 1000, 300);
    ctl->AddToAverage();
    EXPECT_EQ(2, ctl->m_averageCount);
    EXPECT_EQ(990, ctl->m_averagePoints);
    ctl->ComputeProfiles();
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(ctl->m_count, 990u), FIELD_IS(ctl->m_points[0].x, 1000),
                                 FIELD_IS(ctl->m_points[0].z, 200), FIELD_IS(ctl->m_points[989].z, 200),
                                 FIELD_IS(ctl->m_points[990].x, 0)));
}

TEST_F(ControllerTest, AveragingWithoutAStepOrWithoutProfilesChangesNothing)
{
    ctl->ResetAverage();
    ctl->m_head1Settings.words[2] = 0;
    Profile(*ctl, 1000, 100, 100);
    ctl->AddToAverage();
    EXPECT_EQ(0, ctl->m_averageCount);
    ctl->ComputeProfiles();
    EXPECT_EQ(100u, ctl->m_count) << "nothing averaged: the profile stays";
    EXPECT_EQ(100, ctl->m_points[0].z);
    ctl->m_head1Settings.words[2] = 99;  // divisor 1: step 99
    ctl->m_count = 0;
    ctl->AddToAverage();
    EXPECT_EQ(0, ctl->m_averageCount) << "an empty profile is not counted";
    ctl->ComputeProfiles();
    EXPECT_EQ(0u, ctl->m_count);
    Profile(*ctl, 1000, 100, 100);
    ctl->AddToAverage();
    EXPECT_EQ(1, ctl->m_averageCount);
}

TEST_F(ControllerTest, RecomputedRecordIsGradedAndKeepsItsComparisonWords)
{
    QavJournalRecord record{};
    SetQavRecordValue(&record, 0, 28000);
    for (int w = 22; w <= 26; ++w)
        SetQavRecordValue(&record, w, 100 + w);
    ctl->m_wheelLimits[0] = 27000;  // upper
    ctl->m_wheelLimits[22] = 20000;  // lower
    ctl->m_count = 9;
    ctl->RecomputeFromRecord(record, 1);
    EXPECT_EQ(0u, ctl->m_count);
    EXPECT_EQ(28000, ctl->m_result.values[0]);
    EXPECT_EQ(kStatusOutOfTolerance, ctl->m_result.status[0]);
    for (int w = 22; w <= 26; ++w)
        EXPECT_EQ(100 + w, ctl->m_result.values[w]);
    ctl->RecomputeFromRecord(record, 4);
    EXPECT_EQ(0, ctl->m_result.values[0]) << "only the wheel family restores the values";
    EXPECT_EQ(126, ctl->m_result.values[26]);
}

// A new link may reach another head at the sensor's address: it is
// identified and its settings read again, whether the next launch or a run
// on the open measuring screen comes first, so its own range decodes the
// profile (with the old head's range the flange height came out halved).
TEST_F(WheelRunTest, ANewLinkSetsTheHeadUpAgainBeforeTheNextLaunchOrRun)
{
    Launch(60);
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    ExpectS1002();

    // The next launch over another link.
    sensorsim::Device& second = Start(ctltest::S1002Head(60, 200), 5);
    ASSERT_EQ(1, ctl->AttachPort(port));
    EXPECT_EQ(200, ctl->m_head1Info.measuringRange);
    ASSERT_EQ(1, ctl->ReadHeadSettings(parent, nullptr));
    EXPECT_GT(CountRequests(second, 0x82), 15) << "the settings were read from the new head";
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    ExpectS1002();

    // The link renewed under the measuring screen, which only takes the port.
    sensorsim::Device& third = Start(ctltest::S1002Head(60, 100), 6);
    ctl->SetPort(port);
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    EXPECT_EQ(1, CountRequests(third, 0x81)) << "identified once, before the run";
    EXPECT_EQ(100, ctl->m_head1Info.measuringRange);
    ExpectS1002();

    // The same link again: nothing is set up twice.
    third.ClearRequests();
    ASSERT_EQ(1, ctl->MeasureWheel(parent, nullptr, 0, 0));
    EXPECT_EQ(0, CountRequests(third, 0x81));
    EXPECT_EQ(0, CountRequests(third, 0x82));
}
