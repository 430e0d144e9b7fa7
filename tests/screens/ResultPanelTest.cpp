// The drawn result panels on a 480 x 272 screen, as the measuring screen and
// the option-groups screen place them: the wheel panel, the two gauge panels
// with the step dial, the disc panel and the side diagram. Each configuration
// is written as a PNG beside the build (build/.../snapshots/results_*.png) and
// pinned by probes at the places and in the colours the panels use.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>

#include "tests/screens/ResultTestSupport.h"

using namespace qtest;

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kOrange = 0x0080FF;
constexpr COLORREF kGrey = 0xC1C1C1;
constexpr COLORREF kGreen = 0x00C100;
constexpr COLORREF kBlue = 0xC10000;
constexpr COLORREF kPurple = 0xC100C1;

// Text is drawn with grey levels: ink is a pixel leaning to the text colour.
bool BlueInk(COLORREF c)
{
    return GetBValue(c) > GetRValue(c) + 40 && GetBValue(c) > GetGValue(c) + 40;
}
bool GreenInk(COLORREF c)
{
    return GetGValue(c) > 120 && GetRValue(c) < 100 && GetBValue(c) < 100;
}
bool DarkInk(COLORREF c)
{
    return std::max({GetRValue(c), GetGValue(c), GetBValue(c)}) < 140;
}
bool WhiteInk(COLORREF c)
{
    return c == kWhite;
}
bool NotWhite(COLORREF c)
{
    return c != kWhite;
}
// A tolerance cell's red or orange.
bool Cell(COLORREF c)
{
    return c == kRed || c == kOrange;
}

// Panels as the measuring screen places them.
constexpr int kX = 120, kY = 87, kW = 355, kH = 180;

class ResultPanelTest : public UiTest {
protected:
    // Paints the screen white and then `draw` with a fresh view (a view reads
    // its settings once), composes it and writes the PNG.
    void Show(const std::function<void(HWND, HDC)>& draw, const std::string& png)
    {
        view = std::make_unique<CResultView>();
        Hooks().paint = [draw](HWND h, HDC dc) {
            g_paintHelper.FillClient(h, dc, kWhite);
            draw(h, dc);
        };
        Keep(MakeScreen());
        qplat::ProcessPendingMessages();
        screen = qplat::ComposeScreen();
        const std::filesystem::path dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
        std::filesystem::create_directories(dir);
        EXPECT_TRUE(qplat::SaveScreenPng((dir / ("results_" + png + ".png")).string()));
    }

    // The wheel panel as the measuring screen draws it, `measuring` while a run
    // goes on, `overlay` the reference overlay's setting.
    void ShowWheel(const WheelResult& m, const WheelResult* reference, int measuring, int overlay,
                   const std::string& png)
    {
        Show([&](HWND h, HDC dc) {
            view->DrawWheelResults(h, dc, m, reference, kX, kY, kW, kH, measuring, u"", 1, overlay);
        }, png);
    }

