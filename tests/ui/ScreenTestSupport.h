// Helpers for driving a screen from inside its modal loop: pressing its
// buttons, answering the message boxes it shows, reading its texts and list
// rows, and looking texts up in the current language.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Presenter.h"
#include "platform/WinText.h"
#include "platform/WinUser.h"
#include "settings/Language.h"
#include "settings/ParamFile.h"
#include "tests/ui/DialogTestSupport.h"
#include "ui/ControlWrappers.h"

namespace qtest {

// The message box's text control and its two buttons.
constexpr int kBoxTextId = 345;
constexpr int kBoxFirstButton = 343;  // yes, OK
constexpr int kBoxSecondButton = 344;  // no

inline std::u16string WindowText(HWND hwnd)
{
    WCHAR text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

// The command a tap on the control sends, sent at once: whatever the command
// opens (a message box, another screen) runs its modal loop inside this call.
inline void Press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Answers the next message boxes, one button each, keeping their texts. The
// answer after the first is queued only once the first box is answered, so
// each reaches its own box.
inline void AnswerBoxes(std::vector<std::u16string>* texts, std::vector<int> buttons)
{
    if (buttons.empty()) return;
    Then([texts, buttons] {
        HWND box = FrontDialog();
        texts->push_back(WindowText(GetDlgItem(box, kBoxTextId)));
        Press(box, buttons.front());
        AnswerBoxes(texts, std::vector<int>(buttons.begin() + 1, buttons.end()));
    });
}

inline void AnswerBox(std::vector<std::u16string>* texts, int button = kBoxFirstButton)
{
    AnswerBoxes(texts, {button});
}

// The on-screen keyboard's edit line and its OK and cancel keys.
constexpr int kKeyboardEditId = 476;
constexpr int kKeyboardOk = 802;
constexpr int kKeyboardCancel = 800;

// Types each text into the next keyboard (replacing what it showed, which
// goes to `shown` when given) and confirms it with OK; one keyboard a text,
// each queued once the one before is answered.
inline void TypeInKeyboards(std::vector<std::u16string> texts, std::vector<std::u16string>* shown = nullptr)
{
    if (texts.empty()) return;
    Then([texts, shown] {
        HWND keyboard = FrontDialog();
        HWND edit = GetDlgItem(keyboard, kKeyboardEditId);
        if (shown) shown->push_back(WindowText(edit));
        SetWindowTextW(edit, texts.front().c_str());
        Press(keyboard, kKeyboardOk);
        TypeInKeyboards(std::vector<std::u16string>(texts.begin() + 1, texts.end()), shown);
    });
}

// The text of a text id in the current language file.
inline std::u16string LanguageText(int id)
{
    CLanguage language;
    language.Load();
    return language.GetText(id);
}

inline std::u16string RowText(CListViewCtl& list, int row, int column)
{
    WCHAR text[256] = {};
    list.GetItemText(row, column, text, 256);
    return text;
}

inline std::vector<std::u16string> ColumnTexts(CListViewCtl& list, int column)
{
    std::vector<std::u16string> texts;
    for (int i = 0; i < list.GetItemCount(); ++i) texts.push_back(RowText(list, i, column));
    return texts;
}

// The first row whose column holds `text`, or -1.
inline int FindRow(CListViewCtl& list, int column, const std::u16string& text)
{
    for (int i = 0; i < list.GetItemCount(); ++i)
        if (RowText(list, i, column) == text) return i;
    return -1;
}

// A pixel of the composed screen at a point of the dialog's client area.
inline COLORREF ClientPixel(HWND dialog, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(dialog, &p);
    return qplat::ScreenPixel(p.x, p.y);
}

// Pumps the user-interface thread's messages until `done` or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        qplat::ProcessPendingMessages();
        if (done()) return true;
        Sleep(5);
    }
    qplat::ProcessPendingMessages();
    return done();
}

// Taps a point given in the dialog's client coordinates.
inline void TapClient(HWND dialog, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(dialog, &p);
    qplat::StylusTap(p.x, p.y);
}

// Paints what is pending and writes the composed screen under the build's
// snapshot folder.
inline void Snapshot(const std::string& name)
{
    qplat::ProcessPendingMessages();
    const std::filesystem::path dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(qplat::SaveScreenPng((dir / name).string())) << name;
}

// A card for a screen: the program folder with the delivered language files
// (English current), and a settings file written and read as the test needs.
class ScreenFixture : public DialogFixture {
protected:
    static constexpr const char16_t* kAutorun = u"\\SDMMC\\Autorun\\";

    void SetUp() override
    {
        DialogFixture::SetUp();
        UseRealLanguage("ENG.LNG");
    }
    // The factory settings of the device type, changed by `edit`.
    void WriteSettings(int deviceType, const std::function<void(ParamBlock&)>& edit = {})
    {
        ParamBlock block{};
        CParamFile file;
        file.WriteDefaults(&block);
        block.deviceType = static_cast<BYTE>(deviceType);
        if (edit) edit(block);
        ASSERT_EQ(1, file.Save(&block));
    }
    ParamBlock ReadSettings()
    {
        ParamBlock block{};
        CParamFile file;
        EXPECT_EQ(1, file.Load(&block));
        return block;
    }
};

}  // namespace qtest
