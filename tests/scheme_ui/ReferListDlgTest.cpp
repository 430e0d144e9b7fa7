// The reference-profile list: the current reference marked, making another
// current (the wheel-type name goes only when the settings changed, never on
// the disc device), a name longer than the field refused, no current one
// when the current name is empty, deleting with its refusals and
// failures, and the sort of the name column.
#include <cstring>
#include <string>
#include <vector>

#include "platform/WinKernel.h"
#include "scheme/ui/NameList.h"
#include "scheme/ui/ReferListDlg.h"
#include "tests/scheme_ui/SchemeUiTestSupport.h"
#include "tests/ui/ScreenTestSupport.h"

namespace {

using namespace qtest;
using schemeui::Shown;

const std::u16string kLongName = u"A reference profile whose name is far longer than its field";

class ReferListTest : public schemeui::SchemeUiTest, protected schemeui::NameListScreen<CReferListDlg> {
protected:
    void WriteRefer(const char16_t* folder, const std::u16string& file, const std::u16string& name)
    {
        root.WriteFile(std::u16string(kAutorun) + folder + u"\\" + file,
                       qplat::ToUtf8(name) + "\r\n1000;2000\r\n2000;2100\r\n");
    }
    void InstallWheelRefers()
    {
        WriteRefer(u"Refer", u"A.ref", u"Wheel A");
        WriteRefer(u"Refer", u"B.ref", u"Wheel B");
        WriteRefer(u"Refer", u"Long.ref", kLongName);
    }
    // "Wheel A" the current reference, chosen with the wheel type "Type X".
    void WheelACurrentOfTypeX()
    {
        WriteSettings(1, [](ParamBlock& b) {
            qplat::CopyField(b.qavReferName, PARAM_NAME_CHARS, u"Wheel A");
            qplat::CopyField(b.wheelTypeName, PARAM_NAME_CHARS, u"Type X");
        });
    }
    std::u16string SettingsText(const WCHAR* field) { return qplat::FieldText(field, PARAM_NAME_CHARS); }
};

TEST_F(ReferListTest, MakesAProfileCurrentAndRefusesDeletingTheCurrentOne)
{
    InstallWheelRefers();
    WheelACurrentOfTypeX();
    std::vector<std::u16string> boxes;
    EXPECT_TRUE(RunWithin<CReferListDlg>([&](HWND dlg) {
        CReferListDlg& s = Screen();
        ASSERT_EQ(s.m_list.GetItemCount(), 3);
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Wheel A", u"Wheel A"}));
        EXPECT_EQ(RowText(s.m_list, Row(u"Wheel B"), 0), u"B.ref");
        schemeui::Snapshot("refer_list.png");

        MakeCurrent(dlg, u"Wheel B");
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Wheel B", u"Wheel B"}));

        // The current one stays.
        AnswerBox(&boxes);
        Press(dlg, CReferListDlg::kDeleteId);
        EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\B.ref"));

        // Another one goes after a yes, not after a no.
        Delete(dlg, Row(u"Wheel A"), &boxes, {kBoxSecondButton});
        EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\A.ref"));
        Delete(dlg, Row(u"Wheel A"), &boxes);
        EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\A.ref"));
        EXPECT_EQ(Row(u"Wheel A"), -1);
        EXPECT_EQ(s.m_list.GetItemCount(), 2);
        Press(dlg, CReferListDlg::kBackId);
    }));
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50040), LanguageText(50025), LanguageText(50025)}));
    const ParamBlock saved = ReadSettings();
    EXPECT_EQ(SettingsText(saved.qavReferName), u"Wheel B");
    EXPECT_EQ(SettingsText(saved.wheelTypeName), u"") << "a reference chosen directly belongs to no wheel type";
}

// Beside the scroll strip that five files bring (four rows show), and at the
// frame once a deletion has taken the strip away.
TEST_F(ReferListTest, TheHighlightReachesTheFrameWithAndWithoutTheScrollStrip)
{
    for (const char16_t* name : {u"A", u"B", u"C", u"D", u"E"})
        WriteRefer(u"Refer", name + std::u16string(u".ref"), u"Wheel " + std::u16string(name));
    std::vector<std::u16string> boxes;
    EXPECT_TRUE(RunWithin<CReferListDlg>([&](HWND dlg) {
        Screen().m_list.SelectItem(0);
        EXPECT_FALSE(HighlightStopsShort(Screen().m_list.m_hWnd, 0, NAME_LIST_MARK_COLUMN)) << "beside the strip";
        Delete(dlg, 4, &boxes);
        Screen().m_list.SelectItem(0);
        EXPECT_FALSE(HighlightStopsShort(Screen().m_list.m_hWnd, 0, NAME_LIST_MARK_COLUMN)) << "without it";
        Press(dlg, CReferListDlg::kBackId);
    }));
}

