#include "scheme/ui/SchemeView.h"

#include <iterator>
#include <string>

#include "platform/WinText.h"

namespace {

constexpr int kTextRight = 40510;
constexpr int kTextLeft = 40511;
constexpr int kTextMiddle = 40513;
constexpr int kArrowHead = 6;
constexpr int kStartDotRadius = 4;
constexpr int kAxleArrowLength = 35;

// Car and axle counts as stored may come from anywhere; the diagram only
// walks what fits the car.
int AxlesOf(const SchemeCar& car)
{
    return car.axleCount < 0 ? 0 : car.axleCount > SCHEME_MAX_AXLES ? SCHEME_MAX_AXLES : static_cast<int>(car.axleCount);
}

int ClampBogies(int bogies)
{
    return bogies < 1 ? 1 : bogies > SCHEME_VIEW_MAX_BOGIES ? SCHEME_VIEW_MAX_BOGIES : bogies;
}

// A filled polygon in `colour`, outlined with the pen the context holds.
void FillPolygon(HDC hdc, const POINT* points, int count, COLORREF colour)
{
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ old = SelectObject(hdc, brush);
    Polygon(hdc, points, count);
    SelectObject(hdc, old);
    DeleteObject(brush);
}

// The 23 corners of a wheel: the bottom row's with sign 1, the top row's
// (every vertical offset negated, first corner on the point) with sign -1.
void WheelCorners(POINT* p, int x, int y, int w, int h, int sign)
{
    const int s = (w - 3) / 2, q = (w - 3) / 4, t = w / 10;
    auto at = [&](int dx, int dy) { return POINT{x + dx, y + sign * dy}; };
    int k = 0;
    p[k++] = sign > 0 ? at(-1, 0) : at(0, 0);
    p[k++] = at(-4, -2);
    p[k++] = at(-3, -4);
    p[k++] = at(s - q, -4);
    p[k++] = at(s - q, -6);
    p[k++] = at(s + q, -6);
    p[k++] = at(s + q, -4);
    p[k++] = at(-3, -4);
    p[k++] = at(w, -4);
    p[k++] = at(w + 1, -3);
    p[k++] = at(w + 1, -2);
    p[k++] = at(w - 2, 0);
    p[k++] = at(0, 0);
    p[k++] = at(0, h - 1);
    p[k++] = at(1, h);
    p[k++] = at(s - t, h);
    p[k++] = at(s - t, h + 1);
    p[k++] = at(s + t, h + 1);
    p[k++] = at(s + t, h);
    p[k++] = at(s - t, h);
    p[k++] = at(w - 4, h);
    p[k++] = at(w - 3, h - 1);
    p[k++] = at(w - 3, 0);
}

// The real axle a drawn position shows: a reversed car is seen from its end.
int ShownAxle(int axleCount, int position, BYTE reversed)
{
    return reversed ? axleCount - 1 - position : position;
}

// One arrow from (x, y) to (ex, ey) with its head strokes ending at the tip.
void Arrow(HDC hdc, int x, int y, int ex, int ey, POINT head1, POINT head2, BOOL joined)
{
    if (joined) {
        HPEN red = CreatePen(PS_SOLID, 2, SCHEME_COLOUR_JOIN);
        HGDIOBJ old = SelectObject(hdc, red);
        LineTo(hdc, x, y);
        SelectObject(hdc, old);
        DeleteObject(red);
    } else {
        HPEN red = CreatePen(PS_SOLID, 1, SCHEME_COLOUR_JOIN);
        HBRUSH fill = CreateSolidBrush(SCHEME_COLOUR_JOIN);
        HGDIOBJ oldPen = SelectObject(hdc, red);
        HGDIOBJ oldBrush = SelectObject(hdc, fill);
        Ellipse(hdc, x - kStartDotRadius, y - kStartDotRadius, x + kStartDotRadius + 1, y + kStartDotRadius + 1);
        SelectObject(hdc, oldPen);
        SelectObject(hdc, oldBrush);
        DeleteObject(red);
        DeleteObject(fill);
    }
    HPEN blue = CreatePen(PS_SOLID, 2, SCHEME_COLOUR_ARROW);
    HGDIOBJ old = SelectObject(hdc, blue);
    MoveToEx(hdc, x, y, nullptr);
    LineTo(hdc, ex, ey);
    MoveToEx(hdc, ex + head1.x, ey + head1.y, nullptr);
    LineTo(hdc, ex, ey);
    MoveToEx(hdc, ex + head2.x, ey + head2.y, nullptr);
    LineTo(hdc, ex, ey);
    SelectObject(hdc, old);
    DeleteObject(blue);
}

}  // namespace

