// A script of stylus taps for a headless run of the program (see
// ProgramScript.h), written the way an operator works the screens: taps on
// the start screen and on the full-screen dialogs, typing on the on-screen
// keyboard, snapshots. Needs the user-interface library (the keyboard's key
// tables and the bitmap sizes).
#pragma once

#include <algorithm>
#include <string>

#include "tests/support/ProgramScript.h"
#include "ui/KeyboardDlg.h"
#include "ui/OwnerButton.h"

namespace qtest {

// Await, AwaitGone, Wait and Snap as in ProgramScript.h (what to await, and
// where a wait still belongs).
class TapScript : public ScriptActions<TapScript> {
public:
    TapScript() { text_ = "wait 300\n"; }
    // A tap at a screen pixel.
    TapScript& TapScreen(int x, int y)
    {
        return Add("tap " + std::to_string(x) + " " + std::to_string(y) + "\nwait 150\n");
    }
    // A tap in client coordinates of a full-screen dialog, whose client area
    // starts one pixel in, inside its thin border.
    TapScript& Tap(int x, int y) { return TapScreen(x + 1, y + 1); }
    // The middle of a control placed at (x, y) with the size.
    TapScript& TapBox(int x, int y, int width, int height) { return Tap(x + width / 2, y + height / 2); }
    TapScript& TapTwice(int x, int y)
    {
        Add("tap " + std::to_string(x + 1) + " " + std::to_string(y + 1) + "\n");
        return Tap(x, y);
    }
    TapScript& PowerKey() { return Add("power\nwait 150\n"); }
    // Typing on the digit keys of the keyboard.
    TapScript& Type(const std::u16string& digits) { return TypeOn(g_keysDigits, KEYS_DIGITS, &KeyboardKey::label1, digits); }
    // Typing small Latin letters and blanks on the letters keyboard (the
    // shift off, as it opens).
    TapScript& TypeLetters(const std::u16string& text)
    {
        size_t from = 0;
        for (size_t blank = text.find(u' '); blank != std::u16string::npos; blank = text.find(u' ', from)) {
            TypeOn(g_keysLatin, KEYS_LATIN, &KeyboardKey::label2, text.substr(from, blank - from));
            TapBox(120, 223, BitmapWidth(519), BitmapHeight(519));  // the space bar
            from = blank + 1;
        }
        return TypeOn(g_keysLatin, KEYS_LATIN, &KeyboardKey::label2, text.substr(from));
    }
    TapScript& Backspace(int times)
    {
        for (int i = 0; i < times; ++i) TapBox(405, 77, BitmapWidth(538), BitmapHeight(538));
        return *this;
    }
    TapScript& KeyboardOk() { return TapBox(415, 213, BitmapWidth(517), BitmapHeight(517)); }
    // The confirming button at the bottom of the settings screens.
    TapScript& Confirm() { return TapBox(170, 223, 141, 41); }
    // Every screen's back button.
    TapScript& Back() { return TapBox(435, 7, 36, 36); }
    std::string Text() const { return text_ + "quit\n"; }
    // The actions so far, for a runner that ends the script itself.
    const std::string& Actions() const { return text_; }

private:
    using Label = WCHAR (KeyboardKey::*)[KEYBOARD_LABEL_CHARS];
    TapScript& TypeOn(const KeyboardKey* keys, int count, Label label, const std::u16string& text)
    {
        BuildKeyboardTables();
        for (char16_t c : text)
            for (int i = 0; i < count; ++i)
                if ((keys[i].*label)[0] == c && (keys[i].*label)[1] == 0) {
                    TapBox(keys[i].x, keys[i].y, keys[i].width, keys[i].height);
                    break;
                }
        return *this;
    }
    static int BitmapWidth(int id) { return std::max(20, static_cast<int>(GetResourceBitmapSize(nullptr, id).cx)); }
    static int BitmapHeight(int id) { return std::max(20, static_cast<int>(GetResourceBitmapSize(nullptr, id).cy)); }
};

}  // namespace qtest
