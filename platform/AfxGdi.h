// The class library's device-context class CDC and its rectangle, point and
// size types, as thin wrappers over platform/WinGdi.h. Header only.
//
// CDC keeps the output context in m_hDC (and the attribute context in
// m_hAttribDC, the same one here). Its destructor deletes m_hDC when it is
// still set, so a derived class that borrows a context clears m_hDC first.
#pragma once

#include <utility>

#include "platform/WinDef.h"
#include "platform/WinGdi.h"

class CPoint : public tagPOINT {
public:
    CPoint() : tagPOINT{0, 0} {}
    CPoint(int px, int py) : tagPOINT{px, py} {}
    CPoint(POINT p) : tagPOINT(p) {}
    bool operator==(const POINT& p) const { return x == p.x && y == p.y; }
    bool operator!=(const POINT& p) const { return !(*this == p); }
};

class CSize : public tagSIZE {
public:
    CSize() : tagSIZE{0, 0} {}
    CSize(int w, int h) : tagSIZE{w, h} {}
    CSize(SIZE s) : tagSIZE(s) {}
    bool operator==(const SIZE& s) const { return cx == s.cx && cy == s.cy; }
    bool operator!=(const SIZE& s) const { return !(*this == s); }
};

class CRect : public tagRECT {
public:
    CRect() : tagRECT{0, 0, 0, 0} {}
    CRect(int l, int t, int r, int b) : tagRECT{l, t, r, b} {}
    CRect(const RECT& r) : tagRECT(r) {}
    CRect(const RECT* r) : tagRECT(r ? *r : RECT{0, 0, 0, 0}) {}
    CRect(POINT p, SIZE s) : tagRECT{p.x, p.y, p.x + s.cx, p.y + s.cy} {}
    CRect(POINT topLeft, POINT bottomRight) : tagRECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    CSize Size() const { return CSize(Width(), Height()); }
    CPoint TopLeft() const { return CPoint(left, top); }
    CPoint BottomRight() const { return CPoint(right, bottom); }
    CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
    bool IsRectEmpty() const { return right <= left || bottom <= top; }
    bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }

    void SetRect(int l, int t, int r, int b)
    {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    void SetRectEmpty() { SetRect(0, 0, 0, 0); }
    void CopyRect(const RECT* r)
    {
        if (r) *static_cast<RECT*>(this) = *r;
    }
    bool EqualRect(const RECT* r) const
    {
        return r && left == r->left && top == r->top && right == r->right && bottom == r->bottom;
    }
    void OffsetRect(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
    }
    void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
    void InflateRect(int dx, int dy)
    {
        left -= dx;
        right += dx;
        top -= dy;
        bottom += dy;
    }
    void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
    void NormalizeRect()
    {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
    }
    // As the system's IntersectRect: an empty result is set to (0, 0, 0, 0).
    bool IntersectRect(const RECT* a, const RECT* b)
    {
        if (!a || !b) return false;
        RECT r{a->left > b->left ? a->left : b->left, a->top > b->top ? a->top : b->top,
               a->right < b->right ? a->right : b->right, a->bottom < b->bottom ? a->bottom : b->bottom};
        if (r.right <= r.left || r.bottom <= r.top) r = RECT{0, 0, 0, 0};
        *static_cast<RECT*>(this) = r;
        return !IsRectEmpty();
    }
    bool UnionRect(const RECT* a, const RECT* b)
    {
        if (!a || !b) return false;
        CRect ra(*a), rb(*b);
        if (ra.IsRectEmpty()) {
            *this = rb;
        } else if (rb.IsRectEmpty()) {
            *this = ra;
        } else {
            SetRect(ra.left < rb.left ? ra.left : rb.left, ra.top < rb.top ? ra.top : rb.top,
                    ra.right > rb.right ? ra.right : rb.right, ra.bottom > rb.bottom ? ra.bottom : rb.bottom);
        }
        return !IsRectEmpty();
    }

    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    CRect& operator=(const RECT& r)
    {
        *static_cast<RECT*>(this) = r;
        return *this;
    }
    bool operator==(const RECT& r) const { return EqualRect(&r); }
    bool operator!=(const RECT& r) const { return !EqualRect(&r); }
};

