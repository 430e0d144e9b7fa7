// The language screen against the language folder: the list and its mark,
// apply switching the screen's own texts in place (English to Russian and
// back), "Language.ini" as written, and the screens opened afterwards.

#include "dialogs/LanguageDlg.h"

#include "dialogs/ChoiceDlgs.h"
#include "platform/WinKernel.h"
#include "tests/dialogs/SettingsScreenTestSupport.h"
#include "tests/support/Fields.h"

using namespace qtest;

namespace {

using Dlg = CLanguageDlg;

const std::u16string kIniPath = kProgramFolder + u"Language\\Language.ini";

HWND List(HWND dlg) { return GetDlgItem(dlg, Dlg::kListId); }

int Selected(HWND list)
{
    return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// The row of a language name.
int RowOf(HWND list, const std::u16string& name)
{
    const auto names = Column(list, 0);
    for (size_t r = 0; r < names.size(); ++r)
        if (names[r] == name) return static_cast<int>(r);
    return -1;
}

class LanguageScreen : public SettingsScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Dlg>(std::move(steps)); }
    static Step Choose(const std::u16string& name)
    {
        return [name](HWND dlg) {
            TapCell(List(dlg), RowOf(List(dlg), name), 0);
            PostCommand(dlg, Dlg::kApplyId);
        };
    }
    struct Shown {
        std::vector<std::u16string> names, marks;
        int selected = -2;
        std::u16string current, button;
        int rowWidth = 0, listWidth = 0;  // the columns' and the list's inner width
        bool gapAfterHighlight = true;    // the selected row's line shows background before the frame
    };
    static Shown Look(HWND dlg)
    {
        Shown s;
        s.names = Column(List(dlg), 0);
        s.marks = Column(List(dlg), 1);
        s.selected = Selected(List(dlg));
        s.current = Dlg::Current()->Language().GetCurrentFileName();
        s.button = Dlg::Current()->m_buttons[1].m_caption;
        for (int c = 0; c < 2; ++c) s.rowWidth += static_cast<int>(SendMessageW(List(dlg), LVM_GETCOLUMNWIDTH, c, 0));
        RECT client{};
        GetClientRect(List(dlg), &client);
        s.listWidth = client.right;
        if (s.selected >= 0) s.gapAfterHighlight = HighlightStopsShort(List(dlg), s.selected, 1);
        return s;
    }
};

TEST_F(LanguageScreen, TheCurrentLanguageIsMarkedAndSelected)
{
    WriteParams(Params(1, 1));
    Shown s;
    Run({[&](HWND dlg) { s = Look(dlg); }, Close()});
    ASSERT_EQ(s.names.size(), 2u);
    const int english = s.names[0] == u"English" ? 0 : 1;
    EXPECT_EQ(s.names[1 - english], u"Русский");
    EXPECT_EQ(s.marks[english], u"\u2022");
    EXPECT_EQ(s.marks[1 - english], u"");
    EXPECT_EQ(s.selected, english);
    // The mark's column fills the row: the highlight runs to the list's frame.
    EXPECT_EQ(s.rowWidth, s.listWidth);
    EXPECT_FALSE(s.gapAfterHighlight);

    // More languages than rows bring a scroll strip, which the row leaves room for.
    const std::string englishFile = root.ReadFile(kProgramFolder + u"Language\\ENG.LNG");
    for (int i = 0; i < 5; ++i)
        root.WriteFile(kProgramFolder + u"Language\\Z" + qplat::FromUtf8(std::to_string(i)) + u".LNG", englishFile);
    Run({[&](HWND dlg) { s = Look(dlg); }, Close()});
    ASSERT_EQ(s.names.size(), 7u);
    EXPECT_LT(s.rowWidth, s.listWidth);
    EXPECT_GT(s.rowWidth, s.listWidth - 30);
    EXPECT_FALSE(s.gapAfterHighlight);
    for (int i = 0; i < 5; ++i)
        DeleteFileW((kProgramFolder + u"Language\\Z" + qplat::FromUtf8(std::to_string(i)) + u".LNG").c_str());

    // One language file: one row, marked and selected.
    DeleteFileW((kProgramFolder + u"Language\\RUS.LNG").c_str());
    Run({[&](HWND dlg) { s = Look(dlg); }, Close()});
    EXPECT_EQ(s.names, std::vector<std::u16string>{u"English"});
    EXPECT_EQ(s.marks, std::vector<std::u16string>{u"\u2022"});
    EXPECT_EQ(s.selected, 0);
}

