// The measuring screen without a sensor: how it ends, what it opens on, its
// buttons following the link, the averaging limit and the zoom level, the
// compute button without an averaged profile, the chart's ranges and series
// in both modes, the disc sides, and the screen as the operator sees it.

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "screens/MeasureDlg.h"
#include "screens/RecordInfoDlg.h"
#include "tests/screens/MeasureScreensTestSupport.h"

namespace {

using namespace qtest;

class MeasureScreen : public qtest::MeasureScreens {
protected:
    static void StatusTick(CMeasureDlg& s) { SendMessageW(s.m_hWnd, WM_TIMER, CMeasureDlg::kStatusTimer, 0); }
    static bool Shown(HWND w) { return w && IsWindowVisible(w); }
    // Pixels of a rectangle of the dialog's client area that pass, on the
    // screen composed once.
    static int CountClient(HWND dialog, RECT r, const std::function<bool(COLORREF)>& test)
    {
        const qplat::Surface screen = qplat::ComposeScreen();
        POINT origin{0, 0};
        ClientToScreen(dialog, &origin);
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (screen.Contains(origin.x + x, origin.y + y) &&
                    test(qplat::PixelToColor(screen.At(origin.x + x, origin.y + y))))
                    ++n;
        return n;
    }
};

TEST_F(MeasureScreen, CloseAndBackEndWithZeroAndAScreenWithoutItsFamilysRecordOpensNothing)
{
    auto record = Position(u"W1", u"0");
    auto screen = std::make_unique<CMeasureDlg>();
    CMeasureDlg* s = screen.get();
    Then([s] { SendMessageW(s->m_hWnd, WM_CLOSE, 0, 0); });
    EXPECT_FALSE(screen->DoModal(nullptr, owner, controller.get(), record.get(), nullptr, link.get(), 0))
        << "a close stores nothing, so the series must not count it as saved";
    EXPECT_FALSE(OpenMeasuring(record.get(), nullptr, 0, [](CMeasureDlg&) {}));

    WriteSettings(4, 1);
    bool ran = false, inside = true;
    Then([&] {
        ran = true;
        inside = CMeasureDlg::Current() != nullptr;
    });
    EXPECT_FALSE(RunScreen<CMeasureDlg>(nullptr, owner, controller.get(), record.get(),
                                        static_cast<QodJournalRecord*>(nullptr), link.get(), BYTE{0}));
    qtest::PumpUntil([&] { return ran; }, 500);
    EXPECT_FALSE(inside);
}

TEST_F(MeasureScreen, MeasureButtonFollowsTheLinkAndTheAveragingLimit)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option5 = 2; });
    auto record = Position(u"W1", u"0");
    bool down = true, up = false, full = true, compute = true;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        link->m_connected.store(0);
        StatusTick(s);
        down = Enabled(s.m_mainButtons[CMeasureDlg::kSlotMeasure]);
        link->m_connected.store(1);
        StatusTick(s);
        up = Enabled(s.m_mainButtons[CMeasureDlg::kSlotMeasure]);
        controller->m_averageCount = CMeasureDlg::kMaxAveraged;
        StatusTick(s);
        full = Enabled(s.m_mainButtons[CMeasureDlg::kSlotMeasure]);
        compute = Enabled(s.m_mainButtons[CMeasureDlg::kSlotFourth]);
        link->m_connected.store(0);
    });
    EXPECT_FALSE(down) << "no link, no measuring";
    EXPECT_TRUE(up);
    EXPECT_FALSE(full) << "ten averaged measurements are the most";
    EXPECT_FALSE(compute) << "compute waits for a run";

    WriteSettings(2, 1);
    bool zero = true, zeroUp = false;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        StatusTick(s);
        zero = Enabled(s.m_mainButtons[CMeasureDlg::kSlotFourth]);
        link->m_connected.store(1);
        StatusTick(s);
        zeroUp = Enabled(s.m_mainButtons[CMeasureDlg::kSlotFourth]);
        link->m_connected.store(0);
    });
    EXPECT_FALSE(zero);
    EXPECT_TRUE(zeroUp);
}

