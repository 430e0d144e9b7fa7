// The on-screen keyboard: its key tables and hit tests, and the dialog typed
// on by the stylus inside its modal loop (letters, shift, symbols, digits,
// backspace, the function keys) and PromptForText's fallbacks.

#include <algorithm>
#include <memory>
#include <vector>

#include "tests/support/Fields.h"
#include "tests/ui/ScreenTestSupport.h"
#include "ui/KeyboardDlg.h"

using qtest::Step;
using qtest::Steps;
using qtest::TapClient;
using qtest::TapWindow;

namespace {

void TapKey(HWND dialog, const KeyboardKey& k) { TapClient(dialog, k.x + k.width / 2, k.y + k.height / 2); }
void Press(HWND dialog, int id) { TapWindow(GetDlgItem(dialog, id)); }

std::u16string EditText(HWND dialog) { return qtest::WindowText(GetDlgItem(dialog, qtest::kKeyboardEditId)); }

const KeyboardKey& Latin(char16_t small)
{
    for (const KeyboardKey& k : g_keysLatin)
        if (k.label2[0] == small) return k;
    return g_keysLatin[0];
}

class Keyboard : public qtest::DialogFixture {};

TEST(KeyboardTables, KeysSitWhereTheGeometryPutsThem)
{
    BuildKeyboardTables();
    EXPECT_EQ(std::u16string(g_keysCyrillic[0].label1), u"Й");
    EXPECT_EQ(std::u16string(g_keysCyrillic[31].label2), u"ю");
    EXPECT_EQ(g_keysCyrillic[12].x, 30);   // Ф starts row 1
    EXPECT_EQ(g_keysCyrillic[12].y, 151);
    EXPECT_EQ(g_keysCyrillic[23].x, 56);   // Я starts row 2
    EXPECT_EQ(g_keysCyrillic[11].x, 20 + 36 * 11);
    EXPECT_EQ(g_keysLatin[25].id, 895);
    EXPECT_EQ(g_keysLatin[19].x, 64);      // Z
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(g_keysLatin[19].y, 182), FIELD_IS(g_keysLatin[9].x, 20 + 44 * 9),
                                 FIELD_IS(g_keysDigits[9].label1[0], u'0'), FIELD_IS(g_keysDigits[9].x, 20 + 76 * 4),
                                 FIELD_IS(g_keysDigits[9].y, 166), FIELD_IS(g_keysDigits[10].width, 36),
                                 FIELD_IS(g_keysSymbols[2].label1[0], u'`')));
}

TEST(KeyboardTables, HitTestsIncludeTheFarEdgeAndNotTheGaps)
{
    CKeyboardDlg k;
    EXPECT_EQ(k.HitTestLetters(20, 120), 0);
    EXPECT_EQ(k.HitTestLetters(20 + 39, 120 + 26), 0) << "x + width, y + height still belong to the key";
    EXPECT_EQ(k.HitTestLetters(20 + 41, 130), -1) << "the gap between Q and W";
    EXPECT_EQ(k.HitTestLetters(30, 148), -1) << "the gap between two rows";
    EXPECT_EQ(k.HitTestLetters(64, 120), 1);
    k.m_cyrillic = 1;
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(k.HitTestLetters(20 + 36 + 5, 125), 1),
                                 FIELD_IS(k.HitTestSymbols(426, 151), 0), FIELD_IS(k.HitTestSymbols(10, 10), -1),
                                 FIELD_IS(k.HitTestDigits(436, 207), 10), FIELD_IS(k.HitTestDigits(95, 130), -1)));
}

TEST_F(Keyboard, LettersShiftAndSymbolsTypeTheirLabels)
{
    CKeyboardDlg k;
    Steps({
        [](HWND d) { TapKey(d, Latin(u'q')); },
        [](HWND d) { TapKey(d, g_keysSymbols[1]); },  // "." with shift off
        [](HWND d) { Press(d, 804); },
        [](HWND d) { TapKey(d, Latin(u'w')); },
        [](HWND d) { TapKey(d, g_keysSymbols[0]); },  // "|"
        [](HWND d) { TapKey(d, g_keysSymbols[2]); },  // grave accent
        [](HWND d) { Press(d, 806); },                // Cyrillic
        [](HWND d) { TapKey(d, g_keysCyrillic[0]); },
        [](HWND d) { Press(d, 804); },
        [](HWND d) { TapKey(d, g_keysCyrillic[1]); },
        [](HWND d) { TapKey(d, g_keysSymbols[3]); },  // "-"
        [](HWND d) { Press(d, 803); },
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 1, u"Name", u"x"), 1);
    EXPECT_EQ(std::u16string(k.m_result), u"xq.W|`Йц- ");
}

