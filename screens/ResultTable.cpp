#include "screens/ResultTable.h"

#include <cstdint>

#include "platform/WinText.h"
#include "settings/DeviceSetup.h"
#include "settings/Language.h"

namespace {

constexpr DWORD kThousandths = 1000;  // angles and percentages are stored in thousandths
constexpr DWORD kAreaInch = 645160;   // 25.4 x 25.4 x 1000
constexpr BYTE kNoStatus = 0xFF;      // the value is not graded: status 0
constexpr BYTE kSwitchOn = 2;
// The gauge reports an error as 0xFFFFFF tens of micrometres (and a digit).
constexpr DWORD kGaugeErrorReport = 0xFFFFFF;

// How the unit of a wheel value is chosen.
enum class Unit : BYTE {
    Length,   // the operator's length unit
    Angle,    // degrees
    Percent,
    Area,     // the length unit with "2"
    Slope,    // by byte 813: length, angle, or a verdict without unit
};

// Which settings show a wheel value. S is the value's switch, T the wheel
// head (device type 1; for a table the every-row flag as well), M byte 811.
enum class Rule : BYTE {
    T,           // S and T
    TMode3,      // S and T and M = 3
    TNot4,       // S and T and M != 4
    FlankLevel,  // ((S and M = 3) or M = 4) and T
    Diameter,    // S; a table shows it for the type-2 gauge whatever the switch
    Not4,        // S and M != 4; a table asks T as well
    WearLine,    // byte 814 = 1 and S and T
    WearPair,    // byte 814 != 1 and S and T and M != 4
};

// Where the reference value of a wheel value is shown.
enum class Ref : BYTE {
    Both,       // the table's value B and the panel's second value
    TableOnly,  // the table's value B only
    None,       // neither (value B 0 in a table)
};

constexpr signed char kSlopeValue = -1;  // value 5 or 6 by byte 813

struct WheelPlace {
    int textId;
    const WCHAR* suffix;
    Rule rule;
    int switchByte;
    signed char value;  // value word, or kSlopeValue
    signed char minus;  // when >= 0: value A is value - minus
    BYTE status;        // status byte, or kNoStatus
    Unit unit;
    bool shortFormat;   // format S in a table
    BYTE checkKind;     // of a panel line
    Ref ref;
    bool clipStatus;    // a panel shows any non-zero status as a warning
};

// The wheel values in the order both the tables and the panel show them. The
// gauge rows of a table follow place kGaugeAfter.
constexpr WheelPlace kWheelPlaces[] = {
    {40604, u"", Rule::T, 820, 0, -1, 0, Unit::Length, false, 0, Ref::Both, false},
    {40605, u"", Rule::T, 821, 1, -1, 1, Unit::Length, false, 0, Ref::Both, false},
    {40608, u"", Rule::FlankLevel, 838, 2, -1, 21, Unit::Length, false, 0, Ref::Both, false},
    {40606, u"", Rule::TMode3, 821, 3, -1, 22, Unit::Length, false, 0, Ref::Both, false},
    {40607, u"", Rule::TMode3, 839, 4, -1, 23, Unit::Length, false, 0, Ref::Both, false},
    {40609, u"", Rule::TNot4, 822, kSlopeValue, -1, 2, Unit::Slope, false, 0, Ref::Both, false},
    {40613, u"1", Rule::TNot4, 825, 9, -1, 8, Unit::Percent, false, 2, Ref::Both, false},
    {40613, u"2", Rule::TNot4, 825, 10, -1, 9, Unit::Percent, false, 2, Ref::Both, false},
    {40614, u"", Rule::TNot4, 823, 11, -1, 5, Unit::Angle, false, 255, Ref::Both, false},
    {40634, u"", Rule::TNot4, 824, 12, -1, 6, Unit::Angle, false, 255, Ref::Both, false},
    {40610, u"", Rule::Diameter, 827, 7, -1, 3, Unit::Length, true, 255, Ref::Both, false},
    {40611, u"", Rule::Not4, 828, 8, -1, 4, Unit::Length, false, 255, Ref::Both, false},
    {40612, u"", Rule::WearLine, 829, 13, -1, 18, Unit::Length, false, 255, Ref::None, false},
    {40621, u"", Rule::WearPair, 829, 23, -1, kNoStatus, Unit::Length, false, 255, Ref::None, false},
    {40622, u"", Rule::WearPair, 829, 23, 22, kNoStatus, Unit::Length, false, 255, Ref::None, false},
    {40626, u"", Rule::TNot4, 830, 14, -1, 19, Unit::Length, false, 255, Ref::None, true},
    {40627, u"", Rule::TNot4, 831, 15, -1, 20, Unit::Length, false, 255, Ref::None, false},
    {40615, u"", Rule::TNot4, 826, 17, -1, 7, Unit::Length, false, 255, Ref::TableOnly, false},
    {40620, u"", Rule::Not4, 840, 21, 20, 17, Unit::Length, false, 255, Ref::Both, false},
    {40623, u"", Rule::TNot4, 834, 24, -1, 11, Unit::Length, false, 255, Ref::None, false},
    {40624, u"", Rule::TNot4, 835, 25, -1, 12, Unit::Area, false, 255, Ref::None, false},
    {40625, u"", Rule::TNot4, 835, 26, -1, 13, Unit::Length, false, 255, Ref::None, false},
    {40617, u"", Rule::T, 832, 16, -1, 14, Unit::Length, true, 0, Ref::Both, false},
    {40619, u"", Rule::TNot4, 836, 18, -1, 15, Unit::Length, false, 0, Ref::Both, false},
    {40618, u"", Rule::TNot4, 837, 19, -1, 16, Unit::Length, false, 0, Ref::Both, false},
};
static_assert(sizeof(kWheelPlaces) / sizeof(kWheelPlaces[0]) == WHEEL_PANEL_LINES);
constexpr int kGaugeAfter = 11;  // the tyre-thickness place (40611)

constexpr int kGaugeTextId = 40616;
constexpr int kGaugeValue = 28;
constexpr int kGaugeStatus = 10;
constexpr int kGaugeSteps = 6;

// The disc values: side 1, side 2, then the thickness of both sides.
struct DiscPlace {
    int textId;
    const WCHAR* suffix;
    int switchIndex;  // disc switch byte 1328 + index
    BYTE checkKind;
};
constexpr DiscPlace kDiscPlaces[] = {
    {40640, u"1", 0, 0}, {40641, u"1", 1, 1}, {40643, u"1", 3, 0}, {40640, u"2", 0, 0},
    {40641, u"2", 1, 1}, {40643, u"2", 3, 0}, {40642, u"", 2, 0},
};
static_assert(sizeof(kDiscPlaces) / sizeof(kDiscPlaces[0]) == DISC_PANEL_LINES);

BYTE SettingsByte(const ParamBlock& settings, int offset)
{
    return reinterpret_cast<const BYTE*>(&settings)[offset];
}

bool On(const ParamBlock& settings, int offset)
{
    return SettingsByte(settings, offset) == kSwitchOn;
}

// A difference of two stored values; wide, so extreme words of a damaged
// record cannot overflow.
float Difference(LONG value, LONG minus)
{
    return static_cast<float>(static_cast<int64_t>(value) - static_cast<int64_t>(minus));
}

float PlaceValue(const WheelPlace& place, const WheelResult& r, BYTE slopeOption)
{
    int index = place.value;
    if (index == kSlopeValue) index = (slopeOption == 1 || slopeOption == 3) ? 5 : 6;
    if (place.minus >= 0) return Difference(r.values[index], r.values[place.minus]);
    return static_cast<float>(r.values[index]);
}

BYTE PlaceStatus(const WheelPlace& place, const WheelResult& r)
{
    return place.status == kNoStatus ? 0 : r.status[place.status];
}

// Whether a wheel place is shown; `t` is the rule's T for this display.
bool PlaceShown(const WheelPlace& place, const ParamBlock& settings, bool t, bool table)
{
    const bool s = On(settings, place.switchByte);
    const BYTE mode = settings.option2;
    switch (place.rule) {
    case Rule::T: return s && t;
    case Rule::TMode3: return s && t && mode == 3;
    case Rule::TNot4: return s && t && mode != 4;
    case Rule::FlankLevel: return ((s && mode == 3) || mode == 4) && t;
    case Rule::Diameter: return s || (table && settings.deviceType == 2);
    case Rule::Not4: return s && mode != 4 && (!table || t);
    case Rule::WearLine: return settings.wheelTypeOption == 1 && s && t;
    case Rule::WearPair: return settings.wheelTypeOption != 1 && s && t && mode != 4;
    }
    return false;
}

// Unit text and divisor of a place. `unitText` is the operator's length unit.
void PlaceUnits(const WheelPlace& place, BYTE slopeOption, const ResultUnits& units, const WCHAR* unitText,
                WCHAR* out, size_t outChars, DWORD* divisor)
{
    Unit unit = place.unit;
    if (unit == Unit::Slope) {
        if (slopeOption == 1) {
            unit = Unit::Length;
        } else if (slopeOption == 2) {
            unit = Unit::Angle;
        } else {
            // A verdict row: no unit text; the divisor is never used to print.
            out[0] = 0;
            *divisor = units.divisor;
            return;
        }
    }
    switch (unit) {
    case Unit::Angle:
        qplat::CopyField(out, outChars, u"°");
        *divisor = kThousandths;
        return;
    case Unit::Percent:
        qplat::CopyField(out, outChars, u"%");
        *divisor = kThousandths;
        return;
    case Unit::Area:
        // The "2" always fits: the unit text is cut to make room for it.
        qplat::CopyField(out, outChars - 1, unitText);
        wcscat(out, u"2");
        *divisor = units.areaDivisor;
        return;
    default:
        qplat::CopyField(out, outChars, unitText);
        *divisor = units.divisor;
        return;
    }
}

// A language text with a digit appended; the text is cut so that the digit
// always fits (rows "Ti1" and "Ti2" never lose what tells them apart).
void NameWithSuffix(WCHAR* out, size_t outChars, const WCHAR* text, const WCHAR* suffix)
{
    const size_t suffixLen = wcslen(suffix);
    qplat::CopyField(out, outChars - suffixLen, text);
    wcscat(out, suffix);
}

void FillRow(ResultRow& row, const WCHAR* text, const WCHAR* suffix, float valueA, float valueB, BYTE status,
             const WCHAR* units, const WCHAR* format)
{
    row = ResultRow{};
    NameWithSuffix(row.name, RESULT_NAME_CHARS, text, suffix);
    row.valueA = valueA;
    row.valueB = valueB;
    row.status = status;
    qplat::CopyField(row.units, RESULT_UNITS_CHARS, units);
    qplat::CopyField(row.format, RESULT_FORMAT_CHARS, format);
}

void CopyText(CLanguage& language, int id, WCHAR* out, size_t outChars)
{
    qplat::CopyField(out, outChars, language.GetText(id));
}

}  // namespace