    COLORREF At(int x, int y) const
    {
        return screen.Contains(x, y) ? qplat::PixelToColor(screen.At(x, y)) : CLR_INVALID;
    }
    // A pixel to probe and the colour it must have.
    struct Probe {
        int x, y;
        COLORREF colour;
    };
    void ExpectPixels(std::initializer_list<Probe> probes) const
    {
        for (const Probe& p : probes) EXPECT_EQ(p.colour, At(p.x, p.y)) << "pixel " << p.x << "," << p.y;
    }
    int Count(const RECT& r, const std::function<bool(COLORREF)>& ink) const
    {
        int n = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (ink(At(x, y))) ++n;
        return n;
    }
    // The bounding box of the ink in a rectangle (empty when there is none).
    RECT Ink(const RECT& r, const std::function<bool(COLORREF)>& ink) const
    {
        RECT box{r.right, r.bottom, r.left, r.top};
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (ink(At(x, y))) {
                    box.left = std::min<LONG>(box.left, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.right = std::max<LONG>(box.right, x + 1);
                    box.bottom = std::max<LONG>(box.bottom, y + 1);
                }
        return box;
    }
    static bool Empty(const RECT& r) { return r.right <= r.left; }
    // Ink of `ink` in `column` (a text's drawing rectangle) lies inside it and
    // clear of its right end: a text cut by its column reaches the last pixel.
    void ExpectInside(const RECT& column, const std::function<bool(COLORREF)>& ink, const char* what) const
    {
        const RECT box = Ink(column, ink);
        ASSERT_FALSE(Empty(box)) << what << ": no ink";
        EXPECT_LT(box.right, column.right) << what;
    }
    // The panel frame: black 1-pixel border, white inside.
    void ExpectFrame(int x, int y, int w, int h) const
    {
        EXPECT_EQ(kBlack, At(x, y + h / 2));
        EXPECT_EQ(kBlack, At(x + w - 1, y + h / 2));
        EXPECT_EQ(kBlack, At(x + w / 2, y));
        EXPECT_EQ(kBlack, At(x + w / 2, y + h - 1));
        EXPECT_EQ(kWhite, At(x + 2, y + 2));
        EXPECT_EQ(kWhite, At(x + w - 3, y + h - 3));
    }
    // A wheel or disc line at `lineY` of a panel at x: name, colon, value
    // and unit each inside their columns.
    void ExpectLine(int x, int lineY, int font, bool reference) const
    {
        SCOPED_TRACE("line at y " + std::to_string(lineY));
        const int w = 341 - x;
        const int valueEnd = reference ? x + 70 + w / 2 : x + 70 + w;
        ExpectInside(RECT{x, lineY, x + 54, lineY + font}, DarkInk, "name");
        ExpectInside(RECT{x + 55, lineY, x + 65, lineY + font}, DarkInk, "colon");
        ExpectInside(RECT{x + 70, lineY, valueEnd, lineY + font}, BlueInk, "value");
        ExpectInside(RECT{411, lineY, 471, lineY + font}, DarkInk, "unit");
        if (reference) ExpectInside(RECT{x + 70 + w / 2, lineY, 411, lineY + font}, GreenInk, "reference");
    }

    // The full-size gauge panel: frame, title above it, and the line at y 147
    // with the name from x 130, the value box from x 190 (205 wide) and the
    // unit from x 400, each inside its room.
    void ExpectGaugeLine() const
    {
        ExpectFrame(kX, kY, kW, kH);
        ExpectInside(RECT{125, 60, 475, 87}, DarkInk, "title");
        ExpectInside(RECT{130, 147, 190, 197}, DarkInk, "name");
        ExpectInside(RECT{190, 147, 395, 197}, BlueInk, "value");
        ExpectInside(RECT{400, 147, 472, 197}, DarkInk, "unit");
    }
    // The type-2 gauge panel, `measuring` while a run goes on.
    void ShowGauge2(const WheelResult& m, int measuring, int spare, const std::string& png)
    {
        Show([&](HWND h, HDC dc) { view->DrawErrorRows(h, dc, m, kX, kY, kW, kH, measuring, 0, spare); }, png);
    }
    // The disc panel of full size.
    void ShowDisc(const DiscResult& d, int measuring, const std::string& png)
    {
        Show([&](HWND h, HDC dc) { view->DrawDiscResults(h, dc, d, kX, kY, kW, kH, measuring); }, png);
    }
    // The factory settings as `edit` changes them, saved; returned for the
    // caller's arguments.
    static ParamBlock SaveSettings(const std::function<void(ParamBlock&)>& edit)
    {
        ParamBlock s = ResultRoot::Factory();
        edit(s);
        ResultRoot::Save(s);
        return s;
    }
    // Disc settings with the four line switches, saved; the factory's two
    // heads and millimetres unless given.
    static void SaveDisc(std::initializer_list<BYTE> switches, BYTE headMode = 2, BYTE unit = 1)
    {
        SaveSettings([&](ParamBlock& s) {
            s.deviceType = 4;
            std::copy(switches.begin(), switches.end(), s.discSwitches);
            s.discHeadMode = headMode;
            s.unitSystem = unit;
        });
    }
    static ParamBlock SaveGauge(BYTE deviceType, BYTE steps, BYTE measureMode, BYTE unit = 1)
    {
        return SaveSettings([&](ParamBlock& s) {
            s.deviceType = deviceType;
            s.gaugeSteps = steps;
            s.measureMode = measureMode;
            s.unitSystem = unit;
        });
    }
    // A gauge result: the reading in value word `word`, its status in `statusIndex`.
    static WheelResult Reading(int word, LONG value, int statusIndex = 0, BYTE status = 0)
    {
        WheelResult m{};
        m.values[word] = value;
        m.status[statusIndex] = status;
        return m;
    }

    ResultRoot env;
    std::unique_ptr<CResultView> view;
    qplat::Surface screen;
};

// ---- wheel panel

TEST_F(ResultPanelTest, WheelFactorySettingsThreeLines)
{
    ResultRoot::Factory();
    WheelResult m = WheelValues(28000);
    m.values[1] = 32500;
    m.values[5] = 10400;
    m.status[0] = 2;  // Sh out of tolerance
    m.status[1] = 1;  // Sd warning
    ShowWheel(m, &m, 0, 0, "wheel_factory");

    ExpectFrame(kX, kY, kW, kH);
    for (int lineY : {98, 157, 216}) ExpectLine(kX + 5, lineY, 40, false);
    // Nothing between the lines or below the last.
    EXPECT_EQ(0, Count(RECT{kX + 2, 89, kX + kW - 2, 97}, DarkInk));
    EXPECT_EQ(0, Count(RECT{kX + 2, 257, kX + kW - 2, 266}, DarkInk));
    // The tolerance cells: red behind Sh, orange behind Sd, from x 195 and
    // y + 2, 216 wide, line height - 2 high; none behind qR.
    ExpectPixels({{196, 101, kRed}, {410, 137, kRed}, {196, 99, kWhite}, {194, 110, kWhite}, {412, 110, kWhite},
                  {196, 160, kOrange}});
    EXPECT_EQ(0, Count(RECT{kX, 216, kX + kW, 257}, Cell));
    // No reference value while the overlay is off.
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, GreenInk));
}

