// The journal manager against the journal folder and the settings file: the
// listed files and the current journal's mark, new journals under the
// default or a typed name, sorting, deleting and making a journal current.

#include <sys/stat.h>

#include <algorithm>

#include "journal/JournalListDlg.h"
#include "tests/journal/JournalTestSupport.h"

using namespace qtest;

namespace {

using Manager = CJournalListDlg;

HWND List(HWND dlg) { return GetDlgItem(dlg, Manager::kListId); }

// The rows that carry the current journal's mark.
std::vector<std::u16string> Marked(HWND list)
{
    std::vector<std::u16string> out;
    for (int r = 0; r < RowCount(list); ++r)
        if (CellText(list, r, 1) == u"\u2022") out.push_back(CellText(list, r, 0));
    return out;
}
void TapHeader(HWND list, int x)
{
    POINT p{x, 5};
    ClientToScreen(list, &p);
    qplat::StylusTap(p.x, p.y);
}
Step Select(int row)
{
    return [row](HWND d) {
        SendMessageW(List(d), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), 0);
        TapCell(List(d), row, 0);
    };
}
// Taps a row, then posts a command.
Step SelectAnd(int row, int id)
{
    return [row, id](HWND d) {
        Select(row)(d);
        PostCommand(d, id);
    };
}

class JournalManager : public JournalScreenTest {
protected:
    BOOL Run(std::vector<Step> steps) { return RunWith<Manager>(std::move(steps)); }
    void Touch(const std::u16string& file) { root.WriteFile(kJournalFolder + file, std::string(QAV_RECORD_SIZE, 'r')); }
    bool Has(const std::u16string& file) { return root.Exists(kJournalFolder + file); }
    // Every file name in the folder, for checks that nothing else changed.
    std::vector<std::string> Folder()
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(root.Host(kJournalFolder)))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(JournalManager, ListsTheFamilysJournalFilesAndMarksTheCurrentOne)
{
    WriteParams(WheelParams(u"wp_26_12_08_01"));
    Touch(u"wp_26_12_08_01.qav");
    Touch(u"Depot.qav");
    Touch(u"Discs.qod");
    // The roll-backs of pair saves cut off half-way are no journals.
    Touch(u"Depot.qav.undo");
    Touch(u"Discs.qod.undo");
    Touch(std::u16string(46, u'x') + u".qav");  // 50 characters: no row holds it
    root.MakeFolder(kJournalFolder + u"folder.qav");
    std::vector<std::u16string> files, marked;
    std::u16string current;
    LONG currentStyle = 0;
    EXPECT_TRUE(Run({AndClose([&](HWND d) {
        files = Column(List(d), 0);
        marked = Marked(List(d));
        current = WindowText(GetDlgItem(d, Manager::kNameBoxId));
        currentStyle = GetWindowLongW(GetDlgItem(d, Manager::kNameBoxId), GWL_STYLE);
    })}));
    EXPECT_NE(currentStyle & ES_READONLY, 0) << "nothing reads the current journal's field back";
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::u16string>{u"Depot.qav", u"wp_26_12_08_01.qav"}));
    EXPECT_EQ(marked, std::vector<std::u16string>{u"wp_26_12_08_01.qav"});
    EXPECT_EQ(current, u"wp_26_12_08_01");

    // The disc device's journals; a current journal without a file marks none.
    WriteParams(DiscParams(u"Gone"));
    EXPECT_TRUE(Run({AndClose([&](HWND d) {
        files = Column(List(d), 0);
        marked = Marked(List(d));
    })}));
    EXPECT_EQ(files, std::vector<std::u16string>{u"Discs.qod"});
    EXPECT_TRUE(marked.empty());
}

