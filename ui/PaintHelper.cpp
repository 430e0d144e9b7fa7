#include "ui/PaintHelper.h"

#include <cstdint>

#include "platform/WinText.h"
#include "ui/OwnerButton.h"

CPaintHelper g_paintHelper;

namespace {

RECT ClientOf(HWND window)
{
    RECT r{0, 0, qplat::kScreenWidth, qplat::kScreenHeight};
    if (window) GetClientRect(window, &r);
    return r;
}

}  // namespace

void CPaintHelper::FontFor(LOGFONTW* font, LPCWSTR face, int height, int width, int weight, int mode)
{
    *font = LOGFONTW{};
    bool chinese = IsChineseLanguage();
    const WCHAR* name = face ? face : u"";
    BYTE charset = ANSI_CHARSET;
    if (mode == 2 || (mode == 0 && chinese)) {
        name = u"SimSun";
        charset = GB2312_CHARSET;
    }
    qplat::CopyField(font->lfFaceName, LF_FACESIZE, name);
    font->lfCharSet = charset;
    font->lfHeight = height;
    font->lfWidth = chinese ? 0 : width;
    font->lfWeight = weight;
    font->lfQuality = DRAFT_QUALITY;
}

HFONT CPaintHelper::MakeFont(LPCWSTR face, int height, int width, int weight, int mode)
{
    LOGFONTW font;
    FontFor(&font, face, height, width, weight, mode);
    return CreateFontIndirectW(&font);
}

void CPaintHelper::DrawCaption(HWND window, HDC hdc, int x, int y, int boxWidth, LPCWSTR text, int height,
                               int fontWidth, COLORREF color, BOOL bold, BOOL transparent, int mode)
{
    if (!hdc) return;
    WCHAR caption[PAINT_CAPTION_CHARS + 1];
    qplat::CopyField(caption, PAINT_CAPTION_CHARS + 1, text ? text : u"");
    HFONT font = MakeFont(u"Calibri", height, fontWidth, bold ? FW_BOLD : FW_NORMAL, mode);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    if (transparent) SetBkMode(hdc, TRANSPARENT);
    SetBkColor(hdc, 0xFFFFFF);
    COLORREF oldColor = SetTextColor(hdc, color);
    RECT r = ClientOf(window);
    r.left = x;
    r.top = y;
    if (boxWidth != 0) {
        r.right = x + boxWidth;
        DrawTextW(hdc, caption, -1, &r, DT_CENTER | DT_WORDBREAK);
    } else {
        DrawTextW(hdc, caption, -1, &r, 0);
    }
    if (oldFont) SelectObject(hdc, oldFont);
    if (font) DeleteObject(font);
    SetTextColor(hdc, oldColor);
}

int CPaintHelper::PanelLineY(float n)
{
    float y = 272.0f - 22.0f * n;
    return static_cast<int>(y);
}

void CPaintHelper::DrawPanel(HWND window, HDC hdc, float n)
{
    if (!hdc) return;
    RECT r = ClientOf(window);
    HPEN pen = CreatePen(PS_SOLID, 1, 0x000000);
    HBRUSH brush = CreateSolidBrush(0xFFFFFF);
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    HGDIOBJ oldBrush = SelectObject(hdc, brush);
    FillRect(hdc, &r, brush);
    if (n != 0.0f) Rectangle(hdc, r.left, r.top, r.right, r.bottom);
    MoveToEx(hdc, 1, 48, nullptr);
    LineTo(hdc, r.right - 1, 48);
    int y = PanelLineY(n);
    MoveToEx(hdc, 1, y, nullptr);
    LineTo(hdc, r.right - 1, y);
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

void CPaintHelper::FillClient(HWND window, HDC hdc, COLORREF color)
{
    if (!hdc) return;
    RECT r = ClientOf(window);
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void CPaintHelper::DrawRoundFrame(HWND window, HDC hdc, int x, int y, int w, int h, LPCWSTR title, COLORREF fill,
                                  int diameter, int penWidth)
{
    if (!hdc) return;
    HPEN pen = CreatePen(PS_SOLID, penWidth, 0x000000);
    HBRUSH brush = CreateSolidBrush(fill);
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    HGDIOBJ oldBrush = SelectObject(hdc, brush);
    RoundRect(hdc, x, y, x + w, y + h, diameter, diameter);
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    SetBkMode(hdc, OPAQUE);
    DrawCaption(window, hdc, x + 10, y - 8, 0, title, 16, 6, 0xFF0000, FALSE, FALSE, 0);
}

void CPaintHelper::FillFramedRect(HWND, HDC hdc, int x, int y, int w, int h, COLORREF fill, int, COLORREF)
{
    if (!hdc) return;
    RECT r{x, y, x + w, y + h};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(hdc, &r, brush);
    DeleteObject(brush);
}

void CPaintHelper::DrawBitmap(HINSTANCE instance, HDC hdc, int id, int x, int y)
{
    if (!hdc) return;
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (!bitmap) return;
    SIZE size = GetBitmapSize(bitmap);
    HDC memory = CreateCompatibleDC(hdc);
    if (memory) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(hdc, x, y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    DeleteObject(bitmap);
}

void CPaintHelper::DrawBitmapTopLeft(HINSTANCE instance, HDC hdc)
{
    DrawBitmap(instance, hdc, 185, 5, 5);
}

void CPaintHelper::StretchBitmap(HDC hdc, HBITMAP bitmap, int x, int y, int w, int h)
{
    if (!hdc || !bitmap) return;
    SIZE size = GetBitmapSize(bitmap);
    HDC memory = CreateCompatibleDC(hdc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (w != 0 && h != 0)
        StretchBlt(hdc, x, y, w, h, memory, 0, 0, size.cx, size.cy, SRCCOPY);
    else
        BitBlt(hdc, x, y, size.cx, size.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

int CPaintHelper::SignalBarCount(BYTE level)
{
    // The level is a signed byte: read unsigned, a dead link (-100, say) would
    // wrap round and show full strength.
    int n = (static_cast<int8_t>(level) + 30) / 6;
    if (n < 1) n = 1;
    if (n > 4) n = 4;
    return n;
}

void CPaintHelper::DrawBitmapScaled(HWND window, HDC hdc, HBITMAP bitmap, int x, int y, int barWidth,
                                    int barUnitHeight, BYTE level, BOOL showBars)
{
    if (!hdc) return;
    StretchBitmap(hdc, bitmap, x, y, 0, 0);
    if (!showBars) return;
    SIZE size = GetBitmapSize(bitmap);
    int x0 = x + size.cx + 4, y0 = y + size.cy;
    int bars = SignalBarCount(level);
    for (int i = 0; i < bars; ++i) {
        int h = barUnitHeight * (i + 1);
        FillFramedRect(window, hdc, x0 + i * (barWidth + 1), y0 - h, barWidth, h, 0xB8501B, 1, 0x000000);
    }
}
