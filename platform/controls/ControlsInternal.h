// Inside platform/controls only: what the controls share. Each control keeps
// its state in a C++ object whose pointer sits in the window's first extra
// bytes, made at WM_NCCREATE and deleted at WM_NCDESTROY.
#pragma once

#include <algorithm>
#include <string>

#include "platform/WinCtrl.h"
#include "platform/WinGdi.h"
#include "platform/WinUser.h"

namespace qplat::controls {

constexpr int kStateSlot = 0;
constexpr int kExtraBytes = static_cast<int>(sizeof(LONG_PTR));

template <typename T>
T* StateOf(HWND hwnd)
{
    return reinterpret_cast<T*>(GetWindowLongW(hwnd, kStateSlot));
}

// Makes the state at WM_NCCREATE and deletes it at WM_NCDESTROY. Returns the
// state for every other message (null when the window has none).
template <typename T>
T* TrackState(HWND hwnd, UINT msg)
{
    if (msg == WM_NCCREATE) {
        auto* s = new T();
        SetWindowLongW(hwnd, kStateSlot, reinterpret_cast<LONG_PTR>(s));
        return s;
    }
    T* s = StateOf<T>(hwnd);
    if (msg == WM_NCDESTROY && s) {
        SetWindowLongW(hwnd, kStateSlot, 0);
        delete s;
        return nullptr;
    }
    return s;
}

// The screens create some controls without WS_CHILD yet place them in their
// parent's client area: such a control is made a child of that parent.
void AdoptIntoParent(HWND hwnd, const CREATESTRUCTW* cs);

// Gives a control the stylus pressed on the focus; true when the press is
// still its own, so it may capture the stylus until the release. Not so when
// the focus notification ran a modal screen (the on-screen keyboard) that
// took this very press's release or moved the focus on, nor when the control
// went away meanwhile: a capture then would hold the stylus for good, every
// later tap anywhere coming back to the control.
bool TakeFocusForPress(HWND hwnd);

// WM_COMMAND with a notification code to the parent.
void NotifyCommand(HWND hwnd, WORD code);
// WM_NOTIFY to the parent; fills the header and returns the parent's answer.
LRESULT NotifyParent(HWND hwnd, NMHDR* header, UINT code);
// The brush the parent chooses through WM_CTLCOLOR... (or the default).
HBRUSH ColorFromParent(HWND hwnd, HDC dc, UINT msg);
// The font the control draws with (its own, else the default GUI font).
HFONT ControlFont(HWND hwnd);
// Height of a line of text in the control's font.
int LineHeight(HWND hwnd);
// Width in pixels of a text in the control's font on a DC.
int TextWidth(HDC dc, const std::u16string& text, size_t count);

void FillSolid(HDC dc, const RECT& r, COLORREF color);
void FrameSolid(HDC dc, const RECT& r, COLORREF color);
// A small filled triangle pointing up (dir 0), down (1), left (2) or right (3).
void Arrow(HDC dc, const RECT& box, int dir, COLORREF color);

// Stylus point of a mouse message.
inline POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
}

// Case-insensitive prefix test (Latin and Cyrillic letters).
bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix);
bool EqualsNoCase(const std::u16string& a, const std::u16string& b);

// Window scroll bars of windows that are not scroll-bar controls.
struct BarInfo {
    SCROLLINFO info{sizeof(SCROLLINFO), 0, 0, 100, 0, 0, 0};
    bool shown = true;
    // Set with SIF_DISABLENOSCROLL: the bar stays, disabled, when not needed.
    bool keep = false;
};

// Scroll-info arithmetic shared by the scroll-bar control and window bars.
int ClampScrollPos(const SCROLLINFO& info, int pos);
void ApplyScrollInfo(SCROLLINFO& into, const SCROLLINFO& from);
// The thumb of a window scroll bar being dragged (SIF_TRACKPOS).
void SetBarTrackPos(HWND hwnd, int bar, int pos);

// Class procedures, one file each.
LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK EditProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboBoxProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ComboListProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ListViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ScrollBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK DateTimeProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK ToolTipProc(HWND, UINT, WPARAM, LPARAM);

// Colours of the controls.
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kFrame = 0x505050;
constexpr COLORREF kTrough = 0xE4E0DC;
constexpr COLORREF kThumb = 0x8C7A6A;
constexpr COLORREF kButtonFace = 0xD8D4D0;
constexpr COLORREF kHighlight = 0xB8621B;  // selection background (blue)
constexpr COLORREF kGrid = 0xC0C0C0;
constexpr COLORREF kGreyText = 0x808080;

}  // namespace qplat::controls