ResultUnits UnitsOf(BYTE unitByte)
{
    ResultUnits units{};
    units.divisor = static_cast<DWORD>(GetUnitFactor(unitByte));
    units.inches = units.divisor != kThousandths;
    units.areaDivisor = units.inches ? kAreaInch : kThousandths;
    units.unitTextId = units.inches ? TEXT_UNIT_INCH : TEXT_UNIT_MM;
    units.formatN = units.inches ? u"%.3f" : u"%.2f";
    units.formatS = units.inches ? u"%.2f" : u"%.1f";
    return units;
}

float CheckResultRange(float value, int kind)
{
    if (kind == CHECK_PROFILE_LENGTH) return (value >= 0.0f && value <= 150.0f) ? value : -1.0f;
    if (kind == CHECK_PERCENT) return (value >= -180.0f && value <= 180.0f) ? value : -1.0f;
    return value;
}

void FormatLineNumber(WCHAR* out, size_t outChars, float value, bool inches)
{
    const WCHAR* format = value > 100.0f ? u"%.1f" : (inches ? u"%.3f" : u"%.2f");
    swprintf(out, outChars, format, static_cast<double>(value));
}

void FormatRowValue(WCHAR* out, size_t outChars, const ResultRow& row, const WCHAR* passText,
                    const WCHAR* failText)
{
    if (!out || outChars == 0) return;
    if (row.units[0] == 0) {
        // A value of 0 was not graded: not measured, or not computable.
        qplat::CopyField(out, outChars,
                         row.valueA == 0.0f ? u"" : (row.status == kStatusOutOfTolerance ? failText : passText));
        return;
    }
    // The format is one of the builder's own; a damaged one prints nothing.
    WCHAR format[RESULT_FORMAT_CHARS];
    qplat::CopyField(format, RESULT_FORMAT_CHARS, row.format);
    if (wcscmp(format, u"%.1f") != 0 && wcscmp(format, u"%.2f") != 0 && wcscmp(format, u"%.3f") != 0) {
        out[0] = 0;
        return;
    }
    swprintf(out, outChars, format, static_cast<double>(row.valueA));
}

