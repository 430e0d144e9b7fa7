// The result rows every results-showing screen lists: which measured values
// the settings switch on, their names, their values in the operator's unit,
// their tolerance status and how a display prints them. No drawing here: the
// journal browser and the series screen list these rows in their controls,
// and the measuring screen draws the same values through CResultView.
#pragma once

#include "settings/DiscResult.h"
#include "settings/WheelResult.h"
#include "platform/WinDef.h"
#include "settings/ParamFile.h"

class CLanguage;

constexpr int RESULT_NAME_CHARS = 10;    // name field, terminator included
constexpr int RESULT_UNITS_CHARS = 10;   // unit field, terminator included
constexpr int RESULT_FORMAT_CHARS = 11;  // format field, terminator included
// Rows a caller's table holds. With every switch on (variant 3, six gauge
// steps) 31 wheel rows qualify; a table of this size takes all of them.
constexpr int RESULT_TABLE_ROWS = 32;
// A printed value or verdict, terminator included.
constexpr int RESULT_VALUE_CHARS = 50;

// Text ids of the unit texts and of the verdicts of a row shown without a number.
constexpr int TEXT_UNIT_MM = 40305;
constexpr int TEXT_UNIT_INCH = 40306;
constexpr int TEXT_VERDICT_PASS = 40628;
constexpr int TEXT_VERDICT_FAIL = 40629;

// Check kinds of CheckResultRange.
constexpr BYTE CHECK_PROFILE_LENGTH = 0;  // 0 .. 150
constexpr BYTE CHECK_PERCENT = 2;         // -180 .. 180
constexpr BYTE CHECK_NONE = 255;          // any value (5 is passed too)

// The placeholder of a value while a measurement is running.
#define RESULT_PLACEHOLDER u"  -----"

// One row of a results table.
struct ResultRow {
    WCHAR name[RESULT_NAME_CHARS];      // language text, for some rows with a side or step digit
    float valueA;                       // in the operator's unit
    float valueB;                       // the reference's value (wheel rows); 0 where there is none
    BYTE status;                        // status of value A: 0 in, 1 warning, 2 out of tolerance
    WCHAR units[RESULT_UNITS_CHARS];    // empty: the row shows a verdict, not a number
    WCHAR format[RESULT_FORMAT_CHARS];  // how a display prints the value (as a double)
};

// The operator's unit system. One rule for the whole program (GetUnitFactor):
// unit byte 2 is inches, every other value millimetres, so a zeroed or damaged
// settings copy never shows inch numbers under a millimetre label.
struct ResultUnits {
    bool inches;
    DWORD divisor;      // micrometres per shown length unit
    DWORD areaDivisor;  // thousandths of a square millimetre per shown area unit
    int unitTextId;     // TEXT_UNIT_MM or TEXT_UNIT_INCH
    const WCHAR* formatN;  // most values
    const WCHAR* formatS;  // diameter, gauge readings, rim width: one decimal fewer
};
ResultUnits UnitsOf(BYTE unitByte);

// The plausibility check of a shown value: kind 0 keeps 0 to 150, kind 2 keeps
// -180 to 180 (bounds included), any other kind keeps every value; a value
// outside its range (or not a number) becomes -1.
float CheckResultRange(float value, int kind);

// The text a result line prints for a value already in the shown unit: "%.1f"
// above 100, else "%.2f" in millimetres and "%.3f" in inches.
void FormatLineNumber(WCHAR* out, size_t outChars, float value, bool inches);

// The text a display of rows prints in the value place: the verdict (fail for
// status 2, pass otherwise, cut to the buffer) when the row has no unit text,
// nothing when such a row's value is 0 (nothing was graded), else value A in
// the row's format.
void FormatRowValue(WCHAR* out, size_t outChars, const ResultRow& row, const WCHAR* passText,
                    const WCHAR* failText);

// Fills rows 0 .. n-1 of the wheel table of a result (block A) and a reference
// result (block B) and returns n. Never writes more than `capacity` rows. With
// the every-row flag the device type and the absence of a value do not hide
// the wheel rows (the journal browser shows every switched-on value).
int BuildWheelRows(const ParamBlock& settings, CLanguage& language, const WheelResult& a, const WheelResult& b,
                   ResultRow* rows, int capacity, BYTE everyRow);

// Fills the disc rows (side 1, side 2, both sides) and returns their number,
// at most `capacity`. With the every-row flag all seven rows are built.
int BuildDiscRows(const ParamBlock& settings, CLanguage& language, const DiscResult& d, ResultRow* rows,
                  int capacity, BYTE everyRow);

// ---- the lines of the drawn results panels (measuring screen)

constexpr int RESULT_LINE_NAME_CHARS = 104;  // a language text with a digit appended
constexpr int WHEEL_PANEL_LINES = 25;        // line places of the wheel panel
constexpr int DISC_PANEL_LINES = 7;

// One line of a drawn panel, as CResultView::DrawResultRow takes it: the
// values are the stored integers as floats, divided by `divisor` when drawn.
struct ResultLine {
    WCHAR name[RESULT_LINE_NAME_CHARS];
    float valueA;
    float valueB;  // RESULT_NO_VALUE: the line has no reference value
    WCHAR units[RESULT_LINE_NAME_CHARS];
    DWORD divisor;
    BYTE status;
    BYTE checkKind;
};
constexpr float RESULT_NO_VALUE = -1.0f;

// The lines of the wheel panel the settings switch on, in panel order; their
// number (at most WHEEL_PANEL_LINES and at most `capacity`). Without a
// reference (null) no line has a second value.
int WheelPanelLines(const ParamBlock& settings, CLanguage& language, const WheelResult& measured,
                    const WheelResult* reference, ResultLine* lines, int capacity);
// The disc panel's lines (at most DISC_PANEL_LINES and `capacity`).
int DiscPanelLines(const ParamBlock& settings, CLanguage& language, const DiscResult& d, ResultLine* lines,
                   int capacity);

// The number of lines the wheel panel is divided into. It sizes the lines; in
// a few settings it differs from the number of lines drawn (see the panel).
int CountWheelRowsOf(const ParamBlock& settings);
// Lines of the disc panel: two per side value switched on, one for the thickness.
int CountDiscRowsOf(const ParamBlock& settings);

// Where the lines of a panel of `count` lines go: the first line's top, the
// distance between lines and the font. Few lines keep a 40-pixel font and are
// centred in the panel.
struct PanelGeometry {
    int firstY;
    int lineStep;
    int fontHeight;
    int fontWidth;
};
PanelGeometry PanelGeometryFor(int y, int height, int count);
// The geometry for `drawn` lines when the count is `count`: the count's,
// unless its lines would run out of the panel's bottom, then the drawn lines'.
PanelGeometry FittedPanelGeometry(int y, int height, int count, int drawn);

// The text of a drawn line's value: the placeholder while measuring, the
// verdict on a line without unit text (nothing when its value is 0: no
// verdict without a result), else value / divisor through the range check,
// printed by FormatLineNumber.
void FormatLineValue(WCHAR* out, size_t outChars, float value, DWORD divisor, const WCHAR* units, int checkKind,
                     BYTE status, BYTE placeholder, bool inches, const WCHAR* passText, const WCHAR* failText);

// The text of a gauge reading (micrometres) in its panel: "- - - - -" while
// measuring or without a reading, " Err.d " for the gauge's error report,
// else the reading in the shown unit, one decimal fewer from 1000 on for the
// type-3 gauge.
void FormatGaugeValue(WCHAR* out, size_t outChars, LONG value, bool measuring, const ResultUnits& units, bool type3);
