// The scheme list and the scheme editor: the current scheme marked, making a
// scheme current (and what a scheme that does not load says), deleting with
// its refusal, the diagram in place of the list with its scroll range; the
// editor's names and numbers as the keyboard gives them, its refusals, and a
// written scheme that loads back to the order its numbers describe.
#include <memory>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "scheme/SchemeFile.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/SchemeEditDlg.h"
#include "scheme/ui/SchemeListDlg.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/ui/ScreenTestSupport.h"

namespace {

using namespace qtest;
using schemeui::Shown;

struct Position {
    int car, axle, side;
    bool operator==(const Position&) const = default;
};

std::vector<Position> OrderOf(const CScheme& scheme)
{
    std::vector<Position> order;
    for (int i = 0; i < scheme.orderCount; ++i)
        order.push_back({scheme.order[i].car, scheme.order[i].axle, scheme.order[i].side});
    return order;
}

class SchemeScreensTest : public schemeui::SchemeUiTest, protected schemeui::NameListScreen<CSchemeListDlg> {
protected:
    void SetUp() override
    {
        SchemeUiTest::SetUp();
        InstallShippedSchemes();
    }
    static CSchemeListDlg& List() { return Screen(); }
    static CSchemeEditDlg& Editor() { return *CSchemeEditDlg::Current(); }
    std::u16string Current() { return qplat::FieldText(ReadSettings().qavSchemeName, PARAM_NAME_CHARS); }
    bool SchemeFileExists(const std::u16string& file, const char16_t* folder = u"Schemes")
    {
        return root.Exists(std::u16string(kAutorun) + folder + u"\\" + file);
    }
    // Loads a scheme by name as the measuring launchers do and builds its order.
    std::unique_ptr<CScheme> LoadScheme(const WCHAR* name, int deviceType)
    {
        auto scheme = std::make_unique<CScheme>();
        CSchemeFile file;
        int items = 0, cars = 0, order = 0;
        if (!file.Load(name, scheme->cars, &items, &cars, &order, deviceType)) return nullptr;
        scheme->orderCount = items;
        scheme->carCount = cars;
        scheme->orderType = order;
        scheme->BuildOrder(order, cars);
        return scheme;
    }
};

TEST_F(SchemeScreensTest, MakesASchemeCurrentAndDeletesAnotherButNotTheCurrent)
{
    WriteSettings(1, [](ParamBlock& b) {
        qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles");
        qplat::CopyField(b.wheelTypeName, PARAM_NAME_CHARS, u"Type X");
    });
    std::vector<std::u16string> boxes;
    EXPECT_TRUE(RunWithin<CSchemeListDlg>([&](HWND dlg) {
        CSchemeListDlg& s = List();
        ASSERT_EQ(s.m_list.GetItemCount(), 3) << "the wheel family's schemes only";
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Car 4 axles", u"Car 4 axles"}));
        EXPECT_EQ(RowText(s.m_list, Row(u"Train 5 cars"), 0), u"Train 5 cars.sch");
        schemeui::Snapshot("scheme_list.png");

        MakeCurrent(dlg, u"Train 5 cars");
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Train 5 cars", u"Train 5 cars"}));
        EXPECT_EQ(s.m_scheme.carCount, 5) << "the current scheme is loaded for the diagram";
        EXPECT_EQ(Current(), u"Train 5 cars");

        AnswerBox(&boxes);
        Press(dlg, CSchemeListDlg::kDeleteId);
        EXPECT_TRUE(SchemeFileExists(u"Train 5 cars.sch"));

        Delete(dlg, Row(u"Locomotive 2 bogies"), &boxes);
        EXPECT_FALSE(SchemeFileExists(u"Locomotive 2 bogies.sch"));
        EXPECT_EQ(Row(u"Locomotive 2 bogies"), -1);

        AnswerBox(&boxes);
        Press(dlg, CSchemeListDlg::kMakeCurrentId);  // nothing selected now
        Press(dlg, CSchemeListDlg::kBackId);
    }));
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50041), LanguageText(50032), LanguageText(50031)}));
    EXPECT_EQ(qplat::FieldText(ReadSettings().wheelTypeName, PARAM_NAME_CHARS), u"");
}