CSchemeView::CSchemeView()
{
    LoadLanguage();
}

void CSchemeView::LoadLanguage()
{
    m_language.Load();
}

COLORREF CSchemeView::StateColour(LONG state, BYTE reversedShade)
{
    switch (state) {
    case 0: return reversedShade ? SCHEME_COLOUR_NOT_MEASURED_REVERSED : SCHEME_COLOUR_NOT_MEASURED;
    case 1: return SCHEME_COLOUR_CURRENT;
    case 2: return SCHEME_COLOUR_MEASURED;
    case 3: return SCHEME_COLOUR_CURRENT_MEASURED;
    default: return 0;
    }
}

int CSchemeView::CarWidth(const SchemeCar* cars, int car)
{
    if (!cars || car < 0 || car >= SCHEME_MAX_CARS) return 0;
    return AxlesOf(cars[car]) * SCHEME_VIEW_AXLE_PITCH + 23;
}

int CSchemeView::AxleX(const SchemeCar* cars, int car, int axle)
{
    if (!cars || car < 0 || car >= SCHEME_MAX_CARS) return 0;
    const int m = AxlesOf(cars[car]);
    const int shown = cars[car].reversed ? m - 1 - axle : axle;
    return (shown + 1) * SCHEME_VIEW_AXLE_PITCH + (shown > m / 2 ? SCHEME_VIEW_BOGIE_GAP : 0);
}

void CSchemeView::SplitBogies(int axleCount, int bogieCount)
{
    for (int& b : m_bogies) b = 0;
    const int n = axleCount < 0 ? 0 : axleCount > SCHEME_MAX_AXLES ? SCHEME_MAX_AXLES : axleCount;
    const int k = ClampBogies(bogieCount);
    int share[SCHEME_VIEW_MAX_BOGIES + 1] = {};
    int left = n;
    for (int b = k; b >= 1; --b) {
        share[b] = left / b;
        left -= share[b];
    }
    int axle = 0;
    for (int b = 1; b <= k; ++b)
        for (int i = 0; i < share[b] && axle < n; ++i) m_bogies[axle++] = b;
}

void CSchemeView::DrawCar(HWND window, HDC hdc, int x, int y, int w, int h, int scroll, const SchemeCar* cars, int car,
                          int carCount, int orderType, int deviceType)
{
    if (!hdc) return;
    HRGN clip = CreateRectRgn(x, y, x + w, y + h);
    SelectClipRgn(hdc, clip);
    Rectangle(hdc, x, y, x + w, y + h);
    if (cars && car >= 0 && car < SCHEME_MAX_CARS) {
        SplitBogies(cars[car].axleCount, cars[car].bogieCount);
        const int x0 = x - scroll;
        const int y0 = y + SCHEME_VIEW_TOP_OFFSET;
        if (deviceType == 4)
            DrawCarWheelsQod(window, hdc, x0, y0, cars, car, carCount, orderType);
        else
            DrawCarWheels(window, hdc, x0, y0, cars, car, carCount, orderType);
        if (orderType != -1)
            DrawOrderArrows(window, hdc, x0, y0, orderType, AxlesOf(cars[car]), ClampBogies(cars[car].bogieCount), car,
                            carCount);
    }
    SelectClipRgn(hdc, nullptr);
    DeleteObject(clip);
}

int CSchemeView::RowLabel(bool topRow, BYTE reversed, BYTE swapped) const
{
    const bool same = (reversed != 0) == (swapped != 0);
    if (topRow) return same ? kTextRight : kTextLeft;
    return same ? kTextLeft : kTextRight;
}

void CSchemeView::DrawAxleCaption(HWND window, HDC hdc, int x, int y, int boxWidth, int axleNumber, int labelId)
{
    WCHAR text[32];
    WCHAR label[8] = {};
    if (labelId) qplat::CopyField(label, 8, m_language.GetText(labelId));
    swprintf(text, 32, u"%d%s", axleNumber, label);
    m_paint.DrawCaption(window, hdc, x, y, boxWidth, text, 11, 4, 0x000000, TRUE, TRUE, 0);
}

