// A card for the scheme and reference screens: the screen fixture's, with
// the shipped schemes of both families.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/WinText.h"
#include "platform/gdi/Surface.h"
#include "scheme/ui/NameList.h"
#include "tests/support/BoxPicture.h"
#include "tests/support/ProgramScript.h"
#include "tests/ui/ScreenTestSupport.h"

namespace schemeui {

using qtest::ReadSourceFile;
using qtest::Snapshot;

inline std::u16string Utf16(const std::string& text)
{
    return qplat::FromUtf8(text);
}

using qtest::Centre;

// A place on the first row of a name list (in its file column), where a tap of
// the program's script chooses that row.
inline qtest::Spot FirstRow(HWND list)
{
    RECT r{};
    r.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    POINT at{r.left + 60, (r.top + r.bottom) / 2};
    ClientToScreen(list, &at);
    return qtest::Spot{static_cast<int>(at.x), static_cast<int>(at.y)};
}

using qtest::SameIn;

// The scheme list and the reference list are one kind of screen: a list of
// names, one of them marked current and shown in the current-name box.
template <class Dlg>
class NameListScreen {
protected:
    static Dlg& Screen() { return *Dlg::Current(); }
    static int Row(const std::u16string& name) { return qtest::FindRow(Screen().m_list, NAME_LIST_NAME_COLUMN, name); }
    static std::u16string Mark(int row) { return qtest::RowText(Screen().m_list, row, NAME_LIST_MARK_COLUMN); }
    static std::vector<std::u16string> Marks()
    {
        std::vector<std::u16string> marks;
        for (int row = 0; row < Screen().m_list.GetItemCount(); ++row) marks.push_back(Mark(row));
        return marks;
    }
    // The name chosen and made current, as the operator does it.
    static void MakeCurrent(HWND dlg, const std::u16string& name)
    {
        Screen().m_list.SelectItem(Row(name));
        qtest::Press(dlg, Dlg::kMakeCurrentId);
    }
    // The row chosen and deleted, the boxes that ask answered with `buttons`.
    static void Delete(HWND dlg, int row, std::vector<std::u16string>* boxes,
                       std::vector<int> buttons = {qtest::kBoxFirstButton})
    {
        Screen().m_list.SelectItem(row);
        qtest::AnswerBoxes(boxes, std::move(buttons));
        qtest::Press(dlg, Dlg::kDeleteId);
    }
    // The names of the rows marked current, then the current-name box's text.
    static std::vector<std::u16string> CurrentShown(HWND dlg)
    {
        std::vector<std::u16string> shown;
        for (int row = 0; row < Screen().m_list.GetItemCount(); ++row)
            if (Mark(row) == u"\u2022") shown.push_back(qtest::RowText(Screen().m_list, row, NAME_LIST_NAME_COLUMN));
        shown.push_back(qtest::WindowText(GetDlgItem(dlg, Dlg::kCurrentEditId)));
        return shown;
    }
};
using Shown = std::vector<std::u16string>;

class SchemeUiTest : public qtest::ScreenFixture {
protected:
    void TearDown() override
    {
        qplat::FailFileSyncsAfter(-1);
        qtest::ScreenFixture::TearDown();
    }
    // Runs the screen with `inside` queued for its modal loop: it gets the
    // screen once it is up.
    template <class Dlg>
    BOOL RunWithin(std::function<void(HWND)> inside)
    {
        qtest::Then([inside] { inside(qtest::FrontDialog()); });
        return RunScreen<Dlg>(nullptr, owner);
    }
    // The shipped schemes of both families on the card.
    void InstallShippedSchemes()
    {
        for (const char* folder : {"Schemes", "Schemes_QOD"}) {
            for (const auto& entry :
                 std::filesystem::directory_iterator(std::filesystem::path(QAV5_SOURCE_DIR) / "data" / folder)) {
                const std::string name = entry.path().filename().string();
                root.WriteFile(std::u16string(kAutorun) + Utf16(folder) + u"\\" + Utf16(name),
                               ReadSourceFile(std::filesystem::path("data") / folder / name));
            }
        }
    }
};

// The start screen's data menu, where both lists open.
using qtest::kDataMenu;

// A run of the real program on that card, driven by its script: the script
// beside the device root, the snapshots where a person can look at them.
class SchemeUiRun : public SchemeUiTest {
protected:
    explicit SchemeUiRun(std::string snapshotPrefix) : prefix(std::move(snapshotPrefix)) {}
    void SetUp() override
    {
        SchemeUiTest::SetUp();
        dir = std::filesystem::path(QAV5_BINARY_DIR) / "snapshots";
        std::filesystem::create_directories(dir);
        scriptDir = root.Beside("-run");
    }
    int RunText(const std::string& text)
    {
        return qtest::RunProgramScript(root.Path(), scriptDir / "script.txt", text);
    }
    int Run(const qtest::Script& s) { return RunText(s.Text() + "quit\n"); }
    std::string Snap(const std::string& name) const { return (dir / (prefix + name + ".png")).string(); }

    std::filesystem::path dir, scriptDir;

private:
    std::string prefix;
};

}  // namespace schemeui
