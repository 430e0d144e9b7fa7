// Bitmap buttons: sizes from bitmaps, face and timer choice, caption geometry,
// release of what they hold, and a pressed face on the composed screen.
#include <string>

#include "tests/platform_ui/GdiTestSupport.h"
#include "tests/support/Fields.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/OwnerButton.h"

using namespace qtest;

namespace {

const COLORREF kNormalFace = RGB(38, 56, 78);
const COLORREF kPressedFace = RGB(18, 30, 44);
const COLORREF kDisabledFace = RGB(150, 156, 162);

DRAWITEMSTRUCT Item(HDC dc, UINT state, int w = 141, int h = 41)
{
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.itemState = state;
    dis.hDC = dc;
    dis.rcItem = RECT{0, 0, w, h};
    return dis;
}

// The face a button draws for the item state, at a plain spot near its right edge.
template <class Button>
COLORREF Face(Button& button, Canvas& c, UINT state)
{
    DRAWITEMSTRUCT dis = Item(c.dc, state);
    button.DrawItem(&dis);
    return c.At(120, 20);
}

RECT WindowRect(HWND h)
{
    RECT r{};
    GetWindowRect(h, &r);
    return r;
}

}  // namespace

class OwnerButtonTest : public UiTest {};

TEST_F(OwnerButtonTest, ZeroSizeIsTakenFromTheNormalBitmap)
{
    HWND screen = Keep(MakeScreen());
    COwnerButton button;
    HWND h = button.Create(screen, nullptr, 10, 20, 0, 0, 500, 210, 211, 212);
    ASSERT_NE(h, nullptr);
    RECT r = WindowRect(h);
    EXPECT_TRUE(qtest::FieldsAre(FIELD_IS(r.right - r.left, 141), FIELD_IS(r.bottom - r.top, 41),
                                 FIELD_IS(GetDlgCtrlID(h), 500),
                                 FIELD_IS(static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)) & 0xFFFFu, 0x000Bu)));

    COwnerButton push, check;
    push.SetBitmaps(173, 174, 0);
    check.SetBitmaps(210, 211, 212);
    HWND p = push.CreatePush(screen, nullptr, u"Push", 200, 20, 0, 0, 501);
    HWND c = check.CreateCheck(screen, nullptr, u"Option", 300, 20, 0, 0, 502);
    EXPECT_EQ(WindowRect(p).right - WindowRect(p).left, 36);
    EXPECT_EQ(WindowRect(c).bottom - WindowRect(c).top, 41);
    CheckDlgButton(screen, 502, BST_CHECKED);
    EXPECT_EQ(check.GetCheck(), 1);
    CheckDlgButton(screen, 502, BST_UNCHECKED);
    EXPECT_EQ(check.GetCheck(), 0);
}

TEST_F(OwnerButtonTest, FaceAndTimerFollowTheItemState)
{
    HWND screen = Keep(MakeScreen());
    COwnerButton button;
    button.Create(screen, nullptr, 0, 0, 141, 41, 600, 210, 211, 212);
    Canvas c(141, 41);

    EXPECT_EQ(Face(button, c, 0), kNormalFace);
    EXPECT_FALSE(KillTimer(screen, OWNER_BUTTON_TIMER));  // a normal face arms nothing

    EXPECT_EQ(Face(button, c, ODS_SELECTED), kPressedFace);
    EXPECT_TRUE(KillTimer(screen, OWNER_BUTTON_TIMER));

    // Disabled wins over selected and touches no timer.
    EXPECT_EQ(Face(button, c, ODS_SELECTED | ODS_DISABLED), kDisabledFace);
    EXPECT_FALSE(KillTimer(screen, OWNER_BUTTON_TIMER));

    // Released with the focus: the repetition timer is stopped.
    Face(button, c, ODS_SELECTED);
    EXPECT_EQ(Face(button, c, ODS_FOCUS), kNormalFace);
    EXPECT_FALSE(KillTimer(screen, OWNER_BUTTON_TIMER));
}