TEST_F(Keyboard, DigitsModeTypesOneDecimalPointAndStartsEmptyForZero)
{
    CKeyboardDlg k;
    std::u16string start;
    bool lettersKeyEnabled = true;
    Steps({
        [&](HWND d) {
            start = EditText(d);
            lettersKeyEnabled = IsWindowEnabled(GetDlgItem(d, 805)) != FALSE;
            TapKey(d, g_keysDigits[0]);
        },
        [](HWND d) { TapKey(d, g_keysDigits[10]); },
        [](HWND d) { TapKey(d, g_keysDigits[4]); },
        [](HWND d) { TapKey(d, g_keysDigits[10]); },  // a second "." is not typed
        [](HWND d) { TapClient(d, 95, 130); },        // between "1" and "2"
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 0, u"Value", u"0"), 1);
    EXPECT_EQ(start, u"");
    EXPECT_FALSE(lettersKeyEnabled) << "a digits-only keyboard cannot switch to letters";
    EXPECT_EQ(std::u16string(k.m_result), u"1.5");

    Steps({[&](HWND d) { start = EditText(d); Press(d, 802); }});
    EXPECT_EQ(k.DoModal(nullptr, owner, 0, u"Value", u"0.5"), 1);
    EXPECT_EQ(start, u"0.5");
}

TEST_F(Keyboard, LettersKeyboardSwitchesToDigitsWhereThePointIsAlwaysTyped)
{
    CKeyboardDlg k;
    Steps({
        [](HWND d) { TapKey(d, g_keysSymbols[1]); },  // "." of the symbols
        [](HWND d) { TapKey(d, g_keysSymbols[1]); },  // again: always typed
        [](HWND d) { Press(d, 805); },                // digits
        [](HWND d) { TapKey(d, g_keysDigits[2]); },
        [](HWND d) { TapKey(d, g_keysDigits[10]); },  // the text holds "." already
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 1, u"", u""), 1);
    EXPECT_EQ(std::u16string(k.m_result), u"..3");
}

TEST_F(Keyboard, BackspaceWorksOnLongTextsAndStopsAtTheStart)
{
    CKeyboardDlg k;
    std::u16string longText(60, u'a');
    longText[59] = u'z';
    longText[0] = u'b';
    std::u16string afterOne, atStart;
    Steps({
        [](HWND d) { Press(d, 801); },
        [&](HWND d) {
            afterOne = EditText(d);
            g_keyboardDlg->SetCaret(0);
            Press(d, 801);
        },
        [&](HWND d) {
            atStart = EditText(d);
            g_keyboardDlg->SetCaret(1);
            Press(d, 801);
        },
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 1, u"", longText.c_str()), 1);
    EXPECT_EQ(afterOne, longText.substr(0, 59));
    EXPECT_EQ(atStart, afterOne) << "nothing before the caret to remove";
    EXPECT_EQ(std::u16string(k.m_result), std::u16string(58, u'a'));
}

TEST_F(Keyboard, TouchingAGapTypesNothingAndCloseIsACancel)
{
    CKeyboardDlg k;
    std::u16string after;
    Steps({
        [](HWND d) { TapClient(d, 20 + 41, 130); },
        [&](HWND d) {
            after = EditText(d);
            SendMessageW(d, WM_CLOSE, 0, 0);
        },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 1, u"", u"abc"), 0);
    EXPECT_EQ(after, u"abc");
    EXPECT_TRUE(IsWindowEnabled(owner));
}

