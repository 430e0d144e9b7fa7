// A message box as the program shows it, drawn in this process with the
// card's language, for a scripted run's snapshot to be held against: where
// its first button and its text are, and its picture. Needs the
// user-interface library.
#pragma once

#include <string>

#include "tests/support/ProgramScript.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/MessageDlg.h"

namespace qtest {

// The middle of a window on the screen, where a tap of the program's script
// lands on it.
inline Spot Centre(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return Spot{static_cast<int>((r.left + r.right) / 2), static_cast<int>((r.top + r.bottom) / 2)};
}

struct BoxPicture {
    Spot first{};
    RECT text{};
    qplat::Surface picture;
};

// Shows the box of `type` with `text` over `owner`, writes the screen into
// `snapshot` and closes the box with its first button.
inline BoxPicture DrawBox(HWND owner, int type, const std::u16string& text, const std::string& snapshot)
{
    constexpr int kFirstId = 343, kTextId = 345;  // the box's controls
    BoxPicture b;
    Then([&] {
        HWND box = FrontDialog();
        b.first = Centre(GetDlgItem(box, kFirstId));
        GetWindowRect(GetDlgItem(box, kTextId), &b.text);
        qplat::ProcessPendingMessages();
        EXPECT_TRUE(qplat::SaveScreenPng(snapshot)) << snapshot;
        HWND first = GetDlgItem(box, kFirstId);
        SendMessageW(box, WM_COMMAND, MAKEWPARAM(kFirstId, BN_CLICKED), reinterpret_cast<LPARAM>(first));
    });
    CMessageDlg box;
    box.Show(nullptr, owner, type, text.c_str());
    b.picture = ReadPngFile(snapshot);
    return b;
}

// Whether the screen shows the box's text where the box has it.
inline bool ShowsBoxText(const qplat::Surface& screen, const BoxPicture& box)
{
    return box.text.right > box.text.left && box.text.bottom > box.text.top && SameIn(screen, box.picture, box.text);
}

}  // namespace qtest