void CSchemeView::DrawCarCaptions(HWND window, HDC hdc, const SchemeCar* cars, int car, int carCount, int orderType,
                                  int x0, int y0)
{
    const int m = AxlesOf(cars[car]);
    for (int i = 0; i < m; ++i) {
        if (m_bogies[i] != 2) continue;
        const int xi = x0 + SCHEME_VIEW_AXLE_PITCH * i + SCHEME_VIEW_BOGIE_GAP * m_bogies[i];
        const int top = (orderType == 3 || orderType == 4) ? y0 : y0 + 20;
        WCHAR text[16];
        swprintf(text, 16, u"%d", car + 1);
        m_paint.DrawCaption(window, hdc, xi - 26, top, 26, text, 13, 5, 0x000000, TRUE, TRUE, 0);
        swprintf(text, 16, u"(%d)", carCount);
        m_paint.DrawCaption(window, hdc, xi - 26, top + 10, 26, text, 13, 5, 0x000000, TRUE, TRUE, 0);
        return;
    }
}

template <class DrawRows>
void CSchemeView::DrawAxles(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount,
                            int orderType, COLORREF shaftColour, DrawRows drawRows)
{
    const SchemeCar& c = cars[car];
    const int m = AxlesOf(c);
    DrawCarCaptions(window, hdc, cars, car, carCount, orderType, x, y);
    for (int i = 0; i < m; ++i) {
        const int xi = x + SCHEME_VIEW_AXLE_PITCH * i + SCHEME_VIEW_BOGIE_GAP * m_bogies[i];
        DrawAxleShaft(window, hdc, xi, y, SCHEME_VIEW_WHEEL_WIDTH, SCHEME_VIEW_WHEEL_HEIGHT, SCHEME_VIEW_ROW_DISTANCE,
                      shaftColour);
        const SchemeAxle& axle = c.axles[ShownAxle(m, i, c.reversed)];
        // Seen from the other end, the car's left wheels are in the top row.
        const SchemeWheel& top = c.reversed ? axle.wheels[SIDE_LEFT] : axle.wheels[SIDE_RIGHT];
        const SchemeWheel& bottom = c.reversed ? axle.wheels[SIDE_RIGHT] : axle.wheels[SIDE_LEFT];
        drawRows(c, m, i, xi, axle, top, bottom);
    }
}

void CSchemeView::DrawCarWheels(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount,
                                int orderType)
{
    const COLORREF shaft = cars[car].reversed ? SCHEME_COLOUR_NOT_MEASURED_REVERSED : SCHEME_COLOUR_NOT_MEASURED;
    DrawAxles(window, hdc, x, y, cars, car, carCount, orderType, shaft,
              [&](const SchemeCar& c, int m, int i, int xi, const SchemeAxle&, const SchemeWheel& top,
                  const SchemeWheel& bottom) {
                  DrawRightWheel(window, hdc, xi, y, SCHEME_VIEW_WHEEL_WIDTH, SCHEME_VIEW_WHEEL_HEIGHT,
                                 StateColour(top.state, c.reversed), m, i, c.reversed, c.swapped);
                  DrawLeftWheel(window, hdc, xi, y + SCHEME_VIEW_ROW_DISTANCE, SCHEME_VIEW_WHEEL_WIDTH,
                                SCHEME_VIEW_WHEEL_HEIGHT, StateColour(bottom.state, c.reversed), m, i, c.reversed,
                                c.swapped);
              });
}

void CSchemeView::DrawCarWheelsQod(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount,
                                   int orderType)
{
    DrawAxles(window, hdc, x, y, cars, car, carCount, orderType, SCHEME_COLOUR_NOT_MEASURED,
              [&](const SchemeCar& c, int m, int i, int xi, const SchemeAxle& axle, const SchemeWheel& top,
                  const SchemeWheel& bottom) {
                  // Discs are drawn in their state's colour whichever way the car stands.
                  if (axle.layout == 2 || axle.layout == 3) {
                      DrawDiscQod(window, hdc, xi, y + SCHEME_VIEW_ROW_DISTANCE, SCHEME_VIEW_WHEEL_WIDTH,
                                  SCHEME_VIEW_WHEEL_HEIGHT, StateColour(bottom.state, 0), m, i, c.reversed, c.swapped,
                                  0);
                      DrawDiscQod(window, hdc, xi, y, SCHEME_VIEW_WHEEL_WIDTH, SCHEME_VIEW_WHEEL_HEIGHT,
                                  StateColour(top.state, 0), m, i, c.reversed, c.swapped, 1);
                  }
                  if (axle.layout == 1 || axle.layout == 3)
                      DrawDiscQod(window, hdc, xi, y + SCHEME_VIEW_ROW_DISTANCE / 2, SCHEME_VIEW_WHEEL_WIDTH,
                                  SCHEME_VIEW_WHEEL_HEIGHT, StateColour(axle.wheels[SIDE_MIDDLE].state, 0), m, i,
                                  c.reversed, c.swapped, 2);
              });
}

