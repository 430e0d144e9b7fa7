// The measuring road end to end, from the start screen's measure button, with
// the simulated sensors: single measurements and scheme series of the wheel
// head, both gauges and the two-head disc device, the sensor failing in the
// middle of a run, and a road whose settings file cannot be read.

#include "tests/shell/MeasureRoadSupport.h"
#include "ui/OwnerButton.h"

namespace {

namespace fs = std::filesystem;
using namespace qtest;

class MeasureRoad : public qtest::MeasureRoad {};

// The card's English text of `id` replaced by `text`: a message whose text
// is cut to one character draws almost nothing, so a test tells by the ink
// which of two messages was shown.
void ReplaceText(TempDeviceRoot& root, int id, const std::string& text)
{
    const std::u16string path = u"\\SDMMC\\Autorun\\Language\\ENG.LNG";
    std::string file = root.ReadFile(path);
    const std::string key = "\r\n" + std::to_string(id) + "=";
    const size_t at = file.find(key);
    ASSERT_NE(at, std::string::npos) << id;
    const size_t end = file.find("\r\n", at + key.size());
    file.replace(at + key.size(), end - at - key.size(), text);
    root.WriteFile(path, file);
}

TEST_F(MeasureRoad, WheelHeadSingleMeasurementIsShownEnteredStoredAndReplacedOnTheSameWheel)
{
    WriteSettings(1, 1);
    sim = StartSim(1);
    Script s;
    Linked(s).Snap(Snap("start")).Tap(kStartMeasure).Snap(Snap("empty"));
    Measured(s.Tap(kMeasure)).Snap(Snap("results"));
    s.Tap(kChartView).Snap(Snap("chart")).Tap(kResultsView);
    // The record data: the axle number typed on the digits keyboard.
    s.Tap(kSave).Wait(kRecordReadyMs).Tap(kAxleNumberEdit).Snap(Snap("keyboard"));
    s.Tap(kDigit7).Tap(kKeyboardOkKey).Snap(Snap("record"));
    Stored(s.Tap(kRecordOk)).Snap(Snap("saved"));
    // The same wheel again: the stored record is replaced without a question.
    Measured(s.Tap(kMeasure)).Tap(kSave).Tap(kRecordOk);
    Stored(s).Snap(Snap("resaved")).Tap(kClose).Snap(Snap("back"));

    std::vector<QavJournalRecord> first;
    ASSERT_EQ(RunAlong(s, {{"saved", [&] { first = QavJournal(); }}}), 0);

    // The panel's values changed with the run, and the chart shows the
    // profile (blue) and its key points (red).
    EXPECT_GT(Differing(Png("empty"), Png("results"), kResultValues), 200) << "the three graded values";
    EXPECT_GT(Count(Png("results"), kResultValues, Blueish), 200);
    const qplat::Surface chart = Png("chart");
    EXPECT_GT(Count(chart, kChartArea, Blueish), 150) << "the measured profile";
    EXPECT_GT(Count(chart, kChartArea, Reddish), 20) << "its key points";
    EXPECT_GT(Count(Png("keyboard"), RECT{20, 120, 400, 210}, Dark), 50) << "the digits keyboard";
    EXPECT_GT(Count(Png("record"), RECT{352, 103, 458, 127}, Dark), 5) << "the typed axle number";

    ASSERT_EQ(first.size(), 1u);
    const QavJournalRecord& r = first[0];
    EXPECT_EQ(Field(r.date), Today());
    EXPECT_EQ(Field(r.time).size(), 8u);
    EXPECT_EQ(Field(r.axleName2), u"7");
    EXPECT_EQ(Field(r.side), u"0");
    EXPECT_EQ(Field(r.sensorName1), u"LX412 12345");
    // Flange height, flange thickness and the flank slope qR of the S1002
    // wheel, in micrometres (the word of qR follows byte 813).
    EXPECT_NEAR(GetQavRecordValue(r, 0), 28000, 1500);
    EXPECT_NEAR(GetQavRecordValue(r, 1), 31200, 1500);
    const int slopeWord = r.option813 == 1 || r.option813 == 3 ? 5 : 6;
    EXPECT_NEAR(GetQavRecordValue(r, slopeWord), 9500, 1500);
    EXPECT_GT(StoredPoints(r), 500) << "the profile";
    EXPECT_NE(r.stepRegister, 0);
    EXPECT_EQ(r.option815, 1);

    // Replaced in place: one record, its time and texts kept, the same values.
    const std::vector<QavJournalRecord> after = QavJournal();
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(Field(after[0].time), Field(r.time));
    EXPECT_EQ(Field(after[0].axleName2), u"7");
    for (int word : {0, 1, 2, 5, 6}) EXPECT_EQ(GetQavRecordValue(after[0], word), GetQavRecordValue(r, word));
    EXPECT_EQ(StoredPoints(after[0]), StoredPoints(r));

    EXPECT_EQ(At(Png("back"), 200, 250), 0x000000u) << "the start screen is back";
}

TEST_F(MeasureRoad, WheelHeadSeriesStoresTwoPositionsAdvancesAndShowsThemMeasuredWhenOpenedAgain)
{
    WriteSettings(1, 0, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles"); });
    sim = StartSim(1);
    Script s;
    Linked(s).Tap(kStartMeasure).Snap(Snap("record"));
    s.Tap(kRecordOk).Wait(kSeriesReadyMs).Snap(Snap("series0"));
    for (int k = 1; k <= 2; ++k) {
        // The measuring screen starts measuring at once for a new position.
        MeasuredInSeries(s.Tap(kSeriesMeasure)).Snap(Snap("measured" + std::to_string(k)));
        s.Tap(kSave).Snap(Snap("series" + std::to_string(k)));
    }
    Linked(s.Tap(kClose)).Tap(kStartMeasure).Tap(kRecordOk);
    // The series has read the journal: its first position is current and
    // measured (purple).
    s.Await(30, 165, RGB(0xC1, 0x00, 0xC1)).Snap(Snap("reopened")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    // Two different positions of the scheme's first axle, in the walk's order.
    EXPECT_EQ(Field(journal[0].axleName), Field(journal[1].axleName));
    EXPECT_NE(Field(journal[0].side), Field(journal[1].side));
    for (const QavJournalRecord& r : journal) {
        EXPECT_EQ(Field(r.date), Today());
        EXPECT_NEAR(GetQavRecordValue(r, 0), 28000, 1500);
        EXPECT_GT(StoredPoints(r), 500);
    }

    const auto current = Shade(kCurrentShade), measured = Shade(kMeasuredShade);
    const qplat::Surface s0 = Png("series0"), s1 = Png("series1"), s2 = Png("series2"), again = Png("reopened");
    EXPECT_GT(Count(s0, kDiagram, current), 30);
    EXPECT_EQ(Count(s0, kDiagram, measured), 0);
    const int one = Count(s1, kDiagram, measured);
    EXPECT_GT(one, 30) << "the first position is marked";
    EXPECT_GT(Count(s1, kDiagram, current), 30) << "and the walk moved on";
    EXPECT_GT(Count(s2, kDiagram, measured), one + 30) << "two positions marked";
    // Opened again: the walk starts at the first position, which the journal
    // shows measured, and the second is measured too.
    EXPECT_GT(Count(again, kDiagram, Shade(kBothShade)), 30);
    EXPECT_GT(Count(again, kDiagram, measured), 30);
    // The value list shows the stored results of the first position again.
    EXPECT_GT(Differing(s0, again, RECT{236, 49, 377, 144}), 20);
}

TEST_F(MeasureRoad, DiameterGaugeIsZeroedMeasuredAndStored)
{
    WriteSettings(2, 1);
    sim = StartSim(2, {"--value", "1234"});
    Script s;
    Linked(s).Tap(kStartMeasure).Snap(Snap("gauge0"));
    // The zeroing runs on the tap itself.
    s.Tap(kZero).Snap(Snap("zeroed"));
    Measured(s.Tap(kMeasure)).Snap(Snap("measured"));
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    // The zeroing showed no failure: the screen is as it was.
    EXPECT_LT(Differing(Png("gauge0"), Png("zeroed"), RECT{100, 60, 400, 230}), 50);
    EXPECT_GT(Differing(Png("zeroed"), Png("measured"), RECT{120, 87, 475, 267}), 100) << "the reading shown";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(GetQavRecordValue(journal[0], 7), 12340);
    EXPECT_EQ(Field(journal[0].sensorName2), u"QUN 12345");
    EXPECT_EQ(StoredPoints(journal[0]), 0) << "a gauge stores no profile";
}

TEST_F(MeasureRoad, WheelSetGaugeMeasuresThreeStepsOfAnAxleIntoTwoRecords)
{
    WriteSettings(3, 0, [](ParamBlock& b) {
        b.gaugeSteps = 3;
        qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles");
    });
    sim = StartSim(3, {"--value", "500"});
    Script s;
    Linked(s).Tap(kStartMeasure).Tap(kRecordOk).Wait(kSeriesReadyMs);
    s.Snap(Snap("series0"));
    // The series zeroes the gauge and the screen measures the first step at once.
    s.Tap(kSeriesMeasure).Wait(kRunStartMs).Snap(Snap("step1"));
    for (int k = 2; k <= 3; ++k) s.Tap(kNextStep).Tap(kMeasure).Wait(kRunStartMs);
    s.Snap(Snap("step3")).Tap(kSave).Snap(Snap("series1")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    EXPECT_GT(Differing(Png("step1"), Png("step3"), RECT{120, 87, 475, 267}), 20) << "the dial's steps filled";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u) << "one record for each wheel of the axle";
    EXPECT_EQ(Field(journal[0].side), u"0");
    EXPECT_EQ(Field(journal[1].side), u"1");
    for (const QavJournalRecord& r : journal) {
        EXPECT_EQ(GetQavRecordValue(r, 27), 3) << "steps";
        for (int step = 0; step < 3; ++step) EXPECT_EQ(GetQavRecordValue(r, 29 + step), 5000) << step;
        EXPECT_EQ(GetQavRecordValue(r, 28), 5000) << "their mean";
        EXPECT_EQ(Field(r.sensorName3), u"QEM 12345");
        EXPECT_EQ(Field(r.axleName), Field(journal[0].axleName));
    }
}

TEST_F(MeasureRoad, TwoHeadDiscIsMeasuredOnBothSidesAndStored)
{
    // A reference of the unworn disc, 4 mm below the head's zero.
    std::string reference = "Unworn disc\r\n";
    for (int x = 0; x <= 135000; x += 5000) reference += std::to_string(x) + ";-4000\r\n";
    root.WriteFile(u"\\SDMMC\\Autorun\\Refer_QOD\\unworn.ref", reference);
    WriteSettings(4, 1, [](ParamBlock& b) {
        b.discHeadMode = 2;
        b.spareOption2 = 1;
        qplat::CopyField(b.qodReferName, PARAM_NAME_CHARS, u"Unworn disc");
    });
    sim = StartSim(4);
    Script s;
    Linked(s).Tap(kStartMeasure).Snap(Snap("disc0"));
    Measured(s.Tap(kMeasure)).Snap(Snap("results"));
    s.Tap(kChartView).Snap(Snap("chart")).Tap(kResultsView);
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    EXPECT_GT(Differing(Png("disc0"), Png("results"), kResultValues), 100);
    const qplat::Surface chart = Png("chart");
    // The two faces either side of the axis, the reference in green and the
    // marks in red.
    EXPECT_GT(Count(chart, RECT{122, 89, 473, 172}, Blueish), 50);
    EXPECT_GT(Count(chart, RECT{122, 182, 473, 265}, Blueish), 50);
    EXPECT_GT(Count(chart, kChartArea, [](COLORREF c) { return c == RGB(0, 150, 0); }), 50);
    EXPECT_GT(Count(chart, kChartArea, Reddish), 10);

    const std::vector<QodJournalRecord> journal = QodJournal();
    ASSERT_EQ(journal.size(), 1u);
    const QodJournalRecord& r = journal[0];
    EXPECT_GT(r.countA, 100);
    EXPECT_GT(r.countB, 100);
    EXPECT_NE(r.stepRegisterA, 0);
    EXPECT_NE(r.stepRegisterB, 0);
    EXPECT_EQ(r.profileA[r.countA], 0) << "nothing past side A's points";
    EXPECT_GT(GetQodRecordValue(r, 6), 0) << "the thickness of both sides";
    EXPECT_EQ(Field(r.sensorName), u"LX413 12345");
    EXPECT_EQ(Field(r.date), Today());
}

// No disc reference is chosen (the disc family saves none from the journal):
// the two-head disc measured, stored, and opened in the journal browser. On
// both charts the faces lie inside the plot, side 1 above the axis and side 2
// below it, none on the plot's top or bottom line.
TEST_F(MeasureRoad, TwoHeadDiscWithoutAReferenceLiesInsideTheMeasuringAndTheJournalChart)
{
    WriteSettings(4, 1, [](ParamBlock& b) { b.discHeadMode = 2; });
    sim = StartSim(4);
    // The journal browser's mode button, at 315, 50.
    const SIZE mode = GetResourceBitmapSize(nullptr, 335);
    const Spot recordMode{315 + 1 + mode.cx / 2, 50 + 1 + mode.cy / 2};
    const Spot startJournal{88, 151};
    Script s;
    Linked(s).Tap(kStartMeasure);
    Measured(s.Tap(kMeasure));
    s.Tap(kChartView).Snap(Snap("chart")).Tap(kResultsView);
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    s.Tap(startJournal).Tap(recordMode).Snap(Snap("record")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);
    ASSERT_EQ(QodJournal().size(), 1u);

    // Both charts are 180 pixels high at y 87: the plot's top line is row
    // 107, its bottom line row 234, the axis between them at row 170.
    struct Chart {
        const char* snap;
        LONG left, right;
    };
    for (const Chart& c : {Chart{"chart", 122, 460}, Chart{"record", 7, 300}}) {
        SCOPED_TRACE(c.snap);
        const qplat::Surface png = Png(c.snap);
        EXPECT_EQ(Count(png, RECT{c.left, 104, c.right, 111}, Blueish), 0) << "nothing on the top line";
        EXPECT_EQ(Count(png, RECT{c.left, 231, c.right, 238}, Blueish), 0) << "nothing on the bottom line";
        EXPECT_GT(Count(png, RECT{c.left, 111, c.right, 166}, Blueish), 100) << "side 1 above the axis";
        EXPECT_GT(Count(png, RECT{c.left, 175, c.right, 231}, Blueish), 100) << "side 2 below the axis";
    }
}

// The sensor falls silent during a run: the failure is shown, nothing can be
// stored, and once it answers again the next run succeeds.
TEST_F(MeasureRoad, SensorFallingSilentFailsTheRunAndTheNextRunSucceeds)
{
    WriteSettings(1, 1);
    sim = StartSim(1);
    Script s;
    // The test pauses the sensor once the screen is ready; the tap comes a
    // moment later, before the screen's link monitor has seen the silence
    // (which would disable the button).
    Linked(s).Tap(kStartMeasure).Snap(Snap("ready")).Wait(500);
    Failed(s.Tap(kMeasure)).Snap(Snap("failed")).Tap(kMessageOk).Snap(Snap("after"));
    // The save button stays off: its tap opens nothing.
    s.Tap(kSave).Snap(Snap("nosave"));
    // The monitor sees the silence (the measure button goes off); once the
    // test has let the sensor answer again the link comes back.
    s.AwaitGone(kMeasureFace, kFaceOn).Snap(Snap("silent")).Await(kMeasureFace, kFaceOn);
    Measured(s.Tap(kMeasure)).Snap(Snap("measured"));
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    bool journalEmpty = false;
    ASSERT_EQ(RunAlong(s, {{"ready", [&] { sim->Pause(); }},
                           {"silent",
                            [&] {
                                journalEmpty = QavJournal().empty();
                                sim->Resume();
                            }}}),
              0);

    EXPECT_TRUE(journalEmpty);
    EXPECT_GT(Count(Png("failed"), kMessageText, Dark), 100) << "the failure message";
    // The save button stayed disabled: tapping it opened no record-data screen.
    EXPECT_LT(Differing(Png("after"), Png("nosave"), RECT{0, 48, 480, 272}), 50);
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
}

// A head that stops in the middle of its dump: the run fails and stores
// nothing; with a sound head on the link the next run succeeds.
TEST_F(MeasureRoad, DumpStallingMidwayFailsTheRunAndASoundHeadMeasuresNext)
{
    WriteSettings(1, 1);
    sim = StartSim(1, {"--fault", "stall=600"});
    Script s;
    Failed(Linked(s).Tap(kStartMeasure).Tap(kMeasure));
    // The test puts a sound head in the stalled one's place: the link goes and
    // comes back with it.
    s.Snap(Snap("failed")).Tap(kMessageOk).AwaitGone(kMeasureFace, kFaceOn);
    s.Await(kMeasureFace, kFaceOn);
    Measured(s.Tap(kMeasure)).Snap(Snap("measured"));
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    bool journalEmpty = false;
    ASSERT_EQ(RunAlong(s, {{"failed",
                            [&] {
                                journalEmpty = QavJournal().empty();
                                sim.reset();
                                sim = StartSim(1);
                            }}}),
              0);

    EXPECT_TRUE(journalEmpty);
    EXPECT_GT(Count(Png("failed"), kMessageText, Dark), 100) << "the failure message";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_GT(StoredPoints(journal[0]), 500);
}

// A head answering random bytes: the launch says the head's answer could not
// be read, keeps nothing of it, and with a sound head the next launch measures.
TEST_F(MeasureRoad, GarbledHeadIsSaidUnreadableAndASoundHeadMeasuresAtTheNextLaunch)
{
    ReplaceText(root, 50008, ".");  // "no answer" would leave the message empty
    WriteSettings(1, 1);
    sim = StartSim(1, {"--fault", "garbage"});
    Script s;
    Failed(Linked(s).Tap(kStartMeasure)).Snap(Snap("unreadable"));
    // The test puts a sound head in the garbled one's place: the link goes
    // and comes back with it.
    s.Tap(kMessageOk).Snap(Snap("back")).AwaitGone(kLinkedFace, kFaceOn);
    Linked(s).Tap(kStartMeasure).Tap(kMeasure);
    Measured(s).Snap(Snap("measured"));
    Stored(s.Tap(kSave).Tap(kRecordOk)).Tap(kClose);
    ASSERT_EQ(RunAlong(s, {{"back",
                            [&] {
                                sim.reset();
                                sim = StartSim(1);
                            }}}),
              0);

    EXPECT_GT(Count(Png("unreadable"), kMessageText, Dark), 100) << "the unreadable answer is said";
    EXPECT_EQ(At(Png("back"), 200, 250), 0x000000u) << "the start screen";
    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 1u) << "the sound head measured";
    EXPECT_NEAR(GetQavRecordValue(journal[0], 0), 28000, 1500);
    EXPECT_GT(StoredPoints(journal[0]), 500);
}

// The slope shown as a verdict, the reference overlay on and no reference
// profile: before a measurement no verdict and no reference number; after it
// the verdict, and still no reference number.
TEST_F(MeasureRoad, WheelPanelShowsNoVerdictBeforeAResultAndNoReferenceValueWithoutAReference)
{
    WriteSettings(1, 1, [](ParamBlock& b) {
        b.option4 = 3;
        b.spareOption2 = 1;
    });
    sim = StartSim(1);
    Script s;
    Linked(s).Tap(kStartMeasure).Snap(Snap("before"));
    Measured(s.Tap(kMeasure)).Snap(Snap("after")).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    auto greenish = [](COLORREF c) { return GetGValue(c) > 150 && GetRValue(c) < 90 && GetBValue(c) < 90; };
    const RECT verdict{195, 216, 303, 256};  // the third line's value, left of the reference half
    const qplat::Surface before = Png("before"), after = Png("after");
    EXPECT_EQ(Count(before, kResultValues, greenish), 0) << "no reference value";
    EXPECT_EQ(Count(before, verdict, Blueish), 0) << "no verdict before a result";
    EXPECT_GT(Count(before, RECT{195, 98, 303, 138}, Blueish), 10) << "the first line's 0.00";
    EXPECT_GT(Count(after, verdict, Blueish), 10) << "the verdict of the measured slope";
    EXPECT_EQ(Count(after, kResultValues, greenish), 0);
}

// A card without a current journal: the save says so and where to choose one,
// and writes nothing.
TEST_F(MeasureRoad, SaveWithoutACurrentJournalSaysSoAndWritesNothing)
{
    ReplaceText(root, 50015, ".");  // "could not be saved" would leave the message empty
    WriteSettings(1, 1, [](ParamBlock& b) { std::memset(b.qavJournalName, 0, sizeof b.qavJournalName); });
    sim = StartSim(1);
    Script s;
    Measured(Linked(s).Tap(kStartMeasure).Tap(kMeasure));
    Failed(s.Tap(kSave).Tap(kRecordOk)).Snap(Snap("nojournal"));
    s.Tap(kMessageOk).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    EXPECT_GT(Count(Png("nojournal"), kMessageText, Dark), 100) << "no journal is selected";
    EXPECT_TRUE(fs::is_empty(root.Host(u"\\SDMMC\\Autorun\\DB"))) << "nothing written";
}

// The type-3 gauge's mean over its steps: a step moved to but not measured
// does not halve it.
TEST_F(MeasureRoad, WheelSetGaugeStoresTheMeanOfTheMeasuredStepsOnly)
{
    WriteSettings(3, 0, [](ParamBlock& b) {
        b.gaugeSteps = 3;
        qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles");
    });
    sim = StartSim(3, {"--value", "500"});
    Script s;
    Linked(s).Tap(kStartMeasure).Tap(kRecordOk).Wait(kSeriesReadyMs);
    s.Tap(kSeriesMeasure).Wait(kRunStartMs).Tap(kNextStep);
    s.Tap(kSave).Tap(kClose);
    ASSERT_EQ(Run(s), 0);

    const std::vector<QavJournalRecord> journal = QavJournal();
    ASSERT_EQ(journal.size(), 2u);
    for (const QavJournalRecord& r : journal) {
        EXPECT_EQ(GetQavRecordValue(r, 27), 3) << "steps";
        EXPECT_EQ(GetQavRecordValue(r, 29), 5000);
        EXPECT_EQ(GetQavRecordValue(r, 30), 0);
        EXPECT_EQ(GetQavRecordValue(r, 28), 5000) << "the mean of the one measured step";
    }
}

// The settings file cannot be read when the disc road starts: the screens fall
// back to the wheel family's factory settings, have no disc record to work
// on, open nothing, and nothing is stored.
TEST_F(MeasureRoad, DiscRoadWithAnUnreadableSettingsFileOpensNoScreenAndStoresNothing)
{
    for (int mode : {1, 0}) {
        SCOPED_TRACE(mode ? "single measurement" : "scheme");
        WriteSettings(4, mode, [](ParamBlock& b) {
            b.discHeadMode = 2;
            qplat::CopyField(b.qodSchemeName, PARAM_NAME_CHARS, u"Disc car 4 axles");
        });
        sim = StartSim(4);
        Script s;
        // Nothing is to open: the launch and every screen it opens run on
        // the tap itself, so the picture after it shows one that wrongly did.
        Linked(s).Snap(Snap("start")).Tap(kStartMeasure).Snap(Snap("after"));
        ASSERT_EQ(RunAlong(s, {{"start",
                                [&] {
                                    fs::remove(root.Host(kParamPath));
                                    fs::create_directory(root.Host(kParamPath));
                                }}}),
                  0);
        // Still the start screen (its status corner follows the link, which the
        // monitor cannot keep without its settings).
        EXPECT_LT(Differing(Png("start"), Png("after"), RECT{0, 0, 480, 120}), 50) << "still the start screen";
        EXPECT_LT(Differing(Png("start"), Png("after"), RECT{0, 120, 290, 185}), 50);
        EXPECT_EQ(At(Png("after"), 200, 250), 0x000000u);
        EXPECT_TRUE(QodJournal().empty());
        EXPECT_TRUE(QavJournal().empty());
        fs::remove_all(root.Host(kParamPath));
        fs::remove(Snap("start"));
        fs::remove(Snap("after"));
        sim.reset();
    }
}

}  // namespace