TEST_F(MeasureScreen, ComputeWithoutAnAveragedProfileKeepsTheCurrentMeasurement)
{
    WriteSettings(1, 1, [](ParamBlock& b) {
        b.option5 = 2;
        b.switches[14] = 2;  // the deviation toggle, shown once computed
    });
    auto record = Position(u"W1", u"0");
    LONG kept = 0;
    bool saveAfterNothing = true, saveAfterAverage = false, toggleShown = false;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        controller->m_result.values[0] = 4242;
        controller->m_averageCount = 0;
        Press(s.m_hWnd, CMeasureDlg::kComputeId);
        kept = controller->m_result.values[0];
        saveAfterNothing = Enabled(s.m_mainButtons[CMeasureDlg::kSlotSave]);
        // Two averaged profiles of 100 points.
        controller->m_averageCount = 2;
        controller->m_averagePoints = 100;
        for (int i = 0; i < 100; ++i) controller->m_averageSum[i] = ProfilePoint{2 * (10000 + 100 * i), 2 * 3000};
        Press(s.m_hWnd, CMeasureDlg::kComputeId);
        saveAfterAverage = Enabled(s.m_mainButtons[CMeasureDlg::kSlotSave]);
        toggleShown = Shown(s.m_toggles[CMeasureDlg::kToggleDeviation].m_hWnd);
        qtest::Snapshot("measure_averaging.png");
    });
    EXPECT_TRUE(toggleShown);
    EXPECT_EQ(kept, 4242);
    EXPECT_FALSE(saveAfterNothing);
    EXPECT_TRUE(saveAfterAverage);
    EXPECT_EQ(controller->m_count, 100u);
    EXPECT_EQ(controller->m_points[99].x, 10000 + 9900);
}

// A run that fails (here: no head on the port) leaves the screen as it was:
// the values, the profile and its deviations, the chart mode's button, the save
// button that the run before enabled, and the compute button.
TEST_F(MeasureScreen, FailedRunLeavesTheResultsTheChartAndEveryButtonAsTheyWere)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option5 = 2; });
    auto record = Position(u"W1", u"0");
    std::vector<std::u16string> texts;
    LONG value = 0;
    DWORD count = 0, deviations = 0;
    bool save = false, compute = true, chartMode = false, deviationView = false;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        // What a good run and its average left: computed and ready to save.
        CMeasureController& c = *controller;
        c.m_count = 100;
        for (DWORD i = 0; i < 100; ++i) c.m_points[i] = ProfilePoint{10000 + 100 * static_cast<LONG>(i), 3000};
        c.m_result.values[0] = 28000;
        c.m_deviationCount = 40;
        for (DWORD i = 0; i < 40; ++i) c.m_deviations[i] = DeviationRow{10000 + 250 * static_cast<LONG>(i), 50, 0, 0};
        c.m_maxAbsDeviation = c.m_maxDeviation = 50;
        s.m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
        Press(s.m_hWnd, CMeasureDlg::kChartViewId);
        Press(s.m_hWnd, CMeasureDlg::kChartModeId);
        qtest::AnswerBox(&texts);
        Press(s.m_hWnd, CMeasureDlg::kRunWheelId);
        value = c.m_result.values[0];
        count = c.m_count;
        deviations = c.m_deviationCount;
        save = Enabled(s.m_mainButtons[CMeasureDlg::kSlotSave]);
        compute = Enabled(s.m_mainButtons[CMeasureDlg::kSlotFourth]);
        chartMode = Shown(s.m_chartButtons[CMeasureDlg::kChartModeSlot].m_hWnd);
        deviationView = s.m_chartMode == 0;
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], qtest::LanguageText(50006));
    EXPECT_EQ(value, 28000);
    EXPECT_EQ(count, 100u);
    EXPECT_EQ(deviations, 40u);
    EXPECT_TRUE(save) << "the measurement before the run can still be saved";
    EXPECT_FALSE(compute) << "nothing new to compute";
    EXPECT_TRUE(chartMode) << "the deviation chart can still be left";
    EXPECT_TRUE(deviationView);
}

