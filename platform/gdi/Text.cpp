// Text output and measurement: TextOutW / ExtTextOutW, DrawTextW with its
// layout flags, extents and metrics.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/WinText.h"
#include "platform/gdi/GdiInternal.h"

using namespace qplat;
using namespace qplat::gdi;

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

int Length(LPCWSTR text, int count)
{
    if (!text) return 0;
    if (count < 0) return static_cast<int>(wcslen(text));
    return count;
}

// Draws one run of text whose reference point (x, y) is given in DC
// coordinates, aligned by the DC's text alignment. `clip` is in surface
// coordinates. Returns the width drawn.
int Output(Dc& dc, int x, int y, const char16_t* text, int count, const RECT& clip, bool background)
{
    Surface* s = dc.Target();
    if (!s) return 0;
    FontInstance& f = DcFont(dc);
    TextMetrics m = Metrics(f);
    int width = TextWidth(f, text, count);
    UINT align = dc.state.textAlign;
    double rad = FontAngle(f) * 3.14159265358979323846 / 180.0;
    double cs = std::cos(rad), sn = std::sin(rad);
    // Offsets along the base line (u) and down from it (v).
    double u = 0, v = 0;
    if ((align & TA_CENTER) == TA_CENTER)
        u = -width / 2;
    else if (align & TA_RIGHT)
        u = -width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        v = 0;
    else if (align & TA_BOTTOM)
        v = -m.descent;
    else
        v = m.ascent;
    double bx = x + dc.originX + u * cs + v * sn;
    double by = y + dc.originY - u * sn + v * cs;
    int ox = static_cast<int>(std::lround(bx)), oy = static_cast<int>(std::lround(by));
    if (background && dc.state.bkMode == OPAQUE && FontAngle(f) == 0) {
        RECT cell{ox, oy - m.ascent, ox + width, oy + m.descent};
        FillBox(*s, clip, cell, ColorToPixel(dc.state.bkColor));
    }
    DrawGlyphs(f, *s, clip, ox, oy, text, count, ColorToPixel(dc.state.textColor));
    return width;
}

struct Line {
    std::u16string text;
    int width = 0;
};

std::u16string Prepare(const char16_t* text, int count, UINT format)
{
    std::u16string out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        char16_t c = text[i];
        if (c == u'&' && !(format & DT_NOPREFIX)) {
            // "&&" shows one ampersand; "&x" marks a mnemonic and shows "x".
            if (i + 1 < count) {
                ++i;
                out.push_back(text[i]);
            }
            continue;
        }
        if (c == u'\t') {
            if (format & DT_EXPANDTABS) {
                out.append(8 - out.size() % 8, u' ');
                continue;
            }
            c = u' ';
        }
        if (format & DT_SINGLELINE) {
            if (c == u'\r' || c == u'\n') continue;
        }
        out.push_back(c);
    }
    return out;
}

// A line wider than the box loses characters at its end for "...", so the
// reader sees that it goes on instead of a letter cut in half; when not even
// the dots fit, as many of them as do.
Line EndEllipsis(FontInstance& f, const std::u16string& text, int maxWidth)
{
    auto width = [&](const std::u16string& s) { return TextWidth(f, s.data(), static_cast<int>(s.size())); };
    const int whole = width(text);
    if (whole <= maxWidth) return Line{text, whole};
    std::u16string dots = u"...";
    std::u16string head = text;
    while (!head.empty() && width(head + dots) > maxWidth) head.pop_back();
    while (head.empty() && !dots.empty() && width(dots) > maxWidth) dots.pop_back();
    head += dots;
    return Line{head, width(head)};
}