class CDC {
public:
    CDC() = default;
    virtual ~CDC()
    {
        if (m_hDC) ::DeleteDC(Detach());
    }
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC m_hDC = nullptr;
    HDC m_hAttribDC = nullptr;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }
    BOOL Attach(HDC hdc)
    {
        if (!hdc) return FALSE;
        m_hDC = m_hAttribDC = hdc;
        return TRUE;
    }
    HDC Detach()
    {
        HDC h = m_hDC;
        m_hDC = m_hAttribDC = nullptr;
        return h;
    }
    BOOL CreateCompatibleDC(CDC* other)
    {
        return Attach(::CreateCompatibleDC(other ? other->m_hDC : nullptr));
    }
    BOOL DeleteDC()
    {
        if (!m_hDC) return FALSE;
        return ::DeleteDC(Detach());
    }

    HGDIOBJ SelectObject(HGDIOBJ object) { return ::SelectObject(m_hDC, object); }
    HGDIOBJ SelectStockObject(int index) { return ::SelectObject(m_hDC, ::GetStockObject(index)); }
    COLORREF SetTextColor(COLORREF c) { return ::SetTextColor(m_hDC, c); }
    COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }
    COLORREF SetBkColor(COLORREF c) { return ::SetBkColor(m_hDC, c); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
    int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
    int GetBkMode() const { return ::GetBkMode(m_hDC); }
    UINT SetTextAlign(UINT align) { return ::SetTextAlign(m_hDC, align); }

    void FillRect(LPCRECT rect, HBRUSH brush) { ::FillRect(m_hDC, rect, brush); }
    void FillSolidRect(LPCRECT rect, COLORREF color)
    {
        COLORREF old = ::SetBkColor(m_hDC, color);
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, rect, nullptr, 0, nullptr);
        ::SetBkColor(m_hDC, old);
    }
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF color)
    {
        RECT r{x, y, x + cx, y + cy};
        FillSolidRect(&r, color);
    }
    CPoint MoveTo(int x, int y)
    {
        POINT p{0, 0};
        ::MoveToEx(m_hDC, x, y, &p);
        return CPoint(p);
    }
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    BOOL LineTo(POINT p) { return ::LineTo(m_hDC, p.x, p.y); }
    BOOL Rectangle(int l, int t, int r, int b) { return ::Rectangle(m_hDC, l, t, r, b); }
    BOOL Rectangle(LPCRECT r) { return ::Rectangle(m_hDC, r->left, r->top, r->right, r->bottom); }
    BOOL RoundRect(int l, int t, int r, int b, int w, int h) { return ::RoundRect(m_hDC, l, t, r, b, w, h); }
    BOOL Ellipse(int l, int t, int r, int b) { return ::Ellipse(m_hDC, l, t, r, b); }
    BOOL Ellipse(LPCRECT r) { return ::Ellipse(m_hDC, r->left, r->top, r->right, r->bottom); }
    BOOL Polygon(const POINT* points, int count) { return ::Polygon(m_hDC, points, count); }
    BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
    COLORREF SetPixel(int x, int y, COLORREF c) { return ::SetPixel(m_hDC, x, y, c); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    int DrawText(LPCWSTR text, int count, LPRECT rect, UINT format)
    {
        return ::DrawTextW(m_hDC, text, count, rect, format);
    }
    BOOL TextOut(int x, int y, LPCWSTR text, int count) { return ::TextOutW(m_hDC, x, y, text, count); }
    BOOL ExtTextOut(int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const INT* dx)
    {
        return ::ExtTextOutW(m_hDC, x, y, options, rect, text, count, dx);
    }
    CSize GetTextExtent(LPCWSTR text, int count) const
    {
        SIZE s{0, 0};
        ::GetTextExtentPoint32W(m_hDC, text, count, &s);
        return CSize(s);
    }
    BOOL GetTextMetrics(LPTEXTMETRICW tm) const { return ::GetTextMetricsW(m_hDC, tm); }
    BOOL BitBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, rop);
    }
    BOOL StretchBlt(int x, int y, int w, int h, CDC* src, int sx, int sy, int sw, int sh, DWORD rop)
    {
        return ::StretchBlt(m_hDC, x, y, w, h, src ? src->m_hDC : nullptr, sx, sy, sw, sh, rop);
    }
    int IntersectClipRect(int l, int t, int r, int b) { return ::IntersectClipRect(m_hDC, l, t, r, b); }
    int SelectClipRgn(HRGN region) { return ::SelectClipRgn(m_hDC, region); }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
};
