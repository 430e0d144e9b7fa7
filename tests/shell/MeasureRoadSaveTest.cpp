// The measuring road end to end, around what a save stores: a run that fails
// after a good one leaves the good one shown and stored, and an average ends
// with the save that stores it. The program itself runs headless from a
// script, measuring with the sensor simulator program.

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "tests/shell/MeasureRoadSupport.h"

namespace {

using namespace qtest;

// The measuring screen: the compute button of the averaging layout, and the
// number of averaged runs.
constexpr Spot kCompute{60, 151};
constexpr RECT kAveragedCount{236, 58, 268, 80};
// An averaged run over: the compute button, which the run turns off, comes
// on again (the save button stays off until the average is computed).
constexpr Spot kComputeFace{100, 165};
// A pixel of the averaged count that "2" inks and "1" leaves white.
constexpr Spot kCountTwoInk{247, 69};

class MeasureRoadSave : public qtest::MeasureRoad {};

// The replace question's yes button.
constexpr Spot kYes{155, 190};
// A message box: a pixel of its icon (a failure's red), and its text's
// first and third lines.
constexpr Spot kBoxIcon{110, 103};
constexpr COLORREF kFailureRed = RGB(0xD2, 0x28, 0x28);
constexpr RECT kBoxFirstLine{150, 86, 370, 100};
constexpr RECT kBoxThirdLine{150, 122, 370, 138};

// What the program writes into a named pipe as its snapshot, read once it
// opens the pipe. The script's snapshot into a pipe is held in its open
// until the test opens the pipe for reading, so the test takes its turn
// there. Empty when the program never came to it (the guard is a hang guard).
std::string SnapshotThroughPipe(const std::string& pipe, int guardMs = 120000)
{
    const int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes;
    char buffer[65536];
    for (;;) {
        // Before the program opens its end there is nothing to read and no
        // end of file either: the poll waits for it.
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, guardMs) <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    ::close(fd);
    return bytes;
}

// A good run, then the head is replaced by one whose dump stops midway: the
// second run fails, and the first run's measurement stays on the screen and
// is what the save stores.
class FailedRunAfterAGoodOne : public MeasureRoadSave {
protected:
    void Road(int deviceType, const std::function<void(ParamBlock&)>& settings = {})
    {
        WriteSettings(deviceType, 1, settings);
        sim = StartSim(deviceType);
        Script s;
        Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure)).Snap(Snap("measured"));
        // The test puts the stalling head in the good one's place: the link
        // goes and comes back with it.
        s.AwaitGone(kMeasureFace, kFaceOn).Await(kMeasureFace, kFaceOn);
        Failed(s.Tap(kMeasure)).Snap(Snap("failed"));
        s.Tap(kMessageOk).Snap(Snap("after"));
        Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
        ASSERT_EQ(RunAlong(s, {{"measured",
                                [&] {
                                    sim.reset();
                                    sim = StartSim(deviceType, {"--fault", "stall=600"});
                                }}}),
                  0);
        EXPECT_GT(Count(Png("failed"), kMessageText, Dark), 100) << "the failure message";
        EXPECT_LT(Differing(Png("measured"), Png("after"), kResultValues), 30) << "the good run's values stay";
    }
};

TEST_F(FailedRunAfterAGoodOne, WheelHeadKeepsTheGoodRunShownAndStoresIt)
{
    Road(1);
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u) << "the save stayed possible";
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
    EXPECT_NEAR(GetQavRecordValue(journal[0], 1), 31200, 1500);
    EXPECT_GT(StoredPoints(journal[0]), 500) << "the good run's profile";
    EXPECT_NE(journal[0].stepRegister, 0);
}

TEST_F(FailedRunAfterAGoodOne, TwoHeadDiscKeepsTheGoodRunShownAndStoresIt)
{
    Road(4, [](ParamBlock& b) { b.discHeadMode = 2; });
    const std::vector<QodJournalRecord> journal = QodJournal();
    ASSERT_EQ(journal.size(), 1u) << "the save stayed possible";
    EXPECT_GT(journal[0].countA, 100) << "side A of the good run";
    EXPECT_GT(journal[0].countB, 100) << "side B of the good run";
    EXPECT_GT(GetQodRecordValue(journal[0], 6), 0) << "its thickness";
}