std::vector<Line> Layout(FontInstance& f, const std::u16string& text, UINT format, int maxWidth)
{
    std::vector<Line> lines;
    auto width = [&](const std::u16string& s) { return TextWidth(f, s.data(), static_cast<int>(s.size())); };
    std::vector<std::u16string> paragraphs;
    if (format & DT_SINGLELINE) {
        paragraphs.push_back(text);
    } else {
        std::u16string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t c = text[i];
            if (c == u'\r' || c == u'\n') {
                paragraphs.push_back(cur);
                cur.clear();
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                continue;
            }
            cur.push_back(c);
        }
        paragraphs.push_back(cur);
    }
    bool wrap = (format & DT_WORDBREAK) && !(format & DT_SINGLELINE);
    for (const std::u16string& p : paragraphs) {
        if (!wrap) {
            lines.push_back((format & DT_END_ELLIPSIS) ? EndEllipsis(f, p, maxWidth) : Line{p, width(p)});
            continue;
        }
        // Words are broken only at spaces; a word wider than the box stays whole.
        size_t pos = 0;
        std::u16string cur;
        bool emitted = false;
        while (pos <= p.size()) {
            size_t end = p.find(u' ', pos);
            if (end == std::u16string::npos) end = p.size();
            std::u16string word = p.substr(pos, end - pos);
            std::u16string candidate = cur.empty() ? word : cur + u' ' + word;
            if (!cur.empty() && width(candidate) > maxWidth) {
                lines.push_back(Line{cur, width(cur)});
                emitted = true;
                cur = word;
            } else {
                cur = candidate;
            }
            pos = end + 1;
        }
        if (!cur.empty() || !emitted) lines.push_back(Line{cur, width(cur)});
    }
    return lines;
}

}  // namespace

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW tm)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !tm) return FALSE;
    FontInstance& f = DcFont(*dc);
    TextMetrics m = Metrics(f);
    *tm = TEXTMETRICW{};
    tm->tmHeight = m.Height();
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmAveCharWidth = m.aveWidth;
    tm->tmMaxCharWidth = m.maxWidth;
    tm->tmWeight = dc->state.font ? (dc->state.font->log.lfWeight ? dc->state.font->log.lfWeight : FW_NORMAL) : FW_NORMAL;
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = u'?';
    tm->tmBreakChar = u' ';
    tm->tmItalic = dc->state.font ? dc->state.font->log.lfItalic : 0;
    tm->tmPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    tm->tmCharSet = dc->state.font ? dc->state.font->log.lfCharSet : ANSI_CHARSET;
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, LPSIZE size)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !size || count < 0 || (!text && count > 0)) return FALSE;
    FontInstance& f = DcFont(*dc);
    size->cx = TextWidth(f, text, count);
    size->cy = Metrics(f).Height();
    return TRUE;
}

BOOL GetTextExtentExPointW(HDC hdc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, LPSIZE size)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || count < 0 || (!text && count > 0)) return FALSE;
    FontInstance& f = DcFont(*dc);
    std::vector<int> adv(static_cast<size_t>(count));
    int total = TextWidth(f, text, count, adv.data());
    if (fit) {
        int n = 0;
        while (n < count && adv[static_cast<size_t>(n)] <= maxExtent) ++n;
        *fit = n;
    }
    if (dx) std::copy(adv.begin(), adv.end(), dx);
    if (size) {
        size->cx = total;
        size->cy = Metrics(f).Height();
    }
    return TRUE;
}

int GetTextFaceW(HDC hdc, int count, LPWSTR face)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !dc->state.font) return 0;
    const WCHAR* name = dc->state.font->log.lfFaceName;
    int len = static_cast<int>(qplat::FieldLength(name, LF_FACESIZE));
    if (!face) return len + 1;
    if (count <= 0) return 0;
    qplat::CopyField(face, static_cast<size_t>(count), name);
    return static_cast<int>(wcslen(face));
}

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    Surface* s = dc ? dc->Target() : nullptr;
    if (!s || (!text && count > 0) || count > 0x7FFFFFFF) return FALSE;
    RECT clip = dc->DeviceClip();
    if (rect) {
        RECT box{rect->left + dc->originX, rect->top + dc->originY, rect->right + dc->originX,
                 rect->bottom + dc->originY};
        if (options & ETO_OPAQUE) FillBox(*s, clip, box, ColorToPixel(dc->state.bkColor));
        if (options & ETO_CLIPPED) clip = Intersect(clip, box);
    }
    int width = Output(*dc, x, y, text, static_cast<int>(count), clip, !(options & ETO_OPAQUE) || !rect);
    if (dc->state.textAlign & TA_UPDATECP) dc->state.position.x += width;
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count)
{
    if (count < 0) return FALSE;
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    Lock lock(GdiMutex());
    Dc* dc = LookupDc(hdc);
    if (!dc || !rect || (!text && count != 0)) return 0;
    int n = Length(text, count);
    FontInstance& f = DcFont(*dc);
    TextMetrics m = Metrics(f);
    int lineHeight = m.Height();
    std::u16string prepared = Prepare(text ? text : u"", n, format);
    int boxWidth = rect->right - rect->left;
    std::vector<Line> lines = Layout(f, prepared, format, boxWidth);
    int total = lineHeight * static_cast<int>(lines.size());
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& l : lines) widest = std::max(widest, l.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    Surface* s = dc->Target();
    if (!s) return 0;
    RECT clip = dc->DeviceClip();
    // A rotated font runs out of the box by design (a vertical caption starts
    // at the box's corner), so only horizontal text is cut to the box.
    if (!(format & DT_NOCLIP) && FontAngle(f) == 0)
        clip = Intersect(clip, RECT{rect->left + dc->originX, rect->top + dc->originY, rect->right + dc->originX,
                                    rect->bottom + dc->originY});
    UINT savedAlign = dc->state.textAlign;
    dc->state.textAlign = TA_LEFT | TA_TOP;
    int y = top;
    for (const Line& l : lines) {
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (boxWidth - l.width) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - l.width;
        Output(*dc, x, y, l.text.data(), static_cast<int>(l.text.size()), clip, true);
        y += lineHeight;
    }
    dc->state.textAlign = savedAlign;
    return (top - rect->top) + total;
}
