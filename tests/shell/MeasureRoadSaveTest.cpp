// The measuring road end to end, around what a save stores: a run that fails
// after a good one leaves the good one shown and stored, and an average ends
// with the save that stores it. The program itself runs headless from a
// script, measuring with the sensor simulator program.

#include <thread>

#include "tests/shell/MeasureRoadSupport.h"

namespace {

using qtest::Script;

constexpr int kWaitLink = 8000;  // the link monitor pairs, connects and polls once
constexpr int kWaitRun = 6000;   // one wheel run
constexpr int kWaitScreen = 1500;
constexpr int kWaitFailure = 12000;  // a run whose dump stops runs into its time-outs

// The measuring screen: the value column of the results panel, the compute
// button of the averaging layout, and the number of averaged runs.
constexpr RECT kResultValues{150, 90, 400, 265};
constexpr qtest::Spot kCompute{60, 151};
constexpr RECT kAveragedCount{236, 58, 268, 80};
constexpr RECT kMessageText{100, 80, 380, 120};

class MeasureRoadSave : public qtest::MeasureRoad {};

int StoredPoints(const QavJournalRecord& r)
{
    int n = RECORD_PROFILE_POINTS;
    while (n > 0 && r.profileZ[n - 1] == 0) --n;
    return n;
}

// A good run, then the head is replaced by one whose dump stops midway: the
// second run fails, and the first run's measurement stays on the screen and
// is what the save stores.
TEST_F(MeasureRoadSave, RunFailingAfterAGoodOneLeavesTheGoodOneShownAndStored)
{
    WriteSettings(1, 1);
    sim = StartSim(1);
    Script s;
    s.Wait(kWaitLink).Tap(qtest::kStartMeasure).Wait(kWaitScreen);
    s.Tap(qtest::kMeasure).Wait(kWaitRun).Snap(Snap("measured"));
    s.Wait(kWaitLink + 2000).Tap(qtest::kMeasure).Wait(kWaitFailure).Snap(Snap("failed"));
    s.Tap(qtest::kMessageOk).Wait(800).Snap(Snap("after"));
    s.Tap(qtest::kSave).Wait(kWaitScreen).Tap(qtest::kRecordOk).Wait(kWaitScreen).Tap(qtest::kClose).Wait(800);
    int status = -1;
    std::thread program = RunAside(s, &status);
    if (AwaitSnapshot("measured")) {
        sim.reset();
        sim = StartSim(1, {"--fault", "stall=600"});
    }
    program.join();
    ASSERT_EQ(status, 0);

    EXPECT_GT(Count(Png("failed"), kMessageText, qtest::Dark), 100) << "the failure message";
    EXPECT_LT(Differing(Png("measured"), Png("after"), kResultValues), 30) << "the good run's values stay";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u) << "the save stayed possible";
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
    EXPECT_NEAR(GetQavRecordValue(journal[0], 1), 31200, 1500);
    EXPECT_GT(StoredPoints(journal[0]), 500) << "the good run's profile";
    EXPECT_NE(journal[0].stepRegister, 0);
}

// Two runs averaged and stored; the next wheel's first run is its average's
// first, not the third of the wheel before.
TEST_F(MeasureRoadSave, StoredAverageStartsTheNextWheelsAverageAfresh)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option5 = 2; });
    sim = StartSim(1);
    Script s;
    s.Wait(kWaitLink).Tap(qtest::kStartMeasure).Wait(kWaitScreen);
    s.Tap(qtest::kMeasure).Wait(kWaitRun).Snap(Snap("one"));
    s.Tap(qtest::kMeasure).Wait(kWaitRun).Snap(Snap("two")).Tap(kCompute).Wait(800);
    s.Tap(qtest::kSave).Wait(kWaitScreen).Tap(qtest::kRecordOk).Wait(kWaitScreen);
    s.Tap(qtest::kMeasure).Wait(kWaitRun).Snap(Snap("next")).Tap(qtest::kClose).Wait(800);
    ASSERT_EQ(Run(s), 0);

    ASSERT_GT(Differing(Png("one"), Png("two"), kAveragedCount), 10) << "the count is shown";
    EXPECT_LT(Differing(Png("one"), Png("next"), kAveragedCount), 3) << "one run averaged again";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
}

}  // namespace
