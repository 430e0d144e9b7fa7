// The results component every screen that shows results holds: it builds the
// result tables of the series screen and the journal browser, and draws the
// result panels of the measuring screen (wheel, gauges, discs) and the step
// dial. It reads its own copy of the settings block and its own language
// table once, at the first use, and keeps them for the life of its screen.
#pragma once

#include "settings/DiscResult.h"
#include "measurement/ParamSave.h"
#include "settings/WheelResult.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "screens/ResultTable.h"
#include "settings/Language.h"
#include "settings/ParamFile.h"
#include "ui/PaintHelper.h"

// Colours of the panels (COLORREF, 0x00BBGGRR).
constexpr COLORREF RESULT_WARNING_FILL = 0x0080FF;  // orange
constexpr COLORREF RESULT_OUT_FILL = 0x0000FF;      // red
constexpr COLORREF RESULT_VALUE_TEXT = 0xFF0000;    // blue
constexpr COLORREF RESULT_REFERENCE_TEXT = 0x00C800;  // green
constexpr COLORREF RESULT_MARKED_TEXT = 0xFFFFFF;   // white on a coloured cell
constexpr COLORREF RESULT_PANEL_FILL = 0xFFFFFF;

// Text ids of the gauge panels.
constexpr int TEXT_GAUGE2_TITLE = 40346;
constexpr int TEXT_GAUGE3_TITLE = 40353;
constexpr int TEXT_GAUGE2_NAME = 40610;
constexpr int TEXT_GAUGE3_NAME = 40616;

// Column of a result line's unit text: 69 pixels from the screen's right edge.
constexpr int RESULT_UNIT_COLUMN = 411;
constexpr int RESULT_UNIT_COLUMN_END = 471;

// The colour of a position, gauge step or disc side state: 0 free (grey),
// 1 current (green), 2 set (blue), 3 measured (purple); any other state black.
COLORREF ResultStateColour(LONG state);

// The centre of mark i of a dial of n marks around (cx, cy): the first straight
// above the centre, the others clockwise, evenly spaced. False for a count
// outside 1 to 6 (such a dial has no marks).
bool DialMarkCentre(int cx, int cy, int n, int i, POINT* centre);

// The largest font height, at most `base`'s, at which `text` is at most
// `room` pixels wide (the width scaled with the height): a translation longer
// than its column is drawn smaller rather than cut or run over a frame.
int FittedFontHeight(HDC hdc, const LOGFONTW& base, LPCWSTR text, int room);

class CResultView {
public:
    CResultView();
    ~CResultView();

    CResultView(const CResultView&) = delete;
    CResultView& operator=(const CResultView&) = delete;

    // Loads the language and the settings file once. A settings file that
    // cannot be read leaves the copy zeroed (millimetres, every switch off):
    // the wheel and disc panels, which it would leave empty, then say that
    // the settings could not be read; SettingsRead() tells a screen's lists.
    void LoadSettings();
    BOOL SettingsRead() const { return m_settingsRead; }
    const ParamBlock& Settings() const { return m_settings; }

    // ---- tables (the rows themselves are ResultTable.h's)
    // Fills at most `capacity` rows from row 0 and stores their number in
    // *count. `reserved` is passed as 0.
    void BuildWheelTable(WheelResult a, WheelResult b, int reserved, ResultRow* rows, int capacity, BYTE* count,
                         BYTE everyRow);
    void BuildDiscTable(DiscResult d, int reserved, ResultRow* rows, int capacity, BYTE* count, BYTE everyRow);

    // ---- one line of a results panel
    static float CheckRange(float value, int kind) { return CheckResultRange(value, kind); }
    // Draws name, colon, value (and the reference value when `secondValue` is
    // set and value B is not -1), unit, and the tolerance cell behind the
    // value. 1 when drawn, 0 when `draw` is 0 (nothing drawn).
    BYTE DrawResultRow(HWND window, HDC hdc, BYTE draw, int x, int y, float valueA, float valueB, LPCWSTR name,
                       LPCWSTR units, DWORD divisor, BYTE placeholder, BYTE status, BYTE checkKind, int lineHeight,
                       BYTE layout, BYTE secondValue);

    // ---- the wheel panel (device type 1)
    // `title` is not drawn in layout 1, the only layout there is. `reference`
    // is null when no reference profile is loaded: the overlay then shows no
    // second value (a loaded reference's value 0 still shows as 0).
    void DrawWheelResults(HWND window, HDC hdc, WheelResult measured, const WheelResult* reference, int x, int y,
                          int width, int height, BYTE measuring, LPCWSTR title, BYTE layout, int overlay);
    int CountWheelRows(const ParamBlock& settings) const { return CountWheelRowsOf(settings); }

    // ---- the gauge panels (device types 2 and 3) and the step dial
    void DrawErrorRows(HWND window, HDC hdc, WheelResult result, int x, int y, int width, int height,
                       BYTE measuring, BYTE frameChoice, BYTE option);
    void DrawErrorRowsType3(HWND window, HDC hdc, WheelResult result, int x, int y, int width, int height,
                            BYTE measuring, BYTE frameChoice, BYTE steps);
    void DrawDial(HWND window, HDC hdc, int cx, int cy, const MeasureStep* steps, BYTE n);

    // ---- the disc panel and the side diagram (device type 4)
    void DrawDiscResults(HWND window, HDC hdc, DiscResult result, int x, int y, int width, int height,
                         BYTE measuring);
    static int CountDiscRows(const ParamBlock& settings) { return CountDiscRowsOf(settings); }
    void DrawPanel(HWND window, HDC hdc, int x, int y, LONG side1State, LONG side2State);

private:
    // The framed panel with the notice that the settings could not be read.
    void DrawUnreadSettings(HWND window, HDC hdc, int x, int y, int width, int height);
    // Draws prepared lines into a framed panel, spaced by `count`.
    void DrawLines(HWND window, HDC hdc, const ResultLine* lines, int drawn, int count, int x, int y, int width,
                   int height, BYTE measuring, BYTE overlay);
    void DrawGaugePanel(HWND window, HDC hdc, bool type3, LONG value, BYTE status, int x, int y, int width,
                        int height, BYTE measuring, BYTE steps);

public:
    int loaded = 0;  // 1 once LoadSettings has run

private:
    CParamFile m_paramFile;
    ParamBlock m_settings = {};
    CLanguage m_language;
    CPaintHelper m_paint;
    BOOL m_settingsRead = FALSE;
};