void FormatLineValue(WCHAR* out, size_t outChars, float value, DWORD divisor, const WCHAR* units, int checkKind,
                     BYTE status, BYTE placeholder, bool inches, const WCHAR* passText, const WCHAR* failText)
{
    if (!out || outChars == 0) return;
    if (placeholder) {
        qplat::CopyField(out, outChars, RESULT_PLACEHOLDER);
    } else if (!units || units[0] == 0) {
        qplat::CopyField(out, outChars,
                         value == 0.0f ? u"" : (status == kStatusOutOfTolerance ? failText : passText));
    } else {
        const float shown = value / static_cast<float>(divisor ? divisor : 1);
        FormatLineNumber(out, outChars, CheckResultRange(shown, checkKind), inches);
    }
}

void FormatGaugeValue(WCHAR* out, size_t outChars, LONG value, bool measuring, const ResultUnits& units, bool type3)
{
    if (!out || outChars == 0) return;
    if (measuring || value == 0) {
        qplat::CopyField(out, outChars, u"- - - - -");
        return;
    }
    if (static_cast<DWORD>(value) / 10 == kGaugeErrorReport) {
        qplat::CopyField(out, outChars, u" Err.d ");
        return;
    }
    const float v = CheckResultRange(static_cast<float>(value) / static_cast<float>(units.divisor), 5);
    const WCHAR* format = v < 1000.0f ? units.formatN : (type3 ? u"%.1f" : u"%.2f");
    swprintf(out, outChars, format, static_cast<double>(v));
}