TEST_F(ResultPanelTest, WheelReferenceOverlaySplitsTheValueColumn)
{
    ResultRoot::Factory();
    WheelResult m = WheelValues(28000);
    m.status[2] = 2;
    const WheelResult r = WheelValues(30000);
    ShowWheel(m, &r, 0, 1, "wheel_reference");
    for (int lineY : {98, 157, 216}) ExpectLine(kX + 5, lineY, 40, true);
    // The cell covers the left half only: 195 .. 302.
    ExpectPixels({{196, 219, kRed}, {302, 219, kRed}});
    EXPECT_NE(kRed, At(304, 219));
    // The overlay is on only for exactly 1.
    ShowWheel(m, &r, 0, 2, "wheel_overlay2");
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, GreenInk));
}

// Before any measurement, with the overlay on and no reference profile: no
// reference number and no verdict, only the frame, names and units.
TEST_F(ResultPanelTest, WheelWithoutResultOrReferenceShowsNoVerdictAndNoReferenceValue)
{
    SaveSettings([](ParamBlock& s) { s.option4 = 3; });  // the slope line is a verdict
    const WheelResult none{};
    ShowWheel(none, nullptr, 0, 1, "wheel_no_result");
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, GreenInk)) << "no reference value";
    EXPECT_EQ(0, Count(RECT{195, 216, 303, 256}, BlueInk)) << "no verdict on the slope line";
    EXPECT_GT(Count(RECT{195, 98, 303, 138}, BlueInk), 0) << "the lengths show their 0";
    // Measured and graded: the verdict is shown.
    WheelResult m = WheelValues(28000);
    ShowWheel(m, nullptr, 0, 1, "wheel_verdict");
    EXPECT_GT(Count(RECT{195, 216, 303, 256}, BlueInk), 0);
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, GreenInk));
}

