// The train diagram: bogie sharing, car width and axle places, state colours,
// and the drawing itself: every shipped scheme (wheels and discs in their
// state colours, side labels, order arrows), a reversed car, the record panel
// and clipping to the frame.
#include <cstring>
#include <functional>
#include <memory>

#include "scheme/SchemeFile.h"
#include "scheme/ui/SchemeView.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/ui/UiTestSupport.h"

namespace {

using qtest::ReadSourceFile;
using schemeui::Snapshot;

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kArrowBlue = 0xFF0000;
constexpr COLORREF kJoinRed = 0x0000FF;

// The frame the tests draw in: the content starts 25 pixels below its top.
constexpr int kFrameX = 10, kFrameY = 10, kFrameW = 450, kFrameH = 120;
constexpr int kY0 = kFrameY + 25;

struct Shipped {
    const char* folder;
    const char* file;
    int deviceType;
};

// A scheme parsed from a shipped file.
std::unique_ptr<CScheme> LoadShipped(const Shipped& s)
{
    auto scheme = std::make_unique<CScheme>();
    const std::string text = ReadSourceFile(std::filesystem::path("data") / s.folder / s.file);
    int items = 0, cars = 0, order = 0;
    EXPECT_EQ(1, CSchemeFile::Parse(text.data(), text.size(), scheme->cars, &items, &cars, &order)) << s.file;
    scheme->orderCount = items;
    scheme->carCount = cars;
    scheme->orderType = order;
    return scheme;
}

// A default car of `axles` axles of one layout, all positions not measured.
std::unique_ptr<CScheme> MakeCar(int cars, int axles, int orderType, int layout)
{
    auto scheme = std::make_unique<CScheme>();
    BuildDefaultScheme(scheme.get(), cars, axles, orderType, layout);
    return scheme;
}

// Left edge of axle position i of a car whose bogies are `bogies` (1-based).
int AxleLeft(const int* bogies, int i)
{
    return kFrameX + 48 * i + 13 * bogies[i];
}

// The screen as composed after the last Show.
qplat::Surface& Shot()
{
    static qplat::Surface shot;
    return shot;
}

COLORREF Pixel(int x, int y)
{
    return qplat::PixelToColor(Shot().At(x, y));
}

// Whether any pixel of the rectangle from (x0, y0) to (x1, y1) passes.
bool Any(int x0, int y0, int x1, int y1, const std::function<bool(COLORREF)>& test)
{
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (test(Pixel(x, y))) return true;
    return false;
}
bool AnyPixel(int x0, int y0, int x1, int y1, COLORREF colour)
{
    return Any(x0, y0, x1, y1, [colour](COLORREF c) { return c == colour; });
}
// Text is smoothed: its pixels are dark, not all black.
bool AnyDark(int x0, int y0, int x1, int y1)
{
    return Any(x0, y0, x1, y1,
               [](COLORREF c) { return (c & 0xFF) < 0x60 && ((c >> 8) & 0xFF) < 0x60 && ((c >> 16) & 0xFF) < 0x60; });
}
bool AllWhite(int x0, int y0, int x1, int y1)
{
    return !Any(x0, y0, x1, y1, [](COLORREF c) { return c != kWhite; });
}

int RightmostNonWhite(int y0, int y1, int x0, int x1)
{
    int right = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Pixel(x, y) != kWhite && x > right) right = x;
    return right;
}

