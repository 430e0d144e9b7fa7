#include "ui/OwnerButton.h"

#include "platform/WinText.h"

namespace {

HBITMAP LoadFace(HINSTANCE instance, int id)
{
    if (id <= 0 || id > 0xFFFF) return nullptr;
    return static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

void Release(HBITMAP& bitmap)
{
    if (bitmap) DeleteObject(bitmap);
    bitmap = nullptr;
}

// Stretches the whole bitmap onto the item's rectangle. A missing face draws
// nothing (the memory context's placeholder bitmap is never shown).
void StretchFace(HDC target, HBITMAP face, const RECT& item)
{
    if (!face) return;
    SIZE size = GetBitmapSize(face);
    HDC memory = CreateCompatibleDC(target);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, face);
    StretchBlt(target, 0, 0, item.right - item.left, item.bottom - item.top, memory, 0, 0, size.cx, size.cy, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void DrawCaptionText(HDC hdc, const LOGFONTW& logFont, COLORREF color, const WCHAR* text, RECT rect, UINT format)
{
    HFONT font = CreateFontIndirectW(&logFont);
    HGDIOBJ oldFont = font ? SelectObject(hdc, font) : nullptr;
    SetBkMode(hdc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(hdc, color);
    DrawTextW(hdc, text, -1, &rect, format);
    SetTextColor(hdc, oldColor);
    if (oldFont) SelectObject(hdc, oldFont);
    if (font) DeleteObject(font);
}

void SetFace(LOGFONTW* font, const WCHAR* face)
{
    qplat::CopyField(font->lfFaceName, LF_FACESIZE, face);
}

}  // namespace

bool IsChineseLanguage()
{
    return false;
}

SIZE GetBitmapSize(HBITMAP bitmap)
{
    BITMAP bm{};
    if (!bitmap || GetObjectW(bitmap, sizeof bm, &bm) != static_cast<int>(sizeof bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

namespace {

// Creates the button's window and records where it stands; a width or height
// of 0 takes the face's (no face: it stays 0).
template <typename Button>
HWND PlaceButton(Button& button, HBITMAP face, HWND parent, HINSTANCE instance, LPCWSTR text, DWORD style, int x,
                 int y, int width, int height, int id)
{
    SIZE size = GetBitmapSize(face);
    if (width == 0) width = size.cx;
    if (height == 0) height = size.cy;
    button.m_x = x;
    button.m_y = y;
    button.m_width = width;
    button.m_height = height;
    button.m_hWnd = CreateWindowExW(0, u"BUTTON", text ? text : u"", style, x, y, width, height, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    return button.m_hWnd;
}

}  // namespace

SIZE GetResourceBitmapSize(HINSTANCE instance, int id)
{
    HBITMAP bitmap = LoadFace(instance, id);
    SIZE size = GetBitmapSize(bitmap);
    if (bitmap) DeleteObject(bitmap);
    return size;
}

SIZE GetIconSize(HICON icon)
{
    ICONINFO info{};
    if (!icon || !GetIconInfo(icon, &info)) return SIZE{0, 0};
    // The bitmaps handed over belong to the caller.
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return SIZE{static_cast<LONG>(info.xHotspot * 2), static_cast<LONG>(info.yHotspot * 2)};
}

// ---------------------------------------------------------------- COwnerButton

COwnerButton::COwnerButton()
    : m_hInstance(nullptr),
      m_hParent(nullptr),
      m_hWnd(nullptr),
      m_id(0),
      m_normal(nullptr),
      m_pressed(nullptr),
      m_disabled(nullptr),
      m_x(0),
      m_y(0),
      m_width(0),
      m_height(0),
      m_captionLeft(0),
      m_fontHeight(0),
      m_hasCaption(0),
      m_caption{},
      m_vertical(0),
      m_centredLow(0),
      m_centred(0),
      m_textColor(0xFFFFFF)
{
}

COwnerButton::~COwnerButton()
{
    Destroy();
}

void COwnerButton::FreeBitmaps()
{
    Release(m_normal);
    Release(m_pressed);
    Release(m_disabled);
}

void COwnerButton::LoadBitmaps(int normal, int pressed, int disabled)
{
    FreeBitmaps();
    m_normal = LoadFace(m_hInstance, normal);
    m_pressed = LoadFace(m_hInstance, pressed);
    m_disabled = LoadFace(m_hInstance, disabled);
}

void COwnerButton::Attach(HWND parent, HINSTANCE instance, int id, int normal, int pressed, int disabled)
{
    m_hParent = parent;
    m_hInstance = instance;
    m_id = id;
    m_hWnd = GetDlgItem(parent, id);
    RECT r{};
    if (m_hWnd && GetWindowRect(m_hWnd, &r)) {
        m_x = r.left;
        m_y = r.top;
        m_width = r.right - r.left;
        m_height = r.bottom - r.top;
    }
    LoadBitmaps(normal, pressed, disabled);
}

HWND COwnerButton::Create(HWND parent, HINSTANCE instance, int x, int y, int width, int height, int id, int normal,
                          int pressed, int disabled)
{
    m_hInstance = instance;  // the faces load from it
    LoadBitmaps(normal, pressed, disabled);
    return CreateText(parent, instance, u"", x, y, width, height, id, 0x5200000B);
}

HWND COwnerButton::CreateText(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height,
                              int id, DWORD style)
{
    m_hParent = parent;
    m_hInstance = instance;
    m_id = id;
    return PlaceButton(*this, m_normal, parent, instance, text, style, x, y, width, height, id);
}

HWND COwnerButton::CreatePush(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height,
                              int id)
{
    return CreateText(parent, instance, text, x, y, width, height, id, 0x50000000);
}

HWND COwnerButton::CreateCheck(HWND parent, HINSTANCE instance, LPCWSTR text, int x, int y, int width, int height,
                               int id)
{
    return CreateText(parent, instance, text, x, y, width, height, id, 0x50000004);
}

void COwnerButton::SetBitmaps(int normal, int pressed, int disabled)
{
    LoadBitmaps(normal, pressed, disabled);
}

void COwnerButton::SetCaption(LPCWSTR text, COLORREF color, BOOL vertical, BOOL centredLow, BOOL centred,
                              int captionLeft, int fontHeight)
{
    qplat::CopyField(m_caption, BUTTON_CAPTION_CHARS, text ? text : u"");
    m_hasCaption = 1;
    m_textColor = color;
    m_vertical = vertical ? 1 : 0;
    m_centredLow = centredLow ? 1 : 0;
    m_centred = centred ? 1 : 0;
    m_captionLeft = captionLeft;
    m_fontHeight = fontHeight;
}

void COwnerButton::SetFont(HFONT font)
{
    if (m_hWnd) SendMessageW(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void COwnerButton::Show(int command)
{
    if (m_hWnd) ShowWindow(m_hWnd, command);
}

void COwnerButton::Enable(BOOL enable)
{
    if (m_hWnd) EnableWindow(m_hWnd, enable);
}

int COwnerButton::GetCheck()
{
    return IsDlgButtonChecked(m_hParent, m_id) == BST_CHECKED ? 1 : 0;
}

void COwnerButton::CaptionFont(LOGFONTW* font) const
{
    *font = LOGFONTW{};
    bool chinese = IsChineseLanguage();
    SetFace(font, chinese ? u"SimSun" : u"Calibri");
    font->lfCharSet = chinese ? GB2312_CHARSET : ANSI_CHARSET;
    font->lfWeight = chinese ? FW_NORMAL : FW_BOLD;
    font->lfQuality = DRAFT_QUALITY;
    font->lfEscapement = m_vertical ? 900 : 0;
    int height, width;
    if (m_fontHeight != 0) {
        height = m_fontHeight;
        width = static_cast<int>(height / 2.6);
    } else if (m_centredLow && !m_centred) {
        width = m_width / 16;
        height = width * 3;
        if (chinese) height = static_cast<int>(width * 3.5);
    } else {
        height = static_cast<int>(m_height / 2.8);
        width = static_cast<int>(height / 2.6);
    }
    font->lfHeight = height;
    font->lfWidth = chinese ? 0 : width;
}

void COwnerButton::CaptionPlacement(RECT* rect, UINT* format) const
{
    RECT r{0, 0, m_width, m_height};
    if (m_hWnd) GetClientRect(m_hWnd, &r);
    if (m_centred) {
        r.top = static_cast<LONG>(m_height / 3.5);
        *format = DT_CENTER;
    } else if (m_centredLow) {
        r.top = static_cast<LONG>(m_height / 1.5);
        *format = DT_CENTER;
    } else {
        r.top = static_cast<LONG>(m_height / 3.5);
        r.left = m_captionLeft != 0 ? m_captionLeft : static_cast<LONG>(m_width / 3.5);
        *format = 0;
    }
    *rect = r;
}

void COwnerButton::DrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item || !item->hDC) return;
    HBITMAP face;
    if (item->itemState & ODS_DISABLED)
        face = m_disabled;
    else if (item->itemState & ODS_SELECTED)
        face = m_pressed;
    else
        face = m_normal;
    StretchFace(item->hDC, face, item->rcItem);
    if (!(item->itemState & ODS_DISABLED)) {
        if (item->itemState & ODS_SELECTED)
            SetTimer(m_hParent, OWNER_BUTTON_TIMER, OWNER_BUTTON_TIMER_MS, nullptr);
        else if (item->itemState & ODS_FOCUS)
            KillTimer(m_hParent, OWNER_BUTTON_TIMER);
    }
    if (m_hasCaption) {
        LOGFONTW font;
        CaptionFont(&font);
        RECT rect;
        UINT format = 0;
        CaptionPlacement(&rect, &format);
        DrawCaptionText(item->hDC, font, m_textColor, m_caption, rect, format);
    }
}

void COwnerButton::Destroy()
{
    FreeBitmaps();
    if (m_hWnd) {
        if (IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}

// ---------------------------------------------------------------- CImageButton

CImageButton::CImageButton()
    : m_hParent(nullptr),
      m_hInstance(nullptr),
      m_hWnd(nullptr),
      m_first(nullptr),
      m_second(nullptr),
      m_third(nullptr),
      m_state(0),
      m_caption{},
      m_x(0),
      m_y(0),
      m_width(0),
      m_height(0),
      m_captionLeft(0),
      m_captionTop(0),
      m_fontHeight(0),
      m_hasCaption(0),
      m_textColor(0xFFFFFF)
{
}

CImageButton::~CImageButton()
{
    Destroy();
}

int CImageButton::Create(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int width, int height,
                         int first, int second, int third, DWORD style)
{
    m_hParent = parent;
    m_hInstance = instance;
    Release(m_first);
    Release(m_second);
    Release(m_third);
    m_first = LoadFace(instance, first);
    m_second = LoadFace(instance, second);
    m_third = LoadFace(instance, third);
    return PlaceButton(*this, m_first, parent, instance, text, style, x, y, width, height, id) ? 1 : 0;
}

int CImageButton::CreateCheck(HWND parent, HINSTANCE instance, LPCWSTR text, int id, int x, int y, int width,
                              int height)
{
    m_hParent = parent;
    m_hInstance = instance;
    return PlaceButton(*this, nullptr, parent, instance, text, 0x50000002, x, y, width, height, id) ? 1 : 0;
}

void CImageButton::SetBitmaps(int first, int second)
{
    Release(m_first);
    Release(m_second);
    m_first = LoadFace(m_hInstance, first);
    m_second = LoadFace(m_hInstance, second);
}

void CImageButton::SetCaption(LPCWSTR text, COLORREF color, int captionLeft, int captionTop, int fontHeight)
{
    qplat::CopyField(m_caption, BUTTON_CAPTION_CHARS, text ? text : u"");
    m_hasCaption = 1;
    m_textColor = color;
    m_captionLeft = captionLeft;
    m_captionTop = captionTop;
    m_fontHeight = fontHeight;
}

void CImageButton::Show(int command)
{
    if (m_hWnd) ShowWindow(m_hWnd, command);
}

void CImageButton::CaptionFont(LOGFONTW* font) const
{
    *font = LOGFONTW{};
    bool chinese = IsChineseLanguage();
    SetFace(font, chinese ? u"SimSun" : u"Calibri");
    font->lfCharSet = GB2312_CHARSET;
    font->lfWeight = FW_BOLD;
    font->lfQuality = DRAFT_QUALITY;
    int height = m_fontHeight != 0 ? m_fontHeight : static_cast<int>(m_height / 2.8);
    font->lfHeight = height;
    font->lfWidth = chinese ? 0 : static_cast<int>(height / 2.6);
}

void CImageButton::CaptionPlacement(RECT* rect) const
{
    RECT r{0, 0, m_width, m_height};
    if (m_hWnd) GetClientRect(m_hWnd, &r);
    r.top = m_captionTop != 0 ? m_captionTop : static_cast<LONG>(m_height / 3.5);
    r.left = m_captionLeft != 0 ? m_captionLeft : m_width / 3;
    *rect = r;
}

void CImageButton::DrawItem(const DRAWITEMSTRUCT* item)
{
    if (!item || !item->hDC) return;
    HBITMAP face = m_state == 1 ? m_first : m_state == 0 ? m_second : m_state == 2 ? m_third : nullptr;
    StretchFace(item->hDC, face, item->rcItem);
    if (m_hasCaption) {
        LOGFONTW font;
        CaptionFont(&font);
        RECT rect;
        CaptionPlacement(&rect);
        DrawCaptionText(item->hDC, font, m_textColor, m_caption, rect, 0);
    }
}

void CImageButton::Destroy()
{
    Release(m_first);
    Release(m_second);
    Release(m_third);
    if (m_hWnd) {
        if (IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
}