TEST_F(ResultPanelTest, WheelEverySwitchTwentyOneLines)
{
    SaveSettings([](ParamBlock& s) {
        AllWheelSwitches(s);
        s.wheelTypeOption = 0;
    });
    WheelResult m = WheelValues(10000);
    m.status[8] = 2;
    ShowWheel(m, &m, 0, 0, "wheel_all_switches");
    ExpectFrame(kX, kY, kW, kH);
    // 21 lines 8 pixels apart from y 88 to y 248, each with its value.
    for (int i = 0; i < 21; ++i) {
        const int lineY = 88 + 8 * i;
        EXPECT_GT(Count(RECT{195, lineY, 411, lineY + 8}, BlueInk), 0) << "line " << i;
        EXPECT_GT(Count(RECT{125, lineY, 179, lineY + 8}, DarkInk), 0) << "line " << i;
    }
    EXPECT_EQ(0, Count(RECT{kX + 2, 258, kX + kW - 2, 266}, DarkInk));
    // Ti1 (the fourth line) on red.
    EXPECT_EQ(kRed, At(196, 88 + 3 * 8 + 3));
}

TEST_F(ResultPanelTest, WheelVariant4LinesStayInThePanel)
{
    SaveSettings([](ParamBlock& s) {
        AllWheelSwitches(s);
        s.option2 = 4;
    });
    const WheelResult m = WheelValues(10000);
    ShowWheel(m, &m, 0, 0, "wheel_variant4");
    // Six lines 29 apart from y 88 in a 30-pixel font, the last ending in the panel.
    for (int i = 0; i < 6; ++i) ExpectLine(kX + 5, 88 + 29 * i, 30, false);
    ExpectFrame(kX, kY, kW, kH);
}

TEST_F(ResultPanelTest, WheelWhileMeasuringShowsPlaceholdersWithoutCells)
{
    ResultRoot::Factory();
    WheelResult m = WheelValues(28000);
    m.status[0] = 2;
    m.status[1] = 1;
    ShowWheel(m, &m, 1, 1, "wheel_measuring");
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, Cell));
    // The placeholder is five hyphens in the middle of the line, low ink.
    for (int lineY : {98, 157, 216}) {
        const RECT box = Ink(RECT{195, lineY, 303, lineY + 40}, BlueInk);
        ASSERT_FALSE(Empty(box));
        EXPECT_LT(box.bottom - box.top, 8) << lineY;
    }
}

TEST_F(ResultPanelTest, WheelNoSwitchDrawsTheEmptyPanel)
{
    SaveSettings([](ParamBlock& s) {
        for (BYTE& b : s.switches) b = 1;
    });
    const WheelResult m = WheelValues(28000);
    ShowWheel(m, &m, 0, 0, "wheel_empty");
    ExpectFrame(kX, kY, kW, kH);
    EXPECT_EQ(0, Count(RECT{kX + 1, kY + 1, kX + kW - 1, kY + kH - 1}, NotWhite));
}

// A settings file that cannot be read would leave the panels empty: they say
// why instead.
TEST_F(ResultPanelTest, UnreadableSettingsAreSaidInTheWheelAndDiscPanels)
{
    env.RemoveSettings();
    const WheelResult m = WheelValues(28000);
    ShowWheel(m, &m, 0, 0, "wheel_unread_settings");
    ExpectFrame(kX, kY, kW, kH);
    const RECT inside{kX + 1, kY + 1, kX + kW - 1, kY + kH - 1};
    const int notice = Count(inside, DarkInk);
    EXPECT_GT(notice, 300) << "the notice";
    EXPECT_EQ(0, Count(inside, BlueInk)) << "no value";
    env.UseLanguage("RUS.LNG");
    DiscResult d{};
    ShowDisc(d, 0, "disc_unread_settings");
    ExpectFrame(kX, kY, kW, kH);
    EXPECT_GT(Count(inside, DarkInk), 300);
}

TEST_F(ResultPanelTest, WheelRussianInchesWithVerdict)
{
    env.UseLanguage("RUS.LNG");
    SaveSettings([](ParamBlock& s) {
        s.option4 = 3;
        s.unitSystem = 2;
    });
    WheelResult m = WheelValues(28000);
    m.status[2] = 2;
    ShowWheel(m, &m, 0, 1, "wheel_russian");
    ExpectLine(kX + 5, 98, 40, true);
    ExpectLine(kX + 5, 157, 40, true);
    // The verdict "Брак" on red (blue text on the cell), the reference in
    // green, the unit column empty.
    ExpectInside(RECT{195, 216, 303, 256}, BlueInk, "verdict");
    EXPECT_EQ(kRed, At(196, 219));
    EXPECT_EQ(0, Count(RECT{410, 216, 472, 256}, DarkInk));
}