class SchemeViewTest : public schemeui::SchemeUiTest {
protected:
    void SetUp() override
    {
        SchemeUiTest::SetUp();
        qtest::Hooks() = qtest::UiHooks{};
        view = std::make_unique<CSchemeView>();
    }
    void TearDown() override
    {
        if (screen) DestroyWindow(screen);
        qtest::Hooks() = qtest::UiHooks{};
        SchemeUiTest::TearDown();
    }
    // Shows a white screen painted by `paint` and composes it.
    void Show(std::function<void(HWND, HDC)> paint)
    {
        if (screen) DestroyWindow(screen);
        qtest::Hooks().paint = [paint](HWND w, HDC dc) {
            RECT r{0, 0, 480, 272};
            HBRUSH white = CreateSolidBrush(kWhite);
            FillRect(dc, &r, white);
            DeleteObject(white);
            paint(w, dc);
        };
        screen = qtest::MakeScreen();
        qplat::ProcessPendingMessages();
        Shot() = qplat::ComposeScreen();
    }
    void ShowCar(const CScheme& scheme, int car, int orderType, int deviceType, int scroll = 0, int width = kFrameW)
    {
        Show([&, car, orderType, deviceType, scroll, width](HWND w, HDC dc) {
            view->DrawCar(w, dc, kFrameX, kFrameY, width, kFrameH, scroll, scheme.cars, car, scheme.carCount, orderType,
                          deviceType);
        });
    }

    std::unique_ptr<CSchemeView> view;
    HWND screen = nullptr;
};

