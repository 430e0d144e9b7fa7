// Inside platform/ only: the state of the window system shared by its source
// files and the presenters. One lock guards every window, class, queue and
// timer; it is never held while a window procedure runs, so procedures may
// call back into the window system from any thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/WinGdi.h"
#include "platform/WinUser.h"
#include "platform/gdi/Surface.h"

namespace qplat::user {

struct ClassInfo {
    std::u16string name;
    std::u16string folded;
    WNDCLASSW wc{};
    ATOM atom = 0;
    bool system = false;
};

struct ThreadQueue;

struct SentMessage {
    HWND hwnd = nullptr;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    std::shared_ptr<ThreadQueue> sender;
};

struct ThreadQueue {
    DWORD threadId = 0;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    bool quitPosted = false;
    int quitCode = 0;
    bool alive = true;
    int inSend = 0;  // nesting of messages sent by other threads being handled
    HWND focus = nullptr;
    DWORD lastTime = 0;
    POINT lastPos{0, 0};
    // Stylus releases taken from this queue so far, so that a control can
    // tell whether a nested loop (a modal screen opened from a notification
    // of its button-down) consumed the release it would wait for.
    unsigned long stylusUpsTaken = 0;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<ClassInfo> cls;
    std::shared_ptr<ThreadQueue> queue;
    WNDPROC proc = nullptr;
    HINSTANCE instance = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    std::u16string text;
    HWND parent = nullptr;  // children only
    HWND owner = nullptr;   // top-level windows only
    std::vector<HWND> children;  // z-order, topmost first
    RECT rect{};   // in the parent's client coordinates (top-level: the screen's)
    RECT insets{}; // non-client widths: left, top, right, bottom
    std::shared_ptr<Surface> surface;
    std::vector<uint8_t> extra;
    HFONT font = nullptr;

    // painting
    bool dirty = false;
    bool erase = false;
    RECT update{};  // client coordinates
    unsigned beginPaints = 0;
    bool frameDirty = true;

    // dialogs
    bool isDialog = false;
    DLGPROC dlgProc = nullptr;
    LRESULT msgResult = 0;
    LONG_PTR dlgUser = 0;
    bool ended = false;
    INT_PTR endResult = 0;
    HFONT dlgFont = nullptr;
    bool ownsDlgFont = false;
    LONG_PTR defId = 0;

    // Window scroll bars (WS_HSCROLL/WS_VSCROLL) that currently take room.
    bool barH = false;
    bool barV = false;

    bool destroying = false;
    bool dead = false;

    int ClientWidth() const { return (rect.right - rect.left) - insets.left - insets.right; }
    int ClientHeight() const { return (rect.bottom - rect.top) - insets.top - insets.bottom; }
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    DWORD due = 0;
    std::shared_ptr<ThreadQueue> queue;
};

struct State {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // z-order, topmost first
    std::vector<std::shared_ptr<ClassInfo>> classes;
    std::vector<std::shared_ptr<ClassInfo>> systemClasses;
    std::map<DWORD, std::weak_ptr<ThreadQueue>> queues;
    std::vector<Timer> timers;
    uintptr_t nextHandle = 1;
    ATOM nextAtom = 0xC000;
    UINT_PTR nextTimerId = 0x7F00;
    HWND capture = nullptr;
    HWND foreground = nullptr;
    HWND active = nullptr;
    DWORD uiThread = 0;
    bool uiThreadSet = false;
    bool stylusDown = false;
    POINT cursor{0, 0};
    // A press on a window scroll bar owns the stylus until it lifts.
    HWND barWindow = nullptr;
    int barWhich = 0;  // SB_HORZ or SB_VERT
    int barPart = 0;   // the SB_ code of the part pressed (SB_THUMBTRACK: the thumb)
    int barGrab = 0;   // stylus offset into the thumb along the bar
    int barTrack = 0;  // position the dragged thumb stands for
};

// The state; never destroyed (threads may outlive static destructors).
State& S();
// Bumped on every change that may alter the composed screen.
extern std::atomic<unsigned> g_screenVersion;
inline void ScreenChanged() { g_screenVersion.fetch_add(1, std::memory_order_relaxed); }

// The calling thread's queue (created on first use).
std::shared_ptr<ThreadQueue> CurrentQueue();

// Lookups under the lock.
std::shared_ptr<Window> FindLocked(HWND hwnd);
std::shared_ptr<Window> Find(HWND hwnd);
bool IsDescendantLocked(HWND ancestor, HWND hwnd);
// Client origin of a window in screen coordinates.
POINT ClientOriginLocked(const Window& w);
bool VisibleLocked(const Window& w);  // the window and all its ancestors
HWND RootLocked(HWND hwnd);

// Calls the window's procedure (on the calling thread).
LRESULT CallProc(const std::shared_ptr<Window>& w, UINT msg, WPARAM wParam, LPARAM lParam);
// Wakes the thread that owns the window (or the queue).
void WakeLocked(ThreadQueue& q);
void InvalidateLocked(Window& w, const RECT* rect, bool erase);
// A visible window about to be hidden or destroyed: the windows behind it
// get the part of the screen it covered invalidated, so that they paint
// what changed while it was in front (a caption in a new language).
void UncoverLocked(const Window& gone);
void KillWindowTimersLocked(HWND hwnd);
// The non-client frame (border and caption) drawn into the window's surface.
void DrawFrame(HWND hwnd);
// Non-client widths for a style.
RECT InsetsFor(DWORD style, DWORD exStyle);

// Shows or hides a window scroll bar (it takes non-client room while shown);
// WM_SIZE follows when the client changes. `redraw` repaints the bar anyway.
void SetWindowBar(HWND hwnd, int bar, bool shown, bool redraw);

// Layout of a shown window scroll bar, in window coordinates; positions run
// along the bar (x for SB_HORZ, y for SB_VERT).
struct BarLayout {
    RECT rect{};
    bool vertical = false;
    bool enabled = false;  // the range needs scrolling
    int trackStart = 0, trackEnd = 0;  // between the two arrows
    bool hasThumb = false;
    int thumbStart = 0, thumbLen = 0;
    int minPos = 0, maxPos = 0;  // positions the thumb can stand for
};
// False when the bar is not shown. `pos` places the thumb (default: nTrackPos).
bool LayoutBar(HWND hwnd, int bar, BarLayout& out, const int* pos = nullptr);
// The position a thumb starting at `thumbStart` stands for.
int BarPosAt(const BarLayout& l, int thumbStart);

// Dialog class procedure and registration of the built-in classes.
LRESULT CALLBACK DialogWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
void EnsureBuiltinClasses();
std::shared_ptr<ClassInfo> FindClassLocked(LPCWSTR name, HINSTANCE instance);

// Presenter hooks: called on the user-interface thread when it is about to
// wait for messages; returns the longest wait (ms) the presenter allows.
using IdleHook = DWORD (*)();
void SetIdleHook(IdleHook hook);

// Single-instance publication of a program's main window.
void PublishMainWindow(HWND hwnd, const std::u16string& className);
HWND FindRemoteWindow(const std::u16string& className, const std::u16string* title);
bool IsRemoteWindow(HWND hwnd);
bool BringRemoteToFront(HWND hwnd);
// Set when another program asked this one to come to the front.
extern std::atomic<bool> g_raiseRequested;

// Stylus releases retrieved by the calling thread's queue so far.
unsigned long StylusUpsTaken();

// Text helpers.
std::u16string Fold(std::u16string_view s);

}  // namespace qplat::user
