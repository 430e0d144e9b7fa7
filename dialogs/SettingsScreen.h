// What the screens that edit the settings block share: the wide confirm
// button at the bottom, the report list of the table screens, the radios the
// screens check themselves, and the rule that a changed block no longer
// matches the wheel type taken from the catalogue.
#pragma once

#include "settings/ParamFile.h"
#include "ui/ControlWrappers.h"
#include "ui/OwnerButton.h"

// "Confirm" on the wide button of the settings screens.
constexpr int SETTINGS_TEXT_CONFIRM = 50104;
// What a settings screen ends with, however it was left (the message number
// of WM_COMMAND): its opener always sees true.
constexpr INT_PTR SETTINGS_SCREEN_END = 0x111;
// A switch byte or a two-state option is on when it holds this.
constexpr BYTE SETTINGS_SWITCH_ON = 2;

// The wide button at (170, 223), 141 x 41, bitmap 210 for both faces, with a
// white caption of height 18.
HWND CreateConfirmButton(COwnerButton& button, HWND owner, HINSTANCE instance, int id, LPCWSTR caption);
// Its caption again (after a change of language).
void SetConfirmCaption(COwnerButton& button, LPCWSTR caption);

// The report list of the table screens at (15, 55), 450 x 155: column header,
// grid lines, full-row selection, the screen's font.
void CreateTableList(CListViewCtl& list, HWND owner, HINSTANCE instance, int id, HFONT font);

// A radio button whose check mark the screen sets itself, in the screen's font.
HWND CreateRadio(COwnerButton& radio, HWND owner, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int id,
                 HFONT font);

// A block that differs in any byte from the block as loaded no longer
// describes the selected wheel type: its name (byte 488) is cleared.
void ForgetWheelTypeWhenChanged(ParamBlock& block, const ParamBlock& loaded);

// The list row the operator tapped twice, from a WM_NOTIFY of the list `id`;
// -1 for any other notification and when no row is selected.
int DoubleTappedRow(LPARAM lParam, int id, CListViewCtl& list);
