// The reference list driven by the stylus through the program itself, run
// headless from a script with taps from the start screen: what the card's
// reference folder holds is listed and can be chosen, and a file the card
// keeps from deletion is said to be not deleted.
#include <filesystem>
#include <string>

#include "platform/gdi/Surface.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/ReferListDlg.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/support/ProgramScript.h"
#include "ui/MessageDlg.h"

namespace {

namespace fs = std::filesystem;
using qtest::FrontDialog;
using qtest::Then;
using schemeui::Centre;
using schemeui::kDataMenu;

constexpr qtest::Spot kReferencesButton{130, 161};

class ReferListRun : public schemeui::SchemeUiRun {
protected:
    ReferListRun() : SchemeUiRun("refer_run_") {}
    void WriteRefer(const std::u16string& file, const std::u16string& name)
    {
        root.WriteFile(std::u16string(kAutorun) + u"Refer\\" + file,
                       qplat::ToUtf8(name) + "\r\n1000;2000\r\n2000;2100\r\n");
    }
    // The taps that open the reference list from the start screen.
    static qtest::Script OpenList()
    {
        qtest::Script s;
        s.Tap(kDataMenu).Tap(kReferencesButton);
        return s;
    }

    // The list's first row and the screen's buttons, measured on the screen in
    // this process (on the card as it is now).
    struct Places {
        qtest::Spot firstRow{}, remove{}, makeCurrent{};
        RECT currentField{};  // inside its frame
    };
    Places Measure()
    {
        Places p;
        RunWithin<CReferListDlg>([&](HWND d) {
            HWND list = GetDlgItem(d, CReferListDlg::kListId);
            p.firstRow = schemeui::FirstRow(list);
            p.remove = Centre(GetDlgItem(d, CReferListDlg::kDeleteId));
            p.makeCurrent = Centre(GetDlgItem(d, CReferListDlg::kMakeCurrentId));
            GetWindowRect(GetDlgItem(d, CReferListDlg::kCurrentEditId), &p.currentField);
            InflateRect(&p.currentField, -2, -2);
            qtest::Press(d, CReferListDlg::kBackId);
        });
        return p;
    }
};

// A folder under a reference file's name, first in the folder: the profile
// after it is listed, and chosen by taps it becomes the current one. The
// current-reference field shows the name and, though it has the focus, no
// caret: it takes no typing.
TEST_F(ReferListRun, AnEntryThatCannotBeOpenedLeavesTheOthersListed)
{
    WriteSettings(1);
    WriteRefer(u"B.ref", u"Wheel B");
    const Places at = Measure();
    ASSERT_GT(at.firstRow.y, 0);
    root.MakeFolder(std::u16string(kAutorun) + u"Refer\\A.ref");

    qtest::Script s = OpenList();
    s.Snap(Snap("listed")).Tap(at.firstRow).Tap(at.makeCurrent).Snap(Snap("chosen"));
    ASSERT_EQ(Run(s), 0);
    EXPECT_EQ(qplat::FieldText(ReadSettings().qavReferName, PARAM_NAME_CHARS), u"Wheel B");
    const qplat::Surface chosen = qtest::ReadSnapshot(Snap("chosen"));
    EXPECT_TRUE(qtest::AnyPixel(chosen, at.currentField, qtest::Dark)) << "the current name";
    const qplat::Surface listed = qtest::ReadPngFile(Snap("listed"));
    EXPECT_FALSE(qtest::AnyPixel(listed, at.currentField, qtest::Dark)) << "an empty field, without a caret";
}

// A reference file the card keeps (read-only), deleted by taps after a yes:
// the box says the file could not be deleted, in either language, and the
// file stays.
TEST_F(ReferListRun, AFileThatCannotBeDeletedIsSaidSo)
{
    WriteRefer(u"B.ref", u"Wheel B");
    fs::permissions(root.Host(std::u16string(kAutorun) + u"Refer\\B.ref"), fs::perms::owner_read);
    for (const char* language : {"ENG.LNG", "RUS.LNG"}) {
        SCOPED_TRACE(language);
        UseRealLanguage(language);
        WriteSettings(1);
        const Places at = Measure();
        ASSERT_GT(at.firstRow.y, 0);
        const std::string tag = language[0] == 'E' ? "en" : "ru";
        // The boxes the program shows, in the language of the card, drawn
        // here from the language file's texts.
        const qtest::BoxPicture question =
            qtest::DrawBox(owner, MESSAGE_QUESTION, qtest::LanguageText(50027), Snap("question_" + tag));
        const qtest::BoxPicture told =
            qtest::DrawBox(owner, MESSAGE_FAILURE, qtest::LanguageText(NAME_LIST_NOT_DELETED), Snap("expected_" + tag));

        qtest::Script s = OpenList();
        s.Tap(at.firstRow).Tap(at.remove).Tap(question.first).Snap(Snap("not_deleted_" + tag)).Tap(told.first);
        ASSERT_EQ(Run(s), 0);
        const qplat::Surface shown = qtest::ReadSnapshot(Snap("not_deleted_" + tag));
        EXPECT_TRUE(qtest::ShowsBoxText(shown, told)) << "the box's text is the file's not deleted";
        EXPECT_TRUE(root.Exists(std::u16string(kAutorun) + u"Refer\\B.ref"));
    }
}

}  // namespace