// Averaging belongs to one wheel: a save that stored starts the next wheel's
// average; a save that stored nothing leaves it for another try.
TEST_F(MeasureScreen, StoredSaveStartsANewAverageAndAFailedOneKeepsIt)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option5 = 2; });
    auto record = Position(u"W1", u"0");
    LONG averaged = -1;
    bool measureBefore = true, measureAfter = false, open = false;
    link->m_connected.store(1);
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        CMeasureController& c = *controller;
        c.m_averageCount = CMeasureDlg::kMaxAveraged;
        c.m_averageSum[0] = ProfilePoint{100000, 30000};
        c.m_count = 100;
        c.m_result.values[0] = 28000;
        SendMessageW(s.m_hWnd, WM_TIMER, CMeasureDlg::kStatusTimer, 0);
        measureBefore = Enabled(s.m_mainButtons[CMeasureDlg::kSlotMeasure]);
        s.m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
        Then([] { Press(FrontDialog(), CRecordInfoDlg::kOkId); });
        Press(s.m_hWnd, CMeasureDlg::kSaveId);
        averaged = c.m_averageCount;
        measureAfter = Enabled(s.m_mainButtons[CMeasureDlg::kSlotMeasure]);
        open = IsWindow(s.m_hWnd) != FALSE;
    });
    link->m_connected.store(0);
    EXPECT_FALSE(measureBefore) << "ten averaged runs are the most";
    ASSERT_EQ(QavJournal().size(), 1u);
    EXPECT_EQ(averaged, 0);
    EXPECT_EQ(controller->m_averageSum[0].x, 0);
    EXPECT_TRUE(measureAfter) << "the next wheel can be measured";
    EXPECT_TRUE(open);

    // The journal cannot be read: nothing stored, the average stays.
    std::filesystem::remove_all(root.Host(u"\\SDMMC\\Autorun\\DB"));
    root.WriteFile(u"\\SDMMC\\Autorun\\DB", "not a folder");
    std::vector<std::u16string> texts;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        controller->m_averageCount = 3;
        s.m_mainButtons[CMeasureDlg::kSlotSave].Enable(TRUE);
        Then([&texts] {
            Press(FrontDialog(), CRecordInfoDlg::kOkId);
            qtest::AnswerBox(&texts);
        });
        Press(s.m_hWnd, CMeasureDlg::kSaveId);
        averaged = controller->m_averageCount;
    });
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], qtest::LanguageText(SCREEN_JOURNAL_UNREADABLE));
    EXPECT_EQ(averaged, 3);
}

TEST_F(MeasureScreen, ZoomButtonsFollowTheChartsZoomLevel)
{
    auto record = Position(u"W1", u"0");
    struct State {
        bool out, in, reset;
    };
    std::vector<State> states;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        auto note = [&] {
            states.push_back({Enabled(s.m_chartButtons[CMeasureDlg::kZoomOutSlot]),
                              Enabled(s.m_chartButtons[CMeasureDlg::kZoomInSlot]),
                              Enabled(s.m_chartButtons[CMeasureDlg::kZoomResetSlot])});
        };
        Press(s.m_hWnd, CMeasureDlg::kChartViewId);
        note();
        for (int i = 0; i < 4; ++i) Press(s.m_hWnd, CMeasureDlg::kZoomInId);
        note();
        Press(s.m_hWnd, CMeasureDlg::kZoomResetId);
        note();
    });
    ASSERT_EQ(states.size(), 3u);
    EXPECT_FALSE(states[0].out);
    EXPECT_TRUE(states[0].in);
    EXPECT_FALSE(states[0].reset);
    EXPECT_TRUE(states[1].out) << "level 16";
    EXPECT_FALSE(states[1].in);
    EXPECT_TRUE(states[1].reset);
    EXPECT_FALSE(states[2].out) << "back at level 1";
    EXPECT_FALSE(states[2].reset);
}

