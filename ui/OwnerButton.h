// The bitmap buttons every screen is operated through.
//
// COwnerButton: an owner-drawn "button" whose face is one of three bitmaps
// (normal, pressed, disabled) stretched to the control, with an optional
// caption over it. Drawing the pressed face arms timer 3001 on the owner (for
// press-and-hold repetition). The same class makes text push and option
// buttons, so a screen keeps all its buttons in one array.
//
// CImageButton: a simpler bitmap button for view switches: the owner sets a
// state (0, 1 or 2) that chooses the bitmap.
#pragma once

#include "platform/WinGdi.h"
#include "platform/WinUser.h"

constexpr UINT_PTR OWNER_BUTTON_TIMER = 3001;
constexpr UINT OWNER_BUTTON_TIMER_MS = 1000;
constexpr int BUTTON_CAPTION_CHARS = 100;  // terminator included

class COwnerButton {
public:
    COwnerButton();
    ~COwnerButton();
    COwnerButton(const COwnerButton&) = delete;
    COwnerButton& operator=(const COwnerButton&) = delete;

    void Attach(HWND parent, HINSTANCE instance, int id, int normal, int pressed, int disabled);
    HWND Create(HWND parent, HINSTANCE instance, int x, int y, int width, int height, int id, int normal,
                int pressed, int disabled);
    HWND CreatePush(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height, int id);
    HWND CreateCheck(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height, int id);
    void SetBitmaps(int normal, int pressed, int disabled);
    // The caption keeps at most 99 characters.
    void SetCaption(LPCWSTR text, COLORREF color, BOOL vertical, BOOL centredLow, BOOL centred, int captionLeft,
                    int fontHeight);
    void SetFont(HFONT font);
    void Show(int command);
    void Enable(BOOL enable);
    int GetCheck();
    void DrawItem(const DRAWITEMSTRUCT* item);
    void Destroy();

    // The caption's font and placement as DrawItem uses them.
    void CaptionFont(LOGFONTW* font) const;
    void CaptionPlacement(RECT* rect, UINT* format) const;

    HINSTANCE m_hInstance;
    HWND m_hParent;
    HWND m_hWnd;
    int m_id;
    HBITMAP m_normal;
    HBITMAP m_pressed;
    HBITMAP m_disabled;
    int m_x, m_y, m_width, m_height;
    int m_captionLeft;
    int m_fontHeight;
    BYTE m_hasCaption;
    WCHAR m_caption[BUTTON_CAPTION_CHARS];
    BYTE m_vertical;
    BYTE m_centredLow;
    BYTE m_centred;
    COLORREF m_textColor;

private:
    HWND CreateText(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height, int id,
                    DWORD style);
    void LoadBitmaps(int normal, int pressed, int disabled);
    void FreeBitmaps();
};

class CImageButton {
public:
    CImageButton();
    virtual ~CImageButton();
    CImageButton(const CImageButton&) = delete;
    CImageButton& operator=(const CImageButton&) = delete;

    int Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int width, int height, int first,
               int second, int third, DWORD style);
    int CreateCheck(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int width, int height);
    void SetBitmaps(int first, int second);
    void SetCaption(LPCWSTR text, COLORREF color, int captionLeft, int captionTop, int fontHeight);
    void Show(int command);
    void DrawItem(const DRAWITEMSTRUCT* item);
    void Destroy();

    void CaptionFont(LOGFONTW* font) const;
    void CaptionPlacement(RECT* rect) const;

    HWND m_hParent;
    HINSTANCE m_hInstance;
    HWND m_hWnd;
    HBITMAP m_first;   // shown in state 1
    HBITMAP m_second;  // shown in state 0
    HBITMAP m_third;   // shown in state 2
    int m_state;
    WCHAR m_caption[BUTTON_CAPTION_CHARS];
    int m_x, m_y, m_width, m_height;
    int m_captionLeft, m_captionTop, m_fontHeight;
    BYTE m_hasCaption;
    COLORREF m_textColor;
};

// Width and height of a bitmap (0 and 0 when it has none).
SIZE GetBitmapSize(HBITMAP bitmap);
SIZE GetResourceBitmapSize(HINSTANCE instance, int id);
// Twice the hot spot of the icon (0 and 0 when it has none).
SIZE GetIconSize(HICON icon);
// Whether the texts are Chinese, which changes the fonts. No Chinese language
// file is offered, so this is always false (as CLanguage::IsChinese).
bool IsChineseLanguage();
