// The browser's record view: a stored record evaluated again and compared
// with the reference, the chart views and zoom, a record without a profile,
// disc records with references of their own, and saving a stored profile as
// a reference profile.

#include <algorithm>

#include "journal/JournalViewDlg.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

using View = CJournalViewDlg;

HWND RecordList(HWND dlg) { return GetDlgItem(dlg, View::kRecordListId); }
// The zoom buttons of the record view that are enabled.
std::vector<std::string> ZoomEnabled(HWND dlg)
{
    return ControlsThat(dlg, {{View::kZoomInId, "in"}, {View::kZoomOutId, "out"}, {View::kZoomResetId, "reset"}});
}

class RecordView : public ScreenObjectTest<View> {
protected:
    // A wheel journal whose first record's profile is the reference "Ref1".
    void WheelsWithReference(std::vector<QavJournalRecord> records, BYTE option6 = 1, BYTE unit = 1)
    {
        ParamBlock p = WheelParams(u"J1", u"Ref1", u"", unit);
        p.option6 = option6;
        WriteParams(p);
        WriteJournal(u"J1", records);
        WriteReference(u"Ref1", WheelPoints());
    }
    static QavJournalRecord Wheel(const char16_t* wheel, double thinning = 0.0, bool profile = true)
    {
        return WheelRecord({u"01/12/26", u"Car A", u"100", u"1", u"0", wheel}, thinning, profile);
    }
    std::string ReferenceFile(const std::u16string& name) { return root.ReadFile(kProgramFolder + u"Refer\\" + name + u".ref"); }
};

TEST_F(RecordView, ARecordIdenticalToItsReferenceShowsAFlatDeviation)
{
    WheelsWithReference({Wheel(u"W1")});
    double yMin = 0, yMax = 0;
    bool greenArea = false, blueArea = false;
    EXPECT_TRUE(Run({Command(View::kModeId), Command(View::kViewId), AndClose([&](HWND d) {
                         qplat::ProcessPendingMessages();
                         yMin = screen->m_chart.m_yMin;
                         yMax = screen->m_chart.m_yMax;
                         greenArea = AnyHue(d, RECT{170, 67, 200, 82}, 1);
                         blueArea = AnyHue(d, RECT{210, 67, 240, 82}, 2);
                         qplat::SaveScreenPng(SnapshotPath("record-deviation"));
                     })}));
    EXPECT_GT(screen->DeviationCount(), 100u);
    EXPECT_EQ(screen->MaxAbsDeviation(), 0.0);
    EXPECT_EQ(screen->PositiveArea(), 0.0);
    EXPECT_EQ(screen->NegativeArea(), 0.0);
    EXPECT_NEAR(yMin, -0.1, 1e-9);
    EXPECT_NEAR(yMax, 0.1, 1e-9);
    EXPECT_TRUE(greenArea) << "the positive area is painted";
    EXPECT_TRUE(blueArea) << "the negative area is painted";
    EXPECT_EQ(screen->ChartView(), 0);
}

TEST_F(RecordView, TheProfileViewFollowsTheCoordinateOption)
{
    struct Case {
        BYTE option6, unit;
        double xMin, xMax, yMin, yMax;
    };
    const Case cases[] = {{1, 1, 0, 140, 0, 50},
                          {1, 2, 0, 140000 / 25400.0, 0, 50000 / 25400.0},
                          {2, 1, -75, 75, -15, 35}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.option6) * 10 + c.unit);
        screen = std::make_unique<View>();
        WheelsWithReference({Wheel(u"W1")}, c.option6, c.unit);
        double range[4] = {};
        EXPECT_TRUE(Run({Command(View::kModeId), AndClose([&](HWND) {
                             const COwnerChart& chart = screen->m_chart;
                             range[0] = chart.m_xMin;
                             range[1] = chart.m_xMax;
                             range[2] = chart.m_yMin;
                             range[3] = chart.m_yMax;
                         })}));
        EXPECT_NEAR(range[0], c.xMin, 1e-9);
        EXPECT_NEAR(range[1], c.xMax, 1e-9);
        EXPECT_NEAR(range[2], c.yMin, 1e-9);
        EXPECT_NEAR(range[3], c.yMax, 1e-9);
    }
}