TEST_F(MeasureScreen, DeviationChartKeepsItsRangeUprightPlotsNoHolesAndNoReference)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.spareOption2 = 0; });
    auto record = Position(u"W1", u"0");
    double emptyMin = 1, emptyMax = 0;
    int above = -1, below = -1;
    double firstAbove = 1, secondBelow = -1;
    int refShownDeviation = -1, refShownProfile = -1, profileShownDeviation = -1;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        // A comparison that found no rows reports its largest deviation as
        // far below 0.
        controller->m_deviationCount = 0;
        controller->m_maxAbsDeviation = -1000000.0;
        Press(s.m_hWnd, CMeasureDlg::kChartModeId);
        emptyMin = s.m_chart.m_yMin;
        emptyMax = s.m_chart.m_yMax;
        // Rows without a sample in between the bars.
        controller->m_deviationCount = 4;
        controller->m_deviations[0] = DeviationRow{0, 0, 0, 0};
        controller->m_deviations[1] = DeviationRow{1000, 5, 0, 0};
        controller->m_deviations[2] = DeviationRow{0, 0, 0, 0};
        controller->m_deviations[3] = DeviationRow{2000, -3, 0, 0};
        s.FillMarkSeries(controller->m_deviationCount, controller->m_deviations);
        above = s.m_chart.m_count[4];
        below = s.m_chart.m_count[5];
        firstAbove = s.m_chart.m_ownY[4][0];
        secondBelow = s.m_chart.m_ownY[5][1];
        // The reference overlay switched on in deviation mode stays off the
        // chart, and shows with the profile.
        Press(s.m_hWnd, CMeasureDlg::kOverlayId);
        refShownDeviation = s.m_chart.m_visible[0] + s.m_chart.m_visible[2];
        s.FillWheelSeries(1, 0, controller->m_points, 0);
        profileShownDeviation = s.m_chart.m_visible[1];
        Press(s.m_hWnd, CMeasureDlg::kChartModeId);
        refShownProfile = s.m_chart.m_visible[0] + s.m_chart.m_visible[2];
    });
    EXPECT_LT(emptyMin, emptyMax);
    EXPECT_NEAR(emptyMin, -0.1, 1e-9);
    EXPECT_EQ(above, 2) << "two bars, no holes";
    EXPECT_EQ(below, 2);
    EXPECT_NEAR(firstAbove, -0.005, 1e-12);
    EXPECT_NEAR(secondBelow, 0.003, 1e-12);
    EXPECT_EQ(refShownDeviation, 0);
    EXPECT_EQ(profileShownDeviation, 0) << "a profile filled in deviation mode waits for the profile mode";
    EXPECT_EQ(refShownProfile, 2);
    ParamBlock saved{};
    CParamFile file;
    file.Load(&saved);
    EXPECT_EQ(saved.spareOption2, 1) << "the overlay choice is kept in the settings";
}

TEST_F(MeasureScreen, DiscScreenSidesAndItsChartWithoutAReference)
{
    // One head with a choice of side.
    WriteSettings(4, 1, [](ParamBlock& b) { b.discHeadMode = 3; });
    auto record = DiscPosition(u"D1", u"0");
    bool radios = false, aChecked = false;
    int side = -1;
    LONG states[2] = {-1, -1};
    double y0 = 0;
    OpenMeasuring(nullptr, record.get(), 0, [&](CMeasureDlg& s) {
        radios = s.m_sideRadios[0].m_hWnd != nullptr && s.m_sideRadios[1].m_hWnd != nullptr;
        aChecked = IsDlgButtonChecked(s.m_hWnd, CMeasureDlg::kSideAId) == BST_CHECKED;
        Press(s.m_hWnd, CMeasureDlg::kSideBId);
        side = controller->m_discSide;
        states[0] = controller->m_side1State;
        states[1] = controller->m_side2State;
        // No reference: the reference is drawn against 8000.
        const ProfilePoint point{1000, 3000};
        s.FillDiscSeries(0, 1, &point, 1, 1);
        y0 = s.m_chart.m_ownY[0][0];
        InvalidateRect(s.m_hWnd, nullptr, FALSE);
        qtest::Snapshot("measure_disc_sides.png");
    });
    EXPECT_TRUE(radios);
    EXPECT_TRUE(aChecked);
    EXPECT_EQ(side, 2);
    EXPECT_EQ(states[0], 0);
    EXPECT_EQ(states[1], 1);
    EXPECT_NEAR(y0, 5.0, 1e-9);

    // Two heads: no side is chosen, also when the position is opened again.
    WriteSettings(4, 0, [](ParamBlock& b) { b.discHeadMode = 2; });
    for (BYTE ask : {BYTE{0}, BYTE{1}}) {
        if (ask == 0) WriteSettings(4, 1, [](ParamBlock& b) { b.discHeadMode = 2; });
        bool noRadios = false;
        int chosen = -1;
        OpenMeasuring(nullptr, record.get(), ask, [&](CMeasureDlg& s) {
            noRadios = s.m_sideRadios[0].m_hWnd == nullptr;
            chosen = controller->m_discSide;
        });
        EXPECT_TRUE(noRadios);
        EXPECT_EQ(chosen, 0) << "opened again: " << int(ask);
    }
}

