// Drawing routines shared by every screen: fonts, captions, the white screen
// panel with its separator lines, frames, filled rectangles and bitmaps. No
// state: each routine creates what it needs, restores what it selected and
// deletes what it created before it returns.
#pragma once

#include "platform/WinGdi.h"
#include "platform/WinUser.h"

constexpr int PAINT_CAPTION_CHARS = 149;  // a caption longer than this is cut

class CPaintHelper {
public:
    // mode 0: "SimSun" in a Chinese language, else `face`; mode 1: `face`;
    // mode 2: "SimSun". The caller deletes the font.
    HFONT MakeFont(LPCWSTR face, int height, int width, int weight, int mode);
    // The LOGFONTW MakeFont creates.
    static void FontFor(LOGFONTW* font, LPCWSTR face, int height, int width, int weight, int mode);
    void DrawCaption(HWND window, HDC hdc, int x, int y, int boxWidth, LPCWSTR text, int height, int fontWidth,
                     COLORREF color, BOOL bold, BOOL transparent, int mode);
    void DrawPanel(HWND window, HDC hdc, float n);
    void FillClient(HWND window, HDC hdc, COLORREF color);
    void DrawRoundFrame(HWND window, HDC hdc, int x, int y, int w, int h, LPCWSTR title, COLORREF fill,
                        int diameter, int penWidth);
    void FillFramedRect(HWND window, HDC hdc, int x, int y, int w, int h, COLORREF fill, int penWidth,
                        COLORREF penColor);
    void DrawBitmap(HINSTANCE instance, HDC hdc, int id, int x, int y);
    void DrawBitmapTopLeft(HINSTANCE instance, HDC hdc);
    void StretchBitmap(HDC hdc, HBITMAP bitmap, int x, int y, int w, int h);
    void DrawBitmapScaled(HWND window, HDC hdc, HBITMAP bitmap, int x, int y, int barWidth, int barUnitHeight,
                          BYTE level, BOOL showBars);

    // The y of the lower separator line DrawPanel draws.
    static int PanelLineY(float n);
    // Bars of the signal-strength graph for a link level (a signed byte):
    // (level + 30) / 6, at least 1 and at most 4.
    static int SignalBarCount(BYTE level);
};

extern CPaintHelper g_paintHelper;