TEST_F(RecordView, BothProfilesMeetAtTheMeasuringCircleOutsideHeadCoordinates)
{
    WheelsWithReference({Wheel(u"W1", 800.0)}, 2);
    EXPECT_TRUE(Run({Close()}));
    const COwnerChart& chart = screen->m_chart;
    ASSERT_GT(chart.m_count[1], 0);
    // The record's profile is drawn relative to "L2" and its own height there.
    const ParamBlock p = ReadParams();
    const LONG l2 = p.dimensions[DIM_L2];
    const ProfilePoint first = screen->Profile()[0];
    EXPECT_NEAR(chart.m_ownX[1][0], (first.x - l2) / 1000.0, 1e-9);
    EXPECT_NEAR(chart.m_ownY[1][0], (first.z - screen->ShownResult().values[0]) / 1000.0, 1e-9);
}

TEST_F(RecordView, AGaugeRecordAfterAWheelRecordShowsNoProfile)
{
    WheelsWithReference({Wheel(u"W1", 900.0), Wheel(u"G2", 0.0, false)});
    int series[6] = {};
    EXPECT_TRUE(Run({[&](HWND d) {
                         EXPECT_GT(screen->ProfileCount(), 0u);
                         TapCell(RecordList(d), 1, 0);
                         PostCommand(d, View::kModeId);
                     },
                     AndClose([&](HWND) {
                         for (int s = 0; s < 6; ++s) series[s] = screen->m_chart.m_count[s];
                         qplat::ProcessPendingMessages();
                         qplat::SaveScreenPng(SnapshotPath("record-gauge"));
                     })}));
    EXPECT_EQ(screen->ShownRow(), 1);
    EXPECT_EQ(screen->ProfileCount(), 0u);
    EXPECT_EQ(screen->DeviationCount(), 0u);
    EXPECT_EQ(screen->MaxAbsDeviation(), 0.0);
    EXPECT_EQ(series[1], 0) << "no profile";
    EXPECT_EQ(series[3], 0) << "no key points";
    EXPECT_EQ(series[4], 0);
    EXPECT_EQ(series[5], 0);
    EXPECT_GT(series[0], 0) << "the reference stays";
    EXPECT_EQ(screen->ShownResult().values[7], 957000) << "the gauge reading";
}