TEST_F(JournalManager, ANewJournalTakesTheNextDefaultNameAndDoesNotBecomeCurrent)
{
    ManualClock clock(2026, 12, 8, 9, 0, 0);
    WriteParams(WheelParams(u"wp_26_12_08_01"));
    Touch(u"wp_26_12_08_01.qav");
    Touch(u"wp_26_12_08_02.qav");
    const std::string params = root.ReadFile(kParamPath);
    std::u16string offered;
    std::vector<std::u16string> files;
    EXPECT_TRUE(Run({Command(Manager::kNewId),
                     [&](HWND keyboard) {
                         offered = WindowText(GetDlgItem(keyboard, kKeyboardEdit));
                         PostCommand(keyboard, kKeyboardOk);
                     },
                     AndClose([&](HWND d) { files = Column(List(d), 0); })}));
    EXPECT_EQ(offered, u"wp_26_12_08_03");
    EXPECT_TRUE(Has(u"wp_26_12_08_03.qav"));
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"wp_26_12_08_03.qav").size(), 0u);
    EXPECT_EQ(files.size(), 3u);
    EXPECT_EQ(root.ReadFile(kParamPath), params);
}

TEST_F(JournalManager, ACancelledEmptyRefusedOrExistingNameCreatesNothing)
{
    WriteParams(WheelParams(u"Depot"));
    Touch(u"Depot.qav");
    const std::string depot = root.ReadFile(kJournalFolder + u"Depot.qav");
    const auto before = Folder();
    std::vector<std::u16string> notices;
    auto notice = [&](HWND box) {
        notices.push_back(WindowText(GetDlgItem(box, kBoxText)));
        PostCommand(box, kBoxFirst);
    };
    EXPECT_TRUE(Run({Command(Manager::kNewId), CancelKeyboard(),  // cancel key
                     Command(Manager::kNewId), Close(),           // the keyboard's close box
                     Command(Manager::kNewId), Type(u""), notice,  // confirmed empty
                     Command(Manager::kNewId), Type(u"..\\up"), notice,
                     Command(Manager::kNewId), Type(u"a*b"), notice,
                     Command(Manager::kNewId), Type(std::u16string(46, u'n')), notice,
                     // An existing name leaves that journal as it is, without a word.
                     Command(Manager::kNewId), Type(u"Depot"), Close()}));
    EXPECT_EQ(Folder(), before);
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"Depot.qav"), depot);
    EXPECT_FALSE(root.Exists(kProgramFolder + u"up.qav"));
    // An empty name asks for one; a refused name is told as such: no write failed.
    EXPECT_EQ(notices, (std::vector<std::u16string>{Text(50094), Text(50081), Text(50081), Text(50081)}));

    // 45 characters and the extension fit a row: that journal is made.
    const std::u16string longest(45, u'm');
    EXPECT_TRUE(Run({Command(Manager::kNewId), Type(longest), Close()}));
    EXPECT_TRUE(Has(longest + u".qav"));
}