int BuildWheelRows(const ParamBlock& settings, CLanguage& language, const WheelResult& a, const WheelResult& b,
                   ResultRow* rows, int capacity, BYTE everyRow)
{
    if (!rows || capacity <= 0) return 0;
    const ResultUnits units = UnitsOf(settings.unitSystem);
    WCHAR unitText[LANGUAGE_TEXT_CHARS];
    CopyText(language, units.unitTextId, unitText, LANGUAGE_TEXT_CHARS);
    const bool t = settings.deviceType == 1 || everyRow != 0;
    const BYTE slope = settings.option4;

    int n = 0;
    auto add = [&](int textId, const WCHAR* suffix, float valueA, float valueB, BYTE status, const WCHAR* unitsText,
                   DWORD divisor, const WCHAR* format) {
        if (n >= capacity) return;
        WCHAR text[LANGUAGE_TEXT_CHARS];
        CopyText(language, textId, text, LANGUAGE_TEXT_CHARS);
        const float d = static_cast<float>(divisor);
        FillRow(rows[n], text, suffix, valueA / d, valueB / d, status, unitsText, format);
        ++n;
    };

    for (int p = 0; p < WHEEL_PANEL_LINES; ++p) {
        const WheelPlace& place = kWheelPlaces[p];
        if (PlaceShown(place, settings, t, true)) {
            WCHAR placeUnits[RESULT_UNITS_CHARS];
            DWORD divisor = units.divisor;
            PlaceUnits(place, slope, units, unitText, placeUnits, RESULT_UNITS_CHARS, &divisor);
            const float valueB = place.ref == Ref::None ? 0.0f : PlaceValue(place, b, slope);
            add(place.textId, place.suffix, PlaceValue(place, a, slope), valueB, PlaceStatus(place, a), placeUnits,
                divisor, place.shortFormat ? units.formatS : units.formatN);
        }
        if (p != kGaugeAfter) continue;
        // The type-3 gauge: its reading, then the readings of its single
        // steps; a step without a reading leaves no gap.
        const bool gauge = On(settings, 833) || settings.deviceType == 3 ||
                           (everyRow != 0 && a.values[kGaugeValue] != 0);
        if (!gauge) continue;
        WCHAR lengthUnits[RESULT_UNITS_CHARS];
        qplat::CopyField(lengthUnits, RESULT_UNITS_CHARS, unitText);
        add(kGaugeTextId, u"", static_cast<float>(a.values[kGaugeValue]), 0.0f, a.status[kGaugeStatus],
            lengthUnits, units.divisor, units.formatS);
        for (int k = 1; k <= kGaugeSteps; ++k) {
            const bool counted = k <= 3 ? settings.gaugeSteps > 1 : settings.gaugeSteps > 3;
            const LONG reading = a.values[kGaugeValue + k];
            if (!counted || reading == 0) continue;
            const WCHAR digit[2] = {static_cast<WCHAR>(u'0' + k), 0};
            add(kGaugeTextId, digit, static_cast<float>(reading), 0.0f, 0, lengthUnits, units.divisor,
                units.formatS);
        }
    }
    return n;
}