// Two runs averaged and stored; the next wheel's first run is its average's
// first, not the third of the wheel before.
TEST_F(MeasureRoadSave, StoredAverageStartsTheNextWheelsAverageAfresh)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option5 = 2; });
    sim = StartSim(1);
    Script s;
    Linked(s).Tap(kStartMeasure).Snap(Snap("none"));
    s.Tap(kMeasure).Await(kComputeFace, kFaceOn).Snap(Snap("one"));
    s.Tap(kMeasure).AwaitGone(kCountTwoInk, RGB(0xFF, 0xFF, 0xFF)).Snap(Snap("two")).Tap(kCompute);
    // The average stored turns the compute button off again.
    Stored(s.Tap(kSave).Tap(kRecordOk));
    s.Tap(kMeasure).Await(kComputeFace, kFaceOn).Snap(Snap("next")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    ASSERT_NE(At(Png("none"), kComputeFace.x, kComputeFace.y), kFaceOn) << "nothing to compute before a run";
    ASSERT_GT(Differing(Png("one"), Png("two"), kAveragedCount), 10) << "the count is shown";
    EXPECT_LT(Differing(Png("one"), Png("next"), kAveragedCount), 3) << "one run averaged again";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
}

// A series over a plain car and a car turned round and named the other way
// round (kind w), each wheel named on its own: the saves store each position
// under the names and the side digit of the wheel the walk stood on.
TEST_F(MeasureRoadSave, SeriesOverATurnedAndSwappedCarStoresEachWheelUnderItsOwnNamesAndSide)
{
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Turned.sch",
                   "Turned\r\n{\r\n"
                   "1d-|Coach|11|1l|A1|L1||1r|A1|R1||;\r\n"
                   "2w-|Diner|22|1l|B1|L1||1r|B1|R1||2l|B2|L2||2r|B2|R2||;\r\n"
                   "}\r\nType:3\r\n");
    WriteSettings(1, 0, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Turned"); });
    sim = StartSim(1);
    Script s;
    Linked(s).Tap(kStartMeasure).Tap(kRecordOk).Wait(kSeriesReadyMs);
    for (int k = 0; k < 4; ++k) MeasuredInSeries(s.Tap(kSeriesMeasure)).Tap(kSave);
    s.Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    struct Expected {
        const char16_t *car, *number, *axle, *wheel, *side;
    };
    // Order type 3 walks right, then left. The turned car is met from its last
    // axle with left and right exchanged; its swapped names flip the digit.
    // The first car's left wheel keeps its own name although the series
    // started on its right wheel.
    const Expected expected[4] = {
        {u"Coach", u"11", u"A1", u"R1", u"1"},
        {u"Coach", u"11", u"A1", u"L1", u"0"},
        {u"Diner", u"22", u"B2", u"L2", u"1"},
        {u"Diner", u"22", u"B2", u"R2", u"0"},
    };
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 4u);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        const QavJournalRecord& r = journal[static_cast<size_t>(k)];
        EXPECT_EQ(Field(r.carName), expected[k].car);
        EXPECT_EQ(Field(r.carNumber), expected[k].number);
        EXPECT_EQ(Field(r.axleName), expected[k].axle);
        EXPECT_EQ(Field(r.wheelName), expected[k].wheel);
        EXPECT_EQ(Field(r.side), expected[k].side);
        EXPECT_EQ(Field(r.date), Today());
        EXPECT_NEAR(GetQavRecordValue(r, 0), 28000, 1500);
        EXPECT_GT(StoredPoints(r), 500);
    }
}