TEST_F(LanguageScreen, AnIniNamingNoListedFileMarksNothingAndSelectsRowZero)
{
    WriteParams(Params(1, 1));
    for (const char* ini : {"File_Language=GER.LNG", "nothing"}) {
        root.WriteFile(kIniPath, ini);
        Shown s;
        Run({[&](HWND dlg) { s = Look(dlg); }, Close()});
        EXPECT_EQ(s.marks, (std::vector<std::u16string>{u"", u""})) << ini;
        EXPECT_EQ(s.selected, 0) << ini;
    }
}

TEST_F(LanguageScreen, ApplySwitchesTheTextsInPlaceAndBack)
{
    WriteParams(Params(1, 1));
    Shown english, russian, back;
    HWND first = nullptr, second = nullptr;
    std::string iniRussian;
    // The pixels of the title and of the button's caption, which differ
    // between the two languages once they are painted again.
    auto pixels = [](RECT r) {
        std::vector<COLORREF> out;
        for (int y = r.top; y < r.bottom; y += 2)
            for (int x = r.left; x < r.right; x += 2) out.push_back(qplat::ScreenPixel(x, y));
        return out;
    };
    const RECT title{150, 10, 330, 32}, caption{205, 234, 300, 254};
    std::vector<COLORREF> titleEnglish, titleRussian, captionEnglish, captionRussian;
    bool blueTitle = false;
    EXPECT_TRUE(Run({[&](HWND dlg) {
                         ASSERT_TRUE(SaveShot("language_en.png"));
                         english = Look(dlg);
                         first = dlg;
                         titleEnglish = pixels(title);
                         captionEnglish = pixels(caption);
                     },
                     Choose(u"Русский"),
                     [&](HWND dlg) {
                         ASSERT_TRUE(SaveShot("language_ru.png"));
                         russian = Look(dlg);
                         second = dlg;
                         iniRussian = root.ReadFile(kIniPath);
                         titleRussian = pixels(title);
                         captionRussian = pixels(caption);
                         blueTitle = AnyPixel(title, Blue);
                     },
                     Choose(u"English"), [&](HWND dlg) { back = Look(dlg); }, Close()}));
    EXPECT_EQ(first, second) << "the screen stays open";
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(iniRussian, "File_Language=RUS.LNG"), FIELD_IS(english.button, Text(50108)),
                                 FIELD_IS(russian.button, u"Выбрать"), FIELD_IS(russian.current, u"RUS.LNG")));
    EXPECT_NE(titleEnglish, titleRussian) << "the title repainted in Russian";
    EXPECT_NE(captionEnglish, captionRussian) << "the button repainted in Russian";
    EXPECT_TRUE(blueTitle);
    // The mark moved to Russian, which stays selected; and back again.
    const int russianRow = russian.names[0] == u"Русский" ? 0 : 1;
    EXPECT_EQ(russian.marks[russianRow], u"\u2022");
    EXPECT_EQ(russian.marks[1 - russianRow], u"");
    EXPECT_EQ(russian.selected, russianRow);
    EXPECT_EQ(back.marks, english.marks);
    EXPECT_EQ(back.button, english.button);
    EXPECT_EQ(root.ReadFile(kIniPath), "File_Language=ENG.LNG");
}

TEST_F(LanguageScreen, ScreensOpenedAfterApplySpeakTheNewLanguage)
{
    WriteParams(Params(1, 1));
    Run({Choose(u"Русский"), Close()});
    std::u16string radio;
    Steps({[&](HWND dlg) {
               radio = WindowText(GetDlgItem(dlg, CUnitsDlg::kRadio1Id));
               PostMessageW(dlg, WM_CLOSE, 0, 0);
           }});
    RunScreen<CUnitsDlg>(nullptr, owner);
    EXPECT_EQ(radio, u"Миллиметры");
}

TEST_F(LanguageScreen, ApplyingTheCurrentLanguageRewritesTheIniAndChangesNothingElse)
{
    WriteParams(Params(1, 1));
    root.WriteFile(kIniPath, "File_Language=eng.lng\r\n");
    Shown before, after;
    Run({[&](HWND dlg) {
             before = Look(dlg);
             PostCommand(dlg, Dlg::kApplyId);
         },
         [&](HWND dlg) { after = Look(dlg); }, Close()});
    EXPECT_EQ(root.ReadFile(kIniPath), "File_Language=ENG.LNG") << "rewritten with the listed file name";
    EXPECT_EQ(after.names, before.names);
    EXPECT_EQ(after.marks, before.marks);
    EXPECT_EQ(after.selected, before.selected);
    EXPECT_EQ(after.button, before.button);
}