void CSchemeView::DrawRightWheel(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount,
                                 int axle, BYTE reversed, BYTE swapped)
{
    POINT corners[23];
    WheelCorners(corners, x, y, w, h, -1);
    FillPolygon(hdc, corners, 23, colour);
    const int s = (w - 3) / 2;
    const int number = ShownAxle(axleCount, axle, reversed) + 1;
    DrawAxleCaption(window, hdc, x + s - 10, y - h - 12, 20, number, RowLabel(true, reversed, swapped));
    DrawAxleCaption(window, hdc, x + s - 20, y - h + 28, 20, number, 0);
}

void CSchemeView::DrawLeftWheel(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount,
                                int axle, BYTE reversed, BYTE swapped)
{
    POINT corners[23];
    WheelCorners(corners, x, y, w, h, 1);
    FillPolygon(hdc, corners, 23, colour);
    const int s = (w - 3) / 2;
    const int number = ShownAxle(axleCount, axle, reversed) + 1;
    DrawAxleCaption(window, hdc, x + s - 10, y + h + 2, 20, number, RowLabel(false, reversed, swapped));
}

void CSchemeView::DrawDiscQod(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount,
                              int axle, BYTE reversed, BYTE swapped, int row)
{
    const POINT corners[18] = {{x, y - 3},         {x, y - 6},         {x + w - 3, y - 6}, {x + w - 3, y - 3},
                               {x, y - 3},         {x + 3, y - 3},     {x + w - 6, y - 3}, {x + w - 6, y + 2},
                               {x + 3, y + 2},     {x + 3, y - 3},     {x + 3, y + 2},     {x, y + 2},
                               {x, y + 5},         {x + w - 3, y + 5}, {x + w - 3, y + 2}, {x + 3, y + 2},
                               {x + 3, y - 3},     {x, y - 3}};
    FillPolygon(hdc, corners, 18, colour);
    const int s = (w - 3) / 2;
    const int number = ShownAxle(axleCount, axle, reversed) + 1;
    if (row == 0)
        DrawAxleCaption(window, hdc, x + s - 10, y - h + 12, 20, number, RowLabel(false, reversed, swapped));
    else if (row == 1)
        DrawAxleCaption(window, hdc, x + s - 10, y - h - 12, 20, number, RowLabel(true, reversed, swapped));
    else
        DrawAxleCaption(window, hdc, x + s - 20, y - h - 12, 0, number, kTextMiddle);
}

void CSchemeView::DrawAxleShaft(HWND, HDC hdc, int x, int y, int w, int, int rowDistance, COLORREF colour)
{
    const int s = (w - 3) / 2, q = (w - 3) / 8;
    const POINT corners[4] = {{x + s - q, y + 6},
                              {x + s - q, y + rowDistance - 6},
                              {x + s + q + 1, y + rowDistance - 6},
                              {x + s + q + 1, y + 6}};
    FillPolygon(hdc, corners, 4, colour);
}

void CSchemeView::DrawOrderArrows(HWND, HDC hdc, int x, int y, int orderType, int axleCount, int bogieCount, int car,
                                  int carCount)
{
    const int m = axleCount < 0 ? 0 : axleCount > SCHEME_MAX_AXLES ? SCHEME_MAX_AXLES : axleCount;
    const int length = SCHEME_VIEW_AXLE_PITCH * m + SCHEME_VIEW_BOGIE_GAP * (ClampBogies(bogieCount) - 1);
    const int h = length / 2;
    const BOOL lastCar = car == carCount - 1;
    const int topY = y - 20, bottomY = y + 80;
    switch (orderType) {
    case 1: {
        // Right wheels forward along the top, left wheels back along the bottom.
        const int sx = x + 15;
        DrawArrowRight(hdc, sx, topY, h + 5, FALSE);
        DrawArrowRight(hdc, sx + h, topY, h, TRUE);
        DrawArrowLeft(hdc, sx + length, bottomY, h, lastCar);
        DrawArrowLeft(hdc, sx + h, bottomY, h, TRUE);
        return;
    }
    case 2: {
        const int sx = x + 13;
        DrawArrowRight(hdc, sx, bottomY, h, FALSE);
        DrawArrowRight(hdc, sx + h, bottomY, h, TRUE);
        DrawArrowLeft(hdc, sx + length, topY, h, lastCar);
        DrawArrowLeft(hdc, sx + h, topY, h + 5, TRUE);
        return;
    }
    case 3:
    case 4:
    case 5:
    case 6: {
        // One arrow an axle between the rows, pointing from the wheel measured
        // first to the one measured last; each starts where the last ended.
        const int top = y + 12, bottom = top + kAxleArrowLength;
        for (int i = 0; i < m; ++i) {
            const int ax = x + SCHEME_VIEW_AXLE_PITCH * i + SCHEME_VIEW_BOGIE_GAP * m_bogies[i] + 19;
            const bool even = i % 2 == 0;
            const bool down = orderType == 3 || (orderType == 5 && even) || (orderType == 6 && !even);
            if (down)
                DrawArrowDown(hdc, ax, top, kAxleArrowLength, i > 0);
            else
                DrawArrowUp(hdc, ax, bottom, kAxleArrowLength, i > 0);
        }
        return;
    }
    default: return;
    }
}

