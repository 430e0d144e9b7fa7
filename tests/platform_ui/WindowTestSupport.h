// Helpers of the window-system tests: a window class that records the
// messages it receives, and a builder of dialog templates in their stored
// binary layout.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/WinGdi.h"
#include "platform/WinKernel.h"
#include "platform/WinUser.h"
#include "tests/platform_ui/GdiTestSupport.h"

namespace qtest {

struct LoggedMessage {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    DWORD thread;
};

class MessageLog {
public:
    void Add(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        std::lock_guard<std::mutex> g(lock_);
        entries_.push_back(LoggedMessage{h, m, w, l, GetCurrentThreadId()});
    }
    void Clear()
    {
        std::lock_guard<std::mutex> g(lock_);
        entries_.clear();
    }
    std::vector<LoggedMessage> All()
    {
        std::lock_guard<std::mutex> g(lock_);
        return entries_;
    }
    // The messages of one window (only those in `interesting` when given).
    std::vector<UINT> For(HWND h, const std::vector<UINT>& interesting = {})
    {
        std::vector<UINT> out;
        for (auto& e : All()) {
            if (e.hwnd != h) continue;
            if (!interesting.empty() && std::find(interesting.begin(), interesting.end(), e.msg) == interesting.end())
                continue;
            out.push_back(e.msg);
        }
        return out;
    }
    int Count(HWND h, UINT m)
    {
        int n = 0;
        for (auto& e : All())
            if (e.hwnd == h && e.msg == m) ++n;
        return n;
    }

private:
    std::mutex lock_;
    std::vector<LoggedMessage> entries_;
};

inline MessageLog& Log()
{
    static MessageLog log;
    return log;
}

// Optional per-test handler: return true when it answered the message.
using Handler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT&)>;
inline Handler& TestHandler()
{
    static Handler handler;
    return handler;
}

inline LRESULT CALLBACK RecordingProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    Log().Add(h, m, w, l);
    LRESULT r = 0;
    if (TestHandler() && TestHandler()(h, m, w, l, r)) return r;
    return DefWindowProcW(h, m, w, l);
}

inline const char16_t* RecorderClass()
{
    static bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = RecordingProc;
        wc.cbWndExtra = 16;
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        wc.lpszClassName = u"QavTestRecorder";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return u"QavTestRecorder";
}

inline HWND MakeTop(int x, int y, int w, int h, DWORD style = WS_POPUP | WS_VISIBLE, HWND owner = nullptr)
{
    return CreateWindowExW(0, RecorderClass(), u"top", style, x, y, w, h, owner, nullptr, nullptr, nullptr);
}

inline HWND MakeChild(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE)
{
    return CreateWindowExW(0, RecorderClass(), u"child", style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
}

// Runs the user-interface thread's loop until WM_QUIT (true, `m` holding it)
// or, as a hang guard, a 60 s timer on `timerWindow` (false).
inline bool RunUntilQuit(HWND timerWindow, MSG& m)
{
    SetTimer(timerWindow, 0x5EC, 60000, nullptr);
    bool quit = false;
    for (;;) {
        if (!GetMessageW(&m, nullptr, 0, 0)) {
            quit = true;
            break;
        }
        if (m.message == WM_TIMER && m.wParam == 0x5EC) break;
        DispatchMessageW(&m);
    }
    if (IsWindow(timerWindow)) KillTimer(timerWindow, 0x5EC);
    return quit;
}

// Runs `script` under the headless presenter until WM_QUIT (true) or the
// guard (false, see RunUntilQuit); what it says on standard error meanwhile
// goes to `note`.
inline bool RunScript(const std::string& script, HWND timerWindow, MSG& m, std::string* note = nullptr)
{
    std::string error;
    if (!qplat::SetInputScript(script, &error)) {
        ADD_FAILURE() << "the script is refused: " << error;
        return false;
    }
    testing::internal::CaptureStderr();
    const bool started = qplat::StartPresenter(qplat::PresenterKind::Headless);
    EXPECT_TRUE(started);
    const bool quit = started && RunUntilQuit(timerWindow, m);
    qplat::StopPresenter();
    const std::string said = testing::internal::GetCapturedStderr();
    if (note) *note = said;
    return quit;
}

// Resets the per-test state of the window system helpers.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Log().Clear();
        TestHandler() = nullptr;
        qplat::ProcessPendingMessages();
    }
    void TearDown() override
    {
        TestHandler() = nullptr;  // it may refer to the finished test's locals
        for (HWND h : made_)
            if (IsWindow(h)) DestroyWindow(h);
        qplat::ProcessPendingMessages();
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    HWND Keep(HWND h)
    {
        made_.push_back(h);
        return h;
    }
    // A stylus tap, handled before it returns.
    static void Tap(int x, int y)
    {
        qplat::StylusTap(x, y);
        qplat::ProcessPendingMessages();
    }

private:
    std::vector<HWND> made_;
};

// Builds a DLGTEMPLATE with its items as the resources store it.
class TemplateBuilder {
public:
    TemplateBuilder(DWORD style, short x, short y, short cx, short cy, const char16_t* face = nullptr,
                    WORD points = 0)
    {
        if (face) style |= DS_SETFONT;
        Dword(style);
        Dword(0);
        countAt_ = bytes_.size();
        Word(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // the dialog class
        Word(0);  // no title
        if (face) {
            Word(points);
            Text(face);
        }
    }
    TemplateBuilder& Item(WORD classOrdinal, const char16_t* title, DWORD style, short x, short y, short cx, short cy,
                          WORD id)
    {
        while (bytes_.size() % 4) bytes_.push_back(0);
        Dword(style);
        Dword(0);
        Word(static_cast<WORD>(x));
        Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx));
        Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF);
        Word(classOrdinal);
        if (title) Text(title);
        else Word(0);
        Word(0);  // no creation data
        ++count_;
        std::memcpy(bytes_.data() + countAt_, &count_, 2);
        return *this;
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_()); }

private:
    const void* words_() const
    {
        storage_.assign((bytes_.size() + 3) / 4, 0);
        std::memcpy(storage_.data(), bytes_.data(), bytes_.size());
        return storage_.data();
    }
    void Word(WORD w)
    {
        bytes_.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes_.push_back(static_cast<uint8_t>(w >> 8));
    }
    void Dword(DWORD d)
    {
        Word(static_cast<WORD>(d & 0xFFFF));
        Word(static_cast<WORD>(d >> 16));
    }
    void Text(const char16_t* s)
    {
        for (; *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    std::vector<uint8_t> bytes_;
    mutable std::vector<uint32_t> storage_;
    size_t countAt_ = 0;
    WORD count_ = 0;
};

// Paints a window's whole client area in one colour.
inline void Fill(HWND h, COLORREF c)
{
    HDC dc = GetDC(h);
    RECT r;
    GetClientRect(h, &r);
    FillWith(dc, r, c);
    ReleaseDC(h, dc);
}

}  // namespace qtest