TEST_F(LanguageScreen, ApplyWithoutASelectionOrWithoutAWritableIniSaysSo)
{
    WriteParams(Params(1, 1));
    const std::string ini = root.ReadFile(kIniPath);
    std::u16string none, failed;
    Shown after;
    Run({[](HWND dlg) {
             LVITEMW item{};
             item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
             SendMessageW(List(dlg), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
             PostCommand(dlg, Dlg::kApplyId);
         },
         Answer(true, &none),
         [](HWND dlg) {
             qplat::FailFileWritesAfter(0);
             Choose(u"Русский")(dlg);
         },
         Answer(true, &failed),
         [&](HWND dlg) {
             qplat::FailFileWritesAfter(-1);
             after = Look(dlg);
             PostMessageW(dlg, WM_CLOSE, 0, 0);
         }});
    EXPECT_EQ(none, Text(50046));
    EXPECT_EQ(failed, Text(SCREEN_SAVE_FAILED));
    EXPECT_EQ(root.ReadFile(kIniPath), ini);
    EXPECT_EQ(after.button, Text(50108)) << "still English";
    const int english = after.names[0] == u"English" ? 0 : 1;
    EXPECT_EQ(after.marks[english], u"\u2022");
}

// A language file emptied or spoilt after the list was filled (to nothing,
// to a byte-order mark, to blanks and tabs, to its name alone, its name line
// lost, its apply caption blank) is no choice: apply says that no language is
// selected, "Language.ini" stays as it was, and the refreshed list no longer
// offers the file: a tap where its row was selects nothing.
TEST_F(LanguageScreen, ApplyingAFileEmptiedMeanwhileWritesNothingAndDropsItsRow)
{
    WriteParams(Params(1, 1));
    const std::string ini = root.ReadFile(kIniPath);
    const std::string russian = root.ReadFile(kProgramFolder + u"Language\\RUS.LNG");
    const size_t nameLine = russian.find("10000=");
    const size_t apply = russian.find("50108=");
    ASSERT_NE(nameLine, std::string::npos);
    ASSERT_NE(apply, std::string::npos);
    const std::string nameless = russian.substr(0, nameLine) + "#" + russian.substr(nameLine + 1);
    const std::string blankApply = russian.substr(0, apply + 6) + "  \t" + russian.substr(russian.find('\r', apply));
    const std::vector<std::string> spoilt = {"", "\xEF\xBB\xBF", " \t\r\n\t\r\n",
                                             russian.substr(0, russian.find('\n', nameLine) + 1), nameless, blankApply};
    for (size_t k = 0; k < spoilt.size(); ++k) {
        const std::string& emptied = spoilt[k];
        SCOPED_TRACE(k);
        root.WriteFile(kProgramFolder + u"Language\\RUS.LNG", russian);
        std::u16string said, saidAgain;
        Shown before, after;
        POINT wasRussian{};
        Run({[&](HWND dlg) {
                 before = Look(dlg);
                 wasRussian = CellCentre(List(dlg), RowOf(List(dlg), u"Русский"), 0);
                 root.WriteFile(kProgramFolder + u"Language\\RUS.LNG", emptied);
                 Choose(u"Русский")(dlg);
             },
             Answer(true, &said),
             [&](HWND dlg) {
                 after = Look(dlg);
                 qplat::StylusTap(wasRussian.x, wasRussian.y);
                 PostCommand(dlg, Dlg::kApplyId);
             },
             Answer(true, &saidAgain), [](HWND dlg) { PostMessageW(dlg, WM_CLOSE, 0, 0); }});
        EXPECT_EQ(before.names.size(), 2u);
        EXPECT_EQ(said, Text(50046));
        EXPECT_EQ(saidAgain, Text(50046)) << "the tap where the row was chose something";
        EXPECT_EQ(root.ReadFile(kIniPath), ini);
        EXPECT_EQ(after.names, std::vector<std::u16string>{u"English"});
        EXPECT_EQ(after.marks, std::vector<std::u16string>{u"\u2022"});
        EXPECT_EQ(after.button, Text(50108)) << "still English";
    }
}

}  // namespace
