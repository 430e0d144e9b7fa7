// The application shell: start-up, the start screen, the three menus and the
// measuring launchers.
#pragma once

#include "platform/WinDef.h"
#include "platform/WinShell.h"
#include "platform/WinUser.h"

// ---- start-up
BOOL InitInstance(HINSTANCE instance, int show);
ATOM RegisterMainWindowClass(HINSTANCE instance, LPCWSTR className);
// Why InitInstance returned FALSE. Unguarded: the single-copy lock cannot
// be taken on this device root and no other check could keep a second copy
// away (a line on standard error says why).
enum class StartOutcome { Started, AnotherInstance, Unguarded, Failed };
StartOutcome LastStartOutcome();

// ---- the start screen
// Posted at start when a journal stays held back by a cut-off save that
// could not be undone: the start screen tells the operator once it is up.
// wParam: the CFixedRecordFile::Refusal that tells why.
constexpr UINT WM_CUT_OFF_SAVE_NOTICE = WM_APP + 0x32;
constexpr int MAIN_TITLE_CHARS = 100;
extern SHACTIVATEINFO g_shellActivateInfo;
extern WCHAR g_mainTitle[MAIN_TITLE_CHARS];

LRESULT CALLBACK MainWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
void SetMainButtonCaptions();
void CreateMainButtons(HWND window);
// The measurement button's faces for the device type of g_paramBlock.
void SetMeasureButtonBitmaps();
const WCHAR* GetVersionText();

// Start-screen commands.
constexpr int CMD_EXIT = 129;
constexpr int CMD_SETTINGS_MENU = 130;
constexpr int CMD_PARAM_MENU = 131;
constexpr int CMD_DATA_MENU = 132;
constexpr int CMD_JOURNAL = 133;
constexpr int CMD_MEASURE = 134;

// ---- the menus
INT_PTR CALLBACK SettingsMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ParamMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DataMenuDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void SetSettingsMenuCaptions();
void SetParamMenuCaptions();
void SetDataMenuCaptions();
// Reloads the running settings block from the file through a scratch block:
// the block is replaced only when the read succeeded.
BOOL ReloadParamBlock();

// ---- the measuring launchers
void RunMeasuringType1(HWND startWindow);
void RunMeasuringType2And3(HWND startWindow);
void RunMeasuringType4(HWND startWindow);