TEST_F(Keyboard, PromptForTextFallsBackToTheDefault)
{
    Steps({[](HWND d) { Press(d, 800); }});
    EXPECT_EQ(std::u16string(PromptForText(nullptr, owner, u"Name", u"default", 1)), u"default") << "cancel";
    Steps({
        [](HWND d) {
            Press(d, 801);
            Press(d, 801);
        },
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(std::u16string(PromptForText(nullptr, owner, u"Name", u"ab", 1)), u"ab") << "OK with an empty text";
    Steps({
        [](HWND d) { TapKey(d, Latin(u'z')); },
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(std::u16string(PromptForText(nullptr, owner, u"Name", u"ab", 1)), u"abz");
}

TEST_F(Keyboard, TheEditLineKeepsWhatOkCanHandBack)
{
    CKeyboardDlg k;
    std::u16string full(149, u'x');
    Steps({
        [](HWND d) { TapKey(d, Latin(u'q')); },
        [](HWND d) { Press(d, 802); },
    });
    EXPECT_EQ(k.DoModal(nullptr, owner, 1, u"", full.c_str()), 1);
    EXPECT_EQ(std::u16string(k.m_result), full.substr(0, 99) + u"q") << "the initial text holds 99 characters";
}

TEST_F(Keyboard, ThePictureFollowsTheModeAndTheKeysTakeTheirBitmapSizes)
{
    CKeyboardDlg k;
    COLORREF letters = 0, digits = 0;
    RECT ok{};
    auto probe = [](HWND d) {
        qplat::ProcessPendingMessages();
        POINT p{93, 124};  // on W's cap in the Latin picture, between "1" and "2" in the digits picture
        ClientToScreen(d, &p);
        return qplat::ScreenPixel(p.x, p.y);
    };
    Steps({
        [&](HWND d) {
            letters = probe(d);
            GetWindowRect(GetDlgItem(d, 802), &ok);
            Press(d, 805);
        },
        [&](HWND d) {
            digits = probe(d);
            Press(d, 800);
        },
    });
    k.DoModal(nullptr, owner, 1, u"", u"");
    EXPECT_EQ(ok.right - ok.left, 56);
    EXPECT_EQ(ok.bottom - ok.top, 52);
    EXPECT_NE(letters, RGB(255, 255, 255)) << "a key cap";
    EXPECT_EQ(digits, RGB(255, 255, 255)) << "the gap between two digit keys";
}

// The box of a key's dark label pixels on the screen, in client coordinates.
struct InkBox {
    int left = 1000, top = 1000, right = -1, bottom = -1;
};

InkBox LabelInk(const qplat::Surface& screen, POINT origin, const KeyboardKey& k)
{
    InkBox box;
    for (int y = k.y + 2; y < k.y + k.height - 2; ++y)
        for (int x = k.x + 2; x < k.x + k.width - 2; ++x) {
            uint32_t c = screen.At(origin.x + x, origin.y + y);
            if (((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255) >= 250) continue;
            box.left = std::min(box.left, x);
            box.right = std::max(box.right, x);
            box.top = std::min(box.top, y);
            box.bottom = std::max(box.bottom, y);
        }
    return box;
}

// Presses a key and releases it, checking that the pressed key carries its
// label where the keyboard picture has it and that the released key is the
// picture's again, pixel for pixel.
Step PressAndReleaseLooksLikeThePicture(const char* name, const KeyboardKey& key, int rows = 1)
{
    return [name, &key, rows](HWND d) {
        SCOPED_TRACE(name);
        qplat::ProcessPendingMessages();
        POINT origin{0, 0};
        ClientToScreen(d, &origin);
        qplat::Surface before = qplat::ComposeScreen();
        InkBox picture = LabelInk(before, origin, key);
        ASSERT_GE(picture.right, 0) << "the picture has a label on this key";
        qplat::StylusDown(origin.x + key.x + 5, origin.y + key.y + 5);
        qplat::ProcessPendingMessages();
        qplat::Surface pressed = qplat::ComposeScreen();
        EXPECT_NE(pressed.At(origin.x + key.x + 4, origin.y + key.y + 4),
                  before.At(origin.x + key.x + 4, origin.y + key.y + 4))
            << "the pressed face is shown";
        InkBox label = LabelInk(pressed, origin, key);
        EXPECT_NEAR(label.top, picture.top, rows);
        EXPECT_NEAR(label.bottom, picture.bottom, rows);
        EXPECT_NEAR(label.left + label.right, picture.left + picture.right, 2) << "centred as in the picture";
        EXPECT_GE(3 * (label.right - label.left), 2 * (picture.right - picture.left)) << "not a tiny glyph";
        qplat::StylusUp(origin.x + key.x + 5, origin.y + key.y + 5);
        qplat::ProcessPendingMessages();
        qplat::Surface after = qplat::ComposeScreen();
        int differing = 0;
        for (int y = key.y - 1; y <= key.y + key.height + 1; ++y)
            for (int x = key.x - 1; x <= key.x + key.width + 3; ++x)
                if (after.At(origin.x + x, origin.y + y) != before.At(origin.x + x, origin.y + y)) ++differing;
        EXPECT_EQ(differing, 0) << "the released key looks as in the picture";
    };
}

TEST_F(Keyboard, APressedKeyKeepsThePicturesLabelAndTheReleasedKeyIsThePicturesAgain)
{
    CKeyboardDlg k;
    Steps({
        [](HWND d) { Press(d, 806); },  // Cyrillic
        PressAndReleaseLooksLikeThePicture("small a", g_keysCyrillic[15]),
        PressAndReleaseLooksLikeThePicture("small ef", g_keysCyrillic[12]),
        [](HWND d) { Press(d, 804); },  // shift
        PressAndReleaseLooksLikeThePicture("capital zhe", g_keysCyrillic[21]),
        PressAndReleaseLooksLikeThePicture("bar", g_keysSymbols[0]),
        [](HWND d) { Press(d, 806); },  // Latin
        PressAndReleaseLooksLikeThePicture("capital Q", Latin(u'q')),
        [](HWND d) { Press(d, 805); },  // digits
        // The pressed key's figures are Calibri's, which stand a row lower
        // in the cap than the picture's.
        PressAndReleaseLooksLikeThePicture("five", g_keysDigits[4], 2),
        PressAndReleaseLooksLikeThePicture("point", g_keysDigits[10], 2),
        [](HWND d) { Press(d, 802); },
    });
    ASSERT_EQ(std::u16string(g_keysCyrillic[15].label2), u"а");
    ASSERT_EQ(std::u16string(g_keysCyrillic[21].label1), u"Ж");
    ASSERT_EQ(k.DoModal(nullptr, owner, 1, u"Name", u""), 1);
    EXPECT_EQ(std::u16string(k.m_result), u"афЖ|Q5.");
}

}  // namespace
