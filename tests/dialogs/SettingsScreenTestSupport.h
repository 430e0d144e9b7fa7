// Helpers of the settings and catalogue screen tests: a device root with the
// real language files, settings blocks and catalogue files arranged and read
// back as bytes, and steps that drive a screen and the boxes it opens.
#pragma once

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "dialogs/ValueText.h"
#include "platform/Presenter.h"
#include "platform/WinText.h"
#include "settings/CatalogFiles.h"
#include "settings/ParamFile.h"
#include "tests/ui/DialogTestSupport.h"

namespace qtest {

inline const std::u16string kProgramFolder = u"\\SDMMC\\Autorun\\";
inline const std::u16string kParamPath = kProgramFolder + u"param.qav";
inline const std::u16string kDopuskQavPath = kProgramFolder + u"Dopusk.qav";
inline const std::u16string kDopuskQodPath = kProgramFolder + u"Dopusk.qod";
inline const std::u16string kWheelTypePath = kProgramFolder + u"WheelType.qav";
inline const std::u16string kDiskTypePath = kProgramFolder + u"DiskType.qod";

// The message box's text control and its two buttons; the keyboard's edit
// line and its OK, cancel and backspace keys.
constexpr int kBoxText = 345;
constexpr int kBoxFirst = 343;
constexpr int kBoxSecond = 344;
constexpr int kKeyboardEdit = 476;
constexpr int kKeyboardOk = 802;
constexpr int kKeyboardCancel = 800;
constexpr int kKeyboardBackspace = 801;

template <class Record>
std::string Bytes(const Record& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

template <class Record>
std::string Bytes(const std::vector<Record>& records)
{
    std::string out;
    for (const Record& r : records) out += Bytes(r);
    return out;
}

template <class Record>
std::vector<Record> Records(const std::string& bytes)
{
    std::vector<Record> out(bytes.size() / sizeof(Record));
    if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size() * sizeof(Record));
    return out;
}

inline std::u16string Name(const WCHAR* field)
{
    return qplat::FieldText(field, NAME_FIELD_CHARS);
}

inline void PostCommand(HWND dialog, int id, int code = BN_CLICKED)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline std::u16string WindowText(HWND window)
{
    WCHAR text[300] = {};
    GetWindowTextW(window, text, 300);
    return text;
}

// The steps of `a`, then those of `b`.
inline std::vector<Step> Join(std::vector<Step> a, const std::vector<Step>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A tap on a control of the screen in front.
inline Step Tap(int id)
{
    return [id](HWND dialog) { TapWindow(GetDlgItem(dialog, id)); };
}

// OK (command `okId`) while the card refuses every write: the steps press it,
// note the notice the screen shows and let writes through again; the screen
// is in front for the next step.
inline std::vector<Step> OkOnARefusingCard(int okId, std::u16string* notice)
{
    return {[okId](HWND dialog) {
                qplat::FailFileWritesAfter(0);
                PostCommand(dialog, okId);
            },
            [notice](HWND box) {
                qplat::FailFileWritesAfter(-1);
                if (notice) *notice = WindowText(GetDlgItem(box, kBoxText));
                PostCommand(box, kBoxFirst);
            }};
}

// Steps for the boxes a screen opens.
inline Step Type(std::u16string text)
{
    return [text](HWND keyboard) {
        SetWindowTextW(GetDlgItem(keyboard, kKeyboardEdit), text.c_str());
        PostCommand(keyboard, kKeyboardOk);
    };
}
inline Step CancelKeyboard()
{
    return [](HWND keyboard) { PostCommand(keyboard, kKeyboardCancel); };
}
// Notes the box's text and presses its first (yes, OK) or second (no) button.
inline Step Answer(bool first, std::u16string* text = nullptr)
{
    return [first, text](HWND box) {
        if (text) *text = WindowText(GetDlgItem(box, kBoxText));
        PostCommand(box, first ? kBoxFirst : kBoxSecond);
    };
}
inline Step Close()
{
    return [](HWND dialog) { PostMessageW(dialog, WM_CLOSE, 0, 0); };
}
inline Step Command(int id, int code = BN_CLICKED)
{
    return [id, code](HWND dialog) { PostCommand(dialog, id, code); };
}

// Paints what is pending and writes the composed screen beside the build.
inline bool SaveShot(const std::string& file)
{
    qplat::ProcessPendingMessages();
    return qplat::SaveScreenPng(std::string(QAV5_BINARY_DIR) + "/" + file);
}

// A list view's cell in screen coordinates.
inline POINT CellCentre(HWND list, int row, int column)
{
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    int x = r.left;
    for (int c = 0; c < column; ++c) x += static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
    POINT p{x + static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(list, &p);
    return p;
}
inline void TapCell(HWND list, int row, int column, bool twice = false)
{
    const POINT p = CellCentre(list, row, column);
    qplat::StylusTap(p.x, p.y);
    if (twice) qplat::StylusTap(p.x, p.y);
}
inline std::u16string CellText(HWND list, int row, int column)
{
    WCHAR text[200] = {};
    LVITEMW it{};
    it.iSubItem = column;
    it.pszText = text;
    it.cchTextMax = 200;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    return text;
}
inline std::u16string ColumnHeader(HWND list, int column)
{
    WCHAR text[60] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = text;
    col.cchTextMax = 60;
    SendMessageW(list, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
    return text;
}
inline int RowCount(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}
inline std::vector<std::u16string> Column(HWND list, int column)
{
    std::vector<std::u16string> out;
    for (int r = 0; r < RowCount(list); ++r) out.push_back(CellText(list, r, column));
    return out;
}

// A device root with the program's real language files (English current).
class SettingsScreenTest : public DialogFixture {
protected:
    void SetUp() override
    {
        DialogFixture::SetUp();
        UseRealLanguage("ENG.LNG");
        language.Load();
        CParamFile file;
        file.WriteDefaults(&factory);
    }
    void TearDown() override
    {
        qplat::FailFileWritesAfter(-1);
        DialogFixture::TearDown();
    }

    // The factory block with the device type and unit system, as the
    // program itself writes it.
    ParamBlock Params(BYTE deviceType, BYTE unitSystem)
    {
        ParamBlock p = factory;
        p.deviceType = deviceType;
        p.unitSystem = unitSystem;
        return p;
    }
    void WriteParams(ParamBlock p) { root.WriteFile(kParamPath, Bytes(p)); }
    ParamBlock ReadParams()
    {
        ParamBlock p{};
        const std::string bytes = root.ReadFile(kParamPath);
        std::memcpy(&p, bytes.data(), std::min(bytes.size(), sizeof p));
        return p;
    }
    std::u16string Text(int id) { return language.GetText(id); }
    // The settings file holds `before` as `change` makes it, the wheel type's
    // name gone: changed settings belong to no wheel type of the catalogue.
    void ExpectStored(ParamBlock before, const std::function<void(ParamBlock&)>& change, const char* why = "")
    {
        change(before);
        CopyName(before.wheelTypeName, u"");
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(before)) << why;
    }
    // Runs the screen with the steps queued for its modal loop.
    template <class Screen>
    BOOL RunWith(std::vector<Step> steps)
    {
        Steps(std::move(steps));
        return RunScreen<Screen>(nullptr, owner);
    }
    // OK on the screen over the settings `p` ends it with true and keeps
    // every byte of them.
    template <class Screen>
    void ExpectOkKeeps(const ParamBlock& p, const std::string& what = "")
    {
        WriteParams(p);
        EXPECT_TRUE(RunWith<Screen>({Command(Screen::kOkId)})) << what;
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p)) << what;
    }
    // The steps `change`, then close or the back button: either ends the
    // screen with true and keeps every byte of the settings `p`.
    template <class Screen>
    void ExpectLeavingKeeps(const ParamBlock& p, const std::vector<Step>& change)
    {
        WriteParams(p);
        EXPECT_TRUE(RunWith<Screen>(Join(change, {Close()}))) << "close";
        EXPECT_TRUE(RunWith<Screen>(Join(change, {Tap(Screen::kBackId)}))) << "back";
        EXPECT_EQ(root.ReadFile(kParamPath), Bytes(p));
    }
    // The steps `before`, then OK (command `okId`) of the screen on a card
    // that refuses every write: the failure is said and the screen stays in
    // front, where `after` runs.
    template <class Screen>
    void ExpectRefusedOkStays(const std::vector<Step>& before, int okId, const Step& after)
    {
        std::u16string notice;
        bool stayed = false;
        RunWith<Screen>(Join(Join(before, OkOnARefusingCard(okId, &notice)), {[&stayed, after](HWND dlg) {
                                 stayed = Screen::Current() && dlg == Screen::Current()->m_hWnd;
                                 after(dlg);
                             }}));
        EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
        EXPECT_TRUE(stayed);
    }

    CLanguage language;
    ParamBlock factory{};
};

}  // namespace qtest