// A stored two-head disc opened again, its faces as the simulated head gives
// them without a reference: hub and rim at z -1000, the friction ring (25 to
// 125 mm) at -4000, a point every 50 um.
TEST_F(MeasureScreen, DiscChartRangeIsTheReferencesWithOneAndTheMeasuredDiscsWithout)
{
    std::vector<ProfilePoint> face;
    for (LONG x = 5000; x <= 140000; x += 50) face.push_back({x, x >= 25000 && x <= 125000 ? -4000 : -1000});
    const size_t ring = (75000 - 5000) / 50;
    auto record = DiscPosition(u"D1", u"0");
    for (int side = 0; side < 2; ++side)
        StoreQodProfile(record.get(), side, face.data(), static_cast<DWORD>(face.size()), 500);
    WriteSettings(4, 0, [](ParamBlock& b) { b.discHeadMode = 2; });
    struct Shown {
        double xMin, xMax, yMin, yMax;
        std::vector<double> side1, side2;
    };
    auto open = [&] {
        Shown shown{};
        OpenMeasuring(nullptr, record.get(), 1, [&](CMeasureDlg& s) {
            const COwnerChart& c = s.m_chart;
            shown = {c.m_xMin, c.m_xMax, c.m_yMin, c.m_yMax,
                     std::vector<double>(c.m_ownY[2], c.m_ownY[2] + c.m_count[2]),
                     std::vector<double>(c.m_ownY[3], c.m_ownY[3] + c.m_count[3])};
        });
        return shown;
    };
    // x always over the face; y either side of the axis.
    auto expectRange = [](const Shown& shown, double y) {
        EXPECT_DOUBLE_EQ(shown.xMin, -5.0);
        EXPECT_DOUBLE_EQ(shown.xMax, 155.0);
        EXPECT_DOUBLE_EQ(shown.yMin, -y);
        EXPECT_DOUBLE_EQ(shown.yMax, y);
    };

    // Without a reference the measured disc gives the base, its last point's
    // height: the rim lies on the axis, the ring 3 mm either side of it, and
    // the range takes in the ring with the margin.
    controller->m_refCount = 0;
    const Shown bare = open();
    ASSERT_EQ(bare.side1.size(), face.size());
    ASSERT_EQ(bare.side2.size(), face.size());
    expectRange(bare, 4.0);
    EXPECT_DOUBLE_EQ(bare.side1[ring], 3.0);
    EXPECT_DOUBLE_EQ(bare.side2[ring], -3.0);
    EXPECT_DOUBLE_EQ(bare.side1.back(), 0.0);
    for (const std::vector<double>* side : {&bare.side1, &bare.side2})
        for (double y : *side) {
            EXPECT_GT(y, bare.yMin);
            EXPECT_LT(y, bare.yMax);
        }

    // A reference of the unworn disc 4 mm below the head's zero: its base
    // sets the range and the measured sides are drawn against it, as before.
    std::vector<ProfilePoint> reference;
    for (LONG x = 0; x <= 135000; x += 5000) reference.push_back({x, -4000});
    std::copy(reference.begin(), reference.end(), controller->m_refPoints);
    controller->m_refCount = static_cast<DWORD>(reference.size());
    const Shown referred = open();
    ASSERT_EQ(referred.side1.size(), face.size());
    expectRange(referred, 5.0);
    EXPECT_DOUBLE_EQ(referred.side1[ring], 0.0);
    EXPECT_DOUBLE_EQ(referred.side1.back(), -3.0);
    EXPECT_DOUBLE_EQ(referred.side2.back(), 3.0);
}