TEST_F(SchemeScreensTest, WithNoCurrentSchemeAFileWithoutANameIsNeitherMarkedNorKept)
{
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Nameless.sch", "\r\n{\r\n41d-|||1r||||;\r\n}\r\nType:3\r\n");
    WriteSettings(1, [](ParamBlock&) {});
    std::vector<std::u16string> boxes, marks;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        CSchemeListDlg& s = List();
        const int nameless = FindRow(s.m_list, 0, u"Nameless.sch");
        ASSERT_GE(nameless, 0);
        marks = Marks();
        Delete(dlg, nameless, &boxes);
        Press(dlg, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(marks, std::vector<std::u16string>(4, u""));
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50032)}) << "asked, not refused as the current one";
    EXPECT_FALSE(SchemeFileExists(u"Nameless.sch"));
}

// A scheme file the card keeps (read-only): the operator is told the file
// was not deleted, not that data were not saved, and its row stays. One the
// card deletes without confirming it is told as such, and its row goes.
TEST_F(SchemeScreensTest, ASchemeFileThatCannotBeDeletedIsSaidAndStaysListed)
{
    WriteSettings(1, [](ParamBlock&) {});
    std::filesystem::permissions(root.Host(std::u16string(kAutorun) + u"Schemes\\Train 5 cars.sch"),
                                 std::filesystem::perms::owner_read);
    // Another scheme under a listed file's name, put there while the list is
    // open (a PC, another card): never deleted unseen, and the list shows it.
    const std::u16string replaced = std::u16string(kAutorun) + u"Schemes\\Locomotive 2 bogies.sch";
    const std::string listedScheme = root.ReadFile(replaced);
    const std::string otherScheme = "Other card's scheme" + listedScheme.substr(listedScheme.find("\r\n"));
    std::vector<std::u16string> boxes;
    bool listed = false, unconfirmedListed = true, otherListed = false;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        Delete(dlg, Row(u"Train 5 cars"), &boxes, {kBoxFirstButton, kBoxFirstButton});
        listed = Row(u"Train 5 cars") != -1;
        const int row = Row(u"Locomotive 2 bogies");
        root.WriteFile(replaced, otherScheme);
        Delete(dlg, row, &boxes, {kBoxFirstButton, kBoxFirstButton});
        otherListed = Row(u"Other card's scheme") != -1;
        qplat::FailFileSyncsAfter(0);
        Delete(dlg, Row(u"Other card's scheme"), &boxes, {kBoxFirstButton, kBoxFirstButton});
        qplat::FailFileSyncsAfter(-1);
        unconfirmedListed = Row(u"Other card's scheme") != -1;
        Press(dlg, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50032), LanguageText(NAME_LIST_NOT_DELETED),
                                                   LanguageText(50032), LanguageText(SCREEN_CARD_CHANGED),
                                                   LanguageText(50032), LanguageText(SCREEN_NOT_CONFIRMED)}));
    EXPECT_TRUE(otherListed);
    EXPECT_NE(LanguageText(NAME_LIST_NOT_DELETED), LanguageText(SCREEN_SAVE_FAILED));
    EXPECT_TRUE(listed);
    EXPECT_TRUE(SchemeFileExists(u"Train 5 cars.sch"));
    EXPECT_FALSE(unconfirmedListed);
    EXPECT_FALSE(SchemeFileExists(u"Locomotive 2 bogies.sch"));
}