// What the card refuses keeps its row and is told; what the card did but
// did not confirm is told apart, and the list shows what the card holds.
TEST_F(JournalManager, AJournalTheCardDoesNotLetBeMadeOrDeletedOrDoesNotConfirmIsReported)
{
    WriteParams(WheelParams(u"a"));
    for (const char16_t* f : {u"a.qav", u"b.qav", u"c.qav", u"d.qav"}) Touch(f);
    // A write-protected journal file.
    std::filesystem::permissions(root.Host(kJournalFolder + u"b.qav"), std::filesystem::perms::owner_read |
                                                                           std::filesystem::perms::group_read |
                                                                           std::filesystem::perms::others_read);
    std::vector<std::u16string> notices;
    std::vector<std::vector<std::u16string>> rows;
    std::vector<std::string> card;
    auto notice = [&](HWND box) {
        qplat::FailFileSyncsAfter(-1);
        notices.push_back(WindowText(GetDlgItem(box, kBoxText)));
        PostCommand(box, kBoxFirst);
    };
    auto rowsThen = [&](std::function<void(HWND)> next) {
        return [&rows, next](HWND d) {
            rows.push_back(Column(List(d), 0));
            next(d);
        };
    };
    // The card takes the change but does not confirm it (its folder's sync fails).
    auto unconfirmed = [](Step step) {
        return [step](HWND d) {
            qplat::FailFileSyncsAfter(0);
            step(d);
        };
    };
    EXPECT_TRUE(Run({[](HWND) { TapHeader(List(FrontDialog()), 60); },  // a, b, c, d
                     SelectAnd(1, Manager::kDeleteId), Answer(true), notice,
                     rowsThen(SelectAnd(2, Manager::kDeleteId)), unconfirmed(Answer(true)), notice,
                     rowsThen([&](HWND d) {
                         // "d" goes behind the manager's back.
                         std::filesystem::remove(root.Host(kJournalFolder + u"d.qav"));
                         SelectAnd(2, Manager::kDeleteId)(d);
                     }),
                     Answer(true), notice,
                     rowsThen([](HWND d) { PostCommand(d, Manager::kNewId); }), unconfirmed(Type(u"Unkept")), notice,
                     rowsThen([&](HWND d) {
                         card = Folder();
                         // The journal folder goes: nothing can be made there.
                         std::filesystem::remove_all(root.Host(kJournalFolder));
                         PostCommand(d, Manager::kNewId);
                     }),
                     Type(u"Fresh"), notice, Close()}));
    EXPECT_EQ(notices, (std::vector<std::u16string>{Text(50080), Text(SCREEN_NOT_CONFIRMED), Text(SCREEN_ALREADY_GONE),
                                                    Text(50082), Text(50082)}));
    using Rows = std::vector<std::u16string>;
    EXPECT_EQ(rows, (std::vector<Rows>{Rows{u"a.qav", u"b.qav", u"c.qav", u"d.qav"},  // the kept file's row stays
                                       Rows{u"a.qav", u"b.qav", u"d.qav"},  // unconfirmed, yet gone
                                       Rows{u"a.qav", u"b.qav"},            // gone before
                                       Rows{u"a.qav", u"b.qav"}}));         // never kept
    EXPECT_EQ(card, (std::vector<std::string>{"a.qav", "b.qav"}));
    EXPECT_FALSE(root.Exists(kJournalFolder + u"Fresh.qav"));
}

TEST_F(JournalManager, TheHeaderSortsUpThenDown)
{
    WriteParams(WheelParams(u"b"));
    for (const char16_t* f : {u"b.qav", u"c.qav", u"a.qav"}) Touch(f);
    std::vector<std::u16string> up, down;
    std::u16string upTitle, downTitle;
    EXPECT_TRUE(Run({[](HWND d) { TapHeader(List(d), 60); },
                     [&](HWND d) {
                         up = Column(List(d), 0);
                         upTitle = ColumnHeader(List(d), 0);
                         TapHeader(List(d), 420);  // column 1: nothing
                     },
                     [&](HWND d) {
                         EXPECT_EQ(Column(List(d), 0), up);
                         TapHeader(List(d), 60);
                     },
                     AndClose([&](HWND d) {
                         down = Column(List(d), 0);
                         downTitle = ColumnHeader(List(d), 0);
                     })}));
    EXPECT_EQ(up, (std::vector<std::u16string>{u"a.qav", u"b.qav", u"c.qav"}));
    EXPECT_EQ(down, (std::vector<std::u16string>{u"c.qav", u"b.qav", u"a.qav"}));
    EXPECT_EQ(upTitle, Text(40401) + u"      >");
    EXPECT_EQ(downTitle, Text(40401) + u"      <");
}

