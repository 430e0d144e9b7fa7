// Dialogs from templates: parsing the stored template, dialog units from the
// dialog font, the dialog manager's default processing and the modal loop,
// which runs on whichever thread calls it.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/user/UserInternal.h"

using namespace qplat::user;

namespace {

constexpr size_t kTemplateLimit = 1 << 16;  // no template of the program comes close

struct Reader {
    const uint8_t* base;
    size_t pos = 0;
    size_t limit = kTemplateLimit;
    bool ok = true;

    WORD Word()
    {
        if (pos + 2 > limit) {
            ok = false;
            return 0;
        }
        WORD v;
        std::memcpy(&v, base + pos, 2);
        pos += 2;
        return v;
    }
    DWORD Dword()
    {
        DWORD lo = Word();
        DWORD hi = Word();
        return lo | (hi << 16);
    }
    short Short() { return static_cast<short>(Word()); }
    // A text, or an ordinal (0xFFFF then the number), or nothing (0).
    void SzOrOrd(std::u16string& text, WORD& ordinal, bool& isOrdinal)
    {
        text.clear();
        ordinal = 0;
        isOrdinal = false;
        WORD first = Word();
        if (!ok || first == 0) return;
        if (first == 0xFFFF) {
            ordinal = Word();
            isOrdinal = true;
            return;
        }
        text.push_back(static_cast<char16_t>(first));
        for (;;) {
            WORD c = Word();
            if (!ok || c == 0) return;
            text.push_back(static_cast<char16_t>(c));
        }
    }
    void AlignDword() { pos = (pos + 3) & ~static_cast<size_t>(3); }
};

struct ItemTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    std::u16string className;
    WORD classOrdinal = 0;
    bool classIsOrdinal = false;
    std::u16string title;
    WORD titleOrdinal = 0;
    bool titleIsOrdinal = false;
    std::vector<uint8_t> creationData;
};

struct DialogTemplate {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::u16string className;
    WORD classOrdinal = 0;
    bool classIsOrdinal = false;
    std::u16string title;
    WORD pointSize = 0;
    WORD weight = 400;
    BYTE italic = 0;
    std::u16string face;
    std::vector<ItemTemplate> items;
};

bool Parse(const void* data, DialogTemplate& out)
{
    Reader r{static_cast<const uint8_t*>(data)};
    WORD first = r.Word();
    WORD second = r.Word();
    bool extended = first == 1 && second == 0xFFFF;
    WORD count;
    if (extended) {
        r.Dword();  // help id
        out.exStyle = r.Dword();
        out.style = r.Dword();
    } else {
        out.style = static_cast<DWORD>(first) | (static_cast<DWORD>(second) << 16);
        out.exStyle = r.Dword();
    }
    count = r.Word();
    out.x = r.Short();
    out.y = r.Short();
    out.cx = r.Short();
    out.cy = r.Short();
    std::u16string menu;
    WORD ord;
    bool isOrd;
    r.SzOrOrd(menu, ord, isOrd);
    r.SzOrOrd(out.className, out.classOrdinal, out.classIsOrdinal);
    WORD titleOrd;
    bool titleIsOrd;
    r.SzOrOrd(out.title, titleOrd, titleIsOrd);
    if (out.style & DS_SETFONT) {
        out.pointSize = r.Word();
        if (extended) {
            out.weight = r.Word();
            WORD italicCharset = r.Word();
            out.italic = static_cast<BYTE>(italicCharset & 0xFF);
        }
        WORD o;
        bool io;
        r.SzOrOrd(out.face, o, io);
    }
    if (!r.ok || count > 1000) return false;
    for (WORD i = 0; i < count; ++i) {
        r.AlignDword();
        ItemTemplate item;
        if (extended) {
            r.Dword();  // help id
            item.exStyle = r.Dword();
            item.style = r.Dword();
        } else {
            item.style = r.Dword();
            item.exStyle = r.Dword();
        }
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = extended ? r.Dword() : r.Word();
        r.SzOrOrd(item.className, item.classOrdinal, item.classIsOrdinal);
        r.SzOrOrd(item.title, item.titleOrdinal, item.titleIsOrdinal);
        WORD extra = r.Word();
        if (!r.ok || r.pos + extra > r.limit) return false;
        item.creationData.assign(r.base + r.pos, r.base + r.pos + extra);
        r.pos += extra;
        if (!r.ok) return false;
        out.items.push_back(std::move(item));
    }
    return r.ok;
}