TEST_F(SchemeScreensTest, ASchemeThatDoesNotLoadIsSaidAndStaysCurrent)
{
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Broken.sch", "Broken\r\n{\r\n41d-|||1r||||;\r\n}\r\nType:3\r\n");
    WriteSettings(1, [](ParamBlock& b) {
        qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles");
        qplat::CopyField(b.wheelTypeName, PARAM_NAME_CHARS, u"Type X");
    });
    std::vector<std::u16string> boxes;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        CSchemeListDlg& s = List();
        // The same scheme again: nothing in the settings changes, so the
        // wheel type stays.
        MakeCurrent(dlg, u"Car 4 axles");
        EXPECT_EQ(qplat::FieldText(ReadSettings().wheelTypeName, PARAM_NAME_CHARS), u"Type X");

        AnswerBox(&boxes);
        MakeCurrent(dlg, u"Broken");
        EXPECT_EQ(Mark(Row(u"Broken")), u"\u2022");
        // The diagram shows no train then, only its frame.
        Press(dlg, CSchemeListDlg::kToggleId);
        qplat::ProcessPendingMessages();
        EXPECT_FALSE(IsWindowVisible(s.m_list.m_hWnd));
        EXPECT_FALSE(IsWindowVisible(s.m_scroll.bar.m_hWnd));
        EXPECT_EQ(ClientPixel(dlg, 10 + 30, 90 + 22), 0xFFFFFFu);
        Press(dlg, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50053)});
    EXPECT_EQ(Current(), u"Broken");
}

// A scheme name longer than the settings field is refused: its first 49
// characters could name another scheme, which would load in its place.
TEST_F(SchemeScreensTest, ASchemeNameLongerThanTheFieldIsNotMadeCurrent)
{
    const std::string stem(49, 'S');
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Short.sch", stem + "\r\n{\r\n41d-|||1r||||;\r\n}\r\nType:3\r\n");
    root.WriteFile(u"\\SDMMC\\Autorun\\Schemes\\Long.sch",
                   stem + "long\r\n{\r\n41d-|||1r||||;\r\n41d-|||1r||||;\r\n}\r\nType:3\r\n");
    WriteSettings(1, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles"); });
    const std::u16string shortName(49, u'S');
    std::vector<std::u16string> boxes;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        AnswerBox(&boxes);
        MakeCurrent(dlg, shortName + u"long");
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Car 4 axles", u"Car 4 axles"}));
        Press(dlg, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50092)});
    EXPECT_EQ(Current(), u"Car 4 axles");
}

TEST_F(SchemeScreensTest, TheDiagramTakesThePlaceOfTheListWithItsScrollRange)
{
    CSchemeFile writer;
    ASSERT_EQ(1, writer.Write(1, 9, 3, u"Nine", 2, 1));
    ASSERT_EQ(1, writer.Write(1, 8, 3, u"Eight", 2, 1));
    WriteSettings(1, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Nine"); });
    std::vector<int> positions;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        CSchemeListDlg& s = List();
        HWND bar = s.m_scroll.bar.m_hWnd;
        EXPECT_FALSE(IsWindowVisible(bar)) << "no bar over the list";
        Press(dlg, CSchemeListDlg::kToggleId);
        schemeui::Snapshot("scheme_list_diagram.png");
        EXPECT_FALSE(IsWindowVisible(s.m_list.m_hWnd));
        EXPECT_TRUE(IsWindowVisible(bar)) << "9 axles are 455 pixels wide";
        int low = -1, high = -1;
        GetScrollRange(bar, SB_CTL, &low, &high);
        EXPECT_EQ(low, 0);
        EXPECT_EQ(high, 15);
        // The first wheel at the frame's left, as type 3 draws it.
        EXPECT_EQ(ClientPixel(dlg, 10 + 13 + 10, 90 + 25 - 3), 0xC1C1C1u);
        EXPECT_EQ(ClientPixel(dlg, 10 + 13 - 3, 90 + 25 - 3), 0xFFFFFFu);
        for (int request : {SB_PAGERIGHT, SB_LINELEFT, SB_LEFT, SB_RIGHT, SB_LINERIGHT, SB_PAGELEFT}) {
            SendMessageW(dlg, WM_HSCROLL, MAKEWPARAM(request, 0), reinterpret_cast<LPARAM>(bar));
            positions.push_back(s.m_scroll.position);
        }
        SendMessageW(dlg, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 7), reinterpret_cast<LPARAM>(bar));
        positions.push_back(s.m_scroll.position);
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), 7);
        qplat::ProcessPendingMessages();
        EXPECT_EQ(ClientPixel(dlg, 10 + 13 - 3, 90 + 25 - 3), 0xC1C1C1u) << "moved left by 7";

        // Back to the list, then the 8-axle scheme's diagram fits the frame.
        Press(dlg, CSchemeListDlg::kToggleId);
        EXPECT_TRUE(IsWindowVisible(s.m_list.m_hWnd));
        EXPECT_FALSE(IsWindowVisible(bar));
        MakeCurrent(dlg, u"Eight");
        Press(dlg, CSchemeListDlg::kToggleId);
        EXPECT_FALSE(IsWindowVisible(bar)) << "8 axles are 407 pixels wide";
        EXPECT_EQ(s.m_scroll.position, 0);
        Press(dlg, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(positions, (std::vector<int>{15, 10, 0, 15, 15, 0, 7}));
}