TEST_F(ReferListTest, ALongerNameThanTheFieldIsNeverMadeCurrentAndTheWheelTypeStaysWhenNothingChanged)
{
    InstallWheelRefers();
    // A profile whose name is the long one's first 49 characters: the cut name
    // would load it in place of the long one.
    WriteRefer(u"Refer", u"Cut.ref", kLongName.substr(0, 49));
    WheelACurrentOfTypeX();
    std::vector<std::u16string> boxes;
    ParamBlock afterSame{}, afterLong{};
    RunWithin<CReferListDlg>([&](HWND dlg) {
        // Making the current one current again changes nothing.
        MakeCurrent(dlg, u"Wheel A");
        afterSame = ReadSettings();
        // The long name is refused with its reason; nothing moves.
        AnswerBox(&boxes);
        MakeCurrent(dlg, kLongName);
        afterLong = ReadSettings();
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Wheel A", u"Wheel A"}));
        // With the 49-character one current, the long one is still not it:
        // it is deleted after a yes.
        MakeCurrent(dlg, kLongName.substr(0, 49));
        EXPECT_EQ(Mark(Row(kLongName)), u"");
        Delete(dlg, Row(kLongName), &boxes);
        Press(dlg, CReferListDlg::kBackId);
    });
    EXPECT_EQ(SettingsText(afterSame.qavReferName), u"Wheel A");
    EXPECT_EQ(SettingsText(afterSame.wheelTypeName), u"Type X");
    EXPECT_EQ(std::memcmp(&afterLong, &afterSame, sizeof afterLong), 0) << "the refusal leaves the settings";
    EXPECT_EQ(SettingsText(ReadSettings().qavReferName), kLongName.substr(0, 49));
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50085), LanguageText(50025)}));
    EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\Long.ref"));
    EXPECT_TRUE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\Cut.ref"));
}

TEST_F(ReferListTest, WithNoCurrentReferenceAFileWithoutANameIsNeitherMarkedNorKept)
{
    InstallWheelRefers();
    WriteRefer(u"Refer", u"Empty.ref", u"");
    WriteSettings(1, [](ParamBlock&) {});
    std::vector<std::u16string> boxes;
    std::vector<std::u16string> marks;
    RunWithin<CReferListDlg>([&](HWND dlg) {
        CReferListDlg& s = Screen();
        const int empty = FindRow(s.m_list, 0, u"Empty.ref");
        ASSERT_GE(empty, 0);
        marks = Marks();
        Delete(dlg, empty, &boxes);
        Press(dlg, CReferListDlg::kBackId);
    });
    EXPECT_EQ(marks, std::vector<std::u16string>(4, u""));
    EXPECT_EQ(boxes, std::vector<std::u16string>{LanguageText(50025)}) << "asked, not refused as the current one";
    EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\Empty.ref"));
}

TEST_F(ReferListTest, TheDiscDeviceListsItsOwnFolderAndKeepsTheWheelType)
{
    InstallWheelRefers();
    WriteRefer(u"Refer_QOD", u"D1.ref", u"Disc A");
    WriteRefer(u"Refer_QOD", u"D2.ref", u"Disc B");
    WriteSettings(4, [](ParamBlock& b) {
        qplat::CopyField(b.qodReferName, PARAM_NAME_CHARS, u"Disc A");
        qplat::CopyField(b.wheelTypeName, PARAM_NAME_CHARS, u"Type X");
    });
    RunWithin<CReferListDlg>([&](HWND dlg) {
        CReferListDlg& s = Screen();
        EXPECT_EQ(s.m_list.GetItemCount(), 2);
        EXPECT_EQ(Mark(Row(u"Disc A")), u"\u2022");
        MakeCurrent(dlg, u"Disc B");
        Press(dlg, CReferListDlg::kBackId);
    });
    const ParamBlock saved = ReadSettings();
    EXPECT_EQ(SettingsText(saved.qodReferName), u"Disc B");
    EXPECT_EQ(SettingsText(saved.qavReferName), u"");
    EXPECT_EQ(SettingsText(saved.wheelTypeName), u"Type X");
}