const char16_t* BuiltinClassName(WORD ordinal)
{
    switch (ordinal) {
    case 0x0080: return u"BUTTON";
    case 0x0081: return u"EDIT";
    case 0x0082: return u"STATIC";
    case 0x0083: return u"LISTBOX";
    case 0x0084: return u"SCROLLBAR";
    case 0x0085: return u"COMBOBOX";
    default: return nullptr;
    }
}

// Base units of a font: the average width of the Latin letters and the
// character height, as the dialog manager measures them.
void BaseUnits(HFONT font, double& bx, double& by)
{
    bx = 8;
    by = 16;
    HDC screen = GetDC(nullptr);
    if (!screen) return;
    HDC dc = CreateCompatibleDC(screen);
    if (dc) {
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        TEXTMETRICW tm{};
        SIZE size{};
        static const char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
        if (GetTextMetricsW(dc, &tm) && GetTextExtentPoint32W(dc, kLetters, 52, &size) && size.cx > 0 &&
            tm.tmHeight > 0) {
            bx = size.cx / 52.0;
            by = tm.tmHeight;
        }
        if (old) SelectObject(dc, old);
        DeleteDC(dc);
    }
    ReleaseDC(nullptr, screen);
}

int DuToPixels(int du, double base, int divisor)
{
    return static_cast<int>(std::lround(du * base / divisor));
}

HWND FirstTabStop(HWND dialog)
{
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        LONG_PTR style = GetWindowLongW(h, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) return h;
    }
    return nullptr;
}

HWND CreateFromTemplate(HINSTANCE instance, const DLGTEMPLATE* tmpl, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal)
{
    if (!tmpl) return nullptr;
    DialogTemplate t;
    if (!Parse(tmpl, t)) {
        OutputDebugStringW(u"dialog: the template cannot be read\n");
        return nullptr;
    }
    EnsureBuiltinClasses();
    HFONT font = nullptr;
    if ((t.style & DS_SETFONT) && t.pointSize) {
        LOGFONTW lf{};
        lf.lfHeight = -static_cast<LONG>(std::lround(t.pointSize * 96.0 / 72.0));
        lf.lfWeight = t.weight;
        lf.lfItalic = t.italic;
        qplat::CopyField(lf.lfFaceName, LF_FACESIZE, t.face.c_str());
        font = CreateFontIndirectW(&lf);
    }
    double bx, by;
    BaseUnits(font, bx, by);

    if (owner) {
        std::lock_guard<std::mutex> g(S().lock);
        owner = RootLocked(owner);
    }
    DWORD style = t.style & ~static_cast<DWORD>(WS_VISIBLE | WS_CHILD);
    if (!(style & WS_POPUP)) style |= WS_POPUP;
    RECT insets = InsetsFor(style, t.exStyle);
    int cw = DuToPixels(t.cx, bx, 4), ch = DuToPixels(t.cy, by, 8);
    int w = cw + insets.left + insets.right, h = ch + insets.top + insets.bottom;
    int x = DuToPixels(t.x, bx, 4), y = DuToPixels(t.y, by, 8);
    if (owner && !(t.style & DS_ABSALIGN)) {
        POINT o{0, 0};
        ClientToScreen(owner, &o);
        x += o.x;
        y += o.y;
    }
    // The program's screens are templates at (0, 0) sized to fill the screen
    // in the handheld's dialog font. Font metrics differ a little from host to
    // host; such a template covers the screen exactly, so that no strip of the
    // window below shows and nothing of the screen's layout falls off it.
    if (t.x == 0 && t.y == 0 && !(t.style & DS_CENTER) && w * 100 >= qplat::kScreenWidth * 85 &&
        w * 100 <= qplat::kScreenWidth * 115 && h * 100 >= qplat::kScreenHeight * 85 &&
        h * 100 <= qplat::kScreenHeight * 115) {
        x = 0;
        y = 0;
        w = qplat::kScreenWidth;
        h = qplat::kScreenHeight;
    }
    if (t.style & DS_CENTER) {
        x = (qplat::kScreenWidth - w) / 2;
        y = (qplat::kScreenHeight - h) / 2;
    }
    LPCWSTR cls = u"#32770";
    if (!t.className.empty()) cls = t.className.c_str();
    HWND dlg = CreateWindowExW(t.exStyle, cls, t.title.c_str(), style, x, y, w, h, owner, nullptr, instance, nullptr);
    if (!dlg) {
        if (font) DeleteObject(font);
        return nullptr;
    }
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto win = FindLocked(dlg);
        if (win) {
            win->isDialog = true;
            win->dlgProc = proc;
            win->dlgFont = font;
            win->ownsDlgFont = font != nullptr;
            win->font = font;
        }
    }
    for (auto& item : t.items) {
        std::u16string className = item.className;
        if (item.classIsOrdinal) {
            const char16_t* name = BuiltinClassName(item.classOrdinal);
            if (!name) continue;
            className = name;
        }
        std::u16string title = item.title;
        if (item.titleIsOrdinal) {
            title.clear();
            title.push_back(u'\xFFFF');
            title.push_back(static_cast<char16_t>(item.titleOrdinal));
        }
        HWND c = CreateWindowExW(item.exStyle | WS_EX_NOPARENTNOTIFY, className.c_str(), title.c_str(),
                                 (item.style | WS_CHILD) & ~static_cast<DWORD>(WS_POPUP), DuToPixels(item.x, bx, 4),
                                 DuToPixels(item.y, by, 8), DuToPixels(item.cx, bx, 4), DuToPixels(item.cy, by, 8), dlg,
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(item.id & 0xFFFF)), instance,
                                 item.creationData.empty() ? nullptr : item.creationData.data());
        if (!c) {
            // One missing control leaves the rest of the screen usable.
            OutputDebugStringW(u"dialog: a control of the template could not be created\n");
            continue;
        }
        if (font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    if (!IsWindow(dlg)) return nullptr;
    HWND focus = FirstTabStop(dlg);
    if (SendMessageW(dlg, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && focus && IsWindow(focus))
        SetFocus(focus);
    if (!IsWindow(dlg)) return nullptr;
    if (!modal && (t.style & WS_VISIBLE)) ShowWindow(dlg, SW_SHOW);
    return dlg;
}

bool UsesReturnValue(UINT msg)
{
    return (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM || msg == WM_INITDIALOG ||
           msg == 0x002E /* WM_VKEYTOITEM */ || msg == 0x002F /* WM_CHARTOITEM */ || msg == 0x0037 /* WM_QUERYDRAGICON */;
}

}  // namespace

namespace qplat::user {

LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    DLGPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        if (!w) return 0;
        proc = w->dlgProc;
        w->msgResult = 0;
    }
    if (proc) {
        INT_PTR handled = proc(hwnd, msg, wParam, lParam);
        if (handled) {
            if (UsesReturnValue(msg)) return handled;
            std::lock_guard<std::mutex> g(S().lock);
            auto w = FindLocked(hwnd);
            return w ? w->msgResult : 0;
        }
    }
    return DefDlgProcW(hwnd, msg, wParam, lParam);
}

}  // namespace qplat::user

