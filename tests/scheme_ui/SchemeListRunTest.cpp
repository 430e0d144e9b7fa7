// The scheme list driven by the stylus through the program itself, run
// headless from a script with taps from the start screen: entries of the
// scheme folder that cannot be read as scheme files, first in the order the
// list reads the folder, are passed by; the schemes after them are listed as
// without those entries and can be made current.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "platform/gdi/Surface.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/SchemeListDlg.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/support/ProgramScript.h"

namespace {

namespace fs = std::filesystem;
using qtest::FrontDialog;
using qtest::Then;
using schemeui::Centre;
using schemeui::kDataMenu;
using schemeui::SameIn;

constexpr qtest::Spot kSchemesButton{130, 222};
constexpr const char16_t* kFolder = u"\\SDMMC\\Autorun\\Schemes\\";

class SchemeListRun : public schemeui::SchemeUiRun {
protected:
    SchemeListRun() : SchemeUiRun("scheme_list_run_") {}
    void SetUp() override
    {
        SchemeUiRun::SetUp();
        InstallShippedSchemes();
    }

    // The list as this process shows it on the card as it is now: the first
    // row's place and scheme, the button that makes it current, the list's
    // rectangle and the screen.
    struct Shown {
        qtest::Spot firstRow{}, makeCurrent{};
        std::u16string firstName;
        RECT list{};
        qplat::Surface screen;
    };
    Shown Measure()
    {
        Shown s;
        const std::string snapshot = Snap("expected");
        RunWithin<CSchemeListDlg>([&](HWND d) {
            HWND list = GetDlgItem(d, CSchemeListDlg::kListId);
            s.firstRow = schemeui::FirstRow(list);
            s.firstName = qtest::RowText(CSchemeListDlg::Current()->m_list, 0, NAME_LIST_NAME_COLUMN);
            s.makeCurrent = Centre(GetDlgItem(d, CSchemeListDlg::kMakeCurrentId));
            GetWindowRect(list, &s.list);
            qplat::ProcessPendingMessages();
            EXPECT_TRUE(qplat::SaveScreenPng(snapshot));
            qtest::Press(d, CSchemeListDlg::kBackId);
        });
        s.screen = qtest::ReadPngFile(snapshot);
        return s;
    }
    // The entries of the folder in the order the list reads them.
    static std::vector<std::u16string> ReadOrder()
    {
        std::vector<std::u16string> names;
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW((std::u16string(kFolder) + u"*.sch").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) return names;
        do {
            names.emplace_back(found.cFileName);
        } while (FindNextFileW(find, &found));
        FindClose(find);
        return names;
    }
};

// A pipe (whose opening would wait for a writer that never comes), a folder
// and a link to nothing, under scheme file names that come before every
// scheme: the list shows the schemes alone, and its first row, chosen by
// taps, becomes the current scheme. A run that waited on the pipe would not
// end; the harness's time limit is its bound.
TEST_F(SchemeListRun, EntriesThatCannotBeReadFirstInTheFolderArePassedBy)
{
    WriteSettings(1);
    const Shown expected = Measure();
    ASSERT_GT(expected.firstRow.y, 0);
    ASSERT_EQ(expected.firstName, u"Car 4 axles");

    ASSERT_EQ(0, ::mkfifo(root.Host(std::u16string(kFolder) + u"00 pipe.sch").c_str(), 0644));
    root.MakeFolder(std::u16string(kFolder) + u"01 folder.sch");
    fs::create_symlink(root.Host(std::u16string(kFolder) + u"gone.sch"),
                       root.Host(std::u16string(kFolder) + u"02 nowhere.sch"));
    const std::vector<std::u16string> order = ReadOrder();
    ASSERT_GE(order.size(), 2u);
    ASSERT_EQ(order[0], u"00 pipe.sch") << "the pipe is read first";
    ASSERT_EQ(order[1], u"01 folder.sch");

    qtest::Script s;
    s.Tap(kDataMenu).Tap(kSchemesButton).Snap(Snap("listed"));
    s.Tap(expected.firstRow).Tap(expected.makeCurrent).Snap(Snap("chosen"));
    ASSERT_EQ(Run(s), 0);
    const qplat::Surface listed = qtest::ReadPngFile(Snap("listed"));
    ASSERT_EQ(listed.width, 480);
    EXPECT_TRUE(SameIn(listed, expected.screen, expected.list)) << "the list shows the schemes, and nothing else";
    EXPECT_EQ(qplat::FieldText(ReadSettings().qavSchemeName, PARAM_NAME_CHARS), u"Car 4 axles");
    EXPECT_TRUE(fs::is_fifo(root.Host(std::u16string(kFolder) + u"00 pipe.sch"))) << "the entries are left as they are";
}

}  // namespace