TEST_F(OwnerButtonTest, MissingFaceDrawsNothing)
{
    COwnerButton button;
    button.SetBitmaps(210, 0, 0);
    Canvas c(141, 41, kRed);
    DRAWITEMSTRUCT dis = Item(c.dc, ODS_DISABLED);
    button.DrawItem(&dis);
    EXPECT_EQ(c.Ink(RECT{0, 0, 141, 41}, kRed), 0);
}

TEST_F(OwnerButtonTest, CaptionFontAndPlacement)
{
    COwnerButton button;
    button.m_width = 141;
    button.m_height = 100;
    button.SetCaption(u"Measure", 0xFFFFFF, FALSE, FALSE, FALSE, 0, 18);
    LOGFONTW f;
    button.CaptionFont(&f);
    EXPECT_EQ(f.lfHeight, 18);
    EXPECT_EQ(f.lfWidth, 6);
    EXPECT_EQ(f.lfWeight, FW_BOLD);
    EXPECT_EQ(f.lfQuality, DRAFT_QUALITY);
    EXPECT_EQ(std::u16string(f.lfFaceName), u"Calibri");
    RECT r;
    UINT format = 99;
    button.CaptionPlacement(&r, &format);
    EXPECT_EQ(r.top, 28);
    EXPECT_EQ(r.left, 40);  // 141 / 3.5
    EXPECT_EQ(format, 0u);

    button.SetCaption(u"Measure", 0xFFFFFF, TRUE, TRUE, FALSE, 0, 0);
    button.CaptionFont(&f);
    EXPECT_EQ(f.lfEscapement, 900);
    EXPECT_EQ(f.lfWidth, 141 / 16);
    EXPECT_EQ(f.lfHeight, 3 * (141 / 16));
    button.CaptionPlacement(&r, &format);
    EXPECT_EQ(r.top, 66);  // 100 / 1.5
    EXPECT_EQ(format, static_cast<UINT>(DT_CENTER));

    button.SetCaption(u"Measure", 0xFFFFFF, FALSE, TRUE, TRUE, 45, 0);  // centred wins
    button.CaptionFont(&f);
    EXPECT_EQ(f.lfHeight, 35);  // 100 / 2.8
    EXPECT_EQ(f.lfWidth, 13);   // 35 / 2.6
    button.CaptionPlacement(&r, &format);
    EXPECT_EQ(r.top, 28);
    EXPECT_EQ(format, static_cast<UINT>(DT_CENTER));
}

TEST_F(OwnerButtonTest, CaptionIsDrawnInItsColourAndCutAt99)
{
    COwnerButton button;
    button.SetBitmaps(210, 211, 212);
    button.m_width = 141;
    button.m_height = 41;
    std::u16string longText(300, u'W');
    button.SetCaption(longText.c_str(), RGB(255, 255, 0), FALSE, FALSE, FALSE, 0, 0);
    EXPECT_EQ(std::u16string(button.m_caption).size(), 99u);
    button.SetCaption(u"OK", RGB(255, 255, 0), FALSE, FALSE, FALSE, 0, 0);
    Canvas c(141, 41);
    DRAWITEMSTRUCT dis = Item(c.dc, 0);
    button.DrawItem(&dis);
    // Yellow ink starts at the caption's left (141 / 3.5 = 40) and top (41 / 3.5 = 11).
    int left = 141, top = 41;
    for (int y = 0; y < 41; ++y)
        for (int x = 0; x < 141; ++x) {
            COLORREF p = c.At(x, y);
            if (GetRValue(p) > 200 && GetGValue(p) > 200 && GetBValue(p) < 120) {
                left = std::min(left, x);
                top = std::min(top, y);
            }
        }
    EXPECT_GE(left, 40);
    EXPECT_LE(left, 44);
    EXPECT_GE(top, 11);
    EXPECT_LE(top, 20);
}