TEST_F(SchemeViewTest, AxlesAreSharedOutToBogiesFromTheLastBogieBack)
{
    CSchemeView& v = *view;
    v.SplitBogies(5, 2);
    EXPECT_EQ(std::vector<int>(v.BogieNumbers(), v.BogieNumbers() + 6), (std::vector<int>{1, 1, 1, 2, 2, 0}));
    v.SplitBogies(7, 3);
    EXPECT_EQ(std::vector<int>(v.BogieNumbers(), v.BogieNumbers() + 8), (std::vector<int>{1, 1, 1, 2, 2, 3, 3, 0}));
    // One axle on two bogies: the second bogie stays empty.
    v.SplitBogies(1, 2);
    EXPECT_EQ(v.BogieNumbers()[0], 1);
    EXPECT_EQ(v.BogieNumbers()[1], 0);

    // Counts outside their ranges are clamped: no bogie 0, none above 7, and
    // never more than the 36 axles a car holds.
    v.SplitBogies(4, 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(v.BogieNumbers()[i], 1);
    v.SplitBogies(36, 12);
    EXPECT_EQ(v.BogieNumbers()[0], 1);
    EXPECT_EQ(v.BogieNumbers()[35], 7);
    v.SplitBogies(500, -3);
    for (int i = 0; i < SCHEME_MAX_AXLES; ++i) EXPECT_EQ(v.BogieNumbers()[i], 1) << i;
}

TEST_F(SchemeViewTest, CarWidthAndAxlePlaces)
{
    auto scheme = MakeCar(1, 5, 3, 2);
    EXPECT_EQ(CSchemeView::CarWidth(scheme->cars, 0), 5 * 48 + 23);
    scheme->cars[0].axleCount = 9;
    EXPECT_EQ(CSchemeView::CarWidth(scheme->cars, 0), 455);
    scheme->cars[0].axleCount = 4;
    EXPECT_EQ(CSchemeView::AxleX(scheme->cars, 0, 0), 48);
    EXPECT_EQ(CSchemeView::AxleX(scheme->cars, 0, 2), 144) << "the middle axle is still in the first half";
    EXPECT_EQ(CSchemeView::AxleX(scheme->cars, 0, 3), 4 * 48 + 13);
    // A reversed car is seen from its other end.
    scheme->cars[0].reversed = 1;
    EXPECT_EQ(CSchemeView::AxleX(scheme->cars, 0, 0), 4 * 48 + 13);
    EXPECT_EQ(CSchemeView::AxleX(scheme->cars, 0, 3), 48);
    // A stored axle count out of range draws no wider than 36 axles.
    scheme->cars[0].axleCount = 1000;
    EXPECT_EQ(CSchemeView::CarWidth(scheme->cars, 0), 36 * 48 + 23);
}

TEST_F(SchemeViewTest, StateColours)
{
    EXPECT_EQ(CSchemeView::StateColour(0, 0), 0xC1C1C1u);
    EXPECT_EQ(CSchemeView::StateColour(0, 1), 0x5A5A5Au);
    for (BYTE shade : {0, 1}) {
        EXPECT_EQ(CSchemeView::StateColour(1, shade), 0x00C100u);
        EXPECT_EQ(CSchemeView::StateColour(2, shade), 0xC10000u);
        EXPECT_EQ(CSchemeView::StateColour(3, shade), 0xC100C1u);
        EXPECT_EQ(CSchemeView::StateColour(4, shade), 0u);
        EXPECT_EQ(CSchemeView::StateColour(-1, shade), 0u);
    }
}

// Every shipped scheme, its first and its last car, with some positions
// current and measured; the pixels pin what the snapshots show.
TEST_F(SchemeViewTest, EveryShippedSchemeIsDrawn)
{
    const Shipped shipped[] = {{"Schemes", "Car 4 axles.sch", 1},
                               {"Schemes", "Locomotive 2 bogies.sch", 1},
                               {"Schemes", "Train 5 cars.sch", 1},
                               {"Schemes_QOD", "Disc car 4 axles.sch", 4},
                               {"Schemes_QOD", "Disc train 3 cars.sch", 4}};
    int n = 0;
    for (const Shipped& s : shipped) {
        SCOPED_TRACE(s.file);
        auto scheme = LoadShipped(s);
        SchemeCar* cars = scheme->cars;
        cars[0].axles[0].wheels[SIDE_RIGHT].state = 1;
        cars[0].axles[0].wheels[SIDE_LEFT].state = 2;
        cars[0].axles[1].wheels[SIDE_RIGHT].state = 3;
        cars[0].axles[1].wheels[SIDE_MIDDLE].state = 2;
        const int last = scheme->carCount - 1;
        Show([&](HWND w, HDC dc) {
            view->DrawCar(w, dc, kFrameX, kFrameY, kFrameW, kFrameH, 0, cars, 0, scheme->carCount, scheme->orderType,
                          s.deviceType);
            view->DrawCar(w, dc, kFrameX, 145, kFrameW, kFrameH, 0, cars, last, scheme->carCount, scheme->orderType,
                          s.deviceType);
        });
        Snapshot("scheme_view_" + std::to_string(++n) + ".png");

        view->SplitBogies(cars[0].axleCount, cars[0].bogieCount);
        const int* b = view->BogieNumbers();
        const int x0 = AxleLeft(b, 0) + 10, x1 = AxleLeft(b, 1) + 10, x2 = AxleLeft(b, 2) + 10;
        // The frame.
        EXPECT_EQ(Pixel(kFrameX + 200, kFrameY), 0x000000u);
        if (s.deviceType == 4) {
            // Discs: the top row's right disc, the bottom row's left disc, and
            // for three-disc axles the middle one, each in its state's colour.
            EXPECT_EQ(Pixel(x0, kY0 - 5), 0x00C100u) << "current";
            EXPECT_EQ(Pixel(x0, kY0 + 60 - 5), 0xC10000u) << "measured";
            EXPECT_EQ(Pixel(x1, kY0 - 5), 0xC100C1u) << "current and measured";
            EXPECT_EQ(Pixel(x2, kY0 - 5), 0xC1C1C1u) << "not measured";
            const bool middle = cars[0].axles[1].layout == 3;
            EXPECT_EQ(Pixel(x1, kY0 + 30 - 5), middle ? 0xC10000u : kWhite) << "the middle disc, where there is one";
        } else {
            // Wheels: tread rectangles of the top row (right) and the bottom row (left).
            EXPECT_EQ(Pixel(x0, kY0 - 3), 0x00C100u) << "current";
            EXPECT_EQ(Pixel(x0, kY0 + 60 + 3), 0xC10000u) << "measured";
            EXPECT_EQ(Pixel(x1, kY0 - 3), 0xC100C1u) << "current and measured";
            EXPECT_EQ(Pixel(x2, kY0 - 3), 0xC1C1C1u) << "not measured";
            EXPECT_EQ(Pixel(x2, kY0 + 60 + 3), 0xC1C1C1u);
        }
        // The shaft between the rows.
        EXPECT_EQ(Pixel(AxleLeft(b, 2) + 15, kY0 + 20), 0xC1C1C1u);
        // The measuring order: blue arrows and their red start mark.
        EXPECT_TRUE(AnyPixel(kFrameX, kFrameY, kFrameX + kFrameW, kFrameY + kFrameH, kArrowBlue));
        EXPECT_TRUE(AnyPixel(kFrameX, kFrameY, kFrameX + kFrameW, kFrameY + kFrameH, kJoinRed));
        // Side labels and axle numbers in black above the top row.
        EXPECT_TRUE(AnyDark(AxleLeft(b, 0) + 8, kY0 - 18, AxleLeft(b, 0) + 30, kY0 - 8));
        // Nothing outside the frames.
        EXPECT_TRUE(AllWhite(kFrameX + kFrameW + 1, 0, 480, 272));
    }
}

TEST_F(SchemeViewTest, AReversedCarShowsItsLastAxleFirstInTheDarkShade)
{
    auto scheme = MakeCar(1, 4, 4, 2);
    SchemeCar& car = scheme->cars[0];
    car.reversed = 1;
    car.axles[3].wheels[SIDE_LEFT].state = 2;
    car.axles[3].wheels[SIDE_RIGHT].state = 0;
    car.axles[0].wheels[SIDE_LEFT].state = 3;
    ShowCar(*scheme, 0, 4, 1);
    Snapshot("scheme_view_reversed.png");
    view->SplitBogies(4, 2);
    const int* b = view->BogieNumbers();
    // Position 0 shows axle 4: its left wheel (wheel 0) on the top row.
    EXPECT_EQ(Pixel(AxleLeft(b, 0) + 10, kY0 - 3), 0xC10000u);
    EXPECT_EQ(Pixel(AxleLeft(b, 0) + 10, kY0 + 63), 0x5A5A5Au) << "not measured, dark shade";
    EXPECT_EQ(Pixel(AxleLeft(b, 0) + 15, kY0 + 20), 0x5A5A5Au) << "dark shaft";
    // The last position shows axle 1; state 3 stays purple in the dark shade.
    EXPECT_EQ(Pixel(AxleLeft(b, 3) + 10, kY0 - 3), 0xC100C1u);

    // The label above position 0 names axle 4, as the same car unreversed
    // shows it above its last position.
    auto labelBits = [&](int left) {
        std::vector<COLORREF> bits;
        for (int y = kY0 - 18; y < kY0 - 7; ++y)
            for (int x = left - 2; x < left + 40; ++x) bits.push_back(Pixel(x, y));
        return bits;
    };
    // A reversed, not swapped car has its left wheels on top: label "4L".
    const std::vector<COLORREF> reversedFirst = labelBits(AxleLeft(b, 0));
    car.reversed = 0;
    car.swapped = 1;  // the unreversed car with swapped sides labels its top row "L" too
    ShowCar(*scheme, 0, 4, 1);
    EXPECT_EQ(labelBits(AxleLeft(b, 3)), reversedFirst);
}

TEST_F(SchemeViewTest, OrderArrowsFollowTheOrderType)
{
    auto scheme = MakeCar(3, 4, 3, 2);
    view->SplitBogies(4, 2);
    const int* b = view->BogieNumbers();
    const int ax = AxleLeft(b, 0) + 19;
    // Type 3 walks each axle right to left: the first arrow starts (red dot)
    // at the top of the band between the rows; type 4 at its bottom.
    ShowCar(*scheme, 0, 3, 1);
    EXPECT_EQ(Pixel(ax - 3, kY0 + 12), kJoinRed);
    EXPECT_NE(Pixel(ax - 3, kY0 + 47), kJoinRed);
    ShowCar(*scheme, 0, 4, 1);
    EXPECT_EQ(Pixel(ax - 3, kY0 + 47), kJoinRed);
    EXPECT_NE(Pixel(ax - 3, kY0 + 12), kJoinRed);

    // Device type 3 measures whole axles: its callers ask for no arrows.
    ShowCar(*scheme, 0, -1, 3);
    EXPECT_FALSE(AnyPixel(kFrameX, kFrameY, kFrameX + kFrameW, kFrameY + kFrameH, kArrowBlue));
    EXPECT_FALSE(AnyPixel(kFrameX, kFrameY, kFrameX + kFrameW, kFrameY + kFrameH, kJoinRed));
    // An unknown order type draws none either.
    ShowCar(*scheme, 0, 9, 1);
    EXPECT_FALSE(AnyPixel(kFrameX, kFrameY, kFrameX + kFrameW, kFrameY + kFrameH, kArrowBlue));

    // Type 1 turns round at the end of the train: only the last car joins
    // its top run to its bottom run with a red line down its right end.
    const int turnX = kFrameX + 15 + 48 * 4 + 13;
    ShowCar(*scheme, 1, 1, 1);
    EXPECT_FALSE(AnyPixel(turnX - 2, kY0 + 20, turnX + 3, kY0 + 40, kJoinRed));
    ShowCar(*scheme, 2, 1, 1);
    EXPECT_TRUE(AnyPixel(turnX - 2, kY0 + 20, turnX + 3, kY0 + 40, kJoinRed));
}

TEST_F(SchemeViewTest, NothingIsDrawnOutsideTheFrameAndScrollingShiftsTheCar)
{
    auto scheme = MakeCar(1, 9, 5, 2);
    scheme->cars[0].axles[0].wheels[SIDE_RIGHT].state = 1;
    // A narrow frame over a wide car: the car is cut at the frame.
    ShowCar(*scheme, 0, 5, 1, 0, 200);
    EXPECT_TRUE(AllWhite(kFrameX + 201, 0, 480, 272));
    EXPECT_EQ(Pixel(kFrameX + 23, kY0 - 3), 0x00C100u);
    // Scrolled by 100 pixels, the first axle is out of the frame and nothing
    // is drawn left of it.
    ShowCar(*scheme, 0, 5, 1, 100, 200);
    EXPECT_FALSE(AnyPixel(0, 0, kFrameX, 272, 0x00C100u));
    EXPECT_FALSE(AnyPixel(kFrameX + 1, kFrameY + 1, kFrameX + 200 - 1, kFrameY + kFrameH - 1, 0x00C100u));
    EXPECT_EQ(Pixel(kFrameX + 23 + 48 * 3 - 100, kY0 - 3), 0xC1C1C1u) << "axle 4 moved left";
}

TEST_F(SchemeViewTest, RecordPanelDrawsEachValueWithinItsField)
{
    auto record = std::make_unique<QavJournalRecord>();
    std::memset(record.get(), 0, sizeof *record);
    qplat::CopyField(record->carName, 20, u"Car 7");
    qplat::CopyField(record->wheelName, 13, u"12");
    // A date that fills its field without a terminator, the time right behind it.
    std::memcpy(record->date, u"01/02/2024", sizeof record->date);
    auto bounded = std::make_unique<QavJournalRecord>(*record);
    qplat::CopyField(record->time, 10, u"88:88:88");
    std::memset(bounded->time, 0, sizeof bounded->time);

    int withTime = 0, without = 0;
    for (auto [r, right] : {std::pair{record.get(), &withTime}, std::pair{bounded.get(), &without}}) {
        Show([&](HWND w, HDC dc) { view->DrawRecordPanel(w, dc, *r, TRUE, TRUE, 20, 20, 6, 14, 14); });
        *right = RightmostNonWhite(20, 33, 122, 270);
    }
    Snapshot("scheme_record_panel.png");
    EXPECT_GT(without, 122) << "the date is drawn";
    EXPECT_EQ(withTime, without) << "the time behind an unterminated date is not drawn as part of it";
    // Captions in black, values in blue, inside the frame.
    EXPECT_TRUE(AnyDark(20, 20, 110, 33));
    EXPECT_TRUE(AnyPixel(122, 34, 250, 47, 0xFF0000u)) << "the car name";
    EXPECT_EQ(Pixel(18, 60), 0x000000u) << "the frame";
}

}  // namespace