TEST_F(MeasureScreen, MeasuredPositionShowsItsStoredValuesWithoutMeasuring)
{
    WriteSettings(1, 0);
    auto stored = Position(u"W1", u"0");
    SetQavRecordValue(stored.get(), 0, 27500);
    AppendQav(*stored);
    for (bool inJournal : {true, false}) {
        auto record = Position(inJournal ? u"W1" : u"W2", u"0");
        SetQavRecordValue(record.get(), 0, 31000);
        LONG shown = 0;
        bool measuring = true, boxShown = true;
        OpenMeasuring(record.get(), nullptr, 1, [&](CMeasureDlg& s) {
            shown = controller->m_result.values[0];
            // A run would have started 10 ms after the opening.
            qtest::PumpUntil([] { return false; }, 150);
            measuring = s.m_measuring != 0;
            boxShown = FrontDialog() != s.m_hWnd;
        });
        EXPECT_EQ(shown, inJournal ? 27500 : 31000) << "the record the series passed when the journal lost it";
        EXPECT_FALSE(measuring);
        EXPECT_FALSE(boxShown);
    }
}

TEST_F(MeasureScreen, WheelScreenShowsTheResultsAndTheProfileAsTheOperatorSeesThem)
{
    WriteSettings(1, 1, [](ParamBlock& b) { b.option6 = 1; });
    auto record = Position(u"W1", u"0");
    COLORREF linkDown = 0;
    int resultsBlue = 0, chartBlue = 0, chartRed = 0;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        CMeasureController& c = *controller;
        c.m_result.values[0] = 28000;
        c.m_result.values[1] = 31210;
        c.m_count = 1400;
        for (int i = 0; i < 1400; ++i) {
            const double x = 100.0 * i;
            c.m_points[i] = ProfilePoint{static_cast<LONG>(x), static_cast<LONG>(30000 - 25000 * std::exp(-x / 20000.0))};
        }
        for (int k = 0; k < kKeyPointCount; ++k) c.m_keys.points[k] = c.m_points[60 * k + 10];
        s.FillWheelSeries(1, c.m_count, c.m_points, 0);
        s.FillWheelSeries(3, kKeyPointCount, c.m_keys.points, 0);
        InvalidateRect(s.m_hWnd, nullptr, FALSE);
        qtest::Snapshot("measure_results.png");
        resultsBlue = CountClient(s.m_hWnd, RECT{150, 90, 400, 265}, qtest::Blue);
        linkDown = qtest::ClientPixel(s.m_hWnd, 70, 30);
        Press(s.m_hWnd, CMeasureDlg::kChartViewId);
        s.m_chart.Repaint();
        qtest::Snapshot("measure_chart.png");
        chartBlue = CountClient(s.m_hWnd, RECT{122, 89, 473, 265}, qtest::Blue);
        chartRed = CountClient(s.m_hWnd, RECT{122, 89, 473, 265}, [](COLORREF p) {
            return GetRValue(p) > 200 && GetGValue(p) < 60 && GetBValue(p) < 60;
        });
    });
    EXPECT_GT(resultsBlue, 200) << "the values in the panel";
    EXPECT_GT(chartBlue, 150) << "the profile";
    EXPECT_GT(chartRed, 20) << "its key points";
    EXPECT_NE(linkDown, 0xFFFFFFu) << "the link picture";

    // In Russian the white measure caption ends inside its button (110 wide
    // at 5, 55), short of its last columns.
    UseLanguage("RUS.LNG");
    int captionInk = 0, captionAtEdge = 0;
    OpenMeasuring(record.get(), nullptr, 0, [&](CMeasureDlg& s) {
        qtest::Snapshot("measure_results_ru.png");
        auto whitish = [](COLORREF p) { return GetRValue(p) > 0xC0 && GetGValue(p) > 0xC0 && GetBValue(p) > 0xC0; };
        captionInk = CountClient(s.m_hWnd, RECT{36, 70, 106, 115}, whitish);
        captionAtEdge = CountClient(s.m_hWnd, RECT{106, 70, 114, 115}, whitish);
    });
    EXPECT_GT(captionInk, 40) << "the caption";
    EXPECT_EQ(captionAtEdge, 0) << "the caption runs into the button's edge";
}

}  // namespace