TEST_F(JournalManager, DeletingNeedsASelectionSparesTheCurrentJournalAndAsksFirst)
{
    WriteParams(WheelParams(u"a"));
    for (const char16_t* f :
         {u"a.qav", u"b.qav", u"c.qav", u"d.qav", u"e.qav", u"f.qav", u"b.qav.undo", u"c.qav.undo", u"d.qav.undo"})
        Touch(f);
    // A roll-back the card will not let go of (read-only), or cannot read (a
    // failing card): its journal stays, and the cause is said.
    std::filesystem::permissions(root.Host(kJournalFolder + u"d.qav.undo"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    ASSERT_EQ(0, ::mkfifo(root.Host(kJournalFolder + u"e.qav.undo").c_str(), 0644));
    std::vector<std::u16string> texts;
    auto note = [&](bool yes) {
        return [&texts, yes](HWND box) {
            texts.push_back(WindowText(GetDlgItem(box, kBoxText)));
            PostCommand(box, yes ? kBoxFirst : kBoxSecond);
        };
    };
    std::vector<std::u16string> left;
    // Another journal under a listed name, put there while the list is open
    // (a PC, another card): never deleted unseen, and the list is read anew.
    const std::string other(2 * QAV_RECORD_SIZE, 'o');
    EXPECT_TRUE(Run({[](HWND) { TapHeader(List(FrontDialog()), 60); },  // a, b, c, d, e, f
                     Command(Manager::kDeleteId), note(true),           // nothing selected
                     SelectAnd(0, Manager::kDeleteId), note(true),      // "a" is current
                     SelectAnd(1, Manager::kDeleteId), note(false),     // "b": no
                     SelectAnd(3, Manager::kDeleteId), note(true),      // "d": yes,
                     note(true),                                        // held back
                     SelectAnd(4, Manager::kDeleteId), note(true),      // "e": yes,
                     note(true),                                        // held back
                     SelectAnd(2, Manager::kDeleteId), note(true),      // "c": yes
                     [&](HWND d) {
                         root.WriteFile(kJournalFolder + u"f.qav", other);
                         SelectAnd(4, Manager::kDeleteId)(d);           // "f": yes,
                     },
                     note(true), note(true),                            // changed
                     AndClose([&](HWND d) {
                         left = Column(List(d), 0);
                         std::sort(left.begin(), left.end());
                     })}));
    EXPECT_EQ(texts, (std::vector<std::u16string>{Text(50029), Text(50039), Text(50027), Text(50027),
                                                  Text(SCREEN_CUT_OFF_SAVE_STUCK), Text(50027),
                                                  Text(SCREEN_CUT_OFF_SAVE_FAILING), Text(50027), Text(50027),
                                                  Text(SCREEN_CARD_CHANGED)}));
    EXPECT_EQ(root.ReadFile(kJournalFolder + u"f.qav"), other);
    EXPECT_TRUE(Has(u"d.qav"));
    EXPECT_TRUE(Has(u"a.qav"));
    EXPECT_TRUE(Has(u"b.qav"));
    EXPECT_FALSE(Has(u"c.qav"));
    EXPECT_FALSE(Has(u"c.qav.undo")) << "the deleted journal's roll-back goes with it";
    EXPECT_TRUE(Has(u"b.qav.undo"));
    EXPECT_TRUE(Has(u"e.qav"));
    EXPECT_EQ(left, (std::vector<std::u16string>{u"a.qav", u"b.qav", u"d.qav", u"e.qav", u"f.qav"}));
}

// A card written on a PC: the file's letter case is not the settings' one.
// The browser opens that file as the current journal, so the manager marks
// it and keeps it; a name that merely begins alike is another journal.
TEST_F(JournalManager, TheCurrentJournalIsFoundInAnyLetterCaseOfItsFile)
{
    WriteParams(WheelParams(u"Demo"));
    for (const char16_t* f : {u"demo.qav", u"demo2.qav", u"DEMO.qod"}) Touch(f);
    std::vector<std::u16string> marked;
    std::u16string first, second;
    EXPECT_TRUE(Run({[&](HWND d) { marked = Marked(List(d)); },
                     [](HWND d) { TapHeader(List(d), 60); },  // demo, demo2
                     SelectAnd(0, Manager::kDeleteId), Answer(true, &first),
                     SelectAnd(1, Manager::kDeleteId), Answer(true, &second), Close()}));
    EXPECT_EQ(marked, std::vector<std::u16string>{u"demo.qav"});
    EXPECT_EQ(first, Text(50039));
    EXPECT_EQ(second, Text(50027));
    EXPECT_TRUE(Has(u"demo.qav"));
    EXPECT_FALSE(Has(u"demo2.qav"));

    // The disc family alike.
    WriteParams(DiscParams(u"demo"));
    EXPECT_TRUE(Run({[&](HWND d) { marked = Marked(List(d)); }, Close()}));
    EXPECT_EQ(marked, std::vector<std::u16string>{u"DEMO.qod"});
}

TEST_F(JournalManager, MakingCurrentMovesTheMarkAndWritesTheSettingsOfTheFamily)
{
    for (const char16_t* f : {u"a.qav", u"b.qav", u"a.qod", u"d.qod"}) Touch(f);
    // Wheel family: settings byte 188.
    ParamBlock wheel = WheelParams(u"a");
    WriteParams(wheel);
    std::vector<std::u16string> marked;
    std::u16string box, notice;
    EXPECT_TRUE(Run({Command(Manager::kMakeCurrentId), Answer(true, &notice), [](HWND d) { TapHeader(List(d), 60); },
                     SelectAnd(1, Manager::kMakeCurrentId), AndClose([&](HWND d) {
                         marked = Marked(List(d));
                         box = WindowText(GetDlgItem(d, Manager::kNameBoxId));
                     })}));
    EXPECT_EQ(notice, Text(50029));
    EXPECT_EQ(marked, std::vector<std::u16string>{u"b.qav"});
    EXPECT_EQ(box, u"b");
    ParamBlock expected = wheel;
    CopyName(expected.qavJournalName, u"b");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));

    // Disc family: settings byte 946, the wheel journal stays.
    ParamBlock disc = DiscParams(u"a");
    CopyName(disc.qavJournalName, u"b");
    WriteParams(disc);
    EXPECT_TRUE(Run({[](HWND d) { TapHeader(List(d), 60); }, SelectAnd(1, Manager::kMakeCurrentId), Close()}));
    expected = disc;
    CopyName(expected.qodJournalName, u"d");
    EXPECT_EQ(root.ReadFile(kParamPath), Bytes(expected));
}