TEST_F(SchemeScreensTest, OnlyTheNameColumnSorts)
{
    WriteSettings(1);
    std::vector<std::vector<std::u16string>> orders;
    RunWithin<CSchemeListDlg>([&](HWND dlg) {
        CSchemeListDlg& s = List();
        RECT list;
        GetWindowRect(s.m_list.m_hWnd, &list);
        for (int x : {60, 190 + 60, 190 + 60, 380 + 10}) {
            qplat::StylusTap(list.left + x, list.top + 6);
            qplat::ProcessPendingMessages();
            orders.push_back(ColumnTexts(s.m_list, NAME_LIST_NAME_COLUMN));
        }
        Press(dlg, CSchemeListDlg::kBackId);
    });
    const std::vector<std::u16string> up{u"Car 4 axles", u"Locomotive 2 bogies", u"Train 5 cars"};
    const std::vector<std::u16string> down{up.rbegin(), up.rend()};
    ASSERT_EQ(orders.size(), 4u);
    EXPECT_EQ(orders[1], up);
    EXPECT_EQ(orders[2], down);
    EXPECT_EQ(orders[3], down) << "the mark column does not sort";
}

// The editor on a fresh card: the scheme folder does not exist yet.
TEST_F(SchemeScreensTest, TheEditorWritesASchemeThatLoadsBackToItsOrder)
{
    WriteSettings(1, [](ParamBlock& b) { qplat::CopyField(b.qavSchemeName, PARAM_NAME_CHARS, u"Car 4 axles"); });
    bool keyboardAtOpening = true;
    std::vector<std::u16string> shown;
    RunWithin<CSchemeListDlg>([&](HWND list) {
        Then([&] {
            HWND dlg = FrontDialog();
            keyboardAtOpening = dlg != CSchemeEditDlg::Current()->m_hWnd;
            CSchemeEditDlg& e = Editor();
            EXPECT_EQ(WindowText(GetDlgItem(dlg, CSchemeEditDlg::kNameEditId)), LanguageText(40409));
            EXPECT_EQ(WindowText(GetDlgItem(dlg, CSchemeEditDlg::kCarsEditId)), u"1");
            EXPECT_FALSE(IsWindowVisible(e.m_layoutCombo.m_hWnd)) << "the wheel family measures two wheels an axle";
            schemeui::Snapshot("scheme_editor.png");
            TypeInKeyboards({u"Depot 12"}, &shown);
            SetFocus(GetDlgItem(dlg, CSchemeEditDlg::kNameEditId));
            TypeInKeyboards({u"3"}, &shown);
            SetFocus(GetDlgItem(dlg, CSchemeEditDlg::kCarsEditId));
            e.m_axlesCombo.SetCurSel(1);  // 2 axles
            e.m_orderCombo.SetCurSel(0);  // order type 1
            Press(dlg, CSchemeEditDlg::kSaveId);
        });
        Press(list, CSchemeListDlg::kNewId);
        // The list is filled again with the new scheme.
        EXPECT_NE(Row(u"Depot 12"), -1);
        EXPECT_EQ(Mark(Row(u"Depot 12")), u"");
        Press(list, CSchemeListDlg::kBackId);
    });
    EXPECT_FALSE(keyboardAtOpening) << "the focus the first field gets at opening asks nothing";
    EXPECT_EQ(shown, (std::vector<std::u16string>{LanguageText(40409), u"1"}));
    ASSERT_TRUE(SchemeFileExists(u"Depot 12.sch"));

    auto loaded = LoadScheme(u"Depot 12", 1);
    ASSERT_TRUE(loaded);
    auto expected = std::make_unique<CScheme>();
    BuildDefaultScheme(expected.get(), 3, 2, 1, 2);
    expected->BuildOrder(1, 3);
    EXPECT_EQ(loaded->carCount, 3);
    EXPECT_EQ(loaded->orderType, 1);
    EXPECT_EQ(OrderOf(*loaded), OrderOf(*expected));
    EXPECT_EQ(loaded->orderCount, 12);
}