int BuildDiscRows(const ParamBlock& settings, CLanguage& language, const DiscResult& d, ResultRow* rows,
                  int capacity, BYTE everyRow)
{
    if (!rows || capacity <= 0) return 0;
    const ResultUnits units = UnitsOf(settings.unitSystem);
    WCHAR unitText[LANGUAGE_TEXT_CHARS];
    CopyText(language, units.unitTextId, unitText, LANGUAGE_TEXT_CHARS);
    const float divisor = static_cast<float>(units.divisor);
    int n = 0;
    for (int p = 0; p < DISC_PANEL_LINES && n < capacity; ++p) {
        const DiscPlace& place = kDiscPlaces[p];
        if (everyRow == 0 && settings.discSwitches[place.switchIndex] != kSwitchOn) continue;
        WCHAR text[LANGUAGE_TEXT_CHARS];
        CopyText(language, place.textId, text, LANGUAGE_TEXT_CHARS);
        FillRow(rows[n], text, place.suffix, static_cast<float>(d.values[p]) / divisor, 0.0f, d.status[p],
                unitText, units.formatN);
        ++n;
    }
    return n;
}

int WheelPanelLines(const ParamBlock& settings, CLanguage& language, const WheelResult& measured,
                    const WheelResult* reference, ResultLine* lines, int capacity)
{
    if (!lines || capacity <= 0) return 0;
    const ResultUnits units = UnitsOf(settings.unitSystem);
    WCHAR unitText[LANGUAGE_TEXT_CHARS];
    CopyText(language, units.unitTextId, unitText, LANGUAGE_TEXT_CHARS);
    const bool t = settings.deviceType == 1;
    const BYTE slope = settings.option4;
    int n = 0;
    for (const WheelPlace& place : kWheelPlaces) {
        if (n >= capacity) break;
        if (!PlaceShown(place, settings, t, false)) continue;
        ResultLine& line = lines[n++];
        line = ResultLine{};
        WCHAR text[LANGUAGE_TEXT_CHARS];
        CopyText(language, place.textId, text, LANGUAGE_TEXT_CHARS);
        NameWithSuffix(line.name, RESULT_LINE_NAME_CHARS, text, place.suffix);
        line.valueA = PlaceValue(place, measured, slope);
        line.valueB = place.ref == Ref::Both && reference ? PlaceValue(place, *reference, slope) : RESULT_NO_VALUE;
        PlaceUnits(place, slope, units, unitText, line.units, RESULT_LINE_NAME_CHARS, &line.divisor);
        const BYTE status = PlaceStatus(place, measured);
        line.status = (place.clipStatus && status != 0) ? kStatusWarning : status;
        line.checkKind = place.checkKind;
    }
    return n;
}