TEST_F(JournalManager, ASettingsFileThatCannotBeWrittenMovesNoMark)
{
    for (const char16_t* f : {u"a.qav", u"b.qav"}) Touch(f);
    WriteParams(WheelParams(u"a"));
    const std::string params = root.ReadFile(kParamPath);
    std::vector<std::u16string> marked;
    std::u16string notice, box;
    EXPECT_TRUE(Run({[](HWND d) { TapHeader(List(d), 60); },
                     [](HWND d) {
                         qplat::FailFileWritesAfter(0);
                         SelectAnd(1, Manager::kMakeCurrentId)(d);
                     },
                     [&](HWND b) {
                         qplat::FailFileWritesAfter(-1);
                         Answer(true, &notice)(b);
                     },
                     AndClose([&](HWND d) {
                         marked = Marked(List(d));
                         box = WindowText(GetDlgItem(d, Manager::kNameBoxId));
                     })}));
    EXPECT_EQ(notice, Text(SCREEN_SAVE_FAILED));
    EXPECT_EQ(marked, std::vector<std::u16string>{u"a.qav"});
    EXPECT_EQ(box, u"a");
    EXPECT_EQ(root.ReadFile(kParamPath), params);
}

TEST_F(JournalManager, SnapshotInRussian)
{
    UseLanguage("RUS.LNG");
    WriteParams(WheelParams(u"wp_26_12_08_01"));
    Touch(u"wp_26_12_08_01.qav");
    Touch(u"Депо.qav");
    bool blueTitle = false;
    EXPECT_TRUE(Run({[&](HWND d) {
        qplat::ProcessPendingMessages();
        blueTitle = AnyHue(d, RECT{100, 8, 380, 34}, 2);
        qplat::SaveScreenPng(SnapshotPath("manager-ru"));
        PostCommand(d, Manager::kNewId);
    },
                     Type(u"a*b"),
                     [&](HWND box) {
                         // The longest of the new texts, in its box.
                         qplat::ProcessPendingMessages();
                         qplat::SaveScreenPng(SnapshotPath("manager-refused-ru"));
                         PostCommand(box, kBoxFirst);
                     },
                     Close()}));
    EXPECT_TRUE(blueTitle);
}

}  // namespace