TEST_F(OwnerButtonTest, DestroyReleasesEverythingOnce)
{
    HWND screen = Keep(MakeScreen());
    COwnerButton button;
    HWND h = button.Create(screen, nullptr, 0, 0, 0, 0, 700, 210, 211, 212);
    HBITMAP normal = button.m_normal, pressed = button.m_pressed;
    ASSERT_NE(normal, nullptr);
    button.Destroy();
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(GetObjectType(normal), 0u);
    EXPECT_EQ(GetObjectType(pressed), 0u);
    EXPECT_EQ(button.m_normal, nullptr);
    EXPECT_EQ(button.m_hWnd, nullptr);
    button.Destroy();  // nothing left to release
    // SetBitmaps releases the faces it replaces.
    button.SetBitmaps(173, 174, 0);
    HBITMAP old = button.m_normal;
    button.SetBitmaps(210, 211, 212);
    EXPECT_EQ(GetObjectType(old), 0u);
}

TEST_F(OwnerButtonTest, ImageButtonShowsTheBitmapOfItsState)
{
    HWND screen = Keep(MakeScreen());
    HBITMAP first, second;
    {
        CImageButton image;
        ASSERT_EQ(image.Create(screen, nullptr, u"", 710, 10, 10, 0, 0, 210, 211, 212, 0x5000000B), 1);
        EXPECT_EQ(image.m_width, 141);
        first = image.m_first;
        second = image.m_second;
        Canvas c(141, 41, kRed);
        // State 0: the second bitmap, whatever the item state.
        EXPECT_EQ(Face(image, c, ODS_SELECTED), kPressedFace);
        image.m_state = 1;
        EXPECT_EQ(Face(image, c, ODS_SELECTED), kNormalFace);
        image.m_state = 2;
        EXPECT_EQ(Face(image, c, ODS_SELECTED), kDisabledFace);
        c.Fill(kRed);
        image.m_state = 7;
        Face(image, c, ODS_SELECTED);
        EXPECT_EQ(c.Ink(RECT{0, 0, 141, 41}, kRed), 0);
        EXPECT_FALSE(KillTimer(screen, OWNER_BUTTON_TIMER));
    }
    // The destructor released every bitmap.
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetObjectType(second), 0u);
}

TEST_F(OwnerButtonTest, SizesOfBitmapsAndIcons)
{
    SIZE s = GetResourceBitmapSize(nullptr, 173);
    EXPECT_EQ(s.cx, 36);
    EXPECT_EQ(s.cy, 36);
    s = GetBitmapSize(nullptr);
    EXPECT_EQ(s.cx, 0);
    // The program's icon is drawn at the large icon size.
    s = GetIconSize(LoadIconW(nullptr, MAKEINTRESOURCEW(101)));
    EXPECT_EQ(s.cx, 32);
    EXPECT_EQ(s.cy, 32);
    s = GetIconSize(nullptr);
    EXPECT_EQ(s.cx, 0);
}

TEST_F(OwnerButtonTest, PressedFaceOnTheComposedScreen)
{
    HWND screen = Keep(MakeScreen());
    COwnerButton button;
    HWND h = button.Create(screen, nullptr, 100, 100, 0, 0, 800, 210, 211, 212);
    button.SetCaption(u"Save", 0xFFFFFF, FALSE, FALSE, FALSE, 0, 0);
    Hooks().drawItem = [&](const DRAWITEMSTRUCT* dis) {
        if (dis->hwndItem == h) button.DrawItem(dis);
    };
    InvalidateRect(h, nullptr, FALSE);
    EXPECT_EQ(Screen(100 + 130, 100 + 20), kNormalFace);
    qplat::StylusDown(100 + 130, 120);
    EXPECT_EQ(Screen(100 + 130, 100 + 20), kPressedFace);
    EXPECT_TRUE(KillTimer(screen, OWNER_BUTTON_TIMER));
    qplat::StylusUp(100 + 130, 120);
    EXPECT_EQ(Screen(100 + 130, 100 + 20), kNormalFace);
}