TEST_F(RecordView, TheZoomButtonsFollowTheLevelAndAnotherRecordStartsAtOne)
{
    WheelsWithReference({Wheel(u"W1"), Wheel(u"W2", 300.0)});
    std::vector<std::string> atOne, atSixteen;
    unsigned levelAfterSwitch = 0;
    std::vector<Step> steps = {Command(View::kModeId), [&](HWND d) {
                                   atOne = ZoomEnabled(d);
                                   PostCommand(d, View::kZoomInId);
                               }};
    for (int i = 0; i < 4; ++i) steps.push_back(Command(View::kZoomInId));
    steps.push_back([&](HWND d) {
        EXPECT_EQ(screen->m_chart.m_xZoom, 16u);
        atSixteen = ZoomEnabled(d);
        PostCommand(d, View::kModeId);
    });
    steps.push_back([&](HWND d) {
        TapCell(RecordList(d), 1, 0);
        PostCommand(d, View::kModeId);
    });
    steps.push_back([&](HWND d) {
        levelAfterSwitch = screen->m_chart.m_xZoom;
        PostMessageW(d, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(Run(steps));
    EXPECT_EQ(atOne, std::vector<std::string>{"in"});
    EXPECT_EQ(atSixteen, (std::vector<std::string>{"out", "reset"}));
    EXPECT_EQ(levelAfterSwitch, 1u);
}

TEST_F(RecordView, ListAndRecordModeShowOnlyTheirOwnButtons)
{
    WheelsWithReference({Wheel(u"W1")});
    auto shown = [](HWND d) {
        return ControlsThat(d,
                            {{View::kSaveReferId, "save reference"}, {View::kDeleteId, "delete"},
                             {View::kFilterId, "filter"}, {View::kFilterResetId, "filter reset"},
                             {View::kZoomInId, "zoom in"}, {View::kViewId, "view"}, {View::kRecordListId, "record list"},
                             {View::kChartId, "chart"}},
                            IsWindowVisible);
    };
    std::vector<std::string> list, record;
    EXPECT_TRUE(Run({[&](HWND d) {
                         list = shown(d);
                         PostCommand(d, View::kModeId);
                     },
                     AndClose([&](HWND d) {
                         record = shown(d);
                         qplat::ProcessPendingMessages();
                         qplat::SaveScreenPng(SnapshotPath("record-profile"));
                     })}));
    EXPECT_EQ(list, (std::vector<std::string>{"save reference", "delete", "filter", "filter reset", "record list"}));
    EXPECT_EQ(record, (std::vector<std::string>{"zoom in", "view", "chart"}));
}

TEST_F(RecordView, SavingAsReferenceWritesTheProfileTheStoreLoadsBack)
{
    WheelsWithReference({Wheel(u"W1"), Wheel(u"W2", 700.0)});
    EXPECT_TRUE(Run({[](HWND d) {
                         TapCell(RecordList(d), 1, 0);
                         PostCommand(d, View::kSaveReferId);
                     },
                     Type(u"Worn W2"), Close()}));
    ASSERT_FALSE(ReferenceFile(u"Worn W2").empty());
    CReferStore store;
    std::vector<ProfilePoint> loaded(kMaxProfilePoints);
    DWORD count = 0;
    ASSERT_EQ(store.Load(u"Worn W2", loaded.data(), &count, 1), 1);
    ASSERT_EQ(count, screen->ProfileCount());
    for (DWORD i = 0; i < count; ++i) {
        ASSERT_EQ(loaded[i].x, screen->Profile()[i].x) << i;
        ASSERT_EQ(loaded[i].z, screen->Profile()[i].z) << i;
    }
    // It is the selected record's profile, not the first one's.
    const auto w2 = WheelPoints(700.0);
    EXPECT_EQ(loaded[w2.size() / 2].z, w2[w2.size() / 2].z);
}

TEST_F(RecordView, AnExistingReferenceIsOverwrittenOnlyAfterAYes)
{
    WheelsWithReference({Wheel(u"W1", 400.0)});
    const std::string before = ReferenceFile(u"Ref1");
    std::u16string question;
    EXPECT_TRUE(Run({Command(View::kSaveReferId), Type(u"Ref1"), Answer(false, &question), Close()}));
    EXPECT_EQ(question, Text(50054));
    EXPECT_EQ(ReferenceFile(u"Ref1"), before);

    screen = std::make_unique<View>();
    EXPECT_TRUE(Run({Command(View::kSaveReferId), Type(u"Ref1"), Answer(true), Close()}));
    EXPECT_NE(ReferenceFile(u"Ref1"), before);
}

TEST_F(RecordView, RefusedNamesAndFailedWritesAreReportedAndNothingIsWritten)
{
    WheelsWithReference({Wheel(u"W1")});
    const std::u16string tooLong(50, u'n');
    for (const std::u16string& name : {std::u16string(u""), std::u16string(u"..\\out"), std::u16string(u"a/b"),
                                       std::u16string(u"star*"), tooLong}) {
        SCOPED_TRACE(qplat::ToUtf8(name));
        screen = std::make_unique<View>();
        std::u16string notice;
        EXPECT_TRUE(Run({Command(View::kSaveReferId), Type(name), Answer(true, &notice), Close()}));
        EXPECT_EQ(notice, Text(name.empty() ? 50095 : 50083)) << "a missing or refused name, not a failed write";
    }
    EXPECT_FALSE(root.Exists(kProgramFolder + u"out.ref"));
    EXPECT_FALSE(root.Exists(kProgramFolder + u"Refer\\" + tooLong + u".ref"));
    // 49 characters are a name.
    screen = std::make_unique<View>();
    EXPECT_TRUE(Run({Command(View::kSaveReferId), Type(std::u16string(49, u'n')), Close()}));
    EXPECT_FALSE(ReferenceFile(std::u16string(49, u'n')).empty());
    // Without the reference folder the write fails, and says so.
    std::filesystem::remove_all(root.Host(kProgramFolder + u"Refer\\"));
    screen = std::make_unique<View>();
    std::u16string notice;
    EXPECT_TRUE(Run({Command(View::kSaveReferId), Type(u"Nowhere"), Answer(true, &notice), Close()}));
    EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
}

TEST_F(RecordView, TheKeyboardsCloseBoxCancelsAndAGaugeRecordHasNoProfileToSave)
{
    WheelsWithReference({Wheel(u"G1", 0.0, false), Wheel(u"W2")});
    root.WriteFile(kProgramFolder + u"Refer\\keep.txt", "");
    std::u16string notice;
    EXPECT_TRUE(Run({Command(View::kSaveReferId), Answer(true, &notice),
                     [](HWND d) {
                         TapCell(RecordList(d), 1, 0);
                         PostCommand(d, View::kSaveReferId);
                     },
                     Close(), Close()}));
    EXPECT_EQ(notice, Text(50084)) << "a gauge record has no profile to save, and the operator is told why";
    const auto files = std::distance(std::filesystem::directory_iterator(root.Host(kProgramFolder + u"Refer\\")),
                                     std::filesystem::directory_iterator());
    EXPECT_EQ(files, 2) << "only Ref1 and keep.txt";
}

TEST_F(RecordView, EachDiscRecordIsComparedWithItsOwnReferenceOnly)
{
    WriteParams(DiscParams(u"D1", u"DiscRef"));
    WriteReference(u"DiscRef", DiscPoints(1), 4);
    WriteReference(u"Own", DiscPoints(1, 400.0), 4);
    WriteJournal(u"D1", std::vector<QodJournalRecord>{
                            DiscRecord({u"03/12/26", u"Loco", u"7", u"2", u"1", u"D"}, u"Own", 900.0),
                            DiscRecord({u"03/12/26", u"Loco", u"8", u"1", u"1", u"E"}, u"Gone", 900.0)});
    DWORD firstReference = 0;
    double side1 = 0, side2 = 0;
    EXPECT_TRUE(Run({[&](HWND d) {
                         firstReference = screen->ReferenceCount();
                         const COwnerChart& chart = screen->m_chart;
                         side1 = chart.m_ownY[2][chart.m_count[2] / 2];
                         side2 = chart.m_ownY[3][chart.m_count[3] / 2];
                         PostCommand(d, View::kModeId);
                     },
                     [&](HWND d) {
                         qplat::ProcessPendingMessages();
                         qplat::SaveScreenPng(SnapshotPath("record-disc"));
                         PostCommand(d, View::kModeId);
                     },
                     AndClose([](HWND d) { TapCell(RecordList(d), 1, 0); })}));
    EXPECT_GT(firstReference, 0u);
    EXPECT_EQ(screen->ShownRow(), 1);
    EXPECT_EQ(screen->ReferenceCount(), 0u) << "a missing reference is no reference, not the last one";
    EXPECT_EQ(screen->m_chart.m_count[0], 0);
    // The two faces lie on either side of the x axis.
    EXPECT_GT(side1, 0.0);
    EXPECT_LT(side2, 0.0);
    EXPECT_EQ(screen->ShownDiscResult().values[6], 108000) << "the stored thickness";
}

TEST_F(RecordView, ADiscReferenceBelowTheAxisKeepsTheChartUprightWithBothFacesOnIt)
{
    WriteParams(DiscParams(u"D1", u"Below"));
    WriteReference(u"Below", FaceBelowTheAxis(0.0), 4);
    QodJournalRecord record = DiscRecord({u"03/12/26", u"Loco", u"7", u"1", u"1", u"D"}, u"Below");
    for (int side = 0; side < 2; ++side) {
        const auto face = FaceBelowTheAxis(1500.0);
        StoreQodProfile(&record, side, face.data(), static_cast<DWORD>(face.size()), kWheelStepCode);
    }
    WriteJournal(u"D1", std::vector<QodJournalRecord>{record});
    double yMin = 0, yMax = 0;
    RECT plot{};
    POINT chartOrigin{};
    // Rows of the chart's client area that hold a blue pixel (the record's
    // faces) in the columns over the friction ring, clear of the groove.
    std::vector<int> blueRows;
    EXPECT_TRUE(Run({Command(View::kModeId), AndClose([&](HWND) {
                         qplat::ProcessPendingMessages();
                         const COwnerChart& chart = screen->m_chart;
                         yMin = chart.m_yMin;
                         yMax = chart.m_yMax;
                         plot = chart.m_plot;
                         chartOrigin = POINT{0, 0};
                         ClientToScreen(chart.m_hWnd, &chartOrigin);
                         const double xScale = (plot.right - plot.left) / (chart.m_xMax - chart.m_xMin);
                         const int from = plot.left + static_cast<int>((40.0 - chart.m_xMin) * xScale);
                         const int to = plot.left + static_cast<int>((60.0 - chart.m_xMin) * xScale);
                         for (int y = plot.top; y < plot.bottom; ++y)
                             for (int x = from; x < to; ++x) {
                                 const COLORREF c = qplat::ScreenPixel(chartOrigin.x + x, chartOrigin.y + y);
                                 const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
                                 if (b > r + 120 && b > g + 120) {
                                     blueRows.push_back(y);
                                     break;
                                 }
                             }
                         qplat::SaveScreenPng(SnapshotPath("record-disc-below-axis"));
                     })}));
    EXPECT_EQ(screen->BaseHeight(), -4000);
    // Upright: the larger base magnitude and the margin either side of the axis.
    EXPECT_DOUBLE_EQ(yMin, -5.0);
    EXPECT_DOUBLE_EQ(yMax, 5.0);
    // The friction ring lies 4 mm from the axis: side 1 in the upper half of
    // the plot, side 2 in the lower half, both inside it.
    const int middle = (plot.top + plot.bottom) / 2;
    const bool upper = std::any_of(blueRows.begin(), blueRows.end(), [&](int y) { return y < middle - 20; });
    const bool lower = std::any_of(blueRows.begin(), blueRows.end(), [&](int y) { return y > middle + 20; });
    EXPECT_TRUE(upper) << "side 1's ring above the axis";
    EXPECT_TRUE(lower) << "side 2's ring below the axis";
    // The record's faces sit at +4 and -4 mm, mirrored.
    const COwnerChart& chart = screen->m_chart;
    ASSERT_GT(chart.m_count[2], 0);
    ASSERT_GT(chart.m_count[3], 0);
    EXPECT_NEAR(chart.m_ownY[2][(50000 - 5000) / 50], 4.0, 0.05);
    EXPECT_NEAR(chart.m_ownY[3][(50000 - 5000) / 50], -4.0, 0.05);
}

// Disc records with no reference to be drawn against (none chosen, none
// named): the generator's faces, ring at z 3000 and rim at 6000 from the head.
// Each record is drawn against its own last point, of side 1 or, when the
// record holds only side 2, of side 2: the rim on the axis, the ring 3 mm
// either side, and the range takes in the ring with the margin.
TEST_F(RecordView, ADiscRecordWithoutAReferenceIsDrawnAgainstItsOwnLastPoint)
{
    WriteParams(DiscParams(u"D1"));
    QodJournalRecord sideBOnly = DiscRecord({u"03/12/26", u"Loco", u"8", u"1", u"1", u"E"});
    StoreQodProfile(&sideBOnly, 0, nullptr, 0, 0);
    WriteJournal(u"D1", std::vector<QodJournalRecord>{DiscRecord({u"03/12/26", u"Loco", u"7", u"1", u"1", u"D"}),
                                                      sideBOnly});
    struct Shown {
        double yMin, yMax;
        std::vector<double> side1, side2;
    };
    Shown both{}, second{};
    auto take = [this] {
        const COwnerChart& c = screen->m_chart;
        return Shown{c.m_yMin, c.m_yMax, std::vector<double>(c.m_ownY[2], c.m_ownY[2] + c.m_count[2]),
                     std::vector<double>(c.m_ownY[3], c.m_ownY[3] + c.m_count[3])};
    };
    EXPECT_TRUE(Run({Command(View::kModeId),
                     [&](HWND d) {
                         qplat::ProcessPendingMessages();
                         both = take();
                         qplat::SaveScreenPng(SnapshotPath("record-disc-no-reference"));
                         PostCommand(d, View::kModeId);
                     },
                     [&](HWND d) { TapCell(RecordList(d), 1, 0); }, AndClose([&](HWND) { second = take(); })}));
    EXPECT_EQ(screen->ReferenceCount(), 0u);
    EXPECT_EQ(screen->ShownRow(), 1);
    ASSERT_FALSE(both.side1.empty());
    ASSERT_FALSE(both.side2.empty());
    EXPECT_DOUBLE_EQ(both.yMin, -4.0);
    EXPECT_DOUBLE_EQ(both.yMax, 4.0);
    EXPECT_DOUBLE_EQ(both.side1.back(), 0.0);
    EXPECT_DOUBLE_EQ(*std::max_element(both.side1.begin(), both.side1.end()), 3.0);
    EXPECT_DOUBLE_EQ(*std::min_element(both.side1.begin(), both.side1.end()), 0.0) << "side 1 above the axis";
    EXPECT_DOUBLE_EQ(*std::min_element(both.side2.begin(), both.side2.end()), -3.0);
    EXPECT_DOUBLE_EQ(*std::max_element(both.side2.begin(), both.side2.end()), 0.0) << "side 2 below the axis";

    EXPECT_TRUE(second.side1.empty());
    ASSERT_FALSE(second.side2.empty());
    EXPECT_DOUBLE_EQ(second.yMin, -4.0);
    EXPECT_DOUBLE_EQ(second.yMax, 4.0);
    EXPECT_DOUBLE_EQ(second.side2.back(), 0.0);
    EXPECT_DOUBLE_EQ(*std::min_element(second.side2.begin(), second.side2.end()), -3.0);
}

TEST_F(RecordView, TheWheelReferenceIsTheSameForEveryRecordShown)
{
    WheelsWithReference({Wheel(u"W1", 900.0), Wheel(u"W2"), Wheel(u"W3", 1500.0)});
    WheelResult referenceFirst{}, referenceLast{};
    std::vector<double> seriesFirst, seriesLast;
    auto series0 = [&] {
        const COwnerChart& chart = screen->m_chart;
        return std::vector<double>(chart.m_ownY[0], chart.m_ownY[0] + chart.m_count[0]);
    };
    EXPECT_TRUE(Run({[&](HWND d) {
                         referenceFirst = screen->ReferenceResult();
                         seriesFirst = series0();
                         TapCell(RecordList(d), 2, 0);
                         TapCell(RecordList(d), 1, 0);
                         TapCell(RecordList(d), 0, 0);
                     },
                     AndClose([&](HWND) {
                         referenceLast = screen->ReferenceResult();
                         seriesLast = series0();
                     })}));
    EXPECT_EQ(screen->ShownRow(), 0);
    EXPECT_EQ(std::memcmp(&referenceFirst, &referenceLast, sizeof referenceFirst), 0);
    EXPECT_FALSE(seriesFirst.empty());
    EXPECT_EQ(seriesFirst, seriesLast);
}

}  // namespace