void CSchemeView::DrawArrowRight(HDC hdc, int x, int y, int length, BOOL joined)
{
    Arrow(hdc, x, y, x + length, y, POINT{-kArrowHead, -kArrowHead / 2 - 1}, POINT{-kArrowHead, kArrowHead / 2 + 1},
          joined);
}

void CSchemeView::DrawArrowLeft(HDC hdc, int x, int y, int length, BOOL joined)
{
    Arrow(hdc, x, y, x - length, y, POINT{kArrowHead, -kArrowHead / 2 - 1}, POINT{kArrowHead, kArrowHead / 2 + 1},
          joined);
}

void CSchemeView::DrawArrowDown(HDC hdc, int x, int y, int length, BOOL joined)
{
    Arrow(hdc, x, y, x, y + length, POINT{-kArrowHead / 2 - 1, -kArrowHead}, POINT{kArrowHead / 2 + 1, -kArrowHead},
          joined);
}

void CSchemeView::DrawArrowUp(HDC hdc, int x, int y, int length, BOOL joined)
{
    Arrow(hdc, x, y, x, y - length, POINT{-kArrowHead / 2 - 1, kArrowHead}, POINT{kArrowHead / 2 + 1, kArrowHead},
          joined);
}

int CSchemeView::DrawPanelLine(HWND window, HDC hdc, BOOL captions, LPCWSTR caption, LPCWSTR value, int x, int y,
                               int fontWidth, int fontHeight, int lineStep)
{
    if (captions) {
        m_paint.DrawCaption(window, hdc, x, y, 0, caption, fontHeight, fontWidth, 0x000000, TRUE, TRUE, 0);
        m_paint.DrawCaption(window, hdc, x + 95, y, 0, u":", fontHeight, fontWidth, 0x000000, TRUE, TRUE, 0);
    }
    m_paint.DrawCaption(window, hdc, x + 102, y, 0, value, fontHeight, fontWidth, 0xFF0000, TRUE, TRUE, 0);
    return y + lineStep;
}

template <class Record>
void CSchemeView::DrawPanel(HWND window, HDC hdc, const Record& record, BOOL captions, BOOL frame, int x, int y,
                            int fontWidth, int fontHeight, int lineStep)
{
    if (!hdc) return;
    if (frame) Rectangle(hdc, x - 2, y - 2, x + 253, y + 100);
    struct Line {
        int caption;
        const WCHAR* field;
        size_t chars;
    };
    const Line lines[] = {
        {40501, record.date, std::size(record.date)},         {40505, record.carName, std::size(record.carName)},
        {40512, record.carNumber, std::size(record.carNumber)}, {40508, record.trainName, std::size(record.trainName)},
        {40507, record.axleName, std::size(record.axleName)},   {40502, record.wheelName, std::size(record.wheelName)},
        {40509, record.axleName2, std::size(record.axleName2)},
    };
    for (const Line& line : lines) {
        WCHAR caption[PAINT_CAPTION_CHARS + 1];
        qplat::CopyField(caption, PAINT_CAPTION_CHARS + 1, m_language.GetText(line.caption));
        const std::u16string value = qplat::FieldText(line.field, line.chars);
        y = DrawPanelLine(window, hdc, captions, caption, value.c_str(), x, y, fontWidth, fontHeight, lineStep);
    }
}

void CSchemeView::DrawRecordPanel(HWND window, HDC hdc, const QavJournalRecord& record, BOOL captions, BOOL frame,
                                  int x, int y, int fontWidth, int fontHeight, int lineStep)
{
    DrawPanel(window, hdc, record, captions, frame, x, y, fontWidth, fontHeight, lineStep);
}

void CSchemeView::DrawRecordPanelQod(HWND window, HDC hdc, const QodJournalRecord& record, BOOL captions, BOOL frame,
                                     int x, int y, int fontWidth, int fontHeight, int lineStep)
{
    DrawPanel(window, hdc, record, captions, frame, x, y, fontWidth, fontHeight, lineStep);
}