TEST_F(ResultPanelTest, OneLineDrawFlagAndSecondValue)
{
    ResultRoot::Factory();
    BYTE drawn[3] = {};
    Show(
        [&](HWND h, HDC dc) {
            view->LoadSettings();
            HFONT font = g_paintHelper.MakeFont(u"Calibri", 40, 16, FW_NORMAL, 0);
            HGDIOBJ old = SelectObject(dc, font);
            drawn[0] = view->DrawResultRow(h, dc, 0, 125, 20, 1000, 0, u"X", u"mm", 1000, 0, 2, 0, 40, 1, 1);
            drawn[1] = view->DrawResultRow(h, dc, 1, 125, 100, 1000, -1.0f, u"A", u"mm", 1000, 0, 0, 0, 40, 1, 1);
            drawn[2] = view->DrawResultRow(h, dc, 1, 125, 180, 1000, 0.0f, u"B", u"mm", 1000, 0, 0, 0, 40, 1, 1);
            SelectObject(dc, old);
            DeleteObject(font);
        },
        "row");
    // Draw flag 0: nothing drawn, and the caller's line does not move.
    EXPECT_EQ(0, drawn[0]);
    EXPECT_EQ(0, Count(RECT{0, 0, 480, 80}, NotWhite));
    EXPECT_EQ(1, drawn[1]);
    EXPECT_EQ(1, drawn[2]);
    // Value B -1: only value A, in the left half; value B 0: "0.00" in green
    // in the right half.
    ExpectInside(RECT{195, 100, 303, 140}, BlueInk, "value A");
    EXPECT_EQ(0, Count(RECT{195, 100, 411, 140}, GreenInk));
    ExpectInside(RECT{303, 180, 411, 220}, GreenInk, "value B");
}

// ---- gauges

TEST_F(ResultPanelTest, Gauge2ValueInToleranceIsBlue)
{
    const ParamBlock s = SaveGauge(2, 1, 1, 1);
    WheelResult m = Reading(7, 8007);
    ShowGauge2(m, 0, s.spareOption1, "gauge2_blue");
    ExpectGaugeLine();
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, Cell));
}

TEST_F(ResultPanelTest, Gauge2MarkedValuesAreWhiteOnRedOrOrange)
{
    SaveGauge(2, 1, 1, 1);
    WheelResult m = Reading(7, 8007, 3, 2);
    ShowGauge2(m, 0, 0, "gauge2_red");
    ExpectPixels({{191, 148, kRed}, {394, 196, kRed}});
    EXPECT_NE(kRed, At(189, 148));
    EXPECT_NE(kRed, At(396, 148));
    EXPECT_GT(Count(RECT{190, 147, 395, 197}, WhiteInk), 20);
    EXPECT_EQ(0, Count(RECT{190, 147, 395, 197}, BlueInk));

    m.status[3] = 1;
    ShowGauge2(m, 0, 0, "gauge2_orange");
    EXPECT_EQ(kOrange, At(191, 148));
    // While measuring: the placeholder in blue, no cell.
    ShowGauge2(m, 1, 0, "gauge2_measuring");
    EXPECT_EQ(0, Count(RECT{kX, kY, kX + kW, kY + kH}, Cell));
    ExpectInside(RECT{190, 147, 395, 197}, BlueInk, "placeholder");
}

TEST_F(ResultPanelTest, Gauge2RussianInches)
{
    env.UseLanguage("RUS.LNG");
    SaveGauge(2, 1, 1, 2);
    WheelResult m = Reading(7, 29007);
    ShowGauge2(m, 0, 0, "gauge2_russian_inches");
    ExpectInside(RECT{125, 60, 475, 87}, DarkInk, "title");
    ExpectInside(RECT{190, 147, 395, 197}, BlueInk, "value");
    // The unit, whatever its width, inside the frame (a wide one is drawn
    // smaller).
    ExpectInside(RECT{400, 140, 472, 200}, DarkInk, "unit");
    EXPECT_EQ(0, Count(RECT{475, 87, 480, 267}, DarkInk));
}