TEST_F(SchemeScreensTest, TheKeyboardRefusesNamesThatAreNoFileNamesAndCutsLongOnes)
{
    WriteSettings(1);
    std::vector<std::u16string> shown;
    std::u16string afterRefusals, afterEmpty, afterLong, carsEmpty, carsMany;
    Then([&] {
        qplat::ProcessPendingMessages();  // the screen is up
        HWND dlg = FrontDialog();
        HWND name = GetDlgItem(dlg, CSchemeEditDlg::kNameEditId);
        HWND cars = GetDlgItem(dlg, CSchemeEditDlg::kCarsEditId);
        // Each refused name comes back in the keyboard, until a good one.
        TypeInKeyboards({u"a/b", u"..\\up", u"wild*", u"Good name"}, &shown);
        SetFocus(name);
        afterRefusals = WindowText(name);
        TypeInKeyboards({u""});
        SetFocus(name);
        afterEmpty = WindowText(name);
        TypeInKeyboards({std::u16string(60, u'n')});
        SetFocus(name);
        afterLong = WindowText(name);
        TypeInKeyboards({u""});
        SetFocus(cars);
        carsEmpty = WindowText(cars);
        TypeInKeyboards({u"75"});
        SetFocus(cars);
        carsMany = WindowText(cars);
        Press(dlg, CSchemeEditDlg::kSaveId);
    });
    RunScreen<CSchemeEditDlg>(nullptr, owner);
    EXPECT_EQ(shown, (std::vector<std::u16string>{LanguageText(40409), u"a/b", u"..\\up", u"wild*"}));
    EXPECT_EQ(afterRefusals, u"Good name");
    EXPECT_EQ(afterEmpty, LanguageText(40409));
    EXPECT_EQ(afterLong, std::u16string(49, u'n'));
    EXPECT_EQ(carsEmpty, u"1");
    EXPECT_EQ(carsMany, u"75");
    // 75 cars are saved as 40.
    auto loaded = LoadScheme(std::u16string(49, u'n').c_str(), 1);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->carCount, 40);
}

TEST_F(SchemeScreensTest, TheDiscDeviceRefusesSchemesNoOrderCanHold)
{
    WriteSettings(4);
    std::vector<std::u16string> boxes;
    bool stillOpen = false;
    EXPECT_TRUE(RunWithin<CSchemeEditDlg>([&](HWND dlg) {
        CSchemeEditDlg& e = Editor();
        EXPECT_TRUE(IsWindowVisible(e.m_layoutCombo.m_hWnd));
        EXPECT_EQ(WindowText(GetDlgItem(dlg, CSchemeEditDlg::kLayoutLabelId)), LanguageText(40430));
        SetWindowTextW(GetDlgItem(dlg, CSchemeEditDlg::kNameEditId), u"Too long a train");
        SetWindowTextW(GetDlgItem(dlg, CSchemeEditDlg::kCarsEditId), u"40");
        e.m_axlesCombo.SetCurSel(35);  // 36 axles
        e.m_orderCombo.SetCurSel(2);   // order type 3
        e.m_layoutCombo.SetCurSel(2);  // three discs: 4320 positions
        AnswerBox(&boxes);
        Press(dlg, CSchemeEditDlg::kSaveId);
        // Order type 1 knows no three-disc axle: an empty order.
        SetWindowTextW(GetDlgItem(dlg, CSchemeEditDlg::kCarsEditId), u"2");
        e.m_orderCombo.SetCurSel(0);
        AnswerBox(&boxes);
        Press(dlg, CSchemeEditDlg::kSaveId);
        // The card refuses the write.
        e.m_orderCombo.SetCurSel(2);
        qplat::FailFileWritesAfter(0);
        AnswerBox(&boxes);
        Press(dlg, CSchemeEditDlg::kSaveId);
        qplat::FailFileWritesAfter(-1);
        stillOpen = FrontDialog() == dlg;
        // Two cars of 36 three-disc axles fit.
        Press(dlg, CSchemeEditDlg::kSaveId);
    }));
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50033), LanguageText(50033), LanguageText(50015)}));
    EXPECT_TRUE(SchemeFileExists(u"Too long a train.sch", u"Schemes_QOD"));
    auto loaded = LoadScheme(u"Too long a train", 4);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->orderCount, 2 * 36 * 3);
}

