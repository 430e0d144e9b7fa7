// The train diagram: one car of a scheme drawn as its frame, its axles grouped
// into bogies, the two wheels of every axle (or the discs of device type 4)
// filled in the colour of their state, axle numbers and side labels, and the
// arrows of the measuring order. Also the information panel of a journal
// record (date and position names).
//
// Everything is drawn into the caller's device context during its paint
// cycle; nothing but the bogie numbers of the car last drawn is kept.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinGdi.h"
#include "scheme/Scheme.h"
#include "settings/JournalRecords.h"
#include "settings/Language.h"
#include "ui/PaintHelper.h"

// Geometry of the diagram, pixels.
constexpr int SCHEME_VIEW_AXLE_PITCH = 48;   // wheel width and gap
constexpr int SCHEME_VIEW_WHEEL_WIDTH = 40;
constexpr int SCHEME_VIEW_BOGIE_GAP = 13;
constexpr int SCHEME_VIEW_WHEEL_HEIGHT = 6;
constexpr int SCHEME_VIEW_ROW_DISTANCE = 60;  // between the two wheel rows
constexpr int SCHEME_VIEW_TOP_OFFSET = 25;    // car content below the frame's top
constexpr int SCHEME_VIEW_MAX_BOGIES = 7;

// State colours (0x00BBGGRR).
constexpr COLORREF SCHEME_COLOUR_NOT_MEASURED = 0xC1C1C1;
constexpr COLORREF SCHEME_COLOUR_NOT_MEASURED_REVERSED = 0x5A5A5A;
constexpr COLORREF SCHEME_COLOUR_CURRENT = 0x00C100;
constexpr COLORREF SCHEME_COLOUR_MEASURED = 0xC10000;
constexpr COLORREF SCHEME_COLOUR_CURRENT_MEASURED = 0xC100C1;
constexpr COLORREF SCHEME_COLOUR_ARROW = 0xFF0000;
constexpr COLORREF SCHEME_COLOUR_JOIN = 0x0000FF;

class CSchemeView {
public:
    // Loads the language table (side labels and panel captions).
    CSchemeView();
    CSchemeView(const CSchemeView&) = delete;
    CSchemeView& operator=(const CSchemeView&) = delete;

    // Reads the current language again (after the operator changed it).
    void LoadLanguage();

    // Draws car `car` of `cars` in the frame (x, y, w, h), shifted left by
    // `scroll`; nothing is drawn outside the frame. orderType -1 draws no
    // arrows (device type 3 measures whole axles).
    void DrawCar(HWND window, HDC hdc, int x, int y, int w, int h, int scroll, const SchemeCar* cars, int car,
                 int carCount, int orderType, int deviceType);
    // axle count x 48 + 23.
    static int CarWidth(const SchemeCar* cars, int car);
    // x offset of an axle in the car (the series screen scrolls it into view).
    static int AxleX(const SchemeCar* cars, int car, int axle);
    // The colour of a state word; only state 0 depends on the reversed shade.
    static COLORREF StateColour(LONG state, BYTE reversedShade);
    // Shares n axles out to k bogies from the last bogie back (the first
    // takes the remainder) and numbers every axle with its 1-based bogie.
    // The counts are clamped to 0..36 axles and 1..7 bogies.
    void SplitBogies(int axleCount, int bogieCount);
    // The 1-based bogie of each of the 36 axles (0: no axle there).
    const int* BogieNumbers() const { return m_bogies; }

    void DrawCarWheels(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount,
                       int orderType);
    void DrawCarWheelsQod(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount,
                          int orderType);
    // A wheel of the top row (its flange up) and of the bottom row, with the
    // axle number and side label. `axle` is the position drawn; a reversed car
    // shows axle axleCount - 1 - axle there, and the label names that axle.
    void DrawRightWheel(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount, int axle,
                        BYTE reversed, BYTE swapped);
    void DrawLeftWheel(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount, int axle,
                       BYTE reversed, BYTE swapped);
    // A disc; row 0 bottom, 1 top, 2 middle.
    void DrawDiscQod(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF colour, int axleCount, int axle,
                     BYTE reversed, BYTE swapped, int row);
    void DrawAxleShaft(HWND window, HDC hdc, int x, int y, int w, int h, int rowDistance, COLORREF colour);
    void DrawOrderArrows(HWND window, HDC hdc, int x, int y, int orderType, int axleCount, int bogieCount, int car,
                         int carCount);
    // Arrows from (x, y) over `length` with a two-stroke head at the end. A
    // joined arrow is first linked by a red line from where the last one
    // ended; an arrow that is not joined starts with a red dot. Each leaves
    // the pen at its end.
    void DrawArrowRight(HDC hdc, int x, int y, int length, BOOL joined);
    void DrawArrowLeft(HDC hdc, int x, int y, int length, BOOL joined);
    void DrawArrowDown(HDC hdc, int x, int y, int length, BOOL joined);
    void DrawArrowUp(HDC hdc, int x, int y, int length, BOOL joined);

    // The record's date and position names, one line each; every value is
    // drawn within its field, so a record without terminators shows no
    // neighbouring field.
    void DrawRecordPanel(HWND window, HDC hdc, const QavJournalRecord& record, BOOL captions, BOOL frame, int x, int y,
                         int fontWidth, int fontHeight, int lineStep);
    void DrawRecordPanelQod(HWND window, HDC hdc, const QodJournalRecord& record, BOOL captions, BOOL frame, int x,
                            int y, int fontWidth, int fontHeight, int lineStep);
    // Caption, ":" and value; the next line's y.
    int DrawPanelLine(HWND window, HDC hdc, BOOL captions, LPCWSTR caption, LPCWSTR value, int x, int y,
                      int fontWidth, int fontHeight, int lineStep);

    CLanguage m_language;
    CPaintHelper m_paint;

private:
    // The label of a wheel row: right (40510) or left (40511) as the car's
    // reversed and swapped flags name the row's side.
    int RowLabel(bool topRow, BYTE reversed, BYTE swapped) const;
    void DrawAxleCaption(HWND window, HDC hdc, int x, int y, int boxWidth, int axleNumber, int labelId);
    void DrawCarCaptions(HWND window, HDC hdc, const SchemeCar* cars, int car, int carCount, int orderType, int x0,
                         int y0);
    // What both kinds of car share: the captions, and for every axle position
    // its place, its shaft, the axle it shows and the wheels of its top and
    // bottom rows, which `drawRows` draws.
    template <class DrawRows>
    void DrawAxles(HWND window, HDC hdc, int x, int y, const SchemeCar* cars, int car, int carCount, int orderType,
                   COLORREF shaftColour, DrawRows drawRows);
    template <class Record>
    void DrawPanel(HWND window, HDC hdc, const Record& record, BOOL captions, BOOL frame, int x, int y, int fontWidth,
                   int fontHeight, int lineStep);

    int m_bogies[SCHEME_MAX_AXLES] = {};
};