TEST_F(ResultPanelTest, Gauge3OneStepFullSizeLine)
{
    const ParamBlock s = SaveGauge(3, 1, 0);
    const WheelResult m = Reading(28, 1254321);  // from 1000 on: one decimal
    Show([&](HWND h, HDC dc) { view->DrawErrorRowsType3(h, dc, m, kX, kY, kW, kH, 0, 0, s.gaugeSteps); },
         "gauge3_one_step");
    ExpectGaugeLine();
}

// The measuring screen's type-3 panel and dial: the step table's states.
void Gauge3WithDial(CResultView& view, HWND h, HDC dc, const WheelResult& m, const ParamBlock& s,
                    const MeasureStep* steps)
{
    view.DrawErrorRowsType3(h, dc, m, kX, kY, kW, kH, 0, 0, s.gaugeSteps);
    if (s.gaugeSteps > 1 && s.measureMode == 0) view.DrawDial(h, dc, 220, 200, steps, s.gaugeSteps);
}

TEST_F(ResultPanelTest, Gauge3ThreeStepsCompactLineAndDial)
{
    const ParamBlock s = SaveGauge(3, 3, 0);
    const WheelResult m = Reading(28, 35120, 10, 1);
    const MeasureStep steps[6] = {{35120, 3, 0}, {0, 1, 0}, {0, 0, 0}};
    Show([&](HWND h, HDC dc) { Gauge3WithDial(*view, h, dc, m, s, steps); }, "gauge3_three_steps");
    // Compact line at y 94: box from x 170, 125 wide, orange; unit at x 300.
    ExpectPixels({{171, 95, kOrange}, {294, 128, kOrange}});
    EXPECT_NE(kOrange, At(296, 110));
    EXPECT_GT(Count(RECT{170, 94, 295, 129}, WhiteInk), 10);
    ExpectInside(RECT{130, 94, 170, 129}, DarkInk, "name");
    ExpectInside(RECT{300, 94, 472, 129}, DarkInk, "unit");
    // The dial: grey disc of radius 60, white inner circle, three marks; the
    // grey mark has its outline (180, 216).
    ExpectPixels({{270, 200, kGrey}, {170, 200, kGrey}, {220, 200, kWhite}, {220, 140, kBlack}, {220, 165, kBlack},
                  {220, 154, kPurple}, {259, 223, kGreen}, {180, 223, kGrey}, {180, 216, kBlack}});
}

TEST_F(ResultPanelTest, Gauge3SixStepsMarksEverySixtyDegrees)
{
    const ParamBlock s = SaveGauge(3, 6, 0);
    const WheelResult m = Reading(28, 35120, 10, 2);
    const MeasureStep steps[6] = {{1, 3, 0}, {1, 2, 0}, {0, 1, 0}, {0, 0, 0}, {0, 7, 0}, {0, 0, 0}};
    Show([&](HWND h, HDC dc) { Gauge3WithDial(*view, h, dc, m, s, steps); }, "gauge3_six_steps");
    // Black at (180, 223): a state outside 0 .. 3; at (220, 239) the grey mark's outline.
    ExpectPixels({{171, 95, kRed}, {220, 154, kPurple}, {259, 177, kBlue}, {259, 223, kGreen}, {220, 246, kGrey},
                  {180, 223, kBlack}, {180, 177, kGrey}, {220, 239, kBlack}});
}

TEST_F(ResultPanelTest, Gauge3SingleMeasurementHasNoDial)
{
    const ParamBlock s = SaveGauge(3, 3, 1);
    const WheelResult m = Reading(28, 35120);
    const MeasureStep steps[6] = {};
    Show([&](HWND h, HDC dc) { Gauge3WithDial(*view, h, dc, m, s, steps); }, "gauge3_single");
    ExpectInside(RECT{190, 147, 395, 197}, BlueInk, "value");
    ExpectPixels({{270, 230, kWhite}, {170, 230, kWhite}, {220, 250, kWhite}});
    EXPECT_LT(Count(RECT{kX, kY, kX + kW, kY + kH}, [](COLORREF c) { return c == kGrey; }), 10);
}

