// Numbers and names as the settings and catalogue screens show and take them.
//
// Stored values are signed 32-bit words: lengths in micrometres, angles and
// percentages in thousandths. A screen shows a word divided by its row's
// divisor with two decimals (millimetres) or three (inches), and turns the
// operator's entry back into a word. Both directions use exact decimal
// arithmetic on the digits, so "2.01" mm is 2010 µm (not 2009) and the host's
// locale plays no part. A word the operator did not edit is never sent
// through its text: screens keep the stored word and convert only what was
// typed.
//
// The unit system is settings byte 818 by the program's one rule
// (GetUnitFactor): 2 is inches, every other value millimetres, for the unit
// text, the divisor and the number of decimals alike.
#pragma once

#include <cstddef>

#include "platform/WinDef.h"
#include "settings/ParamFile.h"
#include "ui/ScreenDlg.h"

constexpr LONG VALUE_MILLI_DIVISOR = 1000;  // micrometres per millimetre; thousandths per unit
// Room for one shown value: sign, ten digits, point, decimals, terminator.
constexpr int VALUE_TEXT_CHARS = 24;

// The notice of a settings or catalogue file that could not be written.
constexpr int TEXT_SAVE_FAILED = SCREEN_SAVE_FAILED;

bool UsesInches(const ParamBlock& block);
// The divisor of a length in the block's unit system (1000 or 25400).
LONG LengthDivisor(const ParamBlock& block);
// Decimals of every shown value in the block's unit system (2 or 3).
int ValueDecimals(const ParamBlock& block);
// The text id of the length unit (TEXT_UNIT_MM or TEXT_UNIT_INCH).
int LengthUnitTextId(const ParamBlock& block);

// word / divisor, rounded half away from zero to `decimals` places (0 to 6),
// with a '.' point; a value that rounds to zero carries no sign. The text is
// cut to the buffer. A divisor below 1 counts as 1.
void FormatScaledValue(LONG word, LONG divisor, int decimals, WCHAR* text, size_t chars);

// An entry (optional blanks, an optional sign, digits with at most one '.',
// optional blanks) times the divisor, truncated toward zero. False, with the
// word untouched, for any other text and for a result outside the signed
// 32-bit range.
bool ParseScaledValue(const WCHAR* text, LONG divisor, LONG* word);

// What a cell keeps of an entry: the entry's word shown again with the
// decimals, and the word of that shown text (the word saved later). So
// "1.2345" mm shows "1.23" and gives 1230. False, leaving both outputs
// untouched, when the entry is refused.
bool NormaliseEntry(const WCHAR* entry, LONG divisor, int decimals, WCHAR* text, size_t chars, LONG* word);

// Why an entry that NormaliseEntry refused was refused: TEXT_NOT_A_NUMBER
// for text that is no number (letters, a lone "."), TEXT_OUT_OF_RANGE for a
// number whose word does not fit.
constexpr int TEXT_NOT_A_NUMBER = 50086;
constexpr int TEXT_OUT_OF_RANGE = 50087;
int RefusedEntryTextId(const WCHAR* entry);

// Names in the fixed fields of records and of the settings block: a field may
// be full without a terminator, so every compare and copy is bounded.
constexpr size_t NAME_FIELD_CHARS = PARAM_NAME_CHARS;
// Exact compare of two names of at most NAME_FIELD_CHARS characters.
bool SameName(const WCHAR* a, const WCHAR* b);
// Whether `name` is the one the settings name as current: an empty current
// name names none, so an entry without a name is never taken for it.
bool IsCurrentName(const WCHAR* name, const WCHAR* current);
// Copies a name into a field of NAME_FIELD_CHARS characters: at most 49
// characters and the terminator, the rest of the field cleared.
void CopyName(WCHAR* field, const WCHAR* name);