TEST_F(SchemeScreensTest, ThePreviewShowsTheFirstCarOfTheNumbersChosen)
{
    WriteSettings(4);
    RunWithin<CSchemeEditDlg>([&](HWND dlg) {
        CSchemeEditDlg& e = Editor();
        e.m_axlesCombo.SetCurSel(8);  // 9 axles
        e.m_layoutCombo.SetCurSel(2);  // three discs
        Press(dlg, CSchemeEditDlg::kPreviewId);
        schemeui::Snapshot("scheme_editor_preview.png");
        EXPECT_FALSE(IsWindowVisible(e.m_carsEdit.m_hWnd));
        EXPECT_FALSE(IsWindowVisible(e.m_layoutCombo.m_hWnd));
        EXPECT_TRUE(IsWindowVisible(e.m_nameEdit.m_hWnd)) << "the name stays";
        EXPECT_TRUE(IsWindowVisible(e.m_scroll.bar.m_hWnd));
        int low = -1, high = -1;
        GetScrollRange(e.m_scroll.bar.m_hWnd, SB_CTL, &low, &high);
        EXPECT_EQ(high, 15);
        // The middle disc of the first axle, not measured.
        EXPECT_EQ(ClientPixel(dlg, 10 + 13 + 10, 90 + 25 + 30 - 5), 0xC1C1C1u);
        Press(dlg, CSchemeEditDlg::kPreviewId);
        EXPECT_TRUE(IsWindowVisible(e.m_carsEdit.m_hWnd));
        EXPECT_TRUE(IsWindowVisible(e.m_layoutCombo.m_hWnd));
        EXPECT_FALSE(IsWindowVisible(e.m_scroll.bar.m_hWnd));
        Press(dlg, CSchemeEditDlg::kBackId);
    });
    EXPECT_EQ(root.ReadFile(u"\\SDMMC\\Autorun\\Schemes_QOD\\New scheme.sch"), "") << "closing writes nothing";
}

}  // namespace

namespace {

TEST_F(SchemeScreensTest, TheScreensSpeakTheCurrentLanguage)
{
    UseRealLanguage("RUS.LNG");
    WriteSettings(4, [](ParamBlock& b) { qplat::CopyField(b.qodSchemeName, PARAM_NAME_CHARS, u"Disc train 3 cars"); });
    std::u16string listLabel, editorLabel;
    LONG currentStyle = 0;
    RunWithin<CSchemeListDlg>([&](HWND list) {
        listLabel = WindowText(GetDlgItem(list, CSchemeListDlg::kCurrentLabelId));
        currentStyle = GetWindowLongW(GetDlgItem(list, CSchemeListDlg::kCurrentEditId), GWL_STYLE);
        EXPECT_EQ(List().m_list.GetItemCount(), 2) << "the disc family's schemes";
        schemeui::Snapshot("scheme_list_ru.png");
        Then([&] {
            HWND dlg = FrontDialog();
            editorLabel = WindowText(GetDlgItem(dlg, CSchemeEditDlg::kLayoutLabelId));
            schemeui::Snapshot("scheme_editor_ru.png");
            Press(dlg, CSchemeEditDlg::kBackId);
        });
        Press(list, CSchemeListDlg::kNewId);
        Press(list, CSchemeListDlg::kBackId);
    });
    EXPECT_EQ(listLabel, u"Текущая схема");
    EXPECT_NE(currentStyle & ES_READONLY, 0) << "the current scheme changes only through make current";
    EXPECT_EQ(editorLabel, u"Дисков на оси");
}

}  // namespace