// The wheel head stored its record of a wheel; the wheel-set gauge then
// measures the axle under the same names. Its values join the head's record,
// and the axle's other wheel gets a record of its own with only the gauge's
// measurement in it.
TEST_F(MeasureRoadSave, WheelSetGaugeAfterTheWheelHeadAddsTheOtherWheelWithOnlyItsOwnValues)
{
    WriteSettings(1, 1);
    sim = StartSim(1);
    Script head;
    Measured(Linked(head).Tap(kStartMeasure).Tap(kMeasure));
    Stored(head.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    ASSERT_EQ(Run(head), 0);
    const std::vector<QavJournalRecord> before = QavJournal();
    ASSERT_EQ(before.size(), 1u);
    sim.reset();

    WriteSettings(3, 1);
    sim = StartSim(3, {"--value", "500"});
    Script gauge;
    Measured(Linked(gauge).Tap(kStartMeasure).Tap(kMeasure));
    Stored(gauge.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    ASSERT_EQ(Run(gauge), 0);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    const QavJournalRecord& merged = journal[0];
    EXPECT_EQ(Field(merged.side), Field(before[0].side));
    EXPECT_EQ(GetQavRecordValue(merged, 28), 5000) << "the gauge's reading joins the head's record";
    EXPECT_EQ(GetQavRecordValue(merged, 0), GetQavRecordValue(before[0], 0)) << "the head's values stay";
    EXPECT_EQ(StoredPoints(merged), StoredPoints(before[0]));
    const QavJournalRecord& other = journal[1];
    EXPECT_NE(Field(other.side), Field(merged.side)) << "the axle's other wheel";
    EXPECT_EQ(Field(other.date), Field(merged.date));
    EXPECT_EQ(Field(other.wheelName), Field(merged.wheelName));
    EXPECT_EQ(GetQavRecordValue(other, 28), 5000);
    EXPECT_EQ(Field(other.sensorName3), u"QEM 12345");
    EXPECT_EQ(Field(other.sensorName1), u"") << "no head measured this wheel";
    EXPECT_EQ(StoredPoints(other), 0) << "no profile";
    for (int word = 0; word <= 26; ++word) EXPECT_EQ(GetQavRecordValue(other, word), 0) << "value " << word;
    EXPECT_EQ(Field(other.time).size(), 8u);
    EXPECT_NE(Field(other.time), Field(merged.time)) << "the gauge's save, not the head's";
}

// The wheel-set gauge along a scheme that names each wheel on its own: the
// axle's pair is stored under its first position's names, and the series
// opened again shows that axle measured (so measuring it again asks first).
TEST_F(MeasureRoadSave, WheelSetGaugeAxleOfDifferentlyNamedWheelsShowsMeasuredWhenTheSeriesOpensAgain)
{
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Named.sch",
                   "Named\r\n{\r\n"
                   "1d-|Coach|11|1l|A1|L1||1r|A1|R1||2l|A2|L2||2r|A2|R2||;\r\n"
                   "}\r\nType:3\r\n");
    WriteSettings(3, 0, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Named"); });
    sim = StartSim(3, {"--value", "500"});
    Script s;
    Linked(s).Tap(kStartMeasure).Tap(kRecordOk).Wait(kSeriesReadyMs).Snap(Snap("opened"));
    // The gauge's run holds the program from its start until it ends.
    for (int axle = 0; axle < 2; ++axle) s.Tap(kSeriesMeasure).Wait(kRunStartMs).Tap(kSave);
    Linked(s.Tap(kClose)).Tap(kStartMeasure).Tap(kRecordOk);
    // The series has read the journal: its first position is current and
    // measured (purple).
    s.Await(30, 165, RGB(0xC1, 0x00, 0xC1)).Snap(Snap("reopened")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 4u);
    for (size_t k = 0; k < 4; ++k) {
        const QavJournalRecord& r = journal[k];
        EXPECT_EQ(Field(r.wheelName), k < 2 ? u"R1" : u"R2") << "the axle's first position in the walk";
        EXPECT_EQ(Field(r.axleName), k < 2 ? u"A1" : u"A2");
        EXPECT_EQ(GetQavRecordValue(r, 28), 5000);
    }
    EXPECT_GT(Count(Png("opened"), kDiagram, Shade(kCurrentShade)), 30);
    EXPECT_EQ(Count(Png("opened"), kDiagram, Shade(kMeasuredShade)), 0);
    EXPECT_GT(Count(Png("reopened"), kDiagram, Shade(kBothShade)), 30) << "the first axle, current and measured";
    EXPECT_GT(Count(Png("reopened"), kDiagram, Shade(kMeasuredShade)), 30) << "the second axle, measured";
}

// The series measures a stored position again, and while its replace
// question is up a PC puts another wheel's record in the stored one's place
// (the journal rewritten with a record before it). Yes writes nothing: the
// journal keeps every byte it was given, and the operator is told to
// measure and save again.
TEST_F(MeasureRoadSave, AJournalRewrittenWhileTheReplaceQuestionIsUpIsKeptAndTheSaveRefused)
{
    WriteSettings(1, 0, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles"); });
    sim = StartSim(1);
    const std::string asked = (dir / "asked.pipe").string(), go = (dir / "go.pipe").string();
    ASSERT_EQ(0, ::mkfifo(asked.c_str(), 0644));
    ASSERT_EQ(0, ::mkfifo(go.c_str(), 0644));
    Script s;
    Linked(s).Tap(kStartMeasure).Tap(kRecordOk).Wait(kSeriesReadyMs);
    MeasuredInSeries(s.Tap(kSeriesMeasure)).Tap(kSave);
    // Opened again, the series stands on the stored position (purple).
    Linked(s.Tap(kClose)).Tap(kStartMeasure).Tap(kRecordOk);
    s.Await(30, 165, RGB(0xC1, 0x00, 0xC1)).Wait(kSeriesReadyMs);
    Measured(s.Tap(kSeriesMeasure).Tap(kMeasure)).Tap(kSave);
    // The question is up: the test rewrites the journal between the two.
    s.Snap(asked).Snap(go).Tap(kYes).Await(kBoxIcon, kFailureRed).Snap(Snap("refused"));
    s.Tap(kMessageOk).Snap(Snap("after"));
    s.Tap(kClose).Tap(kClose);
    int status = -1;
    std::thread program = RunAside(s, &status);
    const std::string question = SnapshotThroughPipe(asked);
    std::ofstream(Snap("question"), std::ios::binary) << question;
    std::string rewritten;
    const std::vector<QavJournalRecord> stored = QavJournal();
    if (stored.size() == 1) {
        QavJournalRecord other = stored[0];
        qplat::CopyField(other.wheelName, std::size(other.wheelName), u"Other");
        rewritten.append(reinterpret_cast<const char*>(&other), sizeof other);
        rewritten.append(reinterpret_cast<const char*>(&stored[0]), sizeof stored[0]);
        root.WriteFile(u"\\SDMMC\\Autorun\\DB\\road.qav", rewritten);
    }
    const std::string held = SnapshotThroughPipe(go);
    program.join();
    ASSERT_EQ(status, 0);
    ASSERT_EQ(stored.size(), 1u) << "the position stored before";
    EXPECT_FALSE(held.empty());
    ASSERT_FALSE(question.empty()) << "the question came";
    // The question's text of two lines beside its blue icon; the refusal's
    // of three (its own, not the failure of a card) beside the red one.
    const qplat::Surface asking = Png("question"), refused = Png("refused");
    EXPECT_EQ(At(asking, kBoxIcon.x, kBoxIcon.y), RGB(0x1B, 0x50, 0xB8));
    EXPECT_EQ(Count(asking, kBoxThirdLine, Dark), 0);
    EXPECT_GT(Count(refused, kBoxThirdLine, Dark), 100);
    EXPECT_GT(Differing(asking, refused, kBoxFirstLine), 100);
    const qplat::Surface after = Png("after");
    EXPECT_GT(Differing(refused, after, kBoxThirdLine), 100) << "the notice closed";
    EXPECT_EQ(At(after, kSaveFace.x, kSaveFace.y), kFaceOn) << "the save is there to try again";
    EXPECT_TRUE(root.ReadFile(u"\\SDMMC\\Autorun\\DB\\road.qav") == rewritten) << "every byte kept";
    EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\DB\\road.qav.undo"));
}

}  // namespace
