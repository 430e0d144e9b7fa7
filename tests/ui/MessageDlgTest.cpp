// The message box driven by the stylus inside its modal loop: the answers of
// each button, closing without a button, a refused second show, a box of
// another object opened over the first, the layout and the language.

#include "tests/ui/ScreenTestSupport.h"
#include "ui/MessageDlg.h"

using namespace qtest;

namespace {

class MessageBox : public qtest::DialogFixture {};

TEST_F(MessageBox, AQuestionIsAnsweredByEachButton)
{
    CMessageDlg box;
    Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
    EXPECT_EQ(box.Show(nullptr, owner, 2, u"Switch the device off?"), 1);
    EXPECT_EQ(box.m_busy, 0);
    Then([] { TapWindow(GetDlgItem(FrontDialog(), 344)); });
    EXPECT_EQ(box.Show(nullptr, owner, 2, u"Switch the device off?"), 0);
    Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
    EXPECT_EQ(box.Show(nullptr, owner, 3, u"Saved."), 1) << "a one-button box";
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(MessageBox, ClosingWithoutAButtonAnswersNoEvenAfterAYes)
{
    CMessageDlg box;
    Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
    ASSERT_EQ(box.Show(nullptr, owner, 2, u"First"), 1);
    Then([] { SendMessageW(FrontDialog(), WM_CLOSE, 0, 0); });
    EXPECT_EQ(box.Show(nullptr, owner, 2, u"Second"), 0);
}

TEST_F(MessageBox, ASecondShowOfTheSameObjectIsRefused)
{
    CMessageDlg box;
    int inner = -1;
    Then([&] {
        inner = box.Show(nullptr, owner, 3, u"again");
        TapWindow(GetDlgItem(FrontDialog(), 343));
    });
    EXPECT_EQ(box.Show(nullptr, owner, 3, u"first"), 1);
    EXPECT_EQ(inner, 0);
}

TEST_F(MessageBox, ABoxOfAnotherObjectOverTheFirstLeavesBothWorking)
{
    CMessageDlg first, second;
    HWND firstDialog = nullptr, secondDialog = nullptr;
    int inner = -1;
    Then([&] {
        firstDialog = FrontDialog();
        Then([&] {
            secondDialog = FrontDialog();
            EXPECT_NE(secondDialog, firstDialog);
            EXPECT_EQ(WindowText(GetDlgItem(secondDialog, 345)), u"inner");
            TapWindow(GetDlgItem(secondDialog, 344));
        });
        inner = second.Show(nullptr, firstDialog, 2, u"inner");
        // The first box still answers for its own object.
        EXPECT_EQ(WindowText(GetDlgItem(firstDialog, 345)), u"outer");
        TapWindow(GetDlgItem(firstDialog, 343));
    });
    EXPECT_EQ(first.Show(nullptr, owner, 2, u"outer"), 1);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(first.m_busy, 0);
    EXPECT_EQ(second.m_busy, 0);
}

TEST_F(MessageBox, ABoxOpenWhenItsScreenIsDestroyedEndsAsNoAndCanShowAgain)
{
    // The program's orderly close destroys the main window under any box.
    CMessageDlg box;
    HWND dialog = nullptr;
    Then([&] {
        dialog = FrontDialog();
        DestroyWindow(owner);
    });
    EXPECT_EQ(box.Show(nullptr, owner, 2, u"Switch the device off?"), 0);
    EXPECT_FALSE(IsWindow(owner));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(box.m_busy, 0);
    EXPECT_EQ(box.m_buttonCount, 0);
    HWND next = CreateWindowExW(0, u"QavTestActions", u"", WS_POPUP | WS_VISIBLE, 0, 0, 480, 272, nullptr, nullptr,
                                nullptr, nullptr);
    Then([] { TapWindow(GetDlgItem(FrontDialog(), 343)); });
    EXPECT_EQ(box.Show(nullptr, next, 2, u"Again?"), 1);
    DestroyWindow(next);
}

TEST_F(MessageBox, ButtonsSitAboveTheBottomEdgeAndTextsAreCut)
{
    CMessageDlg box;
    RECT client{}, one{}, two{}, second{};
    std::u16string shown;
    Then([&] {
        HWND d = FrontDialog();
        GetClientRect(d, &client);
        HWND b = GetDlgItem(d, 343);
        GetWindowRect(b, &one);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&one), 2);
        shown = WindowText(GetDlgItem(d, 345));
        TapWindow(b);
    });
    std::u16string longText(200, u'x');
    box.Show(nullptr, owner, 7, longText.c_str());  // an unknown type shows as a failure
    EXPECT_EQ(box.m_type, 0);
    EXPECT_EQ(shown.size(), 150u);
    EXPECT_EQ(client.bottom - one.bottom, 20);
    EXPECT_EQ((one.left + one.right) / 2, client.right / 2);
    Then([&] {
        HWND d = FrontDialog();
        GetWindowRect(GetDlgItem(d, 343), &two);
        GetWindowRect(GetDlgItem(d, 344), &second);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&two), 2);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT*>(&second), 2);
        TapWindow(GetDlgItem(d, 343));
    });
    box.Show(nullptr, owner, 2, std::u16string(150, u'y').c_str());
    EXPECT_EQ(client.bottom - two.bottom, 15);
    EXPECT_EQ(two.top, second.top);
    EXPECT_LT(two.right, second.left);
}

TEST_F(MessageBox, CaptionsFollowTheLanguageChosenSinceTheObjectWasMade)
{
    CMessageDlg box;
    std::u16string title, yes;
    Then([&] {
        HWND d = FrontDialog();
        title = WindowText(d);
        TapWindow(GetDlgItem(d, 343));
    });
    box.Show(nullptr, owner, 2, u"?");
    EXPECT_EQ(title, u"Profile gauge");
    EXPECT_EQ(std::u16string(box.m_buttons[0].m_caption), u"Yes");
    UseLanguage("RUS.LNG");
    Then([&] {
        title = WindowText(FrontDialog());
        TapWindow(GetDlgItem(FrontDialog(), 343));
    });
    box.Show(nullptr, owner, 2, u"?");
    EXPECT_EQ(title, u"Gauge RU");
    EXPECT_EQ(std::u16string(box.m_buttons[0].m_caption), u"Da");
}

TEST_F(MessageBox, IsDlgButtonOnReadsTheCheck)
{
    HWND check = CreateWindowExW(0, u"BUTTON", u"c", WS_CHILD | WS_VISIBLE | BS_CHECKBOX, 0, 0, 40, 20, owner,
                                 reinterpret_cast<HMENU>(static_cast<intptr_t>(77)), nullptr, nullptr);
    ASSERT_TRUE(check);
    EXPECT_EQ(IsDlgButtonOn(owner, 77), 0);
    SendMessageW(check, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(IsDlgButtonOn(owner, 77), 1);
}

}  // namespace