int DiscPanelLines(const ParamBlock& settings, CLanguage& language, const DiscResult& d, ResultLine* lines,
                   int capacity)
{
    if (!lines || capacity <= 0) return 0;
    const ResultUnits units = UnitsOf(settings.unitSystem);
    WCHAR unitText[LANGUAGE_TEXT_CHARS];
    CopyText(language, units.unitTextId, unitText, LANGUAGE_TEXT_CHARS);
    int n = 0;
    for (int p = 0; p < DISC_PANEL_LINES && n < capacity; ++p) {
        const DiscPlace& place = kDiscPlaces[p];
        if (settings.discSwitches[place.switchIndex] != kSwitchOn) continue;
        ResultLine& line = lines[n++];
        line = ResultLine{};
        WCHAR text[LANGUAGE_TEXT_CHARS];
        CopyText(language, place.textId, text, LANGUAGE_TEXT_CHARS);
        NameWithSuffix(line.name, RESULT_LINE_NAME_CHARS, text, place.suffix);
        line.valueA = static_cast<float>(d.values[p]);
        line.valueB = 0.0f;
        qplat::CopyField(line.units, RESULT_LINE_NAME_CHARS, unitText);
        line.divisor = units.divisor;
        line.status = d.status[p];
        line.checkKind = place.checkKind;
    }
    return n;
}

int CountWheelRowsOf(const ParamBlock& s)
{
    const bool t = s.deviceType == 1;
    const bool not4 = s.option2 != 4;
    const bool mode3 = s.option2 == 3;
    int n = 0;
    if (On(s, 820) && t) n += 1;
    if (On(s, 829) && t) n += (On(s, 814) && not4) ? 2 : 1;
    if (On(s, 830) && t && not4) n += 1;
    if (On(s, 831) && t && not4) n += 1;
    if (On(s, 821) && t) n += mode3 ? 2 : 1;
    if (On(s, 838) && mode3 && t) n += 1;
    if (On(s, 839) && mode3 && t) n += 1;
    if (On(s, 822) && t && not4) n += 1;
    if (On(s, 823) && t && not4) n += 1;
    if (On(s, 824) && t && not4) n += 1;
    if (On(s, 825) && t && not4) n += 2;
    if (On(s, 827)) n += 1;
    if (On(s, 828) && not4) n += 1;
    if (On(s, 826) && t && not4) n += 1;
    if (On(s, 840) && t && not4) n += 1;
    if (On(s, 832) && t) n += 1;
    if (On(s, 836) && t && not4) n += 1;
    if (On(s, 837) && t && not4) n += 1;
    if (On(s, 834) && t && not4) n += 1;
    if (On(s, 835) && t && not4) n += 2;
    return n;
}

int CountDiscRowsOf(const ParamBlock& s)
{
    int n = 0;
    if (s.discSwitches[0] == kSwitchOn) n += 2;
    if (s.discSwitches[1] == kSwitchOn) n += 2;
    if (s.discSwitches[3] == kSwitchOn) n += 2;
    if (s.discSwitches[2] == kSwitchOn) n += 1;
    return n;
}

PanelGeometry PanelGeometryFor(int y, int height, int count)
{
    PanelGeometry g{};
    g.lineStep = count > 1 ? height / count - 1 : height;
    g.fontHeight = count > 0 ? height / count : height;
    g.firstY = y + 1;
    if (g.fontHeight > 40) {
        g.firstY += (g.fontHeight - 40) / 2;
        g.fontHeight = 40;
    }
    g.fontWidth = static_cast<int>(g.fontHeight / 2.4);
    return g;
}

PanelGeometry FittedPanelGeometry(int y, int height, int count, int drawn)
{
    PanelGeometry g = PanelGeometryFor(y, height, count);
    if (drawn > 0 && g.firstY + (drawn - 1) * g.lineStep + g.fontHeight > y + height)
        g = PanelGeometryFor(y, height, drawn);
    return g;
}
