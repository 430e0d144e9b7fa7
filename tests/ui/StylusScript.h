// A script of stylus taps for a headless run of the program itself
// (qtest::RunProgramScript), written in client coordinates of the full-screen
// dialogs, whose client area starts one pixel in, inside their thin border.
// The keyboard is typed on by its keys' places, as an operator would.
#pragma once

#include <algorithm>
#include <string>

#include "ui/KeyboardDlg.h"
#include "ui/OwnerButton.h"

namespace qtest {

class StylusScript {
public:
    StylusScript& Tap(int x, int y)
    {
        text_ += "tap " + std::to_string(x + 1) + " " + std::to_string(y + 1) + "\nwait 150\n";
        return *this;
    }
    // The middle of a control placed at (x, y) with the size.
    StylusScript& TapBox(int x, int y, int width, int height) { return Tap(x + width / 2, y + height / 2); }
    StylusScript& TapTwice(int x, int y)
    {
        text_ += "tap " + std::to_string(x + 1) + " " + std::to_string(y + 1) + "\n";
        return Tap(x, y);
    }
    StylusScript& Wait(int ms)
    {
        text_ += "wait " + std::to_string(ms) + "\n";
        return *this;
    }
    StylusScript& Snap(const std::string& file)
    {
        text_ += "snapshot " + file + "\n";
        return *this;
    }
    StylusScript& PowerKey()
    {
        text_ += "power\nwait 150\n";
        return *this;
    }
    // Typing on the digit keys of the digits keyboard.
    StylusScript& Type(const std::u16string& digits)
    {
        BuildKeyboardTables();
        for (char16_t c : digits)
            for (const KeyboardKey& k : g_keysDigits)
                if (k.label1[0] == c) TapBox(k.x, k.y, k.width, k.height);
        return *this;
    }
    // Typing on the Latin keys of the letters keyboard: small letters and
    // blanks (the keyboard opens with shift off).
    StylusScript& Letters(const std::u16string& text)
    {
        BuildKeyboardTables();
        for (char16_t c : text) {
            if (c == u' ') {
                TapBox(120, 223, BitmapWidth(519), BitmapHeight(519));
                continue;
            }
            for (const KeyboardKey& k : g_keysLatin)
                if (k.label2[0] == c) TapBox(k.x, k.y, k.width, k.height);
        }
        return *this;
    }
    StylusScript& Backspace(int times)
    {
        for (int i = 0; i < times; ++i) TapBox(405, 77, BitmapWidth(538), BitmapHeight(538));
        return *this;
    }
    StylusScript& KeyboardOk() { return TapBox(415, 213, BitmapWidth(517), BitmapHeight(517)); }
    StylusScript& Confirm() { return TapBox(170, 223, 141, 41); }
    StylusScript& Back() { return TapBox(435, 7, 36, 36); }
    std::string Text() const { return text_ + "quit\n"; }

private:
    static int BitmapWidth(int id) { return std::max(20, static_cast<int>(GetResourceBitmapSize(nullptr, id).cx)); }
    static int BitmapHeight(int id) { return std::max(20, static_cast<int>(GetResourceBitmapSize(nullptr, id).cy)); }
    std::string text_ = "wait 300\n";
};

}  // namespace qtest
