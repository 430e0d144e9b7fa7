// The screen of the handheld on the host: the compositor that builds the
// 480 x 272 screen from the windows' surfaces, the two presenters (an
// in-memory one for tests and scripted runs, an SDL2 window for people), and
// the input that stands in for the stylus and the power key.
//
// Only the user-interface thread presents. Input may be injected from the
// user-interface thread (or a test's thread); it is queued to the windows'
// threads as messages.
#pragma once

#include <memory>
#include <string>

#include "platform/WinDef.h"
#include "platform/gdi/Surface.h"

namespace qplat {

enum class PresenterKind { None, Headless, Window };

// Starts a presenter on the calling thread, which becomes the user-interface
// thread. While the device sleeps it shows a dark screen. Window: FALSE when
// no display can be opened (none announced, and no driver that shows nothing
// named: UnseenDriverNamed), and when SDL has only a driver that shows nothing
// (its off-screen or dummy driver, which it falls back to when the announced
// display does not answer) that SDL_VIDEODRIVER does not name (the caller
// then falls back to Headless). Starting again replaces the previous
// presenter.
//
// While a presenter runs, SIGTERM and SIGINT ask the program to close (see
// RequestClose) the next time the user-interface thread is idle or a long
// call holding it asks (platform/HeldCall.h), with a line on standard error;
// a second such signal ends the process at once.
bool StartPresenter(PresenterKind kind);
// Ends the presenter (closes the SDL window, gives the signals back); the
// windows stay.
void StopPresenter();
PresenterKind ActivePresenter();
// True when a display is announced ($DISPLAY or $WAYLAND_DISPLAY).
bool DisplayAvailable();
// True when SDL_VIDEODRIVER names a driver that shows nothing (offscreen,
// dummy): whoever named it wants the window there, with a display announced
// or without one.
bool UnseenDriverNamed();

// ---- the composed screen
// Composes the screen now (every visible window in z-order) and returns a
// copy. Works with or without a presenter.
Surface ComposeScreen();
// One pixel of the composed screen as a COLORREF (0xFFFFFFFF outside).
COLORREF ScreenPixel(int x, int y);
// Writes the composed screen as a PNG file; false when it cannot be written.
bool SaveScreenPng(const std::string& hostPath);

// ---- input (screen coordinates)
// The stylus goes to the window under the point (the topmost visible one, a
// disabled child passing it to its parent; nothing when the top-level window
// there is disabled), or to the window that holds the capture. On a sleeping
// device (platform/PowerSleep.h) the stylus going down only wakes it, and
// nothing of that tap reaches a window.
void StylusDown(int x, int y);
void StylusMove(int x, int y);
void StylusUp(int x, int y);
void StylusTap(int x, int y);
// The power key: `message` (WM_POWERKEY or WM_POWERKEY_SHELL) is posted to the
// active window (the screen in front), else to the program's main window.
// In the SDL window, F12 (and a keyboard's own power key) is the power key.
// On a sleeping device it only wakes it.
void PowerKey(UINT message);

// ---- closing from the window system
// The program's main window: the oldest living top-level window without an
// owner whose class the program registered (not a dialog or a control). It
// is the first window the program made as long as that one lives. nullptr
// when there is none.
HWND ProgramMainWindow();
// The window system asks the program to close (the SDL window's close button,
// SIGTERM, SIGINT, the script's "close"): a sleeping device is woken, and
// WM_CLOSE is posted to the main window, which takes the program's orderly
// way out. It is not the power key.
// Without a main window the user-interface thread gets WM_QUIT (code 0).
// Safe from any thread.
void RequestClose();
// True while a close request (the WM_CLOSE RequestClose posted to the main
// window) or a WM_QUIT of the user-interface thread waits to be handled.
// While a presenter runs, a long platform call that holds the user-interface
// thread ends on it (platform/HeldCall.h). Safe from any thread.
bool CloseRequestWaiting();

// ---- scripted input
// One action a line: "tap x y", "press x y", "release x y", "move x y",
// "wait ms", "snapshot FILE.png", "power" (or "power key"), "close", "quit".
// Empty lines and lines starting with '#' are skipped. Returns false with a
// message naming the line when the text is not a valid script, a point of
// the stylus among them that lies outside the screen.
//
// A script that has carried out its last action without "quit" ends the
// program as "quit" does (WM_QUIT, code 0), once its last action's messages
// are handled, with a note on standard error; a call that holds the program
// meanwhile (platform/HeldCall.h) is not ended by that but runs to its end.
//
// "await x y RRGGBB [ms]" waits for an event on the screen: the script goes on
// as soon as the composed screen's pixel at (x, y) has that colour (red, green,
// blue in hexadecimal); "await x y !RRGGBB [ms]" until it no longer has it.
// The pixel is looked at whenever the program has handled what came before
// and after each frame, with short sleeps in between. `ms` (60000 when left
// out) is only a hang guard: when it runs out the script stops and the
// program ends (WM_QUIT, code 2) with a line on standard error naming the
// script line, the pixel's colour and the one awaited.
bool LoadInputScript(const std::string& hostPath, std::string* error);
bool SetInputScript(const std::string& text, std::string* error);
// Drops the script: nothing more is carried out and nothing ends.
void ClearInputScript();
// True when no script is loaded, or every action of the script has been
// carried out and the program was told to end.
bool InputScriptFinished();
// Carries out the script's next step if it is due (called by the presenters
// when the user-interface thread is idle). Returns the longest wait in ms the
// script allows before it should be asked again.
unsigned long RunInputScriptStep();
// The snapshot files written by the script, for its log.
int ScriptSnapshotsWritten();
// True when an action could not be carried out (a snapshot that cannot be
// written): the script then stopped and ended the program (WM_QUIT, code 2),
// with a message on standard error.
bool InputScriptFailed();

// The module handle the entry passes to WinMain.
HINSTANCE ProgramInstance();

}  // namespace qplat
