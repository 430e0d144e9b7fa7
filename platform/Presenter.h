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
// thread. Window: FALSE when no display can be opened (the caller then falls
// back to Headless). Starting again replaces the previous presenter.
bool StartPresenter(PresenterKind kind);
// Ends the presenter (closes the SDL window); the windows stay.
void StopPresenter();
PresenterKind ActivePresenter();
// True when a display is announced ($DISPLAY or $WAYLAND_DISPLAY).
bool DisplayAvailable();

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
// there is disabled), or to the window that holds the capture.
void StylusDown(int x, int y);
void StylusMove(int x, int y);
void StylusUp(int x, int y);
void StylusTap(int x, int y);
// The power key: `message` (WM_POWERKEY or WM_POWERKEY_SHELL) is posted to the
// active window (the screen in front), else to the program's main window.
void PowerKey(UINT message);

// ---- scripted input
// One action a line: "tap x y", "press x y", "release x y", "move x y",
// "wait ms", "snapshot FILE.png", "power", "quit". Empty lines and lines
// starting with '#' are skipped. Returns false with a message naming the line
// when the text is not a valid script.
bool LoadInputScript(const std::string& hostPath, std::string* error);
bool SetInputScript(const std::string& text, std::string* error);
// True when every action of the script has been carried out.
bool InputScriptFinished();
// Carries out the script's next step if it is due (called by the presenters
// when the user-interface thread is idle). Returns the longest wait in ms the
// script allows before it should be asked again.
unsigned long RunInputScriptStep();
// The snapshot files written by the script, for its log.
int ScriptSnapshotsWritten();

// The module handle the entry passes to WinMain.
HINSTANCE ProgramInstance();

}  // namespace qplat