LRESULT DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
        if (!brush) brush = GetSysColorBrush(COLOR_WINDOW);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, brush);
        return 1;
    }
    case WM_CLOSE: {
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_NCDESTROY: {
        HFONT font = nullptr;
        {
            std::lock_guard<std::mutex> g(S().lock);
            auto w = FindLocked(hwnd);
            if (w && w->ownsDlgFont) {
                font = w->dlgFont;
                w->dlgFont = nullptr;
                w->ownsDlgFont = false;
            }
        }
        if (font) DeleteObject(font);
        return 0;
    }
    case DM_GETDEFID: {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(hwnd);
        return (w && w->defId) ? MAKELRESULT(w->defId, DC_HASDEFID) : 0;
    }
    case DM_SETDEFID: {
        std::lock_guard<std::mutex> g(S().lock);
        if (auto w = FindLocked(hwnd)) w->defId = static_cast<LONG_PTR>(wParam);
        return TRUE;
    }
    case WM_NEXTDLGCTL: {
        HWND target = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam) : GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
        if (target) SetFocus(target);
        return 0;
    }
    case WM_CTLCOLORDLG:
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND owner, DLGPROC proc,
                                LPARAM initParam)
{
    return CreateFromTemplate(instance, dlgTemplate, owner, proc, initParam, false);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM initParam)
{
    HRSRC r = FindResourceW(instance, name, RT_DIALOG);
    HGLOBAL data = r ? LoadResource(instance, r) : nullptr;
    auto tmpl = static_cast<const DLGTEMPLATE*>(data ? LockResource(data) : nullptr);
    return tmpl ? CreateDialogIndirectParamW(instance, tmpl, owner, proc, initParam) : nullptr;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dlgTemplate, HWND owner, DLGPROC proc,
                                LPARAM initParam)
{
    // A dialog that cannot start answers 0: callers read any non-zero answer
    // as a confirmation.
    if (!dlgTemplate) return 0;
    HWND root = nullptr;
    if (owner) {
        std::lock_guard<std::mutex> g(S().lock);
        root = RootLocked(owner);
    }
    HWND dlg = CreateFromTemplate(instance, dlgTemplate, root, proc, initParam, true);
    if (!dlg) return 0;
    bool disabledOwner = false;
    if (root && IsWindowEnabled(root)) {
        EnableWindow(root, FALSE);
        disabledOwner = true;
    }
    auto w = Find(dlg);
    if (!w) {
        if (disabledOwner && IsWindow(root)) EnableWindow(root, TRUE);
        return 0;
    }
    bool ended = false;
    {
        std::lock_guard<std::mutex> g(S().lock);
        ended = w->ended;
    }
    if (!ended) {
        ShowWindow(dlg, SW_SHOW);
        UpdateWindow(dlg);
    }
    MSG msg;
    for (;;) {
        {
            std::lock_guard<std::mutex> g(S().lock);
            if (w->ended || w->dead) break;
        }
        if (!GetMessageW(&msg, nullptr, 0, 0)) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the outer loop ends too
            break;
        }
        if (!IsDialogMessageW(dlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result;
    {
        std::lock_guard<std::mutex> g(S().lock);
        result = w->ended ? w->endResult : 0;
    }
    if (disabledOwner && IsWindow(root)) EnableWindow(root, TRUE);
    if (IsWindow(dlg)) DestroyWindow(dlg);
    if (root && IsWindow(root)) SetActiveWindow(root);
    return result;
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND owner, DLGPROC proc, LPARAM initParam)
{
    HRSRC r = FindResourceW(instance, name, RT_DIALOG);
    HGLOBAL data = r ? LoadResource(instance, r) : nullptr;
    auto tmpl = static_cast<const DLGTEMPLATE*>(data ? LockResource(data) : nullptr);
    return tmpl ? DialogBoxIndirectParamW(instance, tmpl, owner, proc, initParam) : 0;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    std::shared_ptr<ThreadQueue> q;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(dialog);
        if (!w || !w->isDialog) return FALSE;
        if (w->ended) return TRUE;
        w->ended = true;
        w->endResult = result;
        UncoverLocked(*w);
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        q = w->queue;
        WakeLocked(*q);
    }
    qplat::user::ScreenChanged();
    // The modal loop looks at the flag after each message; make sure one comes.
    PostMessageW(dialog, WM_NULL, 0, 0);
    return TRUE;
}

LONG GetDialogBaseUnits()
{
    double bx, by;
    BaseUnits(nullptr, bx, by);
    return MAKELONG(static_cast<WORD>(std::lround(bx)), static_cast<WORD>(std::lround(by)));
}

BOOL MapDialogRect(HWND dialog, LPRECT rect)
{
    if (!rect) return FALSE;
    HFONT font = nullptr;
    {
        std::lock_guard<std::mutex> g(S().lock);
        auto w = FindLocked(dialog);
        if (!w || !w->isDialog) return FALSE;
        font = w->dlgFont;
    }
    double bx, by;
    BaseUnits(font, bx, by);
    rect->left = DuToPixels(rect->left, bx, 4);
    rect->right = DuToPixels(rect->right, bx, 4);
    rect->top = DuToPixels(rect->top, by, 8);
    rect->bottom = DuToPixels(rect->bottom, by, 8);
    return TRUE;
}

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous)
{
    std::vector<HWND> stops;
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
        LONG_PTR style = GetWindowLongW(h, GWL_STYLE);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED)) stops.push_back(h);
    }
    if (stops.empty()) return nullptr;
    auto it = std::find(stops.begin(), stops.end(), control);
    if (it == stops.end()) return previous ? stops.back() : stops.front();
    if (previous) return it == stops.begin() ? stops.back() : *(it - 1);
    return (it + 1 == stops.end()) ? stops.front() : *(it + 1);
}

BOOL IsDialogMessageW(HWND, LPMSG)
{
    return FALSE;  // no keyboard on the handheld: every message is dispatched as it is
}