TEST_F(ReferListTest, NothingSelectedAndFailedWritesAreShownAndChangeNothing)
{
    InstallWheelRefers();
    WriteSettings(1, [](ParamBlock& b) { qplat::CopyField(b.qavReferName, PARAM_NAME_CHARS, u"Wheel A"); });
    std::vector<std::u16string> boxes;
    RunWithin<CReferListDlg>([&](HWND dlg) {
        CReferListDlg& s = Screen();
        ASSERT_EQ(s.m_list.GetSelected(), -1);
        AnswerBox(&boxes);
        Press(dlg, CReferListDlg::kDeleteId);
        AnswerBox(&boxes);
        Press(dlg, CReferListDlg::kMakeCurrentId);

        // The settings cannot be written: the mark stays where it was.
        qplat::FailFileWritesAfter(0);
        AnswerBox(&boxes);
        MakeCurrent(dlg, u"Wheel B");
        qplat::FailFileWritesAfter(-1);
        EXPECT_EQ(CurrentShown(dlg), (Shown{u"Wheel A", u"Wheel A"}));

        // A file that went meanwhile is said to be gone, and its row goes
        // with it, as the card holds it no longer.
        DeleteFileW(u"\\SDMMC\\Autorun\\Refer\\B.ref");
        Delete(dlg, Row(u"Wheel B"), &boxes, {kBoxFirstButton, kBoxFirstButton});
        EXPECT_EQ(Row(u"Wheel B"), -1);

        // Another profile under a listed file's name, put there while the
        // list is open (a PC, another card): never deleted unseen, and the
        // list shows it.
        const int row = Row(kLongName);
        WriteRefer(u"Refer", u"Long.ref", u"Other card's profile");
        Delete(dlg, row, &boxes, {kBoxFirstButton, kBoxFirstButton});
        EXPECT_EQ(Row(kLongName), -1);

        // A deletion the card makes but does not confirm is told as such; the
        // file is gone, and so is its row.
        qplat::FailFileSyncsAfter(0);
        Delete(dlg, Row(u"Other card's profile"), &boxes, {kBoxFirstButton, kBoxFirstButton});
        qplat::FailFileSyncsAfter(-1);
        EXPECT_EQ(Row(u"Other card's profile"), -1);
        EXPECT_EQ(s.m_list.GetItemCount(), 1);
        Press(dlg, CReferListDlg::kBackId);
    });
    EXPECT_EQ(boxes, (std::vector<std::u16string>{LanguageText(50030), LanguageText(50030), LanguageText(50015),
                                                   LanguageText(50025), LanguageText(SCREEN_ALREADY_GONE),
                                                   LanguageText(50025), LanguageText(SCREEN_CARD_CHANGED),
                                                   LanguageText(50025), LanguageText(SCREEN_NOT_CONFIRMED)}));
    EXPECT_FALSE(root.Exists(u"\\SDMMC\\Autorun\\Refer\\Long.ref"));
    EXPECT_EQ(qplat::FieldText(ReadSettings().qavReferName, PARAM_NAME_CHARS), u"Wheel A");
}

TEST_F(ReferListTest, TheNameHeaderSortsBothWaysAndTheOthersDoNot)
{
    WriteRefer(u"Refer", u"1.ref", u"Beta");
    WriteRefer(u"Refer", u"2.ref", u"Alpha");
    WriteRefer(u"Refer", u"3.ref", u"Gamma");
    WriteSettings(1);
    std::vector<std::vector<std::u16string>> orders;
    std::vector<std::u16string> headers;
    RunWithin<CReferListDlg>([&](HWND dlg) {
        CReferListDlg& s = Screen();
        RECT list;
        GetWindowRect(s.m_list.m_hWnd, &list);
        auto tapHeader = [&](int x) {
            qplat::StylusTap(list.left + x, list.top + 6);
            qplat::ProcessPendingMessages();
            orders.push_back(ColumnTexts(s.m_list, NAME_LIST_NAME_COLUMN));
            LVCOLUMNW c{};
            WCHAR text[64] = {};
            c.mask = LVCF_TEXT;
            c.pszText = text;
            c.cchTextMax = 64;
            s.m_list.GetColumn(1, &c);
            headers.push_back(text);
        };
        tapHeader(190 + 60);
        tapHeader(190 + 60);
        tapHeader(60);  // the file column
        EXPECT_EQ(orders[2], orders[1]) << "the file column does not sort";
        Press(dlg, CReferListDlg::kBackId);
    });
    ASSERT_EQ(orders.size(), 3u);
    EXPECT_EQ(orders[0], (std::vector<std::u16string>{u"Alpha", u"Beta", u"Gamma"}));
    EXPECT_EQ(orders[1], (std::vector<std::u16string>{u"Gamma", u"Beta", u"Alpha"}));
    const std::u16string name = LanguageText(40405);
    EXPECT_EQ(headers[0], name + u"      >");
    EXPECT_EQ(headers[1], name + u"      <");
    EXPECT_EQ(headers[2], headers[1]);
}

}  // namespace