TEST_F(ResultPanelTest, DialOfTheOptionGroupsScreen)
{
    MeasureStep marks[6] = {};
    for (MeasureStep& mark : marks) mark.state = 1;
    Show([&](HWND h, HDC dc) { view->DrawDial(h, dc, 280, 120, marks, 1); }, "dial_one");
    ExpectPixels({{280, 74, kGreen}, {320, 120, kGrey}, {240, 120, kGrey}});
    // A step count outside 1 .. 6 draws the dial without marks.
    for (BYTE n : {0, 7}) {
        Show([&](HWND h, HDC dc) { view->DrawDial(h, dc, 280, 120, marks, n); }, "dial_" + std::to_string(n));
        EXPECT_EQ(kGrey, At(280, 74)) << int(n);
        EXPECT_EQ(0, Count(RECT{200, 40, 360, 200}, [](COLORREF c) { return c == kGreen; })) << int(n);
    }
}

// ---- discs

TEST_F(ResultPanelTest, DiscTwoHeadsSevenLines)
{
    SaveDisc({2, 2, 2, 2}, 2);
    DiscResult d{};
    for (int j = 0; j < 7; ++j) d.values[j] = 12000 + 1000 * j;
    d.status[1] = 1;
    d.status[6] = 2;
    ShowDisc(d, 0, "disc_two_heads");
    ExpectFrame(kX, kY, kW, kH);
    for (int i = 0; i < 7; ++i) ExpectLine(kX + 5, 88 + 24 * i, 25, false);
    ExpectPixels({{196, 88 + 24 + 3, kOrange}, {196, 88 + 24 * 6 + 3, kRed}});
}

TEST_F(ResultPanelTest, DiscOneHeadPanelAndSideDiagram)
{
    SaveDisc({2, 2, 1, 1}, 1);
    DiscResult d{};
    for (int j = 0; j < 7; ++j) d.values[j] = 12000 + 1000 * j;
    Show(
        [&](HWND h, HDC dc) {
            view->DrawDiscResults(h, dc, d, 200, kY, 275, kH, 0);
            view->DrawPanel(h, dc, 120, 87, 1, 0);
        },
        "disc_one_head");
    ExpectFrame(200, kY, 275, kH);
    for (int lineY : {90, 134, 178, 222}) ExpectLine(205, lineY, 40, false);
    // The diagram: outline, side 1 green, side 2 grey, slots, captions.
    ExpectPixels({{120, 150, kBlack}, {125, 100, kWhite}, {141, 200, kGreen}, {132, 200, kGreen}, {180, 200, kGrey},
                  {188, 200, kGrey}});
    // Inside slot 0, its top edge, the hub between the rings.
    ExpectPixels({{160, 147, kWhite}, {160, 142, kBlack}, {160, 139, kWhite}});
    ExpectInside(RECT{130, 105, 150, 127}, DarkInk, "caption 1");
    ExpectInside(RECT{170, 105, 190, 127}, DarkInk, "caption 2");
}

TEST_F(ResultPanelTest, DiscOnlyThicknessOneCentredLineInInches)
{
    env.UseLanguage("RUS.LNG");
    SaveDisc({1, 1, 2, 1}, 2, 2);
    DiscResult d{};
    d.values[6] = 25400;
    ShowDisc(d, 0, "disc_thickness_russian");
    ExpectLine(kX + 5, 158, 40, false);
    EXPECT_EQ(0, Count(RECT{kX + 2, 89, kX + kW - 2, 157}, DarkInk));
}

TEST_F(ResultPanelTest, DiscNoSwitchEmptyPanelAndMeasuringPlaceholders)
{
    SaveDisc({1, 1, 1, 1});
    DiscResult d{};
    ShowDisc(d, 1, "disc_empty");
    ExpectFrame(kX, kY, kW, kH);
    EXPECT_EQ(0, Count(RECT{kX + 1, kY + 1, kX + kW - 1, kY + kH - 1}, NotWhite));
}

}  // namespace
